// MacPaint reader: a file from netpbm's pbmtomacp, the same file behind a
// MacBinary header, hand-built PackBits data, and broken files.
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
  EXPECT_TRUE(formats::LoadFileBytes(std::string(GALVORA_FIXTURES) + "/macpaint/" + name, b))
      << name;
  return b;
}

bool Decode(const Bytes& bytes, Image& img) {
  formats::Source src;
  src.path = "test.mac";
  src.data = bytes;
  return formats::ReadMacPaint(src, img);
}

// The 100 × 80 picture given to pbmtomacp: black where x·y % 7 == 0 or x == y.
// pbmtomacp centres it on the 576 × 720 page, the rest of which is white.
bool PatternBlack(int px, int py) {
  const int x = px - 238;
  const int y = py - 320;
  return x >= 0 && y >= 0 && x < 100 && y < 80 && ((x * y) % 7 == 0 || x == y);
}

// Counts pixels that are not pure black / white as `black` says.
// A 128-byte MacBinary header for a MacPaint file with the given name.
Bytes MacBinary(const std::string& name, std::size_t dataLength, bool withType) {
  Bytes h(128, 0);
  h[1] = static_cast<std::uint8_t>(name.size());
  std::copy(name.begin(), name.end(), h.begin() + 2);
  if (withType) {
    const std::string typeCreator = "PNTGMPNT";
    std::copy(typeCreator.begin(), typeCreator.end(), h.begin() + 65);
  }
  for (int i = 0; i < 4; ++i) h[83 + i] = static_cast<std::uint8_t>(dataLength >> (24 - 8 * i));
  return h;
}

Bytes WithHeader(const Bytes& header, const Bytes& file) {
  Bytes b = header;
  b.insert(b.end(), file.begin(), file.end());
  return b;
}

TEST(MacPaintReader, ReadsPbmtomacpFileWithAndWithoutMacBinary) {
  const Bytes plain = Load("pbmtomacp.mac");
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"plain", plain},
      {"MacBinary with type", WithHeader(MacBinary("Picture", plain.size(), true), plain)},
      // No "PNTG" at 65: a type lost on the way.
      {"MacBinary without type", WithHeader(MacBinary("P", plain.size(), false), plain)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img;
    ASSERT_TRUE(Decode(c.bytes, img));
    EXPECT_EQ(img.width, 576);
    EXPECT_EQ(img.height, 720);
    EXPECT_EQ(img.channels, 3);
    EXPECT_EQ(Mismatches(img, PatternBlack), 0);
  }
}

// 512 zero header bytes, then `data`.
Bytes Paint(const Bytes& data) {
  Bytes b(512, 0);
  b[3] = 2;  // version
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

bool FirstRowsBlack(int x, int y) {
  // Row 0 black, row 1 black in its first 8 pixels only, rest white.
  return y == 0 || (y == 1 && x < 8);
}

TEST(MacPaintReader, RunsCrossRowEndsAndShortDataIsWhite) {
  // 73 bytes of FF in one run (crosses into row 1), then the file ends: the
  // remaining 719 rows are padded white.
  Bytes data = {static_cast<std::uint8_t>(257 - 73), 0xFF};
  Image img;
  ASSERT_TRUE(Decode(Paint(data), img));
  EXPECT_EQ(Mismatches(img, FirstRowsBlack), 0);

  // The same with a literal packet: 72 bytes of FF via run, then a literal 1-byte FF.
  data = {static_cast<std::uint8_t>(257 - 72), 0xFF, 0x00, 0xFF, 0x80};
  ASSERT_TRUE(Decode(Paint(data), img));
  EXPECT_EQ(Mismatches(img, FirstRowsBlack), 0);
}

TEST(MacPaintReader, FallsBackWhenMacBinaryGuessFails) {
  // A bare file whose version bytes look like the start of a MacBinary
  // header: read after 128 + 512 bytes, its rows run out, so the reader goes
  // back to reading after 512. Every row is 72 black bytes.
  Bytes data;
  for (int y = 0; y < 720; ++y)
    data.insert(data.end(), {static_cast<std::uint8_t>(257 - 72), 0xFF});
  Bytes file = Paint(data);
  file[1] = 5;
  Image img;
  ASSERT_TRUE(Decode(file, img));
  EXPECT_EQ(Mismatches(img, [](int, int) { return true; }), 0);
}

struct BrokenCase {
  const char* file;
  const char* fault;
};

const BrokenCase kBroken[] = {
    {"broken/header-only.mac", "a 512-byte header and no picture data"},
    {"broken/tiny.mac", "shorter than the header"},
};

TEST(MacPaintReader, RejectsBrokenFiles) {
  for (const BrokenCase& c : kBroken) {
    Image img;
    EXPECT_FALSE(Decode(Load(c.file), img)) << c.file << ": " << c.fault;
  }
}

}  // namespace
