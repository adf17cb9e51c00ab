// What a scan found, as a model rather than list lines: each title with its
// audio streams (ids, formats, languages from the IFO files) and the disc's
// own titles. The title list is one rendering of it; a request is checked
// against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/audio_choice.h"
#include "source/disc_titles.h"

struct CatalogStream {
  AudioFormat format = AudioFormat::Ac3;
  int index = 0;           // the K of "ac3:K"
  uint8_t discId = 0;      // sub-stream id, or the MPEG audio stream id
  std::string language;    // ISO 639-1 from the IFO files; empty when none is given
};

struct CatalogTitle {
  int title = 0;
  int sizeMB = 0;
  // The streams the title carries, in the IFO files' order where they list
  // them, the others after these by id.
  std::vector<CatalogStream> streams;
};

struct DiscCatalog {
  std::vector<CatalogTitle> titles;
  DiscTitleTable disc;
};

// A stream met by the walk of a title: its format and K.
struct SeenStream {
  AudioFormat format;
  int index;
};

// The title's catalog entry from the streams met, ordered and named by the
// IFO audio list that applies (empty without IFO files).
CatalogTitle CatalogTitleOf(int title, int sizeMB, const std::vector<SeenStream>& seen,
                            const std::vector<DiscAudio>& ifoAudio);

// The IFO audio list of a title set: that of its first disc title.
std::vector<DiscAudio> TitleSetAudio(const DiscTitleTable& disc, int titleSet);

// The catalog of the last full scan (TitleScanner).
DiscCatalog CatalogFromScan();

// The streams met by the last walk of one title (TitleScanner's seen flags).
std::vector<SeenStream> StreamsSeenByLastWalk();

// The IFO language of a title's stream listed as kind ("AC3") and index;
// empty when the IFO files name none.
std::string StreamLanguage(const DiscCatalog& catalog, int title, const std::string& kind, int index);

// "AC3", "en AC3", as the stream is shown beside its id.
std::string StreamDescription(const CatalogStream& stream);
