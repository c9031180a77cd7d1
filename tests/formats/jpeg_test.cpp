// JPEG reader, size probe and encoder. The pictures are encoded here with
// libjpeg; EXIF segments are written by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/formats/fixture_check.h"
#include "generation/formats/formats.h"
#include "generation/formats/jpeg.h"

namespace {

namespace fs = std::filesystem;
using formats::Image;
using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  int r, g, b;
};

struct EncodeOptions {
  J_COLOR_SPACE in = JCS_RGB;     // sample layout of `pixels`
  J_COLOR_SPACE stored = JCS_RGB; // colour space inside the file (JCS_YCbCr for RGB)
  bool adobe = true;              // keep libjpeg's Adobe marker for CMYK/YCCK
  bool progressive = false;
  bool arithmetic = false;
};

Bytes Encode(int w, int h, int components, const Bytes& pixels, const EncodeOptions& o = {}) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buf, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = components;
  cinfo.in_color_space = o.in;
  jpeg_set_defaults(&cinfo);
  if (o.stored != JCS_RGB) jpeg_set_colorspace(&cinfo, o.stored);
  if (!o.adobe) cinfo.write_Adobe_marker = FALSE;
  jpeg_set_quality(&cinfo, 95, TRUE);
  // No chroma subsampling: the colour tests look at small areas.
  for (int c = 0; c < cinfo.num_components; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  if (o.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + static_cast<std::size_t>(cinfo.next_scanline) * w * components);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(buf, buf + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buf);
  return out;
}

Bytes Solid(int w, int h, std::initializer_list<std::uint8_t> sample) {
  Bytes p;
  p.reserve(static_cast<std::size_t>(w) * h * sample.size());
  for (int i = 0; i < w * h; ++i) p.insert(p.end(), sample);
  return p;
}

// 32 × 16: top-left red, top-right green, bottom-left blue, bottom-right white.
constexpr int kQw = 32, kQh = 16;
Bytes Quadrants() {
  Bytes p;
  for (int y = 0; y < kQh; ++y) {
    for (int x = 0; x < kQw; ++x) {
      const bool right = x >= kQw / 2, bottom = y >= kQh / 2;
      Rgb c = !bottom ? (right ? Rgb{0, 255, 0} : Rgb{255, 0, 0}) : (right ? Rgb{255, 255, 255} : Rgb{0, 0, 255});
      p.push_back(static_cast<std::uint8_t>(c.r));
      p.push_back(static_cast<std::uint8_t>(c.g));
      p.push_back(static_cast<std::uint8_t>(c.b));
    }
  }
  return p;
}

// Inserts an APP1 EXIF segment holding only the orientation tag after SOI.
Bytes WithExifOrientation(const Bytes& jpeg, int orientation, bool bigEndian) {
  Bytes tiff;
  auto put16 = [&](unsigned v) {
    if (bigEndian) {
      tiff.push_back(static_cast<std::uint8_t>(v >> 8));
      tiff.push_back(static_cast<std::uint8_t>(v));
    } else {
      tiff.push_back(static_cast<std::uint8_t>(v));
      tiff.push_back(static_cast<std::uint8_t>(v >> 8));
    }
  };
  auto put32 = [&](std::uint32_t v) {
    if (bigEndian) {
      put16(v >> 16);
      put16(v & 0xFFFF);
    } else {
      put16(v & 0xFFFF);
      put16(v >> 16);
    }
  };
  tiff.push_back(bigEndian ? 'M' : 'I');
  tiff.push_back(bigEndian ? 'M' : 'I');
  put16(42);
  put32(8);
  put16(2);  // two entries: a resolution unit first, then the orientation
  put16(0x0128);
  put16(3);
  put32(1);
  put16(2);
  put16(0);
  put16(0x0112);
  put16(3);
  put32(1);
  put16(static_cast<unsigned>(orientation));
  put16(0);
  put32(0);
  Bytes seg = {'E', 'x', 'i', 'f', 0, 0};
  seg.insert(seg.end(), tiff.begin(), tiff.end());
  const std::size_t len = seg.size() + 2;
  Bytes out = {jpeg[0], jpeg[1], 0xFF, 0xE1, static_cast<std::uint8_t>(len >> 8), static_cast<std::uint8_t>(len)};
  out.insert(out.end(), seg.begin(), seg.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

bool Read(const Bytes& file, Image& out, int reduceTo = 0, bool keepRatio = true) {
  formats::Source src;
  src.path = "picture.jpg";
  src.data = {file.data(), file.size()};
  src.reduceToWidth = reduceTo;
  src.keepRatio = keepRatio;
  return formats::ReadJpeg(src, out);
}

void ExpectNear(const Image& img, int x, int y, Rgb want, const std::string& what, int tolerance = 12) {
  ASSERT_LT(x, img.width);
  ASSERT_LT(y, img.height);
  const std::uint8_t* p = img.pixels.data() + (static_cast<std::size_t>(y) * img.width + x) * img.channels;
  EXPECT_NEAR(p[0], want.r, tolerance) << what << " red at " << x << "," << y;
  EXPECT_NEAR(p[1], want.g, tolerance) << what << " green at " << x << "," << y;
  EXPECT_NEAR(p[2], want.b, tolerance) << what << " blue at " << x << "," << y;
}

TEST(JpegTest, ColourSpacesAndCodings) {
  struct Case {
    const char* name;
    Bytes file;
    Rgb centre;
  };
  const Case cases[] = {
      {"baseline RGB", Encode(16, 16, 3, Solid(16, 16, {200, 40, 90})), {200, 40, 90}},
      {"greyscale", Encode(16, 16, 1, Solid(16, 16, {100}), {JCS_GRAYSCALE, JCS_GRAYSCALE}), {100, 100, 100}},
      // Adobe CMYK stores inverted samples: 255 is no ink. This is pure red.
      {"CMYK, Adobe inverted", Encode(16, 16, 4, Solid(16, 16, {255, 0, 0, 255}), {JCS_CMYK, JCS_CMYK}), {255, 0, 0}},
      {"YCCK, Adobe inverted", Encode(16, 16, 4, Solid(16, 16, {255, 0, 0, 255}), {JCS_CMYK, JCS_YCCK}), {255, 0, 0}},
      {"CMYK without Adobe marker", Encode(16, 16, 4, Solid(16, 16, {0, 255, 255, 0}), {JCS_CMYK, JCS_CMYK, false}),
       {255, 0, 0}},
      {"CMYK half black", Encode(16, 16, 4, Solid(16, 16, {255, 255, 255, 128}), {JCS_CMYK, JCS_CMYK}), {128, 128, 128}},
      {"progressive", Encode(16, 16, 3, Solid(16, 16, {20, 180, 60}), {.progressive = true}), {20, 180, 60}},
      {"arithmetic", Encode(16, 16, 3, Solid(16, 16, {20, 60, 180}), {.arithmetic = true}), {20, 60, 180}},
      {"progressive arithmetic", Encode(16, 16, 3, Solid(16, 16, {90, 90, 30}), {.progressive = true, .arithmetic = true}),
       {90, 90, 30}},
  };
  for (const Case& c : cases) {
    Image img;
    ASSERT_TRUE(Read(c.file, img)) << c.name;
    EXPECT_EQ(img.width, 16) << c.name;
    EXPECT_EQ(img.height, 16) << c.name;
    EXPECT_EQ(img.channels, 3) << c.name;
    ExpectNear(img, 8, 8, c.centre, c.name, 4);
  }
}

TEST(JpegTest, ExifOrientationTurnsPictureUpright) {
  const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
  struct Case {
    int orientation;
    int width, height;
    Rgb topLeft, topRight;
  };
  const Case cases[] = {
      {1, 32, 16, red, green},  {2, 32, 16, green, red},  {3, 32, 16, white, blue}, {4, 32, 16, blue, white},
      {5, 16, 32, red, blue},   {6, 16, 32, blue, red},   {7, 16, 32, white, green}, {8, 16, 32, green, white},
  };
  const Bytes plain = Encode(kQw, kQh, 3, Quadrants());
  for (const Case& c : cases) {
    for (bool bigEndian : {false, true}) {
      const std::string what = "orientation " + std::to_string(c.orientation) + (bigEndian ? " MM" : " II");
      Image img;
      ASSERT_TRUE(Read(WithExifOrientation(plain, c.orientation, bigEndian), img)) << what;
      EXPECT_EQ(img.width, c.width) << what;
      EXPECT_EQ(img.height, c.height) << what;
      ExpectNear(img, 2, 2, c.topLeft, what);
      ExpectNear(img, img.width - 3, 2, c.topRight, what);
    }
  }
}

TEST(JpegTest, ReducedDecodeCoversTheThumbnail) {
  struct Case {
    int w, h, orientation;
    bool keepRatio;
    int outW, outH;  // upright decoded size
  };
  const Case cases[] = {
      {640, 480, 1, true, 160, 120},    // 1/8 would be 80 wide
      {3000, 2000, 1, true, 375, 250},  // 1/8: height 250 ≥ 66
      {1000, 300, 1, true, 125, 38},    // target 100 × 29
      {1000, 300, 1, false, 500, 150},  // target 100 × 100
      {400, 1000, 1, true, 100, 250},   // target 100 × 250
      {480, 640, 6, true, 160, 120},    // upright 640 × 480
      {100, 80, 1, true, 100, 80},      // not wider than the target: full size
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + " o" + std::to_string(c.orientation) +
                             (c.keepRatio ? " ratio" : " square");
    Bytes file = Encode(c.w, c.h, 3, Solid(c.w, c.h, {30, 120, 220}));
    if (c.orientation != 1) file = WithExifOrientation(file, c.orientation, false);
    Image full, reduced;
    ASSERT_TRUE(Read(file, full)) << what;
    ASSERT_TRUE(Read(file, reduced, 100, c.keepRatio)) << what;
    EXPECT_EQ(reduced.width, c.outW) << what;
    EXPECT_EQ(reduced.height, c.outH) << what;
    EXPECT_EQ(reduced.fullWidth, full.width) << what;
    EXPECT_EQ(reduced.fullHeight, full.height) << what;
    ExpectNear(reduced, reduced.width / 2, reduced.height / 2, {30, 120, 220}, what, 4);
  }
}

TEST(JpegTest, RejectsDamagedFiles) {
  const Bytes good = Encode(32, 32, 3, Solid(32, 32, {1, 2, 3}));
  struct Case {
    const char* fault;
    Bytes file;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"SOI only", {0xFF, 0xD8}});
  cases.push_back({"not a JPEG", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}});
  {
    // Find the SOF0 marker and zero the picture's size.
    Bytes b = good;
    for (std::size_t i = 0; i + 9 < b.size(); ++i) {
      if (b[i] == 0xFF && b[i + 1] == 0xC0) {
        b[i + 5] = b[i + 6] = b[i + 7] = b[i + 8] = 0;
        break;
      }
    }
    cases.push_back({"frame of 0 x 0", b});
  }
  {
    // Cut right after the start-of-scan header: no pixel data at all.
    Bytes b = good;
    for (std::size_t i = 0; i + 3 < b.size(); ++i) {
      if (b[i] == 0xFF && b[i + 1] == 0xDA) {
        b.resize(i + 2 + ((b[i + 2] << 8) | b[i + 3]));
        break;
      }
    }
    cases.push_back({"truncated before the scan data", b});
  }
  for (const Case& c : cases) {
    Image img;
    EXPECT_FALSE(Read(c.file, img)) << c.fault;
  }
  // Every prefix must fail or succeed cleanly, never crash.
  const Bytes progressive = Encode(24, 24, 3, Quadrants(), {.progressive = true});
  for (const Bytes* file : {&good, &progressive}) {
    for (std::size_t n = 0; n < file->size(); n += 3) {
      Image img;
      Read(Bytes(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(n)), img, 8);
    }
  }
}

class JpegFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("galvora-jpeg-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

Image Gradient(int w, int h) {
  Image img;
  img.Allocate(w, h, 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.Set(x, y, static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), 128);
  return img;
}

Bytes Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(JpegFileTest, WritesProgressiveWithDefaultTables) {
  const fs::path target = dir_ / "thumb.jpg";
  std::string error;
  ASSERT_TRUE(formats::WriteJpegFile(Gradient(40, 30), 50, target.string(), &error)) << error;
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  const Bytes file = Slurp(target);
  bool sof2 = false, sof0 = false;
  for (std::size_t i = 0; i + 1 < file.size(); ++i) {
    sof2 |= file[i] == 0xFF && file[i + 1] == 0xC2;
    sof0 |= file[i] == 0xFF && file[i + 1] == 0xC0;
  }
  EXPECT_TRUE(sof2);
  EXPECT_FALSE(sof0);

  // The quantization tables are those libjpeg makes for quality 50.
  jpeg_compress_struct ref;
  jpeg_error_mgr refErr;
  ref.err = jpeg_std_error(&refErr);
  jpeg_create_compress(&ref);
  ref.in_color_space = JCS_RGB;
  ref.input_components = 3;
  jpeg_set_defaults(&ref);
  jpeg_set_quality(&ref, 50, TRUE);
  jpeg_decompress_struct dec;
  jpeg_error_mgr decErr;
  dec.err = jpeg_std_error(&decErr);
  jpeg_create_decompress(&dec);
  jpeg_mem_src(&dec, file.data(), static_cast<unsigned long>(file.size()));
  ASSERT_EQ(jpeg_read_header(&dec, TRUE), JPEG_HEADER_OK);
  EXPECT_TRUE(dec.progressive_mode);
  for (int t = 0; t < 2; ++t) {
    ASSERT_NE(dec.quant_tbl_ptrs[t], nullptr);
    for (int i = 0; i < DCTSIZE2; ++i) {
      EXPECT_EQ(dec.quant_tbl_ptrs[t]->quantval[i], ref.quant_tbl_ptrs[t]->quantval[i]) << "table " << t << " entry " << i;
    }
  }
  jpeg_destroy_decompress(&dec);
  jpeg_destroy_compress(&ref);

  int w = 0, h = 0;
  ASSERT_TRUE(formats::ReadJpegSize(target.string(), w, h));
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  Image back;
  ASSERT_TRUE(Read(file, back));
  ExpectNear(back, 20, 15, {80, 60, 128}, "round trip", 10);
}

TEST_F(JpegFileTest, ReplacesAnExistingFile) {
  const fs::path target = dir_ / "thumb.jpg";
  std::ofstream(target) << "old";
  ASSERT_TRUE(formats::WriteJpegFile(Gradient(8, 8), 90, target.string(), nullptr));
  int w = 0, h = 0;
  ASSERT_TRUE(formats::ReadJpegSize(target.string(), w, h));
  EXPECT_EQ(w, 8);
}

TEST_F(JpegFileTest, FailsWithAReason) {
  std::string error;
  EXPECT_FALSE(formats::WriteJpegFile(Gradient(8, 8), 75, (dir_ / "missing" / "t.jpg").string(), &error));
  EXPECT_FALSE(error.empty());
  Image rgba;
  rgba.Allocate(4, 4, 4);
  error.clear();
  EXPECT_FALSE(formats::WriteJpegFile(rgba, 75, (dir_ / "t.jpg").string(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(JpegFileTest, SizeProbeReadsTheStoredSize) {
  const fs::path p = dir_ / "turned.jpg";
  const Bytes file = WithExifOrientation(Encode(kQw, kQh, 3, Quadrants()), 6, true);
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  int w = 0, h = 0;
  ASSERT_TRUE(formats::ReadJpegSize(p.string(), w, h));
  EXPECT_EQ(w, kQw);
  EXPECT_EQ(h, kQh);
  std::ofstream(dir_ / "junk.jpg") << "not a picture";
  EXPECT_FALSE(formats::ReadJpegSize((dir_ / "junk.jpg").string(), w, h));
  EXPECT_FALSE(formats::ReadJpegSize((dir_ / "none.jpg").string(), w, h));
}

// Files written by other programs (ImageMagick), kept in tests/fixtures.
TEST(JpegTestFixtures, ReadsFilesFromOtherWriters) {
  CheckFixtures("jpeg", formats::ReadJpeg,
      {
          {"cmyk-adobe.jpg", 16, 16, {{1, 1, 239, 0, 19, 255}, {7, 6, 152, 1, 101, 255}}},
          {"grey.jpg", 16, 16, {{1, 1, 239, 239, 239, 255}, {7, 6, 152, 152, 152, 255}}},
          {"progressive.jpg", 24, 16, {{1, 1, 154, 158, 22, 255}, {7, 6, 87, 61, 10, 255}}},
      },
      {
          {"cut-in-header.jpg", "file ends inside the tables, before any frame"},
          {"garbage-after-soi.jpg", "no marker after the start of image"},
      },
      3);
}

}  // namespace
