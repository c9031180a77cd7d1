// Microsoft Paint reader: a version 1 file from Pillow, hand-built version 2
// files (Debian has no writer for them), and broken files.
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
  EXPECT_TRUE(formats::LoadFileBytes(std::string(GALVORA_FIXTURES) + "/msp/" + name, b)) << name;
  return b;
}

bool Decode(const Bytes& bytes, Image& img) {
  formats::Source src;
  src.path = "test.msp";
  src.data = bytes;
  return formats::ReadMsp(src, img);
}

// The 37 × 21 picture behind the fixtures: black where x·y % 7 == 0 or x == y.
bool PatternBlack(int x, int y) { return (x * y) % 7 == 0 || x == y; }

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A 32-byte header; the checksum word is set so that all words XOR to zero
// unless `badChecksum`.
Bytes Header(const char* magic, int w, int h, bool badChecksum = false) {
  Bytes b(magic, magic + 4);
  Put16(b, w);
  Put16(b, h);
  for (int i = 0; i < 4; ++i) Put16(b, 1);  // aspect ratios
  Put16(b, w);                              // printer size
  Put16(b, h);
  Put16(b, 0);  // aspect correction
  Put16(b, 0);
  Put16(b, 0);  // checksum, set below
  for (int i = 0; i < 3; ++i) Put16(b, 0);
  unsigned x = 0;
  for (int i = 0; i < 32; i += 2) x ^= b[i] | (b[i + 1] << 8);
  if (badChecksum) x ^= 0x1234;
  b[24] = static_cast<std::uint8_t>(x);
  b[25] = static_cast<std::uint8_t>(x >> 8);
  return b;
}

// Packs one row of bytes as version 2 packets: runs of 3 or more as 00 n v,
// the rest as literals.
Bytes PackRow(const Bytes& row) {
  Bytes out;
  std::size_t i = 0;
  while (i < row.size()) {
    std::size_t run = 1;
    while (i + run < row.size() && row[i + run] == row[i] && run < 255) ++run;
    if (run >= 3) {
      out.insert(out.end(), {0, static_cast<std::uint8_t>(run), row[i]});
      i += run;
    } else {
      std::size_t n = 0;
      while (i + n < row.size() && n < 255) {
        if (i + n + 2 < row.size() && row[i + n] == row[i + n + 1] &&
            row[i + n] == row[i + n + 2]) {
          break;
        }
        ++n;
      }
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), row.begin() + i, row.begin() + i + n);
      i += n;
    }
  }
  return out;
}

// Version 2 file of the pattern; rows whose index is in `blank` get length 0
// (white).
Bytes Version2(int w, int h, bool (*black)(int, int), bool badChecksum = false) {
  Bytes file = Header("LinS", w, h, badChecksum);
  std::vector<Bytes> rows;
  const int rowBytes = (w + 7) / 8;
  for (int y = 0; y < h; ++y) {
    Bytes row(rowBytes, 0xFF);
    for (int x = 0; x < w; ++x) {
      if (black(x, y)) row[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
    }
    rows.push_back(PackRow(row));
  }
  for (const Bytes& r : rows) Put16(file, static_cast<unsigned>(r.size()));
  for (const Bytes& r : rows) file.insert(file.end(), r.begin(), r.end());
  return file;
}

bool Stripes(int x, int y) { return y % 4 == 1 && x > 3; }

TEST(MspReader, ReadsFiles) {
  struct Case {
    const char* name;
    Bytes bytes;
    int width, height;
    bool (*black)(int, int);
  };
  const Case cases[] = {
      {"Pillow version 1", Load("pillow-v1.msp"), 37, 21, PatternBlack},
      {"version 2", Version2(37, 21, PatternBlack), 37, 21, PatternBlack},
      {"version 2, long runs", Version2(300, 9, Stripes), 300, 9, Stripes},
      // A wrong checksum is accepted when the data fits exactly.
      {"version 2, bad checksum", Version2(37, 21, PatternBlack, true), 37, 21, PatternBlack},
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

bool None(int, int) { return false; }

TEST(MspReader, ZeroLengthRowIsWhite) {
  Bytes file = Header("LinS", 16, 2);
  Put16(file, 0);
  Put16(file, 3);
  file.insert(file.end(), {0x00, 0x02, 0xFF});  // two white bytes
  Image img;
  ASSERT_TRUE(Decode(file, img));
  EXPECT_EQ(Mismatches(img, None), 0);
}

TEST(MspReader, BadChecksumNeedsExactData) {
  // Trailing bytes after raw rows: fine with a good checksum, refused with a
  // bad one.
  Bytes good = Header("DanM", 8, 1);
  good.insert(good.end(), {0xFF, 0xAA});
  Image img;
  EXPECT_TRUE(Decode(good, img));
  Bytes bad = Header("DanM", 8, 1, true);
  bad.insert(bad.end(), {0xFF, 0xAA});
  EXPECT_FALSE(Decode(bad, img));
  bad.pop_back();
  EXPECT_TRUE(Decode(bad, img));
}

struct BrokenCase {
  const char* file;
  const char* fault;
};

const BrokenCase kBroken[] = {
    {"broken/truncated-v1.msp", "raw rows cut short"},
    {"broken/truncated-v2.msp", "scan-line map promising more bytes than the file has"},
    {"broken/bad-packet-v2.msp", "a literal packet running past its row's length"},
    {"broken/bad-magic.msp", "neither DanM nor LinS"},
    {"broken/zero-width.msp", "width 0"},
};

TEST(MspReader, RejectsBrokenFiles) {
  for (const BrokenCase& c : kBroken) {
    Image img;
    EXPECT_FALSE(Decode(Load(c.file), img)) << c.file << ": " << c.fault;
  }
}

}  // namespace
