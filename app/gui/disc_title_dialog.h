// The small dialog before Save As that narrows an extraction to one of the
// disc's own titles playing from the selected title set: the disc title, a
// chapter range and an angle; or widens it to all the disc's titles, each
// into its own file of a folder. Its default is the whole title set. Tests
// answer it through SetDiscTitleAnswerer instead of a window.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "app/disc_title_choice.h"

class QWidget;

using DiscTitleAnswerer = std::function<std::optional<DiscTitleChoice>(const std::vector<const DiscTitle*>&)>;

void SetDiscTitleAnswerer(DiscTitleAnswerer answerer);

// Asks which part of the title set to extract, and which of its subtitle
// streams to keep (a check box per stream, named by its language); nothing when the user
// cancelled. Without disc titles for the set it asks nothing and gives the
// whole title set.
std::optional<DiscTitleChoice> AskDiscTitle(QWidget* parent, const std::vector<const DiscTitle*>& titles);
