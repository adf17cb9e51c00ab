#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "extract/audio_handoff.h"
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
    Mux.AudioPts = FIRST_PTS;
    Mux.deferredCount = 0;
    for (std::atomic<bool>& busy : Handoff.EncBusy) busy = false;
    ASSERT_TRUE(MuxWriteFirstPack(VIDEO_BOUND));
  }
  std::vector<Pack> Close() {
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
      0xB9, 0xE0, 0xE8, 0xB8, 0xC0, 0x20,                                                  // stream entries
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
  for (uint8_t k = 1; k <= 4; ++k) ASSERT_TRUE(MuxAppendAudioFrame(Frame(k).data()));
  // 4 x 1152 = 4608 bytes: two full packs and 568 bytes in hand.
  EXPECT_EQ(Mux.audioFree, 2020u * 3 - 4608);
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(PackStreamId(packs[1]), 0xC0);
  EXPECT_EQ(PackPts(packs[1]), 22500u);  // frame 1
  // The second pack opens with the last 284 bytes of frame 2 and takes the
  // PTS of frame 3, the first frame that starts in it.
  EXPECT_EQ(PackPts(packs[2]), 22500u + 2 * 2160);
  EXPECT_EQ(packs[2][28], 2);
  EXPECT_EQ(packs[2][28 + 283], 2);
  EXPECT_EQ(packs[2][28 + 284], 3);
  EXPECT_EQ(PackScr(packs[1]), 147u);
  EXPECT_EQ(PackScr(packs[2]), 294u);
}

TEST_F(MultiplexerTest, FrameThatFillsThePackExactlyLeavesThePtsToTheNextFrame) {
  ASSERT_TRUE(MuxAppendAudioFrame(Frame(1).data()));
  Mux.audioPosition = 2048 - 1152;  // exactly one frame's room left
  Mux.audioFree = 1152;
  ASSERT_TRUE(MuxAppendAudioFrame(Frame(2).data()));
  EXPECT_EQ(Mux.audioFree, 2020u);
  EXPECT_FALSE(Mux.audioHasPts);
  ASSERT_TRUE(MuxAppendAudioFrame(Frame(3).data()));
  ASSERT_TRUE(MuxWriteLastAudioPack());
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(PackPts(packs[1]), 22500u);
  EXPECT_EQ(PackPts(packs[2]), 22500u + 2 * 2160);
}

TEST_F(MultiplexerTest, ScrIsPulledForwardWhenItLagsTheTimeStamps) {
  Mux.LastAudioPts = 90000;
  Mux.LastVideoPts = 100000;
  for (uint8_t k = 1; k <= 4; ++k) ASSERT_TRUE(MuxAppendAudioFrame(Frame(k).data()));
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(PackScr(packs[1]), 90000u - 22500);  // clamp with min(90000, 100000)
  // The next clamp uses the new LastAudioPts (26820), already behind: +147.
  EXPECT_EQ(PackScr(packs[2]), 90000u - 22500 + 147);
}

TEST_F(MultiplexerTest, VideoPacksTakeThePtsOfTheirFirstPictureAndClampWithThePreviousOne) {
  std::vector<uint8_t> bytes = VideoBytes(2020 * 4, 1);
  MarkPicture(22500);
  MarkPicture(26100);  // a second picture in the same pack
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data(), 2020));
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 2020, 2020));  // no picture
  Mux.LastAudioPts = 1000000;
  MarkPicture(200000);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 4040, 2020));
  MarkPicture(400000);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 6060, 2020));
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 5u);
  EXPECT_TRUE(PackHasPts(packs[1]));
  EXPECT_EQ(PackPts(packs[1]), 22500u);
  EXPECT_FALSE(PackHasPts(packs[2]));
  EXPECT_EQ(std::vector<uint8_t>(packs[2].begin() + 23, packs[2].begin() + 28), std::vector<uint8_t>(5, 0xFF));
  EXPECT_EQ(PackScr(packs[3]), 147u * 3);  // clamp with min(22500, LastAudioPts 1000000): none
  EXPECT_EQ(PackScr(packs[4]), 200000u - 22500);  // clamp with the previous picture's PTS
  EXPECT_EQ(StreamPayload(packs, 0xE0), bytes);
}

TEST_F(MultiplexerTest, ADtsNeedsSixFreeBytesElseThePackEndsWithStuffing) {
  std::vector<uint8_t> bytes = VideoBytes(2016 + 3000, 5);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data(), 2016));  // 4 bytes free
  uint32_t ticket = 0;
  ASSERT_TRUE(MuxMarkPictureStart(true, PictureStamps{30000, 26400, true, true}, &ticket));
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data() + 2016, 3000));
  ASSERT_TRUE(MuxWriteLastVideoPack());
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
  // Audio: 3 bytes free end in 0xFF inside the payload.
  ASSERT_TRUE(MuxAppendAudioFrame(Frame(1).data()));
  Mux.audioPosition = 2048 - 3;
  Mux.audioFree = 3;
  ASSERT_TRUE(MuxWriteLastAudioPack());
  // Video: 100 bytes free end in a padding packet of length 94.
  std::vector<uint8_t> bytes = VideoBytes(1920, 7);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data(), 1920));
  ASSERT_TRUE(MuxWriteLastVideoPack());
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(PesLength(packs[1]), 2028u);
  EXPECT_EQ(std::vector<uint8_t>(packs[1].end() - 3, packs[1].end()), std::vector<uint8_t>(3, 0xFF));
  EXPECT_EQ(PesLength(packs[2]), 1928u);
  EXPECT_EQ(PackPayload(packs[2]), bytes);
  const std::vector<uint8_t> padding = {0x00, 0x00, 0x01, 0xBE, 0x00, 94};
  EXPECT_EQ(std::vector<uint8_t>(packs[2].begin() + 1948, packs[2].begin() + 1954), padding);
  for (size_t i = 1954; i < 2048; ++i) ASSERT_EQ(packs[2][i], 0xFF) << i;
}

TEST_F(MultiplexerTest, LastAudioPackWithoutAFrameStartCarriesNoPts) {
  ASSERT_TRUE(MuxAppendAudioFrame(Frame(1).data()));
  ASSERT_TRUE(MuxAppendAudioFrame(Frame(2).data()));  // 284 bytes open the next pack
  ASSERT_TRUE(MuxWriteLastAudioPack());
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_FALSE(PackHasPts(packs[2]));
  EXPECT_EQ(PackPayload(packs[2]).size(), 284u);
}

TEST_F(MultiplexerTest, VideoIsHeldBackWhileTheEncoderIsBusyAndAPackBeyondAFullQueueWaitsForAFrame) {
  constexpr uint32_t FULL = DEFERRED_VIDEO_PACKS;
  Handoff.EncBusy[0] = true;
  Handoff.EncBusy[1] = true;
  EventReset(Handoff.EncoderDone);
  std::vector<uint8_t> bytes = VideoBytes(2020 * (FULL + 1), 3);
  MarkPicture(22500);
  ASSERT_TRUE(MuxAppendVideoBytes(bytes.data(), 2020 * FULL));
  EXPECT_EQ(Mux.deferredCount, FULL);
  EXPECT_EQ(Writer.packCount, 1u);  // only pack 0 so far

  // The encoder thread's part for pair i: its frame, the queue, the release.
  auto packFrame = [](int pair) {
    ASSERT_TRUE(MuxAppendAudioFrame(std::vector<uint8_t>(1152, 0x55).data()));
    {
      std::lock_guard lock(Mux.MuxMutex);
      EXPECT_TRUE(MuxFlushDeferredVideo());
      Handoff.EncBusy[pair] = false;
    }
    EventSignal(Handoff.EncoderDone);
  };
  std::atomic<bool> returned{false};
  std::thread encoder([&returned, &packFrame] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(returned);  // the worker waits for the encoder
    packFrame(0);
    while (!returned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    packFrame(1);  // completes an audio pack
  });
  EXPECT_TRUE(MuxAppendVideoBytes(bytes.data() + 2020 * FULL, 2020));
  {
    // Pair 1 is still busy: the pack waits behind its audio.
    std::lock_guard lock(Mux.MuxMutex);
    EXPECT_EQ(Mux.deferredCount, 1u);
  }
  returned = true;
  encoder.join();
  EXPECT_EQ(Mux.deferredCount, 0u);
  std::vector<Pack> packs = Close();
  ASSERT_EQ(packs.size(), FULL + 3);
  for (size_t i = 1; i <= FULL; ++i) EXPECT_EQ(PackStreamId(packs[i]), 0xE0) << i;
  EXPECT_EQ(PackStreamId(packs[FULL + 1]), 0xC0);
  EXPECT_EQ(PackStreamId(packs[FULL + 2]), 0xE0);
  EXPECT_EQ(PackPts(packs[1]), 22500u);
  EXPECT_EQ(StreamPayload(packs, 0xE0), bytes);
}

}  // namespace
