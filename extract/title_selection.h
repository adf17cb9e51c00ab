// The user's current choice of title and audio stream, written by the front
// end (main window or command line) and read by the extraction worker.
#pragma once

#include <cstdint>

#include "source/stream_kind.h"

constexpr int OUTPUT_PATH_SIZE = 256;
constexpr int MORE_REENCODED_TRACKS = 7;  // after the first: eight in all

// A further track to decode and re-encode, as the first one is given below.
struct ReencodedChoice {
  int32_t streamKind = 0;
  uint8_t subStreamId = 0;
  uint8_t layer2StreamId = 0xC0;
  uint32_t layer2Rank = 1;
  bool dynamicCompression = false;
};

struct TitleSelectionRecord {
  int32_t title = 0;         // 0..99
  int32_t sizeMB = 0;        // as listed; progress is computed against it
  int32_t streamKind = 0;    // STREAM_KIND_PCM or STREAM_KIND_AC3
  uint8_t subStreamId = 0;   // 0xA0 + n for PCM #n, 0x80 + n for AC3 #n; 0: none is re-encoded
  uint8_t layer2StreamId = 0xC0;  // its output stream
  uint32_t layer2Rank = 1;        // its place in the output order (the video is 0)
  bool dynamicCompression = false;
  // The tracks re-encoded after that one, in the order asked.
  ReencodedChoice moreTracks[MORE_REENCODED_TRACKS] = {};
  uint32_t moreTrackCount = 0;
  char outputPath[OUTPUT_PATH_SIZE] = {};
};

extern TitleSelectionRecord TitleSelection;
