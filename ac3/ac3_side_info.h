// Parse of the bit stream information and of each audio block's side
// information, with the checks that end a frame.
#pragma once

#include "ac3/ac3_state.h"

// Reads the bit stream information; only acmod and lfeon are kept.
void Ac3ReadBsi(Ac3FrameState& f);

// Reads the side information of block f.block. Returns 0, or the message id
// of the first failing check. newAllocation tells whether anything the bit
// allocation depends on was sent.
unsigned Ac3ReadBlockSideInfo(Ac3FrameState& f, bool* newAllocation);
