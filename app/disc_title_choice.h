// An extraction narrowed to one of the disc's own titles: its chapters and
// angle become the reader's plan, its title set the title extracted.
#pragma once

#include <string>

#include "source/disc_titles.h"

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
