// The newest 0.1 s of audio is kept back from the encoder. When the input
// clock steps back (a new cell with its own clock), the audio of the ended
// cell that ran past its video is then dropped from its own end, instead of
// cutting the first samples of the new cell. The delay changes no time:
// samples keep their order and place in the audio stream.
#pragma once

#include <cstdint>

#include "common/q24.h"

constexpr uint32_t AUDIO_DELAY_SAMPLES = 4800;
constexpr uint32_t AUDIO_DELAY_CAPACITY = AUDIO_DELAY_SAMPLES + 1536;

// A ring of the samples kept back, oldest at start: one per track.
struct AudioDelayLine {
  Q24 left[AUDIO_DELAY_CAPACITY];
  Q24 right[AUDIO_DELAY_CAPACITY];
  uint32_t start = 0;
  uint32_t count = 0;
};

struct AudioTrack;

// n samples per channel into the track's audio stream; false as PcmAppend.
bool AudioOut(AudioTrack& track, const Q24* left, const Q24* right, uint32_t n);
// n silent samples (at most MAX_SILENCE_SAMPLES); false as PcmAppend.
bool AudioSilence(AudioTrack& track, uint32_t n);
// Removes the newest n samples not yet encoded, then the next n that arrive.
void AudioDrop(AudioTrack& track, uint32_t n);
// Hands every sample kept back to the encoder input, of one track or of
// every track; false as PcmAppend.
bool AudioFlush(AudioTrack& track);
bool AudioFlush();
// Samples kept back.
uint32_t AudioDelayed(const AudioTrack& track);
// Start of an extraction: nothing kept back.
void AudioDelayReset(AudioTrack& track);
