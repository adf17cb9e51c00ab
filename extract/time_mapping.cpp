#include "extract/time_mapping.h"

#include "extract/packet_intake.h"
#include "extract/video_timing.h"

bool OutputTimeKnown() { return Intake.VideoRefSet && !VideoTiming.refPending; }

uint32_t InputToOutputTime(uint32_t inputPts) {
  return Intake.RefVideoBase + (inputPts - Intake.GopStartInputPts);
}
