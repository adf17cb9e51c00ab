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

// The spreading function: the masking of a masker of level x, dz Bark
// below the entry, relative to the masker (dz in [-3, 8)).
int32_t MaskingSpread(LogQ24 x, int32_t dz) {
  if (dz < -ONE_BARK) {
    int32_t t = SatAdd(MulQ24(x, LOWER_SLOPE_FACTOR), LOWER_SLOPE_OFFSET);
    int32_t rise = MulQ24(SatSub(dz, -ONE_BARK), SLOPE_17DB);
    return SatAdd(rise, t > SLOPE_17DB ? MulQ24(t, -ONE_BARK) : MINUS_SLOPE_17DB);
  }
  if (dz < 0) {
    int32_t t = SatAdd(MulQ24(x, LOWER_SLOPE_FACTOR), LOWER_SLOPE_OFFSET);
    return t > SLOPE_17DB ? MulQ24(t, dz) : MulQ24(SLOPE_17DB, dz);
  }
  if (dz < ONE_BARK) return MulQ24(dz, SLOPE_MINUS_18DB);
  int32_t q = SatSub(UPPER_SLOPE_OFFSET, MulQ24(x, UPPER_SLOPE_FACTOR));
  return SatAdd(MulQ24(SatSub(dz, ONE_BARK), q), SLOPE_MINUS_18DB);
}

}  // namespace

bool IndividualThreshold(LogQ24 x, int32_t zc, int32_t z, bool tonal, LogQ24* lt) {
  int32_t dz = SatSub(z, zc);
  if (dz < DZ_LOWEST || dz >= DZ_BEYOND) return false;
  int32_t vf = MaskingSpread(x, dz);
  int32_t av = SatAdd(MulQ24(INDEX_PER_BARK, zc), tonal ? TONAL_INDEX : NOISE_INDEX);
  *lt = SatAdd(SatAdd(x, av), vf);
  return true;
}

namespace {

// Adds the individual thresholds of one list of maskers at Bark z to T.
LogQ24 AddMaskers(const PsychoSpectrum& s, int head, bool tonal, int32_t z, LogQ24 T) {
  for (int c = head; c != LIST_END; c = s.link[c]) {
    LogQ24 lt;
    if (IndividualThreshold(s.X[c], ThrBark[LineToThr[c]], z, tonal, &lt)) T = LogAddScaled(T, lt, 0x2000000);
  }
  return T;
}

}  // namespace

void GlobalMaskingThreshold(const PsychoSpectrum& s, LogQ24* T) {
  for (int g = 1; g <= THR_ENTRIES; g++) {
    int32_t z = ThrBark[g];
    LogQ24 level = AddMaskers(s, s.tonalHead, true, z, LEVEL_FLOOR);
    level = AddMaskers(s, s.noiseHead, false, z, level);
    // The threshold in quiet, 12 dB lower, added through cube roots.
    T[g] = LogAddScaled(level, SatAdd(ThrQuiet[g], QUIET_OFFSET), 0x3000000);
  }
}
