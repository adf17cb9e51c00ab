// Fixed-point helpers shared by the AC-3 decoder and the Layer II encoder.
//
// Q24: signed 32-bit, 24 fraction bits; 1.0 = 0x1000000 = full scale.
// A 16-bit PCM sample s is s * 512 in Q24.
#pragma once

#include <cstdint>

using Q24 = int32_t;

constexpr Q24 Q24_ONE = 0x1000000;

// Rounding multiply: exact 64-bit product, + 0x800000, arithmetic shift by 24,
// low 32 bits kept.
constexpr Q24 MulQ24(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(
      static_cast<uint64_t>((static_cast<int64_t>(a) * b + 0x800000) >> 24)));
}

// Division: the 64-bit dividend a * 2^24 divided by b, truncated toward zero.
// Callers use it only where the quotient fits in 32 bits; a zero divisor
// gives 0 rather than a trap.
constexpr Q24 DivQ24(int32_t a, int32_t b) {
  if (b == 0) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(
      static_cast<uint64_t>((static_cast<int64_t>(a) * 0x1000000) / b)));
}

constexpr int32_t SaturateToInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Signed 32-bit addition and subtraction clamped to 0x7FFFFFFF / 0x80000000.
constexpr int32_t SatAdd(int32_t a, int32_t b) {
  return SaturateToInt32(static_cast<int64_t>(a) + b);
}
constexpr int32_t SatSub(int32_t a, int32_t b) {
  return SaturateToInt32(static_cast<int64_t>(a) - b);
}
