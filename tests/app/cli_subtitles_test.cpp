// Subtitles kept: a disc with two subtitle languages over an NTSC film
// with soft pulldown, in two programme chains (two disc titles of one title
// set) whose clocks both start at 0 (tools/make-subtitle-disc.sh), read
// back with ffprobe.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/subtitle_choice.h"
#include "tests/support/fixture_once.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr int CHAINS = 2;
constexpr int MARKS_PER_CHAIN = 2;                        // 119 pictures, a mark each 48
constexpr double CHAIN_SECONDS = 119 * 1001.0 / 24000.0;  // the pictures of one chain
constexpr double MARK_SECONDS = 2.0;                      // spumux's start times, to the hundredth

fs::path SubtitleDisc() {
  static const fs::path dir = fs::path(VOLTARK_TESTDATA_DIR) / "subtitles";
  const std::string command = std::string("'") + VOLTARK_SOURCE_DIR + "/tools/make-subtitle-disc.sh' '" +
                              dir.string() + "' ntsc-film 5 2";
  if (!MakeFixtureOnce(dir, dir / "VIDEO_TS" / "VTS_01_0.IFO", command)) return {};
  return dir;
}

struct ShellRun {
  int status;
  std::string out;
  std::string err;
};

class CliSubtitlesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    disc_ = SubtitleDisc();
    if (disc_.empty()) GTEST_SKIP() << "mpeg2enc, mplex, spumux or dvdauthor cannot make the subtitle disc";
  }
  ShellRun Shell(const std::string& command) {
    const std::string line = "(" + command + ") >'" + (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() +
                             "' </dev/null";
    const int raw = std::system(line.c_str());
    return ShellRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir_ / "out"), ReadFileBytes(dir_ / "err")};
  }
  ShellRun Cli(const std::string& arguments) {
    return Shell(std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' " + arguments + " '" + disc_.string() +
                 "'");
  }
  // stream index, language and seconds of each subtitle ffprobe reads.
  std::vector<std::vector<double>> Events(const std::string& idx, std::vector<std::string>& languages) {
    ShellRun streams = Shell("ffprobe -v error -show_entries stream=index:stream_tags=language -of csv=p=0 '" + idx + "'");
    std::istringstream lines(streams.out);
    for (std::string line; std::getline(lines, line);) languages.push_back(line.substr(line.find(',') + 1));
    std::vector<std::vector<double>> times(languages.size());
    ShellRun packets = Shell("ffprobe -v error -show_entries packet=stream_index,pts_time -of csv=p=0 '" + idx + "'");
    std::istringstream rows(packets.out);
    for (std::string row; std::getline(rows, row);) {
      const size_t stream = std::stoul(row);
      if (stream < times.size()) times[stream].push_back(std::stod(row.substr(row.find(',') + 1)));
    }
    return times;
  }
  fs::path disc_;
  TempDir dir_;
};

TEST_F(CliSubtitlesTest, ScanNamesTheSubpictureStreams) {
  ShellRun scan = Cli("scan --json");
  ASSERT_EQ(scan.status, 0) << scan.err;
  const nlohmann::json report = nlohmann::json::parse(scan.out);
  for (const nlohmann::json& list : {report["titles"][0]["subpictures"], report["discTitles"][0]["subpictures"]}) {
    ASSERT_EQ(list.size(), 2u) << scan.out;
    EXPECT_EQ(list[0]["logical"], 0);
    EXPECT_EQ(list[0]["subStreamId"], 0x20);
    EXPECT_EQ(list[0]["language"], "en");
    EXPECT_EQ(list[1]["subStreamId"], 0x21);
    EXPECT_EQ(list[1]["language"], "fr");
  }
}

// Every subtitle, in both languages, at its time from the first picture
// across the clock's restart; the palette is the disc's; the program
// stream carries both streams.
TEST_F(CliSubtitlesTest, AllSubtitlesKeptBesideAndInTheOutput) {
  const std::string mpg = (dir_ / "film.mpg").string();
  ShellRun run = Shell(std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' extract '" + disc_.string() +
                  "' --title 1 --audio ac3:0 --subs all --output '" + mpg + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> languages;
  const auto times = Events((dir_ / "film.idx").string(), languages);
  ASSERT_EQ(languages, (std::vector<std::string>{"en", "fr"}));
  for (size_t stream = 0; stream < times.size(); ++stream) {
    ASSERT_EQ(times[stream].size(), size_t{CHAINS * MARKS_PER_CHAIN}) << stream;
    for (int chain = 0; chain < CHAINS; ++chain)
      for (int k = 0; k < MARKS_PER_CHAIN; ++k)
        EXPECT_NEAR(times[stream][chain * MARKS_PER_CHAIN + k],
                    chain * CHAIN_SECONDS + k * MARK_SECONDS + 0.1 * static_cast<double>(stream), 0.045)
            << "stream " << stream << " chain " << chain << " mark " << k;
  }
  // The palette line against the disc's colour table, made from these RGB colours.
  std::ifstream idx(dir_ / "film.idx"), table(disc_ / "palette.rgb");
  std::string line, palette;
  while (std::getline(idx, line))
    if (line.rfind("palette: ", 0) == 0) palette = line.substr(9);
  ASSERT_EQ(palette.size(), 16u * 8 - 2) << palette;
  for (int i = 0; i < 16 && std::getline(table, line); ++i) {
    const unsigned got = std::stoul(palette.substr(8 * i, 6), nullptr, 16), want = std::stoul(line, nullptr, 16);
    for (int shift : {16, 8, 0})
      EXPECT_NEAR(static_cast<int>((got >> shift) & 255), static_cast<int>((want >> shift) & 255), 24) << i;
  }
  ShellRun probe = Shell("ffprobe -v error -show_entries stream=id,codec_name -of csv=p=0 '" + mpg + "' | sort");
  EXPECT_NE(probe.out.find("dvd_subtitle,0x20"), std::string::npos) << probe.out;
  EXPECT_NE(probe.out.find("dvd_subtitle,0x21"), std::string::npos) << probe.out;
}

TEST_F(CliSubtitlesTest, SubsOnlyWritesThePairAndMissingStreamsAreRefused) {
  const std::string mpg = (dir_ / "fr.mpg").string();
  const std::string cli = std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' extract '" + disc_.string() +
                          "' --disc-title 1 --output '" + mpg + "'";
  ShellRun run = Shell(cli + " --subs fr --subs-only");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(mpg));
  std::vector<std::string> languages;
  const auto times = Events((dir_ / "fr.idx").string(), languages);
  EXPECT_EQ(languages, std::vector<std::string>{"fr"});
  ASSERT_EQ(times.size(), 1u);
  EXPECT_EQ(times[0].size(), size_t{MARKS_PER_CHAIN});  // each chain is a disc title of its own
  // Existing files are not replaced without a word; a stream the title lacks is a usage error.
  EXPECT_EQ(Shell(cli + " --subs fr --subs-only").status, 1);
  EXPECT_EQ(Shell(cli + " --subs de --subs-only --overwrite").status, 2);
  EXPECT_EQ(Shell(cli + " --subs sub:40 --subs-only --overwrite").status, 2);
}

TEST(SubtitleChoices, ParseFormatAndResolve) {
  std::vector<SubtitleChoice> choices;
  std::string error;
  ASSERT_TRUE(ParseSubtitleChoices("FR,sub:0,all", choices, error)) << error;
  EXPECT_EQ(FormatSubtitleChoices(choices), "fr,sub:0,all");
  for (const char* bad : {"", "sub:", "sub:32", "eng", "fr,", "sub:x", "sub:0=copy", "ac3:0"})
    EXPECT_FALSE(ParseSubtitleChoices(bad, choices, error)) << bad;
  // In the order asked, each once; the physical stream of the display aspect.
  const std::vector<DiscSubpicture> offered = {{0, 0x20, "en"}, {1, 0x25, "fr"}, {2, 0x22, "fr"}};
  std::vector<SubtitleStream> streams;
  ASSERT_TRUE(ParseSubtitleChoices("fr,all", choices, error));
  ASSERT_TRUE(ResolveSubtitles(choices, offered, true, streams, error)) << error;
  ASSERT_EQ(streams.size(), 3u);
  EXPECT_EQ(streams[0].subStreamId, 0x25);
  EXPECT_EQ(streams[1].subStreamId, 0x22);
  EXPECT_EQ(streams[2].subStreamId, 0x20);
  // Without IFO files sub:N is sub-stream 0x20 + N; languages are unknown.
  ASSERT_TRUE(ParseSubtitleChoices("sub:3", choices, error));
  ASSERT_TRUE(ResolveSubtitles(choices, {}, false, streams, error));
  EXPECT_EQ(streams.at(0).subStreamId, 0x23);
  ASSERT_TRUE(ParseSubtitleChoices("en", choices, error));
  EXPECT_FALSE(ResolveSubtitles(choices, {}, false, streams, error));
}

}  // namespace
