// GEM raster reader: a file from pbmtogem compared with gemtopnm's output,
// hand-built files for runs, replication, planes and XIMG palettes, and
// broken files (".img" is also a disk image, among others).
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "tests/formats/fixture_check.h"
#include "tests/formats/reference_pnm.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Image;

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}

// Header of eight words, then `extra` header bytes, then the data.
Bytes Gem(int planes, int patLen, int w, int h, const Bytes& data, const Bytes& extra = {},
          unsigned version = 1) {
  Bytes b;
  Put16(b, version);
  Put16(b, static_cast<unsigned>(8 + extra.size() / 2));
  Put16(b, planes);
  Put16(b, patLen);
  Put16(b, 85);  // pixel size in microns (300 dpi)
  Put16(b, 85);
  Put16(b, w);
  Put16(b, h);
  b.insert(b.end(), extra.begin(), extra.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// "XIMG" extension: RGB model, one 0..1000 triple per colour.
Bytes Ximg(const std::vector<std::array<unsigned, 3>>& colours) {
  Bytes b{'X', 'I', 'M', 'G'};
  Put16(b, 0);
  for (const auto& c : colours) {
    Put16(b, c[0]);
    Put16(b, c[1]);
    Put16(b, c[2]);
  }
  return b;
}

struct Pixel {
  int x, y;
  std::uint32_t rgb;
};

struct BuiltCase {
  const char* name;
  Bytes file;
  int width, height;
  std::vector<Pixel> pixels;
};

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;

std::vector<BuiltCase> BuiltCases() {
  return {
      // Solid runs (bit 7 = black) on the first line, a literal on the second.
      {"solid and literal",
       Gem(1, 1, 16, 2, {0x81, 0x01, 0x80, 0x02, 0xAA, 0x55}),
       16,
       2,
       {{0, 0, kBlack},
        {7, 0, kBlack},
        {8, 0, kWhite},
        {15, 0, kWhite},
        {0, 1, kBlack},
        {1, 1, kWhite},
        {8, 1, kWhite},
        {9, 1, kBlack}}},
      // Pattern run: the two-byte pattern F0 0F twice.
      {"pattern run",
       Gem(1, 2, 32, 1, {0x00, 0x02, 0xF0, 0x0F}),
       32,
       1,
       {{0, 0, kBlack},
        {4, 0, kWhite},
        {11, 0, kWhite},
        {12, 0, kBlack},
        {16, 0, kBlack},
        {31, 0, kBlack}}},
      // Vertical replication: the first coded line is drawn three times.
      {"vertical replication",
       Gem(1, 1, 16, 4, {0x00, 0x00, 0xFF, 0x03, 0x82, 0x02}),
       16,
       4,
       {{0, 0, kBlack}, {15, 2, kBlack}, {0, 3, kWhite}, {15, 3, kWhite}}},
      // A run longer than the line is cut at the line's end.
      {"run past the line end",
       Gem(1, 1, 8, 2, {0x85, 0x01}),
       8,
       2,
       {{7, 0, kBlack}, {0, 1, kWhite}}},
      // Four planes without a palette: the usual GEM colours, white at 0,
      // black at 15; plane 0 is the lowest bit.
      {"four planes default palette",
       Gem(4, 1, 8, 1, {0x80, 0x01, 0x0F, 0x80, 0x01, 0x33, 0x80, 0x01, 0x55, 0x81}),
       8,
       1,
       {{0, 0, 0x808080},  // index 8
        {1, 0, 0x000080},  // index 12
        {2, 0, 0x800080},  // index 10
        {3, 0, 0x800000},  // index 14
        {4, 0, 0x008080},  // index 9
        {7, 0, kBlack}}},  // index 15
      // Three planes without a palette.
      {"three planes default palette",
       Gem(3, 1, 8, 1, {0x81, 0x01, 0x80, 0x01, 0x0F}),
       8,
       1,
       {{0, 0, 0x00FFFF}, {4, 0, 0x00FF00}}},
      // XIMG palette of 0..1000 values for two planes.
      {"ximg palette",
       Gem(2, 1, 4, 1, {0x80, 0x01, 0x50, 0x80, 0x01, 0x30},
           Ximg({{1000, 1000, 1000}, {1000, 0, 0}, {0, 500, 0}, {0, 0, 1000}})),
       4,
       1,
       {{0, 0, 0xFFFFFF}, {1, 0, 0xFF0000}, {2, 0, 0x008000}, {3, 0, 0x0000FF}}},
      // A file cut short after its first line keeps that line; the rest is white.
      {"cut short",
       Gem(1, 1, 8, 3, {0x81}),
       8,
       3,
       {{0, 0, kBlack}, {0, 1, kWhite}, {7, 2, kWhite}}},
  };
}

class GemBuilt : public ::testing::TestWithParam<BuiltCase> {};

TEST_P(GemBuilt, DecodesPixels) {
  const BuiltCase& c = GetParam();
  formats::Source src;
  src.path = "built.img";
  src.data = c.file;
  Image img;
  ASSERT_TRUE(formats::ReadGem(src, img));
  EXPECT_EQ(img.width, c.width);
  EXPECT_EQ(img.height, c.height);
  EXPECT_EQ(img.channels, 3);
  for (const Pixel& p : c.pixels) {
    const std::uint8_t* px = img.At(p.x, p.y);
    const std::uint32_t got = (px[0] << 16) | (px[1] << 8) | px[2];
    EXPECT_EQ(got, p.rgb) << std::hex << "pixel " << std::dec << p.x << "," << p.y;
  }
}

std::string CaseName(const ::testing::TestParamInfo<BuiltCase>& param) {
  std::string n = param.param.name;
  for (char& ch : n) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return n;
}

INSTANTIATE_TEST_SUITE_P(Cases, GemBuilt, ::testing::ValuesIn(BuiltCases()), CaseName);

// Files written by pbmtogem, each beside gemtopnm's reading of it.
struct FixtureCase {
  const char* file;
  const char* reference;
  int width, height;
};

class GemFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(GemFixture, MatchesReference) {
  const FixtureCase& c = GetParam();
  const std::string dir = std::string(GALVORA_FIXTURES) + "/gem/";
  const auto data = testpnm::ReadAll(dir + c.file);
  ASSERT_FALSE(data.empty());
  formats::Source src;
  src.path = c.file;
  src.data = data;
  Image img, ref;
  ASSERT_TRUE(formats::ReadGem(src, img));
  ASSERT_TRUE(testpnm::ParsePnm(testpnm::ReadAll(dir + c.reference), ref));
  EXPECT_EQ(img.width, c.width);
  EXPECT_EQ(img.height, c.height);
  EXPECT_EQ(testpnm::CountDifferences(img, ref), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, GemFixture,
                         ::testing::Values(FixtureCase{"mono.img", "mono.pbm", 45, 13},
                                           // vertical replication and pattern runs
                                           FixtureCase{"stripes.img", "stripes.pbm", 70, 40}));

// Damaged files and files of other formats that share the extension.
struct BrokenCase {
  const char* name;
  Bytes file;
};

std::vector<BrokenCase> BrokenCases() {
  const Bytes line = {0x81, 0x01};
  Bytes bootSector = {0xEB, 0x3C, 0x90, 'M',  'S',  'D',  'O',  'S',  '5', '.',
                      '0',  0x00, 0x02, 0x01, 0x01, 0x00, 0x02, 0xE0, 0x00};
  bootSector.resize(512, 0);
  Bytes shortHeader = Gem(1, 1, 16, 1, line);
  shortHeader[3] = 7;  // header length of seven words
  Bytes headerPastEnd = Gem(1, 1, 16, 1, line);
  headerPastEnd[3] = 200;
  return {
      {"empty", {}},
      {"header cut short", Bytes{0, 1, 0, 8, 0, 1}},
      {"disk image boot sector", bootSector},
      {"version 0", Gem(1, 1, 16, 1, line, {}, 0)},
      {"header length 7", shortHeader},
      {"header longer than the file", headerPastEnd},
      {"no planes", Gem(0, 1, 16, 1, line)},
      {"nine planes", Gem(9, 1, 16, 1, line)},
      {"pattern length 0", Gem(1, 0, 16, 1, line)},
      {"zero width", Gem(1, 1, 0, 1, line)},
      {"zero height", Gem(1, 1, 16, 0, line)},
      {"no data at all", Gem(1, 1, 16, 1, {})},
      {"first line cut short", Gem(1, 1, 16, 1, {0x80, 0x05, 0xFF})},
      {"replication mark without FF", Gem(1, 1, 16, 1, {0x00, 0x00, 0xFE, 0x02, 0x82})},
      {"tiny file, huge picture", Gem(8, 1, 30000, 10000, {0x81, 0x01, 0x02, 0x03})},
  };
}

class GemBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(GemBroken, Fails) {
  formats::Source src;
  src.path = "broken.img";
  src.data = GetParam().file;
  Image img;
  EXPECT_FALSE(formats::ReadGem(src, img)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Cases, GemBroken, ::testing::ValuesIn(BrokenCases()));

TEST(GemBrokenFile, BrokenFilesFail) {
  CheckFixtures("gem", formats::ReadGem, {},
                {
                    {"boot_sector.img", "a disk image's boot sector: version word 0xEB3C"},
                    {"first_line_cut.img", "ends after a replication mark, before any line"},
                    {"zero_planes.img", "planes 0: no line would ever be read"},
                },
                0);
}

}  // namespace
