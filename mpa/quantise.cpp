#include "mpa/quantise.h"

#include "mpa/analysis_tables.h"
#include "mpa/log_level.h"

int32_t QuantiseSample(Q24 x, int32_t sf, int c) {
  // Within full scale |x| < 2.0 (2^25), so the quick exact division serves.
  int32_t u = x > -0x4000000 && x < 0x4000000 ? DivQ24Small(x, sf) : DivQ24(x, sf);
  int32_t v = WrapAdd(u, 0x1000000);
  return MulQ24(v, QuantA[c]) >> QuantShift[c];
}

void QuantiseFrame(Layer2Frame& frame) {
  // Unallocated subbands are never written, so they are left alone.
  for (int ch = 0; ch < 2; ch++) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      int a = frame.alloc[ch][sb];
      if (a == 0) continue;
      int c = AllocClass[sb][a];
      for (int p = 0; p < 3; p++) {
        int32_t sf = ScfTable[frame.scf[ch][p][sb]];
        for (int t = 12 * p; t < 12 * p + 12; t++) {
          Q24& x = frame.SubbandSamples[ch][t][sb];
          x = QuantiseSample(x, sf, c);
        }
      }
    }
  }
}
