// The VOB file set reader: the VOB files of one title presented as one
// continuous stream of records through a sliding read-only view.
//
// A view holds at most VOB_VIEW_SIZE bytes and slides by VOB_VIEW_STEP.
// While every advance is at most VOB_RECORD_REACH bytes, the
// VOB_RECORD_REACH bytes from `current` on (or the rest of the part) lie
// inside the view. Users read the records in place at `current`.
//
// A view is read into the reader's buffer, one large read a view. Where the
// disc cannot be read, a block is tried again VOB_READ_RETRIES times and the
// first block that still fails ends the view's readable bytes: reads of the
// record at `current` through VobGuardedRead then fail, and the walk can move
// on with VobNextReadableBlock and VobSeek.
//
// Calling order: set `title`, set `part` = 1, VobOpenPart; then read the
// record at `current` (after VobCheckPackStart), VobAdvance by its size, stop
// on a false result or once `closed` is set; finally VobClose.
//
// Reads of a mapped view can fault where the disc cannot be read; users
// read the first bytes of each record through VobGuardedRead. Images and
// unmounted drives are read through libdvdread into a buffer of the reader
// instead (dvd_block_reader.h), with the same contract.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

constexpr uint32_t VOB_RECORD_REACH = 0x10000;  // longest record read whole at `current`
constexpr uint32_t VOB_VIEW_STEP = 0x100000;
constexpr uint32_t VOB_VIEW_SIZE = VOB_VIEW_STEP + VOB_RECORD_REACH;
constexpr uint32_t PACK_SIZE = 2048;
constexpr uint32_t VOB_MAP_ALIGN = 0x10000;  // a mapped view starts at a multiple of it
constexpr int VOB_READ_RETRIES = 2;          // further attempts at a block that could not be read

struct VobReaderState {
  int32_t title = 0;              // 0..99
  int32_t part = 1;               // n of VTS_tt_n.VOB, from 1
  std::string root;               // folder that holds VIDEO_TS, taken at each open
  InputFile file;                 // open part
  uint32_t fileSize = 0;          // size of the part open or last probed
  const uint8_t* viewBase = nullptr;
  uint32_t viewLength = 0;        // bytes of the view at viewBase
  uint32_t readable = 0;          // bytes from viewBase that could be read; the rest is zeros
  bool viewMapped = false;        // the view is a mapping (else the reader's buffer)
  uint32_t viewOffset = 0;        // multiple of PACK_SIZE (of VOB_MAP_ALIGN when mapped)
  uint32_t posInView = 0;
  const uint8_t* current = nullptr;
  bool closed = true;
};

extern VobReaderState VobReader;

// Every view mapped, none read: how tests make the disc fail under a view
// (by cutting the file short), as a damaged disc does once a read has failed.
extern std::atomic<bool> VobMapViews;

// The path of the file of (title, part) under the root of the selected
// drive, names matched ignoring case. False when the title has no such part
// or the source or the file cannot be found.
bool VobFindPartFile(std::string& path);

// Learns whether (title, part) exists and its size (into fileSize), without
// mapping anything or touching the view. Title 0 has part 1 only.
bool VobProbePart();

// Opens (title, part) and maps its start. A missing part 1 gives false
// without a message; a missing later part ends the title (true, closed).
// Other failures are reported (119..122), set AbortFlag and give false.
bool VobOpenPart();

// Moves `current` forward by n bytes, sliding the view or going on to the
// next part. True with `closed` set: the title has ended.
bool VobAdvance(uint32_t n);

// Releases the part; may be called any number of times.
void VobClose();

// True when p starts with 00 00 01; otherwise reports 125 at `current` and
// sets AbortFlag. Three bytes are read at p: a p inside the view with fewer
// than three mapped bytes after it counts as a missing start code.
bool VobCheckPackStart(const uint8_t* p);

// Copies count bytes at p (inside the view) to out; false when they cannot
// be read (a read fault: a page of the mapped file or a block of the disc
// that cannot be delivered).
bool VobGuardedRead(const uint8_t* p, size_t count, uint8_t* out);

// The number of mapped bytes from `current` to the end of the view; 0 when
// the reader is closed.
uint32_t VobBytesInView();

// The bytes from `current` on that could be read (0 when closed). Mapped
// views count whole; their faults show through VobGuardedRead.
uint32_t VobReadableInView();

// Moves `current` to offset (a multiple of PACK_SIZE, at or after
// `current`) of the part that is open, loading a view there when it lies
// outside this one; at or past the part's end the next part opens (true
// with `closed` set: the title has ended). False after a reported failure.
bool VobSeek(uint32_t offset);

// The offset of the first block at or after offset (a multiple of
// PACK_SIZE) of the part that is open that can be read, each block tried
// 1 + VOB_READ_RETRIES times; over a long unreadable area the search moves
// ahead in growing steps and back to the area's end. The part's size when
// nothing after offset can be read.
uint32_t VobNextReadableBlock(uint32_t offset);

// The offset of `current` in the part that is open.
uint32_t VobCurrentOffset();
