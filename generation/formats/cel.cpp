// Autodesk Animator cels and pictures (.cel, .pic): the original 0x9119
// picture (6-bit palette + raw indices) and the Animator Pro cel, a one-frame
// FLC animation. Other formats sharing these extensions are refused.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr std::uint16_t kPictureMagic = 0x9119;
constexpr std::uint16_t kFlcMagic = 0xAF12;
constexpr std::uint16_t kFrameChunk = 0xF1FA;

enum FrameChunk : std::uint16_t {
  kColour256 = 4,
  kColour64 = 11,
  kBlack = 13,
  kByteRun = 15,
  kCopy = 16,
};

bool ToImage(std::span<const std::uint8_t> indices, const Palette& palette, int w, int h,
             Image& out) {
  if (!out.Allocate(w, h, 3)) return false;
  std::uint8_t* o = out.pixels.data();
  for (std::uint8_t i : indices) {
    *o++ = palette[i].r;
    *o++ = palette[i].g;
    *o++ = palette[i].b;
  }
  return true;
}

bool ReadAnimatorPicture(std::span<const std::uint8_t> data, Image& out) {
  Reader r(data);
  r.skip(2);
  const int w = r.u16le();
  const int h = r.u16le();
  r.skip(4);  // position on screen
  const int depth = r.u8();
  const int compression = r.u8();
  r.skip(4 + 16);  // image size, reserved
  if (!r.ok() || depth != 8 || compression != 0 || !DimensionsOk(w, h)) return false;
  const auto table = r.bytes(768);
  const auto pixels = r.bytes(static_cast<std::size_t>(w) * h);
  if (pixels.empty() || table.empty()) return false;
  Palette palette{};
  for (int i = 0; i < 256; ++i) {
    palette[i] = {Scale6(table[3 * i]), Scale6(table[3 * i + 1]), Scale6(table[3 * i + 2])};
  }
  return ToImage(pixels, palette, w, h, out);
}

// COLOR_256 / COLOR_64: packets of (skip, count, count RGB triples).
bool ReadColours(std::span<const std::uint8_t> chunk, bool sixBit, Palette& palette) {
  Reader r(chunk);
  const int packets = r.u16le();
  int index = 0;
  for (int p = 0; p < packets && r.ok(); ++p) {
    index += r.u8();
    int count = r.u8();
    if (count == 0) count = 256;
    for (int i = 0; i < count; ++i, ++index) {
      const std::uint8_t rgb[3] = {r.u8(), r.u8(), r.u8()};
      if (!r.ok()) return false;
      if (index > 255) continue;
      palette[index] = sixBit ? Rgb{Scale6(rgb[0]), Scale6(rgb[1]), Scale6(rgb[2])}
                              : Rgb{rgb[0], rgb[1], rgb[2]};
    }
  }
  return r.ok();
}

// BYTE_RUN: per line, an obsolete packet count, then signed counts: positive
// repeats the next byte, negative copies that many bytes.
bool ReadByteRun(std::span<const std::uint8_t> chunk, int w, int h, std::uint8_t* pixels) {
  Reader r(chunk);
  for (int y = 0; y < h; ++y) {
    r.u8();
    std::uint8_t* line = pixels + static_cast<std::size_t>(w) * y;
    int x = 0;
    while (x < w) {
      const auto n = static_cast<std::int8_t>(r.u8());
      if (!r.ok()) return false;
      if (n >= 0) {
        const std::uint8_t v = r.u8();
        const int count = std::min<int>(n, w - x);
        std::memset(line + x, v, static_cast<std::size_t>(count));
        x += count;
      } else {
        const int count = -n;
        const auto src = r.bytes(static_cast<std::size_t>(count));
        if (src.empty()) return false;
        const int copy = std::min(count, w - x);
        std::memcpy(line + x, src.data(), static_cast<std::size_t>(copy));
        x += copy;
      }
    }
  }
  return r.ok();
}

bool ReadFlcCel(std::span<const std::uint8_t> data, Image& out) {
  Reader r(data);
  r.skip(6);  // file size, magic
  const int frames = r.u16le();
  const int w = r.u16le();
  const int h = r.u16le();
  const int depth = r.u16le();
  if (!r.ok() || frames < 1 || (depth != 8 && depth != 0) || !DimensionsOk(w, h)) return false;
  // Only run-length and raw frames fit a picture; even run-length data cannot
  // shrink a frame below 1/64 of its size, so a larger claim is not a cel.
  const std::uint64_t area = static_cast<std::uint64_t>(w) * h;
  if (area > static_cast<std::uint64_t>(data.size()) * 64 + 4096) return false;
  r.seek(80);
  std::size_t pos = r.u32le();  // first frame
  if (!r.ok() || pos < 128 || pos >= data.size()) pos = 128;

  Palette palette{};
  std::vector<std::uint8_t> pixels;
  // Walk the top-level chunks (prefix, cel data...) up to the first frame.
  while (pos + 6 <= data.size()) {
    Reader c(data.subspan(pos));
    const std::uint32_t size = c.u32le();
    const std::uint16_t type = c.u16le();
    if (size < 6 || size > data.size() - pos) return false;
    if (type != kFrameChunk) {
      pos += size;
      continue;
    }
    const int chunks = c.u16le();
    c.skip(6);  // delay, reserved, size override
    std::size_t sub = pos + 16;
    const std::size_t end = pos + size;
    bool painted = false;
    for (int i = 0; i < chunks && sub + 6 <= end; ++i) {
      Reader s(data.subspan(sub, end - sub));
      const std::uint32_t subSize = s.u32le();
      const std::uint16_t subType = s.u16le();
      if (subSize < 6 || subSize > end - sub) return false;
      const auto body = data.subspan(sub + 6, subSize - 6);
      switch (subType) {
        case kColour256:
        case kColour64:
          if (!ReadColours(body, subType == kColour64, palette)) return false;
          break;
        case kBlack:
        case kByteRun:
        case kCopy:
          pixels.assign(area, 0);
          if (subType == kByteRun && !ReadByteRun(body, w, h, pixels.data())) return false;
          if (subType == kCopy) {
            if (body.size() < area) return false;
            std::memcpy(pixels.data(), body.data(), area);
          }
          painted = true;
          break;
        default:
          break;  // stamps and deltas: nothing for a single picture
      }
      sub += subSize;
    }
    if (!painted) return false;
    return ToImage(pixels, palette, w, h, out);
  }
  return false;
}

}  // namespace

bool ReadCel(const Source& src, Image& out) {
  try {
    Reader r(src.data);
    if (r.u16le() == kPictureMagic && r.ok()) return ReadAnimatorPicture(src.data, out);
    r.seek(4);
    if (r.u16le() == kFlcMagic && r.ok()) return ReadFlcCel(src.data, out);
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace formats
