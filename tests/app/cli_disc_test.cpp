// voltark-cli on an authored disc (dvdauthor, IFO files) as a folder and as
// an ISO image, checked against lsdvd, which reads it through the same
// library.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>

#include "tests/support/fixture_once.h"
#include "tests/support/temp_dir.h"
#include "tests/support/toy_scrambling.h"

namespace fs = std::filesystem;

namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// Made once per build by tools/make-authored-disc.sh (a few seconds).
fs::path AuthoredDisc() {
  static const fs::path dir = fs::path(VOLTARK_TESTDATA_DIR) / "authored";
  std::string command = std::string("'") + VOLTARK_SOURCE_DIR + "/tools/make-authored-disc.sh' '" + dir.string() + "'";
  if (!MakeFixtureOnce(dir, dir / "disc.iso", command)) return {};
  return dir;
}

class CliDiscTest : public ::testing::Test {
 protected:
  void SetUp() override {
    disc_ = AuthoredDisc();
    if (disc_.empty()) GTEST_SKIP() << "ffmpeg, dvdauthor or genisoimage cannot make the authored disc";
  }

  CliRun Shell(const std::string& command) {
    std::string line = "(" + command + ") >'" + (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "' </dev/null";
    int raw = std::system(line.c_str());
    return CliRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir_ / "out"), ReadFileBytes(dir_ / "err")};
  }
  CliRun Cli(const std::string& arguments) {
    return Shell(std::string("'") + VOLTARK_BINARY_DIR + "/bin/voltark-cli' " + arguments);
  }
  std::string Folder() const { return "'" + (disc_ / "disc").string() + "'"; }
  std::string Iso() const { return "'" + (disc_ / "disc.iso").string() + "'"; }
  std::string Out(const std::string& name) const { return (dir_ / name).string(); }

  double Seconds(const std::string& file) {
    CliRun probe = Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'");
    return probe.status == 0 ? std::atof(probe.out.c_str()) : -1;
  }
  // lsdvd's Python output, after the notes libdvdread prints before it.
  nlohmann::json Lsdvd() {
    CliRun run = Shell("lsdvd -Oy -x " + Iso() +
                    " 2>/dev/null | sed -n '/^lsdvd = {/,$p' |"
                    " python3 -c 'import sys, json; exec(sys.stdin.read()); print(json.dumps(lsdvd))'");
    return nlohmann::json::parse(run.out);
  }

  // A copy of the folder whose video and audio packets from pack `from` on
  // carry PES_scrambling_control 01, as a CSS disc's do.
  std::string ScrambledCopy(int from) {
    fs::copy(disc_ / "disc", dir_ / "scrambled", fs::copy_options::recursive);
    fs::path vob = dir_ / "scrambled" / "VIDEO_TS" / "VTS_01_1.VOB";
    std::string bytes = ReadFileBytes(vob);
    for (size_t pack = static_cast<size_t>(from) * 2048; pack + 2048 <= bytes.size(); pack += 2048) {
      size_t at = pack + 14 + (bytes[pack + 13] & 7);
      while (at + 6 <= pack + 2048 && bytes.compare(at, 3, std::string("\0\0\1", 3)) == 0) {
        const uint8_t id = static_cast<uint8_t>(bytes[at + 3]);
        if ((id == 0xBD || id >= 0xC0) && (bytes[at + 6] & 0xC0) == 0x80) bytes[at + 6] |= 0x10;
        at += (static_cast<uint8_t>(bytes[at + 4]) << 8 | static_cast<uint8_t>(bytes[at + 5])) + 6;
      }
    }
    WriteFileBytes(vob, bytes.data(), bytes.size());
    return "'" + (dir_ / "scrambled").string() + "'";
  }

  // The video and audio elementary streams of an output and the time stamps
  // of each stream's packets, as one string (the packs' interleaving varies
  // with the threads' timing; these may not).
  std::string Streams(const std::string& file) {
    const std::string v = Out("es.m2v"), a = Out("es.mp2");
    Shell("ffmpeg -v error -y -i '" + file + "' -map 0:v -c copy -f mpeg2video '" + v + "' -map 0:a -c copy -f mp2 '" +
          a + "'");
    CliRun stamps = Shell("ffprobe -v error -show_entries packet=stream_index,pts,dts,size -of csv=p=0 '" + file +
                          "' | sort -s -t, -k1,1");
    return ReadFileBytes(v) + "|" + ReadFileBytes(a) + "|" + stamps.out;
  }

  // The image with every video and audio pack scrambled by the toy
  // scrambling of the stand-in libdvdcss.
  std::string ToyScrambledImage() {
    std::string bytes = ReadFileBytes(disc_ / "disc.iso");
    for (size_t at = 0; at + toy_scrambling::BLOCK <= bytes.size(); at += toy_scrambling::BLOCK)
      toy_scrambling::Scramble(reinterpret_cast<uint8_t*>(bytes.data() + at));
    WriteFileBytes(dir_ / "toy.iso", bytes.data(), bytes.size());
    return "'" + (dir_ / "toy.iso").string() + "'";
  }

  fs::path disc_;
  TempDir dir_;
};

TEST_F(CliDiscTest, ImageAndFolderListAndExtractAlike) {
  CliRun folder = Cli("scan " + Folder());
  CliRun image = Cli("scan " + Iso());
  ASSERT_EQ(folder.status, 0) << folder.err;
  ASSERT_EQ(image.status, 0) << image.err;
  EXPECT_EQ(image.out, "AUTHORED DISC\n" + folder.out);
  EXPECT_EQ(folder.out, "Title #1  (1MB)\n  AC3 stream #0\n  AC3 stream #1\nTitle #2  (1MB)\n  AC3 stream #0\n");
  // The packs' order may vary with the threads' timing; the video
  // elementary stream and the audio frames may not.
  // The image's track is named by its IFO language.
  for (const auto& [source, name, audio] : {std::tuple{Folder(), std::string("f"), "ac3:1"},
                                            std::tuple{Iso(), std::string("i"), "fr"}}) {
    ASSERT_EQ(Cli("extract " + source + " --title 1 --audio " + audio + " --output '" + Out(name + ".mpg") + "'").status,
              0);
    ASSERT_EQ(Shell("ffmpeg -v error -y -i '" + Out(name + ".mpg") + "' -map 0:v -c copy -f mpeg2video '" +
                    Out(name + ".m2v") + "' -map 0:a -c copy -f mp2 '" + Out(name + ".mp2") + "'")
                  .status,
              0);
  }
  EXPECT_EQ(ReadFileBytes(Out("f.m2v")), ReadFileBytes(Out("i.m2v")));
  EXPECT_EQ(ReadFileBytes(Out("f.mp2")), ReadFileBytes(Out("i.mp2")));
  EXPECT_GT(ReadFileBytes(Out("i.mp2")).size(), 1152u * 100);
}

TEST_F(CliDiscTest, DiscTitlesAgreeWithLsdvd) {
  CliRun scan = Cli("scan --json " + Iso());
  ASSERT_EQ(scan.status, 0) << scan.err;
  nlohmann::json ours = nlohmann::json::parse(scan.out)["discTitles"];
  nlohmann::json theirs = Lsdvd()["track"];
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t t = 0; t < ours.size(); ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(ours[t]["number"], theirs[t]["ix"]);
    EXPECT_EQ(ours[t]["titleSet"], theirs[t]["vts"]);
    EXPECT_NEAR(ours[t]["durationSeconds"].get<double>(), theirs[t]["length"].get<double>(), 0.1);
    EXPECT_EQ(ours[t]["angles"], theirs[t]["angles"]);
    ASSERT_EQ(ours[t]["chapters"].size(), theirs[t]["chapter"].size());
    for (size_t c = 0; c < ours[t]["chapters"].size(); ++c)
      EXPECT_NEAR(ours[t]["chapters"][c]["durationSeconds"].get<double>(),
                  theirs[t]["chapter"][c]["length"].get<double>(), 0.1);
    ASSERT_EQ(ours[t]["audio"].size(), theirs[t]["audio"].size());
    for (size_t a = 0; a < ours[t]["audio"].size(); ++a) {
      EXPECT_EQ(ours[t]["audio"][a]["language"], theirs[t]["audio"][a]["langcode"]);
      EXPECT_EQ(ours[t]["audio"][a]["channels"], theirs[t]["audio"][a]["channels"]);
      EXPECT_EQ(ours[t]["audio"][a]["subStreamId"].get<int>(),
                std::stoi(theirs[t]["audio"][a]["streamid"].get<std::string>(), nullptr, 16));
    }
  }
  CliRun table = Cli("scan --disc-titles " + Folder());
  EXPECT_NE(table.out.find("\n  3  set 2  00:00:02  1 chapter  1 angle  de AC3 5.1 (ac3:0)\n"), std::string::npos)
      << table.out;
}

TEST_F(CliDiscTest, DiscTitleAndChaptersWalkOnlyTheirCells) {
  nlohmann::json theirs = Lsdvd()["track"];
  ASSERT_EQ(Cli("extract " + Iso() + " --disc-title 2 --audio ac3:0 --output '" + Out("t2.mpg") + "'").status, 0);
  EXPECT_NEAR(Seconds(Out("t2.mpg")), theirs[1]["length"].get<double>(), 0.2);
  ASSERT_EQ(Cli("extract " + Folder() + " --disc-title 1 --chapters 2 --audio ac3:0 --output '" + Out("c2.mpg") + "'")
                .status,
            0);
  EXPECT_NEAR(Seconds(Out("c2.mpg")), theirs[0]["chapter"][1]["length"].get<double>(), 0.3);

  // Out of range or without IFO files: a usage error, nothing written.
  for (const std::string& wrong : {Iso() + " --disc-title 4", Iso() + " --disc-title 1 --chapters 2-4",
                                   Iso() + " --disc-title 1 --angle 2",
                                   std::string("'") + VOLTARK_SOURCE_DIR + "/samples/sample-dvd' --disc-title 1"}) {
    CliRun run = Cli("extract " + wrong + " --audio ac3:0 --output '" + Out("x.mpg") + "'");
    EXPECT_EQ(run.status, 2) << wrong;
    EXPECT_NE(run.err.find("VOLTARK: "), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Out("x.mpg"))) << wrong;
  }
  EXPECT_EQ(Cli("extract " + Iso() + " --disc-title 1 --chapters 3-2 --audio ac3:0 --output x.mpg").status, 2);
  CliRun noLanguage = Cli("extract " + Iso() + " --disc-title 3 --audio en --output '" + Out("x.mpg") + "'");
  EXPECT_EQ(noLanguage.status, 2);
  EXPECT_EQ(noLanguage.err,
            "voltark-cli extract: title 2 has no audio stream in language en; its audio streams: ac3:0 (de)\n");
  EXPECT_FALSE(fs::exists(Out("x.mpg")));
}

TEST_F(CliDiscTest, EncryptedTitlesWriteNothing) {
  std::string whole = ScrambledCopy(0);
  CliRun scan = Cli("scan " + whole);
  EXPECT_NE(scan.err.find("encrypted"), std::string::npos) << scan.err;
  CliRun run = Cli("extract " + whole + " --title 1 --audio ac3:0 --output '" + Out("e.mpg") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("VOLTARK: This title is encrypted", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("made without decryption"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Out("e.mpg")));
  // Scrambled only past the first look: found by the walk, the partial file removed.
  fs::remove_all(dir_ / "scrambled");
  std::string late = ScrambledCopy(120);
  run = Cli("extract " + late + " --title 1 --audio ac3:0 --output '" + Out("e.mpg") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("VOLTARK: This title is encrypted", 0), 0u) << run.err;
  EXPECT_FALSE(fs::exists(Out("e.mpg")));
}

TEST_F(CliDiscTest, EveryDiscTitleGoesToItsOwnFileAsIfExtractedAlone) {
  nlohmann::json theirs = Lsdvd()["track"];
  CliRun all = Cli("extract " + Iso() + " --disc-title all --audio ac3:0 --output '" + Out("all") + "/'");
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.err.find("3 titles: 3 done, 0 damaged, 0 failed, 0 skipped"), std::string::npos) << all.err;
  EXPECT_EQ(all.err.find("done!"), std::string::npos) << all.err;
  for (int t = 1; t <= 3; ++t) {
    SCOPED_TRACE(t);
    const std::string batch = Out("all/AUTHORED_DISC_t0" + std::to_string(t) + ".mpg");
    EXPECT_NEAR(Seconds(batch), theirs[t - 1]["length"].get<double>(), 0.2);
    // Nothing of the titles before it: the same bytes as the title alone.
    ASSERT_EQ(Cli("extract " + Iso() + " --disc-title " + std::to_string(t) + " --audio ac3:0 --overwrite --output '" +
                  Out("alone.mpg") + "'")
                  .status,
              0);
    EXPECT_EQ(ReadFileBytes(batch), ReadFileBytes(Out("alone.mpg")));
  }

  // Title 3 has no second audio stream: skipped, and the batch fails.
  CliRun some = Cli("extract " + Folder() + " --disc-title 2-3 --audio ac3:1 --output '" + Out("p/ep%02d.mpg") + "'");
  EXPECT_EQ(some.status, 1);
  EXPECT_NE(some.err.find("Disc title 3 has no audio stream ac3:1: skipped"), std::string::npos) << some.err;
  EXPECT_TRUE(fs::exists(Out("p/ep02.mpg")));
  EXPECT_FALSE(fs::exists(Out("p/ep03.mpg")));
  // Shorter titles left out; the files of a folder source are named after it.
  CliRun longer = Cli("extract " + Folder() + " --disc-title 1,2,3 --min-duration 2.5 --audio ac3:0 --output '" +
                      Out("long") + "'");
  EXPECT_EQ(longer.status, 0) << longer.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(Out("long")), fs::directory_iterator()), 1);
  EXPECT_TRUE(fs::exists(Out("long/disc_t01.mpg")));
  for (const char* wrong : {"--disc-title 3-1", "--disc-title all --chapters 2", "--disc-title 1,9"})
    EXPECT_EQ(Cli("extract " + Iso() + " " + std::string(wrong) + " --audio ac3:0 --output '" + Out("x") + "'").status, 2) << wrong;
}

TEST_F(CliDiscTest, AScrambledImageReadsClearOnlyThroughTheSystemsLibdvdcss) {
  const std::string image = ToyScrambledImage();
  CliRun scan = Cli("scan --json " + image);
  nlohmann::json title = nlohmann::json::parse(scan.out)["titles"][0];
  EXPECT_TRUE(title["encrypted"].get<bool>());
  EXPECT_FALSE(title["decryptable"].get<bool>());
  CliRun refused = Cli("extract " + image + " --title 1 --audio ac3:0 --output '" + Out("e.mpg") + "'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("needs libdvdcss installed on the system"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(Out("e.mpg")));

  const std::string withLibrary = "LD_LIBRARY_PATH='" + std::string(VOLTARK_TOY_DVDCSS_DIR) + "' ";
  scan = Shell(withLibrary + "'" + VOLTARK_BINARY_DIR + "/bin/voltark-cli' scan --json " + image);
  title = nlohmann::json::parse(scan.out)["titles"][0];
  EXPECT_TRUE(title["encrypted"].get<bool>());
  EXPECT_TRUE(title["decryptable"].get<bool>());
  EXPECT_EQ(title["streams"].size(), 2u);
  CliRun clear = Shell(withLibrary + "'" + VOLTARK_BINARY_DIR + "/bin/voltark-cli' extract " + image +
                       " --title 1 --audio ac3:0 --output '" + Out("e.mpg") + "'");
  ASSERT_EQ(clear.status, 0) << clear.err;
  ASSERT_EQ(Cli("extract " + Iso() + " --title 1 --audio ac3:0 --output '" + Out("c.mpg") + "'").status, 0);
  EXPECT_EQ(Streams(Out("e.mpg")), Streams(Out("c.mpg")));
}

TEST_F(CliDiscTest, UnreadableBlocksAndDamagedIfoFilesAreReported) {
  // An image cut inside title 1's VOB: the blocks past the cut are a read fault.
  std::string image = ReadFileBytes(disc_ / "disc.iso");
  fs::path cut = dir_ / "cut.iso";
  WriteFileBytes(cut, image.data(), image.size() / 2);
  // They are passed over (status 3), or end the extraction with --stop-on-damage.
  CliRun skipped = Cli("extract -v '" + cut.string() + "' --title 1 --audio ac3:0 --output '" + Out("f.mpg") + "'");
  EXPECT_EQ(skipped.status, 3);
  EXPECT_NE(skipped.err.find("Damaged stretch of "), std::string::npos) << skipped.err;
  CliRun faulted = Cli("extract -v --stop-on-damage --overwrite '" + cut.string() + "' --title 1 --audio ac3:0 --output '" +
                       Out("f.mpg") + "'");
  EXPECT_EQ(faulted.status, 1);
  EXPECT_NE(faulted.err.find("Input file access error"), std::string::npos) << faulted.err;

  // A title set IFO cut inside a sector is refused; the VOBs still list and extract.
  fs::copy(disc_ / "disc", dir_ / "damaged", fs::copy_options::recursive);
  fs::resize_file(dir_ / "damaged" / "VIDEO_TS" / "VTS_01_0.IFO", 3000);
  fs::remove(dir_ / "damaged" / "VIDEO_TS" / "VTS_01_0.BUP");
  std::string damaged = "'" + (dir_ / "damaged").string() + "'";
  CliRun scan = Cli("scan --json " + damaged);
  EXPECT_EQ(scan.status, 1);
  EXPECT_NE(scan.err.find("were refused: disc title 1:"), std::string::npos) << scan.err;
  EXPECT_EQ(nlohmann::json::parse(scan.out)["discTitles"].size(), 1u);
  EXPECT_EQ(Cli("extract " + damaged + " --disc-title 2 --audio ac3:0 --output '" + Out("d.mpg") + "'").status, 1);
  EXPECT_EQ(Cli("extract " + damaged + " --title 1 --audio ac3:0 --output '" + Out("d.mpg") + "'").status, 0);
}

}  // namespace
