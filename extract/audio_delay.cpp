#include "extract/audio_delay.h"

#include <algorithm>
#include <cstring>

#include "extract/audio_handoff.h"

namespace {

constexpr uint32_t DELAY_CAPACITY = AUDIO_DELAY_SAMPLES + 1536;

// A ring of the samples kept back, oldest at start.
struct AudioDelayLine {
  Q24 left[DELAY_CAPACITY];
  Q24 right[DELAY_CAPACITY];
  uint32_t start = 0;
  uint32_t count = 0;
};
AudioDelayLine Delay;

// The n oldest samples go on to the encoder input.
bool Release(uint32_t n) {
  while (n > 0) {
    const uint32_t k = std::min(n, DELAY_CAPACITY - Delay.start);  // up to the ring's end
    if (!PcmAppend(Delay.left + Delay.start, Delay.right + Delay.start, k)) return false;
    Delay.start = (Delay.start + k) % DELAY_CAPACITY;
    Delay.count -= k;
    n -= k;
  }
  return true;
}

void Keep(const Q24* left, const Q24* right, uint32_t n) {
  while (n > 0) {
    const uint32_t end = (Delay.start + Delay.count) % DELAY_CAPACITY;
    const uint32_t k = std::min(n, DELAY_CAPACITY - end);
    std::memcpy(Delay.left + end, left, k * sizeof(Q24));
    std::memcpy(Delay.right + end, right, k * sizeof(Q24));
    Delay.count += k;
    left += k;
    right += k;
    n -= k;
  }
}

}  // namespace

bool AudioOut(const Q24* left, const Q24* right, uint32_t n) {
  // A drop that reached past the samples kept back takes the next ones.
  const uint32_t skip = std::min(Handoff.SkipSamples, n);
  Handoff.SkipSamples -= skip;
  left += skip;
  right += skip;
  n -= skip;
  while (n > 0) {
    const uint32_t k = std::min(n, DELAY_CAPACITY - Delay.count);
    Keep(left, right, k);
    left += k;
    right += k;
    n -= k;
    if (Delay.count > AUDIO_DELAY_SAMPLES && !Release(Delay.count - AUDIO_DELAY_SAMPLES)) return false;
  }
  return true;
}

bool AudioSilence(uint32_t n) {
  static const Q24 zeros[1536] = {};
  n = std::min(n, MAX_SILENCE_SAMPLES);
  while (n > 0) {
    const uint32_t k = std::min<uint32_t>(n, 1536);
    if (!AudioOut(zeros, zeros, k)) return false;
    n -= k;
  }
  return true;
}

void AudioDrop(uint32_t n) {
  const uint32_t k = std::min(n, Delay.count);
  Delay.count -= k;
  if (n > k) PcmDrop(n - k);
}

bool AudioFlush() { return Release(Delay.count); }

uint32_t AudioDelayed() { return Delay.count; }

void AudioDelayReset() {
  Delay.start = 0;
  Delay.count = 0;
}
