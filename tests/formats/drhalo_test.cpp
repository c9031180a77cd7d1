// Dr. Halo reader: CUT pictures with their palette beside them as ".PAL",
// ".pal" or not at all, palettes opened as pictures, and broken files. The
// files are written by the test into its own temporary folder.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "tests/formats/fixture_check.h"
#include "tests/formats/reference_pnm.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using formats::Image;

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// CUT: width, height, reserved, then each row as its byte count and packets.
Bytes Cut(int w, const std::vector<Bytes>& rows) {
  Bytes b;
  Put16(b, w);
  Put16(b, static_cast<unsigned>(rows.size()));
  Put16(b, 0);
  for (const Bytes& r : rows) {
    Put16(b, static_cast<unsigned>(r.size()));
    b.insert(b.end(), r.begin(), r.end());
  }
  return b;
}

// PAL: 40-byte header, then R, G, B words per entry; an entry never crosses
// a 512-byte block, the block's tail is left as padding.
Bytes Pal(const std::vector<std::array<unsigned, 3>>& entries, unsigned maxValue,
          std::uint8_t type = 0x0A, std::uint8_t subtype = 0) {
  Bytes b{'A', 'H'};
  Put16(b, 0xE3);  // version
  Put16(b, 0);     // size, filled in below
  b.push_back(type);
  b.push_back(subtype);
  Put16(b, 0);  // board
  Put16(b, 0);  // mode
  Put16(b, static_cast<unsigned>(entries.size() - 1));
  Put16(b, maxValue);
  Put16(b, maxValue);
  Put16(b, maxValue);
  const std::string name = "TEST PALETTE";
  for (std::size_t i = 0; i < 20; ++i)
    b.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
  for (const auto& e : entries) {
    if (b.size() % 512 + 6 > 512) b.resize((b.size() / 512 + 1) * 512, 0);
    Put16(b, e[0]);
    Put16(b, e[1]);
    Put16(b, e[2]);
  }
  b[4] = static_cast<std::uint8_t>(b.size());
  b[5] = static_cast<std::uint8_t>(b.size() >> 8);
  return b;
}

std::uint32_t RgbAt(const Image& img, int x, int y) {
  const std::uint8_t* p = img.Row(y) + static_cast<std::size_t>(x) * img.channels;
  return (p[0] << 16) | (p[1] << 8) | p[2];
}

class DrHaloTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = fs::temp_directory_path() /
           ("galvora-drhalo-" + std::to_string(rd()) + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string Write(const std::string& name, const Bytes& data) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return p.string();
  }

  // Writes the CUT file and reads it back from its path.
  bool ReadCutFile(const std::string& name, const Bytes& data, Image& img) {
    const std::string path = Write(name, data);
    const Bytes bytes = testpnm::ReadAll(path);
    formats::Source src;
    src.path = path;
    src.data = bytes;
    return formats::ReadCut(src, img);
  }

  fs::path dir_;
};

// Three rows of four pixels: a run, literals, and a row whose run is longer
// than the picture is wide.
const Bytes kPicture = Cut(4, {{0x84, 1, 0}, {0x02, 2, 3, 0x82, 0, 0}, {0x86, 3, 0}});

const std::vector<std::array<unsigned, 3>> kColours = {
    {0, 0, 0}, {63, 0, 0}, {0, 32, 0}, {0, 0, 63}};
const std::vector<std::array<unsigned, 3>> kOtherColours = {
    {63, 63, 63}, {0, 63, 63}, {63, 0, 63}, {63, 63, 0}};

TEST_F(DrHaloTest, PaletteInUpperCase) {
  Write("pic.PAL", Pal(kColours, 63));
  Image img;
  ASSERT_TRUE(ReadCutFile("pic.cut", kPicture, img));
  EXPECT_EQ(img.width, 4);
  EXPECT_EQ(img.height, 3);
  EXPECT_EQ(img.channels, 3);
  EXPECT_EQ(RgbAt(img, 0, 0), 0xFF0000u);
  EXPECT_EQ(RgbAt(img, 3, 0), 0xFF0000u);
  EXPECT_EQ(RgbAt(img, 0, 1), 0x008200u);  // 32 of 63
  EXPECT_EQ(RgbAt(img, 1, 1), 0x0000FFu);
  EXPECT_EQ(RgbAt(img, 2, 1), 0x000000u);
  EXPECT_EQ(RgbAt(img, 3, 2), 0x0000FFu);
}

TEST_F(DrHaloTest, PaletteInLowerCase) {
  Write("low.pal", Pal(kColours, 63));
  Image img;
  ASSERT_TRUE(ReadCutFile("low.cut", kPicture, img));
  EXPECT_EQ(RgbAt(img, 0, 0), 0xFF0000u);
  EXPECT_EQ(RgbAt(img, 1, 1), 0x0000FFu);
}

TEST_F(DrHaloTest, UpperCasePaletteComesFirst) {
  Write("both.PAL", Pal(kColours, 63));
  Write("both.pal", Pal(kOtherColours, 63));
  Image img;
  ASSERT_TRUE(ReadCutFile("both.CUT", kPicture, img));
  EXPECT_EQ(RgbAt(img, 0, 0), 0xFF0000u);
}

TEST_F(DrHaloTest, BrokenUpperCasePaletteFallsBackToLowerCase) {
  Write("fall.PAL", Bytes{'J', 'A', 'S', 'C'});
  Write("fall.pal", Pal(kOtherColours, 63));
  Image img;
  ASSERT_TRUE(ReadCutFile("fall.cut", kPicture, img));
  EXPECT_EQ(RgbAt(img, 0, 0), 0x00FFFFu);
}

TEST_F(DrHaloTest, NoPaletteGivesGrey) {
  Image img;
  ASSERT_TRUE(ReadCutFile("alone.cut", kPicture, img));
  // Indices below 16: a 16-step ramp.
  EXPECT_EQ(RgbAt(img, 0, 0), 0x111111u);
  EXPECT_EQ(RgbAt(img, 0, 1), 0x222222u);
  EXPECT_EQ(RgbAt(img, 2, 1), 0x000000u);
  // An index of 200 calls for the 256-step ramp.
  Image wide;
  ASSERT_TRUE(ReadCutFile("wide.cut", Cut(2, {{0x01, 200, 0x01, 100, 0}}), wide));
  EXPECT_EQ(RgbAt(wide, 0, 0), 0xC8C8C8u);
  EXPECT_EQ(RgbAt(wide, 1, 0), 0x646464u);
}

TEST_F(DrHaloTest, EntriesSkipTheEndOfEach512ByteBlock) {
  std::vector<std::array<unsigned, 3>> entries;
  for (unsigned i = 0; i < 256; ++i) entries.push_back({i, 255 - i, i / 2});
  Write("big.PAL", Pal(entries, 255));
  Image img;
  ASSERT_TRUE(ReadCutFile("big.cut", Cut(4, {{0x04, 77, 78, 170, 255, 0}}), img));
  EXPECT_EQ(RgbAt(img, 0, 0), 0x4DB226u);  // last entry of the first block
  EXPECT_EQ(RgbAt(img, 1, 0), 0x4EB127u);  // first entry of the second block
  EXPECT_EQ(RgbAt(img, 2, 0), 0xAA5555u);
  EXPECT_EQ(RgbAt(img, 3, 0), 0xFF007Fu);
}

TEST_F(DrHaloTest, PaletteOpenedAsPictureShowsSwatches) {
  std::vector<std::array<unsigned, 3>> entries;
  for (unsigned i = 0; i < 20; ++i) entries.push_back({i * 10, 0, 255});
  const Bytes pal = Pal(entries, 255);
  formats::Source src;
  src.path = "swatch.pal";
  src.data = pal;
  Image img;
  ASSERT_TRUE(formats::ReadHaloPalette(src, img));
  EXPECT_EQ(img.width, 256);
  EXPECT_EQ(img.height, 32);
  EXPECT_EQ(RgbAt(img, 0, 0), 0x0000FFu);
  EXPECT_EQ(RgbAt(img, 31, 15), 0x0A00FFu);  // entry 1
  EXPECT_EQ(RgbAt(img, 48, 16), 0xBE00FFu);  // entry 19
  EXPECT_EQ(RgbAt(img, 63, 31), 0xBE00FFu);
  EXPECT_EQ(RgbAt(img, 64, 16), 0xFFFFFFu);  // no entry 20
  EXPECT_EQ(RgbAt(img, 255, 31), 0xFFFFFFu);

  // Four colours make a single row of four squares.
  const Bytes small = Pal(kColours, 63);
  src.data = small;
  ASSERT_TRUE(formats::ReadHaloPalette(src, img));
  EXPECT_EQ(img.width, 64);
  EXPECT_EQ(img.height, 16);
  EXPECT_EQ(RgbAt(img, 63, 15), 0x0000FFu);
}

// Damaged files; the fault each catches.
struct BrokenCase {
  const char* name;
  bool palette;  // read as ".pal", else as ".cut"
  Bytes file;
};

std::vector<BrokenCase> BrokenCases() {
  Bytes cutShort = kPicture;
  cutShort.resize(8);
  Bytes headerOnly = Pal(kColours, 63);
  headerOnly.resize(40);
  return {
      {"empty cut", false, {}},
      {"zero width", false, Cut(0, {{0x81, 1, 0}})},
      {"zero height", false, Cut(4, {})},
      {"rows promised but absent", false, cutShort},
      {"huge sides in a tiny file", false, Bytes{0xFF, 0x7F, 0xFF, 0x7F, 0, 0, 2, 0, 0x81, 1}},
      {"empty pal", true, {}},
      {"JASC text palette", true, Bytes{'J', 'A', 'S', 'C', '-', 'P', 'A', 'L', '\r', '\n'}},
      {"RIFF palette", true, Bytes{'R', 'I', 'F', 'F', 16, 0, 0, 0, 'P', 'A', 'L', ' '}},
      {"not a palette type", true, Pal(kColours, 63, 0x0B)},
      {"hardware-specific palette", true, Pal(kColours, 63, 0x0A, 1)},
      {"maximum of zero", true, Pal(kColours, 0)},
      {"header only", true, headerOnly},
  };
}

class DrHaloBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(DrHaloBroken, Fails) {
  const BrokenCase& c = GetParam();
  formats::Source src;
  src.path = c.palette ? "broken.pal" : "broken.cut";
  src.data = c.file;
  Image img;
  EXPECT_FALSE(c.palette ? formats::ReadHaloPalette(src, img) : formats::ReadCut(src, img))
      << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, DrHaloBroken, ::testing::ValuesIn(BrokenCases()));

// The palette reader for ".pal" files, the picture reader otherwise.
bool ReadByExtension(const formats::Source& src, Image& out) {
  return src.path.ends_with(".pal") ? formats::ReadHaloPalette(src, out)
                                    : formats::ReadCut(src, out);
}

TEST(DrHaloBrokenFile, BrokenFilesFail) {
  CheckFixtures("drhalo", ReadByExtension, {},
                {
                    {"jasc_text.pal", "a text palette of another program under the same extension"},
                    {"header_cut_short.pal", "file ends inside the 40-byte header"},
                    {"rows_missing.cut", "320 x 200 promised, one row present"},
                },
                0);
}

}  // namespace
