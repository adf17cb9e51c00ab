#include "mpa/bit_writer.h"

BitWriterState BitWriter;

void BitWriterStart(BitWriterState& w, uint8_t* begin, uint8_t* end) {
  w.BitPtr = begin;
  w.end = end;
  w.BitCount = 0;
  w.BitAcc = 0;
  w.overflow = false;
}

void BitWriterStart(uint8_t* begin, uint8_t* end) { BitWriterStart(BitWriter, begin, end); }

namespace {

void StoreByte(BitWriterState& w, uint8_t byte) {
  if (w.BitPtr < w.end) {
    *w.BitPtr++ = byte;
  } else {
    w.overflow = true;
  }
}

}  // namespace

uint8_t* BitWriterStoreTail(uint8_t* p, uint8_t* end, uint32_t word) {
  for (int shift = 24; shift >= 0 && p < end; shift -= 8) *p++ = static_cast<uint8_t>(word >> shift);
  return p;
}

void BitWriterFlush(BitWriterState& w) {
  for (; w.BitCount >= 8; w.BitCount -= 8) StoreByte(w, static_cast<uint8_t>(w.BitAcc >> (w.BitCount - 8)));
  if (w.BitCount != 0) StoreByte(w, static_cast<uint8_t>(w.BitAcc << (8 - w.BitCount)));
  w.BitCount = 0;
  w.BitAcc = 0;
}

void BitWriterFlush() { BitWriterFlush(BitWriter); }
