// Which title-list line enables what: a PCM or AC3 stream line (one that has
// a TitleListEntry) selects its stream for extraction, to be re-encoded or
// kept; a DTS or MPEG audio line of the scan selects its stream to be kept
// as it is (there is no decoder for it); every other line (volume label,
// title line) selects nothing.
#pragma once

#include <string>
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

// The DTS or MPEG audio stream of a scanned title-list line and its title;
// null for every other line.
const ScannedStream* FindUndecodableStream(int line, const ScannedTitle** title);

// The selection update for several lines (list order): the first line with
// an entry is taken into TitleSelection as SelectionUpdate does (a DTS or
// MPEG line gives the title and size alone); extraction is enabled when a
// stream line is selected, compression when an AC3 line is selected and the
// tracks are not kept.
ExtractionControls SelectionUpdateLines(const std::vector<int>& lines, bool keepAudio);

// The request of the selected stream lines (the first stream line's title;
// other lines are left out) with the window's check boxes: the tracks in
// list order. DTS and MPEG audio are kept as they are whatever keepAudio
// says. The title is -1 when no stream line is selected.
ExtractionJob JobOfSelectedLines(const std::vector<int>& lines, bool keepAudio, bool dynamicCompression);

// What the user is told when "Keep original audio" is clear and DTS or MPEG
// audio is chosen: one sentence per track ("dts:0 is kept as it is: VOLTARK
// has no decoder for it."), empty when there is none.
std::string UndecodableKeptNote(const ExtractionJob& job);
