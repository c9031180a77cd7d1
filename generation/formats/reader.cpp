#include "generation/formats/reader.h"

#include <algorithm>
#include <cstring>

namespace formats {

bool Reader::take(std::size_t n) {
  if (!ok_ || n > remaining()) {
    ok_ = false;
    return false;
  }
  return true;
}

std::uint8_t Reader::u8() {
  if (!take(1)) return 0;
  return data_[pos_++];
}

std::uint16_t Reader::u16le() {
  if (!take(2)) return 0;
  const std::uint8_t* p = data_.data() + pos_;
  pos_ += 2;
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint16_t Reader::u16be() {
  if (!take(2)) return 0;
  const std::uint8_t* p = data_.data() + pos_;
  pos_ += 2;
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t Reader::u32le() {
  if (!take(4)) return 0;
  const std::uint8_t* p = data_.data() + pos_;
  pos_ += 4;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint32_t Reader::u32be() {
  if (!take(4)) return 0;
  const std::uint8_t* p = data_.data() + pos_;
  pos_ += 4;
  return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

std::span<const std::uint8_t> Reader::bytes(std::size_t n) {
  if (!take(n)) return {};
  auto s = data_.subspan(pos_, n);
  pos_ += n;
  return s;
}

bool Reader::skip(std::size_t n) {
  if (!take(n)) return false;
  pos_ += n;
  return true;
}

bool Reader::seek(std::size_t p) {
  if (!ok_ || p > data_.size()) {
    ok_ = false;
    return false;
  }
  pos_ = p;
  return true;
}

bool Reader::match(std::string_view magic) {
  if (!has(magic.size())) return false;
  if (std::memcmp(data_.data() + pos_, magic.data(), magic.size()) != 0) return false;
  pos_ += magic.size();
  return true;
}

Palette GreyPalette(int entries) {
  Palette p{};
  if (entries < 2) entries = 2;
  if (entries > 256) entries = 256;
  for (int i = 0; i < entries; ++i) {
    auto v = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    p[i] = {v, v, v};
  }
  return p;
}

Palette EgaPalette() {
  static constexpr std::uint8_t kEga[16][3] = {
      {0, 0, 0},       {0, 0, 170},     {0, 170, 0},     {0, 170, 170},
      {170, 0, 0},     {170, 0, 170},   {170, 85, 0},    {170, 170, 170},
      {85, 85, 85},    {85, 85, 255},   {85, 255, 85},   {85, 255, 255},
      {255, 85, 85},   {255, 85, 255},  {255, 255, 85},  {255, 255, 255}};
  Palette p{};
  for (int i = 0; i < 16; ++i) p[i] = {kEga[i][0], kEga[i][1], kEga[i][2]};
  return p;
}

std::uint8_t ScaleToByte(std::uint32_t v, std::uint32_t maxval) {
  if (maxval == 0) return 0;
  if (v >= maxval) return 255;
  return static_cast<std::uint8_t>((static_cast<std::uint64_t>(v) * 255 + maxval / 2) / maxval);
}

void UnpackBits(const std::uint8_t* src, int bits, int count, std::uint8_t* out) {
  if (bits == 8) {
    std::memcpy(out, src, static_cast<std::size_t>(count));
    return;
  }
  const int perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (int i = 0; i < count; ++i) {
    const int shift = 8 - bits * (i % perByte + 1);
    out[i] = static_cast<std::uint8_t>((src[i / perByte] >> shift) & mask);
  }
}

std::size_t RowBytes(std::int64_t width, int bits, int align) {
  if (width < 0 || bits <= 0 || align <= 0 || width > (std::int64_t{1} << 32)) return 0;
  const std::uint64_t raw = (static_cast<std::uint64_t>(width) * bits + 7) / 8;
  return static_cast<std::size_t>((raw + align - 1) / align * align);
}

bool Holds(const Reader& r, std::uint64_t count, std::uint64_t each) {
  if (!r.ok()) return false;
  if (each != 0 && count > r.remaining() / each) return false;
  return count * each <= r.remaining();
}

bool UnpackPackBits(Reader& r, std::uint8_t* out, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const std::uint8_t c = r.u8();
    if (!r.ok()) return false;
    if (c < 128) {
      const std::size_t len = c + 1u;
      auto src = r.bytes(len);
      if (src.empty()) return false;
      const std::size_t k = std::min(len, n - done);
      std::memcpy(out + done, src.data(), k);
      done += k;
    } else if (c > 128) {
      const std::uint8_t v = r.u8();
      if (!r.ok()) return false;
      const std::size_t k = std::min<std::size_t>(257u - c, n - done);
      std::memset(out + done, v, k);
      done += k;
    }
  }
  return true;
}

void PaletteToRgb(const std::uint8_t* idx, int count, const Palette& pal, std::uint8_t* out,
                  int channels) {
  for (int i = 0; i < count; ++i) {
    const Rgb& c = pal[idx[i]];
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    if (channels == 4) out[3] = 255;
    out += channels;
  }
}

void MonoToRgb(const std::uint8_t* row, int count, bool oneIsWhite, std::uint8_t* out) {
  const std::uint8_t set = oneIsWhite ? 255 : 0;
  for (int x = 0; x < count; ++x, out += 3) {
    out[0] = out[1] = out[2] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? set : 255 - set;
  }
}

}  // namespace formats
