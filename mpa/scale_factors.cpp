#include "mpa/scale_factors.h"

#include "mpa/analysis_tables.h"
#include "common/vector_paths.h"
#include "mpa/mulq24_avx2.h"
#include "mpa/vector_clones.h"

int ScfIndex(int32_t v) {
  int b = 32;
  for (int s = 16; s >= 1; s >>= 1) b += v < ScfTable[b] ? s : -s;
  if (v >= ScfTable[b]) b--;
  return b;
}

// One channel's indices of its three parts into the frame, with the
// smallest of each subband.
VECTOR_PATH_BODY void TakeScaleFactors(Layer2Frame& frame, int ch, const int32_t (*index)[32]) {
  for (int sb = 0; sb < SBLIMIT; sb++) {
    int32_t smallest = 63;
    for (int p = 0; p < 3; p++) {
      frame.scf[ch][p][sb] = static_cast<uint8_t>(index[p][sb]);
      smallest = index[p][sb] < smallest ? index[p][sb] : smallest;
    }
    frame.scfMin[ch][sb] = static_cast<uint8_t>(smallest);
  }
}

VECTOR_PATH_BODY void FindScaleFactorsBody(Layer2Frame& frame) {
  for (int ch = 0; ch < 2; ch++) {
    int32_t peak[3][32] = {};
    for (int p = 0; p < 3; p++) {
      for (int t = 12 * p; t < 12 * p + 12; t++) {
        const Q24* row = frame.SubbandSamples[ch][t];
        for (int sb = 0; sb < 32; sb++) {
          // The magnitude of -2^31 stays negative and never wins.
          int32_t x = row[sb];
          int32_t magnitude = x < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(x)) : x;
          peak[p][sb] = magnitude > peak[p][sb] ? magnitude : peak[p][sb];
        }
      }
    }
    // ScfIndex of every peak at once: the entries 1..63 of the falling
    // table above the peak, counted (a binary search per peak waited on
    // each of its steps).
    int32_t index[3][32] = {};
    for (int b = 1; b < 64; b++) {
      for (int p = 0; p < 3; p++) {
        for (int sb = 0; sb < 32; sb++) index[p][sb] += peak[p][sb] < ScfTable[b];
      }
    }
    TakeScaleFactors(frame, ch, index);
  }
}

#if VECTOR_PATHS_BUILT
namespace {

// The falling table's entries 1..63 above a peak, in two steps: the
// entries 8, 16, ..., 56 above it give the block of eight (c) where the
// count ends, then the entries 8c + 1 .. 8c + 7 are picked per lane from
// fine[k] = entries k, 8 + k, ..., 56 + k.
struct ScfBlocks {
  alignas(32) int32_t fine[8][8];
  ScfBlocks() {
    for (int k = 0; k < 8; k++) {
      for (int c = 0; c < 8; c++) fine[k][c] = ScfTable[8 * c + k];
    }
  }
};

AVX2_INLINE __m256i ScfIndexAvx2(__m256i peak) {
  static const ScfBlocks blocks;
  // A comparison that holds is -1: each one subtracted counts.
  __m256i c = _mm256_setzero_si256();
  for (int j = 1; j < 8; j++) c = _mm256_sub_epi32(c, _mm256_cmpgt_epi32(_mm256_set1_epi32(ScfTable[8 * j]), peak));
  __m256i index = _mm256_slli_epi32(c, 3);
  for (int k = 1; k < 8; k++) {
    const __m256i entry = _mm256_permutevar8x32_epi32(LoadAvx2(blocks.fine[k]), c);
    index = _mm256_sub_epi32(index, _mm256_cmpgt_epi32(entry, peak));
  }
  return index;
}

}  // namespace

// The same indices with AVX2: its eight lanes would take 63 comparisons
// each where x86-64-v4 takes sixteen lanes.
__attribute__((target("avx2,fma,bmi2"))) static void FindScaleFactorsAvx2(Layer2Frame& frame) {
  for (int ch = 0; ch < 2; ch++) {
    alignas(32) int32_t index[3][32];
    for (int p = 0; p < 3; p++) {
      for (int v = 0; v < 32; v += 8) {
        // The magnitude of -2^31 stays negative and never wins.
        __m256i peak = _mm256_setzero_si256();
        for (int t = 12 * p; t < 12 * p + 12; t++) {
          peak = _mm256_max_epi32(peak, _mm256_abs_epi32(LoadUnalignedAvx2(&frame.SubbandSamples[ch][t][v])));
        }
        StoreAvx2(&index[p][v], ScfIndexAvx2(peak));
      }
    }
    TakeScaleFactors(frame, ch, index);
  }
}
#endif
VECTOR_PATH_VARIANTS_OWN_AVX2(void, FindScaleFactors, (Layer2Frame& frame), (frame))

namespace {

int DifferenceClass(int d) {
  if (d <= -3) return 0;
  if (d <= -1) return 1;
  if (d == 0) return 2;
  if (d <= 2) return 3;
  return 4;
}

}  // namespace

int SelectScfsi(uint8_t* scf0, uint8_t* scf1, uint8_t* scf2) {
  int pattern = ScfsiPattern[DifferenceClass(*scf0 - *scf1)][DifferenceClass(*scf1 - *scf2)];
  // Each shared index is the smaller (louder) one, so no sample outgrows it.
  switch (pattern) {
    case 0:
      *scf1 = *scf2 = *scf0;
      return 2;
    case 1:
      *scf1 = *scf0;
      return 1;
    case 2:
      *scf2 = *scf1;
      return 3;
    case 3:
      return 0;
    case 4:
      *scf1 = *scf2;
      return 3;
    case 5:
      *scf0 = *scf2 = *scf1;
      return 2;
    case 6:
      *scf0 = *scf1 = *scf2;
      return 2;
    default: {  // 7
      uint8_t shared = *scf2 < *scf0 ? *scf2 : *scf0;
      *scf0 = *scf1 = *scf2 = shared;
      return 2;
    }
  }
}

void SelectScaleFactors(Layer2Frame& frame) {
  for (int ch = 0; ch < 2; ch++) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      frame.scfsi[ch][sb] = static_cast<uint8_t>(
          SelectScfsi(&frame.scf[ch][0][sb], &frame.scf[ch][1][sb], &frame.scf[ch][2][sb]));
    }
  }
}
