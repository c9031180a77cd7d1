// Slow-scan TV frames (.hzr): no header, always 256 × 240 pixels of three
// 6-bit samples, so the exact file size is the only thing to check.
#include <algorithm>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {

namespace {
constexpr int kWidth = 256;
constexpr int kHeight = 240;
constexpr std::size_t kFileSize = std::size_t{kWidth} * kHeight * 3;
}  // namespace

bool ReadHzr(const Source& src, Image& out) {
  if (src.data.size() != kFileSize) return false;
  Image img;
  if (!img.Allocate(kWidth, kHeight, 3)) return false;
  // Samples above 63 do not occur in real files; clamp rather than wrap.
  const std::uint8_t* p = src.data.data();
  std::uint8_t* q = img.pixels.data();
  for (std::size_t i = 0; i < kFileSize; ++i) q[i] = Scale6(std::min<unsigned>(p[i], 63));
  out = std::move(img);
  return true;
}

}  // namespace formats
