// PNG reader: one small picture per colour type and depth, written here with libpng.
#include <gtest/gtest.h>

#include <png.h>

#include <string>
#include <vector>

#include "tests/formats/fixture_check.h"
#include "generation/formats/formats.h"

namespace {

using formats::Image;
using Bytes = std::vector<std::uint8_t>;

void Append(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}
void Flush(png_structp) {}

struct Layout {
  int width, height, colorType, depth;
  bool interlace = false;
  Bytes rows;  // packed rows as PNG stores them, top-down
  std::vector<png_color> palette;
  Bytes trnsIndices;       // palette alpha
  int trnsGrey = -1;       // transparent grey value
};

Bytes WritePng(const Layout& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(s.width), static_cast<png_uint_32>(s.height), s.depth,
               s.colorType, s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.trnsIndices.empty()) {
    png_set_tRNS(png, info, s.trnsIndices.data(), static_cast<int>(s.trnsIndices.size()), nullptr);
  }
  if (s.trnsGrey >= 0) {
    png_color_16 c{};
    c.gray = static_cast<png_uint_16>(s.trnsGrey);
    png_set_tRNS(png, info, nullptr, 0, &c);
  }
  png_write_info(png, info);
  const std::size_t stride = s.rows.size() / s.height;
  std::vector<png_bytep> rows;
  for (int y = 0; y < s.height; ++y) rows.push_back(const_cast<png_bytep>(s.rows.data() + stride * y));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool Read(const Bytes& file, Image& out) {
  formats::Source src;
  src.path = "picture.png";
  src.data = {file.data(), file.size()};
  return formats::ReadPng(src, out);
}

struct Pixel {
  int x, y;
  std::uint8_t r, g, b, a;
};

Bytes Interlaced16() {  // 16 × 16, red = x * 16, green = y * 16
  Bytes b;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) b.insert(b.end(), {static_cast<std::uint8_t>(x * 16), static_cast<std::uint8_t>(y * 16), 7});
  return b;
}

TEST(PngTest, ReadsEveryColourType) {
  struct Case {
    const char* name;
    Layout layout;
    int channels;
    std::vector<Pixel> pixels;
  };
  const std::vector<png_color> pal = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  const std::vector<Case> cases = {
      {"RGB 8", {2, 1, PNG_COLOR_TYPE_RGB, 8, false, {255, 0, 0, 1, 2, 3}}, 3,
       {{0, 0, 255, 0, 0, 255}, {1, 0, 1, 2, 3, 255}}},
      {"RGBA 8", {2, 1, PNG_COLOR_TYPE_RGBA, 8, false, {255, 0, 0, 128, 1, 2, 3, 255}}, 4,
       {{0, 0, 255, 0, 0, 128}, {1, 0, 1, 2, 3, 255}}},
      {"grey 8", {2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {0, 200}}, 3, {{1, 0, 200, 200, 200, 255}}},
      {"grey 1", {3, 1, PNG_COLOR_TYPE_GRAY, 1, false, {0xA0}}, 3,
       {{0, 0, 255, 255, 255, 255}, {1, 0, 0, 0, 0, 255}}},
      {"grey 2", {2, 1, PNG_COLOR_TYPE_GRAY, 2, false, {0x60}}, 3,
       {{0, 0, 85, 85, 85, 255}, {1, 0, 170, 170, 170, 255}}},
      {"grey + alpha", {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {90, 30}}, 4, {{0, 0, 90, 90, 90, 30}}},
      {"grey with tRNS", {2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {5, 6}, {}, {}, 6}, 4,
       {{0, 0, 5, 5, 5, 255}, {1, 0, 6, 6, 6, 0}}},
      {"palette 4-bit", {3, 1, PNG_COLOR_TYPE_PALETTE, 4, false, {0x21, 0x00}, pal}, 3,
       {{0, 0, 0, 0, 255, 255}, {1, 0, 0, 255, 0, 255}, {2, 0, 255, 0, 0, 255}}},
      {"palette with tRNS", {2, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {0, 2}, pal, {0}}, 4,
       {{0, 0, 255, 0, 0, 0}, {1, 0, 0, 0, 255, 255}}},
      {"RGB 16", {1, 1, PNG_COLOR_TYPE_RGB, 16, false, {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x10}}, 3, {{0, 0, 255, 128, 0, 255}}},
      {"Adam7 interlaced", {16, 16, PNG_COLOR_TYPE_RGB, 8, true, Interlaced16()}, 3,
       {{3, 5, 48, 80, 7, 255}, {15, 15, 240, 240, 7, 255}, {7, 2, 112, 32, 7, 255}}},
  };
  for (const Case& c : cases) {
    Image img;
    ASSERT_TRUE(Read(WritePng(c.layout), img)) << c.name;
    ASSERT_EQ(img.width, c.layout.width) << c.name;
    ASSERT_EQ(img.height, c.layout.height) << c.name;
    ASSERT_EQ(img.channels, c.channels) << c.name;
    for (const Pixel& p : c.pixels) {
      const std::uint8_t* q = img.pixels.data() + (static_cast<std::size_t>(p.y) * img.width + p.x) * img.channels;
      const int a = img.channels == 4 ? q[3] : 255;
      EXPECT_EQ(q[0], p.r) << c.name << " at " << p.x << "," << p.y;
      EXPECT_EQ(q[1], p.g) << c.name << " at " << p.x << "," << p.y;
      EXPECT_EQ(q[2], p.b) << c.name << " at " << p.x << "," << p.y;
      EXPECT_EQ(a, p.a) << c.name << " at " << p.x << "," << p.y;
    }
  }
}

TEST(PngTest, RejectsDamagedFiles) {
  const Bytes good = WritePng({16, 16, PNG_COLOR_TYPE_RGB, 8, true, Interlaced16()});
  struct Case {
    const char* fault;
    Bytes file;
  };
  std::vector<Case> cases = {{"empty", {}}, {"signature only", Bytes(good.begin(), good.begin() + 8)}};
  {
    Bytes b = good;
    b[16] ^= 0x40;  // IHDR width, so its CRC no longer matches
    cases.push_back({"IHDR with a bad CRC", b});
  }
  {
    Bytes b = good;
    b[0] = 'X';
    cases.push_back({"bad signature", b});
  }
  cases.push_back({"image data cut short", Bytes(good.begin(), good.end() - 40)});
  {
    Bytes b = good;
    b[19] = 0;  // height 0 (width 16, height at 20..23)
    b[18] = 0;
    b[17] = 0;
    b[16] = 0;
    cases.push_back({"zero width", b});
  }
  for (const Case& c : cases) {
    Image img;
    EXPECT_FALSE(Read(c.file, img)) << c.fault;
  }
  for (std::size_t n = 0; n < good.size(); ++n) {
    Image img;
    Read(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), img);
  }
}

// Files written by other programs (ImageMagick), kept in tests/fixtures.
TEST(PngTestFixtures, ReadsFilesFromOtherWriters) {
  CheckFixtures("png", formats::ReadPng,
      {
          {"palette-trns.png", 12, 12, {{1, 1, 231, 0, 23, 255}, {7, 6, 162, 0, 92, 255}}},
          {"adam7-16bit.png", 12, 12, {{1, 1, 232, 0, 23, 255}, {7, 6, 116, 0, 139, 255}}},
          {"grey-alpha.png", 12, 12, {{1, 1, 232, 232, 232, 76}, {7, 6, 116, 116, 116, 76}}},
      },
      {
          {"ihdr-bad-crc.png", "header chunk whose checksum does not match"},
          {"idat-cut.png", "file ends inside the image data"},
      },
      1);
}

}  // namespace
