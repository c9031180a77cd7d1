// Times what the thumbnail run does per picture: read the file, decode it
// (reduced where the reader can) and scale it to 100 pixels wide. Writes its
// test pictures in each format and size to a temporary folder first.
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/jpeg.h"
#include "generation/formats/resample.h"

namespace {

namespace fs = std::filesystem;
using formats::Image;
using Clock = std::chrono::steady_clock;

constexpr int kThumbWidth = 100;

// A photo-like picture: smooth gradients plus a little noise.
Image MakePicture(int w, int h) {
  Image img;
  img.Allocate(w, h, 3);
  std::uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = img.Row(y);
    for (int x = 0; x < w; ++x, p += 3) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28) - 8;
      p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / w + noise, 0, 255));
      p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / h + noise, 0, 255));
      p[2] = static_cast<std::uint8_t>(std::clamp(((x + y) & 255) / 2 + 64 + noise, 0, 255));
    }
  }
  return img;
}

bool WritePng(const Image& img, const fs::path& path) {
  std::FILE* f = std::fopen(path.string().c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_compression_level(png, 1);  // the setup should not dominate the run
  png_set_IHDR(png, info, img.width, img.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < img.height; ++y) png_write_row(png, img.Row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

bool WriteTiff(const Image& img, const fs::path& path) {
  TIFF* t = TIFFOpen(path.string().c_str(), "w");
  if (t == nullptr) return false;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, img.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, img.height);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
  for (int y = 0; y < img.height; ++y) TIFFWriteScanline(t, const_cast<std::uint8_t*>(img.Row(y)), y, 0);
  TIFFClose(t);
  return true;
}

void Put16(std::vector<std::uint8_t>& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

bool WriteBmp(const Image& img, const fs::path& path) {
  const std::size_t stride = (static_cast<std::size_t>(img.width) * 3 + 3) & ~std::size_t{3};
  std::vector<std::uint8_t> b = {'B', 'M'};
  Put32(b, static_cast<std::uint32_t>(54 + stride * img.height));
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(img.width));
  Put32(b, static_cast<std::uint32_t>(img.height));
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  std::vector<std::uint8_t> row(stride, 0);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  for (int y = img.height - 1; y >= 0; --y) {
    const std::uint8_t* p = img.Row(y);
    for (int x = 0; x < img.width; ++x) {
      row[x * 3] = p[x * 3 + 2];
      row[x * 3 + 1] = p[x * 3 + 1];
      row[x * 3 + 2] = p[x * 3];
    }
    out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(stride));
  }
  return static_cast<bool>(out);
}

bool WriteGif(const Image& img, const fs::path& path) {
  int err = 0;
  GifFileType* gif = EGifOpenFileName(path.string().c_str(), false, &err);
  if (gif == nullptr) return false;
  // A 6-7-6 colour cube is good enough for timing.
  GifColorType colours[256] = {};
  for (int i = 0; i < 252; ++i) {
    colours[i].Red = static_cast<GifByteType>((i / 42) * 51);
    colours[i].Green = static_cast<GifByteType>(((i / 6) % 7) * 42);
    colours[i].Blue = static_cast<GifByteType>((i % 6) * 51);
  }
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifPutScreenDesc(gif, img.width, img.height, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, img.width, img.height, false, nullptr);
  std::vector<GifPixelType> line(img.width);
  for (int y = 0; y < img.height; ++y) {
    const std::uint8_t* p = img.Row(y);
    for (int x = 0; x < img.width; ++x, p += 3) {
      line[x] = static_cast<GifPixelType>((p[0] / 43) * 42 + (p[1] / 37) * 6 + p[2] / 43);
    }
    EGifPutLine(gif, line.data(), img.width);
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return true;
}

struct Format {
  const char* name;
  const char* ext;
  bool (*write)(const Image&, const fs::path&);
  formats::ReadFn read;
};

bool WriteJpeg(const Image& img, const fs::path& path) {
  return formats::WriteJpegFile(img, 90, path.string(), nullptr);
}

// One pass of the thumbnail run's work on one file; false on any failure.
bool Thumbnail(const Format& f, const fs::path& path, double& decodeMs, double& scaleMs) {
  const auto t0 = Clock::now();
  std::vector<std::uint8_t> bytes;
  if (!formats::LoadFileBytes(path.string(), bytes)) return false;
  formats::Source src;
  const std::string name = path.string();
  src.path = name;
  src.data = bytes;
  src.reduceToWidth = kThumbWidth;
  src.keepRatio = true;
  Image img;
  if (!f.read(src, img)) return false;
  const auto t1 = Clock::now();
  const int w = img.fullWidth > 0 ? img.fullWidth : img.width;
  const int h = img.fullHeight > 0 ? img.fullHeight : img.height;
  const double r = static_cast<double>(w) / h;
  const int th = static_cast<int>(static_cast<long double>(kThumbWidth) / static_cast<long double>(r));
  Image thumb;
  formats::ResampleArea(img, thumb, kThumbWidth, th);
  const auto t2 = Clock::now();
  decodeMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
  scaleMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
  return thumb.width == kThumbWidth;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const Format formatsList[] = {
      {"JPEG", ".jpg", WriteJpeg, formats::ReadJpeg},  {"PNG", ".png", WritePng, formats::ReadPng},
      {"TIFF", ".tif", WriteTiff, formats::ReadTiff},  {"BMP", ".bmp", WriteBmp, formats::ReadBmp},
      {"GIF", ".gif", WriteGif, formats::ReadGif},
  };
  struct Size {
    int w, h;
  };
  std::vector<Size> sizes = {{640, 480}, {3000, 2000}};
  if (!quick) sizes.push_back({6000, 4000});

  const fs::path dir = fs::temp_directory_path() /
                       ("galvora-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  std::printf("%-6s %11s %10s %12s %12s %10s\n", "format", "size", "file KB", "decode ms", "reduce ms", "total ms");
  int failures = 0;
  for (const Size& s : sizes) {
    const Image picture = MakePicture(s.w, s.h);
    for (const Format& f : formatsList) {
      const fs::path path = dir / (std::string("picture") + f.ext);
      if (!f.write(picture, path)) {
        std::printf("%-6s cannot write the test picture\n", f.name);
        ++failures;
        continue;
      }
      // Best of a few runs: the figure of interest is the work, not the noise.
      const int runs = s.w * s.h > 10'000'000 ? 2 : 5;
      double bestDecode = 1e300, bestScale = 1e300;
      bool ok = true;
      for (int i = 0; i < runs && ok; ++i) {
        double d = 0, r = 0;
        ok = Thumbnail(f, path, d, r);
        if (d + r < bestDecode + bestScale) {
          bestDecode = d;
          bestScale = r;
        }
      }
      const char* size = nullptr;
      char sizeText[32];
      std::snprintf(sizeText, sizeof sizeText, "%dx%d", s.w, s.h);
      size = sizeText;
      if (!ok) {
        std::printf("%-6s %11s failed to decode\n", f.name, size);
        ++failures;
      } else {
        std::printf("%-6s %11s %10ju %12.1f %12.1f %10.1f\n", f.name, size,
                    static_cast<std::uintmax_t>(fs::file_size(path) / 1024), bestDecode, bestScale,
                    bestDecode + bestScale);
      }
      fs::remove(path);
    }
  }
  fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
