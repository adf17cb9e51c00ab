#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "source/input_layout.h"
#include "extract/output_multiplexer.h"
#include "extract/output_writer.h"
#include "extract/pack_format.h"
#include "tests/extract/extract_test_support.h"

namespace {

// A picture with an exact PTS and no DTS starts in the video pack.
void MarkPicture(uint32_t pts) {
  uint32_t ticket = 0;
  ASSERT_TRUE(MuxMarkPictureStart(true, PictureStamps{pts}, &ticket));
  EXPECT_EQ(ticket, 0u);
}

constexpr uint32_t MUX_RATE = 25200;        // 10.08 Mbit/s in units of 50 bytes/s
constexpr uint16_t VIDEO_BOUND = 0x20E8;    // scale 1, 232 x 1024 bytes

class MultiplexerTest : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    ASSERT_TRUE(OutputOpen());
    Mux.MuxRate = MUX_RATE;
    Mux.layer2[0].pts = FIRST_PTS;
    for (std::atomic<bool>& busy : AudioTracks[0].handoff.EncBusy) busy = false;
    ASSERT_TRUE(MuxWriteFirstPack(VIDEO_BOUND));
  }
  // Every stream ends; the output is closed and read back.
  std::vector<Pack> Close() {
    EXPECT_TRUE(MuxFinishStreams());
    EXPECT_TRUE(OutputClose());
    return SplitPacks(OutputBytes());
  }
  static std::vector<uint8_t> Frame(uint8_t fill) { return std::vector<uint8_t>(1152, fill); }
  static std::vector<uint8_t> VideoBytes(uint32_t n, uint32_t seed) {
    std::vector<uint8_t> bytes(n);
    for (uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 8));
    return bytes;
  }
};

TEST_F(MultiplexerTest, FirstPackCarriesTheSystemHeaderAndPadding) {
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 1u);
  const std::vector<uint8_t> head = {
      0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8,  // pack header
      0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C, 0x80, 0xC4, 0xE1, 0x04, 0xE1, 0x7F,              // system header
      0xE0, 0xE0, 0xE8, 0xC0, 0xC0, 0x20,                                                  // stream entries
      0x00, 0x00, 0x01, 0xBE, 0x07, 0xDA};                                                 // padding
  EXPECT_EQ(std::vector<uint8_t>(packs[0].begin(), packs[0].begin() + 38), head);
  for (size_t i = 38; i < 2048; ++i) ASSERT_EQ(packs[0][i], 0xFF) << i;
}

TEST_F(MultiplexerTest, TimeFieldsKeepTheirLowBitsAndMarkers) {
  uint8_t pack[14];
  uint8_t pes[14] = {};
  for (uint32_t t : {0u, 1u, 22500u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu}) {
    WritePackHeader(pack, t, MUX_RATE);
    EXPECT_EQ(ReadPackScr(pack), t);
    EXPECT_EQ(pack[4] & 0xC4, 0x44);  // '01' and the marker
    EXPECT_EQ(pack[6] & 0x04, 0x04);
    EXPECT_EQ(pack[8] & 0x04, 0x04);
    WritePtsField(pes + 9, t);
    EXPECT_EQ(ReadPesPts(pes), t);
    EXPECT_EQ(pes[9] & 0xF1, 0x21);  // '0010', bit 32 = 0, marker
    EXPECT_EQ(pes[11] & 1, 1);
    EXPECT_EQ(pes[13] & 1, 1);
  }
  WritePtsField(pes + 9, 0x12345678);
  EXPECT_EQ(std::vector<uint8_t>(pes + 9, pes + 14), (std::vector<uint8_t>{0x21, 0x48, 0xD1, 0xAC, 0xF1}));
}


TEST_F(MultiplexerTest, AudioFramesSplitOverPacksGiveThePtsOfTheFrameThatStartsThere) {
  for (uint8_t k = 1; k <= 4; ++k) ASSERT_TRUE(MuxAppendAudioFrame(0, Frame(k).data()));
  // 4 x 1152 = 4608 bytes: two full packs and 568 bytes in the last.
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 4u);
  EXPECT_EQ(PackStreamId(packs[1]), 0xC0);
  EXPECT_EQ(PackPts(packs[1]), 22500u);  // frame 1
  // The second pack opens with the last 284 bytes of frame 2 and takes the
  // PTS of frame 3, the first frame that starts in it.
  EXPECT_EQ(PackPts(packs[2]), 22500u + 2 * 2160);
  EXPECT_EQ(packs[2][28], 2);
  EXPECT_EQ(packs[2][28 + 283], 2);
  EXPECT_EQ(packs[2][28 + 284], 3);
  // Two packs fill the 4 KiB audio buffer: the third waits for frame 1 to
  // be decoded.
  EXPECT_EQ(PackScr(packs[1]), 147u);
  EXPECT_EQ(PackScr(packs[2]), 294u);
  EXPECT_EQ(PackScr(packs[3]), 22500u);
  EXPECT_EQ(PesLength(packs[3]), 2028u - (2020 - 568));
}

TEST_F(MultiplexerTest, EveryAudioPackCarriesThePtsOfTheFirstFrameThatStartsInIt) {
  // Frame 504 ends exactly at the end of pack 288: pack 289 starts with
  // frame 505 and carries its PTS.
  constexpr uint32_t FRAMES = 520;
  for (uint32_t k = 0; k < FRAMES; ++k) ASSERT_TRUE(MuxAppendAudioFrame(0, Frame(static_cast<uint8_t>(k)).data()));
  std::vector<Pack> packs = Close();
  uint32_t j = 0;
  for (size_t i = 1; i < packs.size(); ++i, ++j) {
    ASSERT_EQ(PackStreamId(packs[i]), 0xC0);
    const uint32_t firstStart = (j * 2020 + 1151) / 1152;  // first frame starting at or after byte 2020 j
    ASSERT_EQ(PackHasPts(packs[i]), firstStart < FRAMES) << j;  // the last pack holds a frame's end only
    if (firstStart == FRAMES) break;
    EXPECT_EQ(PackPts(packs[i]), 22500 + firstStart * 2160) << j;
  }
  EXPECT_EQ(PackPts(packs[289]), 22500u + 505 * 2160);
  EXPECT_EQ(StreamPayload(packs, 0xC0).size(), FRAMES * 1152u);
}

TEST_F(MultiplexerTest, VideoPacksTakeThePtsOfTheirFirstPicture) {
  std::vector<uint8_t> bytes = VideoBytes(2020 * 4, 1);
  MarkPicture(22500);
  MarkPicture(26100);  // a second picture in the same pack
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data(), 2020));
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 2020, 2020));  // no picture
  MarkPicture(29700);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 4040, 2020));
  MarkPicture(33300);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 6060, 2020));
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 5u);
  EXPECT_TRUE(PackHasPts(packs[1]));
  EXPECT_EQ(PackPts(packs[1]), 22500u);
  EXPECT_FALSE(PackHasPts(packs[2]));
  EXPECT_EQ(std::vector<uint8_t>(packs[2].begin() + 23, packs[2].begin() + 28), std::vector<uint8_t>(5, 0xFF));
  EXPECT_EQ(PackPts(packs[3]), 29700u);
  EXPECT_EQ(PackPts(packs[4]), 33300u);
  for (size_t i = 1; i < packs.size(); ++i) EXPECT_EQ(PackScr(packs[i]), 147u * i);  // the video buffer has room
  EXPECT_EQ(StreamPayload(packs, 0xE0), bytes);
}

TEST_F(MultiplexerTest, ADtsNeedsSixFreeBytesElseThePackEndsWithStuffing) {
  std::vector<uint8_t> bytes = VideoBytes(2016 + 3000, 5);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data(), 2016));  // 4 bytes free
  uint32_t ticket = 0;
  ASSERT_TRUE(MuxMarkPictureStart(true, PictureStamps{30000, 26400, true, true}, &ticket));
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 2016, 3000));
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 4u);
  EXPECT_FALSE(PackHasPts(packs[1]));
  EXPECT_EQ(packs[1][22], 9);  // five bytes of PTS stuffing and four more
  EXPECT_EQ(packs[2][22], 10);
  EXPECT_EQ(PackPts(packs[2]), 30000u);
  EXPECT_EQ(PackDts(packs[2]), 26400u);
  EXPECT_EQ(StreamPayload(packs, 0xE0), bytes);
}

TEST_F(MultiplexerTest, LastPacksAreClosedWithStuffingOrPadding) {
  // 3 free bytes end in 0xFF inside the payload.
  Pack pack(2048, 0x11);
  ClosePartialPack(pack.data(), 2048 - 3, 3);
  EXPECT_EQ(PesLength(pack), 0x1111u);  // untouched
  EXPECT_EQ(std::vector<uint8_t>(pack.end() - 3, pack.end()), std::vector<uint8_t>(3, 0xFF));
  // Video: 100 bytes free end in a padding packet of length 94.
  std::vector<uint8_t> bytes = VideoBytes(1920, 7);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data(), 1920));
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 2u);
  EXPECT_EQ(PesLength(packs[1]), 1928u);
  EXPECT_EQ(PackPayload(packs[1]), bytes);
  const std::vector<uint8_t> padding = {0x00, 0x00, 0x01, 0xBE, 0x00, 94};
  EXPECT_EQ(std::vector<uint8_t>(packs[1].begin() + 1948, packs[1].begin() + 1954), padding);
  for (size_t i = 1954; i < 2048; ++i) ASSERT_EQ(packs[1][i], 0xFF) << i;
}

TEST_F(MultiplexerTest, LastAudioPackWithoutAFrameStartCarriesNoPts) {
  ASSERT_TRUE(MuxAppendAudioFrame(0, Frame(1).data()));
  ASSERT_TRUE(MuxAppendAudioFrame(0, Frame(2).data()));  // 284 bytes open the next pack
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_FALSE(PackHasPts(packs[2]));
  EXPECT_EQ(PackPayload(packs[2]).size(), 284u);
}

// The decoder's view of the audio packs: every byte arrives at its pack's
// SCR (plus one pack's time), the frame it belongs to leaves the buffer at
// its PTS. Returns the highest occupancy met; late counts frames whose
// last byte arrives after their PTS.
uint32_t AudioBufferPeak(const std::vector<Pack>& packs, uint32_t& late) {
  std::map<uint32_t, uint32_t> leaving;  // time -> bytes
  uint64_t offset = 0;
  uint32_t occupancy = 0, peak = 0;
  late = 0;
  for (const Pack& pack : packs) {
    if (PackStreamId(pack) != 0xC0) continue;
    const uint32_t scr = PackScr(pack);
    for (auto it = leaving.begin(); it != leaving.end() && it->first <= scr;) {
      occupancy -= it->second;
      it = leaving.erase(it);
    }
    const uint32_t n = static_cast<uint32_t>(PackPayload(pack).size());
    for (uint64_t b = offset; b < offset + n;) {
      const uint64_t frame = b / 1152;
      const uint64_t end = std::min<uint64_t>((frame + 1) * 1152, offset + n);
      const uint32_t pts = 22500 + static_cast<uint32_t>(frame) * 2160;
      leaving[pts] += static_cast<uint32_t>(end - b);
      if (end == (frame + 1) * 1152 && scr + 147 > pts) ++late;
      b = end;
    }
    occupancy += n;
    offset += n;
    peak = std::max(peak, occupancy);
  }
  return peak;
}

TEST_F(MultiplexerTest, AStillPictureWithAMinuteOfSoundKeepsEveryPackWithinASecondOfItsTime) {
  // One I picture of 80 KB decoded at 18900, then a minute of frames. The
  // picture's last pack is closed as it is and goes before its time.
  std::vector<uint8_t> picture = VideoBytes(80000, 9);
  uint32_t ticket = 0;
  ASSERT_TRUE(MuxMarkPictureStart(true, PictureStamps{22500, 18900, true, true}, &ticket));
  ASSERT_TRUE(MuxAppendVideoBytes(picture.data(), static_cast<uint32_t>(picture.size())));
  constexpr uint32_t FRAMES = 60 * 48000 / 1152;
  for (uint32_t k = 0; k < FRAMES; ++k) ASSERT_TRUE(MuxAppendAudioFrame(0, Frame(static_cast<uint8_t>(k)).data()));
  std::vector<Pack> packs = Close();
  uint32_t previous = 0, lastVideoScr = 0;
  for (size_t i = 1; i < packs.size(); ++i) {
    const uint32_t scr = PackScr(packs[i]);
    EXPECT_GE(scr, previous + 147) << i;
    previous = scr;
    if (PackHasPts(packs[i])) {
      EXPECT_LE(PackPts(packs[i]), scr + 90000) << i;
    }
    if (PackStreamId(packs[i]) == 0xE0) lastVideoScr = scr;
  }
  EXPECT_LE(lastVideoScr + 147, 18900u);
  EXPECT_GE(previous + 90000, 22500 + (FRAMES - 1) * 2160);  // the clock follows the sound to its end
  uint32_t late = 0;
  EXPECT_LE(AudioBufferPeak(packs, late), MPEG_AUDIO_BUFFER_BYTES);
  EXPECT_EQ(late, 0u);
  EXPECT_EQ(StreamPayload(packs, 0xE0), picture);
  EXPECT_EQ(Mux.latePacks, 0u);
}

}  // namespace
