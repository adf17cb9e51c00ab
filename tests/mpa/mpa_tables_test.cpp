// The constant tables against the values the design quotes and against the
// standard's printed tables.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mpa/analysis_tables.h"
#include "mpa/layer2_tables.h"
#include "mpa/log_level.h"
#include "mpa/psycho_tables.h"

namespace {

std::vector<std::vector<double>> ReadRows(const std::string& name) {
  std::vector<std::vector<double>> rows;
  std::ifstream in(std::string(VOLTARK_SOURCE_DIR) + "/tools/standard_tables/" + name);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<double> row;
    double v;
    while (fields >> v) row.push_back(v);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

}  // namespace

TEST(MpaTables, FilterBankAndScaleFactorEntries) {
  EXPECT_EQ(AnalysisWindow[1], -8);
  EXPECT_EQ(AnalysisWindow[256], 600304);
  EXPECT_EQ(MatrixCosA[0][0], 11863283);
  EXPECT_EQ(MatrixCosB[0][1], -823218);
  for (int r = 0; r < 16; r++) EXPECT_EQ(MatrixCosB[r][0], 0);
  EXPECT_EQ(ScfTable[0], 0x2000000);
  EXPECT_EQ(ScfTable[3], 0x1000000);
  EXPECT_EQ(ScfTable[51], 255);
  EXPECT_EQ(ScfTable[54], 127);
  EXPECT_EQ(ScfTable[60], 31);
  EXPECT_EQ(ScfTable[62], 20);
  EXPECT_EQ(ScfTable[63], 0);
  for (int i = 1; i < 64; i++) EXPECT_LT(ScfTable[i], ScfTable[i - 1]) << i;
  // The window keeps the standard's symmetry.
  for (int i = 1; i < 512; i++) {
    int expected = i % 64 == 0 ? AnalysisWindow[i] : -AnalysisWindow[i];
    EXPECT_EQ(AnalysisWindow[512 - i], expected) << i;
  }
}

TEST(MpaTables, PsychoacousticEntries) {
  EXPECT_EQ(HannWindow[511], 26754);
  EXPECT_EQ(HannWindow[512], 26754);
  EXPECT_EQ(HannWindow[0], 0);
  EXPECT_EQ(NoiseWeight[1], -18638076);
  EXPECT_EQ(NoiseWeight[2], -1887012);
  EXPECT_EQ(NoiseWeight[9], -75060109);
  EXPECT_EQ(NoiseWeight[0], 0);
  EXPECT_EQ(ScfLevel[0], -22178274);
  EXPECT_EQ(ScfLevel[63], LEVEL_FLOOR);
  for (int i = 1; i < 63; i++) EXPECT_NEAR(ScfLevel[i - 1] - ScfLevel[i], 11184811, 1) << i;
  EXPECT_EQ(ThrLine[1], 1);
  EXPECT_EQ(ThrLine[126], 432);
  EXPECT_NEAR(ThrBark[1] / double(1 << 24), 0.463, 1e-6);
  EXPECT_NEAR(ThrQuiet[1] / double(1 << 24), -16.015, 5e-4);
  EXPECT_NEAR(ThrQuiet[115] / double(1 << 24), -7.411, 5e-4);
  EXPECT_EQ(ThrQuiet[126], ThrQuiet[115]);
  EXPECT_EQ(CritBandBounds[0], 1);
  EXPECT_EQ(CritBandBounds[25], 433);
  EXPECT_EQ(LineToThr[0], 0);
  for (int k = 1; k <= 432; k++) {
    int g = LineToThr[k];
    EXPECT_GE(ThrLine[g], k);
    if (g > 1) {
      EXPECT_LT(ThrLine[g - 1], k);
    }
  }
  for (int k = 0; k < 512; k++) {
    EXPECT_NEAR(FftCos[k], std::cos(2 * M_PI * k / 1024) * (1 << 24), 1.0);
    EXPECT_NEAR(FftSin[k], -std::sin(2 * M_PI * k / 1024) * (1 << 24), 1.0);
  }
  EXPECT_EQ(BitReverse[1], 512);
  EXPECT_EQ(BitReverse[0x2F5], 0x2BD);
}

TEST(MpaTables, ThresholdTableFollowsThePrintedTable) {
  auto rows = ReadRows("mpeg1_psy1_layer2_48k_threshold_table.txt");
  ASSERT_EQ(rows.size(), 126u);
  for (int g = 1; g <= 126; g++) {
    EXPECT_EQ(ThrLine[g], rows[g - 1][1]) << g;
    EXPECT_NEAR(ThrBark[g] / double(1 << 24), rows[g - 1][3], 1e-6) << g;
    double quiet = rows[g - 1][4] / (10 * std::log10(2.0)) - 30;
    EXPECT_NEAR(ThrQuiet[g] / double(1 << 24), quiet, 1e-6) << g;
  }
}

TEST(MpaTables, AllocationFollowsTable3B2a) {
  auto rows = ReadRows("mpeg1_layer2_alloc_table_b2a.txt");
  ASSERT_EQ(rows.size(), size_t(SBLIMIT));
  int nbalSum = 0;
  for (int sb = 0; sb < SBLIMIT; sb++) {
    EXPECT_EQ(NBal[sb], rows[sb][1]) << sb;
    EXPECT_EQ(MaxAlloc[sb], (1 << NBal[sb]) - 1);
    nbalSum += NBal[sb];
    for (int a = 1; a <= MaxAlloc[sb]; a++) {
      EXPECT_EQ(ClassLevels[AllocClass[sb][a]], rows[sb][2 + a]) << sb << " " << a;
    }
  }
  EXPECT_EQ(nbalSum, 88);
}

TEST(MpaTables, QuantisationClassesFollowTable3B4) {
  auto rows = ReadRows("mpeg1_layer2_quant_classes.txt");
  ASSERT_EQ(rows.size(), size_t(QUANT_CLASSES));
  for (int c = 0; c < QUANT_CLASSES; c++) {
    int levels = static_cast<int>(rows[c][0]);
    bool grouped = rows[c][3] != 0;
    int n = 0;
    while ((1 << n) < levels) n++;
    EXPECT_EQ(ClassLevels[c], levels);
    EXPECT_EQ(ClassGroup[c], grouped ? levels : 0);
    EXPECT_EQ(ClassCodeBits[c], rows[c][5]);
    EXPECT_EQ(ClassBits[c], (grouped ? 12 : 36) * ClassCodeBits[c]);
    EXPECT_EQ(QuantA[c], static_cast<int32_t>((int64_t(levels) << 24) >> n));
    EXPECT_EQ(QuantShift[c], 25 - n);
  }
}
