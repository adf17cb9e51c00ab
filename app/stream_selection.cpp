#include "app/stream_selection.h"

#include "extract/title_selection.h"

const TitleListEntry* FindTitleListEntry(int line) {
  if (line < 0) return nullptr;
  // The count is the scanner's; never trust it beyond the table.
  int count = TitleListCount < TITLE_LIST_SLOTS ? TitleListCount : TITLE_LIST_SLOTS;
  for (int i = 0; i < count; ++i) {
    if (TitleList[i].line == line) return &TitleList[i];
  }
  return nullptr;
}

ExtractionControls SelectionUpdate(int line) {
  const TitleListEntry* entry = FindTitleListEntry(line);
  if (entry == nullptr) return {};
  TitleSelection.title = entry->title;
  TitleSelection.sizeMB = entry->sizeMB;
  TitleSelection.subStreamId = entry->subStreamId;
  TitleSelection.streamKind = entry->streamKind;
  return {true, entry->streamKind == STREAM_KIND_AC3};
}

ExtractionJob JobOfSelectedLines(const std::vector<int>& lines, bool keepAudio, bool dynamicCompression) {
  ExtractionJob job;
  job.keepAudio = keepAudio;
  job.dynamicCompression = dynamicCompression;
  for (int line : lines) {
    const TitleListEntry* entry = FindTitleListEntry(line);
    if (entry == nullptr || (job.title >= 0 && entry->title != job.title)) continue;
    job.title = entry->title;
    AudioChoice choice;
    const bool pcm = entry->streamKind == STREAM_KIND_PCM;
    choice.format = pcm ? AudioFormat::Pcm : AudioFormat::Ac3;
    choice.index = entry->subStreamId - DiscStreamId(choice.format, 0);
    job.audio.push_back(choice);
  }
  return job;
}

ExtractionControls SelectionUpdateLines(const std::vector<int>& lines, bool keepAudio) {
  ExtractionControls controls;
  for (int line : lines) {
    const TitleListEntry* entry = FindTitleListEntry(line);
    if (entry == nullptr) continue;
    if (!controls.extractEnabled) SelectionUpdate(line);
    controls.extractEnabled = true;
    controls.compressionEnabled = controls.compressionEnabled || (entry->streamKind == STREAM_KIND_AC3 && !keepAudio);
  }
  return controls;
}
