// Paint Shop Pro images (.psp), file versions 3 to 6 and later: a signature,
// then "~BK\0" blocks. The merged picture is taken from the Composite Image
// Bank when the file has one; otherwise the visible raster layers are
// blended over a transparent canvas.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr char kSignature[] = "Paint Shop Pro Image File\n\x1a";

enum BlockId : std::uint16_t {
  kImageAttributes = 0,
  kColourPalette = 2,
  kLayerBank = 3,
  kLayer = 4,
  kChannel = 5,
  kCompositeImage = 9,
  kCompositeBank = 16,
  kCompositeAttributes = 17,
  kJpegImage = 18,
};

constexpr std::uint64_t kSmallCanvas = 2048 * 2048;
constexpr std::uint64_t kMaxDeflateRatio = 1032;

enum CompressionType { kNone = 0, kRle = 1, kLz77 = 2, kJpeg = 3 };

enum BitmapType : std::uint16_t {
  kLayerImage = 0,
  kLayerMask = 1,
  kComposite = 8,
  kCompositeMask = 9,
};

// One "~BK\0" block: its id and the byte range of its body. Version 3 headers
// also give the length of the block's first chunk, which later versions store
// at the start of each chunk instead.
struct Block {
  std::uint16_t id = 0;
  std::size_t start = 0;
  std::size_t end = 0;
  std::uint32_t initialLength = 0;
};

struct Picture {
  int major = 0;
  int width = 0;
  int height = 0;
  int compression = 0;
  int depth = 0;
  bool grey = false;
  Palette palette = GreyPalette(256);
  bool hasPalette = false;
};

std::optional<Block> ReadBlockHeader(std::span<const std::uint8_t> data, std::size_t pos,
                                     std::size_t limit, int major) {
  Reader r(data.first(limit));
  if (!r.seek(pos) || !r.match(std::string_view("~BK\0", 4))) return std::nullopt;
  Block b;
  b.id = r.u16le();
  if (major < 4) b.initialLength = r.u32le();
  const std::uint32_t total = r.u32le();
  if (!r.ok() || total > r.remaining()) return std::nullopt;
  b.start = r.pos();
  b.end = b.start + total;
  return b;
}

// The blocks directly inside [pos, end).
std::vector<Block> ListBlocks(std::span<const std::uint8_t> data, std::size_t pos,
                              std::size_t end, int major) {
  std::vector<Block> blocks;
  while (pos < end) {
    const auto b = ReadBlockHeader(data, pos, end, major);
    if (!b) break;
    blocks.push_back(*b);
    pos = b->end;
  }
  return blocks;
}

// Version 4+ chunks begin with their own length: the offset just past the
// chunk, where sub-blocks or data follow. Version 3 gives it in the header.
std::optional<std::size_t> AfterFirstChunk(std::span<const std::uint8_t> data, const Block& b,
                                           int major) {
  std::uint64_t length = b.initialLength;
  if (major >= 4) {
    Reader r(data.first(b.end));
    r.seek(b.start);
    length = r.u32le();
    if (!r.ok()) return std::nullopt;
  }
  if (length > b.end - b.start) return std::nullopt;
  return b.start + length;
}

bool ReadAttributes(std::span<const std::uint8_t> data, const Block& b, Picture& pic) {
  Reader r(data.first(b.end));
  r.seek(b.start);
  if (pic.major >= 4) r.skip(4);  // chunk length
  pic.width = r.i32le();
  pic.height = r.i32le();
  r.skip(8 + 1);  // resolution, metric
  pic.compression = r.u16le();
  pic.depth = r.u16le();
  r.skip(2 + 4);  // planes, colours
  pic.grey = r.u8() != 0;
  return r.ok() && DimensionsOk(pic.width, pic.height);
}

// Palette entries are stored blue, green, red, unused.
bool ReadPalette(std::span<const std::uint8_t> data, const Block& b, int major, Palette& palette) {
  Reader r(data.first(b.end));
  r.seek(b.start);
  std::uint32_t count;
  if (major >= 4) {
    const std::uint32_t chunk = r.u32le();
    count = r.u32le();
    if (!r.ok() || chunk < 8) return false;
    r.seek(b.start + chunk);
  } else {
    count = r.u32le();
  }
  if (!r.ok() || count > 256) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t blue = r.u8(), green = r.u8(), red = r.u8();
    r.u8();
    palette[i] = {red, green, blue};
  }
  return r.ok();
}

// Run-length coding: a count above 128 repeats the next byte count-128 times,
// otherwise count bytes are copied.
bool UnRle(std::span<const std::uint8_t> in, std::uint8_t* out, std::size_t need) {
  std::size_t i = 0, o = 0;
  while (o < need) {
    if (i >= in.size()) return false;
    const unsigned n = in[i++];
    if (n > 128) {
      if (i >= in.size()) return false;
      std::memset(out + o, in[i++], std::min<std::size_t>(n - 128, need - o));
      o += std::min<std::size_t>(n - 128, need - o);
    } else {
      if (n > in.size() - i) return false;
      std::memcpy(out + o, in.data() + i, std::min<std::size_t>(n, need - o));
      o += std::min<std::size_t>(n, need - o);
      i += n;
    }
  }
  return true;
}

bool Inflate(std::span<const std::uint8_t> in, std::uint8_t* out, std::size_t need) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out;
  z.avail_out = static_cast<uInt>(need);
  int rc = Z_OK;
  while (rc == Z_OK && z.avail_out > 0) rc = inflate(&z, Z_NO_FLUSH);
  const bool ok = z.avail_out == 0 && (rc == Z_OK || rc == Z_STREAM_END);
  inflateEnd(&z);
  return ok;
}

// A decoded bitmap of one layer or of the composite, before colour lookup:
// one byte per pixel and channel.
struct Planes {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> colour[3];  // red, green, blue; or [0] alone
  std::vector<std::uint8_t> mask;
};

// Reads one channel block into `planes`. Channels of other kinds (user masks,
// selections...) are skipped.
bool ReadChannel(std::span<const std::uint8_t> data, const Block& b, const Picture& pic,
                 int compression, int depth, Planes& planes) {
  Reader r(data.first(b.end));
  r.seek(b.start);
  std::size_t dataStart;
  if (pic.major >= 4) {
    const std::uint32_t chunk = r.u32le();
    if (chunk < 16 || chunk > b.end - b.start) return false;
    dataStart = b.start + chunk;
  } else {
    if (b.initialLength < 12 || b.initialLength > b.end - b.start) return false;
    dataStart = b.start + b.initialLength;
  }
  const std::uint32_t compressedLength = r.u32le();
  const std::uint32_t uncompressedLength = r.u32le();
  const std::uint16_t bitmapType = r.u16le();
  const std::uint16_t channelType = r.u16le();
  if (!r.ok()) return false;

  std::vector<std::uint8_t>* target = nullptr;
  if (bitmapType == kLayerMask || bitmapType == kCompositeMask) {
    target = &planes.mask;
  } else if (bitmapType == kLayerImage || bitmapType == kComposite) {
    if (channelType > 3) return false;
    target = &planes.colour[channelType == 0 ? 0 : channelType - 1];
  } else {
    return true;
  }
  const bool mask = target == &planes.mask;
  const int bits = mask || depth > 8 ? 8 : depth;

  const int w = planes.width, h = planes.height;
  const std::size_t packed = RowBytes(w, bits);
  const std::size_t padded = (packed + 3) & ~std::size_t{3};
  // The documentation pads rows to four bytes, yet many writers do not: the
  // stored uncompressed length tells which.
  const std::size_t stride =
      static_cast<std::uint64_t>(uncompressedLength) >= static_cast<std::uint64_t>(padded) * h
          ? padded
          : packed;
  const std::size_t need = stride * h;
  if (dataStart > b.end || compressedLength > b.end - dataStart) return false;
  const auto in = data.subspan(dataStart, compressedLength);
  // Cheap guards against files that promise far more than their data holds.
  const std::uint64_t maxRatio = compression == kLz77 ? kMaxDeflateRatio : compression == kRle ? 64 : 1;
  if (static_cast<std::uint64_t>(in.size()) * maxRatio < need) return false;

  std::vector<std::uint8_t> raw(need);
  switch (compression) {
    case kNone:
      std::memcpy(raw.data(), in.data(), need);
      break;
    case kRle:
      if (!UnRle(in, raw.data(), need)) return false;
      break;
    case kLz77:
      if (!Inflate(in, raw.data(), need)) return false;
      break;
    default:
      return false;
  }
  target->assign(static_cast<std::size_t>(w) * h, 0);
  for (int y = 0; y < h; ++y) {
    UnpackBits(raw.data() + stride * y, bits, w, target->data() + static_cast<std::size_t>(w) * y);
  }
  return true;
}

// Channel blocks of a layer or composite into a straight-alpha RGBA image.
bool DecodeBitmap(std::span<const std::uint8_t> data, const std::vector<Block>& blocks,
                  const Picture& pic, int compression, int depth, const Palette& palette,
                  int w, int h, Image& out) {
  if (!DimensionsOk(w, h)) return false;
  Planes planes;
  planes.width = w;
  planes.height = h;
  for (const Block& b : blocks) {
    if (b.id == kChannel && !ReadChannel(data, b, pic, compression, depth, planes)) return false;
  }
  const bool rgb = depth == 24;
  if (rgb ? (planes.colour[0].empty() || planes.colour[1].empty() || planes.colour[2].empty())
          : planes.colour[0].empty()) {
    return false;
  }
  if (!out.Allocate(w, h, 4)) return false;
  const std::size_t n = static_cast<std::size_t>(w) * h;
  std::uint8_t* o = out.pixels.data();
  for (std::size_t i = 0; i < n; ++i, o += 4) {
    if (rgb) {
      o[0] = planes.colour[0][i];
      o[1] = planes.colour[1][i];
      o[2] = planes.colour[2][i];
    } else if (pic.grey && depth == 8) {
      o[0] = o[1] = o[2] = planes.colour[0][i];
    } else {
      const Rgb& e = palette[planes.colour[0][i]];
      o[0] = e.r;
      o[1] = e.g;
      o[2] = e.b;
    }
    o[3] = planes.mask.empty() ? 255 : planes.mask[i];
  }
  return true;
}

// The composite stored by version 4+ writers, as raw channels or as JPEG.
bool ReadComposite(const Source& src, const Block& bank, const Picture& pic, Image& out) {
  const auto data = src.data;
  Reader r(data.first(bank.end));
  r.seek(bank.start);
  const std::uint32_t chunk = r.u32le();
  const std::uint32_t count = r.u32le();
  if (!r.ok() || chunk < 8 || chunk > bank.end - bank.start) return false;
  const auto blocks = ListBlocks(data, bank.start + chunk, bank.end, pic.major);

  struct Attributes {
    int width, height, depth, compression, type;
  };
  std::vector<Attributes> attributes;
  std::size_t image = 0;  // index of the next image block among the attributes
  for (const Block& b : blocks) {
    if (b.id == kCompositeAttributes) {
      if (attributes.size() >= count) continue;
      Reader a(data.first(b.end));
      a.seek(b.start + 4);
      Attributes at{};
      at.width = a.i32le();
      at.height = a.i32le();
      at.depth = a.u16le();
      at.compression = a.u16le();
      a.skip(2 + 4);
      at.type = a.u16le();
      if (!a.ok()) return false;
      attributes.push_back(at);
      continue;
    }
    if (b.id != kJpegImage && b.id != kCompositeImage) continue;
    if (image >= attributes.size()) return false;
    const Attributes at = attributes[image++];
    if (at.type != 0) continue;  // a thumbnail
    if (b.id == kJpegImage) {
      Reader j(data.first(b.end));
      j.seek(b.start);
      const std::uint32_t jchunk = j.u32le();
      const std::uint32_t size = j.u32le();
      if (!j.ok() || jchunk > b.end - b.start || size > b.end - b.start - jchunk) return false;
      Source jpeg = src;
      jpeg.data = data.subspan(b.start + jchunk, size);
      return ReadJpeg(jpeg, out);
    }
    const auto after = AfterFirstChunk(data, b, pic.major);
    if (!after) return false;
    const auto channels = ListBlocks(data, *after, b.end, pic.major);
    Palette palette = pic.palette;
    for (const Block& c : channels) {
      if (c.id == kColourPalette && !ReadPalette(data, c, pic.major, palette)) return false;
    }
    if (at.depth != 1 && at.depth != 4 && at.depth != 8 && at.depth != 24) return false;
    return DecodeBitmap(data, channels, pic, at.compression, at.depth, palette, at.width,
                        at.height, out);
  }
  return false;
}

// Normal blending of a straight-alpha layer onto a straight-alpha canvas.
void Blend(const Image& layer, int left, int top, unsigned opacity, Image& canvas) {
  for (int y = 0; y < layer.height; ++y) {
    const int cy = top + y;
    if (cy < 0 || cy >= canvas.height) continue;
    const std::uint8_t* s = layer.Row(y);
    for (int x = 0; x < layer.width; ++x, s += 4) {
      const int cx = left + x;
      if (cx < 0 || cx >= canvas.width) continue;
      std::uint8_t* d = canvas.At(cx, cy);
      const unsigned a = (s[3] * opacity + 127) / 255;
      if (a == 0) continue;
      const unsigned da = d[3];
      const unsigned outA = a * 255 + da * (255 - a);  // scaled by 255
      for (int c = 0; c < 3; ++c) {
        const unsigned v = s[c] * a * 255 + d[c] * da * (255 - a);
        d[c] = static_cast<std::uint8_t>((v + outA / 2) / outA);
      }
      d[3] = static_cast<std::uint8_t>((outA + 127) / 255);
    }
  }
}

struct Rect {
  std::int32_t left, top, right, bottom;
};

Rect ReadRect(Reader& r) {
  Rect rc;
  rc.left = r.i32le();
  rc.top = r.i32le();
  rc.right = r.i32le();
  rc.bottom = r.i32le();
  return rc;
}

bool BlendLayers(std::span<const std::uint8_t> data, const Block& bank, const Picture& pic,
                 Image& out) {
  if (pic.depth != 1 && pic.depth != 4 && pic.depth != 8 && pic.depth != 24) return false;
  // The canvas is allocated before any layer proves its data; a tiny file
  // cannot describe a huge canvas worth blending.
  const std::uint64_t area = static_cast<std::uint64_t>(pic.width) * pic.height;
  if (area > std::max<std::uint64_t>(kSmallCanvas, data.size() * kMaxDeflateRatio)) return false;
  if (!out.Allocate(pic.width, pic.height, 4, 0)) return false;
  for (const Block& layer : ListBlocks(data, bank.start, bank.end, pic.major)) {
    if (layer.id != kLayer) continue;
    Reader r(data.first(layer.end));
    r.seek(layer.start);
    std::size_t channelsStart;
    std::uint32_t chunk = 0;
    if (pic.major >= 4) {
      chunk = r.u32le();
      r.skip(r.u16le());  // name
    } else {
      r.skip(256);
    }
    const int type = r.u8();
    const Rect image = ReadRect(r);
    const Rect saved = ReadRect(r);
    const unsigned opacity = r.u8();
    r.u8();  // blend mode: every layer is blended normally
    const bool visible = (r.u8() & 1) != 0;
    if (!r.ok()) return false;
    if (pic.major >= 4) {
      if (type != 1 && type != 2) continue;  // vector, adjustment, group... layers
      if (chunk > layer.end - layer.start) return false;
      // Then the layer's bitmap chunk (newer writers put a block before it).
      Reader e(data.first(layer.end));
      e.seek(layer.start + chunk);
      if (e.match(std::string_view("~BK\0", 4))) {
        e.skip(2);
        e.skip(e.u32le());
      }
      const std::size_t bitmapChunk = e.pos();
      const std::uint32_t length = e.u32le();
      if (!e.ok() || length > layer.end - bitmapChunk) return false;
      channelsStart = bitmapChunk + length;
    } else {
      if (layer.initialLength > layer.end - layer.start) return false;
      channelsStart = layer.start + layer.initialLength;
    }
    if (!visible || opacity == 0) continue;
    const std::int64_t w = static_cast<std::int64_t>(saved.right) - saved.left;
    const std::int64_t h = static_cast<std::int64_t>(saved.bottom) - saved.top;
    if (w == 0 || h == 0) continue;  // an empty layer
    Image pixels;
    if (!DimensionsOk(w, h) ||
        !DecodeBitmap(data, ListBlocks(data, channelsStart, layer.end, pic.major), pic,
                      pic.compression, pic.depth, pic.palette, static_cast<int>(w),
                      static_cast<int>(h), pixels)) {
      return false;
    }
    const std::int64_t left = static_cast<std::int64_t>(image.left) + saved.left;
    const std::int64_t top = static_cast<std::int64_t>(image.top) + saved.top;
    if (left >= pic.width || top >= pic.height || left + w <= 0 || top + h <= 0) continue;
    Blend(pixels, static_cast<int>(left), static_cast<int>(top), opacity, out);
  }
  return true;
}

bool DecodePsp(const Source& src, Image& out) {
  const auto data = src.data;
  Reader r(data);
  if (!r.match(std::string_view(kSignature, sizeof kSignature - 1))) return false;
  r.seek(32);
  Picture pic;
  pic.major = r.u16le();
  r.u16le();  // minor
  if (!r.ok() || pic.major < 3 || pic.major > 20) return false;

  const auto blocks = ListBlocks(data, r.pos(), data.size(), pic.major);
  const Block* attributes = nullptr;
  const Block* layers = nullptr;
  const Block* composite = nullptr;
  for (const Block& b : blocks) {
    if (b.id == kImageAttributes && !attributes) attributes = &b;
    if (b.id == kLayerBank && !layers) layers = &b;
    if (b.id == kCompositeBank && !composite && pic.major >= 4) composite = &b;
    if (b.id == kColourPalette && !pic.hasPalette) {
      pic.hasPalette = ReadPalette(data, b, pic.major, pic.palette);
      if (!pic.hasPalette) return false;
    }
  }
  if (!attributes || !ReadAttributes(data, *attributes, pic)) return false;
  if (pic.compression > kLz77) return false;
  if (!pic.hasPalette && pic.depth < 8) pic.palette = GreyPalette(1 << pic.depth);

  if (composite && ReadComposite(src, *composite, pic, out)) return true;
  return layers && BlendLayers(data, *layers, pic, out);
}

}  // namespace

bool ReadPsp(const Source& src, Image& out) {
  try {
    return DecodePsp(src, out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace formats
