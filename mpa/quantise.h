// Quantisation of the subband samples by their scale factors and classes.
#pragma once

#include "mpa/layer2_frame.h"
#include "mpa/log_level.h"
#include "mpa/vector_clones.h"

// Code of one sample x scaled by sf in class c: about levels(x/sf + 1)/2,
// 0..levels - 1. Needs |x| < sf, which the scale factor choice guarantees
// for input within full scale (every sf is at most 2.0, so DivQ24Small is
// exact here).
inline int32_t QuantiseSample(Q24 x, int32_t sf, int32_t quantA, int32_t quantShift) {
  int32_t v = WrapAdd(DivQ24Small(x, sf), 0x1000000);
  // MulQ24Lanes: MulQ24 without a 64-bit arithmetic shift, which AVX2 lacks.
  return MulQ24Lanes(v, quantA) >> quantShift;
}

// Replaces the samples of every allocated subband by their codes.
void QuantiseFrame(Layer2Frame& frame);
