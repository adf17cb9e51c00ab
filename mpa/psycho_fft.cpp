#include "mpa/psycho_fft.h"

#include "mpa/psycho_tables.h"

void PsychoFft(const Q24* u, LogQ24* X) {
  int32_t re[PSYCHO_FFT_SIZE];
  int32_t im[PSYCHO_FFT_SIZE];
  for (int i = 0; i < PSYCHO_FFT_SIZE; i++) {
    re[i] = u[BitReverse[i]];
    im[i] = 0;
  }
  // Radix-2 decimation in time without scaling: the window's 1/1024 keeps
  // every intermediate value below 1.0.
  for (int half = 1; half < PSYCHO_FFT_SIZE; half <<= 1) {
    int step = 512 / half;
    for (int g = 0; g < PSYCHO_FFT_SIZE; g += 2 * half) {
      for (int j = 0; j < half; j++) {
        int a = g + j;
        int b = a + half;
        int32_t tRe = re[b];
        int32_t tIm = im[b];
        if (j != 0) {
          int32_t c = FftCos[j * step];
          int32_t s = FftSin[j * step];
          tRe = WrapSub(MulQ24(re[b], c), MulQ24(im[b], s));
          tIm = WrapAdd(MulQ24(re[b], s), MulQ24(im[b], c));
        }
        re[b] = WrapSub(re[a], tRe);
        im[b] = WrapSub(im[a], tIm);
        re[a] = WrapAdd(re[a], tRe);
        im[a] = WrapAdd(im[a], tIm);
      }
    }
  }
  for (int k = 0; k < PSYCHO_LINES; k++) X[k] = LogPower(re[k], im[k]);
}
