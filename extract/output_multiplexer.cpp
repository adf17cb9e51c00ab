#include "extract/output_multiplexer.h"

#include <algorithm>
#include <cstring>

#include "common/time_values.h"
#include "extract/audio_handoff.h"
#include "extract/output_writer.h"
#include "extract/pack_format.h"
#include "platform/work_buffers.h"

MuxState Mux;

namespace {

uint8_t* DeferredSlot(uint32_t k) { return WorkBuffers.DeferredVideo + k * OUTPUT_PACK_BYTES; }

// Pulls the SCR forward so that it never lags the reference time c by more
// than SCR_LEAD; it never moves back.
void ClampScr(uint32_t c) {
  if (Mux.OutputScr + SCR_LEAD < c) Mux.OutputScr = c - SCR_LEAD;
}

bool WritePack(uint8_t* pack) {
  WriteScr(pack, Mux.OutputScr);
  if (!OutputAppendPack(pack)) return false;
  Mux.OutputScr += PACK_TICKS;
  return true;
}

void ResetAudioPack() {
  Mux.audioHasPts = false;
  Mux.audioPosition = PACK_PAYLOAD_START;
  Mux.audioFree = PACK_PAYLOAD_BYTES;
}

void ResetVideoPack() {
  uint8_t* pack = WorkBuffers.VideoPack;
  pack[21] = 0x00;
  std::memset(pack + 23, 0xFF, 5);
  Mux.videoHasPicture = false;
  Mux.videoPosition = PACK_PAYLOAD_START;
  Mux.videoFree = PACK_PAYLOAD_BYTES;
}

void WritePesHeader(uint8_t* pack, uint8_t streamId) {
  pack[14] = 0x00;
  pack[15] = 0x00;
  pack[16] = 0x01;
  pack[17] = streamId;
  pack[18] = static_cast<uint8_t>(FULL_PES_PACKET_LENGTH >> 8);
  pack[19] = static_cast<uint8_t>(FULL_PES_PACKET_LENGTH & 0xFF);
  pack[20] = 0x81;
  pack[21] = 0x80;
  pack[22] = 5;
}

void BuildFirstPack(uint8_t* pack, uint16_t videoBound) {
  WritePackHeader(pack, Mux.OutputScr, Mux.MuxRate);
  const uint32_t rate = Mux.MuxRate;
  const uint8_t systemHeader[] = {
      0x00, 0x00, 0x01, 0xBB, 0x00, 12,
      static_cast<uint8_t>((rate >> 15) | 0x80), static_cast<uint8_t>(rate >> 7),
      static_cast<uint8_t>((rate << 1) | 0x01),
      0x04, 0xE1, 0x7F,
      0xB9, static_cast<uint8_t>((videoBound >> 8) | 0xC0), static_cast<uint8_t>(videoBound),
      0xB8, 0xC0, 0x20,
      0x00, 0x00, 0x01, 0xBE, 0x07, 0xDA};
  std::memcpy(pack + PACK_HEADER_BYTES, systemHeader, sizeof systemHeader);
  std::memset(pack + 38, 0xFF, OUTPUT_PACK_BYTES - 38);
}

void WaitQueueRoom() {
  for (;;) {
    {
      std::lock_guard lock(Mux.MuxMutex);
      if (Mux.deferredCount < DEFERRED_VIDEO_PACKS || !EncoderBusy()) return;
    }
    EventWait(Handoff.EncoderDone);
  }
}

// A completed video pack goes straight to the output.
bool WriteVideoPackDirectly() {
  if (Mux.videoHasPicture) {
    uint32_t c = Mux.PrevVideoPts;
    Mux.PrevVideoPts = Mux.LastVideoPts = Mux.PendingVideoPts;
    ClampScr(std::min(c, Mux.LastAudioPts));
  }
  return WritePack(WorkBuffers.VideoPack);
}

// A completed video pack: held back while the encoder works on audio that
// came earlier in the input, written directly otherwise.
bool CompleteVideoPack() {
  for (;;) {
    std::unique_lock lock(Mux.MuxMutex);
    if (!EncoderBusy()) break;
    if (Mux.deferredCount < DEFERRED_VIDEO_PACKS) {
      uint32_t k = Mux.deferredCount;
      if (Mux.videoHasPicture) {
        Mux.deferredPrevPts[k] = Mux.PrevVideoPts;
        Mux.deferredPts[k] = Mux.PendingVideoPts;
        Mux.PrevVideoPts = Mux.PendingVideoPts;
      } else {
        Mux.deferredPrevPts[k] = 0;
      }
      std::memcpy(DeferredSlot(k), WorkBuffers.VideoPack, OUTPUT_PACK_BYTES);
      Mux.deferredCount = k + 1;
      return true;
    }
    // The queue is full: wait, never while holding the mutex, until the
    // encoder has packed its next frame and written the queue after it (or
    // has become idle); the pack is then held back behind the frames still
    // busy, or written directly.
    lock.unlock();
    WaitQueueRoom();
  }
  return WriteVideoPackDirectly();
}

}  // namespace

void MuxResetOutputState() {
  Mux.OutputScr = 0;
  Mux.LastAudioPts = 0;
  Mux.PrevVideoPts = 0;
  Mux.LastVideoPts = 0;
  Mux.audioHasPts = false;
  Mux.videoHasPicture = false;
}

bool MuxWriteFirstPack(uint16_t videoBound) {
  uint8_t* pack = WorkBuffers.AudioPack;  // free until the audio pack is set up below
  BuildFirstPack(pack, videoBound);
  if (!WritePack(pack)) return false;

  WritePackHeader(WorkBuffers.AudioPack, Mux.OutputScr, Mux.MuxRate);
  WritePesHeader(WorkBuffers.AudioPack, 0xC0);
  ResetAudioPack();

  WritePackHeader(WorkBuffers.VideoPack, Mux.OutputScr, Mux.MuxRate);
  WritePesHeader(WorkBuffers.VideoPack, 0xE0);
  ResetVideoPack();
  return true;
}

void MuxMarkPictureStart(bool refSet, uint32_t pts) {
  if (Mux.videoHasPicture) return;
  if (refSet) {
    Mux.PendingVideoPts = pts;
    WorkBuffers.VideoPack[21] = 0x80;
    WritePtsField(WorkBuffers.VideoPack + 23, pts);
  }
  Mux.videoHasPicture = true;
}

bool MuxAppendVideoBytes(const uint8_t* src, uint32_t n) {
  uint8_t* pack = WorkBuffers.VideoPack;
  while (n >= Mux.videoFree) {
    uint32_t take = Mux.videoFree;
    std::memcpy(pack + Mux.videoPosition, src, take);
    src += take;
    n -= take;
    Mux.videoFree = 0;
    if (!CompleteVideoPack()) return false;
    ResetVideoPack();
    if (n == 0) return true;
  }
  std::memcpy(pack + Mux.videoPosition, src, n);
  Mux.videoPosition += n;
  Mux.videoFree -= n;
  return true;
}

bool MuxAppendAudioFrame(const uint8_t* frame) {
  uint8_t* pack = WorkBuffers.AudioPack;
  if (!Mux.audioHasPts) {
    pack[21] = 0x80;
    WritePtsField(pack + 23, Mux.AudioPts);
    Mux.audioHasPts = true;
  }
  Mux.AudioPts += AUDIO_FRAME_TICKS;
  uint32_t r = ENC_FRAME_BYTES;
  while (r > 0) {
    if (Mux.audioFree > r) {
      std::memcpy(pack + Mux.audioPosition, frame, r);
      Mux.audioPosition += r;
      Mux.audioFree -= r;
      return true;
    }
    uint32_t take = Mux.audioFree;
    std::memcpy(pack + Mux.audioPosition, frame, take);
    frame += take;
    r -= take;
    uint32_t c = std::min(Mux.LastAudioPts, Mux.LastVideoPts);
    Mux.LastAudioPts = Mux.AudioPts;
    ClampScr(c);
    if (!WritePack(pack)) return false;
    ResetAudioPack();
  }
  return true;
}

bool MuxFlushDeferredVideo() {
  for (uint32_t k = 0; k < Mux.deferredCount; ++k) {
    if (Mux.deferredPrevPts[k] != 0) {
      Mux.LastVideoPts = Mux.deferredPts[k];
      ClampScr(std::min(Mux.deferredPrevPts[k], Mux.LastAudioPts));
    }
    if (!WritePack(DeferredSlot(k))) {
      Mux.deferredCount = 0;
      return false;
    }
  }
  Mux.deferredCount = 0;
  return true;
}

bool MuxWriteLastAudioPack() {
  if (Mux.audioFree >= PACK_PAYLOAD_BYTES) return true;  // empty: not written
  if (!Mux.audioHasPts) {
    // Only the tail of a frame that began in the previous pack: no frame
    // starts here, so the pack carries no PTS rather than a stale one.
    WorkBuffers.AudioPack[21] = 0x00;
    std::memset(WorkBuffers.AudioPack + 23, 0xFF, 5);
  }
  ClosePartialPack(WorkBuffers.AudioPack, Mux.audioPosition, Mux.audioFree);
  uint32_t c = std::min(Mux.LastAudioPts, Mux.LastVideoPts);
  Mux.LastAudioPts = Mux.AudioPts;
  ClampScr(c);
  return WritePack(WorkBuffers.AudioPack);
}

bool MuxWriteLastVideoPack() {
  if (Mux.videoFree >= PACK_PAYLOAD_BYTES) return true;
  ClosePartialPack(WorkBuffers.VideoPack, Mux.videoPosition, Mux.videoFree);
  return WriteVideoPackDirectly();
}
