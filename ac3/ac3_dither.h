// The dither generator that fills zero-bit mantissas: a 16-bit shift
// register (0xFFFF after a reset, never reset per frame).
#pragma once

#include <cstdint>

#include "ac3/ac3_state.h"
#include "common/q24.h"

// Dither amplitude: 0.7071 in Q24. The register value, read as a signed
// 16-bit fraction of full scale, is scaled to -0.707 .. +0.707 as A/52
// asks, below the largest level a coded mantissa can have.
constexpr int32_t AC3_DITHER_SCALE = 11863283;

// Advances the register (shift right, XOR 0xA55A when a 1 fell out) and
// returns the new value as a dither level.
inline Q24 Ac3Dither() {
  uint32_t r = Ac3Decoder.ditherRegister;
  uint32_t fell = r & 1;
  r >>= 1;
  if (fell) r ^= 0xA55A;
  Ac3Decoder.ditherRegister = static_cast<uint16_t>(r);
  int32_t s = static_cast<int16_t>(r);
  return MulQ24(s * 512, AC3_DITHER_SCALE);
}
