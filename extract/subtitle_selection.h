// The sub-picture streams an extraction keeps, written by the front end and
// read by the extraction worker: the VobSub pair (NAME.idx, NAME.sub)
// beside the output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int VOBSUB_PALETTE_COLOURS = 16;

struct SubtitleStream {
  uint8_t subStreamId = 0;  // on the disc: 0x20 + physical stream
  std::string language;     // ISO 639-1; empty when the disc names none
};

struct SubtitleSelectionRecord {
  std::vector<SubtitleStream> streams;  // in the order asked; empty: none kept
  bool subsOnly = false;                // only the pair is written, no program stream
  bool hasPalette = false;
  uint32_t palette[VOBSUB_PALETTE_COLOURS] = {};  // 0xRRGGBB
  int width = 0;   // from the disc's video attributes; 0: the picture's own
  int height = 0;
  std::string idxPath;
  std::string subPath;
};

extern SubtitleSelectionRecord SubtitleSelection;

// NAME.idx and NAME.sub beside the output NAME.mpg (the output's extension
// replaced; added when it has none).
std::string VobSubPath(const std::string& output, const char* extension);
