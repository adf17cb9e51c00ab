// MSB-first bit writer of one frame. It never stores past the frame's end:
// bits beyond it are dropped and counted as an overflow.
//
// Bits gather in a 64-bit accumulator and are stored 32 at a time: a frame
// takes some 1,500 fields of 2 to 16 bits, and a call per field that stored
// its own bytes cost the encoder more than the quantisation does.
#pragma once

#include <cstdint>

struct BitWriterState {
  uint8_t* BitPtr;     // next byte to store
  uint8_t* end;        // one past the frame's last byte
  int BitCount;        // 0..31 bits pending
  uint64_t BitAcc;     // pending bits in the low BitCount bits
  bool overflow;       // a byte did not fit
};

extern BitWriterState BitWriter;

void BitWriterStart(uint8_t* begin, uint8_t* end);
// Stores the 32 oldest pending bits (BitCount is 32 or more).
void BitWriterStoreWord();

// Appends the low n bits of value (1 <= n <= 16), most significant first.
inline void PutBits(uint32_t value, int n) {
  BitWriter.BitAcc = (BitWriter.BitAcc << n) | (value & ((1u << n) - 1));
  BitWriter.BitCount += n;
  if (BitWriter.BitCount >= 32) BitWriterStoreWord();
}

// Stores the pending bits, the last byte padded with zero bits.
void BitWriterFlush();
