// PFS First Publisher art reader: a file from ImageMagick, hand-built files,
// and files whose size does not match their header.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "tests/formats/mono_check.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Image;

Bytes Load(const std::string& name) {
  Bytes b;
  EXPECT_TRUE(formats::LoadFileBytes(std::string(GALVORA_FIXTURES) + "/art/" + name, b)) << name;
  return b;
}

bool Decode(const Bytes& bytes, Image& img) {
  formats::Source src;
  src.path = "test.art";
  src.data = bytes;
  return formats::ReadArt(src, img);
}

// The 37 × 21 picture given to `convert m.pbm ART:m.art`: black where
// x·y % 7 == 0 or x == y.
bool PatternBlack(int x, int y) { return (x * y) % 7 == 0 || x == y; }
bool Checker(int x, int y) { return (x + y) % 2 == 0; }

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Header 0, w, 0, h; rows padded to 16 bits; 1 = white.
Bytes Art(int w, int h, bool (*black)(int, int)) {
  Bytes b;
  Put16(b, 0);
  Put16(b, w);
  Put16(b, 0);
  Put16(b, h);
  const int rowBytes = (w + 15) / 16 * 2;
  for (int y = 0; y < h; ++y) {
    Bytes row(rowBytes, 0);
    for (int x = 0; x < w; ++x) {
      if (!black(x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

TEST(ArtReader, ReadsFiles) {
  struct Case {
    const char* name;
    Bytes bytes;
    int width, height;
    bool (*black)(int, int);
  };
  const Case cases[] = {
      {"ImageMagick", Load("imagemagick.art"), 37, 21, PatternBlack},
      {"width a multiple of 16", Art(32, 3, Checker), 32, 3, Checker},
      {"width 1", Art(1, 5, Checker), 1, 5, Checker},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img;
    ASSERT_TRUE(Decode(c.bytes, img));
    EXPECT_EQ(img.width, c.width);
    EXPECT_EQ(img.height, c.height);
    EXPECT_EQ(img.channels, 3);
    EXPECT_EQ(Mismatches(img, c.black), 0);
  }
}

struct BrokenCase {
  const char* file;
  const char* fault;
};

const BrokenCase kBroken[] = {
    {"broken/one-byte-extra.art", "file one byte longer than the header promises"},
    {"broken/truncated.art", "last row missing"},
    {"broken/zero-height.art", "height 0 with only the header"},
    {"broken/short-header.art", "fewer than 8 bytes"},
};

TEST(ArtReader, RejectsBrokenFiles) {
  for (const BrokenCase& c : kBroken) {
    Image img;
    EXPECT_FALSE(Decode(Load(c.file), img)) << c.file << ": " << c.fault;
  }
}

}  // namespace
