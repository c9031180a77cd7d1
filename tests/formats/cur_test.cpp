// Cursor reader: files written by icotool and ImageMagick from a known
// pattern, hand-built DIB variants, and broken files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation/formats/formats.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Image;

// The pictures behind the fixtures: four colours (or black and white) in
// 3 × 2 blocks; pixels where (x + 2y) % 7 == 0 are transparent. The 32-bit
// file instead has alpha (13x + 7y) % 256.
struct Rgba {
  int r, g, b, a;
};
constexpr Rgba kColours[4] = {
    {200, 30, 30, 255}, {30, 160, 60, 255}, {40, 60, 220, 255}, {250, 220, 40, 255}};

enum class Pattern { Four, Mono, Alpha };

Rgba Expected(Pattern p, int x, int y) {
  const int i = (x / 3 + y / 2) % 4;
  Rgba c = kColours[i];
  if (p == Pattern::Mono) c = (i % 2) ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255};
  if (p == Pattern::Alpha) {
    c.a = (x * 13 + y * 7) % 256;
  } else if ((x + 2 * y) % 7 == 0) {
    c.a = 0;
  }
  return c;
}

Bytes Load(const std::string& name) {
  Bytes b;
  EXPECT_TRUE(formats::LoadFileBytes(std::string(GALVORA_FIXTURES) + "/cur/" + name, b)) << name;
  return b;
}

bool Decode(const Bytes& bytes, Image& img) {
  formats::Source src;
  src.path = "test.cur";
  src.data = bytes;
  return formats::ReadCur(src, img);
}

// Every pixel against the pattern: colour where the pixel is visible, alpha
// always (channels 3 meaning opaque).
void ExpectPattern(const Image& img, Pattern p) {
  long bad = 0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const Rgba e = Expected(p, x, y);
      const std::uint8_t* q = img.Row(y) + static_cast<std::size_t>(x) * img.channels;
      const int a = img.channels == 4 ? q[3] : 255;
      const bool ok = a == e.a && (e.a == 0 || (q[0] == e.r && q[1] == e.g && q[2] == e.b));
      if (!ok && bad++ < 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << int(q[0]) << " " << int(q[1]) << " "
                      << int(q[2]) << " " << a << ", expected " << e.r << " " << e.g << " " << e.b
                      << " " << e.a;
      }
    }
  }
  EXPECT_EQ(bad, 0);
}

struct FixtureCase {
  const char* file;
  int width, height, channels;
  Pattern pattern;
};

// icotool -c --cursor -b N (or -r for PNG) and `convert x.png CUR:x.cur`.
const FixtureCase kFixtures[] = {
    {"icotool-8bit.cur", 16, 16, 4, Pattern::Four},
    {"icotool-4bit.cur", 16, 16, 4, Pattern::Four},
    {"icotool-1bit.cur", 20, 12, 4, Pattern::Mono},
    {"icotool-32bit-alpha.cur", 16, 16, 4, Pattern::Alpha},
    {"icotool-icon-24bit.cur", 16, 16, 4, Pattern::Four},  // an icon (type 1)
    {"icotool-two-icons.cur", 16, 16, 4, Pattern::Four},   // the first entry wins
    {"imagemagick-32bit.cur", 16, 16, 4, Pattern::Four},   // type 1, alpha bytes set
    {"icotool-png.cur", 24, 24, 4, Pattern::Four},         // embedded PNG
};

TEST(CurReader, ReadsFixtures) {
  for (const FixtureCase& c : kFixtures) {
    SCOPED_TRACE(c.file);
    Image img;
    ASSERT_TRUE(Decode(Load(c.file), img));
    EXPECT_EQ(img.width, c.width);
    EXPECT_EQ(img.height, c.height);
    EXPECT_EQ(img.channels, c.channels);
    ExpectPattern(img, c.pattern);
  }
}

// ---- Hand-built cursors ----

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A one-entry cursor around a DIB with a 40-byte header.
Bytes Cursor(int w, int h, int bpp, const Bytes& palette, const Bytes& xorBits,
             const Bytes& andBits, int headerHeight = 0) {
  Bytes dib;
  Put32(dib, 40);
  Put32(dib, static_cast<std::uint32_t>(w));
  Put32(dib, static_cast<std::uint32_t>(headerHeight != 0 ? headerHeight : 2 * h));
  Put16(dib, 1);
  Put16(dib, static_cast<unsigned>(bpp));
  for (int i = 0; i < 6; ++i) Put32(dib, 0);
  dib.insert(dib.end(), palette.begin(), palette.end());
  dib.insert(dib.end(), xorBits.begin(), xorBits.end());
  dib.insert(dib.end(), andBits.begin(), andBits.end());
  Bytes f;
  Put16(f, 0);
  Put16(f, 2);
  Put16(f, 1);
  f.push_back(static_cast<std::uint8_t>(w));
  f.push_back(static_cast<std::uint8_t>(h));
  f.push_back(0);
  f.push_back(0);
  Put16(f, 1);  // hotspot
  Put16(f, 1);
  Put32(f, static_cast<std::uint32_t>(dib.size()));
  Put32(f, 22);
  f.insert(f.end(), dib.begin(), dib.end());
  return f;
}

TEST(CurReader, OpaqueCursorIsRgb) {
  // 2 × 2, 24-bit, rows bottom-up and padded to 4 bytes, empty AND mask.
  const Bytes xorBits = {0,   0, 255, 0,   255, 0,   0, 0,   // bottom: red, green
                         255, 0, 0,   255, 255, 255, 0, 0};  // top: blue, white
  const Bytes andBits(8, 0);
  Image img;
  ASSERT_TRUE(Decode(Cursor(2, 2, 24, {}, xorBits, andBits), img));
  ASSERT_EQ(img.channels, 3);
  const std::vector<std::uint8_t> expected = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
  EXPECT_EQ(img.pixels, expected);
}

TEST(CurReader, MissingMaskOf32BitIsOpaque) {
  const Bytes xorBits = {10, 20, 30, 0};
  Image img;
  ASSERT_TRUE(Decode(Cursor(1, 1, 32, {}, xorBits, {}), img));
  ASSERT_EQ(img.channels, 3);
  EXPECT_EQ(img.pixels, (std::vector<std::uint8_t>{30, 20, 10}));
}

TEST(CurReader, MaskMakesPixelsTransparent) {
  // 1-bit, 3 × 1: palette black/white, bits 101, mask 010.
  const Bytes pal = {0, 0, 0, 0, 255, 255, 255, 0};
  const Bytes xorBits = {0xA0, 0, 0, 0};
  const Bytes andBits = {0x40, 0, 0, 0};
  Image img;
  ASSERT_TRUE(Decode(Cursor(3, 1, 1, pal, xorBits, andBits), img));
  ASSERT_EQ(img.channels, 4);
  const std::vector<std::uint8_t> expected = {255, 255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255};
  EXPECT_EQ(img.pixels, expected);
}

struct BrokenCase {
  const char* file;
  const char* fault;
};

const BrokenCase kBroken[] = {
    {"broken/truncated-bits.cur", "colour bitmap cut short in the middle"},
    {"broken/bad-type.cur", "ICONDIR type 3 is neither icon nor cursor"},
    {"broken/offset-past-end.cur", "entry offset beyond the end of the file"},
    {"broken/no-entries.cur", "ICONDIR with a count of 0"},
    {"broken/huge-dib.cur", "DIB header promising 30000 × 30000 pixels in 300 bytes"},
    {"broken/png-truncated.cur", "embedded PNG cut after its header"},
};

TEST(CurReader, RejectsBrokenFiles) {
  for (const BrokenCase& c : kBroken) {
    Image img;
    EXPECT_FALSE(Decode(Load(c.file), img)) << c.file << ": " << c.fault;
  }
  Image img;
  EXPECT_FALSE(Decode({}, img));
}

}  // namespace
