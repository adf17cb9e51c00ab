#include "extract/audio_delay.h"

#include <algorithm>
#include <cstring>

#include "extract/audio_handoff.h"
#include "extract/audio_track.h"

namespace {

constexpr uint32_t DELAY_CAPACITY = AUDIO_DELAY_CAPACITY;

// The n oldest samples go on to the encoder input.
bool Release(AudioTrack& t, uint32_t n) {
  AudioDelayLine& d = t.delay;
  while (n > 0) {
    const uint32_t k = std::min(n, DELAY_CAPACITY - d.start);  // up to the ring's end
    if (!PcmAppend(t, d.left + d.start, d.right + d.start, k)) return false;
    d.start = (d.start + k) % DELAY_CAPACITY;
    d.count -= k;
    n -= k;
  }
  return true;
}

void Keep(AudioDelayLine& d, const Q24* left, const Q24* right, uint32_t n) {
  while (n > 0) {
    const uint32_t end = (d.start + d.count) % DELAY_CAPACITY;
    const uint32_t k = std::min(n, DELAY_CAPACITY - end);
    std::memcpy(d.left + end, left, k * sizeof(Q24));
    std::memcpy(d.right + end, right, k * sizeof(Q24));
    d.count += k;
    left += k;
    right += k;
    n -= k;
  }
}

}  // namespace

bool AudioOut(AudioTrack& t, const Q24* left, const Q24* right, uint32_t n) {
  // A drop that reached past the samples kept back takes the next ones.
  const uint32_t skip = std::min(t.handoff.SkipSamples, n);
  t.handoff.SkipSamples -= skip;
  left += skip;
  right += skip;
  n -= skip;
  while (n > 0) {
    const uint32_t k = std::min(n, DELAY_CAPACITY - t.delay.count);
    Keep(t.delay, left, right, k);
    left += k;
    right += k;
    n -= k;
    if (t.delay.count > AUDIO_DELAY_SAMPLES && !Release(t, t.delay.count - AUDIO_DELAY_SAMPLES)) return false;
  }
  return true;
}

bool AudioSilence(AudioTrack& t, uint32_t n) {
  static const Q24 zeros[1536] = {};
  n = std::min(n, MAX_SILENCE_SAMPLES);
  while (n > 0) {
    const uint32_t k = std::min<uint32_t>(n, 1536);
    if (!AudioOut(t, zeros, zeros, k)) return false;
    n -= k;
  }
  return true;
}

void AudioDrop(AudioTrack& t, uint32_t n) {
  const uint32_t k = std::min(n, t.delay.count);
  t.delay.count -= k;
  if (n > k) PcmDrop(t, n - k);
}

bool AudioFlush(AudioTrack& t) { return Release(t, t.delay.count); }

bool AudioFlush() {
  for (uint32_t k = 0; k < AudioTrackCount; ++k)
    if (!AudioFlush(AudioTracks[k])) return false;
  return true;
}

uint32_t AudioDelayed(const AudioTrack& t) { return t.delay.count; }

void AudioDelayReset(AudioTrack& t) {
  t.delay.start = 0;
  t.delay.count = 0;
}
