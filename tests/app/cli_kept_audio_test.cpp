// Audio tracks kept as the disc has them, checked with ffmpeg as an outside
// reader: the streams in the order asked, each track's payload the input's,
// LPCM samples unchanged, and several tracks in one file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/fixture_once.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct ShellRun {
  int status;
  std::string out;
  std::string err;
};

// Writes dir's VTS_01_1.VOB with ffmpeg's dvd muxer from `inputs` (inputs,
// maps and codecs), once for the test programs that run side by side.
// ffmpeg writes under a temporary name and the file is renamed when whole,
// so an interrupted run leaves no half file to be taken for the title. A
// failure leaves no folder behind.
void MakeTitle(const fs::path& dir, const std::string& inputs) {
  const fs::path vob = dir / "VIDEO_TS/VTS_01_1.VOB";
  fs::create_directories(vob.parent_path());
  const std::string command = "t=$(mktemp '" + vob.parent_path().string() +
                              "/.making.XXXXXX') && ffmpeg -hide_banner -v error -y " + inputs +
                              " -f dvd -fflags +bitexact -flags +bitexact \"$t\" </dev/null && "
                              "mv -f \"$t\" '" + vob.string() + "'";
  if (!MakeFixtureOnce(dir, vob, command)) fs::remove_all(dir);
}

// A 6-second title from ffmpeg's dvd muxer: AC-3 5.1 (0x80), AC-3 2.0
// (0x81), MPEG audio (0xC0), LPCM (0xA0) and DTS (0x88).
const fs::path& KeptAudioDisc() {
  static const fs::path dir = fs::path(VOLTARK_TESTDATA_DIR) / "kept-audio";
  static bool made = false;
  if (!made && !fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB")) {
    made = true;
    MakeTitle(dir,
              "-f lavfi -i testsrc2=s=720x576:r=25:d=6 "
              "-f lavfi -i sine=f=440:d=6:sample_rate=48000 -f lavfi -i sine=f=880:d=6:sample_rate=48000 "
              "-map 0:v -map 1:a -map 2:a -map 1:a -map 2:a -map 1:a -c:v mpeg2video -b:v 3M -g 12 -bf 2 "
              "-c:a:0 ac3 -ac:a:0 6 -b:a:0 448k -c:a:1 ac3 -ac:a:1 2 -b:a:1 192k -c:a:2 mp2 -b:a:2 192k "
              "-c:a:3 pcm_dvd -ac:a:3 2 -c:a:4 dca -strict -2 -ac:a:4 2");
  }
  static const fs::path none;
  return fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB") ? dir : none;
}

// A 4-second title whose AC-3 and MPEG audio start 0.6 s before the video.
fs::path EarlyAudioDisc() {
  const fs::path dir = fs::path(VOLTARK_TESTDATA_DIR) / "early-audio";
  if (!fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB"))
    MakeTitle(dir,
              "-itsoffset 0.6 -f lavfi -i testsrc2=s=720x576:r=25:d=4 "
              "-f lavfi -i sine=f=440:d=5:sample_rate=48000 -map 0:v -map 1:a -map 1:a -fps_mode:v passthrough "
              "-c:v mpeg2video -b:v 3M -g 12 -bf 2 -c:a:0 ac3 -ac:a:0 2 -b:a:0 192k -c:a:1 mp2 -b:a:1 192k");
  return fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB") ? dir : fs::path();
}

class CliKeptAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    disc_ = KeptAudioDisc();
    if (disc_.empty()) GTEST_SKIP() << "ffmpeg cannot make the title with AC-3, MPEG audio, LPCM and DTS";
  }
  ShellRun Shell(const std::string& command) {
    const std::string line =
        "(" + command + ") >'" + (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "' </dev/null";
    const int raw = std::system(line.c_str());
    return ShellRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir_ / "out"), ReadFileBytes(dir_ / "err")};
  }
  ShellRun Extract(const std::string& arguments, const std::string& output) {
    return Shell(std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' extract '" + disc_.string() +
                 "' --title 1 " + arguments + " --overwrite --output '" + Out(output) + "'");
  }
  std::string Vob() const { return (disc_ / "VIDEO_TS/VTS_01_1.VOB").string(); }
  std::string Out(const std::string& name) const { return (dir_ / name).string(); }
  // The payload of one stream as ffmpeg demuxes it (map: "0:i:0x80").
  std::string Payload(const std::string& file, const std::string& map, const std::string& format) {
    const std::string target = Out("payload." + format);
    ShellRun run = Shell("ffmpeg -v error -y -i '" + file + "' -map " + map + " -c copy -f " + format + " '" + target + "'");
    return run.status == 0 ? ReadFileBytes(target) : "ffmpeg: " + run.err;
  }
  // The samples of an LPCM stream, decoded.
  std::string Samples(const std::string& file, const std::string& map) {
    const std::string target = Out("samples.raw");
    ShellRun run = Shell("ffmpeg -v error -y -i '" + file + "' -map " + map + " -f s16le '" + target + "'");
    return run.status == 0 ? ReadFileBytes(target) : "ffmpeg: " + run.err;
  }
  // Each stream's start time less the video's, in microseconds.
  std::string LeadsOverVideo(const std::string& file) {
    return Shell("ffprobe -v error -show_entries stream=codec_type,start_time -of csv=p=0 '" + file +
                 "' | awk -F, '$1==\"video\"{v=$2} $1==\"audio\"{a[n++]=$2} "
                 "END{for(i=0;i<n;i++) printf \"%.0f\\n\", (v-a[i])*1e6}'").out;
  }
  std::string Codecs(const std::string& file) {
    return Shell("ffprobe -v error -show_entries stream=id,codec_name -of csv=p=0 '" + file + "' | grep .").out;
  }

  // Payloads are compared without printing them.
  void ExpectSameBytes(const std::string& ours, const std::string& theirs, const std::string& what) {
    EXPECT_TRUE(ours == theirs) << what << ": " << ours.size() << " bytes against " << theirs.size() << " ("
                                << ours.substr(0, 200) << ")";
  }

  fs::path disc_;
  TempDir dir_;
};

TEST_F(CliKeptAudioTest, EveryTrackKeptIsTheInputsPayloadInTheOrderAsked) {
  ShellRun run = Extract("--audio all --keep-audio", "all.mpg");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "stream 0xBD/0x80: --, AC3 as on the disc (ac3:0)\n"
            "stream 0xBD/0x81: --, AC3 as on the disc (ac3:1)\n"
            "stream 0xBD/0x88: --, DTS as on the disc (dts:0)\n"
            "stream 0xBD/0xA0: --, PCM as on the disc (pcm:0)\n"
            "stream 0xC0: --, MPEG as on the disc (mpeg:0)\n");
  EXPECT_EQ(Codecs(Out("all.mpg")), "mpeg2video,0x1e0,\nac3,0x80\nac3,0x81\ndts,0x88\npcm_dvd,0xa0\nmp2,0x1c0\n");
  for (const auto& [map, format] : {std::pair{"0:i:0x80", "ac3"}, {"0:i:0x81", "ac3"}, {"0:i:0x88", "dts"},
                                    {"0:i:0x1c0", "mp2"}})
    ExpectSameBytes(Payload(Out("all.mpg"), map, format), Payload(Vob(), map, format), map);
  ExpectSameBytes(Samples(Out("all.mpg"), "0:i:0xa0"), Samples(Vob(), "0:i:0xa0"), "LPCM samples");
  // ffmpeg reads the file without a word, and a second run writes the same bytes.
  EXPECT_EQ(Shell("ffmpeg -v warning -i '" + Out("all.mpg") + "' -map 0 -f null -").err, "");
  ASSERT_EQ(Extract("--audio all --keep-audio", "again.mpg").status, 0);
  ExpectSameBytes(ReadFileBytes(Out("again.mpg")), ReadFileBytes(Out("all.mpg")), "second run");
}

TEST_F(CliKeptAudioTest, KeptAndReEncodedTracksGoTogether) {
  ShellRun run = Extract("--audio ac3:1=copy,ac3:0,mpeg:0=copy", "mixed.mpg");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Codecs(Out("mixed.mpg")), "mpeg2video,0x1e0,\nac3,0x80\nmp2,0x1c0\nmp2,0x1c1\n");
  ExpectSameBytes(Payload(Out("mixed.mpg"), "0:i:0x80", "ac3"), Payload(Vob(), "0:i:0x81", "ac3"), "ac3:1");
  ExpectSameBytes(Payload(Out("mixed.mpg"), "0:i:0x1c1", "mp2"), Payload(Vob(), "0:i:0x1c0", "mp2"), "mpeg:0");
  // The re-encoded track's frames are those of the same track alone.
  ASSERT_EQ(Extract("--audio ac3:0", "alone.mpg").status, 0);
  ExpectSameBytes(Payload(Out("mixed.mpg"), "0:i:0x1c0", "mp2"), Payload(Out("alone.mpg"), "0:i:0x1c0", "mp2"),
                  "Layer II");
}

// --json: stdout is one object whose streams name each output stream with
// the id a reader finds it under and the track it came from.
TEST_F(CliKeptAudioTest, TheJsonReportMapsEachOutputStreamToItsTrack) {
  ShellRun run = Extract("--audio ac3:1=copy,ac3:0,mpeg:0=copy --json", "mapped.mpg");
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json report = nlohmann::json::parse(run.out);
  EXPECT_EQ(report["outcome"], "done");
  EXPECT_EQ(report["exitStatus"], 0);
  std::string streams;
  for (const nlohmann::json& stream : report["streams"])
    streams += stream["id"].get<std::string>() + " " + stream["format"].get<std::string>() + " " +
               (stream["kept"].get<bool>() ? "kept " : "re-encoded ") + stream.value("selector", "-") + "\n";
  EXPECT_EQ(streams, "0xE0 mpeg2video kept -\n0xBD/0x80 ac3 kept ac3:1\n0xC0 mp2 re-encoded ac3:0\n"
                     "0xC1 mpeg kept mpeg:0\n");
  EXPECT_NE(run.err.find("stream 0xC1: --, MPEG as on the disc (mpeg:0)"), std::string::npos) << run.err;
  EXPECT_EQ(Codecs(Out("mapped.mpg")), "mpeg2video,0x1e0,\nac3,0x80\nmp2,0x1c0\nmp2,0x1c1\n");
}

// Frames 0.6 s before the first picture would fall before the output's
// first SCR: the origin moves earlier, and every track keeps its lead.
TEST_F(CliKeptAudioTest, FramesBeforeTheFirstPictureKeepTheirLead) {
  const fs::path early = EarlyAudioDisc();
  if (early.empty()) GTEST_SKIP() << "ffmpeg cannot make the title whose audio starts first";
  disc_ = early;
  ASSERT_EQ(Extract("--audio all --keep-audio", "early.mpg").status, 0);
  const std::string input = LeadsOverVideo(Vob());
  ASSERT_EQ(input.size(), 14u) << input;  // two leads of about 600000 us
  EXPECT_EQ(LeadsOverVideo(Out("early.mpg")), input);
  EXPECT_EQ(Shell("ffmpeg -v warning -i '" + Out("early.mpg") + "' -map 0 -f null -").err, "");
  ExpectSameBytes(Payload(Out("early.mpg"), "0:i:0x80", "ac3"), Payload(Vob(), "0:i:0x80", "ac3"), "ac3:0");
}

}  // namespace
