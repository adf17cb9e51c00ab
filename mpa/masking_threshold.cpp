#include "common/vector_paths.h"
#include "mpa/level_lanes.h"
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

// Spread for eight entries at once. In each of its four pieces the
// spreading is offset + slope * (dz - start), with the choices by the
// masker's level made once per masker; within reach no difference there
// saturates.
struct LaneMasker {
  int32_t zc;
  LogQ24 base;
  int32_t nearSlope;  // from 1 Bark above the masker to the masker
  int32_t farOffset;  // the spreading 1 Bark above the masker
  int32_t upper;
};

LaneMasker MakeLaneMasker(const Masker& m) {
  bool steep = m.lower > SLOPE_17DB;
  return {m.zc, m.base, steep ? m.lower : SLOPE_17DB, steep ? MulQ24(m.lower, -ONE_BARK) : MINUS_SLOPE_17DB,
          m.upper};
}

LANES_INLINE Int32x8 SpreadLanes(const LaneMasker& m, Int32x8 dz) {
  Int32x8 isFar = dz < -ONE_BARK;
  Int32x8 isNear = dz < 0;
  Int32x8 close = dz < ONE_BARK;
  Int32x8 slope = isFar ? Broadcast(SLOPE_17DB)
                      : (isNear ? Broadcast(m.nearSlope) : (close ? Broadcast(SLOPE_MINUS_18DB) : Broadcast(m.upper)));
  Int32x8 start = isFar ? Broadcast(-ONE_BARK) : (close ? Broadcast(0) : Broadcast(ONE_BARK));
  Int32x8 offset = isFar ? Broadcast(m.farOffset) : (close ? Broadcast(0) : Broadcast(SLOPE_MINUS_18DB));
  return SatAddLanes(MulQ24Lanes8(slope, WrapSubLanes(dz, start)), offset);
}

// One masker's threshold added into the eight entries at Bark z that it
// reaches.
LANES_INLINE Int32x8 AddMasker(Int32x8 T, const LaneMasker& m, Int32x8 z) {
  Int32x8 dz = WrapSubLanes(z, Broadcast(m.zc));
  Int32x8 reached = (dz >= DZ_LOWEST) & (dz < DZ_BEYOND);
  Int32x8 lt = SatAddLanes(Broadcast(m.base), SpreadLanes(m, dz));
  return reached ? LogAddRootsLanes<2>(T, lt) : T;
}

// The maskers of one list within reach of the entries, which come in
// ascending Bark order like the maskers: [first, end) slides upwards.
// Within reach are exactly the maskers whose distance Reaches.
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

// Entries are worked on eight at a time, 1..128 (127 and 128 only
// padding, out of every masker's reach). Each entry's sum runs through its
// maskers in list order, tonal then noise, a chain of divisions; BLOCKS_AT_ONCE
// blocks of entries advance side by side so that their chains overlap.
constexpr int LANES = 8;
constexpr int BLOCKS = 16;
constexpr int BLOCKS_AT_ONCE = 4;
constexpr int32_t PAST_EVERY_REACH = 0x40000000;  // 64 Bark

struct EntryLanes {
  int32_t z[BLOCKS * LANES];
  int32_t quiet[BLOCKS * LANES];  // the threshold in quiet, 12 dB lower
  EntryLanes() {
    for (int e = 0; e < BLOCKS * LANES; e++) {
      int g = e + 1;
      z[e] = g <= THR_ENTRIES ? ThrBark[g] : PAST_EVERY_REACH;
      quiet[e] = g <= THR_ENTRIES ? SatAdd(ThrQuiet[g], QUIET_OFFSET) : LEVEL_FLOOR;
    }
  }
};

// The maskers that one block's chain runs through: [tonalFirst, tonalEnd)
// of the tonal list, then [noiseFirst, noiseEnd) of the noise list.
struct BlockMaskers {
  int tonalFirst;
  int tonalSteps;
  int noiseFirst;
  int steps;
};

}  // namespace

bool IndividualThreshold(LogQ24 x, int32_t zc, int32_t z, bool tonal, LogQ24* lt) {
  int32_t dz = SatSub(z, zc);
  if (!Reaches(dz)) return false;
  Masker m = MakeMasker(x, zc, tonal);
  *lt = SatAdd(m.base, Spread(m, dz));
  return true;
}

namespace {

// LANE_BY_LANE: each lane's sum in scalar arithmetic, with the masker as
// IndividualThreshold takes it; for the plain path, as SSE2 has neither
// the 64-bit products nor the conversions that the vector form needs.
template <bool LANE_BY_LANE>
LANES_INLINE void Threshold(const PsychoSpectrum& s, LogQ24* T) {
  static const EntryLanes entries;
  Masker tonal[PSYCHO_LINES];
  Masker noise[CRIT_BANDS];
  Reach tonalReach{tonal, CollectMaskers(s, s.tonalHead, true, tonal)};
  Reach noiseReach{noise, CollectMaskers(s, s.noiseHead, false, noise)};
  // Both lists one after the other, in the form the lanes take.
  LaneMasker maskers[PSYCHO_LINES + CRIT_BANDS];
  for (int i = 0; i < tonalReach.count; i++) maskers[i] = MakeLaneMasker(tonal[i]);
  for (int i = 0; i < noiseReach.count; i++) maskers[tonalReach.count + i] = MakeLaneMasker(noise[i]);
  BlockMaskers blocks[BLOCKS];
  for (int b = 0; b < BLOCKS; b++) {
    int tonalFirst = 0;
    int noiseFirst = 0;
    for (int l = 0; l < LANES && 1 + b * LANES + l <= THR_ENTRIES; l++) {
      int32_t z = entries.z[b * LANES + l];
      tonalReach.MoveTo(z);
      noiseReach.MoveTo(z);
      if (l == 0) {
        tonalFirst = tonalReach.first;
        noiseFirst = noiseReach.first;
      }
    }
    int tonalSteps = tonalReach.end - tonalFirst;
    blocks[b] = {tonalFirst, tonalSteps, tonalReach.count + noiseFirst, tonalSteps + noiseReach.end - noiseFirst};
  }
  alignas(32) LogQ24 sums[BLOCKS * LANES];
  for (int b0 = 0; b0 < BLOCKS; b0 += BLOCKS_AT_ONCE) {
    Int32x8 t[BLOCKS_AT_ONCE];
    Int32x8 z[BLOCKS_AT_ONCE];
    int longest = 0;
    for (int k = 0; k < BLOCKS_AT_ONCE; k++) {
      t[k] = Broadcast(LEVEL_FLOOR);
      z[k] = LoadLanes(entries.z + (b0 + k) * LANES);
      longest = blocks[b0 + k].steps > longest ? blocks[b0 + k].steps : longest;
    }
    for (int step = 0; step < longest; step++) {
      for (int k = 0; k < BLOCKS_AT_ONCE; k++) {
        const BlockMaskers& block = blocks[b0 + k];
        if (step >= block.steps) continue;
        int i = step < block.tonalSteps ? block.tonalFirst + step : block.noiseFirst + step - block.tonalSteps;
        if constexpr (LANE_BY_LANE) {
          const Masker& m = i < tonalReach.count ? tonal[i] : noise[i - tonalReach.count];
          for (int l = 0; l < LANES; l++) {
            int32_t dz = SatSub(z[k][l], m.zc);
            if (Reaches(dz)) t[k][l] = LogAddSquareRoots(t[k][l], SatAdd(m.base, Spread(m, dz)));
          }
        } else {
          t[k] = AddMasker(t[k], maskers[i], z[k]);
        }
      }
    }
    for (int k = 0; k < BLOCKS_AT_ONCE; k++) {
      // The threshold in quiet added through cube roots.
      int e = (b0 + k) * LANES;
      if constexpr (LANE_BY_LANE) {
        for (int l = 0; l < LANES; l++) sums[e + l] = LogAddCubeRoots(t[k][l], entries.quiet[e + l]);
      } else {
        StoreLanes(sums + e, LogAddRootsLanes<3>(t[k], LoadLanes(entries.quiet + e)));
      }
    }
  }
  for (int g = 1; g <= THR_ENTRIES; g++) T[g] = sums[g - 1];
}
VECTOR_PATH_BODY void ThresholdOnVectorsBody(const PsychoSpectrum& s, LogQ24* T) { Threshold<false>(s, T); }
VECTOR_PATH_VARIANTS(void, ThresholdOnVectors, (const PsychoSpectrum& s, LogQ24* T), (s, T))

}  // namespace

void GlobalMaskingThreshold(const PsychoSpectrum& s, LogQ24* T) {
  if (CurrentVectorPath() == VectorPath::Plain) {
    Threshold<true>(s, T);
  } else {
    ThresholdOnVectors(s, T);
  }
}
