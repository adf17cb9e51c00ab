// voltark-cli extract, run as a user would: exit status, messages, output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
  EXPECT_EQ(run.err, "VOLTARK: MPEG2 extraction done!\n Video time = 00:00:05\n");
  ASSERT_TRUE(std::filesystem::exists(Output()));
  EXPECT_GT(std::filesystem::file_size(Output()), 100u * 2048);
  EXPECT_EQ(std::filesystem::file_size(Output()) % 2048, 0u);
}

TEST_F(CliExtractTest, PcmStreamAndDynamicCompressionAreAccepted) {
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio pcm:0 --output '" + Output() + "'").status, 0);
  EXPECT_EQ(Extract(Sample() + " --title 2 --audio ac3:0 --drc --output '" + Output() + "'").status, 0);
}

TEST_F(CliExtractTest, FailuresExitWithOne) {
  ExtractRun unwritable = Extract(Sample() + " --title 1 --audio ac3:0 --output '" + (dir_ / "no/such/dir.mpg").string() + "'");
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.err, "VOLTARK: Unable to create output file\n");
  ExtractRun full = Extract(Sample() + " --title 1 --audio ac3:0 --output /dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err.rfind("VOLTARK: Output file write error\n", 0), 0u) << full.err;
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

TEST_F(CliExtractTest, OutputThatIsOneOfTheTitlesFilesIsRefusedAndTheDiscLeftAsItWas) {
  namespace fs = std::filesystem;
  const fs::path disc = dir_ / "disc";
  fs::create_directories(disc / "VIDEO_TS");
  for (const char* name : {"VTS_01_1.VOB", "VTS_01_2.VOB"})
    fs::copy_file(fs::path(VOLTARK_SOURCE_DIR) / "samples/sample-dvd/VIDEO_TS" / name, disc / "VIDEO_TS" / name);
  const fs::path second = disc / "VIDEO_TS/VTS_01_2.VOB";
  const std::string before = ReadFileBytes(second);
  fs::create_symlink(second, dir_ / "link.mpg");
  fs::create_hard_link(second, dir_ / "hard.mpg");
  for (const fs::path& output : {second, dir_ / "link.mpg", dir_ / "hard.mpg", disc / "VIDEO_TS/../VIDEO_TS/VTS_01_2.VOB"}) {
    ExtractRun run = Extract("'" + disc.string() + "' --title 1 --audio ac3:0 --output '" + output.string() + "'");
    EXPECT_EQ(run.status, 1) << output;
    EXPECT_EQ(run.err, "VOLTARK: The output file is one of the title's VOB files: choose another file\n");
    EXPECT_EQ(ReadFileBytes(second), before) << output;
  }
}

}  // namespace
