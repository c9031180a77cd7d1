// Dr. Halo pictures (.cut) and palettes (.pal).
//
// A CUT file holds only 8-bit colour indices; its colours live in a palette
// file of the same name beside it. Without one the picture shows as grey.
// A palette opened on its own shows as a swatch (see ReadHaloPalette).
#include <algorithm>
#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr int kMaxSide = 32767;

// Parses a Dr. Halo palette file into `pal`; `count` gets the number of
// entries. False when the data is not such a palette.
bool ParseHaloPalette(std::span<const std::uint8_t> data, Palette& pal, int& count) {
  Reader r(data);
  if (!r.match("AH")) return false;
  r.skip(4);  // version, size
  const std::uint8_t type = r.u8();
  const std::uint8_t subtype = r.u8();
  r.skip(4);  // board, mode
  const unsigned maxIndex = r.u16le();
  const unsigned maxR = r.u16le();
  const unsigned maxG = r.u16le();
  const unsigned maxB = r.u16le();
  r.skip(20);  // name
  if (!r.ok() || type != 0x0A || subtype != 0) return false;
  if (maxR == 0 || maxG == 0 || maxB == 0) return false;

  const unsigned wanted = std::min(maxIndex + 1, 256u);
  count = 0;
  pal = Palette{};
  for (unsigned i = 0; i < wanted; ++i) {
    // Entries never straddle a 512-byte block: the block's tail is padding.
    if (r.pos() % 512 + 6 > 512 && !r.seek((r.pos() / 512 + 1) * 512)) break;
    const unsigned red = r.u16le();
    const unsigned green = r.u16le();
    const unsigned blue = r.u16le();
    if (!r.ok()) break;
    pal[i] = {ScaleToByte(red, maxR), ScaleToByte(green, maxG), ScaleToByte(blue, maxB)};
    ++count;
  }
  // A palette cut short keeps the entries it has.
  return count > 0;
}

// Looks for the palette beside a CUT file: same name with ".PAL", then with
// ".pal". False when neither exists or is a palette.
bool FindCompanionPalette(std::string_view path, Palette& pal) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  std::string base(path);
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    base.resize(dot);
  }
  for (const char* ext : {".PAL", ".pal"}) {
    std::vector<std::uint8_t> bytes;
    int count = 0;
    if (LoadFileBytes(base + ext, bytes) && ParseHaloPalette(bytes, pal, count)) return true;
  }
  return false;
}

}  // namespace

bool ReadCut(const Source& src, Image& out) {
  Reader r(src.data);
  const int width = r.u16le();
  const int height = r.u16le();
  r.skip(2);  // reserved
  if (!r.ok() || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
  // Every row starts with its byte count: the file must at least hold those.
  if (r.remaining() < static_cast<std::size_t>(height) * 2) return false;
  if (!DimensionsOk(width, height)) return false;

  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height, 0);
  unsigned maxIndex = 0;
  for (int y = 0; y < height; ++y) {
    const unsigned count = r.u16le();
    if (!r.ok()) return false;
    // The count covers the row's packets up to its closing 0; a last row cut
    // short keeps what is there.
    Reader row(r.bytes(std::min<std::size_t>(count, r.remaining())));
    std::uint8_t* dst = indices.data() + static_cast<std::size_t>(width) * y;
    int x = 0;
    while (row.has(1)) {
      const std::uint8_t b = row.u8();
      if (b == 0) break;
      const int n = b & 0x7F;
      if (b & 0x80) {
        const std::uint8_t v = row.u8();
        if (!row.ok()) break;
        const int take = std::min(n, width - x);
        std::fill(dst + x, dst + x + take, v);
        x += take;
      } else {
        const auto lit = row.bytes(std::min<std::size_t>(n, row.remaining()));
        const int take = std::min(static_cast<int>(lit.size()), width - x);
        std::copy(lit.begin(), lit.begin() + take, dst + x);
        x += take;
      }
    }
    for (int i = 0; i < x; ++i) maxIndex = std::max<unsigned>(maxIndex, dst[i]);
  }

  Palette pal;
  if (!FindCompanionPalette(src.path, pal)) {
    // No palette: a grey ramp over the depth the indices suggest (two, 16 or
    // 256 colours), so 16-colour pictures do not come out nearly black.
    pal = GreyPalette(maxIndex < 2 ? 2 : maxIndex < 16 ? 16 : 256);
  }
  if (!out.Allocate(width, height, 3)) return false;
  const std::size_t n = indices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Rgb& c = pal[indices[i]];
    out.pixels[i * 3] = c.r;
    out.pixels[i * 3 + 1] = c.g;
    out.pixels[i * 3 + 2] = c.b;
  }
  return true;
}

// A palette opened as a picture: its colours as 16 × 16 pixel squares, 16 to
// a row in index order, as many rows as needed; the picture is as wide as the
// first row (fewer than 16 colours make one shorter row), and the cells after
// the last colour in the last row are white.
bool ReadHaloPalette(const Source& src, Image& out) {
  constexpr int kCell = 16;
  constexpr int kPerRow = 16;
  Palette pal;
  int count = 0;
  if (!ParseHaloPalette(src.data, pal, count)) return false;
  const int columns = std::min(count, kPerRow);
  const int rows = (count + kPerRow - 1) / kPerRow;
  if (!out.Allocate(columns * kCell, rows * kCell, 3, 255)) return false;
  for (int i = 0; i < count; ++i) {
    const int x0 = (i % kPerRow) * kCell;
    const int y0 = (i / kPerRow) * kCell;
    for (int y = y0; y < y0 + kCell; ++y) {
      for (int x = x0; x < x0 + kCell; ++x) out.Set(x, y, pal[i].r, pal[i].g, pal[i].b);
    }
  }
  return true;
}

}  // namespace formats
