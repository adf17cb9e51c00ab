#include "mpa/psycho_model.h"

#include "common/vector_paths.h"
#include "mpa/encoder_state.h"
#include "mpa/psycho_tables.h"
#include "mpa/mulq24_avx2.h"
#include "mpa/vector_clones.h"

VECTOR_PATH_BODY void PsychoPrepareInputBody(MpaEncoderState& e, const Q24* left, const Q24* right,
                                             Q24 (*u)[PSYCHO_FFT_SIZE]) {
  const Q24* input[2] = {left, right};
  for (int ch = 0; ch < 2; ch++) {
    Q24* history = e.PsychoHistory[ch];
    for (int i = 0; i < 192; i++) u[ch][i] = MulQ24Lanes(HannWindow[i], history[i]);
    for (int i = 0; i < 832; i++) u[ch][192 + i] = MulQ24Lanes(HannWindow[192 + i], input[ch][i]);
    for (int i = 0; i < 192; i++) history[i] = input[ch][960 + i];
  }
}
#if VECTOR_PATHS_BUILT
// The same with the AVX2 products of mulq24_avx2.h.
__attribute__((target("avx2,fma,bmi2"))) static void PsychoPrepareInputAvx2(MpaEncoderState& e, const Q24* left,
                                                                            const Q24* right,
                                                                            Q24 (*u)[PSYCHO_FFT_SIZE]) {
  const Q24* input[2] = {left, right};
  for (int ch = 0; ch < 2; ch++) {
    Q24* history = e.PsychoHistory[ch];
    for (int i = 0; i < 192; i += 8) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(&u[ch][i]),
                          MulQ24Avx2(LoadUnalignedAvx2(HannWindow + i), LoadUnalignedAvx2(history + i)));
    }
    for (int i = 0; i < 832; i += 8) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(&u[ch][192 + i]),
                          MulQ24Avx2(LoadUnalignedAvx2(HannWindow + 192 + i), LoadUnalignedAvx2(input[ch] + i)));
    }
    for (int i = 0; i < 192; i++) history[i] = input[ch][960 + i];
  }
}
#endif
VECTOR_PATH_VARIANTS_OWN_AVX2(void, PsychoPrepareInput,
                              (MpaEncoderState & e, const Q24* left, const Q24* right, Q24 (*u)[PSYCHO_FFT_SIZE]),
                              (e, left, right, u))

void PsychoPrepareInput(const Q24* left, const Q24* right, Q24 (*u)[PSYCHO_FFT_SIZE]) {
  PsychoPrepareInput(MpaEncoder, left, right, u);
}

VECTOR_PATH_BODY void SubbandPeakLevelsBody(const LogQ24* X, LogQ24* xMax) {
  for (int sb = 0; sb < SBLIMIT; sb++) {
    LogQ24 peak = LEVEL_FLOOR;
    for (int k = 16 * sb; k < 16 * sb + 16; k++) peak = X[k] > peak ? X[k] : peak;
    xMax[sb] = peak;
  }
}
VECTOR_PATH_VARIANTS(void, SubbandPeakLevels, (const LogQ24* X, LogQ24* xMax), (X, xMax))

void SubbandMinimumThreshold(const LogQ24* T, LogQ24* ltMin) {
  int j = 1;
  for (int sb = 0; sb < SBLIMIT; sb++) {
    ltMin[sb] = T[j++];
    while (j <= THR_ENTRIES && (ThrLine[j] - 1) >> 4 == sb) {
      if (T[j] < ltMin[sb]) ltMin[sb] = T[j];
      j++;
    }
  }
}

void PsychoModel(const Q24 (*u)[PSYCHO_FFT_SIZE], const uint8_t (*scfMin)[SBLIMIT], LogQ24 (*smr)[SBLIMIT]) {
  PsychoSpectrum s[PSYCHO_CHANNELS];
  LogQ24 xMax[PSYCHO_CHANNELS][SBLIMIT];
  for (int ch = 0; ch < PSYCHO_CHANNELS; ch++) {
    PsychoFft(u[ch], s[ch].X);
    SubbandPeakLevels(s[ch].X, xMax[ch]);
    FindTonalMaskers(s[ch]);
  }
  FindNoiseMaskers(s, PSYCHO_CHANNELS);
  for (int ch = 0; ch < PSYCHO_CHANNELS; ch++) {
    DropInaudibleMaskers(s[ch]);
    DropCloseTonalMaskers(s[ch]);
    LogQ24 T[THR_ENTRIES + 1];
    GlobalMaskingThreshold(s[ch], T);
    LogQ24 ltMin[SBLIMIT];
    SubbandMinimumThreshold(T, ltMin);
    for (int sb = 0; sb < SBLIMIT; sb++) {
      LogQ24 level = xMax[ch][sb] > ScfLevel[scfMin[ch][sb]] ? xMax[ch][sb] : ScfLevel[scfMin[ch][sb]];
      smr[ch][sb] = SatSub(level, ltMin[sb]);
    }
  }
}
