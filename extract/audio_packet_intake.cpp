// The audio side of the packet intake: LPCM samples converted directly,
// AC-3 sync frames found by a sync search, gathered across packets when they
// are split, and decoded.
#include <algorithm>
#include <cstring>

#include "ac3/ac3_decoder.h"
#include "report/messages.h"
#include "report/string_table.h"
#include "extract/title_selection.h"
#include "common/time_values.h"
#include "common/q24.h"
#include "extract/audio_delay.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/av_alignment.h"
#include "source/input_layout.h"
#include "extract/packet_intake.h"
#include "platform/work_buffers.h"

Ac3FrameDecoderFunction Ac3FrameDecoder = Ac3DecodeFrame;

namespace {

constexpr uint32_t PCM_HEADER_BYTES = 7;  // sub-stream id, 3 bytes, LPCM parameters
constexpr uint32_t AC3_HEADER_BYTES = 4;  // sub-stream id, frame count, pointer
constexpr uint32_t PCM_MAX_BYTES = 6144;  // 1536 stereo 16-bit samples
constexpr uint16_t AC3_SYNC_WORD = 0x0B77;


bool HandOn(AudioTrack& t, const Q24* left, const Q24* right, uint32_t m) {
  if (!Intake.VideoRefSet) {
    HoldPreRoll(t, left, right, m);
    return true;
  }
  return AudioOut(t, left, right, m);
}

bool HandOn(AudioTrack& t, uint32_t m) { return HandOn(t, t.buffers->DecodedLeft, t.buffers->DecodedRight, m); }

// The oldest frame back from the decoder thread, its samples handed on and
// what decoding it found wrong shown where the walk had gathered it.
bool TakeOldestBack(AudioTrack& t) {
  DecodeSlot& slot = DecodeAheadOldest(t);
  ShowHeldDetailErrors(slot.errors, slot.position);
  const bool handed = HandOn(t, slot.left, slot.right, AC3_FRAME_SAMPLES);
  DecodeAheadRelease(t);
  return handed;
}

bool PcmPacketIn(AudioTrack& t, const uint8_t* packet, uint32_t length, uint32_t h) {
  t.intake.PcmFound = true;
  uint32_t n = length - h - PCM_HEADER_BYTES;  // wraps for a packet shorter than its headers
  if (n % 4 != 0 || n > PCM_MAX_BYTES || h + PCM_HEADER_BYTES > length) {
    ShowVobDetailError(IDS_INVALID_PCM);
    return true;
  }
  const uint8_t* s = packet + h + PCM_HEADER_BYTES;
  uint32_t m = n / 4;
  for (uint32_t i = 0; i < m; ++i, s += 4) {
    t.buffers->DecodedLeft[i] = static_cast<int16_t>((s[0] << 8) | s[1]) * 512;
    t.buffers->DecodedRight[i] = static_cast<int16_t>((s[2] << 8) | s[3]) * 512;
  }
  return HandOn(t, m);
}

bool DecodeAc3Frame(AudioTrack& t, const uint8_t* frame) {
  if (DecodesAhead(t.ahead)) {
    if (FramesAhead(t.ahead) == DECODE_AHEAD_FRAMES && !TakeOldestBack(t)) return false;
    DecodeAheadSubmit(t, frame, t.intake.ac3FrameBytes);
    return true;
  }
  Ac3FrameDecoder(t.decoder, frame, t.intake.ac3FrameBytes, t.buffers->DecodedLeft, t.buffers->DecodedRight);
  return HandOn(t, AC3_FRAME_SAMPLES);
}

bool Ac3DataIn(AudioTrack& t, const uint8_t* data, uint32_t n) {
  AudioIntakeState& a = t.intake;
  uint8_t* const frameBuffer = t.buffers->Ac3FrameBuffer;
  while (n > 0) {
    switch (a.Ac3GatherState) {
      case 0:
        a.ac3SyncWord = static_cast<uint16_t>((a.ac3SyncWord << 8) | *data);
        ++data;
        --n;
        if (a.ac3SyncWord == AC3_SYNC_WORD) a.Ac3GatherState = 1;
        break;
      case 1:  // crc1, first byte
      case 2:  // crc1, second byte
        ++data;
        --n;
        ++a.Ac3GatherState;
        break;
      case 3: {
        const uint8_t b = *data;
        if ((b & 0xC0) != 0) {
          ShowVobDetailError(IDS_INVALID_AC3_RATE);
          a.Ac3GatherState = 0;  // the byte is searched again
          break;
        }
        const uint32_t words = Ac3FrameWords48k(b);  // fscod 0: b is frmsizecod; 0 when invalid
        if (words == 0) {
          ShowVobDetailError(IDS_INVALID_AC3_FRMSIZE);
          a.Ac3GatherState = 0;
          break;
        }
        a.ac3FrameBytes = 2 * words - 5;
        ++data;
        --n;
        a.Ac3GatherState = 4;
        break;
      }
      case 4:
        if (n < a.ac3FrameBytes) {
          std::memcpy(frameBuffer, data, n);
          a.ac3Fill = n;
          a.ac3Missing = a.ac3FrameBytes - n;
          a.Ac3GatherState = 5;
          return true;
        }
        a.Ac3GatherState = 0;
        if (!DecodeAc3Frame(t, data)) return false;  // in place
        data += a.ac3FrameBytes;
        n -= a.ac3FrameBytes;
        break;
      case 5: {
        const uint32_t k = std::min(a.ac3Missing, n);
        std::memcpy(frameBuffer + a.ac3Fill, data, k);
        a.ac3Fill += k;
        data += k;
        n -= k;
        a.ac3Missing -= k;
        if (a.ac3Missing == 0) {
          a.Ac3GatherState = 0;
          if (!DecodeAc3Frame(t, frameBuffer)) return false;
        }
        break;
      }
      default:
        a.Ac3GatherState = 0;
        break;
    }
  }
  return true;
}

}  // namespace

bool AudioCatchUp(AudioTrack& t) {
  while (FramesAhead(t.ahead) > 0)
    if (!TakeOldestBack(t)) return false;
  return true;
}

bool AudioTracksCatchUp() {
  for (uint32_t k = 0; k < AudioTrackCount; ++k)
    if (!AudioCatchUp(AudioTracks[k])) return false;
  return true;
}

bool AudioPacketIn(AudioTrack& t, const uint8_t* packet, uint32_t length) {
  AudioIntakeState& a = t.intake;
  if (!a.AudioStarted) {
    if (!AudioCatchUp(t)) return false;
    // Ignored until a packet with a PTS (one that can be trusted).
    if (!PesHasPts(packet, length) || !StampTrusted(ReadPesPts(packet))) return true;
    a.FirstAudioPts = ReadPesPts(packet);
    if (Intake.VideoRefSet) {
      a.AvOffset =
          SatAdd(a.AvOffset, TicksToSamples(static_cast<int32_t>(Intake.GopStartInputPts - a.FirstAudioPts)));
      if (!ApplyAvOffset(t)) return false;
    }
    a.AudioStarted = true;
    StampsSettled();
  }
  const uint32_t h = length >= 9 ? PesPayloadOffset(packet) : length;
  if (t.streamKind == STREAM_KIND_PCM) return PcmPacketIn(t, packet, length, h);
  if (h + AC3_HEADER_BYTES >= length) return true;  // no AC-3 data (or a header past the packet)
  return Ac3DataIn(t, packet + h + AC3_HEADER_BYTES, length - h - AC3_HEADER_BYTES);
}
