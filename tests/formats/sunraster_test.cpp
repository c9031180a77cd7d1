#include "tests/formats/legacy_pattern.h"

using namespace legacy_test;
using formats::Image;
using formats::ReadSunRaster;

namespace {

struct FixtureCase {
  const char* file;
  Pattern pattern;
  int width, height;
};

// Files written by netpbm's pnmtorast and ImageMagick.
const FixtureCase kFixtures[] = {
    {"pnmtorast_24bit.ras", Pattern::Rgb, 20, 15},      // type 1, BGR
    {"pnmtorast_24bit_rle.ras", Pattern::Rgb, 20, 15},  // asked for RLE, 24-bit
    {"pnmtorast_cmap_rle.ras", Pattern::Rgb, 7, 5},     // type 2, 8-bit with colour map
    {"pnmtorast_grey.ras", Pattern::Grey, 7, 5},        // 8-bit with grey map
    {"convert_mono.ras", Pattern::Bits, 7, 5},          // ImageMagick keeps bilevel as 24-bit
    {"convert_24bit.ras", Pattern::Rgb, 20, 15},        // type 3, RGB order
    {"convert_8bit.ras", Pattern::Pal16, 7, 5},         // 8-bit with colour map
};

TEST(SunRaster, ReadsFixtures) {
  for (const auto& c : kFixtures) {
    SCOPED_TRACE(c.file);
    Image img;
    ASSERT_TRUE(Decode(ReadSunRaster, ReadFixture(std::string("sunraster/") + c.file), img));
    ExpectPattern(img, c.pattern, c.width, c.height);
  }
}

std::vector<std::uint8_t> Header(int w, int h, int depth, int length, int type, int mapType, int mapLength) {
  Bytes b;
  b.u32be(0x59A66A95).u32be(w).u32be(h).u32be(depth).u32be(length).u32be(type).u32be(mapType).u32be(mapLength);
  return b.v;
}

// 24/32-bit rows of the Rgb pattern: BGR (XBGR) or RGB (XRGB), padded to 16 bits.
std::vector<std::uint8_t> TrueColour(int depth, int type, bool zeroLength) {
  Bytes data;
  for (int y = 0; y < 5; ++y) {
    std::size_t row = 0;
    for (int x = 0; x < 7; ++x) {
      const Px c = Expected(Pattern::Rgb, x, y);
      if (depth == 32) data.u8(0);
      if (type == 3) data.u8(c.r).u8(c.g).u8(c.b);
      else data.u8(c.b).u8(c.g).u8(c.r);
      row += depth / 8;
    }
    if (row % 2) data.u8(0);
  }
  auto file = Header(7, 5, depth, zeroLength ? 0 : static_cast<int>(data.v.size()), type, 0, 0);
  file.insert(file.end(), data.v.begin(), data.v.end());
  return file;
}

TEST(SunRaster, TrueColourOrders) {
  const struct {
    int depth, type;
    bool zeroLength;
  } kCases[] = {{24, 0, true}, {24, 1, false}, {24, 3, false}, {32, 1, false}, {32, 3, false}, {32, 0, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.depth << " type " << c.type);
    Image img;
    ASSERT_TRUE(Decode(ReadSunRaster, TrueColour(c.depth, c.type, c.zeroLength), img));
    ExpectPattern(img, Pattern::Rgb, 7, 5);
  }
}

TEST(SunRaster, RunLengthEscapes) {
  // 8-bit grey, 5 × 2 (rows padded to 6 bytes), no map: literal 0x80 via
  // 80 00, a run of 4 crossing the row end via 80 03 v.
  auto file = Header(5, 2, 8, 0, 2, 0, 0);
  const std::uint8_t data[] = {0x80, 0x00, 1, 2, 3, 0x80, 0x03, 9, 4, 5, 0x80, 0x01, 7};
  file.insert(file.end(), std::begin(data), std::end(data));
  Image img;
  ASSERT_TRUE(Decode(ReadSunRaster, file, img));
  const int expected[2][5] = {{0x80, 1, 2, 3, 9}, {9, 9, 4, 5, 7}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(img.At(x, y)[0], expected[y][x]) << x << "," << y;
  }
}

TEST(SunRaster, MonoRowsPaddedTo16Bits) {
  auto file = Header(7, 5, 1, 10, 1, 0, 0);
  for (int y = 0; y < 5; ++y) {
    int bits = 0;
    for (int x = 0; x < 7; ++x) bits |= (Expected(Pattern::Bits, x, y).r == 0 ? 1 : 0) << (7 - x);
    file.push_back(static_cast<std::uint8_t>(bits));
    file.push_back(0xFF);  // padding: never shown
  }
  Image img;
  ASSERT_TRUE(Decode(ReadSunRaster, file, img));
  ExpectPattern(img, Pattern::Bits, 7, 5);
}

TEST(SunRaster, MonoWithColourMap) {
  // 1-bit with a two-entry map: 0 = red, 1 = blue.
  auto file = Header(3, 1, 1, 2, 1, 1, 6);
  const std::uint8_t rest[] = {255, 0, 0, 0, 0, 255, 0b01000000, 0};
  file.insert(file.end(), std::begin(rest), std::end(rest));
  Image img;
  ASSERT_TRUE(Decode(ReadSunRaster, file, img));
  EXPECT_EQ(img.At(0, 0)[0], 255);
  EXPECT_EQ(img.At(1, 0)[2], 255);
  EXPECT_EQ(img.At(1, 0)[0], 0);
}

TEST(SunRaster, RejectsBrokenFiles) {
  ExpectAllBrokenFail(ReadSunRaster, "sunraster/broken",
                      {
                          "truncated.ras",        // raw rows shorter than the header promises
                          "truncated_rle.ras",    // encoded data ends early
                          "bad_magic.ras",        // wrong magic number
                          "depth16.ras",          // 16 bits per pixel
                          "type_tiff.ras",        // type 4 (TIFF-wrapped)
                          "map_too_long.ras",     // colour map length past the end
                          "map_not_triples.ras",  // map length not a multiple of 3
                          "huge.ras",             // 30000 × 30000 from a small file
                      });
}

}  // namespace
