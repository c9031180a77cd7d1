// Microsoft Paint (.msp): a 32-byte header of 16 little-endian words, then
// 1-bit rows (1 = white). Version 1 ("DanM") stores the rows raw; version 2
// ("LinS") has a table of the packed length of every row, then the rows in
// packets: 00 n v = n copies of v, n (1-255) = n literal bytes.
#include <algorithm>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {

namespace {

constexpr std::size_t kHeaderBytes = 32;

// Unpacks one version 2 row into `row` (already white). Returns the number
// of bytes the packets describe, or -1 when they run past the row's data.
long UnpackRow(std::span<const std::uint8_t> packed, std::vector<std::uint8_t>& row) {
  Reader r(packed);
  std::size_t n = 0;
  long described = 0;
  while (r.remaining() > 0) {
    const std::uint8_t type = r.u8();
    if (type == 0) {
      const std::uint8_t count = r.u8();
      const std::uint8_t value = r.u8();
      if (!r.ok()) return -1;
      for (int i = 0; i < count && n < row.size(); ++i) row[n++] = value;
      described += count;
    } else {
      const auto literal = r.bytes(type);
      if (!r.ok()) return -1;
      for (std::size_t i = 0; i < literal.size() && n < row.size(); ++i) row[n++] = literal[i];
      described += type;
    }
  }
  return described;
}

}  // namespace

bool ReadMsp(const Source& src, Image& out) {
  Reader r(src.data);
  int version = 0;
  if (r.match("DanM")) {
    version = 1;
  } else if (r.match("LinS")) {
    version = 2;
  } else {
    return false;
  }
  const int width = r.u16le();
  const int height = r.u16le();
  if (!r.has(kHeaderBytes - 8) || width > 32767 || height > 32767 || !DimensionsOk(width, height)) {
    return false;
  }
  // The header words XOR to zero in a well-formed file, but writers are known
  // to get the checksum wrong, and the fields we use are validated anyway. So
  // a mismatch does not reject the file; it only makes us strict: the data
  // must then fit the picture exactly (no trailing bytes after raw rows, no
  // packed row longer or shorter than the width), which random data or a
  // header of another format does not pass. Missing data fails either way.
  unsigned checksum = 0;
  for (std::size_t i = 0; i < kHeaderBytes; i += 2) {
    checksum ^= src.data[i] | (src.data[i + 1] << 8);
  }
  const bool strict = checksum != 0;

  const std::size_t rowBytes = RowBytes(width, 1);
  const std::size_t dataBytes = src.data.size() - kHeaderBytes;
  std::vector<std::uint8_t> bits;
  if (version == 1) {
    if (dataBytes < rowBytes * height) return false;
    if (strict && dataBytes != rowBytes * height) return false;
    const auto* p = src.data.data() + kHeaderBytes;
    bits.assign(p, p + rowBytes * height);
  } else {
    r.seek(kHeaderBytes);
    std::vector<std::uint16_t> lengths(height);
    for (auto& len : lengths) len = r.u16le();
    if (!r.ok()) return false;
    bits.reserve(rowBytes * height);
    std::vector<std::uint8_t> row(rowBytes);
    for (int y = 0; y < height; ++y) {
      // A row of length 0 is a white row.
      std::fill(row.begin(), row.end(), 0xFF);
      if (lengths[y] != 0) {
        const auto packed = r.bytes(lengths[y]);
        if (!r.ok()) return false;
        const long described = UnpackRow(packed, row);
        if (described < 0) return false;
        if (strict && static_cast<std::size_t>(described) != rowBytes) return false;
      }
      bits.insert(bits.end(), row.begin(), row.end());
    }
  }

  Image img;
  if (!img.Allocate(width, height, 3)) return false;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = bits.data() + rowBytes * y;
    MonoToRgb(row, width, true, img.Row(y));
  }
  out = std::move(img);
  return true;
}

}  // namespace formats
