// Windows bitmaps written byte by byte, one case per variant the reader handles.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/formats/fixture_check.h"
#include "generation/formats/formats.h"

namespace {

using formats::Image;
using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A bitmap's parts; Packed() and File() assemble them.
struct Dib {
  std::uint32_t headerSize = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;
  unsigned bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  std::vector<std::uint32_t> masks;  // in the header (52+) or after a 40-byte one
  std::vector<std::array<std::uint8_t, 3>> palette;  // r, g, b
  Bytes pixels;

  Bytes Header() const {
    Bytes b;
    Put32(b, headerSize);
    if (headerSize == 12) {
      Put16(b, static_cast<unsigned>(width));
      Put16(b, static_cast<unsigned>(height));
      Put16(b, 1);
      Put16(b, bits);
    } else {
      Put32(b, static_cast<std::uint32_t>(width));
      Put32(b, static_cast<std::uint32_t>(height));
      Put16(b, 1);
      Put16(b, bits);
      Put32(b, compression);
      Put32(b, static_cast<std::uint32_t>(pixels.size()));
      Put32(b, 2835);
      Put32(b, 2835);
      Put32(b, clrUsed);
      Put32(b, 0);
      for (std::uint32_t m : masks) Put32(b, m);  // at offset 40
      if (headerSize > 40) b.resize(headerSize, 0);
    }
    for (const auto& c : palette) {
      b.push_back(c[2]);
      b.push_back(c[1]);
      b.push_back(c[0]);
      if (headerSize != 12) b.push_back(0);
    }
    return b;
  }
  Bytes Packed() const {
    Bytes b = Header();
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
  Bytes File() const {
    const Bytes h = Header();
    Bytes b = {'B', 'M'};
    Put32(b, static_cast<std::uint32_t>(14 + h.size() + pixels.size()));
    Put32(b, 0);
    Put32(b, static_cast<std::uint32_t>(14 + h.size()));
    b.insert(b.end(), h.begin(), h.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
};

struct Pixel {
  int x, y;
  std::uint8_t r, g, b, a;
};

struct Case {
  const char* name;
  Bytes file;
  int width, height;
  std::vector<Pixel> pixels;
};

bool Read(const Bytes& file, Image& out, const char* ext = ".bmp") {
  formats::Source src;
  const std::string path = std::string("picture") + ext;
  src.path = path;
  src.data = {file.data(), file.size()};
  return formats::ReadBmp(src, out);
}

void Check(const Case& c, const Image& img) {
  ASSERT_EQ(img.width, c.width) << c.name;
  ASSERT_EQ(img.height, c.height) << c.name;
  for (const Pixel& p : c.pixels) {
    const std::uint8_t* q = img.pixels.data() + (static_cast<std::size_t>(p.y) * img.width + p.x) * img.channels;
    const int a = img.channels == 4 ? q[3] : 255;
    EXPECT_EQ(q[0], p.r) << c.name << " at " << p.x << "," << p.y;
    EXPECT_EQ(q[1], p.g) << c.name << " at " << p.x << "," << p.y;
    EXPECT_EQ(q[2], p.b) << c.name << " at " << p.x << "," << p.y;
    EXPECT_EQ(a, p.a) << c.name << " at " << p.x << "," << p.y;
  }
}

const std::array<std::uint8_t, 3> kIndex0 = {10, 20, 30};
const std::array<std::uint8_t, 3> kRed = {255, 0, 0};
const std::array<std::uint8_t, 3> kGreen = {0, 255, 0};
const std::array<std::uint8_t, 3> kBlue = {0, 0, 255};

Dib Rgb24(bool topDown) {
  Dib d;
  d.width = 2;
  d.height = topDown ? -2 : 2;
  d.bits = 24;
  // Stored first row: red, green; second: blue, white; 2 bytes padding each.
  d.pixels = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  return d;
}

Dib Palette8() {
  Dib d;
  d.width = 3;
  d.height = 1;
  d.bits = 8;
  d.clrUsed = 4;
  d.palette = {kIndex0, kRed, kGreen, kBlue};
  d.pixels = {3, 1, 2, 0};
  return d;
}

Dib Palette4() {
  Dib d;
  d.width = 3;
  d.height = 1;
  d.bits = 4;
  d.clrUsed = 3;
  d.palette = {kIndex0, kRed, kGreen};
  d.pixels = {0x21, 0x00, 0, 0};
  return d;
}

Dib Palette1(std::uint32_t headerSize) {
  Dib d;
  d.headerSize = headerSize;
  d.width = 3;
  d.height = 1;
  d.bits = 1;
  d.palette = {kIndex0, kBlue};  // two entries: the full table for one bit
  d.pixels = {0xA0, 0, 0, 0};
  return d;
}

Dib Rgb16() {
  Dib d;
  d.width = 2;
  d.height = 1;
  d.bits = 16;
  d.pixels = {0x00, 0x7C, 0x1F, 0x00};  // 5-5-5 red, blue
  return d;
}

Dib Bitfields565() {
  Dib d;
  d.width = 2;
  d.height = 1;
  d.bits = 16;
  d.compression = 3;
  d.masks = {0xF800, 0x07E0, 0x001F};
  d.pixels = {0xE0, 0x07, 0x00, 0xF8};  // green, red
  return d;
}

Dib Rgb32() {
  Dib d;
  d.width = 1;
  d.height = 1;
  d.bits = 32;
  d.pixels = {0x40, 0x80, 0xC0, 0x00};  // BGRX; the X byte is not alpha
  return d;
}

Dib Bitfields1010() {
  Dib d;
  d.width = 1;
  d.height = 1;
  d.bits = 32;
  d.compression = 3;
  d.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
  Put32(d.pixels, (1023u << 20) | (512u << 10) | 0u);
  return d;
}

Dib V5Alpha(std::uint8_t alpha0, std::uint8_t alpha1, std::uint32_t headerSize = 124) {
  Dib d;
  d.headerSize = headerSize;
  d.width = 2;
  d.height = 1;
  d.bits = 32;
  d.compression = 3;
  d.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  d.pixels = {0, 0, 255, alpha0, 255, 0, 0, alpha1};  // red, blue
  return d;
}

Dib Rle8() {
  Dib d;
  d.width = 3;
  d.height = 3;
  d.bits = 8;
  d.compression = 1;
  d.clrUsed = 4;
  d.palette = {kIndex0, kRed, kGreen, kBlue};
  d.pixels = {
      2, 1, 0, 0,              // stored row 0: two red, then end of line
      0, 3, 2, 3, 1, 0, 0, 0,  // literal green, blue, red (odd: one pad byte); end of line
      0, 2, 1, 0, 1, 3,        // delta one right; one blue
      0, 1,                    // end of bitmap
  };
  return d;
}

Dib Rle4() {
  Dib d;
  d.width = 5;
  d.height = 2;
  d.bits = 4;
  d.compression = 2;
  d.clrUsed = 3;
  d.palette = {kIndex0, kRed, kGreen};
  d.pixels = {
      0, 5, 0x12, 0x12, 0x10, 0,  // literal of 5 nibbles: 3 bytes plus padding
      0, 0,                       // end of line
      4, 0x21,                    // run of 4 alternating 2, 1
      0, 1,                       // end of bitmap
  };
  return d;
}

std::vector<Case> Cases() {
  const std::uint8_t i0r = kIndex0[0], i0g = kIndex0[1], i0b = kIndex0[2];
  return {
      {"24-bit bottom-up", Rgb24(false).File(), 2, 2,
       {{0, 1, 255, 0, 0, 255}, {1, 1, 0, 255, 0, 255}, {0, 0, 0, 0, 255, 255}, {1, 0, 255, 255, 255, 255}}},
      {"24-bit top-down", Rgb24(true).File(), 2, 2, {{0, 0, 255, 0, 0, 255}, {1, 1, 255, 255, 255, 255}}},
      {"24-bit packed DIB", Rgb24(false).Packed(), 2, 2, {{0, 1, 255, 0, 0, 255}}},
      {"8-bit palette", Palette8().File(), 3, 1, {{0, 0, 0, 0, 255, 255}, {1, 0, 255, 0, 0, 255}, {2, 0, 0, 255, 0, 255}}},
      {"4-bit palette", Palette4().File(), 3, 1, {{0, 0, 0, 255, 0, 255}, {1, 0, 255, 0, 0, 255}, {2, 0, i0r, i0g, i0b, 255}}},
      {"1-bit palette", Palette1(40).File(), 3, 1, {{0, 0, 0, 0, 255, 255}, {1, 0, i0r, i0g, i0b, 255}, {2, 0, 0, 0, 255, 255}}},
      {"OS/2 core header", Palette1(12).File(), 3, 1, {{0, 0, 0, 0, 255, 255}, {1, 0, i0r, i0g, i0b, 255}}},
      {"OS/2 core packed", Palette1(12).Packed(), 3, 1, {{2, 0, 0, 0, 255, 255}}},
      {"16-bit 5-5-5", Rgb16().File(), 2, 1, {{0, 0, 255, 0, 0, 255}, {1, 0, 0, 0, 255, 255}}},
      {"16-bit bitfields 5-6-5", Bitfields565().File(), 2, 1, {{0, 0, 0, 255, 0, 255}, {1, 0, 255, 0, 0, 255}}},
      {"32-bit, X byte ignored", Rgb32().File(), 1, 1, {{0, 0, 0xC0, 0x80, 0x40, 255}}},
      {"32-bit bitfields 10-10-10", Bitfields1010().File(), 1, 1, {{0, 0, 255, 128, 0, 255}}},
      {"V5 alpha", V5Alpha(128, 255).File(), 2, 1, {{0, 0, 255, 0, 0, 128}, {1, 0, 0, 0, 255, 255}}},
      {"V4 alpha", V5Alpha(0, 64, 108).File(), 2, 1, {{0, 0, 255, 0, 0, 0}, {1, 0, 0, 0, 255, 64}}},
      {"V5 alpha all zero is opaque", V5Alpha(0, 0).File(), 2, 1, {{0, 0, 255, 0, 0, 255}, {1, 0, 0, 0, 255, 255}}},
      {"RLE8", Rle8().File(), 3, 3,
       {{0, 0, i0r, i0g, i0b, 255}, {1, 0, 0, 0, 255, 255}, {2, 0, i0r, i0g, i0b, 255},
        {0, 1, 0, 255, 0, 255}, {1, 1, 0, 0, 255, 255}, {2, 1, 255, 0, 0, 255},
        {0, 2, 255, 0, 0, 255}, {1, 2, 255, 0, 0, 255}, {2, 2, i0r, i0g, i0b, 255}}},
      {"RLE8 packed (.rle as DIB)", Rle8().Packed(), 3, 3, {{1, 0, 0, 0, 255, 255}}},
      {"RLE4", Rle4().File(), 5, 2,
       {{0, 1, 255, 0, 0, 255}, {1, 1, 0, 255, 0, 255}, {4, 1, 255, 0, 0, 255},
        {0, 0, 0, 255, 0, 255}, {3, 0, 255, 0, 0, 255}, {4, 0, i0r, i0g, i0b, 255}}},
  };
}

TEST(BmpTest, ReadsEveryVariant) {
  for (const Case& c : Cases()) {
    Image img;
    ASSERT_TRUE(Read(c.file, img)) << c.name;
    Check(c, img);
  }
}

TEST(BmpTest, DecodeDibTakesBitsApart) {
  const Dib d = Palette8();
  const Bytes header = d.Header();
  Image img;
  ASSERT_TRUE(formats::DecodeDib(header, d.pixels, img));
  Check({"separate bits", {}, 3, 1, {{0, 0, 0, 0, 255, 255}, {2, 0, 0, 255, 0, 255}}}, img);
  // Bits following the colour table in the same span.
  const Bytes packed = d.Packed();
  ASSERT_TRUE(formats::DecodeDib(packed, {}, img));
  Check({"packed", {}, 3, 1, {{1, 0, 255, 0, 0, 255}}}, img);
}

TEST(BmpTest, RejectsDamagedFiles) {
  struct Broken {
    const char* fault;
    Bytes file;
  };
  std::vector<Broken> cases;
  {
    Bytes b = Rgb24(false).File();
    b.resize(b.size() - 5);
    cases.push_back({"pixel data shorter than the header promises", b});
  }
  {
    Dib d = Rgb24(false);
    d.headerSize = 41;
    cases.push_back({"unknown info header size", d.File()});
  }
  {
    Dib d = Rgb24(false);
    d.bits = 3;
    cases.push_back({"impossible bit count", d.File()});
  }
  {
    Dib d = Rle8();
    d.bits = 4;
    cases.push_back({"RLE8 on a 4-bit bitmap", d.File()});
  }
  {
    Dib d = Rgb24(false);
    d.width = 0;
    cases.push_back({"zero width", d.File()});
  }
  {
    Dib d = Rgb24(false);
    d.width = 1 << 30;
    d.height = 1 << 30;
    cases.push_back({"size beyond the pixel limit", d.File()});
  }
  {
    Dib d = Palette8();
    d.clrUsed = 200;
    Bytes b = d.File();
    b.resize(14 + 40 + 16);
    cases.push_back({"colour table cut short", b});
  }
  {
    Dib d = Bitfields565();
    d.masks.clear();
    Bytes b = d.Packed();
    b.resize(40);
    cases.push_back({"bitfields without masks", b});
  }
  cases.push_back({"empty file", {}});
  cases.push_back({"file header only", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  for (const Broken& c : cases) {
    Image img;
    EXPECT_FALSE(Read(c.file, img)) << c.fault;
  }
}

// Every prefix of each good file either fails or gives a picture of the
// header's size; none may crash.
TEST(BmpTest, TruncationNeverCrashes) {
  for (const Case& c : Cases()) {
    for (std::size_t n = 0; n < c.file.size(); ++n) {
      Bytes cut(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(n));
      Image img;
      if (Read(cut, img)) {
        EXPECT_EQ(img.width, c.width) << c.name << " cut at " << n;
      }
    }
  }
}

// Files written by other programs (ImageMagick), kept in tests/fixtures.
TEST(BmpTestFixtures, ReadsFilesFromOtherWriters) {
  CheckFixtures("bmp", formats::ReadBmp,
      {
          {"rle8.bmp", 20, 10, {{1, 1, 227, 0, 28, 255}, {7, 6, 85, 0, 170, 255}}},
          {"os2-core.bmp", 11, 5, {{1, 1, 255, 255, 255, 255}}},
          {"v5-alpha.bmp", 9, 7, {{1, 1, 255, 0, 0, 127}}},
      },
      {
          {"pixels-cut.bmp", "uncompressed pixel data shorter than the header promises"},
          {"bitcount-7.bmp", "a bit count no bitmap has"},
      },
      2);
}

}  // namespace
