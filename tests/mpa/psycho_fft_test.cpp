// The FFT and the level spectrum against a literal radix-2 transform.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/vector_paths.h"
#include "mpa/log_level.h"
#include "mpa/psycho_fft.h"
#include "mpa/psycho_tables.h"

namespace {

// The transform step by step: bit-reversed input, ten stages of
// butterflies, a twiddle of 1 taken as no product at all.
void ReferenceFft(const Q24* u, int32_t* re, int32_t* im) {
  for (int i = 0; i < 1024; i++) {
    re[i] = u[BitReverse[i]];
    im[i] = 0;
  }
  for (int half = 1; half < 1024; half <<= 1) {
    int step = 512 / half;
    for (int g = 0; g < 1024; g += 2 * half) {
      for (int j = 0; j < half; j++) {
        int a = g + j, b = a + half;
        int32_t tRe = re[b], tIm = im[b];
        if (j != 0) {
          tRe = MulQ24(re[b], FftCos[j * step]) - MulQ24(im[b], FftSin[j * step]);
          tIm = MulQ24(re[b], FftSin[j * step]) + MulQ24(im[b], FftCos[j * step]);
        }
        re[b] = re[a] - tRe;
        im[b] = im[a] - tIm;
        re[a] += tRe;
        im[a] += tIm;
      }
    }
  }
}

// LogPower with its normalisation one doubling at a time.
LogQ24 ReferenceLogPower(Q24 re, Q24 im) {
  if (re == 0 && im == 0) return LEVEL_FLOOR;
  int32_t a = std::abs(re), b = std::abs(im), m = std::max(a, b), e = 0;
  while (m < 0x1000000) {
    m <<= 1;
    a <<= 1;
    b <<= 1;
    e -= 0x2000000;
  }
  int32_t p = MulQ24(a, a) + MulQ24(b, b);
  while (p >= 0x2000000) {
    p >>= 1;
    e += 0x1000000;
  }
  int32_t level = e + 3 * DivQ24(p - 0x1000000, p + 0x1000000) + 0x2000000;
  return level < LEVEL_FLOOR ? LEVEL_FLOOR : level;
}

}  // namespace

TEST(PsychoFft, MatchesTheLiteralTransformBitForBitOnEveryPath) {
  const VectorPath best = BestVectorPath();
  uint32_t seed = 99;
  for (int trial = 0; trial < 8; trial++) {
    Q24 u[1024];
    for (int i = 0; i < 1024; i++) {
      seed = seed * 1664525u + 1013904223u;
      // Full-scale noise through the window, or a quiet tone plus noise.
      double x = trial % 2 ? ((seed >> 8) / double(1 << 23) - 1.0)
                           : 0.01 * std::sin(i * 0.3 * trial) + ((seed >> 8) / double(1 << 30));
      u[i] = MulQ24(HannWindow[i], static_cast<Q24>(x * (1 << 24)));
    }
    int32_t re[1024], im[1024];
    ReferenceFft(u, re, im);
    for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      LogQ24 X[PSYCHO_LINES];
      PsychoFft(u, X);
      for (int k = 0; k < PSYCHO_LINES; k++)
        ASSERT_EQ(X[k], ReferenceLogPower(re[k], im[k])) << trial << " " << k << " path " << int(path);
    }
  }
  VectorPathInUse = best;
}

TEST(PsychoFft, SineLandsOnItsLine) {
  Q24 u[1024];
  for (int i = 0; i < 1024; i++) u[i] = MulQ24(HannWindow[i], static_cast<Q24>(0.5 * std::cos(2 * M_PI * 100 * i / 1024) * (1 << 24)));
  LogQ24 X[PSYCHO_LINES];
  PsychoFft(u, X);
  for (int k = 0; k < PSYCHO_LINES; k++) {
    if (k < 98 || k > 102) {
      EXPECT_LT(X[k], X[100] - 20 * (1 << 24)) << k;
    }
  }
  // 0.5 x 0.5 x sqrt(8/3) x 0.5 per side: log2(0.0417) + 2, about -2.58.
  EXPECT_NEAR(X[100] / double(1 << 24), std::log2(std::pow(0.25 * std::sqrt(8.0 / 3) * 0.5, 2)) + 2, 0.05);
}

TEST(LevelSpectrum, EqualsLogPowerBinByBinOnEveryPath) {
  std::vector<int32_t> re, im;
  for (int32_t v : {0, 1, -1, 2, 3, 0xFFFFFF, 0x1000000, -0x1000000, 0x1000001, 0x1FFFFFF, 0x800000, 12345}) {
    for (int32_t w : {0, 1, -7, 0x1FFFFFF, -0x1000000, 0x7FFF}) {
      re.push_back(v);
      im.push_back(w);
    }
  }
  uint32_t seed = 3;
  for (int i = 0; i < 20000; i++) {
    seed = seed * 1664525u + 1013904223u;
    re.push_back(static_cast<int32_t>(seed) >> (7 + seed % 24));
    seed = seed * 1664525u + 1013904223u;
    im.push_back(static_cast<int32_t>(seed) >> (7 + seed % 24));
  }
  std::vector<LogQ24> X(re.size());
  const VectorPath best = BestVectorPath();
  for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
    if (path > best) continue;
    VectorPathInUse = path;
    LevelSpectrum(re.data(), im.data(), static_cast<int>(re.size()), X.data());
    for (size_t k = 0; k < re.size(); k++)
      ASSERT_EQ(X[k], LogPower(re[k], im[k])) << re[k] << " " << im[k] << " path " << int(path);
  }
  VectorPathInUse = best;
  // Parts of 2.0 and more take LogPower itself.
  re[0] = 0x2000000;
  LevelSpectrum(re.data(), im.data(), 4, X.data());
  for (size_t k = 0; k < 4; k++) EXPECT_EQ(X[k], LogPower(re[k], im[k]));
}
