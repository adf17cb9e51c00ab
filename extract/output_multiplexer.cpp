// The packing side of the multiplexer: pack 0, the video packs filled in
// place in their store as the bytes arrive, and the queue of Layer II
// frames. The merge (mux_merge.cpp) places and writes the packs.
#include "extract/output_multiplexer.h"

#include <cstring>

#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/mux_merge.h"
#include "extract/output_writer.h"
#include "extract/pack_format.h"
#include "extract/subpicture_intake.h"
#include "extract/time_mapping.h"
#include "platform/work_buffers.h"

MuxState Mux;

namespace {

// An empty queue for a stream that starts: nothing queued, placed or
// written, no unit before nextPts, its decoder buffer empty.
void ResetUnitQueue(MuxUnitStream& s, uint32_t nextPts, uint32_t bufferBytes) {
  s.units = 0;
  s.bytesQueued = 0;
  s.nextPts = nextPts;
  s.placedUnit = 0;
  s.bytesPlaced = 0;
  s.bytesWritten = 0;
  s.ended = false;
  BufferReset(s.buffer, bufferBytes);
}

constexpr uint32_t AUDIO_FRAME_TICKS = 2160;       // 1152 samples at 48 kHz
constexpr uint32_t MIN_VIDEO_BUFFER_BYTES = 40960;  // below this a bound is taken as damaged
constexpr uint32_t VIDEO_BUFFER_MARGIN = 2048;     // headers taken as decoded with the picture before

MuxVideoStream& V = Mux.video;

uint8_t* VideoSlot(uint32_t slot) { return WorkBuffers.VideoPacks + slot * OUTPUT_PACK_BYTES; }
uint32_t CurrentSlot() { return (V.oldest + V.stored) % HELD_VIDEO_PACKS; }
uint8_t* CurrentPack() { return VideoSlot(CurrentSlot()); }
VideoPackInfo& CurrentInfo() { return V.info[CurrentSlot()]; }

// A pack's time at the mux rate, rounded up: bytes never arrive faster than
// program_mux_rate says.
uint32_t PackTicks(uint32_t muxRate) {
  const uint64_t ticks = uint64_t{OUTPUT_PACK_BYTES} * 90000;
  const uint64_t rate = uint64_t{muxRate} * 50;
  return static_cast<uint32_t>((ticks + rate - 1) / rate);
}

uint32_t BoundBytes(uint16_t bound) {
  const uint32_t size = bound & 0x1FFF;
  return (bound & 0x2000) != 0 ? size * 1024 : size * 128;
}

// The video buffer in 1024-byte units, as the system header gives it.
uint16_t VideoBoundFor(uint32_t bytes) { return static_cast<uint16_t>(0x2000 | ((bytes + 1023) / 1024)); }

// Track k's Layer II stream as unit stream u: its frames are filled in by
// the track's encoder thread.
void SetUpLayer2Stream(uint32_t k, uint32_t u) {
  MuxLayer2Stream& layer2 = Mux.layer2[k];
  const bool present = k < Mux.layer2Count;
  MuxUnitStream& audio = Mux.unit[u];
  layer2.unitStream = u;
  audio.streamId = layer2.streamId;
  audio.subStreamId = 0;
  audio.alignBytes = 1;
  audio.kept = false;
  audio.present = present;
  audio.rank = layer2.rank;
  audio.payload = WorkBuffers.audio[k].EncodedFrames;
  audio.payloadBytes = ENCODED_FRAME_SLOTS * ENC_FRAME_BYTES;
  audio.bytesReady = nullptr;
  audio.framesFilled = &AudioTracks[k].handoff.FramesEncoded;
  audio.layer2Track = static_cast<int32_t>(k);
  ResetUnitQueue(audio, layer2.pts, MPEG_AUDIO_BUFFER_BYTES);
  audio.ended = !present;
  AudioTracks[k].handoff.FramesEncoded = 0;  // no frame is submitted before pack 0
}

void SetUpStreams(uint32_t videoBufferBytes) {
  V.oldest = 0;
  V.stored = 0;
  V.unplaced = 0;
  V.filled = 0;
  V.openKnown = false;
  V.openDts = 0;
  V.lastDts = 0;
  V.unknownPending = false;
  V.ended = false;
  BufferReset(V.buffer, videoBufferBytes - VIDEO_BUFFER_MARGIN);

  // The first track's Layer II stream is unit stream 0, also when absent;
  // the kept tracks follow it, then the further tracks' Layer II streams.
  SetUpLayer2Stream(0, LAYER2_STREAM);
  Mux.unitStreams = 1;
  for (uint32_t i = 0; i < Mux.plannedStreams && Mux.unitStreams < MAX_UNIT_STREAMS; ++i) {
    const MuxUnitPlan& plan = Mux.plan[i];
    MuxUnitStream& s = Mux.unit[Mux.unitStreams++];
    s.streamId = plan.streamId;
    s.subStreamId = plan.subStreamId;
    s.alignBytes = plan.alignBytes == 0 ? 1 : plan.alignBytes;
    s.kept = true;
    s.present = true;
    s.rank = plan.rank;
    s.payload = plan.payload;
    s.payloadBytes = plan.payloadBytes;
    s.bytesReady = nullptr;  // copied in when queued
    s.framesFilled = nullptr;
    s.layer2Track = -1;
    ResetUnitQueue(s, 0, plan.bufferBytes);
  }
  for (uint32_t k = 1; k < Mux.layer2Count && Mux.unitStreams < MAX_UNIT_STREAMS; ++k)
    SetUpLayer2Stream(k, Mux.unitStreams++);
  Mux.firstPacksInOrder = Mux.unitStreams == 1;
  Mux.startedStreams = 0;
  Mux.orderUntil = 0;
  Mux.queueFirst = 0;
  Mux.queueCount = 0;
  Mux.latePacks = 0;
  Mux.forced = false;
}

// Pack 0: the system header names every stream with its buffer bound.
// Every MPEG audio stream has an entry of its own; the sub-streams of
// private stream 1 share one, with the sum of their buffers.
void BuildFirstPack(uint8_t* pack, uint16_t videoBound) {
  WritePackHeader(pack, Mux.OutputScr, Mux.MuxRate);
  const uint32_t rate = Mux.MuxRate;
  uint32_t audioStreams = 0;
  // The system header names each stream id once: the sub-streams of
  // private stream 1 share one entry, with the buffers of its audio tracks
  // and the largest of its sub-picture buffers.
  uint32_t entries = 0;
  uint32_t privateBytes = 0;
  uint32_t pictureBytes = 0;
  for (uint32_t k = 0; k < Mux.unitStreams; ++k) {
    const MuxUnitStream& s = Mux.unit[k];
    if (!s.present) continue;
    const bool picture = (s.subStreamId & 0xE0) == 0x20;
    if (!picture) ++audioStreams;
    if (s.subStreamId == 0) ++entries;
    if (s.subStreamId != 0 && !picture) privateBytes += s.buffer.capacity;
    if (picture && s.buffer.capacity > pictureBytes) pictureBytes = s.buffer.capacity;
  }
  privateBytes += pictureBytes;
  if (privateBytes > 0) ++entries;
  uint8_t* h = pack + PACK_HEADER_BYTES;
  const uint32_t headerLength = 6 + 3 * (1 + entries);
  const uint8_t fixed[] = {0x00, 0x00, 0x01, 0xBB, static_cast<uint8_t>(headerLength >> 8),
                           static_cast<uint8_t>(headerLength), static_cast<uint8_t>((rate >> 15) | 0x80),
                           static_cast<uint8_t>(rate >> 7), static_cast<uint8_t>((rate << 1) | 0x01),
                           static_cast<uint8_t>(audioStreams << 2),  // fixed_flag 0, CSPS_flag 0
                           0xE1,  // audio and video locked to the clock, marker, video_bound 1
                           0x7F};
  std::memcpy(h, fixed, sizeof fixed);
  h += sizeof fixed;
  *h++ = 0xE0;
  *h++ = static_cast<uint8_t>((videoBound >> 8) | 0xC0);
  *h++ = static_cast<uint8_t>(videoBound);
  for (uint32_t k = 0; k < Mux.unitStreams; ++k) {
    if (!Mux.unit[k].present || Mux.unit[k].subStreamId != 0) continue;
    const uint32_t units = (Mux.unit[k].buffer.capacity + 127) / 128;  // scale 0: 128-byte units
    *h++ = Mux.unit[k].streamId;
    *h++ = static_cast<uint8_t>((units >> 8) | 0xC0);
    *h++ = static_cast<uint8_t>(units);
  }
  if (privateBytes > 0) {
    const uint32_t units = (privateBytes + 1023) / 1024;  // scale 1: 1024-byte units
    *h++ = 0xBD;
    *h++ = static_cast<uint8_t>((units >> 8) | 0xE0);
    *h++ = static_cast<uint8_t>(units);
  }
  const uint32_t paddingLength = OUTPUT_PACK_BYTES - static_cast<uint32_t>(h - pack) - 6;
  const uint8_t padding[] = {0x00, 0x00, 0x01, 0xBE, static_cast<uint8_t>(paddingLength >> 8),
                             static_cast<uint8_t>(paddingLength)};
  std::memcpy(h, padding, sizeof padding);
  std::memset(h + sizeof padding, 0xFF, paddingLength);
}

// A new pack in the next free slot; its first bytes are decoded with the
// picture whose bytes are arriving.
void ResetVideoPack() {
  uint8_t* pack = CurrentPack();
  WritePackHeader(pack, 0, Mux.MuxRate);
  WritePesHeader(pack, 0xE0);
  pack[21] = 0x00;
  std::memset(pack + 23, 0xFF, 5);
  V.hasPicture = false;
  V.position = PACK_PAYLOAD_START;
  V.free = PACK_PAYLOAD_BYTES;
  V.filled = 0;
  V.segmentFrom = 0;
  Mux.videoTicket = 0;
  VideoPackInfo& info = CurrentInfo();
  info.segments = 1;
  info.segment[0] = BufferSegment{V.openDts, 0};
  info.unknownMask = V.openKnown ? 0 : 1;
  info.hasPts = false;
  info.pts = 0;
  info.ticket = 0;
}

bool needsSlot = true;  // the last pack was completed: the next one needs a slot

// The next pack gets a slot of its own, once the merge has written enough.
bool EnsureVideoPack() {
  if (!needsSlot) return true;
  if (!MergeMakeRoom([] { return V.stored < HELD_VIDEO_PACKS; })) return false;
  ResetVideoPack();
  needsSlot = false;
  return true;
}

// The pack being filled is complete (full, or closed): it is stored and
// waits for its turn.
void StoreVideoPack() {
  VideoPackInfo& info = CurrentInfo();
  info.segment[info.segments - 1].bytes = V.filled - V.segmentFrom;
  const uint8_t* pack = CurrentPack();
  info.hasPts = (pack[21] & 0x80) != 0;
  info.pts = Mux.PendingVideoPts;
  info.ticket = info.hasPts ? Mux.videoTicket : 0;
  if (info.unknownMask != 0) V.unknownPending = true;
  ++V.stored;
  ++V.unplaced;
  V.filled = 0;
  needsSlot = true;
}

bool CompleteVideoPack() {
  StoreVideoPack();
  return MergeRun();
}

// The pack being filled has fewer than 6 bytes free: the free bytes become
// PES stuffing and the pack is completed without the picture.
bool StuffAndCompleteVideoPack() {
  uint8_t* pack = CurrentPack();
  const uint32_t f = V.free;
  std::memmove(pack + PACK_PAYLOAD_START + f, pack + PACK_PAYLOAD_START, V.position - PACK_PAYLOAD_START);
  std::memset(pack + PACK_PAYLOAD_START, 0xFF, f);
  pack[22] = static_cast<uint8_t>(pack[22] + f);
  V.position += f;
  V.free = 0;
  return CompleteVideoPack() && EnsureVideoPack();
}

// Bytes waiting for a decoding time (before the first picture with time
// stamps, or after a picture without) take that of this picture.
void SettleOpenTimes(uint32_t dts) {
  auto settle = [dts](VideoPackInfo& info) {
    for (uint32_t i = 0; i < info.segments; ++i)
      if ((info.unknownMask >> i) & 1) info.segment[i].dts = dts;
    info.unknownMask = 0;
  };
  settle(CurrentInfo());
  if (!V.unknownPending) return;
  for (uint32_t i = V.stored - V.unplaced; i < V.stored; ++i) settle(V.info[(V.oldest + i) % HELD_VIDEO_PACKS]);
  V.unknownPending = false;
}

// A picture starts at the pack's current end: its bytes form a segment of
// their own, decoded at its time.
void StartSegment(bool known, uint32_t dts) {
  if (known) {
    V.openDts = dts;
    V.lastDts = LaterTime(V.lastDts, dts);
    SettleOpenTimes(dts);
  }
  V.openKnown = known;
  VideoPackInfo& info = CurrentInfo();
  uint32_t last = info.segments - 1u;
  if (V.filled != V.segmentFrom) {
    if (info.segments == VIDEO_PACK_SEGMENTS) {
      // No slot left: the bytes so far go with this later picture.
      if (!known) info.unknownMask = static_cast<uint8_t>(info.unknownMask | (1u << last));
      if (known) info.segment[last].dts = LaterTime(info.segment[last].dts, dts);
      return;
    }
    info.segment[last].bytes = V.filled - V.segmentFrom;
    V.segmentFrom = V.filled;
    last = info.segments++;
  }
  info.segment[last] = BufferSegment{V.openDts, 0};
  if (known) {
    info.unknownMask = static_cast<uint8_t>(info.unknownMask & ~(1u << last));
  } else {
    info.unknownMask = static_cast<uint8_t>(info.unknownMask | (1u << last));
  }
}

// The PTS bytes of a video pack, with the prefix its flags call for.
void PatchPts(uint8_t* pack, uint32_t pts) {
  WriteTimeStampField(pack + 23, pack[21] == 0xC0 ? 0x3 : 0x2, pts);
}

}  // namespace

void MuxResetOutputState() {
  Mux.OutputScr = 0;
  Mux.PendingVideoPts = 0;
  Mux.videoTicket = 0;
  V.hasPicture = false;
  needsSlot = true;
}

bool MuxWriteFirstPack(uint16_t videoBound) {
  // A DVD never needs more than its 10.08 Mbit/s; a header that claims
  // more (or 0) would only make the packs' time at the mux rate too short.
  if (Mux.MuxRate == 0 || Mux.MuxRate > DVD_MUX_RATE) Mux.MuxRate = DVD_MUX_RATE;
  Mux.packTicks = PackTicks(Mux.MuxRate);
  uint32_t videoBytes = BoundBytes(videoBound);
  if (videoBytes < MIN_VIDEO_BUFFER_BYTES) videoBytes = MIN_VIDEO_BUFFER_BYTES;
  SetUpStreams(videoBytes);
  SubpictureMuxSetUp();
  uint8_t* pack = WorkBuffers.AudioPack;  // free until the first audio pack is written
  Mux.OutputScr = 0;
  BuildFirstPack(pack, BoundBytes(videoBound) == videoBytes ? videoBound : VideoBoundFor(videoBytes));
  if (!OutputAppendPack(pack)) return false;
  Mux.OutputScr = Mux.packTicks;
  needsSlot = true;
  return EnsureVideoPack();
}

bool MuxMarkPictureStart(bool refSet, const PictureStamps& stamps, uint32_t* ticket) {
  *ticket = 0;
  if (!EnsureVideoPack()) return false;
  if (!V.hasPicture && refSet && stamps.hasDts && V.free < 6 && !StuffAndCompleteVideoPack()) return false;
  StartSegment(refSet, stamps.hasDts ? stamps.dts : stamps.pts);
  if (V.hasPicture) return true;
  uint8_t* pack = CurrentPack();
  if (refSet && stamps.hasDts) {
    // The DTS field goes after the PTS: the payload in hand moves 5 bytes on.
    std::memmove(pack + PACK_PAYLOAD_START + 5, pack + PACK_PAYLOAD_START, V.position - PACK_PAYLOAD_START);
    V.position += 5;
    V.free -= 5;
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
  V.hasPicture = true;
  return true;
}

bool MuxResolvePictureTime(uint32_t ticket, uint32_t pts) {
  if (ticket == 0) return true;
  if (!needsSlot && ticket == Mux.videoTicket) {
    PatchPts(CurrentPack(), pts);
    Mux.PendingVideoPts = pts;
    Mux.videoTicket = 0;
    return true;
  }
  for (uint32_t i = 0; i < V.stored; ++i) {
    const uint32_t slot = (V.oldest + i) % HELD_VIDEO_PACKS;
    VideoPackInfo& info = V.info[slot];
    if (info.ticket != ticket) continue;
    PatchPts(VideoSlot(slot), pts);
    info.pts = pts;
    info.ticket = 0;
    break;
  }
  return MergeRun();
}

void MuxClearTickets() {
  Mux.videoTicket = 0;
  for (uint32_t i = 0; i < V.stored; ++i) V.info[(V.oldest + i) % HELD_VIDEO_PACKS].ticket = 0;
}

bool MuxReleaseHeldVideo() {
  MuxClearTickets();
  return MergeRun();
}

void MuxCloseVideoPack() {
  if (needsSlot || V.filled == 0) return;
  ClosePartialPack(CurrentPack(), V.position, V.free);
  StoreVideoPack();
}

bool MuxAppendVideoBytes(const uint8_t* src, uint32_t n) {
  while (n > 0) {
    if (!EnsureVideoPack()) return false;
    const uint32_t take = n < V.free ? n : V.free;
    std::memcpy(CurrentPack() + V.position, src, take);
    src += take;
    n -= take;
    V.position += take;
    V.free -= take;
    V.filled += take;
    if (V.free == 0 && !CompleteVideoPack()) return false;
  }
  return true;
}

uint8_t* MuxVideoPackInProgress() { return CurrentPack(); }

bool MuxQueueUnit(uint32_t k, uint32_t pts, uint32_t bytes, uint32_t nextPts) {
  MuxUnitStream& s = Mux.unit[k];
  // The producer fills the unit in at once: its bytes must not land on
  // bytes still to be written, nor its record on one still to be placed.
  if (!MergeMakeRoom([&s, bytes] {
        return s.bytesQueued + bytes - s.bytesWritten <= s.payloadBytes && s.units - s.placedUnit < UNIT_SLOTS;
      }))
    return false;
  const uint32_t slot = static_cast<uint32_t>(s.units % UNIT_SLOTS);
  s.unitBreak[slot] = s.units > 0 && pts != s.followingPts;
  s.followingPts = nextPts;
  s.unitPts[slot] = pts;
  s.unitStart[slot] = s.bytesQueued;
  ++s.units;
  s.bytesQueued += bytes;
  s.nextPts = LaterTime(nextPts, pts);
  return MergeRun();
}

bool MuxQueueUnitBytes(uint32_t k, uint32_t pts, const uint8_t* bytes, uint32_t n, uint32_t nextPts) {
  MuxUnitStream& s = Mux.unit[k];
  if (!MergeMakeRoom([&s, n] {
        return s.bytesQueued + n - s.bytesWritten <= s.payloadBytes && s.units - s.placedUnit < UNIT_SLOTS;
      }))
    return false;
  const uint32_t offset = static_cast<uint32_t>(s.bytesQueued % s.payloadBytes);
  const uint32_t first = n < s.payloadBytes - offset ? n : s.payloadBytes - offset;
  std::memcpy(s.payload + offset, bytes, first);
  std::memcpy(s.payload, bytes + first, n - first);
  return MuxQueueUnit(k, pts, n, nextPts);
}

bool MuxQueueAudioFrame(uint32_t track) {
  MuxLayer2Stream& layer2 = Mux.layer2[track];
  const uint32_t pts = layer2.pts;
  layer2.pts += AUDIO_FRAME_TICKS;  // frames follow each other
  return MuxQueueUnit(layer2.unitStream, pts, ENC_FRAME_BYTES, layer2.pts);
}

uint8_t* MuxLayer2FrameSlot(uint32_t track, uint64_t n) {
  return WorkBuffers.audio[track].EncodedFrames + (n % ENCODED_FRAME_SLOTS) * ENC_FRAME_BYTES;
}

bool MuxAppendAudioFrame(uint32_t track, const uint8_t* frame) {
  const uint64_t n = Mux.unit[Mux.layer2[track].unitStream].units;
  if (!MuxQueueAudioFrame(track)) return false;
  std::memcpy(MuxLayer2FrameSlot(track, n), frame, ENC_FRAME_BYTES);
  AudioTracks[track].handoff.FramesEncoded.fetch_add(1, std::memory_order_release);
  return MergeRun();
}

void MuxAddSubStream(uint8_t subStreamId, uint32_t bufferBytes, uint8_t* payload, uint32_t payloadBytes,
                     uint64_t (*ready)()) {
  if (Mux.unitStreams >= MAX_UNIT_STREAMS) return;
  MuxUnitStream& s = Mux.unit[Mux.unitStreams];
  s.streamId = 0xBD;
  s.subStreamId = subStreamId;
  s.alignBytes = 1;
  s.kept = false;
  s.present = true;
  s.rank = 1000 + Mux.unitStreams++;  // after the video and the audio tracks
  s.followingPts = 0;
  s.payload = payload;
  s.payloadBytes = payloadBytes;
  s.bytesReady = ready;
  s.framesFilled = nullptr;
  s.layer2Track = -1;
  ResetUnitQueue(s, FirstPictureTime(), bufferBytes);
}

bool MuxFinishStreams() {
  MuxCloseVideoPack();
  V.ended = true;
  for (uint32_t k = 0; k < Mux.unitStreams; ++k) Mux.unit[k].ended = true;
  return MergeFinish();
}
