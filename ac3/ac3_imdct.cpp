// The A/52 inverse transforms in their FFT form, in Q24: pre-twiddle into
// bit-reversed order, complex FFT, post-twiddle, then window and overlap-add.
// The factor 2 of the overlap-add is part of the window table.
//
// Every product is the rounding Q24 multiply; the loops are only arranged so
// that the compiler can run them on vector units (the results are the same
// bits on every path).
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"

namespace {

// MulQ24 with a logical shift: the low 32 bits of the shifted 64-bit sum
// are the same as with an arithmetic shift, and vector units have the
// logical one.
inline int32_t q(int32_t a, int32_t b) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(a) * b + 0x800000) >> 24));
}

// Pre-twiddle: z[k] = (a + j b)-style product of the coefficient pair k
// with (xcos, xsin), in natural order.
AC3_VECTOR_CLONES
void PreTwiddle(const int32_t* a, const int32_t* b, const int32_t* xcos, const int32_t* xsin, int32_t* zr,
                int32_t* zi, int n) {
  for (int k = 0; k < n; ++k) {
    zr[k] = WrapSub(q(a[k], xcos[k]), q(b[k], xsin[k]));
    zi[k] = WrapAdd(q(b[k], xcos[k]), q(a[k], xsin[k]));
  }
}

// In-place radix-2 FFT of n points (128 or 64), twiddles e^(+j pi k / h).
// The first stage takes its input from zr/zi in bit-reversed order.
AC3_VECTOR_CLONES
void Fft(const int32_t* zr, const int32_t* zi, int32_t* re, int32_t* im, int n) {
  const int shift = n == 128 ? 0 : 1;  // Ac3BitReverse holds 7-bit reversals
  // Half-size 1: factor 1.
  for (int g = 0; g < n; g += 2) {
    const int i = Ac3BitReverse[g << shift], j = Ac3BitReverse[(g + 1) << shift];
    re[g] = WrapAdd(zr[i], zr[j]);
    im[g] = WrapAdd(zi[i], zi[j]);
    re[g + 1] = WrapSub(zr[i], zr[j]);
    im[g + 1] = WrapSub(zi[i], zi[j]);
  }
  // Half-size 2: factors 1 and j (the tables hold cos = 0 and sin = 1.0
  // exactly there, so the products are exact).
  for (int g = 0; g < n; g += 4) {
    int32_t tr = re[g + 2], ti = im[g + 2];
    re[g + 2] = WrapSub(re[g], tr);
    im[g + 2] = WrapSub(im[g], ti);
    re[g] = WrapAdd(re[g], tr);
    im[g] = WrapAdd(im[g], ti);
    tr = WrapNeg(im[g + 3]);
    ti = re[g + 3];
    re[g + 3] = WrapSub(re[g + 1], tr);
    im[g + 3] = WrapSub(im[g + 1], ti);
    re[g + 1] = WrapAdd(re[g + 1], tr);
    im[g + 1] = WrapAdd(im[g + 1], ti);
  }
  // Half-size 4 and up; butterfly 0 has factor 1 (cos 1.0, sin 0 exactly).
  for (int h = 4; h < n; h <<= 1) {
    const int32_t* c = Ac3FftStageCos + h;
    const int32_t* s = Ac3FftStageSin + h;
    for (int g = 0; g < n; g += 2 * h) {
      int32_t* ar = re + g;
      int32_t* ai = im + g;
      int32_t* br = re + g + h;
      int32_t* bi = im + g + h;
      for (int k = 0; k < h; ++k) {
        const int32_t tr = WrapSub(q(br[k], c[k]), q(bi[k], s[k]));
        const int32_t ti = WrapAdd(q(br[k], s[k]), q(bi[k], c[k]));
        br[k] = WrapSub(ar[k], tr);
        bi[k] = WrapSub(ai[k], ti);
        ar[k] = WrapAdd(ar[k], tr);
        ai[k] = WrapAdd(ai[k], ti);
      }
    }
  }
}

// Post-twiddle in place.
AC3_VECTOR_CLONES
void PostTwiddle(int32_t* zr, int32_t* zi, const int32_t* xcos, const int32_t* xsin, int n) {
  for (int k = 0; k < n; ++k) {
    const int32_t r = zr[k], i = zi[k];
    zr[k] = WrapSub(q(r, xcos[k]), q(i, xsin[k]));
    zi[k] = WrapAdd(q(i, xcos[k]), q(r, xsin[k]));
  }
}

}  // namespace

AC3_VECTOR_CLONES
void Ac3Imdct512(int32_t* x, int32_t* d) {
  int32_t a[128], b[128], zr[128], zi[128], yr[128], yi[128];
  for (int k = 0; k < 128; ++k) {
    a[k] = x[255 - 2 * k];
    b[k] = x[2 * k];
  }
  PreTwiddle(a, b, Ac3Xcos1, Ac3Xsin1, zr, zi, 128);
  Fft(zr, zi, yr, yi, 128);
  PostTwiddle(yr, yi, Ac3Xcos1, Ac3Xsin1, 128);

  const int32_t* w = Ac3Window;
  for (int n = 0; n < 64; ++n) {
    const int32_t x0 = WrapSub(d[2 * n], q(yi[64 + n], w[2 * n]));
    const int32_t x1 = WrapAdd(d[2 * n + 1], q(yr[63 - n], w[2 * n + 1]));
    const int32_t x2 = WrapSub(d[128 + 2 * n], q(yr[n], w[128 + 2 * n]));
    const int32_t x3 = WrapAdd(d[129 + 2 * n], q(yi[127 - n], w[129 + 2 * n]));
    d[2 * n] = WrapNeg(q(yr[64 + n], w[255 - 2 * n]));
    d[2 * n + 1] = q(yi[63 - n], w[254 - 2 * n]);
    d[128 + 2 * n] = q(yi[n], w[127 - 2 * n]);
    d[129 + 2 * n] = WrapNeg(q(yr[127 - n], w[126 - 2 * n]));
    x[2 * n] = x0;
    x[2 * n + 1] = x1;
    x[128 + 2 * n] = x2;
    x[129 + 2 * n] = x3;
  }
}

AC3_VECTOR_CLONES
void Ac3Imdct256(int32_t* x, int32_t* d) {
  int32_t a1[64], b1[64], a2[64], b2[64];
  int32_t z1r[64], z1i[64], z2r[64], z2i[64];
  int32_t y1r[64], y1i[64], y2r[64], y2i[64];
  for (int k = 0; k < 64; ++k) {
    a1[k] = x[254 - 4 * k];
    b1[k] = x[4 * k];
    a2[k] = x[255 - 4 * k];
    b2[k] = x[4 * k + 1];
  }
  PreTwiddle(a1, b1, Ac3Xcos2, Ac3Xsin2, z1r, z1i, 64);
  PreTwiddle(a2, b2, Ac3Xcos2, Ac3Xsin2, z2r, z2i, 64);
  Fft(z1r, z1i, y1r, y1i, 64);
  Fft(z2r, z2i, y2r, y2i, 64);
  PostTwiddle(y1r, y1i, Ac3Xcos2, Ac3Xsin2, 64);
  PostTwiddle(y2r, y2i, Ac3Xcos2, Ac3Xsin2, 64);

  const int32_t* w = Ac3Window;
  for (int n = 0; n < 64; ++n) {
    const int32_t x0 = WrapSub(d[2 * n], q(y1i[n], w[2 * n]));
    const int32_t x1 = WrapAdd(d[2 * n + 1], q(y1r[63 - n], w[2 * n + 1]));
    const int32_t x2 = WrapSub(d[128 + 2 * n], q(y1r[n], w[128 + 2 * n]));
    const int32_t x3 = WrapAdd(d[129 + 2 * n], q(y1i[63 - n], w[129 + 2 * n]));
    d[2 * n] = WrapNeg(q(y2r[n], w[255 - 2 * n]));
    d[2 * n + 1] = q(y2i[63 - n], w[254 - 2 * n]);
    d[128 + 2 * n] = q(y2i[n], w[127 - 2 * n]);
    d[129 + 2 * n] = WrapNeg(q(y2r[63 - n], w[126 - 2 * n]));
    x[2 * n] = x0;
    x[2 * n + 1] = x1;
    x[128 + 2 * n] = x2;
    x[129 + 2 * n] = x3;
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
