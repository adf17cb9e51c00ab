#include "tests/support/program_stream.h"

#include <gtest/gtest.h>

using namespace testps;

// Every whole-pack helper fills exactly one pack whose records chain by
// their length fields, and the fields the readers take come out as written.
TEST(ProgramStreamBuilder, PacksAreWholeAndTheirRecordsChain) {
  ProgramStream stream;
  stream.NavPack(0x1'2345'6789, 0x0102, true);
  stream.VideoPack(10, {}, {0x1'0000'0005, std::nullopt, 0});
  stream.VideoPack(20, std::vector<uint8_t>(ProgramStream::PesPayloadRoom({}) - 3, 0x11));  // PES stuffing
  stream.AudioPack(30, LPCM_SUB_ID + 2, std::vector<uint8_t>(100, 0x22));                    // padding packet
  stream.AudioPack(40, AC3_SUB_ID);
  stream.MpegAudioPack(50, MPEG_AUDIO_ID + 1);
  stream.PaddingPack(60);
  ASSERT_EQ(stream.size(), 7 * PACK_BYTES);
  const std::vector<uint8_t>& b = stream.bytes();
  for (size_t pack = 0; pack < 7; ++pack) {
    size_t at = pack * PACK_BYTES;
    ASSERT_EQ(b[at + 3], 0xBA);
    at += PACK_HEADER_BYTES;
    while (at < (pack + 1) * PACK_BYTES) {
      ASSERT_EQ(b[at] | b[at + 1], 0);
      ASSERT_EQ(b[at + 2], 1);
      at += ((b[at + 4] << 8) | b[at + 5]) + 6;
    }
    EXPECT_EQ(at, (pack + 1) * PACK_BYTES);
  }
  // SCR low 32 bits (bit 32 dropped) as the readers compute them.
  auto scr = [&](size_t at) {
    return ((b[at + 4] & 0x18u) << 27) | ((b[at + 4] & 0x03u) << 28) | (uint32_t(b[at + 5]) << 20) |
           ((b[at + 6] & 0xF8u) << 12) | ((b[at + 6] & 0x03u) << 13) | (uint32_t(b[at + 7]) << 5) | (b[at + 8] >> 3);
  };
  EXPECT_EQ(scr(0), 0x23456789u);
  // PTS of the first video packet.
  size_t pes = PACK_BYTES + PACK_HEADER_BYTES;
  uint32_t pts = ((b[pes + 9] & 0x06u) << 29) | (uint32_t(b[pes + 10]) << 22) | ((b[pes + 11] & 0xFEu) << 14) |
                 (uint32_t(b[pes + 12]) << 7) | (b[pes + 13] >> 1);
  EXPECT_EQ(pts, 5u);
  // DSI: sub-stream 1, VOB id, interleaved flag, from the DSI start code.
  size_t dsi = PACK_BYTES - 1024;
  EXPECT_EQ(b[dsi + 3], 0xBF);
  EXPECT_EQ(b[dsi + 6], 0x01);
  EXPECT_EQ((b[dsi + 31] << 8) | b[dsi + 32], 0x0102);
  EXPECT_EQ(b[dsi + 39] & 0x40, 0x40);
  // Sub-stream id as the first payload byte.
  size_t audio = 3 * PACK_BYTES + PACK_HEADER_BYTES;
  EXPECT_EQ(b[audio + 9 + b[audio + 8]], LPCM_SUB_ID + 2);
}
