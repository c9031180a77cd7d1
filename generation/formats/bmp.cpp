// Windows bitmaps: "BM" files (.bmp, .rle, .dib) and packed DIBs without
// the file header, as found in .dib files, metafiles and cursors.
#include <algorithm>
#include <bit>
#include <cstring>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

enum Compression : std::uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitfields = 3,
  kJpeg = 4,
  kPng = 5,
  kAlphaBitfields = 6,
};

// One channel of a BI_BITFIELDS mask, scaled to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;

  void Set(std::uint32_t m) {
    mask = m;
    shift = m ? std::countr_zero(m) : 0;
    max = m >> shift;
  }
  std::uint8_t Get(std::uint32_t v) const {
    if (max == 0) return 0;
    const std::uint64_t x = (v & mask) >> shift;
    return static_cast<std::uint8_t>((x * 255 + max / 2) / max);
  }
};

struct DibInfo {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = kRgb;
  Channel red, green, blue, alpha;
  Palette palette{};
  std::size_t end = 0;  // offset just past the colour table
};

// Parses BITMAPINFO (any header version) plus its masks and colour table.
bool ParseInfo(std::span<const std::uint8_t> data, DibInfo& info) {
  Reader r(data);
  const std::uint32_t size = r.u32le();
  if (!r.ok()) return false;
  std::uint32_t clrUsed = 0;
  int entryBytes = 4;
  bool haveMasks = false;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  if (size == 12) {  // OS/2 BITMAPCOREHEADER
    info.width = r.u16le();
    info.height = r.u16le();
    r.u16le();  // planes
    info.bits = r.u16le();
    entryBytes = 3;
  } else if (size == 40 || size == 52 || size == 56 || size == 108 || size == 124 ||
             (size >= 16 && size <= 64 && size % 4 == 0)) {  // the last: OS/2 2.x
    const std::int32_t w = r.i32le();
    const std::int32_t h = r.i32le();
    r.u16le();  // planes
    info.bits = r.u16le();
    if (size >= 20) info.compression = r.u32le();
    if (size >= 36) {
      r.skip(12);  // image size, resolution
      clrUsed = r.u32le();
    }
    if (!r.ok() || h == INT32_MIN) return false;
    info.width = w;
    info.topDown = h < 0;
    info.height = h < 0 ? -h : h;
    // OS/2 2.x uses 3 and 4 for Huffman and RLE24, which we do not read.
    if (size == 64 && (info.compression == 3 || info.compression == 4)) return false;
    const bool maskHeader = size == 52 || size == 56 || size == 108 || size == 124;
    if (maskHeader) {
      r.seek(40);
      for (int i = 0; i < (size >= 56 ? 4 : 3); ++i) masks[i] = r.u32le();
      haveMasks = true;
    } else if (size == 40 &&
               (info.compression == kBitfields || info.compression == kAlphaBitfields)) {
      // Masks follow a plain info header.
      r.seek(40);
      for (int i = 0; i < (info.compression == kAlphaBitfields ? 4 : 3); ++i) masks[i] = r.u32le();
      haveMasks = true;
    }
  } else {
    return false;
  }
  if (!r.ok() || info.width <= 0 || info.height <= 0) return false;
  if (size != 40 || !haveMasks) r.seek(size);

  switch (info.bits) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  const bool bitfields = info.compression == kBitfields || info.compression == kAlphaBitfields;
  if (bitfields) {
    if (!haveMasks || (info.bits != 16 && info.bits != 32)) return false;
    info.red.Set(masks[0]);
    info.green.Set(masks[1]);
    info.blue.Set(masks[2]);
  } else if (info.bits == 16) {
    info.red.Set(0x7C00);
    info.green.Set(0x03E0);
    info.blue.Set(0x001F);
  } else if (info.bits == 32) {
    info.red.Set(0x00FF0000);
    info.green.Set(0x0000FF00);
    info.blue.Set(0x000000FF);
  }
  // Alpha only where a header says which bits hold it.
  if ((info.bits == 16 || info.bits == 32) && haveMasks && size >= 56 &&
      (bitfields || info.compression == kRgb)) {
    info.alpha.Set(masks[3]);
  } else if (info.compression == kAlphaBitfields) {
    info.alpha.Set(masks[3]);
  }
  switch (info.compression) {
    case kRgb: case kBitfields: case kAlphaBitfields: case kJpeg: case kPng: break;
    case kRle8: if (info.bits != 8) return false; break;
    case kRle4: if (info.bits != 4) return false; break;
    default: return false;
  }

  // Colour table: biClrUsed entries, or all the bit count allows.
  std::size_t entries = clrUsed;
  if (entries == 0 && info.bits <= 8) entries = std::size_t{1} << info.bits;
  if (entries > 65536) return false;
  const std::size_t used = std::min<std::size_t>(entries, info.bits <= 8 ? (1u << info.bits) : 0);
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t b = r.u8(), g = r.u8(), rd = r.u8();
    if (entryBytes == 4) r.u8();
    if (i < used) info.palette[i] = {rd, g, b};
  }
  if (!r.ok()) return false;
  info.end = r.pos();
  return true;
}

void PutIndexRow(const DibInfo& info, const std::uint8_t* idx, std::uint8_t* out) {
  for (int x = 0; x < info.width; ++x, out += 3) {
    const Rgb& c = info.palette[idx[x]];
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
  }
}

// Uncompressed rows, bottom-up unless the height was negative.
bool DecodeRaw(const DibInfo& info, std::span<const std::uint8_t> bits, Image& out) {
  const std::size_t stride = RowBytes(info.width, info.bits, 4);
  const std::size_t last = RowBytes(info.width, info.bits, 1);
  if (stride == 0) return false;
  // The last row's padding may be missing; the pixels may not.
  if (bits.size() < last || (bits.size() - last) / stride < static_cast<std::size_t>(info.height - 1)) {
    return false;
  }
  const bool hasAlpha = info.alpha.mask != 0;
  if (!out.Allocate(info.width, info.height, hasAlpha ? 4 : 3)) return false;
  std::vector<std::uint8_t> idx(info.bits <= 8 ? info.width : 0);
  bool anyAlpha = false;
  for (int y = 0; y < info.height; ++y) {
    const std::uint8_t* s = bits.data() + stride * y;
    std::uint8_t* d = out.Row(info.topDown ? y : info.height - 1 - y);
    if (info.bits <= 8) {
      UnpackBits(s, info.bits, info.width, idx.data());
      for (int x = 0; x < info.width; ++x, d += out.channels) {
        const Rgb& c = info.palette[idx[x]];
        d[0] = c.r;
        d[1] = c.g;
        d[2] = c.b;
        if (hasAlpha) d[3] = 255;
      }
    } else if (info.bits == 24) {
      for (int x = 0; x < info.width; ++x, s += 3, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
    } else {
      const int bytes = info.bits / 8;
      for (int x = 0; x < info.width; ++x, s += bytes, d += out.channels) {
        const std::uint32_t v = bytes == 2 ? (s[0] | (s[1] << 8))
                                           : (s[0] | (s[1] << 8) | (s[2] << 16) |
                                              (static_cast<std::uint32_t>(s[3]) << 24));
        d[0] = info.red.Get(v);
        d[1] = info.green.Get(v);
        d[2] = info.blue.Get(v);
        if (hasAlpha) {
          d[3] = info.alpha.Get(v);
          anyAlpha |= d[3] != 0;
        }
      }
    }
  }
  if (hasAlpha && !anyAlpha) {
    // An alpha channel of zeros is an unused one: the picture is opaque.
    for (std::size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 255;
  }
  return true;
}

// BI_RLE8 / BI_RLE4. Pixels the data never reaches (deltas, short rows, a
// truncated stream) keep palette index 0.
bool DecodeRle(const DibInfo& info, std::span<const std::uint8_t> bits, Image& out) {
  if (!DimensionsOk(info.width, info.height)) return false;
  // Ends of line, deltas and an early end of bitmap let a few bytes cover any
  // area. Real RLE pictures need far more data than this for their size, so
  // it only refuses decompression bombs.
  const std::uint64_t pixels = static_cast<std::uint64_t>(info.width) * info.height;
  if (pixels > (1u << 20) && pixels / 1024 > bits.size()) return false;
  const bool four = info.compression == kRle4;
  const std::size_t w = static_cast<std::size_t>(info.width);
  std::vector<std::uint8_t> idx(w * info.height, 0);
  Reader r(bits);
  std::int64_t x = 0, y = 0;  // y counts rows in stored order
  auto put = [&](unsigned v) {
    if (x < info.width && y < info.height) idx[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(v);
    ++x;
  };
  while (r.has(2) && y < info.height) {
    const unsigned count = r.u8();
    const unsigned value = r.u8();
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      x += r.u8();
      y += r.u8();
    } else {  // literal run, padded to 16 bits
      const std::size_t n = four ? (value + 1) / 2 : value;
      const auto run = r.bytes(n);
      if (run.empty()) break;
      for (unsigned i = 0; i < value; ++i) put(four ? ((i & 1) ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
      if (n & 1) r.skip(1);
    }
  }
  if (!out.Allocate(info.width, info.height, 3)) return false;
  for (int row = 0; row < info.height; ++row) {
    PutIndexRow(info, idx.data() + w * row, out.Row(info.topDown ? row : info.height - 1 - row));
  }
  return true;
}

bool DecodePixels(const DibInfo& info, std::span<const std::uint8_t> bits, Image& out) {
  if (!DimensionsOk(info.width, info.height)) return false;
  switch (info.compression) {
    case kRle8:
    case kRle4:
      return DecodeRle(info, bits, out);
    case kJpeg:
    case kPng: {
      Source inner;
      inner.data = bits;
      Image img;
      const bool ok = info.compression == kJpeg ? ReadJpeg(inner, img) : ReadPng(inner, img);
      if (!ok) return false;
      out = std::move(img);
      return true;
    }
    default:
      return DecodeRaw(info, bits, out);
  }
}

}  // namespace

bool DecodeDib(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits, Image& out) {
  try {
    DibInfo info;
    if (!ParseInfo(header, info)) return false;
    if (bits.empty()) bits = header.subspan(info.end);
    return DecodePixels(info, bits, out);
  } catch (...) {
    return false;
  }
}

bool ReadBmp(const Source& src, Image& out) {
  try {
    const auto data = src.data;
    Reader r(data);
    if (!r.match("BM")) return DecodeDib(data, {}, out);  // packed DIB
    r.skip(8);  // file size, reserved
    const std::uint32_t offBits = r.u32le();
    if (!r.ok()) return false;
    const auto dib = data.subspan(14);
    DibInfo info;
    if (!ParseInfo(dib, info)) return false;
    // Trust bfOffBits when it points past the headers and into the file;
    // some writers leave it 0.
    std::size_t start = 14 + info.end;
    const std::uint32_t headerSize = dib[0] | (dib[1] << 8) | (dib[2] << 16) | (static_cast<std::uint32_t>(dib[3]) << 24);
    if (offBits >= 14 + std::uint64_t{headerSize} && offBits < data.size()) start = offBits;
    if (start > data.size()) return false;
    return DecodePixels(info, data.subspan(start), out);
  } catch (...) {
    return false;
  }
}

}  // namespace formats
