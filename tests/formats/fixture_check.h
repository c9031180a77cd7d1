// Checks a format's fixture files written by other programs: each good file
// reads with its size and a few pixels (within a tolerance), each file in
// broken/ fails.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation/formats/formats.h"

struct FixturePixel {
  int x, y;
  int r, g, b, a;
};
struct Fixture {
  const char* file;
  int width, height;
  std::vector<FixturePixel> pixels;
};
struct BrokenFixture {
  const char* file;
  const char* fault;
};

inline bool ReadFixture(formats::ReadFn read, const std::string& path, formats::Image& out) {
  std::vector<std::uint8_t> bytes;
  if (!formats::LoadFileBytes(path, bytes)) return false;
  formats::Source src;
  src.path = path;
  src.data = bytes;
  return read(src, out);
}

// `folder` is the format's folder in tests/fixtures.
inline void CheckFixtures(const std::string& folder, formats::ReadFn read,
                          const std::vector<Fixture>& good,
                          const std::vector<BrokenFixture>& broken, int tolerance) {
  const std::string dir = std::string(GALVORA_FIXTURES) + "/" + folder + "/";
  for (const Fixture& f : good) {
    formats::Image img;
    ASSERT_TRUE(ReadFixture(read, dir + f.file, img)) << f.file;
    ASSERT_EQ(img.width, f.width) << f.file;
    ASSERT_EQ(img.height, f.height) << f.file;
    for (const FixturePixel& p : f.pixels) {
      const std::uint8_t* q =
          img.pixels.data() + (static_cast<std::size_t>(p.y) * img.width + p.x) * img.channels;
      EXPECT_NEAR(q[0], p.r, tolerance) << f.file << " at " << p.x << "," << p.y;
      EXPECT_NEAR(q[1], p.g, tolerance) << f.file << " at " << p.x << "," << p.y;
      EXPECT_NEAR(q[2], p.b, tolerance) << f.file << " at " << p.x << "," << p.y;
      EXPECT_NEAR(img.channels == 4 ? q[3] : 255, p.a, tolerance)
          << f.file << " at " << p.x << "," << p.y;
    }
  }
  for (const BrokenFixture& b : broken) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(formats::LoadFileBytes(dir + "broken/" + b.file, bytes) && !bytes.empty())
        << "missing fixture " << b.file;
    formats::Image img;
    EXPECT_FALSE(ReadFixture(read, dir + "broken/" + b.file, img)) << b.file << ": " << b.fault;
  }
}
