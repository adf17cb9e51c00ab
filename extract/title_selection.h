// The user's current choice of title and audio stream, written by the front
// end (main window or command line) and read by the extraction worker.
#pragma once

#include <cstdint>

#include "source/stream_kind.h"

constexpr int OUTPUT_PATH_SIZE = 256;

struct TitleSelectionRecord {
  int32_t title = 0;         // 0..99
  int32_t sizeMB = 0;        // as listed; progress is computed against it
  int32_t streamKind = 0;    // STREAM_KIND_PCM or STREAM_KIND_AC3
  uint8_t subStreamId = 0;   // 0xA0 + n for PCM #n, 0x80 + n for AC3 #n; 0: none is re-encoded
  uint8_t layer2StreamId = 0xC0;  // its output stream
  uint32_t layer2Rank = 1;        // its place in the output order (the video is 0)
  bool dynamicCompression = false;
  char outputPath[OUTPUT_PATH_SIZE] = {};
};

extern TitleSelectionRecord TitleSelection;
