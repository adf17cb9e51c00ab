// The integer variant of psychoacoustic model 1 (Layer II, 48 kHz): the
// signal-to-mask ratio of every coded subband of one channel.
#pragma once

#include <cstdint>

#include "common/q24.h"
#include "mpa/layer2_tables.h"
#include "mpa/log_level.h"
#include "mpa/psycho_fft.h"
#include "mpa/psycho_tables.h"

constexpr int PSYCHO_MAX_LINE = 432;  // highest line a masker can take
constexpr int8_t TONAL = 20;
constexpr int8_t NOISE = 10;
constexpr int16_t LIST_END = -1;    // ends a list
constexpr int16_t LIST_STOP = -100; // the line is in no list

// One channel's spectrum with its maskers. The tonal and the noise maskers
// are each a list of lines threaded through link[], in ascending order.
struct PsychoSpectrum {
  LogQ24 X[PSYCHO_LINES];
  // Lines up to 444: a peak near line 432 clears 12 lines on either side.
  int8_t mark[PSYCHO_LINES];
  int16_t link[PSYCHO_LINES];
  int tonalHead;
  int noiseHead;
};

// The FFT input of both channels: the Hann window over the previous
// frame's last 192 samples and this frame's first 832; then keeps this
// frame's last 192 samples for the next, in encoder e (MpaEncoder without it).
struct MpaEncoderState;
void PsychoPrepareInput(MpaEncoderState& e, const Q24* left, const Q24* right, Q24 (*u)[PSYCHO_FFT_SIZE]);
void PsychoPrepareInput(const Q24* left, const Q24* right, Q24 (*u)[PSYCHO_FFT_SIZE]);

constexpr int PSYCHO_CHANNELS = 2;

// SMR[ch][0..26] of both channels from their FFT inputs and each subband's
// smallest scale factor index. The channels go through each stage
// together, so that the chains of divisions of one overlap with the
// other's.
void PsychoModel(const Q24 (*u)[PSYCHO_FFT_SIZE], const uint8_t (*scfMin)[SBLIMIT], LogQ24 (*smr)[SBLIMIT]);

// The stages of PsychoModel, in order.
// The largest level of each subband's 16 lines (at least LEVEL_FLOOR).
void SubbandPeakLevels(const LogQ24* X, LogQ24* xMax);
void FindTonalMaskers(PsychoSpectrum& s);
// Of count (1 or 2) spectra at once.
void FindNoiseMaskers(PsychoSpectrum* spectra, int count);
inline void FindNoiseMaskers(PsychoSpectrum& s) { FindNoiseMaskers(&s, 1); }
// FindNoiseMaskers' power sums of each band's lines that are not tonal:
// plain and weighted by their position in the band.
void SumBands(const PsychoSpectrum* spectra, int count, LogQ24 (*sum)[CRIT_BANDS], LogQ24 (*weighted)[CRIT_BANDS]);
void DropInaudibleMaskers(PsychoSpectrum& s);
void DropCloseTonalMaskers(PsychoSpectrum& s);
// The masking threshold of a masker of level x at Bark zc on Bark z; false
// when z lies outside the masker's reach (3 Bark below, 8 Bark above).
bool IndividualThreshold(LogQ24 x, int32_t zc, int32_t z, bool tonal, LogQ24* lt);
// T[1..126]: the global masking threshold at each threshold-table entry.
void GlobalMaskingThreshold(const PsychoSpectrum& s, LogQ24* T);
// The smallest threshold of the entries inside each subband.
void SubbandMinimumThreshold(const LogQ24* T, LogQ24* ltMin);
