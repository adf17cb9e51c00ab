#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "extract/audio_delay.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/av_alignment.h"
#include "extract/encoder_thread.h"
#include "extract/extraction_driver.h"
#include "extract/output_multiplexer.h"
#include "extract/output_writer.h"
#include "extract/packet_intake.h"
#include "extract/pack_format.h"
#include "extract/start_code_search.h"
#include "common/vector_paths.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"
#include "platform/work_buffers.h"
#include "tests/extract/extract_test_support.h"
#include "tests/support/program_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A PES packet with an MPEG-2 header and an optional PTS.
Bytes PesPacket(uint8_t streamId, const Bytes& payload, std::optional<uint32_t> pts = {}) {
  Bytes header = {0x00, 0x00, 0x01, streamId, 0, 0, 0x81, 0x00, 0x00};
  if (pts) {
    header[7] = 0x80;
    header[8] = 5;
    uint8_t field[5];
    WritePtsField(field, *pts);
    header.insert(header.end(), field, field + 5);
  }
  Bytes packet = header;
  packet.insert(packet.end(), payload.begin(), payload.end());
  const size_t length = packet.size() - 6;
  packet[4] = static_cast<uint8_t>(length >> 8);
  packet[5] = static_cast<uint8_t>(length);
  return packet;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A PAL sequence header (720x576, frame_rate_code 3) and a group of pictures.
const Bytes GOP = {0x00, 0x00, 0x01, 0xB3, 0x2D, 0x02, 0x40, 0x33, 0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40};
// Picture start code with temporal_reference tr, then coding type bits.
Bytes Picture(uint32_t tr) {
  return {0x00, 0x00, 0x01, 0x00, static_cast<uint8_t>(tr >> 2), static_cast<uint8_t>(((tr & 3) << 6) | 0x0F),
          0xFF, 0xF8};
}
const Bytes SLICE = {0x00, 0x00, 0x01, 0x01, 0x12, 0x00, 0x34, 0x00, 0x00, 0x56, 0x78};

class IntakeTest : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    ASSERT_TRUE(EncoderStart());
    ASSERT_TRUE(OutputOpen());
    AudioTracks[0].handoff.EncFill = 0;
    AudioTracks[0].handoff.SkipSamples = 0;
    Mux.layer2[0].pts = FIRST_PTS;
    Mux.MuxRate = 25200;
    ASSERT_TRUE(MuxWriteFirstPack(0x20E8));
    Mux.SystemHeaderSeen = true;
    Intake = PacketIntakeState{};
    AudioTracks[0].intake = AudioIntakeState{};
    VideoScanReset();
    VideoTimingReset();
    ClearPreRoll(AudioTracks[0]);
    AudioDelayReset(AudioTracks[0]);
    Walk.scr = 0;
    TitleSelection.streamKind = STREAM_KIND_AC3;
  }
  void TearDown() override {
    EncoderStop();
    OutputClose();
    ExtractTest::TearDown();
  }
  bool Video(const Bytes& payload, std::optional<uint32_t> pts = {}) {
    Bytes packet = PesPacket(0xE0, payload, pts);
    return VideoPacketIn(packet.data(), static_cast<uint32_t>(packet.size()));
  }
  bool Audio(const Bytes& data, std::optional<uint32_t> pts = {}) {
    Bytes payload = {TitleSelection.subStreamId, 0x01, 0x00, 0x01};
    if (TitleSelection.streamKind == STREAM_KIND_PCM) payload.insert(payload.end(), {0x00, 0x00, 0x80});
    payload.insert(payload.end(), data.begin(), data.end());
    Bytes packet = PesPacket(0xBD, payload, pts);
    AudioTracks[0].streamKind = TitleSelection.streamKind;
    AudioTracks[0].subStreamId = TitleSelection.subStreamId;
    return AudioPacketIn(AudioTracks[0], packet.data(), static_cast<uint32_t>(packet.size()));
  }
  // Video bytes appended so far that are still in the pack being filled.
  static Bytes VideoInHand() {
    const uint8_t* pack = MuxVideoPackInProgress();
    return Bytes(pack + 23 + pack[22], pack + Mux.video.position);
  }
  // Samples handed to the encoder so far (submitted or in hand).
  static uint32_t SamplesHandedOn() {
    WaitEncoderIdle();
    return static_cast<uint32_t>(FakeEncodedFrames) * 1152 + AudioTracks[0].handoff.EncFill + AudioDelayed(AudioTracks[0]);
  }
};

TEST_F(IntakeTest, StartCodesSplitAnywhereAreFoundAndTheBytesPassUnchanged) {
  const Bytes stream = Cat({Bytes{0x12, 0x00}, GOP, Picture(2), SLICE, Bytes{0x00, 0x00, 0x00}, Picture(0), SLICE});
  // Every way of cutting the stream into three packets.
  for (size_t a = 0; a <= stream.size(); ++a) {
    for (size_t b = a; b <= stream.size(); ++b) {
      WaitEncoderIdle();  // the silence of the last round is packed
      Intake = PacketIntakeState{};
      VideoScanReset();
      VideoTimingReset();
      ASSERT_TRUE(MuxWriteFirstPack(0x20E8));  // a fresh video pack
      ASSERT_TRUE(Video(Bytes(stream.begin(), stream.begin() + static_cast<long>(a)), 90000));
      ASSERT_TRUE(Video(Bytes(stream.begin() + static_cast<long>(a), stream.begin() + static_cast<long>(b)), 95000));
      ASSERT_TRUE(Video(Bytes(stream.begin() + static_cast<long>(b), stream.end()), 99000));
      ASSERT_EQ(VideoInHand(), stream) << a << "," << b;
      ASSERT_EQ(Intake.VideoScanState, 0);
      EXPECT_TRUE(Intake.GopSeen);
      EXPECT_TRUE(Intake.VideoRefSet);
      EXPECT_EQ(Intake.GopFrames, 3u);
      // A is the packet that holds the picture start code's first zero.
      const size_t first = 2 + GOP.size();
      const uint32_t a_pts = first < a ? 90000 : first < b ? 95000 : 99000;
      EXPECT_EQ(Intake.GopStartInputPts, a_pts - 2 * 3600) << a << "," << b;
      EXPECT_EQ(Mux.PendingVideoPts, 22500u + 2 * 3600);
    }
  }
}

TEST_F(IntakeTest, PictureCodeOverFourPacketsGivesItsPtsToThePackOfItsFirstByte) {
  // 2019 bytes without a zero leave one byte free in the first video pack.
  Bytes filler(2019 - GOP.size(), 0x47);
  ASSERT_TRUE(Video(Cat({GOP, filler, Bytes{0x00}}), 180000));
  ASSERT_TRUE(Video({0x00, 0x01, 0x00}, 185000));
  ASSERT_TRUE(Video({0x00}));
  ASSERT_TRUE(Video({0x1F, 0x99}));  // a B-picture shown first: its PTS is known, no DTS
  EXPECT_EQ(Intake.GopStartInputPts, 180000u);
  // The pack that got the first zero was completed and written; it has the PTS.
  const uint8_t* written = WorkBuffers.OutBuffer[0] + 2048;
  EXPECT_EQ(written[17], 0xE0);
  EXPECT_EQ(written[21], 0x80);
  EXPECT_EQ(written[2047], 0x00);
  EXPECT_EQ(VideoInHand(), (Bytes{0x00, 0x01, 0x00, 0x00, 0x1F, 0x99}));
  EXPECT_EQ(Writer.packCount, 2u);
}

TEST_F(IntakeTest, ZeroRunBeforeAStartCodeTakesTheTimeOfTheSecondToLastZero) {
  ASSERT_TRUE(Video(GOP, 500));
  ASSERT_TRUE(Video({0x00}, 1000));
  ASSERT_TRUE(Video({0x00}, 2000));
  ASSERT_TRUE(Video({0x00}, 3000));
  ASSERT_TRUE(Video({0x01, 0x00, 0x00, 0x0F}));
  EXPECT_EQ(Intake.GopStartInputPts, 2000u);
  EXPECT_EQ(VideoInHand(), Cat({GOP, Bytes{0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0F}}));
}

TEST_F(IntakeTest, GroupCodeSplitAfterItsPrefix) {
  ASSERT_TRUE(Video({0x55, 0x00, 0x00, 0x01}, 1000));
  EXPECT_FALSE(Intake.GopSeen);
  ASSERT_TRUE(Video({0xB8, 0x00, 0x08}));
  EXPECT_TRUE(Intake.GopSeen);
  EXPECT_EQ(VideoInHand(), (Bytes{0x55, 0x00, 0x00, 0x01, 0xB8, 0x00, 0x08}));
}

TEST_F(IntakeTest, GopLengthCountsReorderedPicturesAndMovesTheNextGop) {
  Bytes gop = GOP;
  for (uint32_t tr : {2u, 0u, 1u, 5u, 3u, 4u}) gop = Cat({gop, Picture(tr), SLICE});
  ASSERT_TRUE(Video(gop, 90000));
  EXPECT_EQ(Intake.GopFrames, 6u);
  EXPECT_EQ(Intake.VideoBase, 22500u);
  ASSERT_TRUE(Video(Cat({GOP, Picture(0)}), 90000 + 6 * 3600));
  EXPECT_EQ(Intake.VideoBase, 22500u + 6 * 3600);
  EXPECT_EQ(Intake.GopFrames, 1u);
}

TEST_F(IntakeTest, PicturesBeforeTheFirstGopGetNoTimeAndDoNotCount) {
  ASSERT_TRUE(Video(Cat({Picture(3), SLICE}), 90000));
  EXPECT_FALSE(Intake.VideoRefSet);
  EXPECT_EQ(Intake.GopFrames, 0u);
  EXPECT_EQ(MuxVideoPackInProgress()[21], 0x00);  // marked as having a picture, no PTS
  EXPECT_TRUE(Mux.video.hasPicture);
}

TEST_F(IntakeTest, AudioStartingHalfASecondEarlyIsDroppedOnce) {
  TitleSelection.streamKind = STREAM_KIND_PCM;
  TitleSelection.subStreamId = 0xA0;
  ASSERT_TRUE(Video(Cat({GOP, Picture(0)}), 90000));
  ASSERT_TRUE(Audio(Bytes(6144, 0x01), 90000 - 45000));
  EXPECT_EQ(AudioTracks[0].intake.AvOffset, 24000);
  EXPECT_EQ(AudioTracks[0].handoff.SkipSamples, 24000u - 1536);
  EXPECT_EQ(SamplesHandedOn(), 0u);
}

TEST_F(IntakeTest, AudioThatStartsWithTheVideoButComesLaterKeepsEverySample) {
  TitleSelection.streamKind = STREAM_KIND_PCM;
  TitleSelection.subStreamId = 0xA0;
  ASSERT_TRUE(Video(Cat({GOP, Picture(0)}), 90000));
  for (uint32_t tr = 1; tr <= 4; ++tr) ASSERT_TRUE(Video(Picture(tr)));
  EXPECT_EQ(SamplesHandedOn(), 0u);
  ASSERT_TRUE(Audio(Bytes(400, 0x01), 90000));
  EXPECT_EQ(SamplesHandedOn(), 100u);
}

TEST_F(IntakeTest, AudioStartingAfterTheVideoGetsSilenceOnlyWhereTheInputHasNone) {
  TitleSelection.streamKind = STREAM_KIND_PCM;
  TitleSelection.subStreamId = 0xA0;
  // Silence as far as the input clock shows no audio; the rest once the
  // audio's time stamp is known.
  ASSERT_TRUE(Video(Cat({GOP, Picture(0)}), 90000));
  for (uint32_t tr = 1; tr <= 4; ++tr) {
    Walk.scr = 90000 + tr * 3600 - 3600;
    ASSERT_TRUE(Video(Picture(tr)));
  }
  EXPECT_EQ(SamplesHandedOn(), 3u * 1920);
  ASSERT_TRUE(Audio(Bytes(400, 0x01), 90000 + 5 * 3600));
  EXPECT_EQ(SamplesHandedOn(), 5u * 1920 + 100);
  EXPECT_TRUE(AudioTracks[0].intake.PcmFound);
}

TEST_F(IntakeTest, AudioBeforeTheVideoKeepsAtMostATenthOfASecond) {
  TitleSelection.streamKind = STREAM_KIND_PCM;
  TitleSelection.subStreamId = 0xA0;
  for (int k = 0; k < 6; ++k) ASSERT_TRUE(Audio(Bytes(6144, 0x01), 45000 + k * 2880));
  EXPECT_EQ(AudioTracks[0].intake.PreRollSamples, 6 * 1536);
  EXPECT_EQ(SamplesHandedOn(), 0u);  // held back
  // The video starts 1536 x 6 samples (17280 ticks) after the audio: the
  // 4800 samples held lie before it and are dropped.
  ASSERT_TRUE(Video(Cat({GOP, Picture(0)}), 45000 + 17280));
  EXPECT_EQ(AudioTracks[0].intake.AvOffset, 4800);
  EXPECT_EQ(SamplesHandedOn(), 0u);
  EXPECT_EQ(AudioTracks[0].handoff.SkipSamples, 0u);
}

TEST_F(IntakeTest, PcmPacketSizes) {
  VerboseErrors = true;
  TitleSelection.streamKind = STREAM_KIND_PCM;
  TitleSelection.subStreamId = 0xA0;
  ASSERT_TRUE(Audio(Bytes(100, 0x01)));  // before the first PTS: ignored, not found
  EXPECT_FALSE(AudioTracks[0].intake.PcmFound);
  ASSERT_TRUE(Audio(Bytes(2003, 0x01), 1000));
  EXPECT_TRUE(AudioTracks[0].intake.PcmFound);
  ASSERT_TRUE(Audio(Bytes(6148, 0x01)));
  EXPECT_EQ(ui_->boxTexts().size(), 2u);
  EXPECT_EQ(ui_->boxTexts()[0].rfind("Invalid PCM frame (offset", 0), 0u);
  Bytes samples(6144, 0x00);
  samples[0] = 0x80;  // left -32768
  samples[3] = 0x01;  // right 1
  ASSERT_TRUE(Audio(samples));
  EXPECT_EQ(ui_->boxTexts().size(), 2u);
  EXPECT_EQ(WorkBuffers.audio[0].DecodedLeft[0], -32768 * 512);
  EXPECT_EQ(WorkBuffers.audio[0].DecodedRight[0], 512);
  EXPECT_EQ(AudioTracks[0].intake.PreRollSamples, 1536);
}

// An AC-3 sync frame of the given frmsizecod byte, 2 x words bytes long.
Bytes Ac3Frame(uint8_t codeByte, uint32_t words, uint8_t seed) {
  Bytes frame(2 * words);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(seed + i * 3);
  frame[0] = 0x0B;
  frame[1] = 0x77;
  frame[4] = codeByte;
  return frame;
}

TEST_F(IntakeTest, Ac3FramesAreFoundByTheSyncWordAndGatheredAcrossPackets) {
  TitleSelection.subStreamId = 0x80;
  const Bytes big = Ac3Frame(0x24, 1280, 5);   // frmsizecod 36: 1280 words
  const Bytes small = Ac3Frame(0x00, 64, 9);   // frmsizecod 0: 64 words, whole in one packet
  Bytes data = Cat({Bytes{0x11, 0x22}, big, small});
  ASSERT_TRUE(Audio(Bytes(data.begin(), data.begin() + 1000), 3000));
  ASSERT_TRUE(Audio(Bytes(data.begin() + 1000, data.begin() + 2000)));
  EXPECT_TRUE(FakeAc3Frames.empty());
  ASSERT_TRUE(Audio(Bytes(data.begin() + 2000, data.end())));
  ASSERT_EQ(FakeAc3Frames.size(), 2u);
  EXPECT_EQ(FakeAc3Frames[0].length, 2555u);
  EXPECT_EQ(FakeAc3Frames[0].bytes, Bytes(big.begin() + 5, big.end()));
  EXPECT_EQ(FakeAc3Frames[1].length, 123u);
  EXPECT_EQ(FakeAc3Frames[1].bytes, Bytes(small.begin() + 5, small.end()));
  EXPECT_EQ(AudioTracks[0].intake.PreRollSamples, 2 * 1536);
}

TEST_F(IntakeTest, Ac3At44kHzAndBadSizeCodesAreRejected) {
  VerboseErrors = true;
  TitleSelection.subStreamId = 0x80;
  Bytes data = Cat({Ac3Frame(0x40 | 0x1C, 96, 1), Ac3Frame(0x40 | 0x1C, 96, 2), Ac3Frame(0x26, 64, 3)});
  ASSERT_TRUE(Audio(data, 3000));
  EXPECT_TRUE(FakeAc3Frames.empty());
  std::vector<std::string> boxes = ui_->boxTexts();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].rfind("Invalid AC3 audio data rate", 0), 0u);
  EXPECT_EQ(boxes[1].rfind("Invalid AC3 audio data rate", 0), 0u);
  EXPECT_EQ(boxes[2].rfind("Invalid AC3 frame size code", 0), 0u);
  EXPECT_EQ(SamplesHandedOn(), 0u);
}

TEST_F(IntakeTest, ClockStepCountsTheGopInProgressAndKeepsHeldBytes) {
  ASSERT_TRUE(Video(Cat({GOP, Picture(0), SLICE, Picture(2), SLICE, Bytes{0x00, 0x00}}), 90000));
  EXPECT_EQ(Intake.GopFrames, 3u);
  WaitEncoderIdle();
  Mux.layer2[0].pts = 22500 + 10 * 2160;
  AudioTracks[0].handoff.EncFill = 100;
  Walk.LastInputScr = 5000;
  CheckScrContinuity(5000);  // equal: nothing happens
  EXPECT_TRUE(Intake.VideoRefSet);
  CheckScrContinuity(4000);
  EXPECT_FALSE(Intake.VideoRefSet);
  EXPECT_FALSE(Intake.GopSeen);
  EXPECT_EQ(Intake.GopFrames, 0u);
  EXPECT_EQ(Intake.VideoBase, 22500u + 3 * 3600);
  EXPECT_EQ(AudioTracks[0].intake.AvOffset, (21600 - 10800) * 8 / 15 + 100);
  EXPECT_EQ(Walk.LastInputScr, 4000u);
  // The two zeros held as a possible start code stay in the stream.
  ASSERT_TRUE(Video({0x01, 0xB3, 0x16}));
  const Bytes in = VideoInHand();
  EXPECT_EQ(Bytes(in.end() - 5, in.end()), (Bytes{0x00, 0x00, 0x01, 0xB3, 0x16}));
}

TEST_F(IntakeTest, HeaderLengthsBeyondThePacketAreNotFollowed) {
  Bytes packet = PesPacket(0xE0, {0x00, 0x00, 0x01, 0xB8}, 1000);
  packet[8] = 200;  // PES_header_data_length past the end
  EXPECT_TRUE(VideoPacketIn(packet.data(), static_cast<uint32_t>(packet.size())));
  EXPECT_TRUE(VideoInHand().empty());
  TitleSelection.subStreamId = 0x80;
  Bytes audio = PesPacket(0xBD, {0x80, 0x01}, 1000);
  EXPECT_TRUE(AudioPacketIn(AudioTracks[0], audio.data(), static_cast<uint32_t>(audio.size())));
  EXPECT_TRUE(FakeAc3Frames.empty());
}

// A coded picture long enough that no two start in one pack.
Bytes CodedPicture(uint32_t tr, uint8_t type, uint8_t structure, bool topFieldFirst = false,
                   bool repeatFirstField = false) {
  return Cat({testps::PictureHeader(tr, type), testps::PictureCodingExtension(structure, topFieldFirst, repeatFirstField),
              Bytes(2100, 0x47)});
}

// (PTS, DTS or 0) of the video packs written so far that carry a PTS.
std::vector<std::pair<uint32_t, uint32_t>> WrittenStamps() {
  WaitEncoderIdle();
  std::vector<std::pair<uint32_t, uint32_t>> stamps;
  for (uint32_t k = 0; k < Writer.packCount; ++k) {
    const uint8_t* p = WorkBuffers.OutBuffer[0] + k * 2048;
    const Pack pack(p, p + 2048);
    if (PackStreamId(pack) == 0xE0 && PackHasPts(pack)) {
      stamps.emplace_back(PackPts(pack), PackHasDts(pack) ? PackDts(pack) : 0);
    }
  }
  return stamps;
}

TEST_F(IntakeTest, SoftPulldownGivesEveryPackItsExactStampsOnceTheBPicturesAreParsed) {
  // Shown 3, 2, 3, 2, 3, 2 fields of 1501.5 ticks; sent I2 B0 B1 P5 B3 B4.
  const bool repeat[6] = {true, false, true, false, true, false};
  const bool top[6] = {true, false, false, true, true, false};
  auto picture = [&](uint32_t tr, uint8_t type) { return CodedPicture(tr, type, 3, top[tr], repeat[tr]); };
  ASSERT_TRUE(Video(Cat({testps::SequenceHeader(4), testps::GroupOfPictures(), picture(2, 1)}), 90000));
  for (auto [tr, type] : std::vector<std::pair<uint32_t, uint8_t>>{{0, 3}, {1, 3}, {5, 2}, {3, 3}, {4, 3}}) {
    ASSERT_TRUE(Video(picture(tr, type)));
  }
  ASSERT_TRUE(Video(Cat({testps::GroupOfPictures(), picture(2, 1)})));
  EXPECT_EQ(Intake.VideoBase, 22500u + 22522);  // 15 fields, 22522.5 ticks
  ASSERT_TRUE(VideoTimingFinish());
  ASSERT_TRUE(MuxFinishStreams());  // every pack placed and written
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {
      {30007, 19497}, {22500, 0}, {27004, 0}, {42019, 30007}, {34512, 0}, {37515, 0}};
  std::vector<std::pair<uint32_t, uint32_t>> stamps = WrittenStamps();
  ASSERT_EQ(stamps.size(), 7u);
  EXPECT_EQ(std::vector(stamps.begin(), stamps.begin() + 6), expected);
  EXPECT_EQ(stamps[6].second, 42019u);  // decoded when the last P-picture is shown

  // A frame rate a DVD does not allow: a damaged header once the rate is
  // known, refused with a message before.
  EXPECT_TRUE(Video(testps::SequenceHeader(1)));
  VideoTimingReset();
  EXPECT_FALSE(Video(testps::SequenceHeader(1)));
  EXPECT_EQ(ui_->boxTexts().back().rfind("Unsupported video frame rate", 0), 0u);
}

TEST_F(IntakeTest, FieldPicturesLastOneFieldEachAndShareTheirFramesTemporalReference) {
  ASSERT_TRUE(Video(Cat({testps::SequenceHeader(4), testps::GroupOfPictures(), CodedPicture(0, 1, 1)}), 90000));
  ASSERT_TRUE(Video(CodedPicture(0, 2, 2)));
  ASSERT_TRUE(Video(CodedPicture(1, 2, 1)));
  ASSERT_TRUE(Video(CodedPicture(1, 2, 2)));
  ASSERT_TRUE(Video(testps::GroupOfPictures()));
  EXPECT_EQ(Intake.VideoBase, 22500u + 6006);
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {
      {22500, 19497}, {24001, 20998}, {25503, 22500}, {27004, 24001}};
  EXPECT_EQ(WrittenStamps(), expected);
}

}  // namespace

// The search for the next start code prefix, on every path the processor
// runs, finds what a byte-by-byte search finds: prefixes planted at every
// position of runs of every length, among zeros, ones and other bytes.
TEST(StartCodeSearch, EveryPathFindsTheFirstWholePrefix) {
  const VectorPath best = BestVectorPath();
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    Bytes run(random() % 100);
    for (uint8_t& b : run) b = static_cast<uint8_t>(random() % 4 == 0 ? random() % 3 : random());
    if (!run.empty() && round % 2 == 0) {
      const size_t at = random() % run.size();
      for (size_t k = 0; k < 3 && at + k < run.size(); ++k) run[at + k] = k < 2 ? 0x00 : 0x01;
    }
    const uint8_t* begin = run.data();
    const uint8_t* end = begin + run.size();
    const uint8_t* expected = nullptr;
    for (const uint8_t* p = begin; p + 3 <= end && expected == nullptr; ++p) {
      if (p[0] == 0x00 && p[1] == 0x00 && p[2] == 0x01) expected = p;
    }
    for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      ASSERT_EQ(FindStartCodePrefix(begin, end), expected) << round << " " << static_cast<int>(path);
    }
  }
  VectorPathInUse = best;
}
