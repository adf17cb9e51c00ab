// The merge of the multiplexer's streams into one output order, and the
// writing of the packs placed in it. Worker thread only.
#pragma once

#include <cstdint>

// Places every pack whose turn is decided by what the streams hold, then
// writes the placed packs whose bytes are there. False when the output
// refuses a pack.
bool MergeRun();

// Makes room until room() holds: places and writes, waiting for the
// encoder's frames, and when the streams themselves block (a picture time
// stamp still open, a stream that stays silent) decides without them.
// False when the output refuses a pack.
template <typename Room>
bool MergeMakeRoom(Room room);

// Places and writes everything: every stream has ended.
bool MergeFinish();

// From the packing side: the video pack being filled ends as it is; every
// video pack keeps its estimated PTS.
void MuxCloseVideoPack();
void MuxClearTickets();

// Internal steps, used by MergeMakeRoom.
bool MergePlace();
bool MergeWrite(bool waitForFrames);
// False when nothing could be freed.
bool MergeForceProgress();

template <typename Room>
bool MergeMakeRoom(Room room) {
  while (!room()) {
    if (!MergePlace() || !MergeWrite(true)) return false;
    if (room()) break;
    if (!MergeForceProgress()) break;  // never with the stores sized as they are
  }
  return true;
}
