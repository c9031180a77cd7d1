// WordPerfect Graphics (.wpg), versions 1 and 2. Only the first bitmap of a
// file is read; files with vector drawings only load as false.
//
// Header (16 bytes): FF "WPC", u32 offset of the first record, product,
// file type 0x16, major version 1 or 2, minor version, u16 encryption key
// (must be 0), u16 reserved.
#include <algorithm>
#include <bitset>
#include <exception>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {

namespace {

// The default colour map of version 1 files (an EGA/VGA style table of 6-bit
// DAC values times four), used when a file has no colour map record.
constexpr std::uint8_t kWpg1Default[256][3] = {
    {0, 0, 0},       {0, 0, 168},     {0, 168, 0},     {0, 168, 168},   {168, 0, 0},
    {168, 0, 168},   {168, 84, 0},    {168, 168, 168}, {84, 84, 84},    {84, 84, 252},
    {84, 252, 84},   {84, 252, 252},  {252, 84, 84},   {252, 84, 252},  {252, 252, 84},
    {252, 252, 252}, {0, 0, 0},       {20, 20, 20},    {32, 32, 32},    {44, 44, 44},
    {56, 56, 56},    {68, 68, 68},    {80, 80, 80},    {96, 96, 96},    {112, 112, 112},
    {128, 128, 128}, {144, 144, 144}, {160, 160, 160}, {180, 180, 180}, {200, 200, 200},
    {224, 224, 224}, {252, 252, 252}, {0, 0, 252},     {64, 0, 252},    {124, 0, 252},
    {188, 0, 252},   {252, 0, 252},   {252, 0, 188},   {252, 0, 124},   {252, 0, 64},
    {252, 0, 0},     {252, 64, 0},    {252, 124, 0},   {252, 188, 0},   {252, 252, 0},
    {188, 252, 0},   {124, 252, 0},   {64, 252, 0},    {0, 252, 0},     {0, 252, 64},
    {0, 252, 124},   {0, 252, 188},   {0, 252, 252},   {0, 188, 252},   {0, 124, 252},
    {0, 64, 252},    {124, 124, 252}, {156, 124, 252}, {188, 124, 252}, {220, 124, 252},
    {252, 124, 252}, {252, 124, 220}, {252, 124, 188}, {252, 124, 156}, {252, 124, 124},
    {252, 156, 124}, {252, 188, 124}, {252, 220, 124}, {252, 252, 124}, {220, 252, 124},
    {188, 252, 124}, {156, 252, 124}, {124, 252, 124}, {124, 252, 156}, {124, 252, 188},
    {124, 252, 220}, {124, 252, 252}, {124, 220, 252}, {124, 188, 252}, {124, 156, 252},
    {180, 180, 252}, {196, 180, 252}, {216, 180, 252}, {232, 180, 252}, {252, 180, 252},
    {252, 180, 232}, {252, 180, 216}, {252, 180, 196}, {252, 180, 180}, {252, 196, 180},
    {252, 216, 180}, {252, 232, 180}, {252, 252, 180}, {232, 252, 180}, {216, 252, 180},
    {196, 252, 180}, {180, 220, 180}, {180, 252, 196}, {180, 252, 216}, {180, 252, 232},
    {180, 252, 252}, {180, 232, 252}, {180, 216, 252}, {180, 196, 252}, {0, 0, 112},
    {28, 0, 112},    {56, 0, 112},    {84, 0, 112},    {112, 0, 112},   {112, 0, 84},
    {112, 0, 56},    {112, 0, 28},    {112, 0, 0},     {112, 28, 0},    {112, 56, 0},
    {112, 84, 0},    {112, 112, 0},   {84, 112, 0},    {56, 112, 0},    {28, 112, 0},
    {0, 112, 0},     {0, 112, 28},    {0, 112, 56},    {0, 112, 84},    {0, 112, 112},
    {0, 84, 112},    {0, 56, 112},    {0, 28, 112},    {56, 56, 112},   {68, 56, 112},
    {84, 56, 112},   {96, 56, 112},   {112, 56, 112},  {112, 56, 96},   {112, 56, 84},
    {112, 56, 68},   {112, 56, 56},   {112, 68, 56},   {112, 84, 56},   {112, 96, 56},
    {112, 112, 56},  {96, 112, 56},   {84, 112, 56},   {68, 112, 56},   {56, 112, 56},
    {56, 112, 69},   {56, 112, 84},   {56, 112, 96},   {56, 112, 112},  {56, 96, 112},
    {56, 84, 112},   {56, 68, 112},   {80, 80, 112},   {88, 80, 112},   {96, 80, 112},
    {104, 80, 112},  {112, 80, 112},  {112, 80, 104},  {112, 80, 96},   {112, 80, 88},
    {112, 80, 80},   {112, 88, 80},   {112, 96, 80},   {112, 104, 80},  {112, 112, 80},
    {104, 112, 80},  {96, 112, 80},   {88, 112, 80},   {80, 112, 80},   {80, 112, 88},
    {80, 112, 96},   {80, 112, 104},  {80, 112, 112},  {80, 114, 112},  {80, 96, 112},
    {80, 88, 112},   {0, 0, 64},      {16, 0, 64},     {32, 0, 64},     {48, 0, 64},
    {64, 0, 64},     {64, 0, 48},     {64, 0, 32},     {64, 0, 16},     {64, 0, 0},
    {64, 16, 0},     {64, 32, 0},     {64, 48, 0},     {64, 64, 0},     {48, 64, 0},
    {32, 64, 0},     {16, 64, 0},     {0, 64, 0},      {0, 64, 16},     {0, 64, 32},
    {0, 64, 48},     {0, 64, 64},     {0, 48, 64},     {0, 32, 64},     {0, 16, 64},
    {32, 32, 64},    {40, 32, 64},    {48, 32, 64},    {56, 32, 64},    {64, 32, 64},
    {64, 32, 56},    {64, 32, 48},    {64, 32, 40},    {64, 32, 32},    {64, 40, 32},
    {64, 48, 32},    {64, 56, 32},    {64, 64, 32},    {56, 64, 32},    {48, 64, 32},
    {40, 64, 32},    {32, 64, 32},    {32, 64, 40},    {32, 64, 48},    {32, 64, 56},
    {32, 64, 64},    {32, 56, 64},    {32, 48, 64},    {32, 40, 64},    {44, 44, 64},
    {48, 44, 64},    {52, 44, 64},    {60, 44, 64},    {64, 44, 64},    {64, 44, 60},
    {64, 44, 52},    {64, 44, 48},    {64, 44, 44},    {64, 48, 44},    {64, 52, 44},
    {64, 60, 44},    {64, 64, 44},    {60, 64, 44},    {52, 64, 44},    {48, 64, 44},
    {44, 64, 44},    {44, 64, 48},    {44, 64, 52},    {44, 64, 60},    {44, 64, 64},
    {44, 60, 64},    {44, 55, 64},    {44, 48, 64},    {0, 0, 0},       {0, 0, 0},
    {0, 0, 0},       {0, 0, 0},       {0, 0, 0},       {0, 0, 0},       {0, 0, 0},
    {0, 0, 0}};

// The colours a file's palette records set, over a default chosen once the
// bitmap's depth is known.
struct ColourMap {
  Palette colours{};
  std::bitset<256> set;

  // Reads `count` entries from `first` on, `stride` bytes each (RGB first).
  void Read(Reader& r, unsigned first, unsigned count, unsigned stride) {
    for (unsigned i = 0; i < count && r.has(stride); ++i) {
      const auto e = r.bytes(stride);
      if (first + i < 256) {
        colours[first + i] = {e[0], e[1], e[2]};
        set.set(first + i);
      }
    }
  }

  Palette Over(const Palette& base) const {
    Palette p = base;
    for (int i = 0; i < 256; ++i) {
      if (set[i]) p[i] = colours[i];
    }
    return p;
  }
};

Palette Wpg1DefaultPalette() {
  // 6-bit DAC values times four: 252 is full intensity.
  const auto scale = [](std::uint8_t v) {
    return static_cast<std::uint8_t>(std::min(255, v * 255 / 252));
  };
  Palette p{};
  for (int i = 0; i < 256; ++i) {
    p[i] = {scale(kWpg1Default[i][0]), scale(kWpg1Default[i][1]), scale(kWpg1Default[i][2])};
  }
  return p;
}

// WPG's variable-length number: one byte below 0xFF; else FF and a u16; when
// that has bit 15 set, it is the high half of a 31-bit value and a low u16
// follows.
std::uint32_t ReadVarLength(Reader& r) {
  std::uint32_t v = r.u8();
  if (v < 0xFF) return v;
  v = r.u16le();
  if (v & 0x8000) v = ((v & 0x7FFF) << 16) | r.u16le();
  return v;
}

// Collects the unpacked bytes of a bitmap, growing only as data arrives, so a
// damaged file that promises a huge picture allocates little before failing.
class Unpacked {
 public:
  Unpacked(std::size_t rowBytes, std::size_t total) : rowBytes_(rowBytes), total_(total) {}

  bool full() const { return bytes_.size() >= total_; }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

  void Put(std::span<const std::uint8_t> data, bool invert = false) {
    for (const std::uint8_t b : data) {
      if (full()) return;
      bytes_.push_back(invert ? static_cast<std::uint8_t>(~b) : b);
    }
  }
  void Run(std::uint8_t value, std::size_t count) {
    bytes_.insert(bytes_.end(), std::min(count, total_ - bytes_.size()), value);
  }
  // Appends `times` copies of the last row's worth of bytes; false when not
  // even one row has been written.
  bool RepeatRow(std::size_t times) {
    if (bytes_.size() < rowBytes_) return false;
    for (std::size_t t = 0; t < times && !full(); ++t) {
      const std::size_t from = bytes_.size() - rowBytes_;
      const std::size_t n = std::min(rowBytes_, total_ - bytes_.size());
      for (std::size_t i = 0; i < n; ++i) bytes_.push_back(bytes_[from + i]);
    }
    return true;
  }

 private:
  std::size_t rowBytes_;
  std::size_t total_;
  std::vector<std::uint8_t> bytes_;
};

// Version 1 RLE: 81-FF n = run of the next byte (n & 7F times), 01-7F =
// that many literal bytes, 80 n = n bytes FF, 00 n = n copies of the previous
// row. Runs cross row ends. False when the data ends before the picture.
bool UnpackWpg1(Reader& r, Unpacked& out) {
  while (!out.full()) {
    const std::uint8_t b = r.u8();
    if (!r.ok()) return false;
    if (b == 0x00) {
      const std::uint8_t n = r.u8();
      if (!r.ok() || !out.RepeatRow(n)) return false;
    } else if (b < 0x80) {
      const auto literal = r.bytes(b);
      if (!r.ok()) return false;
      out.Put(literal);
    } else if (b == 0x80) {
      const std::uint8_t n = r.u8();
      if (!r.ok()) return false;
      out.Run(0xFF, n);
    } else {
      const std::uint8_t v = r.u8();
      if (!r.ok()) return false;
      out.Run(v, b & 0x7F);
    }
  }
  return true;
}

// Version 2 RLE, counting in samples of 1-8 bytes (7D s sets the size):
// 00-7C = n + 1 literal samples, 80-FC = n + 1 copies of the next sample,
// 7F n / FF n = n + 1 black / white samples (all bits 0 / 1), FD n = n + 1
// more copies of the last repeated sample, FE n = n + 1 copies of the
// previous row, 7E = invert the bytes that follow (toggles).
bool UnpackWpg2(Reader& r, Unpacked& out) {
  std::size_t sampleSize = 1;
  std::uint8_t sample[8] = {};
  bool invert = false;
  while (!out.full()) {
    const std::uint8_t b = r.u8();
    if (!r.ok()) return false;
    if (b == 0x7E) {
      invert = !invert;
    } else if (b == 0x7D || b == 0x7F || b >= 0xFD) {
      const std::uint8_t n = r.u8();
      if (!r.ok()) return false;
      if (b == 0x7D) {
        if (n < 1 || n > 8) return false;
        sampleSize = n;
      } else if (b == 0x7F || b == 0xFF) {
        const std::uint8_t v = (b == 0xFF) != invert ? 0xFF : 0x00;
        out.Run(v, (n + 1u) * sampleSize);
      } else if (b == 0xFD) {
        for (unsigned i = 0; i <= n && !out.full(); ++i) out.Put({sample, sampleSize}, invert);
      } else if (!out.RepeatRow(n + 1u)) {  // 0xFE
        return false;
      }
    } else if (b & 0x80) {
      const auto value = r.bytes(sampleSize);
      if (!r.ok()) return false;
      std::copy(value.begin(), value.end(), sample);
      for (unsigned i = 0; i <= (b & 0x7Fu) && !out.full(); ++i) {
        out.Put({sample, sampleSize}, invert);
      }
    } else {
      const auto literal = r.bytes((b + 1u) * sampleSize);
      if (!r.ok()) return false;
      out.Put(literal, invert);
    }
  }
  return true;
}

bool Same(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Colours within a DAC step of each other (maps store 168 or 170 for the same
// EGA intensity).
bool Near(const Rgb& a, const Rgb& b) {
  const auto close = [](int x, int y) { return x - y <= 4 && y - x <= 4; };
  return close(a.r, b.r) && close(a.g, b.g) && close(a.b, b.b);
}

// Turns unpacked rows of `bpp` bits into the picture.
bool Convert(const std::vector<std::uint8_t>& bytes, int width, int height, int bpp,
             const Palette& palette, Image& out) {
  const std::size_t rowBytes = RowBytes(width, bpp);
  Image img;
  if (!img.Allocate(width, height, 3)) return false;
  std::vector<std::uint8_t> idx(bpp == 24 ? 0 : width);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = bytes.data() + rowBytes * y;
    if (bpp == 24) {
      std::copy(row, row + static_cast<std::size_t>(width) * 3, img.Row(y));
    } else {
      UnpackBits(row, bpp, width, idx.data());
      PaletteToRgb(idx.data(), width, palette, img.Row(y));
    }
  }
  out = std::move(img);
  return true;
}

// 1-bit pictures are black and white: files often carry a full colour map
// meant for other objects, whose first two entries (black, dark blue in the
// default map) would spoil them. Only a map that sets both entries to two
// other, distinct colours is taken as the bitmap's own.
Palette MonoPalette(const ColourMap& map, const Palette& defaults) {
  const Palette p = map.Over(defaults);
  if (map.set[0] && map.set[1] && !Same(p[0], p[1]) &&
      !(Near(p[0], defaults[0]) && Near(p[1], defaults[1]))) {
    return p;
  }
  return GreyPalette(2);
}

struct BitmapHeader {
  int width = 0;
  int height = 0;
  int bpp = 0;
};

// Checks the bitmap's size and returns the unpacking buffer for it.
bool Prepare(const BitmapHeader& h, std::size_t& rowBytes, std::size_t& total) {
  if (h.bpp != 1 && h.bpp != 2 && h.bpp != 4 && h.bpp != 8 && h.bpp != 24) return false;
  if (!DimensionsOk(h.width, h.height)) return false;
  rowBytes = RowBytes(h.width, h.bpp);
  total = rowBytes * static_cast<std::size_t>(h.height);
  return rowBytes != 0;
}

bool ReadVersion1(Reader& r, Image& out) {
  ColourMap map;
  while (r.remaining() >= 2) {
    const std::uint8_t type = r.u8();
    const std::uint32_t length = ReadVarLength(r);
    if (!r.ok()) return false;
    const std::size_t end = r.pos() + length;
    Reader body(r.bytes(std::min<std::size_t>(length, r.remaining())));
    switch (type) {
      case 0x0E: {  // colour map: first index, count, RGB triples
        const unsigned first = body.u16le();
        const unsigned count = body.u16le();
        map.Read(body, first, count, 3);
        break;
      }
      case 0x0B:    // bitmap type 1: width, height, depth, resolution
      case 0x14: {  // bitmap type 2: rotation and a rectangle first (not applied)
        if (type == 0x14) body.skip(10);
        BitmapHeader h;
        h.width = body.u16le();
        h.height = body.u16le();
        h.bpp = body.u16le();
        body.skip(4);
        std::size_t rowBytes = 0, total = 0;
        if (!body.ok() || !Prepare(h, rowBytes, total)) return false;
        Unpacked bits(rowBytes, total);
        if (!UnpackWpg1(body, bits)) return false;
        const Palette defaults = Wpg1DefaultPalette();
        const Palette pal = h.bpp == 1 ? MonoPalette(map, defaults) : map.Over(defaults);
        return Convert(bits.bytes(), h.width, h.height, h.bpp, pal, out);
      }
      case 0x10:  // end of WPG data
        return false;
      default:
        break;
    }
    if (end > r.size()) return false;
    r.seek(end);
  }
  return false;
}

bool ReadVersion2(Reader& r, Image& out) {
  ColourMap map;
  while (r.remaining() >= 2) {
    r.u8();  // record class
    const std::uint8_t type = r.u8();
    ReadVarLength(r);  // extension
    const std::uint32_t length = ReadVarLength(r);
    if (!r.ok()) return false;
    const std::size_t end = r.pos() + length;
    Reader body(r.bytes(std::min<std::size_t>(length, r.remaining())));
    switch (type) {
      case 0x0C: {  // colour palette: first index, count, RGBA
        const unsigned first = body.u16le();
        const unsigned count = body.u16le();
        map.Read(body, first, count, 4);
        break;
      }
      case 0x0E: {  // bitmap data: width, height, depth code, compression
        BitmapHeader h;
        h.width = body.u16le();
        h.height = body.u16le();
        const int depth = body.u8();
        const int compression = body.u8();
        static constexpr int kBpp[9] = {0, 1, 2, 4, 8, 0, 0, 0, 24};
        h.bpp = depth >= 0 && depth <= 8 ? kBpp[depth] : 0;
        std::size_t rowBytes = 0, total = 0;
        if (!body.ok() || compression > 1 || !Prepare(h, rowBytes, total)) return false;
        Unpacked bits(rowBytes, total);
        if (compression == 0) {
          if (!Holds(body, total)) return false;
          bits.Put(body.bytes(total));
        } else if (!UnpackWpg2(body, bits)) {
          return false;
        }
        // Without a palette record, version 2 bitmaps are grey ramps.
        const Palette base = h.bpp == 24 ? Palette{} : GreyPalette(1 << h.bpp);
        const Palette pal = h.bpp == 1 ? MonoPalette(map, base) : map.Over(base);
        return Convert(bits.bytes(), h.width, h.height, h.bpp, pal, out);
      }
      case 0x02:  // end of WPG data
        return false;
      default:
        break;
    }
    if (end > r.size()) return false;
    r.seek(end);
  }
  return false;
}

}  // namespace

bool ReadWpg(const Source& src, Image& out) {
  Reader r(src.data);
  if (!r.match("\xFFWPC")) return false;
  const std::uint32_t first = r.u32le();
  r.u8();  // product
  const std::uint8_t fileType = r.u8();
  const std::uint8_t major = r.u8();
  r.u8();  // minor
  const std::uint16_t encryption = r.u16le();
  if (!r.ok() || fileType != 0x16 || encryption != 0 || first < 16) return false;
  if (!r.seek(first)) return false;
  try {
    if (major == 1) return ReadVersion1(r, out);
    if (major == 2) return ReadVersion2(r, out);
  } catch (const std::exception&) {
    // bad_alloc while collecting a very large bitmap.
  }
  return false;
}

}  // namespace formats
