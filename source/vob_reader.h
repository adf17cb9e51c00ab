// The VOB file set reader: the VOB files of one title presented as one
// continuous stream of records through a sliding read-only mapped view.
//
// At most VOB_VIEW_SIZE bytes are mapped; the view slides by VOB_VIEW_STEP.
// While every advance is at most 0x10000 bytes, the 0x10000 bytes from
// `current` on (or the rest of the part) lie inside the view.
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t VOB_VIEW_SIZE = 0x20000;
constexpr uint32_t VOB_VIEW_STEP = 0x10000;
constexpr uint32_t PACK_SIZE = 2048;

struct VobReaderState {
  int32_t title = 0;              // 0..99
  int32_t part = 1;               // n of VTS_tt_n.VOB, from 1
  std::string root;               // folder that holds VIDEO_TS, taken at each open
  int fd = -1;                    // open part
  uint32_t fileSize = 0;          // size of the part open or last probed
  const uint8_t* viewBase = nullptr;
  uint32_t viewLength = 0;
  uint32_t viewOffset = 0;        // multiple of VOB_VIEW_STEP
  uint32_t posInView = 0;
  const uint8_t* current = nullptr;
  bool closed = true;
};

extern VobReaderState VobReader;
