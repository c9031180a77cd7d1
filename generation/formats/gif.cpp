// GIF through giflib: the first frame, placed on the logical screen.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "generation/formats/formats.h"

namespace formats {
namespace {

struct MemoryInput {
  std::span<const std::uint8_t> data;
  std::size_t pos = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* buf, int size) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  if (size <= 0) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), in->data.size() - in->pos);
  std::memcpy(buf, in->data.data() + in->pos, n);
  in->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  GifFileType* gif;
  ~GifCloser() {
    int err = 0;
    if (gif != nullptr) DGifCloseFile(gif, &err);
  }
};

// Decodes the first image of an open GIF into RGBA on the logical screen.
bool DecodeFirstFrame(GifFileType* gif, Image& out) {
  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    if (type == TERMINATE_RECORD_TYPE) return false;  // no image at all
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) return false;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext != nullptr && ext[0] >= 4) {
        transparent = (ext[1] & 1) ? ext[4] : -1;
      }
      while (ext != nullptr) {
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) return false;
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return false;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
    break;
  }

  const GifImageDesc& desc = gif->Image;
  const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
  if (map == nullptr || map->Colors == nullptr || desc.Width <= 0 || desc.Height <= 0) return false;
  if (!DimensionsOk(desc.Width, desc.Height)) return false;
  // A screen of 0 × 0 occurs in the wild: then the frame decides the size.
  int screenW = gif->SWidth, screenH = gif->SHeight;
  if (screenW <= 0 || screenH <= 0) {
    screenW = desc.Left + desc.Width;
    screenH = desc.Top + desc.Height;
  }
  if (!out.Allocate(screenW, screenH, 4, 0)) return false;

  std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
  // Interlaced frames store rows in four passes.
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  const int passes = desc.Interlace ? 4 : 1;
  const int x0 = std::max(0, desc.Left);
  const int x1 = std::min(screenW, desc.Left + desc.Width);
  bool opaque = desc.Left <= 0 && desc.Top <= 0 && desc.Left + desc.Width >= screenW &&
                desc.Top + desc.Height >= screenH;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = desc.Interlace ? kStart[pass] : 0;
    const int step = desc.Interlace ? kStep[pass] : 1;
    for (int fy = start; fy < desc.Height; fy += step) {
      if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) return false;
      const int y = desc.Top + fy;
      if (y < 0 || y >= screenH) continue;  // frames may reach past the screen
      std::uint8_t* d = out.At(x0, y);
      for (int x = x0; x < x1; ++x, d += 4) {
        const int index = line[static_cast<std::size_t>(x - desc.Left)];
        if (index == transparent) {
          opaque = false;
          continue;
        }
        if (index < map->ColorCount) {
          const GifColorType& c = map->Colors[index];
          d[0] = c.Red;
          d[1] = c.Green;
          d[2] = c.Blue;
        }
        d[3] = 255;
      }
    }
  }
  if (opaque) {
    // Nothing transparent: hand back plain RGB.
    const std::size_t n = static_cast<std::size_t>(out.width) * out.height;
    for (std::size_t i = 0; i < n; ++i) std::memmove(&out.pixels[i * 3], &out.pixels[i * 4], 3);
    out.pixels.resize(n * 3);
    out.channels = 3;
  }
  return true;
}

}  // namespace

bool ReadGif(const Source& src, Image& out) {
  try {
    MemoryInput in{src.data};
    int err = 0;
    GifCloser closer{DGifOpen(&in, ReadMemory, &err)};
    if (closer.gif == nullptr) return false;
    return DecodeFirstFrame(closer.gif, out);
  } catch (...) {
    return false;
  }
}

}  // namespace formats
