// The checksum step is s' = T[(s ^ b) & 255] ^ asr8(s), with T the standard
// reflected CRC-32 table and asr8 an arithmetic shift. Both halves are linear
// over GF(2), so the step is s' = F(s ^ b) with F linear, and after n bytes
//   s_n = F^n(s_0) ^ sum_i F^(n-i)(b_i).
// Everything fast below rests on that identity:
// - slicing: per-position tables F^k(b) process 16 bytes per step;
// - lanes: independent runs are joined by F^n, and F^n is a polynomial of
//   degree < 32 in F (reduce x^n by the minimal polynomial of F);
// - wide path: split bytes into 8 bit planes; plane j contributes D_j(F)
//   applied to F(e_j), where D_j is the polynomial whose coefficients are bit j
//   of each byte. D_j mod the minimal polynomial is computed with carry-less
//   multiply folding, exactly as for a plain CRC, one plane per 128-bit lane.
#include "zentcrc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZENTCRC_WIDE 1
#endif

#if defined(_MSC_VER) && defined(_M_IX86)
// Keep the stdcall export undecorated.
#pragma comment(linker, "/EXPORT:ReadCRC=_ReadCRC@8")
#endif

namespace {

constexpr uint32_t kPoly = 0xEDB88320u;
// Minimal (and characteristic) polynomial of F, bit d = coefficient of x^d.
constexpr uint64_t kMinPoly = 0x1815808CFull;
// Bytes read per block; the wide path works on multiples of 128 of it.
constexpr size_t kBlock = 256 * 1024;

constexpr uint32_t Asr8(uint32_t s)
{
  return (s >> 8) | ((0u - (s >> 31)) << 24);
}

struct Tables {
  uint32_t byte[256];          // standard reflected CRC-32 table
  uint32_t slice[16][256];     // slice[p][b] = F^(16 - p)(b)
  uint32_t top[256];           // top[b] = F^16(b << 24)
  uint32_t plane[8][128];      // plane[j][d] = F^d(F(1 << j))
  uint32_t xpow2[64];          // x^(2^k) mod kMinPoly
  uint64_t foldLo;             // x^128 mod kMinPoly
  uint64_t foldHi;             // x^192 mod kMinPoly
};

constexpr uint32_t Step(const uint32_t* byte, uint32_t s)
{
  return byte[s & 255] ^ Asr8(s);
}

constexpr uint32_t MulMod(uint32_t a, uint32_t b)
{
  uint64_t r = 0;
  for (int i = 0; i < 32; ++i) {
    if ((b >> i) & 1) {
      r ^= uint64_t(a) << i;
    }
  }
  for (int bit = 62; bit >= 32; --bit) {
    if ((r >> bit) & 1) {
      r ^= kMinPoly << (bit - 32);
    }
  }
  return uint32_t(r);
}

constexpr Tables MakeTables()
{
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) {
      c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
    }
    t.byte[i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    t.slice[15][i] = t.byte[i];
    for (int p = 14; p >= 0; --p) {
      t.slice[p][i] = Step(t.byte, t.slice[p + 1][i]);
    }
    uint32_t s = i << 24;
    for (int k = 0; k < 16; ++k) {
      s = Step(t.byte, s);
    }
    t.top[i] = s;
  }
  for (int j = 0; j < 8; ++j) {
    uint32_t s = t.byte[1u << j];
    for (int d = 0; d < 128; ++d) {
      t.plane[j][d] = s;
      s = Step(t.byte, s);
    }
  }
  uint32_t x = 2;
  for (int k = 0; k < 64; ++k) {
    t.xpow2[k] = x;
    x = MulMod(x, x);
  }
  // x^128 = x^(2^7); x^192 = x^128 * x^64.
  t.foldLo = t.xpow2[7];
  t.foldHi = MulMod(t.xpow2[7], t.xpow2[6]);
  return t;
}

alignas(64) constexpr Tables kTables = MakeTables();

// kMinPoly(F) must vanish on every basis vector, or the lane joins and the
// plane folding would silently give wrong results.
constexpr bool MinPolyAnnihilates()
{
  for (int k = 0; k < 32; ++k) {
    uint32_t v = 1u << k;
    uint32_t sum = 0;
    for (int d = 0; d <= 32; ++d) {
      if ((kMinPoly >> d) & 1) {
        sum ^= v;
      }
      v = Step(kTables.byte, v);
    }
    if (sum != 0) {
      return false;
    }
  }
  return true;
}
static_assert(MinPolyAnnihilates(), "kMinPoly is not annihilating the checksum step");

// x^n mod kMinPoly.
uint32_t XPow(uint64_t n)
{
  uint32_t r = 1;
  for (int k = 0; n != 0; ++k, n >>= 1) {
    if (n & 1) {
      r = MulMod(r, kTables.xpow2[k]);
    }
  }
  return r;
}

// p(F) applied to s, p of degree < 32.
uint32_t Apply(uint32_t p, uint32_t s)
{
  uint32_t r = 0;
  for (int d = 0; d < 32; ++d) {
    r ^= s & (0u - ((p >> d) & 1));
    s = Step(kTables.byte, s);
  }
  return r;
}

// 16 bytes at once: state bytes 0-2 line up with data bytes 0-2; state byte 3
// does not (the arithmetic shift), hence its own table.
inline uint32_t Slice16(uint32_t s, const unsigned char* p)
{
  const auto& t = kTables.slice;
  return t[0][p[0] ^ (s & 255)] ^ t[1][p[1] ^ ((s >> 8) & 255)] ^
         t[2][p[2] ^ ((s >> 16) & 255)] ^ kTables.top[s >> 24] ^ t[3][p[3]] ^
         t[4][p[4]] ^ t[5][p[5]] ^ t[6][p[6]] ^ t[7][p[7]] ^ t[8][p[8]] ^
         t[9][p[9]] ^ t[10][p[10]] ^ t[11][p[11]] ^ t[12][p[12]] ^
         t[13][p[13]] ^ t[14][p[14]] ^ t[15][p[15]];
}

uint32_t UpdateSliced(uint32_t s, const unsigned char* p, size_t n)
{
  for (; n >= 16; n -= 16, p += 16) {
    s = Slice16(s, p);
  }
  for (; n != 0; --n, ++p) {
    s = Step(kTables.byte, s ^ *p);
  }
  return s;
}

// Three independent runs interleaved hide the table lookup latency.
uint32_t UpdatePortable(uint32_t s, const unsigned char* p, size_t n)
{
  const size_t lane = (n / 3) & ~size_t(15);
  if (lane >= 1024) {
    const unsigned char* q = p + lane;
    const unsigned char* r = q + lane;
    uint32_t a = s;
    uint32_t b = 0;
    uint32_t c = 0;
    for (size_t i = 0; i < lane; i += 16) {
      a = Slice16(a, p + i);
      b = Slice16(b, q + i);
      c = Slice16(c, r + i);
    }
    const uint32_t shift = XPow(lane);
    s = Apply(shift, Apply(shift, a) ^ b) ^ c;
    p += 3 * lane;
    n -= 3 * lane;
  }
  return UpdateSliced(s, p, n);
}

#ifdef ZENTCRC_WIDE

struct PlaneIndex {
  unsigned char even[64];
  unsigned char odd[64];
};

// After the 8x8 bit transposes, byte j of qword q holds bit j of bytes
// 8q..8q+7 (bit b from byte 8q+7-b). Gather plane 2L (even) or 2L+1 (odd)
// into 128-bit lane L, earliest byte at the most significant bit.
constexpr PlaneIndex MakePlaneIndex()
{
  PlaneIndex x{};
  for (int lane = 0; lane < 4; ++lane) {
    for (int r = 0; r < 8; ++r) {
      const int j = 2 * lane;
      x.even[16 * lane + r] = static_cast<unsigned char>(64 + 8 * (7 - r) + j);
      x.even[16 * lane + 8 + r] = static_cast<unsigned char>(8 * (7 - r) + j);
      x.odd[16 * lane + r] = static_cast<unsigned char>(64 + 8 * (7 - r) + j + 1);
      x.odd[16 * lane + 8 + r] = static_cast<unsigned char>(8 * (7 - r) + j + 1);
    }
  }
  return x;
}

alignas(64) constexpr PlaneIndex kPlaneIndex = MakePlaneIndex();

#define ZENTCRC_WIDE_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,gfni,vpclmulqdq")))

ZENTCRC_WIDE_TARGET uint32_t EvalPlane(const uint32_t* plane, uint64_t lo, uint64_t hi)
{
  uint32_t r = 0;
  for (; lo != 0; lo &= lo - 1) {
    r ^= plane[__builtin_ctzll(lo)];
  }
  for (; hi != 0; hi &= hi - 1) {
    r ^= plane[64 + __builtin_ctzll(hi)];
  }
  return r;
}

// n is a non-zero multiple of 128.
ZENTCRC_WIDE_TARGET uint32_t UpdateWide(uint32_t s, const unsigned char* p, size_t n)
{
  const __m512i spread = _mm512_set1_epi64(static_cast<long long>(0x8040201008040201ull));
  const __m512i evenIndex = _mm512_load_si512(kPlaneIndex.even);
  const __m512i oddIndex = _mm512_load_si512(kPlaneIndex.odd);
  const long long lo = static_cast<long long>(kTables.foldLo);
  const long long hi = static_cast<long long>(kTables.foldHi);
  const __m512i fold = _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
  __m512i even = _mm512_setzero_si512();
  __m512i odd = _mm512_setzero_si512();
  for (size_t i = 0; i < n; i += 128) {
    const __m512i a = _mm512_gf2p8affine_epi64_epi8(spread, _mm512_loadu_si512(p + i), 0);
    const __m512i b = _mm512_gf2p8affine_epi64_epi8(spread, _mm512_loadu_si512(p + i + 64), 0);
    const __m512i e = _mm512_permutex2var_epi8(a, evenIndex, b);
    const __m512i o = _mm512_permutex2var_epi8(a, oddIndex, b);
    even = _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(even, fold, 0x00),
                                     _mm512_clmulepi64_epi128(even, fold, 0x11), e, 0x96);
    odd = _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(odd, fold, 0x00),
                                    _mm512_clmulepi64_epi128(odd, fold, 0x11), o, 0x96);
  }
  alignas(64) uint64_t ev[8];
  alignas(64) uint64_t od[8];
  _mm512_store_si512(ev, even);
  _mm512_store_si512(od, odd);
  uint32_t r = Apply(XPow(n), s);
  for (int lane = 0; lane < 4; ++lane) {
    r ^= EvalPlane(kTables.plane[2 * lane], ev[2 * lane], ev[2 * lane + 1]);
    r ^= EvalPlane(kTables.plane[2 * lane + 1], od[2 * lane], od[2 * lane + 1]);
  }
  return r;
}

bool WideSupported()
{
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("gfni") &&
         __builtin_cpu_supports("vpclmulqdq");
}

#endif

// ZENTCRC_PORTABLE=1 forces the table path, so it can be tested and timed
// on machines that have the wide one.
bool UseWide()
{
#ifdef ZENTCRC_WIDE
  static const bool supported = WideSupported();
  if (!supported) {
    return false;
  }
  const char* forced = std::getenv("ZENTCRC_PORTABLE");
  return forced == nullptr || std::strcmp(forced, "1") != 0;
#else
  return false;
#endif
}

uint32_t Update(uint32_t s, const unsigned char* p, size_t n, bool wide)
{
#ifdef ZENTCRC_WIDE
  if (wide && n >= 128) {
    const size_t head = n & ~size_t(127);
    s = UpdateWide(s, p, head);
    p += head;
    n -= head;
  }
#else
  (void)wide;
#endif
  return UpdatePortable(s, p, n);
}

} // namespace

extern "C" ZENTCRC_API uint32_t ZENTCRC_CALL ReadCRC(const char* fileName, int32_t limit)
{
  if (fileName == nullptr) {
    return 0xFFFFFFFFu;
  }
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) {
    return 0xFFFFFFFFu;
  }
  // A positive limit N admits the bytes at offsets 0..N. The byte counter is
  // 32-bit and can never exceed INT32_MAX, so that limit admits everything.
  uint64_t left = UINT64_MAX;
  if (limit < 0) {
    left = 0;
  } else if (limit > 0 && limit < INT32_MAX) {
    left = uint64_t(limit) + 1;
  }
  uint32_t s = 0xFFFFFFFFu;
  if (left != 0) {
    std::setvbuf(file, nullptr, _IONBF, 0);
    unsigned char fallback[16 * 1024];
    auto* heap = static_cast<unsigned char*>(std::malloc(kBlock));
    unsigned char* buffer = heap != nullptr ? heap : fallback;
    const size_t size = heap != nullptr ? kBlock : sizeof fallback;
    const bool wide = UseWide();
    while (left != 0) {
      const size_t want = left < size ? size_t(left) : size;
      const size_t got = std::fread(buffer, 1, want, file);
      s = Update(s, buffer, got, wide);
      left -= got;
      if (got < want) {
        break; // end of file or read error
      }
    }
    std::free(heap);
  }
  std::fclose(file);
  return ~s;
}
