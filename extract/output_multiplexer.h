// The output multiplexer: builds the output program stream of 2048-byte
// packs, one PES packet each: pack 0 (pack header, system header, padding),
// then the packs of the video (0xE0) and of every other elementary stream,
// merged in decoding order.
//
// Each stream has a context of its own: the video, packed as its bytes
// arrive, and streams of time-stamped units (the Layer II frames of each
// re-encoded track, 0xC0 + k), packed from a queue. The merge keeps each stream's decoder buffer
// occupancy and gives every pack its SCR: a pack goes out when its bytes
// fit in its buffer, not before 0.7 s ahead of its PTS, and, among the
// packs that may go, the one whose bytes are decoded first (so none is
// late while the mux rate allows). The SCR follows: it advances by one
// pack's time at the mux rate, or jumps to when the next pack may go.
//
// Only the extraction worker calls the multiplexer. Every decision depends
// on what the streams hold, never on how far the encoder thread has got:
// the encoder only fills the frames the multiplexer has already placed,
// and a pack waits to be written until its bytes are there. The order of
// the packs is thus a function of the input and the options alone.
#pragma once

#include <cstdint>

#include "extract/decoder_buffer_model.h"
#include "platform/work_buffers.h"

#include <atomic>

constexpr uint32_t FIRST_PTS = 22500;          // first audio frame, first picture
constexpr uint32_t DVD_MUX_RATE = 25200;       // 10.08 Mbit/s in units of 50 bytes/s
constexpr uint32_t PTS_LEAD_LIMIT = 63000;     // a pack goes at most 0.7 s before its PTS
constexpr uint32_t MPEG_AUDIO_BUFFER_BYTES = 4096;
constexpr uint32_t MAX_UNIT_STREAMS = 48;     // 8 Layer II streams, 8 kept audio tracks, 32 sub-picture streams
constexpr uint32_t UNIT_SLOTS = 1024;          // queued units of one stream not yet packed
constexpr uint32_t OUTPUT_QUEUE_SLOTS = 4096;  // packs placed and not yet written
constexpr uint32_t VIDEO_PACK_SEGMENTS = 6;
constexpr uint32_t LAYER2_STREAM = 0;          // the unit stream of the first track's Layer II frames

// Time stamps of a picture. exact is false while the PTS is an estimate that
// the video intake resolves later (MuxResolvePictureTime).
struct PictureStamps {
  uint32_t pts = 0;
  uint32_t dts = 0;
  bool hasDts = false;  // the picture is decoded before it is shown
  bool exact = true;
};

// What the merge knows of a stored video pack.
struct VideoPackInfo {
  BufferSegment segment[VIDEO_PACK_SEGMENTS];  // bytes of each picture, in order
  uint8_t segments = 0;
  uint8_t unknownMask = 0;  // segments whose decoding time comes with a later picture
  bool hasPts = false;
  uint32_t pts = 0;
  uint32_t ticket = 0;      // the PTS is an estimate until this ticket is resolved
};

struct MuxVideoStream {
  DecoderBufferModel buffer;
  uint32_t oldest = 0;       // slot of the oldest pack not yet written
  uint32_t stored = 0;       // complete packs not yet written
  uint32_t unplaced = 0;     // the newest of them, not yet placed in the output order
  uint32_t position = 0;     // write position and free bytes of the pack being filled
  uint32_t free = 0;
  bool hasPicture = false;
  uint32_t filled = 0;       // payload bytes in it
  uint32_t segmentFrom = 0;  // of which before its newest segment
  bool openKnown = false;    // the decoding time of the bytes arriving is known
  uint32_t openDts = 0;
  uint32_t lastDts = 0;      // the latest decoding time known: no later byte is decoded earlier
  bool unknownPending = false;  // a pack not yet placed waits for a decoding time
  bool ended = false;
  VideoPackInfo info[HELD_VIDEO_PACKS];
};

// A stream of units (access units: frames) queued with their time stamps;
// their bytes are filled in by their producer into a ring of payload bytes
// and packed 2020 bytes a pack.
struct MuxUnitStream {
  uint8_t streamId = 0xC0;
  // Private stream 1 (0xBD): the sub-stream id its packets start with; 0
  // for MPEG audio. Audio sub-streams carry the DVD's sub-stream header
  // (frames starting in the packet, first access unit pointer; LPCM's three
  // parameter bytes after it); sub-pictures (0x20..0x3F) the id alone, each
  // unit starting a pack of its own.
  uint8_t subStreamId = 0;
  uint8_t lpcmParameters[3] = {};
  uint32_t alignBytes = 1;     // a packet holds whole groups of this many bytes (LPCM frames)
  bool kept = false;           // a track as the disc has it: partial packs never touch its payload
  bool present = true;         // written in the system header
  uint32_t rank = 0;           // output order: first packs go in this order
  DecoderBufferModel buffer;
  uint8_t* payload = nullptr;  // ring of payload bytes
  uint32_t payloadBytes = 0;
  uint64_t (*bytesReady)() = nullptr;  // payload bytes filled in so far
  // A Layer II stream: the frames its track's encoder has filled in (the
  // merge waits on that track's encoder), null otherwise.
  const std::atomic<uint64_t>* framesFilled = nullptr;
  int32_t layer2Track = -1;
  uint32_t unitPts[UNIT_SLOTS] = {};
  uint64_t unitStart[UNIT_SLOTS] = {};
  // A unit whose time does not follow from the one before it (a gap, or a
  // step back of the input clock) starts a packet, so that its PTS is written.
  bool unitBreak[UNIT_SLOTS] = {};
  uint32_t followingPts = 0;    // the time that follows the last unit queued
  uint64_t units = 0;           // units queued
  uint64_t bytesQueued = 0;     // their bytes
  uint32_t nextPts = 0;         // no unit queued later has an earlier time stamp
  uint64_t placedUnit = 0;      // unit holding the first byte not yet placed
  uint64_t bytesPlaced = 0;
  uint64_t bytesWritten = 0;
  bool ended = false;
};

struct QueuedPack {
  uint32_t stream = 0;  // 0 the video, 1 + k unit stream k
  uint32_t scr = 0;
  uint32_t slot = 0;    // video
  uint64_t start = 0;   // unit stream: its payload bytes
  uint32_t length = 0;
  bool hasPts = false;
  uint32_t pts = 0;
  // Private stream 1: the units that start in the packet, the first one's
  // offset in the payload and its number.
  uint32_t frames = 0;
  uint32_t firstOffset = 0;
  uint64_t firstUnit = 0;
};

// A stream of units whose bytes the worker has at hand (a kept track), set
// up with pack 0 after the first Layer II stream.
struct MuxUnitPlan {
  uint8_t streamId = 0;
  uint8_t subStreamId = 0;
  uint32_t alignBytes = 1;
  uint32_t bufferBytes = 0;
  uint8_t* payload = nullptr;
  uint32_t payloadBytes = 0;
  uint32_t rank = 0;
};

// The Layer II stream of one re-encoded track.
struct MuxLayer2Stream {
  uint8_t streamId = 0xC0;
  uint32_t rank = 1;         // its place in the output order (the video is 0)
  uint32_t pts = FIRST_PTS;  // PTS of the next frame queued
  uint32_t unitStream = 0;   // its unit stream
};

struct MuxState {
  uint32_t OutputScr = 0;   // the earliest SCR of the next pack
  uint32_t MuxRate = 0;     // program_mux_rate and rate_bound
  uint32_t packTicks = 0;   // one pack's time at the mux rate
  uint32_t PendingVideoPts = 0;   // PTS given to the video pack being filled
  uint32_t videoTicket = 0;       // the pack being filled waits for this ticket; 0 none
  uint32_t nextTicket = 0;
  bool SystemHeaderSeen = false;  // pack 0 is written
  bool forced = false;      // a store is full: the merge waits for no stream
  uint32_t latePacks = 0;   // packs placed after their decoding time
  MuxVideoStream video;
  MuxUnitStream unit[MAX_UNIT_STREAMS];
  uint32_t unitStreams = 0;
  // The streams of the next output, set before pack 0: a Layer II stream
  // per re-encoded track and the kept tracks. Unit stream 0 is the first
  // Layer II stream (absent when no track is re-encoded), the kept tracks'
  // follow it, then the further Layer II streams.
  uint32_t layer2Count = 1;
  MuxLayer2Stream layer2[MAX_REENCODED_TRACKS];
  MuxUnitPlan plan[MAX_UNIT_STREAMS];
  uint32_t plannedStreams = 0;
  bool firstPacksInOrder = false;  // every stream has placed its first pack
  uint64_t startedStreams = 0;     // bit i: stream i (0 video, 1 + k unit stream k) has placed a pack
  uint32_t orderUntil = 0;         // first packs keep the output order until this SCR
  QueuedPack queue[OUTPUT_QUEUE_SLOTS];
  uint32_t queueFirst = 0;
  uint32_t queueCount = 0;
};

extern MuxState Mux;

// The reset that comes with a newly opened output.
void MuxResetOutputState();

// Pack 0 with the input's 14-bit video buffer bound and rate_bound
// (Mux.MuxRate, at most the DVD mux rate), which gives the packs'
// program_mux_rate, the system header's rate_bound and the SCR step; sets up the video and the Layer II
// streams. False when the output refuses the pack.
bool MuxWriteFirstPack(uint16_t videoBound);

// A picture starts in the video pack being filled: the first one gives the
// pack its stamps (when refSet) and marks the pack as having a picture. A
// DTS takes 5 more header bytes; a pack with fewer than 6 bytes free is
// then completed with PES stuffing and the picture starts the next one.
// *ticket is set to the pack's ticket when its PTS is an estimate, else 0.
// False when the output refuses a pack.
bool MuxMarkPictureStart(bool refSet, const PictureStamps& stamps, uint32_t* ticket);

// The exact PTS of a ticket's pack. False when the output refuses a pack.
bool MuxResolvePictureTime(uint32_t ticket, uint32_t pts);

// Every pack keeps the estimate it has. False when the output refuses a pack.
bool MuxReleaseHeldVideo();

// n bytes of video elementary stream. False when the output refuses a pack.
bool MuxAppendVideoBytes(const uint8_t* src, uint32_t n);

// The video pack being filled.
uint8_t* MuxVideoPackInProgress();

// The next Layer II frame of track k (1152 bytes, PTS Mux.layer2[k].pts) is
// submitted to its encoder, which fills it in at MuxLayer2FrameSlot. False
// when the output refuses a pack.
bool MuxQueueAudioFrame(uint32_t track);
// Where track k's encoder puts its frame n (counted from the start of the
// extraction).
uint8_t* MuxLayer2FrameSlot(uint32_t track, uint64_t n);
// Generic form: a unit of bytes with its time stamp (decoding time = PTS)
// in unit stream k; its payload is filled in by its producer. No unit
// queued later in the stream has a time stamp before nextPts.
bool MuxQueueUnit(uint32_t k, uint32_t pts, uint32_t bytes, uint32_t nextPts);
// Queues a frame of track k whose bytes are at hand (no encoder thread);
// false when the output refuses a pack.
bool MuxAppendAudioFrame(uint32_t track, const uint8_t* frame);
// A unit of n bytes at hand, copied into unit stream k's payload; as
// MuxQueueUnit otherwise.
bool MuxQueueUnitBytes(uint32_t k, uint32_t pts, const uint8_t* bytes, uint32_t n, uint32_t nextPts);

// Unit stream k + 1 for a private stream 1 sub-stream, set up with the
// streams of pack 0 (called from MuxWriteFirstPack through the sub-picture
// intake's set-up). Its bytes are at hand when ready() counts them.
void MuxAddSubStream(uint8_t subStreamId, uint32_t bufferBytes, uint8_t* payload, uint32_t payloadBytes,
                     uint64_t (*ready)());

// End of an extraction (encoder stopped): every stream ends, the partly
// filled packs are closed and every pack is written. False on refusal.
bool MuxFinishStreams();
