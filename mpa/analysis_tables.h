// Constant tables of the analysis filter bank and the scale factors.
#pragma once

#include <cstdint>

// Analysis window coefficients C[0..511] times 2^24.
extern const int32_t AnalysisWindow[512];
// Folded matrixing: [r][m] = 2^24 cos((2r + 1)(m - 16) pi / 64) and
// 2^24 cos((2r + 1)(m + 32) pi / 64).
extern const int32_t MatrixCosA[16][16];
extern const int32_t MatrixCosB[16][16];
// Layer II scale factors 0..62 in Q24; entry 63 = 0 ends the table.
extern const int32_t ScfTable[64];
