// LogQ24 levels: log2 of a power, 24 fraction bits (one unit is about
// 3.0103 dB), and the integer operations on them. Every helper here works
// on plain wrapping 32-bit values; only SatAdd/SatSub saturate.
#pragma once

#include <cstdint>

#include "common/q24.h"

using LogQ24 = int32_t;

// -200 dB: no power at all.
constexpr LogQ24 LEVEL_FLOOR = static_cast<int32_t>(0xBD8FBA69);

constexpr int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// log2(re^2 + im^2) + 2 for |re|, |im| below 1.0, with log2 x taken as
// 3(x - 1)/(x + 1) on [1, 2).
LogQ24 LogPower(Q24 re, Q24 im);

// About 2^x in Q24 (used with x <= 0): the mantissa as (3 + f)/(3 - f).
Q24 Pow2Q24(LogQ24 x);

// DivQ24 for |a| < 2^28, b > 0 and a quotient within int32, through one double division, which
// pipelines where an integer division does not. Exact: the dividend
// a * 2^24 has fewer than 53 bits, and a quotient that is not a whole
// number lies at least 1/b from one while the division's rounding error is
// below |a| 2^24 / b * 2^-53 < 1/b, so truncating the rounded quotient gives
// the truncated exact one.
inline int32_t DivQ24Small(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<double>(a) * 16777216.0 / static_cast<double>(b));
}

// r ~ 2^-d for a level difference d >= 0 of the ordered pair, 0 once it
// no longer matters.
inline int32_t LogAddRatio(int32_t d) {
  uint32_t i = static_cast<uint32_t>(d) >> 24;
  int32_t f = d & 0xFFFFFF;
  // DivQ24(3 - f, 3 + f) lies in [2^23, 2^24] and is 2^24 only for f = 0,
  // so a shift by 25 or more (or a wrapped negative d) always leaves 0.
  if (i >= 25) return 0;
  return DivQ24Small(0x3000000 - f, 0x3000000 + f) >> i;
}

// Sum of two powers: about max + log2(1 + 2^-|a - b|).
inline LogQ24 LogAdd(LogQ24 a, LogQ24 b) {
  LogQ24 hi = a < b ? b : a;
  LogQ24 lo = a < b ? a : b;
  if (lo <= LEVEL_FLOOR) return hi;
  int32_t r = LogAddRatio(WrapSub(hi, lo));
  if (r == 0) return hi;
  return WrapAdd(hi, WrapMul(3, DivQ24Small(r, r + 0x2000000)));
}

// c * log2(2^(a/c) + 2^(b/c)) for a positive Q24 factor c: powers added
// through their square roots (c = 2.0) or cube roots (c = 3.0).
inline LogQ24 LogAddScaled(LogQ24 a, LogQ24 b, Q24 c) {
  LogQ24 hi = a < b ? b : a;
  LogQ24 lo = a < b ? a : b;
  if (lo <= LEVEL_FLOOR) return hi;
  int32_t h = DivQ24(hi, c);
  int32_t m = DivQ24(lo, c);
  int32_t r = LogAddRatio(WrapSub(h, m));
  if (r == 0) return hi;
  return MulQ24(WrapAdd(h, WrapMul(3, DivQ24Small(r, r + 0x2000000))), c);
}

// LogAddScaled for c = 2.0 and c = 3.0, where dividing by c is an integer
// division (truncating like DivQ24) and multiplying by c is exact.
inline LogQ24 LogAddSquareRoots(LogQ24 a, LogQ24 b) {
  LogQ24 hi = a < b ? b : a;
  LogQ24 lo = a < b ? a : b;
  if (lo <= LEVEL_FLOOR) return hi;
  int32_t h = hi / 2;
  int32_t r = LogAddRatio(WrapSub(h, lo / 2));
  if (r == 0) return hi;
  return WrapMul(2, WrapAdd(h, WrapMul(3, DivQ24Small(r, r + 0x2000000))));
}

inline LogQ24 LogAddCubeRoots(LogQ24 a, LogQ24 b) {
  LogQ24 hi = a < b ? b : a;
  LogQ24 lo = a < b ? a : b;
  if (lo <= LEVEL_FLOOR) return hi;
  int32_t h = hi / 3;
  int32_t r = LogAddRatio(WrapSub(h, lo / 3));
  if (r == 0) return hi;
  return WrapMul(3, WrapAdd(h, WrapMul(3, DivQ24Small(r, r + 0x2000000))));
}
