// Whole extractions of the sample disc and of DVD folders made with ffmpeg,
// checked with ffprobe, ffmpeg and mpg123 as independent readers.
//
// Audio alignment: the folders' burst signal has an onset at every whole
// second of the source's time line, the first with the first picture. The
// decoded output must show each onset at the same time after its first
// picture as the decoded input does, plus the Layer II codec delay: 481
// samples (10.02 ms, analysis and synthesis filter banks), within 2 ms.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ac3/ac3_decoder.h"
#include "extract/title_selection.h"
#include "extract/encoder_thread.h"
#include "extract/extraction_driver.h"
#include "extract/kept_audio.h"
#include "extract/packet_intake.h"
#include "mpa/layer2_encoder.h"
#include "platform/drives.h"
#include "tests/extract/extract_test_support.h"
#include "tests/support/fixture_once.h"

namespace {

namespace fs = std::filesystem;

constexpr double LAYER2_DELAY_SECONDS = 481.0 / 48000;
constexpr double ALIGNMENT_TOLERANCE = 0.002;
constexpr double AUDIO_FRAME_SECONDS = 1152.0 / 48000;

// Runs a shell command; its standard output, and whether it exited with 0.
bool Shell(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (out != nullptr) *out = text;
  return status == 0;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// A DVD folder made once per build by the DVD-folder maker.
fs::path MadeFolder(const std::string& name, const std::string& description) {
  fs::path folder = fs::path(VOLTARK_TESTDATA_DIR) / "dvd-folders" / name;
  std::string command = "bash " + Quote(fs::path(VOLTARK_SOURCE_DIR) / "tools/make-dvd-folder.sh") + " --force -q " +
                        Quote(folder) + " '" + description + "'";
  std::string log;
  if (!MakeFixtureOnce(folder, folder / "VIDEO_TS", command, &log)) ADD_FAILURE() << command << "\n" << log;
  return folder;
}

struct Case {
  const char* name;
  const char* description;  // title description for the DVD-folder maker; empty: the sample disc
  int title;
  int32_t kind;
  uint8_t subStreamId;
};

// Extractions through the real codecs, on discs reached through the drive list.
class RealCodecsTest : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    FrameEncoder = EncodeFrame;  // the real codecs
    Ac3FrameDecoder = Ac3DecodeFrame;
  }
  void TearDown() override {
    DriveList.clear();
    ExtractTest::TearDown();
  }
  void EachTrackAsAlone(const fs::path& folder, bool damaged);
};

class EndToEndTest : public RealCodecsTest, public ::testing::WithParamInterface<Case> {
 protected:

  std::string Probe(const fs::path& file, const std::string& select, const std::string& entries) {
    std::string out;
    Shell("ffprobe -v error " + select + " -show_entries " + entries + " -of csv=p=0 " + Quote(file), &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
    return out;
  }

  // Onsets (seconds after the first picture) of the decoded audio stream.
  std::vector<double> Onsets(const fs::path& file, const std::string& map) {
    fs::path raw = dir_ / "audio.raw";
    EXPECT_TRUE(Shell("ffmpeg -v error -y -i " + Quote(file) + " -map " + map +
                      " -f s16le -ac 2 -ar 48000 " + Quote(raw)));
    const double audioStart = Number(Probe(file, "-select_streams " + map.substr(2), "stream=start_time"));
    const double videoStart = Number(Probe(file, "-select_streams v:0", "stream=start_time"));
    std::string out;
    EXPECT_TRUE(Shell("python3 " + Quote(fs::path(VOLTARK_SOURCE_DIR) / "tests/extract/audio_onsets.py") + " " +
                      Quote(raw), &out));
    std::vector<double> onsets;
    std::istringstream lines(out);
    for (long sample; lines >> sample;) onsets.push_back(audioStart + sample / 48000.0 - videoStart);
    return onsets;
  }
};

TEST_P(EndToEndTest, OutputIsReadByOtherToolsAndKeepsVideoAndTiming) {
  const Case& c = GetParam();
  fs::path folder = c.description[0] == '\0' ? fs::path(VOLTARK_SOURCE_DIR) / "samples/sample-dvd" : MadeFolder(c.name, c.description);
  ASSERT_TRUE(fs::exists(folder / "VIDEO_TS"));
  DriveList = {DriveFromArgument(folder.string())};
  SelectedDrive = 0;
  TitleSelection.title = c.title;
  TitleSelection.sizeMB = 1;
  TitleSelection.streamKind = c.kind;
  TitleSelection.subStreamId = c.subStreamId;
  TitleSelection.dynamicCompression = false;
  ExtractionWorker();
  ASSERT_FALSE(ExtractionFailed());
  ASSERT_TRUE(ExtractionOutputClosed());
  ASSERT_EQ(ui_->boxTexts().size(), 1u) << ui_->boxTexts()[0];
  const fs::path output = OutputPath();
  ExpectScrsFollowTheStreams(SplitPacks(OutputBytes()));

  // One MPEG-2 video stream and one MP2 48 kHz stereo stream.
  EXPECT_EQ(Probe(output, "", "format=nb_streams"), "2");
  EXPECT_EQ(Probe(output, "-select_streams v", "stream=codec_name"), "mpeg2video");
  EXPECT_EQ(Probe(output, "-select_streams a", "stream=codec_name,sample_rate,channels"), "mp2,48000,2");
  EXPECT_EQ(Probe(output, "-select_streams v", "stream=start_pts"), "22500");
  EXPECT_EQ(Probe(output, "-select_streams a", "stream=start_pts"), "22500");
  std::string errors;
  EXPECT_TRUE(Shell("ffmpeg -v error -i " + Quote(output) + " -f null - 2>&1", &errors));
  EXPECT_EQ(errors, "");
  fs::path mp2 = dir_ / "audio.mp2";
  ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + Quote(output) + " -map 0:a -c copy -f mp2 " + Quote(mp2)));
  EXPECT_TRUE(Shell("mpg123 -q -t " + Quote(mp2) + " 2>&1", &errors));
  EXPECT_EQ(errors, "");

  // The video elementary stream, byte for byte.
  fs::path input = dir_ / "input.vob";
  char parts[64];
  std::snprintf(parts, sizeof parts, "VTS_%02d_*.VOB", c.title);
  ASSERT_TRUE(Shell("cat " + Quote(folder / "VIDEO_TS") + "/" + parts + " > " + Quote(input)));
  std::string inVideo, outVideo;
  ASSERT_TRUE(Shell("ffmpeg -v error -i " + Quote(input) + " -map 0:v -c copy -f mpeg2video - | md5sum", &inVideo));
  ASSERT_TRUE(Shell("ffmpeg -v error -i " + Quote(output) + " -map 0:v -c copy -f mpeg2video - | md5sum", &outVideo));
  EXPECT_EQ(outVideo, inVideo);

  // The audio lines up with the input's at every burst onset.
  char map[16];
  std::snprintf(map, sizeof map, "0:i:0x%x", c.subStreamId);
  std::vector<double> before = Onsets(input, map);
  std::vector<double> after = Onsets(output, "0:a");
  ASSERT_GE(before.size(), 2u);
  ASSERT_EQ(after.size(), before.size());
  for (size_t k = 0; k < before.size(); ++k) {
    EXPECT_NEAR(after[k] - before[k], LAYER2_DELAY_SECONDS, ALIGNMENT_TOLERANCE) << "onset " << k;
  }

  // Durations: the audio ends with one frame of silence after its last
  // (padded) frame; without it audio and video agree within one frame.
  const double video = Number(Probe(output, "-select_streams v:0", "stream=duration"));
  const double audio = Number(Probe(output, "-select_streams a:0", "stream=duration"));
  EXPECT_LE(std::fabs(audio - AUDIO_FRAME_SECONDS - video), AUDIO_FRAME_SECONDS + 1e-6)
      << "audio " << audio << " video " << video;
}

INSTANTIATE_TEST_SUITE_P(
    Titles, EndToEndTest,
    ::testing::Values(Case{"SampleDiscAc3", "", 1, STREAM_KIND_AC3, 0x80},
                      Case{"SampleDiscPcm", "", 1, STREAM_KIND_PCM, 0xA0},
                      Case{"SampleDiscAc3Stereo", "", 2, STREAM_KIND_AC3, 0x80},
                      Case{"Ac3Surround", "title=1 seconds=3 audio=ac3:6ch:448k", 1, STREAM_KIND_AC3, 0x80},
                      Case{"Ac3Stereo", "title=1 seconds=3 audio=ac3:2ch:192k", 1, STREAM_KIND_AC3, 0x80},
                      Case{"Lpcm", "title=1 seconds=3 audio=pcm", 1, STREAM_KIND_PCM, 0xA0},
                      Case{"SecondOfTwoStreams", "title=1 seconds=3 parts=2 audio=ac3:2ch,ac3:6ch", 1,
                           STREAM_KIND_AC3, 0x81}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The order of the packs depends on the input alone: runs of one
// extraction give the same bytes, also while other threads keep every
// processor busy (the encoder thread then falls behind or runs ahead).
TEST_F(RealCodecsTest, RunsOfOneExtractionGiveTheSameBytes) {
  const fs::path folder = MadeFolder("Ac3Surround", "title=1 seconds=3 audio=ac3:6ch:448k");
  DriveList = {DriveFromArgument(folder.string())};
  SelectedDrive = 0;
  TitleSelection.title = 1;
  TitleSelection.sizeMB = 1;
  TitleSelection.streamKind = STREAM_KIND_AC3;
  TitleSelection.subStreamId = 0x80;
  TitleSelection.dynamicCompression = false;
  std::vector<std::vector<uint8_t>> outputs;
  for (int run = 0; run < 3; ++run) {
    std::atomic<bool> busy{run == 2};
    std::vector<std::thread> load;
    for (unsigned k = 0; busy && k < 2 * std::max(1u, std::thread::hardware_concurrency()); ++k) {
      load.emplace_back([&busy] {
        volatile uint64_t n = 0;
        while (busy) n = n + 1;
      });
    }
    ExtractionWorker();
    busy = false;
    for (std::thread& thread : load) thread.join();
    ASSERT_FALSE(ExtractionFailed());
    outputs.push_back(OutputBytes());
  }
  ASSERT_GT(outputs[0].size(), 2048u * 100);
  EXPECT_TRUE(outputs[1] == outputs[0]);
  EXPECT_TRUE(outputs[2] == outputs[0]);
}

// The title of folder twice over (its clock steps back to its start
// halfway), with stretches of bytes overwritten, in a folder of its own.
fs::path SteppedDamagedCopy(const fs::path& folder, const fs::path& copy) {
  fs::create_directories(copy / "VIDEO_TS");
  std::ifstream in(folder / "VIDEO_TS" / "VTS_01_1.VOB", std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (size_t at = 300000; at + 3000 < bytes.size(); at += 700001)
    for (size_t i = 0; i < 3000; ++i) bytes[at + i] = static_cast<char>(i * 151 + at);
  std::ofstream out(copy / "VIDEO_TS" / "VTS_01_1.VOB", std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return copy;
}

// Several re-encoded tracks, each with a decoder, an encoder and threads of
// its own: each track's Layer II frames are those it gives extracted alone
// (compression on one AC-3 track only), also across damage and a step of
// the clock, numbered 0xC0 + k in the order asked, and the system header
// names every stream.
TEST_F(RealCodecsTest, EachOfSeveralReencodedTracksGivesTheFramesItGivesAlone) {
  const fs::path folder = MadeFolder("TwoAc3AndPcm", "title=1 seconds=3 audio=ac3:6ch:448k,ac3:2ch,pcm");
  EachTrackAsAlone(folder, false);
  EachTrackAsAlone(SteppedDamagedCopy(folder, dir_ / "stepped"), true);
}

void RealCodecsTest::EachTrackAsAlone(const fs::path& folder, bool damaged) {
  SCOPED_TRACE(folder.string());
  DriveList = {DriveFromArgument(folder.string())};
  SelectedDrive = 0;
  TitleSelection.title = 1;
  TitleSelection.sizeMB = 1;
  const ReencodedChoice asked[3] = {{STREAM_KIND_AC3, 0x81, 0xC0, 1, true},
                                    {STREAM_KIND_AC3, 0x80, 0xC1, 2, false},
                                    {STREAM_KIND_PCM, 0xA0, 0xC2, 3, false}};
  auto extract = [this](const ReencodedChoice* tracks, uint32_t count) {
    TitleSelection.streamKind = tracks[0].streamKind;
    TitleSelection.subStreamId = tracks[0].subStreamId;
    TitleSelection.layer2StreamId = tracks[0].layer2StreamId;
    TitleSelection.layer2Rank = tracks[0].layer2Rank;
    TitleSelection.dynamicCompression = tracks[0].dynamicCompression;
    TitleSelection.moreTrackCount = count - 1;
    for (uint32_t i = 1; i < count; ++i) TitleSelection.moreTracks[i - 1] = tracks[i];
    ExtractionWorker();
    EXPECT_FALSE(ExtractionFailed());
    return SplitPacks(OutputBytes());
  };
  const std::vector<Pack> together = extract(asked, 3);
  EXPECT_EQ(ExtractionSkippedDamage(), damaged);
  ExpectScrsFollowTheStreams(together);
  const Pack& first = together.at(0);
  EXPECT_EQ(std::vector<uint8_t>(first.begin() + 26, first.begin() + 38),
            (std::vector<uint8_t>{0xE0, first[27], first[28], 0xC0, 0xC0, 0x20, 0xC1, 0xC0, 0x20, 0xC2, 0xC0, 0x20}));
  for (const ReencodedChoice& track : asked) {
    ReencodedChoice alone = track;
    alone.layer2StreamId = 0xC0;
    alone.layer2Rank = 1;
    const std::vector<uint8_t> frames = StreamPayload(extract(&alone, 1), 0xC0);
    ASSERT_GT(frames.size(), 100u * 1152);
    EXPECT_TRUE(StreamPayload(together, track.layer2StreamId) == frames) << std::hex << int{track.subStreamId};
  }
}

// Authored discs (mjpegtools, dvdauthor) with a white picture and a beep
// every 48 pictures: every mark keeps the input's own audio-video offset,
// shifted by the Layer II delay, and the picture times follow the stream
// (NTSC, soft pulldown, a clock that restarts with the second programme
// chain).
struct SyncCase {
  const char* name;
  const char* kind;  // make-sync-disc.sh KIND SECONDS CHAINS
  const char* seconds;
  const char* chains;
};

// The sync-mark disc of a case, made by the first test that asks for it.
void MakeSyncDisc(const fs::path& folder, const SyncCase& c) {
  std::string command = "bash " + Quote(fs::path(VOLTARK_SOURCE_DIR) / "tools/make-sync-disc.sh") + " " + Quote(folder) +
                        " " + c.kind + " " + c.seconds + " " + c.chains;
  std::string log;
  ASSERT_TRUE(MakeFixtureOnce(folder, folder / "VIDEO_TS" / "VTS_01_1.VOB", command, &log)) << log;
}

class SyncMarksTest : public RealCodecsTest, public ::testing::WithParamInterface<SyncCase> {};

// FLASH BEEP OFFSET_MS lines and the "video SPAN PICTURES" line.
struct Marks {
  std::vector<double> offsets;
  double span = 0;
  int pictures = 0;
};

Marks Measure(const fs::path& file) {
  std::string out;
  EXPECT_TRUE(Shell("python3 " + Quote(fs::path(VOLTARK_SOURCE_DIR) / "tests/extract/sync_marks.py") + " " +
                    Quote(file), &out));
  Marks marks;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    if (line.rfind("video", 0) == 0) {
      std::string word;
      words >> word >> marks.span >> marks.pictures;
    } else {
      double flash, beep, offset;
      if (words >> flash >> beep >> offset) marks.offsets.push_back(offset);
    }
  }
  return marks;
}

TEST_P(SyncMarksTest, EveryMarkKeepsItsOffsetAndTheVideoItsDuration) {
  const SyncCase& c = GetParam();
  fs::path folder = fs::path(VOLTARK_TESTDATA_DIR) / "sync-discs" / c.name;
  ASSERT_NO_FATAL_FAILURE(MakeSyncDisc(folder, c));
  DriveList = {DriveFromArgument(folder.string())};
  SelectedDrive = 0;
  TitleSelection.title = 1;
  TitleSelection.sizeMB = 1;
  TitleSelection.streamKind = STREAM_KIND_AC3;
  TitleSelection.subStreamId = 0x80;
  TitleSelection.dynamicCompression = false;
  ExtractionWorker();
  ASSERT_FALSE(ExtractionFailed());
  const fs::path input = folder / "VIDEO_TS" / "VTS_01_1.VOB";
  const fs::path output = OutputPath();
  ExpectScrsFollowTheStreams(SplitPacks(OutputBytes()));

  std::string warnings, inVideo, outVideo;
  EXPECT_TRUE(Shell("ffmpeg -v warning -i " + Quote(output) + " -f null - 2>&1", &warnings));
  EXPECT_EQ(warnings, "");
  ASSERT_TRUE(Shell("ffmpeg -v error -i " + Quote(input) + " -map 0:v -c copy -f mpeg2video - | md5sum", &inVideo));
  ASSERT_TRUE(Shell("ffmpeg -v error -i " + Quote(output) + " -map 0:v -c copy -f mpeg2video - | md5sum", &outVideo));
  EXPECT_EQ(outVideo, inVideo);

  const Marks in = Measure(input);
  const Marks out = Measure(output);
  ASSERT_GE(in.offsets.size(), 2u);
  ASSERT_EQ(out.offsets.size(), in.offsets.size());
  double low = 1e9, high = -1e9;
  for (size_t k = 0; k < in.offsets.size(); ++k) {
    const double shift = out.offsets[k] - in.offsets[0];
    low = std::min(low, shift);
    high = std::max(high, shift);
  }
  EXPECT_GE(low, 0.0);
  EXPECT_LE(high, 20.0);
  EXPECT_LE(high - low, 5.0);
  EXPECT_EQ(out.pictures, in.pictures);
  if (std::string(c.chains) == "1") {
    EXPECT_NEAR(out.span, in.span, 0.1);
  }
}

// The AC-3 track kept as it is: each mark keeps the input's offset, across
// pulldown and clock restarts, since every frame keeps its own time.
TEST_P(SyncMarksTest, AKeptTrackKeepsEveryMarksOffset) {
  const SyncCase& c = GetParam();
  fs::path folder = fs::path(VOLTARK_TESTDATA_DIR) / "sync-discs" / c.name;
  ASSERT_NO_FATAL_FAILURE(MakeSyncDisc(folder, c));
  DriveList = {DriveFromArgument(folder.string())};
  SelectedDrive = 0;
  TitleSelection.title = 1;
  TitleSelection.sizeMB = 1;
  TitleSelection.subStreamId = 0;  // nothing re-encoded
  KeptAudio.requests = {KeptTrackRequest{KeptFormat::Ac3, 0x80, 0x80, 1}};
  ExtractionWorker();
  KeptAudio.requests.clear();
  ASSERT_FALSE(ExtractionFailed());
  const fs::path input = folder / "VIDEO_TS" / "VTS_01_1.VOB";
  ExpectScrsFollowTheStreams(SplitPacks(OutputBytes()));
  std::string warnings;
  EXPECT_TRUE(Shell("ffmpeg -v warning -i " + Quote(OutputPath()) + " -f null - 2>&1", &warnings));
  EXPECT_EQ(warnings, "");
  const Marks in = Measure(input);
  const Marks out = Measure(OutputPath());
  ASSERT_GE(in.offsets.size(), 2u);
  ASSERT_EQ(out.offsets.size(), in.offsets.size());
  // The marks are measured from the decoded samples' count, right only up to
  // a restart of the clock: those keep the input's offsets.
  const size_t timed = std::string(c.chains) == "1" ? out.offsets.size() : 3;
  for (size_t k = 0; k < timed; ++k) EXPECT_NEAR(out.offsets[k], in.offsets[0], 5.0) << k;
  if (std::string(c.chains) == "1") return;
  // After the restart the input's first audio frame and first picture share
  // a time: so do they in the output (the frame starts a packet of its own
  // and keeps its time, though it overlaps the frame before it).
  std::string audio, video;
  ASSERT_TRUE(Shell("ffprobe -v error -select_streams a:0 -show_entries packet=pts -of csv=p=0 " +
                    Quote(OutputPath()), &audio));
  ASSERT_TRUE(Shell("ffprobe -v error -select_streams v:0 -show_entries packet=pts -of csv=p=0 " +
                    Quote(OutputPath()), &video));
  std::istringstream frames(audio);
  long previous = -1, restart = -1;
  for (long pts; frames >> pts; previous = pts) {
    if (previous >= 0 && pts != previous + 2880) {
      restart = pts;
      break;
    }
  }
  ASSERT_GE(restart, 0);
  EXPECT_NE(("\n" + video).find("\n" + std::to_string(restart) + "\n"), std::string::npos) << restart;
}

INSTANTIATE_TEST_SUITE_P(
    Discs, SyncMarksTest,
    ::testing::Values(SyncCase{"NtscFilm", "ntsc-film", "6", "1"}, SyncCase{"PalTwoChains", "pal", "5", "2"}),
    [](const ::testing::TestParamInfo<SyncCase>& info) { return std::string(info.param.name); });

}  // namespace
