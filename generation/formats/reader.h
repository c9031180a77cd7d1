// The bounded reader every decoder reads its bytes through, and the small
// palette and bit helpers the legacy formats share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace formats {

// Reads little- and big-endian values from a byte span. A read past the end
// returns 0 and makes the reader fail for good: decoders read on and check
// ok() where it matters, never touching memory outside the span.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

  bool ok() const { return ok_; }
  std::size_t pos() const { return pos_; }
  std::size_t size() const { return data_.size(); }
  std::size_t remaining() const { return data_.size() - pos_; }
  // True when n more bytes can be read; does not fail the reader.
  bool has(std::size_t n) const { return ok_ && n <= remaining(); }

  std::uint8_t u8();
  std::uint16_t u16le();
  std::uint16_t u16be();
  std::uint32_t u32le();
  std::uint32_t u32be();
  std::int16_t i16le() { return static_cast<std::int16_t>(u16le()); }
  std::int16_t i16be() { return static_cast<std::int16_t>(u16be()); }
  std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }
  std::int32_t i32be() { return static_cast<std::int32_t>(u32be()); }

  // The next n bytes, or an empty span (and a failed reader) when fewer remain.
  std::span<const std::uint8_t> bytes(std::size_t n);
  // Moves by n bytes / to offset p; past the end fails the reader.
  bool skip(std::size_t n);
  bool seek(std::size_t p);
  // True when the next bytes equal `magic`; consumes them only when they do.
  bool match(std::string_view magic);

 private:
  bool take(std::size_t n);

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};
using Palette = std::array<Rgb, 256>;

// A grey ramp over `entries` colours (2 gives black and white).
Palette GreyPalette(int entries);
// The 16 colours of the EGA/VGA default palette.
Palette EgaPalette();

// Sample scaling to 8 bits.
inline std::uint8_t Scale6(unsigned v) { return static_cast<std::uint8_t>(((v & 63) << 2) | ((v & 63) >> 4)); }
std::uint8_t ScaleToByte(std::uint32_t v, std::uint32_t maxval);

// Unpacks `count` pixels of `bits` bits each (1, 2, 4 or 8), most significant
// first, from src into one index byte per pixel. src must hold enough bytes:
// (count * bits + 7) / 8.
void UnpackBits(const std::uint8_t* src, int bits, int count, std::uint8_t* out);

// Bytes needed for `width` pixels of `bits` bits, rounded up to `align` bytes.
// 0 when the size would overflow.
std::size_t RowBytes(std::int64_t width, int bits, int align = 1);

// True when `r` still holds count × each bytes (computed without overflow): the
// "file is big enough for what the header promises" check for raw data.
bool Holds(const Reader& r, std::uint64_t count, std::uint64_t each = 1);

// Decodes PackBits (n < 128: copy n + 1 bytes; n > 128: repeat the next byte
// 257 - n times; 128: no-op) until `n` bytes are written to out. The tail of a
// packet that overshoots is dropped. False when the data ends first.
bool UnpackPackBits(Reader& r, std::uint8_t* out, std::size_t n);

// Writes `count` palette colours for the indices in `idx` to out, 3 bytes per
// pixel, or 4 with alpha 255 when channels is 4.
void PaletteToRgb(const std::uint8_t* idx, int count, const Palette& pal, std::uint8_t* out,
                  int channels = 3);

// Writes `count` pixels of a 1-bit row (most significant bit first) as RGB:
// set bits white when oneIsWhite, black otherwise.
void MonoToRgb(const std::uint8_t* row, int count, bool oneIsWhite, std::uint8_t* out);

// 4- and 5-bit sample scaling to 8 bits.
inline std::uint8_t Scale4(unsigned v) { return static_cast<std::uint8_t>((v & 15) * 17); }
inline std::uint8_t Scale5(unsigned v) { return static_cast<std::uint8_t>(((v & 31) << 3) | ((v & 31) >> 2)); }

}  // namespace formats
