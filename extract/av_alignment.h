// Audio before the video reference is kept to at most 0.1 s (pre-roll);
// video before the first audio waits for it up to the time the input has
// passed without audio (at most AUDIO_WAIT_SAMPLES), then silence fills in.
// Once both references are known the distance between them is dropped from
// or filled into the audio (ApplyAvOffset, declared in packet_intake.h).
#pragma once

#include <cstdint>

// How far the video may run ahead before silence stands in for audio that
// has not started: 1 s.
constexpr int32_t AUDIO_WAIT_SAMPLES = 48000;

// m new audio samples arrive before the video reference is set: counts them
// and drops what goes beyond 4800 samples in hand.
void ApplyPreRoll(uint32_t m);

// At a picture start while the video reference is set and the audio has
// not started: silence for the video time before which the input can no
// longer start its audio (its clock has passed it: an audio packet arrives
// before its own time stamp), and for all video more than
// AUDIO_WAIT_SAMPLES old. False when handing the silence on fails.
bool FillSilenceUntilAudio();

// The input time of the video reference moves by ticks (its estimate became
// exact); audio already aligned to it follows. False as PcmInsertSilence.
bool AlignMoveVideoReference(int32_t ticks);
