// The fixed stereo mix of every channel arrangement, LFE at -10 dB, and the
// dynamic range gain when the user asked for compression.
#include "ac3/ac3_stages.h"
#include "common/vector_paths.h"

namespace {

inline int32_t q(int32_t a, int32_t b) { return MulQ24(a, b); }

// One loop per arrangement, so that the choice is made once a block. Both
// are inlined into every path's variant, which vectorises the loops for it.
template <typename Mix>
VECTOR_PATH_BODY void MixBlock(const int32_t (*c)[256], Q24* lo, Q24* ro, Mix mix) {
  for (int j = 0; j < 256; ++j) mix(c, j, lo[j], ro[j]);
}

VECTOR_PATH_BODY void MixChannels(const Ac3FrameState& f, Q24* lo, Q24* ro) {
  const int32_t(*c)[256] = f.coefficients;
  switch (f.acmod) {
    case 0:
    case 2:
      return MixBlock(c, lo, ro, [](auto c, int j, Q24& l, Q24& r) { l = c[0][j], r = c[1][j]; });
    case 1:
      return MixBlock(c, lo, ro, [](auto c, int j, Q24& l, Q24& r) { l = r = c[0][j]; });
    case 3:
      return MixBlock(c, lo, ro, [](auto c, int j, Q24& l, Q24& r) {
        l = WrapAdd(q(c[1][j], AC3_K2), q(c[0][j], AC3_K1));
        r = WrapAdd(q(c[1][j], AC3_K2), q(c[2][j], AC3_K1));
      });
    case 4:
      // The surround enters the left output negated, the right as it is.
      return MixBlock(c, lo, ro, [](auto c, int j, Q24& l, Q24& r) {
        l = WrapSub(q(c[0][j], AC3_K1), q(c[2][j], AC3_K2));
        r = WrapAdd(q(c[1][j], AC3_K1), q(c[2][j], AC3_K2));
      });
    case 5:
      return MixBlock(c, lo, ro, [](auto c, int j, Q24& l, Q24& r) {
        l = WrapSub(WrapAdd(q(c[1][j], AC3_K3), q(c[0][j], AC3_K2)), q(c[3][j], AC3_K3));
        r = WrapAdd(WrapAdd(q(c[1][j], AC3_K3), q(c[2][j], AC3_K2)), q(c[3][j], AC3_K3));
      });
    case 6:
      // The two surrounds are summed before the product.
      return MixBlock(c, lo, ro, [](auto c, int j, Q24& l, Q24& r) {
        const int32_t s = q(WrapAdd(c[2][j], c[3][j]), AC3_K3);
        l = WrapSub(q(c[0][j], AC3_K2), s);
        r = WrapAdd(q(c[1][j], AC3_K2), s);
      });
    default:
      return MixBlock(c, lo, ro, [](auto c, int j, Q24& l, Q24& r) {
        const int32_t s = q(WrapAdd(c[3][j], c[4][j]), AC3_K5);
        const int32_t ctr = q(c[1][j], AC3_K5);
        l = WrapSub(WrapAdd(ctr, q(c[0][j], AC3_K4)), s);
        r = WrapAdd(WrapAdd(ctr, q(c[2][j], AC3_K4)), s);
      });
  }
}

}  // namespace

VECTOR_PATH_BODY void Ac3DownmixBody(const Ac3FrameState& f, Q24* left, Q24* right) {
  Q24* lo = left + f.writeIndex;
  Q24* ro = right + f.writeIndex;
  MixChannels(f, lo, ro);
  if (f.lfeon) {
    for (int j = 0; j < 256; ++j) {
      const int32_t lfe = q(f.lfeCoefficients[j], AC3_KLFE);
      lo[j] = WrapAdd(lo[j], lfe);
      ro[j] = WrapAdd(ro[j], lfe);
    }
  }
  if (Ac3DecoderOf(f).DynamicCompression) {
    const int32_t gainLeft = f.dynamicRangeGain;
    const int32_t gainRight = f.acmod == 0 ? f.dynamicRangeGain2 : f.dynamicRangeGain;
    for (int j = 0; j < 256; ++j) {
      lo[j] = q(lo[j], gainLeft);
      ro[j] = q(ro[j], gainRight);
    }
  }
}
VECTOR_PATH_VARIANTS(void, Ac3Downmix, (const Ac3FrameState& f, Q24* left, Q24* right), (f, left, right))
