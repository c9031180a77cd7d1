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
    if (!TIFFRGBAImageOK(t.tif, message)) return false;
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
    if (!TIFFReadRGBAImageOriented(t.tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) return false;

    bool alpha = false;
    for (std::uint32_t p : raster) {
      if (TIFFGetA(p) != 255) {
        alpha = true;
        break;
      }
    }
    if (!out.Allocate(static_cast<int>(w), static_cast<int>(h), alpha ? 4 : 3)) return false;
    std::uint8_t* d = out.pixels.data();
    for (std::uint32_t p : raster) {
      std::uint8_t r = static_cast<std::uint8_t>(TIFFGetR(p));
      std::uint8_t g = static_cast<std::uint8_t>(TIFFGetG(p));
      std::uint8_t b = static_cast<std::uint8_t>(TIFFGetB(p));
      if (alpha) {
        // libtiff hands out premultiplied samples; our pictures hold straight alpha.
        const unsigned a = TIFFGetA(p);
        if (a != 0 && a != 255) {
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
