// PNG through libpng: every colour type and depth to 8-bit RGB or RGBA.
#include <png.h>

#include <cstring>
#include <new>
#include <vector>

#include "generation/formats/formats.h"

namespace formats {
namespace {

struct MemoryInput {
  std::span<const std::uint8_t> data;
  std::size_t pos = 0;
};

void ReadMemory(png_structp png, png_bytep buf, png_size_t size) {
  auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (size > in->data.size() - in->pos) png_error(png, "truncated");
  std::memcpy(buf, in->data.data() + in->pos, size);
  in->pos += size;
}

// libpng's default handlers print; ours stay quiet and jump back.
[[noreturn]] void ErrorFn(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void WarningFn(png_structp, png_const_charp) {}

// The libpng part. `rows` and `out` belong to the caller so that no object
// with a destructor lives in this frame across the longjmp.
bool Decode(const Source& src, Image& out, std::vector<png_bytep>& rows) {
  if (src.data.size() < 8 || png_sig_cmp(src.data.data(), 0, 8) != 0) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorFn, WarningFn);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  MemoryInput in{src.data};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &in, ReadMemory);
  png_read_info(png, info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colorType, &interlace, nullptr, nullptr);
  if (!DimensionsOk(w, h)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_expand(png);  // palette → RGB, small greys → 8 bits, tRNS → alpha
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  if ((channels != 3 && channels != 4) || png_get_bit_depth(png, info) != 8 ||
      png_get_rowbytes(png, info) != static_cast<std::size_t>(w) * channels) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  bool allocated = false;
  try {
    allocated = out.Allocate(static_cast<int>(w), static_cast<int>(h), channels);
    if (allocated) rows.resize(h);
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  if (!allocated) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = out.Row(static_cast<int>(y));
  // The pixels are all we need: a damaged chunk after them does not matter.
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool ReadPng(const Source& src, Image& out) {
  try {
    std::vector<png_bytep> rows;
    Image img;
    if (!Decode(src, img, rows)) return false;
    out = std::move(img);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace formats
