// Netpbm pictures (.pbm .pgm .ppm .pnm): P1-P6 in plain (ASCII) and raw form,
// and P7 (PAM). Only the first picture of a file holding several is read.
#include <cstring>
#include <string>
#include <string_view>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Reads header text and plain samples; '#' comments count as white space.
class Text {
 public:
  explicit Text(std::span<const std::uint8_t> d, std::size_t pos) : d_(d), pos_(pos) {}
  std::size_t pos() const { return pos_; }

  void SkipSpace() {
    while (pos_ < d_.size()) {
      if (d_[pos_] == '#') {
        while (pos_ < d_.size() && d_[pos_] != '\n' && d_[pos_] != '\r') ++pos_;
      } else if (IsSpace(d_[pos_])) {
        ++pos_;
      } else {
        break;
      }
    }
  }
  // A decimal number after optional white space; false when none or too big.
  bool Number(std::uint32_t& v) {
    SkipSpace();
    if (pos_ >= d_.size() || !IsDigit(d_[pos_])) return false;
    std::uint64_t n = 0;
    while (pos_ < d_.size() && IsDigit(d_[pos_])) {
      n = n * 10 + (d_[pos_++] - '0');
      if (n > 0xFFFFFFFFu) return false;
    }
    v = static_cast<std::uint32_t>(n);
    return true;
  }
  // One plain-PBM digit: 0 or 1, with or without separators.
  bool Bit(std::uint32_t& v) {
    SkipSpace();
    if (pos_ >= d_.size() || (d_[pos_] != '0' && d_[pos_] != '1')) return false;
    v = d_[pos_++] - '0';
    return true;
  }
  // The single white-space byte that ends a raw header.
  bool EndOfHeader() {
    if (pos_ >= d_.size() || !IsSpace(d_[pos_])) return false;
    ++pos_;
    return true;
  }
  // One PAM header line, without its newline; false at the end of the data.
  bool Line(std::string_view& line) {
    if (pos_ >= d_.size()) return false;
    const std::size_t start = pos_;
    while (pos_ < d_.size() && d_[pos_] != '\n') ++pos_;
    line = std::string_view(reinterpret_cast<const char*>(d_.data()) + start, pos_ - start);
    if (pos_ < d_.size()) ++pos_;
    while (!line.empty() && IsSpace(static_cast<std::uint8_t>(line.back()))) line.remove_suffix(1);
    while (!line.empty() && IsSpace(static_cast<std::uint8_t>(line.front()))) line.remove_prefix(1);
    return true;
  }

 private:
  std::span<const std::uint8_t> d_;
  std::size_t pos_;
};

enum class Layout { Bilevel, Grey, GreyAlpha, Rgb, RgbAlpha };

struct Header {
  std::uint32_t width = 0, height = 0, depth = 0, maxval = 0;
  Layout layout = Layout::Grey;
  bool plain = false;
  bool bitmap = false;        // PBM: packed bits, 1 = black
  std::size_t dataStart = 0;
};

bool ParseNumber(std::string_view s, std::uint32_t& v) {
  if (s.empty() || s.size() > 10) return false;
  std::uint64_t n = 0;
  for (char c : s) {
    if (!IsDigit(static_cast<std::uint8_t>(c))) return false;
    n = n * 10 + (c - '0');
  }
  if (n > 0xFFFFFFFFu) return false;
  v = static_cast<std::uint32_t>(n);
  return true;
}

bool ParsePam(Text& t, Header& h) {
  std::string tuple;
  bool gotW = false, gotH = false, gotD = false, gotM = false;
  std::string_view line;
  // The rest of the "P7" line is empty; then KEY value lines until ENDHDR.
  if (!t.Line(line) || !line.empty()) return false;
  for (int lines = 0; lines < 1000; ++lines) {
    if (!t.Line(line)) return false;
    if (line.empty() || line.front() == '#') continue;
    const std::size_t sp = line.find_first_of(" \t");
    const std::string_view key = line.substr(0, sp);
    std::string_view value = sp == std::string_view::npos ? std::string_view() : line.substr(sp + 1);
    while (!value.empty() && IsSpace(static_cast<std::uint8_t>(value.front()))) value.remove_prefix(1);
    if (key == "ENDHDR") {
      if (!gotW || !gotH || !gotD || !gotM) return false;
      h.dataStart = t.pos();
      if (tuple == "BLACKANDWHITE") {
        h.layout = Layout::Bilevel;
      } else if (tuple == "BLACKANDWHITE_ALPHA" || tuple == "GRAYSCALE_ALPHA") {
        h.layout = Layout::GreyAlpha;
      } else if (tuple == "RGB_ALPHA") {
        h.layout = Layout::RgbAlpha;
      } else if (tuple == "RGB") {
        h.layout = Layout::Rgb;
      } else if (tuple == "GRAYSCALE") {
        h.layout = Layout::Grey;
      } else {  // unknown or missing tuple type: go by the depth
        static constexpr Layout kByDepth[] = {Layout::Grey, Layout::GreyAlpha, Layout::Rgb, Layout::RgbAlpha};
        if (h.depth < 1 || h.depth > 4) return false;
        h.layout = kByDepth[h.depth - 1];
      }
      static constexpr std::uint32_t kDepth[] = {1, 1, 2, 3, 4};
      // Extra channels beyond the tuple type's are skipped.
      return h.depth >= kDepth[static_cast<int>(h.layout)];
    }
    if (key == "WIDTH") {
      gotW = ParseNumber(value, h.width);
    } else if (key == "HEIGHT") {
      gotH = ParseNumber(value, h.height);
    } else if (key == "DEPTH") {
      gotD = ParseNumber(value, h.depth);
    } else if (key == "MAXVAL") {
      gotM = ParseNumber(value, h.maxval);
    } else if (key == "TUPLTYPE") {
      if (!tuple.empty()) tuple += ' ';
      tuple += value;
    } else {
      return false;
    }
  }
  return false;
}

bool ParseHeader(std::span<const std::uint8_t> d, Header& h) {
  if (d.size() < 3 || d[0] != 'P' || d[1] < '1' || d[1] > '7') return false;
  const int kind = d[1] - '0';
  Text t(d, 2);
  if (kind == 7) return ParsePam(t, h) && h.maxval >= 1 && h.maxval <= 65535;
  if (!IsSpace(d[2]) && d[2] != '#') return false;
  h.plain = kind <= 3;
  h.bitmap = kind == 1 || kind == 4;
  h.layout = h.bitmap ? Layout::Bilevel : (kind == 3 || kind == 6) ? Layout::Rgb : Layout::Grey;
  h.depth = (kind == 3 || kind == 6) ? 3 : 1;
  if (!t.Number(h.width) || !t.Number(h.height)) return false;
  h.maxval = 1;
  if (!h.bitmap && (!t.Number(h.maxval) || h.maxval < 1 || h.maxval > 65535)) return false;
  if (!h.plain && !t.EndOfHeader()) return false;
  h.dataStart = t.pos();
  return true;
}

}  // namespace

bool ReadNetpbm(const Source& src, Image& out) {
  try {
    Header h;
    if (!ParseHeader(src.data, h) || !DimensionsOk(h.width, h.height)) return false;
    const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
    Reader r(src.data);
    r.seek(h.dataStart);
    const std::size_t sampleBytes = h.maxval > 255 ? 2 : 1;
    const std::size_t packedRow = RowBytes(h.width, 1);
    // Every sample takes at least one byte (plain: a digit; PBM raw: a bit).
    if (h.bitmap && !h.plain) {
      if (!Holds(r, packedRow, h.height)) return false;
    } else if (!Holds(r, pixels, h.plain ? h.depth : h.depth * sampleBytes)) {
      return false;
    }
    const bool alpha = h.layout == Layout::GreyAlpha || h.layout == Layout::RgbAlpha;
    if (!out.Allocate(static_cast<int>(h.width), static_cast<int>(h.height), alpha ? 4 : 3)) return false;

    Text text(src.data, h.dataStart);
    std::uint32_t s[4] = {0, 0, 0, 0};
    for (std::uint32_t y = 0; y < h.height; ++y) {
      const std::uint8_t* packed = nullptr;
      if (h.bitmap && !h.plain) packed = r.bytes(packedRow).data();
      for (std::uint32_t x = 0; x < h.width; ++x) {
        for (std::uint32_t c = 0; c < h.depth; ++c) {
          std::uint32_t v = 0;
          if (packed != nullptr) {
            v = (packed[x / 8] >> (7 - x % 8)) & 1;
          } else if (h.plain) {
            if (!(h.bitmap ? text.Bit(v) : text.Number(v))) return false;
          } else {
            v = sampleBytes == 2 ? r.u16be() : r.u8();
          }
          if (c < 4) s[c] = v;
        }
        std::uint8_t* p = out.At(static_cast<int>(x), static_cast<int>(y));
        switch (h.layout) {
          case Layout::Bilevel: {
            // PBM: 1 = black; PAM BLACKANDWHITE: 1 = white.
            const bool white = h.bitmap ? s[0] == 0 : s[0] != 0;
            p[0] = p[1] = p[2] = white ? 255 : 0;
            break;
          }
          case Layout::Grey:
          case Layout::GreyAlpha:
            p[0] = p[1] = p[2] = ScaleToByte(s[0], h.maxval);
            if (alpha) p[3] = ScaleToByte(s[1], h.maxval);
            break;
          case Layout::Rgb:
          case Layout::RgbAlpha:
            p[0] = ScaleToByte(s[0], h.maxval);
            p[1] = ScaleToByte(s[1], h.maxval);
            p[2] = ScaleToByte(s[2], h.maxval);
            if (alpha) p[3] = ScaleToByte(s[3], h.maxval);
            break;
        }
      }
    }
    return r.ok();
  } catch (...) {
    return false;
  }
}

}  // namespace formats
