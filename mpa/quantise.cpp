#include "mpa/quantise.h"

#include "mpa/analysis_tables.h"
#include "common/vector_paths.h"
#include "mpa/vector_clones.h"

VECTOR_PATH_BODY void QuantiseFrameBody(Layer2Frame& frame) {
  for (int ch = 0; ch < 2; ch++) {
    // Each subband's scale factors and class side by side, so one time
    // step of all subbands is quantised at once. Unallocated subbands are
    // quantised as class 0 too but never written.
    int32_t sf[3][SBLIMIT];
    int32_t quantA[SBLIMIT];
    int32_t quantShift[SBLIMIT];
    for (int sb = 0; sb < SBLIMIT; sb++) {
      int a = frame.alloc[ch][sb];
      int c = a != 0 ? AllocClass[sb][a] : 0;
      quantA[sb] = QuantA[c];
      quantShift[sb] = QuantShift[c];
      for (int p = 0; p < 3; p++) sf[p][sb] = ScfTable[frame.scf[ch][p][sb]];
    }
    for (int t = 0; t < SUBBAND_SAMPLES; t++) {
      Q24* row = frame.SubbandSamples[ch][t];
      const int32_t* rowSf = sf[t / 12];
      for (int sb = 0; sb < SBLIMIT; sb++) row[sb] = QuantiseSample(row[sb], rowSf[sb], quantA[sb], quantShift[sb]);
    }
  }
}
VECTOR_PATH_VARIANTS(void, QuantiseFrame, (Layer2Frame& frame), (frame))
