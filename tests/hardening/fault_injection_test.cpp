// Whole extractions of the sample disc's title 1 with a fault injected at a
// random place: a read fault (the part truncated under the mapping), a write
// failure, the user's Stop, the encoder thread failing while the worker
// waits on it, a missing middle part, a part that is not a whole number of
// packs. Each must end (a watchdog fails the test otherwise) with the
// expected messages and, where an output was written, a file that ffprobe
// reads up to where it ended.
//
// The random places come from fixed seeds, so a failure repeats; the seed is
// in the failure's trace.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "extract/encoder_thread.h"
#include "extract/extraction_driver.h"
#include "mpa/layer2_encoder.h"
#include "platform/drives.h"
#include "platform/guarded_read.h"
#include "platform/output_file.h"
#include "platform/recording_ui.h"
#include "platform/work_buffers.h"
#include "source/vob_reader.h"
#include "tests/support/program_stream.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr size_t PACK = 2048;
constexpr size_t TITLE_PACKS = 1518;  // the sample disc's title 1, two parts of 759 packs
constexpr auto WATCHDOG = std::chrono::seconds(240);
const char DONE_PREFIX[] = "MPEG2 extraction done!";
const char SUMMARY[] = "Error detected while extracting MPEG2 stream";
const char WRITE_ERROR[] = "Output file write error";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int TRIALS = 2;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int TRIALS = 2;
#else
constexpr int TRIALS = 4;
#endif
#else
constexpr int TRIALS = 4;
#endif

Bytes SampleTitle() {
  Bytes title;
  for (int part : {1, 2}) {
    std::string bytes = ReadFileBytes(fs::path(VOLTARK_SOURCE_DIR) / "samples/sample-dvd/VIDEO_TS" /
                                      ("VTS_01_" + std::to_string(part) + ".VOB"));
    title.insert(title.end(), bytes.begin(), bytes.end());
  }
  return title;
}

// The title twice over, as four parts: an output of more than one full
// 2 MiB buffer (the second copy's clock steps back to its start, which the
// extraction resynchronises).
// The frame the encoder gives for silence, made once: the stand-in encoder
// hands it out for every frame, so that the audio stays valid Layer II while
// the tests spend no time encoding.
const uint8_t* SilentFrame() {
  static uint8_t frame[MPA_FRAME_BYTES];
  static bool made = false;
  if (!made) {
    static Q24 zeros[MPA_FRAME_SAMPLES] = {};
    EncodeFrame(zeros, zeros, frame);
    made = true;
  }
  return frame;
}

std::atomic<int> encoderDelayMs{0};

void SilentFrameEncoder(MpaEncoderState&, const Q24*, const Q24*, uint8_t* out) {
  if (int delay = encoderDelayMs.load()) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  std::memcpy(out, SilentFrame(), MPA_FRAME_BYTES);
}

// What a guarded read at a chosen pack of a chosen part does.
enum class Action { None, TruncateUnderMapping, Stop };
struct Trigger {
  Action action = Action::None;
  int part = 0;
  uint32_t offset = 0;   // the first record read at or past this offset fires
  fs::path file;         // the part's file, for truncation
  bool fired = false;
  uint32_t firedAt = 0;  // offset of the record read when it fired
};
Trigger trigger;

void OnGuardedRead(const uint8_t*) {
  if (trigger.fired || VobReader.closed || VobReader.part != trigger.part) return;
  uint32_t at = VobCurrentOffset();
  if (at < trigger.offset) return;
  trigger.fired = true;
  trigger.firedAt = at;
  if (trigger.action == Action::Stop) {
    AbortFlag = true;
  } else {
    // Everything from the page of the record on is gone: the read faults.
    fs::resize_file(trigger.file, at & ~uint32_t{0xFFF});
  }
}

struct Outcome {
  bool failed = false;
  bool closed = false;
  std::vector<std::string> boxes;
  Bytes output;
};

// ffprobe's account of a file: the codec of each stream, one per line, and
// any error it printed. Empty with ok false when ffprobe cannot be run.
struct Probe {
  bool ok = false;
  std::string text;
};

Probe RunFfprobe(const fs::path& file) {
  std::string command = "ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + file.string() + "' 2>&1";
  Probe probe;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return probe;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) probe.text += buffer;
  int status = pclose(pipe);
  probe.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return probe;
}

bool HaveFfprobe() {
  static const bool have = std::system("ffprobe -version >/dev/null 2>&1") == 0;
  return have;
}

bool HasAudioPacks(const Bytes& output) {
  for (size_t at = 0; at + PACK <= output.size(); at += PACK) {
    if (output[at + 17] == 0xC0) return true;
  }
  return false;
}

// The elementary stream bytes of the packs of one stream, in file order.
Bytes Payload(const Bytes& output, uint8_t streamId) {
  Bytes payload;
  for (size_t at = 0; at + PACK <= output.size(); at += PACK) {
    const uint8_t* pack = output.data() + at;
    if (pack[17] != streamId) continue;
    size_t end = 20 + (size_t{pack[18]} << 8 | pack[19]);
    size_t start = 23 + size_t{pack[22]};
    if (start <= end && end <= PACK) payload.insert(payload.end(), pack + start, pack + end);
  }
  return payload;
}

// The outcome a write failure past byte limit must have (defined below).
void ExpectWriteFailureOutcome(const Outcome& outcome, const fs::path& output);

class FaultInjectionTest : public ::testing::Test {
 protected:
  // The sample title written twice over, in four parts of 759 packs; the
  // size of its clean output.
  size_t WriteTitleTwiceOverFourParts() {
    const Bytes once = SampleTitle();
    Bytes title = once;
    title.insert(title.end(), once.begin(), once.end());
    WriteParts(title, {759 * PACK, 759 * PACK, 759 * PACK, 759 * PACK});
    return Run().output.size();
  }

  // Trials in which every write past a random byte of the output fails.
  void FailWritesAtRandomPlaces(size_t whole, unsigned seed) {
    std::mt19937 random(seed);
    for (int trial = 0; trial < TRIALS; ++trial) {
      const int64_t limit = static_cast<int64_t>(random() % whole);
      Choose(random() % 2 == 0);
      SCOPED_TRACE("trial " + std::to_string(trial) + ": writes fail past byte " + std::to_string(limit));
      OutputFileFaults.failWritesBeyond = limit;
      Outcome outcome = Run();
      ExpectWriteFailureOutcome(outcome, OutputPath());
    }
  }

  void SetUp() override {
    ASSERT_TRUE(AllocateWorkBuffers());
    AbortFlag = false;
    VerboseErrors = false;
    OutputFileFaultsClear();
    SilentFrame();
    FrameEncoder = SilentFrameEncoder;
    encoderDelayMs = 0;
    trigger = Trigger{};
    GuardedReadWatch = OnGuardedRead;
    DriveList = {DriveFromArgument(source_.path().string())};
    SelectedDrive = 0;
    TitleSelection.title = 1;
    TitleSelection.sizeMB = 3;
    TitleSelection.dynamicCompression = false;
    std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "%s", OutputPath().c_str());
    Choose(true);
  }
  void TearDown() override {
    GuardedReadWatch = nullptr;
    VobMapViews = false;
    StopOnDamage = false;
    FrameEncoder = EncodeFrame;
    encoderDelayMs = 0;
    OutputFileFaultsClear();
    DriveList.clear();
    AbortFlag = false;
    VerboseErrors = false;
  }

  static void Choose(bool ac3) {
    TitleSelection.streamKind = ac3 ? STREAM_KIND_AC3 : STREAM_KIND_PCM;
    TitleSelection.subStreamId = ac3 ? 0x80 : 0xA0;
  }

  fs::path OutputPath() const { return output_.path() / "out.mpg"; }

  // Writes the title's bytes as parts of the given sizes (the last part
  // takes the rest); a size of 0 leaves that part's file out.
  void WriteParts(const Bytes& title, const std::vector<size_t>& sizes) {
    fs::remove_all(source_.path() / "VIDEO_TS");
    size_t at = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
      size_t n = i + 1 == sizes.size() ? title.size() - at : sizes[i];
      if (n > 0 && sizes[i] > 0) {
        testps::WriteVob(source_.path(), 1, static_cast<int>(i) + 1,
                         Bytes(title.begin() + static_cast<long>(at), title.begin() + static_cast<long>(at + n)));
      }
      at += n;
    }
  }

  // Runs the worker on a thread of its own; a run that does not end within
  // the watchdog's bound fails the whole test program rather than hang it.
  Outcome Run() {
    RecordingUi ui;
    UiPort* previous = &Ui();
    UiInstall(&ui);
    AbortFlag = false;
    std::packaged_task<int()> task(ExtractionWorker);
    std::future<int> done = task.get_future();
    std::thread worker(std::move(task));
    if (done.wait_for(WATCHDOG) != std::future_status::ready) {
      ADD_FAILURE() << "the extraction did not end within the watchdog's bound";
      std::fprintf(stderr, "watchdog: extraction hung; giving up\n");
      std::_Exit(1);
    }
    worker.join();
    UiInstall(previous);
    EXPECT_EQ(ui.workerDoneCount(), 1);
    Outcome outcome;
    outcome.failed = ExtractionFailed();
    outcome.closed = ExtractionOutputClosed();
    outcome.boxes = ui.boxTexts();
    std::string bytes = ReadFileBytes(OutputPath());
    outcome.output.assign(bytes.begin(), bytes.end());
    return outcome;
  }

  // The output holds whole packs, and ffprobe finds its video and, when it
  // carries any, its audio, with no error up to where the file ends.
  void ExpectReadable(const Outcome& outcome) {
    EXPECT_EQ(outcome.output.size() % PACK, 0u);
    if (outcome.output.size() < 64 * PACK || !HaveFfprobe()) return;  // too short for ffprobe to learn a stream
    Probe probe = RunFfprobe(OutputPath());
    EXPECT_TRUE(probe.ok) << probe.text;
    EXPECT_NE(probe.text.find("mpeg2video"), std::string::npos) << probe.text;
    if (HasAudioPacks(outcome.output)) {
      EXPECT_NE(probe.text.find("mp2"), std::string::npos) << probe.text;
    }
    for (const char* noise : {"rror", "nvalid", "orrupt"}) EXPECT_EQ(probe.text.find(noise), std::string::npos) << probe.text;
  }

  TempDir source_;
  TempDir output_;
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

TEST_F(FaultInjectionTest, CleanRunIsTheReference) {
  WriteParts(SampleTitle(), {759 * PACK, 759 * PACK});
  Outcome outcome = Run();
  EXPECT_FALSE(outcome.failed);
  EXPECT_TRUE(outcome.closed);
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_TRUE(StartsWith(outcome.boxes[0], DONE_PREFIX)) << outcome.boxes[0];
  ExpectReadable(outcome);
}

TEST_F(FaultInjectionTest, ReadFaultAtARandomPackOfARandomPartEndsWithTheAccessError) {
  StopOnDamage = true;
  const Bytes title = SampleTitle();
  std::mt19937 random(133);
  for (int trial = 0; trial < TRIALS; ++trial) {
    trigger = Trigger{};
    trigger.action = Action::TruncateUnderMapping;
    VobMapViews = true;
    trigger.part = 1 + static_cast<int>(random() % 2);
    trigger.offset = static_cast<uint32_t>(random() % 759) * PACK;
    trigger.file = testps::VobPath(source_.path(), 1, trigger.part);
    VerboseErrors = random() % 2 == 0;
    Choose(random() % 2 == 0);
    SCOPED_TRACE("trial " + std::to_string(trial) + ": part " + std::to_string(trigger.part) + " offset " +
                 std::to_string(trigger.offset) + (VerboseErrors ? " verbose" : ""));
    WriteParts(title, {759 * PACK, 759 * PACK});
    Outcome outcome = Run();
    ASSERT_TRUE(trigger.fired);
    EXPECT_TRUE(outcome.failed);
    EXPECT_TRUE(outcome.closed);
    if (VerboseErrors) {
      char expected[80];
      std::snprintf(expected, sizeof expected, "Input file access error (offset %08X in VOB file #%d)",
                    trigger.firedAt, trigger.part);
      // The detail is the failure's message: no completion box follows.
      EXPECT_EQ(outcome.boxes, std::vector<std::string>{expected});
    } else {
      EXPECT_EQ(outcome.boxes, std::vector<std::string>{SUMMARY});
    }
    ExpectReadable(outcome);
  }
}

TEST_F(FaultInjectionTest, StopAtARandomPackFlushesTheOutputAndEndsWithTheCompletionBox) {
  const Bytes title = SampleTitle();
  WriteParts(title, {759 * PACK, 759 * PACK});
  const size_t whole = Run().output.size();
  std::mt19937 random(145);
  for (int trial = 0; trial < TRIALS; ++trial) {
    trigger = Trigger{};
    trigger.action = Action::Stop;
    trigger.part = 1 + static_cast<int>(random() % 2);
    trigger.offset = static_cast<uint32_t>(random() % 759) * PACK;
    Choose(random() % 2 == 0);
    SCOPED_TRACE("trial " + std::to_string(trial) + ": part " + std::to_string(trigger.part) + " offset " +
                 std::to_string(trigger.offset));
    Outcome outcome = Run();
    ASSERT_TRUE(trigger.fired);
    EXPECT_FALSE(outcome.failed);
    EXPECT_TRUE(outcome.closed);
    ASSERT_EQ(outcome.boxes.size(), 1u) << ::testing::PrintToString(outcome.boxes);
    EXPECT_TRUE(StartsWith(outcome.boxes[0], DONE_PREFIX)) << outcome.boxes[0];
    EXPECT_LT(outcome.output.size(), whole);
    ExpectReadable(outcome);
  }
}

// A write fails at a random byte of the output: the failing write and every
// later one are refused, the incomplete file is removed, and the write error
// is the one message.
void ExpectWriteFailureOutcome(const Outcome& outcome, const fs::path& output) {
  EXPECT_FALSE(outcome.closed);
  EXPECT_FALSE(fs::exists(output));
  ASSERT_EQ(outcome.boxes.size(), 1u) << ::testing::PrintToString(outcome.boxes);
  EXPECT_TRUE(StartsWith(outcome.boxes[0], WRITE_ERROR)) << outcome.boxes[0];
}

// The title twice over, as four parts, gives an output of more than one full
// 2 MiB buffer (the second copy's clock steps back to its start, which the
// extraction resynchronises), so that a failure falls on a full buffer or on
// the last partial one.
TEST_F(FaultInjectionTest, WriteFailureAtARandomBufferIsShownOnceAndRemovesTheIncompleteFile) {
  const size_t whole = WriteTitleTwiceOverFourParts();
  ASSERT_GT(whole, size_t{0x200000});
  FailWritesAtRandomPlaces(whole, 124);
}

TEST_F(FaultInjectionTest, EncoderFailingWhileTheWorkerWaitsEndsTheExtraction) {
  // A slow encoder keeps both sample pairs busy, so that the worker waits on
  // it; the output then refuses the encoder's audio packs.
  const size_t whole = WriteTitleTwiceOverFourParts();
  encoderDelayMs = 3;
  FailWritesAtRandomPlaces(whole, 174);
}

TEST_F(FaultInjectionTest, MissingMiddlePartEndsTheTitleAfterTheFirst) {
  const Bytes title = SampleTitle();
  WriteParts(title, {506 * PACK, 0});
  const Bytes firstPartAlone = Run().output;
  WriteParts(title, {506 * PACK, 0, 506 * PACK});
  ASSERT_FALSE(fs::exists(testps::VobPath(source_.path(), 1, 2)));
  ASSERT_TRUE(fs::exists(testps::VobPath(source_.path(), 1, 3)));
  Outcome outcome = Run();
  EXPECT_FALSE(outcome.failed);
  EXPECT_TRUE(outcome.closed);
  ASSERT_EQ(outcome.boxes.size(), 1u) << ::testing::PrintToString(outcome.boxes);
  EXPECT_TRUE(StartsWith(outcome.boxes[0], DONE_PREFIX)) << outcome.boxes[0];
  // Audio and video packs interleave as the threads' timing falls, so the
  // files are compared by their streams.
  EXPECT_EQ(outcome.output.size(), firstPartAlone.size());
  EXPECT_EQ(Payload(outcome.output, 0xE0), Payload(firstPartAlone, 0xE0));
  EXPECT_EQ(Payload(outcome.output, 0xC0), Payload(firstPartAlone, 0xC0));
  ExpectReadable(outcome);
}

TEST_F(FaultInjectionTest, PartThatIsNotAWholeNumberOfPacksEndsTheWalkAtItsEnd) {
  StopOnDamage = true;
  const Bytes title = SampleTitle();
  std::mt19937 random(123);
  for (int trial = 0; trial < TRIALS; ++trial) {
    // Part 1 loses its last bytes to part 2, or takes the first bytes of
    // part 2's first pack: a record then crosses the end of the part.
    const size_t shift = 1 + random() % (PACK - 1);
    const bool shorter = random() % 2 == 0;
    const size_t firstPart = 759 * PACK + (shorter ? -shift : shift);
    VerboseErrors = random() % 2 == 0;
    SCOPED_TRACE("trial " + std::to_string(trial) + ": part 1 of " + std::to_string(firstPart) + " bytes" +
                 (VerboseErrors ? " verbose" : ""));
    WriteParts(title, {firstPart, 0x40000000});
    Outcome outcome = Run();
    EXPECT_TRUE(outcome.failed);
    EXPECT_TRUE(outcome.closed);
    ASSERT_FALSE(outcome.boxes.empty());
    // The last record of part 1 runs past its end (always shown), or, when
    // fewer than a start code's bytes are left, no start code is found
    // there (shown in verbose mode only).
    const std::string& first = outcome.boxes[0];
    if (first != "Reading above end of VOB file #1") {
      EXPECT_TRUE(VerboseErrors ? StartsWith(first, "Missing PACK START CODE (offset") : first == SUMMARY) << first;
    }
    // A failed extraction never ends with the completion box.
    EXPECT_TRUE(VerboseErrors ? !StartsWith(outcome.boxes.back(), DONE_PREFIX) : outcome.boxes.back() == SUMMARY)
        << outcome.boxes.back();
    ExpectReadable(outcome);
  }
}

// Past damage the walk goes on: a part cut under the mapping at a random
// pack, or one that is not a whole number of packs, costs the bytes that
// cannot be used, and the output still decodes to its end.
TEST_F(FaultInjectionTest, DamageAtARandomPackIsSkippedAndTheOutputDecodes) {
  const Bytes title = SampleTitle();
  std::mt19937 random(171);
  for (int trial = 0; trial < TRIALS; ++trial) {
    const bool cutUnderMapping = random() % 2 == 0;
    trigger = Trigger{};
    size_t cutPart1To = 0;
    if (cutUnderMapping) {
      trigger.action = Action::TruncateUnderMapping;
      VobMapViews = true;
      trigger.part = 1 + static_cast<int>(random() % 2);
      trigger.offset = static_cast<uint32_t>(random() % 759) * PACK;
      trigger.file = testps::VobPath(source_.path(), 1, trigger.part);
    } else {
      cutPart1To = 1 + random() % (759 * PACK - 1);  // part 1 ends early, part 2 is whole
    }
    Choose(random() % 2 == 0);
    SCOPED_TRACE("trial " + std::to_string(trial) + (cutUnderMapping ? ": cut under the mapping of part " +
                                                                          std::to_string(trigger.part) + " at " +
                                                                          std::to_string(trigger.offset)
                                                                    : ": part 1 cut to " + std::to_string(cutPart1To)));
    WriteParts(title, {759 * PACK, 759 * PACK});
    if (cutPart1To != 0) std::filesystem::resize_file(testps::VobPath(source_.path(), 1, 1), cutPart1To);
    Outcome outcome = Run();
    EXPECT_FALSE(outcome.failed);
    EXPECT_TRUE(outcome.closed);
    ASSERT_EQ(outcome.boxes.size(), 1u) << ::testing::PrintToString(outcome.boxes);
    EXPECT_TRUE(StartsWith(outcome.boxes[0], DONE_PREFIX)) << outcome.boxes[0];
    EXPECT_NE(outcome.boxes[0].find("damaged stretch"), std::string::npos) << outcome.boxes[0];
    ExpectReadable(outcome);
    VobMapViews = false;
  }
}


// Sectors that the file system cannot read (EIO, as a scratched disc gives)
// are tried again and passed over: the walk goes on after them, and the
// output decodes to its end. Needs /dev/fuse and the eio_fs helper.
TEST_F(FaultInjectionTest, UnreadableSectorsArePassedOver) {
#ifndef VOLTARK_EIO_FS
  GTEST_SKIP() << "built without libfuse3: the EIO file system is missing";
#else
  if (!fs::exists("/dev/fuse")) GTEST_SKIP() << "no /dev/fuse here: unreadable sectors cannot be made";
  WriteParts(SampleTitle(), {759 * PACK, 759 * PACK});
  TempDir mount;
  const fs::path count = mount.path().parent_path() / (mount.path().filename().string() + ".count");
  // 256 KiB that cannot be read in the middle of part 1, across 129 blocks.
  const std::string range = std::to_string(300 * PACK + 100) + ":" + std::to_string(300 * PACK + 100 + 0x40000);
  const std::string command = "EIO_FS_COUNT='" + count.string() + "' '" VOLTARK_EIO_FS "' '" +
                              source_.path().string() + "' '" + mount.path().string() +
                              "' VIDEO_TS/VTS_01_1.VOB " + range + " 2>/dev/null &";
  ASSERT_EQ(std::system(command.c_str()), 0);
  bool mounted = false;
  for (int wait = 0; wait < 100 && !mounted; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    mounted = fs::exists(mount.path() / "VIDEO_TS" / "VTS_01_1.VOB");
  }
  if (!mounted) GTEST_SKIP() << "the EIO file system could not be mounted here";
  DriveList = {DriveFromArgument(mount.path().string())};
  Outcome outcome = Run();
  DriveList = {DriveFromArgument(source_.path().string())};
  std::system(("fusermount3 -u '" + mount.path().string() + "'").c_str());
  EXPECT_FALSE(outcome.failed);
  EXPECT_TRUE(outcome.closed);
  ASSERT_EQ(outcome.boxes.size(), 1u) << ::testing::PrintToString(outcome.boxes);
  EXPECT_NE(outcome.boxes[0].find("1 damaged stretch of the input was skipped (258 KiB)"), std::string::npos)
      << outcome.boxes[0];
  ExpectReadable(outcome);
  // Each block tried three times, the area crossed in growing steps: a few
  // dozen failing reads, not one per block.
  for (int wait = 0; wait < 100 && !fs::exists(count); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(fs::exists(count));
  std::string failures = ReadFileBytes(count);
  fs::remove(count);
  EXPECT_LT(std::atoi(failures.c_str()), 64) << failures;
#endif
}

}  // namespace
