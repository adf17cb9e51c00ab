// Fixed-point MPEG-1 Layer II encoder: 48 kHz, 384 kbit/s, stereo.
#pragma once

#include <cstdint>

#include "common/q24.h"

constexpr int MPA_FRAME_SAMPLES = 1152;  // per channel
constexpr int MPA_FRAME_BYTES = 1152;    // 384 kbit/s at 48 kHz, no padding

// Encodes 1152 Q24 samples per channel into one 1152-byte frame. Updates the
// analysis and psychoacoustic histories: frames must come in order and from
// one stream: each stream has an encoder context of its own (the form
// without one uses the first, MpaEncoder). Samples beyond full scale
// (+-1.0) are clipped to it.
struct MpaEncoderState;
void EncodeFrame(MpaEncoderState& encoder, const Q24* left, const Q24* right, uint8_t* out);
void EncodeFrame(const Q24* left, const Q24* right, uint8_t* out);
