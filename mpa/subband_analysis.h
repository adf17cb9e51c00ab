// The 32-band polyphase analysis filter bank in Q24.
#pragma once

#include "common/q24.h"
#include "mpa/layer2_frame.h"

// Filters one frame (1152 samples per channel) into the frame's 36 x 32
// subband samples per channel. Runs the analysis history of encoder e on
// (of MpaEncoder without it).
struct MpaEncoderState;
void SubbandAnalysis(MpaEncoderState& e, const Q24* left, const Q24* right,
                     Q24 (*subbandSamples)[SUBBAND_SAMPLES][32]);
void SubbandAnalysis(const Q24* left, const Q24* right, Q24 (*subbandSamples)[SUBBAND_SAMPLES][32]);

// One step of the filter bank for one channel: 32 subband samples from the
// 512-sample history whose newest sample sits at (pos + 511) mod 512.
void AnalyseStep(const Q24* history, int pos, Q24* out);

// The 32 x 64 cosine matrixing of the 64 partial sums y, folded onto two
// 16 x 16 tables.
void FoldedMatrixing(const int32_t* y, Q24* out);
