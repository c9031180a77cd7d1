// HZR reader: files built here (a real one is 180 KB), including the sample
// value 64 that ImageMagick's writer produces for full intensity, and files of
// the wrong size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation/formats/formats.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Image;

constexpr int kW = 256;
constexpr int kH = 240;

bool Decode(const Bytes& bytes, Image& img) {
  formats::Source src;
  src.path = "test.hzr";
  src.data = bytes;
  return formats::ReadHzr(src, img);
}

// Samples: R = x % 64, G = y % 64, B = (x + y) % 65 (so 64 occurs).
Bytes Pattern() {
  Bytes b;
  b.reserve(kW * kH * 3);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      b.push_back(static_cast<std::uint8_t>(x % 64));
      b.push_back(static_cast<std::uint8_t>(y % 64));
      b.push_back(static_cast<std::uint8_t>((x + y) % 65));
    }
  }
  return b;
}

int Scaled(int v) {
  if (v > 63) v = 63;
  return (v << 2) | (v >> 4);
}

TEST(HzrReader, ReadsEveryPixel) {
  Image img;
  ASSERT_TRUE(Decode(Pattern(), img));
  ASSERT_EQ(img.width, kW);
  ASSERT_EQ(img.height, kH);
  ASSERT_EQ(img.channels, 3);
  long bad = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const std::uint8_t* p = img.Row(y) + x * 3;
      if (p[0] != Scaled(x % 64) || p[1] != Scaled(y % 64) || p[2] != Scaled((x + y) % 65)) ++bad;
    }
  }
  EXPECT_EQ(bad, 0);
  // 63 and the writer's 64 both mean full intensity.
  EXPECT_EQ(img.Row(0)[63 * 3], 255);
  EXPECT_EQ(img.Row(0)[64 * 3 + 2], 255);
}

struct BrokenCase {
  const char* file;
  const char* fault;
};

const BrokenCase kBroken[] = {
    {"broken/short.hzr", "a few bytes: no header to check, only the size"},
};

TEST(HzrReader, RejectsWrongSizes) {
  for (const BrokenCase& c : kBroken) {
    Bytes b;
    ASSERT_TRUE(formats::LoadFileBytes(std::string(GALVORA_FIXTURES) + "/hzr/" + c.file, b));
    Image img;
    EXPECT_FALSE(Decode(b, img)) << c.file << ": " << c.fault;
  }
  Bytes b = Pattern();
  b.push_back(0);  // one byte too many
  Image img;
  EXPECT_FALSE(Decode(b, img));
  b.resize(b.size() - 2);  // one byte too few
  EXPECT_FALSE(Decode(b, img));
}

}  // namespace
