#include <bit>
#include <cstring>

#include "common/vector_paths.h"
#include "mpa/level_lanes.h"
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

// Whether the peak at line k exceeds the lines 2..run away on both sides
// by the margin: the loudest of them, taken without a branch per line
// (an early exit mispredicts on noise).
bool StandsOut(const PsychoSpectrum& s, int k, int run) {
  int32_t limit = s.X[k] - TONAL_MARGIN;
  int32_t loudest = INT32_MIN;
  for (int j = 2; j <= run; j++) {
    int32_t pair = s.X[k - j] > s.X[k + j] ? s.X[k - j] : s.X[k + j];
    loudest = pair > loudest ? pair : loudest;
  }
  return limit >= loudest;
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
  // Candidates: strict local maxima, linked in ascending order. They are
  // found as bits first (a branch per line mispredicts on noise, where
  // every third line is one at random): a byte per line, the comparisons
  // on vectors, then eight bytes of 0 or 1 to eight bits by one multiply.
  constexpr int PEAK_WORDS = PSYCHO_MAX_LINE / 64 + 1;
  static_assert(std::endian::native == std::endian::little);
  uint8_t isPeak[64 * PEAK_WORDS] = {};
  for (int k = 2; k <= PSYCHO_MAX_LINE; k++) isPeak[k] = (s.X[k] > s.X[k - 1]) & (s.X[k] > s.X[k + 1]);
  uint64_t peaks[PEAK_WORDS] = {};
  for (int i = 0; i < 8 * PEAK_WORDS; i++) {
    uint64_t bytes;
    std::memcpy(&bytes, isPeak + 8 * i, sizeof bytes);
    peaks[i / 8] |= (bytes * 0x0102040810204080u) >> 56 << (8 * (i % 8));
  }
  int first = LIST_END;
  int tail = LIST_END;
  for (int w = 0; w < PEAK_WORDS; w++) {
    for (uint64_t bits = peaks[w]; bits != 0; bits &= bits - 1) {
      int k = 64 * w + __builtin_ctzll(bits);
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

// A band's two sums side by side in a vector, plain in the even lane and
// weighted in the odd one, four bands to a vector from the top down:
// 21..24, 17..20, ..., 1..4, 0.
constexpr int BANDS_PER_VECTOR = LANES_PER_VECTOR / 2;
constexpr int BAND_GROUPS = (CRIT_BANDS + BANDS_PER_VECTOR - 1) / BANDS_PER_VECTOR;
// Past the last line: LEVEL_FLOOR, which the shorter bands of a group read
// once their lines are done.
constexpr int NO_LINE = PSYCHO_MAX_LINE + 1;

struct BandLanes {
  int steps[BAND_GROUPS];  // the group's longest band
  int band[BAND_GROUPS][BANDS_PER_VECTOR];  // -1: no band
  // The lane's entry of the line's two sums (line * 2 + 0 or 1).
  int16_t entry[BAND_GROUPS][PSYCHO_MAX_LINE][LANES_PER_VECTOR];
  BandLanes() {
    for (int g = 0; g < BAND_GROUPS; g++) {
      steps[g] = 0;
      for (int k = 0; k < BANDS_PER_VECTOR; k++) {
        int b = CRIT_BANDS - BANDS_PER_VECTOR * (g + 1) + k;
        band[g][k] = b >= 0 ? b : -1;
        int length = b >= 0 ? CritBandBounds[b + 1] - CritBandBounds[b] : 0;
        steps[g] = length > steps[g] ? length : steps[g];
        for (int step = 0; step < PSYCHO_MAX_LINE; step++) {
          int line = step < length ? CritBandBounds[b] + step : NO_LINE;
          entry[g][step][2 * k] = static_cast<int16_t>(2 * line);
          entry[g][step][2 * k + 1] = static_cast<int16_t>(2 * line + 1);
        }
      }
    }
  }
};

// SatAdd in 32-bit arithmetic, as SatAddLanes: it vectorises without
// 64-bit lanes, whose comparisons AVX2 has only as separate instructions.
LANES_INLINE int32_t SatAdd32(int32_t a, int32_t b) {
  int32_t sum = WrapAdd(a, b);
  return ((a ^ sum) & (b ^ sum)) < 0 ? ((a >> 31) ^ INT32_MAX) : sum;
}

// Lane l: v[index[l] & mask].
LANES_INLINE Int32x8 GatherLanes(const LogQ24* v, const int16_t* index, int mask) {
  return Int32x8{v[index[0] & mask], v[index[1] & mask], v[index[2] & mask], v[index[3] & mask],
                 v[index[4] & mask], v[index[5] & mask], v[index[6] & mask], v[index[7] & mask]};
}

// Sums of the non-tonal lines of each band, plain and weighted by their
// position. Each band's sums run through its lines in order, a chain of
// divisions; the bands of both channels advance side by side, so that the
// chains of the shorter ones and of the other channel overlap with the
// longest.
// LANE_BY_LANE: each lane in scalar arithmetic, for the plain path (SSE2
// has no conversions of eight lanes to doubles and back).
template <bool LANE_BY_LANE>
LANES_INLINE void SumBandsOf(const PsychoSpectrum* spectra, int count, LogQ24 (*sum)[CRIT_BANDS],
                             LogQ24 (*weighted)[CRIT_BANDS]) {
  static const BandLanes lanes;
  // Each line's two terms; a line that does not count (tonal, or at
  // LEVEL_FLOOR) has LEVEL_FLOOR as its plain term.
  LogQ24 terms[PSYCHO_CHANNELS][2 * (NO_LINE + 1)];
  Int32x8 sums[PSYCHO_CHANNELS][BAND_GROUPS];
  for (int c = 0; c < count; c++) {
    const PsychoSpectrum& s = spectra[c];
    for (int m = 0; m <= PSYCHO_MAX_LINE; m++) {
      bool counts = s.mark[m] != TONAL && s.X[m] > LEVEL_FLOOR;
      terms[c][2 * m] = counts ? s.X[m] : LEVEL_FLOOR;
      terms[c][2 * m + 1] = SatAdd32(s.X[m], NoiseWeight[m]);
    }
    terms[c][2 * NO_LINE] = terms[c][2 * NO_LINE + 1] = LEVEL_FLOOR;
    for (int g = 0; g < BAND_GROUPS; g++) sums[c][g] = Broadcast(LEVEL_FLOOR);
  }
  for (int step = 0; step < lanes.steps[0]; step++) {
    // The groups come longest first.
    for (int g = 0; g < BAND_GROUPS && step < lanes.steps[g]; g++) {
      const int16_t* entry = lanes.entry[g][step];
      for (int c = 0; c < count; c++) {
        // Both lanes of a band take its line's plain term for the test.
        if constexpr (LANE_BY_LANE) {
          for (int l = 0; l < LANES_PER_VECTOR; l++) {
            if (terms[c][entry[l] & ~1] > LEVEL_FLOOR) sums[c][g][l] = LogAdd(sums[c][g][l], terms[c][entry[l]]);
          }
        } else {
          Int32x8 counts = GatherLanes(terms[c], entry, ~1) > LEVEL_FLOOR;
          Int32x8 term = GatherLanes(terms[c], entry, -1);
          sums[c][g] = counts ? LogAddLanes(sums[c][g], term) : sums[c][g];
        }
      }
    }
  }
  for (int c = 0; c < count; c++) {
    for (int g = 0; g < BAND_GROUPS; g++) {
      for (int k = 0; k < BANDS_PER_VECTOR; k++) {
        int b = lanes.band[g][k];
        if (b < 0) continue;
        sum[c][b] = sums[c][g][2 * k];
        weighted[c][b] = sums[c][g][2 * k + 1];
      }
    }
  }
}
VECTOR_PATH_BODY void SumBandsOnVectorsBody(const PsychoSpectrum* spectra, int count, LogQ24 (*sum)[CRIT_BANDS],
                                            LogQ24 (*weighted)[CRIT_BANDS]) {
  SumBandsOf<false>(spectra, count, sum, weighted);
}
VECTOR_PATH_VARIANTS(void, SumBandsOnVectors,
                     (const PsychoSpectrum* spectra, int count, LogQ24 (*sum)[CRIT_BANDS],
                      LogQ24 (*weighted)[CRIT_BANDS]),
                     (spectra, count, sum, weighted))

// Each band's masker, from the band's sums, on the band's weighted mean
// line.
void PlaceNoiseMaskers(PsychoSpectrum& s, const LogQ24* sums, const LogQ24* weightedSums) {
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

}  // namespace

void SumBands(const PsychoSpectrum* spectra, int count, LogQ24 (*sum)[CRIT_BANDS], LogQ24 (*weighted)[CRIT_BANDS]) {
  if (CurrentVectorPath() == VectorPath::Plain) {
    SumBandsOf<true>(spectra, count, sum, weighted);
  } else {
    SumBandsOnVectors(spectra, count, sum, weighted);
  }
}

void FindNoiseMaskers(PsychoSpectrum* spectra, int count) {
  LogQ24 sums[PSYCHO_CHANNELS][CRIT_BANDS];
  LogQ24 weightedSums[PSYCHO_CHANNELS][CRIT_BANDS];
  SumBands(spectra, count, sums, weightedSums);
  for (int c = 0; c < count; c++) PlaceNoiseMaskers(spectra[c], sums[c], weightedSums[c]);
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
