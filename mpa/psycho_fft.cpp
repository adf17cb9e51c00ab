#include "mpa/psycho_fft.h"

#include "mpa/psycho_tables.h"
#include "common/vector_paths.h"
#include "mpa/mulq24_avx2.h"
#include "mpa/vector_clones.h"

namespace {

// The twiddles of each stage side by side: entry half + j holds
// FftCos/FftSin[j * 512 / half] for the stage of butterflies half apart;
// for the AVX2 stages also with each pair of neighbours swapped.
struct StageTwiddles {
  alignas(32) int32_t cos[PSYCHO_FFT_SIZE];
  alignas(32) int32_t sin[PSYCHO_FFT_SIZE];
  alignas(32) int32_t cosPairsSwapped[PSYCHO_FFT_SIZE];
  alignas(32) int32_t sinPairsSwapped[PSYCHO_FFT_SIZE];
  StageTwiddles() {
    for (int half = 1; half < PSYCHO_FFT_SIZE; half <<= 1) {
      for (int j = 0; j < half; j++) {
        cos[half + j] = FftCos[j * (512 / half)];
        sin[half + j] = FftSin[j * (512 / half)];
      }
    }
    for (int i = 0; i < PSYCHO_FFT_SIZE; i++) {
      cosPairsSwapped[i ^ 1] = cos[i];
      sinPairsSwapped[i ^ 1] = sin[i];
    }
  }
};

// One radix-2 stage of butterflies half apart. Each stage is its own
// instance with its sizes fixed, inlined into every processor's version of
// the transform, so that the short stages vectorise as well as the long.
template <int HALF>
[[gnu::always_inline]] inline void Stage(int32_t* re, int32_t* im, const int32_t* c, const int32_t* s) {
  for (int g = 0; g < PSYCHO_FFT_SIZE; g += 2 * HALF) {
    int32_t* aRe = re + g;
    int32_t* aIm = im + g;
    int32_t* bRe = re + g + HALF;
    int32_t* bIm = im + g + HALF;
    for (int j = 0; j < HALF; j++) {
      uint32_t tRe = static_cast<uint32_t>(MulQ24Lanes(bRe[j], c[j])) - static_cast<uint32_t>(MulQ24Lanes(bIm[j], s[j]));
      uint32_t tIm = static_cast<uint32_t>(MulQ24Lanes(bRe[j], s[j])) + static_cast<uint32_t>(MulQ24Lanes(bIm[j], c[j]));
      uint32_t ar = static_cast<uint32_t>(aRe[j]);
      uint32_t ai = static_cast<uint32_t>(aIm[j]);
      bRe[j] = static_cast<int32_t>(ar - tRe);
      bIm[j] = static_cast<int32_t>(ai - tIm);
      aRe[j] = static_cast<int32_t>(ar + tRe);
      aIm[j] = static_cast<int32_t>(ai + tIm);
    }
  }
}

template <int... HALVES>
[[gnu::always_inline]] inline void Stages(int32_t* re, int32_t* im, const StageTwiddles& t) {
  (Stage<HALVES>(re, im, t.cos + HALVES, t.sin + HALVES), ...);
}

#if VECTOR_PATHS_BUILT
// Stage with the AVX2 products of mulq24_avx2.h, eight butterflies at a
// time (HALF at least 8): the even lanes' products and the odd lanes' are
// combined apart and blended once per eight.
template <int HALF>
AVX2_INLINE void StageAvx2(int32_t* re, int32_t* im, const StageTwiddles& t) {
  static_assert(HALF >= 8);
  for (int g = 0; g < PSYCHO_FFT_SIZE; g += 2 * HALF) {
    for (int j = 0; j < HALF; j += 8) {
      __m256i* aRe = reinterpret_cast<__m256i*>(re + g + j);
      __m256i* aIm = reinterpret_cast<__m256i*>(im + g + j);
      __m256i* bRe = reinterpret_cast<__m256i*>(re + g + HALF + j);
      __m256i* bIm = reinterpret_cast<__m256i*>(im + g + HALF + j);
      const __m256i c = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.cos + HALF + j));
      const __m256i s = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.sin + HALF + j));
      const __m256i cSwapped = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.cosPairsSwapped + HALF + j));
      const __m256i sSwapped = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.sinPairsSwapped + HALF + j));
      const __m256i br = _mm256_load_si256(bRe);
      const __m256i bi = _mm256_load_si256(bIm);
      const __m256i brMoved = OddLanesMovedAvx2(br);
      const __m256i biMoved = OddLanesMovedAvx2(bi);
      const __m256i tRe = BlendEvenOddAvx2(
          _mm256_sub_epi32(MulQ24EvenLanesAvx2(br, c), MulQ24EvenLanesAvx2(bi, s)),
          _mm256_sub_epi32(MulQ24MovedOddLanesAvx2(brMoved, cSwapped), MulQ24MovedOddLanesAvx2(biMoved, sSwapped)));
      const __m256i tIm = BlendEvenOddAvx2(
          _mm256_add_epi32(MulQ24EvenLanesAvx2(br, s), MulQ24EvenLanesAvx2(bi, c)),
          _mm256_add_epi32(MulQ24MovedOddLanesAvx2(brMoved, sSwapped), MulQ24MovedOddLanesAvx2(biMoved, cSwapped)));
      const __m256i ar = _mm256_load_si256(aRe);
      const __m256i ai = _mm256_load_si256(aIm);
      _mm256_store_si256(bRe, _mm256_sub_epi32(ar, tRe));
      _mm256_store_si256(bIm, _mm256_sub_epi32(ai, tIm));
      _mm256_store_si256(aRe, _mm256_add_epi32(ar, tRe));
      _mm256_store_si256(aIm, _mm256_add_epi32(ai, tIm));
    }
  }
}
#endif

// The first two stages at once: their twiddles are 1 (FftCos[0] = 2^24,
// FftSin[0] = 0) and -j (FftCos[256] = 0, FftSin[256] = -2^24), whose
// Q24 products are exact, and the input is real.
[[gnu::always_inline]] inline void FirstTwoStages(const Q24* u, int32_t* re, int32_t* im) {
  for (int g = 0; g < PSYCHO_FFT_SIZE; g += 4) {
    uint32_t a0 = static_cast<uint32_t>(u[BitReverse[g]]);
    uint32_t a1 = static_cast<uint32_t>(u[BitReverse[g + 1]]);
    uint32_t a2 = static_cast<uint32_t>(u[BitReverse[g + 2]]);
    uint32_t a3 = static_cast<uint32_t>(u[BitReverse[g + 3]]);
    uint32_t e0 = a0 + a1, e1 = a0 - a1, e2 = a2 + a3, e3 = a2 - a3;
    re[g] = static_cast<int32_t>(e0 + e2);
    im[g] = 0;
    re[g + 1] = static_cast<int32_t>(e1);
    im[g + 1] = static_cast<int32_t>(0u - e3);
    re[g + 2] = static_cast<int32_t>(e0 - e2);
    im[g + 2] = 0;
    re[g + 3] = static_cast<int32_t>(e1);
    im[g + 3] = static_cast<int32_t>(e3);
  }
}

}  // namespace

VECTOR_PATH_BODY void PsychoFftBody(const Q24* u, LogQ24* X) {
  static const StageTwiddles twiddles;
  int32_t re[PSYCHO_FFT_SIZE];
  int32_t im[PSYCHO_FFT_SIZE];
  FirstTwoStages(u, re, im);
  // Radix-2 decimation in time without scaling: the window's 1/1024 keeps
  // every value below 1.0. A twiddle of 1 (j = 0) multiplies exactly.
  Stages<4, 8, 16, 32, 64, 128, 256, 512>(re, im, twiddles);
  LevelSpectrum(re, im, PSYCHO_LINES, X);
}

#if VECTOR_PATHS_BUILT
// The same transform with the AVX2 stages from eight butterflies apart on.
__attribute__((target("avx2,fma,bmi2"))) static void PsychoFftAvx2(const Q24* u, LogQ24* X) {
  static const StageTwiddles twiddles;
  alignas(32) int32_t re[PSYCHO_FFT_SIZE];
  alignas(32) int32_t im[PSYCHO_FFT_SIZE];
  FirstTwoStages(u, re, im);
  Stage<4>(re, im, twiddles.cos + 4, twiddles.sin + 4);
  StageAvx2<8>(re, im, twiddles);
  StageAvx2<16>(re, im, twiddles);
  StageAvx2<32>(re, im, twiddles);
  StageAvx2<64>(re, im, twiddles);
  StageAvx2<128>(re, im, twiddles);
  StageAvx2<256>(re, im, twiddles);
  StageAvx2<512>(re, im, twiddles);
  LevelSpectrum(re, im, PSYCHO_LINES, X);
}
#endif

VECTOR_PATH_VARIANTS_OWN_AVX2(void, PsychoFft, (const Q24* u, LogQ24* X), (u, X))

VECTOR_PATH_BODY void LevelSpectrumBody(const int32_t* __restrict re, const int32_t* __restrict im, int count, LogQ24* __restrict X) {
  // LogPower without its loops, for parts below 2.0 (always, within full
  // scale); anything larger takes LogPower itself.
  uint32_t largest = 0;
  for (int k = 0; k < count; k++) {
    uint32_t a = re[k] < 0 ? 0u - static_cast<uint32_t>(re[k]) : static_cast<uint32_t>(re[k]);
    uint32_t b = im[k] < 0 ? 0u - static_cast<uint32_t>(im[k]) : static_cast<uint32_t>(im[k]);
    largest |= a | b;
  }
  if (largest >= 0x2000000) {
    for (int k = 0; k < count; k++) X[k] = LogPower(re[k], im[k]);
    return;
  }
  for (int k = 0; k < count; k++) {
    int32_t a = re[k] < 0 ? -re[k] : re[k];
    int32_t b = im[k] < 0 ? -im[k] : im[k];
    int32_t m = a > b ? a : b;
    // Doublings that bring m into [1, 2): 24 - floor(log2 m), read from
    // the exponent of m as a float (exact below 2^24).
    float asFloat = static_cast<float>(m);
    uint32_t bits;
    __builtin_memcpy(&bits, &asFloat, sizeof bits);
    int32_t exponent = static_cast<int32_t>(bits >> 23) - 127;
    int32_t doublings = exponent < 24 ? 24 - exponent : 0;
    doublings = m == 0 ? 0 : doublings;
    a <<= doublings;
    b <<= doublings;
    int32_t e = -doublings * 0x2000000;
    // p < 2^27: at most two halvings bring it below 2.0.
    int32_t p = MulQ24Lanes(a, a) + MulQ24Lanes(b, b);
    int32_t halvings = (p >= 0x2000000) + (p >= 0x4000000);
    p >>= halvings;
    e += halvings * 0x1000000;
    int32_t f = DivQ24Small(p - 0x1000000, p + 0x1000000);
    int32_t level = e + 3 * f + 0x2000000;
    level = level < LEVEL_FLOOR ? LEVEL_FLOOR : level;
    X[k] = m == 0 ? LEVEL_FLOOR : level;
  }
}
VECTOR_PATH_VARIANTS(void, LevelSpectrum, (const int32_t* __restrict re, const int32_t* __restrict im, int count, LogQ24* __restrict X), (re, im, count, X))
