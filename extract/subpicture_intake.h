// Sub-picture intake: the packets of the kept sub-picture streams, their
// time stamps moved to output time (time_mapping.h), gathered as the
// program stream of a VobSub .sub file, with one event per subtitle for
// the .idx.
//
// A packet met before the tie of input and output time is known waits for
// it. A subtitle whose time falls before the first picture of the output
// is left out with the packets that continue it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t SUBPICTURE_HELD_LIMIT = 512;  // packets waiting for the tie, at most
constexpr uint32_t SUBPICTURE_BUFFER_BYTES = 53248;  // a DVD player's sub-picture buffer
constexpr uint32_t SUBPICTURE_RING_BYTES = 256 * 1024;  // per stream, units not yet written
constexpr uint32_t MUXED_SUBPICTURE_STREAMS = 32;  // every sub-picture stream a DVD can hold

struct SubtitleEvent {
  int stream = 0;          // index among the kept streams
  uint32_t outputPts = 0;  // output time of the subtitle
  uint64_t filepos = 0;    // its first pack in the .sub
};

struct HeldSubpicture {
  int stream = 0;
  std::vector<uint8_t> packet;
};

struct SubpictureIntakeState {
  std::vector<HeldSubpicture> held;
  std::vector<uint8_t> subFile;  // whole 2048-byte packs
  std::vector<SubtitleEvent> events;
  std::vector<bool> open;        // per stream: a subtitle is being gathered (not left out)
  std::vector<uint32_t> lastPts; // per stream: time of the subtitle being gathered
  // The program stream's copy: each sub-picture unit gathered whole, then
  // queued in the multiplexer's unit stream of its own.
  std::vector<std::vector<uint8_t>> unit;
  int muxStream[MUXED_SUBPICTURE_STREAMS] = {};  // unit stream of each kept stream; -1 none
  std::vector<uint8_t> ring[MUXED_SUBPICTURE_STREAMS];
};

extern SubpictureIntakeState SubpictureIntake;

// Start of an extraction: nothing held or gathered.
void SubpictureIntakeReset();

// The stream index of a private stream 1 sub-stream among the kept ones;
// -1 when it is not kept.
int KeptSubpictureStream(uint8_t subStreamId);

// A whole PES packet of kept stream `stream`. False when the output
// refuses a pack.
bool SubpicturePacketIn(int stream, const uint8_t* packet, uint32_t length);

// Packets held for the tie are taken once it is known; the multiplexer
// learns that no later sub-picture is shown before the walk's time. False
// when the output refuses a pack.
bool SubpicturesRelease();

// With the streams of pack 0: a unit stream for each kept stream (the
// first MUXED_SUBPICTURE_STREAMS), sub-stream 0x20 + k.
void SubpictureMuxSetUp();

// The .idx text: header, size, palette (when known), and per stream its
// id line and one timestamp line per subtitle, timed from firstPictureTime.
std::string VobSubIndex(const std::vector<SubtitleEvent>& events, uint32_t firstPictureTime);

// Writes NAME.idx and NAME.sub of SubtitleSelection. False after a failure,
// told in a message that names the file.
bool WriteVobSubFiles();
