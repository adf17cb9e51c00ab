#include "extract/audio_frame_header.h"

#include "ac3/ac3_tables.h"

namespace {

constexpr uint32_t AC3_FRAME_TICKS = 2880;  // 1536 samples at 48 kHz
constexpr uint32_t LPCM_FRAME_TICKS = 150;  // 1/600 s

// Frame sizes are a fixed number of samples at the stream's rate.
uint32_t TicksOf(uint32_t samples, uint32_t rate) { return static_cast<uint32_t>(uint64_t{samples} * 90000 / rate); }

bool Ac3Frame(const uint8_t* h, AudioFrameSize& size) {
  if (h[0] != 0x0B || h[1] != 0x77) return false;
  const uint8_t fscod = h[4] >> 6;
  const uint8_t frmsizecod = h[4] & 0x3F;
  if (fscod != 0 || frmsizecod >= 38) return false;  // 48 kHz: the DVD's only rate
  size.bytes = static_cast<uint32_t>(Ac3FrameSizeWords48k[frmsizecod]) * 2;
  size.ticks = AC3_FRAME_TICKS;
  return true;
}

// The 14-bit core sync word form (big endian), as DVDs carry DTS.
bool DtsFrame(const uint8_t* h, AudioFrameSize& size) {
  if (h[0] != 0x7F || h[1] != 0xFE || h[2] != 0x80 || h[3] != 0x01) return false;
  static constexpr uint32_t RATE[16] = {0, 8000, 16000, 32000, 0, 0, 11025, 22050, 44100, 0, 0, 12000, 24000, 48000, 0, 0};
  const uint32_t blocks = (((h[4] & 0x01u) << 6) | (h[5] >> 2)) + 1;
  const uint32_t bytes = (((h[5] & 0x03u) << 12) | (uint32_t{h[6]} << 4) | (h[7] >> 4)) + 1;
  const uint32_t rate = RATE[(h[8] >> 2) & 0x0F];
  if (bytes < 96 || rate == 0) return false;
  size.bytes = bytes;
  size.ticks = TicksOf(blocks * 32, rate);
  return true;
}

bool MpegAudioFrame(const uint8_t* h, AudioFrameSize& size) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const uint32_t version = (h[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  const uint32_t layer = 4 - ((h[1] >> 1) & 3);  // 1..3; 4 reserved
  const uint32_t bitrateIndex = h[2] >> 4;
  const uint32_t rateIndex = (h[2] >> 2) & 3;
  const uint32_t padding = (h[2] >> 1) & 1;
  if (version == 1 || layer == 4 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  static constexpr uint32_t KBPS_V1[3][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
  static constexpr uint32_t KBPS_V2[3][15] = {
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
  static constexpr uint32_t RATE_V1[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const uint32_t rate = RATE_V1[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const uint32_t bitrate = (mpeg1 ? KBPS_V1 : KBPS_V2)[layer - 1][bitrateIndex] * 1000;
  uint32_t samples = 1152;
  if (layer == 1) samples = 384;
  if (layer == 3 && !mpeg1) samples = 576;
  if (layer == 1) {
    size.bytes = (12 * bitrate / rate + padding) * 4;
  } else {
    size.bytes = samples / 8 * bitrate / rate + padding;
  }
  size.ticks = TicksOf(samples, rate);
  return size.bytes >= 4;
}

}  // namespace

bool ReadFrameHeader(KeptFormat format, const uint8_t* head, AudioFrameSize& size) {
  switch (format) {
    case KeptFormat::Ac3: return Ac3Frame(head, size);
    case KeptFormat::Dts: return DtsFrame(head, size);
    case KeptFormat::Mpeg: return MpegAudioFrame(head, size);
    case KeptFormat::Lpcm: break;
  }
  return false;
}

bool LpcmFrameSize(const uint8_t* parameters, AudioFrameSize& size) {
  const uint32_t quantisation = parameters[1] >> 6;  // 16, 20, 24 bits
  const uint32_t rateCode = (parameters[1] >> 4) & 3;  // 48, 96 kHz
  const uint32_t channels = (parameters[1] & 7) + 1;
  if (quantisation == 3 || rateCode > 1) return false;
  const uint32_t samplesPerFrame = rateCode == 0 ? 80 : 160;
  // 20- and 24-bit samples come in pairs per channel: 16 bits of each, then the rest.
  const uint32_t sampleGroupBytes = quantisation == 0 ? channels * 2 : channels * (quantisation == 1 ? 5 : 6);
  const uint32_t groupsPerFrame = quantisation == 0 ? samplesPerFrame : samplesPerFrame / 2;
  size.bytes = groupsPerFrame * sampleGroupBytes;
  size.ticks = LPCM_FRAME_TICKS;
  return true;
}
