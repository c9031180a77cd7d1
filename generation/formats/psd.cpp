// Photoshop documents (.psd, .pdd): only the merged picture that closes every
// file is read; layers, masks and resources are skipped by their lengths.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

enum Mode {
  kBitmap = 0,
  kGrey = 1,
  kIndexed = 2,
  kRgb = 3,
  kCmyk = 4,
  kMultichannel = 7,
  kDuotone = 8,
  kLab = 9,
};

enum Compression { kRaw = 0, kPackBits = 1, kZip = 2, kZipPredicted = 3 };

// Best ratio deflate can reach; a stream promising more output than this is a lie.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// PackBits: a header n in 0..127 copies n+1 bytes, -127..-1 repeats the next
// byte 1-n times, -128 does nothing. True when `out` was filled completely.
bool UnpackBitsRow(std::span<const std::uint8_t> in, std::uint8_t* out, std::size_t outLen) {
  std::size_t i = 0, o = 0;
  while (o < outLen && i < in.size()) {
    const auto n = static_cast<std::int8_t>(in[i++]);
    if (n >= 0) {
      const std::size_t count = static_cast<std::size_t>(n) + 1;
      if (count > in.size() - i || count > outLen - o) return false;
      std::memcpy(out + o, in.data() + i, count);
      i += count;
      o += count;
    } else if (n != -128) {
      const std::size_t count = static_cast<std::size_t>(1 - n);
      if (i >= in.size() || count > outLen - o) return false;
      std::memset(out + o, in[i++], count);
      o += count;
    }
  }
  return o == outLen;
}

// Hands out the composite's rows in file order (channel after channel, rows
// top-down inside each), whatever the compression.
class RowSource {
 public:
  RowSource(std::span<const std::uint8_t> data, int compression, std::size_t rowBytes)
      : data_(data), compression_(compression), rowBytes_(rowBytes) {}
  ~RowSource() {
    if (zipOpen_) inflateEnd(&zip_);
  }
  RowSource(const RowSource&) = delete;
  RowSource& operator=(const RowSource&) = delete;

  // Prepares for `rows` rows in all (every channel of the file); false when
  // the data cannot hold the first `neededRows` of them.
  bool Start(std::size_t rows, std::size_t neededRows) {
    const std::uint64_t want = static_cast<std::uint64_t>(neededRows) * rowBytes_;
    switch (compression_) {
      case kRaw:
        return want <= data_.size();
      case kPackBits: {
        if (rows > data_.size() / 2) return false;
        pos_ = rows * 2;
        std::uint64_t total = 0;
        for (std::size_t r = 0; r < neededRows; ++r) {
          const std::uint64_t n = (data_[r * 2] << 8) | data_[r * 2 + 1];
          // Two bytes of PackBits make at most 128 bytes.
          if (n * 64 < rowBytes_) return false;
          total += n;
        }
        return total <= data_.size() - pos_;
      }
      case kZip:
      case kZipPredicted:
        if (static_cast<std::uint64_t>(data_.size()) * kMaxDeflateRatio < want) return false;
        std::memset(&zip_, 0, sizeof zip_);
        if (inflateInit(&zip_) != Z_OK) return false;
        zipOpen_ = true;
        zip_.next_in = const_cast<Bytef*>(data_.data());
        zip_.avail_in = static_cast<uInt>(std::min<std::size_t>(data_.size(), 0x7fffffff));
        return true;
      default:
        return false;
    }
  }

  bool Next(std::uint8_t* row) {
    switch (compression_) {
      case kRaw:
        if (rowBytes_ > data_.size() - pos_) return false;
        std::memcpy(row, data_.data() + pos_, rowBytes_);
        pos_ += rowBytes_;
        return true;
      case kPackBits: {
        const std::size_t n = (data_[index_ * 2] << 8) | data_[index_ * 2 + 1];
        ++index_;
        if (n > data_.size() - pos_) return false;
        const bool ok = UnpackBitsRow(data_.subspan(pos_, n), row, rowBytes_);
        pos_ += n;
        return ok;
      }
      default:
        return Inflate(row);
    }
  }

 private:
  bool Inflate(std::uint8_t* row) {
    zip_.next_out = row;
    zip_.avail_out = static_cast<uInt>(rowBytes_);
    while (zip_.avail_out > 0) {
      const int rc = inflate(&zip_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        // Some writers compress each channel as its own stream.
        if (zip_.avail_in == 0 || inflateReset(&zip_) != Z_OK) return zip_.avail_out == 0;
        continue;
      }
      if (rc != Z_OK) return false;
    }
    return true;
  }

  std::span<const std::uint8_t> data_;
  int compression_;
  std::size_t rowBytes_;
  std::size_t pos_ = 0;
  std::size_t index_ = 0;
  z_stream zip_{};
  bool zipOpen_ = false;
};

std::uint8_t LinearToSrgbByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 1) return 255;
  const double s = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  return static_cast<std::uint8_t>(std::lround(s * 255));
}

// One row of samples of any depth turned into bytes; undoes the ZIP
// prediction first when there is one.
void RowToBytes(std::uint8_t* row, int width, int depth, bool predicted, std::uint8_t* out) {
  switch (depth) {
    case 1:
      UnpackBits(row, 1, width, out);
      for (int x = 0; x < width; ++x) out[x] = out[x] ? 0 : 255;  // 1 is black
      break;
    case 8:
      if (predicted) {
        for (int x = 1; x < width; ++x) row[x] = static_cast<std::uint8_t>(row[x] + row[x - 1]);
      }
      std::memcpy(out, row, static_cast<std::size_t>(width));
      break;
    case 16: {
      unsigned prev = 0;
      for (int x = 0; x < width; ++x) {
        unsigned v = (row[2 * x] << 8) | row[2 * x + 1];
        if (predicted) {
          v = (v + prev) & 0xFFFF;
          prev = v;
        }
        out[x] = static_cast<std::uint8_t>((v * 255 + 32767) / 65535);
      }
      break;
    }
    case 32: {
      const std::size_t n = static_cast<std::size_t>(width) * 4;
      if (predicted) {
        // Byte-wise delta over the row, then the bytes of each value were
        // stored plane by plane (all first bytes, all second bytes...).
        for (std::size_t i = 1; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - 1]);
      }
      for (int x = 0; x < width; ++x) {
        std::uint32_t bits;
        if (predicted) {
          bits = (static_cast<std::uint32_t>(row[x]) << 24) | (row[width + x] << 16) |
                 (row[2 * width + x] << 8) | row[3 * width + x];
        } else {
          const std::uint8_t* p = row + 4 * x;
          bits = (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        }
        float f;
        std::memcpy(&f, &bits, sizeof f);
        out[x] = LinearToSrgbByte(f);
      }
      break;
    }
    default:
      break;
  }
}

// CIE L*a*b* (D50, as Photoshop stores it) to sRGB.
void LabToRgb(std::uint8_t l8, std::uint8_t a8, std::uint8_t b8, std::uint8_t rgb[3]) {
  const double L = l8 * 100.0 / 255.0;
  const double a = a8 - 128.0;
  const double b = b8 - 128.0;
  const double fy = (L + 16) / 116;
  const double fx = fy + a / 500;
  const double fz = fy - b / 200;
  auto finv = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
  const double X = 0.96422 * finv(fx);
  const double Y = 1.0 * finv(fy);
  const double Z = 0.82521 * finv(fz);
  // XYZ (D50) to linear sRGB, Bradford-adapted to D65.
  const double r = 3.1338561 * X - 1.6168667 * Y - 0.4906146 * Z;
  const double g = -0.9787684 * X + 1.9161415 * Y + 0.0334540 * Z;
  const double bl = 0.0719453 * X - 0.2289914 * Y + 1.4052427 * Z;
  rgb[0] = LinearToSrgbByte(r);
  rgb[1] = LinearToSrgbByte(g);
  rgb[2] = LinearToSrgbByte(bl);
}

// The merged picture of a transparent document is stored already blended
// over white; take the white back out so transparency is applied once.
void Unmatte(std::uint8_t* px) {
  const int a = px[3];
  if (a == 0 || a == 255) return;
  for (int c = 0; c < 3; ++c) {
    const int v = ((px[c] - (255 - a)) * 255 + a / 2) / a;
    px[c] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
  }
}

bool DecodePsd(std::span<const std::uint8_t> data, Image& out) {
  Reader r(data);
  if (!r.match("8BPS") || r.u16be() != 1) return false;  // version 2 is the large format
  r.skip(6);
  const int fileChannels = r.u16be();
  const std::uint32_t height = r.u32be();
  const std::uint32_t width = r.u32be();
  const int depth = r.u16be();
  const int mode = r.u16be();
  if (!r.ok() || fileChannels < 1 || fileChannels > 56) return false;
  if (width < 1 || height < 1 || width > 30000 || height > 30000) return false;
  if (depth != 1 && depth != 8 && depth != 16 && depth != 32) return false;

  int colourChannels = 0;
  switch (mode) {
    case kBitmap:
      if (depth != 1) return false;
      colourChannels = 1;
      break;
    case kGrey:
    case kDuotone:
    case kMultichannel:
    case kIndexed:
      colourChannels = 1;
      break;
    case kRgb:
    case kLab:
      colourChannels = 3;
      break;
    case kCmyk:
      colourChannels = 4;
      break;
    default:
      return false;
  }
  if (mode != kBitmap && depth == 1) return false;
  if (mode == kIndexed && depth != 8) return false;
  if (fileChannels < colourChannels) return false;

  // Colour mode data: the indexed palette, planar (256 reds, greens, blues).
  Palette palette{};
  const std::uint32_t colourDataLength = r.u32be();
  const std::size_t colourDataStart = r.pos();
  if (mode == kIndexed) {
    if (colourDataLength < 768) return false;
    const auto table = r.bytes(768);
    if (table.empty()) return false;
    for (int i = 0; i < 256; ++i) palette[i] = {table[i], table[256 + i], table[512 + i]};
  }
  if (!r.seek(colourDataStart + colourDataLength)) return false;

  // Image resources: nothing needed from them.
  const std::uint32_t resourcesLength = r.u32be();
  if (!r.skip(resourcesLength)) return false;

  // Layer and mask information: only the layer count's sign matters; negative
  // means the first extra channel is the merged picture's transparency.
  const std::uint32_t layerSectionLength = r.u32be();
  const std::size_t layerSectionStart = r.pos();
  bool mergedAlpha = false;
  if (layerSectionLength >= 6) {
    const std::uint32_t layerInfoLength = r.u32be();
    if (layerInfoLength >= 2) mergedAlpha = r.i16be() < 0;
  }
  if (!r.seek(layerSectionStart + layerSectionLength)) return false;

  const int compression = r.u16be();
  if (!r.ok() || compression > kZipPredicted) return false;

  const bool alpha = mergedAlpha && fileChannels > colourChannels &&
                     (mode == kGrey || mode == kRgb);
  const int channels = colourChannels + (alpha ? 1 : 0);
  if (!DimensionsOk(width, height)) return false;

  const std::size_t rowBytes = RowBytes(width, depth);
  RowSource source(data.subspan(r.pos()), compression, rowBytes);
  if (!source.Start(static_cast<std::size_t>(fileChannels) * height,
                    static_cast<std::size_t>(channels) * height)) {
    return false;
  }

  const std::size_t planeSize = static_cast<std::size_t>(width) * height;
  std::vector<std::uint8_t> planes(planeSize * channels);
  std::vector<std::uint8_t> row(rowBytes + 8);
  const bool predicted = compression == kZipPredicted && depth != 1;
  for (int c = 0; c < channels; ++c) {
    for (std::uint32_t y = 0; y < height; ++y) {
      if (!source.Next(row.data())) return false;
      RowToBytes(row.data(), static_cast<int>(width), depth, predicted,
                 planes.data() + planeSize * c + static_cast<std::size_t>(width) * y);
    }
  }

  if (!out.Allocate(static_cast<int>(width), static_cast<int>(height), alpha ? 4 : 3)) return false;
  const std::uint8_t* p0 = planes.data();
  const std::uint8_t* p1 = channels > 1 ? p0 + planeSize : p0;
  const std::uint8_t* p2 = channels > 2 ? p0 + 2 * planeSize : p0;
  const std::uint8_t* p3 = channels > 3 ? p0 + 3 * planeSize : p0;
  std::uint8_t* o = out.pixels.data();
  for (std::size_t i = 0; i < planeSize; ++i, o += out.channels) {
    switch (mode) {
      case kIndexed: {
        const Rgb& e = palette[p0[i]];
        o[0] = e.r;
        o[1] = e.g;
        o[2] = e.b;
        break;
      }
      case kRgb:
        o[0] = p0[i];
        o[1] = p1[i];
        o[2] = p2[i];
        if (alpha) o[3] = p3[i];
        break;
      case kCmyk: {
        // Stored inverted: 255 is no ink.
        const unsigned k = p3[i];
        o[0] = static_cast<std::uint8_t>((p0[i] * k + 127) / 255);
        o[1] = static_cast<std::uint8_t>((p1[i] * k + 127) / 255);
        o[2] = static_cast<std::uint8_t>((p2[i] * k + 127) / 255);
        break;
      }
      case kLab:
        LabToRgb(p0[i], p1[i], p2[i], o);
        break;
      default:  // bitmap, grey, duotone, multichannel
        o[0] = o[1] = o[2] = p0[i];
        if (alpha) o[3] = p1[i];
        break;
    }
    if (alpha) Unmatte(o);
  }
  return true;
}

}  // namespace

bool ReadPsd(const Source& src, Image& out) {
  try {
    return DecodePsd(src.data, out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace formats
