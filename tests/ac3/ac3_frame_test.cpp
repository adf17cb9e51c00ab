// Whole frames built bit by bit: every check with its failing value and its
// message, the silence that a failed frame leaves, and the frame count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ac3/ac3_decoder.h"
#include "ac3/ac3_state.h"
#include "report/run_flags.h"
#include "platform/recording_ui.h"
#include "tests/ac3/ac3_frame_builder.h"

namespace {

class Ac3FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VerboseErrors = true;
    Ac3Reset(false);
  }
  void TearDown() override { VerboseErrors = false; }

  // Decodes one frame; returns the message shown ("" for none).
  std::string Decode(const std::vector<uint8_t>& frame, unsigned* result = nullptr) {
    ui_->Clear();
    left_.assign(AC3_FRAME_SAMPLES, 0x5555);
    right_.assign(AC3_FRAME_SAMPLES, 0x5555);
    const unsigned r = Ac3DecodeFrame(frame.data(), static_cast<uint32_t>(frame.size()), left_.data(), right_.data());
    if (result) *result = r;
    const auto boxes = ui_->boxTexts();
    EXPECT_LE(boxes.size(), 1u);
    if (r == 0) {
      for (int i = 0; i < AC3_FRAME_SAMPLES; ++i) {
        EXPECT_EQ(left_[i], 0) << i;
        EXPECT_EQ(right_[i], 0) << i;
        if (left_[i] != 0 || right_[i] != 0) break;
      }
    }
    if (boxes.empty()) return "";
    return boxes[0].substr(0, boxes[0].find(" (offset"));
  }

  bool AnyNonZero(int from, int to) const {
    for (int i = from; i < to; ++i)
      if (left_[i] != 0 || right_[i] != 0) return true;
    return false;
  }

  ScopedRecordingUi ui_;
  std::vector<Q24> left_, right_;
};

}  // namespace

TEST_F(Ac3FrameTest, ValidFramesOfEveryArrangementDecode) {
  for (int acmod = 0; acmod < 8; ++acmod) {
    for (int lfeon = 0; lfeon < 2; ++lfeon) {
      BlockFields blocks[6];
      ValidBlocks(blocks, acmod);
      unsigned result = 0;
      EXPECT_EQ(Decode(BuildFrame(acmod, lfeon, blocks), &result), "") << acmod;
      EXPECT_EQ(result, 6u) << acmod;
      // Every bap is 0 and dithflag is clear; only the LFE channel, which
      // is always dithered, makes a sound.
      EXPECT_EQ(AnyNonZero(0, AC3_FRAME_SAMPLES), lfeon == 1) << acmod;
    }
  }
  EXPECT_EQ(Ac3FrameCount(), 16);
}

TEST_F(Ac3FrameTest, ErrorInBlockThreeSilencesTheWholeFrame) {
  BlockFields blocks[6];
  ValidBlocks(blocks, 2);
  for (BlockFields& b : blocks) b.dithflag = 1;
  unsigned result = 0;
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks), &result), "");
  ASSERT_EQ(result, 6u);
  EXPECT_TRUE(AnyNonZero(0, 256));
  EXPECT_TRUE(AnyNonZero(512, 768));

  blocks[3].cplstre = 1;
  blocks[3].cplinu = 1;
  blocks[3].cplbegf = 15;
  blocks[3].cplendf = 12;
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks), &result), "AC3: invalid CPLBEGF/CPLENDF");
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(Ac3FrameCount(), 2);
}

TEST_F(Ac3FrameTest, CouplingRangeLimits) {
  BlockFields blocks[6];
  ValidBlocks(blocks, 2);
  blocks[0].cplinu = 1;
  blocks[0].cplbegf = 15;
  blocks[0].cplendf = 13;  // one sub-band: accepted
  blocks[0].cplexpstr = 1;
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks)), "");
  blocks[0].cplendf = 12;
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks)), "AC3: invalid CPLBEGF/CPLENDF");
  blocks[0].cplbegf = 0;
  blocks[0].cplendf = 15;  // widest coupling range
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks)), "");
}

TEST_F(Ac3FrameTest, EveryCheckReportsItsMessage) {
  struct Case {
    const char* message;
    int acmod;
    void (*change)(BlockFields (&)[6]);
  };
  const Case cases[] = {
      {"AC3: invalid exponent group", 2, [](BlockFields(&b)[6]) { b[0].expGroup = 125; }},
      {"AC3: CPLSTRE not set in first block", 2, [](BlockFields(&b)[6]) { b[0].cplstre = 0; }},
      {"AC3: CPLCOE not set in previous block", 2,
       [](BlockFields(&b)[6]) {
         b[0].cplinu = 1, b[0].cplbegf = 2, b[0].cplendf = 5, b[0].cplexpstr = 1;
         b[0].cplcoe = 0;
       }},
      {"AC3: REMATSTR not set in first block", 2, [](BlockFields(&b)[6]) { b[0].rematstr = 0; }},
      {"AC3: invalid channel bandwidth code", 7, [](BlockFields(&b)[6]) { b[0].chbwcod = 61; }},
      {"AC3: CHEXPSTR reuse in first block", 6, [](BlockFields(&b)[6]) { b[0].chexpstr = 0; }},
      {"AC3: BAIE not set in first block", 1, [](BlockFields(&b)[6]) { b[0].baie = 0; }},
      {"AC3: SNROFFSTE not set in first block", 3, [](BlockFields(&b)[6]) { b[0].snroffste = 0; }},
      {"AC3: CPLLEAKE not set in previous block", 7,
       [](BlockFields(&b)[6]) {
         b[0].cplinu = 1, b[0].cplbegf = 2, b[0].cplendf = 5, b[0].cplexpstr = 1;
         b[0].cplleake = 0;
       }},
      {"AC3: CPLDELTBAE reuse not defined in previous block", 2,
       [](BlockFields(&b)[6]) {
         b[0].cplinu = 1, b[0].cplbegf = 2, b[0].cplendf = 5, b[0].cplexpstr = 1;
         b[0].deltbaie = 1, b[0].cpldeltbae = 0;
       }},
      {"AC3: invalid CPLDELTBAE", 2,
       [](BlockFields(&b)[6]) {
         b[0].cplinu = 1, b[0].cplbegf = 2, b[0].cplendf = 5, b[0].cplexpstr = 1;
         b[0].deltbaie = 1, b[0].cpldeltbae = 3;
       }},
      {"AC3: invalid CPLDELTBAE", 5, [](BlockFields(&b)[6]) { b[0].deltbaie = 1, b[0].deltbae = 3; }},
      // No delta data in block 0, reuse asked for in block 1.
      {"AC3: invalid CPLDELTBAE", 2, [](BlockFields(&b)[6]) { b[1].deltbaie = 1, b[1].deltbae = 0; }},
  };
  for (const Case& c : cases) {
    BlockFields blocks[6];
    ValidBlocks(blocks, c.acmod);
    c.change(blocks);
    unsigned result = 9;
    EXPECT_EQ(Decode(BuildFrame(c.acmod, 0, blocks), &result), c.message);
    EXPECT_EQ(result, 0u) << c.message;
  }
  EXPECT_EQ(Ac3FrameCount(), static_cast<int32_t>(std::size(cases)));
}

TEST_F(Ac3FrameTest, CouplingSwitchedOnAgainNeedsNewCoordinatesAndLeaks) {
  BlockFields blocks[6];
  ValidBlocks(blocks, 2);
  blocks[0].cplinu = 1, blocks[0].cplbegf = 3, blocks[0].cplendf = 6, blocks[0].cplexpstr = 1;
  blocks[1].cplstre = 1, blocks[1].cplinu = 0;
  blocks[2].cplstre = 1, blocks[2].cplinu = 1, blocks[2].cplbegf = 3, blocks[2].cplendf = 6;
  blocks[2].chexpstr = 1;  // back to coupled bandwidth
  blocks[1].chexpstr = 1;
  blocks[1].rematstr = 1;
  blocks[2].rematstr = 1;
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks)), "");
  blocks[2].cplcoe = 0;
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks)), "AC3: CPLCOE not set in previous block");
  blocks[2].cplcoe = 1;
  blocks[2].cplleake = 0;
  EXPECT_EQ(Decode(BuildFrame(2, 0, blocks)), "AC3: CPLLEAKE not set in previous block");
}

TEST_F(Ac3FrameTest, DeltaSegmentsAndBandwidthEdges) {
  BlockFields blocks[6];
  ValidBlocks(blocks, 2);
  blocks[0].chbwcod = 60;  // endmant 253
  blocks[0].csnroffst = 40;
  blocks[0].deltbaie = 1;
  blocks[0].deltbae = 1;
  blocks[0].deltnseg = 7;  // eight segments far past band 49
  blocks[0].deltoffst = 31;
  blocks[0].deltlen = 15;
  blocks[0].deltba = 7;
  blocks[1].deltbaie = 1;  // reuse of the segments
  blocks[1].deltbae = 0;
  unsigned result = 9;
  const std::string message = Decode(BuildFrame(2, 0, blocks), &result);
  EXPECT_TRUE(message.empty() || message == "AC3: invalid coefficient group") << message;
}

TEST_F(Ac3FrameTest, OutOfRangeMantissaCodeEndsTheFrame) {
  // With coded mantissas and all-ones mantissa bits, the first grouped or
  // small quantiser code is out of range.
  BlockFields blocks[6];
  ValidBlocks(blocks, 1);
  blocks[0].csnroffst = 10;
  blocks[0].absexp = 4;
  blocks[0].chbwcod = 0;
  unsigned result = 9;
  EXPECT_EQ(Decode(BuildFrame(1, 0, blocks, 762, 0xFF), &result), "AC3: invalid coefficient group");
  EXPECT_EQ(result, 0u);
}

TEST_F(Ac3FrameTest, ShortDataDecodesOnZerosWithoutReadingPastTheEnd) {
  BlockFields blocks[6];
  ValidBlocks(blocks, 7);
  blocks[0].csnroffst = 30;
  const std::vector<uint8_t> full = BuildFrame(7, 1, blocks);
  for (size_t length : {size_t{0}, size_t{1}, size_t{5}, size_t{40}, size_t{120}}) {
    // Exactly length bytes on the heap, so a read past them is caught.
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(length));
    unsigned result = 9;
    Decode(cut, &result);
    EXPECT_TRUE(result == 0 || result == 6);
  }
}

TEST_F(Ac3FrameTest, DynamicRangeGainKeepsItsValueUntilTheNextWord) {
  BlockFields blocks[6];
  ValidBlocks(blocks, 2);
  for (BlockFields& b : blocks) b.dithflag = 1;
  blocks[0].dynrng = 0xE0;  // 0.5 from block 0 on
  blocks[4].dynrng = 0x20;  // 2.0 from block 4 on
  const std::vector<uint8_t> frame = BuildFrame(2, 0, blocks);

  Ac3Reset(false);
  ASSERT_EQ(Decode(frame), "");
  const std::vector<Q24> plainLeft = left_, plainRight = right_;
  Ac3Reset(true);
  ASSERT_EQ(Decode(frame), "");
  for (int i = 0; i < AC3_FRAME_SAMPLES; ++i) {
    const int32_t gain = i < 4 * 256 ? 0x800000 : 0x2000000;
    ASSERT_EQ(left_[i], MulQ24(plainLeft[i], gain)) << i;
    ASSERT_EQ(right_[i], MulQ24(plainRight[i], gain)) << i;
  }
  EXPECT_TRUE(AnyNonZero(0, 256));
}
