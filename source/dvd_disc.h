// The disc of the selected source as libdvdread opens it: an image file, a
// drive device (mounted or not) or a folder that holds VIDEO_TS. One handle
// is kept for the source in use and opened again when the source changes.
#pragma once

#include <string>

#include "platform/drives.h"

typedef struct dvd_reader_s dvd_reader_t;

struct DvdDiscState {
  dvd_reader_t* reader = nullptr;
  std::string path;  // what the handle was opened on
};

extern DvdDiscState DvdDisc;

// True when the selected source is read block by block through libdvdread
// (an image file or a device that is not mounted); folders and mounted
// devices are read through their files.
bool SourceReadsBlocks();

// The libdvdread handle of the selected source, opened on first use; null
// when libdvdread cannot open it.
dvd_reader_t* DvdDiscReader();

// Closes the handle (the next use opens it again).
void DvdDiscRelease();

// The disc's own volume identifier (UDF, else ISO 9660); false when it has
// none or is not read block by block.
bool DvdDiscVolumeLabel(std::string& label);

// Whether the source can be read at all: a folder or mounted device as
// before, an image or unmounted device that libdvdread opens and that holds
// VIDEO_TS. False with a sentence for the user in error.
bool CheckSource(const Drive& drive, std::string& error);
