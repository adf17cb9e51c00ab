#include "source/title_scanner.h"


#include <cstdio>

#include "extract/title_selection.h"
#include "tests/source/source_fixture.h"

using testps::PACK_BYTES;
using testps::ProgramStream;
using testps::ResizeFile;
using testps::VideoOnlyStream;
using testps::VobPath;
using testps::WriteTitle;
using testps::WriteVob;

namespace {

using Lines = std::vector<std::string>;

// A short title: a navigation pack, then one pack per audio sub-stream (or
// MPEG audio stream id), then a video pack and the end code.
ProgramStream TitleWith(const std::vector<uint8_t>& audio) {
  ProgramStream stream;
  stream.NavPack(0);
  for (uint8_t id : audio) {
    if (id >= 0xC0 && id <= 0xDF)
      stream.MpegAudioPack(100, id);
    else
      stream.AudioPack(100, id);
  }
  stream.VideoPack(200).EndCode();
  return stream;
}

}  // namespace

class ScannerTest : public SourceTest {
 protected:
  Lines Scan() {
    EXPECT_EQ(ScanWorker(), 0);
    EXPECT_EQ(ui_->workerDoneCount(), 1);
    EXPECT_EQ(ui_->statusTexts().back(), "Scanning done");
    return ui_->lines();
  }
};

TEST_F(ScannerTest, ListsTitlesWithGapsBelowTenAndTheirStreamsInOrder) {
  WriteTitle(dir_.path(), 0, TitleWith({}).bytes());
  WriteTitle(dir_.path(), 1, TitleWith({0x81, 0xA0, 0x89, 0xC1, 0x80, 0x20, 0x8F, 0x81}).bytes());
  WriteTitle(dir_.path(), 2, TitleWith({0x88}).bytes());
  WriteTitle(dir_.path(), 5, TitleWith({0x20, 0xA3, 0x8F}).bytes());
  // AC-3 is 0x80..0x87, DTS 0x88..0x8F.
  EXPECT_EQ(Scan(), (Lines{"Title #0  (1MB)", "Title #1  (1MB)", "  MPEG stream #1", "  PCM stream #0",
                           "  AC3 stream #0", "  AC3 stream #1", "  DTS stream #1", "  DTS stream #7",
                           "Title #2  (1MB)", "  DTS stream #0", "Title #5  (1MB)", "  PCM stream #3",
                           "  DTS stream #7"}));
  ASSERT_EQ(TitleListCount, 4);
  auto entry = [](int i) {
    const TitleListEntry& e = TitleList[i];
    return std::vector<int>{e.line, e.title, e.sizeMB, e.streamKind, e.subStreamId};
  };
  EXPECT_EQ(entry(0), (std::vector<int>{3, 1, 1, STREAM_KIND_PCM, 0xA0}));
  EXPECT_EQ(entry(1), (std::vector<int>{4, 1, 1, STREAM_KIND_AC3, 0x80}));
  EXPECT_EQ(entry(2), (std::vector<int>{5, 1, 1, STREAM_KIND_AC3, 0x81}));
  EXPECT_EQ(entry(3), (std::vector<int>{11, 5, 1, STREAM_KIND_PCM, 0xA3}));
  EXPECT_EQ(TitleScanner.hits, 2);  // title 5: the sub-picture 0x20 is no hit
  EXPECT_EQ(ui_->statusTexts().front(), "Scanning Title #0 (1MB)...");
  EXPECT_TRUE(ui_->boxes().empty());
  EXPECT_FALSE(ScanFailed());
  // The structured record agrees with the lines.
  ASSERT_EQ(TitleScanner.titles.size(), 4u);
  EXPECT_EQ(TitleScanner.titles[1].streams.size(), 6u);
  EXPECT_EQ(TitleScanner.titles[1].streams[3].text, "  AC3 stream #1");
  EXPECT_EQ(TitleScanner.titles[1].streams[3].entry, 2);
  EXPECT_EQ(TitleScanner.titles[1].streams[4].entry, -1);  // DTS cannot be selected
  EXPECT_EQ(TitleScanner.titles[1].streams[4].subStreamId, 0x89);
  EXPECT_EQ(TitleScanner.titles[2].streams[0].kind, "DTS");
}

TEST_F(ScannerTest, EveryTitleSetPresentIsListedWhateverTheGaps) {
  for (int title = 1; title <= 11; ++title)
    if (title != 10) WriteTitle(dir_.path(), title, TitleWith({}).bytes());
  Lines lines = Scan();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines.back(), "Title #11  (1MB)");

  // A copy of the main feature alone.
  std::filesystem::remove_all(dir_.path() / "VIDEO_TS");
  WriteTitle(dir_.path(), 12, TitleWith({}).bytes());
  ui_->Clear();
  EXPECT_EQ(Scan(), Lines{"Title #12  (1MB)"});
  EXPECT_FALSE(ScanFoundNoTitles());
}

TEST_F(ScannerTest, SizesRoundToTheNearestMebibyteAndEmptyPartsMeanNoTitle) {
  auto makeTitle = [&](int title, std::vector<uint64_t> partSizes) {
    for (size_t i = 0; i < partSizes.size(); ++i) {
      std::filesystem::path path = VobPath(dir_.path(), title, static_cast<int>(i + 1));
      if (i == 0 && partSizes[0] > 0) WriteVob(dir_.path(), title, 1, TitleWith({}).bytes());
      ResizeFile(path, partSizes[i]);
    }
  };
  makeTitle(1, {0x7FFFF});
  makeTitle(2, {0x100000, 0x7FFFF});
  makeTitle(3, {0x100000, 0x40000, 0x40000});
  makeTitle(4, {0, 0});
  makeTitle(6, {0x100000, 0x100000, 0, 0x800000});  // part 4 follows a part of size 0: counted
  EXPECT_EQ(Scan(), (Lines{"Title #1  (1MB)", "Title #2  (1MB)", "Title #3  (2MB)", "Title #6  (10MB)"}));
}

TEST_F(ScannerTest, TheWalkStopsAfterATenthOfTheTitle) {
  // 9 MB: limit 0, so the walk ends with the packet that completes 1 MiB,
  // the end of pack 511.
  ProgramStream stream;
  for (int pack = 0; pack < 600; ++pack) {
    if (pack == 0)
      stream.NavPack(0);
    else if (pack == 511)
      stream.AudioPack(0, 0x82);
    else if (pack == 512)
      stream.AudioPack(0, 0x83);
    else
      stream.VideoPack(0);
  }
  WriteTitle(dir_.path(), 1, stream.bytes());
  ResizeFile(VobPath(dir_.path(), 1, 1), 9 * 0x100000);
  EXPECT_EQ(Scan(), (Lines{"Title #1  (9MB)", "  AC3 stream #2"}));
  EXPECT_EQ(TitleScanner.walkedMB, 1u);
  EXPECT_EQ(TitleScanner.limitMB, 0u);
  EXPECT_FALSE(ScanFailed());
}

TEST_F(ScannerTest, TheWalkStopsAtTheFiveThousandthAudioPacket) {
  // 4000 MB in four sparse parts; the data of the first part stops well
  // before a tenth of the title.
  ProgramStream stream;
  stream.NavPack(0);
  for (int packet = 0; packet < 5001; ++packet) stream.AudioPack(0, packet == 4999 ? 0x81 : packet == 5000 ? 0x82 : 0x80);
  WriteTitle(dir_.path(), 1, stream.bytes());
  for (int part = 1; part <= 4; ++part) ResizeFile(VobPath(dir_.path(), 1, part), 1000ull * 0x100000);
  EXPECT_EQ(Scan(), (Lines{"Title #1  (4000MB)", "  AC3 stream #0", "  AC3 stream #1"}));
  EXPECT_EQ(TitleScanner.hits, 5000);
  EXPECT_EQ(TitleScanner.limitMB, 400u);
}

TEST_F(ScannerTest, LabelLineComesFirstAndCountsInTheEntries) {
  DriveList[0].label = "MY_GREAT_MOVIE";
  WriteTitle(dir_.path(), 1, TitleWith({0x80}).bytes());
  EXPECT_EQ(Scan(), (Lines{"MY GREAT MOVIE", "Title #1  (1MB)", "  AC3 stream #0"}));
  EXPECT_EQ(TitleList[0].line, 2);

  ui_->Clear();
  DriveList[0].label = "";
  EXPECT_EQ(Scan(), (Lines{"", "Title #1  (1MB)", "  AC3 stream #0"}));
  EXPECT_EQ(TitleList[0].line, 2);
  EXPECT_EQ(VolumeLabelLine(std::string(60, 'A')).size(), 47u);
}

TEST_F(ScannerTest, AnEmptySourceIsTold) {
  EXPECT_EQ(Scan(), Lines{});
  EXPECT_TRUE(ScanFoundNoTitles());
  ASSERT_EQ(ui_->boxes().size(), 1u);
  EXPECT_EQ(ui_->boxes()[0].text, "no DVD titles found in " + DriveList[0].name);
  DriveList.clear();  // not even a source
  ui_->Clear();
  EXPECT_EQ(Scan(), Lines{});
  EXPECT_TRUE(ui_->boxes().empty());
}

TEST_F(ScannerTest, LinesBeyondThirtyTwoEntriesAreListedButNotSelectable) {
  // Eight AC3 lines and one DTS line a title: four titles fill the table.
  for (int title = 1; title <= 5; ++title)
    WriteTitle(dir_.path(), title, TitleWith({0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}).bytes());
  EXPECT_EQ(Scan().size(), 5u * 10u);
  EXPECT_EQ(TitleListCount, TITLE_LIST_SLOTS);
  EXPECT_EQ(TitleList[31].title, 4);
  EXPECT_EQ(TitleList[31].subStreamId, 0x87);
  EXPECT_EQ(TitleScanner.titles[4].streams[5].entry, -1);
}

// A missing start code in title 1 at offset 0x1A800 of part 1; the walk
// stops there (--stop-on-damage) unless a test says otherwise.
class BrokenTitleTest : public ScannerTest {
 protected:
  void SetUp() override {
    ScannerTest::SetUp();
    StopOnDamage = true;
    ProgramStream stream = TitleWith({0xA1});
    ProgramStream more = VideoOnlyStream(0x30000 / PACK_BYTES);
    stream.bytes().resize(stream.size() - 4);  // no end code
    stream.Raw(more.bytes());
    stream.bytes()[0x1A800 + 1] = 0x07;
    WriteTitle(dir_.path(), 1, stream.bytes());
    WriteTitle(dir_.path(), 2, TitleWith({}).bytes());
  }
};

TEST_F(BrokenTitleTest, WithoutVerboseOnlyTheSummaryIsShown) {
  EXPECT_EQ(Scan(), (Lines{"Title #1  (1MB)", "  PCM stream #1"}));  // the failure ends the title loop
  EXPECT_EQ(ui_->boxTexts(), Lines{"Error detected while scanning DVD titles"});
  EXPECT_TRUE(ScanFailed());
}

TEST_F(BrokenTitleTest, WithVerboseTheDetailWithItsOffsetReplacesTheSummary) {
  VerboseErrors = true;
  Scan();
  EXPECT_EQ(ui_->boxTexts(), Lines{"Missing PACK START CODE (offset 0001A800 in VOB file #1)"});
}

TEST_F(BrokenTitleTest, TheDamageIsPassedOverUnlessTheWalkStopsAtIt) {
  StopOnDamage = false;
  VerboseErrors = true;
  const Lines lines = Scan();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "Title #2  (1MB)");  // the title loop went on
  EXPECT_EQ(ui_->boxTexts(), Lines{});
  EXPECT_FALSE(ScanFailed());
  EXPECT_EQ(TitleScanner.damageSkipped, 1u);
}

TEST_F(ScannerTest, AnEmptyFirstPartEndsTheScanAfterItsTitleLine) {
  WriteVob(dir_.path(), 1, 1, {});
  WriteTitle(dir_.path(), 1, {}, 1);
  WriteVob(dir_.path(), 1, 2, TitleWith({0x80}).bytes());
  WriteTitle(dir_.path(), 2, TitleWith({0x80}).bytes());
  EXPECT_EQ(Scan(), Lines{"Title #1  (1MB)"});
  EXPECT_EQ(ui_->boxTexts(), Lines{"Empty VOB file #1"});
  EXPECT_FALSE(ScanFailed());
  EXPECT_TRUE(AbortFlag);
}

TEST_F(ScannerTest, ALengthRunningPastThePartEndIsTheReadersFailure) {
  StopOnDamage = true;  // the ending of a walk that stops at damage
  ProgramStream stream = TitleWith({0x80});
  stream.bytes().resize(stream.size() - 4 - 100);  // the video packet is cut short
  WriteTitle(dir_.path(), 1, stream.bytes());
  EXPECT_EQ(Scan(), (Lines{"Title #1  (1MB)", "  AC3 stream #0"}));
  EXPECT_EQ(ui_->boxTexts(), (Lines{"Reading above end of VOB file #1", "Error detected while scanning DVD titles"}));
}

TEST_F(ScannerTest, ALengthRunningPastTheViewInsideThePartIsNotFollowed) {
  StopOnDamage = true;  // the ending of a walk that stops at damage
  // A record starting 4 bytes before the view's first step whose length
  // field claims 0xFFFF bytes would end beyond the bytes mapped.
  ProgramStream stream = VideoOnlyStream((VOB_VIEW_STEP - PACK_BYTES) / PACK_BYTES);
  stream.PackHeader(0);
  stream.Padding(VOB_VIEW_STEP - 4 - stream.size());
  stream.Raw({0x00, 0x00, 0x01, 0xE0, 0xFF, 0xFF});
  stream.bytes().resize(2 * VOB_VIEW_STEP, 0xFF);
  WriteTitle(dir_.path(), 1, stream.bytes());
  ResizeFile(VobPath(dir_.path(), 1, 1), 100 * 0x100000);
  VerboseErrors = true;
  Scan();
  char expected[80];
  std::snprintf(expected, sizeof expected, "PES packet crossing record boundary (offset %08X in VOB file #1)",
                VOB_VIEW_STEP - 4);
  EXPECT_EQ(ui_->boxTexts(), Lines{expected});
  EXPECT_TRUE(ScanFailed());
}

TEST_F(ScannerTest, ASubStreamIdOutsideItsPacketIsNotRead) {
  ProgramStream stream;
  stream.NavPack(0).PackHeader(0);
  // PES_header_data_length 0xFF in a packet of 3 header bytes: no payload.
  stream.Raw({0x00, 0x00, 0x01, 0xBD, 0x00, 0x03, 0x81, 0x00, 0xFF});
  stream.PadPack();
  stream.Raw(TitleWith({0x84}).bytes());
  WriteTitle(dir_.path(), 1, stream.bytes());
  EXPECT_EQ(Scan(), (Lines{"Title #1  (1MB)", "  AC3 stream #4"}));
  EXPECT_EQ(TitleScanner.hits, 1);
}

TEST_F(ScannerTest, AReadFaultEndsTheWalkWithoutAborting) {
  StopOnDamage = true;  // the ending of a walk that stops at damage
  // Two views; the second cannot be read whole once the file is cut short
  // after the open. It is mapped instead, and its missing bytes fault where
  // they begin.
  ProgramStream stream = VideoOnlyStream(2600);
  WriteTitle(dir_.path(), 1, stream.bytes());
  ASSERT_TRUE(Open(1));
  ScanClearTitle(100);
  std::error_code cut;
  std::filesystem::resize_file(VobPath(dir_.path(), 1, 1), 0x480000, cut);
  ASSERT_FALSE(cut);
  VerboseErrors = true;
  EXPECT_FALSE(ScanWalkTitle());
  EXPECT_FALSE(AbortFlag);
  EXPECT_EQ(ui_->boxTexts(), Lines{"Input file access error (offset 00480000 in VOB file #1)"});
}
