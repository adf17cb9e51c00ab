// Maskers, masking threshold and signal-to-mask ratios.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "common/vector_paths.h"
#include "mpa/encoder_state.h"
#include "mpa/layer2_encoder.h"
#include "mpa/psycho_model.h"
#include "mpa/psycho_tables.h"

namespace {

constexpr int32_t UNIT = 1 << 24;

// A spectrum at one level with no maskers and empty lists.
PsychoSpectrum FlatSpectrum(int32_t level) {
  PsychoSpectrum s;
  for (int k = 0; k < PSYCHO_LINES; k++) {
    s.X[k] = level;
    s.mark[k] = 0;
    s.link[k] = LIST_STOP;
  }
  s.tonalHead = s.noiseHead = LIST_END;
  return s;
}

// Alternating low levels: no local maximum anywhere but where a test puts one.
PsychoSpectrum RisingSpectrum() {
  PsychoSpectrum s;
  for (int k = 0; k < PSYCHO_LINES; k++) s.X[k] = -60 * UNIT + k * 1000;
  return s;
}

std::vector<int> List(const PsychoSpectrum& s, int head) {
  std::vector<int> lines;
  for (int c = head; c != LIST_END && lines.size() < 500; c = s.link[c]) lines.push_back(c);
  return lines;
}

// Maskers on random lines at random levels (a few far beyond full scale,
// where the level arithmetic saturates): a tonal list and one noise masker
// per band on a line of its own.
PsychoSpectrum RandomMaskers(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> usual(-20 * UNIT, 4 * UNIT);
  auto level = [&](std::mt19937& r) { return r() % 16 == 0 ? static_cast<int32_t>(r()) : usual(r); };
  PsychoSpectrum s = FlatSpectrum(LEVEL_FLOOR);
  // Line k becomes a masker of the given kind, at the end of its list.
  auto add = [&](int k, int8_t kind, int& head, int& tail) {
    s.mark[k] = kind;
    s.X[k] = level(random);
    s.link[k] = LIST_END;
    if (tail == LIST_END) {
      head = k;
    } else {
      s.link[tail] = static_cast<int16_t>(k);
    }
    tail = k;
  };
  int tail = LIST_END;
  for (int k = 1; k <= PSYCHO_MAX_LINE; k += 1 + static_cast<int>(random() % 12)) add(k, TONAL, s.tonalHead, tail);
  tail = LIST_END;
  for (int b = 0; b < CRIT_BANDS; b++) {
    int k = CritBandBounds[b];
    while (k < CritBandBounds[b + 1] - 1 && s.mark[k] == TONAL) k++;
    if (s.mark[k] != TONAL) add(k, NOISE, s.noiseHead, tail);
  }
  return s;
}

}  // namespace

TEST(TonalMaskers, PeakAtLine100IsTestedThreeLinesOut) {
  PsychoSpectrum s = RisingSpectrum();
  s.X[100] = -10 * UNIT;
  s.X[103] = -12 * UNIT;  // within 7 dB, three lines away
  FindTonalMaskers(s);
  EXPECT_TRUE(List(s, s.tonalHead).empty());

  s = RisingSpectrum();
  s.X[100] = -10 * UNIT;
  s.X[99] = s.X[101] = -16 * UNIT;
  s.X[104] = -12 * UNIT;  // four lines away: not looked at
  FindTonalMaskers(s);
  EXPECT_EQ(List(s, s.tonalHead), std::vector<int>({100, 104}));
  // Below line 255 the two neighbours are summed in: 1 + 2^-6 + 2^-6.
  EXPECT_GT(s.X[100], -10 * UNIT);
  EXPECT_NEAR(s.X[100] / double(UNIT), -10 + std::log2(1 + 2 * std::exp2(-6.0)), 0.01);
  for (int j = 1; j <= 3; j++) {
    EXPECT_EQ(s.X[100 + j], LEVEL_FLOOR);
    EXPECT_EQ(s.mark[100 - j], 0);
  }
}

TEST(TonalMaskers, PeakAtLine300IsTestedTwelveLinesOutAndKeepsItsLevel) {
  PsychoSpectrum s = RisingSpectrum();
  s.X[300] = -10 * UNIT;
  s.X[299] = s.X[301] = -16 * UNIT;
  s.X[312] = -12 * UNIT;
  FindTonalMaskers(s);
  EXPECT_TRUE(List(s, s.tonalHead).empty());

  s = RisingSpectrum();
  s.X[300] = -10 * UNIT;
  s.X[299] = s.X[301] = -16 * UNIT;
  s.X[288] = -12.5 * UNIT;  // exactly within reach but more than 7 dB down
  FindTonalMaskers(s);
  EXPECT_EQ(List(s, s.tonalHead), std::vector<int>({300}));
  EXPECT_EQ(s.X[300], -10 * UNIT);
  EXPECT_EQ(s.X[288], LEVEL_FLOOR);
  EXPECT_EQ(s.X[312], LEVEL_FLOOR);
}

TEST(TonalMaskers, FlatTopIsNoCandidate) {
  PsychoSpectrum s = RisingSpectrum();
  s.X[200] = s.X[201] = -10 * UNIT;
  FindTonalMaskers(s);
  EXPECT_TRUE(List(s, s.tonalHead).empty());
  EXPECT_EQ(s.mark[200], 0);
  EXPECT_EQ(s.mark[201], 0);
}

TEST(TonalMaskers, PeaksNearTheTopLineStayInsideTheirArrays) {
  PsychoSpectrum s = RisingSpectrum();
  s.X[430] = -10 * UNIT;
  s.tonalHead = 12345;
  FindTonalMaskers(s);
  EXPECT_EQ(List(s, s.tonalHead), std::vector<int>({430}));
  EXPECT_EQ(s.link[430], LIST_END);
}

TEST(TonalMaskers, CloserThanATenthOfABarkTheLouderStays) {
  // Lines 400 and 408 lie 0.039 Bark apart.
  auto make = [](int32_t low, int32_t high) {
    PsychoSpectrum s = FlatSpectrum(LEVEL_FLOOR);
    s.tonalHead = 100;
    s.link[100] = 400;
    s.link[400] = 408;
    s.link[408] = LIST_END;
    s.mark[100] = s.mark[400] = s.mark[408] = TONAL;
    s.X[100] = -5 * UNIT;
    s.X[400] = low;
    s.X[408] = high;
    return s;
  };
  PsychoSpectrum s = make(-8 * UNIT, -7 * UNIT);
  DropCloseTonalMaskers(s);
  EXPECT_EQ(List(s, s.tonalHead), std::vector<int>({100, 408}));
  EXPECT_EQ(s.X[400], LEVEL_FLOOR);
  s = make(-7 * UNIT, -7 * UNIT);
  DropCloseTonalMaskers(s);
  EXPECT_EQ(List(s, s.tonalHead), std::vector<int>({100, 400}));
  EXPECT_EQ(s.mark[408], 0);
}

TEST(NoiseMaskers, AvoidTonalLinesInsideTheirBand) {
  PsychoSpectrum s = FlatSpectrum(LEVEL_FLOOR);
  // An empty band puts its masker at its middle line: band 24 (329..432)
  // at 381, band 0 (1..2) at 2, its last line.
  s.mark[381] = TONAL;
  s.mark[2] = TONAL;
  FindNoiseMaskers(s);
  std::vector<int> noise = List(s, s.noiseHead);
  ASSERT_EQ(noise.size(), 25u);
  EXPECT_EQ(noise[0], 1);     // moved down from the band's last line
  EXPECT_EQ(noise[24], 382);  // moved up
  EXPECT_EQ(s.X[382], LEVEL_FLOOR);
  EXPECT_EQ(s.mark[382], NOISE);
  // Masker levels at the floor are below the threshold in quiet.
  DropInaudibleMaskers(s);
  EXPECT_TRUE(List(s, s.noiseHead).empty());
}

TEST(NoiseMaskers, SumTheBandAtItsWeightedPosition) {
  PsychoSpectrum s = FlatSpectrum(LEVEL_FLOOR);
  // Band 20 holds lines 137..160; equal power on its first and last line.
  s.X[137] = s.X[160] = -20 * UNIT;
  FindNoiseMaskers(s);
  std::vector<int> noise = List(s, s.noiseHead);
  ASSERT_EQ(noise.size(), 25u);
  int pos = noise[20];
  EXPECT_GT(pos, 137);
  EXPECT_LT(pos, 160);
  EXPECT_NEAR(s.X[pos] / double(UNIT), -19.0, 1e-5);
  EXPECT_EQ(s.X[137], pos == 137 ? s.X[pos] : LEVEL_FLOOR);
}

TEST(MaskingThreshold, ReachesFromThreeBarkBelowToJustUnderEightAbove) {
  const int32_t zc = 10 * UNIT;
  LogQ24 lt;
  EXPECT_TRUE(IndividualThreshold(-10 * UNIT, zc, zc - 3 * UNIT, true, &lt));
  EXPECT_FALSE(IndividualThreshold(-10 * UNIT, zc, zc - 3 * UNIT - 1, true, &lt));
  EXPECT_TRUE(IndividualThreshold(-10 * UNIT, zc, zc + 8 * UNIT - 1, false, &lt));
  EXPECT_FALSE(IndividualThreshold(-10 * UNIT, zc, zc + 8 * UNIT, false, &lt));
  // At the masker itself: the masking index only, 9 dB (tonal) or 5 dB
  // (noise) less 0.3 dB per Bark.
  ASSERT_TRUE(IndividualThreshold(-10 * UNIT, zc, zc, true, &lt));
  EXPECT_NEAR(lt / double(UNIT), -10 - (9 + 3.0) / 3.0103, 1e-3);
  ASSERT_TRUE(IndividualThreshold(-10 * UNIT, zc, zc, false, &lt));
  EXPECT_NEAR(lt / double(UNIT), -10 - (5 + 3.0) / 3.0103, 1e-3);
  // Falling 18 dB per Bark above up to 1 Bark.
  LogQ24 above;
  ASSERT_TRUE(IndividualThreshold(-10 * UNIT, zc, zc + UNIT / 2, false, &above));
  EXPECT_NEAR((lt - above) / double(UNIT), 9 / 3.0103, 1e-3);
}

TEST(MaskingThreshold, AMaskerExactlyEightBarkBelowAnEntryDoesNotReachIt) {
  // Entry 80 lies exactly 8.000 Bark above line 34; entry 79 a little less.
  ASSERT_EQ(ThrBark[80] - ThrBark[LineToThr[34]], 8 * UNIT);
  PsychoSpectrum s = FlatSpectrum(LEVEL_FLOOR);
  LogQ24 quiet[THR_ENTRIES + 1];
  GlobalMaskingThreshold(s, quiet);
  s.noiseHead = 34;
  s.link[34] = LIST_END;
  s.mark[34] = NOISE;
  s.X[34] = 2 * UNIT;  // loud enough to show over the threshold in quiet
  LogQ24 T[THR_ENTRIES + 1];
  GlobalMaskingThreshold(s, T);
  EXPECT_EQ(T[80], quiet[80]);
  EXPECT_GT(T[79], quiet[79]);
  EXPECT_GT(T[34], quiet[34] + 10 * UNIT);
  // Entries more than 3 Bark below the masker are out of reach too.
  int g = 1;
  while (ThrBark[g] < ThrBark[34] - 3 * UNIT) g++;
  EXPECT_EQ(T[g - 1], quiet[g - 1]);
  EXPECT_GT(T[g], quiet[g]);
}

TEST(PsychoModel, SilenceLeavesTheThresholdInQuiet) {
  Q24 u[PSYCHO_FFT_SIZE] = {};
  PsychoSpectrum s;
  PsychoFft(u, s.X);
  for (LogQ24 x : s.X) EXPECT_EQ(x, LEVEL_FLOOR);
  FindTonalMaskers(s);
  EXPECT_TRUE(List(s, s.tonalHead).empty());
  FindNoiseMaskers(s);
  DropInaudibleMaskers(s);
  EXPECT_TRUE(List(s, s.noiseHead).empty());

  LogQ24 T[THR_ENTRIES + 1];
  GlobalMaskingThreshold(s, T);
  LogQ24 expected[THR_ENTRIES + 1];
  for (int g = 1; g <= THR_ENTRIES; g++) {
    expected[g] = ThrQuiet[g] + static_cast<int32_t>(0xFC0380F2);
    EXPECT_EQ(T[g], expected[g]) << g;
  }
  LogQ24 ltMin[SBLIMIT];
  SubbandMinimumThreshold(expected, ltMin);
  Q24 both[2][PSYCHO_FFT_SIZE] = {};
  uint8_t scfMin[2][SBLIMIT];
  for (auto& i : scfMin[0]) i = 62;
  for (auto& i : scfMin[1]) i = 62;
  LogQ24 smr[2][SBLIMIT];
  PsychoModel(both, scfMin, smr);
  for (int sb = 0; sb < SBLIMIT; sb++) {
    EXPECT_EQ(smr[0][sb], ScfLevel[62] - ltMin[sb]) << sb;
    EXPECT_EQ(smr[1][sb], ScfLevel[62] - ltMin[sb]) << sb;
  }
}

TEST(PsychoModel, SubbandMinimumTakesTheEntriesOfItsLines) {
  LogQ24 T[THR_ENTRIES + 1];
  for (int g = 1; g <= THR_ENTRIES; g++) T[g] = g * 1000;
  // Make the last entry of each subband's lines its smallest.
  int lastEntry[SBLIMIT] = {};
  for (int g = 1; g <= THR_ENTRIES; g++) lastEntry[(ThrLine[g] - 1) / 16] = g;
  for (int sb = 0; sb < SBLIMIT; sb++) T[lastEntry[sb]] = -sb;
  LogQ24 ltMin[SBLIMIT];
  SubbandMinimumThreshold(T, ltMin);
  for (int sb = 0; sb < SBLIMIT; sb++) EXPECT_EQ(ltMin[sb], -sb) << sb;
}

// Each entry's threshold adds the individual thresholds of the maskers in
// reach, tonal then noise in list order, on every vector path.
TEST(MaskingThreshold, EveryPathAddsTheMaskersInReachInListOrder) {
  constexpr int32_t QUIET_OFFSET = static_cast<int32_t>(0xFC0380F2);  // -12 dB
  const VectorPath best = BestVectorPath();
  for (unsigned seed = 1; seed <= 3; seed++) {
    const PsychoSpectrum s = RandomMaskers(seed);
    LogQ24 expected[THR_ENTRIES + 1];
    for (int g = 1; g <= THR_ENTRIES; g++) {
      LogQ24 t = LEVEL_FLOOR;
      for (int head : {s.tonalHead, s.noiseHead}) {
        for (int c = head; c != LIST_END; c = s.link[c]) {
          LogQ24 lt;
          if (IndividualThreshold(s.X[c], ThrBark[LineToThr[c]], ThrBark[g], head == s.tonalHead, &lt))
            t = LogAddSquareRoots(t, lt);
        }
      }
      expected[g] = LogAddCubeRoots(t, SatAdd(ThrQuiet[g], QUIET_OFFSET));
    }
    for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      LogQ24 T[THR_ENTRIES + 1];
      GlobalMaskingThreshold(s, T);
      for (int g = 1; g <= THR_ENTRIES; g++) ASSERT_EQ(T[g], expected[g]) << "entry " << g << " path " << int(path);
    }
  }
  VectorPathInUse = best;
}

// Each band's sums add its lines that count in order, on every vector path,
// for two channels at once.
TEST(NoiseMaskers, EveryPathSumsEachBandsLinesInOrder) {
  const VectorPath best = BestVectorPath();
  for (unsigned seed = 1; seed <= 3; seed++) {
    PsychoSpectrum s[2] = {RandomMaskers(seed), RandomMaskers(seed + 10)};
    LogQ24 expected[2][2][CRIT_BANDS];
    std::mt19937 random(seed);
    for (int c = 0; c < 2; c++) {
      for (int k = 0; k <= PSYCHO_MAX_LINE; k++) {
        if (s[c].mark[k] == 0)
          s[c].X[k] = random() % 8 == 0 ? LEVEL_FLOOR : -20 * UNIT + static_cast<int32_t>(random() % (24u * UNIT));
      }
      for (int b = 0; b < CRIT_BANDS; b++) {
        expected[c][0][b] = expected[c][1][b] = LEVEL_FLOOR;
        for (int k = CritBandBounds[b]; k < CritBandBounds[b + 1]; k++) {
          if (s[c].mark[k] == TONAL || s[c].X[k] <= LEVEL_FLOOR) continue;
          expected[c][0][b] = LogAdd(expected[c][0][b], s[c].X[k]);
          expected[c][1][b] = LogAdd(expected[c][1][b], SatAdd(s[c].X[k], NoiseWeight[k]));
        }
      }
    }
    for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      LogQ24 sums[2][CRIT_BANDS];
      LogQ24 weighted[2][CRIT_BANDS];
      SumBands(s, 2, sums, weighted);
      for (int c = 0; c < 2; c++) {
        for (int b = 0; b < CRIT_BANDS; b++) {
          ASSERT_EQ(sums[c][b], expected[c][0][b]) << "band " << b << " channel " << c << " path " << int(path);
          ASSERT_EQ(weighted[c][b], expected[c][1][b]) << "band " << b << " channel " << c << " path " << int(path);
        }
      }
    }
  }
  VectorPathInUse = best;
}

// The windowed FFT input and the kept history are the same on every path,
// for samples up to full scale either way.
TEST(PsychoModel, EveryPathWindowsTheSameInput) {
  const VectorPath best = BestVectorPath();
  std::mt19937 random(8);
  std::vector<Q24> left(MPA_FRAME_SAMPLES);
  std::vector<Q24> right(MPA_FRAME_SAMPLES);
  for (Q24& x : left) x = static_cast<int32_t>(random() % (2u * UNIT + 1)) - UNIT;
  for (Q24& x : right) x = random() % 2 ? UNIT : -UNIT;
  const MpaEncoderState start = MpaEncoder;
  static Q24 expected[2][PSYCHO_FFT_SIZE];
  static Q24 u[2][PSYCHO_FFT_SIZE];
  for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
    if (path > best) continue;
    VectorPathInUse = path;
    MpaEncoder = start;
    Q24 (*out)[PSYCHO_FFT_SIZE] = path == VectorPath::Plain ? expected : u;
    PsychoPrepareInput(left.data(), right.data(), out);
    PsychoPrepareInput(right.data(), left.data(), out);  // over the first call's history
    if (path != VectorPath::Plain) {
      EXPECT_EQ(std::memcmp(u, expected, sizeof u), 0) << int(path);
    }
  }
  MpaEncoder = start;
  VectorPathInUse = best;
}
