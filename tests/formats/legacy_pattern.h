// The test pictures behind the raster fixtures, and small helpers to write
// files byte by byte and to compare a decoded picture with its pattern.
//
// The fixtures were made from these patterns with Debian tools (netpbm's
// ppmtotga, pamtotga, ppmtopcx, pnmtosgi, pnmtorast, pnmtopnm, pnmdepth,
// pamstack, and ImageMagick's convert), e.g. `ppmtotga -rgb src.ppm`,
// `convert big.ppm -compress RLE tga:out.tga`.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generation/formats/formats.h"

namespace legacy_test {

enum class Pattern {
  Rgb,    // R = 37x, G = 59y, B = 200 + 11x + 23y (mod 256): 7 × 5 or 20 × 15
  Pal16,  // 16 colours: i = (x + 7y) % 16 → (i&1 ? 255 : 0, i&2 ? 255 : 0, (i>>2&3) × 85)
  Grey,   // 30x + 10y
  Bits,   // black where (x + y) % 3 == 0, else white
  Rgba,   // Rgb with alpha 36x + 8y
};

struct Px {
  int r, g, b, a;
};

inline Px Expected(Pattern p, int x, int y) {
  const Px rgb{(x * 37) & 255, (y * 59) & 255, (200 + x * 11 + y * 23) & 255, 255};
  switch (p) {
    case Pattern::Rgb: return rgb;
    case Pattern::Pal16: {
      const int i = (x + y * 7) % 16;
      return {(i & 1) ? 255 : 0, (i & 2) ? 255 : 0, ((i >> 2) & 3) * 85, 255};
    }
    case Pattern::Grey: {
      const int v = (x * 30 + y * 10) & 255;
      return {v, v, v, 255};
    }
    case Pattern::Bits: {
      const int v = (x + y) % 3 == 0 ? 0 : 255;
      return {v, v, v, 255};
    }
    case Pattern::Rgba: return {rgb.r, rgb.g, rgb.b, (x * 36 + y * 8) & 255};
  }
  return {};
}

// Compares every pixel within `tolerance`; alpha is compared when the
// pattern has it (the picture must then have four channels).
inline void ExpectPattern(const formats::Image& img, Pattern p, int w, int h, int tolerance = 0) {
  ASSERT_EQ(img.width, w);
  ASSERT_EQ(img.height, h);
  ASSERT_EQ(img.pixels.size(), static_cast<std::size_t>(w) * h * img.channels);
  if (p == Pattern::Rgba) {
    ASSERT_EQ(img.channels, 4);
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Px e = Expected(p, x, y);
      const std::uint8_t* q = img.pixels.data() + (static_cast<std::size_t>(y) * w + x) * img.channels;
      const int a = img.channels == 4 ? q[3] : 255;
      const bool same = std::abs(q[0] - e.r) <= tolerance && std::abs(q[1] - e.g) <= tolerance &&
                        std::abs(q[2] - e.b) <= tolerance && std::abs(a - e.a) <= tolerance;
      ASSERT_TRUE(same) << "pixel " << x << "," << y << ": got " << int{q[0]} << " " << int{q[1]} << " "
                        << int{q[2]} << " " << a << ", want " << e.r << " " << e.g << " " << e.b << " "
                        << e.a;
    }
  }
}

inline std::vector<std::uint8_t> ReadFixture(const std::string& relative) {
  std::ifstream in(std::string(GALVORA_FIXTURES) + "/" + relative, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `read` on bytes as if they came from a file with the given name.
inline bool Decode(formats::ReadFn read, const std::vector<std::uint8_t>& bytes, formats::Image& out,
                   const std::string& name = "picture") {
  formats::Source src;
  src.path = name;
  src.data = bytes;
  return read(src, out);
}

// A file under construction.
struct Bytes {
  std::vector<std::uint8_t> v;
  Bytes& u8(int x) {
    v.push_back(static_cast<std::uint8_t>(x));
    return *this;
  }
  Bytes& u16le(int x) { return u8(x & 255).u8((x >> 8) & 255); }
  Bytes& u16be(int x) { return u8((x >> 8) & 255).u8(x & 255); }
  Bytes& u32le(std::uint32_t x) { return u16le(x & 0xFFFF).u16le(x >> 16); }
  Bytes& u32be(std::uint32_t x) { return u16be(x >> 16).u16be(x & 0xFFFF); }
  Bytes& fill(std::size_t n, int x = 0) {
    v.insert(v.end(), n, static_cast<std::uint8_t>(x));
    return *this;
  }
  Bytes& text(const std::string& s) {
    v.insert(v.end(), s.begin(), s.end());
    return *this;
  }
};

// Every broken file in a folder must load as false (and not crash).
inline void ExpectAllBrokenFail(formats::ReadFn read, const std::string& folder,
                                const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const auto bytes = ReadFixture(folder + "/" + name);
    ASSERT_FALSE(bytes.empty()) << name;
    formats::Image img;
    EXPECT_FALSE(Decode(read, bytes, img, name)) << name;
  }
}

}  // namespace legacy_test
