// MSB-first bit writer of one frame. It never stores past the frame's end:
// bits beyond it are dropped and counted as an overflow.
//
// Bits gather in a 64-bit accumulator and are stored 32 at a time: a frame
// takes some 1,500 fields of 2 to 16 bits, and a call per field that stored
// its own bytes cost the encoder more than the quantisation does.
#pragma once

#include <cstdint>
#include <cstring>

struct BitWriterState {
  uint8_t* BitPtr;     // next byte to store
  uint8_t* end;        // one past the frame's last byte
  int BitCount;        // 0..31 bits pending
  uint64_t BitAcc;     // pending bits in the low BitCount bits
  bool overflow;       // a byte did not fit
};

// The first writer: the one the functions without a writer argument use.
extern BitWriterState BitWriter;

void BitWriterStart(BitWriterState& w, uint8_t* begin, uint8_t* end);
void BitWriterStart(uint8_t* begin, uint8_t* end);

// Stores the bytes of word, most significant first, that fit before end;
// returns the pointer past the last one stored.
uint8_t* BitWriterStoreTail(uint8_t* p, uint8_t* end, uint32_t word);

// Appends the low n bits of value (1 <= n <= 16), most significant first,
// to the writer w: BitWriter itself, or a copy that a caller keeps in
// registers through a frame (a writer in memory is reloaded after every
// store of bytes, which may alias it).
inline void PutBitsTo(BitWriterState& w, uint32_t value, int n) {
  w.BitAcc = (w.BitAcc << n) | (value & ((1u << n) - 1));
  w.BitCount += n;
  if (w.BitCount < 32) return;
  w.BitCount -= 32;
  uint32_t word = static_cast<uint32_t>(w.BitAcc >> w.BitCount);
  if (w.end - w.BitPtr >= 4) {
    uint32_t bigEndian = __builtin_bswap32(word);
    std::memcpy(w.BitPtr, &bigEndian, sizeof bigEndian);
    w.BitPtr += 4;
    return;
  }
  uint8_t* p = BitWriterStoreTail(w.BitPtr, w.end, word);
  w.overflow = w.overflow || p - w.BitPtr < 4;
  w.BitPtr = p;
}

inline void PutBits(uint32_t value, int n) { PutBitsTo(BitWriter, value, n); }

// Stores the pending bits, the last byte padded with zero bits.
void BitWriterFlush(BitWriterState& w);
void BitWriterFlush();
