#include <cmath>
#include <cstring>

#include "tests/formats/byte_builder.h"

using namespace bytes_test;
using formats::Image;
using formats::ReadPcd;

namespace {

constexpr int kW = 768;
constexpr int kH = 512;
constexpr std::size_t kBase = 0x30000;
constexpr std::size_t kFileSize = 788480;  // an image pack holding up to Base

// A pack with every luma sample `y` and neutral chroma, except the pixels
// the test then sets.
struct Pack {
  Bytes data = Bytes(kFileSize, 0);
  explicit Pack(int y = 50) {
    std::memcpy(data.data() + 0x800, "PCD_IPI", 7);
    for (int row = 0; row < kH; ++row) {
      for (int x = 0; x < kW; ++x) Luma(x, row) = static_cast<std::uint8_t>(y);
    }
    for (int row = 0; row < kH / 2; ++row) {
      for (int x = 0; x < kW / 2; ++x) {
        Chroma1(x, row) = 156;
        Chroma2(x, row) = 137;
      }
    }
  }
  // Per pair of rows: two luma rows, then the half-width chroma rows.
  std::uint8_t& Luma(int x, int y) { return data[kBase + (y / 2) * 2304 + (y % 2) * kW + x]; }
  std::uint8_t& Chroma1(int cx, int cy) { return data[kBase + cy * 2304 + 2 * kW + cx]; }
  std::uint8_t& Chroma2(int cx, int cy) { return data[kBase + cy * 2304 + 2 * kW + kW / 2 + cx]; }
};

int Clip(double v) { return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<int>(std::lround(v)); }

std::array<int, 4> Expected(int y, int c1, int c2) {
  const double l = 1.3584 * y, cb = 2.2179 * (c1 - 156), cr = 1.8215 * (c2 - 137);
  return {Clip(l + cr), Clip(l - 0.194 * cb - 0.509 * cr), Clip(l + cb), 255};
}

TEST(Pcd, ConvertsPhotoYcc) {
  Pack pack;
  struct Sample {
    int x, y, luma, c1, c2;
  };
  const Sample samples[] = {
      {0, 0, 100, 156, 137},    // neutral grey
      {10, 4, 130, 100, 200},   // reddish
      {13, 5, 90, 220, 120},    // bluish
      {700, 500, 255, 156, 255}, // beyond full scale: clipped
      {301, 77, 0, 0, 0},
  };
  for (const Sample& s : samples) {
    pack.Luma(s.x, s.y) = static_cast<std::uint8_t>(s.luma);
    pack.Chroma1(s.x / 2, s.y / 2) = static_cast<std::uint8_t>(s.c1);
    pack.Chroma2(s.x / 2, s.y / 2) = static_cast<std::uint8_t>(s.c2);
  }
  Image img;
  ASSERT_TRUE(Decode(ReadPcd, pack.data, img));
  ASSERT_EQ(img.width, kW);
  ASSERT_EQ(img.height, kH);
  ASSERT_EQ(img.channels, 3);
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.x);
    ExpectNear(At(img, s.x, s.y), Expected(s.luma, s.c1, s.c2));
  }
  // The chroma pair is shared by a 2 × 2 block.
  ExpectNear(At(img, 11, 4), Expected(50, 100, 200));
  ExpectNear(At(img, 400, 300), Expected(50, 156, 137));
}

TEST(Pcd, AppliesTheStoredOrientation) {
  struct Case {
    const char* what;
    std::size_t at;  // where the orientation is kept
    int turns;
    int width, height;
    int markX, markY;  // where the scan's top-left corner lands
  };
  const Case cases[] = {
      {"upright", 0x48, 0, kW, kH, 0, 0},
      {"quarter anticlockwise", 0x48, 1, kH, kW, 0, kW - 2},
      {"half turn", 0x48, 2, kW, kH, kW - 2, kH - 2},
      {"quarter clockwise", 0x48, 3, kH, kW, kH - 2, 0},
      {"in the image pack attributes", 0xE02, 1, kH, kW, 0, kW - 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Pack pack;
    pack.data[c.at] = static_cast<std::uint8_t>(c.turns | 0x80);  // other bits ignored
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) pack.Luma(x, y) = 180;
    }
    Image img;
    ASSERT_TRUE(Decode(ReadPcd, pack.data, img));
    ASSERT_EQ(img.width, c.width);
    ASSERT_EQ(img.height, c.height);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) ExpectNear(At(img, c.markX + x, c.markY + y), Expected(180, 156, 137));
    }
    ExpectNear(At(img, c.width / 2, c.height / 2), Expected(50, 156, 137));
  }
}

TEST(Pcd, RefusesBrokenFiles) {
  Image img;
  Pack pack;
  Bytes bad = pack.data;
  bad[0x800] = 'X';
  EXPECT_FALSE(Decode(ReadPcd, bad, img)) << "no PCD_IPI";
  bad = pack.data;
  bad.resize(kBase + kW * kH * 3 / 2 - 1);
  EXPECT_FALSE(Decode(ReadPcd, bad, img)) << "Base cut one byte short";
  bad.resize(0x900);
  EXPECT_FALSE(Decode(ReadPcd, bad, img)) << "header only";
  // An overview pack (thumbnails only) is not a picture.
  Bytes overview(kFileSize, 0);
  std::memcpy(overview.data(), "PCD_OPA", 7);
  EXPECT_FALSE(Decode(ReadPcd, overview, img));
  // Exactly up to the end of Base is enough.
  bad = pack.data;
  bad.resize(kBase + kW * kH * 3 / 2);
  EXPECT_TRUE(Decode(ReadPcd, bad, img));
}

}  // namespace
