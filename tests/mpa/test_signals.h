// Synthetic stereo test material for the encoder tests, in Q24.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/q24.h"

struct StereoSignal {
  std::vector<Q24> left;
  std::vector<Q24> right;
};

// Signals of the given length in samples at 48 kHz, deterministic.
StereoSignal MakeSine(size_t samples, double hz, double amplitude);
StereoSignal MakeWhiteNoise(size_t samples, double amplitude, uint32_t seed);
StereoSignal MakePinkNoise(size_t samples, double amplitude, uint32_t seed);
StereoSignal MakeChirp(size_t samples, double fromHz, double toHz, double amplitude);
StereoSignal MakeSquare(size_t samples, double hz, double amplitude);  // clipped at full scale
StereoSignal MakeClicks(size_t samples, size_t period, double amplitude);
StereoSignal MakeSilence(size_t samples);

// Zeroes the encoder's histories, as at program start.
void ResetEncoderHistory();

// Encodes the signal (padded with silence to whole frames) from a fresh
// history and returns the frames.
std::vector<uint8_t> EncodeSignal(const StereoSignal& signal);

// 64-bit FNV-1a of a byte string.
uint64_t Fnv1a(const std::vector<uint8_t>& bytes);
