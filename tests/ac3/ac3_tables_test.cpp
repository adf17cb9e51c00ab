// The computed tables against their closed forms and quoted entries.
#include <gtest/gtest.h>

#include <cmath>

#include "ac3/ac3_tables.h"

namespace {
int32_t Exact(double v) { return static_cast<int32_t>(std::lround(v * 16777216.0)); }
}  // namespace

TEST(Ac3Tables, WindowQuotedEntriesAndPowerComplement) {
  EXPECT_EQ(Ac3Window[0], 4697);
  EXPECT_EQ(Ac3Window[1], 8053);
  EXPECT_EQ(Ac3Window[2], 12415);
  EXPECT_EQ(Ac3Window[100], 14774016);
  for (int i = 243; i < 256; ++i) EXPECT_EQ(Ac3Window[i], 33554432) << i;
  // w[i]^2 + w[255-i]^2 = 4 (doubled window), within the five-decimal rounding.
  for (int i = 0; i < 256; ++i) {
    const double a = Ac3Window[i] / 33554432.0, b = Ac3Window[255 - i] / 33554432.0;
    EXPECT_NEAR(a * a + b * b, 1.0, 2e-5) << i;
  }
}

TEST(Ac3Tables, SplitWindowRowsCopyTheWindow) {
  for (int n = 0; n < 64; ++n) {
    const int index[8] = {2 * n, 2 * n + 1, 128 + 2 * n, 129 + 2 * n, 255 - 2 * n, 254 - 2 * n, 127 - 2 * n, 126 - 2 * n};
    for (int row = 0; row < 8; ++row) EXPECT_EQ(Ac3WindowSplit[row * 64 + n], Ac3Window[index[row]]);
  }
}

TEST(Ac3Tables, TrigonometricTablesWithinEightUnits) {
  const double pi = std::acos(-1.0);
  for (int m = 0; m < 64; ++m) {
    EXPECT_NEAR(Ac3FftCos[m], Exact(std::cos(2 * pi * m / 128)), 8) << m;
    EXPECT_NEAR(Ac3FftSin[m], Exact(std::sin(2 * pi * m / 128)), 8) << m;
    EXPECT_NEAR(Ac3Xcos2[m], Exact(-std::cos(2 * pi * (8 * m + 1) / 2048)), 8) << m;
    EXPECT_NEAR(Ac3Xsin2[m], Exact(-std::sin(2 * pi * (8 * m + 1) / 2048)), 8) << m;
  }
  for (int k = 0; k < 128; ++k) {
    EXPECT_NEAR(Ac3Xcos1[k], Exact(-std::cos(2 * pi * (8 * k + 1) / 4096)), 8) << k;
    EXPECT_NEAR(Ac3Xsin1[k], Exact(-std::sin(2 * pi * (8 * k + 1) / 4096)), 8) << k;
    int reversed = 0;
    for (int b = 0; b < 7; ++b) reversed |= ((k >> b) & 1) << (6 - b);
    EXPECT_EQ(Ac3BitReverse[k], reversed);
  }
  // The transforms skip the products by 1 and by j: those entries must be
  // exact.
  EXPECT_EQ(Ac3FftCos[0], 16777216);
  EXPECT_EQ(Ac3FftSin[0], 0);
  EXPECT_EQ(Ac3FftCos[32], 0);
  EXPECT_EQ(Ac3FftSin[32], 16777216);
  for (int h = 4; h < 128; h *= 2)
    for (int k = 0; k < h; ++k) {
      EXPECT_EQ(Ac3FftStageCos[h + k], Ac3FftCos[k * 64 / h]);
      EXPECT_EQ(Ac3FftStageSin[h + k], Ac3FftSin[k * 64 / h]);
    }
}

TEST(Ac3Tables, DynamicRangeGains) {
  EXPECT_EQ(Ac3DynamicRangeGain[0], 0x1000000);
  EXPECT_EQ(Ac3DynamicRangeGain[0x80], 0x100000);    // 2^-4
  EXPECT_EQ(Ac3DynamicRangeGain[0xFF], 16515072);    // 0.5 * 63/32
  EXPECT_EQ(Ac3DynamicRangeGain[0x7F], 264241152);   // 8 * 63/32 = 15.75
  EXPECT_EQ(Ac3DynamicRangeGain[0x20], 0x2000000);   // 2.0
  EXPECT_EQ(Ac3DynamicRangeGain[0xE0], 0x800000);    // 0.5
}

TEST(Ac3Tables, QuantiserLevels) {
  EXPECT_EQ(Ac3Levels3[0], -11184810);
  EXPECT_EQ(Ac3Levels3[1], 0);
  EXPECT_EQ(Ac3Levels3[2], 11184810);
  EXPECT_EQ(Ac3Levels5[0], -13421772);    // -4/5
  EXPECT_EQ(Ac3Levels7[6], 14380470);     // 6/7
  EXPECT_EQ(Ac3Levels11[0], -15252014);   // -10/11
  EXPECT_EQ(Ac3Levels15[14], 15658734);   // 14/15
  EXPECT_EQ(Ac3Levels15[7], 0);
}

TEST(Ac3Tables, BandStructure) {
  for (int b = 0; b < 49; ++b) EXPECT_EQ(Ac3BandStart[b + 1], Ac3BandStart[b] + Ac3BandSize[b]);
  EXPECT_EQ(Ac3BandStart[49] + Ac3BandSize[49], 253);
  for (int bin = 0; bin < 253; ++bin) {
    const int band = Ac3MaskTab[bin];
    EXPECT_TRUE(bin >= Ac3BandStart[band] && bin < Ac3BandStart[band] + Ac3BandSize[band]) << bin;
  }
  EXPECT_EQ(Ac3Floor[7], -2048);
}
