// Separable fixed-point resampling: a box filter with fractional edge
// coverage when reducing, linear interpolation when enlarging.
#include "generation/formats/resample.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace formats {
namespace {

// Weights are in units of 1/65536 and each destination pixel's sum to 65536.
constexpr int kWeightBits = 16;
constexpr std::uint32_t kOne = 1u << kWeightBits;

// For each destination index along one axis, the run of source indices that
// feed it and their weights.
struct Taps {
  std::vector<int> first;             // first source index
  std::vector<int> count;             // number of source indices
  std::vector<std::size_t> offset;    // into weights
  std::vector<std::uint32_t> weights;
};

Taps MakeTaps(int srcLen, int dstLen) {
  Taps t;
  t.first.resize(dstLen);
  t.count.resize(dstLen);
  t.offset.resize(dstLen);
  t.weights.reserve(dstLen < srcLen ? static_cast<std::size_t>(srcLen) + dstLen : 2u * dstLen);
  for (int x = 0; x < dstLen; ++x) {
    t.offset[x] = t.weights.size();
    if (dstLen < srcLen) {
      // Scaled by dstLen, source pixel i spans [i*dstLen, (i+1)*dstLen) and
      // destination pixel x spans [x*srcLen, (x+1)*srcLen): all integers.
      const std::int64_t lo = static_cast<std::int64_t>(x) * srcLen;
      const std::int64_t hi = lo + srcLen;
      const int i0 = static_cast<int>(lo / dstLen);
      const int i1 = static_cast<int>((hi - 1) / dstLen);
      std::int64_t covered = 0;
      std::uint32_t given = 0;
      for (int i = i0; i <= i1; ++i) {
        const std::int64_t a = std::max<std::int64_t>(lo, static_cast<std::int64_t>(i) * dstLen);
        const std::int64_t b = std::min<std::int64_t>(hi, static_cast<std::int64_t>(i + 1) * dstLen);
        covered += b - a;
        // Rounding the running total keeps the sum exact.
        const auto upto = static_cast<std::uint32_t>((covered * kOne + srcLen / 2) / srcLen);
        t.weights.push_back(upto - given);
        given = upto;
      }
      t.first[x] = i0;
      t.count[x] = i1 - i0 + 1;
    } else if (dstLen > srcLen) {
      // Centre of destination pixel x in source coordinates: num / den.
      const std::int64_t num = (2 * static_cast<std::int64_t>(x) + 1) * srcLen - dstLen;
      const std::int64_t den = 2 * static_cast<std::int64_t>(dstLen);
      int i0 = num <= 0 ? 0 : static_cast<int>(num / den);
      const std::int64_t frac = num <= 0 ? 0 : num % den;
      auto w1 = static_cast<std::uint32_t>((frac * kOne + den / 2) / den);
      if (i0 >= srcLen - 1) {
        i0 = srcLen - 1;
        w1 = 0;
      }
      t.first[x] = i0;
      if (w1 == 0) {
        t.count[x] = 1;
        t.weights.push_back(kOne);
      } else {
        t.count[x] = 2;
        t.weights.push_back(kOne - w1);
        t.weights.push_back(w1);
      }
    } else {
      t.first[x] = x;
      t.count[x] = 1;
      t.weights.push_back(kOne);
    }
  }
  return t;
}

template <int C>
void Resample(const Image& src, Image& dst) {
  const int sw = src.width, sh = src.height, dw = dst.width, dh = dst.height;
  const Taps tx = MakeTaps(sw, dw);
  const Taps ty = MakeTaps(sh, dh);

  // Horizontal pass into 8.8 fixed point: at most 255 << 8 fits 16 bits.
  const std::size_t midStride = static_cast<std::size_t>(dw) * C;
  std::vector<std::uint16_t> mid(midStride * sh);
  for (int y = 0; y < sh; ++y) {
    const std::uint8_t* row = src.Row(y);
    std::uint16_t* out = mid.data() + midStride * y;
    for (int x = 0; x < dw; ++x, out += C) {
      const std::uint8_t* p = row + static_cast<std::size_t>(tx.first[x]) * C;
      const std::uint32_t* w = tx.weights.data() + tx.offset[x];
      std::uint32_t acc[C] = {};
      for (int k = 0, n = tx.count[x]; k < n; ++k, p += C) {
        for (int c = 0; c < C; ++c) acc[c] += p[c] * w[k];
      }
      for (int c = 0; c < C; ++c) out[c] = static_cast<std::uint16_t>((acc[c] + 128) >> 8);
    }
  }

  // Vertical pass: 16-bit samples times 16-bit weights stay within 32 bits.
  std::vector<std::uint32_t> acc(midStride);
  for (int y = 0; y < dh; ++y) {
    std::fill(acc.begin(), acc.end(), 0u);
    const std::uint32_t* w = ty.weights.data() + ty.offset[y];
    for (int k = 0, n = ty.count[y]; k < n; ++k) {
      const std::uint16_t* row = mid.data() + midStride * (ty.first[y] + k);
      const std::uint32_t wk = w[k];
      for (std::size_t i = 0; i < midStride; ++i) acc[i] += row[i] * wk;
    }
    std::uint8_t* out = dst.Row(y);
    for (std::size_t i = 0; i < midStride; ++i) {
      out[i] = static_cast<std::uint8_t>((acc[i] + (1u << 23)) >> 24);
    }
  }
}

}  // namespace

void ResampleArea(const Image& src, Image& dst, int width, int height) {
  Image result;
  const bool usable = src.width > 0 && src.height > 0 && (src.channels == 3 || src.channels == 4) &&
                      src.pixels.size() == static_cast<std::size_t>(src.width) * src.height * src.channels;
  if (!usable || !result.Allocate(width, height, src.channels)) {
    dst = Image{};
    return;
  }
  if (width == src.width && height == src.height) {
    result.pixels = src.pixels;
  } else if (src.channels == 3) {
    Resample<3>(src, result);
  } else {
    Resample<4>(src, result);
  }
  dst = std::move(result);
}

}  // namespace formats
