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
  else if (sub >= 0x80 && sub <= 0x87)
    MarkSeen(TitleScanner.ac3Seen, sub - 0x80);
  else if (sub >= 0x88 && sub <= 0x8F)
    MarkSeen(TitleScanner.dtsSeen, sub - 0x88);
  else if (sub >= 0x20 && sub <= 0x3F)
    TitleScanner.subpictureSeen[sub - 0x20] = true;  // not a list line: the walk's limit stays that of audio
  // Anything else is neither listed nor counted.
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
  for (bool& seen : TitleScanner.subpictureSeen) seen = false;
  TitleScanner.hits = 0;
  TitleScanner.byteCount = 0;
  TitleScanner.walkedMB = 0;
  TitleScanner.limitMB = limitMB;
  TitleScanner.scrambled = false;
}

namespace {

// The scan passes over damage as the extraction does (unless the run stops
// at damage): a record it cannot use sends it to the next whole pack.
enum class Walked { On, Ended, Damaged, Failed };

Walked Damaged() { return StopOnDamage ? Walked::Failed : Walked::Damaged; }

// The start code at `current` into id.
Walked TakeCode(uint8_t& id) {
  if (StopOnDamage) return ReadStartCode(id) ? Walked::On : Walked::Failed;
  uint8_t prefix[4];
  if (PeekAtCurrent(0, 4, prefix) != RecordRead::Read || prefix[0] != 0 || prefix[1] != 0 || prefix[2] != 1)
    return Walked::Damaged;
  id = prefix[3];
  return Walked::On;
}

Walked TakeLength(uint32_t& length) {
  if (StopOnDamage) return TakeRecordLength(length) ? Walked::On : Walked::Failed;
  return ReadRecordLength(length) == RecordRead::Read ? Walked::On : Walked::Damaged;
}

// Advances past the record and takes the next code byte.
Walked Advance(uint32_t length, uint8_t& id) {
  if (!StopOnDamage && length > VobReadableInView()) return Walked::Damaged;
  if (!AdvanceRecord(length)) return Walked::Failed;
  CountBytes(length);
  if (VobReader.closed) return Walked::Ended;
  return TakeCode(id);
}

// One pack from its header; id holds the code byte of what follows it.
Walked WalkPack(uint8_t& id) {
  // Anything but a pack start here (the program end code) ends the walk.
  if (id != CODE_PACK) return id == CODE_END || StopOnDamage ? Walked::Ended : Walked::Damaged;
  Walked step = Advance(INPUT_PACK_HEADER_BYTES, id);
  if (step != Walked::On) return step;
  if (id == CODE_SYSTEM_HEADER) {
    uint32_t length;
    if ((step = TakeLength(length)) != Walked::On || (step = Advance(length, id)) != Walked::On) return step;
  }
  // Every id above the system header's is a packet with a length field.
  while (id > CODE_SYSTEM_HEADER) {
    uint32_t length;
    if ((step = TakeLength(length)) != Walked::On) return step;
    if (!StopOnDamage && length > VobReadableInView()) return Walked::Damaged;
    if (!ClassifyPacket(id, length)) return Damaged();
    // In a scrambled title the bytes after a pack's first packet may be
    // scrambled too (a padding packet after it): the walk goes on at the
    // next pack, where the headers are clear again.
    if (TitleScanner.scrambled) length = PACK_SIZE - VobCurrentOffset() % PACK_SIZE;
    if (!AdvanceRecord(length)) return Walked::Failed;
    CountBytes(length);
    if (WalkLimitReached()) return Walked::Ended;
    if ((step = TakeCode(id)) != Walked::On) return step;
  }
  return Walked::On;
}

// To the next whole pack: a pack start code on a 2048-byte boundary with a
// plausible header; Ended when the title ends first.
Walked SkipToNextPack(uint8_t& id) {
  ++TitleScanner.damageSkipped;
  uint32_t offset = (VobCurrentOffset() / PACK_SIZE + 1) * PACK_SIZE;
  uint32_t lastUnreadable = UINT32_MAX;
  while (!AbortFlag.load(std::memory_order_relaxed)) {
    if (!VobSeek(offset)) return Walked::Failed;
    if (VobReader.closed) return Walked::Ended;
    offset = VobCurrentOffset();  // 0 when the next part opened
    uint8_t head[INPUT_PACK_HEADER_BYTES];
    if (VobBytesInView() < sizeof head) {
      offset = VobReader.fileSize;
    } else if (VobReadableInView() < sizeof head || !VobGuardedRead(VobReader.current, sizeof head, head)) {
      const uint32_t next = VobNextReadableBlock(offset);
      offset = next == offset && offset == lastUnreadable ? offset + PACK_SIZE : next;
      lastUnreadable = next;
    } else if (PlausiblePackHeader(head)) {
      id = CODE_PACK;
      return Walked::On;
    } else {
      offset += PACK_SIZE;
    }
  }
  return Walked::Ended;
}

}  // namespace

bool ScanWalkTitle() {
  uint8_t id = 0;
  Walked step = TakeCode(id);
  for (;;) {
    if (step == Walked::On) step = WalkPack(id);
    if (step == Walked::Damaged) step = SkipToNextPack(id);
    if (step == Walked::Ended) return true;
    if (step == Walked::Failed) return false;
  }
}
