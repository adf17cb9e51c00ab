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

void BitWriterStoreWord() {
  BitWriter.BitCount -= 32;
  uint32_t word = static_cast<uint32_t>(BitWriter.BitAcc >> BitWriter.BitCount);
  if (BitWriter.end - BitWriter.BitPtr >= 4) {
    uint8_t* p = BitWriter.BitPtr;
    p[0] = static_cast<uint8_t>(word >> 24);
    p[1] = static_cast<uint8_t>(word >> 16);
    p[2] = static_cast<uint8_t>(word >> 8);
    p[3] = static_cast<uint8_t>(word);
    BitWriter.BitPtr = p + 4;
    return;
  }
  for (int shift = 24; shift >= 0; shift -= 8) StoreByte(static_cast<uint8_t>(word >> shift));
}

void BitWriterFlush() {
  for (; BitWriter.BitCount >= 8; BitWriter.BitCount -= 8)
    StoreByte(static_cast<uint8_t>(BitWriter.BitAcc >> (BitWriter.BitCount - 8)));
  if (BitWriter.BitCount != 0) StoreByte(static_cast<uint8_t>(BitWriter.BitAcc << (8 - BitWriter.BitCount)));
  BitWriter.BitCount = 0;
  BitWriter.BitAcc = 0;
}
