// Test helpers: read a file, and read the binary netpbm pictures (P4, P5, P6)
// that the reference decoders wrote beside a fixture, so a reader's output
// can be compared pixel for pixel.
#pragma once

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generation/formats/image.h"

namespace testpnm {

inline std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Decodes a binary PBM/PGM/PPM with maxval 255 into RGB; false otherwise.
inline bool ParsePnm(const std::vector<std::uint8_t>& d, formats::Image& img) {
  std::size_t p = 0;
  const auto token = [&]() -> long {
    while (p < d.size()) {
      if (d[p] == '#') {
        while (p < d.size() && d[p] != '\n') ++p;
      } else if (std::isspace(d[p])) {
        ++p;
      } else {
        break;
      }
    }
    long v = 0;
    bool any = false;
    while (p < d.size() && std::isdigit(d[p])) {
      v = v * 10 + (d[p++] - '0');
      any = true;
    }
    return any ? v : -1;
  };
  if (d.size() < 2 || d[0] != 'P') return false;
  const char kind = static_cast<char>(d[1]);
  p = 2;
  const long w = token();
  const long h = token();
  const long maxval = kind == '4' ? 1 : token();
  if (w <= 0 || h <= 0 || (kind != '4' && maxval != 255)) return false;
  ++p;  // the single whitespace byte before the samples
  if (!img.Allocate(static_cast<int>(w), static_cast<int>(h), 3)) return false;
  for (long y = 0; y < h; ++y) {
    for (long x = 0; x < w; ++x) {
      std::uint8_t r, g, b;
      if (kind == '4') {
        const std::size_t at = p + static_cast<std::size_t>(y * ((w + 7) / 8) + x / 8);
        if (at >= d.size()) return false;
        const bool black = (d[at] >> (7 - x % 8)) & 1;
        r = g = b = black ? 0 : 255;
      } else if (kind == '5') {
        const std::size_t at = p + static_cast<std::size_t>(y * w + x);
        if (at >= d.size()) return false;
        r = g = b = d[at];
      } else if (kind == '6') {
        const std::size_t at = p + static_cast<std::size_t>((y * w + x) * 3);
        if (at + 2 >= d.size()) return false;
        r = d[at];
        g = d[at + 1];
        b = d[at + 2];
      } else {
        return false;
      }
      img.Set(static_cast<int>(x), static_cast<int>(y), r, g, b);
    }
  }
  return true;
}

// Number of pixels whose colour differs between two pictures (RGB parts only);
// -1 when the sizes differ.
inline long CountDifferences(const formats::Image& a, const formats::Image& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  long diff = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const std::uint8_t* pa = a.Row(y) + static_cast<std::size_t>(x) * a.channels;
      const std::uint8_t* pb = b.Row(y) + static_cast<std::size_t>(x) * b.channels;
      if (pa[0] != pb[0] || pa[1] != pb[1] || pa[2] != pb[2]) ++diff;
    }
  }
  return diff;
}

}  // namespace testpnm
