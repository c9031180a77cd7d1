// For the tests of 1-bit readers: how many pixels differ from the expected
// black-and-white pattern.
#pragma once

#include <cstddef>
#include <cstdint>

#include "generation/formats/image.h"

// The number of pixels that are not pure black where black(x, y) is true and
// pure white elsewhere.
inline long Mismatches(const formats::Image& img, bool (*black)(int, int)) {
  long bad = 0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const std::uint8_t* p = img.Row(y) + static_cast<std::size_t>(x) * img.channels;
      const int v = black(x, y) ? 0 : 255;
      if (p[0] != v || p[1] != v || p[2] != v) ++bad;
    }
  }
  return bad;
}
