#include "app/extract_flow.h"

#include <cstring>

#include "app/disc_catalog.h"
#include "app/disc_title_batch.h"
#include "app/extraction_batch.h"
#include "app/job_check.h"
#include "app/job_selection.h"
#include "app/stream_selection.h"
#include "extract/extraction_driver.h"
#include "extract/extraction_request.h"
#include "extract/title_selection.h"
#include "platform/drives.h"
#include "platform/ui_port.h"
#include "report/messages.h"
#include "report/string_table.h"
#include "source/title_scanner.h"

namespace {

// Asks for the output file until one that is none of the disc's own files
// is named; false when the user cancels. The name goes into TitleSelection.
bool AskOutputPath(const ExtractQuestions& questions) {
  std::string path;
  for (;;) {
    std::optional<std::string> chosen = questions.outputFile(TitleSelection.outputPath);
    if (!chosen) return false;
    path = *chosen;
    // A name that does not fit the output name buffer fails like a cancel,
    // rather than being cut to another file's name.
    if (path.empty() || path.size() >= OUTPUT_PATH_SIZE) return false;
    // Writing over one of the disc's own files would destroy the input:
    // the user is told and asked again.
    if (!OutputIsSourceFile(path.c_str())) break;
    ShowError(IDS_OUTPUT_IS_INPUT);
  }
  std::memset(TitleSelection.outputPath, 0, sizeof TitleSelection.outputPath);
  std::memcpy(TitleSelection.outputPath, path.data(), path.size());
  return true;
}

void RunBatch(const ExtractQuestions& questions) {
  Batch.options = BatchOptions{};  // its Stop keeps the "done!" box of a single title
  questions.runExtraction();
}

void ExtractNarrowed(const DiscTitleChoice& part, ExtractionJob job, const ExtractQuestions& questions) {
  if (part.discTitle > 0) {
    std::string error;
    const DiscTitle* title = FindDiscTitle(TitleScanner.disc, part.discTitle, error);
    if (title == nullptr ||
        !NarrowToDiscTitle(*title, part.firstChapter, part.lastChapter, part.angle, error)) {
      Ui().ShowBox(error, BoxKind::Error);
      return;
    }
  }
  // An output that could not be created (a missing folder, no permission)
  // is asked for again, as one over the disc's own files is.
  do {
    if (!AskOutputPath(questions)) return;
    job.title = TitleSelection.title;
    job.discTitle = part.discTitle;
    job.firstChapter = part.firstChapter;
    job.lastChapter = part.lastChapter;
    job.angle = part.angle;
    job.output = TitleSelection.outputPath;
    // The subtitles ticked are written as a VobSub pair beside the file.
    job.subtitles.clear();
    for (int logical : part.subtitles) job.subtitles.push_back(SubtitleChoice{SubtitlePick::Stream, logical, {}});
    job.checked = true;  // the streams were chosen from the title's own list
    Batch.jobs = {job};
    RunBatch(questions);
  } while (TakeExtractionOutputNotCreated());
}

void ExtractAllDiscTitles(const ExtractionJob& chosen, const ExtractQuestions& questions) {
  // Every disc title with the audio stream chosen; a title without it is
  // skipped with a message, and one summary ends the batch.
  std::optional<std::string> folder = questions.folder();
  if (!folder || SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return;
  const std::string base = DiscFileBaseName(DriveList[SelectedDrive]);
  Batch.jobs.clear();
  for (const DiscTitle& title : TitleScanner.disc.titles) {
    ExtractionJob job = chosen;
    job.discTitle = title.number;
    job.checked = false;  // each title is checked for the streams chosen
    job.tracks.clear();
    job.output = BatchOutputFile(*folder, base, title.number);
    Batch.jobs.push_back(job);
  }
  RunBatch(questions);
}

}  // namespace

void RunExtractCommand(ExtractionJob job, const ExtractQuestions& questions) {
  job.output = TitleSelection.outputPath;
  const JobCheck check = CheckJob(CatalogFromScan(), job);
  if (check.Refused()) return;
  if (!SelectCheckedJob(job, check)) {
    Ui().ShowBox("The output's name is too long, or more than eight tracks are to be re-encoded.", BoxKind::Error);
    return;
  }
  job.tracks = check.tracks;
  // DTS and MPEG audio chosen with the box clear are kept: the user is told so.
  const std::string kept = UndecodableKeptNote(job);
  if (!kept.empty()) Ui().ShowBox(kept, BoxKind::Information);
  // The extraction may be narrowed to one of the disc's own titles; the
  // listed title and size come back once it has run.
  const int32_t listedTitle = TitleSelection.title;
  const int32_t listedSize = TitleSelection.sizeMB;
  const std::vector<const DiscTitle*> discTitles = DiscTitlesOfSet(TitleScanner.disc, listedTitle);
  std::optional<DiscTitleChoice> part = DiscTitleChoice{};
  if (!discTitles.empty()) part = questions.discTitle(discTitles);
  if (!part) return;
  if (part->allDiscTitles)
    ExtractAllDiscTitles(job, questions);
  else
    ExtractNarrowed(*part, job, questions);
  ClearDiscTitleNarrowing();
  TitleSelection.title = listedTitle;
  TitleSelection.sizeMB = listedSize;
}
