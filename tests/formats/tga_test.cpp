#include <algorithm>
#include <map>
#include <tuple>

#include "tests/formats/legacy_pattern.h"

using namespace legacy_test;
using formats::Image;
using formats::ReadTga;

namespace {

struct FixtureCase {
  const char* file;
  Pattern pattern;
  int width, height;
  bool upsideDown = false;
};

// Files written by netpbm and ImageMagick.
const FixtureCase kFixtures[] = {
    {"ppmtotga_rgb_rle.tga", Pattern::Rgb, 7, 5},    // type 10, 24-bit
    {"ppmtotga_rgb_raw.tga", Pattern::Rgb, 7, 5},    // type 2, 24-bit
    {"ppmtotga_cmap_rle.tga", Pattern::Rgb, 7, 5},   // type 9, 24-bit map
    {"ppmtotga_grey.tga", Pattern::Grey, 7, 5},      // type 3
    // 32-bit, but pamtotga leaves the descriptor's alpha bits at 0: opaque.
    {"pamtotga_rgba.tga", Pattern::Rgb, 7, 5},
    {"convert_rle.tga", Pattern::Rgb, 20, 15},       // ImageMagick RLE, top-left origin
    {"convert_cmap.icb", Pattern::Pal16, 7, 5},      // ImageMagick colour map, top-left origin
    // ImageMagick's default: rows written top row first under a bottom-left
    // origin. The header wins, so the picture comes out upside down.
    {"convert_grey.vst", Pattern::Grey, 7, 5, true},
};

TEST(Tga, ReadsFixtures) {
  for (const auto& c : kFixtures) {
    SCOPED_TRACE(c.file);
    Image img;
    ASSERT_TRUE(Decode(ReadTga, ReadFixture(std::string("tga/") + c.file), img));
    if (c.upsideDown) formats::FlipVertical(img);
    ExpectPattern(img, c.pattern, c.width, c.height);
  }
}

// What a test-written file looks like.
struct Layout {
  const char* what;
  Pattern pattern;
  int type;        // 1, 2, 3, 9, 10, 11
  int depth;       // bits per stored pixel
  int descriptor;  // alpha bits, bit 4 right-to-left, bit 5 top-to-bottom
  int mapBits = 0;
  int mapFirst = 0;
  int tolerance = 0;
  int channels = 3;
};

std::vector<std::uint8_t> Stored(const Px& c, int bits) {
  switch (bits) {
    case 8: return {static_cast<std::uint8_t>(c.r)};
    case 15:
    case 16: {
      const int v = ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3) | (c.a >= 128 ? 0x8000 : 0);
      return {static_cast<std::uint8_t>(v & 255), static_cast<std::uint8_t>(v >> 8)};
    }
    case 24: return {static_cast<std::uint8_t>(c.b), static_cast<std::uint8_t>(c.g), static_cast<std::uint8_t>(c.r)};
    default:
      return {static_cast<std::uint8_t>(c.b), static_cast<std::uint8_t>(c.g), static_cast<std::uint8_t>(c.r),
              static_cast<std::uint8_t>(c.a)};
  }
}

// Writes the pattern as a Targa file; RLE packets run on across rows.
std::vector<std::uint8_t> WriteTga(const Layout& l, int w, int h, std::size_t extensionAttribute = 99) {
  const bool mapped = l.type == 1 || l.type == 9;
  std::vector<std::vector<std::uint8_t>> pixels;  // in file order
  std::vector<Px> map;
  std::map<std::tuple<int, int, int, int>, int> indexOf;
  for (int fy = 0; fy < h; ++fy) {
    const int y = (l.descriptor & 0x20) ? fy : h - 1 - fy;
    for (int fx = 0; fx < w; ++fx) {
      const int x = (l.descriptor & 0x10) ? w - 1 - fx : fx;
      const Px c = Expected(l.pattern, x, y);
      if (mapped) {
        auto key = std::make_tuple(c.r, c.g, c.b, c.a);
        if (!indexOf.count(key)) {
          indexOf[key] = static_cast<int>(map.size());
          map.push_back(c);
        }
        pixels.push_back({static_cast<std::uint8_t>(indexOf[key] + l.mapFirst)});
      } else {
        pixels.push_back(Stored(c, l.depth));
      }
    }
  }
  Bytes b;
  b.u8(3).u8(mapped ? 1 : 0).u8(l.type);
  b.u16le(l.mapFirst).u16le(mapped ? static_cast<int>(map.size()) : 0).u8(mapped ? l.mapBits : 0);
  b.u16le(0).u16le(0).u16le(w).u16le(h).u8(l.depth).u8(l.descriptor);
  b.text("abc");  // image id
  for (const Px& c : map) {
    for (auto v : Stored(c, l.mapBits)) b.u8(v);
  }
  if (l.type < 9) {
    for (const auto& p : pixels) b.v.insert(b.v.end(), p.begin(), p.end());
  } else {
    for (std::size_t i = 0; i < pixels.size();) {
      std::size_t run = 1;
      while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i]) ++run;
      if (run > 1) {
        b.u8(0x80 | static_cast<int>(run - 1));
        b.v.insert(b.v.end(), pixels[i].begin(), pixels[i].end());
        i += run;
        continue;
      }
      std::size_t lit = 1;
      while (i + lit < pixels.size() && lit < 128 &&
             !(i + lit + 1 < pixels.size() && pixels[i + lit] == pixels[i + lit + 1])) {
        ++lit;
      }
      b.u8(static_cast<int>(lit - 1));
      for (std::size_t k = 0; k < lit; ++k) b.v.insert(b.v.end(), pixels[i + k].begin(), pixels[i + k].end());
      i += lit;
    }
  }
  if (extensionAttribute != 99) {
    const auto ext = static_cast<std::uint32_t>(b.v.size());
    b.u16le(495).fill(492).u8(static_cast<int>(extensionAttribute));
    b.u32le(ext).u32le(0).text("TRUEVISION-XFILE.").u8(0);
  }
  return b.v;
}

const Layout kLayouts[] = {
    {"24-bit top-down", Pattern::Rgb, 2, 24, 0x20},
    {"24-bit right-to-left bottom-up", Pattern::Rgb, 2, 24, 0x10},
    {"32-bit alpha right-to-left top-down", Pattern::Rgba, 2, 32, 0x38, 0, 0, 0, 4},
    {"32-bit without alpha bits", Pattern::Rgb, 2, 32, 0x00},
    {"16-bit with attribute bit", Pattern::Rgb, 10, 16, 0x21, 0, 0, 7, 4},
    {"15-bit RLE top-down right-to-left", Pattern::Rgb, 10, 15, 0x30, 0, 0, 7},
    {"colour map, first index 5", Pattern::Pal16, 1, 8, 0x00, 24, 5},
    {"RLE colour map of 15-bit entries, first index 200", Pattern::Pal16, 9, 8, 0x20, 15, 200, 7},
    {"RLE colour map of 32-bit entries with alpha", Pattern::Rgba, 9, 8, 0x08, 32, 0, 0, 4},
    {"RLE grey", Pattern::Grey, 11, 8, 0x00},
    {"raw grey top-down", Pattern::Bits, 3, 8, 0x20},
};

TEST(Tga, ReadsEveryLayout) {
  for (const auto& l : kLayouts) {
    SCOPED_TRACE(l.what);
    Image img;
    ASSERT_TRUE(Decode(ReadTga, WriteTga(l, 7, 5), img));
    EXPECT_EQ(img.channels, l.channels);
    ExpectPattern(img, l.pattern, 7, 5, l.tolerance);
  }
}

TEST(Tga, RunPacketCrossesRowEnd) {
  // 3 × 2 picture: one run of 6 pixels, then nothing.
  Bytes b;
  b.u8(0).u8(0).u8(10).fill(5).u16le(0).u16le(0).u16le(3).u16le(2).u8(24).u8(0x20);
  b.u8(0x85).u8(10).u8(20).u8(30);
  Image img;
  ASSERT_TRUE(Decode(ReadTga, b.v, img));
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(img.pixels[i * 3], 30);
    EXPECT_EQ(img.pixels[i * 3 + 2], 10);
  }
}

TEST(Tga, ExtensionAreaDecidesAboutAlpha) {
  const Layout l{"32-bit", Pattern::Rgba, 2, 32, 0x28};
  for (int attribute : {0, 1, 2}) {
    Image img;
    ASSERT_TRUE(Decode(ReadTga, WriteTga(l, 7, 5, attribute), img));
    EXPECT_EQ(img.channels, 3) << attribute;
  }
  Image useful;
  ASSERT_TRUE(Decode(ReadTga, WriteTga(l, 7, 5, 3), useful));
  ExpectPattern(useful, Pattern::Rgba, 7, 5);
}

TEST(Tga, AllZeroAlphaMeansOpaque) {
  Bytes b;
  b.u8(0).u8(0).u8(2).fill(5).u16le(0).u16le(0).u16le(2).u16le(1).u8(32).u8(0x28);
  b.u8(1).u8(2).u8(3).u8(0).u8(4).u8(5).u8(6).u8(0);
  Image img;
  ASSERT_TRUE(Decode(ReadTga, b.v, img));
  ASSERT_EQ(img.channels, 4);
  EXPECT_EQ(img.pixels[3], 255);
  EXPECT_EQ(img.pixels[7], 255);
}

TEST(Tga, RejectsBrokenFiles) {
  ExpectAllBrokenFail(ReadTga, "tga/broken",
                      {
                          "truncated_raw.tga",   // raw data shorter than the header promises
                          "truncated_rle.tga",   // RLE packets end before the last row
                          "bad_type.tga",        // image type 4 does not exist
                          "bad_depth.tga",       // 12 bits per pixel
                          "zero_width.tga",      // width 0
                          "cmap_missing.tga",    // colour-mapped type without a colour map
                          "cmap_short.tga",      // colour map longer than the file
                          "huge_raw.tga",        // 30000 × 30000 claimed by a tiny file
                          "short_header.tga",    // file ends inside the header
                      });
}

}  // namespace
