// An extraction narrowed to one of the disc's own titles: its chapters and
// angle become the reader's plan, its title set the title extracted.
#pragma once

#include <string>
#include <vector>

#include "source/disc_titles.h"

// What the user chose before the output file: the whole title set as
// listed, one disc title (its chapters and angle), or all disc titles.
struct DiscTitleChoice {
  int discTitle = 0;  // 0: the whole title set, as listed
  int firstChapter = 1;
  int lastChapter = 0;  // 0: to the title's last chapter
  int angle = 1;
  bool allDiscTitles = false;  // every disc title of the disc, each into its own file
  std::vector<int> subtitles{};  // logical sub-picture streams kept as a VobSub pair beside the output
};

// How a sub-picture stream is offered for keeping: "en (sub:0)", "-- (sub:1)".
std::string SubtitleOfferName(const DiscSubpicture& stream);

// The disc titles that play from title set `titleSet`.
std::vector<const DiscTitle*> DiscTitlesOfSet(const DiscTitleTable& table, int titleSet);

// Finds disc title `number` in the table; null with a sentence for the user
// in error when the disc has no title table, refused it or has no such title.
const DiscTitle* FindDiscTitle(const DiscTitleTable& table, int number, std::string& error);

// True when the disc's IFO tables were refused where they hold disc title
// `number`, or as a whole (a damaged disc, not a request it cannot meet).
bool DiscTitleRefused(const DiscTitleTable& table, int number);

// Sets the reader's plan to chapters first..last (lastChapter 0: to the
// title's last) and the angle of the title, TitleSelection.title to its
// title set and TitleSelection.sizeMB to the plan's size. False with the
// sentence in error when a number is out of range; nothing is changed then.
bool NarrowToDiscTitle(const DiscTitle& title, int firstChapter, int lastChapter, int angle, std::string& error);

// Back to whole title sets.
void ClearDiscTitleNarrowing();
