// Working data of one frame, from the filter bank to the bit stream.
#pragma once

#include <cstdint>

#include "common/q24.h"
#include "mpa/layer2_tables.h"
#include "mpa/log_level.h"

constexpr int SUBBAND_SAMPLES = 36;  // per subband and frame
constexpr int FRAME_BITS_AVAILABLE = 9008;

struct Layer2Frame {
  // [ch][t][sb]; quantisation replaces subbands 0..26 by their codes.
  Q24 SubbandSamples[2][SUBBAND_SAMPLES][32];
  uint8_t scf[2][3][SBLIMIT];  // [ch][part][sb], 0..62
  uint8_t scfMin[2][SBLIMIT];  // smallest of the three before the select step
  LogQ24 SMR[2][SBLIMIT];
  uint8_t scfsi[2][SBLIMIT];
  uint8_t alloc[2][SBLIMIT];
};
