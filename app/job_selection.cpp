#include "app/job_selection.h"

#include <cstring>

#include "extract/title_selection.h"

bool WorkerWritesTracks(const JobCheck& check) {
  return check.tracks.size() == 1 && !check.tracks[0].copy &&
         (check.tracks[0].stream.format == AudioFormat::Ac3 || check.tracks[0].stream.format == AudioFormat::Pcm);
}

bool SelectCheckedJob(const ExtractionJob& job, const JobCheck& check) {
  if (!WorkerWritesTracks(check) || job.output.size() >= OUTPUT_PATH_SIZE) return false;
  const OutputTrack& track = check.tracks[0];
  TitleSelection.title = check.title;
  TitleSelection.streamKind = track.stream.format == AudioFormat::Pcm ? STREAM_KIND_PCM : STREAM_KIND_AC3;
  TitleSelection.subStreamId = track.stream.discId;
  // The flag is the AC-3 decoder's; a PCM choice leaves it as it was.
  if (track.stream.format == AudioFormat::Ac3) TitleSelection.dynamicCompression = track.dynamicCompression;
  std::memset(TitleSelection.outputPath, 0, sizeof TitleSelection.outputPath);
  std::memcpy(TitleSelection.outputPath, job.output.data(), job.output.size());
  return true;
}
