// The subtitle streams of an extraction as the user names them, and their
// resolution against a title's sub-picture streams.
//
//   sub:0   logical sub-picture stream 0 of the disc's IFO files (the
//           physical stream the title's display aspect plays); without IFO
//           files, sub-stream 0x20 + N
//   en      every subtitle stream of that language (IFO files)
//   all     every subtitle stream of the title
// comma-separated, in the order they are kept. The selectors follow the
// shape of the audio selectors (kind:N, language, all).
#pragma once

#include <string>
#include <vector>

#include "extract/subtitle_selection.h"
#include "source/disc_titles.h"

constexpr int MAX_SUBPICTURE_LOGICAL = 31;

enum class SubtitlePick { Stream, Language, All };

struct SubtitleChoice {
  SubtitlePick pick = SubtitlePick::Stream;
  int logical = 0;       // Stream
  std::string language;  // Language: ISO 639-1, lower case
};

// Parses a comma-separated list. False with a sentence in error that names
// the faulty item.
bool ParseSubtitleChoices(const std::string& text, std::vector<SubtitleChoice>& choices, std::string& error);

// The text that parses back to the same choices.
std::string FormatSubtitleChoices(const std::vector<SubtitleChoice>& choices);

// The streams the choices name among the title's (offered; fromIfo: the
// disc's IFO files named them, else the sub-streams a walk met), each once,
// in the order asked. False with a sentence in error when one is missing.
bool ResolveSubtitles(const std::vector<SubtitleChoice>& choices, const std::vector<DiscSubpicture>& offered,
                      bool fromIfo, std::vector<SubtitleStream>& streams, std::string& error);

// SubtitleSelection for an extraction of the title set (disc title null)
// or of the disc title from its first chapter: the streams, the colour
// table of the chain that plays first, the picture size, and the pair's
// paths beside output. walkedIds: the sub-streams a walk of the title set
// met (for a disc without IFO files). False with the sentence in error.
bool PrepareSubtitles(const std::vector<SubtitleChoice>& choices, bool subsOnly, const DiscTitleTable& table,
                      const DiscTitle* discTitle, int firstChapter, int titleSet,
                      const std::vector<uint8_t>& walkedIds, const std::string& output, std::string& error);

// Back to no subtitles kept.
void ClearSubtitles();
