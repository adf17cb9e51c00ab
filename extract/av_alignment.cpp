// Aligning the start of the audio with the start of the video.
#include "extract/av_alignment.h"

#include "common/q24.h"

#include "extract/audio_handoff.h"
#include "extract/packet_intake.h"

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
