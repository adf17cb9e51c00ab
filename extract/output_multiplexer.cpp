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
  pack[22] = 5;
  std::memset(pack + 23, 0xFF, 5);
  Mux.videoHasPicture = false;
  Mux.videoTicket = 0;
  Mux.videoPosition = PACK_PAYLOAD_START;
  Mux.videoFree = PACK_PAYLOAD_BYTES;
}

uint32_t HeldSlotIndex(uint32_t i) { return (Mux.deferredHead + i) % HELD_VIDEO_PACKS; }

// The PTS bytes of a video pack, with the prefix its flags call for.
void PatchPts(uint8_t* pack, uint32_t pts) {
  WriteTimeStampField(pack + 23, pack[21] == 0xC0 ? 0x3 : 0x2, pts);
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
  AwaitEncoder(ANY_PAIR, [] {
    std::lock_guard lock(Mux.MuxMutex);
    return Mux.deferredCount < DEFERRED_VIDEO_PACKS || !EncoderBusy();
  });
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

// MuxMutex held, and written only by the encoder thread or by the worker
// while the encoder is idle: the held packs up to the first that waits for
// its time stamp.
bool FlushHeldVideo() {
  while (Mux.deferredCount > 0) {
    const uint32_t k = Mux.deferredHead;
    if (Mux.deferredTicket[k] != 0) return true;
    if (Mux.deferredPrevPts[k] != 0) {
      Mux.LastVideoPts = Mux.deferredPts[k];
      ClampScr(std::min(Mux.deferredPrevPts[k], Mux.LastAudioPts));
    }
    if (!WritePack(DeferredSlot(k))) {
      Mux.deferredCount = 0;
      Mux.deferredWaiting = 0;
      return false;
    }
    Mux.deferredHead = (k + 1) % HELD_VIDEO_PACKS;
    --Mux.deferredCount;
  }
  return true;
}

bool EncoderIdle() { return !EncoderBusy(); }

// MuxMutex held: the pack being filled goes to the end of the held queue.
void HoldVideoPack(uint32_t ticket) {
  const uint32_t k = HeldSlotIndex(Mux.deferredCount);
  if (Mux.videoHasPicture) {
    Mux.deferredPrevPts[k] = Mux.PrevVideoPts;
    Mux.deferredPts[k] = Mux.PendingVideoPts;
    Mux.PrevVideoPts = Mux.PendingVideoPts;
  } else {
    Mux.deferredPrevPts[k] = 0;
  }
  Mux.deferredTicket[k] = ticket;
  if (ticket != 0) ++Mux.deferredWaiting;
  std::memcpy(DeferredSlot(k), WorkBuffers.VideoPack, OUTPUT_PACK_BYTES);
  ++Mux.deferredCount;
}

// MuxMutex held: every held pack keeps its estimated stamp.
void ClearHeldTickets() {
  for (uint32_t i = 0; i < Mux.deferredCount; ++i) Mux.deferredTicket[HeldSlotIndex(i)] = 0;
  Mux.deferredWaiting = 0;
}

// A completed video pack: held back while the encoder works on audio that
// came earlier in the input, or while it or a pack before it waits for its
// time stamp; written directly otherwise.
bool CompleteVideoPack() {
  const uint32_t ticket = Mux.videoTicket;
  for (;;) {
    std::unique_lock lock(Mux.MuxMutex);
    const bool idle = EncoderIdle();
    if (idle && !FlushHeldVideo()) return false;
    if (idle && Mux.deferredCount == 0 && ticket == 0) break;
    const bool waiting = ticket != 0 || Mux.deferredWaiting > 0;
    if (Mux.deferredCount < (waiting ? HELD_VIDEO_PACKS : DEFERRED_VIDEO_PACKS)) {
      HoldVideoPack(ticket);
      return true;
    }
    if (idle) {
      // Full of packs that wait for a time stamp: only a stream far outside
      // the DVD buffer limits gets here. They keep their estimates.
      ClearHeldTickets();
      continue;
    }
    // The queue is full: wait, never while holding the mutex, for room after
    // the encoder's next frame or for the encoder to be idle.
    lock.unlock();
    WaitQueueRoom();
  }
  return WriteVideoPackDirectly();
}

// The pack being filled has fewer than 6 bytes free: the free bytes become
// PES stuffing and the pack is completed without the picture.
bool StuffAndCompleteVideoPack() {
  uint8_t* pack = WorkBuffers.VideoPack;
  const uint32_t f = Mux.videoFree;
  std::memmove(pack + PACK_PAYLOAD_START + f, pack + PACK_PAYLOAD_START, Mux.videoPosition - PACK_PAYLOAD_START);
  std::memset(pack + PACK_PAYLOAD_START, 0xFF, f);
  pack[22] = static_cast<uint8_t>(pack[22] + f);
  Mux.videoPosition += f;
  Mux.videoFree = 0;
  if (!CompleteVideoPack()) return false;
  ResetVideoPack();
  return true;
}

}  // namespace

void MuxResetOutputState() {
  Mux.OutputScr = 0;
  Mux.PendingVideoPts = 0;
  Mux.LastAudioPts = 0;
  Mux.PrevVideoPts = 0;
  Mux.LastVideoPts = 0;
  Mux.audioHasPts = false;
  Mux.videoHasPicture = false;
  Mux.videoTicket = 0;
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

bool MuxMarkPictureStart(bool refSet, const PictureStamps& stamps, uint32_t* ticket) {
  *ticket = 0;
  if (Mux.videoHasPicture) return true;
  uint8_t* pack = WorkBuffers.VideoPack;
  if (refSet && stamps.hasDts) {
    if (Mux.videoFree < 6 && !StuffAndCompleteVideoPack()) return false;
    // The DTS field goes after the PTS: the payload in hand moves 5 bytes on.
    std::memmove(pack + PACK_PAYLOAD_START + 5, pack + PACK_PAYLOAD_START, Mux.videoPosition - PACK_PAYLOAD_START);
    Mux.videoPosition += 5;
    Mux.videoFree -= 5;
    pack[21] = 0xC0;
    pack[22] = 10;
    WriteTimeStampField(pack + 23, 0x3, stamps.pts);
    WriteTimeStampField(pack + 28, 0x1, stamps.dts);
  } else if (refSet) {
    pack[21] = 0x80;
    WritePtsField(pack + 23, stamps.pts);
  }
  if (refSet) {
    Mux.PendingVideoPts = stamps.pts;
    if (!stamps.exact) {
      if (++Mux.nextTicket == 0) Mux.nextTicket = 1;
      Mux.videoTicket = *ticket = Mux.nextTicket;
    }
  }
  Mux.videoHasPicture = true;
  return true;
}

bool MuxResolvePictureTime(uint32_t ticket, uint32_t pts) {
  std::lock_guard lock(Mux.MuxMutex);
  if (ticket != 0 && ticket == Mux.videoTicket) {
    PatchPts(WorkBuffers.VideoPack, pts);
    Mux.PendingVideoPts = pts;
    Mux.videoTicket = 0;
    return true;
  }
  for (uint32_t i = 0; i < Mux.deferredCount && ticket != 0; ++i) {
    const uint32_t k = HeldSlotIndex(i);
    if (Mux.deferredTicket[k] != ticket) continue;
    PatchPts(DeferredSlot(k), pts);
    Mux.deferredPts[k] = pts;
    Mux.deferredTicket[k] = 0;
    --Mux.deferredWaiting;
    break;
  }
  // While the encoder works, it writes them after its frame.
  return !EncoderIdle() || FlushHeldVideo();
}

bool MuxReleaseHeldVideo() {
  std::lock_guard lock(Mux.MuxMutex);
  Mux.videoTicket = 0;
  ClearHeldTickets();
  return !EncoderIdle() || FlushHeldVideo();
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

bool MuxFlushDeferredVideo() { return FlushHeldVideo(); }

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
  if (!MuxReleaseHeldVideo()) return false;
  if (Mux.videoFree >= PACK_PAYLOAD_BYTES) return true;
  ClosePartialPack(WorkBuffers.VideoPack, Mux.videoPosition, Mux.videoFree);
  return WriteVideoPackDirectly();
}
