// WordPerfect Graphics reader: files built byte by byte (Debian has readers
// but no writer for WPG), versions 1 and 2, every RLE code, and broken files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation/formats/formats.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Image;

bool Decode(const Bytes& bytes, Image& img) {
  formats::Source src;
  src.path = "test.wpg";
  src.data = bytes;
  return formats::ReadWpg(src, img);
}

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// The variable-length number: one byte, FF + u16, or FF + two u16 with bit 15
// of the first set.
void PutVar(Bytes& b, std::size_t n) {
  if (n < 0xFF) {
    b.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 0x8000) {
    b.push_back(0xFF);
    Put16(b, static_cast<unsigned>(n));
  } else {
    b.push_back(0xFF);
    Put16(b, static_cast<unsigned>(0x8000 | (n >> 16)));
    Put16(b, static_cast<unsigned>(n & 0xFFFF));
  }
}

Bytes Header(int major, unsigned encryption = 0) {
  Bytes b = {0xFF, 'W', 'P', 'C'};
  Put16(b, 16);  // first record
  Put16(b, 0);
  b.insert(b.end(), {1, 0x16, static_cast<std::uint8_t>(major), 0});
  Put16(b, encryption);
  Put16(b, 0);
  return b;
}

// Version 1 record: type, length, body.
void Record1(Bytes& f, std::uint8_t type, const Bytes& body) {
  f.push_back(type);
  PutVar(f, body.size());
  Append(f, body);
}

// Version 2 record: class, type, extension 0, length, body.
void Record2(Bytes& f, std::uint8_t type, const Bytes& body) {
  f.push_back(0x01);
  f.push_back(type);
  PutVar(f, 0);
  PutVar(f, body.size());
  Append(f, body);
}

Bytes ColourMap1(unsigned first, const std::vector<Bytes>& rgb) {
  Bytes b;
  Put16(b, first);
  Put16(b, static_cast<unsigned>(rgb.size()));
  for (const Bytes& c : rgb) Append(b, c);
  return b;
}

Bytes Bitmap1(int w, int h, int depth, const Bytes& rle, bool type2 = false) {
  Bytes b;
  if (type2) {
    Put16(b, 0);                                                           // rotation
    for (int i = 0; i < 4; ++i) Put16(b, static_cast<unsigned>(i * 100));  // rectangle
  }
  Put16(b, w);
  Put16(b, h);
  Put16(b, depth);
  Put16(b, 300);
  Put16(b, 300);
  Append(b, rle);
  return b;
}

Bytes Bitmap2(int w, int h, int depthCode, int compression, const Bytes& data) {
  Bytes b;
  Put16(b, w);
  Put16(b, h);
  b.push_back(static_cast<std::uint8_t>(depthCode));
  b.push_back(static_cast<std::uint8_t>(compression));
  Append(b, data);
  return b;
}

struct Rgb {
  int r, g, b;
};

// Expected picture as rows of colours.
using Picture = std::vector<std::vector<Rgb>>;

void ExpectPicture(const Image& img, const Picture& expected) {
  ASSERT_EQ(img.height, static_cast<int>(expected.size()));
  ASSERT_EQ(img.width, static_cast<int>(expected[0].size()));
  ASSERT_EQ(img.channels, 3);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const std::uint8_t* p = img.Row(y) + static_cast<std::size_t>(x) * 3;
      const Rgb& e = expected[y][x];
      EXPECT_TRUE(p[0] == e.r && p[1] == e.g && p[2] == e.b)
          << "pixel " << x << "," << y << ": " << int(p[0]) << " " << int(p[1]) << " " << int(p[2])
          << ", expected " << e.r << " " << e.g << " " << e.b;
    }
  }
}

constexpr Rgb K{0, 0, 0}, W{255, 255, 255};
constexpr Rgb R{200, 0, 0}, G{0, 200, 0}, B{0, 0, 200}, Y{220, 220, 0};

struct Case {
  const char* name;
  Bytes file;
  Picture expected;
};

std::vector<Case> Version1Cases() {
  std::vector<Case> cases;
  {
    // 8-bit, colour map for 1-4; index 255 keeps the default (black). A run
    // crosses the end of row 0, 00 01 repeats row 1, 80 05 fills row 3 with FF.
    Bytes f = Header(1);
    Record1(f, 0x0F, {1, 0});  // start of WPG data
    Record1(f, 0x0E, ColourMap1(1, {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {220, 220, 0}}));
    Record1(f, 0x0B, Bitmap1(5, 4, 8, {0x87, 1, 0x03, 2, 3, 4, 0x00, 0x01, 0x80, 0x05}));
    Record1(f, 0x10, {});
    cases.push_back({"8-bit with map",
                     f,
                     {{R, R, R, R, R}, {R, R, G, B, Y}, {R, R, G, B, Y}, {K, K, K, K, K}}});
  }
  {
    // 1-bit, 10 pixels = 2 bytes a row (not padded), no map: 0 black, 1 white.
    Bytes f = Header(1);
    Record1(f, 0x0B, Bitmap1(10, 2, 1, {0x02, 0xA5, 0xC0, 0x82, 0x0F}));
    cases.push_back(
        {"1-bit without map", f, {{W, K, W, K, K, W, K, W, W, W}, {K, K, K, K, W, W, W, W, K, K}}});
  }
  {
    // 1-bit with a map of two colours: the map wins.
    Bytes f = Header(1);
    Record1(f, 0x0E, ColourMap1(0, {{200, 0, 0}, {0, 0, 200}}));
    Record1(f, 0x0B, Bitmap1(4, 1, 1, {0x01, 0x50}));
    cases.push_back({"1-bit with map", f, {{R, B, R, B}}});
  }
  {
    // 1-bit with a map that starts like the default one (black, dark blue):
    // a map for other objects, so the bitmap stays black and white.
    Bytes f = Header(1);
    Record1(f, 0x0E, ColourMap1(0, {{0, 0, 0}, {0, 0, 168}, {0, 168, 0}}));
    Record1(f, 0x0B, Bitmap1(4, 1, 1, {0x01, 0x50}));
    cases.push_back({"1-bit with the default map", f, {{K, W, K, W}}});
  }
  {
    // 4-bit without map: the default palette (EGA colours first).
    Bytes f = Header(1);
    Record1(f, 0x0B, Bitmap1(4, 1, 4, {0x02, 0x01, 0x9F}));
    cases.push_back({"4-bit default palette", f, {{K, {0, 0, 170}, {85, 85, 255}, W}}});
  }
  {
    // Bitmap type 2 (rotation and rectangle first), 2-bit with a map; then a
    // second bitmap that must be ignored.
    Bytes f = Header(1);
    Record1(f, 0x0E, ColourMap1(0, {{0, 0, 0}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}}));
    Record1(f, 0x14, Bitmap1(5, 1, 2, {0x02, 0x1B, 0x40}, true));
    Record1(f, 0x0B, Bitmap1(1, 1, 8, {0x01, 0x00}));
    cases.push_back({"type 2 bitmap, first of two", f, {{K, R, G, B, R}}});
  }
  {
    // Long record lengths: FF + u16 and the 32-bit form. 200 × 200 8-bit
    // literals, 127 bytes a packet: 40,000 bytes of data.
    Bytes rle;
    std::size_t left = 200 * 200;
    while (left > 0) {
      const std::size_t n = std::min<std::size_t>(left, 127);
      rle.push_back(static_cast<std::uint8_t>(n));
      rle.insert(rle.end(), n, 15);
      left -= n;
    }
    Bytes f = Header(1);
    Record1(f, 0x0E, ColourMap1(0, std::vector<Bytes>(100, Bytes{1, 2, 3})));  // > 255 bytes
    Record1(f, 0x0B, Bitmap1(200, 200, 8, rle));
    cases.push_back({"32-bit record length", f, Picture(200, std::vector<Rgb>(200, {1, 2, 3}))});
  }
  return cases;
}

Bytes Palette2(unsigned first, const std::vector<Bytes>& rgba) {
  Bytes b;
  Put16(b, first);
  Put16(b, static_cast<unsigned>(rgba.size()));
  for (const Bytes& c : rgba) Append(b, c);
  return b;
}

std::vector<Case> Version2Cases() {
  std::vector<Case> cases;
  const Bytes palette = Palette2(0, {{0, 0, 0, 0}, {200, 0, 0, 0}, {0, 200, 0, 0}, {0, 0, 200, 0}});
  {
    // 8-bit RLE: 81 v = 2 copies, 02 = 3 literals (crosses the row end),
    // FE 00 = repeat the previous row once, FF 00 / 7F 00 = one white / black
    // byte (indices 255 and 0), FD 01 = the last sample twice more.
    Bytes f = Header(2);
    Record2(f, 0x01, {0, 0, 0, 0, 0});  // start
    Record2(f, 0x0C, palette);
    Record2(f, 0x0E,
            Bitmap2(4, 4, 4, 1,
                    {0x81, 1, 0x02, 2, 3, 1, 0x03, 3, 3, 3, 3, 0xFE, 0x00, 0x7F, 0x00, 0xFF, 0x00,
                     0xFD, 0x00}));
    // Unpacked: [1 1 2 3] [1 3 3 3] [3 | FE copies the last 4 bytes: 3 3 3]
    // [3 | 0 255 1]. Index 255 is white: without a palette entry, grey.
    cases.push_back({"8-bit RLE", f, {{R, R, G, B}, {R, B, B, B}, {B, B, B, B}, {B, K, W, R}}});
  }
  {
    // 24-bit, uncompressed RGB.
    Bytes f = Header(2);
    Record2(f, 0x0E, Bitmap2(2, 2, 8, 0, {200, 0, 0, 0, 200, 0, 0, 0, 200, 255, 255, 255}));
    cases.push_back({"24-bit raw", f, {{R, G}, {B, W}}});
  }
  {
    // 24-bit RLE with 3-byte samples: 7D 03, 81 (two samples), 00 (one
    // literal sample), FD 00 (the repeated sample once more), 7F 01 (two black
    // samples), FF 02 (three white samples).
    Bytes f = Header(2);
    Record2(
        f, 0x0E,
        Bitmap2(3, 3, 8, 1,
                {0x7D, 3, 0x81, 220, 220, 0, 0x00, 0, 0, 200, 0xFD, 0x00, 0x7F, 0x01, 0xFF, 0x02}));
    cases.push_back({"24-bit RLE", f, {{Y, Y, B}, {Y, K, K}, {W, W, W}}});
  }
  {
    // 1-bit without palette, with the inverting code 7E.
    Bytes f = Header(2);
    Record2(f, 0x0E, Bitmap2(8, 2, 1, 1, {0x00, 0x0F, 0x7E, 0x00, 0x0F}));
    cases.push_back({"1-bit with XOR", f, {{K, K, K, K, W, W, W, W}, {W, W, W, W, K, K, K, K}}});
  }
  return cases;
}

TEST(WpgReader, ReadsVersion1) {
  for (const Case& c : Version1Cases()) {
    SCOPED_TRACE(c.name);
    Image img;
    ASSERT_TRUE(Decode(c.file, img));
    ExpectPicture(img, c.expected);
  }
}

TEST(WpgReader, ReadsVersion2) {
  for (const Case& c : Version2Cases()) {
    SCOPED_TRACE(c.name);
    Image img;
    ASSERT_TRUE(Decode(c.file, img));
    ExpectPicture(img, c.expected);
  }
}

struct BrokenCase {
  const char* file;
  const char* fault;
};

const BrokenCase kBroken[] = {
    {"broken/vector-only.wpg", "a line and a rectangle but no bitmap"},
    {"broken/vector-only-v2.wpg", "version 2 with only a start and an end record"},
    {"broken/encrypted.wpg", "encryption key not 0"},
    {"broken/truncated-rle.wpg", "RLE data ending before the last row"},
    {"broken/repeat-first-row.wpg", "00 n (repeat previous row) before any row"},
    {"broken/depth-3.wpg", "bitmap depth 3"},
    {"broken/compression-2.wpg", "version 2 bitmap with an unknown compression"},
    {"broken/raw-short.wpg", "version 2 uncompressed bitmap shorter than its size"},
    {"broken/bad-sample-size.wpg", "version 2 RLE sample size 9"},
    {"broken/major-3.wpg", "major version 3"},
    {"broken/first-record-past-end.wpg", "first-record offset beyond the file"},
};

TEST(WpgReader, RejectsBrokenFiles) {
  for (const BrokenCase& c : kBroken) {
    Bytes b;
    ASSERT_TRUE(formats::LoadFileBytes(std::string(GALVORA_FIXTURES) + "/wpg/" + c.file, b))
        << c.file;
    Image img;
    EXPECT_FALSE(Decode(b, img)) << c.file << ": " << c.fault;
  }
}

}  // namespace
