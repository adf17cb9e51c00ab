// The video side of the packet intake: payload bytes go unchanged into the
// output; a start-code scanner, whose state carries over from packet to
// packet, finds GOP and picture start codes even when they are split.
#include <algorithm>
#include <cstring>

#include "common/time_values.h"
#include "common/q24.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/av_alignment.h"
#include "source/input_layout.h"
#include "extract/output_multiplexer.h"
#include "extract/packet_intake.h"
#include "extract/start_code_search.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"

PacketIntakeState Intake;

namespace {

constexpr uint8_t PICTURE_START = 0x00;
constexpr uint8_t GROUP_START = 0xB8;
constexpr uint8_t SEQUENCE_HEADER = 0xB3;
constexpr uint8_t EXTENSION_START = 0xB5;
constexpr uint32_t HEADER_BYTES = sizeof(Intake.headerBytes);

bool AppendHeld(uint32_t count) { return MuxAppendVideoBytes(Intake.held, count); }

bool GopStart() {
  Intake.GopSeen = true;
  Walk.countUntimed = false;
  Walk.softBreak = false;
  if (Intake.VideoRefSet) return VideoGopEnd();
  VideoGopSkipped();
  return true;
}

// Takes, without consuming them, the header bytes that follow a sequence
// header or extension start code (they may lie in later packets).
bool TakeHeaderBytes(const uint8_t* from, const uint8_t* end) {
  if (Intake.headerHave >= HEADER_BYTES) return true;
  const auto n = std::min<size_t>(HEADER_BYTES - Intake.headerHave, static_cast<size_t>(end - from));
  std::memcpy(Intake.headerBytes + Intake.headerHave, from, n);
  Intake.headerHave += static_cast<uint32_t>(n);
  if (Intake.headerHave < HEADER_BYTES) return true;
  if (Intake.headerCode == SEQUENCE_HEADER) return VideoTakeSequenceHeader(Intake.headerBytes);
  return VideoTakeExtension(Intake.headerBytes);
}

// A picture start code 00 00 01 00 b0 b1 is complete (not yet appended).
bool Picture() {
  const uint32_t tr = (uint32_t{Intake.held[4]} << 2) | (Intake.held[5] >> 6);
  const auto codingType = static_cast<uint8_t>((Intake.held[5] >> 3) & 0x07);
  // After a short skip the GOP's count goes on; a picture whose
  // temporal_reference the GOP has already shown belongs to a later GOP
  // whose header was lost: the streams realign as after a long skip.
  if (Walk.softBreak && Intake.GopSeen && VideoShown(tr)) {
    Walk.softBreak = false;
    Walk.resyncPending = true;
  }
  const PictureStamps stamps = VideoPictureStart(tr, codingType, Intake.GopSeen);
  // Untimed pictures of the GOP the skip fell into continue its count: a
  // temporal_reference beyond the pictures counted extends it.
  if (!Intake.GopSeen && Walk.countUntimed) {
    if (!AudioTracksCatchUp()) return false;
    for (; Walk.untimedFrames <= tr; ++Walk.untimedFrames) VideoCountUntimedPicture();
  }
  const TimeCandidate& a = Intake.candidateA;
  if (!Intake.VideoRefSet && Intake.GopSeen && a.hasPts && VideoTiming.fieldHalfTicks != 0) {
    // Frames gathered before the reference are held back as pre-roll.
    if (!AudioTracksCatchUp()) return false;
    Intake.GopStartInputPts = VideoSetReference(a.pts);
    Intake.RefVideoBase = Intake.VideoBase;
    for (uint32_t k = 0; k < AudioTrackCount; ++k) {
      AudioTrack& t = AudioTracks[k];
      if (!t.intake.AudioStarted) continue;
      t.intake.AvOffset = SatAdd(
          t.intake.AvOffset, TicksToSamples(static_cast<int32_t>(Intake.GopStartInputPts - t.intake.FirstAudioPts)));
      if (!ApplyAvOffset(t) || !ReleasePreRoll(t)) return false;
    }
    Intake.VideoRefSet = true;
    StampsSettled();
  }
  for (uint32_t k = 0; k < AudioTrackCount && Intake.VideoRefSet; ++k) {
    if (!AudioTracks[k].intake.AudioStarted && !FillSilenceUntilAudio(AudioTracks[k])) return false;
  }
  uint32_t ticket = 0;
  if (!MuxMarkPictureStart(Intake.VideoRefSet, stamps, &ticket)) return false;
  if (ticket != 0) VideoStampPending(ticket);
  if (Intake.GopSeen && tr >= Intake.GopFrames) Intake.GopFrames = tr + 1;
  return AppendHeld(6);
}

}  // namespace

void VideoScanReset() {
  Intake.VideoScanState = 0;
  Intake.headerHave = HEADER_BYTES;
  Intake.held[0] = 0x00;
  Intake.held[1] = 0x00;
  Intake.held[2] = 0x01;
  Intake.held[3] = 0x00;
}

bool VideoScanRelease() {
  // In state k the scanner holds the first k bytes of 00 00 01 00 b0.
  uint32_t count = static_cast<uint32_t>(Intake.VideoScanState);
  VideoScanReset();
  return count == 0 || AppendHeld(count);
}

bool VideoPacketIn(const uint8_t* packet, uint32_t length) {
  TimeCandidate packetTime;
  if (PesHasPts(packet, length) && StampTrusted(ReadPesPts(packet))) {
    packetTime.hasPts = true;
    packetTime.pts = ReadPesPts(packet);
  }
  uint32_t start = length >= 9 ? PesPayloadOffset(packet) : length;
  if (start >= length) return true;  // header only, or a header length past the packet

  const uint8_t* p = packet + start;
  const uint8_t* const end = packet + length;
  if (!TakeHeaderBytes(p, end)) return false;
  const uint8_t* run = p;  // input bytes passed on but not yet appended
  int& state = Intake.VideoScanState;
  while (p < end) {
    const uint8_t byte = *p;
    switch (state) {
      case 0: {
        // Zero bytes are common inside coded pictures: only a whole
        // 00 00 01 in this packet, or zeros that end it, wake the byte-wise
        // states. The zeros before a code (and its 01) are held, not appended.
        const uint8_t* code = FindStartCodePrefix(p, end);
        if (code != nullptr) {
          if (!MuxAppendVideoBytes(run, static_cast<uint32_t>(code - run))) return false;
          Intake.candidateA = Intake.candidateB = packetTime;
          state = 3;
          p = run = code + 3;
          continue;
        }
        const int zeros = end - p >= 2 && end[-1] == 0x00 && end[-2] == 0x00 ? 2 : end[-1] == 0x00 ? 1 : 0;
        if (!MuxAppendVideoBytes(run, static_cast<uint32_t>(end - zeros - run))) return false;
        if (zeros >= 1) Intake.candidateA = packetTime;
        if (zeros == 2) Intake.candidateB = packetTime;
        state = zeros;
        return true;
      }
      case 1:
        if (byte == 0x00) {
          Intake.candidateB = packetTime;
          state = 2;
        } else {
          if (!AppendHeld(1)) return false;
          run = p++;
          state = 0;
          continue;
        }
        break;
      case 2:
        if (byte == 0x00) {
          if (!AppendHeld(1)) return false;  // the oldest zero is passed on
          Intake.candidateA = Intake.candidateB;
          Intake.candidateB = packetTime;
        } else if (byte == 0x01) {
          state = 3;
        } else {
          if (!AppendHeld(2)) return false;
          run = p++;
          state = 0;
          continue;
        }
        break;
      case 3:
        if (byte == PICTURE_START) {
          state = 4;
        } else {
          if (byte == GROUP_START && !GopStart()) return false;
          if (!AppendHeld(3)) return false;
          run = p++;
          state = 0;
          if (byte == SEQUENCE_HEADER || byte == EXTENSION_START) {
            Intake.headerCode = byte;
            Intake.headerHave = 0;
            if (!TakeHeaderBytes(p, end)) return false;
          }
          continue;
        }
        break;
      case 4:
        Intake.held[4] = byte;
        state = 5;
        break;
      case 5:
        Intake.held[5] = byte;
        state = 0;
        if (!Picture()) return false;
        break;
    }
    run = ++p;  // the byte is held (or, in state 5, appended with the code)
  }
  return MuxAppendVideoBytes(run, static_cast<uint32_t>(end - run));
}
