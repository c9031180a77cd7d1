#include <algorithm>
#include <cstdio>
#include <memory>

#include "generation/formats/formats.h"

namespace formats {

const std::vector<Format>& Registry() {
  static const std::vector<Format> kFormats = {
      {"JPEG", {".jfif"}, ReadJpeg, Kind::Internal},
      {"Windows bitmap", {".rle", ".dib"}, ReadBmp, Kind::Internal},
      {"Enhanced metafile", {".emf"}, ReadEmf, Kind::Internal},
      {"Windows metafile", {".wmf"}, ReadWmf, Kind::Internal},
      {"PNG", {".png"}, ReadPng, Kind::Internal},
      {"TIFF", {".tif", ".tiff", ".fax"}, ReadTiff, Kind::Internal},
      {"Encapsulated PostScript", {".eps"}, ReadEps, Kind::Internal},
      {"Targa", {".tga", ".vst", ".icb", ".vda", ".win"}, ReadTga, Kind::Internal},
      {"Photoshop", {".psd", ".pdd"}, ReadPsd, Kind::Internal},
      {"Paint Shop Pro", {".psp"}, ReadPsp, Kind::Internal},
      {"Autodesk Animator", {".cel", ".pic"}, ReadCel, Kind::Internal},
      {"Kodak Photo-CD", {".pcd"}, ReadPcd, Kind::Internal},
      {"PC Paintbrush", {".pcx", ".pcc", ".scr"}, ReadPcx, Kind::Internal},
      {"Netpbm", {".ppm", ".pgm", ".pbm"}, ReadNetpbm, Kind::Internal},
      {"Dr. Halo", {".cut"}, ReadCut, Kind::Internal},
      {"Dr. Halo palette", {".pal"}, ReadHaloPalette, Kind::Internal},
      {"SGI", {".bw", ".rgb", ".rgba", ".sgi"}, ReadSgi, Kind::Internal},
      {"Wavefront RLA", {".rla", ".rpf"}, ReadRla, Kind::Internal},
      {"WordPerfect Graphics", {".wpg"}, ReadWpg, Kind::External},
      {"PFS First Publisher", {".art"}, ReadArt, Kind::External},
      {"Slow Scan TV", {".hzr"}, ReadHzr, Kind::External},
      {"Windows cursor", {".cur"}, ReadCur, Kind::External},
      {"Amiga IFF", {".iff", ".lbm"}, ReadIlbm, Kind::External},
      {"GEM raster", {".gem", ".img"}, ReadGem, Kind::External},
      {"MacPaint", {".mac"}, ReadMacPaint, Kind::External},
      {"Microsoft Paint", {".msp"}, ReadMsp, Kind::External},
      {"Netpbm", {".pnm"}, ReadNetpbm, Kind::External},
      {"Sun raster", {".ras"}, ReadSunRaster, Kind::External},
  };
  return kFormats;
}

const Format* FindFormat(std::string_view extension, Kind kind) {
  for (const Format& f : Registry()) {
    if (f.kind != kind) continue;
    if (std::find(f.extensions.begin(), f.extensions.end(), extension) != f.extensions.end()) {
      return &f;
    }
  }
  return nullptr;
}

bool ReadFlattened(const Format& format, const Source& src, Image& out) {
  Image img;
  if (!format.read(src, img) || img.width <= 0 || img.height <= 0) return false;
  if (img.pixels.size() != static_cast<std::size_t>(img.width) * img.height * img.channels) {
    return false;
  }
  if (img.channels == 4) {
    // Composite over white, in place: RGBA → RGB.
    const std::size_t n = static_cast<std::size_t>(img.width) * img.height;
    std::uint8_t* p = img.pixels.data();
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned a = p[i * 4 + 3];
      for (int c = 0; c < 3; ++c) {
        const unsigned v = p[i * 4 + c] * a + 255 * (255 - a);
        p[i * 3 + c] = static_cast<std::uint8_t>((v + 127) / 255);
      }
    }
    img.pixels.resize(n * 3);
    img.pixels.shrink_to_fit();
    img.channels = 3;
  } else if (img.channels != 3) {
    return false;
  }
  out = std::move(img);
  return true;
}

std::string LowerExtension(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string ext(path.substr(dot));
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

bool LoadFileBytes(const std::string& path, std::vector<std::uint8_t>& out) {
  constexpr long kMaxFile = 1L << 30;
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return false;
  if (std::fseek(f.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(f.get());
  if (size < 0 || size > kMaxFile || std::fseek(f.get(), 0, SEEK_SET) != 0) return false;
  out.resize(static_cast<std::size_t>(size));
  return size == 0 || std::fread(out.data(), 1, out.size(), f.get()) == out.size();
}

}  // namespace formats
