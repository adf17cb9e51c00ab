// The bit reader every field of a frame is read through: most significant
// bit first, at most 16 bits a read.
#pragma once

#include <cstdint>

#include "ac3/ac3_state.h"

// Starts reading a frame: length bytes from data, nothing cached.
inline void Ac3BitReaderStart(const uint8_t* data, uint32_t length) {
  Ac3Decoder.data = data;
  Ac3Decoder.byteLength = length;
  Ac3Decoder.bitLength = length * 8;
  Ac3Decoder.bitPosition = 0;
}

// The next n bits (0 <= n <= 16) as an unsigned value. A read that runs past
// the end returns 0 and consumes nothing, so every later read of a frame
// that ended early gives zeros too.
inline uint32_t Ac3GetBits(int n) {
  Ac3DecoderState& r = Ac3Decoder;
  uint32_t position = r.bitPosition;
  if (n == 0 || position + static_cast<uint32_t>(n) > r.bitLength) return 0;
  uint32_t byte = position >> 3;
  const uint8_t* p = r.data + byte;
  uint32_t window;
  if (byte + 3 <= r.byteLength) {
    window = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8);
  } else {
    // At most the last two bytes; the read fits in them.
    window = uint32_t{p[0]} << 24;
    if (byte + 1 < r.byteLength) window |= uint32_t{p[1]} << 16;
  }
  r.bitPosition = position + static_cast<uint32_t>(n);
  return (window << (position & 7)) >> (32 - n);
}

// Bits consumed since the start of the frame.
inline uint32_t Ac3BitPosition() { return Ac3Decoder.bitPosition; }
