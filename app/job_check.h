// The check of a request against what the disc holds, made before anything
// is opened: a pure function of the catalog and the job. It resolves the
// audio choices into output tracks and returns coded problems that each
// front end words in its own way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/disc_catalog.h"
#include "app/extraction_job.h"

enum class JobProblemCode : uint8_t {
  NoTitle,        // subject: the title number; offered: the titles
  NoAudio,        // no audio track asked
  NoStream,       // subject: the stream name; offered: the title's streams
  NoLanguage,     // subject: the language code; offered: the title's streams
  NoDecoder,      // subject: the stream name asked with =mp2 (DTS, MPEG audio)
  KeptUndecodable,// not an error: subject: a stream taken by a language or all, kept as it is
  TooManyTracks,  // subject: the format key; more than a kind of output can number
};

struct JobProblem {
  JobProblemCode code;
  std::string subject;
  std::string offered;  // "ac3:0 (en), pcm:0" or "0, 1, 2"
  bool usageError() const { return code != JobProblemCode::KeptUndecodable; }
};

struct JobCheck {
  int title = -1;  // the title (set) the job reads
  std::vector<OutputTrack> tracks;
  std::vector<JobProblem> problems;
  bool Refused() const;
};

// The catalog title the job reads is job.title, or for a disc title the
// title set given in titleSet (its languages then come from that disc
// title's IFO audio list).
JobCheck CheckJob(const DiscCatalog& catalog, const ExtractionJob& job);

// The catalog of one title, as the command line and a batch job check it:
// the streams the walk of its beginning meets (as the scan lists them),
// named by the IFO files.
DiscCatalog CatalogOfTitle(int title, uint32_t sizeMB, const DiscTitleTable& disc);

// "ac3:0 (en)", "pcm:0": the name and, where the IFO files give one, the language.
std::string OfferedName(const CatalogStream& stream);

// A stream as a reader names it: "0xC0", or "0xBD/0x80" for a sub-stream
// of private stream 1.
std::string StreamIdText(bool privateStream, unsigned id);
// The output stream id of a track as players and ffprobe name it:
// "0xBD/0x80" for a private stream 1 sub-stream, "0xC0" for MPEG audio.
std::string OutputStreamId(const OutputTrack& track);

// One line per output track, what a player shows as its audio streams:
// "stream 0xBD/0x80: en, AC3 as on the disc (ac3:0)",
// "stream 0xC0: fr, MPEG-1 Layer II from AC3 (ac3:1)".
std::vector<std::string> TrackMapLines(const std::vector<OutputTrack>& tracks);
