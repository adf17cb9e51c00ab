// The analysis filter bank and the scale factor indices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/vector_paths.h"
#include "mpa/analysis_tables.h"
#include "mpa/encoder_state.h"
#include "mpa/layer2_encoder.h"
#include "mpa/scale_factors.h"
#include "mpa/subband_analysis.h"
#include "tests/mpa/test_signals.h"

TEST(FoldedMatrixing, AgreesWithTheDirectCosineSum) {
  uint32_t seed = 7;
  for (int trial = 0; trial < 20; trial++) {
    int32_t y[64];
    for (int32_t& v : y) {
      seed = seed * 1664525u + 1013904223u;
      v = static_cast<int32_t>(seed) >> 8;  // within +-0.5
    }
    Q24 folded[32];
    FoldedMatrixing(y, folded);
    for (int i = 0; i < 32; i++) {
      double direct = 0;
      for (int k = 0; k < 64; k++) direct += std::cos((2 * i + 1) * (k - 16) * M_PI / 64) * y[k];
      EXPECT_NEAR(folded[i], direct, 16.0) << "row " << i;
    }
  }
}

// Full-range samples, where the products' rounding and wrapping matter, and
// ring positions on and off the filter bank's steps of 32.
TEST(AnalyseStep, EveryPathGivesThePlainPathsSamples) {
  const VectorPath best = BestVectorPath();
  uint32_t seed = 11;
  Q24 history[512];
  for (Q24& v : history) v = static_cast<int32_t>(seed = seed * 1664525u + 1013904223u);
  history[5] = INT32_MIN;
  for (int pos : {0, 32, 480, 8, 3}) {
    VectorPathInUse = VectorPath::Plain;
    Q24 expected[32];
    AnalyseStep(history, pos, expected);
    for (VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      Q24 out[32];
      AnalyseStep(history, pos, out);
      EXPECT_EQ(std::memcmp(out, expected, sizeof out), 0) << "pos " << pos << " path " << int(path);
    }
  }
  VectorPathInUse = best;
}

class SubbandAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEncoderHistory(); }
  void Analyse(const StereoSignal& s, size_t frame) {
    SubbandAnalysis(&s.left[frame * MPA_FRAME_SAMPLES], &s.right[frame * MPA_FRAME_SAMPLES], frame_.SubbandSamples);
    FindScaleFactors(frame_);
  }
  Layer2Frame frame_;
};

TEST_F(SubbandAnalysisTest, SilenceAfterTheWindowGivesIndex62Everywhere) {
  StereoSignal s = MakeWhiteNoise(2 * MPA_FRAME_SAMPLES, 0.5, 3);
  Analyse(s, 0);
  StereoSignal zeros = MakeSilence(MPA_FRAME_SAMPLES);
  Analyse(zeros, 0);
  // The first 16 steps still see the noise's tail through the 512 taps.
  EXPECT_NE(frame_.SubbandSamples[0][0][0], 0);
  for (int ch = 0; ch < 2; ch++) {
    for (int t = 16; t < 36; t++) {
      for (int sb = 0; sb < 32; sb++) EXPECT_EQ(frame_.SubbandSamples[ch][t][sb], 0);
    }
  }
  Analyse(zeros, 0);
  for (int ch = 0; ch < 2; ch++) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      EXPECT_EQ(frame_.scfMin[ch][sb], 62);
      for (int p = 0; p < 3; p++) EXPECT_EQ(frame_.scf[ch][p][sb], 62);
    }
  }
}

TEST_F(SubbandAnalysisTest, SineAtABandCentreStaysInItsBand) {
  for (int band : {0, 5, 13, 26}) {
    StereoSignal s = MakeSine(2 * MPA_FRAME_SAMPLES, (2 * band + 1) * 375.0, 1.0);
    Analyse(s, 0);
    Analyse(s, 1);
    for (int sb = 0; sb < 32; sb++) {
      int32_t peak = 0;
      for (int t = 0; t < 36; t++) peak = std::max(peak, std::abs(frame_.SubbandSamples[0][t][sb]));
      if (sb == band) {
        EXPECT_GT(peak, 0.7 * Q24_ONE) << band;
        EXPECT_LT(peak, 1.0 * Q24_ONE) << band;
        EXPECT_TRUE(frame_.scfMin[0][sb] == 3 || frame_.scfMin[0][sb] == 4) << band;
      } else {
        EXPECT_LT(peak, 0.01 * Q24_ONE) << band << " leaks into " << sb;
      }
    }
  }
}

TEST_F(SubbandAnalysisTest, SineAtABandEdgeSplitsBetweenTheTwoBands) {
  StereoSignal s = MakeSine(2 * MPA_FRAME_SAMPLES, 6 * 750.0, 1.0);
  Analyse(s, 0);
  Analyse(s, 1);
  // Decimated to the subbands' own rate, the edge frequency is their
  // Nyquist frequency: the sine and the cosine channel together give the
  // amplitude whatever the phase.
  int32_t peak[32] = {};
  for (int sb = 0; sb < 32; sb++) {
    for (int t = 0; t < 36; t++) {
      double l = frame_.SubbandSamples[0][t][sb];
      double r = frame_.SubbandSamples[1][t][sb];
      peak[sb] = std::max(peak[sb], static_cast<int32_t>(std::sqrt(l * l + r * r)));
    }
  }
  EXPECT_GT(peak[5], 0.5 * Q24_ONE) << peak[5];
  EXPECT_GT(peak[6], 0.5 * Q24_ONE) << peak[6];
  EXPECT_LT(peak[4], 0.01 * Q24_ONE);
  EXPECT_LT(peak[7], 0.01 * Q24_ONE);
}

TEST(ScfIndex, PicksTheSmallestScaleFactorAboveThePeak) {
  EXPECT_EQ(ScfIndex(0), 62);
  EXPECT_EQ(ScfIndex(19), 62);
  EXPECT_EQ(ScfIndex(20), 61);
  for (int i = 1; i <= 62; i++) {
    EXPECT_EQ(ScfIndex(ScfTable[i]), i - 1) << i;
    EXPECT_EQ(ScfIndex(ScfTable[i] - 1), i) << i;
  }
  EXPECT_EQ(ScfIndex(0x1FFFFFF), 0);
  EXPECT_EQ(ScfIndex(0x2000000), 0);
  EXPECT_EQ(ScfIndex(INT32_MAX), 0);
}

// Each part's index is ScfIndex of its largest magnitude, on every vector
// path, for peaks on and next to the table's entries and for -2^31.
TEST(FindScaleFactors, EveryPathTakesScfIndexOfEachPartsPeak) {
  const VectorPath best = BestVectorPath();
  Layer2Frame f{};
  uint32_t seed = 3;
  for (int ch = 0; ch < 2; ch++) {
    for (int t = 0; t < 36; t++) {
      for (int sb = 0; sb < 32; sb++) {
        seed = seed * 1664525u + 1013904223u;
        int32_t v = ScfTable[seed >> 26] + static_cast<int32_t>(seed >> 8) % 3 - 1;
        f.SubbandSamples[ch][t][sb] = seed & 0x80 ? v : -v;
      }
    }
  }
  f.SubbandSamples[1][13][4] = INT32_MIN;
  for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
    if (path > best) continue;
    VectorPathInUse = path;
    FindScaleFactors(f);
    for (int ch = 0; ch < 2; ch++) {
      for (int sb = 0; sb < SBLIMIT; sb++) {
        int smallest = 63;
        for (int p = 0; p < 3; p++) {
          int32_t peak = 0;
          for (int t = 12 * p; t < 12 * p + 12; t++) {
            int32_t x = f.SubbandSamples[ch][t][sb];
            peak = x == INT32_MIN ? peak : std::max(peak, std::abs(x));
          }
          ASSERT_EQ(f.scf[ch][p][sb], ScfIndex(peak)) << ch << " " << p << " " << sb << " path " << int(path);
          smallest = std::min(smallest, ScfIndex(peak));
        }
        ASSERT_EQ(f.scfMin[ch][sb], smallest);
      }
    }
  }
  VectorPathInUse = best;
}

TEST(SelectScfsi, PatternsShareOnlyLouderIndices) {
  uint8_t a = 20, b = 20, c = 20;
  EXPECT_EQ(SelectScfsi(&a, &b, &c), 2);  // pattern 0
  // 10, 12, 30: differences -2 and -18, classes 1 and 0: pattern 1.
  a = 10, b = 12, c = 30;
  EXPECT_EQ(SelectScfsi(&a, &b, &c), 1);
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, 10);
  EXPECT_EQ(c, 30);
  // Pattern 7 (classes 1 and 3) shares the smaller of the outer two.
  a = 12, b = 13, c = 11;
  EXPECT_EQ(SelectScfsi(&a, &b, &c), 2);
  EXPECT_EQ(a, 11);
  EXPECT_EQ(b, 11);
  EXPECT_EQ(c, 11);
  // Every pattern keeps each index at or below its own.
  for (int x = 20; x < 30; x++) {
    for (int y = 20; y < 30; y++) {
      for (int z = 20; z < 30; z++) {
        uint8_t p = x, q = y, r = z;
        int scfsi = SelectScfsi(&p, &q, &r);
        EXPECT_LE(p, x);
        EXPECT_LE(q, y);
        EXPECT_LE(r, z);
        if (scfsi == 2) {
          EXPECT_TRUE(p == q && q == r);
        } else if (scfsi == 1) {
          EXPECT_EQ(p, q);
        } else if (scfsi == 3) {
          EXPECT_EQ(q, r);
        }
      }
    }
  }
}
