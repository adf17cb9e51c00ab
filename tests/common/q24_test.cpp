#include "common/q24.h"
#include "common/time_values.h"

#include <gtest/gtest.h>

TEST(Q24, MulRoundsHalfUpAndKeepsLow32Bits) {
  EXPECT_EQ(MulQ24(Q24_ONE, Q24_ONE), Q24_ONE);
  EXPECT_EQ(MulQ24(Q24_ONE / 2, 3), 2);    // 1.5 rounds up
  EXPECT_EQ(MulQ24(-Q24_ONE / 2, 3), -1);  // -1.5 rounds toward +inf
  EXPECT_EQ(MulQ24(-Q24_ONE, 5), -5);
  // 128.0 * 128.0 = 16384.0 does not fit: only the low 32 bits survive.
  EXPECT_EQ(MulQ24(0x7FFFFFFF, 0x7FFFFFFF), static_cast<int32_t>(0xFFFFFFFFu & 0x3FFFFFFF00u));
}

TEST(Q24, DivTruncatesTowardZero) {
  EXPECT_EQ(DivQ24(1, 3), 0x555555);
  EXPECT_EQ(DivQ24(-1, 3), -0x555555);
  EXPECT_EQ(DivQ24(Q24_ONE, 2 * Q24_ONE), Q24_ONE / 2);
  EXPECT_EQ(DivQ24(5, 0), 0);
}

TEST(Q24, SaturatingAddAndSubClampAtTheLimits) {
  EXPECT_EQ(SatAdd(0x7FFFFFFF, 1), 0x7FFFFFFF);
  EXPECT_EQ(SatAdd(INT32_MIN, -1), INT32_MIN);
  EXPECT_EQ(SatSub(INT32_MIN, 1), INT32_MIN);
  EXPECT_EQ(SatSub(0x7FFFFFFF, -1), 0x7FFFFFFF);
  EXPECT_EQ(SatAdd(-5, 3), -2);
}

TEST(TimeValues, TicksToSamplesTruncatesTowardZero) {
  EXPECT_EQ(TicksToSamples(2160), 1152);
  EXPECT_EQ(TicksToSamples(3600), 1920);
  EXPECT_EQ(TicksToSamples(1), 0);
  EXPECT_EQ(TicksToSamples(-2), -1);  // -16/15 truncates to -1
}
