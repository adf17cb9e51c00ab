// Quantisation of the subband samples by their scale factors and classes.
#pragma once

#include "mpa/layer2_frame.h"

// Code of one sample x scaled by sf in class c: about levels(x/sf + 1)/2,
// 0..levels - 1 for |x| < sf.
int32_t QuantiseSample(Q24 x, int32_t sf, int c);

// Replaces the samples of every allocated subband by their codes.
void QuantiseFrame(Layer2Frame& frame);
