// The disc of the selected source as libdvdread opens it: an image file, a
// drive device (mounted or not) or a folder that holds VIDEO_TS. One handle
// is kept for the source in use and opened again when the source changes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/drives.h"

typedef struct dvd_reader_s dvd_reader_t;

constexpr int DISC_TITLE_SLOTS = 100;

struct DvdDiscState {
  dvd_reader_t* reader = nullptr;
  std::string path;  // what the handle was opened on
  // Per title of a mounted drive: -1 not looked at yet, 1 read from the
  // device, 0 through the file system. Kept until the handle is released.
  int8_t throughDevice[DISC_TITLE_SLOTS];
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

// Encrypted (CSS) titles. The disc scrambles their video and audio packets;
// libdvdread gives them clear where the system has libdvdcss, which only an
// image or a drive device can use: a folder copied from the disc holds the
// packets as they were copied.

// True when the first packs of the title as the disc holds them (its VOB
// file in a folder or on a mounted drive, its blocks in an image or on the
// device, read past libdvdread) are scrambled, or when a drive refuses them
// to a reader that has not authenticated. False when they cannot be read
// otherwise.
bool DvdDiscTitleScrambled(int32_t title);

// True for a title of a mounted drive whose first packs are scrambled, or
// cannot be read through the file system (a drive refuses scrambled blocks
// to a reader that has not authenticated): it is read block by block from
// the drive's device through libdvdread instead.
bool DvdDiscReadsThroughDevice(int32_t title);

// Why a title that reads scrambled cannot be extracted from the selected
// source, as a clause for the user: a folder copy was made without
// decryption; an image or a drive needs libdvdcss installed on the system
// (or libdvdcss could not decrypt it).
std::string EncryptedTitleReason();

// Whether the source can be read at all: a folder or mounted device as
// before, an image or unmounted device that libdvdread opens and that holds
// VIDEO_TS. False with a sentence for the user in error.
bool CheckSource(const Drive& drive, std::string& error);
