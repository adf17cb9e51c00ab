#include "extract/decoder_buffer_model.h"

namespace {

BufferSegment& At(DecoderBufferModel& buffer, uint32_t i) {
  return buffer.segment[(buffer.first + i) % BUFFER_SEGMENT_SLOTS];
}

const BufferSegment& At(const DecoderBufferModel& buffer, uint32_t i) {
  return buffer.segment[(buffer.first + i) % BUFFER_SEGMENT_SLOTS];
}

}  // namespace

void BufferReset(DecoderBufferModel& buffer, uint32_t capacity) {
  buffer.capacity = capacity;
  buffer.occupancy = 0;
  buffer.first = 0;
  buffer.count = 0;
}

void BufferDecodeUntil(DecoderBufferModel& buffer, uint32_t t) {
  while (buffer.count > 0 && !TimeBefore(t, At(buffer, 0).dts)) {
    buffer.occupancy -= At(buffer, 0).bytes;
    buffer.first = (buffer.first + 1) % BUFFER_SEGMENT_SLOTS;
    --buffer.count;
  }
}

bool BufferTimeWhenFits(const DecoderBufferModel& buffer, uint32_t t, uint32_t bytes, uint32_t& when) {
  if (bytes > buffer.capacity) return false;
  uint32_t occupancy = buffer.occupancy;
  when = t;
  for (uint32_t i = 0; i < buffer.count && occupancy + bytes > buffer.capacity; ++i) {
    occupancy -= At(buffer, i).bytes;
    when = LaterTime(t, At(buffer, i).dts);
  }
  return true;
}

void BufferAdd(DecoderBufferModel& buffer, BufferSegment segment) {
  if (buffer.count > 0) {
    BufferSegment& newest = At(buffer, buffer.count - 1);
    segment.dts = LaterTime(segment.dts, newest.dts);
    // The same unit, or no slot left: held until the later time (the model
    // then errs toward a fuller buffer, never an emptier one).
    if (segment.dts == newest.dts || buffer.count == BUFFER_SEGMENT_SLOTS) {
      newest.bytes += segment.bytes;
      newest.dts = segment.dts;
      buffer.occupancy += segment.bytes;
      return;
    }
  }
  At(buffer, buffer.count) = segment;
  ++buffer.count;
  buffer.occupancy += segment.bytes;
}
