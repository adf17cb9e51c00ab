#include "app/disc_catalog.h"

#include <algorithm>

#include "source/title_scanner.h"

namespace {

const DiscAudio* FindIfoAudio(const std::vector<DiscAudio>& ifoAudio, uint8_t discId) {
  for (const DiscAudio& audio : ifoAudio)
    if (audio.subStreamId == discId) return &audio;
  return nullptr;
}

// Where the IFO list puts a stream; streams it does not list come after.
size_t IfoRank(const std::vector<DiscAudio>& ifoAudio, uint8_t discId) {
  for (size_t i = 0; i < ifoAudio.size(); ++i)
    if (ifoAudio[i].subStreamId == discId) return i;
  return ifoAudio.size() + discId;
}

bool FormatOfKind(const std::string& kind, AudioFormat& format) {
  if (kind == "AC3") format = AudioFormat::Ac3;
  else if (kind == "PCM") format = AudioFormat::Pcm;
  else if (kind == "DTS") format = AudioFormat::Dts;
  else if (kind == "MPEG") format = AudioFormat::Mpeg;
  else return false;
  return true;
}

}  // namespace

CatalogTitle CatalogTitleOf(int title, int sizeMB, const std::vector<SeenStream>& seen,
                            const std::vector<DiscAudio>& ifoAudio) {
  CatalogTitle entry{title, sizeMB, {}};
  for (const SeenStream& stream : seen) {
    CatalogStream item{stream.format, stream.index, DiscStreamId(stream.format, stream.index), {}};
    if (const DiscAudio* audio = FindIfoAudio(ifoAudio, item.discId)) item.language = audio->language;
    entry.streams.push_back(item);
  }
  std::stable_sort(entry.streams.begin(), entry.streams.end(), [&](const CatalogStream& a, const CatalogStream& b) {
    return IfoRank(ifoAudio, a.discId) < IfoRank(ifoAudio, b.discId);
  });
  return entry;
}

std::vector<DiscAudio> TitleSetAudio(const DiscTitleTable& disc, int titleSet) {
  for (const DiscTitle& title : disc.titles)
    if (title.titleSet == titleSet) return title.audio;
  return {};
}

DiscCatalog CatalogFromScan() {
  DiscCatalog catalog;
  catalog.disc = TitleScanner.disc;
  for (const ScannedTitle& title : TitleScanner.titles) {
    std::vector<SeenStream> seen;
    AudioFormat format;
    for (const ScannedStream& stream : title.streams)
      if (FormatOfKind(stream.kind, format)) seen.push_back({format, stream.index});
    catalog.titles.push_back(
        CatalogTitleOf(title.title, title.sizeMB, seen, TitleSetAudio(TitleScanner.disc, title.title)));
  }
  return catalog;
}

std::vector<SeenStream> StreamsSeenByLastWalk() {
  std::vector<SeenStream> seen;
  for (int n = 0; n < MPEG_STREAM_SLOTS; ++n)
    if (TitleScanner.mpegSeen[n]) seen.push_back({AudioFormat::Mpeg, n});
  for (int n = 0; n < PCM_STREAM_SLOTS && n <= MaxStreamIndex(AudioFormat::Pcm); ++n)
    if (TitleScanner.pcmSeen[n]) seen.push_back({AudioFormat::Pcm, n});
  for (int n = 0; n < AC3_STREAM_SLOTS && n <= MaxStreamIndex(AudioFormat::Ac3); ++n)
    if (TitleScanner.ac3Seen[n]) seen.push_back({AudioFormat::Ac3, n});
  for (int n = 0; n < DTS_STREAM_SLOTS; ++n)
    if (TitleScanner.dtsSeen[n]) seen.push_back({AudioFormat::Dts, n});
  return seen;
}

std::string StreamDescription(const CatalogStream& stream) {
  return (stream.language.empty() ? "" : stream.language + " ") + FormatLabel(stream.format);
}

std::string StreamLanguage(const DiscCatalog& catalog, int title, const std::string& kind, int index) {
  AudioFormat format;
  if (!FormatOfKind(kind, format)) return {};
  for (const CatalogTitle& entry : catalog.titles) {
    if (entry.title != title) continue;
    for (const CatalogStream& stream : entry.streams)
      if (stream.format == format && stream.index == index) return stream.language;
  }
  return {};
}
