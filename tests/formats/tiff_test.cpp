// TIFF reader: small files written here with libtiff in several layouts.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/formats/fixture_check.h"
#include "generation/formats/formats.h"

namespace {

namespace fs = std::filesystem;
using formats::Image;
using Bytes = std::vector<std::uint8_t>;

struct Layout {
  int width, height;
  int samples;         // per pixel
  int bits = 8;
  int photometric = PHOTOMETRIC_RGB;
  int compression = COMPRESSION_NONE;
  int extra = -1;      // EXTRASAMPLE_* for the last sample
  int orientation = ORIENTATION_TOPLEFT;
  bool tiled = false;
  std::vector<std::uint16_t> map;  // palette: 3 × 2^bits entries, r then g then b
  Bytes rows;          // packed rows, top-down as stored
};

Bytes WriteTiff(const fs::path& path, const Layout& s) {
  TIFF* t = TIFFOpen(path.string().c_str(), "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bits);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(t, TIFFTAG_COMPRESSION, s.compression);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ORIENTATION, s.orientation);
  if (s.extra >= 0) {
    std::uint16_t e = static_cast<std::uint16_t>(s.extra);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &e);
  }
  if (!s.map.empty()) {
    const std::size_t n = s.map.size() / 3;
    TIFFSetField(t, TIFFTAG_COLORMAP, s.map.data(), s.map.data() + n, s.map.data() + 2 * n);
  }
  const std::size_t stride = s.rows.size() / s.height;
  if (s.tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    std::vector<std::uint8_t> tile(TIFFTileSize(t), 0);
    for (int ty = 0; ty < s.height; ty += 16) {
      for (int tx = 0; tx < s.width; tx += 16) {
        std::fill(tile.begin(), tile.end(), 0);
        const std::size_t ts = tile.size() / 16;
        for (int y = 0; y < 16 && ty + y < s.height; ++y)
          for (int x = 0; x < 16 && tx + x < s.width; ++x)
            for (int c = 0; c < s.samples; ++c)
              tile[ts * y + x * s.samples + c] = s.rows[stride * (ty + y) + (tx + x) * s.samples + c];
        TIFFWriteTile(t, tile.data(), tx, ty, 0, 0);
      }
    }
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 2);
    for (int y = 0; y < s.height; ++y) TIFFWriteScanline(t, const_cast<std::uint8_t*>(s.rows.data() + stride * y), y, 0);
  }
  TIFFClose(t);
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Read(const Bytes& file, Image& out) {
  formats::Source src;
  src.path = "picture.tif";
  src.data = {file.data(), file.size()};
  return formats::ReadTiff(src, out);
}

struct Pixel {
  int x, y;
  std::uint8_t r, g, b, a;
};

class TiffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("galvora-tiff-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  Bytes Make(const Layout& s) { return WriteTiff(dir_ / "t.tif", s); }
  fs::path dir_;
};

Bytes Gradient(int w, int h) {  // red = x * 8, green = y * 8, blue 50
  Bytes b;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.insert(b.end(), {static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8), 50});
  return b;
}

TEST_F(TiffTest, ReadsCommonLayouts) {
  struct Case {
    const char* name;
    Layout layout;
    int channels;
    std::vector<Pixel> pixels;
  };
  std::vector<std::uint16_t> map(3 * 4, 0);
  map[1] = 65535;          // index 1 red
  map[4 + 2] = 65535;      // index 2 green
  map[8 + 3] = 65535;      // index 3 blue
  const std::vector<Case> cases = {
      {"RGB", {20, 18, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE, -1, ORIENTATION_TOPLEFT, false, {}, Gradient(20, 18)}, 3,
       {{3, 5, 24, 40, 50, 255}, {19, 17, 152, 136, 50, 255}}},
      {"RGB, LZW", {20, 18, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, -1, ORIENTATION_TOPLEFT, false, {}, Gradient(20, 18)}, 3,
       {{3, 5, 24, 40, 50, 255}}},
      {"RGB, PackBits, tiled", {20, 18, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS, -1, ORIENTATION_TOPLEFT, true, {}, Gradient(20, 18)},
       3, {{17, 16, 136, 128, 50, 255}}},
      {"bottom-left origin", {20, 18, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE, -1, ORIENTATION_BOTLEFT, false, {}, Gradient(20, 18)}, 3,
       {{3, 0, 24, 136, 50, 255}, {3, 17, 24, 0, 50, 255}}},
      {"grey, black is zero", {2, 1, 1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, -1, ORIENTATION_TOPLEFT, false, {}, {0, 200}}, 3,
       {{1, 0, 200, 200, 200, 255}}},
      {"bilevel, white is zero", {3, 1, 1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, -1, ORIENTATION_TOPLEFT, false, {}, {0x40}}, 3,
       {{0, 0, 255, 255, 255, 255}, {1, 0, 0, 0, 0, 255}}},
      {"palette", {3, 1, 1, 2, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, -1, ORIENTATION_TOPLEFT, false, map, {0x6C}}, 3,
       {{0, 0, 255, 0, 0, 255}, {1, 0, 0, 255, 0, 255}, {2, 0, 0, 0, 255, 255}}},
      {"CMYK", {1, 1, 4, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE, -1, ORIENTATION_TOPLEFT, false, {}, {0, 255, 255, 0}}, 3,
       {{0, 0, 255, 0, 0, 255}}},
      {"RGBA unassociated", {2, 1, 4, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE, EXTRASAMPLE_UNASSALPHA, ORIENTATION_TOPLEFT, false, {},
                             {200, 100, 0, 128, 1, 2, 3, 255}}, 4,
       {{0, 0, 200, 100, 0, 128}, {1, 0, 1, 2, 3, 255}}},
      {"RGBA associated", {1, 1, 4, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE, EXTRASAMPLE_ASSOCALPHA, ORIENTATION_TOPLEFT, false, {},
                           {100, 50, 0, 128}}, 4,
       {{0, 0, 199, 100, 0, 128}}},
  };
  for (const Case& c : cases) {
    Image img;
    ASSERT_TRUE(Read(Make(c.layout), img)) << c.name;
    ASSERT_EQ(img.width, c.layout.width) << c.name;
    ASSERT_EQ(img.height, c.layout.height) << c.name;
    ASSERT_EQ(img.channels, c.channels) << c.name;
    for (const Pixel& p : c.pixels) {
      const std::uint8_t* q = img.pixels.data() + (static_cast<std::size_t>(p.y) * img.width + p.x) * img.channels;
      const int a = img.channels == 4 ? q[3] : 255;
      EXPECT_NEAR(q[0], p.r, 1) << c.name << " at " << p.x << "," << p.y;
      EXPECT_NEAR(q[1], p.g, 1) << c.name << " at " << p.x << "," << p.y;
      EXPECT_NEAR(q[2], p.b, 1) << c.name << " at " << p.x << "," << p.y;
      EXPECT_EQ(a, p.a) << c.name << " at " << p.x << "," << p.y;
    }
  }
}

TEST_F(TiffTest, RejectsDamagedFiles) {
  const Bytes good = Make({20, 18, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, -1, ORIENTATION_TOPLEFT, false, {}, Gradient(20, 18)});
  struct Case {
    const char* fault;
    Bytes file;
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"header only", {'I', 'I', 42, 0, 8, 0, 0, 0}},
      {"directory offset past the end", {'I', 'I', 42, 0, 0xFF, 0xFF, 0, 0}},
      {"not a TIFF", {'M', 'Z', 0, 0, 0, 0, 0, 0}},
  };
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
TEST(TiffTestFixtures, ReadsFilesFromOtherWriters) {
  CheckFixtures("tiff", formats::ReadTiff,
      {
          {"lzw.tif", 20, 18, {{1, 1, 240, 0, 15, 255}, {7, 6, 165, 0, 90, 255}}},
          {"tiled.tif", 20, 18, {{1, 1, 240, 0, 15, 255}, {7, 6, 165, 0, 90, 255}}},
          {"jpg.tif", 20, 18, {{1, 1, 241, 0, 14, 255}, {7, 6, 165, 0, 90, 255}}},
          {"cmyk.tif", 20, 18, {{1, 1, 240, 0, 15, 255}, {7, 6, 165, 0, 90, 255}}},
          {"g4.tif", 20, 18, {{1, 1, 255, 255, 255, 255}}},
          {"alpha.tif", 20, 18, {{1, 1, 240, 240, 240, 127}, {7, 6, 165, 165, 165, 127}}},
      },
      {
          {"cut-in-ifd.tif", "file ends inside the first directory"},
          {"ifd-offset-past-end.tif", "first directory offset beyond the file"},
      },
      2);
}

}  // namespace
