#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "tests/formats/byte_builder.h"

using namespace bytes_test;
using formats::Image;
using formats::ReadPsd;

namespace {

// Files written by ImageMagick from the reference pictures beside them.
struct FixtureCase {
  const char* file;
  const char* reference;
  int tolerance;
};

const FixtureCase kFixtures[] = {
    {"convert_rgb_raw.psd", "rgb_reference.ppm", 0},       // raw composite
    {"convert_rgb_rle.psd", "rgb_reference.ppm", 0},       // PackBits
    {"convert_rgb16.psd", "rgb_reference.ppm", 0},         // 16-bit raw
    {"convert_rgb16_rle.psd", "rgb_reference.ppm", 0},     // 16-bit PackBits
    {"convert_cmyk.psd", "rgb_reference.ppm", 1},          // inverted CMYK
    {"convert_grey.psd", "grey_reference.pgm", 0},
    {"convert_indexed.psd", "pal_reference.ppm", 0},
};

TEST(Psd, ReadsFixtures) {
  for (const auto& c : kFixtures) {
    SCOPED_TRACE(c.file);
    Image img, ref;
    ASSERT_TRUE(Decode(ReadPsd, ReadFixture(std::string("psd/") + c.file), img));
    ASSERT_TRUE(ParsePnm(ReadFixture(std::string("psd/") + c.reference), ref));
    EXPECT_EQ(img.channels, 3);
    EXPECT_LE(MaxDifference(img, ref), c.tolerance);
  }
}

TEST(Psd, MergedAlphaFromImageMagick) {
  // A negative layer count says the first extra channel is the merged alpha.
  Image img, alpha;
  ASSERT_TRUE(Decode(ReadPsd, ReadFixture("psd/convert_rgba.psd"), img));
  ASSERT_TRUE(ParsePnm(ReadFixture("psd/grey_reference.pgm"), alpha));
  ASSERT_EQ(img.channels, 4);
  ASSERT_EQ(img.width, 7);
  ASSERT_EQ(img.height, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) EXPECT_EQ(At(img, x, y)[3], At(alpha, x, y)[0]);
  }
}

// Damaged files; each must fail cleanly.
const char* const kBroken[] = {
    "truncated_raw.psd",           // raw data cut short of what the header promises
    "rle_count_past_end.psd",      // a PackBits row length running past the file
    "huge_raw.psd",                // 30000 × 30000 claimed by a 358-byte file
    "large_document_version.psd",  // version 2 (large document format) is refused
};

TEST(Psd, RefusesBrokenFiles) {
  for (const char* name : kBroken) {
    SCOPED_TRACE(name);
    Image img;
    EXPECT_FALSE(Decode(ReadPsd, ReadFixture(std::string("psd/broken/") + name), img));
  }
}

// ---- Files written here, one variant per case ----

using Sample = std::function<std::uint32_t(int c, int x, int y)>;
using Expect = std::function<std::array<int, 4>(int x, int y)>;

struct Layout {
  const char* what;
  int mode;
  int depth;
  int compression;
  int channels;
  Sample sample;
  Expect expect;
  int tolerance = 0;
  int layerCount = 0;  // negative: the first extra channel is merged alpha
  Bytes colourData = {};
};

constexpr int kW = 9;
constexpr int kH = 4;

// Simple PackBits: repeat runs for three or more equal bytes, literals otherwise.
Bytes PackBits(const Bytes& row) {
  Bytes out;
  std::size_t i = 0;
  while (i < row.size()) {
    std::size_t run = 1;
    while (i + run < row.size() && row[i + run] == row[i] && run < 128) ++run;
    if (run >= 3) {
      out.push_back(static_cast<std::uint8_t>(257 - run));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    std::size_t lit = 0;
    while (i + lit < row.size() && lit < 128) {
      if (i + lit + 2 < row.size() && row[i + lit] == row[i + lit + 1] &&
          row[i + lit] == row[i + lit + 2]) {
        break;
      }
      ++lit;
    }
    out.push_back(static_cast<std::uint8_t>(lit - 1));
    out.insert(out.end(), row.begin() + i, row.begin() + i + lit);
    i += lit;
  }
  return out;
}

Bytes WritePsd(const Layout& l) {
  const std::size_t rowBytes = l.depth == 1 ? (kW + 7) / 8 : kW * (l.depth / 8);
  std::vector<Bytes> rows;  // file order: channel by channel
  for (int c = 0; c < l.channels; ++c) {
    for (int y = 0; y < kH; ++y) {
      Bytes row(rowBytes, 0);
      for (int x = 0; x < kW; ++x) {
        const std::uint32_t v = l.sample(c, x, y);
        switch (l.depth) {
          case 1: if (v) row[x / 8] |= 0x80 >> (x % 8); break;
          case 8: row[x] = static_cast<std::uint8_t>(v); break;
          case 16: row[2 * x] = v >> 8; row[2 * x + 1] = v & 255; break;
          default: for (int b = 0; b < 4; ++b) row[4 * x + b] = (v >> (24 - 8 * b)) & 255; break;
        }
      }
      if (l.compression == 3) {
        if (l.depth == 16) {
          for (int x = kW - 1; x > 0; --x) {
            const unsigned cur = (row[2 * x] << 8) | row[2 * x + 1];
            const unsigned prev = (row[2 * x - 2] << 8) | row[2 * x - 1];
            const unsigned d = (cur - prev) & 0xFFFF;
            row[2 * x] = d >> 8;
            row[2 * x + 1] = d & 255;
          }
        } else {
          if (l.depth == 32) {
            // Float rows are stored byte plane by byte plane before the delta.
            Bytes planes(rowBytes);
            for (int x = 0; x < kW; ++x) {
              for (int b = 0; b < 4; ++b) planes[b * kW + x] = row[4 * x + b];
            }
            row = planes;
          }
          for (std::size_t x = rowBytes - 1; x > 0; --x) row[x] = row[x] - row[x - 1];
        }
      }
      rows.push_back(row);
    }
  }
  Builder f;
  f.str("8BPS").u16be(1).zeros(6).u16be(l.channels).u32be(kH).u32be(kW).u16be(l.depth).u16be(l.mode);
  f.u32be(static_cast<std::uint32_t>(l.colourData.size())).raw(l.colourData);
  f.u32be(12).str("8BIM").u16be(1005).u16be(0).u32be(0);  // one empty resource
  if (l.layerCount != 0) {
    f.u32be(6 + 4).u32be(2).u16be(l.layerCount & 0xFFFF).u32be(0);
  } else {
    f.u32be(0);
  }
  f.u16be(l.compression);
  Bytes all;
  for (const Bytes& r : rows) all.insert(all.end(), r.begin(), r.end());
  switch (l.compression) {
    case 0: f.raw(all); break;
    case 1: {
      std::vector<Bytes> packed;
      for (const Bytes& r : rows) packed.push_back(PackBits(r));
      for (const Bytes& p : packed) f.u16be(static_cast<unsigned>(p.size()));
      for (const Bytes& p : packed) f.raw(p);
      break;
    }
    default: f.raw(Deflate(all)); break;
  }
  return f.b;
}

std::uint32_t Ramp(int c, int x, int y) { return (c * 70 + x * 23 + y * 41) & 255; }
std::array<int, 4> RampRgb(int x, int y) {
  return {static_cast<int>(Ramp(0, x, y)), static_cast<int>(Ramp(1, x, y)),
          static_cast<int>(Ramp(2, x, y)), 255};
}
std::array<int, 4> RampGrey(int x, int y) {
  const int v = static_cast<int>(Ramp(0, x, y));
  return {v, v, v, 255};
}
std::uint32_t Ramp16(int c, int x, int y) { return std::min(65535u, Ramp(c, x, y) * 257 + (x & 1) * 100); }

std::uint32_t FloatBits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

Bytes IndexedPalette() {
  Bytes p(768, 0);
  for (int i = 0; i < 256; ++i) {
    p[i] = static_cast<std::uint8_t>(i);
    p[256 + i] = static_cast<std::uint8_t>(255 - i);
    p[512 + i] = static_cast<std::uint8_t>(i / 2);
  }
  return p;
}

const Layout kLayouts[] = {
    {"rgb raw", 3, 8, 0, 3, Ramp, RampRgb},
    {"rgb packbits", 3, 8, 1, 3, Ramp, RampRgb},
    {"rgb zip", 3, 8, 2, 3, Ramp, RampRgb},
    {"rgb zip predicted", 3, 8, 3, 3, Ramp, RampRgb},
    {"rgb 16-bit zip predicted", 3, 16, 3, 3, Ramp16, RampRgb},
    {"rgb 16-bit packbits", 3, 16, 1, 3, Ramp16, RampRgb},
    {"grey zip", 1, 8, 2, 1, Ramp, RampGrey},
    {"rgb with a spot channel", 3, 8, 1, 4, Ramp, RampRgb},
    {"bitmap, 1 is black", 0, 1, 0, 1, [](int, int x, int y) { return static_cast<std::uint32_t>((x + y) & 1); },
     [](int x, int y) { const int v = (x + y) & 1 ? 0 : 255; return std::array<int, 4>{v, v, v, 255}; }},
    {"bitmap packbits", 0, 1, 1, 1, [](int, int x, int) { return static_cast<std::uint32_t>(x < 3); },
     [](int x, int) { const int v = x < 3 ? 0 : 255; return std::array<int, 4>{v, v, v, 255}; }},
    {"indexed", 2, 8, 1, 1, Ramp,
     [](int x, int y) { const int i = static_cast<int>(Ramp(0, x, y)); return std::array<int, 4>{i, 255 - i, i / 2, 255}; },
     0, 0, IndexedPalette()},
    {"cmyk, inverted ink", 4, 8, 0, 4,
     [](int c, int x, int) { return static_cast<std::uint32_t>(c == 3 ? 255 - x * 20 : 255 - c * 60); },
     [](int x, int) {
       const int k = 255 - x * 20;
       return std::array<int, 4>{(255 * k + 127) / 255, (195 * k + 127) / 255, (135 * k + 127) / 255, 255};
     }},
    {"lab", 9, 8, 0, 3,
     [](int c, int x, int) { return static_cast<std::uint32_t>(c == 0 ? (x == 0 ? 255 : x == 1 ? 0 : 128) : 128); },
     [](int x, int) { const int v = x == 0 ? 255 : x == 1 ? 0 : 119; return std::array<int, 4>{v, v, v, 255}; },
     2},
    {"multichannel: the first channel as grey", 7, 8, 0, 2, Ramp, RampGrey},
    {"duotone as grey", 8, 8, 0, 1, Ramp, RampGrey, 0, 0, Bytes(40, 7)},
    {"grey 16-bit packbits", 1, 16, 1, 1, Ramp16, RampGrey},
    {"32-bit float, linear", 1, 32, 0, 1,
     [](int, int x, int) { return FloatBits(x == 0 ? 1.0f : x == 1 ? 0.5f : 0.0f); },
     [](int x, int) { const int v = x == 0 ? 255 : x == 1 ? 188 : 0; return std::array<int, 4>{v, v, v, 255}; }},
    {"32-bit float, zip predicted", 1, 32, 3, 1,
     [](int, int x, int) { return FloatBits(x == 0 ? 1.0f : x == 1 ? 0.5f : 0.0f); },
     [](int x, int) { const int v = x == 0 ? 255 : x == 1 ? 188 : 0; return std::array<int, 4>{v, v, v, 255}; }},
    // The merged picture is stored blended over white: 200 at alpha 128
    // comes from a 145 grey.
    {"grey + merged alpha", 1, 8, 0, 2, [](int c, int, int) { return c == 0 ? 200u : 128u; },
     [](int, int) { return std::array<int, 4>{145, 145, 145, 128}; }, 0, -1},
    {"rgb + merged alpha, opaque", 3, 8, 1, 4, [](int c, int x, int y) { return c == 3 ? 255u : Ramp(c, x, y); },
     RampRgb, 0, -1},
};

TEST(Psd, ReadsEveryVariant) {
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(l.what);
    Image img;
    ASSERT_TRUE(Decode(ReadPsd, WritePsd(l), img));
    ASSERT_EQ(img.width, kW);
    ASSERT_EQ(img.height, kH);
    EXPECT_EQ(img.channels, l.layerCount < 0 ? 4 : 3);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) ExpectNear(At(img, x, y), l.expect(x, y), l.tolerance);
    }
  }
}

TEST(Psd, RefusesWhatItCannotRead) {
  const Layout rgb{"rgb", 3, 8, 0, 3, Ramp, RampRgb};
  Bytes ok = WritePsd(rgb);
  Image img;
  ASSERT_TRUE(Decode(ReadPsd, ok, img));

  Bytes bad = ok;
  bad[0] = 'X';
  EXPECT_FALSE(Decode(ReadPsd, bad, img)) << "signature";
  bad = ok;
  bad[13] = 2;
  EXPECT_FALSE(Decode(ReadPsd, bad, img)) << "fewer channels than the mode needs";
  bad = ok;
  bad[23] = 4;
  EXPECT_FALSE(Decode(ReadPsd, bad, img)) << "depth 4";
  bad = ok;
  bad[25] = 5;
  EXPECT_FALSE(Decode(ReadPsd, bad, img)) << "unknown mode";
  bad = ok;
  bad.resize(bad.size() - 1);
  EXPECT_FALSE(Decode(ReadPsd, bad, img)) << "one byte short";

  Layout indexed{"indexed without palette", 2, 8, 0, 1, Ramp, RampGrey};
  EXPECT_FALSE(Decode(ReadPsd, WritePsd(indexed), img));
  Layout zip{"zip", 3, 8, 2, 3, Ramp, RampRgb};
  bad = WritePsd(zip);
  bad.resize(bad.size() - 6);
  EXPECT_FALSE(Decode(ReadPsd, bad, img)) << "zip stream cut short";
}

}  // namespace
