// PFS First Publisher clip art (.art): an 8-byte header of four u16 words
// (width in the second, height in the fourth), then 1-bit rows padded to 16
// bits, 1 = white. There is no magic: the file size must be exactly what the
// header promises.
#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {

bool ReadArt(const Source& src, Image& out) {
  Reader r(src.data);
  r.skip(2);
  const int width = r.u16le();
  r.skip(2);
  const int height = r.u16le();
  if (!r.ok() || !DimensionsOk(width, height)) return false;
  const std::size_t rowBytes = RowBytes(width, 1, 2);
  if (src.data.size() != 8 + rowBytes * static_cast<std::size_t>(height)) return false;

  Image img;
  if (!img.Allocate(width, height, 3)) return false;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = r.bytes(rowBytes).data();
    if (row == nullptr) return false;
    MonoToRgb(row, width, true, img.Row(y));
  }
  out = std::move(img);
  return true;
}

}  // namespace formats
