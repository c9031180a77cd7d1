#include "generation/formats/image.h"

#include <algorithm>

namespace formats {

bool DimensionsOk(std::int64_t w, std::int64_t h) {
  if (w <= 0 || h <= 0) return false;
  if (w > (1 << 30) || h > (1 << 30)) return false;
  return static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) <= kMaxPixels;
}

bool Image::Allocate(int w, int h, int channelCount, std::uint8_t fill) {
  if (!DimensionsOk(w, h) || (channelCount != 3 && channelCount != 4)) return false;
  width = w;
  height = h;
  channels = channelCount;
  pixels.assign(static_cast<std::size_t>(w) * h * channelCount, fill);
  return true;
}

void FlipVertical(Image& img) {
  const std::size_t stride = img.Stride();
  for (int top = 0, bottom = img.height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(img.Row(top), img.Row(top) + stride, img.Row(bottom));
  }
}

void FlipHorizontal(Image& img) {
  const int ch = img.channels;
  for (int y = 0; y < img.height; ++y) {
    for (int l = 0, r = img.width - 1; l < r; ++l, --r) {
      std::swap_ranges(img.At(l, y), img.At(l, y) + ch, img.At(r, y));
    }
  }
}

}  // namespace formats
