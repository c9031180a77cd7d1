// Wavefront RLA / RPF renderings (.rla, .rpf): a 740-byte big-endian header,
// a table of scanline offsets, and per scanline one run-length record per
// channel (colour, then matte, then auxiliary channels, which are ignored).
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

constexpr std::size_t kHeaderSize = 740;
constexpr int kFloatType = 4;

struct ChannelGroup {
  int count = 0;
  int type = 0;
  int bits = 8;
};

// Decodes one byte plane of `width` samples, each written `stride` bytes
// apart. A count byte >= 0 repeats the next byte count+1 times, < 0 copies
// -count bytes. False when the record runs out first.
bool DecodeSpan(std::span<const std::uint8_t> in, std::size_t& pos, int width, int stride,
                std::uint8_t* out) {
  int x = 0;
  while (x < width) {
    if (pos >= in.size()) return false;
    const auto count = static_cast<std::int8_t>(in[pos++]);
    if (count >= 0) {
      if (pos >= in.size()) return false;
      const std::uint8_t v = in[pos++];
      for (int i = 0; i <= count && x < width; ++i, ++x) out[static_cast<std::size_t>(x) * stride] = v;
    } else {
      for (int i = 0; i < -count && x < width; ++i, ++x) {
        if (pos >= in.size()) return false;
        out[static_cast<std::size_t>(x) * stride] = in[pos++];
      }
    }
  }
  return true;
}

// One channel record of a scanline into 8-bit samples.
bool DecodeChannel(std::span<const std::uint8_t> record, const ChannelGroup& g, int width,
                   std::vector<std::uint8_t>& wide, std::uint8_t* out) {
  if (g.type == kFloatType) {
    // Floats are stored raw, big-endian.
    if (record.size() < static_cast<std::size_t>(width) * 4) return false;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = record.data() + 4 * x;
      const std::uint32_t bits =
          (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
      float f;
      std::memcpy(&f, &bits, sizeof f);
      out[x] = f > 0 ? (f < 1 ? static_cast<std::uint8_t>(std::lround(f * 255)) : 255) : 0;
    }
    return true;
  }
  const int bytes = (g.bits + 7) / 8;
  std::size_t pos = 0;
  if (bytes == 1) return DecodeSpan(record, pos, width, 1, out);
  // Wider samples are run-length coded one byte plane at a time, most
  // significant plane first.
  wide.resize(static_cast<std::size_t>(width) * bytes);
  for (int b = 0; b < bytes; ++b) {
    if (!DecodeSpan(record, pos, width, bytes, wide.data() + b)) return false;
  }
  const std::uint64_t maxval = (std::uint64_t{1} << g.bits) - 1;
  for (int x = 0; x < width; ++x) {
    std::uint64_t v = 0;
    for (int b = 0; b < bytes; ++b) v = (v << 8) | wide[static_cast<std::size_t>(x) * bytes + b];
    out[x] = v >= maxval ? 255 : static_cast<std::uint8_t>((v * 255 + maxval / 2) / maxval);
  }
  return true;
}

bool GroupOk(const ChannelGroup& g) {
  if (g.count < 0 || g.count > 64) return false;
  if (g.count == 0) return true;
  if (g.type == kFloatType) return g.bits == 32;
  return g.type >= 0 && g.type <= 2 && g.bits >= 1 && g.bits <= 32;
}

bool DecodeRla(std::span<const std::uint8_t> data, Image& out) {
  Reader r(data);
  r.skip(8);  // full window
  const int activeLeft = r.i16be();
  const int activeRight = r.i16be();
  const int activeBottom = r.i16be();
  const int activeTop = r.i16be();
  r.skip(2);  // frame
  ChannelGroup colour, matte;
  colour.type = r.i16be();
  colour.count = r.i16be();
  matte.count = r.i16be();
  r.seek(658);
  colour.bits = r.i16be();
  matte.type = r.i16be();
  matte.bits = r.i16be();
  if (!r.ok() || data.size() < kHeaderSize) return false;
  // Old writers leave the bit counts at zero for 8-bit data.
  if (colour.bits == 0) colour.bits = 8;
  if (matte.bits == 0) matte.bits = 8;
  if (colour.count < 1 || !GroupOk(colour) || !GroupOk(matte)) return false;

  const int width = activeRight - activeLeft + 1;
  const int height = activeTop - activeBottom + 1;
  if (!DimensionsOk(width, height)) return false;
  const std::size_t tableEnd = kHeaderSize + static_cast<std::size_t>(height) * 4;
  if (tableEnd > data.size()) return false;
  // Every channel of every scanline needs its length word and two bytes per
  // 128 samples at the very least.
  const int used = colour.count + (matte.count > 0 ? 1 : 0);
  const std::uint64_t minRow =
      static_cast<std::uint64_t>(used) * (2 + 2 * ((static_cast<std::uint64_t>(width) + 127) / 128));
  if (minRow * height > data.size()) return false;

  const bool alpha = matte.count > 0;
  if (!out.Allocate(width, height, alpha ? 4 : 3)) return false;
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(width) * 4);
  std::vector<std::uint8_t> wide;
  std::uint8_t* plane[4] = {samples.data(), samples.data() + width, samples.data() + 2 * width,
                            samples.data() + 3 * width};

  for (int y = 0; y < height; ++y) {
    // Scanlines are stored bottom-up.
    Reader t(data);
    t.seek(kHeaderSize + static_cast<std::size_t>(height - 1 - y) * 4);
    Reader s(data);
    if (!s.seek(t.u32be())) return false;
    auto readGroup = [&](const ChannelGroup& g, int firstPlane, int keep) {
      for (int c = 0; c < g.count; ++c) {
        const std::uint16_t length = s.u16be();
        const auto record = s.bytes(length);
        if (!s.ok()) return false;
        if (c >= keep) continue;
        if (!DecodeChannel(record, g, width, wide, plane[firstPlane + c])) return false;
      }
      return true;
    };
    const int colourKept = colour.count >= 3 ? 3 : 1;
    if (!readGroup(colour, 0, colourKept)) return false;
    if (alpha && !readGroup(matte, 3, 1)) return false;
    std::uint8_t* o = out.Row(y);
    for (int x = 0; x < width; ++x, o += out.channels) {
      o[0] = plane[0][x];
      o[1] = plane[colourKept == 3 ? 1 : 0][x];
      o[2] = plane[colourKept == 3 ? 2 : 0][x];
      if (alpha) o[3] = plane[3][x];
    }
  }
  return true;
}

}  // namespace

bool ReadRla(const Source& src, Image& out) {
  try {
    return DecodeRla(src.data, out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace formats
