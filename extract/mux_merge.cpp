// The merge: at each step the streams' next packs are looked at; among
// those whose bytes fit in their decoder buffer at the current SCR (and
// that are no more than PTS_LEAD_LIMIT ahead of it) the one decoded first
// goes; when none may go, the SCR moves on to the first time one may.
//
// A stream whose next pack is not complete yet (the video pack being
// filled, a frame the worker has not submitted) could be the one to go: the
// merge then waits for it, unless the other streams already hold data well
// past its time (a still picture followed by a minute of sound: its last
// pack is closed as it is and goes), or a store is full.
#include "extract/mux_merge.h"

#include <cstring>

#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/output_multiplexer.h"
#include "extract/output_writer.h"
#include "extract/pack_format.h"
#include "platform/work_buffers.h"

namespace {

// How far the other streams must have got before the merge stops waiting
// for a stream's next pack: a partly filled video pack is closed as it is;
// a stream of units that stays silent is passed over.
constexpr uint32_t CLOSE_AFTER_TICKS = 45000;   // 0.5 s
constexpr uint32_t PASS_OVER_TICKS = 135000;    // 1.5 s

enum class HeadKind { None, Known, Incomplete };

struct Head {
  HeadKind kind = HeadKind::None;
  uint32_t deadline = 0;  // Known: decoding time of its first byte; Incomplete: no earlier than this
  uint32_t key = 0;       // Known: its PTS (or deadline): not sent before key - PTS_LEAD_LIMIT
  uint32_t bytes = 0;
  bool closable = false;  // Incomplete: a partly filled pack
  bool unknownTimes = false;  // Incomplete: complete, its decoding times come with a later picture
  uint32_t frontier = 0;  // no data still to come in the stream is decoded before this
  bool frontierEnds = false;  // the stream has ended: nothing more comes
};

uint32_t StreamCount() { return 1 + Mux.unitStreams; }

DecoderBufferModel& BufferOf(uint32_t stream) {
  return stream == 0 ? Mux.video.buffer : Mux.unit[stream - 1].buffer;
}

uint32_t NextVideoSlot() {
  const MuxVideoStream& v = Mux.video;
  return (v.oldest + v.stored - v.unplaced) % HELD_VIDEO_PACKS;
}

uint32_t PackBytes(const VideoPackInfo& info) {
  uint32_t bytes = 0;
  for (uint32_t i = 0; i < info.segments; ++i) bytes += info.segment[i].bytes;
  return bytes;
}

Head VideoHead() {
  const MuxVideoStream& v = Mux.video;
  Head head;
  head.frontier = v.lastDts;
  head.frontierEnds = v.ended;
  if (v.unplaced > 0) {
    const VideoPackInfo& info = v.info[NextVideoSlot()];
    if (info.unknownMask != 0) {
      head.kind = HeadKind::Incomplete;
      head.deadline = v.lastDts;
      head.unknownTimes = true;
      return head;
    }
    head.kind = HeadKind::Known;
    head.deadline = info.segment[0].dts;
    head.key = info.hasPts ? info.pts : head.deadline;
    head.bytes = PackBytes(info);
    return head;
  }
  if (v.ended) return head;
  head.kind = HeadKind::Incomplete;
  head.deadline = v.lastDts;
  if (v.filled > 0) {
    head.closable = true;
    const VideoPackInfo& info = v.info[(v.oldest + v.stored) % HELD_VIDEO_PACKS];
    if ((info.unknownMask & 1) == 0) head.deadline = info.segment[0].dts;
  }
  return head;
}

uint32_t UnitSlot(uint64_t unit) { return static_cast<uint32_t>(unit % UNIT_SLOTS); }

// The unit that holds byte b (b below the bytes queued).
void AdvancePlacedUnit(MuxUnitStream& s) {
  while (s.placedUnit + 1 < s.units && s.unitStart[UnitSlot(s.placedUnit + 1)] <= s.bytesPlaced) ++s.placedUnit;
}

// Private stream 1 packets start with the sub-stream id: a sub-picture's
// with nothing more, an audio track's with the DVD sub-stream header
// (4 bytes; LPCM 3 parameter bytes more).
bool IsSubPicture(const MuxUnitStream& s) { return (s.subStreamId & 0xE0) == 0x20; }

uint32_t SubStreamHeaderBytes(const MuxUnitStream& s) {
  if (s.subStreamId == 0) return 0;
  if (IsSubPicture(s)) return 1;
  return (s.subStreamId & 0xF8) == 0xA0 ? 7 : 4;
}

// A unit whose time breaks the sequence starts after the first byte not
// yet placed and within length bytes: the pack ends before it.
bool BreakWithin(const MuxUnitStream& s, uint64_t length, uint64_t& start) {
  for (uint64_t u = s.placedUnit + 1; u < s.units; ++u) {
    start = s.unitStart[UnitSlot(u)];
    if (start >= s.bytesPlaced + length) return false;
    if (s.unitBreak[UnitSlot(u)] && start > s.bytesPlaced) return true;
  }
  return false;
}

uint32_t UnitPackCapacity(const MuxUnitStream& s) { return PACK_PAYLOAD_BYTES - SubStreamHeaderBytes(s); }

// A pack's payload: as much as it holds, in whole groups of alignBytes
// (the last one of an ended stream takes what is left). A sub-picture ends
// its pack: the next starts a packet with its own time stamp, as players
// expect.
uint32_t UnitPackLength(const MuxUnitStream& s) {
  uint64_t available = s.bytesQueued - s.bytesPlaced;
  if (IsSubPicture(s) && s.placedUnit + 1 < s.units) {
    const uint64_t unitEnd = s.unitStart[UnitSlot(s.placedUnit + 1)] - s.bytesPlaced;
    available = unitEnd < available ? unitEnd : available;
  }
  const uint32_t capacity = UnitPackCapacity(s);
  uint32_t length = static_cast<uint32_t>(available < capacity ? available : capacity);
  const uint32_t whole = length - length % s.alignBytes;
  if (whole > 0 && (length == capacity || !s.ended)) length = whole;
  uint64_t breakAt;
  if (BreakWithin(s, length, breakAt)) return static_cast<uint32_t>(breakAt - s.bytesPlaced);
  return length;
}

// The PTS of the first unit that starts within the pack, if one does.
bool UnitPackPts(const MuxUnitStream& s, uint32_t length, uint32_t& pts) {
  for (uint64_t u = s.placedUnit; u < s.units; ++u) {
    const uint64_t start = s.unitStart[UnitSlot(u)];
    if (start >= s.bytesPlaced + length) break;
    if (start >= s.bytesPlaced) {
      pts = s.unitPts[UnitSlot(u)];
      return true;
    }
  }
  return false;
}

Head UnitHead(uint32_t k) {
  MuxUnitStream& s = Mux.unit[k];
  AdvancePlacedUnit(s);
  Head head;
  head.frontier = s.nextPts;
  head.frontierEnds = s.ended;
  const uint64_t available = s.bytesQueued - s.bytesPlaced;
  uint64_t breakAt;
  if (available >= UnitPackCapacity(s) || ((s.ended || IsSubPicture(s)) && available > 0) ||
      BreakWithin(s, available, breakAt)) {
    head.kind = HeadKind::Known;
    head.bytes = UnitPackLength(s);
    head.deadline = s.unitPts[UnitSlot(s.placedUnit)];
    if (!UnitPackPts(s, head.bytes, head.key)) head.key = head.deadline;
    return head;
  }
  if (s.ended) return head;
  head.kind = HeadKind::Incomplete;
  head.deadline = available > 0 ? s.unitPts[UnitSlot(s.placedUnit)] : s.nextPts;
  return head;
}

Head HeadOf(uint32_t stream) { return stream == 0 ? VideoHead() : UnitHead(stream - 1); }

// The first time, not before t, at which a known head may go.
bool EligibleTime(uint32_t stream, const Head& head, uint32_t t, uint32_t& when) {
  if (!BufferTimeWhenFits(BufferOf(stream), t, head.bytes, when)) return false;
  const uint32_t lead = head.key - PTS_LEAD_LIMIT;
  when = LaterTime(when, TimeBefore(lead, t) ? t : lead);
  return true;
}

// An incomplete head could go at or before time h.
bool CouldGoBy(uint32_t stream, const Head& head, uint32_t t, uint32_t h) {
  uint32_t fits;
  if (!BufferTimeWhenFits(BufferOf(stream), t, 1, fits)) return false;
  const uint32_t lead = head.deadline - PTS_LEAD_LIMIT;
  return !TimeBefore(h, LaterTime(fits, lead));
}

// The other streams hold data well past the incomplete head's time.
bool OthersHavePassed(uint32_t stream, const Head* heads, uint32_t ticks) {
  for (uint32_t j = 0; j < StreamCount(); ++j) {
    if (j == stream || heads[j].frontierEnds) continue;
    if (!TimeBefore(heads[j].frontier, heads[stream].deadline + ticks)) return true;
  }
  return false;
}

// Its segments waiting for a later picture take the latest time known.
void SettleUnknownTimes() {
  VideoPackInfo& info = Mux.video.info[NextVideoSlot()];
  for (uint32_t i = 0; i < info.segments; ++i)
    if ((info.unknownMask >> i) & 1) info.segment[i].dts = Mux.video.lastDts;
  info.unknownMask = 0;
}

void PlaceVideo(uint32_t t) {
  MuxVideoStream& v = Mux.video;
  const uint32_t slot = NextVideoSlot();
  const VideoPackInfo& info = v.info[slot];
  for (uint32_t i = 0; i < info.segments; ++i) BufferAdd(v.buffer, info.segment[i]);
  QueuedPack& q = Mux.queue[(Mux.queueFirst + Mux.queueCount) % OUTPUT_QUEUE_SLOTS];
  q = QueuedPack{};
  q.stream = 0;
  q.scr = t;
  q.slot = slot;
  ++Mux.queueCount;
  --v.unplaced;
}

void PlaceUnit(uint32_t k, uint32_t t) {
  MuxUnitStream& s = Mux.unit[k];
  const uint32_t length = UnitPackLength(s);
  QueuedPack& q = Mux.queue[(Mux.queueFirst + Mux.queueCount) % OUTPUT_QUEUE_SLOTS];
  q = QueuedPack{};
  q.stream = 1 + k;
  q.scr = t;
  q.start = s.bytesPlaced;
  q.length = length;
  q.hasPts = UnitPackPts(s, length, q.pts);
  for (uint64_t u = s.placedUnit; u < s.units; ++u) {
    const uint64_t start = s.unitStart[UnitSlot(u)];
    if (start >= s.bytesPlaced + length) break;
    if (start < s.bytesPlaced) continue;
    if (q.frames++ == 0) {
      q.firstOffset = static_cast<uint32_t>(start - s.bytesPlaced);
      q.firstUnit = u;
    }
  }
  ++Mux.queueCount;
  // Each unit's share of the pack is decoded at its time.
  const uint64_t end = s.bytesPlaced + length;
  for (uint64_t u = s.placedUnit; u < s.units; ++u) {
    const uint64_t from = s.unitStart[UnitSlot(u)];
    if (from >= end) break;
    const uint64_t to = u + 1 < s.units ? s.unitStart[UnitSlot(u + 1)] : s.bytesQueued;
    const uint64_t a = from > s.bytesPlaced ? from : s.bytesPlaced;
    const uint64_t b = to < end ? to : end;
    if (b > a) BufferAdd(s.buffer, BufferSegment{s.unitPts[UnitSlot(u)], static_cast<uint32_t>(b - a)});
  }
  s.bytesPlaced = end;
}

void Place(uint32_t stream, const Head& head, uint32_t t) {
  if (TimeBefore(head.deadline, t + Mux.packTicks)) ++Mux.latePacks;
  if (Mux.orderUntil == 0) Mux.orderUntil = t + 90000 + 1;  // one second; never 0
  Mux.startedStreams |= uint64_t{1} << stream;
  if (stream == 0) {
    PlaceVideo(t);
  } else {
    PlaceUnit(stream - 1, t);
  }
  Mux.OutputScr = t + Mux.packTicks;
}

enum class Step { Placed, Changed, Wait };

// A stream has placed a pack.
bool Started(uint32_t stream) { return ((Mux.startedStreams >> stream) & 1) != 0; }

uint32_t RankOf(uint32_t stream) { return stream == 0 ? 0 : Mux.unit[stream - 1].rank; }

// A reader lists the streams in the order their first packs come: while
// the output starts (its first second), no stream's first pack goes before
// that of a stream earlier in the output order that is still to come.
bool HeldForOrder(uint32_t stream, const bool* started) {
  if (Mux.firstPacksInOrder || Mux.forced || started[stream]) return false;
  if (Mux.orderUntil != 0 && !TimeBefore(Mux.OutputScr, Mux.orderUntil)) {
    Mux.firstPacksInOrder = true;
    return false;
  }
  for (uint32_t j = 0; j < StreamCount(); ++j) {
    if (started[j] || RankOf(j) >= RankOf(stream)) continue;
    if (j > 0 && Mux.unit[j - 1].ended && Mux.unit[j - 1].bytesQueued == 0) continue;
    return true;
  }
  return false;
}

Step PlaceOne() {
  const uint32_t t = Mux.OutputScr;
  Head heads[1 + MAX_UNIT_STREAMS];
  bool started[1 + MAX_UNIT_STREAMS];
  const uint32_t n = StreamCount();
  for (uint32_t i = 0; i < n; ++i) {
    BufferDecodeUntil(BufferOf(i), t);
    heads[i] = HeadOf(i);
    started[i] = Mux.firstPacksInOrder || Started(i);
  }
  for (uint32_t i = 0; i < n; ++i)
    if (heads[i].kind == HeadKind::Known && HeldForOrder(i, started)) heads[i].kind = HeadKind::None;
  // The known head that may go now and is decoded first; or, when none may,
  // the first time one may.
  int best = -1;
  bool anyKnown = false;
  uint32_t next = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (heads[i].kind != HeadKind::Known) continue;
    uint32_t when;
    if (!EligibleTime(i, heads[i], t, when)) continue;
    if (when == t && (best < 0 || TimeBefore(heads[i].deadline, heads[best].deadline))) best = static_cast<int>(i);
    if (!anyKnown || TimeBefore(when, next)) next = when;
    anyKnown = true;
  }
  const uint32_t horizon = best >= 0 ? t : next;
  for (uint32_t i = 0; i < n; ++i) {
    const Head& head = heads[i];
    if (head.kind != HeadKind::Incomplete) continue;
    if (anyKnown && !CouldGoBy(i, head, t, horizon)) continue;
    if (best >= 0 && !TimeBefore(head.deadline, heads[best].deadline)) continue;
    const bool stale = Mux.forced || OthersHavePassed(i, heads, head.closable ? CLOSE_AFTER_TICKS : PASS_OVER_TICKS);
    if (!stale) return Step::Wait;
    if (head.closable) {
      MuxCloseVideoPack();
      return Step::Changed;
    }
    if (head.unknownTimes) {
      SettleUnknownTimes();
      return Step::Changed;
    }
  }
  if (best >= 0) {
    Place(static_cast<uint32_t>(best), heads[best], t);
    return Step::Placed;
  }
  if (!anyKnown) return Step::Wait;
  Mux.OutputScr = next;
  return Step::Changed;
}

uint8_t* VideoSlot(uint32_t slot) { return WorkBuffers.VideoPacks + slot * OUTPUT_PACK_BYTES; }

// The Layer II frames: ready as their track's encoder thread has encoded them.
bool UnitBytesThere(const MuxUnitStream& s, uint64_t end) {
  if (s.framesFilled != nullptr) return s.framesFilled->load(std::memory_order_acquire) * ENC_FRAME_BYTES >= end;
  return s.bytesReady == nullptr || s.bytesReady() >= end;
}

// The DVD sub-stream header: the frames that start in the packet and the
// first one's place, counted from the pointer field's last byte; LPCM's
// parameter bytes follow with the frame number (modulo 20) of that frame.
void WriteSubStreamHeader(const MuxUnitStream& s, const QueuedPack& q, uint8_t* header) {
  header[0] = s.subStreamId;
  if (IsSubPicture(s)) return;
  const uint32_t extra = SubStreamHeaderBytes(s) - 4;
  const uint32_t pointer = q.frames == 0 ? 0 : q.firstOffset + 1 + extra;
  header[0] = s.subStreamId;
  header[1] = static_cast<uint8_t>(q.frames > 255 ? 255 : q.frames);
  header[2] = static_cast<uint8_t>(pointer >> 8);
  header[3] = static_cast<uint8_t>(pointer);
  if (extra == 0) return;
  header[4] = static_cast<uint8_t>((s.lpcmParameters[0] & 0xE0) | (q.firstUnit % 20));
  header[5] = s.lpcmParameters[1];
  header[6] = s.lpcmParameters[2];
}

void BuildUnitPack(const MuxUnitStream& s, const QueuedPack& q, uint8_t* pack) {
  WritePackHeader(pack, q.scr, Mux.MuxRate);
  WritePesHeader(pack, s.subStreamId != 0 ? 0xBD : s.streamId);
  if (q.hasPts) {
    WritePtsField(pack + 23, q.pts);
  } else {
    pack[21] = 0x00;
    std::memset(pack + 23, 0xFF, 5);
  }
  uint32_t position = PACK_PAYLOAD_START;
  uint32_t free = UnitPackCapacity(s) - q.length;
  // A kept track's payload is never followed by filler bytes: a few free
  // bytes become PES header stuffing before it.
  if (s.kept && free > 0 && free <= 6) {
    std::memset(pack + position, 0xFF, free);
    pack[22] = static_cast<uint8_t>(pack[22] + free);
    position += free;
    free = 0;
  }
  if (s.subStreamId != 0) {
    WriteSubStreamHeader(s, q, pack + position);
    position += SubStreamHeaderBytes(s);
  }
  const uint32_t offset = static_cast<uint32_t>(q.start % s.payloadBytes);
  const uint32_t first = q.length < s.payloadBytes - offset ? q.length : s.payloadBytes - offset;
  std::memcpy(pack + position, s.payload + offset, first);
  std::memcpy(pack + position + first, s.payload, q.length - first);
  position += q.length;
  if (free > 0) ClosePartialPack(pack, position, free);
}

bool WriteOne(const QueuedPack& q) {
  if (q.stream == 0) {
    MuxVideoStream& v = Mux.video;
    uint8_t* pack = VideoSlot(q.slot);
    WriteScr(pack, q.scr);
    if (!OutputAppendPack(pack)) return false;
    v.oldest = (v.oldest + 1) % HELD_VIDEO_PACKS;
    --v.stored;
    return true;
  }
  MuxUnitStream& s = Mux.unit[q.stream - 1];
  BuildUnitPack(s, q, WorkBuffers.AudioPack);
  if (!OutputAppendPack(WorkBuffers.AudioPack)) return false;
  s.bytesWritten = q.start + q.length;
  return true;
}

}  // namespace

bool MergePlace() {
  for (;;) {
    if (Mux.queueCount == OUTPUT_QUEUE_SLOTS) return true;
    if (PlaceOne() == Step::Wait) return true;
  }
}

bool MergeWrite(bool waitForFrames) {
  while (Mux.queueCount > 0) {
    const QueuedPack& q = Mux.queue[Mux.queueFirst];
    if (q.stream == 0) {
      if (Mux.video.info[q.slot].ticket != 0) return true;  // its picture time is still open
    } else {
      const MuxUnitStream& s = Mux.unit[q.stream - 1];
      const uint64_t end = q.start + q.length;
      if (!UnitBytesThere(s, end)) {
        if (!waitForFrames) return true;
        AwaitEncoder(AudioTracks[s.layer2Track].handoff, ANY_PAIR, [&s, end] { return UnitBytesThere(s, end); });
      }
    }
    if (!WriteOne(q)) return false;
    Mux.queueFirst = (Mux.queueFirst + 1) % OUTPUT_QUEUE_SLOTS;
    --Mux.queueCount;
  }
  return true;
}

bool MergeRun() { return MergePlace() && MergeWrite(false); }

bool MergeForceProgress() {
  // A pack at the head that waits for its picture time keeps its estimate.
  if (Mux.queueCount > 0 && Mux.queue[Mux.queueFirst].stream == 0) {
    if (Mux.video.info[Mux.queue[Mux.queueFirst].slot].ticket != 0) {
      MuxClearTickets();
      return true;
    }
  }
  const uint32_t before = Mux.queueCount;
  Mux.forced = true;
  MergePlace();
  Mux.forced = false;
  return Mux.queueCount != before;
}

bool MergeFinish() {
  Mux.forced = true;
  MergePlace();
  Mux.forced = false;
  return MergeWrite(true);
}
