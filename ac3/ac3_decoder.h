// Fixed-point AC-3 (ATSC A/52) decoder for 48 kHz streams: one sync frame
// becomes 1536 stereo Q24 samples.
#pragma once

#include <cstdint>

#include "common/q24.h"

struct Ac3DecoderState;

constexpr int AC3_FRAME_SAMPLES = 1536;  // per channel
constexpr int AC3_MAX_FRAME_BYTES = 2555;

// data points at the first BSI byte (bsid), just after the
// fscod/frmsizecod byte; length runs from there to the end of the sync frame:
// 2 * (frame size in words) - 5. Writes 1536 samples into left and right;
// returns 6 on success, 0 after a bit-stream error (the arrays then hold
// silence). Each decoded stream has a context of its own (decoder s); the
// form without one decodes with the first, Ac3Decoder.
unsigned Ac3DecodeFrame(Ac3DecoderState& s, const uint8_t* data, uint32_t length, Q24* left, Q24* right);
unsigned Ac3DecodeFrame(const uint8_t* data, uint32_t length, Q24* left, Q24* right);

// Starts a decoding run: clears the overlap rows, resets the dither register
// and the frame count, and keeps the dynamic range compression choice.
void Ac3Reset(Ac3DecoderState& s, bool dynamicCompression);
void Ac3Reset(bool dynamicCompression);

// True when a frame was decoded in this run; otherwise shows
// "No AC3 stream found!" and returns false.
bool ReportNoAc3Found(const Ac3DecoderState& s);
bool ReportNoAc3Found();

// Ac3DecodeFrame calls since the last reset, failed frames included.
int32_t Ac3FrameCount();

// Frame size in 16-bit words for fscod 0 (48 kHz) and frmsizecod 0..37.
uint32_t Ac3FrameWords48k(unsigned frmsizecod);
