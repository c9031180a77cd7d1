#include <cstring>
#include <functional>

#include "tests/formats/byte_builder.h"

using namespace bytes_test;
using formats::Image;
using formats::ReadRla;

namespace {

struct Layout {
  const char* what;
  int colourChannels;
  int matteChannels;
  int auxChannels;
  int bits;       // colour and matte bits
  int type = 0;   // 0 integer, 4 float
  bool runs = false;  // code repeats as runs rather than literals
  bool zeroBits = false;  // old writers leave the bit count at 0
};

using Value = std::function<std::uint32_t(int c, int x, int y)>;

// Byte RLE of one plane: literals of up to 128, or runs when asked.
void EncodePlane(const Bytes& plane, bool runs, Bytes& out) {
  std::size_t i = 0;
  while (i < plane.size()) {
    std::size_t run = 1;
    while (runs && i + run < plane.size() && plane[i + run] == plane[i] && run < 128) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(run - 1));
      out.push_back(plane[i]);
      i += run;
      continue;
    }
    const std::size_t n = std::min<std::size_t>(runs ? 1 : 128, plane.size() - i);
    out.push_back(static_cast<std::uint8_t>(256 - n));
    out.insert(out.end(), plane.begin() + i, plane.begin() + i + n);
    i += n;
  }
}

// Writes an RLA file whose active window is w × h at (left, bottom).
Bytes WriteRla(const Layout& l, int w, int h, const Value& value, int left = 0, int bottom = 0) {
  Builder f;
  f.u16be(0).u16be(w + 20).u16be(0).u16be(h + 20);  // full window, larger
  f.u16be(left).u16be(left + w - 1).u16be(bottom).u16be(bottom + h - 1);
  f.u16be(1).u16be(l.type).u16be(l.colourChannels).u16be(l.matteChannels).u16be(l.auxChannels).u16be(0xFFFE);
  f.zeros(658 - f.size());
  const int bits = l.zeroBits ? 0 : l.bits;
  f.u16be(bits).u16be(l.type).u16be(bits).u16be(0).u16be(8);
  f.zeros(740 - f.size());
  const std::size_t table = f.size();
  f.zeros(4 * static_cast<std::size_t>(h));
  const int bytes = l.type == 4 ? 4 : (l.bits + 7) / 8;
  for (int s = 0; s < h; ++s) {
    const int y = h - 1 - s;  // scanline 0 is the bottom row
    f.putU32be(table + 4 * s, static_cast<std::uint32_t>(f.size()));
    const int channels = l.colourChannels + l.matteChannels + l.auxChannels;
    for (int c = 0; c < channels; ++c) {
      Bytes record;
      const bool aux = c >= l.colourChannels + l.matteChannels;
      const int cb = aux ? 1 : bytes;
      if (l.type == 4 && !aux) {
        for (int x = 0; x < w; ++x) {
          const std::uint32_t v = value(c, x, y);
          for (int b = 0; b < 4; ++b) record.push_back(static_cast<std::uint8_t>(v >> (24 - 8 * b)));
        }
      } else {
        for (int b = 0; b < cb; ++b) {  // most significant plane first
          Bytes plane;
          for (int x = 0; x < w; ++x) {
            plane.push_back(static_cast<std::uint8_t>(value(c, x, y) >> (8 * (cb - 1 - b))));
          }
          EncodePlane(plane, l.runs, record);
        }
      }
      f.u16be(static_cast<unsigned>(record.size())).raw(record);
    }
  }
  return f.b;
}

std::uint32_t Ramp8(int c, int x, int y) { return (c * 60 + x * 17 + y * 29) & 255; }
std::uint32_t Ramp16(int c, int x, int y) { return Ramp8(c, x, y) * 257; }
std::uint32_t Ramp10(int c, int x, int y) { return Ramp8(c, x, y) * 1023 / 255; }
std::uint32_t Flat(int c, int x, int) { return x < 4 ? 40u * (c + 1) : 200u; }
std::uint32_t FloatRamp(int c, int x, int y) {
  const float f = static_cast<float>(Ramp8(c, x, y)) / 255.0f;
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

struct Case {
  Layout layout;
  Value value;
  std::function<std::uint32_t(int c, int x, int y)> expect;  // 8-bit
};

const Case kCases[] = {
    {{"rgb 8-bit", 3, 0, 0, 8}, Ramp8, Ramp8},
    {{"rgb 8-bit with runs", 3, 0, 0, 8, 0, true}, Flat, Flat},
    {{"rgb + matte", 3, 1, 0, 8}, Ramp8, Ramp8},
    {{"rgb + matte + aux (rpf)", 3, 1, 2, 8}, Ramp8, Ramp8},
    {{"rgb 16-bit byte planes", 3, 1, 0, 16}, Ramp16, Ramp8},
    {{"rgb 16-bit with runs", 3, 0, 0, 16, 0, true}, [](int c, int x, int y) { return Flat(c, x, y) * 257; }, Flat},
    {{"rgb 10-bit", 3, 0, 0, 10}, Ramp10, Ramp8},
    {{"grey", 1, 0, 0, 8}, Ramp8, [](int, int x, int y) { return Ramp8(0, x, y); }},
    {{"float", 3, 0, 0, 32, 4}, FloatRamp, Ramp8},
    {{"bit count left at zero", 3, 0, 0, 8, 0, false, true}, Ramp8, Ramp8},
};

TEST(Rla, ReadsEveryVariant) {
  constexpr int kW = 150, kH = 4;  // wider than one 128-byte literal
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.layout.what);
    Image img;
    ASSERT_TRUE(Decode(ReadRla, WriteRla(c.layout, kW, kH, c.value, 3, 7), img));
    ASSERT_EQ(img.width, kW);
    ASSERT_EQ(img.height, kH);
    const bool alpha = c.layout.matteChannels > 0;
    ASSERT_EQ(img.channels, alpha ? 4 : 3);
    const bool grey = c.layout.colourChannels == 1;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; x += 7) {
        const std::array<int, 4> want = {
            static_cast<int>(c.expect(0, x, y)), static_cast<int>(c.expect(grey ? 0 : 1, x, y)),
            static_cast<int>(c.expect(grey ? 0 : 2, x, y)), alpha ? static_cast<int>(c.expect(3, x, y)) : 255};
        ExpectNear(At(img, x, y), want);
      }
    }
  }
}

TEST(Rla, RefusesBrokenFiles) {
  const Layout rgb{"rgb", 3, 0, 0, 8};
  const Bytes good = WriteRla(rgb, 6, 3, Ramp8);
  Image img;
  ASSERT_TRUE(Decode(ReadRla, good, img));

  Bytes bad = good;
  bad.resize(bad.size() - 2);
  EXPECT_FALSE(Decode(ReadRla, bad, img)) << "last record cut short";
  bad = good;
  bad[740] = 0x7F;  // first scanline offset far past the end
  EXPECT_FALSE(Decode(ReadRla, bad, img)) << "offset past the end";
  bad = good;
  bad[21] = 0;  // no colour channels
  EXPECT_FALSE(Decode(ReadRla, bad, img)) << "no colour channels";
  bad = good;
  bad[10] = 0x7F;  // active right far beyond the data
  EXPECT_FALSE(Decode(ReadRla, bad, img)) << "window wider than the data";
  EXPECT_FALSE(Decode(ReadRla, Bytes(good.begin(), good.begin() + 700), img)) << "short header";

  const char* const broken[] = {
      "rla/broken/record_overrun.rla",  // a run-length record shorter than its scanline
      "rla/broken/inverted_window.rla", // active top below active bottom
  };
  for (const char* name : broken) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Decode(ReadRla, ReadFixture(name), img));
  }
}

}  // namespace
