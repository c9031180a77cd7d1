// GEM raster pictures (.gem, .img): a big-endian header of at least eight
// words, an optional "XIMG" palette, then run-length coded scanlines with the
// bitplanes of each line one after another.
//
// ".img" names many unrelated formats (disk images above all), so the header
// is checked closely and anything odd fails.
#include <algorithm>
#include <cstring>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

// Palettes for files that carry none, indexed by the planes' value: one plane
// is 0 = white, 1 = black; three and four planes follow the usual reading of
// GEM colour files (white at 0, black at all ones); other depths get a grey
// ramp running the same way, from white to black.
Palette DefaultPalette(int planes) {
  static constexpr std::uint32_t k3[8] = {0xffffff, 0x00ffff, 0xff00ff, 0xffff00,
                                          0x0000ff, 0x00ff00, 0xff0000, 0x000000};
  static constexpr std::uint32_t k4[16] = {
      0xffffff, 0x00ffff, 0xff00ff, 0xffff00, 0x0000ff, 0x00ff00, 0xff0000, 0xc0c0c0,
      0x808080, 0x008080, 0x800080, 0x808000, 0x000080, 0x008000, 0x800000, 0x000000};
  Palette pal{};
  const auto put = [&pal](int i, std::uint32_t v) {
    pal[i] = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
              static_cast<std::uint8_t>(v)};
  };
  if (planes == 3) {
    for (int i = 0; i < 8; ++i) put(i, k3[i]);
  } else if (planes == 4) {
    for (int i = 0; i < 16; ++i) put(i, k4[i]);
  } else {
    const int n = 1 << planes;
    const Palette grey = GreyPalette(n);
    for (int i = 0; i < n; ++i) pal[i] = grey[n - 1 - i];
  }
  return pal;
}

// GEM colour values run from 0 to 1000.
std::uint8_t Scale1000(unsigned v) { return ScaleToByte(std::min(v, 1000u), 1000); }

// Decodes one plane of one scanline into dst (n bytes). A vertical
// replication mark sets *repeat. A run that reaches past the plane's end is
// cut there. False when the data ends before the plane is full.
bool DecodePlane(Reader& r, std::uint8_t* dst, std::size_t n, int patLen, std::uint8_t* pattern,
                 int* repeat) {
  std::size_t pos = 0;
  const auto put = [&](const std::uint8_t* p, std::size_t len) {
    const std::size_t take = std::min(len, n - pos);
    std::memcpy(dst + pos, p, take);
    pos += take;
  };
  while (pos < n) {
    const std::uint8_t b = r.u8();
    if (!r.ok()) return false;
    if (b == 0x00) {
      const std::uint8_t count = r.u8();
      if (count > 0) {
        // Pattern run: patLen bytes, count times.
        const auto pat = r.bytes(static_cast<std::size_t>(patLen));
        if (!r.ok()) return false;
        for (unsigned i = 0; i < count && pos < n; ++i) put(pat.data(), pat.size());
      } else {
        // 00 00 FF n: the line that follows is drawn n times.
        const std::uint8_t flag = r.u8();
        const std::uint8_t times = r.u8();
        if (!r.ok() || flag != 0xFF) return false;
        if (times > 0) *repeat = times;
      }
    } else if (b == 0x80) {
      const std::uint8_t count = r.u8();
      const auto lit = r.bytes(count);
      if (!r.ok()) return false;
      put(lit.data(), lit.size());
    } else {
      // Solid run: bit 7 gives the colour, the low seven bits the length.
      std::memset(pattern, (b & 0x80) ? 0xFF : 0x00, 127);
      put(pattern, b & 0x7F);
    }
  }
  return true;
}

}  // namespace

bool ReadGem(const Source& src, Image& out) {
  Reader r(src.data);
  const unsigned version = r.u16be();
  const unsigned headerWords = r.u16be();
  const int planes = r.u16be();
  const int patLen = r.u16be();
  r.skip(4);  // pixel width and height in microns
  const int width = r.u16be();
  const int height = r.u16be();
  if (!r.ok()) return false;
  if (version < 1 || version > 3) return false;
  if (headerWords < 8 || headerWords > 0x800) return false;
  if (planes < 1 || planes > 8) return false;
  if (patLen < 1 || patLen > 8) return false;
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return false;
  const std::size_t dataStart = std::size_t{headerWords} * 2;
  if (dataStart >= src.data.size()) return false;

  Palette pal = DefaultPalette(planes);
  if (headerWords >= 11 && r.match("XIMG")) {
    const unsigned model = r.u16be();
    if (model == 0) {
      // RGB triples of 0..1000, as many as the header holds.
      const int entries = std::min<int>(1 << planes, static_cast<int>((dataStart - 22) / 6));
      for (int i = 0; i < entries; ++i) {
        const unsigned red = r.u16be();
        const unsigned green = r.u16be();
        const unsigned blue = r.u16be();
        pal[i] = {Scale1000(red), Scale1000(green), Scale1000(blue)};
      }
      if (!r.ok()) return false;
    }
  }

  // The cheap check against a tiny file promising a huge picture: a run
  // yields at most about 256 bytes per byte read, and one coded line serves at
  // most 255 lines through vertical replication.
  const std::size_t planeBytes = RowBytes(width, 1);
  const std::uint64_t minData =
      (static_cast<std::uint64_t>(height) + 254) / 255 * planes * ((planeBytes + 255) / 256);
  if (src.data.size() - dataStart < minData) return false;
  if (!out.Allocate(width, height, 3)) return false;

  std::vector<std::uint8_t> line(planeBytes * planes);
  std::vector<std::uint8_t> scratch(127);
  std::vector<std::uint8_t> index(static_cast<std::size_t>(width));
  r.seek(dataStart);
  int y = 0;
  while (y < height) {
    int repeat = 1;
    std::fill(line.begin(), line.end(), 0);
    for (int p = 0; p < planes; ++p) {
      if (!DecodePlane(r, line.data() + planeBytes * p, planeBytes, patLen, scratch.data(),
                       &repeat)) {
        // A file cut short keeps the lines it has, if it has any.
        if (y == 0) return false;
        for (; y < height; ++y) std::fill(out.Row(y), out.Row(y) + out.Stride(), 255);
        return true;
      }
    }
    std::fill(index.begin(), index.end(), 0);
    for (int p = 0; p < planes; ++p) {
      const std::uint8_t* plane = line.data() + planeBytes * p;
      for (int x = 0; x < width; ++x) {
        index[x] =
            static_cast<std::uint8_t>(index[x] | (((plane[x >> 3] >> (7 - (x & 7))) & 1) << p));
      }
    }
    for (int k = 0; k < repeat && y < height; ++k, ++y) {
      std::uint8_t* dst = out.Row(y);
      for (int x = 0; x < width; ++x) {
        const Rgb& c = pal[index[x]];
        dst[x * 3] = c.r;
        dst[x * 3 + 1] = c.g;
        dst[x * 3 + 2] = c.b;
      }
    }
  }
  return true;
}

}  // namespace formats
