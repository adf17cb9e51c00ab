// The A/52 inverse transforms in their FFT form, in Q24: pre-twiddle into
// bit-reversed order, complex FFT, post-twiddle, then window and overlap-add.
// The factor 2 of the overlap-add is part of the window table.
//
// Every product is the rounding Q24 multiply. On x86-64 processors with AVX2
// the long transform and the FFT stages run eight products at a time
// (chosen by VectorPathInUse); the plain loops are the reference and both
// give the same bits.
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"
#include "common/vector_paths.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define AC3_HAVE_AVX2 1
#include <immintrin.h>
#else
#define AC3_HAVE_AVX2 0
#endif

namespace {

// MulQ24 with a logical shift: the low 32 bits of the shifted 64-bit sum
// are the same as with an arithmetic shift, and vector units have the
// logical one.
inline int32_t q(int32_t a, int32_t b) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(a) * b + 0x800000) >> 24));
}

// Complex products z = (a + j b) (xcos + j xsin) for n points: the pre- and
// post-twiddles of the transforms.
void TwiddleGeneric(const int32_t* a, const int32_t* b, const int32_t* xcos, const int32_t* xsin, int32_t* zr,
                    int32_t* zi, int n) {
  for (int k = 0; k < n; ++k) {
    const int32_t r = a[k], i = b[k];
    zr[k] = WrapSub(q(r, xcos[k]), q(i, xsin[k]));
    zi[k] = WrapAdd(q(i, xcos[k]), q(r, xsin[k]));
  }
}

// The first three FFT stages (half-sizes 1, 2, 4), whose factors are 1, j
// and the two odd eighths of a turn; the first stage reads its input in
// bit-reversed order. The tables hold cos = 1.0, 0 and sin = 0, 1.0
// exactly where the factor is 1 or j, so skipping those products changes
// no bit.
void FftFirstStages(const int32_t* zr, const int32_t* zi, int32_t* re, int32_t* im, int n) {
  const int shift = n == 128 ? 0 : 1;  // Ac3BitReverse holds 7-bit reversals
  for (int g = 0; g < n; g += 2) {
    const int i = Ac3BitReverse[g << shift], j = Ac3BitReverse[(g + 1) << shift];
    re[g] = WrapAdd(zr[i], zr[j]);
    im[g] = WrapAdd(zi[i], zi[j]);
    re[g + 1] = WrapSub(zr[i], zr[j]);
    im[g + 1] = WrapSub(zi[i], zi[j]);
  }
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
  const int32_t c1 = Ac3FftStageCos[5], s1 = Ac3FftStageSin[5];
  const int32_t c3 = Ac3FftStageCos[7], s3 = Ac3FftStageSin[7];
  for (int g = 0; g < n; g += 8) {
    int32_t* ar = re + g;
    int32_t* ai = im + g;
    int32_t tr[4], ti[4];
    tr[0] = ar[4], ti[0] = ai[4];
    tr[1] = WrapSub(q(ar[5], c1), q(ai[5], s1)), ti[1] = WrapAdd(q(ar[5], s1), q(ai[5], c1));
    tr[2] = WrapNeg(ai[6]), ti[2] = ar[6];
    tr[3] = WrapSub(q(ar[7], c3), q(ai[7], s3)), ti[3] = WrapAdd(q(ar[7], s3), q(ai[7], c3));
    for (int k = 0; k < 4; ++k) {
      ar[4 + k] = WrapSub(ar[k], tr[k]);
      ai[4 + k] = WrapSub(ai[k], ti[k]);
      ar[k] = WrapAdd(ar[k], tr[k]);
      ai[k] = WrapAdd(ai[k], ti[k]);
    }
  }
}

// The stages of half-size 8 and up.
void FftLaterStagesGeneric(int32_t* re, int32_t* im, int n) {
  for (int h = 8; h < n; h <<= 1) {
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

#if AC3_HAVE_AVX2
// Eight rounding Q24 products at once: the 64-bit products of the even and
// of the odd lanes, rounded and shifted, their low 32 bits merged.
__attribute__((target("avx2"))) inline __m256i MulQ24x8(__m256i a, __m256i b) {
  const __m256i round = _mm256_set1_epi64x(0x800000);
  const __m256i even = _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(a, b), round), 24);
  const __m256i odd = _mm256_add_epi64(_mm256_mul_epi32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32)), round);
  return _mm256_blend_epi32(even, _mm256_slli_epi64(_mm256_srli_epi64(odd, 24), 32), 0xAA);
}

__attribute__((target("avx2"))) inline __m256i Load8(const int32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline void Store8(int32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

__attribute__((target("avx2"))) void TwiddleAvx2(const int32_t* a, const int32_t* b, const int32_t* xcos,
                                                 const int32_t* xsin, int32_t* zr, int32_t* zi, int n) {
  for (int k = 0; k < n; k += 8) {
    const __m256i r = Load8(a + k), i = Load8(b + k), c = Load8(xcos + k), s = Load8(xsin + k);
    const __m256i outR = _mm256_sub_epi32(MulQ24x8(r, c), MulQ24x8(i, s));
    const __m256i outI = _mm256_add_epi32(MulQ24x8(i, c), MulQ24x8(r, s));
    Store8(zr + k, outR);
    Store8(zi + k, outI);
  }
}

__attribute__((target("avx2"))) void FftLaterStagesAvx2(int32_t* re, int32_t* im, int n) {
  for (int h = 8; h < n; h <<= 1) {
    for (int g = 0; g < n; g += 2 * h) {
      for (int k = 0; k < h; k += 8) {
        const __m256i c = Load8(Ac3FftStageCos + h + k), s = Load8(Ac3FftStageSin + h + k);
        const __m256i br = Load8(re + g + h + k), bi = Load8(im + g + h + k);
        const __m256i ar = Load8(re + g + k), ai = Load8(im + g + k);
        const __m256i tr = _mm256_sub_epi32(MulQ24x8(br, c), MulQ24x8(bi, s));
        const __m256i ti = _mm256_add_epi32(MulQ24x8(br, s), MulQ24x8(bi, c));
        Store8(re + g + h + k, _mm256_sub_epi32(ar, tr));
        Store8(im + g + h + k, _mm256_sub_epi32(ai, ti));
        Store8(re + g + k, _mm256_add_epi32(ar, tr));
        Store8(im + g + k, _mm256_add_epi32(ai, ti));
      }
    }
  }
}


__attribute__((target("avx2"))) inline __m256i Reverse8(__m256i v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// p[0..15] into its even and its odd elements.
__attribute__((target("avx2"))) inline void Deinterleave(const int32_t* p, __m256i* even, __m256i* odd) {
  const __m256 v0 = _mm256_castsi256_ps(Load8(p)), v1 = _mm256_castsi256_ps(Load8(p + 8));
  const __m256 e = _mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 o = _mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 1, 3, 1));
  *even = _mm256_permute4x64_epi64(_mm256_castps_si256(e), _MM_SHUFFLE(3, 1, 2, 0));
  *odd = _mm256_permute4x64_epi64(_mm256_castps_si256(o), _MM_SHUFFLE(3, 1, 2, 0));
}

// even and odd elements back into out[0..15].
__attribute__((target("avx2"))) inline void Interleave(__m256i even, __m256i odd, int32_t* out) {
  const __m256i lo = _mm256_unpacklo_epi32(even, odd), hi = _mm256_unpackhi_epi32(even, odd);
  Store8(out, _mm256_permute2x128_si256(lo, hi, 0x20));
  Store8(out + 8, _mm256_permute2x128_si256(lo, hi, 0x31));
}

// Columns to rows: v[e] lane j becomes v[j] lane e.
__attribute__((target("avx2"))) inline void Transpose8(__m256i* v) {
  __m256i t[8], u[8];
  for (int k = 0; k < 4; ++k) {
    t[2 * k] = _mm256_unpacklo_epi32(v[2 * k], v[2 * k + 1]);
    t[2 * k + 1] = _mm256_unpackhi_epi32(v[2 * k], v[2 * k + 1]);
  }
  for (int k = 0; k < 2; ++k) {
    u[4 * k] = _mm256_unpacklo_epi64(t[4 * k], t[4 * k + 2]);
    u[4 * k + 1] = _mm256_unpackhi_epi64(t[4 * k], t[4 * k + 2]);
    u[4 * k + 2] = _mm256_unpacklo_epi64(t[4 * k + 1], t[4 * k + 3]);
    u[4 * k + 3] = _mm256_unpackhi_epi64(t[4 * k + 1], t[4 * k + 3]);
  }
  for (int k = 0; k < 4; ++k) {
    v[k] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x20);
    v[k + 4] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x31);
  }
}

// The first three stages of the 128-point FFT with eight groups of eight
// points side by side, one group per lane. Point e of group G sits at
// position 8G + e, which holds input (rev3(e) << 4) | rev4(G): taking the
// groups in the order rev4(G) = 0..7 (then 8..15) makes each point's inputs
// one contiguous load. The arithmetic is FftFirstStages', lane by lane.
__attribute__((target("avx2"))) void FftFirstStages128Avx2(const int32_t* zr, const int32_t* zi, int32_t* re,
                                                           int32_t* im) {
  static constexpr int REV3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  static constexpr int GROUPS[2][8] = {{0, 8, 4, 12, 2, 10, 6, 14}, {1, 9, 5, 13, 3, 11, 7, 15}};
  const __m256i c1 = _mm256_set1_epi32(Ac3FftStageCos[5]), s1 = _mm256_set1_epi32(Ac3FftStageSin[5]);
  const __m256i c3 = _mm256_set1_epi32(Ac3FftStageCos[7]), s3 = _mm256_set1_epi32(Ac3FftStageSin[7]);
  const __m256i zero = _mm256_setzero_si256();
  for (int half = 0; half < 2; ++half) {
    __m256i r[8], i[8];
    for (int e = 0; e < 8; ++e) {
      r[e] = Load8(zr + (REV3[e] << 4) + 8 * half);
      i[e] = Load8(zi + (REV3[e] << 4) + 8 * half);
    }
    // Half-size 1.
    for (int e = 0; e < 8; e += 2) {
      const __m256i tr = r[e + 1], ti = i[e + 1];
      r[e + 1] = _mm256_sub_epi32(r[e], tr);
      i[e + 1] = _mm256_sub_epi32(i[e], ti);
      r[e] = _mm256_add_epi32(r[e], tr);
      i[e] = _mm256_add_epi32(i[e], ti);
    }
    // Half-size 2: factors 1 and j.
    for (int base = 0; base < 8; base += 4) {
      __m256i tr = r[base + 2], ti = i[base + 2];
      r[base + 2] = _mm256_sub_epi32(r[base], tr);
      i[base + 2] = _mm256_sub_epi32(i[base], ti);
      r[base] = _mm256_add_epi32(r[base], tr);
      i[base] = _mm256_add_epi32(i[base], ti);
      tr = _mm256_sub_epi32(zero, i[base + 3]);
      ti = r[base + 3];
      r[base + 3] = _mm256_sub_epi32(r[base + 1], tr);
      i[base + 3] = _mm256_sub_epi32(i[base + 1], ti);
      r[base + 1] = _mm256_add_epi32(r[base + 1], tr);
      i[base + 1] = _mm256_add_epi32(i[base + 1], ti);
    }
    // Half-size 4: factors 1, (c1, s1), j, (c3, s3).
    __m256i tr[4], ti[4];
    tr[0] = r[4], ti[0] = i[4];
    tr[1] = _mm256_sub_epi32(MulQ24x8(r[5], c1), MulQ24x8(i[5], s1));
    ti[1] = _mm256_add_epi32(MulQ24x8(r[5], s1), MulQ24x8(i[5], c1));
    tr[2] = _mm256_sub_epi32(zero, i[6]), ti[2] = r[6];
    tr[3] = _mm256_sub_epi32(MulQ24x8(r[7], c3), MulQ24x8(i[7], s3));
    ti[3] = _mm256_add_epi32(MulQ24x8(r[7], s3), MulQ24x8(i[7], c3));
    for (int k = 0; k < 4; ++k) {
      r[k + 4] = _mm256_sub_epi32(r[k], tr[k]);
      i[k + 4] = _mm256_sub_epi32(i[k], ti[k]);
      r[k] = _mm256_add_epi32(r[k], tr[k]);
      i[k] = _mm256_add_epi32(i[k], ti[k]);
    }
    Transpose8(r);
    Transpose8(i);
    for (int j = 0; j < 8; ++j) {
      Store8(re + 8 * GROUPS[half][j], r[j]);
      Store8(im + 8 * GROUPS[half][j], i[j]);
    }
  }
}

__attribute__((target("avx2"))) void Imdct512Avx2(int32_t* x, int32_t* d) {
  alignas(32) int32_t even[128], odd[128], a[128], zr[128], zi[128], yr[128], yi[128];
  for (int m = 0; m < 128; m += 8) {
    __m256i e, o;
    Deinterleave(x + 2 * m, &e, &o);
    Store8(even + m, e);
    Store8(odd + m, o);
  }
  for (int k = 0; k < 128; k += 8) Store8(a + k, Reverse8(Load8(odd + 120 - k)));  // x[255 - 2k]
  TwiddleAvx2(a, even, Ac3Xcos1, Ac3Xsin1, zr, zi, 128);
  FftFirstStages128Avx2(zr, zi, yr, yi);
  FftLaterStagesAvx2(yr, yi, 128);
  TwiddleAvx2(yr, yi, Ac3Xcos1, Ac3Xsin1, yr, yi, 128);

  const __m256i zero = _mm256_setzero_si256();
  const int32_t* w = Ac3WindowSplit;
  for (int n = 0; n < 64; n += 8) {
    __m256i d0, d1, d2, d3;
    Deinterleave(d + 2 * n, &d0, &d1);
    Deinterleave(d + 128 + 2 * n, &d2, &d3);
    const __m256i x0 = _mm256_sub_epi32(d0, MulQ24x8(Load8(yi + 64 + n), Load8(w + n)));
    const __m256i x1 = _mm256_add_epi32(d1, MulQ24x8(Reverse8(Load8(yr + 56 - n)), Load8(w + 64 + n)));
    const __m256i x2 = _mm256_sub_epi32(d2, MulQ24x8(Load8(yr + n), Load8(w + 128 + n)));
    const __m256i x3 = _mm256_add_epi32(d3, MulQ24x8(Reverse8(Load8(yi + 120 - n)), Load8(w + 192 + n)));
    const __m256i n0 = _mm256_sub_epi32(zero, MulQ24x8(Load8(yr + 64 + n), Load8(w + 256 + n)));
    const __m256i n1 = MulQ24x8(Reverse8(Load8(yi + 56 - n)), Load8(w + 320 + n));
    const __m256i n2 = MulQ24x8(Load8(yi + n), Load8(w + 384 + n));
    const __m256i n3 = _mm256_sub_epi32(zero, MulQ24x8(Reverse8(Load8(yr + 120 - n)), Load8(w + 448 + n)));
    Interleave(x0, x1, x + 2 * n);
    Interleave(x2, x3, x + 128 + 2 * n);
    Interleave(n0, n1, d + 2 * n);
    Interleave(n2, n3, d + 128 + 2 * n);
  }
}
#endif

}  // namespace

namespace {

// The hand-written AVX2 transforms serve every path above the plain one.
inline bool HandWrittenAvx2() { return CurrentVectorPath() != VectorPath::Plain; }

void Twiddle(const int32_t* a, const int32_t* b, const int32_t* xcos, const int32_t* xsin, int32_t* zr,
             int32_t* zi, int n) {
#if AC3_HAVE_AVX2
  if (HandWrittenAvx2()) return TwiddleAvx2(a, b, xcos, xsin, zr, zi, n);
#endif
  TwiddleGeneric(a, b, xcos, xsin, zr, zi, n);
}

// In-place radix-2 FFT of n points (128 or 64), twiddles e^(+j pi k / h),
// reading zr/zi in bit-reversed order.
void Fft(const int32_t* zr, const int32_t* zi, int32_t* re, int32_t* im, int n) {
  FftFirstStages(zr, zi, re, im, n);
#if AC3_HAVE_AVX2
  if (HandWrittenAvx2()) return FftLaterStagesAvx2(re, im, n);
#endif
  FftLaterStagesGeneric(re, im, n);
}

}  // namespace

VECTOR_PATH_BODY void Ac3Imdct512Body(int32_t* x, int32_t* d) {
#if AC3_HAVE_AVX2
  if (HandWrittenAvx2()) return Imdct512Avx2(x, d);
#endif
  int32_t a[128], b[128], zr[128], zi[128], yr[128], yi[128];
  for (int k = 0; k < 128; ++k) {
    a[k] = x[255 - 2 * k];
    b[k] = x[2 * k];
  }
  Twiddle(a, b, Ac3Xcos1, Ac3Xsin1, zr, zi, 128);
  Fft(zr, zi, yr, yi, 128);
  Twiddle(yr, yi, Ac3Xcos1, Ac3Xsin1, yr, yi, 128);

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
VECTOR_PATH_VARIANTS(void, Ac3Imdct512, (int32_t* x, int32_t* d), (x, d))

VECTOR_PATH_BODY void Ac3Imdct256Body(int32_t* x, int32_t* d) {
  int32_t a1[64], b1[64], a2[64], b2[64];
  int32_t z1r[64], z1i[64], z2r[64], z2i[64];
  int32_t y1r[64], y1i[64], y2r[64], y2i[64];
  for (int k = 0; k < 64; ++k) {
    a1[k] = x[254 - 4 * k];
    b1[k] = x[4 * k];
    a2[k] = x[255 - 4 * k];
    b2[k] = x[4 * k + 1];
  }
  Twiddle(a1, b1, Ac3Xcos2, Ac3Xsin2, z1r, z1i, 64);
  Twiddle(a2, b2, Ac3Xcos2, Ac3Xsin2, z2r, z2i, 64);
  Fft(z1r, z1i, y1r, y1i, 64);
  Fft(z2r, z2i, y2r, y2i, 64);
  Twiddle(y1r, y1i, Ac3Xcos2, Ac3Xsin2, y1r, y1i, 64);
  Twiddle(y2r, y2i, Ac3Xcos2, Ac3Xsin2, y2r, y2i, 64);

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
VECTOR_PATH_VARIANTS(void, Ac3Imdct256, (int32_t* x, int32_t* d), (x, d))

void Ac3BlockTransforms(Ac3FrameState& f) {
  Ac3DecoderState& decoder = Ac3DecoderOf(f);
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (f.blksw[ch])
      Ac3Imdct256(f.coefficients[ch], decoder.Ac3Overlap[ch]);
    else
      Ac3Imdct512(f.coefficients[ch], decoder.Ac3Overlap[ch]);
  }
  if (f.lfeon) Ac3Imdct512(f.lfeCoefficients, decoder.Ac3Overlap[AC3_LFE_ROW]);
}
