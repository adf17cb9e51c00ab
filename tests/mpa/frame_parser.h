// Reads a Layer II frame of this encoder back into its fields, so tests can
// check the bit stream independently of the writer.
#pragma once

#include <cstdint>

#include "mpa/layer2_tables.h"

struct ParsedFrame {
  int alloc[2][SBLIMIT];
  int scfsi[2][SBLIMIT];
  int scf[2][3][SBLIMIT];       // as transmitted, expanded to three parts
  uint32_t codes[2][36][SBLIMIT];  // sample codes, ungrouped
  int bitsUsed;                 // header included
  bool codesInRange;            // every code below its class's levels
};

// Parses the 1152-byte frame; false when the header is not FF FD E4 00 or
// the fields run past the frame.
bool ParseFrame(const uint8_t* frame, ParsedFrame& parsed);
