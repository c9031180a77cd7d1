// Targa (.tga .vst .icb .vda .win): colour-mapped, true-colour and grey
// pictures, raw or run-length encoded. The format has no magic, so the header
// fields are checked instead.
#include <algorithm>
#include <cstring>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

struct TgaHeader {
  unsigned idLength, mapType, imageType;
  unsigned mapFirst, mapLength, mapEntryBits;
  unsigned width, height, depth, descriptor;
};

// One pixel as stored (up to 4 bytes) turned into RGBA.
struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

Rgba From16(unsigned v) {
  return {Scale5(v >> 10), Scale5(v >> 5), Scale5(v), static_cast<std::uint8_t>((v & 0x8000) ? 255 : 0)};
}

// Decodes one stored entry of `bits` bits (15, 16, 24, 32) in BGR(A) order.
Rgba FromStored(const std::uint8_t* p, unsigned bits) {
  switch (bits) {
    case 15:
    case 16: return From16(p[0] | (p[1] << 8));
    case 24: return {p[2], p[1], p[0], 255};
    default: return {p[2], p[1], p[0], p[3]};
  }
}

bool HeaderOk(const TgaHeader& h) {
  if (h.mapType > 1 || h.width == 0 || h.height == 0) return false;
  if (h.descriptor & 0xC0) return false;  // interleaved storage: obsolete, never written
  if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 &&
      h.mapEntryBits != 32) {
    return false;
  }
  switch (h.imageType) {
    case 1:
    case 9: return h.mapType == 1 && h.mapLength > 0 && (h.depth == 8 || h.depth == 16);
    case 2:
    case 10: return h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32;
    case 3:
    case 11: return h.depth == 8 || h.depth == 16;  // 16 = grey + alpha
    default: return false;
  }
}

// The TGA 2.0 extension area's attribute type, or -1 when the file has none.
int AttributeType(std::span<const std::uint8_t> data) {
  constexpr std::string_view kSignature("TRUEVISION-XFILE.\0", 18);
  if (data.size() < 18 + 26) return -1;
  Reader r(data);
  r.seek(data.size() - 26);
  const std::uint32_t extOffset = r.u32le();
  r.skip(4);
  if (!r.match(kSignature) || extOffset == 0) return -1;
  Reader ext(data);
  if (!ext.seek(extOffset) || ext.u16le() < 495 || !ext.seek(extOffset + 494)) return -1;
  const int type = ext.u8();
  return ext.ok() ? type : -1;
}

// Fills `raw` (width × height pixels of bpp bytes, file order) from the
// run-length packets; a packet may run on into the next row.
bool DecodeRle(Reader& r, std::size_t bpp, std::vector<std::uint8_t>& raw) {
  std::size_t done = 0;
  const std::size_t total = raw.size();
  while (done < total) {
    const std::uint8_t c = r.u8();
    const std::size_t count = (c & 0x7F) + 1u;
    const std::size_t bytes = std::min(count * bpp, total - done);
    if (c & 0x80) {
      auto px = r.bytes(bpp);
      if (px.empty()) return false;
      for (std::size_t i = 0; i < bytes; i += bpp) std::memcpy(&raw[done + i], px.data(), bpp);
    } else {
      auto px = r.bytes(count * bpp);
      if (px.empty()) return false;
      std::memcpy(&raw[done], px.data(), bytes);
    }
    done += bytes;
  }
  return true;
}

}  // namespace

bool ReadTga(const Source& src, Image& out) {
  try {
    Reader r(src.data);
    TgaHeader h{};
    h.idLength = r.u8();
    h.mapType = r.u8();
    h.imageType = r.u8();
    h.mapFirst = r.u16le();
    h.mapLength = r.u16le();
    h.mapEntryBits = r.u8();
    r.skip(4);  // x and y origin: screen placement only
    h.width = r.u16le();
    h.height = r.u16le();
    h.depth = r.u8();
    h.descriptor = r.u8();
    if (!r.ok() || !HeaderOk(h) || !DimensionsOk(h.width, h.height)) return false;
    r.skip(h.idLength);

    std::vector<Rgba> map;
    if (h.mapType == 1) {
      const std::size_t entryBytes = (h.mapEntryBits + 7) / 8;
      auto bytes = r.bytes(entryBytes * h.mapLength);
      if (!r.ok()) return false;
      map.reserve(h.mapLength);
      for (unsigned i = 0; i < h.mapLength; ++i) {
        map.push_back(FromStored(bytes.data() + i * entryBytes, h.mapEntryBits));
      }
    }

    const bool rle = h.imageType >= 9;
    const std::size_t bpp = (h.depth + 7) / 8;
    const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
    // Raw data must be all there; a run packet gives at most 128 pixels.
    if (!rle && !Holds(r, pixels, bpp)) return false;
    if (rle && !Holds(r, (pixels + 127) / 128, bpp + 1)) return false;

    std::vector<std::uint8_t> raw(pixels * bpp);
    if (rle) {
      if (!DecodeRle(r, bpp, raw)) return false;
    } else {
      auto bytes = r.bytes(raw.size());
      std::memcpy(raw.data(), bytes.data(), raw.size());
    }

    // Which pixels carry alpha: the descriptor's alpha bits, unless the 2.0
    // extension area says the field holds no (or meaningless) alpha.
    const unsigned alphaBits = h.descriptor & 0x0F;
    const bool colourMapped = h.imageType == 1 || h.imageType == 9;
    const unsigned entryBits = colourMapped ? h.mapEntryBits : h.depth;
    bool alpha = alphaBits > 0 && (entryBits == 16 || entryBits == 32);
    if (h.imageType == 3 || h.imageType == 11) alpha = h.depth == 16;
    const int attribute = alpha ? AttributeType(src.data) : -1;
    if (attribute >= 0 && attribute <= 2) alpha = false;
    const bool premultiplied = attribute == 4;

    if (!out.Allocate(static_cast<int>(h.width), static_cast<int>(h.height), alpha ? 4 : 3)) {
      return false;
    }
    const bool bottomUp = !(h.descriptor & 0x20);
    bool anyAlpha = false;
    for (unsigned y = 0; y < h.height; ++y) {
      const int outY = static_cast<int>(bottomUp ? h.height - 1 - y : y);
      const std::uint8_t* p = raw.data() + std::size_t{y} * h.width * bpp;
      for (unsigned x = 0; x < h.width; ++x, p += bpp) {
        Rgba c;
        if (colourMapped) {
          const unsigned index = bpp == 1 ? p[0] : (p[0] | (p[1] << 8));
          if (index >= h.mapFirst && index - h.mapFirst < map.size()) c = map[index - h.mapFirst];
        } else if (h.imageType == 3 || h.imageType == 11) {
          c = {p[0], p[0], p[0], bpp == 2 ? p[1] : std::uint8_t{255}};
        } else {
          c = FromStored(p, h.depth);
        }
        if (premultiplied && c.a != 0 && c.a != 255) {
          c.r = static_cast<std::uint8_t>(std::min(255, c.r * 255 / c.a));
          c.g = static_cast<std::uint8_t>(std::min(255, c.g * 255 / c.a));
          c.b = static_cast<std::uint8_t>(std::min(255, c.b * 255 / c.a));
        }
        anyAlpha = anyAlpha || c.a != 0;
        out.Set(static_cast<int>(x), outY, c.r, c.g, c.b, c.a);
      }
    }
    if (h.descriptor & 0x10) FlipHorizontal(out);
    // Many writers declare alpha bits yet leave the field at zero throughout:
    // such a picture is meant to be opaque, not invisible.
    if (alpha && !anyAlpha) {
      for (std::size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 255;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace formats
