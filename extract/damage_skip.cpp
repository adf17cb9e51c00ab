#include "extract/damage_skip.h"

#include "extract/damage_log.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"
#include "report/run_flags.h"
#include "source/input_layout.h"
#include "source/vob_reader.h"

namespace {

constexpr uint32_t SCR_LEAP_TICKS = 10 * 90000;  // more than a DVD leaves between used packets

uint32_t Distance(uint32_t a, uint32_t b) {
  const auto d = static_cast<int32_t>(a - b);
  return d < 0 ? 0u - static_cast<uint32_t>(d) : static_cast<uint32_t>(d);
}

// The stretch [start, end) of the part was passed over.
void LogStretch(uint32_t part, uint32_t start, uint32_t end) {
  if (end <= start) return;
  Walk.bytesSinceMib += end - start;
  DamageLogStretch(part, start, end - start, VideoReachedTicks() / 90000);
}

}  // namespace

bool SkipToNextPack(bool& ended) {
  uint32_t part = static_cast<uint32_t>(VobReader.part);
  uint32_t start = VobCurrentOffset();
  uint32_t offset = (start / PACK_SIZE + 1) * PACK_SIZE;  // packs lie on 2048-byte boundaries
  uint32_t lastUnreadable = UINT32_MAX;
  while (!AbortFlag) {
    const uint32_t partSize = VobReader.fileSize;
    if (!VobSeek(offset)) return false;
    if (VobReader.closed || static_cast<uint32_t>(VobReader.part) != part) {
      LogStretch(part, start, partSize);
      if (VobReader.closed) {
        ended = true;
        return true;
      }
      part = static_cast<uint32_t>(VobReader.part);
      start = offset = VobCurrentOffset();
    }
    uint8_t head[INPUT_PACK_HEADER_BYTES];
    if (VobBytesInView() < sizeof head) {
      offset = VobReader.fileSize;  // the part ends without room for a pack
      continue;
    }
    if (VobReadableInView() < sizeof head || !VobGuardedRead(VobReader.current, sizeof head, head)) {
      // A block found readable again after it failed in the view is read
      // anew once; a second failure there passes it over.
      const uint32_t next = VobNextReadableBlock(offset);
      offset = next == offset && offset == lastUnreadable ? offset + PACK_SIZE : next;
      lastUnreadable = next;
      continue;
    }
    if (PlausiblePackHeader(head)) {
      LogStretch(part, start, offset);
      return true;
    }
    offset += PACK_SIZE;
  }
  LogStretch(part, start, VobCurrentOffset());
  return true;
}

bool ScrTrusted(uint32_t scr, uint32_t lastScr) {
  if (scr >= lastScr && scr - lastScr <= SCR_LEAP_TICKS) return true;
  // The next pack, when it can be read, tells which clock goes on.
  const uint32_t toNext = PACK_SIZE - VobCurrentOffset() % PACK_SIZE;
  uint8_t next[INPUT_PACK_HEADER_BYTES];
  if (VobReadableInView() < toNext + sizeof next || !VobGuardedRead(VobReader.current + toNext, sizeof next, next) ||
      !PlausiblePackHeader(next))
    return true;
  const uint32_t following = ReadPackScr(next);
  return Distance(following, scr) <= Distance(following, lastScr);
}
