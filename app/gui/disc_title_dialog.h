// The small dialog before Save As that narrows an extraction to one of the
// disc's own titles playing from the selected title set: the disc title, a
// chapter range and an angle; or widens it to all the disc's titles, each
// into its own file of a folder. Its default is the whole title set. Tests
// answer it through SetDiscTitleAnswerer instead of a window.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "source/disc_titles.h"

class QWidget;

struct DiscTitleChoice {
  int discTitle = 0;  // 0: the whole title set, as listed
  int firstChapter = 1;
  int lastChapter = 0;  // 0: to the title's last chapter
  int angle = 1;
  bool allDiscTitles = false;  // every disc title of the disc, each into its own file
};

using DiscTitleAnswerer = std::function<std::optional<DiscTitleChoice>(const std::vector<const DiscTitle*>&)>;

void SetDiscTitleAnswerer(DiscTitleAnswerer answerer);

// The disc titles that play from title set `titleSet`.
std::vector<const DiscTitle*> DiscTitlesOfSet(const DiscTitleTable& table, int titleSet);

// Asks which part of the title set to extract; nothing when the user
// cancelled. Without disc titles for the set it asks nothing and gives the
// whole title set.
std::optional<DiscTitleChoice> AskDiscTitle(QWidget* parent, const std::vector<const DiscTitle*>& titles);
