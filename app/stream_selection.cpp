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

const ScannedStream* FindUndecodableStream(int line, const ScannedTitle** title) {
  if (line < 0) return nullptr;
  for (const ScannedTitle& scanned : TitleScanner.titles) {
    for (const ScannedStream& stream : scanned.streams) {
      if (stream.line != line || (stream.kind != "DTS" && stream.kind != "MPEG")) continue;
      if (title != nullptr) *title = &scanned;
      return &stream;
    }
  }
  return nullptr;
}

ExtractionJob JobOfSelectedLines(const std::vector<int>& lines, bool keepAudio, bool dynamicCompression) {
  ExtractionJob job;
  job.keepAudio = keepAudio;
  job.dynamicCompression = dynamicCompression;
  for (int line : lines) {
    AudioChoice choice;
    int title = -1;
    const ScannedTitle* scanned = nullptr;
    if (const TitleListEntry* entry = FindTitleListEntry(line)) {
      title = entry->title;
      const bool pcm = entry->streamKind == STREAM_KIND_PCM;
      choice.format = pcm ? AudioFormat::Pcm : AudioFormat::Ac3;
      choice.index = entry->subStreamId - DiscStreamId(choice.format, 0);
    } else if (const ScannedStream* stream = FindUndecodableStream(line, &scanned)) {
      title = scanned->title;
      choice.format = stream->kind == "DTS" ? AudioFormat::Dts : AudioFormat::Mpeg;
      choice.index = stream->index;
      choice.mode = AudioMode::Copy;  // nothing here decodes it
    }
    if (title < 0 || (job.title >= 0 && title != job.title)) continue;
    job.title = title;
    job.audio.push_back(choice);
  }
  return job;
}

ExtractionControls SelectionUpdateLines(const std::vector<int>& lines, bool keepAudio) {
  ExtractionControls controls;
  for (int line : lines) {
    const TitleListEntry* entry = FindTitleListEntry(line);
    const ScannedTitle* scanned = nullptr;
    if (entry == nullptr) {
      if (FindUndecodableStream(line, &scanned) == nullptr) continue;
      if (!controls.extractEnabled) {
        TitleSelection.title = scanned->title;
        TitleSelection.sizeMB = scanned->sizeMB;
      }
      controls.extractEnabled = true;
      continue;
    }
    if (!controls.extractEnabled) SelectionUpdate(line);
    controls.extractEnabled = true;
    controls.compressionEnabled = controls.compressionEnabled || (entry->streamKind == STREAM_KIND_AC3 && !keepAudio);
  }
  return controls;
}

std::string UndecodableKeptNote(const ExtractionJob& job) {
  std::string note;
  if (job.keepAudio) return note;
  for (const AudioChoice& choice : job.audio) {
    if (choice.pick != AudioPick::Stream || (choice.format != AudioFormat::Dts && choice.format != AudioFormat::Mpeg))
      continue;
    if (!note.empty()) note += '\r';
    note += StreamName(choice.format, choice.index);
    note += " is kept as it is: VOLTARK has no decoder for it.";
  }
  return note;
}
