// Aligning the start of the audio with the start of the video.
#include "extract/av_alignment.h"

#include <algorithm>
#include <cstring>

#include "common/q24.h"
#include "common/time_values.h"
#include "extract/audio_delay.h"
#include "extract/audio_handoff.h"
#include "extract/packet_intake.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"

bool ApplyAvOffset() {
  if (Intake.AvOffset >= 0) {
    AudioDrop(static_cast<uint32_t>(Intake.AvOffset));
    return true;
  }
  return AudioSilence(static_cast<uint32_t>(-static_cast<int64_t>(Intake.AvOffset)));
}

namespace {

constexpr uint32_t PREROLL_CAPACITY = PREROLL_LIMIT_SAMPLES + 1536;

// Samples that arrived before the video start was known, oldest first.
struct PreRollBuffer {
  Q24 left[PREROLL_CAPACITY];
  Q24 right[PREROLL_CAPACITY];
  uint32_t count = 0;
};
PreRollBuffer PreRoll;

void DropOldestPreRoll(uint32_t n) {
  std::memmove(PreRoll.left, PreRoll.left + n, (PreRoll.count - n) * sizeof(Q24));
  std::memmove(PreRoll.right, PreRoll.right + n, (PreRoll.count - n) * sizeof(Q24));
  PreRoll.count -= n;
}

}  // namespace

void HoldPreRoll(const Q24* left, const Q24* right, uint32_t m) {
  Intake.PreRollSamples = SatAdd(Intake.PreRollSamples, static_cast<int32_t>(m));
  m = std::min(m, PREROLL_CAPACITY);
  if (PreRoll.count + m > PREROLL_CAPACITY) DropOldestPreRoll(PreRoll.count + m - PREROLL_CAPACITY);
  std::memcpy(PreRoll.left + PreRoll.count, left, m * sizeof(Q24));
  std::memcpy(PreRoll.right + PreRoll.count, right, m * sizeof(Q24));
  PreRoll.count += m;
  // Samples dropped here no longer need dropping when the video starts.
  if (PreRoll.count > static_cast<uint32_t>(PREROLL_LIMIT_SAMPLES)) {
    const uint32_t excess = PreRoll.count - PREROLL_LIMIT_SAMPLES;
    DropOldestPreRoll(excess);
    Intake.AvOffset = SatSub(Intake.AvOffset, static_cast<int32_t>(excess));
  }
}

bool ReleasePreRoll() {
  const uint32_t n = PreRoll.count;
  PreRoll.count = 0;
  return n == 0 || AudioOut(PreRoll.left, PreRoll.right, n);
}

void ClearPreRoll() { PreRoll.count = 0; }

bool FillSilenceUntilAudio() {
  // AvOffset is where the audio handed on ends, from the video start.
  const int64_t passed = TicksToSamples(static_cast<int32_t>(Walk.scr - Intake.GopStartInputPts));
  const int64_t waited = HalfTicksToSamples(static_cast<int64_t>(VideoTiming.seenHalfTicks)) - AUDIO_WAIT_SAMPLES;
  const int64_t target = std::min<int64_t>(std::max(passed, waited), INT32_MAX);
  if (target <= Intake.AvOffset) return true;
  const auto silence = static_cast<uint32_t>(target - Intake.AvOffset);
  Intake.AvOffset = static_cast<int32_t>(target);
  return AudioSilence(silence);
}

bool AlignMoveVideoReference(int32_t ticks) {
  const uint32_t before = Intake.GopStartInputPts;
  Intake.GopStartInputPts += static_cast<uint32_t>(ticks);
  if (!Intake.AudioStarted) return true;
  const int32_t extra = TicksToSamples(static_cast<int32_t>(Intake.GopStartInputPts - Intake.FirstAudioPts)) -
                        TicksToSamples(static_cast<int32_t>(before - Intake.FirstAudioPts));
  Intake.AvOffset = SatAdd(Intake.AvOffset, extra);
  if (extra >= 0) {
    AudioDrop(static_cast<uint32_t>(extra));
    return true;
  }
  return AudioSilence(static_cast<uint32_t>(-static_cast<int64_t>(extra)));
}

namespace {

constexpr int32_t STAMP_EARLIEST_TICKS = -45000;  // 0.5 s before the pack's SCR
constexpr int32_t STAMP_LATEST_TICKS = 180000;    // 2 s after it

}  // namespace

bool StampTrusted(uint32_t pts) {
  if (!Walk.checkStamps) return true;
  const auto lead = static_cast<int32_t>(pts - Walk.scr);
  return lead >= STAMP_EARLIEST_TICKS && lead <= STAMP_LATEST_TICKS;
}

void StampsSettled() {
  if (Intake.VideoRefSet && Intake.AudioStarted) Walk.checkStamps = false;
}
