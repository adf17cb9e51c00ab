// One extraction request, the same for every front end and for each job of
// a batch: what to read, which audio tracks to write and how, and where. A
// value; nothing global.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/audio_choice.h"
#include "app/disc_catalog.h"
#include "app/subtitle_choice.h"

// One track of the output, in the order asked.
struct OutputTrack {
  CatalogStream stream;
  bool copy = false;                // kept as the disc has it; else Layer II
  bool dynamicCompression = false;  // decoded AC-3 only
  uint8_t outputId = 0;  // private stream 1 sub-stream (kept AC-3/DTS/LPCM), else the MPEG audio stream id
};

struct ExtractionJob {
  std::string source;     // folder, image or device, as the user named it (UTF-8)
  int32_t title = -1;     // a title of the list (title set); ignored when a disc title is asked
  int discTitle = 0;      // one of the disc's own titles (1-based); 0 when a title is asked
  int firstChapter = 1;   // of the disc title
  int lastChapter = 0;    // 0: to its last
  int angle = 1;          // in angle blocks (1-based)
  std::vector<AudioChoice> audio;  // in output order
  bool keepAudio = false;          // AudioMode::Default means copy, not re-encode
  bool dynamicCompression = false; // for decoded AC-3 tracks
  std::string output;              // the file to write (UTF-8)
  std::vector<SubtitleChoice> subtitles;  // kept as a VobSub pair beside the output
  bool subsOnly = false;                   // only the pair is written
  // The front end has already checked the job against the title (and said
  // what it lacks in its own words): tracks holds what the check resolved.
  bool checked = false;
  std::vector<OutputTrack> tracks;
};
