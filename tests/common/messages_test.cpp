#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "platform/recording_ui.h"
#include "source/vob_reader.h"

#include <gtest/gtest.h>

TEST(FormatHms, CountsHoursWithoutWrapping) {
  EXPECT_EQ(FormatHms(0), "00:00:00");
  EXPECT_EQ(FormatHms(3599), "00:59:59");
  EXPECT_EQ(FormatHms(3600), "01:00:00");
  EXPECT_EQ(FormatHms(360000), "100:00:00");
}

TEST(StringTable, KeepsEmbeddedNulsAndCutsToTheBuffer) {
  std::string_view filter = LoadStringView(IDS_SAVE_FILTER);
  EXPECT_EQ(filter.size(), 57u);
  EXPECT_EQ(filter.substr(0, 6), std::string_view("MPEG2\0", 6));
  EXPECT_EQ(LoadStringText(IDS_SAVE_FILTER), "MPEG2");
  EXPECT_EQ(LoadStringText(IDS_STOP_QUESTION), "Stop MEPG2 extraction?");
  EXPECT_EQ(LoadStringText(IDS_SCAN_ERROR, 6), "Error");
  EXPECT_EQ(LoadStringText(156), "");
  EXPECT_EQ(LoadStringText(IDS_ENCODER_SETUP), "");
}

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VerboseErrors = false;
    saved_ = VobReader;
  }
  void TearDown() override {
    VerboseErrors = false;
    VobReader = saved_;
  }
  ScopedRecordingUi ui_;
  VobReaderState saved_;
};

TEST_F(MessagesTest, VobErrorNamesThePartAndIsAlwaysShown) {
  VobReader.part = 3;
  ShowVobError(IDS_READ_ABOVE_END);
  ASSERT_EQ(ui_->boxTexts().size(), 1u);
  EXPECT_EQ(ui_->boxTexts()[0], "Reading above end of VOB file #3");
}

TEST_F(MessagesTest, DetailErrorIsSilentWithoutVerboseAndHasTheOffsetWithIt) {
  static uint8_t view[0x20000];
  VobReader.part = 1;
  VobReader.viewBase = view;
  VobReader.viewOffset = 0x10000;
  VobReader.current = view + 0xA800;
  ShowVobDetailError(IDS_MISSING_PACK_START);
  EXPECT_TRUE(ui_->boxTexts().empty());
  VerboseErrors = true;
  ShowVobDetailError(IDS_MISSING_PACK_START);
  ASSERT_EQ(ui_->boxTexts().size(), 1u);
  EXPECT_EQ(ui_->boxTexts()[0], "Missing PACK START CODE (offset 0001A800 in VOB file #1)");
  EXPECT_FALSE(AbortFlag);  // reporting never touches the abort flag
}

TEST_F(MessagesTest, ErrorBoxCarriesTheTextOnly) {
  ShowError(IDS_SCAN_ERROR);
  ASSERT_EQ(ui_->boxes().size(), 1u);
  EXPECT_EQ(ui_->boxes()[0].text, "Error detected while scanning DVD titles");
  EXPECT_EQ(ui_->boxes()[0].kind, BoxKind::Error);
}
