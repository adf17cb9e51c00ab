#include "app/stream_selection.h"

#include <gtest/gtest.h>

#include "extract/title_selection.h"

namespace {

class StreamSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = TitleSelection;
    TitleSelection = {};
    // Lines: 0 label, 1 title, 2 MPEG, 3 PCM #0, 4 AC3 #7, 5 DTS #0.
    TitleList[0] = {3, 1, 120, STREAM_KIND_PCM, 0xA0};
    TitleList[1] = {4, 1, 120, STREAM_KIND_AC3, 0x87};
    TitleListCount = 2;
  }
  void TearDown() override {
    TitleSelection = saved_;
    TitleListCount = 0;
  }
  TitleSelectionRecord saved_;
};

TEST_F(StreamSelection, OnlyStreamLinesWithAnEntryEnableExtraction) {
  for (int line : {-1, 0, 1, 2, 5, 6}) {
    ExtractionControls controls = SelectionUpdate(line);
    EXPECT_FALSE(controls.extractEnabled) << line;
    EXPECT_FALSE(controls.compressionEnabled) << line;
  }
  EXPECT_EQ(TitleSelection.streamKind, 0) << "no entry leaves the selection alone";

  ExtractionControls pcm = SelectionUpdate(3);
  EXPECT_TRUE(pcm.extractEnabled);
  EXPECT_FALSE(pcm.compressionEnabled);
  EXPECT_EQ(TitleSelection.title, 1);
  EXPECT_EQ(TitleSelection.sizeMB, 120);
  EXPECT_EQ(TitleSelection.streamKind, STREAM_KIND_PCM);
  EXPECT_EQ(TitleSelection.subStreamId, 0xA0);

  ExtractionControls ac3 = SelectionUpdate(4);
  EXPECT_TRUE(ac3.extractEnabled);
  EXPECT_TRUE(ac3.compressionEnabled);
  EXPECT_EQ(TitleSelection.streamKind, STREAM_KIND_AC3);
  EXPECT_EQ(TitleSelection.subStreamId, 0x87);

  // A title line after a stream line disables again; the choice stays.
  EXPECT_FALSE(SelectionUpdate(1).extractEnabled);
  EXPECT_EQ(TitleSelection.subStreamId, 0x87);
}

TEST_F(StreamSelection, TakesTheFirstEntryOfALineAndNeverReadsPastTheTable) {
  TitleList[2] = {3, 2, 7, STREAM_KIND_AC3, 0x80};
  TitleListCount = 3;
  ASSERT_NE(FindTitleListEntry(3), nullptr);
  EXPECT_EQ(FindTitleListEntry(3)->title, 1);

  TitleList[TITLE_LIST_SLOTS - 1] = {40, 9, 9, STREAM_KIND_PCM, 0xA1};
  TitleListCount = TITLE_LIST_SLOTS + 5;  // a corrupt count
  EXPECT_NE(FindTitleListEntry(40), nullptr);
  EXPECT_EQ(FindTitleListEntry(41), nullptr);
  TitleList[TITLE_LIST_SLOTS - 1] = {};
}

}  // namespace
