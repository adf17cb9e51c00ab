// Aligning the start of the audio with the start of the video.
#include "extract/av_alignment.h"

#include <algorithm>

#include "common/q24.h"
#include "common/time_values.h"
#include "extract/audio_handoff.h"
#include "extract/packet_intake.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"

bool ApplyAvOffset() {
  if (Intake.AvOffset >= 0) {
    PcmDrop(static_cast<uint32_t>(Intake.AvOffset));
    return true;
  }
  return PcmInsertSilence(static_cast<uint32_t>(-static_cast<int64_t>(Intake.AvOffset)));
}

void ApplyPreRoll(uint32_t m) {
  Intake.PreRollSamples += static_cast<int32_t>(m);
  int32_t kept = SatAdd(Intake.PreRollSamples, Intake.AvOffset);
  if (kept > PREROLL_LIMIT_SAMPLES) {
    PcmDrop(static_cast<uint32_t>(kept - PREROLL_LIMIT_SAMPLES));
    Intake.AvOffset = PREROLL_LIMIT_SAMPLES - Intake.PreRollSamples;
  }
}

bool FillSilenceUntilAudio() {
  // AvOffset is where the audio handed on ends, from the video start.
  const int64_t passed = TicksToSamples(static_cast<int32_t>(Walk.scr - Intake.GopStartInputPts));
  const int64_t waited = HalfTicksToSamples(static_cast<int64_t>(VideoTiming.seenHalfTicks)) - AUDIO_WAIT_SAMPLES;
  const int64_t target = std::min<int64_t>(std::max(passed, waited), INT32_MAX);
  if (target <= Intake.AvOffset) return true;
  const auto silence = static_cast<uint32_t>(target - Intake.AvOffset);
  Intake.AvOffset = static_cast<int32_t>(target);
  return PcmInsertSilence(silence);
}

bool AlignMoveVideoReference(int32_t ticks) {
  const uint32_t before = Intake.GopStartInputPts;
  Intake.GopStartInputPts += static_cast<uint32_t>(ticks);
  if (!Intake.AudioStarted) return true;
  const int32_t extra = TicksToSamples(static_cast<int32_t>(Intake.GopStartInputPts - Intake.FirstAudioPts)) -
                        TicksToSamples(static_cast<int32_t>(before - Intake.FirstAudioPts));
  Intake.AvOffset = SatAdd(Intake.AvOffset, extra);
  if (extra >= 0) {
    PcmDrop(static_cast<uint32_t>(extra));
    return true;
  }
  return PcmInsertSilence(static_cast<uint32_t>(-static_cast<int64_t>(extra)));
}
