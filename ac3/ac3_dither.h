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

// After j steps (1..8) a register r holds (r >> j) ^ Ac3DitherSteps[r & 0xFF][j - 1].
extern const uint16_t Ac3DitherSteps[256][8];

// One step of the register: shift right, XOR 0xA55A when a 1 fell out.
inline uint32_t Ac3DitherStep(uint32_t r) {
  const uint32_t fell = r & 1;
  r >>= 1;
  return fell ? r ^ 0xA55A : r;
}

// The register's value as a dither level.
inline Q24 Ac3DitherLevel(uint32_t r) { return MulQ24(static_cast<int16_t>(r) * 512, AC3_DITHER_SCALE); }

// Advances the register and returns the new value as a dither level.
inline Q24 Ac3Dither(Ac3DecoderState& s) {
  const uint32_t r = Ac3DitherStep(s.ditherRegister);
  s.ditherRegister = static_cast<uint16_t>(r);
  return Ac3DitherLevel(r);
}
inline Q24 Ac3Dither() { return Ac3Dither(Ac3Decoder); }

// The same levels as Ac3Dither, for a loop that takes many: the next eight
// register values are worked out together from the present one, so a run of
// zero-bit mantissas does not wait on one shift after another. Taken from
// and given back to the decoder's register.
struct Ac3DitherRun {
  uint32_t reg;  // after the levels handed out so far
  int next = 8;  // levels[next] is the next one; 8: none worked out
  uint16_t ahead[8] = {};
  Q24 levels[8] = {};

  static Ac3DitherRun FromDecoder(const Ac3DecoderState& s = Ac3Decoder) { return Ac3DitherRun{s.ditherRegister}; }
  void ToDecoder(Ac3DecoderState& s = Ac3Decoder) const { s.ditherRegister = static_cast<uint16_t>(reg); }

  Q24 Take() {
    if (next == 8) WorkOutAhead();
    reg = ahead[next];
    return levels[next++];
  }

 private:
  void WorkOutAhead() {
    const uint32_t low = reg & 0xFF;
    for (int j = 0; j < 8; ++j) {
      ahead[j] = static_cast<uint16_t>((reg >> (j + 1)) ^ Ac3DitherSteps[low][j]);
      levels[j] = Ac3DitherLevel(ahead[j]);
    }
    next = 0;
  }
};
