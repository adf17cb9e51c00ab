// Input time to output time, for every stream that keeps the input's own
// time stamps (kept audio tracks, sub-pictures). The output clock counts
// pictures by their durations (video_timing.h); the input clock may step at
// every cell. The two are tied where the video takes its reference (at the
// start, after a step of the input clock and after a long skip), once the
// durations of the pictures shown before the reference picture are known:
// the GOP start of that picture has input time inputBase and output time
// outputBase. A time stamp of another stream keeps its distance from that
// point, so pulldown, NTSC rates and cells move it exactly as the video.
//
// The first picture is shown at output time firstPicture: FIRST_PTS, or
// later by the origin shift the title's start asks for (time_origin.h), so
// that frames of kept tracks before the first picture keep time stamps
// after the first SCR.
#pragma once

#include <cstdint>

#include "extract/output_multiplexer.h"

struct TimeMappingState {
  bool known = false;      // the tie of the current stretch of input clock is set
  bool everKnown = false;  // a tie was set in this extraction
  uint32_t outputBase = 0;
  uint32_t inputBase = 0;
  uint32_t firstPicture = FIRST_PTS;  // output time of the first picture
};

extern TimeMappingState TimeMapping;

// Start of an extraction: no tie; the first picture at FIRST_PTS + shift.
void TimeMappingReset(uint32_t originShift);

// The video reference of the current stretch is exact: its GOP start has
// this output and input time.
void TimeMappingTie(uint32_t outputBase, uint32_t inputBase);

// The input clock stepped (a cell, a long skip): the tie waits for the next
// reference. The last tie stays at hand for what has no other (the end).
void TimeMappingBreak();

// The current tie is set and exact.
bool OutputTimeKnown();

// The output time of an input time stamp under the current (or last) tie.
uint32_t InputToOutputTime(uint32_t inputPts);

// The output time of the first picture.
uint32_t FirstPictureTime();
