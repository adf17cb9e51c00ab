// The psychoacoustic model's 1024-point FFT and level spectrum.
#pragma once

#include "common/q24.h"
#include "mpa/log_level.h"

constexpr int PSYCHO_FFT_SIZE = 1024;
constexpr int PSYCHO_LINES = 445;  // X[0..444]

// X[k] = LogPower of the forward transform of u at line k = 0..444.
void PsychoFft(const Q24* u, LogQ24* X);

// X[k] = LogPower(re[k], im[k]) for k < count, many bins at once.
void LevelSpectrum(const int32_t* re, const int32_t* im, int count, LogQ24* X);
