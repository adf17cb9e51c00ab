// The Layer II bit stream of one frame.
#pragma once

#include <cstdint>

#include "mpa/bit_writer.h"
#include "mpa/layer2_frame.h"

constexpr uint8_t FRAME_HEADER[4] = {0xFF, 0xFD, 0xE4, 0x00};

// Writes header, allocation, select information, scale factors and the
// sample codes into out[0..1151] and pads it with zeros. Returns false (and
// has shown "MPEG: buffer overflow") when the coded data did not fit.
// Writes through writer (BitWriter without it).
bool WriteFrame(const Layer2Frame& frame, uint8_t* out, BitWriterState& writer);
bool WriteFrame(const Layer2Frame& frame, uint8_t* out);
