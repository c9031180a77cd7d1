#include "tests/formats/legacy_pattern.h"

using namespace legacy_test;
using formats::Image;
using formats::ReadSgi;

namespace {

struct FixtureCase {
  const char* file;
  Pattern pattern;
};

// Files written by netpbm's pnmtosgi and ImageMagick; all 7 × 5.
const FixtureCase kFixtures[] = {
    {"pnmtosgi_rle.rgb", Pattern::Rgb},
    {"pnmtosgi_verbatim.sgi", Pattern::Rgb},
    {"pnmtosgi_grey.bw", Pattern::Grey},
    {"convert_rle.sgi", Pattern::Rgb},
    {"convert_rgba.rgba", Pattern::Rgba},
    {"convert_16bit.sgi", Pattern::Rgb},  // 2 bytes per channel, verbatim
};

TEST(Sgi, ReadsFixtures) {
  for (const auto& c : kFixtures) {
    SCOPED_TRACE(c.file);
    Image img;
    ASSERT_TRUE(Decode(ReadSgi, ReadFixture(std::string("sgi/") + c.file), img));
    ExpectPattern(img, c.pattern, 7, 5);
  }
}

struct Layout {
  const char* what;
  Pattern pattern;
  int storage;  // 0 verbatim, 1 RLE
  int bpc;      // bytes per channel
  int zsize;
};

// One channel's sample at (x, y) of the pattern, scaled to the sample size.
int Sample(const Layout& l, int x, int y, int z) {
  const Px c = Expected(l.pattern, x, y);
  int v = 0;
  if (l.zsize <= 2) {
    v = z == 0 ? c.r : c.a;
  } else {
    const int s[4] = {c.r, c.g, c.b, c.a};
    v = s[z];
  }
  return l.bpc == 2 ? v * 257 : v;
}

std::vector<std::uint8_t> WriteSgi(const Layout& l, int w, int h) {
  Bytes b;
  b.u16be(474).u8(l.storage).u8(l.bpc).u16be(l.zsize == 1 ? 2 : 3).u16be(w).u16be(h).u16be(l.zsize);
  b.u32be(0).u32be(l.bpc == 2 ? 65535 : 255).u32be(0).fill(80).u32be(0).fill(404);
  auto put = [&](Bytes& to, int v) {
    if (l.bpc == 2) to.u16be(v);
    else to.u8(v);
  };
  if (l.storage == 0) {
    for (int z = 0; z < l.zsize; ++z) {
      for (int fy = 0; fy < h; ++fy) {
        for (int x = 0; x < w; ++x) put(b, Sample(l, x, h - 1 - fy, z));
      }
    }
    return b.v;
  }
  // RLE: every row as one copy packet, then a terminating 0.
  Bytes data;
  std::vector<std::uint32_t> starts, lengths;
  const std::uint32_t base = 512 + 8 * h * l.zsize;
  for (int z = 0; z < l.zsize; ++z) {
    for (int fy = 0; fy < h; ++fy) {
      const auto start = static_cast<std::uint32_t>(data.v.size());
      put(data, 0x80 | w);
      for (int x = 0; x < w; ++x) put(data, Sample(l, x, h - 1 - fy, z));
      put(data, 0);
      starts.push_back(base + start);
      lengths.push_back(static_cast<std::uint32_t>(data.v.size()) - start);
    }
  }
  for (auto s : starts) b.u32be(s);
  for (auto n : lengths) b.u32be(n);
  b.v.insert(b.v.end(), data.v.begin(), data.v.end());
  return b.v;
}

const Layout kLayouts[] = {
    {"verbatim grey", Pattern::Grey, 0, 1, 1},
    {"RLE grey with alpha", Pattern::Rgba, 1, 1, 2},
    {"verbatim RGB, 16-bit", Pattern::Rgb, 0, 2, 3},
    {"RLE RGBA, 16-bit", Pattern::Rgba, 1, 2, 4},
    {"verbatim RGBA", Pattern::Rgba, 0, 1, 4},
};

TEST(Sgi, ReadsEveryLayout) {
  for (const auto& l : kLayouts) {
    SCOPED_TRACE(l.what);
    Image img;
    ASSERT_TRUE(Decode(ReadSgi, WriteSgi(l, 7, 5), img));
    if (l.zsize == 2) {
      // Grey + alpha: the red of the pattern is the grey level.
      ASSERT_EQ(img.channels, 4);
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
          const Px e = Expected(l.pattern, x, y);
          const std::uint8_t* p = img.At(x, y);
          ASSERT_TRUE(p[0] == e.r && p[1] == e.r && p[2] == e.r && p[3] == e.a) << x << "," << y;
        }
      }
    } else {
      ExpectPattern(img, l.pattern, 7, 5);
    }
  }
}

TEST(Sgi, RowsMayShareDataAndRunsAreCutAtTheRowEnd) {
  // 4 × 3 grey, every row points at the same packets: a run of 9 (cut to 4).
  Bytes b;
  b.u16be(474).u8(1).u8(1).u16be(2).u16be(4).u16be(3).u16be(1).fill(500);
  const std::uint32_t data = 512 + 24;
  for (int i = 0; i < 3; ++i) b.u32be(data);
  for (int i = 0; i < 3; ++i) b.u32be(3);
  b.u8(9).u8(77).u8(0);
  Image img;
  ASSERT_TRUE(Decode(ReadSgi, b.v, img));
  ASSERT_EQ(img.width, 4);
  ASSERT_EQ(img.height, 3);
  for (auto v : img.pixels) EXPECT_EQ(v, 77);
}

TEST(Sgi, RejectsBrokenFiles) {
  ExpectAllBrokenFail(ReadSgi, "sgi/broken",
                      {
                          "truncated_verbatim.sgi",  // verbatim planes shorter than promised
                          "truncated_rle.rgb",       // last rows' packets lie past the end
                          "truncated_tables.rgb",    // offset tables cut off
                          "bad_magic.sgi",           // magic 475
                          "bad_bpc.sgi",             // 3 bytes per channel
                          "five_channels.sgi",       // zsize 5
                          "offset_outside.sgi",      // row offset far beyond the file
                          "colormap_file.sgi",       // colour-map file, not a picture
                          "zero_width.sgi",          // xsize 0
                      });
}

}  // namespace
