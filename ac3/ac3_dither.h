// The dither generator that fills zero-bit mantissas: a 16-bit shift
// register (0xFFFF after a reset, never reset per frame).
#pragma once

#include <cstdint>

#include "ac3/ac3_state.h"
#include "common/q24.h"

// Dither amplitude: 10^(-10/20) in Q24.
constexpr int32_t AC3_DITHER_SCALE = 5305422;

// Advances the register (shift right, XOR 0xA55A when a 1 fell out) and
// returns the new value, read as signed 16 bits, scaled to about +-2.53.
inline Q24 Ac3Dither() {
  uint32_t r = Ac3Decoder.ditherRegister;
  uint32_t fell = r & 1;
  r >>= 1;
  if (fell) r ^= 0xA55A;
  Ac3Decoder.ditherRegister = static_cast<uint16_t>(r);
  int32_t s = static_cast<int16_t>(r);
  return MulQ24(s * 4096, AC3_DITHER_SCALE);
}
