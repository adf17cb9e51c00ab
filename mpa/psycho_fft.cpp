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
// Eight butterflies with the AVX2 products of mulq24_avx2.h: the even
// lanes' products and the odd lanes' are combined apart and blended once.
// The twiddles come twice, the second time with each pair of neighbours
// swapped (the odd lanes' twiddles in the even lanes).
struct TwiddlesAvx2 {
  __m256i c, s, cSwapped, sSwapped;
};

AVX2_INLINE void ButterfliesAvx2(__m256i& ar, __m256i& ai, __m256i& br, __m256i& bi, const TwiddlesAvx2& w) {
  const __m256i brMoved = OddLanesMovedAvx2(br);
  const __m256i biMoved = OddLanesMovedAvx2(bi);
  const __m256i tRe = BlendEvenOddAvx2(
      _mm256_sub_epi32(MulQ24EvenLanesAvx2(br, w.c), MulQ24EvenLanesAvx2(bi, w.s)),
      _mm256_sub_epi32(MulQ24MovedOddLanesAvx2(brMoved, w.cSwapped), MulQ24MovedOddLanesAvx2(biMoved, w.sSwapped)));
  const __m256i tIm = BlendEvenOddAvx2(
      _mm256_add_epi32(MulQ24EvenLanesAvx2(br, w.s), MulQ24EvenLanesAvx2(bi, w.c)),
      _mm256_add_epi32(MulQ24MovedOddLanesAvx2(brMoved, w.sSwapped), MulQ24MovedOddLanesAvx2(biMoved, w.cSwapped)));
  br = _mm256_sub_epi32(ar, tRe);
  bi = _mm256_sub_epi32(ai, tIm);
  ar = _mm256_add_epi32(ar, tRe);
  ai = _mm256_add_epi32(ai, tIm);
}

AVX2_INLINE __m256i Load4TwiceAvx2(const int32_t* p) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
}

// Stage for HALF at least 8, eight butterflies at a time.
template <int HALF>
AVX2_INLINE void StageAvx2(int32_t* re, int32_t* im, const StageTwiddles& t) {
  static_assert(HALF >= 8);
  for (int g = 0; g < PSYCHO_FFT_SIZE; g += 2 * HALF) {
    for (int j = 0; j < HALF; j += 8) {
      const TwiddlesAvx2 w{LoadAvx2(t.cos + HALF + j), LoadAvx2(t.sin + HALF + j),
                           LoadAvx2(t.cosPairsSwapped + HALF + j), LoadAvx2(t.sinPairsSwapped + HALF + j)};
      int32_t* a = re + g + j;
      int32_t* b = re + g + HALF + j;
      int32_t* aIm = im + g + j;
      int32_t* bIm = im + g + HALF + j;
      __m256i ar = LoadAvx2(a), ai = LoadAvx2(aIm), br = LoadAvx2(b), bi = LoadAvx2(bIm);
      ButterfliesAvx2(ar, ai, br, bi, w);
      StoreAvx2(a, ar);
      StoreAvx2(aIm, ai);
      StoreAvx2(b, br);
      StoreAvx2(bIm, bi);
    }
  }
}

// The stage of butterflies four apart: two groups of eight at a time, their
// halves regrouped into the four a and the four b of each.
AVX2_INLINE void Stage4Avx2(int32_t* re, int32_t* im, const StageTwiddles& t) {
  const TwiddlesAvx2 w{Load4TwiceAvx2(t.cos + 4), Load4TwiceAvx2(t.sin + 4), Load4TwiceAvx2(t.cosPairsSwapped + 4),
                       Load4TwiceAvx2(t.sinPairsSwapped + 4)};
  for (int g = 0; g < PSYCHO_FFT_SIZE; g += 16) {
    const __m256i re0 = LoadAvx2(re + g), re1 = LoadAvx2(re + g + 8);
    const __m256i im0 = LoadAvx2(im + g), im1 = LoadAvx2(im + g + 8);
    __m256i ar = _mm256_permute2x128_si256(re0, re1, 0x20), br = _mm256_permute2x128_si256(re0, re1, 0x31);
    __m256i ai = _mm256_permute2x128_si256(im0, im1, 0x20), bi = _mm256_permute2x128_si256(im0, im1, 0x31);
    ButterfliesAvx2(ar, ai, br, bi, w);
    StoreAvx2(re + g, _mm256_permute2x128_si256(ar, br, 0x20));
    StoreAvx2(re + g + 8, _mm256_permute2x128_si256(ar, br, 0x31));
    StoreAvx2(im + g, _mm256_permute2x128_si256(ai, bi, 0x20));
    StoreAvx2(im + g + 8, _mm256_permute2x128_si256(ai, bi, 0x31));
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
// The same transform with the AVX2 stages from four butterflies apart on.
__attribute__((target("avx2,fma,bmi2"))) static void PsychoFftAvx2(const Q24* u, LogQ24* X) {
  static const StageTwiddles twiddles;
  alignas(32) int32_t re[PSYCHO_FFT_SIZE];
  alignas(32) int32_t im[PSYCHO_FFT_SIZE];
  FirstTwoStages(u, re, im);
  Stage4Avx2(re, im, twiddles);
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

// SQUARES_IN_DOUBLES: for AVX2, which multiplies 32 x 32 -> 64 bits only in
// half its lanes, the Q24 squares are formed in doubles, exactly: a and b
// are below 2^25, so a * a + 2^23 is a whole number below 2^53 and its
// 2^-24th is truncated to MulQ24's result.
template <bool SQUARES_IN_DOUBLES>
[[gnu::always_inline]] inline void LevelSpectrumOf(const int32_t* __restrict re, const int32_t* __restrict im, int count,
                                                   LogQ24* __restrict X) {
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
    int32_t p;
    if constexpr (SQUARES_IN_DOUBLES) {
      double ad = a, bd = b;
      p = static_cast<int32_t>((ad * ad + 8388608.0) * (1.0 / 16777216.0)) +
          static_cast<int32_t>((bd * bd + 8388608.0) * (1.0 / 16777216.0));
    } else {
      p = MulQ24Lanes(a, a) + MulQ24Lanes(b, b);
    }
    int32_t halvings = (p >= 0x2000000) + (p >= 0x4000000);
    p >>= halvings;
    e += halvings * 0x1000000;
    int32_t f = DivQ24Small(p - 0x1000000, p + 0x1000000);
    int32_t level = e + 3 * f + 0x2000000;
    level = level < LEVEL_FLOOR ? LEVEL_FLOOR : level;
    X[k] = m == 0 ? LEVEL_FLOOR : level;
  }
}
VECTOR_PATH_BODY void LevelSpectrumBody(const int32_t* __restrict re, const int32_t* __restrict im, int count,
                                        LogQ24* __restrict X) {
  LevelSpectrumOf<false>(re, im, count, X);
}
#if VECTOR_PATHS_BUILT
__attribute__((target("avx2,fma,bmi2"))) static void LevelSpectrumAvx2(const int32_t* __restrict re,
                                                                       const int32_t* __restrict im, int count,
                                                                       LogQ24* __restrict X) {
  LevelSpectrumOf<true>(re, im, count, X);
}
#endif
VECTOR_PATH_VARIANTS_OWN_AVX2(void, LevelSpectrum,
                              (const int32_t* __restrict re, const int32_t* __restrict im, int count,
                               LogQ24* __restrict X),
                              (re, im, count, X))
