// Amiga IFF reader: files from ppmtoilbm compared with ilbmtoppm's output,
// hand-built files for the variants netpbm does not write, and broken files.
#include <gtest/gtest.h>

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
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v >> 16);
  Put16(b, v & 0xFFFF);
}

Bytes Chunk(const std::string& id, const Bytes& data) {
  Bytes b(id.begin(), id.end());
  Put32(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  return b;
}

Bytes Form(const std::string& type, const std::vector<Bytes>& chunks) {
  Bytes inner(type.begin(), type.end());
  for (const Bytes& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
  Bytes b{'F', 'O', 'R', 'M'};
  Put32(b, static_cast<std::uint32_t>(inner.size()));
  b.insert(b.end(), inner.begin(), inner.end());
  return b;
}

Bytes Bmhd(int w, int h, int planes, int masking, int compression) {
  Bytes b;
  Put16(b, w);
  Put16(b, h);
  Put32(b, 0);  // x, y
  b.push_back(static_cast<std::uint8_t>(planes));
  b.push_back(static_cast<std::uint8_t>(masking));
  b.push_back(static_cast<std::uint8_t>(compression));
  b.push_back(0);
  Put16(b, 0);  // transparent colour
  b.push_back(10);
  b.push_back(11);
  Put16(b, w);
  Put16(b, h);
  return Chunk("BMHD", b);
}

Bytes Cmap(const std::vector<std::uint32_t>& colours) {
  Bytes b;
  for (std::uint32_t c : colours) {
    b.push_back(static_cast<std::uint8_t>(c >> 16));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
    b.push_back(static_cast<std::uint8_t>(c));
  }
  return Chunk("CMAP", b);
}

Bytes Camg(std::uint32_t mode) {
  Bytes b;
  Put32(b, mode);
  return Chunk("CAMG", b);
}

// Uncompressed interleaved body: per row, `planes` bit rows of whole 16-bit
// words; value bit p of a pixel goes to plane p.
Bytes PlanarBody(int w, const std::vector<std::vector<unsigned>>& rows, int planes) {
  const int rowBytes = (w + 15) / 16 * 2;
  Bytes b;
  for (const auto& row : rows) {
    for (int p = 0; p < planes; ++p) {
      Bytes plane(static_cast<std::size_t>(rowBytes), 0);
      for (int x = 0; x < w; ++x) {
        if ((row[static_cast<std::size_t>(x)] >> p) & 1)
          plane[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
      b.insert(b.end(), plane.begin(), plane.end());
    }
  }
  return Chunk("BODY", b);
}

struct Pixel {
  int x, y;
  std::uint32_t rgb;
  int alpha;  // -1: the picture has no alpha channel
};

struct BuiltCase {
  const char* name;
  Bytes file;
  int width, height;
  std::vector<Pixel> pixels;
};

std::vector<BuiltCase> BuiltCases() {
  std::vector<BuiltCase> cases;
  {
    // EHB: index 33 is colour 1 at half brightness.
    std::vector<std::uint32_t> pal(32, 0);
    pal[1] = 0xFF8040;
    pal[2] = 0x102030;
    cases.push_back({"ehb",
                     Form("ILBM", {Bmhd(3, 1, 6, 0, 0), Cmap(pal), Camg(0x80),
                                   PlanarBody(3, {{1, 33, 34}}, 6)}),
                     3,
                     1,
                     {{0, 0, 0xFF8040, -1}, {1, 0, 0x7F4020, -1}, {2, 0, 0x081018, -1}}});
  }
  {
    // HAM6: set colour 1, then modify red, blue, green in turn.
    std::vector<std::uint32_t> pal(16, 0);
    pal[0] = 0x000000;
    pal[1] = 0x112244;
    cases.push_back(
        {"ham6",
         Form("ILBM", {Bmhd(5, 1, 6, 0, 0), Cmap(pal), Camg(0x800),
                       PlanarBody(5, {{0x10 | 0x5, 1, 0x20 | 0xF, 0x10 | 0x3, 0x30 | 0x8}}, 6)}),
         5,
         1,
         {{0, 0, 0x000055, -1},
          {1, 0, 0x112244, -1},
          {2, 0, 0xFF2244, -1},
          {3, 0, 0xFF2233, -1},
          {4, 0, 0xFF8833, -1}}});
  }
  {
    // HAM6 in an old file without CAMG: six planes and 16 colours.
    std::vector<std::uint32_t> pal(16, 0);
    pal[1] = 0x112244;
    cases.push_back(
        {"ham6 without camg",
         Form("ILBM", {Bmhd(2, 1, 6, 0, 0), Cmap(pal), PlanarBody(2, {{1, 0x20 | 0xF}}, 6)}),
         2,
         1,
         {{0, 0, 0x112244, -1}, {1, 0, 0xFF2244, -1}}});
  }
  {
    // HAM8: six-bit modifiers replace the upper six bits of a component.
    std::vector<std::uint32_t> pal(64, 0);
    pal[2] = 0x415263;
    cases.push_back(
        {"ham8",
         Form("ILBM", {Bmhd(4, 1, 8, 0, 0), Cmap(pal), Camg(0x800),
                       PlanarBody(4, {{2, 0x80 | 63, 0x40 | 1, 0xC0 | 32}}, 8)}),
         4,
         1,
         {{0, 0, 0x415263, -1}, {1, 0, 0xFD5263, -1}, {2, 0, 0xFD5207, -1}, {3, 0, 0xFD8207, -1}}});
  }
  {
    // Deluxe Paint chunky: one byte per pixel, rows padded to even, packed;
    // the second row's run crosses into its padding byte.
    Bytes body = {0x02, 3, 1, 2, 0x00, 0, 0xFD, 1};
    cases.push_back(
        {"pbm chunky",
         Form("PBM ", {Bmhd(3, 2, 8, 0, 1), Cmap({0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}),
                       Chunk("BODY", body)}),
         3,
         2,
         {{0, 0, 0x00FF00, -1},
          {1, 0, 0xFFFFFF, -1},
          {2, 0, 0xFF0000, -1},
          {0, 1, 0xFFFFFF, -1},
          {2, 1, 0xFFFFFF, -1}}});
  }
  {
    // 24-bit deep: red in planes 0-7, green 8-15, blue 16-23.
    cases.push_back(
        {"deep 24",
         Form("ILBM", {Bmhd(2, 1, 24, 0, 0), PlanarBody(2, {{0x123456, 0xFEDCBA}}, 24)}),
         2,
         1,
         {{0, 0, 0x563412, -1}, {1, 0, 0xBADCFE, -1}}});
  }
  {
    // 32-bit deep: the last eight planes are alpha.
    cases.push_back(
        {"deep 32",
         Form("ILBM", {Bmhd(2, 1, 32, 0, 0), PlanarBody(2, {{0xFF0000FFu, 0x7F00FF00u}}, 32)}),
         2,
         1,
         {{0, 0, 0xFF0000, 255}, {1, 0, 0x00FF00, 0x7F}}});
  }
  {
    // Mask plane (masking 1): the plane after the colour planes is alpha.
    cases.push_back({"mask plane",
                     Form("ILBM", {Bmhd(3, 1, 1, 1, 0), Cmap({0x0000FF, 0xFFFF00}),
                                   PlanarBody(3, {{0b11, 0b01, 0b10}}, 2)}),
                     3,
                     1,
                     {{0, 0, 0xFFFF00, 255}, {1, 0, 0xFFFF00, 0}, {2, 0, 0x0000FF, 255}}});
  }
  {
    // Old CMAP with 4-bit values in the high nibble.
    cases.push_back({"nibble cmap",
                     Form("ILBM", {Bmhd(2, 1, 1, 0, 0), Cmap({0xF07000, 0x10F0A0}),
                                   PlanarBody(2, {{0, 1}}, 1)}),
                     2,
                     1,
                     {{0, 0, 0xFF7700, -1}, {1, 0, 0x11FFAA, -1}}});
  }
  {
    // No CMAP: a grey ramp over the planes' range.
    cases.push_back(
        {"no cmap",
         Form("ILBM", {Bmhd(4, 1, 2, 0, 0), PlanarBody(4, {{0, 1, 2, 3}}, 2)}),
         4,
         1,
         {{0, 0, 0x000000, -1}, {1, 0, 0x555555, -1}, {2, 0, 0xAAAAAA, -1}, {3, 0, 0xFFFFFF, -1}}});
  }
  {
    // ByteRun1 whose run crosses from the first plane row into the second,
    // with an odd-length chunk (ANNO) before it that needs its pad byte.
    Bytes body = {0xFD, 0xFF, 0x00, 0x00};  // four 0xFF bytes, then one 0x00
    cases.push_back(
        {"run across planes",
         Form("ILBM", {Bmhd(16, 1, 2, 0, 1), Chunk("ANNO", {'o', 'd', 'd'}),
                       Cmap({0x000000, 0x0000FF, 0x00FF00, 0xFF0000}), Chunk("BODY", body)}),
         16,
         1,
         {{0, 0, 0xFF0000, -1}, {15, 0, 0xFF0000, -1}}});
  }
  return cases;
}

class IlbmBuilt : public ::testing::TestWithParam<BuiltCase> {};

TEST_P(IlbmBuilt, DecodesPixels) {
  const BuiltCase& c = GetParam();
  formats::Source src;
  src.path = "built.iff";
  src.data = c.file;
  Image img;
  ASSERT_TRUE(formats::ReadIlbm(src, img));
  EXPECT_EQ(img.width, c.width);
  EXPECT_EQ(img.height, c.height);
  for (const Pixel& p : c.pixels) {
    const std::uint8_t* px = img.At(p.x, p.y);
    const std::uint32_t got = (px[0] << 16) | (px[1] << 8) | px[2];
    EXPECT_EQ(got, p.rgb) << "pixel " << p.x << "," << p.y;
    if (p.alpha < 0) {
      EXPECT_EQ(img.channels, 3);
    } else {
      ASSERT_EQ(img.channels, 4);
      EXPECT_EQ(px[3], p.alpha) << "alpha " << p.x << "," << p.y;
    }
  }
}

std::string CaseName(const ::testing::TestParamInfo<BuiltCase>& param) {
  std::string n = param.param.name;
  for (char& ch : n) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return n;
}

INSTANTIATE_TEST_SUITE_P(Cases, IlbmBuilt, ::testing::ValuesIn(BuiltCases()), CaseName);

// Files written by ppmtoilbm, each beside ilbmtoppm's reading of it.
struct FixtureCase {
  const char* file;
  const char* reference;
  int width, height;
  // HAM6 holds four bits per component. ilbmtoppm puts a modifier in the
  // high nibble and keeps the previous low nibble; the Amiga (and we) show
  // the four bits at full range (v × 17). Only the high nibbles are compared.
  bool highNibbles = false;
};

class IlbmFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(IlbmFixture, MatchesReference) {
  const FixtureCase& c = GetParam();
  const std::string dir = std::string(GALVORA_FIXTURES) + "/ilbm/";
  const auto data = testpnm::ReadAll(dir + c.file);
  ASSERT_FALSE(data.empty());
  formats::Source src;
  const std::string path = dir + c.file;
  src.path = path;
  src.data = data;
  Image img, ref;
  ASSERT_TRUE(formats::ReadIlbm(src, img));
  ASSERT_TRUE(testpnm::ParsePnm(testpnm::ReadAll(dir + c.reference), ref));
  if (c.highNibbles) {
    for (std::uint8_t& v : ref.pixels) v = static_cast<std::uint8_t>((v & 0xF0) | (v >> 4));
  }
  EXPECT_EQ(img.width, c.width);
  EXPECT_EQ(img.height, c.height);
  EXPECT_EQ(testpnm::CountDifferences(img, ref), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IlbmFixture,
    ::testing::Values(FixtureCase{"cmap.iff", "cmap.ppm", 21, 9},          // 4 planes, ByteRun1
                      FixtureCase{"cmap_raw.iff", "cmap_raw.ppm", 21, 9},  // 4 planes, uncompressed
                      FixtureCase{"ham6.iff", "ham6.ppm", 37, 11, true},
                      FixtureCase{"ham8.iff", "ham8.ppm", 37, 11},
                      FixtureCase{"deep24.iff", "deep24.ppm", 37, 11},
                      FixtureCase{"mask.iff", "mask.ppm", 21, 9}));  // mask plane

TEST(Ilbm, MaskPlaneFollowsTheMaskFile) {
  const std::string dir = std::string(GALVORA_FIXTURES) + "/ilbm/";
  const auto data = testpnm::ReadAll(dir + "mask.iff");
  formats::Source src;
  src.path = "mask.iff";
  src.data = data;
  Image img, mask;
  ASSERT_TRUE(formats::ReadIlbm(src, img));
  ASSERT_TRUE(testpnm::ParsePnm(testpnm::ReadAll(dir + "mask.pbm"), mask));
  ASSERT_EQ(img.channels, 4);
  ASSERT_EQ(img.width, mask.width);
  int opaque = 0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      // Black in the mask picture marks the opaque pixels.
      const bool black = mask.At(x, y)[0] == 0;
      EXPECT_EQ(img.At(x, y)[3], black ? 255 : 0) << x << "," << y;
      opaque += black;
    }
  }
  EXPECT_GT(opaque, 0);
}

// Damaged files, each of which once got past a check.
struct BrokenCase {
  const char* name;
  Bytes file;
};

std::vector<BrokenCase> BrokenCases() {
  const Bytes body = PlanarBody(4, {{0, 1, 2, 3}}, 2);
  Bytes truncated = Form("ILBM", {Bmhd(4, 1, 2, 0, 0), body});
  truncated.resize(30);
  return {
      {"empty", {}},
      {"not a FORM", Bytes{'F', 'O', 'R', 'X', 0, 0, 0, 4, 'I', 'L', 'B', 'M'}},
      {"other form type", Form("ACBM", {Bmhd(4, 1, 2, 0, 0), body})},
      {"no BMHD", Form("ILBM", {body})},
      {"no BODY", Form("ILBM", {Bmhd(4, 1, 2, 0, 0)})},
      {"BMHD cut short", truncated},
      {"zero width", Form("ILBM", {Bmhd(0, 1, 2, 0, 0), body})},
      {"nine planes", Form("ILBM", {Bmhd(4, 1, 9, 0, 0), body})},
      {"unknown compression", Form("ILBM", {Bmhd(4, 1, 2, 0, 2), body})},
      {"raw body too short", Form("ILBM", {Bmhd(4, 100, 2, 0, 0), body})},
      {"packed body far too short", Form("ILBM", {Bmhd(8000, 8000, 8, 0, 1), body})},
  };
}

class IlbmBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(IlbmBroken, Fails) {
  formats::Source src;
  src.path = "broken.iff";
  src.data = GetParam().file;
  Image img;
  EXPECT_FALSE(formats::ReadIlbm(src, img)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IlbmBroken, ::testing::ValuesIn(BrokenCases()));

TEST(IlbmBrokenFile, BrokenFilesFail) {
  CheckFixtures(
      "ilbm", formats::ReadIlbm, {},
      {
          {"bmhd_cut_short.iff", "file ends inside BMHD: header fields read past the end"},
          {"nine_planes.iff", "nine planes: more bits than a palette index holds"},
          {"raw_body_short.iff", "uncompressed BODY shorter than the rows it promises"},
      },
      0);
}

}  // namespace
