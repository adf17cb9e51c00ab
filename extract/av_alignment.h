// Audio before the video reference is held back, at most its newest 0.1 s
// (pre-roll), and handed on once the video start is known, after the
// samples that lie before it have been dropped;
// video before the first audio waits for it up to the time the input has
// passed without audio (at most AUDIO_WAIT_SAMPLES), then silence fills in.
// Once both references are known the distance between them is dropped from
// or filled into the audio (ApplyAvOffset, declared in packet_intake.h).
#pragma once

#include <cstdint>

#include "common/q24.h"

#include "extract/packet_intake.h"

// How far the video may run ahead before silence stands in for audio that
// has not started: 1 s.
constexpr int32_t AUDIO_WAIT_SAMPLES = 48000;

constexpr uint32_t PREROLL_CAPACITY = PREROLL_LIMIT_SAMPLES + 1536;

// Samples of one track that arrived before the video start was known,
// oldest first.
struct PreRollBuffer {
  Q24 left[PREROLL_CAPACITY];
  Q24 right[PREROLL_CAPACITY];
  uint32_t count = 0;
};

struct AudioTrack;

// m new audio samples arrive before the video reference is set: counts them
// and holds them back; what goes beyond 4800 samples held is dropped.
void HoldPreRoll(AudioTrack& track, const Q24* left, const Q24* right, uint32_t m);
// The video reference is set and AvOffset applied: the held samples follow
// (a drop still pending takes them first). False as PcmAppend.
bool ReleasePreRoll(AudioTrack& track);
// A restart: the held samples are dropped.
void ClearPreRoll(AudioTrack& track);

// At a picture start while the video reference is set and the track's audio
// has not started: silence for the video time before which the input can
// no longer start its audio (its clock has passed it: an audio packet
// arrives before its own time stamp), and for all video more than
// AUDIO_WAIT_SAMPLES old. False when handing the silence on fails.
bool FillSilenceUntilAudio(AudioTrack& track);

// The input time of the video reference moves by ticks (its estimate became
// exact); audio already aligned to it follows, in every track. False as
// PcmInsertSilence.
bool AlignMoveVideoReference(int32_t ticks);

// After a skipped stretch, an input time stamp realigns audio and video only
// when it lies near the SCR of its pack (a DVD delivers a unit shortly before
// it is presented); one thrown off by a flipped bit is passed over and the
// next one waited for. Always true otherwise.
bool StampTrusted(uint32_t pts);
// Audio and video have realigned: checking ends once the video and every
// re-encoded track have.
void StampsSettled();
