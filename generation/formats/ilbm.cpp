// Amiga IFF pictures: "FORM" files of type "ILBM" (interleaved bitplanes) or
// "PBM " (Deluxe Paint's chunky variant, one byte per pixel).
//
// Handled: 1 to 8 planes through CMAP, EHB (extra half-brite), HAM6 and HAM8,
// 24-bit and 32-bit deep RGB(A), ByteRun1 or uncompressed bodies, and the mask
// plane (masking 1), which becomes alpha. A transparent colour (masking 2) is
// ignored: paint programs set it on full-screen pictures for their background,
// and showing that background as white would be wrong more often than right.
#include <algorithm>
#include <cstring>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr std::uint32_t kCamgEhb = 0x80;
constexpr std::uint32_t kCamgHam = 0x800;

struct Bmhd {
  int width = 0;
  int height = 0;
  int planes = 0;
  int masking = 0;
  int compression = 0;
};

// ByteRun1 (PackBits) as one stream: a run that crosses the end of a plane row
// continues into the next row, which some writers rely on. Once the data runs
// out the rest reads as zeros.
class ByteRun1 {
 public:
  explicit ByteRun1(std::span<const std::uint8_t> data) : data_(data) {}

  void Fill(std::uint8_t* dst, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
      if (left_ == 0 && !Next()) {
        std::memset(dst + done, 0, n - done);
        return;
      }
      const std::size_t take = std::min(left_, n - done);
      if (literal_) {
        std::memcpy(dst + done, data_.data() + pos_, take);
        pos_ += take;
      } else {
        std::memset(dst + done, value_, take);
      }
      left_ -= take;
      done += take;
    }
  }

 private:
  // Reads the next packet header; false at the end of the data.
  bool Next() {
    while (pos_ < data_.size()) {
      const auto n = static_cast<std::int8_t>(data_[pos_++]);
      if (n >= 0) {
        literal_ = true;
        left_ = std::min<std::size_t>(static_cast<std::size_t>(n) + 1, data_.size() - pos_);
        if (left_ > 0) return true;
      } else if (n != -128) {
        if (pos_ >= data_.size()) return false;
        literal_ = false;
        value_ = data_[pos_++];
        left_ = static_cast<std::size_t>(1 - n);
        return true;
      }
    }
    return false;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  std::size_t left_ = 0;
  bool literal_ = false;
  std::uint8_t value_ = 0;
};

// Hands out the body one row (of planes or of chunky bytes) at a time.
class BodyRows {
 public:
  BodyRows(std::span<const std::uint8_t> body, bool compressed)
      : body_(body), compressed_(compressed), packed_(body) {}

  void Fill(std::uint8_t* dst, std::size_t n) {
    if (compressed_) {
      packed_.Fill(dst, n);
      return;
    }
    const std::size_t avail = pos_ < body_.size() ? std::min(n, body_.size() - pos_) : 0;
    if (avail > 0) std::memcpy(dst, body_.data() + pos_, avail);
    std::memset(dst + avail, 0, n - avail);
    pos_ += n;
  }

 private:
  std::span<const std::uint8_t> body_;
  bool compressed_;
  ByteRun1 packed_;
  std::size_t pos_ = 0;
};

// Bit x of a plane row, most significant bit first.
inline unsigned Bit(const std::uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }

}  // namespace

bool ReadIlbm(const Source& src, Image& out) {
  Reader r(src.data);
  if (!r.match("FORM")) return false;
  const std::uint32_t formSize = r.u32be();
  bool chunky = false;
  if (r.match("PBM ")) {
    chunky = true;
  } else if (!r.match("ILBM")) {
    return false;
  }
  // Some writers get the FORM size wrong; the file's end bounds it anyway.
  const std::size_t end = std::min<std::size_t>(src.data.size(), std::size_t{8} + formSize);

  Bmhd h;
  bool haveBmhd = false;
  std::vector<Rgb> cmap;
  std::uint32_t camg = 0;
  bool haveCamg = false;
  std::span<const std::uint8_t> body;
  bool haveBody = false;
  while (r.ok() && r.pos() + 8 <= end && !haveBody) {
    const auto id = r.bytes(4);
    const std::uint32_t len = r.u32be();
    if (!r.ok()) break;
    // A chunk cut short by the end of the file keeps what is there.
    const std::size_t avail = std::min<std::size_t>(len, end - r.pos());
    const auto chunk = r.bytes(avail);
    Reader c(chunk);
    if (avail == len && (len & 1) && r.pos() < end) r.skip(1);
    const std::string_view name(reinterpret_cast<const char*>(id.data()), 4);
    if (name == "BMHD") {
      h.width = c.u16be();
      h.height = c.u16be();
      c.skip(4);  // x, y
      h.planes = c.u8();
      h.masking = c.u8();
      h.compression = c.u8();
      if (!c.ok()) return false;
      haveBmhd = true;
    } else if (name == "CMAP") {
      cmap.clear();
      const std::size_t n = std::min<std::size_t>(c.size() / 3, 256);
      for (std::size_t i = 0; i < n; ++i) {
        Rgb v;
        v.r = c.u8();
        v.g = c.u8();
        v.b = c.u8();
        cmap.push_back(v);
      }
    } else if (name == "CAMG") {
      camg = c.u32be();
      haveCamg = true;
    } else if (name == "BODY") {
      if (!haveBmhd) return false;
      body = chunk;
      haveBody = true;
    }
  }
  if (!haveBmhd || !haveBody) return false;
  if (h.width <= 0 || h.height <= 0 || h.width > 32767 || h.height > 32767) return false;
  if (h.compression > 1) return false;

  const bool deep = !chunky && (h.planes == 24 || h.planes == 32);
  if (!deep && (h.planes < 1 || h.planes > 8)) return false;
  // Old files may lack CAMG: six planes with at most 16 stored colours can
  // only be HAM6.
  const bool ham = !chunky && !deep &&
                   (haveCamg ? (camg & kCamgHam) && (h.planes == 6 || h.planes == 8)
                             : h.planes == 6 && !cmap.empty() && cmap.size() <= 16);
  const bool hasMask = !chunky && h.masking == 1;
  const bool alpha = hasMask || (deep && h.planes == 32);

  // Bytes one picture row takes in the body, over all its planes.
  const std::size_t planeBytes = chunky ? RowBytes(h.width, 8, 2) : RowBytes(h.width, 1, 2);
  const int rowPlanes = chunky ? 1 : h.planes + (hasMask ? 1 : 0);
  const std::size_t rowBytes = planeBytes * rowPlanes;
  const std::uint64_t bodyBytes = static_cast<std::uint64_t>(rowBytes) * h.height;
  // Uncompressed bodies must be (nearly) all there; packed ones cannot expand
  // more than 64 times, which bounds the work a tiny file can ask for.
  if (h.compression == 0 && body.size() < bodyBytes) return false;
  if (h.compression == 1 && static_cast<std::uint64_t>(body.size()) * 64 < bodyBytes) return false;

  if (!out.Allocate(h.width, h.height, alpha ? 4 : 3, 255)) return false;

  // The palette: CMAP, or a grey ramp without one.
  Palette pal = GreyPalette(1 << std::min(h.planes, 8));
  int palCount = 1 << std::min(h.planes, 8);
  if (!cmap.empty()) {
    // Early writers stored 4-bit values in the high nibble: 0xF0 for full.
    const bool nibbles = std::all_of(cmap.begin(), cmap.end(), [](const Rgb& c) {
      return (c.r & 0x0F) == 0 && (c.g & 0x0F) == 0 && (c.b & 0x0F) == 0;
    });
    pal = Palette{};
    for (std::size_t i = 0; i < cmap.size(); ++i) {
      Rgb c = cmap[i];
      if (nibbles) {
        c.r = static_cast<std::uint8_t>(c.r | (c.r >> 4));
        c.g = static_cast<std::uint8_t>(c.g | (c.g >> 4));
        c.b = static_cast<std::uint8_t>(c.b | (c.b >> 4));
      }
      pal[i] = c;
    }
    palCount = static_cast<int>(cmap.size());
  }
  // Extra half-brite: the upper 32 colours are the lower 32 at half value. A
  // six-plane picture with only 32 colours stored is EHB even without CAMG.
  if (!chunky && !ham && h.planes == 6 && ((camg & kCamgEhb) || palCount <= 32)) {
    for (int i = 0; i < 32; ++i) {
      pal[32 + i] = {static_cast<std::uint8_t>(pal[i].r >> 1),
                     static_cast<std::uint8_t>(pal[i].g >> 1),
                     static_cast<std::uint8_t>(pal[i].b >> 1)};
    }
  }

  BodyRows rows(body, h.compression == 1);
  std::vector<std::uint8_t> line(rowBytes);
  std::vector<std::uint8_t> index(static_cast<std::size_t>(h.width));
  for (int y = 0; y < h.height; ++y) {
    rows.Fill(line.data(), line.size());
    std::uint8_t* dst = out.Row(y);
    const int ch = out.channels;

    if (chunky) {
      for (int x = 0; x < h.width; ++x) {
        const Rgb& c = pal[line[static_cast<std::size_t>(x)]];
        dst[x * ch] = c.r;
        dst[x * ch + 1] = c.g;
        dst[x * ch + 2] = c.b;
      }
      continue;
    }

    if (deep) {
      // Planes 0-7 red (least significant first), 8-15 green, 16-23 blue,
      // 24-31 alpha.
      for (int x = 0; x < h.width; ++x) {
        unsigned v[4] = {0, 0, 0, 255};
        for (int p = 0; p < h.planes; ++p) {
          if (p % 8 == 0) v[p / 8] = 0;
          v[p / 8] |= Bit(line.data() + planeBytes * p, x) << (p % 8);
        }
        dst[x * ch] = static_cast<std::uint8_t>(v[0]);
        dst[x * ch + 1] = static_cast<std::uint8_t>(v[1]);
        dst[x * ch + 2] = static_cast<std::uint8_t>(v[2]);
        if (ch == 4) dst[x * ch + 3] = static_cast<std::uint8_t>(v[3]);
      }
    } else {
      std::fill(index.begin(), index.end(), 0);
      for (int p = 0; p < h.planes; ++p) {
        const std::uint8_t* plane = line.data() + planeBytes * p;
        for (int x = 0; x < h.width; ++x)
          index[x] = static_cast<std::uint8_t>(index[x] | (Bit(plane, x) << p));
      }
      if (ham) {
        // Hold-and-modify: the top two bits say whether the low bits pick a
        // palette colour or replace one component of the previous pixel. As
        // on the hardware, HAM6's four bits are the whole component (15 is
        // full), HAM8's six bits its upper six, the lower two kept.
        const int bits = h.planes - 2;
        const unsigned mask = (1u << bits) - 1;
        Rgb c = pal[0];
        for (int x = 0; x < h.width; ++x) {
          const unsigned v = index[x] & mask;
          const auto modify = [&](std::uint8_t old) {
            return bits == 4 ? Scale4(v) : static_cast<std::uint8_t>((v << 2) | (old & 3));
          };
          switch (index[x] >> bits) {
            case 0:
              c = pal[v];
              break;
            case 1:
              c.b = modify(c.b);
              break;
            case 2:
              c.r = modify(c.r);
              break;
            default:
              c.g = modify(c.g);
              break;
          }
          dst[x * ch] = c.r;
          dst[x * ch + 1] = c.g;
          dst[x * ch + 2] = c.b;
        }
      } else {
        for (int x = 0; x < h.width; ++x) {
          const Rgb& c = pal[index[x]];
          dst[x * ch] = c.r;
          dst[x * ch + 1] = c.g;
          dst[x * ch + 2] = c.b;
        }
      }
    }

    if (hasMask) {
      const std::uint8_t* mask = line.data() + planeBytes * h.planes;
      for (int x = 0; x < h.width; ++x) dst[x * ch + 3] = Bit(mask, x) ? 255 : 0;
    }
  }
  return true;
}

}  // namespace formats
