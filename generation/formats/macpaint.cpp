// MacPaint documents (.mac): a 512-byte header (version, patterns, padding)
// and 720 PackBits-compressed rows of 72 bytes, 576 × 720 pixels, 1 = black.
// Files copied off a Mac often keep the 128-byte MacBinary header in front.
#include <array>
#include <utility>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {

namespace {

constexpr int kWidth = 576;
constexpr int kHeight = 720;
constexpr std::size_t kRowBytes = kWidth / 8;
constexpr std::size_t kHeaderBytes = 512;
constexpr std::size_t kMacBinaryBytes = 128;

// MacBinary starts with a zero byte and the length (1-63) of the file name;
// a bare MacPaint file starts with a big-endian version number (0, 2 or 3),
// whose second byte is 0. The type "PNTG" at 65 is often lost, so it is not
// required.
bool LooksLikeMacBinary(std::span<const std::uint8_t> d) {
  return d.size() > kMacBinaryBytes + kHeaderBytes && d[0] == 0 && d[1] >= 1 && d[1] <= 63;
}

}  // namespace

bool ReadMacPaint(const Source& src, Image& out) {
  const auto d = src.data;
  // Where the MacPaint header may start, most likely first. The MacBinary
  // test is a guess from its fields: when the first choice cannot fill all
  // 720 rows but the other can, the other wins.
  std::array<std::size_t, 2> starts = {0, kMacBinaryBytes};
  if (LooksLikeMacBinary(d)) std::swap(starts[0], starts[1]);

  std::vector<std::uint8_t> bits;
  for (const std::size_t start : starts) {
    if (d.size() <= start + kHeaderBytes) continue;
    Reader r(d);
    r.seek(start + kHeaderBytes);
    std::vector<std::uint8_t> candidate(kRowBytes * kHeight, 0);
    const bool complete = UnpackPackBits(r, candidate.data(), candidate.size());
    if (bits.empty() || complete) bits = std::move(candidate);
    if (complete) break;
  }
  if (bits.empty()) return false;

  // Rows missing from a damaged file stay white (zero bits).
  Image img;
  if (!img.Allocate(kWidth, kHeight, 3)) return false;
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* row = bits.data() + kRowBytes * y;
    MonoToRgb(row, kWidth, false, img.Row(y));
  }
  out = std::move(img);
  return true;
}

}  // namespace formats
