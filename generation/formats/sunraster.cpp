// Sun raster files (.ras): 1-, 8-, 24- and 32-bit pictures, raw or with the
// byte-level run-length encoding, optionally with an RGB colour map.
#include <algorithm>
#include <cstring>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

enum : std::uint32_t { kOld = 0, kStandard = 1, kByteEncoded = 2, kRgb = 3 };

// Decodes `out.size()` bytes of the 0x80-escape encoding: 80 00 is a literal
// 0x80, 80 n v is n + 1 copies of v. Runs may cross row ends.
bool DecodeRle(Reader& r, std::vector<std::uint8_t>& out) {
  std::size_t done = 0;
  const std::size_t total = out.size();
  while (done < total) {
    const std::uint8_t b = r.u8();
    if (b != 0x80) {
      out[done++] = b;
    } else {
      const std::size_t n = r.u8();
      if (n == 0) {
        out[done++] = 0x80;
      } else {
        const std::uint8_t v = r.u8();
        const std::size_t k = std::min(n + 1, total - done);
        std::memset(out.data() + done, v, k);
        done += k;
      }
    }
    if (!r.ok()) return false;
  }
  return true;
}

}  // namespace

bool ReadSunRaster(const Source& src, Image& out) {
  try {
    Reader r(src.data);
    if (r.u32be() != 0x59A66A95u) return false;
    const std::uint32_t width = r.u32be();
    const std::uint32_t height = r.u32be();
    const std::uint32_t depth = r.u32be();
    r.skip(4);  // data length: 0 in old files, and not needed
    const std::uint32_t type = r.u32be();
    const std::uint32_t mapType = r.u32be();
    const std::uint32_t mapLength = r.u32be();
    if (!r.ok() || type > kRgb || mapType > 2) return false;
    if (depth != 1 && depth != 8 && depth != 24 && depth != 32) return false;
    if (!DimensionsOk(width, height)) return false;

    auto map = r.bytes(mapLength);
    if (!r.ok()) return false;
    Palette palette = depth == 1 ? Palette{} : GreyPalette(256);
    if (depth == 1) {
      palette[0] = {255, 255, 255};  // 1 = black
    }
    if (mapType == 1 && mapLength > 0 && depth <= 8) {
      if (mapLength % 3 != 0) return false;
      const std::size_t entries = mapLength / 3;
      palette = Palette{};
      for (std::size_t i = 0; i < entries && i < 256; ++i) {
        palette[i] = {map[i], map[entries + i], map[2 * entries + i]};
      }
    }

    const std::size_t rowBytes = RowBytes(width, static_cast<int>(depth), 2);
    const std::uint64_t total = std::uint64_t{rowBytes} * height;
    if (rowBytes == 0) return false;
    // Raw data must all be there; an escape triple gives at most 256 bytes.
    if (type == kByteEncoded ? !Holds(r, (total + 255) / 256, 3) : !Holds(r, total)) return false;
    std::vector<std::uint8_t> raw(total);
    if (type == kByteEncoded) {
      if (!DecodeRle(r, raw)) return false;
    } else {
      std::memcpy(raw.data(), r.bytes(total).data(), total);
    }

    if (!out.Allocate(static_cast<int>(width), static_cast<int>(height), 3)) return false;
    std::vector<std::uint8_t> index(width);
    const bool bgr = type != kRgb;
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint8_t* line = raw.data() + rowBytes * y;
      std::uint8_t* dst = out.Row(static_cast<int>(y));
      if (depth <= 8) {
        UnpackBits(line, static_cast<int>(depth), static_cast<int>(width), index.data());
        PaletteToRgb(index.data(), static_cast<int>(width), palette, dst);
        continue;
      }
      const std::size_t step = depth / 8;
      const std::size_t first = depth == 32 ? 1 : 0;  // 32-bit pixels lead with a pad byte
      for (std::uint32_t x = 0; x < width; ++x, dst += 3) {
        const std::uint8_t* p = line + x * step + first;
        dst[0] = bgr ? p[2] : p[0];
        dst[1] = p[1];
        dst[2] = bgr ? p[0] : p[2];
      }
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace formats
