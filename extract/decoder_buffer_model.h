// The decoder buffer of one output stream as the multiplexer models it:
// the bytes sent and not yet decoded, each removed at the decoding time of
// the access unit it belongs to. A pack may be sent only while its bytes
// fit beside them.
//
// Times are 90 kHz counts compared as signed distances, so that they may
// pass the 32-bit wrap.
#pragma once

#include <cstdint>

constexpr uint32_t BUFFER_SEGMENT_SLOTS = 1024;

struct BufferSegment {
  uint32_t dts = 0;    // decoding time of the access unit
  uint32_t bytes = 0;  // its bytes sent in one pack
};

struct DecoderBufferModel {
  uint32_t capacity = 0;   // bytes a pack may fill up to
  uint32_t occupancy = 0;  // bytes in the buffer
  BufferSegment segment[BUFFER_SEGMENT_SLOTS];  // in decoding order, oldest at first
  uint32_t first = 0;
  uint32_t count = 0;
};

// a is earlier than b.
constexpr bool TimeBefore(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }
constexpr uint32_t LaterTime(uint32_t a, uint32_t b) { return TimeBefore(a, b) ? b : a; }

void BufferReset(DecoderBufferModel& buffer, uint32_t capacity);
// Removes what is decoded at or before time t.
void BufferDecodeUntil(DecoderBufferModel& buffer, uint32_t t);
// The earliest time, not before t, at which bytes more fit in the buffer.
// False when they never fit (more than the capacity).
bool BufferTimeWhenFits(const DecoderBufferModel& buffer, uint32_t t, uint32_t bytes, uint32_t& when);
// Bytes of one access unit arrive. A unit decoded before the newest one
// held is taken as decoded with it (decoding times never go back).
void BufferAdd(DecoderBufferModel& buffer, BufferSegment segment);
