// Windows cursors (.cur) and icons: a 6-byte ICONDIR (0, type 2 = cursor or
// 1 = icon, count), 16-byte entries (size, colours, hotspot, data size and
// offset), and per entry either a PNG or a DIB of doubled height: the colour
// ("XOR") bitmap, then the 1-bit AND mask, rows bottom-up and 32-bit aligned.
// We read the first entry, as the cursor's own picture.
#include <algorithm>
#include <cstring>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {

namespace {

// The common uncompressed case is decoded here because the AND mask shares
// the colour bitmap's header; anything else (compressed or bit-field DIBs,
// which cursors practically never use) goes to the shared DIB decoder with
// the height halved, and stays opaque.
bool DecodeIconDib(std::span<const std::uint8_t> dib, Image& out) {
  Reader r(dib);
  const std::uint32_t headerSize = r.u32le();
  std::int64_t width = 0, doubledHeight = 0;
  int bpp = 0;
  std::uint32_t compression = 0, colours = 0;
  std::size_t entryBytes = 4;
  if (headerSize == 12) {
    width = r.u16le();
    doubledHeight = r.u16le();
    r.u16le();  // planes
    bpp = r.u16le();
    entryBytes = 3;
  } else if (headerSize >= 40) {
    width = r.i32le();
    doubledHeight = r.i32le();
    r.u16le();  // planes
    bpp = r.u16le();
    compression = r.u32le();
    r.skip(12);  // image size, resolution
    colours = r.u32le();
  } else {
    return false;
  }
  const std::int64_t height = doubledHeight / 2;
  if (!r.ok() || !r.seek(headerSize) || !DimensionsOk(width, height)) return false;

  if (compression != 0 ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
    std::vector<std::uint8_t> copy(dib.begin(), dib.end());
    if (headerSize == 12) {
      copy[6] = static_cast<std::uint8_t>(height);
      copy[7] = static_cast<std::uint8_t>(height >> 8);
    } else {
      for (int i = 0; i < 4; ++i) copy[8 + i] = static_cast<std::uint8_t>(height >> (8 * i));
    }
    return DecodeDib(copy, {}, out);
  }

  Palette pal{};
  if (bpp <= 8) {
    const std::uint32_t n = colours != 0 ? colours : 1u << bpp;
    if (n > 256) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
      const auto e = r.bytes(entryBytes);
      if (e.empty()) return false;
      pal[i] = {e[2], e[1], e[0]};
    }
  }
  const std::size_t xorRow = RowBytes(width, bpp, 4);
  const std::size_t andRow = RowBytes(width, 1, 4);
  if (xorRow == 0 || !Holds(r, xorRow, height)) return false;
  const std::uint8_t* xorBits = r.bytes(xorRow * height).data();
  // Some writers drop the mask of 32-bit images: then they are opaque.
  const std::uint8_t* andBits =
      Holds(r, andRow, height) ? r.bytes(andRow * height).data() : nullptr;

  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  Image img;
  if (!img.Allocate(w, h, 4)) return false;
  std::vector<std::uint8_t> idx(w);
  bool alphaUsed = false;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = xorBits + xorRow * (h - 1 - y);
    std::uint8_t* q = img.Row(y);
    if (bpp <= 8) {
      UnpackBits(s, bpp, w, idx.data());
      PaletteToRgb(idx.data(), w, pal, q, 4);
    } else {
      for (int x = 0; x < w; ++x, q += 4) {
        if (bpp == 16) {
          const unsigned v = s[2 * x] | (s[2 * x + 1] << 8);
          q[0] = Scale5(v >> 10);
          q[1] = Scale5(v >> 5);
          q[2] = Scale5(v);
          q[3] = 255;
        } else {
          const std::uint8_t* p = s + static_cast<std::size_t>(x) * (bpp / 8);
          q[0] = p[2];
          q[1] = p[1];
          q[2] = p[0];
          q[3] = bpp == 32 ? p[3] : 255;
          alphaUsed = alphaUsed || (bpp == 32 && p[3] != 0);
        }
      }
    }
  }
  // A 32-bit image whose alpha bytes are all zero predates alpha cursors:
  // its transparency is in the AND mask like the others'.
  if (bpp == 32 && !alphaUsed) {
    for (std::size_t i = 3; i < img.pixels.size(); i += 4) img.pixels[i] = 255;
  }
  if (!alphaUsed && andBits != nullptr) {
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* m = andBits + andRow * (h - 1 - y);
      std::uint8_t* q = img.Row(y);
      for (int x = 0; x < w; ++x) {
        if ((m[x >> 3] >> (7 - (x & 7))) & 1) q[4 * x + 3] = 0;
      }
    }
  }

  bool transparent = false;
  for (std::size_t i = 3; i < img.pixels.size() && !transparent; i += 4) {
    transparent = img.pixels[i] != 255;
  }
  if (!transparent) {
    const std::size_t n = static_cast<std::size_t>(w) * h;
    for (std::size_t i = 0; i < n; ++i) std::memmove(&img.pixels[i * 3], &img.pixels[i * 4], 3);
    img.pixels.resize(n * 3);
    img.channels = 3;
  }
  out = std::move(img);
  return true;
}

}  // namespace

bool ReadCur(const Source& src, Image& out) {
  Reader r(src.data);
  const std::uint16_t reserved = r.u16le();
  const std::uint16_t type = r.u16le();
  const std::uint16_t count = r.u16le();
  r.skip(8);  // width, height, colours, reserved, hotspot (cursor) or planes and depth (icon)
  const std::uint32_t size = r.u32le();
  const std::uint32_t offset = r.u32le();
  if (!r.ok() || reserved != 0 || (type != 1 && type != 2) || count == 0) return false;
  if (offset < 6 + 16 || offset >= src.data.size()) return false;
  // A data size running past the end is cut to the file; the decoders then
  // check that what they need is there.
  const std::size_t avail = src.data.size() - offset;
  const auto image =
      src.data.subspan(offset, size == 0 ? avail : std::min<std::size_t>(size, avail));

  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (image.size() >= 8 && std::memcmp(image.data(), kPng, 8) == 0) {
    Source png = src;
    png.data = image;
    return ReadPng(png, out);
  }
  try {
    return DecodeIconDib(image, out);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace formats
