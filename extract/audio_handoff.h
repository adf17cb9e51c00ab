// The worker's side of the audio hand-off of one re-encoded track: samples
// in blocks of any length are collected into the track's ENC_PAIRS pairs of
// 1152-sample buffers, filled and submitted to the track's encoder thread
// in turn (0, 1, .. ENC_PAIRS - 1, 0, ..). Each track has its own pairs,
// flags, events and thread: the worker waits for a track only when that
// track's pairs are all submitted.
//
// The worker writes only into pair EncCurrent, and only while its EncBusy
// flag is clear; the encoder thread reads only pairs whose flag is set.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "common/q24.h"
#include "platform/auto_reset_event.h"
#include "platform/work_buffers.h"

struct AudioHandoffState {
  int EncCurrent = 0;          // pair the worker fills
  uint32_t EncFill = 0;        // samples per channel already in it
  uint32_t SkipSamples = 0;    // incoming samples still to be discarded
  std::atomic<bool> EncBusy[ENC_PAIRS] = {};  // submitted, not yet packed
  std::atomic<bool> EncoderStopRequest{false};
  AutoResetEvent EncoderWake;  // a pair was submitted or a stop requested
  AutoResetEvent EncoderDone;  // a pair the worker waits for was released, or a state change
  // The release the worker waits for: a pair, ANY_PAIR (every release) or
  // NO_PAIR. The encoder signals EncoderDone only for that one, so that a
  // worker waiting for a batch of pairs is not woken for each.
  std::atomic<int> WorkerWaitsFor{-1};
  // The same for the encoder: the submission it waits for (a pair, ANY_PAIR
  // or NO_PAIR); the worker signals EncoderWake only for that one. While
  // the worker itself waits for the encoder, EncoderDrain has it take every
  // pair as soon as it is submitted.
  std::atomic<int> EncoderWaitsFor{-1};
  std::atomic<bool> EncoderDrain{false};
  // Frames encoded since the extraction's first frame: the encoder puts
  // frame k where the multiplexer placed it (MuxLayer2FrameSlot).
  std::atomic<uint64_t> FramesEncoded{0};
  std::thread thread;
};

struct AudioTrack;

// Hands n samples per channel on; false once the encoder thread has failed.
bool PcmAppend(AudioTrack& track, const Q24* left, const Q24* right, uint32_t n);
// Removes n samples per channel: the newest not yet submitted first, then
// the ones that arrive next. Submitted samples are never taken back.
void PcmDrop(AudioTrack& track, uint32_t n);
// Appends n silent samples per channel, at most MAX_SILENCE_SAMPLES; false
// as PcmAppend.
constexpr uint32_t MAX_SILENCE_SAMPLES = 60 * 48000;
bool PcmInsertSilence(AudioTrack& track, uint32_t n);

// Queues the current pair's frame in the multiplexer, submits the pair and
// switches pairs; false when the output refused a pack or the encoder
// failed.
bool EncoderSubmit(AudioTrack& track);
// Waits until no pair is busy, then ends the track's encoder thread; the
// form without a track ends every track's, and the decoder threads.
void EncoderStop(AudioTrack& track);
void EncoderStop();
// True while any pair of the track is submitted and not yet packed.
bool EncoderBusy(const AudioTrack& track);
// Waits until no pair of the track (of any track) is busy.
void WaitEncoderIdle(AudioTrack& track);
void WaitEncoderIdle();
constexpr int NO_PAIR = -1;
constexpr int ANY_PAIR = ENC_PAIRS;
// Returns once done() holds, woken by the release of the hand-off's pair
// wakeAt (or by every release: ANY_PAIR) and by state changes. done() must
// read what the encoder thread writes before a release (EncBusy,
// FramesEncoded).
// An encoder waiting for a batch of pairs takes the ones there are while
// the worker waits (on) and until it goes on (off): this one's, and every
// other track's, which the waiting worker cannot give a batch either.
void DrainEncoders(AudioHandoffState& handoff, bool on);
template <typename Done>
void AwaitEncoder(AudioHandoffState& handoff, int wakeAt, Done done) {
  handoff.WorkerWaitsFor = wakeAt;
  DrainEncoders(handoff, true);
  while (!done()) EventWait(handoff.EncoderDone);
  DrainEncoders(handoff, false);
  handoff.WorkerWaitsFor = NO_PAIR;
}
// The pair submitted after pair i.
inline int NextPair(int i) { return i + 1 < ENC_PAIRS ? i + 1 : 0; }

// End of an extraction: the video bytes the start-code scanner holds are
// appended, one frame of silence ends each track's audio, the encoder
// threads are stopped and every stream of the multiplexer ends: its last packs are
// closed and everything is written. False when the output or the encoder
// failed.
bool MuxFinish();
