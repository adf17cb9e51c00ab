// The fixed-point transforms against a direct double-precision evaluation
// of A/52's inverse transform (pre-twiddle, inverse DFT as a plain sum,
// post-twiddle, window, overlap-add), over several blocks so that the
// overlap is checked too, for long blocks, short blocks and a switch.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "common/vector_paths.h"
#include "ac3/ac3_stages.h"

namespace {

const double PI = std::acos(-1.0);

// The A/52 window (Kaiser-Bessel-derived, alpha 5), as printed: five decimals.
std::vector<double> PrintedWindow() {
  auto i0 = [](double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 50; ++k) {
      term *= (x / (2 * k)) * (x / (2 * k));
      sum += term;
    }
    return sum;
  };
  std::vector<double> kernel(257), w(256);
  double total = 0;
  for (int k = 0; k <= 256; ++k) {
    kernel[k] = i0(PI * 5 * std::sqrt(1 - std::pow(2.0 * k / 256 - 1, 2)));
    total += kernel[k];
  }
  double running = 0;
  for (int k = 0; k < 256; ++k) {
    running += kernel[k];
    w[k] = std::round(std::sqrt(running / total) * 100000) / 100000;
  }
  return w;
}

using cd = std::complex<double>;

// Direct evaluation of one A/52 inverse transform of N = 512 samples
// (short = false) or of the pair of short transforms (short = true); returns
// the 512 windowed values x[n] before overlap-add.
std::vector<double> ReferenceTransform(const std::vector<double>& X, bool shortBlocks, const std::vector<double>& w) {
  const int N = 512;
  auto win = [&](int n) { return n < 256 ? w[n] : w[511 - n]; };
  std::vector<double> x(N);
  if (!shortBlocks) {
    std::vector<cd> Z(N / 4), z(N / 4), y(N / 4);
    for (int k = 0; k < N / 4; ++k) {
      const double c = -std::cos(2 * PI * (8 * k + 1) / (8.0 * N)), s = -std::sin(2 * PI * (8 * k + 1) / (8.0 * N));
      Z[k] = cd(X[N / 2 - 2 * k - 1] * c - X[2 * k] * s, X[2 * k] * c + X[N / 2 - 2 * k - 1] * s);
    }
    for (int n = 0; n < N / 4; ++n) {
      cd sum = 0;
      for (int k = 0; k < N / 4; ++k) sum += Z[k] * std::polar(1.0, 8 * PI * k * n / N);
      z[n] = sum;
    }
    for (int n = 0; n < N / 4; ++n) {
      const double c = -std::cos(2 * PI * (8 * n + 1) / (8.0 * N)), s = -std::sin(2 * PI * (8 * n + 1) / (8.0 * N));
      y[n] = cd(z[n].real() * c - z[n].imag() * s, z[n].imag() * c + z[n].real() * s);
    }
    for (int n = 0; n < N / 8; ++n) {
      x[2 * n] = -y[N / 8 + n].imag() * win(2 * n);
      x[2 * n + 1] = y[N / 8 - n - 1].real() * win(2 * n + 1);
      x[N / 4 + 2 * n] = -y[n].real() * win(N / 4 + 2 * n);
      x[N / 4 + 2 * n + 1] = y[N / 4 - n - 1].imag() * win(N / 4 + 2 * n + 1);
      x[N / 2 + 2 * n] = -y[N / 8 + n].real() * win(N / 2 + 2 * n);
      x[N / 2 + 2 * n + 1] = y[N / 8 - n - 1].imag() * win(N / 2 + 2 * n + 1);
      x[3 * N / 4 + 2 * n] = y[n].imag() * win(3 * N / 4 + 2 * n);
      x[3 * N / 4 + 2 * n + 1] = -y[N / 4 - n - 1].real() * win(3 * N / 4 + 2 * n + 1);
    }
    return x;
  }
  std::vector<cd> y1(N / 8), y2(N / 8);
  for (int half = 0; half < 2; ++half) {
    std::vector<cd> Z(N / 8), z(N / 8);
    auto Xh = [&](int k) { return X[2 * k + half]; };
    for (int k = 0; k < N / 8; ++k) {
      const double c = -std::cos(2 * PI * (8 * k + 1) / (4.0 * N)), s = -std::sin(2 * PI * (8 * k + 1) / (4.0 * N));
      Z[k] = cd(Xh(N / 4 - 2 * k - 1) * c - Xh(2 * k) * s, Xh(2 * k) * c + Xh(N / 4 - 2 * k - 1) * s);
    }
    for (int n = 0; n < N / 8; ++n) {
      cd sum = 0;
      for (int k = 0; k < N / 8; ++k) sum += Z[k] * std::polar(1.0, 16 * PI * k * n / N);
      z[n] = sum;
    }
    std::vector<cd>& y = half == 0 ? y1 : y2;
    for (int n = 0; n < N / 8; ++n) {
      const double c = -std::cos(2 * PI * (8 * n + 1) / (4.0 * N)), s = -std::sin(2 * PI * (8 * n + 1) / (4.0 * N));
      y[n] = cd(z[n].real() * c - z[n].imag() * s, z[n].imag() * c + z[n].real() * s);
    }
  }
  for (int n = 0; n < N / 8; ++n) {
    x[2 * n] = -y1[n].imag() * win(2 * n);
    x[2 * n + 1] = y1[N / 8 - n - 1].real() * win(2 * n + 1);
    x[N / 4 + 2 * n] = -y1[n].real() * win(N / 4 + 2 * n);
    x[N / 4 + 2 * n + 1] = y1[N / 8 - n - 1].imag() * win(N / 4 + 2 * n + 1);
    x[N / 2 + 2 * n] = -y2[n].real() * win(N / 2 + 2 * n);
    x[N / 2 + 2 * n + 1] = y2[N / 8 - n - 1].imag() * win(N / 2 + 2 * n + 1);
    x[3 * N / 4 + 2 * n] = y2[n].imag() * win(3 * N / 4 + 2 * n);
    x[3 * N / 4 + 2 * n + 1] = -y2[N / 8 - n - 1].real() * win(3 * N / 4 + 2 * n + 1);
  }
  return x;
}

// Runs blocks through both; pattern[b] says whether block b is short.
void CompareSequence(const std::vector<bool>& pattern, double amplitude, unsigned seed) {
  const std::vector<double> w = PrintedWindow();
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
  std::vector<double> delay(256, 0.0);
  int32_t overlap[256] = {};
  double errorEnergy = 0, signalEnergy = 0, worst = 0;
  for (bool shortBlock : pattern) {
    std::vector<double> X(256);
    int32_t fixed[256];
    for (int k = 0; k < 256; ++k) {
      fixed[k] = static_cast<int32_t>(std::lround(uniform(rng) * 16777216.0 / (1 + k / 16)));
      X[k] = fixed[k] / 16777216.0;
    }
    const std::vector<double> x = ReferenceTransform(X, shortBlock, w);
    if (shortBlock)
      Ac3Imdct256(fixed, overlap);
    else
      Ac3Imdct512(fixed, overlap);
    for (int n = 0; n < 256; ++n) {
      const double expected = 2 * (x[n] + delay[n]);
      const double got = fixed[n] / 16777216.0;
      errorEnergy += (got - expected) * (got - expected);
      signalEnergy += expected * expected;
      worst = std::max(worst, std::abs(got - expected));
      delay[n] = x[256 + n];
    }
  }
  const double snr = 10 * std::log10(signalEnergy / errorEnergy);
  EXPECT_GT(snr, 110.0);
  EXPECT_LT(worst * 16777216.0, 64.0);  // a few Q24 units of rounding
}

}  // namespace

TEST(Ac3Imdct, LongBlocksMatchDirectEvaluation) {
  CompareSequence({false, false, false, false}, 0.05, 1);
  CompareSequence({false, false, false}, 0.9, 2);
}

TEST(Ac3Imdct, ShortBlocksMatchDirectEvaluation) {
  CompareSequence({true, true, true}, 0.05, 3);
  CompareSequence({true, true}, 0.9, 4);
}

TEST(Ac3Imdct, SwitchingCarriesOverlapBothWays) {
  CompareSequence({false, true, false, true, true, false}, 0.2, 5);
}

TEST(Ac3Imdct, VectorAndPlainPathsGiveTheSameBits) {
  const VectorPath best = BestVectorPath();
  if (best == VectorPath::Plain) GTEST_SKIP() << "this processor runs no vector path";
  for (VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
    if (path > best) continue;
    std::mt19937 rng(9);
    int32_t overlapA[256] = {}, overlapB[256] = {};
    for (int block = 0; block < 6; ++block) {
      int32_t a[256], b[256];
      for (int k = 0; k < 256; ++k) a[k] = b[k] = static_cast<int32_t>(rng()) >> (block + 4);
      VectorPathInUse = path;
      (block % 2 ? Ac3Imdct256 : Ac3Imdct512)(a, overlapA);
      VectorPathInUse = VectorPath::Plain;
      (block % 2 ? Ac3Imdct256 : Ac3Imdct512)(b, overlapB);
      for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(a[k], b[k]) << static_cast<int>(path) << " " << block << " " << k;
        ASSERT_EQ(overlapA[k], overlapB[k]) << static_cast<int>(path) << " " << block << " " << k;
      }
    }
  }
  VectorPathInUse = VectorPath::Plain;
  CompareSequence({false, true, false}, 0.3, 6);
  VectorPathInUse = best;
}

TEST(Ac3Imdct, ZeroInAfterResetGivesExactZeros) {
  int32_t x[256] = {}, overlap[256] = {};
  Ac3Imdct512(x, overlap);
  Ac3Imdct256(x, overlap);
  for (int n = 0; n < 256; ++n) {
    ASSERT_EQ(x[n], 0);
    ASSERT_EQ(overlap[n], 0);
  }
}
