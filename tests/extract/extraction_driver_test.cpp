#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "extract/extraction_driver.h"
#include "extract/output_multiplexer.h"
#include "extract/packet_intake.h"
#include "extract/walk_state.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/guarded_read.h"
#include "platform/output_file.h"
#include "source/vob_reader.h"
#include "tests/extract/extract_test_support.h"
#include "tests/support/program_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testps::PesTimes;
using testps::ProgramStream;

constexpr uint64_t SCR_STEP = 731;  // 2048 bytes at 10.08 Mbit/s

PesTimes Pts(uint32_t pts) {
  PesTimes times;
  times.pts = pts;
  return times;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A PAL sequence header (720x576, frame_rate_code 3) and a group of pictures.
const Bytes GOP = {0x00, 0x00, 0x01, 0xB3, 0x2D, 0x02, 0x40, 0x33, 0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40};
Bytes Picture(uint32_t tr) {
  return {0x00, 0x00, 0x01, 0x00, static_cast<uint8_t>(tr >> 2), static_cast<uint8_t>(((tr & 3) << 6) | 0x0F)};
}
// Video payload without zero bytes, marked by a tag byte.
Bytes Tagged(uint8_t tag, size_t n = 100) { return Bytes(n, tag); }
// A quarter of a picture of 16-bit stereo LPCM silence (480 samples).
Bytes PcmSilence() { return Bytes(480 * 4, 0x00); }

class DriverTest : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    DriveList = {DriveFromArgument(root_.path().string())};
    SelectedDrive = 0;
    TitleSelection.title = 1;
    TitleSelection.sizeMB = 1;
    TitleSelection.streamKind = STREAM_KIND_PCM;
    TitleSelection.subStreamId = 0xA0;
    TitleSelection.dynamicCompression = false;
  }
  void TearDown() override {
    DriveList.clear();
    VobMapViews = false;
    StopOnDamage = false;
    ExtractTest::TearDown();
  }
  void Write(const ProgramStream& stream, size_t partSize = 0x40000000) {
    testps::WriteTitle(root_.path(), 1, stream.bytes(), partSize);
  }
  std::vector<Pack> Run() {
    ExtractionWorker();
    EXPECT_EQ(ui_->workerDoneCount(), 1);
    return SplitPacks(OutputBytes());
  }
  std::string LastBox() {
    std::vector<std::string> boxes = ui_->boxTexts();
    return boxes.empty() ? "" : boxes.back();
  }
  // A nav pack, then a video pack of a GOP of `pictures` pictures with a PTS
  // and one picture's worth of PCM audio from the same time.
  static void Gop(ProgramStream& s, uint64_t& scr, uint32_t pts, uint32_t pictures, uint8_t tag,
                  uint16_t vobId = 1, bool interleaved = false) {
    s.NavPack(scr += SCR_STEP, vobId, interleaved);
    Bytes video = GOP;
    for (uint32_t tr = 0; tr < pictures; ++tr) video = Cat({video, Picture(tr), Tagged(tag, 40)});
    s.VideoPack(scr += SCR_STEP, video, Pts(pts));
    s.AudioPack(scr += SCR_STEP, 0xA0, PcmSilence(), Pts(pts));
    for (int k = 0; k < 3; ++k) s.AudioPack(scr += SCR_STEP, 0xA0, PcmSilence());
  }

  TempDir root_;
};

TEST_F(DriverTest, TitleEndsAtTheEndCodeOrAtTheEndOfItsLastPart) {
  for (bool endCode : {true, false}) {
    ProgramStream s;
    uint64_t scr = 0;
    for (int g = 0; g < 3; ++g) Gop(s, scr, 90000 + g * 43200, 12, 0x10);
    if (endCode) s.PackHeader(scr += SCR_STEP).EndCode();
    Write(s, 6 * 2048);  // several parts
    ui_->Clear();
    std::vector<Pack> packs = Run();
    EXPECT_FALSE(ExtractionFailed());
    EXPECT_TRUE(ExtractionOutputClosed());
    EXPECT_EQ(LastBox(), "MPEG2 extraction done!\r Video time = 00:00:01");
    ASSERT_GE(packs.size(), 3u);
    EXPECT_EQ(PackPts(packs[1]), 22500u);
    std::filesystem::remove_all(root_.path() / "VIDEO_TS");
  }
}

TEST_F(DriverTest, EveryVideoByteOfAOneGopTitleEndingInZeroBytesReachesTheOutput) {
  for (bool endCode : {true, false}) {
    ProgramStream s;
    uint64_t scr = 0;
    Gop(s, scr, 90000, 1, 0x10);  // VideoBase never advances
    const Bytes tail = Cat({Tagged(0x20, 500), {0x00, 0x00}});  // held as a possible start code
    s.VideoPack(scr += SCR_STEP, tail);
    if (endCode) s.PackHeader(scr += SCR_STEP).EndCode();
    Write(s);
    ui_->Clear();
    std::vector<Pack> packs = Run();
    EXPECT_FALSE(ExtractionFailed());
    EXPECT_EQ(StreamPayload(packs, 0xE0), Cat({GOP, Picture(0), Tagged(0x10, 40), tail})) << endCode;
    std::filesystem::remove_all(root_.path() / "VIDEO_TS");
  }
}

TEST_F(DriverTest, OnlyTheFirstSystemHeaderCountsAndAWildcardEntryWaitsForTheVideo) {
  ProgramStream s;
  s.PackHeader(0).SystemHeader(20000, {{0xB9, true, 100}, {0xBD, true, 58}}).PadPack();
  s.PackHeader(SCR_STEP).SystemHeader(30000, {{0xE0, true, 232}}).PadPack();
  s.VideoPack(2 * SCR_STEP, Cat({GOP, Picture(0), Tagged(0x21)}), Pts(90000), 0xE1);
  s.VideoPack(3 * SCR_STEP, Tagged(0x22), {}, 0xE0);  // another video stream: passed over
  s.VideoPack(4 * SCR_STEP, Tagged(0x23), {}, 0xE1);
  Write(s);
  std::vector<Pack> packs = Run();
  ASSERT_FALSE(packs.empty());
  EXPECT_EQ(packs[0][10], 20000 >> 14);  // mux rate of the first header
  EXPECT_EQ(packs[0][28], 100);          // its video bound
  EXPECT_EQ(Mux.MuxRate, 20000u);
  EXPECT_EQ(Walk.VideoStreamNumber, 1);
  EXPECT_FALSE(ExtractionFailed());
}

TEST_F(DriverTest, SystemHeaderWithoutVideoEntryEndsTheWalk) {
  StopOnDamage = true;  // the ending of a walk that stops at damage
  ProgramStream s;
  s.PackHeader(0).SystemHeader(20000, {{0xBD, true, 58}}).PadPack();
  uint64_t scr = SCR_STEP;
  Gop(s, scr, 90000, 3, 0x10);
  Write(s);
  Run();
  EXPECT_TRUE(ExtractionFailed());
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Error detected while extracting MPEG2 stream"});
  EXPECT_EQ(OutputBytes().size(), 0u);  // no pack 0 was written
}

TEST_F(DriverTest, SystemHeaderTooShortForItsFieldsIsNotReadPastItsEnd) {
  StopOnDamage = true;  // the ending of a walk that stops at damage
  // header_length 0: the 6 bytes of the start code and the length only. Its
  // rate_bound would lie in the next record (or past the end of the part).
  ProgramStream s;
  s.PackHeader(0).Raw({0x00, 0x00, 0x01, 0xBB, 0x00, 0x00}).PadPack();
  uint64_t scr = SCR_STEP;
  Gop(s, scr, 90000, 3, 0x10);
  Write(s);
  Mux.MuxRate = 777;
  Run();
  EXPECT_TRUE(ExtractionFailed());
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Error detected while extracting MPEG2 stream"});
  EXPECT_EQ(Mux.MuxRate, 777u);
}

TEST_F(DriverTest, PacketsBeforeTheSystemHeaderAreReportedAndSkipped) {
  VerboseErrors = true;
  ProgramStream s;
  s.VideoPack(0, Cat({GOP, Picture(0), Tagged(0x31)}), Pts(90000));
  uint64_t scr = SCR_STEP;
  Gop(s, scr, 90000, 3, 0x32);
  Write(s);
  std::vector<Pack> packs = Run();
  std::vector<std::string> boxes = ui_->boxTexts();
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "No system header found before video packet (offset 0000000E in VOB file #1)");
  EXPECT_EQ(boxes.back().rfind("MPEG2 extraction done!", 0), 0u);
  EXPECT_FALSE(ExtractionFailed());
}

TEST_F(DriverTest, InterleavedBlocksKeepTheUnitsOfTheirFirstVobId) {
  ProgramStream s;
  uint64_t scr = 0;
  Gop(s, scr, 90000, 2, 0x41, 3, true);
  Gop(s, scr, 90000, 2, 0x42, 4, true);
  Gop(s, scr, 90000 + 7200, 2, 0x43, 3, true);
  Gop(s, scr, 90000 + 7200, 2, 0x44, 4, true);
  Gop(s, scr, 90000 + 14400, 2, 0x45, 7, false);
  Gop(s, scr, 90000 + 21600, 2, 0x46, 4, true);  // a new block keeps its own first id
  Gop(s, scr, 90000 + 21600, 2, 0x47, 3, true);
  Gop(s, scr, 90000 + 28800, 2, 0x48, 4, true);
  s.PackHeader(scr += SCR_STEP).EndCode();
  Write(s);
  std::vector<Pack> packs = Run();
  Bytes video = StreamPayload(packs, 0xE0);
  auto has = [&video](uint8_t tag) { return std::find(video.begin(), video.end(), tag) != video.end(); };
  for (uint8_t tag : {0x41, 0x43, 0x45, 0x46, 0x48}) EXPECT_TRUE(has(tag)) << int{tag};
  for (uint8_t tag : {0x42, 0x44, 0x47}) EXPECT_FALSE(has(tag)) << int{tag};
}

TEST_F(DriverTest, BackwardClockStepResynchronisesAndEqualClocksDoNot) {
  VerboseErrors = true;
  ProgramStream s;
  uint64_t scr = 100000;
  Gop(s, scr, 190000, 12, 0x51);
  s.NavPack(scr);  // equal SCR: nothing happens
  s.VideoPack(scr, Cat({GOP, Picture(0), Tagged(0x52), Picture(1), Tagged(0x52)}), Pts(190000 + 43200));
  scr = 5000;  // the clock steps back with a GOP of 2 pictures in progress
  Gop(s, scr, 95000, 12, 0x53);
  Gop(s, scr, 95000 + 43200, 12, 0x54);
  s.PackHeader(scr += SCR_STEP).EndCode();
  Write(s);
  std::vector<Pack> packs = Run();
  std::vector<std::string> boxes = ui_->boxTexts();
  size_t syncs = std::count_if(boxes.begin(), boxes.end(),
                               [](const std::string& b) { return b.rfind("Streams synchronisation", 0) == 0; });
  EXPECT_EQ(syncs, 1u);
  // 12 + 2 pictures before the step, 12 after, then the last GOP's start.
  EXPECT_EQ(Intake.VideoBase, 22500u + (12 + 2 + 12) * 3600);
  EXPECT_FALSE(ExtractionFailed());
}

// Sets AbortFlag when the progress reaches a value: the user's Stop.
class StoppingUi : public RecordingUi {
 public:
  explicit StoppingUi(unsigned at) : at_(at) {}
  void SetProgress(unsigned position) override {
    RecordingUi::SetProgress(position);
    if (position == at_) AbortFlag = true;
  }

 private:
  unsigned at_;
};

TEST_F(DriverTest, ProgressCountsWholeMiBAgainstTheListedSize) {
  TitleSelection.sizeMB = 4;
  ProgramStream s = testps::VideoOnlyStream(5 * 512 + 10);
  Write(s);
  Run();
  EXPECT_EQ(ui_->progress(), (std::vector<unsigned>{25, 50, 75, 100, 125}));
}

TEST_F(DriverTest, StopFlushesTheOutputAndEndsWithTheCompletionBox) {
  TitleSelection.sizeMB = 4;
  ProgramStream s;
  uint64_t scr = 0;
  for (int g = 0; g < 400; ++g) {
    Gop(s, scr, 90000 + g * 43200, 12, 0x61);
    s.VideoPack(scr += SCR_STEP);
  }
  Write(s);
  StoppingUi stopping(25);
  UiInstall(&stopping);
  ExtractionWorker();
  UiInstall(&*ui_);
  EXPECT_FALSE(ExtractionFailed());
  EXPECT_TRUE(ExtractionOutputClosed());
  ASSERT_FALSE(stopping.boxTexts().empty());
  EXPECT_EQ(stopping.boxTexts().back().rfind("MPEG2 extraction done!", 0), 0u);
  EXPECT_EQ(stopping.progress(), std::vector<unsigned>{25});
  std::vector<Pack> packs = SplitPacks(OutputBytes());
  // A fifth of the title was walked: the whole would give about 900 packs.
  EXPECT_GT(packs.size(), 100u);
  EXPECT_LT(packs.size(), 300u);
}

// Cuts the title's file short while the worker has it mapped.
class TruncatingUi : public RecordingUi {
 public:
  explicit TruncatingUi(std::filesystem::path file) : file_(std::move(file)) {}
  void SetProgress(unsigned position) override {
    RecordingUi::SetProgress(position);
    if (!done_) std::filesystem::resize_file(file_, 0x100000 + 0x30000);
    done_ = true;
  }

 private:
  std::filesystem::path file_;
  bool done_ = false;
};

TEST_F(DriverTest, ReadFaultUnderTheMappingEndsTheWalkWithTheAccessError) {
  if (!SystemMapsInputFiles()) GTEST_SKIP() << "a file cut short under a mapping: this system never maps the VOBs";
  StopOnDamage = true;  // the ending of a walk that stops at damage
  VobMapViews = true;
  VerboseErrors = true;
  ProgramStream s = testps::VideoOnlyStream(4 * 512);
  Write(s);
  TruncatingUi truncating(testps::VobPath(root_.path(), 1, 1));
  UiInstall(&truncating);
  ExtractionWorker();
  UiInstall(&*ui_);
  EXPECT_TRUE(ExtractionFailed());
  EXPECT_TRUE(AbortFlag);
  // In verbose mode the detail is the failure's message: no completion box.
  EXPECT_EQ(truncating.boxTexts(), std::vector<std::string>{"Input file access error (offset 00130000 in VOB file #1)"});
}

TEST_F(DriverTest, ReadFaultAtALengthFieldEndsTheWalkWithTheAccessError) {
  if (!SystemMapsInputFiles()) GTEST_SKIP() << "a file cut short under a mapping: this system never maps the VOBs";
  StopOnDamage = true;  // the ending of a walk that stops at damage
  // A packet whose start code ends one page and whose length field begins
  // the next, a page the disc can no longer deliver.
  constexpr size_t AT = 4092;
  ProgramStream s;
  s.NavPack(SCR_STEP).PackHeader(2 * SCR_STEP).Padding(AT - 2048 - 14).Pes(testps::VIDEO_ID, Tagged(0x10));
  s.PadPack();
  for (int k = 0; k < 4; ++k) s.VideoPack(SCR_STEP * (3 + k));
  Write(s);
  static std::filesystem::path file;
  file = testps::VobPath(root_.path(), 1, 1);
  VobMapViews = true;
  GuardedReadWatch = [](const uint8_t* p) {
    if (p == VobReader.viewBase + AT) std::filesystem::resize_file(file, AT + 4);
  };
  VerboseErrors = true;
  ExtractionWorker();
  GuardedReadWatch = nullptr;
  EXPECT_TRUE(ExtractionFailed());
  std::vector<std::string> boxes = ui_->boxTexts();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0], "Input file access error (offset 00000FFC in VOB file #1)");
}

TEST_F(DriverTest, MissingTitleCreatesNoOutputAndShowsOneMessage) {
  TitleSelection.title = 7;
  ExtractionWorker();
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Unable to find title"});
  EXPECT_FALSE(std::filesystem::exists(OutputPath()));
  EXPECT_FALSE(ExtractionOutputClosed());
}

TEST_F(DriverTest, OutputFailureEndsTheExtractionWithItsOwnMessageAndNoFile) {
  ProgramStream s = testps::VideoOnlyStream(3 * 1024);
  Write(s);
  OutputFileFaults.failWritesBeyond = 0x200000;
  Run();
  // Whether the worker meets the refused pack or the abort flag first, the
  // write error is the one message, and the incomplete file is gone.
  EXPECT_FALSE(ExtractionOutputClosed());
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Output file write error \"" + OutputPath() +
                                                      "\": No space left on device. The incomplete file was removed."});
  EXPECT_FALSE(std::filesystem::exists(OutputPath()));
}

TEST_F(DriverTest, TitleWithoutSequenceHeaderFailsAndLeavesNoFile) {
  ProgramStream s;
  uint64_t scr = 0;
  s.NavPack(scr += SCR_STEP, 1, false);
  s.VideoPack(scr += SCR_STEP, Cat({Picture(0), Tagged(0x10, 40)}), Pts(90000));
  Write(s);
  Run();
  EXPECT_TRUE(ExtractionFailed());
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"The title's video has no MPEG-2 sequence header: it cannot be "
                                                      "extracted, and no file was left"});
  EXPECT_FALSE(std::filesystem::exists(OutputPath()));
}

TEST_F(DriverTest, CorruptLengthsAreNotFollowedOutOfTheView) {
  StopOnDamage = true;  // the ending of a walk that stops at damage
  VerboseErrors = true;
  // A PES_packet_length of 65535 (65541 bytes): where the view holds that
  // many bytes the walk goes on there and meets no start code; where it
  // does not, the packet is refused before anything of it is read.
  for (int after : {40, 10}) {
    ProgramStream s;
    uint64_t scr = 0;
    Gop(s, scr, 90000, 3, 0x71);
    size_t at = s.size() + 14;  // the PES packet after the pack header
    s.VideoPack(scr += SCR_STEP);
    s.bytes()[at + 4] = 0xFF;
    s.bytes()[at + 5] = 0xFF;
    for (int k = 0; k < after; ++k) s.VideoPack(scr += SCR_STEP);
    Write(s);
    ui_->Clear();
    AbortFlag = false;
    Run();
    EXPECT_TRUE(ExtractionFailed());
    std::vector<std::string> boxes = ui_->boxTexts();
    ASSERT_EQ(boxes.size(), 1u) << after << ::testing::PrintToString(boxes);
    const char* expected = after == 40 ? "Missing PACK START CODE" : "PES packet crossing record boundary";
    EXPECT_EQ(boxes[0].rfind(expected, 0), 0u) << boxes[0];
    std::filesystem::remove_all(root_.path() / "VIDEO_TS");
  }
}

// Ten GOPs of six packs each (nav, video, four audio), tagged 0x10 + g; the
// damage falls on GOP 4. Past it the walk goes on at the next whole pack:
// every later GOP's video reaches the output, the extraction is done with
// damage skipped, and verbose mode tells each stretch with its offset.
TEST_F(DriverTest, DamageIsPassedOverToTheNextWholePack) {
  constexpr size_t GOP_BYTES = 6 * 2048;
  constexpr size_t DAMAGED = 4 * GOP_BYTES;
  struct Damage {
    const char* name;
    void (*apply)(Bytes& bytes);
    uint32_t stretchOffset, stretchSize;  // of the first stretch
  };
  const Damage damages[] = {
      {"zero run", [](Bytes& b) { std::fill(b.begin() + DAMAGED + 100, b.begin() + DAMAGED + 5000, 0); },
       DAMAGED + 1024, 3 * 2048 - 1024},  // from the nav pack's DSI packet (zeroed) to pack 3
      {"garbage", [](Bytes& b) { for (size_t i = 0; i < 3 * 2048; ++i) b[DAMAGED + i] = static_cast<uint8_t>(i * 7 + 1); },
       DAMAGED, 3 * 2048},
      {"absurd PES length", [](Bytes& b) { b[DAMAGED + 2048 + 18] = 0xFF; b[DAMAGED + 2048 + 19] = 0xF0; },
       DAMAGED + 2048 + 14, 2048 - 14},
      {"flipped pack start code", [](Bytes& b) { b[DAMAGED + 2048 + 2] = 0x81; }, DAMAGED + 2048, 2048},
  };
  VerboseErrors = true;
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    ProgramStream s;
    uint64_t scr = 0;
    for (int g = 0; g < 10; ++g) Gop(s, scr, 90000 + g * 3600 * 4, 4, static_cast<uint8_t>(0x10 + g));
    damage.apply(s.bytes());
    Write(s);
    ui_->Clear();
    std::vector<Pack> packs = Run();
    EXPECT_FALSE(ExtractionFailed());
    EXPECT_TRUE(ExtractionOutputClosed());
    EXPECT_TRUE(ExtractionSkippedDamage());
    const Bytes video = StreamPayload(packs, 0xE0);
    for (uint8_t tag = 0x15; tag <= 0x19; ++tag) EXPECT_NE(std::find(video.begin(), video.end(), tag), video.end()) << int{tag};
    std::vector<std::string> boxes = ui_->boxTexts();
    ASSERT_GE(boxes.size(), 2u);
    char detail[100];
    std::snprintf(detail, sizeof detail, "Damaged stretch of %u bytes skipped (offset %08X in VOB file #1)",
                  damage.stretchSize, damage.stretchOffset);
    EXPECT_EQ(boxes[0], detail);
    EXPECT_NE(boxes.back().find("damaged stretch"), std::string::npos) << boxes.back();
    std::filesystem::remove_all(root_.path() / "VIDEO_TS");
  }
}

// A flipped bit in one pack's SCR is not followed by its neighbour: it
// neither resynchronises the streams nor is taken as the clock.
TEST_F(DriverTest, AnScrThatItsNeighbourDoesNotConfirmIsNotTrusted) {
  VerboseErrors = true;
  ProgramStream s;
  uint64_t scr = 0;
  for (int g = 0; g < 6; ++g) Gop(s, scr, 90000 + g * 3600 * 4, 4, static_cast<uint8_t>(0x10 + g));
  s.bytes()[3 * 6 * 2048 + 2048 + 5] ^= 0x80;  // SCR bit 27 of GOP 3's video pack: 25 minutes on
  Write(s);
  Run();
  for (const std::string& box : ui_->boxTexts()) EXPECT_EQ(box.find("Streams synchronisation"), std::string::npos);
  EXPECT_FALSE(ExtractionSkippedDamage());
  EXPECT_LT(Walk.LastInputScr, 90000u);
}

// The closing message tells the end of the last picture written, not the
// start of the last GOP: 3 GOPs of 25 pictures end at 22500 + 3 s.
TEST_F(DriverTest, VideoTimeIsTheEndOfTheLastPicture) {
  ProgramStream s;
  uint64_t scr = 0;
  for (int g = 0; g < 3; ++g) Gop(s, scr, 90000 + g * 90000, 25, 0x10);
  Write(s);
  Run();
  EXPECT_EQ(LastBox(), "MPEG2 extraction done!\r Video time = 00:00:03");
}

}  // namespace
