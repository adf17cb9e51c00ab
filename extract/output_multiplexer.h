// The output multiplexer: builds the output program stream of 2048-byte
// packs, one PES packet each: pack 0 (pack header, system header, padding),
// then video packs (0xE0) and audio packs (0xC0) with their SCR and PTS.
//
// Two threads complete packs, never at once: the worker (pack 0, video packs,
// the final packs) and the encoder thread (audio packs and the video packs
// held back while it encoded audio that came earlier in the input).
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
  uint32_t PendingVideoPts = 0;  // not reset between extractions
  uint32_t PrevVideoPts = 0;
  uint32_t LastVideoPts = 0;
  uint32_t LastAudioPts = 0;
  uint32_t deferredCount = 0;
  uint32_t deferredPrevPts[DEFERRED_VIDEO_PACKS] = {};
  uint32_t deferredPts[DEFERRED_VIDEO_PACKS] = {};
  bool SystemHeaderSeen = false;  // pack 0 is written
  std::mutex MuxMutex;            // the deferral decision vs. the encoder's flush
};

extern MuxState Mux;

// The reset that comes with a newly opened output.
void MuxResetOutputState();

// Pack 0 with the input's 14-bit video buffer scale and size; prepares the
// audio and video packs. False when the output refuses the pack.
bool MuxWriteFirstPack(uint16_t videoBound);

// A picture starts in the video pack being filled: the first one gives the
// pack its PTS (when refSet) and marks the pack as having a picture.
void MuxMarkPictureStart(bool refSet, uint32_t pts);

// Worker: n bytes of video elementary stream. False when the output refuses
// a pack.
bool MuxAppendVideoBytes(const uint8_t* src, uint32_t n);

// Encoder thread: one 1152-byte audio frame. False when the output refuses
// a pack.
bool MuxAppendAudioFrame(const uint8_t* frame);

// Encoder thread, MuxMutex held: writes the held-back video packs in order.
// The queue is empty afterwards either way.
bool MuxFlushDeferredVideo();

// End of an extraction (worker, encoder stopped): close and write the partly
// filled audio or video pack, if it holds data. False on refusal.
bool MuxWriteLastAudioPack();
bool MuxWriteLastVideoPack();
