// The encoder thread: turns each submitted pair of 1152-sample buffers into
// one Layer II frame, in the place the multiplexer gave that frame when the
// pair was submitted. It writes nothing: the multiplexer writes the frame
// once it is there. One thread per extraction, from EncoderStart to
// EncoderStop.
#pragma once

#include <cstdint>

#include "common/q24.h"

// Resets the hand-off flags, events and frame count and starts the thread.
// False (after message 174) when the thread cannot be started.
bool EncoderStart();

int EncoderThread();

// The frame encoder the thread calls; EncodeFrame unless a test puts a
// stand-in here before EncoderStart.
using FrameEncoderFunction = void (*)(const Q24* left, const Q24* right, uint8_t* out);
extern FrameEncoderFunction FrameEncoder;
