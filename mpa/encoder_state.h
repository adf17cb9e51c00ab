// The encoder's state that outlives a frame: the filter bank's and the
// psychoacoustic model's input histories, and the bit writer of the frame
// being written. One context per encoded stream, used by its encoder thread
// only. Zero at program start and at the start of every extraction
// (MpaEncoderReset), so that an extraction never begins with the tail of
// the one before it.
#pragma once

#include "common/q24.h"
#include "mpa/bit_writer.h"

struct MpaEncoderState {
  Q24 AnalysisHistory[2][512];  // ring of the newest 512 samples per channel
  int AnalysisPos;              // where the next 32 samples go, multiple of 32
  Q24 PsychoHistory[2][192];    // last 192 samples of the previous frame
  BitWriterState bitWriter;
};

// The first context: the single-stream tools' and the one the functions
// without a context argument use (tests reset it to zero between cases).
extern MpaEncoderState MpaEncoder;

// Back to silence before any frame is encoded; called while the encoder
// thread has no frame to encode.
void MpaEncoderReset(MpaEncoderState& e);
void MpaEncoderReset();
