// With several re-encoded tracks, each AC-3 track decodes on a thread of its
// own, up to DECODE_AHEAD_FRAMES frames ahead of the walk. The walk gathers
// a frame, hands it to the track's decoder thread and goes on; it takes the
// decoded samples back in order, when the ring of slots is full or before
// anything else changes the track's audio (a break, a clock step, the video
// reference, the end), so that every track sees the same steps in the same
// order as when the walk decoded the frame itself. One re-encoded
// track decodes on the walk, beside its encoder thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "ac3/ac3_decoder.h"
#include "common/q24.h"
#include "platform/auto_reset_event.h"
#include "report/messages.h"

constexpr uint32_t DECODE_AHEAD_FRAMES = 64;
// The thread sleeps until this many frames wait for it (or the walk waits
// for one): woken for every frame, it would cost a sleep and a wake-up each.
constexpr uint32_t DECODE_BATCH_FRAMES = DECODE_AHEAD_FRAMES / 2;

// One frame on its way through the decoder thread.
struct DecodeSlot {
  uint8_t frame[AC3_MAX_FRAME_BYTES];
  uint32_t length = 0;
  VobPosition position;       // where the walk had gathered the frame
  HeldDetailErrors errors;    // what decoding it found wrong, shown by the walk
  Q24 left[AC3_FRAME_SAMPLES];
  Q24 right[AC3_FRAME_SAMPLES];
};

struct TrackDecoderState {
  // DECODE_AHEAD_FRAMES slots, made when the track's thread first starts:
  // an extraction of one track never touches their megabyte.
  std::unique_ptr<DecodeSlot[]> slots;
  uint32_t taken = 0;                // walk: frames whose samples it took back
  std::atomic<uint32_t> submitted{0};  // frames handed to the thread
  std::atomic<uint32_t> decoded{0};    // frames the thread has decoded
  // The frame the walk waits for, and the submission the thread waits for
  // (NOT_WAITING: none): each signals the other only for that one.
  std::atomic<uint32_t> walkWaitsFor{0};
  std::atomic<uint32_t> threadWaitsFor{0};
  std::atomic<bool> stopRequest{false};
  AutoResetEvent FrameSubmitted;     // or a stop requested
  AutoResetEvent FrameDecoded;
  std::thread thread;
};

struct AudioTrack;

// Starts a decoder thread for each AC-3 track when more than one track is
// re-encoded; false (with none left running) when a thread or its slots
// cannot be had. TrackDecodersStop ends them; frames not taken back are dropped.
bool TrackDecodersStart();
void TrackDecodersStop();

// True while the track decodes on its own thread.
inline bool DecodesAhead(const TrackDecoderState& d) { return d.thread.joinable(); }
// Frames handed to the track's thread whose samples the walk has not taken.
inline uint32_t FramesAhead(const TrackDecoderState& d) { return d.submitted.load() - d.taken; }
// Hands a frame of length bytes (as Ac3DecodeFrame takes it) to the track's
// thread; FramesAhead must be below DECODE_AHEAD_FRAMES.
void DecodeAheadSubmit(AudioTrack& track, const uint8_t* frame, uint32_t length);
// The oldest frame not taken back, once decoded (FramesAhead must not be
// 0); DecodeAheadRelease gives its slot back to the thread.
DecodeSlot& DecodeAheadOldest(AudioTrack& track);
void DecodeAheadRelease(AudioTrack& track);
