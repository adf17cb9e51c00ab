#include "mpa/subband_analysis.h"

#include "mpa/analysis_tables.h"
#include "mpa/encoder_state.h"
#include "mpa/log_level.h"


void FoldedMatrixing(const int32_t* y, Q24* out) {
  // Row i of cos((2i + 1)(k - 16) pi / 64) weighs y[m] and y[32 - m] alike,
  // y[48 + m] and y[48 - m] oppositely, y[16] by 1 and y[48] by 0; row
  // 31 - i is row i with the odd terms negated.
  int32_t sums[16];
  int32_t diffs[16];
  sums[0] = WrapAdd(y[0], y[32]);
  diffs[0] = 0;
  for (int m = 1; m < 16; m++) {
    sums[m] = WrapAdd(y[m], y[32 - m]);
    diffs[m] = WrapSub(y[48 + m], y[48 - m]);
  }
  for (int r = 0; r < 16; r++) {
    const int32_t* cosA = MatrixCosA[r];
    const int32_t* cosB = MatrixCosB[r];
    int32_t even = y[16];
    int32_t odd = 0;
    for (int m = 0; m < 16; m += 2) {
      even = WrapAdd(even, WrapAdd(MulQ24(cosA[m], sums[m]), MulQ24(cosB[m], diffs[m])));
      odd = WrapAdd(odd, WrapAdd(MulQ24(cosA[m + 1], sums[m + 1]), MulQ24(cosB[m + 1], diffs[m + 1])));
    }
    out[r] = WrapAdd(even, odd);
    out[31 - r] = WrapSub(even, odd);
  }
}

void AnalyseStep(const Q24* history, int pos, Q24* out) {
  // z[i] weighs the sample i steps back from the newest; the 64 partial
  // sums fold the 512 taps eight by eight.
  int32_t y[64] = {};
  for (int i = 0; i < 512; i++) {
    int32_t z = MulQ24(AnalysisWindow[i], history[(pos + 511 - i) & 511]);
    y[i & 63] = WrapAdd(y[i & 63], z);
  }
  FoldedMatrixing(y, out);
}

void SubbandAnalysis(const Q24* left, const Q24* right, Q24 (*subbandSamples)[SUBBAND_SAMPLES][32]) {
  const Q24* input[2] = {left, right};
  for (int t = 0; t < SUBBAND_SAMPLES; t++) {
    // Both channels advance the ring position together.
    int pos = MpaEncoder.AnalysisPos;
    int next = (pos + 32) & 511;
    for (int ch = 0; ch < 2; ch++) {
      Q24* history = MpaEncoder.AnalysisHistory[ch];
      for (int j = 0; j < 32; j++) history[pos + j] = input[ch][32 * t + j];
      AnalyseStep(history, next, subbandSamples[ch][t]);
    }
    MpaEncoder.AnalysisPos = next;
  }
}
