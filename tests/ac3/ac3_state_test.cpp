// Bit reader, dither generator, reset and frame counting.
#include <vector>

#include <gtest/gtest.h>

#include "ac3/ac3_bit_reader.h"
#include "ac3/ac3_decoder.h"
#include "ac3/ac3_dither.h"
#include "ac3/ac3_tables.h"
#include "report/run_flags.h"
#include "platform/recording_ui.h"

TEST(Ac3BitReader, ReadsMostSignificantBitFirstAcrossBytes) {
  const uint8_t data[] = {0xA5, 0x5A, 0xFF};
  Ac3BitReaderStart(data, 3);
  EXPECT_EQ(Ac3GetBits(3), 5u);
  EXPECT_EQ(Ac3GetBits(0), 0u);
  EXPECT_EQ(Ac3GetBits(13), 0x055Au);
  EXPECT_EQ(Ac3GetBits(8), 0xFFu);
}

TEST(Ac3BitReader, ReadPastTheEndGivesZeroAndConsumesNothing) {
  const uint8_t data[] = {0xA5, 0x5A, 0xF0};
  Ac3BitReaderStart(data, 3);
  EXPECT_EQ(Ac3GetBits(12), 0xA55u);
  EXPECT_EQ(Ac3GetBits(13), 0u);  // needs a fourth byte
  EXPECT_EQ(Ac3BitPosition(), 12u);
  EXPECT_EQ(Ac3GetBits(12), 0xAF0u);  // the same bits are still there
  EXPECT_EQ(Ac3GetBits(1), 0u);
  EXPECT_EQ(Ac3BitPosition(), 24u);

  // A 16-bit read that ends exactly at the last bit of a 2-byte frame.
  const uint8_t two[] = {0x80, 0x01};
  Ac3BitReaderStart(two, 2);
  EXPECT_EQ(Ac3GetBits(16), 0x8001u);
  Ac3BitReaderStart(two, 0);
  EXPECT_EQ(Ac3GetBits(1), 0u);
}

TEST(Ac3State, ResetClearsOverlapDitherAndFrameCount) {
  Ac3Decoder.Ac3Overlap[3][17] = 99;
  Ac3Decoder.Ac3Overlap[AC3_LFE_ROW][255] = -5;
  Ac3Decoder.ditherRegister = 0x1234;
  Ac3Decoder.Ac3FrameCount = 7;
  Ac3Reset(true);
  for (auto& row : Ac3Decoder.Ac3Overlap)
    for (int32_t v : row) ASSERT_EQ(v, 0);
  EXPECT_EQ(Ac3Decoder.ditherRegister, 0xFFFF);
  EXPECT_EQ(Ac3FrameCount(), 0);
  EXPECT_TRUE(Ac3Decoder.DynamicCompression);
  Ac3Reset(false);
  EXPECT_FALSE(Ac3Decoder.DynamicCompression);
}

TEST(Ac3State, DitherSequenceAfterReset) {
  Ac3Reset(false);
  // Register 0xDAA5, 0xC808, 0x6404, 0x3202 read as signed 16-bit
  // fractions, times 0.7071.
  EXPECT_EQ(Ac3Dither(), -3462176);
  EXPECT_EQ(Ac3Decoder.ditherRegister, 0xDAA5);
  EXPECT_EQ(Ac3Dither(), -5187290);
  EXPECT_EQ(Ac3Decoder.ditherRegister, 0xC808);
  EXPECT_EQ(Ac3Dither(), 9269638);
  EXPECT_EQ(Ac3Dither(), 4634819);
  EXPECT_EQ(Ac3Decoder.ditherRegister, 0x3202);
  // The levels stay within +-0.7071 of full scale over the whole cycle.
  for (int i = 0; i < 70000; ++i) {
    const int32_t v = Ac3Dither();
    ASSERT_LE(v, AC3_DITHER_SCALE);
    ASSERT_GE(v, -AC3_DITHER_SCALE);
  }
}

// The eight-at-a-time generator gives the single steps' levels and leaves
// the register where they would, whatever the run's length.
TEST(Ac3State, DitherRunMatchesSingleSteps) {
  for (uint32_t start : {0xFFFFu, 0x0001u, 0x8000u, 0x1234u}) {
    for (int length : {1, 7, 8, 9, 70001}) {
      Ac3Decoder.ditherRegister = static_cast<uint16_t>(start);
      std::vector<int32_t> single;
      for (int i = 0; i < length; ++i) single.push_back(Ac3Dither());
      const uint16_t singleEnd = Ac3Decoder.ditherRegister;
      Ac3Decoder.ditherRegister = static_cast<uint16_t>(start);
      Ac3DitherRun run = Ac3DitherRun::FromDecoder();
      for (int i = 0; i < length; ++i) ASSERT_EQ(run.Take(), single[i]) << start << " " << i;
      run.ToDecoder();
      EXPECT_EQ(Ac3Decoder.ditherRegister, singleEnd);
    }
  }
}

TEST(Ac3State, NoAc3FoundOnlyWithoutAnyFrameCall) {
  ScopedRecordingUi ui;
  Ac3Reset(false);
  EXPECT_FALSE(ReportNoAc3Found());
  ASSERT_EQ(ui->boxTexts().size(), 1u);
  EXPECT_EQ(ui->boxTexts()[0], "No AC3 stream found!");

  // A frame that fails (empty data: block 0 finds no exponent strategy)
  // still counts.
  ui->Clear();
  static Q24 left[AC3_FRAME_SAMPLES], right[AC3_FRAME_SAMPLES];
  const uint8_t nothing[1] = {0};
  EXPECT_EQ(Ac3DecodeFrame(nothing, 0, left, right), 0u);
  EXPECT_EQ(Ac3FrameCount(), 1);
  EXPECT_TRUE(ReportNoAc3Found());
  EXPECT_TRUE(ui->boxTexts().empty());  // detail messages need verbose mode
}

TEST(Ac3State, FrameSizeTable) {
  EXPECT_EQ(Ac3FrameWords48k(0), 64u);
  EXPECT_EQ(Ac3FrameWords48k(1), 64u);
  EXPECT_EQ(Ac3FrameWords48k(28), 768u);
  EXPECT_EQ(Ac3FrameWords48k(37), 1280u);
  EXPECT_EQ(Ac3FrameWords48k(38), 0u);
}
