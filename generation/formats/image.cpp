#include "generation/formats/image.h"

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

}  // namespace formats
