#include "source/input_layout.h"

#include "platform/guarded_read.h"
#include "source/vob_reader.h"

RecordRead PeekAtCurrent(uint32_t offset, uint32_t count, uint8_t* out) {
  const uint32_t available = VobBytesInView();
  if (offset > available || count > available - offset) return RecordRead::OutsideView;
  return GuardedRead(VobReader.current + offset, count, out) ? RecordRead::Read : RecordRead::Faulted;
}

RecordRead ReadRecordLength(uint32_t& length) {
  uint8_t field[2];
  const RecordRead result = PeekAtCurrent(4, 2, field);
  if (result == RecordRead::Read) length = ReadBigEndian16(field) + RECORD_PREFIX_BYTES;
  return result;
}
