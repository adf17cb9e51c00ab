#include <gtest/gtest.h>

#include <vector>

#include "extract/audio_handoff.h"
#include "extract/encoder_thread.h"
#include "extract/output_multiplexer.h"
#include "extract/output_writer.h"
#include "extract/packet_intake.h"
#include "platform/work_buffers.h"
#include "tests/extract/extract_test_support.h"

namespace {

// Output open with pack 0 written, encoder thread running with the stand-in
// encoder, hand-off empty.
class HandoffTest : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    ASSERT_TRUE(EncoderStart());
    ASSERT_TRUE(OutputOpen());
    Handoff.EncFill = 0;
    Handoff.SkipSamples = 0;
    Mux.AudioPts = FIRST_PTS;
    Mux.MuxRate = 25200;
    Intake.VideoBase = FIRST_PTS;
    ASSERT_TRUE(MuxWriteFirstPack(0x20E8));
    Mux.SystemHeaderSeen = true;
  }
  std::vector<Pack> Finish() {
    EXPECT_TRUE(MuxFinish());
    EncoderStop();
    EXPECT_TRUE(OutputClose());
    return SplitPacks(OutputBytes());
  }
  // Samples numbered from first: left = n, right = -n.
  bool AppendNumbered(uint32_t first, uint32_t n) {
    std::vector<Q24> left(n), right(n);
    for (uint32_t i = 0; i < n; ++i) {
      left[i] = static_cast<Q24>(first + i);
      right[i] = -static_cast<Q24>(first + i);
    }
    return PcmAppend(left.data(), right.data(), n);
  }
};

TEST_F(HandoffTest, SamplesAreCountedIntoWholeFrames) {
  ASSERT_TRUE(AppendNumbered(0, 0));
  EXPECT_EQ(Handoff.EncFill, 0u);
  ASSERT_TRUE(AppendNumbered(0, 1536));
  EXPECT_EQ(Handoff.EncFill, 384u);
  EXPECT_EQ(Handoff.EncCurrent, 1);
  WaitEncoderIdle();
  EXPECT_EQ(FakeEncodedFrames, 1);
  // 500 dropped with 384 in hand: the pair empties and 116 more are skipped.
  PcmDrop(500);
  EXPECT_EQ(Handoff.EncFill, 0u);
  EXPECT_EQ(Handoff.SkipSamples, 116u);
  Handoff.SkipSamples = 300;
  ASSERT_TRUE(PcmInsertSilence(250));
  EXPECT_EQ(Handoff.EncFill, 0u);
  EXPECT_EQ(Handoff.SkipSamples, 50u);
  // The newest samples not yet submitted go first.
  ASSERT_TRUE(AppendNumbered(5000, 100));
  EXPECT_EQ(Handoff.EncFill, 50u);
  PcmDrop(20);
  EXPECT_EQ(Handoff.EncFill, 30u);
  EXPECT_EQ(WorkBuffers.EncLeft[1][0], 5050);
}

TEST_F(HandoffTest, SilenceAskedByACorruptTimeStampStopsAtOneMinute) {
  // Pending drops absorb the silence, so nothing is encoded here.
  Handoff.SkipSamples = 0xFFFFFFFFu;
  ASSERT_TRUE(PcmInsertSilence(0xFFFFFFFFu));
  EXPECT_EQ(Handoff.SkipSamples, 0xFFFFFFFFu - MAX_SILENCE_SAMPLES);
  EXPECT_EQ(Handoff.EncFill, 0u);
  Handoff.SkipSamples = 0;
}

TEST_F(HandoffTest, TheWorkerRunsAheadOfAHeldEncoderAndPairsAreEncodedInOrder) {
  // With the encoder sitting on the first frame, every other pair can be
  // filled and submitted without waiting (a wait here would never end).
  FakeEncoderHold = true;
  for (uint32_t k = 0; k + 1 < ENC_PAIRS; ++k) ASSERT_TRUE(AppendNumbered(k * 1152, 1152));
  FakeEncoderHold = false;
  const uint32_t frames = 2 * ENC_PAIRS + 3;  // the pairs come round more than twice
  for (uint32_t k = ENC_PAIRS - 1; k < frames; ++k) ASSERT_TRUE(AppendNumbered(k * 1152, 1152));
  std::vector<Pack> packs = Finish();
  std::vector<uint8_t> audio = StreamPayload(packs, 0xC0);
  ASSERT_EQ(audio.size(), (frames + 1) * 1152);  // the frames and the closing silence
  for (uint32_t k = 0; k <= frames; ++k) {
    EXPECT_EQ(audio[k * 1152 + 3], k);  // frame number
    if (k < frames) {
      EXPECT_EQ(audio[k * 1152 + 4], static_cast<uint8_t>(k * 1152));  // its first sample
    }
  }
  EXPECT_EQ(audio[frames * 1152 + 4], 0);  // silence
}

TEST_F(HandoffTest, FinishPadsTheLastFrameAndAddsOneOfSilence) {
  ASSERT_TRUE(AppendNumbered(1, 1152 + 500));
  std::vector<Pack> packs = Finish();
  EXPECT_EQ(FakeEncodedFrames, 3);
  EXPECT_EQ(StreamPayload(packs, 0xC0).size(), 3u * 1152);
  EXPECT_EQ(Mux.AudioPts, FIRST_PTS + 3 * 2160);
}

TEST_F(HandoffTest, FinishWithoutAudioWritesNoAudioButEveryVideoByte) {
  ASSERT_TRUE(AppendNumbered(0, 700));  // never a whole frame
  std::vector<uint8_t> video(3000, 0x42);
  ASSERT_TRUE(MuxAppendVideoBytes(video.data(), 3000));
  std::vector<Pack> packs = Finish();  // no GOP boundary advanced VideoBase
  EXPECT_EQ(FakeEncodedFrames, 0);     // no silent frame either
  ASSERT_EQ(packs.size(), 3u);         // pack 0, the full and the partial video pack
  EXPECT_EQ(PackStreamId(packs[2]), 0xE0);
  EXPECT_EQ(StreamPayload(packs, 0xE0), video);
}

TEST_F(HandoffTest, FailedEncoderRefusesTheNextCompletedPair) {
  Writer.WriterFailed = true;  // the output refuses every pack from now on
  ASSERT_TRUE(AppendNumbered(0, 1152));  // packs into AudioPack, no pack written yet
  AppendNumbered(0, 1152);               // this frame completes a pack: refused
  WaitEncoderIdle();
  EXPECT_FALSE(Handoff.EncoderOk);
  EXPECT_FALSE(AppendNumbered(0, 1152));
  EXPECT_FALSE(PcmInsertSilence(2000));
  EXPECT_EQ(FakeEncodedFrames, 2);  // nothing more was encoded
  EXPECT_FALSE(MuxFinish());
  EncoderStop();
  OutputClose();
}

TEST_F(HandoffTest, VideoCompletedWhileTheEncoderWorksFollowsThatAudio) {
  ASSERT_TRUE(AppendNumbered(0, 1152));
  WaitEncoderIdle();       // frame 0 waits in the audio pack
  FakeEncoderHold = true;  // the encoder sits on frame 1, which completes that pack
  ASSERT_TRUE(AppendNumbered(1152, 1152));
  std::vector<uint8_t> video(2020 * 3, 0x33);
  ASSERT_TRUE(MuxAppendVideoBytes(video.data(), video.size()));
  EXPECT_EQ(Mux.deferredCount, 3u);
  FakeEncoderHold = false;
  ASSERT_TRUE(AppendNumbered(2304, 1152));
  std::vector<Pack> packs = Finish();
  // pack 0; the audio pack of frames 0 and 1; the three held-back video
  // packs only after it; then the rest of the audio.
  ASSERT_GE(packs.size(), 5u);
  EXPECT_EQ(PackStreamId(packs[1]), 0xC0);
  EXPECT_EQ(PackStreamId(packs[2]), 0xE0);
  EXPECT_EQ(PackStreamId(packs[4]), 0xE0);
  for (size_t i = 1; i < packs.size(); ++i) EXPECT_EQ(PackScr(packs[i]), 147u * i);
}

TEST_F(HandoffTest, StopRequestWithBothPairsIdleEncodesNothing) {
  EncoderStop();
  EXPECT_EQ(FakeEncodedFrames, 0);
  EXPECT_FALSE(Handoff.EncoderStopRequest);
  OutputClose();
}

TEST(EncoderThread, StopAlreadyRequestedWhenAPairBecomesBusyEndsWithoutEncoding) {
  ResetFakeEncoder();
  FrameEncoder = FakeEncodeFrame;
  EventReset(Handoff.EncoderDone);
  Handoff.EncBusy[0] = true;
  Handoff.EncoderStopRequest = true;
  EXPECT_EQ(EncoderThread(), 0);
  EXPECT_EQ(FakeEncodedFrames, 0);
  EXPECT_FALSE(Handoff.EncoderStopRequest);
  Handoff.EncBusy[0] = false;
}

}  // namespace
