// A decoded picture and the limits every reader checks before allocating.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace formats {

// Largest picture, in pixels, that any reader accepts.
#ifdef GALVORA_MAX_PIXELS
inline constexpr std::uint64_t kMaxPixels = GALVORA_MAX_PIXELS;
#else
inline constexpr std::uint64_t kMaxPixels = 400'000'000;
#endif

// True when a picture of w × h pixels may be allocated: both sides positive
// and the pixel count within kMaxPixels.
bool DimensionsOk(std::int64_t w, std::int64_t h);

// 8-bit samples, rows top-down, no padding. Three channels are RGB, four are
// RGBA with straight (not premultiplied) alpha.
struct Image {
  int width = 0;
  int height = 0;
  int channels = 3;
  // The picture's own size when a reader decoded it reduced (a JPEG decoded at
  // 1/2, 1/4 or 1/8); 0 means width and height are the picture's size.
  int fullWidth = 0;
  int fullHeight = 0;
  std::vector<std::uint8_t> pixels;

  // Sizes the buffer for w × h pixels of the given channel count, filled with
  // `fill`. False (and nothing allocated) when DimensionsOk fails.
  bool Allocate(int w, int h, int channelCount, std::uint8_t fill = 0);

  std::size_t Stride() const { return static_cast<std::size_t>(width) * channels; }
  std::uint8_t* Row(int y) { return pixels.data() + Stride() * y; }
  const std::uint8_t* Row(int y) const { return pixels.data() + Stride() * y; }
  std::uint8_t* At(int x, int y) { return Row(y) + static_cast<std::size_t>(x) * channels; }

  // Writes one pixel; alpha is ignored for three-channel pictures.
  void Set(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    std::uint8_t* p = At(x, y);
    p[0] = r;
    p[1] = g;
    p[2] = b;
    if (channels == 4) p[3] = a;
  }
};

// Reverse the row order (bottom-up storage to top-down) / the pixel order
// within each row (right-to-left storage).
void FlipVertical(Image& img);
void FlipHorizontal(Image& img);

}  // namespace formats
