// MSB-first bit writer of one frame. It never stores past the frame's end:
// bits beyond it are dropped and counted as an overflow.
#pragma once

#include <cstdint>

struct BitWriterState {
  uint8_t* BitPtr;     // next byte to store
  uint8_t* end;        // one past the frame's last byte
  int BitCount;        // 0..7 bits pending
  uint32_t BitAcc;     // pending bits, left-aligned in a byte
  bool overflow;       // a byte did not fit
};

extern BitWriterState BitWriter;

void BitWriterStart(uint8_t* begin, uint8_t* end);
// Appends the low n bits of value (1 <= n <= 16), most significant first.
void PutBits(uint32_t value, int n);
// Stores the pending bits as one last byte.
void BitWriterFlush();
