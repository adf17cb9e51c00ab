// The A/52 inverse transforms in their FFT form, in Q24: pre-twiddle into
// bit-reversed order, complex FFT, post-twiddle, then window and overlap-add.
// The factor 2 of the overlap-add is part of the window table.
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"

namespace {

inline int32_t q(int32_t a, int32_t b) { return MulQ24(a, b); }

// In-place radix-2 FFT of n points (128 or 64) whose input is in
// bit-reversed order; twiddle e^(+j pi k / h) from the 64-entry tables.
void Fft(int32_t* re, int32_t* im, int n) {
  for (int h = 1; h < n; h <<= 1) {
    const int stride = 64 / h;
    for (int g = 0; g < n; g += 2 * h) {
      const int j = g + h;
      const int32_t tr = re[j], ti = im[j];
      re[j] = WrapSub(re[g], tr);
      im[j] = WrapSub(im[g], ti);
      re[g] = WrapAdd(re[g], tr);
      im[g] = WrapAdd(im[g], ti);
    }
    for (int k = 1; k < h; ++k) {
      const int32_t c = Ac3FftCos[k * stride], s = Ac3FftSin[k * stride];
      for (int g = 0; g < n; g += 2 * h) {
        const int i = g + k, j = i + h;
        const int32_t tr = WrapSub(q(re[j], c), q(im[j], s));
        const int32_t ti = WrapAdd(q(re[j], s), q(im[j], c));
        re[j] = WrapSub(re[i], tr);
        im[j] = WrapSub(im[i], ti);
        re[i] = WrapAdd(re[i], tr);
        im[i] = WrapAdd(im[i], ti);
      }
    }
  }
}

// (zr + j zi) times the twiddle (xcos + j xsin), in place, for n points.
void Twiddle(int32_t* zr, int32_t* zi, const int32_t* xcos, const int32_t* xsin, int n) {
  for (int k = 0; k < n; ++k) {
    const int32_t r = zr[k], i = zi[k];
    zr[k] = WrapSub(q(r, xcos[k]), q(i, xsin[k]));
    zi[k] = WrapAdd(q(i, xcos[k]), q(r, xsin[k]));
  }
}

}  // namespace

void Ac3Imdct512(int32_t* x, int32_t* d) {
  int32_t yr[128], yi[128];
  for (int k = 0; k < 128; ++k) {
    const int p = Ac3BitReverse[k];
    const int32_t a = x[255 - 2 * k], b = x[2 * k];
    yr[p] = WrapSub(q(a, Ac3Xcos1[k]), q(b, Ac3Xsin1[k]));
    yi[p] = WrapAdd(q(b, Ac3Xcos1[k]), q(a, Ac3Xsin1[k]));
  }
  Fft(yr, yi, 128);
  Twiddle(yr, yi, Ac3Xcos1, Ac3Xsin1, 128);

  const int32_t* w = Ac3Window;
  for (int n = 0; n < 64; ++n) {
    x[2 * n] = WrapSub(d[2 * n], q(yi[64 + n], w[2 * n]));
    d[2 * n] = WrapNeg(q(yr[64 + n], w[255 - 2 * n]));
    x[2 * n + 1] = WrapAdd(d[2 * n + 1], q(yr[63 - n], w[2 * n + 1]));
    d[2 * n + 1] = q(yi[63 - n], w[254 - 2 * n]);
    x[128 + 2 * n] = WrapSub(d[128 + 2 * n], q(yr[n], w[128 + 2 * n]));
    d[128 + 2 * n] = q(yi[n], w[127 - 2 * n]);
    x[129 + 2 * n] = WrapAdd(d[129 + 2 * n], q(yi[127 - n], w[129 + 2 * n]));
    d[129 + 2 * n] = WrapNeg(q(yr[127 - n], w[126 - 2 * n]));
  }
}

void Ac3Imdct256(int32_t* x, int32_t* d) {
  int32_t y1r[64], y1i[64], y2r[64], y2i[64];
  for (int k = 0; k < 64; ++k) {
    const int p = Ac3BitReverse[2 * k];  // 6-bit reversal of k
    const int32_t c = Ac3Xcos2[k], s = Ac3Xsin2[k];
    const int32_t a1 = x[254 - 4 * k], b1 = x[4 * k];
    y1r[p] = WrapSub(q(a1, c), q(b1, s));
    y1i[p] = WrapAdd(q(b1, c), q(a1, s));
    const int32_t a2 = x[255 - 4 * k], b2 = x[4 * k + 1];
    y2r[p] = WrapSub(q(a2, c), q(b2, s));
    y2i[p] = WrapAdd(q(b2, c), q(a2, s));
  }
  Fft(y1r, y1i, 64);
  Fft(y2r, y2i, 64);
  Twiddle(y1r, y1i, Ac3Xcos2, Ac3Xsin2, 64);
  Twiddle(y2r, y2i, Ac3Xcos2, Ac3Xsin2, 64);

  const int32_t* w = Ac3Window;
  for (int n = 0; n < 64; ++n) {
    x[2 * n] = WrapSub(d[2 * n], q(y1i[n], w[2 * n]));
    d[2 * n] = WrapNeg(q(y2r[n], w[255 - 2 * n]));
    x[2 * n + 1] = WrapAdd(d[2 * n + 1], q(y1r[63 - n], w[2 * n + 1]));
    d[2 * n + 1] = q(y2i[63 - n], w[254 - 2 * n]);
    x[128 + 2 * n] = WrapSub(d[128 + 2 * n], q(y1r[n], w[128 + 2 * n]));
    d[128 + 2 * n] = q(y2i[n], w[127 - 2 * n]);
    x[129 + 2 * n] = WrapAdd(d[129 + 2 * n], q(y1i[63 - n], w[129 + 2 * n]));
    d[129 + 2 * n] = WrapNeg(q(y2r[63 - n], w[126 - 2 * n]));
  }
}

void Ac3BlockTransforms(Ac3FrameState& f) {
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (f.blksw[ch])
      Ac3Imdct256(f.coefficients[ch], Ac3Decoder.Ac3Overlap[ch]);
    else
      Ac3Imdct512(f.coefficients[ch], Ac3Decoder.Ac3Overlap[ch]);
  }
  if (f.lfeon) Ac3Imdct512(f.lfeCoefficients, Ac3Decoder.Ac3Overlap[AC3_LFE_ROW]);
}
