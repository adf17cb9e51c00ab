#include "extract/kept_audio.h"

#include <algorithm>
#include <cstring>

#include "extract/output_multiplexer.h"
#include "extract/time_mapping.h"
#include "report/messages.h"
#include "report/string_table.h"
#include "source/input_layout.h"

KeptAudioState KeptAudio;

namespace {

constexpr uint32_t SUB_STREAM_HEADER_BYTES = 4;  // id, frame count, first access unit pointer
constexpr uint32_t LPCM_PARAMETER_BYTES = 3;
constexpr uint32_t RING_BYTES = 1 << 20;  // a few seconds of the fastest track, as long as video may be held

// Decoder buffers: MPEG audio as the Layer II stream; AC-3 and DTS frames
// of up to 4 KiB; LPCM at up to 6.144 Mbit/s.
uint32_t BufferBytes(KeptFormat format) {
  switch (format) {
    case KeptFormat::Mpeg: return MPEG_AUDIO_BUFFER_BYTES;
    case KeptFormat::Ac3: return 8192;
    case KeptFormat::Dts: return 16384;
    case KeptFormat::Lpcm: break;
  }
  return 16384;
}

bool Private(const KeptTrack& track) { return track.request.format != KeptFormat::Mpeg; }

uint8_t* At(KeptTrack& track, uint64_t position) { return track.bytes.data() + (position - track.base); }
uint64_t End(const KeptTrack& track) { return track.base + track.bytes.size(); }

// The offset within the packet's data of the first frame that starts in
// it, from the first access unit pointer (counted from its own last byte);
// false when the packet says none starts in it.
bool FirstFrameOffset(const KeptTrack& track, const uint8_t* subHeader, uint32_t dataBytes, uint32_t& offset) {
  const uint32_t frames = subHeader[1];
  const uint32_t pointer = ReadBigEndian16(subHeader + 2);
  const uint32_t skipped = track.request.format == KeptFormat::Lpcm ? LPCM_PARAMETER_BYTES : 0;
  if (frames == 0 || pointer == 0 || pointer - 1 < skipped || pointer - 1 - skipped >= dataBytes) return false;
  offset = pointer - 1 - skipped;
  return true;
}

// The time of a frame starting at `start`: the mark of the packet it is
// the first frame of; marks that no frame took are passed over.
bool TakeMark(KeptTrack& track, uint64_t start, uint32_t& pts) {
  size_t used = 0;
  bool found = false;
  while (used < track.marks.size() && track.marks[used].to <= start) ++used;
  if (used < track.marks.size() && track.marks[used].from <= start) {
    pts = track.marks[used].pts;
    // LPCM packets are timed at the first sample they carry, wherever their
    // first frame starts.
    if (track.request.format == KeptFormat::Lpcm && track.lpcmFrame.bytes != 0)
      pts += static_cast<uint32_t>((start - track.marks[used].from) * track.lpcmFrame.ticks / track.lpcmFrame.bytes);
    found = true;
    ++used;
  }
  track.marks.erase(track.marks.begin(), track.marks.begin() + static_cast<std::ptrdiff_t>(used));
  return found;
}

// How far a packet's time may stray from the time that follows from the
// frames before it and still be taken as the same sequence: rounding of the
// muxer that wrote it (LPCM packets are timed at their first byte, not at a
// frame: up to one frame). A larger difference is a gap or a step back, and
// the frame takes the packet's time.
uint32_t SequenceTolerance(KeptFormat format) { return format == KeptFormat::Lpcm ? 150 : 45; }

bool FollowsSequence(const KeptTrack& track, uint32_t pts) {
  const auto difference = static_cast<int32_t>(pts - track.nextInputPts);
  const auto tolerance = static_cast<int32_t>(SequenceTolerance(track.request.format));
  return track.chainTimed && difference >= -tolerance && difference <= tolerance;
}

void AddFrame(KeptTrack& track, uint64_t start, const AudioFrameSize& size) {
  KeptFrame frame{start, size.bytes, size.ticks, 0, false};
  uint32_t pts;
  if (TakeMark(track, start, pts) && !FollowsSequence(track, pts)) {
    frame.inputPts = pts;
    frame.timed = true;
    // Frames before the first time stamp count back from it.
    uint32_t back = pts;
    for (auto it = track.held.rbegin(); it != track.held.rend() && !it->timed; ++it) {
      back -= it->ticks;
      it->inputPts = back;
      it->timed = true;
    }
  } else if (track.chainTimed) {
    frame.inputPts = track.nextInputPts;
    frame.timed = true;
  }
  track.chainTimed = frame.timed;
  track.nextInputPts = frame.inputPts + frame.ticks;
  track.held.push_back(frame);
  track.cursor = start + size.bytes;
  track.synced = true;
}

// A frame of a format with sync words at the cursor, or the next sync.
bool CutSyncedFrame(KeptTrack& track) {
  const uint64_t end = End(track);
  while (track.cursor + FRAME_HEADER_BYTES <= end) {
    AudioFrameSize size;
    if (ReadFrameHeader(track.request.format, At(track, track.cursor), size)) {
      if (track.cursor + size.bytes > end) return false;  // the rest comes with later packets
      AddFrame(track, track.cursor, size);
      return true;
    }
    // Damaged or not yet in step: the bytes up to the next header are no frame.
    track.synced = false;
    ++track.cursor;
    while (track.cursor + FRAME_HEADER_BYTES <= end &&
           !ReadFrameHeader(track.request.format, At(track, track.cursor), size))
      ++track.cursor;
    track.synced = track.cursor + FRAME_HEADER_BYTES <= end;
  }
  return false;
}

bool CutLpcmFrame(KeptTrack& track) {
  if (track.lpcmFrame.bytes == 0 || track.cursor + track.lpcmFrame.bytes > End(track)) return false;
  AddFrame(track, track.cursor, track.lpcmFrame);
  return true;
}

// Drops the bytes before the first frame still held (or the cursor).
void Compact(KeptTrack& track) {
  const uint64_t keep = track.held.empty() ? track.cursor : track.held.front().start;
  if (keep <= track.base) return;
  const auto n = static_cast<std::ptrdiff_t>(std::min<uint64_t>(keep, End(track)) - track.base);
  track.bytes.erase(track.bytes.begin(), track.bytes.begin() + n);
  track.base += static_cast<uint64_t>(n);
}

// Frames whose input time is known go on at their output time.
bool HandOn(KeptTrack& track, bool untimedToo) {
  size_t n = 0;
  bool ok = true;
  for (; n < track.held.size() && ok; ++n) {
    KeptFrame& frame = track.held[n];
    if (!frame.timed) {
      if (!untimedToo) break;
      frame.inputPts = TimeMapping.inputBase;  // no time at all: at the stretch's start
    }
    const uint32_t pts = InputToOutputTime(frame.inputPts);
    track.lastOutputEnd = pts + frame.ticks;
    ok = MuxQueueUnitBytes(track.muxStream, pts, At(track, frame.start), frame.bytes, track.lastOutputEnd);
    ++track.framesOut;
  }
  track.held.erase(track.held.begin(), track.held.begin() + static_cast<std::ptrdiff_t>(n));
  Compact(track);
  return ok;
}

}  // namespace

void KeptAudioReset() {
  KeptAudio.count = 0;
  for (const KeptTrackRequest& request : KeptAudio.requests) {
    if (KeptAudio.count == MAX_KEPT_TRACKS) break;
    KeptTrack& track = KeptAudio.tracks[KeptAudio.count++];
    track = KeptTrack{};
    track.request = request;
  }
}

void KeptAudioPlanStreams() {
  Mux.plannedStreams = 0;
  for (uint32_t i = 0; i < KeptAudio.count && Mux.plannedStreams + 1 < MAX_UNIT_STREAMS; ++i) {
    KeptTrack& track = KeptAudio.tracks[i];
    track.ring.assign(RING_BYTES, 0);
    MuxUnitPlan& plan = Mux.plan[Mux.plannedStreams++];
    plan = MuxUnitPlan{};
    plan.streamId = Private(track) ? 0xBD : track.request.outputId;
    plan.subStreamId = Private(track) ? track.request.outputId : 0;
    plan.bufferBytes = BufferBytes(track.request.format);
    plan.payload = track.ring.data();
    plan.payloadBytes = RING_BYTES;
    plan.rank = track.request.rank;
    track.muxStream = Mux.plannedStreams;  // after the Layer II stream
  }
}

int KeptRequestOf(bool privateStream, uint8_t id) {
  const size_t count = std::min<size_t>(KeptAudio.requests.size(), MAX_KEPT_TRACKS);
  for (size_t k = 0; k < count; ++k) {
    const KeptTrackRequest& request = KeptAudio.requests[k];
    if ((request.format != KeptFormat::Mpeg) == privateStream && request.inputId == id) return static_cast<int>(k);
  }
  return -1;
}

namespace {

KeptTrack* KeptTrackOf(bool privateStream, uint8_t id) {
  const int k = KeptRequestOf(privateStream, id);
  return k >= 0 && static_cast<uint32_t>(k) < KeptAudio.count ? &KeptAudio.tracks[k] : nullptr;
}

}  // namespace

KeptTrack* KeptTrackOfStream(uint8_t streamId) { return KeptTrackOf(false, streamId); }

KeptTrack* KeptTrackOfSubStream(uint8_t subStreamId) { return KeptTrackOf(true, subStreamId); }

bool KeptPacketIn(KeptTrack& track, const uint8_t* packet, uint32_t length) {
  uint32_t h = PesPayloadOffset(packet);
  const uint8_t* subHeader = packet + h;
  if (Private(track)) h += SUB_STREAM_HEADER_BYTES;
  if (track.request.format == KeptFormat::Lpcm) {
    if (h + LPCM_PARAMETER_BYTES > length) return true;
    std::memcpy(track.lpcmParameters, packet + h, LPCM_PARAMETER_BYTES);
    if (track.lpcmFrame.bytes == 0) {
      if (!LpcmFrameSize(track.lpcmParameters, track.lpcmFrame)) {
        ShowVobDetailError(IDS_INVALID_PCM);
        return true;
      }
      MuxUnitStream& stream = Mux.unit[track.muxStream];
      std::memcpy(stream.lpcmParameters, track.lpcmParameters, LPCM_PARAMETER_BYTES);
      // Packets hold whole frames: readers time an LPCM packet at its first
      // byte, the DVD at its first frame; so the two agree.
      stream.alignBytes = track.lpcmFrame.bytes;
    }
    h += LPCM_PARAMETER_BYTES;
  }
  if (h >= length) return true;
  const uint32_t n = length - h;
  const uint64_t position = track.taken;
  uint32_t offset = 0;
  const bool startsFrame = !Private(track) || FirstFrameOffset(track, subHeader, n, offset);
  if (PesHasPts(packet, length) && startsFrame) track.marks.push_back({position + offset, position + n, ReadPesPts(packet)});
  if (!track.synced) {
    // The track starts (or restarts) at the first frame the packet names.
    if (track.request.format == KeptFormat::Lpcm) {
      if (!startsFrame) return true;
      track.cursor = position + offset;
      track.synced = true;
    } else if (Private(track) && startsFrame) {
      track.cursor = position + offset;
    }
  }
  if (track.bytes.empty()) track.base = position;
  track.bytes.insert(track.bytes.end(), packet + h, packet + length);
  track.taken += n;
  if (track.request.format == KeptFormat::Lpcm) {
    while (CutLpcmFrame(track)) {
    }
  } else {
    while (CutSyncedFrame(track)) {
    }
  }
  if (!OutputTimeKnown()) {
    Compact(track);
    return true;
  }
  return HandOn(track, false);
}

bool KeptAudioTimeKnown() {
  bool ok = true;
  for (uint32_t i = 0; i < KeptAudio.count; ++i) ok = HandOn(KeptAudio.tracks[i], false) && ok;
  return ok;
}

bool KeptAudioClockStep() {
  bool ok = true;
  for (uint32_t i = 0; i < KeptAudio.count; ++i) {
    KeptTrack& track = KeptAudio.tracks[i];
    if (OutputTimeKnown()) ok = HandOn(track, true) && ok;
    // A frame cut by the step is no frame; the next starts where the next packet says.
    track.chainTimed = false;
    track.marks.clear();
    track.synced = false;
    track.cursor = End(track);
    Compact(track);
  }
  return ok;
}

bool KeptAudioFinish() {
  // Without any tie the frames count from the first picture's time.
  if (!TimeMapping.everKnown) TimeMappingTie(FirstPictureTime(), 0);
  bool ok = true;
  for (uint32_t i = 0; i < KeptAudio.count; ++i) ok = HandOn(KeptAudio.tracks[i], true) && ok;
  return ok;
}
