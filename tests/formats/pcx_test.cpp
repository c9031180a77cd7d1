#include "generation/formats/reader.h"
#include "tests/formats/legacy_pattern.h"

using namespace legacy_test;
using formats::Image;
using formats::ReadPcx;

namespace {

struct FixtureCase {
  const char* file;
  Pattern pattern;
  int width, height;
};

// Files written by netpbm and ImageMagick.
const FixtureCase kFixtures[] = {
    {"ppmtopcx_8bit.pcx", Pattern::Rgb, 7, 5},     // 1 × 8 bit + 256-colour palette
    {"ppmtopcx_24bit.pcx", Pattern::Rgb, 20, 15},  // 3 × 8 bit
    {"ppmtopcx_planes.pcx", Pattern::Pal16, 7, 5}, // 4 × 1 bit, header palette
    {"ppmtopcx_packed.pcx", Pattern::Pal16, 7, 5}, // 1 × 4 bit, header palette
    {"ppmtopcx_mono.pcx", Pattern::Bits, 7, 5},    // 1 × 1 bit
    {"convert_24bit.pcx", Pattern::Rgb, 20, 15},
    {"convert_8bit.pcc", Pattern::Rgb, 7, 5},
};

TEST(Pcx, ReadsFixtures) {
  for (const auto& c : kFixtures) {
    SCOPED_TRACE(c.file);
    Image img;
    ASSERT_TRUE(Decode(ReadPcx, ReadFixture(std::string("pcx/") + c.file), img));
    ExpectPattern(img, c.pattern, c.width, c.height);
  }
}

// RLE over the whole stream, so runs carry on across plane and row ends.
std::vector<std::uint8_t> Rle(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t run = 1;
    while (i + run < raw.size() && run < 63 && raw[i + run] == raw[i]) ++run;
    if (run > 1 || raw[i] >= 0xC0) {
      out.push_back(static_cast<std::uint8_t>(0xC0 | run));
    }
    out.push_back(raw[i]);
    i += run;
  }
  return out;
}

struct PcxFile {
  int maker = 0x0A, version = 5, encoding = 1, bits = 8, planes = 1;
  int width = 7, height = 5, bytesPerLine = 0;
  std::vector<formats::Rgb> headerPalette;  // up to 16
  std::vector<std::uint8_t> raw;            // height × planes × bytesPerLine
  bool vgaPalette = false;
  formats::Palette vga{};

  std::vector<std::uint8_t> Write() const {
    Bytes b;
    b.u8(maker).u8(version).u8(encoding).u8(bits);
    b.u16le(0).u16le(0).u16le(width - 1).u16le(height - 1).u16le(72).u16le(72);
    for (int i = 0; i < 16; ++i) {
      const formats::Rgb c = i < static_cast<int>(headerPalette.size()) ? headerPalette[i] : formats::Rgb{};
      b.u8(c.r).u8(c.g).u8(c.b);
    }
    b.u8(0).u8(planes).u16le(bytesPerLine).u16le(1).fill(58);
    const auto data = encoding == 1 ? Rle(raw) : raw;
    b.v.insert(b.v.end(), data.begin(), data.end());
    if (vgaPalette) {
      b.u8(0x0C);
      for (const auto& c : vga) b.u8(c.r).u8(c.g).u8(c.b);
    }
    return b.v;
  }
};

// Planar index rows: plane p holds bit p (or bits p×bits..) of each index.
PcxFile Planar(int bits, int planes, int (*index)(int, int)) {
  PcxFile f;
  f.bits = bits;
  f.planes = planes;
  f.bytesPerLine = static_cast<int>(formats::RowBytes(f.width, bits, 2));
  for (int y = 0; y < f.height; ++y) {
    for (int p = 0; p < planes; ++p) {
      std::vector<std::uint8_t> line(f.bytesPerLine, 0);
      for (int x = 0; x < f.width; ++x) {
        const int v = (index(x, y) >> (p * bits)) & ((1 << bits) - 1);
        const int bit = x * bits;
        line[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
      }
      f.raw.insert(f.raw.end(), line.begin(), line.end());
    }
  }
  return f;
}

int Index16(int x, int y) { return (x + 7 * y) % 16; }
int Index4(int x, int y) { return (x + y) % 4; }

void ExpectIndices(const Image& img, const formats::Palette& pal, int (*index)(int, int)) {
  ASSERT_EQ(img.channels, 3);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const auto& c = pal[index(x, y)];
      const std::uint8_t* q = img.pixels.data() + (static_cast<std::size_t>(y) * img.width + x) * 3;
      ASSERT_TRUE(q[0] == c.r && q[1] == c.g && q[2] == c.b) << x << "," << y;
    }
  }
}

TEST(Pcx, Version3MeansDefaultEgaPalette) {
  PcxFile f = Planar(1, 4, Index16);
  f.version = 3;
  f.headerPalette = {{1, 2, 3}, {4, 5, 6}};  // ignored: version 3 has no palette
  Image img;
  ASSERT_TRUE(Decode(ReadPcx, f.Write(), img));
  ExpectIndices(img, formats::EgaPalette(), Index16);
}

TEST(Pcx, PlaneLayoutsUseTheHeaderPalette) {
  formats::Palette pal{};
  for (int i = 0; i < 16; ++i) pal[i] = {static_cast<std::uint8_t>(i * 16), 7, static_cast<std::uint8_t>(255 - i)};
  const struct {
    int bits, planes;
    int (*index)(int, int);
  } kLayouts[] = {{1, 4, Index16}, {4, 1, Index16}, {1, 2, Index4}, {1, 3, Index4}, {2, 1, Index4}};
  for (const auto& l : kLayouts) {
    SCOPED_TRACE(testing::Message() << l.bits << " bits × " << l.planes << " planes");
    PcxFile f = Planar(l.bits, l.planes, l.index);
    f.headerPalette.assign(pal.begin(), pal.begin() + 16);
    Image img;
    ASSERT_TRUE(Decode(ReadPcx, f.Write(), img));
    ExpectIndices(img, pal, l.index);
  }
}

TEST(Pcx, CgaWithoutPaletteUsesDefaultColours) {
  PcxFile f = Planar(2, 1, Index4);
  Image img;
  ASSERT_TRUE(Decode(ReadPcx, f.Write(), img));
  formats::Palette cga{};
  cga[0] = {0, 0, 0};
  cga[1] = {85, 255, 255};
  cga[2] = {255, 85, 255};
  cga[3] = {255, 255, 255};
  ExpectIndices(img, cga, Index4);
}

TEST(Pcx, RunsCrossPlaneAndRowEnds) {
  // 24-bit, 4 × 2: one run of 24 identical bytes covers every plane and row.
  PcxFile f;
  f.planes = 3;
  f.width = 4;
  f.height = 2;
  f.bytesPerLine = 4;
  f.raw.assign(24, 0x40);
  auto bytes = f.Write();
  ASSERT_EQ(bytes.size(), 130u);  // header + one run pair
  Image img;
  ASSERT_TRUE(Decode(ReadPcx, bytes, img));
  for (auto v : img.pixels) EXPECT_EQ(v, 0x40);
}

TEST(Pcx, RawEncodingScreenCaptureAndRgba) {
  // Word screen capture: 0xCD first byte, otherwise a PCX file (here raw).
  PcxFile scr = Planar(1, 1, [](int x, int y) { return (x + y) % 3 == 0 ? 0 : 1; });
  scr.maker = 0xCD;
  scr.encoding = 0;
  Image img;
  ASSERT_TRUE(Decode(ReadPcx, scr.Write(), img, "capture.scr"));
  ExpectPattern(img, Pattern::Bits, 7, 5);

  // 4 × 8 bit: RGBA planes.
  PcxFile rgba;
  rgba.planes = 4;
  rgba.bytesPerLine = 8;
  for (int y = 0; y < 5; ++y) {
    for (int p = 0; p < 4; ++p) {
      for (int x = 0; x < 8; ++x) {
        const Px c = Expected(Pattern::Rgba, x, y);
        const int v[4] = {c.r, c.g, c.b, c.a};
        rgba.raw.push_back(static_cast<std::uint8_t>(x < 7 ? v[p] : 0));
      }
    }
  }
  Image four;
  ASSERT_TRUE(Decode(ReadPcx, rgba.Write(), four));
  ExpectPattern(four, Pattern::Rgba, 7, 5);
}

TEST(Pcx, EightBitWithoutPaletteIsGrey) {
  PcxFile f;
  f.bytesPerLine = 8;
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 8; ++x) f.raw.push_back(static_cast<std::uint8_t>(x < 7 ? Expected(Pattern::Grey, x, y).r : 0));
  }
  Image img;
  ASSERT_TRUE(Decode(ReadPcx, f.Write(), img));
  ExpectPattern(img, Pattern::Grey, 7, 5);
}

TEST(Pcx, RejectsBrokenFiles) {
  ExpectAllBrokenFail(ReadPcx, "pcx/broken",
                      {
                          "truncated_rle.pcx",    // RLE data ends before the last row
                          "bad_maker.pcx",        // first byte neither 0x0A nor 0xCD
                          "bad_bits.pcx",         // 3 bits per pixel
                          "short_lines.pcx",      // bytes per line too small for the width
                          "inverted_window.pcx",  // xmin > xmax
                          "five_planes.pcx",      // 5 planes of 1 bit
                          "huge_window.pcx",      // 30000 × 30000 from a few hundred bytes
                          "header_only.pcx",      // no picture data at all
                      });
}

}  // namespace
