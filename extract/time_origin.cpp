#include "extract/time_origin.h"

#include <algorithm>
#include <vector>

#include "extract/kept_audio.h"
#include "extract/output_multiplexer.h"
#include "source/input_layout.h"
#include "source/vob_reader.h"

namespace {

constexpr uint8_t PRIVATE_STREAM_1 = 0xBD;
constexpr uint8_t VIDEO_STREAM = 0xE0;
constexpr uint32_t PACK_HEADER_BYTES = 14;
constexpr int32_t LOOK_PAST_PICTURE = 9000;  // 0.1 s of SCR after the first picture's time

struct StartTimes {
  bool gopSeen = false;
  bool videoKnown = false;
  uint32_t video = 0;                 // earliest video time stamp from the first GOP on
  std::vector<bool> audioKnown;       // per kept track
  std::vector<uint32_t> audio;        // its earliest time stamp
  bool scrKnown = false;
  uint32_t scr = 0;
};

bool Earlier(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

void TakeEarliest(bool& known, uint32_t& earliest, uint32_t pts) {
  if (!known || Earlier(pts, earliest)) earliest = pts;
  known = true;
}

bool HoldsGopStart(const uint8_t* payload, uint32_t bytes) {
  for (uint32_t i = 0; i + 4 <= bytes; ++i)
    if (payload[i] == 0 && payload[i + 1] == 0 && payload[i + 2] == 1 && payload[i + 3] == 0xB8) return true;
  return false;
}

// The kept track a packet belongs to, or -1.
int KeptRequestOfPacket(const uint8_t* record, uint32_t length) {
  const uint8_t id = record[3];
  const bool privateStream = id == PRIVATE_STREAM_1;
  if (!privateStream && (id & 0xE0) != 0xC0) return -1;
  uint8_t subStreamId = 0;
  if (privateStream) {
    const uint32_t at = PesPayloadOffset(record);
    if (at >= length) return -1;
    subStreamId = record[at];
  }
  return KeptRequestOf(privateStream, privateStream ? subStreamId : id);
}

void TakePacket(StartTimes& times, const uint8_t* record, uint32_t length) {
  if (length < 9 || (record[6] & 0xC0) != 0x80) return;  // an MPEG-2 PES header
  const bool hasPts = PesHasPts(record, length);
  if (record[3] == VIDEO_STREAM) {
    const uint32_t at = PesPayloadOffset(record);
    if (!times.gopSeen && at < length) times.gopSeen = HoldsGopStart(record + at, length - at);
    if (times.gopSeen && hasPts) TakeEarliest(times.videoKnown, times.video, ReadPesPts(record));
    return;
  }
  const int k = KeptRequestOfPacket(record, length);
  if (k < 0 || !hasPts) return;
  bool known = times.audioKnown[k];
  TakeEarliest(known, times.audio[k], ReadPesPts(record));
  times.audioKnown[k] = known;
}

// False once the look ends here: an unreadable or strange pack, a step
// back of the input clock, or enough seen past the first picture.
bool TakePack(StartTimes& times, const uint8_t* pack) {
  if (!PlausiblePackHeader(pack)) return false;
  const uint32_t scr = ReadPackScr(pack);
  if (times.scrKnown && Earlier(scr, times.scr)) return false;
  times.scrKnown = true;
  times.scr = scr;
  if (times.videoKnown && static_cast<int32_t>(scr - times.video) > LOOK_PAST_PICTURE) return false;
  uint32_t at = PACK_HEADER_BYTES + (pack[13] & 0x07);
  while (at + 6 <= PACK_SIZE) {
    const uint8_t* record = pack + at;
    if (record[0] != 0 || record[1] != 0 || record[2] != 1 || record[3] < 0xBB) break;
    const uint32_t length = ReadBigEndian16(record + 4) + 6;
    if (at + length > PACK_SIZE) break;
    if (record[3] != 0xBB) TakePacket(times, record, length);
    at += length;
  }
  return true;
}

}  // namespace

uint32_t TitleStartOriginShift() {
  if (KeptAudio.requests.empty()) return 0;
  StartTimes times;
  times.audioKnown.assign(KeptAudio.requests.size(), false);
  times.audio.assign(KeptAudio.requests.size(), 0);
  uint8_t pack[PACK_SIZE];
  for (uint32_t i = 0; i < ORIGIN_LOOK_PACKS && !VobReader.closed; ++i) {
    if (VobBytesInView() < PACK_SIZE || !VobGuardedRead(VobReader.current, PACK_SIZE, pack)) break;
    if (!TakePack(times, pack)) break;
    if (VobReader.fileSize - VobCurrentOffset() < PACK_SIZE || !VobAdvance(PACK_SIZE)) break;
  }
  if (!times.videoKnown) return 0;
  int32_t lead = 0;
  for (size_t k = 0; k < times.audio.size(); ++k)
    if (times.audioKnown[k]) lead = std::max(lead, static_cast<int32_t>(times.video - times.audio[k]));
  // Frames up to FIRST_PTS ahead of the first picture fit before it as they are.
  return lead > static_cast<int32_t>(FIRST_PTS) ? static_cast<uint32_t>(lead) : 0;
}
