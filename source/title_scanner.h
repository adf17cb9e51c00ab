// The title scanner: lists a disc's titles with their sizes and the audio
// streams each carries, and records every selectable PCM or AC3 line.
#pragma once

#include <cstdint>

constexpr int TITLE_LIST_SLOTS = 32;

struct TitleListEntry {
  int32_t line;         // index of the stream line in the title list
  int32_t title;        // 0..99
  int32_t sizeMB;       // as shown on the title line
  int32_t streamKind;   // STREAM_KIND_PCM or STREAM_KIND_AC3
  uint8_t subStreamId;  // 0xA0 + n (PCM #n) or 0x80 + n (AC3 #n)
};

extern TitleListEntry TitleList[TITLE_LIST_SLOTS];
extern int32_t TitleListCount;

// Thread procedure of a scan of the selected drive. Reports through the UI
// port and ends with Ui().WorkerDone(). Returns 0.
int ScanWorker();

// Set when the last scan met a failure (the summary message's condition).
bool ScanFailed();
