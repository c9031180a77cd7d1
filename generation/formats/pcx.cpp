// PC Paintbrush (.pcx .pcc) and Word 5.x screen captures (.scr, the same
// layout behind a 0xCD first byte): 1- to 8-bit palette pictures in any plane
// layout, and 24/32-bit pictures as 3 or 4 byte planes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kVgaPaletteSize = 769;  // 0x0C + 256 RGB triples

// The header palette (16 entries at offset 16), or the EGA default when the
// file says it has none (version 3) or leaves it empty.
Palette HeaderPalette(std::span<const std::uint8_t> header, unsigned version) {
  const auto entries = header.subspan(16, 48);
  if (version == 3 || std::all_of(entries.begin(), entries.end(), [](std::uint8_t v) { return v == 0; })) {
    return EgaPalette();
  }
  Palette p{};
  for (int i = 0; i < 16; ++i) p[i] = {entries[i * 3], entries[i * 3 + 1], entries[i * 3 + 2]};
  return p;
}

// The 4-colour CGA palette: header entries when the writer filled them in,
// otherwise black, cyan, magenta, white.
Palette CgaPalette(std::span<const std::uint8_t> header) {
  const auto entries = header.subspan(16, 12);
  Palette p{};
  if (std::any_of(entries.begin(), entries.end(), [](std::uint8_t v) { return v != 0; })) {
    for (int i = 0; i < 4; ++i) p[i] = {entries[i * 3], entries[i * 3 + 1], entries[i * 3 + 2]};
  } else {
    p[0] = {0, 0, 0};
    p[1] = {85, 255, 255};
    p[2] = {255, 85, 255};
    p[3] = {255, 255, 255};
  }
  return p;
}

// Decodes `out.size()` bytes; runs may carry on across plane and row ends.
bool DecodeRle(Reader& r, std::vector<std::uint8_t>& out) {
  std::size_t done = 0;
  const std::size_t total = out.size();
  while (done < total) {
    const std::uint8_t b = r.u8();
    if ((b & 0xC0) == 0xC0) {
      const std::uint8_t v = r.u8();
      const std::size_t n = std::min<std::size_t>(b & 0x3F, total - done);
      std::memset(out.data() + done, v, n);
      done += n;
    } else {
      out[done++] = b;
    }
    if (!r.ok()) return false;
  }
  return true;
}

}  // namespace

bool ReadPcx(const Source& src, Image& out) {
  try {
    Reader r(src.data);
    auto header = r.bytes(kHeaderSize);
    if (!r.ok()) return false;
    Reader h(header);
    const unsigned maker = h.u8();
    const unsigned version = h.u8();
    const unsigned encoding = h.u8();
    const unsigned bits = h.u8();
    const int xmin = h.u16le(), ymin = h.u16le(), xmax = h.u16le(), ymax = h.u16le();
    h.seek(65);
    const unsigned planes = h.u8();
    const std::size_t bytesPerLine = h.u16le();

    if (maker != 0x0A && maker != 0xCD) return false;
    if (version > 5 || version == 1 || encoding > 1) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
    if (planes < 1 || planes > 4) return false;
    const bool trueColour = bits == 8 && planes >= 3;
    if (!trueColour && bits * planes > 8) return false;
    const int width = xmax - xmin + 1;
    const int height = ymax - ymin + 1;
    if (!DimensionsOk(width, height) || bytesPerLine < RowBytes(width, static_cast<int>(bits))) {
      return false;
    }

    // A 256-colour palette follows the picture data.
    std::span<const std::uint8_t> data = src.data.subspan(kHeaderSize);
    Palette palette{};
    if (bits == 8 && planes == 1) {
      palette = GreyPalette(256);
      if (src.data.size() >= kHeaderSize + kVgaPaletteSize &&
          src.data[src.data.size() - kVgaPaletteSize] == 0x0C) {
        const auto vga = src.data.subspan(src.data.size() - kVgaPaletteSize + 1);
        for (int i = 0; i < 256; ++i) palette[i] = {vga[i * 3], vga[i * 3 + 1], vga[i * 3 + 2]};
        data = data.first(data.size() - kVgaPaletteSize);
      }
    } else if (bits == 1 && planes == 1) {
      palette = GreyPalette(2);  // the header palette of mono files is unreliable
    } else if (bits == 2 && planes == 1) {
      palette = CgaPalette(header);
    } else if (!trueColour) {
      palette = HeaderPalette(header, version);
    }

    const std::size_t lineBytes = bytesPerLine * planes;
    const std::uint64_t total = std::uint64_t{lineBytes} * static_cast<std::uint64_t>(height);
    Reader body(data);
    // Raw data must all be there; a run pair gives at most 63 bytes.
    if (encoding == 0 ? !Holds(body, total) : !Holds(body, (total + 62) / 63, 2)) return false;
    std::vector<std::uint8_t> raw(total);
    if (encoding == 0) {
      std::memcpy(raw.data(), body.bytes(total).data(), total);
    } else if (!DecodeRle(body, raw)) {
      return false;
    }

    const int channels = planes == 4 && trueColour ? 4 : 3;
    if (!out.Allocate(width, height, channels)) return false;
    std::vector<std::uint8_t> index(static_cast<std::size_t>(width));
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(width));
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* line = raw.data() + lineBytes * y;
      std::uint8_t* dst = out.Row(y);
      if (trueColour) {
        for (int x = 0; x < width; ++x) {
          dst[x * channels] = line[x];
          dst[x * channels + 1] = line[bytesPerLine + x];
          dst[x * channels + 2] = line[bytesPerLine * 2 + x];
          if (channels == 4) {
            dst[x * 4 + 3] = line[bytesPerLine * 3 + x];
            anyAlpha = anyAlpha || line[bytesPerLine * 3 + x] != 0;
          }
        }
        continue;
      }
      std::fill(index.begin(), index.end(), 0);
      for (unsigned p = 0; p < planes; ++p) {
        UnpackBits(line + bytesPerLine * p, static_cast<int>(bits), width, plane.data());
        for (int x = 0; x < width; ++x) index[x] |= static_cast<std::uint8_t>(plane[x] << (p * bits));
      }
      PaletteToRgb(index.data(), width, palette, dst);
    }
    // An alpha plane left at zero throughout means an opaque picture.
    if (channels == 4 && !anyAlpha) {
      for (std::size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 255;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace formats
