// Audio tracks kept as the disc has them (AC-3, DTS, LPCM, MPEG audio): each
// has a context of its own that cuts its packets' payload into frames, gives
// every frame its input time (the packet's PTS for the first frame that
// starts in it, the frames before it counted on from there) and hands the
// frames to the multiplexer at their output time.
//
// Output time is the video's (time_mapping.h). Frames that arrive before
// the tie of their stretch of input clock is known (before the first
// picture, after a clock reset) wait for it; none is dropped, and a gap in
// the input times stays a gap.
#pragma once

#include <cstdint>
#include <vector>

#include "extract/audio_frame_header.h"

constexpr uint32_t MAX_KEPT_TRACKS = 32;

struct KeptTrackRequest {
  KeptFormat format = KeptFormat::Ac3;
  uint8_t inputId = 0;   // sub-stream id (private stream 1), or the MPEG audio stream id
  uint8_t outputId = 0;  // the same, numbered for the output
  uint32_t rank = 0;     // its place in the output order (the video is 0)
};

struct KeptFrame {
  uint64_t start = 0;  // in the track's payload bytes
  uint32_t bytes = 0;
  uint32_t ticks = 0;
  uint32_t inputPts = 0;
  bool timed = false;
};

// A packet's PTS, for the first frame that starts in [from, to).
struct FrameTimeMark {
  uint64_t from = 0;
  uint64_t to = 0;
  uint32_t pts = 0;
};

struct KeptTrack {
  KeptTrackRequest request;
  uint32_t muxStream = 0;     // its unit stream in the multiplexer
  std::vector<uint8_t> ring;  // the multiplexer's payload ring of the stream
  std::vector<uint8_t> bytes; // payload not yet handed on, from byte `base`
  uint64_t base = 0;
  uint64_t taken = 0;         // payload bytes taken in
  uint64_t cursor = 0;        // where the next frame starts, once synced
  bool synced = false;
  std::vector<FrameTimeMark> marks;
  std::vector<KeptFrame> held;  // cut, waiting for their output time
  bool chainTimed = false;      // the next frame's input time follows from the last
  uint32_t nextInputPts = 0;
  uint8_t lpcmParameters[3] = {};
  AudioFrameSize lpcmFrame;
  uint32_t lastOutputEnd = 0;   // output time after the last frame handed on
  uint64_t framesOut = 0;
};

struct KeptAudioState {
  std::vector<KeptTrackRequest> requests;  // set by the front end before the worker runs
  KeptTrack tracks[MAX_KEPT_TRACKS];
  uint32_t count = 0;
};

extern KeptAudioState KeptAudio;

// Start of an extraction: one context per requested track, nothing held.
void KeptAudioReset();

// The multiplexer's plan of one unit stream per kept track (before pack 0).
void KeptAudioPlanStreams();

// The kept request (its index) that takes packets of an MPEG audio stream
// id, or of a private stream 1 sub-stream id; -1 for none.
int KeptRequestOf(bool privateStream, uint8_t id);
// The track whose packets carry this stream (0xC0.. MPEG audio) or
// private stream 1 sub-stream id; null when it is not kept.
KeptTrack* KeptTrackOfStream(uint8_t streamId);
KeptTrack* KeptTrackOfSubStream(uint8_t subStreamId);

// A whole PES packet of the track. False only when the output refuses a pack.
bool KeptPacketIn(KeptTrack& track, const uint8_t* packet, uint32_t length);

// The tie of the current stretch is set: frames held are handed on. False
// on a refused pack.
bool KeptAudioTimeKnown();

// The input clock stepped (called before the tie is broken): frames of the
// stretch before it go on with its tie, later frames wait for the next one.
// False on a refused pack.
bool KeptAudioClockStep();

// End of the title: frames still held go with the last offset known (or,
// with none, the output's first time). False on a refused pack.
bool KeptAudioFinish();
