// Checks of an extraction request against the title, made before anything
// is opened for writing: an output that is one of the title's own files
// would destroy the input, and a request for a title or stream the disc does
// not have would leave a half-made file behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when path names a file of the source on the selected drive: any VOB,
// IFO or BUP file of its VIDEO_TS folder, the image file or the device. The
// same file is found through symlinks, hard links and "..". A path that does
// not exist yet names one of them when it lies in the VIDEO_TS folder under
// a disc file's name in another case (the reader could take it for that
// file).
bool OutputIsSourceFile(const char* path);

// The titles of the selected drive, as the scan lists them: every title
// present from 0 to 99.
std::vector<int32_t> ListedTitles();

// An audio stream the scan lists as selectable for a title.
struct OfferedStream {
  int32_t streamKind;   // STREAM_KIND_PCM or STREAM_KIND_AC3
  uint8_t subStreamId;  // 0xA0 + n (PCM #n) or 0x80 + n (AC3 #n)
};

// The selectable audio streams of the title, found by the walk of its
// beginning that the scan makes; empty for a missing title.
std::vector<OfferedStream> OfferedStreams(int32_t title);
