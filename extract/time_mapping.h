// Input time to output time. The output clock counts pictures by their
// durations (video_timing.h); the input clock may step at every cell. The
// two are tied where the video takes its reference (at the start, after a
// step of the input clock and after a long skip): the GOP start of that
// picture has input time GopStartInputPts and output time RefVideoBase. A
// time stamp of another stream keeps its distance from that point.
#pragma once

#include <cstdint>

// The current tie is set and exact (the durations of the pictures shown
// before the reference picture are known).
bool OutputTimeKnown();

// The output time of an input time stamp under the current tie.
uint32_t InputToOutputTime(uint32_t inputPts);
