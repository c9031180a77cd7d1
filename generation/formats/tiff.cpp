// TIFF through libtiff: the first directory, any photometric libtiff's RGBA
// interface handles, read from memory.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "generation/formats/formats.h"

namespace formats {
namespace {

struct MemoryFile {
  std::span<const std::uint8_t> data;
  toff_t pos = 0;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemoryFile*>(h);
  if (size <= 0 || f->pos >= f->data.size()) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), f->data.size() - f->pos);
  std::memcpy(buf, f->data.data() + f->pos, n);
  f->pos += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return 0; }

toff_t SeekProc(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = f->pos;
  else if (whence == SEEK_END) base = f->data.size();
  else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
  // Offsets are unsigned: a backward seek wraps round, which lands where it
  // should; anything past the end is refused.
  const toff_t target = base + off;
  if (target > f->data.size()) return static_cast<toff_t>(-1);
  f->pos = target;
  return f->pos;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<MemoryFile*>(h)->data.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff reports through handlers; a non-zero result keeps it quiet.
int Silent(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Largest single allocation libtiff may make for one strip or tile.
constexpr tmsize_t kMaxAlloc = tmsize_t{512} << 20;

struct TiffCloser {
  TIFF* tif;
  ~TiffCloser() {
    if (tif != nullptr) TIFFClose(tif);
  }
};

struct OptionsFree {
  TIFFOpenOptions* opts;
  ~OptionsFree() { TIFFOpenOptionsFree(opts); }
};

// libtiff's RGBA interface stops at 8-bit inks (although TIFFRGBAImageOK
// accepts 16); 16-bit CMYK strips (as some
// converters write them) are read here, keeping the high byte.
bool ReadCmyk16(TIFF* tif, std::uint32_t w, std::uint32_t h, Image& out) {
  std::uint16_t photometric = 0, bits = 0, samples = 0, planar = 0, inkset = INKSET_CMYK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkset);
  if (photometric != PHOTOMETRIC_SEPARATED || bits != 16 || samples < 4 || planar != PLANARCONFIG_CONTIG ||
      inkset != INKSET_CMYK || TIFFIsTiled(tif)) {
    return false;
  }
  const tmsize_t lineSize = TIFFScanlineSize(tif);
  if (lineSize < static_cast<tmsize_t>(w) * samples * 2) return false;
  if (!out.Allocate(static_cast<int>(w), static_cast<int>(h), 3)) return false;
  std::vector<std::uint16_t> line(static_cast<std::size_t>(lineSize + 1) / 2);
  for (std::uint32_t y = 0; y < h; ++y) {
    if (TIFFReadScanline(tif, line.data(), y, 0) < 0) return false;
    const std::uint16_t* s = line.data();
    std::uint8_t* d = out.Row(static_cast<int>(y));
    for (std::uint32_t x = 0; x < w; ++x, s += samples, d += 3) {
      const unsigned k = 255 - (s[3] >> 8);
      d[0] = static_cast<std::uint8_t>(((255 - (s[0] >> 8)) * k + 127) / 255);
      d[1] = static_cast<std::uint8_t>(((255 - (s[1] >> 8)) * k + 127) / 255);
      d[2] = static_cast<std::uint8_t>(((255 - (s[2] >> 8)) * k + 127) / 255);
    }
  }
  // TIFFReadScanline hands out rows as stored; the orientation tag of such
  // files is top-left in practice.
  return true;
}

}  // namespace

bool ReadTiff(const Source& src, Image& out) {
  try {
    MemoryFile file{src.data};
    OptionsFree opts{TIFFOpenOptionsAlloc()};
    if (opts.opts == nullptr) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(opts.opts, Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts.opts, Silent, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts.opts, kMaxAlloc);
    // "m": no memory mapping, we already hold the bytes.
    TiffCloser t{TIFFClientOpenExt("picture", "rm", &file, ReadProc, WriteProc, SeekProc,
                                   CloseProc, SizeProc, MapProc, UnmapProc, opts.opts)};
    if (t.tif == nullptr) return false;
    std::uint32_t w = 0, h = 0;
    if (!TIFFGetField(t.tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(t.tif, TIFFTAG_IMAGELENGTH, &h)) {
      return false;
    }
    if (!DimensionsOk(w, h)) return false;
    char message[1024];
    if (!TIFFRGBAImageOK(t.tif, message)) return ReadCmyk16(t.tif, w, h, out);
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
    if (!TIFFReadRGBAImageOriented(t.tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
      raster = {};
      return ReadCmyk16(t.tif, w, h, out);
    }

    bool alpha = false;
    for (std::uint32_t p : raster) {
      if (TIFFGetA(p) != 255) {
        alpha = true;
        break;
      }
    }
    // libtiff premultiplies RGB samples, and grey ones only when the file
    // stores them so; our pictures hold straight alpha.
    std::uint16_t photometric = 0, extraCount = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(t.tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(t.tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool premultiplied =
        photometric == PHOTOMETRIC_RGB || (extraCount > 0 && extra != nullptr && extra[0] == EXTRASAMPLE_ASSOCALPHA);
    if (!out.Allocate(static_cast<int>(w), static_cast<int>(h), alpha ? 4 : 3)) return false;
    std::uint8_t* d = out.pixels.data();
    for (std::uint32_t p : raster) {
      std::uint8_t r = static_cast<std::uint8_t>(TIFFGetR(p));
      std::uint8_t g = static_cast<std::uint8_t>(TIFFGetG(p));
      std::uint8_t b = static_cast<std::uint8_t>(TIFFGetB(p));
      if (alpha) {
        const unsigned a = TIFFGetA(p);
        if (premultiplied && a != 0 && a != 255) {
          r = static_cast<std::uint8_t>(std::min(255u, (r * 255u + a / 2) / a));
          g = static_cast<std::uint8_t>(std::min(255u, (g * 255u + a / 2) / a));
          b = static_cast<std::uint8_t>(std::min(255u, (b * 255u + a / 2) / a));
        }
        d[3] = static_cast<std::uint8_t>(a);
      }
      d[0] = r;
      d[1] = g;
      d[2] = b;
      d += out.channels;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace formats
