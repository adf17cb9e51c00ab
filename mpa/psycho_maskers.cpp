#include "mpa/psycho_model.h"
#include "mpa/psycho_tables.h"

namespace {

constexpr int32_t TONAL_MARGIN = 0x2534A1D;   // 7 dB
constexpr int32_t CLOSE_TONALS = 0x199999;    // 0.1 Bark

// Lines on each side that a peak at line k must exceed by the margin.
int TonalRun(int k) {
  if (k < 62) return 2;
  if (k < 126) return 3;
  if (k < 254) return 6;
  return 12;
}

bool StandsOut(const PsychoSpectrum& s, int k, int run) {
  int32_t limit = s.X[k] - TONAL_MARGIN;
  for (int j = 2; j <= run; j++) {
    if (limit < s.X[k - j] || limit < s.X[k + j]) return false;
  }
  return true;
}

void RemoveMasker(PsychoSpectrum& s, int c) {
  s.mark[c] = 0;
  s.X[c] = LEVEL_FLOOR;
}

// Removes every masker of the list whose level is below the threshold in
// quiet at its line.
void DropQuietFromList(PsychoSpectrum& s, int& head) {
  int previous = LIST_END;
  for (int c = head; c != LIST_END;) {
    int next = s.link[c];
    if (s.X[c] < ThrQuiet[LineToThr[c]]) {
      RemoveMasker(s, c);
      if (previous == LIST_END) {
        head = next;
      } else {
        s.link[previous] = static_cast<int16_t>(next);
      }
    } else {
      previous = c;
    }
    c = next;
  }
}

}  // namespace

void FindTonalMaskers(PsychoSpectrum& s) {
  for (int k = 0; k < PSYCHO_LINES; k++) {
    s.link[k] = LIST_STOP;
    s.mark[k] = 0;
  }
  // Candidates: strict local maxima, linked in ascending order.
  int first = LIST_END;
  int tail = LIST_END;
  for (int k = 2; k <= PSYCHO_MAX_LINE; k++) {
    if (s.X[k] > s.X[k - 1] && s.X[k] > s.X[k + 1]) {
      s.mark[k] = TONAL;
      s.link[k] = LIST_END;
      if (tail == LIST_END) {
        first = k;
      } else {
        s.link[tail] = static_cast<int16_t>(k);
      }
      tail = k;
    }
  }

  s.tonalHead = LIST_END;
  int last = -1;
  int lastButOne = -1;
  for (int k = first; k != LIST_END;) {
    int run = TonalRun(k);
    if (!StandsOut(s, k, run)) {
      s.mark[k] = 0;
      int next = s.link[k];
      if (last != -1) s.link[last] = static_cast<int16_t>(next);
      s.link[k] = LIST_STOP;
      k = next;
      continue;
    }
    if (s.tonalHead == LIST_END) s.tonalHead = k;
    int next = s.link[k];
    while (next != LIST_END && next <= k + run) next = s.link[next];
    s.link[k] = static_cast<int16_t>(next);
    if (last != -1 && k - last <= run) {
      // The previous masker lies inside this one's run: this one replaces it.
      if (lastButOne == -1) {
        s.tonalHead = k;
      } else {
        s.link[lastButOne] = static_cast<int16_t>(k);
      }
      last = lastButOne;
    }
    if (k < 255) s.X[k] = LogAdd(LogAdd(s.X[k - 1], s.X[k + 1]), s.X[k]);
    for (int j = 1; j <= run; j++) {
      s.X[k - j] = s.X[k + j] = LEVEL_FLOOR;
      s.link[k - j] = s.link[k + j] = LIST_STOP;
      s.mark[k - j] = s.mark[k + j] = 0;
    }
    lastButOne = last;
    last = k;
    k = s.link[k];
  }
}

namespace {

// Sums of the non-tonal lines of each band, plain and weighted by their
// position. Each band's sums run through its lines in order; five bands at
// a time advance side by side, so their divisions overlap.
void SumBands(const PsychoSpectrum& s, LogQ24* sum, LogQ24* weighted) {
  constexpr int LANES = 5;
  static_assert(CRIT_BANDS % LANES == 0);
  for (int b0 = 0; b0 < CRIT_BANDS; b0 += LANES) {
    int longest = 0;
    LogQ24 plain[LANES];
    LogQ24 weight[LANES];
    for (int l = 0; l < LANES; l++) {
      int length = CritBandBounds[b0 + l + 1] - CritBandBounds[b0 + l];
      longest = length > longest ? length : longest;
      plain[l] = weight[l] = LEVEL_FLOOR;
    }
    for (int step = 0; step < longest; step++) {
      for (int l = 0; l < LANES; l++) {
        int m = CritBandBounds[b0 + l] + step;
        if (m >= CritBandBounds[b0 + l + 1] || s.mark[m] == TONAL || s.X[m] <= LEVEL_FLOOR) continue;
        plain[l] = LogAdd(plain[l], s.X[m]);
        weight[l] = LogAdd(weight[l], SatAdd(s.X[m], NoiseWeight[m]));
      }
    }
    for (int l = 0; l < LANES; l++) {
      sum[b0 + l] = plain[l];
      weighted[b0 + l] = weight[l];
    }
  }
}

}  // namespace

void FindNoiseMaskers(PsychoSpectrum& s) {
  LogQ24 sums[CRIT_BANDS];
  LogQ24 weightedSums[CRIT_BANDS];
  SumBands(s, sums, weightedSums);
  s.noiseHead = LIST_END;
  int tail = LIST_END;
  for (int b = 0; b < CRIT_BANDS; b++) {
    int lo = CritBandBounds[b];
    int hi = CritBandBounds[b + 1];
    LogQ24 sum = sums[b];
    // The band's noise is taken into its masker.
    for (int m = lo; m < hi; m++) {
      if (s.mark[m] != TONAL) s.X[m] = LEVEL_FLOOR;
    }
    // The masker sits at the power-weighted mean position of the band.
    int pos = (lo + hi) / 2;
    if (sum > LEVEL_FLOOR) {
      pos = lo + (MulQ24((hi - lo) << 24, Pow2Q24(WrapSub(weightedSums[b], sum))) >> 24);
      // A weighted sum that rounds up to the plain sum would place the
      // masker on the next band's first line (past the last line for the
      // top band): it stays on this band's last line instead.
      if (pos > hi - 1) pos = hi - 1;
    }
    if (s.mark[pos] == TONAL) pos = pos < hi - 1 ? pos + 1 : pos - 1;
    s.link[pos] = LIST_END;
    if (tail == LIST_END) {
      s.noiseHead = pos;
    } else {
      s.link[tail] = static_cast<int16_t>(pos);
    }
    tail = pos;
    s.X[pos] = sum;
    s.mark[pos] = NOISE;
  }
}

void DropInaudibleMaskers(PsychoSpectrum& s) {
  DropQuietFromList(s, s.tonalHead);
  DropQuietFromList(s, s.noiseHead);
}

void DropCloseTonalMaskers(PsychoSpectrum& s) {
  int previous = LIST_END;
  int c = s.tonalHead;
  while (c != LIST_END && s.link[c] != LIST_END) {
    int n = s.link[c];
    if (WrapSub(ThrBark[LineToThr[n]], ThrBark[LineToThr[c]]) >= CLOSE_TONALS) {
      previous = c;
      c = n;
    } else if (s.X[n] > s.X[c]) {
      RemoveMasker(s, c);
      if (previous == LIST_END) {
        s.tonalHead = n;
      } else {
        s.link[previous] = static_cast<int16_t>(n);
      }
      c = n;
    } else {
      RemoveMasker(s, n);
      s.link[c] = s.link[n];
      previous = c;
      c = s.link[c];
    }
  }
}
