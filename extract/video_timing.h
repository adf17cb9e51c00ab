// Output picture time. The picture rate comes from the sequence header and
// each picture's duration from its picture coding extension; time is counted
// in half ticks of the 90 kHz clock (an NTSC field is 1501.5 ticks), so that
// no rounding accumulates over a title.
//
// A picture's PTS is VideoBase plus the durations of the pictures of its GOP
// shown before it (lower temporal_reference). An anchor picture is sent
// before the B-pictures shown ahead of it, so its PTS is known only once
// their coding extensions have been parsed: its pack gets an estimate (two
// fields for each duration still unknown) and a ticket, and the multiplexer
// holds it back until the exact PTS is written into it here. An anchor's
// DTS is the PTS of the anchor decoded before it, known when it starts.
#pragma once

#include <cstdint>

#include "extract/output_multiplexer.h"

constexpr uint32_t PAL_FIELD_HALF_TICKS = 3600;   // 1800 ticks, 50 fields per second
constexpr uint32_t NTSC_FIELD_HALF_TICKS = 3003;  // 1501.5 ticks, 60000/1001 fields per second
constexpr uint32_t TEMPORAL_REFERENCES = 1024;    // 10 bits
constexpr uint32_t PENDING_STAMPS = 32;

enum PictureCodingType : uint8_t { PICTURE_I = 1, PICTURE_P = 2, PICTURE_B = 3 };

struct PendingStamp {
  uint32_t ticket;
  uint32_t tr;
  uint32_t fieldOffset;  // fields of the same temporal_reference before this one
};

struct VideoTimingState {
  uint32_t fieldHalfTicks = 0;  // 0 until a sequence header gave a supported rate
  uint16_t width = 0;           // picture size of the first sequence header; 0 until one came
  uint16_t height = 0;
  bool progressiveSequence = false;
  uint64_t gopBaseHalfTicks = 0;  // VideoBase, in half ticks
  uint8_t fields[TEMPORAL_REFERENCES] = {};      // fields shown by each temporal_reference
  bool complete[TEMPORAL_REFERENCES] = {};       // its duration is known
  // The picture being parsed.
  bool pictureOpen = false;
  bool pictureCounts = false;  // it belongs to the GOP's count
  bool pictureHasExtension = false;
  uint32_t pictureTr = 0;
  uint32_t pictureFieldOffset = 0;
  // Decoding order of the anchor pictures (I and P).
  bool anchorValid = false;
  bool anchorInGop = false;        // anchorTr belongs to the current GOP
  uint32_t anchorTr = 0;
  uint64_t anchorPtsHalfTicks = 0;  // when it lies in an earlier GOP
  uint64_t anchorDtsHalfTicks = 0;
  // The picture that set the video reference, until its PTS is exact.
  bool refPending = false;
  uint32_t refTr = 0;
  uint32_t refInputPts = 0;
  uint32_t refEstimateTicks = 0;   // its offset from the GOP start, as estimated
  uint64_t seenHalfTicks = 0;       // durations parsed since the video reference
  PendingStamp pending[PENDING_STAMPS] = {};
  uint32_t pendingCount = 0;
};

extern VideoTimingState VideoTiming;

// Start of an extraction: no rate known, VideoBase 22500.
void VideoTimingReset();

// The four bytes after 00 00 01 B3. False (reported, AbortFlag set) when
// frame_rate_code is not one a DVD allows and no rate is known yet; with a
// rate known, such a header is only reported in detail.
bool VideoTakeSequenceHeader(const uint8_t* bytes);
// The four bytes after 00 00 01 B5: a sequence extension gives
// progressive_sequence, a picture coding extension the current picture's
// duration. False when the output refuses a pack.
bool VideoTakeExtension(const uint8_t* bytes);

// A picture header; counts: the picture belongs to the GOP's count. Returns
// its stamps (meaningful once the reference is set).
PictureStamps VideoPictureStart(uint32_t tr, uint8_t codingType, bool counts);
// The picture's pack took an estimated stamp under this ticket.
void VideoStampPending(uint32_t ticket);
// The picture just started sets the video reference with this input PTS:
// returns the input time of the GOP's first picture (estimated until the
// durations before it are known; then the alignment is corrected).
uint32_t VideoSetReference(uint32_t inputPts);

// GOP start or resynchronisation: every pending stamp is resolved, VideoBase
// advances by the GOP's duration (GopFrames pictures, two fields for a
// duration never told) and the count restarts. False on a refused pack.
bool VideoGopEnd();
// GOP start before the video reference: the durations taken restart.
void VideoGopSkipped();
// Resynchronisation: the anchor chain restarts as well.
bool VideoRestart();
// End of the title: pending stamps are resolved with what is known and
// every held video pack is released. False on a refused pack.
bool VideoTimingFinish();

// A picture between a skipped stretch and the next GOP header: it has no
// time stamp, but takes one frame of output time, so that the GOP after it
// starts once it has been shown; the audio aligned at that GOP leaves
// room for it.
void VideoCountUntimedPicture();

// True when the current GOP has shown a whole picture of this
// temporal_reference.
bool VideoShown(uint32_t tr);

// The output time at which the last picture counted so far ends: the
// current GOP's start plus the durations up to its highest
// temporal_reference.
uint32_t VideoEndTicks();

// VideoEndTicks as it is without an origin shift (time_origin.h): the video
// time a title reached, as its closing message tells it.
uint32_t VideoReachedTicks();

// Half ticks to 48 kHz samples (4/15), truncated.
constexpr int64_t HalfTicksToSamples(int64_t halfTicks) { return halfTicks * 4 / 15; }
