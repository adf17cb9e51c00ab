// The one parser and formatter of stream selectors, for audio tracks and
// subtitles alike, in every front end:
//
//   KIND:N   a stream, as scan lists it (ac3:0, dts:1, mpeg:0, sub:3)
//   xx       every stream of that language (ISO 639-1, from the IFO files)
//   all      every stream of the title
//
// each optionally followed by "=MODE" where the list takes modes (audio:
// =copy, =mp2), comma-separated, in output order. Upper-case letters are
// read as lower case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class SelectorPick : uint8_t { Stream, Language, All };

struct StreamSelector {
  SelectorPick pick = SelectorPick::Stream;
  std::string kind;      // Stream: "ac3", "sub", ...
  int index = 0;         // Stream: the N of "KIND:N"
  std::string language;  // Language: two lower-case letters
  std::string mode;      // the text after "=", empty without one
};

// A kind of stream a list may name, and the highest N it takes.
struct SelectorKind {
  const char* key;
  int maxIndex;
};

// Parses a comma-separated list. False with the faulty item in badItem when
// an item is no selector of the given kinds (or has a mode where the list
// takes none).
bool ParseStreamSelectors(const std::string& text, const std::vector<SelectorKind>& kinds, bool takesModes,
                          std::vector<StreamSelector>& selectors, std::string& badItem);

// The text that parses back to the same selector.
std::string FormatStreamSelector(const StreamSelector& selector);
std::string FormatStreamSelectors(const std::vector<StreamSelector>& selectors);
