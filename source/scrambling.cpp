#include "source/scrambling.h"

#include "platform/drives.h"
#include "source/vob_reader.h"

namespace {

uint32_t Field16(const uint8_t* p) { return (static_cast<uint32_t>(p[0]) << 8) | p[1]; }

// The packets of one pack, after its header and any system header.
bool PackScrambled(const uint8_t* pack) {
  if (pack[0] != 0 || pack[1] != 0 || pack[2] != 1 || pack[3] != 0xBA) return false;
  uint32_t at = 14 + (pack[13] & 0x07);
  while (at + 6 <= PACK_SIZE) {
    const uint8_t* record = pack + at;
    if (record[0] != 0 || record[1] != 0 || record[2] != 1 || record[3] < 0xBB) return false;
    const uint32_t length = Field16(record + 4) + 6;
    if (at + length > PACK_SIZE) return false;
    if (ScramblableStream(record[3]) && PesScrambled(record, length)) return true;
    at += length;
  }
  return false;
}

}  // namespace

bool PacksScrambled(const uint8_t* bytes, size_t length) {
  for (size_t at = 0; at + PACK_SIZE <= length; at += PACK_SIZE)
    if (PackScrambled(bytes + at)) return true;
  return false;
}

bool VobTitleStartScrambled() {
  uint8_t pack[PACK_SIZE];
  for (int i = 0; i < PACKS_LOOKED_AT && !VobReader.closed; ++i) {
    // A pack the drive withholds from a protected disc is an encrypted one.
    if (VobBytesInView() < PACK_SIZE || !VobGuardedRead(VobReader.current, PACK_SIZE, pack))
      return SelectedDiscCopyProtected();
    if (PackScrambled(pack)) return true;
    if (VobReader.fileSize - VobCurrentOffset() < PACK_SIZE || !VobAdvance(PACK_SIZE)) return false;
  }
  return false;
}
