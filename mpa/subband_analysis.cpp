#include "mpa/subband_analysis.h"

#include "mpa/analysis_tables.h"
#include "mpa/encoder_state.h"
#include "mpa/log_level.h"
#include "common/vector_paths.h"
#include "mpa/mulq24_avx2.h"
#include "mpa/vector_clones.h"


namespace {

// MatrixCosA and MatrixCosB with rows and columns swapped, [m][r], so that
// the 16 rows are worked on side by side; for the AVX2 variant also with
// each pair of neighbouring rows swapped (its odd lanes in the even ones).
struct TransposedCosines {
  alignas(32) int32_t a[16][16];
  alignas(32) int32_t b[16][16];
  alignas(32) int32_t aPairsSwapped[16][16];
  alignas(32) int32_t bPairsSwapped[16][16];
  TransposedCosines() {
    for (int r = 0; r < 16; r++) {
      for (int m = 0; m < 16; m++) {
        a[m][r] = MatrixCosA[r][m];
        b[m][r] = MatrixCosB[r][m];
        aPairsSwapped[m][r ^ 1] = MatrixCosA[r][m];
        bPairsSwapped[m][r ^ 1] = MatrixCosB[r][m];
      }
    }
  }
};

}  // namespace

VECTOR_PATH_BODY void FoldedMatrixingBody(const int32_t* y, Q24* out) {
  // Row i of cos((2i + 1)(k - 16) pi / 64) weighs y[m] and y[32 - m] alike,
  // y[48 + m] and y[48 - m] oppositely, y[16] by 1 and y[48] by 0; row
  // 31 - i is row i with the odd terms negated. All sums wrap at 32 bits,
  // so their order does not matter.
  static const TransposedCosines cosines;
  int32_t sums[16];
  int32_t diffs[16];
  sums[0] = WrapAdd(y[0], y[32]);
  diffs[0] = 0;
  for (int m = 1; m < 16; m++) {
    sums[m] = WrapAdd(y[m], y[32 - m]);
    diffs[m] = WrapSub(y[48 + m], y[48 - m]);
  }
  uint32_t even[16];
  uint32_t odd[16];
  for (int r = 0; r < 16; r++) {
    even[r] = static_cast<uint32_t>(y[16]);
    odd[r] = 0;
  }
  for (int m = 0; m < 16; m += 2) {
    for (int r = 0; r < 16; r++) {
      even[r] += static_cast<uint32_t>(MulQ24Lanes(cosines.a[m][r], sums[m])) +
                 static_cast<uint32_t>(MulQ24Lanes(cosines.b[m][r], diffs[m]));
      odd[r] += static_cast<uint32_t>(MulQ24Lanes(cosines.a[m + 1][r], sums[m + 1])) +
                static_cast<uint32_t>(MulQ24Lanes(cosines.b[m + 1][r], diffs[m + 1]));
    }
  }
  for (int r = 0; r < 16; r++) {
    out[r] = static_cast<int32_t>(even[r] + odd[r]);
    out[31 - r] = static_cast<int32_t>(even[r] - odd[r]);
  }
}

#if VECTOR_PATHS_BUILT
// The terms of column m for the eight rows from r, added to the even and
// the odd lanes' accumulators.
AVX2_INLINE void MatrixingTermsAvx2(__m256i& evenLanes, __m256i& oddLanes, const TransposedCosines& cosines, int m,
                                    int r, int32_t sum, int32_t diff) {
  const __m256i s = _mm256_set1_epi32(sum);
  const __m256i d = _mm256_set1_epi32(diff);
  evenLanes = _mm256_add_epi32(evenLanes, _mm256_add_epi32(MulQ24EvenLanesAvx2(LoadAvx2(&cosines.a[m][r]), s),
                                                           MulQ24EvenLanesAvx2(LoadAvx2(&cosines.b[m][r]), d)));
  oddLanes = _mm256_add_epi32(oddLanes,
                              _mm256_add_epi32(MulQ24MovedOddLanesAvx2(LoadAvx2(&cosines.aPairsSwapped[m][r]), s),
                                               MulQ24MovedOddLanesAvx2(LoadAvx2(&cosines.bPairsSwapped[m][r]), d)));
}

// The same sums with the AVX2 products of mulq24_avx2.h: per row half and
// parity of m, one accumulator for the even rows and one for the odd rows.
__attribute__((target("avx2,fma,bmi2"))) static void FoldedMatrixingAvx2(const int32_t* y, Q24* out) {
  static const TransposedCosines cosines;
  // sums[m] = y[m] + y[32 - m], diffs[m] = y[48 + m] - y[48 - m] (0 for
  // m = 0), eight at a time.
  alignas(32) int32_t sums[16];
  alignas(32) int32_t diffs[16];
  for (int h = 0; h < 2; h++) {
    StoreAvx2(sums + 8 * h,
              _mm256_add_epi32(LoadUnalignedAvx2(y + 8 * h), ReversedAvx2(LoadUnalignedAvx2(y + 25 - 8 * h))));
    StoreAvx2(diffs + 8 * h,
              _mm256_sub_epi32(LoadUnalignedAvx2(y + 48 + 8 * h), ReversedAvx2(LoadUnalignedAvx2(y + 41 - 8 * h))));
  }
  // Accumulators named after the parity of m (the body's even and odd
  // sums), the first row (0 or 8) and, with Odd, the odd lanes: named, so
  // that they stay in registers (an array indexed by m & 1 went to memory).
  __m256i evenM0 = _mm256_setzero_si256(), evenM0Odd = evenM0, evenM1 = evenM0, evenM1Odd = evenM0;
  __m256i oddM0 = evenM0, oddM0Odd = evenM0, oddM1 = evenM0, oddM1Odd = evenM0;
  for (int m = 0; m < 16; m += 2) {
    MatrixingTermsAvx2(evenM0, evenM0Odd, cosines, m, 0, sums[m], diffs[m]);
    MatrixingTermsAvx2(evenM1, evenM1Odd, cosines, m, 8, sums[m], diffs[m]);
    MatrixingTermsAvx2(oddM0, oddM0Odd, cosines, m + 1, 0, sums[m + 1], diffs[m + 1]);
    MatrixingTermsAvx2(oddM1, oddM1Odd, cosines, m + 1, 8, sums[m + 1], diffs[m + 1]);
  }
  const __m256i evenLanes[2][2] = {{evenM0, evenM1}, {oddM0, oddM1}};
  const __m256i oddLanes[2][2] = {{evenM0Odd, evenM1Odd}, {oddM0Odd, oddM1Odd}};
  for (int h = 0; h < 2; h++) {
    const __m256i even =
        _mm256_add_epi32(BlendEvenOddAvx2(evenLanes[0][h], oddLanes[0][h]), _mm256_set1_epi32(y[16]));
    const __m256i odd = BlendEvenOddAvx2(evenLanes[1][h], oddLanes[1][h]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * h), _mm256_add_epi32(even, odd));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 24 - 8 * h), ReversedAvx2(_mm256_sub_epi32(even, odd)));
  }
}
#endif
VECTOR_PATH_VARIANTS_OWN_AVX2(void, FoldedMatrixing, (const int32_t* y, Q24* out), (y, out))

namespace {

// The window in the order of the history, oldest sample first; for the
// AVX2 variant also with each pair of neighbouring taps swapped.
struct ReversedWindow {
  alignas(32) int32_t w[512];
  alignas(32) int32_t pairsSwapped[512];
  ReversedWindow() {
    for (int n = 0; n < 512; n++) {
      w[n] = AnalysisWindow[511 - n];
      pairsSwapped[n ^ 1] = AnalysisWindow[511 - n];
    }
  }
};

}  // namespace

VECTOR_PATH_BODY void AnalyseStepBody(const Q24* history, int pos, Q24* out) {
  // z[i] weighs the sample i steps back from the newest, which sits at
  // (pos + 511) mod 512. Taken oldest first, sample n = 0..511 of the
  // ring's two contiguous runs meets window tap 511 - n, and the partial
  // sum y[k] gathers the taps k, k + 64, ..., that is n = 63 - k + 64j.
  static const ReversedWindow window;
  int32_t p[512];
  const int first = 512 - pos;
  for (int n = 0; n < first; n++) p[n] = MulQ24Lanes(window.w[n], history[pos + n]);
  for (int n = first; n < 512; n++) p[n] = MulQ24Lanes(window.w[n], history[n - first]);
  uint32_t q[64];
  for (int m = 0; m < 64; m++) q[m] = static_cast<uint32_t>(p[m]);
  for (int j = 64; j < 512; j += 64) {
    for (int m = 0; m < 64; m++) q[m] += static_cast<uint32_t>(p[j + m]);
  }
  int32_t y[64];
  for (int k = 0; k < 64; k++) y[k] = static_cast<int32_t>(q[63 - k]);
  FoldedMatrixing(y, out);
}

#if VECTOR_PATHS_BUILT
// The same partial sums with the AVX2 products of mulq24_avx2.h, eight
// partial sums at a time in two accumulators. With pos a multiple of 8 (the
// filter bank's steps are 32) no eight samples wrap around the ring.
__attribute__((target("avx2,fma,bmi2"))) static void AnalyseStepAvx2(const Q24* history, int pos, Q24* out) {
  if (pos % 8 != 0) return AnalyseStepBody(history, pos, out);
  static const ReversedWindow window;
  alignas(32) int32_t q[64];
  for (int m = 0; m < 64; m += 8) {
    __m256i evenLanes = _mm256_setzero_si256();
    __m256i oddLanes = _mm256_setzero_si256();
    for (int n = m; n < 512; n += 64) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(history + ((pos + n) & 511)));
      const __m256i w = _mm256_load_si256(reinterpret_cast<const __m256i*>(window.w + n));
      const __m256i wSwapped = _mm256_load_si256(reinterpret_cast<const __m256i*>(window.pairsSwapped + n));
      evenLanes = _mm256_add_epi32(evenLanes, MulQ24EvenLanesAvx2(w, x));
      oddLanes = _mm256_add_epi32(oddLanes, MulQ24MovedOddLanesAvx2(wSwapped, OddLanesMovedAvx2(x)));
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(q + m), BlendEvenOddAvx2(evenLanes, oddLanes));
  }
  alignas(32) int32_t y[64];
  for (int k = 0; k < 64; k += 8) StoreAvx2(y + k, ReversedAvx2(LoadAvx2(q + 56 - k)));
  FoldedMatrixingAvx2(y, out);
}
#endif
VECTOR_PATH_VARIANTS_OWN_AVX2(void, AnalyseStep, (const Q24* history, int pos, Q24* out), (history, pos, out))

void SubbandAnalysis(MpaEncoderState& e, const Q24* left, const Q24* right,
                     Q24 (*subbandSamples)[SUBBAND_SAMPLES][32]) {
  const Q24* input[2] = {left, right};
  for (int t = 0; t < SUBBAND_SAMPLES; t++) {
    // Both channels advance the ring position together.
    int pos = e.AnalysisPos;
    int next = (pos + 32) & 511;
    for (int ch = 0; ch < 2; ch++) {
      Q24* history = e.AnalysisHistory[ch];
      for (int j = 0; j < 32; j++) history[pos + j] = input[ch][32 * t + j];
      AnalyseStep(history, next, subbandSamples[ch][t]);
    }
    e.AnalysisPos = next;
  }
}

void SubbandAnalysis(const Q24* left, const Q24* right, Q24 (*subbandSamples)[SUBBAND_SAMPLES][32]) {
  SubbandAnalysis(MpaEncoder, left, right, subbandSamples);
}
