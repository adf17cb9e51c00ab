// The bit reader every field of a frame is read through: most significant
// bit first, at most 16 bits a read.
#pragma once

#include <cstdint>

#include "ac3/ac3_state.h"

// Starts reading a frame: length bytes from data, nothing cached.
inline void Ac3BitReaderStart(Ac3DecoderState& s, const uint8_t* data, uint32_t length) {
  s.data = data;
  s.byteLength = length;
  s.bitPosition = 0;
}
inline void Ac3BitReaderStart(const uint8_t* data, uint32_t length) { Ac3BitReaderStart(Ac3Decoder, data, length); }

// The next n bits (1 <= n <= 16) of data[0 .. byteLength-1] from bit
// position on, most significant first; advances position. A read that runs
// past the end returns 0 and leaves position as it is.
inline uint32_t Ac3ReadBits(const uint8_t* data, uint32_t byteLength, uint64_t& position, int n) {
  if (position + static_cast<uint64_t>(n) > uint64_t{byteLength} * 8) return 0;
  const uint64_t byte = position >> 3;
  const uint8_t* p = data + byte;
  uint32_t window;
  if (byte + 3 <= byteLength) {
    window = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8);
  } else {
    // At most the last two bytes; the read fits in them.
    window = uint32_t{p[0]} << 24;
    if (byte + 1 < byteLength) window |= uint32_t{p[1]} << 16;
  }
  const uint32_t value = (window << (position & 7)) >> (32 - n);
  position += static_cast<uint64_t>(n);
  return value;
}

// The next n bits (0 <= n <= 16) of the frame as an unsigned value. A read
// that runs past the end returns 0 and consumes nothing, so every later read
// of a frame that ended early gives zeros too.
inline uint32_t Ac3GetBits(Ac3DecoderState& s, int n) {
  if (n == 0) return 0;
  return Ac3ReadBits(s.data, s.byteLength, s.bitPosition, n);
}
inline uint32_t Ac3GetBits(int n) { return Ac3GetBits(Ac3Decoder, n); }

// Bits consumed since the start of the frame.
inline uint64_t Ac3BitPosition(const Ac3DecoderState& s) { return s.bitPosition; }
inline uint64_t Ac3BitPosition() { return Ac3BitPosition(Ac3Decoder); }
