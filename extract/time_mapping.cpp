#include "extract/time_mapping.h"

TimeMappingState TimeMapping;

void TimeMappingReset(uint32_t originShift) {
  TimeMapping = TimeMappingState{};
  TimeMapping.firstPicture = FIRST_PTS + originShift;
}

void TimeMappingTie(uint32_t outputBase, uint32_t inputBase) {
  TimeMapping.known = true;
  TimeMapping.everKnown = true;
  TimeMapping.outputBase = outputBase;
  TimeMapping.inputBase = inputBase;
}

void TimeMappingBreak() { TimeMapping.known = false; }

bool OutputTimeKnown() { return TimeMapping.known; }

uint32_t InputToOutputTime(uint32_t inputPts) {
  return TimeMapping.outputBase + (inputPts - TimeMapping.inputBase);
}

uint32_t FirstPictureTime() { return TimeMapping.firstPicture; }
