#include "app/job_check.h"

#include <cstdio>

#include "source/title_scanner.h"

namespace {

// Kept private stream 1 outputs are numbered within their kind (8 each);
// MPEG audio, kept or re-encoded, shares 0xC0.. (MAX_MPEG_OUTPUTS).
constexpr int MAX_PRIVATE_OUTPUTS = 8;
constexpr int MAX_MPEG_OUTPUTS = 8;

const CatalogTitle* FindTitle(const DiscCatalog& catalog, int title) {
  for (const CatalogTitle& entry : catalog.titles)
    if (entry.title == title) return &entry;
  return nullptr;
}

const DiscTitle* FindDisc(const DiscCatalog& catalog, int number) {
  for (const DiscTitle& title : catalog.disc.titles)
    if (title.number == number) return &title;
  return nullptr;
}

std::string OfferedStreams(const CatalogTitle& title) {
  std::string list;
  for (const CatalogStream& stream : title.streams) list += (list.empty() ? "" : ", ") + OfferedName(stream);
  return list.empty() ? "none" : list;
}

std::string OfferedTitles(const DiscCatalog& catalog) {
  std::string list;
  for (const CatalogTitle& title : catalog.titles) list += (list.empty() ? "" : ", ") + std::to_string(title.title);
  return list.empty() ? "none" : list;
}

bool Decodable(AudioFormat format) { return format == AudioFormat::Ac3 || format == AudioFormat::Pcm; }

// A stream named by a language or all: its mode, or copy where there is no
// decoder (said once per stream).
void AddPicked(JobCheck& check, const CatalogStream& stream, bool copy) {
  if (!copy && !Decodable(stream.format)) {
    check.problems.push_back({JobProblemCode::KeptUndecodable, OfferedName(stream), {}});
    copy = true;
  }
  OutputTrack track;
  track.stream = stream;
  track.copy = copy;
  check.tracks.push_back(track);
}

bool SameTrack(const OutputTrack& a, const OutputTrack& b) {
  return a.stream.discId == b.stream.discId && a.copy == b.copy;
}

// A stream asked twice the same way (by name and by its language, say) is
// written once, where it was first asked.
void DropRepeats(std::vector<OutputTrack>& tracks) {
  std::vector<OutputTrack> kept;
  for (const OutputTrack& track : tracks) {
    bool seen = false;
    for (const OutputTrack& earlier : kept) seen = seen || SameTrack(earlier, track);
    if (!seen) kept.push_back(track);
  }
  tracks.swap(kept);
}

void Resolve(JobCheck& check, const CatalogTitle& title, const ExtractionJob& job) {
  for (const AudioChoice& choice : job.audio) {
    const bool copy = choice.mode == AudioMode::Copy || (choice.mode == AudioMode::Default && job.keepAudio);
    if (choice.pick == AudioPick::All) {
      for (const CatalogStream& stream : title.streams) AddPicked(check, stream, copy);
      continue;
    }
    // A stream without decoder asked to be re-encoded is refused as such,
    // whether the title has it or not.
    if (choice.pick == AudioPick::Stream && !copy && !Decodable(choice.format)) {
      check.problems.push_back({JobProblemCode::NoDecoder, StreamName(choice.format, choice.index), {}});
      continue;
    }
    bool found = false;
    for (const CatalogStream& stream : title.streams) {
      if (choice.pick == AudioPick::Language) {
        if (stream.language != choice.language) continue;
        AddPicked(check, stream, copy);
        found = true;
      } else if (stream.format == choice.format && stream.index == choice.index) {
        found = true;
        OutputTrack track;
        track.stream = stream;
        track.copy = copy;
        check.tracks.push_back(track);
        break;
      }
    }
    if (!found) {
      const bool language = choice.pick == AudioPick::Language;
      check.problems.push_back({language ? JobProblemCode::NoLanguage : JobProblemCode::NoStream,
                                language ? choice.language : StreamName(choice.format, choice.index),
                                OfferedStreams(title)});
    }
  }
}

// Output ids in the order asked, within each kind; MPEG audio kept and
// Layer II made share one numbering.
void NumberOutputs(JobCheck& check, bool dynamicCompression) {
  int next[4] = {};  // AC-3, LPCM, DTS, MPEG audio
  for (OutputTrack& track : check.tracks) {
    const AudioFormat kind = track.copy ? track.stream.format : AudioFormat::Mpeg;
    const int k = next[static_cast<int>(kind)]++;
    const int limit = kind == AudioFormat::Mpeg ? MAX_MPEG_OUTPUTS : MAX_PRIVATE_OUTPUTS;
    if (k == limit) check.problems.push_back({JobProblemCode::TooManyTracks, FormatKey(kind), {}});
    track.outputId = DiscStreamId(kind, k < limit ? k : 0);
    track.dynamicCompression = dynamicCompression && !track.copy && track.stream.format == AudioFormat::Ac3;
  }
}

}  // namespace

bool JobCheck::Refused() const {
  for (const JobProblem& problem : problems)
    if (problem.usageError()) return true;
  return false;
}

std::string OfferedName(const CatalogStream& stream) {
  const std::string name = StreamName(stream.format, stream.index);
  return stream.language.empty() ? name : name + " (" + stream.language + ")";
}

JobCheck CheckJob(const DiscCatalog& catalog, const ExtractionJob& job) {
  JobCheck check;
  check.title = job.title;
  const DiscTitle* disc = job.discTitle > 0 ? FindDisc(catalog, job.discTitle) : nullptr;
  if (disc != nullptr) check.title = disc->titleSet;
  const CatalogTitle* found = FindTitle(catalog, check.title);
  if (found == nullptr) {
    check.problems.push_back({JobProblemCode::NoTitle, std::to_string(check.title), OfferedTitles(catalog)});
    return check;
  }
  if (job.audio.empty()) {
    check.problems.push_back({JobProblemCode::NoAudio, {}, OfferedStreams(*found)});
    return check;
  }
  CatalogTitle title = *found;
  // A disc title names its own languages, and its own order for all.
  if (disc != nullptr) {
    std::vector<SeenStream> seen;
    for (const CatalogStream& stream : found->streams) seen.push_back({stream.format, stream.index});
    title = CatalogTitleOf(found->title, found->sizeMB, seen, disc->audio);
  }
  Resolve(check, title, job);
  DropRepeats(check.tracks);
  NumberOutputs(check, job.dynamicCompression);
  return check;
}

std::string StreamIdText(bool privateStream, unsigned id) {
  // Private stream 1 sub-streams are named with their stream id.
  char text[16];
  std::snprintf(text, sizeof text, privateStream ? "0xBD/0x%02X" : "0x%02X", id);
  return text;
}

std::string OutputStreamId(const OutputTrack& track) {
  return StreamIdText(track.copy && track.stream.format != AudioFormat::Mpeg, track.outputId);
}

std::vector<std::string> TrackMapLines(const std::vector<OutputTrack>& tracks) {
  std::vector<std::string> lines;
  for (const OutputTrack& track : tracks) {
    const std::string id = OutputStreamId(track);
    const std::string language = track.stream.language.empty() ? "--" : track.stream.language;
    const std::string name = StreamName(track.stream.format, track.stream.index);
    const std::string what = track.copy ? std::string(FormatLabel(track.stream.format)) + " as on the disc"
                                        : std::string("MPEG-1 Layer II from ") + FormatLabel(track.stream.format);
    lines.push_back(std::string("stream ") + id + ": " + language + ", " + what + " (" + name + ")");
  }
  return lines;
}

DiscCatalog CatalogOfTitle(int title, uint32_t sizeMB, const DiscTitleTable& disc) {
  ScanTitleStreams(title, sizeMB);  // a failed walk still lists what it met
  DiscCatalog catalog;
  catalog.disc = disc;
  catalog.titles.push_back(
      CatalogTitleOf(title, static_cast<int>(sizeMB), StreamsSeenByLastWalk(), TitleSetAudio(disc, title)));
  return catalog;
}
