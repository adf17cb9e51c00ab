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

uint8_t* BitWriterStoreTail(uint8_t* p, uint8_t* end, uint32_t word) {
  for (int shift = 24; shift >= 0 && p < end; shift -= 8) *p++ = static_cast<uint8_t>(word >> shift);
  return p;
}

void BitWriterFlush() {
  for (; BitWriter.BitCount >= 8; BitWriter.BitCount -= 8)
    StoreByte(static_cast<uint8_t>(BitWriter.BitAcc >> (BitWriter.BitCount - 8)));
  if (BitWriter.BitCount != 0) StoreByte(static_cast<uint8_t>(BitWriter.BitAcc << (8 - BitWriter.BitCount)));
  BitWriter.BitCount = 0;
  BitWriter.BitAcc = 0;
}
