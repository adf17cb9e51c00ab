// The request model: stream selectors parsed and formatted, and the check
// of a request against a title's streams.
#include <gtest/gtest.h>

#include "app/audio_choice.h"
#include "app/job_check.h"

namespace {

TEST(AudioChoices, ParseAndFormatAgreeAndFaultyItemsAreNamed) {
  std::vector<AudioChoice> choices;
  std::string error;
  const std::string text = "ac3:0=copy,en,all=mp2,mpeg:31,dts:7=copy,pcm:1";
  ASSERT_TRUE(ParseAudioChoices(text, choices, error)) << error;
  ASSERT_EQ(choices.size(), 6u);
  EXPECT_EQ(choices[1].pick, AudioPick::Language);
  EXPECT_EQ(choices[2].mode, AudioMode::Mp2);
  EXPECT_EQ(DiscStreamId(choices[3].format, choices[3].index), 0xDF);
  EXPECT_EQ(DiscStreamId(choices[4].format, choices[4].index), 0x8F);
  EXPECT_EQ(FormatAudioChoices(choices), text);
  for (const char* bad : {"", "ac3:8", "ac3:", "ac3:01", "mpeg:32", "ac3:0=keep", "ac3:0=", "eng", "ac3:0,", "sub:0",
                          "aac:0"}) {
    EXPECT_FALSE(ParseAudioChoices(bad, choices, error)) << bad;
    EXPECT_TRUE(choices.empty());
  }
  EXPECT_NE(error.find("\"aac:0\""), std::string::npos) << error;
}

// A title with AC-3 en, DTS en, AC-3 fr and MPEG audio de as the IFO files
// list them, and an LPCM stream they do not list.
DiscCatalog Catalog() {
  const std::vector<DiscAudio> ifo = {
      {0x80, "AC3", "en", 6}, {0x88, "DTS", "en", 6}, {0x81, "AC3", "fr", 2}, {0xC0, "MPEG", "de", 2}};
  const std::vector<SeenStream> seen = {
      {AudioFormat::Mpeg, 0}, {AudioFormat::Pcm, 0}, {AudioFormat::Ac3, 0}, {AudioFormat::Ac3, 1}, {AudioFormat::Dts, 0}};
  DiscCatalog catalog;
  catalog.titles.push_back(CatalogTitleOf(1, 100, seen, ifo));
  return catalog;
}

JobCheck Check(const std::string& audio, bool keep = false, bool drc = false) {
  ExtractionJob job;
  job.title = 1;
  job.keepAudio = keep;
  job.dynamicCompression = drc;
  std::string error;
  EXPECT_TRUE(ParseAudioChoices(audio, job.audio, error)) << error;
  return CheckJob(Catalog(), job);
}

std::string Tracks(const JobCheck& check) {
  std::string text;
  for (const OutputTrack& track : check.tracks) {
    char item[32];
    std::snprintf(item, sizeof item, "%s%s>%02X%s ", StreamName(track.stream.format, track.stream.index).c_str(),
                  track.copy ? "=copy" : "", track.outputId, track.dynamicCompression ? "+drc" : "");
    text += item;
  }
  return text;
}

TEST(JobCheck, ChoicesResolveToNumberedTracksInTheOrderAsked) {
  // all: the IFO's order, then what it does not list; DTS and MPEG audio
  // have no decoder and are kept, which is said.
  const JobCheck all = Check("all", false, true);
  EXPECT_FALSE(all.Refused());
  EXPECT_EQ(Tracks(all), "ac3:0>C0+drc dts:0=copy>88 ac3:1>C1+drc mpeg:0=copy>C2 pcm:0>C3 ");
  ASSERT_EQ(all.problems.size(), 2u);
  EXPECT_EQ(all.problems[0].code, JobProblemCode::KeptUndecodable);
  EXPECT_EQ(all.problems[0].subject, "dts:0 (en)");

  EXPECT_EQ(Tracks(Check("all", true)), "ac3:0=copy>80 dts:0=copy>88 ac3:1=copy>81 mpeg:0=copy>C0 pcm:0=copy>A0 ");
  const JobCheck languages = Check("en=copy,fr");
  EXPECT_EQ(Tracks(languages), "ac3:0=copy>80 dts:0=copy>88 ac3:1>C0 ");
  EXPECT_EQ(TrackMapLines(languages.tracks),
            (std::vector<std::string>{"stream 0xBD/0x80: en, AC3 as on the disc (ac3:0)",
                                      "stream 0xBD/0x88: en, DTS as on the disc (dts:0)",
                                      "stream 0xC0: fr, MPEG-1 Layer II from AC3 (ac3:1)"}));
  EXPECT_EQ(Tracks(Check("ac3:1,ac3:0", true)), "ac3:1=copy>80 ac3:0=copy>81 ");
  // Asked twice the same way: written once; two ways: both. A language
  // keeps what has no decoder even with =mp2.
  EXPECT_EQ(Tracks(Check("ac3:0,en=mp2,ac3:0=copy")), "ac3:0>C0 dts:0=copy>88 ac3:0=copy>80 ");
}

TEST(JobCheck, RequestsTheTitleCannotMeetAreUsageErrorsNamingWhatItHas) {
  const JobCheck dts = Check("dts:0=mp2");
  ASSERT_TRUE(dts.Refused());
  EXPECT_EQ(dts.problems[0].code, JobProblemCode::NoDecoder);
  EXPECT_TRUE(Check("mpeg:0", false).Refused());
  EXPECT_FALSE(Check("mpeg:0", true).Refused());

  const JobCheck missing = Check("it,ac3:2");
  ASSERT_EQ(missing.problems.size(), 2u);
  EXPECT_EQ(missing.problems[0].code, JobProblemCode::NoLanguage);
  EXPECT_EQ(missing.problems[1].code, JobProblemCode::NoStream);
  EXPECT_EQ(missing.problems[1].offered, "ac3:0 (en), dts:0 (en), ac3:1 (fr), mpeg:0 (de), pcm:0");

  ExtractionJob job;
  job.title = 4;
  job.audio = {AudioChoice{}};
  const JobCheck noTitle = CheckJob(Catalog(), job);
  ASSERT_TRUE(noTitle.Refused());
  EXPECT_EQ(noTitle.problems[0].offered, "1");
}

}  // namespace
