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
  ExtractRun missing = Extract(Sample() + " --title 7 --audio ac3:0 --output '" + Output() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "VOLTARK: Unable to find title\n");
  // Title 2 has no PCM stream: the walk and the file are sound (status 0),
  // the message says what is missing.
  ExtractRun noPcm = Extract(Sample() + " --title 2 --audio pcm:0 --output '" + Output() + "'");
  EXPECT_EQ(noPcm.status, 0);
  EXPECT_EQ(noPcm.err, "VOLTARK: No PCM stream found!\nVOLTARK: MPEG2 extraction done!\n Video time = 00:00:04\n");
  ExtractRun unwritable = Extract(Sample() + " --title 1 --audio ac3:0 --output '" + (dir_ / "no/such/dir.mpg").string() + "'");
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.err, "VOLTARK: Unable to create output file\n");
  ExtractRun full = Extract(Sample() + " --title 1 --audio ac3:0 --output /dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err.rfind("VOLTARK: Output file write error\n", 0), 0u) << full.err;
}

TEST_F(CliExtractTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio dts:0 --output '" + Output() + "'").status, 2);
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio ac3:8 --output '" + Output() + "'").status, 2);
  EXPECT_EQ(Extract(Sample() + " --title 100 --audio ac3:0 --output '" + Output() + "'").status, 2);
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio ac3:0").status, 2);
  EXPECT_EQ(Extract(Sample() + " --title 1 --audio ac3:0 --output " + std::string(300, 'x')).status, 2);
  EXPECT_FALSE(std::filesystem::exists(Output()));
}

}  // namespace
