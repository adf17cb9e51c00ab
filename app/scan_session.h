// A scan of the drive in use as every front end runs it, and its result in
// a form for scripts.
#pragma once

#include <string>
#include <vector>

// Runs one scan of DriveList[SelectedDrive] the way the scan dialog does:
// clears AbortFlag, runs ScanWorker on a thread of its own and waits for
// it. True when the scan ended without failure: titles were found, no walk
// failed, none of the disc's IFO tables was refused and no failure (or
// interruption) stopped the
// work.
bool RunScan();

// The result of the last scan as one JSON object: the source, the volume
// label (null when none was listed), every list line, and the titles with
// their number, size, streams (kind, index, list line, whether the line
// can be selected for extraction and, if so, its sub-stream id) and whether
// the disc encrypts their packets and whether libdvdcss decrypts them, and the
// disc's own titles from its IFO files (discTitles, empty without them).
std::string ScanReportJson(const std::string& source, bool succeeded);

// The readable table of the disc's own titles, one line each.
std::vector<std::string> DiscTitleLines();
