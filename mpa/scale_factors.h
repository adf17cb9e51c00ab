// Scale factor indices of the subband samples and their select information.
#pragma once

#include <cstdint>

#include "mpa/layer2_frame.h"

// The largest index i in 0..62 with ScfTable[i] > v (v >= 0).
int ScfIndex(int32_t v);

// Index of each part of 12 samples, and the smallest of the three.
void FindScaleFactors(Layer2Frame& frame);

// Chooses the select information of one subband from its three indices
// and makes the shared indices equal.
int SelectScfsi(uint8_t* scf0, uint8_t* scf1, uint8_t* scf2);

// SelectScfsi for every channel and coded subband.
void SelectScaleFactors(Layer2Frame& frame);
