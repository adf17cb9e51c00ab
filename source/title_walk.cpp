// The walk of the beginning of one title and the classification of the
// packets met on it.
#include "platform/drives.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "source/input_layout.h"
#include "source/scrambling.h"
#include "source/title_scanner.h"
#include "source/vob_reader.h"

namespace {

// A read fault ends the walk of this title only: the scan goes on with the
// next one, so the abort flag stays clear.
bool FailReadFault() {
  // A disc whose sectors the drive withholds for want of keys is encrypted.
  if (SelectedDiscCopyProtected()) TitleScanner.scrambled = true;
  ShowVobDetailError(IDS_INPUT_ACCESS);
  return false;
}

// A record whose bytes would run past the mapped view. Past the end of the
// part it is the reader's own failure (123); inside the part only a corrupt
// length field can claim it, and the record is not followed.
bool FailBeyondView(uint32_t length) {
  AbortFlag = true;
  if (static_cast<uint64_t>(VobCurrentOffset()) + length > VobReader.fileSize)
    ShowVobError(IDS_READ_ABOVE_END);
  else
    ShowVobDetailError(IDS_PES_CROSSING);
  return false;
}

bool Fail(RecordRead result, uint32_t length) {
  return result == RecordRead::Faulted ? FailReadFault() : FailBeyondView(length);
}

// Reads the start code at `current`; id receives its code byte.
bool ReadStartCode(uint8_t& id) {
  uint8_t prefix[4];
  RecordRead result = PeekAtCurrent(0, 4, prefix);
  if (result != RecordRead::Read) return Fail(result, 4);
  if (!VobCheckPackStart(prefix)) return false;
  id = prefix[3];
  return true;
}

// The whole length of the record at `current` from its 16-bit length field.
bool TakeRecordLength(uint32_t& length) {
  RecordRead result = ReadRecordLength(length);
  return result == RecordRead::Read || Fail(result, RECORD_PREFIX_BYTES);
}

// Advances past a record that lies whole inside the view.
bool AdvanceRecord(uint32_t length) {
  if (length > VobBytesInView()) return FailBeyondView(length);
  return VobAdvance(length);
}

void CountBytes(uint32_t length) {
  TitleScanner.byteCount += length;
  if (TitleScanner.byteCount >= MEBIBYTE) {
    TitleScanner.byteCount -= MEBIBYTE;
    ++TitleScanner.walkedMB;
  }
}

void MarkSeen(bool* seen, int index) {
  seen[index] = true;
  ++TitleScanner.hits;
}

// The sub-stream id of a private stream 1 packet of the given length: its
// first payload byte, at 9 + PES_header_data_length. A packet too short to
// hold it has none.
bool ReadSubStreamId(uint32_t length, bool& present, uint8_t& subStreamId) {
  present = false;
  uint8_t headerLength;
  if (length <= 9) return true;
  RecordRead result = PeekAtCurrent(8, 1, &headerLength);
  if (result == RecordRead::Faulted) return FailReadFault();
  if (result == RecordRead::OutsideView || 9u + headerLength >= length) return true;
  result = PeekAtCurrent(9u + headerLength, 1, &subStreamId);
  if (result == RecordRead::Faulted) return FailReadFault();
  present = result == RecordRead::Read;
  return true;
}

// Notes a scrambled (CSS) packet: the title cannot be extracted.
bool NoteScrambling(uint8_t id, uint32_t length) {
  if (!ScramblableStream(id) || length <= 6) return true;
  uint8_t head[7];
  RecordRead result = PeekAtCurrent(0, 7, head);
  if (result == RecordRead::Faulted) return FailReadFault();
  if (result == RecordRead::Read && PesScrambled(head, length)) TitleScanner.scrambled = true;
  return true;
}

// Sets the flag of the audio stream the packet belongs to, if any.
bool ClassifyPacket(uint8_t id, uint32_t length) {
  if (!NoteScrambling(id, length)) return false;
  if (id >= 0xC0 && id <= 0xDF) {
    MarkSeen(TitleScanner.mpegSeen, id - 0xC0);
    return true;
  }
  if (id != CODE_PRIVATE_1) return true;
  bool present;
  uint8_t sub;
  if (!ReadSubStreamId(length, present, sub)) return false;
  if (!present) return true;
  if (sub >= 0xA0 && sub <= 0xA9)
    MarkSeen(TitleScanner.pcmSeen, sub - 0xA0);
  else if (sub >= 0x80 && sub <= 0x88)
    MarkSeen(TitleScanner.ac3Seen, sub - 0x80);
  else if (sub >= 0x89 && sub <= 0x8E)
    MarkSeen(TitleScanner.dtsSeen, sub - 0x89);
  // Anything else (sub-pictures 0x20.., 0x8F, ...) is neither listed nor counted.
  return true;
}

// True when the walk is over after a packet (the order of the tests counts).
bool WalkLimitReached() {
  return VobReader.closed || TitleScanner.walkedMB > TitleScanner.limitMB || TitleScanner.hits >= SCAN_HIT_LIMIT ||
         AbortFlag.load(std::memory_order_relaxed);
}

}  // namespace

void ScanClearTitle(uint32_t limitMB) {
  for (bool& seen : TitleScanner.mpegSeen) seen = false;
  for (bool& seen : TitleScanner.pcmSeen) seen = false;
  for (bool& seen : TitleScanner.ac3Seen) seen = false;
  for (bool& seen : TitleScanner.dtsSeen) seen = false;
  TitleScanner.hits = 0;
  TitleScanner.byteCount = 0;
  TitleScanner.walkedMB = 0;
  TitleScanner.limitMB = limitMB;
  TitleScanner.scrambled = false;
}

bool ScanWalkTitle() {
  uint8_t id;
  if (!ReadStartCode(id)) return false;
  for (;;) {
    // Anything but a pack start here (the program end code) ends the walk.
    if (id != CODE_PACK) return true;
    if (!AdvanceRecord(INPUT_PACK_HEADER_BYTES)) return false;
    CountBytes(INPUT_PACK_HEADER_BYTES);
    if (VobReader.closed) return true;
    if (!ReadStartCode(id)) return false;
    if (id == CODE_SYSTEM_HEADER) {
      uint32_t length;
      if (!TakeRecordLength(length) || !AdvanceRecord(length)) return false;
      CountBytes(length);
      if (VobReader.closed) return true;
      if (!ReadStartCode(id)) return false;
    }
    // Every id above the system header's is a packet with a length field.
    while (id > CODE_SYSTEM_HEADER) {
      uint32_t length;
      if (!TakeRecordLength(length) || !ClassifyPacket(id, length) || !AdvanceRecord(length)) return false;
      CountBytes(length);
      if (WalkLimitReached()) return true;
      if (!ReadStartCode(id)) return false;
    }
  }
}
