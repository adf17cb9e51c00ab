// Aligning the start of the audio with the start of the video.
#include "extract/av_alignment.h"

#include <algorithm>
#include <cstring>

#include "common/q24.h"
#include "common/time_values.h"
#include "extract/audio_delay.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/packet_intake.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"

bool ApplyAvOffset(AudioTrack& t) {
  if (t.intake.AvOffset >= 0) {
    AudioDrop(t, static_cast<uint32_t>(t.intake.AvOffset));
    return true;
  }
  return AudioSilence(t, static_cast<uint32_t>(-static_cast<int64_t>(t.intake.AvOffset)));
}

namespace {

void DropOldestPreRoll(PreRollBuffer& preRoll, uint32_t n) {
  std::memmove(preRoll.left, preRoll.left + n, (preRoll.count - n) * sizeof(Q24));
  std::memmove(preRoll.right, preRoll.right + n, (preRoll.count - n) * sizeof(Q24));
  preRoll.count -= n;
}

}  // namespace

void HoldPreRoll(AudioTrack& t, const Q24* left, const Q24* right, uint32_t m) {
  PreRollBuffer& preRoll = t.preRoll;
  t.intake.PreRollSamples = SatAdd(t.intake.PreRollSamples, static_cast<int32_t>(m));
  m = std::min(m, PREROLL_CAPACITY);
  if (preRoll.count + m > PREROLL_CAPACITY) DropOldestPreRoll(preRoll, preRoll.count + m - PREROLL_CAPACITY);
  std::memcpy(preRoll.left + preRoll.count, left, m * sizeof(Q24));
  std::memcpy(preRoll.right + preRoll.count, right, m * sizeof(Q24));
  preRoll.count += m;
  // Samples dropped here no longer need dropping when the video starts.
  if (preRoll.count > static_cast<uint32_t>(PREROLL_LIMIT_SAMPLES)) {
    const uint32_t excess = preRoll.count - PREROLL_LIMIT_SAMPLES;
    DropOldestPreRoll(preRoll, excess);
    t.intake.AvOffset = SatSub(t.intake.AvOffset, static_cast<int32_t>(excess));
  }
}

bool ReleasePreRoll(AudioTrack& t) {
  const uint32_t n = t.preRoll.count;
  t.preRoll.count = 0;
  return n == 0 || AudioOut(t, t.preRoll.left, t.preRoll.right, n);
}

void ClearPreRoll(AudioTrack& t) { t.preRoll.count = 0; }

bool FillSilenceUntilAudio(AudioTrack& t) {
  AudioIntakeState& a = t.intake;
  // AvOffset is where the audio handed on ends, from the video start.
  const int64_t passed = TicksToSamples(static_cast<int32_t>(Walk.scr - Intake.GopStartInputPts));
  const int64_t waited = HalfTicksToSamples(static_cast<int64_t>(VideoTiming.seenHalfTicks)) - AUDIO_WAIT_SAMPLES;
  const int64_t target = std::min<int64_t>(std::max(passed, waited), INT32_MAX);
  if (target <= a.AvOffset) return true;
  const auto silence = static_cast<uint32_t>(target - a.AvOffset);
  a.AvOffset = static_cast<int32_t>(target);
  return AudioSilence(t, silence);
}

namespace {

bool MoveTrack(AudioTrack& t, uint32_t before) {
  AudioIntakeState& a = t.intake;
  if (!a.AudioStarted) return true;
  if (!AudioCatchUp(t)) return false;
  const int32_t extra = TicksToSamples(static_cast<int32_t>(Intake.GopStartInputPts - a.FirstAudioPts)) -
                        TicksToSamples(static_cast<int32_t>(before - a.FirstAudioPts));
  a.AvOffset = SatAdd(a.AvOffset, extra);
  if (extra >= 0) {
    AudioDrop(t, static_cast<uint32_t>(extra));
    return true;
  }
  return AudioSilence(t, static_cast<uint32_t>(-static_cast<int64_t>(extra)));
}

}  // namespace

bool AlignMoveVideoReference(int32_t ticks) {
  const uint32_t before = Intake.GopStartInputPts;
  Intake.GopStartInputPts += static_cast<uint32_t>(ticks);
  for (uint32_t k = 0; k < AudioTrackCount; ++k)
    if (!MoveTrack(AudioTracks[k], before)) return false;
  return true;
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
  // Only kept tracks: nothing settles here, as before any track is decoded.
  if (!Intake.VideoRefSet || AudioTrackCount == 0) return;
  for (uint32_t k = 0; k < AudioTrackCount; ++k)
    if (!AudioTracks[k].intake.AudioStarted) return;
  Walk.checkStamps = false;
}
