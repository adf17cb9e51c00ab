// Which title-list line enables what: a PCM or AC3 stream line (one that has
// a TitleListEntry) selects its stream for extraction; every other line
// (volume label, title line, MPEG or DTS stream) selects nothing.
#pragma once

#include <vector>

#include "app/extraction_job.h"
#include "source/title_scanner.h"

struct ExtractionControls {
  bool extractEnabled = false;      // menu "e&Xtract" and the Start button
  bool compressionEnabled = false;  // the "Dynamic Audio &Compression" box
};

// The first of the TitleListCount entries whose line is the given one, or
// null (also for line -1, no selection).
const TitleListEntry* FindTitleListEntry(int line);

// The selection update of the main window: copies the line's entry into
// TitleSelection (title, sizeMB, subStreamId, streamKind) when there is one
// and says which controls are enabled. TitleSelection is left as it was when
// the line has no entry.
ExtractionControls SelectionUpdate(int line);

// The selection update for several lines (list order): the first line with
// an entry is taken into TitleSelection as SelectionUpdate does; extraction
// is enabled when a line has an entry, compression when an AC3 line is
// selected and the tracks are not kept.
ExtractionControls SelectionUpdateLines(const std::vector<int>& lines, bool keepAudio);

// The request of the selected stream lines (their entries' title; lines
// without an entry are left out) with the window's check boxes: the tracks
// in list order. The title is -1 when no line has an entry.
ExtractionJob JobOfSelectedLines(const std::vector<int>& lines, bool keepAudio, bool dynamicCompression);
