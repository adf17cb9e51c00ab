// Checks of an extraction request against the title, made before anything
// is opened for writing: an output that is one of the title's own files
// would destroy the input, and a request for a title or stream the disc does
// not have would leave a half-made file behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when path names one of the VOB files of the title on the selected
// drive: the same device and inode once symlinks, hard links and ".." are
// resolved. A path that does not exist yet names no input.
bool OutputIsTitleFile(const char* path, int32_t title);

// The titles of the selected drive, as the scan lists them.
std::vector<int32_t> ListedTitles();

// An audio stream the scan lists as selectable for a title.
struct OfferedStream {
  int32_t streamKind;   // STREAM_KIND_PCM or STREAM_KIND_AC3
  uint8_t subStreamId;  // 0xA0 + n (PCM #n) or 0x80 + n (AC3 #n)
};

// The selectable audio streams of the title, found by the walk of its
// beginning that the scan makes; empty for a missing title.
std::vector<OfferedStream> OfferedStreams(int32_t title);
