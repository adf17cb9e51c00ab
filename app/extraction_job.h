// One extraction request, the same for every front end: what to read, which
// audio tracks to write and how, and where. A value; nothing global.
#pragma once

#include <string>
#include <vector>

#include "app/audio_choice.h"

struct ExtractionJob {
  std::string source;     // folder, image or device, as the user named it (UTF-8)
  int title = -1;         // a title of the list (title set); -1 when a disc title is asked
  int discTitle = 0;      // one of the disc's own titles (1-based); 0 when a title is asked
  int firstChapter = 1;   // of the disc title
  int lastChapter = 0;    // 0: to its last
  int angle = 1;          // in angle blocks (1-based)
  std::vector<AudioChoice> audio;  // in output order
  bool keepAudio = false;          // AudioMode::Default means copy, not re-encode
  bool dynamicCompression = false; // for decoded AC-3 tracks
  std::string output;              // the file to write (UTF-8)
};
