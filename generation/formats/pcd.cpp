// Kodak Photo-CD image packs (.pcd): the uncompressed 768 × 512 "Base"
// resolution is plenty for thumbnails; the larger ones need Huffman residuals.
#include <cmath>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr int kBaseWidth = 768;
constexpr int kBaseHeight = 512;
constexpr std::size_t kBaseOffset = 0x30000;
constexpr std::size_t kBaseBytes = kBaseWidth * kBaseHeight * 3 / 2;

std::uint8_t Clip(double v) {
  if (v <= 0) return 0;
  if (v >= 255) return 255;
  return static_cast<std::uint8_t>(std::lround(v));
}

}  // namespace

bool ReadPcd(const Source& src, Image& out) {
  Reader r(src.data);
  if (!r.seek(0x800) || !r.match("PCD_IPI")) return false;
  if (src.data.size() < kBaseOffset + kBaseBytes) return false;

  // Orientation: quarter turns the scan needs to stand upright. Writers keep
  // it either in the first sector or in the image pack attributes.
  int turns = src.data[0x48] & 3;
  if (turns == 0 && src.data.size() > 0xE02) turns = src.data[0xE02] & 3;

  Image base;
  if (!base.Allocate(kBaseWidth, kBaseHeight, 3)) return false;
  const std::uint8_t* p = src.data.data() + kBaseOffset;
  // Rows come in pairs: two luma rows, then one row of each half-width chroma.
  for (int y = 0; y < kBaseHeight; y += 2) {
    const std::uint8_t* luma = p;
    const std::uint8_t* c1 = p + 2 * kBaseWidth;
    const std::uint8_t* c2 = c1 + kBaseWidth / 2;
    p += 3 * kBaseWidth;
    for (int dy = 0; dy < 2; ++dy) {
      std::uint8_t* o = base.Row(y + dy);
      for (int x = 0; x < kBaseWidth; ++x, o += 3) {
        // PhotoYCC to RGB.
        const double l = 1.3584 * luma[dy * kBaseWidth + x];
        const double cb = 2.2179 * (c1[x / 2] - 156.0);
        const double cr = 1.8215 * (c2[x / 2] - 137.0);
        o[0] = Clip(l + cr);
        o[1] = Clip(l - 0.194 * cb - 0.509 * cr);
        o[2] = Clip(l + cb);
      }
    }
  }

  if (turns == 0) {
    out = std::move(base);
    return true;
  }
  const bool quarter = turns != 2;
  const int w = quarter ? kBaseHeight : kBaseWidth;
  const int h = quarter ? kBaseWidth : kBaseHeight;
  if (!out.Allocate(w, h, 3)) return false;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* o = out.Row(y);
    for (int x = 0; x < w; ++x, o += 3) {
      int sx, sy;
      if (turns == 1) {  // turn a quarter anticlockwise
        sx = kBaseWidth - 1 - y;
        sy = x;
      } else if (turns == 3) {  // a quarter clockwise
        sx = y;
        sy = kBaseHeight - 1 - x;
      } else {
        sx = kBaseWidth - 1 - x;
        sy = kBaseHeight - 1 - y;
      }
      const std::uint8_t* s = base.At(sx, sy);
      o[0] = s[0];
      o[1] = s[1];
      o[2] = s[2];
    }
  }
  return true;
}

}  // namespace formats
