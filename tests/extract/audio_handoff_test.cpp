#include <gtest/gtest.h>

#include <vector>

#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
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
    AudioTracks[0].handoff.EncFill = 0;
    AudioTracks[0].handoff.SkipSamples = 0;
    Mux.layer2[0].pts = FIRST_PTS;
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
    return PcmAppend(AudioTracks[0], left.data(), right.data(), n);
  }
};

TEST_F(HandoffTest, SamplesAreCountedIntoWholeFrames) {
  ASSERT_TRUE(AppendNumbered(0, 0));
  EXPECT_EQ(AudioTracks[0].handoff.EncFill, 0u);
  ASSERT_TRUE(AppendNumbered(0, 1536));
  EXPECT_EQ(AudioTracks[0].handoff.EncFill, 384u);
  EXPECT_EQ(AudioTracks[0].handoff.EncCurrent, 1);
  WaitEncoderIdle();
  EXPECT_EQ(FakeEncodedFrames, 1);
  // 500 dropped with 384 in hand: the pair empties and 116 more are skipped.
  PcmDrop(AudioTracks[0], 500);
  EXPECT_EQ(AudioTracks[0].handoff.EncFill, 0u);
  EXPECT_EQ(AudioTracks[0].handoff.SkipSamples, 116u);
  AudioTracks[0].handoff.SkipSamples = 300;
  ASSERT_TRUE(PcmInsertSilence(AudioTracks[0], 250));
  EXPECT_EQ(AudioTracks[0].handoff.EncFill, 0u);
  EXPECT_EQ(AudioTracks[0].handoff.SkipSamples, 50u);
  // The newest samples not yet submitted go first.
  ASSERT_TRUE(AppendNumbered(5000, 100));
  EXPECT_EQ(AudioTracks[0].handoff.EncFill, 50u);
  PcmDrop(AudioTracks[0], 20);
  EXPECT_EQ(AudioTracks[0].handoff.EncFill, 30u);
  EXPECT_EQ(WorkBuffers.audio[0].EncLeft[1][0], 5050);
}

TEST_F(HandoffTest, SilenceAskedByACorruptTimeStampStopsAtOneMinute) {
  // Pending drops absorb the silence, so nothing is encoded here.
  AudioTracks[0].handoff.SkipSamples = 0xFFFFFFFFu;
  ASSERT_TRUE(PcmInsertSilence(AudioTracks[0], 0xFFFFFFFFu));
  EXPECT_EQ(AudioTracks[0].handoff.SkipSamples, 0xFFFFFFFFu - MAX_SILENCE_SAMPLES);
  EXPECT_EQ(AudioTracks[0].handoff.EncFill, 0u);
  AudioTracks[0].handoff.SkipSamples = 0;
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
    EXPECT_EQ(audio[k * 1152 + 3], static_cast<uint8_t>(k));  // frame number, modulo 256
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
  EXPECT_EQ(Mux.layer2[0].pts, FIRST_PTS + 3 * 2160);
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

TEST_F(HandoffTest, ARefusedPackFailsTheAppendThatWritesIt) {
  Writer.WriterFailed = true;  // the output refuses every pack from now on
  bool refused = false;
  for (int k = 0; k < 8 && !refused; ++k) refused = !AppendNumbered(0, 1152);
  EXPECT_FALSE(refused);  // the audio packs wait for the video's turn
  EXPECT_FALSE(MuxFinish());  // the first pack written is refused
  EncoderStop();
  OutputClose();
}

TEST_F(HandoffTest, TheOrderOfThePacksDoesNotDependOnTheEncodersPace) {
  // The same samples and video, once with the encoder far behind, once with
  // it keeping up: the same bytes.
  std::vector<uint8_t> video(6000 * 12, 0x33);
  auto run = [&](bool hold) {
    FakeEncoderHold = hold;
    for (uint32_t k = 0; k < 12; ++k) {
      if (!AppendNumbered(k * 1152, 1152)) return std::vector<uint8_t>{};
      uint32_t ticket = 0;
      const uint32_t pts = 22500 + k * 3600;
      if (!MuxMarkPictureStart(true, PictureStamps{pts + 3600, pts, true, true}, &ticket)) return std::vector<uint8_t>{};
      if (!MuxAppendVideoBytes(video.data() + k * 6000, 6000)) return std::vector<uint8_t>{};
      if (k == 6) FakeEncoderHold = false;
    }
    std::vector<Pack> packs = Finish();
    std::vector<uint8_t> bytes;
    for (const Pack& pack : packs) bytes.insert(bytes.end(), pack.begin(), pack.end());
    return bytes;
  };
  const std::vector<uint8_t> held = run(true);
  TearDown();
  SetUp();
  const std::vector<uint8_t> free = run(false);
  ASSERT_FALSE(held.empty());
  EXPECT_EQ(held, free);
}

TEST_F(HandoffTest, StopRequestWithBothPairsIdleEncodesNothing) {
  EncoderStop();
  EXPECT_EQ(FakeEncodedFrames, 0);
  EXPECT_FALSE(AudioTracks[0].handoff.EncoderStopRequest);
  OutputClose();
}

TEST(EncoderThread, StopAlreadyRequestedWhenAPairBecomesBusyEndsWithoutEncoding) {
  ResetFakeEncoder();
  FrameEncoder = FakeEncodeFrame;
  EventReset(AudioTracks[0].handoff.EncoderDone);
  AudioTracks[0].handoff.EncBusy[0] = true;
  AudioTracks[0].handoff.EncoderStopRequest = true;
  EXPECT_EQ(EncoderThread(AudioTracks[0]), 0);
  EXPECT_EQ(FakeEncodedFrames, 0);
  EXPECT_FALSE(AudioTracks[0].handoff.EncoderStopRequest);
  AudioTracks[0].handoff.EncBusy[0] = false;
}

}  // namespace
