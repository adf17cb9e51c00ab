// Level arithmetic of the psychoacoustic model.
#include <gtest/gtest.h>

#include <cmath>

#include "mpa/log_level.h"

namespace {
constexpr int32_t UNIT = 1 << 24;
double Units(int32_t level) { return level / double(UNIT); }
}  // namespace

TEST(LogPower, IsTheLogOfThePowerPlusTwo) {
  EXPECT_EQ(LogPower(0, 0), LEVEL_FLOOR);
  EXPECT_EQ(LogPower(UNIT / 2, 0), 0);  // log2(0.25) + 2, exact at powers of two
  EXPECT_EQ(LogPower(0, -UNIT / 4), -2 * UNIT);
  for (double re : {0.3, -0.01, 1e-4, 0.7}) {
    for (double im : {0.0, 0.2, -0.05}) {
      double expected = std::log2(re * re + im * im) + 2;
      EXPECT_NEAR(Units(LogPower(static_cast<int32_t>(re * UNIT), static_cast<int32_t>(im * UNIT))), expected, 0.03)
          << re << " " << im;
    }
  }
  // The tiniest bin is still above the floor; the floor is a lower bound.
  EXPECT_GT(LogPower(1, 0), LEVEL_FLOOR);
}

TEST(Pow2Q24, IsTwoToTheLevel) {
  EXPECT_EQ(Pow2Q24(0), UNIT);
  EXPECT_EQ(Pow2Q24(-UNIT), UNIT / 2);
  EXPECT_EQ(Pow2Q24(-5 * UNIT), UNIT / 32);
  // 2^-0.5 as (3 - 0.5)/(3 + 0.5)... i.e. 1.4 / 2: the mantissa rule's 0.7.
  EXPECT_NEAR(Pow2Q24(-UNIT / 2) / double(UNIT), 0.7, 1e-6);
  EXPECT_EQ(Pow2Q24(-32 * UNIT), 0);
  EXPECT_EQ(Pow2Q24(LEVEL_FLOOR), 0);
}

TEST(LogAdd, AddsPowers) {
  // Levels 40 units apart: the smaller one no longer counts.
  EXPECT_EQ(LogAdd(-50 * UNIT, -10 * UNIT), -10 * UNIT);
  EXPECT_EQ(LogAdd(-10 * UNIT, -50 * UNIT), -10 * UNIT);
  EXPECT_EQ(LogAdd(LEVEL_FLOOR, -7 * UNIT), -7 * UNIT);
  EXPECT_EQ(LogAdd(LEVEL_FLOOR, LEVEL_FLOOR), LEVEL_FLOOR);
  // Two equal powers double: one unit more. Levels above 0 behave alike.
  EXPECT_NEAR(Units(LogAdd(-3 * UNIT, -3 * UNIT)), -2.0, 1e-6);
  EXPECT_NEAR(Units(LogAdd(UNIT, UNIT)), 2.0, 1e-6);
  // log2(1.5) taken as 3 (1.5 - 1) / (1.5 + 1) = 0.6.
  EXPECT_NEAR(Units(LogAdd(0, -UNIT)), 0.6, 1e-6);
}

TEST(LogAddScaled, AddsThroughRoots) {
  EXPECT_EQ(LogAddScaled(-5 * UNIT, LEVEL_FLOOR, 0x2000000), -5 * UNIT);
  EXPECT_EQ(LogAddScaled(LEVEL_FLOOR, -5 * UNIT, 0x3000000), -5 * UNIT);
  // Square roots: 2 log2(2 * 2^(a/2)) = a + 2; cube roots: a + 3.
  EXPECT_NEAR(Units(LogAddScaled(-6 * UNIT, -6 * UNIT, 0x2000000)), -4.0, 1e-5);
  EXPECT_NEAR(Units(LogAddScaled(-6 * UNIT, -6 * UNIT, 0x3000000)), -3.0, 1e-5);
  // Far apart: the larger one unchanged, bit for bit.
  EXPECT_EQ(LogAddScaled(-60 * UNIT, -2 * UNIT, 0x2000000), -2 * UNIT);
  double a = -4.5, b = -7.25;
  EXPECT_NEAR(Units(LogAddScaled(a * UNIT, b * UNIT, 0x3000000)),
              3 * std::log2(std::exp2(a / 3) + std::exp2(b / 3)), 0.06);
}

TEST(DivQ24Small, EqualsTheIntegerDivision) {
  uint32_t seed = 5;
  // Within its range: |a| < 2^28, b > 0, the quotient within int32.
  auto check = [](int32_t a, int32_t b) {
    if (std::abs(int64_t(a) * (1 << 24) / b) > INT32_MAX) return;
    ASSERT_EQ(DivQ24Small(a, b), DivQ24(a, b)) << a << " / " << b;
  };
  for (int i = 0; i < 200000; i++) {
    seed = seed * 1664525u + 1013904223u;
    int32_t a = static_cast<int32_t>(seed) >> 4;  // |a| < 2^28
    seed = seed * 1664525u + 1013904223u;
    int32_t b = static_cast<int32_t>(seed >> (1 + seed % 31)) | 1;
    check(a, b);
  }
  // Quotients that are whole numbers or just below one.
  for (int32_t b : {1, 3, 20, 0x1000000, 0x3000000, 0x3FFFFFF, 0x7FFFFFFF}) {
    for (int32_t q : {0, 1, 7, 1 << 20}) {
      int64_t n = int64_t(q) * b;
      if (n % (1 << 24) != 0 || n / (1 << 24) >= (1 << 28)) continue;
      int32_t a = static_cast<int32_t>(n / (1 << 24));
      check(a, b);
      check(-a, b);
      if (a > 0) check(a - 1, b);
    }
  }
  for (int32_t f = 0; f < 0x1000000; f += 4099) {
    check(0x3000000 - f, 0x3000000 + f);
    check(f, f + 0x2000000);
  }
}

TEST(LogAddScaled, RootShortcutsEqualTheGeneralForm) {
  uint32_t seed = 17;
  for (int i = 0; i < 100000; i++) {
    seed = seed * 1664525u + 1013904223u;
    int32_t a = static_cast<int32_t>(seed) >> 2;
    seed = seed * 1664525u + 1013904223u;
    int32_t b = i % 7 == 0 ? LEVEL_FLOOR : WrapSub(a, static_cast<int32_t>(seed >> (seed % 32)));
    ASSERT_EQ(LogAddSquareRoots(a, b), LogAddScaled(a, b, 0x2000000)) << a << " " << b;
    ASSERT_EQ(LogAddCubeRoots(a, b), LogAddScaled(a, b, 0x3000000)) << a << " " << b;
    ASSERT_EQ(LogAddSquareRoots(b, a), LogAddScaled(b, a, 0x2000000)) << a << " " << b;
  }
}
