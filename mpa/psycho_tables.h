// Constant tables of the psychoacoustic model (Layer II, 48 kHz).
#pragma once

#include <cstdint>

constexpr int THR_ENTRIES = 126;  // threshold table entries 1..126
constexpr int CRIT_BANDS = 25;

extern const int32_t HannWindow[1024];
extern const int32_t FftCos[512];
extern const int32_t FftSin[512];  // -sin
extern const int16_t BitReverse[1024];
// Indexed 1..126; entry 0 is unused.
extern const int16_t ThrLine[127];
extern const int32_t ThrBark[127];   // Bark, Q24
extern const int32_t ThrQuiet[127];  // LogQ24
extern const int16_t LineToThr[433];
extern const int16_t CritBandBounds[26];
extern const int32_t NoiseWeight[433];  // LogQ24
extern const int32_t ScfLevel[64];      // LogQ24
