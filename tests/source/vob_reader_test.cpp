#include <cstring>
#include <utility>

#include "report/string_table.h"
#include "tests/source/source_fixture.h"

using testps::PACK_BYTES;
using testps::ProgramStream;
using testps::VideoOnlyStream;
using testps::VobPath;
using testps::WriteTitle;
using testps::WriteVob;

namespace {

using View = std::pair<uint32_t, uint32_t>;  // viewOffset, viewLength

// Walks the open title pack by pack and records every distinct view, and
// checks that `current` always shows the file's own bytes.
std::vector<View> ViewsWalkingPacks(const std::vector<uint8_t>& part) {
  std::vector<View> views;
  while (!VobReader.closed) {
    View view{VobReader.viewOffset, VobReader.viewLength};
    if (views.empty() || views.back() != view) views.push_back(view);
    uint32_t offset = VobCurrentOffset();
    EXPECT_EQ(std::memcmp(VobReader.current, part.data() + offset, PACK_BYTES), 0) << offset;
    EXPECT_LT(VobReader.posInView, VOB_VIEW_STEP);
    if (!VobAdvance(PACK_BYTES)) break;
  }
  return views;
}

}  // namespace

using VobReaderTest = SourceTest;

constexpr uint32_t STEP = VOB_VIEW_STEP;
constexpr uint32_t REACH = VOB_RECORD_REACH;

TEST_F(VobReaderTest, ViewsOfAThreeStepPartSlideByOneStep) {
  ProgramStream stream = VideoOnlyStream(3 * STEP / PACK_BYTES);
  WriteTitle(dir_.path(), 1, stream.bytes());
  ASSERT_TRUE(Open(1));
  EXPECT_EQ(ViewsWalkingPacks(stream.bytes()),
            (std::vector<View>{{0, STEP + REACH}, {STEP, STEP + REACH}, {2 * STEP, STEP}}));
  EXPECT_TRUE(VobReader.closed);
  EXPECT_EQ(VobReader.part, 2);
  EXPECT_TRUE(ui_->boxes().empty());
}

TEST_F(VobReaderTest, PartOfOneWholeViewAndSmallPartsMapAsExpected) {
  ProgramStream whole = VideoOnlyStream(VOB_VIEW_SIZE / PACK_BYTES);
  WriteTitle(dir_.path(), 1, whole.bytes());
  ASSERT_TRUE(Open(1));
  EXPECT_EQ(ViewsWalkingPacks(whole.bytes()), (std::vector<View>{{0, VOB_VIEW_SIZE}, {STEP, REACH}}));

  ProgramStream small = VideoOnlyStream(0x8000 / PACK_BYTES);
  WriteTitle(dir_.path(), 2, small.bytes());
  ASSERT_TRUE(Open(2));
  EXPECT_EQ(ViewsWalkingPacks(small.bytes()), (std::vector<View>{{0, 0x8000}}));
}

TEST_F(VobReaderTest, PartsFollowUntilTheFirstMissingOne) {
  ProgramStream stream = VideoOnlyStream(8);
  for (int part : {1, 2, 4}) WriteVob(dir_.path(), 3, part, stream.bytes());
  ASSERT_TRUE(Open(3));
  int packs = 0;
  std::vector<int> parts;
  while (!VobReader.closed) {
    parts.push_back(VobReader.part);
    ++packs;
    ASSERT_TRUE(VobAdvance(PACK_BYTES));
  }
  EXPECT_EQ(packs, 16);
  EXPECT_EQ(parts.front(), 1);
  EXPECT_EQ(parts.back(), 2);
  EXPECT_EQ(VobReader.part, 3);

  // An advance ending exactly at a part's end shows the next part's first byte.
  ASSERT_TRUE(Open(3));
  ASSERT_TRUE(VobAdvance(static_cast<uint32_t>(stream.size())));
  EXPECT_FALSE(VobReader.closed);
  EXPECT_EQ(VobReader.part, 2);
  EXPECT_EQ(VobCurrentOffset(), 0u);
  EXPECT_EQ(VobReader.current[3], 0xBA);
  VobClose();
  VobClose();  // may be called any number of times
  EXPECT_TRUE(VobReader.closed);
}

TEST_F(VobReaderTest, TitleZeroIsTheMenuFileAlone) {
  ProgramStream stream = VideoOnlyStream(4);
  WriteTitle(dir_.path(), 0, stream.bytes());
  WriteFileBytes(dir_ / "VIDEO_TS/VIDEO_TS_2.VOB", stream.bytes().data(), stream.size());
  VobReader.title = 0;
  VobReader.part = 1;
  ASSERT_TRUE(VobProbePart());
  EXPECT_EQ(VobReader.fileSize, stream.size());
  VobReader.part = 2;
  EXPECT_FALSE(VobProbePart());
  ASSERT_TRUE(Open(0));
  ASSERT_TRUE(VobAdvance(static_cast<uint32_t>(stream.size())));
  EXPECT_TRUE(VobReader.closed);
}

TEST_F(VobReaderTest, NamesMatchIgnoringCaseAndTheVideoTsFolderIsASource) {
  ProgramStream stream = VideoOnlyStream(2);
  WriteFileBytes(dir_ / "video_ts/vts_07_1.vob", stream.bytes().data(), stream.size());
  EXPECT_TRUE(Open(7));
  VobClose();
  DriveList = {DriveFromArgument((dir_ / "video_ts").string())};
  EXPECT_TRUE(Open(7));
}

TEST_F(VobReaderTest, OpenFailuresAreReportedAsTheTableSays) {
  EXPECT_FALSE(Open(1));  // no part 1: silent, abort flag untouched
  EXPECT_TRUE(ui_->boxes().empty());
  EXPECT_FALSE(AbortFlag);

  WriteVob(dir_.path(), 1, 1, {});
  EXPECT_FALSE(Open(1));
  EXPECT_TRUE(VobReader.closed);
  EXPECT_TRUE(AbortFlag);

  AbortFlag = false;
  std::filesystem::create_directories(VobPath(dir_.path(), 2, 1));  // cannot be mapped
  EXPECT_FALSE(Open(2));
  EXPECT_TRUE(AbortFlag);
  EXPECT_EQ(ui_->boxTexts(), (std::vector<std::string>{"Empty VOB file #1", "Unable to map VOB file #1"}));
}

TEST_F(VobReaderTest, AdvancePastThePartEndFailsAndLeavesThePartOpen) {
  ProgramStream stream = VideoOnlyStream(4);
  WriteVob(dir_.path(), 1, 1, stream.bytes());
  WriteVob(dir_.path(), 1, 2, stream.bytes());
  ASSERT_TRUE(Open(1));
  ASSERT_TRUE(VobAdvance(3 * PACK_BYTES));
  const uint8_t* before = VobReader.current;
  EXPECT_FALSE(VobAdvance(PACK_BYTES + 1));
  EXPECT_EQ(VobReader.current, before);
  EXPECT_FALSE(VobReader.closed);
  EXPECT_TRUE(AbortFlag);
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Reading above end of VOB file #1"});
}

TEST_F(VobReaderTest, AnAdvanceBeyondAWholeViewKeepsCurrentInsideTheView) {
  ProgramStream stream = VideoOnlyStream(3 * STEP / PACK_BYTES);
  WriteTitle(dir_.path(), 1, stream.bytes());
  ASSERT_TRUE(Open(1));
  const uint32_t far = 2 * STEP + REACH + 0x8800;  // more than one step past a whole view
  ASSERT_TRUE(VobAdvance(far));
  EXPECT_EQ(VobCurrentOffset(), far);
  EXPECT_LT(VobReader.posInView, VobReader.viewLength);
  EXPECT_EQ(VobReader.viewOffset % STEP, 0u);
  EXPECT_EQ(std::memcmp(VobReader.current, stream.bytes().data() + far, PACK_BYTES), 0);
}

TEST_F(VobReaderTest, MissingStartCodeNamesItsOffsetAndPartOnlyWhenVerbose) {
  ProgramStream stream = VideoOnlyStream(0x30000 / PACK_BYTES);
  stream.bytes()[0x1A800 + 2] = 0x02;
  WriteVob(dir_.path(), 1, 1, VideoOnlyStream(4).bytes());
  WriteVob(dir_.path(), 1, 2, stream.bytes());
  ASSERT_TRUE(Open(1));
  ASSERT_TRUE(VobAdvance(4 * PACK_BYTES));
  for (uint32_t i = 0; i < 0x1A800 / PACK_BYTES; ++i) {
    ASSERT_TRUE(VobCheckPackStart(VobReader.current));
    ASSERT_TRUE(VobAdvance(PACK_BYTES));
  }
  EXPECT_FALSE(VobCheckPackStart(VobReader.current));
  EXPECT_TRUE(AbortFlag);
  EXPECT_TRUE(ui_->boxes().empty());
  VerboseErrors = true;
  EXPECT_FALSE(VobCheckPackStart(VobReader.current));
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Missing PACK START CODE (offset 0001A800 in VOB file #2)"});
}
