// The output multiplexer: builds the output program stream of 2048-byte
// packs, one PES packet each: pack 0 (pack header, system header, padding),
// then video packs (0xE0) and audio packs (0xC0) with their SCR and PTS.
//
// Two threads complete packs, never at once: the worker (pack 0, video packs,
// the final packs) and the encoder thread (audio packs and the video packs
// held back while it encoded audio that came earlier in the input).
//
// A video pack whose picture time stamp is not known yet (an anchor picture
// shown after B-pictures whose duration the stream has not told yet) is held
// back too, with every video pack after it, until the video intake resolves
// its ticket; its stamp is then written into the held pack.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/work_buffers.h"

constexpr uint32_t SCR_LEAD = 22500;    // SCR may lag the time stamps by 0.25 s
constexpr uint32_t PACK_TICKS = 147;    // SCR step per pack
constexpr uint32_t FIRST_PTS = 22500;   // first audio frame, first picture

struct MuxState {
  uint32_t OutputScr = 0;      // SCR of the next pack written
  uint32_t MuxRate = 0;        // rate_bound of the first input system header
  uint32_t audioPosition = 0;  // write position and free bytes in AudioPack
  uint32_t audioFree = 0;
  bool audioHasPts = false;
  uint32_t AudioPts = FIRST_PTS;  // PTS of the next audio frame packed
  uint32_t videoPosition = 0;
  uint32_t videoFree = 0;
  bool videoHasPicture = false;
  uint32_t PendingVideoPts = 0;
  uint32_t PrevVideoPts = 0;
  uint32_t LastVideoPts = 0;
  uint32_t LastAudioPts = 0;
  uint32_t videoTicket = 0;      // the pack being filled waits for this ticket; 0 none
  uint32_t nextTicket = 0;
  uint32_t deferredHead = 0;     // ring of held video packs: oldest slot, count
  uint32_t deferredCount = 0;
  uint32_t deferredWaiting = 0;  // held packs whose ticket is not resolved yet
  uint32_t deferredPrevPts[HELD_VIDEO_PACKS] = {};
  uint32_t deferredPts[HELD_VIDEO_PACKS] = {};
  uint32_t deferredTicket[HELD_VIDEO_PACKS] = {};
  bool SystemHeaderSeen = false;  // pack 0 is written
  std::mutex MuxMutex;            // the deferral decision vs. the encoder's flush
};

extern MuxState Mux;

// The reset that comes with a newly opened output.
void MuxResetOutputState();

// Pack 0 with the input's 14-bit video buffer scale and size; prepares the
// audio and video packs. False when the output refuses the pack.
bool MuxWriteFirstPack(uint16_t videoBound);

// Time stamps of a picture. exact is false while the PTS is an estimate that
// the video intake resolves later (MuxResolvePictureTime).
struct PictureStamps {
  uint32_t pts = 0;
  uint32_t dts = 0;
  bool hasDts = false;  // the picture is decoded before it is shown
  bool exact = true;
};

// A picture starts in the video pack being filled: the first one gives the
// pack its stamps (when refSet) and marks the pack as having a picture. A
// DTS takes 5 more header bytes; a pack with fewer than 6 bytes free is
// then completed with PES stuffing and the picture starts the next one.
// *ticket is set to the pack's ticket when its PTS is an estimate, else 0.
// False when the output refuses a pack.
bool MuxMarkPictureStart(bool refSet, const PictureStamps& stamps, uint32_t* ticket);

// Worker: the exact PTS of a ticket's pack; held packs that no longer wait
// are written when the encoder is idle. False when the output refuses a pack.
bool MuxResolvePictureTime(uint32_t ticket, uint32_t pts);

// Worker: every held pack keeps the estimate it has and may be written.
// False when the output refuses a pack.
bool MuxReleaseHeldVideo();

// Worker: n bytes of video elementary stream. False when the output refuses
// a pack.
bool MuxAppendVideoBytes(const uint8_t* src, uint32_t n);

// Encoder thread: one 1152-byte audio frame. False when the output refuses
// a pack.
bool MuxAppendAudioFrame(const uint8_t* frame);

// Encoder thread, MuxMutex held: writes the held-back video packs in order,
// up to the first one that waits for its time stamp. After a refusal the
// queue is empty.
bool MuxFlushDeferredVideo();

// End of an extraction (worker, encoder stopped): close and write the partly
// filled audio or video pack, if it holds data. False on refusal.
bool MuxWriteLastAudioPack();
bool MuxWriteLastVideoPack();
