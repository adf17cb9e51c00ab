// The sub-picture (subtitle) streams of the titles: which a title set plays,
// its colour table, and how they are named.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "source/disc_titles.h"

// The first of the disc's titles that plays from the title set; nullptr
// when none does (no IFO files, or a set no title plays from).
const DiscTitle* FirstTitleOfSet(const DiscTitleTable& table, int titleSet);

// The sub-picture streams of a title of the list: those of the first disc
// title playing from it; without one, the sub-streams its walk met
// (logical number = physical, no language).
std::vector<DiscSubpicture> TitleSetSubpictures(const DiscTitleTable& table, int titleSet,
                                                const std::vector<uint8_t>& walkedIds);

// "sub:N": how the logical stream is named on the command line.
std::string SubpictureSelector(const DiscSubpicture& stream);

// A colour of the colour table (0x00YYCrCb) as 0xRRGGBB, with the studio
// range of the picture (Y 16..235).
uint32_t PaletteRgb(uint32_t yCrCb);
