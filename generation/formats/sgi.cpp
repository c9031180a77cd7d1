// SGI images (.bw .rgb .rgba .sgi): 1 to 4 planar channels of 1 or 2 bytes,
// stored verbatim or run-length encoded, rows bottom-up.
#include <algorithm>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr std::size_t kHeaderSize = 512;

// Decodes one RLE row of `width` samples of `bpc` bytes into row (one value per
// sample). A packet that runs past the row end is cut off.
bool DecodeRow(std::span<const std::uint8_t> data, std::size_t bpc, std::vector<std::uint16_t>& row) {
  Reader r(data);
  const std::size_t width = row.size();
  std::size_t x = 0;
  auto sample = [&]() -> std::uint16_t { return bpc == 2 ? r.u16be() : r.u8(); };
  while (x < width) {
    const unsigned c = sample();
    if (!r.ok()) return false;
    const std::size_t count = c & 0x7F;
    if (count == 0) break;
    if (c & 0x80) {
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t v = sample();
        if (x < width) row[x++] = v;
      }
    } else {
      const std::uint16_t v = sample();
      for (std::size_t i = 0; i < count && x < width; ++i) row[x++] = v;
    }
    if (!r.ok()) return false;
  }
  return true;
}

}  // namespace

bool ReadSgi(const Source& src, Image& out) {
  try {
    Reader r(src.data);
    if (r.u16be() != 474) return false;
    const unsigned storage = r.u8();
    const std::size_t bpc = r.u8();
    const unsigned dimension = r.u16be();
    const unsigned width = r.u16be();
    unsigned height = r.u16be();
    unsigned zsize = r.u16be();
    r.seek(104);
    const std::uint32_t colormap = r.u32be();
    if (!r.ok() || storage > 1 || (bpc != 1 && bpc != 2) || dimension < 1 || dimension > 3) return false;
    if (colormap != 0) return false;  // dithered, screen and colour-map files hold no plain picture
    if (dimension == 1) height = 1;
    if (dimension < 3) zsize = 1;
    if (zsize < 1 || zsize > 4 || !DimensionsOk(width, height)) return false;
    if (!r.seek(kHeaderSize)) return false;

    const std::size_t tableSize = std::size_t{height} * zsize;
    std::vector<std::uint32_t> starts, lengths;
    if (storage == 1) {
      if (!Holds(r, tableSize, 8)) return false;
      starts.resize(tableSize);
      lengths.resize(tableSize);
      for (auto& s : starts) s = r.u32be();
      for (auto& l : lengths) l = r.u32be();
    } else if (!Holds(r, tableSize * width, bpc)) {
      return false;
    }

    const bool alpha = zsize == 2 || zsize == 4;
    if (!out.Allocate(static_cast<int>(width), static_cast<int>(height), alpha ? 4 : 3)) return false;
    std::vector<std::uint16_t> row(width);
    const std::uint32_t maxval = bpc == 2 ? 65535 : 255;
    for (unsigned z = 0; z < zsize; ++z) {
      for (unsigned y = 0; y < height; ++y) {
        const std::size_t entry = std::size_t{z} * height + y;
        if (storage == 1) {
          const std::uint64_t start = starts[entry], length = lengths[entry];
          if (start > src.data.size() || length > src.data.size() - start) return false;
          std::fill(row.begin(), row.end(), 0);
          if (!DecodeRow(src.data.subspan(start, length), bpc, row)) return false;
        } else {
          r.seek(kHeaderSize + entry * width * bpc);
          for (auto& v : row) v = bpc == 2 ? r.u16be() : r.u8();
          if (!r.ok()) return false;
        }
        std::uint8_t* dst = out.Row(static_cast<int>(height - 1 - y));
        const int ch = out.channels;
        for (unsigned x = 0; x < width; ++x) {
          const std::uint8_t v = bpc == 2 ? ScaleToByte(row[x], maxval) : static_cast<std::uint8_t>(row[x]);
          std::uint8_t* p = dst + std::size_t{x} * ch;
          if (zsize <= 2) {
            if (z == 0) p[0] = p[1] = p[2] = v;
            else p[3] = v;
          } else {
            p[z] = v;
          }
        }
      }
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace formats
