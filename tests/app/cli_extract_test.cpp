// voltark-cli extract, run as a user would: exit status, messages, output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/fixture_once.h"
#include "tests/support/temp_dir.h"

namespace {

struct ExtractRun {
  int status;
  std::string out;
  std::string err;
};

class CliExtractTest : public ::testing::Test {
 protected:
  ExtractRun Extract(const std::string& arguments) {
    std::string command = std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' extract " + arguments + " >'" +
                          (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "' </dev/null";
    int raw = std::system(command.c_str());
    return ExtractRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir_ / "out"), ReadFileBytes(dir_ / "err")};
  }
  std::string Sample() const { return std::string("'") + VOLTARK_SOURCE_DIR + "/samples/sample-dvd'"; }
  std::string Output() const { return (dir_ / "title.mpg").string(); }

  TempDir dir_;
};

TEST_F(CliExtractTest, ExtractsATitleAndEndsWithTheCompletionMessage) {
  ExtractRun run = Extract(Sample() + " --title 1 --audio ac3:0 --output '" + Output() + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  // Not a terminal: no progress line, only the closing message.
  EXPECT_EQ(run.err, "VOLTARK: MPEG2 extraction done!\n Video time = 00:00:06\n");
  ASSERT_TRUE(std::filesystem::exists(Output()));
  EXPECT_GT(std::filesystem::file_size(Output()), 100u * 2048);
  EXPECT_EQ(std::filesystem::file_size(Output()) % 2048, 0u);
}

TEST_F(CliExtractTest, PcmStreamAndDynamicCompressionAreAccepted) {
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio pcm:0 --output '" + Output() + "'").status, 0);
  EXPECT_EQ(Extract(Sample() + " --title 2 --audio ac3:0 --drc --overwrite --output '" + Output() + "'").status, 0);
}

TEST_F(CliExtractTest, FailuresExitWithOneNameTheFileAndTheReasonAndNeverSayDone) {
  const std::string missing = (dir_ / "no/such/dir.mpg").string();
  ExtractRun unwritable = Extract(Sample() + " --title 1 --audio ac3:0 --output '" + missing + "'");
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.err, "VOLTARK: Unable to create output file \"" + missing + "\": No such file or directory\n");
  ExtractRun full = Extract(Sample() + " --title 1 --audio ac3:0 --overwrite --output /dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "VOLTARK: Output file write error \"/dev/full\": No space left on device\n");
}

// A file system that fills up: nothing incomplete is left, and no "done!".
TEST_F(CliExtractTest, AFullFileSystemLeavesNoFile) {
  const std::filesystem::path full = dir_ / "full";
  std::filesystem::create_directories(full);
  if (std::system(("mount -t tmpfs -o size=1m tmpfs '" + full.string() + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "a tmpfs cannot be mounted here";
  ExtractRun run = Extract(Sample() + " --title 1 --audio ac3:0 --output '" + (full / "title.mpg").string() + "'");
  const bool left = std::filesystem::exists(full / "title.mpg");
  std::system(("umount '" + full.string() + "'").c_str());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "VOLTARK: Output file write error \"" + (full / "title.mpg").string() +
                         "\": No space left on device. The incomplete file was removed.\n");
  EXPECT_FALSE(left);
}

TEST_F(CliExtractTest, AnExistingFileIsReplacedOnlyWithOverwriteWhenNoTerminalCanAsk) {
  WriteFileBytes(Output(), "keep", 4);
  ExtractRun refused = Extract(Sample() + " --title 1 --audio ac3:0 --output '" + Output() + "'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "voltark-cli extract: " + Output() +
                             " exists and was left as it was; give --overwrite to replace it\n");
  EXPECT_EQ(ReadFileBytes(Output()), "keep");
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio ac3:0 --overwrite --output '" + Output() + "'").status, 0);
  EXPECT_NE(ReadFileBytes(Output()), "keep");
}

TEST_F(CliExtractTest, UsageErrorsExitWithTwo) {
  ExtractRun dts = Extract(Sample() + " --title 1 --audio dts:0 --output '" + Output() + "'");
  EXPECT_EQ(dts.status, 2);
  EXPECT_NE(dts.err.find("\"DTS stream #0\""), std::string::npos) << dts.err;
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio ac3:8 --output '" + Output() + "'").status, 2);
  EXPECT_EQ(Extract(Sample() + " --title 100 --audio ac3:0 --output '" + Output() + "'").status, 2);
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio ac3:0").status, 2);
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio ac3:0 --output " + std::string(300, 'x')).status, 2);
  EXPECT_FALSE(std::filesystem::exists(Output()));

  // A title or stream the disc does not have: what it has is listed, and a
  // file of the output's name is left as it was.
  ExtractRun noTitle = Extract(Sample() + " --title 7 --audio ac3:0 --output '" + Output() + "'");
  EXPECT_EQ(noTitle.status, 2);
  EXPECT_EQ(noTitle.err, "voltark-cli extract: the source has no title 7; its titles: 0, 1, 2\n");
  EXPECT_FALSE(std::filesystem::exists(Output()));
  WriteFileBytes(Output(), "keep", 4);
  ExtractRun noStream = Extract(Sample() + " --title 2 --audio pcm:0 --output '" + Output() + "'");
  EXPECT_EQ(noStream.status, 2);
  EXPECT_EQ(noStream.err, "voltark-cli extract: title 2 has no audio stream pcm:0; its audio streams: ac3:0\n");
  EXPECT_EQ(ReadFileBytes(Output()), "keep");
}

// A title long enough to be stopped while it is extracted, made once per
// build (a few seconds).
std::filesystem::path LongTitle() {
  static const std::filesystem::path dir = std::filesystem::path(VOLTARK_TESTDATA_DIR) / "long-title";
  std::string command = std::string("'") + VOLTARK_SOURCE_DIR + "/tools/make-dvd-folder.sh' --force '" + dir.string() +
                        "' 'title=1 seconds=240 video=color audio=ac3:2ch'";
  if (!MakeFixtureOnce(dir, dir / "VIDEO_TS/VTS_01_1.VOB", command)) return {};
  return dir;
}

TEST_F(CliExtractTest, AStopSignalClosesTheFileAndTheStatusSaysWhichSignal) {
  const std::filesystem::path title = LongTitle();
  if (title.empty()) GTEST_SKIP() << "ffmpeg cannot make the long title";
  for (const auto& [name, expected] : {std::pair{"INT", 130}, std::pair{"TERM", 143}}) {
    SCOPED_TRACE(name);
    std::filesystem::remove(Output());
    // The signal comes once the first buffer of the output is written.
    const std::string command = std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' extract '" +
                                title.string() + "' --title 1 --audio ac3:0 --output '" + Output() + "' 2>'" +
                                (dir_ / "err").string() + "' & pid=$!; while [ ! -s '" + Output() +
                                "' ] && kill -0 $pid 2>/dev/null; do sleep 0.01; done; kill -" + name +
                                " $pid; wait $pid; echo $? >'" + (dir_ / "status").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(std::atoi(ReadFileBytes(dir_ / "status").c_str()), expected);
    const std::string err = ReadFileBytes(dir_ / "err");
    EXPECT_EQ(err.rfind("VOLTARK: MPEG2 extraction stopped\n Video time = ", 0), 0u) << err;
    EXPECT_EQ(err.find("done!"), std::string::npos) << err;
    const std::string probe = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + Output() + "' >'" +
                              (dir_ / "seconds").string() + "'";
    ASSERT_EQ(std::system(probe.c_str()), 0);
    const double seconds = std::atof(ReadFileBytes(dir_ / "seconds").c_str());
    EXPECT_GT(seconds, 1.0);
    EXPECT_LT(seconds, 239.0);
  }
}

TEST_F(CliExtractTest, OutputThatIsAnyFileOfTheDiscIsRefusedAndTheDiscLeftAsItWas) {
  namespace fs = std::filesystem;
  const fs::path disc = dir_ / "disc";
  const fs::path folder = disc / "VIDEO_TS";
  fs::create_directories(folder);
  for (const char* name : {"VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_02_1.VOB"})
    fs::copy_file(fs::path(VOLTARK_SOURCE_DIR) / "samples/sample-dvd/VIDEO_TS" / name, folder / name);
  for (const char* name : {"VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_01_0.BUP"}) WriteFileBytes(folder / name, name, 12);
  fs::create_symlink(folder / "VTS_01_2.VOB", dir_ / "link.mpg");
  fs::create_hard_link(folder / "VTS_01_0.BUP", dir_ / "hard.mpg");
  // Its own VOBs, another title's, the information files and their backups,
  // through links and other spellings, and a new name that only the case
  // tells from a disc file's.
  for (const fs::path& output : {folder / "VTS_01_2.VOB", folder / "VTS_02_1.VOB", folder / "VTS_01_0.IFO",
                                 folder / "VTS_01_0.BUP", folder / "VIDEO_TS.IFO", dir_ / "link.mpg",
                                 dir_ / "hard.mpg", folder / "../VIDEO_TS/VTS_01_2.VOB", folder / "vts_01_0.ifo"}) {
    const std::string before = fs::exists(output) ? ReadFileBytes(output) : "";
    ExtractRun run =
        Extract("'" + disc.string() + "' --title 1 --audio ac3:0 --overwrite --output '" + output.string() + "'");
    EXPECT_EQ(run.status, 1) << output;
    EXPECT_EQ(run.err, "VOLTARK: The output file is one of the source disc's files: choose another file\n");
    EXPECT_EQ(fs::exists(output) ? ReadFileBytes(output) : "", before) << output;
  }
}

// A damaged copy: a run of zeros in part 1. The extraction passes over it
// and ends with status 3 and the closing line that tells the stretch;
// --stop-on-damage ends at it as a failure (status 1).
TEST_F(CliExtractTest, DamageSkippedEndsWithStatusThreeAndStopOnDamageWithOne) {
  namespace fs = std::filesystem;
  const fs::path disc = dir_ / "disc";
  fs::create_directories(disc / "VIDEO_TS");
  for (const char* name : {"VTS_01_1.VOB", "VTS_01_2.VOB"})
    fs::copy_file(fs::path(VOLTARK_SOURCE_DIR) / "samples/sample-dvd/VIDEO_TS" / name, disc / "VIDEO_TS" / name);
  std::string part = ReadFileBytes(disc / "VIDEO_TS/VTS_01_1.VOB");
  std::fill(part.begin() + 400 * 2048 + 5, part.begin() + 420 * 2048 + 5, '\0');
  WriteFileBytes(disc / "VIDEO_TS/VTS_01_1.VOB", part.data(), part.size());
  const std::string arguments = "'" + disc.string() + "' --title 1 --audio ac3:0 --output '" + Output() + "'";
  ExtractRun run = Extract(arguments);
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("\n 1 damaged stretch of the input was skipped (42 KiB), at video time 00:00:0"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Extract(arguments + " --stop-on-damage").status, 1);
}

}  // namespace
