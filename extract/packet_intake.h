// Video and audio packet intake: video PES payloads are copied unchanged into
// the output while a start-code scanner gives pictures their output PTS;
// PCM packets and AC-3 frames become 48 kHz stereo Q24 samples for the
// encoder. Both sides align the start of the audio with the first picture
// that carries a time stamp, after the start and after every
// resynchronisation.
//
// Output time: pictures count by their real durations from VideoBase, the
// time of the first picture of the current GOP (video_timing.h); input time
// stamps serve only to align audio and video where they (re)start.
#pragma once

#include <cstdint>

#include "common/q24.h"

constexpr int32_t PREROLL_LIMIT_SAMPLES = 4800;     // 0.1 s

struct TimeCandidate {
  bool hasPts = false;
  uint32_t pts = 0;
};

// The audio side of the intake, one per re-encoded track (AudioTrack).
struct AudioIntakeState {
  bool AudioStarted = false;
  uint32_t FirstAudioPts = 0;
  int32_t AvOffset = 0;           // >0 samples to drop, <0 silence to insert
  int32_t PreRollSamples = 0;
  bool PcmFound = false;
  int Ac3GatherState = 0;         // 0..5, kept across packets
  uint16_t ac3SyncWord = 0;       // the last two bytes met while looking for a sync word
  uint32_t ac3FrameBytes = 0;     // bytes after the fscod/frmsizecod byte
  uint32_t ac3Fill = 0;           // bytes gathered in the track's Ac3FrameBuffer
  uint32_t ac3Missing = 0;
};

// The video side, and what the audio tracks align to.
struct PacketIntakeState {
  uint32_t VideoBase = 22500;     // output time of the current GOP's first picture
  uint32_t GopFrames = 0;         // highest temporal_reference + 1 in the GOP
  bool GopSeen = false;
  bool VideoRefSet = false;
  uint32_t GopStartInputPts = 0;
  uint32_t RefVideoBase = 0;      // VideoBase of the GOP whose input time is GopStartInputPts
  int VideoScanState = 0;         // 0..5, kept across packets
  uint8_t held[6] = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00};  // 00 00 01 00 b0 b1
  TimeCandidate candidateA;       // packet of a candidate's first zero
  TimeCandidate candidateB;       // packet of its second zero
  uint8_t headerCode = 0;         // sequence header (B3) or extension (B5) whose first
  uint8_t headerBytes[4] = {};    // four bytes are taken as they pass
  uint32_t headerHave = 4;        // 4: none is wanted
};

extern PacketIntakeState Intake;

struct AudioTrack;

// A whole video PES packet (from its start code) and its total length. False
// only when the output refuses a pack or the encoder input fails.
bool VideoPacketIn(const uint8_t* packet, uint32_t length);

// A whole private stream 1 packet of the track's sub-stream. False only when
// handing samples on fails.
bool AudioPacketIn(AudioTrack& track, const uint8_t* packet, uint32_t length);

// The samples of the track's frames still with its decoder thread are handed
// on, in order: before anything else changes the track's audio. False as
// AudioPacketIn. AudioTracksCatchUp does it for every track.
bool AudioCatchUp(AudioTrack& track);
bool AudioTracksCatchUp();

// Start-code scanner back to its start state with nothing held.
void VideoScanReset();

// At a resynchronisation and at the end of the title: bytes held as a
// possible start code are appended as they are (they belong to the video
// stream) and the scanner restarts.
bool VideoScanRelease();

// Drops the track's AvOffset samples (the newest first), or inserts
// -AvOffset samples of silence.
bool ApplyAvOffset(AudioTrack& track);

// The AC-3 frame decoder the intake calls, with the track's decoder context;
// Ac3DecodeFrame unless a test puts a stand-in here.
struct Ac3DecoderState;
using Ac3FrameDecoderFunction = unsigned (*)(Ac3DecoderState& decoder, const uint8_t* data, uint32_t length,
                                             Q24* left, Q24* right);
extern Ac3FrameDecoderFunction Ac3FrameDecoder;
