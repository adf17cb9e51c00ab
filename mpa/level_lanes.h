// Eight 32-bit values side by side, and the level arithmetic of
// log_level.h on them, lane by lane with the same results. Used inside the
// bodies of functions built per vector path (common/vector_paths.h): there
// each operation is one instruction for all eight lanes, a division too,
// where a lane at a time waits for its divisions one after the other.
#pragma once

#include <cstdint>
#include <cstring>

#include "mpa/log_level.h"

typedef int32_t Int32x8 __attribute__((vector_size(32)));
typedef uint32_t Uint32x8 __attribute__((vector_size(32)));
typedef int64_t Int64x8 __attribute__((vector_size(64)));
typedef uint64_t Uint64x8 __attribute__((vector_size(64)));
typedef double Doublex8 __attribute__((vector_size(64)));

constexpr int LANES_PER_VECTOR = 8;

#define LANES_INLINE [[gnu::always_inline]] inline

LANES_INLINE Int32x8 Broadcast(int32_t v) { return Int32x8{v, v, v, v, v, v, v, v}; }

LANES_INLINE Int32x8 LoadLanes(const int32_t* p) {
  Int32x8 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

LANES_INLINE void StoreLanes(int32_t* p, Int32x8 v) { std::memcpy(p, &v, sizeof v); }

// Signed lanes wrap like WrapAdd and friends: the arithmetic is done on
// unsigned lanes.
LANES_INLINE Int32x8 WrapAddLanes(Int32x8 a, Int32x8 b) { return (Int32x8)((Uint32x8)a + (Uint32x8)b); }
LANES_INLINE Int32x8 WrapSubLanes(Int32x8 a, Int32x8 b) { return (Int32x8)((Uint32x8)a - (Uint32x8)b); }
LANES_INLINE Int32x8 WrapMulLanes(Int32x8 a, int32_t b) {
  return (Int32x8)((Uint32x8)a * static_cast<uint32_t>(b));
}

// SatAdd: a sum that wrapped has the opposite sign of both terms.
LANES_INLINE Int32x8 SatAddLanes(Int32x8 a, Int32x8 b) {
  Int32x8 sum = WrapAddLanes(a, b);
  Int32x8 overflow = ((a ^ sum) & (b ^ sum)) < 0;
  return overflow ? ((a >> 31) ^ INT32_MAX) : sum;
}

// MulQ24: rounded, shifted 64-bit products, the low 32 bits kept, so that
// a logical shift serves (AVX2 has no arithmetic one of 64 bits).
LANES_INLINE Int32x8 MulQ24Lanes8(Int32x8 a, Int32x8 b) {
  Int64x8 product = __builtin_convertvector(a, Int64x8) * __builtin_convertvector(b, Int64x8);
  return __builtin_convertvector((Uint64x8)(product + 0x800000) >> 24, Int32x8);
}

// LogAddRatio. The quotient is at most 2^24, so a shift by 25 to 31 leaves
// 0 as LogAddRatio's early return does. DivQ24Small's operands are formed
// in doubles, exactly (whole numbers below 2^53): one conversion less.
LANES_INLINE Int32x8 LogAddRatioLanes(Int32x8 d) {
  Uint32x8 i = (Uint32x8)d >> 24;
  Doublex8 f = __builtin_convertvector(d & 0xFFFFFF, Doublex8);
  Doublex8 q = (0x3000000 * 16777216.0 - f * 16777216.0) / (0x3000000 + f);
  return __builtin_convertvector(q, Int32x8) >> (Int32x8)(i < 31 ? i : 31);
}

// DivQ24Small(r, r + 0x2000000) for 0 <= r <= 2^24, the divisor formed in
// doubles.
LANES_INLINE Int32x8 LogAddFractionLanes(Int32x8 r) {
  Doublex8 rd = __builtin_convertvector(r, Doublex8);
  return __builtin_convertvector(rd * 16777216.0 / (rd + 0x2000000), Int32x8);
}

LANES_INLINE Int32x8 LogAddLanes(Int32x8 a, Int32x8 b) {
  Int32x8 hi = a < b ? b : a;
  Int32x8 lo = a < b ? a : b;
  Int32x8 r = LogAddRatioLanes(WrapSubLanes(hi, lo));
  Int32x8 sum = WrapAddLanes(hi, WrapMulLanes(LogAddFractionLanes(r), 3));
  return (lo <= LEVEL_FLOOR) | (r == 0) ? hi : sum;
}

// LogAddSquareRoots (ROOT 2) and LogAddCubeRoots (ROOT 3).
template <int ROOT>
LANES_INLINE Int32x8 LogAddRootsLanes(Int32x8 a, Int32x8 b) {
  Int32x8 hi = a < b ? b : a;
  Int32x8 lo = a < b ? a : b;
  Int32x8 h = hi / ROOT;
  Int32x8 r = LogAddRatioLanes(WrapSubLanes(h, lo / ROOT));
  Int32x8 sum = WrapMulLanes(WrapAddLanes(h, WrapMulLanes(LogAddFractionLanes(r), 3)), ROOT);
  return (lo <= LEVEL_FLOOR) | (r == 0) ? hi : sum;
}
