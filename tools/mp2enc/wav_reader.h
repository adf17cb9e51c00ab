// A reader of 48 kHz-style stereo WAV files: RIFF/WAVE with a fmt chunk of
// 16-bit PCM or 32-bit IEEE float, and a data chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/q24.h"

constexpr uint16_t WAV_FORMAT_PCM = 1;
constexpr uint16_t WAV_FORMAT_FLOAT = 3;

struct WavInfo {
  uint16_t format = 0;         // WAV_FORMAT_PCM or WAV_FORMAT_FLOAT
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;  // 16 for PCM, 32 for float
  uint16_t blockAlign = 0;     // bytes of one sample frame
  uint64_t dataSize = 0;       // bytes of the data chunk, whole sample frames
};

// Reads the chunks up to the start of the data chunk and leaves the file
// positioned there. False with a message in error for anything that is not
// a well-formed WAV file with a data chunk inside the file.
bool ReadWavHeader(std::FILE* file, WavInfo& info, std::string& error);

// Converts count interleaved stereo sample frames to Q24: 16-bit PCM as
// s x 512, float as x x 2^24 (clipped to the int32 range, NaN as 0).
void WavToQ24(const WavInfo& info, const uint8_t* bytes, size_t count, Q24* left, Q24* right);
