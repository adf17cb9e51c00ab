// A toy reversible scrambling of our own for the tests of encrypted discs
// (it is not CSS and has nothing of it): a 2048-byte pack whose first PES
// packet says it is scrambled (PES_scrambling_control, byte 0x14 of the
// block, bits 5..4) has bytes 0x80..0x7FF XORed with a fixed pattern.
// Scrambling sets the control bits to 01; unscrambling clears them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace toy_scrambling {

constexpr size_t BLOCK = 2048;
constexpr size_t FIRST_SCRAMBLED = 0x80;
constexpr size_t CONTROL_BYTE = 0x14;  // byte 6 of the packet after a 14-byte pack header

inline uint8_t PatternByte(size_t i) { return static_cast<uint8_t>(0xA5 ^ (i * 29)); }

inline void XorPattern(uint8_t* block) {
  for (size_t i = FIRST_SCRAMBLED; i < BLOCK; ++i) block[i] ^= PatternByte(i);
}

// A pack whose first packet is video, MPEG audio or private stream 1 with
// an MPEG-2 PES header: the packets a disc scrambles.
inline bool Scramblable(const uint8_t* block) {
  const uint8_t* packet = block + 14;
  return block[0] == 0 && block[1] == 0 && block[2] == 1 && block[3] == 0xBA && (block[13] & 7) == 0 &&
         packet[0] == 0 && packet[1] == 0 && packet[2] == 1 &&
         (packet[3] == 0xBD || (packet[3] >= 0xC0 && packet[3] <= 0xEF)) && (packet[6] & 0xC0) == 0x80;
}

inline void Scramble(uint8_t* block) {
  if (!Scramblable(block) || (block[CONTROL_BYTE] & 0x30) != 0) return;
  block[CONTROL_BYTE] |= 0x10;
  XorPattern(block);
}

inline void Unscramble(uint8_t* block) {
  if (!Scramblable(block) || (block[CONTROL_BYTE] & 0x30) == 0) return;
  XorPattern(block);
  block[CONTROL_BYTE] &= static_cast<uint8_t>(~0x30);
}

}  // namespace toy_scrambling
