#include "app/job_selection.h"

#include <cstring>

#include "extract/kept_audio.h"
#include "extract/title_selection.h"

namespace {

KeptFormat KeptFormatOf(AudioFormat format) {
  switch (format) {
    case AudioFormat::Ac3: return KeptFormat::Ac3;
    case AudioFormat::Dts: return KeptFormat::Dts;
    case AudioFormat::Pcm: return KeptFormat::Lpcm;
    case AudioFormat::Mpeg: break;
  }
  return KeptFormat::Mpeg;
}

}  // namespace

bool WorkerWritesTracks(const JobCheck& check) {
  int reencoded = 0;
  for (const OutputTrack& track : check.tracks) reencoded += track.copy ? 0 : 1;
  return !check.tracks.empty() && reencoded <= 1 + MORE_REENCODED_TRACKS;
}

bool SelectCheckedJob(const ExtractionJob& job, const JobCheck& check) {
  if (!WorkerWritesTracks(check) || job.output.size() >= OUTPUT_PATH_SIZE) return false;
  TitleSelection.title = check.title;
  TitleSelection.subStreamId = 0;
  TitleSelection.moreTrackCount = 0;
  KeptAudio.requests.clear();
  for (size_t i = 0; i < check.tracks.size(); ++i) {
    const OutputTrack& track = check.tracks[i];
    const auto rank = static_cast<uint32_t>(i + 1);  // the video comes first
    if (track.copy) {
      KeptAudio.requests.push_back({KeptFormatOf(track.stream.format), track.stream.discId, track.outputId, rank});
      continue;
    }
    const int32_t kind = track.stream.format == AudioFormat::Pcm ? STREAM_KIND_PCM : STREAM_KIND_AC3;
    if (TitleSelection.subStreamId != 0) {
      // A further re-encoded track: compression only where AC-3 is decoded.
      ReencodedChoice& more = TitleSelection.moreTracks[TitleSelection.moreTrackCount++];
      more = ReencodedChoice{kind, track.stream.discId, track.outputId, rank,
                             track.stream.format == AudioFormat::Ac3 && track.dynamicCompression};
      continue;
    }
    TitleSelection.streamKind = kind;
    TitleSelection.subStreamId = track.stream.discId;
    TitleSelection.layer2StreamId = track.outputId;
    TitleSelection.layer2Rank = rank;
    // The flag is the AC-3 decoder's; a PCM choice leaves it as it was.
    if (track.stream.format == AudioFormat::Ac3) TitleSelection.dynamicCompression = track.dynamicCompression;
  }
  std::memset(TitleSelection.outputPath, 0, sizeof TitleSelection.outputPath);
  std::memcpy(TitleSelection.outputPath, job.output.data(), job.output.size());
  return true;
}
