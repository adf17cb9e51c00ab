// Runs the built voltark-cli on synthetic DVD folders, as a user would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/program_stream.h"
#include "tests/support/temp_dir.h"

using testps::ProgramStream;
using testps::WriteTitle;

namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

class CliTest : public ::testing::Test {
 protected:
  CliRun Cli(const std::string& arguments) {
    std::string command = std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' " + arguments + " >'" +
                          (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "' </dev/null";
    int raw = std::system(command.c_str());
    return CliRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir_ / "out"), ReadFileBytes(dir_ / "err")};
  }

  std::string Disc() { return (dir_ / "disc").string(); }

  // Title 1: AC3 #0 and PCM #0 over two parts; title 2: MPEG audio and DTS;
  // title 4 after a gap, with a second AC3 stream.
  void MakeDisc() {
    ProgramStream one;
    one.NavPack(0).AudioPack(10, 0x80).AudioPack(20, 0xA0);
    for (int i = 0; i < 40; ++i) one.VideoPack(30 + i);
    one.AudioPack(90, 0x80).EndCode();
    WriteTitle(dir_ / "disc", 1, one.bytes(), 16 * testps::PACK_BYTES);
    ProgramStream two;
    two.NavPack(0).MpegAudioPack(10, 0xC0).AudioPack(20, 0x89).VideoPack(30).EndCode();
    WriteTitle(dir_ / "disc", 2, two.bytes());
    ProgramStream four;
    four.NavPack(0).AudioPack(10, 0x81).AudioPack(10, 0x80).VideoPack(30).EndCode();
    WriteTitle(dir_ / "disc", 4, four.bytes());
  }

  TempDir dir_;
};

}  // namespace

TEST_F(CliTest, ScanPrintsTheListAndJsonAgreesWithIt) {
  MakeDisc();
  CliRun text = Cli("scan '" + Disc() + "'");
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.err, "");
  std::vector<std::string> expected = {"Title #1  (1MB)", "  PCM stream #0",  "  AC3 stream #0",
                                       "Title #2  (1MB)", "  MPEG stream #0", "  DTS stream #0",
                                       "Title #4  (1MB)", "  AC3 stream #0",  "  AC3 stream #1"};
  EXPECT_EQ(SplitLines(text.out), expected);

  CliRun json = Cli("scan --json '" + Disc() + "/VIDEO_TS'");
  EXPECT_EQ(json.status, 0);
  nlohmann::json report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["lines"].get<std::vector<std::string>>(), expected);
  EXPECT_TRUE(report["label"].is_null());
  EXPECT_EQ(report["failed"], false);
  ASSERT_EQ(report["titles"].size(), 3u);
  const nlohmann::json& title2 = report["titles"][1];
  EXPECT_EQ(title2["title"], 2);
  EXPECT_EQ(title2["sizeMB"], 1);
  EXPECT_EQ(title2["streams"][0]["kind"], "MPEG");
  EXPECT_EQ(title2["streams"][0]["selectable"], false);
  const nlohmann::json& ac3 = report["titles"][2]["streams"][1];
  EXPECT_EQ(ac3["kind"], "AC3");
  EXPECT_EQ(ac3["index"], 1);
  EXPECT_EQ(ac3["line"], "  AC3 stream #1");
  EXPECT_EQ(ac3["listIndex"], 8);
  EXPECT_EQ(ac3["selectable"], true);
  EXPECT_EQ(ac3["subStreamId"], 0x81);
}

TEST_F(CliTest, AFailureGivesStatusOneWithTheSummaryOrTheDetails) {
  MakeDisc();
  ProgramStream broken;
  broken.NavPack(0).AudioPack(10, 0x80).VideoPack(20);
  broken.bytes()[2 * testps::PACK_BYTES] = 0x47;
  WriteTitle(dir_ / "disc", 1, broken.bytes());

  CliRun quiet = Cli("scan --stop-on-damage '" + Disc() + "'");
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(SplitLines(quiet.out), (std::vector<std::string>{"Title #1  (1MB)", "  AC3 stream #0"}));
  EXPECT_EQ(quiet.err, "VOLTARK: Error detected while scanning DVD titles\n");

  CliRun verbose = Cli("scan --verbose --stop-on-damage '" + Disc() + "'");
  EXPECT_EQ(verbose.status, 1);
  EXPECT_EQ(verbose.err, "VOLTARK: Missing PACK START CODE (offset 00001000 in VOB file #1)\n");

  CliRun json = Cli("scan --json --stop-on-damage '" + Disc() + "'");
  EXPECT_EQ(json.status, 1);
  // Without --stop-on-damage the damage is passed over: done, with damage skipped.
  EXPECT_EQ(Cli("scan '" + Disc() + "'").status, 3);
  EXPECT_EQ(nlohmann::json::parse(json.out)["failed"], true);
  std::filesystem::create_directories(dir_ / "empty");  // no VIDEO_TS: no title, a failure told
  CliRun none = Cli("scan '" + (dir_ / "empty").string() + "'");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "VOLTARK: no DVD titles found in " + (dir_ / "empty").string() + "\n");
}

TEST_F(CliTest, UsageErrorsHelpVersionAndMissingSources) {
  EXPECT_EQ(Cli("").status, 2);
  EXPECT_EQ(Cli("scan").status, 2);
  EXPECT_EQ(Cli("scan --bogus x").status, 2);
  CliRun help = Cli("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("scan"), std::string::npos);
  CliRun version = Cli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("voltark-cli ", 0), 0u);
  CliRun missing = Cli("scan '" + (dir_ / "nowhere").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("VOLTARK: "), std::string::npos);
  EXPECT_EQ(missing.out, "");
}

// The bundled sample disc lists as its committed listing says, in text and
// in JSON.
TEST_F(CliTest, TheSampleDiscListsAsItsCommittedListing) {
  std::filesystem::path sample = std::filesystem::path(VOLTARK_SOURCE_DIR) / "samples";
  if (!std::filesystem::exists(sample / "sample-dvd-scan.txt")) GTEST_SKIP() << "no sample disc";
  std::vector<std::string> expected = SplitLines(ReadFileBytes(sample / "sample-dvd-scan.txt"));
  CliRun text = Cli("scan '" + (sample / "sample-dvd").string() + "'");
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(SplitLines(text.out), expected);
  CliRun json = Cli("scan --json '" + (sample / "sample-dvd").string() + "'");
  EXPECT_EQ(nlohmann::json::parse(json.out)["lines"].get<std::vector<std::string>>(), expected);
}
