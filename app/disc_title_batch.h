// Every title of a disc, or a list of them, as a batch: which disc titles a
// "all" or "1,3-5" names, which are long enough to keep, and the file each
// goes to (a folder, named from the disc, or a pattern with the number).
#pragma once

#include <string>
#include <vector>

#include "app/extraction_batch.h"
#include "platform/drives.h"
#include "source/disc_titles.h"

// "all", one number "T" or a list of numbers and ranges "1,3-5" (each
// between 1 and MAX_DISC_TITLES); false when the text is none of these.
// all is set for "all"; numbers holds the list otherwise, in the order given.
bool ParseDiscTitleList(const std::string& text, bool& all, std::vector<int>& numbers);

// True when the output names a pattern: it holds %d or %0Nd (N = 1..9) once
// and no other '%'.
bool IsOutputPattern(const std::string& output);

// The name files of a batch are given in a folder: the disc's volume label,
// else the name of the folder that holds VIDEO_TS, with every character
// other than letters, digits, '-' and '.' as '_' ("MY_MOVIE").
std::string DiscFileBaseName(const Drive& drive);

// The file of disc title `number`: the pattern with the number put in, or
// FOLDER/BASE_tNN.mpg.
std::string BatchOutputFile(const std::string& output, const std::string& baseName, int number);

// The disc titles that are at least minSeconds long; the others are left
// out and their numbers put into leftOut. A title the table refused has no
// known duration and is kept (its extraction reports why it cannot be read).
std::vector<int> LongEnoughTitles(const DiscTitleTable& table, const std::vector<int>& numbers, double minSeconds,
                                  std::vector<int>& leftOut);
