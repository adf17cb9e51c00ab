#include "mpa/psycho_model.h"
#include "mpa/psycho_tables.h"

namespace {

constexpr int32_t DZ_LOWEST = static_cast<int32_t>(0xFD000000);  // -3 Bark
constexpr int32_t DZ_BEYOND = 0x8000000;                         // 8 Bark
constexpr int32_t ONE_BARK = 0x1000000;
constexpr int32_t SLOPE_17DB = 0x5A5B3FE;                // 17 dB (per Bark)
constexpr int32_t MINUS_SLOPE_17DB = static_cast<int32_t>(0xFA5A4C02);
constexpr int32_t SLOPE_MINUS_18DB = static_cast<int32_t>(0xFA05416B);
constexpr int32_t LOWER_SLOPE_FACTOR = 0x666666;         // 0.4
constexpr int32_t LOWER_SLOPE_OFFSET = 0xDFE3F87;        // 0.4 x 30 + 6 dB
constexpr int32_t UPPER_SLOPE_FACTOR = static_cast<int32_t>(0xFFE66667);  // -0.1
constexpr int32_t UPPER_SLOPE_OFFSET = static_cast<int32_t>(0xFD5A4C02);  // 3.0 - 17 dB
constexpr int32_t INDEX_PER_BARK = static_cast<int32_t>(0xFFE67CD3);      // -0.3 dB
constexpr int32_t TONAL_INDEX = static_cast<int32_t>(0xFD02A0B6);         // -9 dB
constexpr int32_t NOISE_INDEX = static_cast<int32_t>(0xFE56CB10);         // -5 dB
constexpr int32_t QUIET_OFFSET = static_cast<int32_t>(0xFC0380F2);        // -12 dB

// What the spreading of one masker needs, whatever the entry.
struct Masker {
  int32_t zc;     // Bark
  LogQ24 x;       // level
  LogQ24 base;    // level plus masking index
  int32_t lower;  // 0.4 x + 6 dB, the lower slope's level term
  int32_t upper;  // 3.0 - 17 dB - 0.1 x, the upper slope's factor
};

Masker MakeMasker(LogQ24 x, int32_t zc, bool tonal) {
  Masker m;
  m.zc = zc;
  m.x = x;
  // Masking index: -0.3 dB per Bark and -9 dB (tonal) or -5 dB (noise).
  m.base = SatAdd(x, SatAdd(MulQ24(INDEX_PER_BARK, zc), tonal ? TONAL_INDEX : NOISE_INDEX));
  m.lower = SatAdd(MulQ24(x, LOWER_SLOPE_FACTOR), LOWER_SLOPE_OFFSET);
  m.upper = SatSub(UPPER_SLOPE_OFFSET, MulQ24(x, UPPER_SLOPE_FACTOR));
  return m;
}

int CollectMaskers(const PsychoSpectrum& s, int head, bool tonal, Masker* out) {
  int n = 0;
  for (int c = head; c != LIST_END; c = s.link[c]) out[n++] = MakeMasker(s.X[c], ThrBark[LineToThr[c]], tonal);
  return n;
}

// A masker reaches from 3 Bark above the entry to just under 8 below.
bool Reaches(int32_t dz) { return dz >= DZ_LOWEST && dz < DZ_BEYOND; }

// The spreading function: the masking dz Bark below the masker, relative
// to the masker, for dz in [-3, 8): 17 dB per Bark up to 1 Bark above
// (steeper for loud maskers), -18 dB per Bark to 1 Bark below, then a
// slope that flattens with the masker's level.
int32_t Spread(const Masker& m, int32_t dz) {
  if (dz < -ONE_BARK) {
    int32_t rise = MulQ24(SatSub(dz, -ONE_BARK), SLOPE_17DB);
    return SatAdd(rise, m.lower > SLOPE_17DB ? MulQ24(m.lower, -ONE_BARK) : MINUS_SLOPE_17DB);
  }
  if (dz < 0) return m.lower > SLOPE_17DB ? MulQ24(m.lower, dz) : MulQ24(SLOPE_17DB, dz);
  if (dz < ONE_BARK) return MulQ24(dz, SLOPE_MINUS_18DB);
  return SatAdd(MulQ24(SatSub(dz, ONE_BARK), m.upper), SLOPE_MINUS_18DB);
}

// The maskers of one list within reach of the entries, which come in
// ascending Bark order like the maskers: [first, end) slides upwards.
struct Reach {
  const Masker* maskers;
  int count;
  int first = 0;
  int end = 0;
  void MoveTo(int32_t z) {
    while (end < count && SatSub(z, maskers[end].zc) >= DZ_LOWEST) end++;
    while (first < end && !Reaches(SatSub(z, maskers[first].zc))) first++;
  }
};

// Entries are worked on LANES at a time: each entry's sum runs through its
// own maskers in list order, but the sums of neighbouring entries are
// independent, so their divisions overlap.
constexpr int LANES = 8;

struct Lanes {
  int32_t z[LANES];
  int first[LANES];
  int end[LANES];
  LogQ24 T[LANES];
};

void AddInReach(const Masker* maskers, Lanes& lanes) {
  int from = lanes.first[0];
  int to = lanes.end[0];
  for (int l = 1; l < LANES; l++) {
    from = lanes.first[l] < from ? lanes.first[l] : from;
    to = lanes.end[l] > to ? lanes.end[l] : to;
  }
  for (int i = from; i < to; i++) {
    const Masker& m = maskers[i];
    for (int l = 0; l < LANES; l++) {
      if (i < lanes.first[l] || i >= lanes.end[l]) continue;
      int32_t dz = SatSub(lanes.z[l], m.zc);
      lanes.T[l] = LogAddSquareRoots(lanes.T[l], SatAdd(m.base, Spread(m, dz)));
    }
  }
}

}  // namespace

bool IndividualThreshold(LogQ24 x, int32_t zc, int32_t z, bool tonal, LogQ24* lt) {
  int32_t dz = SatSub(z, zc);
  if (!Reaches(dz)) return false;
  Masker m = MakeMasker(x, zc, tonal);
  *lt = SatAdd(m.base, Spread(m, dz));
  return true;
}

void GlobalMaskingThreshold(const PsychoSpectrum& s, LogQ24* T) {
  Masker tonal[PSYCHO_LINES];
  Masker noise[CRIT_BANDS];
  Reach tonalReach{tonal, CollectMaskers(s, s.tonalHead, true, tonal)};
  Reach noiseReach{noise, CollectMaskers(s, s.noiseHead, false, noise)};
  for (int g0 = 1; g0 <= THR_ENTRIES; g0 += LANES) {
    Lanes tonalLanes;
    Lanes noiseLanes;
    for (int l = 0; l < LANES; l++) {
      int g = g0 + l;
      bool used = g <= THR_ENTRIES;
      int32_t z = used ? ThrBark[g] : 0;
      if (used) {
        tonalReach.MoveTo(z);
        noiseReach.MoveTo(z);
      }
      tonalLanes.z[l] = noiseLanes.z[l] = z;
      tonalLanes.first[l] = used ? tonalReach.first : 0;
      tonalLanes.end[l] = used ? tonalReach.end : 0;
      noiseLanes.first[l] = used ? noiseReach.first : 0;
      noiseLanes.end[l] = used ? noiseReach.end : 0;
      tonalLanes.T[l] = LEVEL_FLOOR;
    }
    AddInReach(tonal, tonalLanes);
    for (int l = 0; l < LANES; l++) noiseLanes.T[l] = tonalLanes.T[l];
    AddInReach(noise, noiseLanes);
    for (int l = 0; l < LANES && g0 + l <= THR_ENTRIES; l++) {
      // The threshold in quiet, 12 dB lower, added through cube roots.
      T[g0 + l] = LogAddCubeRoots(noiseLanes.T[l], SatAdd(ThrQuiet[g0 + l], QUIET_OFFSET));
    }
  }
}
