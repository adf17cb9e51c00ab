// The encoder threads: each turns its track's submitted pairs of
// 1152-sample buffers into Layer II frames, in the places the multiplexer
// gave those frames when the pairs were submitted. They write nothing: the
// multiplexer writes a frame once it is there. One thread per re-encoded
// track, from EncoderStart to EncoderStop, with the worker (the walk) and
// the output writer beside them.
#pragma once

#include <cstdint>

#include "common/q24.h"

// Resets each track's hand-off flags, events and frame count and starts its
// thread, and with several tracks the decoder threads. False (after message
// 174, with none left running) when a thread cannot be started.
bool EncoderStart();

struct AudioTrack;
int EncoderThread(AudioTrack& track);

// The frame encoder the threads call, with the track's encoder context;
// EncodeFrame unless a test puts a stand-in here before EncoderStart.
struct MpaEncoderState;
using FrameEncoderFunction = void (*)(MpaEncoderState& encoder, const Q24* left, const Q24* right, uint8_t* out);
extern FrameEncoderFunction FrameEncoder;
