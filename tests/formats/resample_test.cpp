// Area resampling: averages when reducing, exact sizes, corner cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation/formats/resample.h"

namespace {

using formats::Image;

Image Make(int w, int h, const std::vector<std::uint8_t>& grey) {
  Image img;
  img.Allocate(w, h, 3);
  for (int i = 0; i < w * h; ++i) img.Set(i % w, i / w, grey[i], grey[i], static_cast<std::uint8_t>(255 - grey[i]));
  return img;
}

int Red(const Image& img, int x, int y) { return img.pixels[(static_cast<std::size_t>(y) * img.width + x) * 3]; }

TEST(ResampleTest, ReducesToTheAreaAverage) {
  struct Case {
    const char* name;
    int w, h;
    std::vector<std::uint8_t> grey;
    int dw, dh;
    std::vector<int> expected;  // red of every destination pixel, rows top-down
  };
  const std::vector<Case> cases = {
      {"2x2 checkerboard to 1x1", 2, 2, {0, 255, 255, 0}, 1, 1, {128}},
      {"4x1 to 2x1", 4, 1, {0, 100, 200, 40}, 2, 1, {50, 120}},
      // 3 → 2: each destination pixel covers one and a half source pixels.
      {"3x1 to 2x1, fractional edges", 3, 1, {0, 90, 180}, 2, 1, {30, 150}},
      {"1x3 to 1x2, vertically", 1, 3, {0, 90, 180}, 1, 2, {30, 150}},
      {"5x1 to 1x1", 5, 1, {10, 20, 30, 40, 50}, 1, 1, {30}},
      {"1x1 source to 1x1", 1, 1, {77}, 1, 1, {77}},
      {"1x1 source enlarged", 1, 1, {77}, 3, 2, {77, 77, 77, 77, 77, 77}},
      {"4x2 to 1 pixel wide", 4, 2, {0, 40, 80, 120, 200, 200, 200, 200}, 1, 2, {60, 200}},
      {"identity", 2, 2, {1, 2, 3, 4}, 2, 2, {1, 2, 3, 4}},
      {"enlarged 2x1 to 4x1", 2, 1, {0, 200}, 4, 1, {0, 50, 150, 200}},
  };
  for (const Case& c : cases) {
    const Image src = Make(c.w, c.h, c.grey);
    Image dst;
    formats::ResampleArea(src, dst, c.dw, c.dh);
    ASSERT_EQ(dst.width, c.dw) << c.name;
    ASSERT_EQ(dst.height, c.dh) << c.name;
    ASSERT_EQ(dst.channels, 3) << c.name;
    for (int i = 0; i < c.dw * c.dh; ++i) {
      EXPECT_NEAR(Red(dst, i % c.dw, i / c.dw), c.expected[i], 1) << c.name << " pixel " << i;
      // Blue was 255 - grey: the channels are averaged alike.
      EXPECT_NEAR(dst.pixels[i * 3 + 2], 255 - c.expected[i], 1) << c.name << " pixel " << i;
    }
  }
}

TEST(ResampleTest, UniformPicturesStayUniform) {
  // Weight rounding must not drift: every pixel of a flat picture keeps its value.
  for (int sw : {7, 640, 3001}) {
    Image src;
    src.Allocate(sw, 13, 3, 255);
    for (int dw : {1, 3, 100}) {
      Image dst;
      formats::ResampleArea(src, dst, dw, 5);
      ASSERT_EQ(dst.width, dw);
      for (std::uint8_t v : dst.pixels) ASSERT_EQ(v, 255) << sw << " to " << dw;
    }
  }
}

TEST(ResampleTest, FourChannelsAndBadSizes) {
  Image rgba;
  rgba.Allocate(2, 1, 4);
  rgba.Set(0, 0, 0, 0, 0, 0);
  rgba.Set(1, 0, 255, 255, 255, 255);
  Image dst;
  formats::ResampleArea(rgba, dst, 1, 1);
  ASSERT_EQ(dst.channels, 4);
  EXPECT_NEAR(dst.pixels[3], 128, 1);

  formats::ResampleArea(rgba, dst, 0, 5);
  EXPECT_EQ(dst.width, 0);
  formats::ResampleArea(Image{}, dst, 5, 5);
  EXPECT_EQ(dst.width, 0);
}

}  // namespace
