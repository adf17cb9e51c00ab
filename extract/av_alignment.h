// Audio before the video reference is kept to at most 0.1 s (pre-roll);
// once both references are known the distance between them is dropped from
// or filled into the audio (ApplyAvOffset, declared in packet_intake.h).
#pragma once

#include <cstdint>

// m new audio samples arrive before the video reference is set: counts them
// and drops what goes beyond 4800 samples in hand.
void ApplyPreRoll(uint32_t m);
