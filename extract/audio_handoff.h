// The worker's side of the audio hand-off: samples in blocks of any length
// are collected into two alternating pairs of 1152-sample buffers and each
// full pair is submitted to the encoder thread.
//
// The worker writes only into pair EncCurrent, and only while its EncBusy
// flag is clear; the encoder thread reads only pairs whose flag is set.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "common/q24.h"
#include "platform/auto_reset_event.h"

struct AudioHandoffState {
  int EncCurrent = 0;          // pair the worker fills
  uint32_t EncFill = 0;        // samples per channel already in it
  uint32_t SkipSamples = 0;    // incoming samples still to be discarded
  std::atomic<bool> EncBusy[2] = {false, false};  // submitted, not yet packed
  std::atomic<bool> EncoderStopRequest{false};
  std::atomic<bool> EncoderOk{false};
  AutoResetEvent EncoderWake;  // a pair was submitted or a stop requested
  AutoResetEvent EncoderDone;  // a pair was released, or a state change
  std::thread thread;
};

extern AudioHandoffState Handoff;

// Hands n samples per channel on; false once the encoder thread has failed.
bool PcmAppend(const Q24* left, const Q24* right, uint32_t n);
// Removes n samples per channel: the newest not yet submitted first, then
// the ones that arrive next. Submitted samples are never taken back.
void PcmDrop(uint32_t n);
// Appends n zero samples per channel; false as PcmAppend.
// Appends n silent samples per channel, at most MAX_SILENCE_SAMPLES.
constexpr uint32_t MAX_SILENCE_SAMPLES = 60 * 48000;
bool PcmInsertSilence(uint32_t n);

// Submits the current pair and switches pairs; returns EncoderOk.
bool EncoderSubmit();
// Waits until no pair is busy, then ends the encoder thread.
void EncoderStop();
// Waits until neither pair is busy. Never called while holding MuxMutex.
void WaitEncoderIdle();

// End of an extraction: the video bytes the start-code scanner holds are
// appended, one frame of silence ends the audio, the encoder thread is
// stopped and the last audio and video packs are closed and written. False
// when the output or the encoder failed.
bool MuxFinish();
