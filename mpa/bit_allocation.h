// Greedy bit allocation: the subband with the smallest mask-to-noise ratio
// gets the next step while any step still fits.
#pragma once

#include "mpa/layer2_frame.h"

// Fills frame.alloc from frame.SMR and frame.scfsi, handing out at most
// bitsAvailable bits (FRAME_BITS_AVAILABLE for a frame); returns the bits left.
int AllocateBits(Layer2Frame& frame, int bitsAvailable);
