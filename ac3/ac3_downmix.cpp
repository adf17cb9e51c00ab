// The fixed stereo mix of every channel arrangement, LFE at -10 dB, and the
// dynamic range gain when the user asked for compression.
#include "ac3/ac3_stages.h"

namespace {
inline int32_t q(int32_t a, int32_t b) { return MulQ24(a, b); }
}  // namespace

void Ac3Downmix(const Ac3FrameState& f, Q24* left, Q24* right) {
  const int32_t(*c)[256] = f.coefficients;
  Q24* lo = left + f.writeIndex;
  Q24* ro = right + f.writeIndex;
  for (int j = 0; j < 256; ++j) {
    int32_t l, r;
    switch (f.acmod) {
      case 0:
      case 2:
        l = c[0][j];
        r = c[1][j];
        break;
      case 1:
        l = r = c[0][j];
        break;
      case 3:
        l = WrapAdd(q(c[1][j], AC3_K2), q(c[0][j], AC3_K1));
        r = WrapAdd(q(c[1][j], AC3_K2), q(c[2][j], AC3_K1));
        break;
      case 4:
        l = WrapSub(q(c[0][j], AC3_K1), q(c[2][j], AC3_K2));
        r = WrapAdd(q(c[1][j], AC3_K1), q(c[2][j], AC3_K2));
        break;
      case 5:
        l = WrapSub(WrapAdd(q(c[1][j], AC3_K3), q(c[0][j], AC3_K2)), q(c[3][j], AC3_K3));
        r = WrapAdd(WrapAdd(q(c[1][j], AC3_K3), q(c[2][j], AC3_K2)), q(c[3][j], AC3_K3));
        break;
      case 6: {
        const int32_t s = q(WrapAdd(c[2][j], c[3][j]), AC3_K3);
        l = WrapSub(q(c[0][j], AC3_K2), s);
        r = WrapAdd(q(c[1][j], AC3_K2), s);
        break;
      }
      default: {
        const int32_t s = q(WrapAdd(c[3][j], c[4][j]), AC3_K5);
        const int32_t ctr = q(c[1][j], AC3_K5);
        l = WrapSub(WrapAdd(ctr, q(c[0][j], AC3_K4)), s);
        r = WrapAdd(WrapAdd(ctr, q(c[2][j], AC3_K4)), s);
        break;
      }
    }
    if (f.lfeon) {
      const int32_t lfe = q(f.lfeCoefficients[j], AC3_KLFE);
      l = WrapAdd(l, lfe);
      r = WrapAdd(r, lfe);
    }
    if (Ac3Decoder.DynamicCompression) {
      l = q(l, f.dynamicRangeGain);
      r = q(r, f.acmod == 0 ? f.dynamicRangeGain2 : f.dynamicRangeGain);
    }
    lo[j] = l;
    ro[j] = r;
  }
}
