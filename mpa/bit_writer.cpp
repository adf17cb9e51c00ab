#include "mpa/bit_writer.h"

BitWriterState BitWriter;

void BitWriterStart(uint8_t* begin, uint8_t* end) {
  BitWriter.BitPtr = begin;
  BitWriter.end = end;
  BitWriter.BitCount = 0;
  BitWriter.BitAcc = 0;
  BitWriter.overflow = false;
}

namespace {

void StoreByte(uint8_t byte) {
  if (BitWriter.BitPtr < BitWriter.end) {
    *BitWriter.BitPtr++ = byte;
  } else {
    BitWriter.overflow = true;
  }
}

}  // namespace

void PutBits(uint32_t value, int n) {
  // Accumulate below the pending bits; at most two bytes complete per call.
  uint32_t acc = (BitWriter.BitAcc << 16) | ((value & ((1u << n) - 1)) << (24 - BitWriter.BitCount - n));
  int count = BitWriter.BitCount + n;
  while (count >= 8) {
    StoreByte(static_cast<uint8_t>(acc >> 16));
    acc = (acc << 8) & 0xFFFFFF;
    count -= 8;
  }
  BitWriter.BitAcc = acc >> 16;
  BitWriter.BitCount = count;
}

void BitWriterFlush() {
  if (BitWriter.BitCount != 0) StoreByte(static_cast<uint8_t>(BitWriter.BitAcc));
  BitWriter.BitCount = 0;
  BitWriter.BitAcc = 0;
}
