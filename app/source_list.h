// The sources a windowed front end lists (DriveList): the drives found, the
// folders and images of VOLTARK_DRIVES and those the user added; and the
// one in use (SelectedDrive), whose drive door is held while it is.
#pragma once

#include <vector>

#include "platform/drives.h"

// The sources the user added in this run, kept when the drives are found anew.
extern std::vector<Drive> AddedSources;

// Takes the source at index when it is a listed one other than the one in
// use: the old drive's door is released and the new one's held. False when
// nothing changed.
bool TakeSource(int index);

// The index of the source in DriveList; a new one is appended (and kept
// among the added sources).
int AddSource(const Drive& drive);

// The sources again after a drive, a disc or a mounted image came or went:
// the drives and VOLTARK_DRIVES found anew, then the added sources. The
// source in use stays in use where it is still listed, else the first one
// is taken. True when the source in use is another one (or none is left).
bool RediscoverSources();
