#include "mpa/log_level.h"

LogQ24 LogPower(Q24 re, Q24 im) {
  if (re == 0 && im == 0) return LEVEL_FLOOR;
  uint32_t a = re < 0 ? 0u - static_cast<uint32_t>(re) : static_cast<uint32_t>(re);
  uint32_t b = im < 0 ? 0u - static_cast<uint32_t>(im) : static_cast<uint32_t>(im);
  uint32_t m = a > b ? a : b;
  int32_t e = 0;
  // Normalise the larger part into [1, 2) at once; each doubling is -2 in
  // level.
  if (m < 0x1000000) {
    int doublings = __builtin_clz(m) - 7;
    a <<= doublings;
    b <<= doublings;
    e = -doublings * 0x2000000;
  }
  int32_t p = WrapAdd(MulQ24(static_cast<int32_t>(a), static_cast<int32_t>(a)),
                      MulQ24(static_cast<int32_t>(b), static_cast<int32_t>(b)));
  while (p >= 0x2000000) {
    p >>= 1;
    e += 0x1000000;
  }
  // p lies in [1, 2) here, unless the input was beyond full scale.
  int32_t f = p >= 0x1000000 && p < 0x2000000 ? DivQ24Small(p - 0x1000000, p + 0x1000000)
                                               : DivQ24(WrapSub(p, 0x1000000), WrapAdd(p, 0x1000000));
  int32_t level = WrapAdd(WrapAdd(e, WrapMul(3, f)), 0x2000000);
  return level < LEVEL_FLOOR ? LEVEL_FLOOR : level;
}

Q24 Pow2Q24(LogQ24 x) {
  int32_t i = x >> 24;
  int32_t f = x & 0xFFFFFF;  // x - i * 2^24
  int32_t r = DivQ24(f + 0x3000000, 0x3000000 - f);
  if (i >= 0) return i < 32 ? static_cast<int32_t>(static_cast<uint32_t>(r) << i) : 0;
  if (i >= -31) return r >> -i;
  return 0;
}
