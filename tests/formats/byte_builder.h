// Test helpers for the layered and animation formats: build files byte by
// byte, read fixtures, and look at decoded pixels.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "generation/formats/formats.h"

namespace bytes_test {

using Bytes = std::vector<std::uint8_t>;

struct Builder {
  Bytes b;
  Builder& u8(unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); return *this; }
  Builder& u16le(unsigned v) { return u8(v & 255).u8(v >> 8); }
  Builder& u16be(unsigned v) { return u8(v >> 8).u8(v & 255); }
  Builder& u32le(std::uint32_t v) { return u16le(v & 0xFFFF).u16le(v >> 16); }
  Builder& u32be(std::uint32_t v) { return u16be(v >> 16).u16be(v & 0xFFFF); }
  Builder& str(std::string_view s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
  Builder& raw(const Bytes& v) { b.insert(b.end(), v.begin(), v.end()); return *this; }
  Builder& zeros(std::size_t n) { b.insert(b.end(), n, 0); return *this; }
  std::size_t size() const { return b.size(); }
  void putU32le(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  void putU32be(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  }
};

inline Bytes Deflate(const Bytes& in) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  Bytes out(size);
  compress(out.data(), &size, in.data(), static_cast<uLong>(in.size()));
  out.resize(size);
  return out;
}

inline Bytes ReadFixture(const std::string& name) {
  std::ifstream f(std::string(GALVORA_FIXTURES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline bool Decode(formats::ReadFn read, const Bytes& data, formats::Image& out,
                   std::string_view path = "test") {
  formats::Source src;
  src.path = path;
  src.data = data;
  return read(src, out);
}

// The pixel as RGBA (alpha 255 for three-channel pictures).
inline std::array<int, 4> At(const formats::Image& img, int x, int y) {
  const std::uint8_t* p = img.Row(y) + static_cast<std::size_t>(x) * img.channels;
  return {p[0], p[1], p[2], img.channels == 4 ? p[3] : 255};
}

inline void ExpectNear(const std::array<int, 4>& got, const std::array<int, 4>& want,
                       int tolerance = 0) {
  for (int c = 0; c < 4; ++c) {
    EXPECT_LE(std::abs(got[c] - want[c]), tolerance)
        << "channel " << c << ": got " << got[c] << ", want " << want[c];
  }
}

// A binary PGM or PPM (maxval 255) as RGB.
inline bool ParsePnm(const Bytes& d, formats::Image& img) {
  if (d.size() < 2 || d[0] != 'P' || (d[1] != '5' && d[1] != '6')) return false;
  std::size_t p = 2;
  long v[3] = {0, 0, 0};
  for (long& n : v) {
    while (p < d.size() && (d[p] == ' ' || d[p] == '\n' || d[p] == '\r' || d[p] == '\t')) ++p;
    while (p < d.size() && d[p] >= '0' && d[p] <= '9') n = n * 10 + (d[p++] - '0');
  }
  ++p;
  const int channels = d[1] == '6' ? 3 : 1;
  if (v[2] != 255 || !img.Allocate(static_cast<int>(v[0]), static_cast<int>(v[1]), 3)) return false;
  const std::size_t n = static_cast<std::size_t>(v[0]) * v[1];
  if (d.size() < p + n * channels) return false;
  for (std::size_t i = 0; i < n; ++i) {
    for (int c = 0; c < 3; ++c) img.pixels[i * 3 + c] = d[p + i * channels + (channels == 3 ? c : 0)];
  }
  return true;
}

// Largest difference between the colour channels of two same-sized pictures.
inline int MaxDifference(const formats::Image& a, const formats::Image& b) {
  if (a.width != b.width || a.height != b.height) return 256;
  int worst = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const auto pa = At(a, x, y), pb = At(b, x, y);
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(pa[c] - pb[c]));
    }
  }
  return worst;
}

}  // namespace bytes_test
