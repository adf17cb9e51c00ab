#include "app/extraction_batch.h"

#include <algorithm>
#include <cstdio>

#include "app/batch_ui.h"
#include "app/disc_title_choice.h"
#include "app/job_check.h"
#include "app/job_selection.h"
#include "common/time_values.h"
#include "extract/damage_log.h"
#include "extract/extraction_driver.h"
#include "extract/kept_audio.h"
#include "extract/extraction_request.h"
#include "extract/subtitle_selection.h"
#include "extract/title_selection.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"
#include "platform/ui_port.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "source/disc_titles.h"
#include "source/title_scanner.h"

ExtractionBatchState Batch;

namespace {

constexpr size_t MESSAGE_SIZE = 300;

std::string JobName(const ExtractionJob& job) {
  return job.discTitle > 0 ? "Disc title " + std::to_string(job.discTitle) : "Title " + std::to_string(job.title);
}

bool Refuse(const std::string& message, JobOutcome outcome, JobOutcome& refused) {
  Ui().ShowBox(message, BoxKind::Error);
  refused = outcome;
  return false;
}

// The kept subtitle streams into SubtitleSelection. A title without one of
// them is skipped.
bool PrepareJobSubtitles(const ExtractionJob& job, JobOutcome& refused) {
  std::string error;
  if (job.subtitles.empty()) {
    ClearSubtitles();
    return true;
  }
  const DiscTitleTable table = ReadDiscTitles();
  std::vector<uint8_t> walked;
  if (!table.found) {
    uint32_t sizeMB = 0;
    if (TitleSizeMB(TitleSelection.title, sizeMB)) ScanTitleStreams(TitleSelection.title, sizeMB);
    for (int i = 0; i < SUBPICTURE_STREAM_SLOTS; ++i)
      if (TitleScanner.subpictureSeen[i]) walked.push_back(static_cast<uint8_t>(0x20 + i));
  }
  const DiscTitle* discTitle = nullptr;
  if (job.discTitle > 0) discTitle = FindDiscTitle(table, job.discTitle, error);
  if (!PrepareSubtitles(job.subtitles, job.subsOnly, table, discTitle, job.firstChapter, TitleSelection.title, walked,
                        job.output, error))
    return Refuse(JobName(job) + ": " + error, JobOutcome::Skipped, refused);
  // The pair beside the output is never one of the disc's files either.
  if (OutputIsSourceFile(SubtitleSelection.idxPath.c_str()) || OutputIsSourceFile(SubtitleSelection.subPath.c_str())) {
    ClearSubtitles();
    return Refuse(LoadStringText(IDS_OUTPUT_IS_INPUT), JobOutcome::Failed, refused);
  }
  return true;
}

// The title (or the disc title's cells) into TitleSelection and the
// reader's plan, its audio stream checked unless the front end did. False
// with the reason shown and the outcome in refused.
bool PrepareJob(const ExtractionJob& job, JobOutcome& refused, std::vector<OutputTrack>& tracks) {
  ClearDiscTitleNarrowing();
  if (job.discTitle > 0) {
    std::string error;
    const DiscTitleTable table = ReadDiscTitles();
    const DiscTitle* title = FindDiscTitle(table, job.discTitle, error);
    if (title == nullptr || !NarrowToDiscTitle(*title, job.firstChapter, job.lastChapter, job.angle, error))
      return Refuse(error, JobOutcome::Failed, refused);
  } else {
    uint32_t sizeMB = 0;
    if (!TitleSizeMB(job.title, sizeMB)) return Refuse(LoadStringText(IDS_NO_TITLE), JobOutcome::Skipped, refused);
    TitleSelection.title = job.title;
    TitleSelection.sizeMB = static_cast<int32_t>(sizeMB);
  }
  if (!PrepareJobSubtitles(job, refused)) return false;
  // The tracks: as the front end resolved them, or checked here against
  // the title, which may lack them (the job is then skipped).
  JobCheck check;
  if (job.checked || job.subsOnly) {
    check.title = TitleSelection.title;
    check.tracks = job.tracks;
  } else {
    uint32_t sizeMB = 0;
    TitleSizeMB(TitleSelection.title, sizeMB);
    check = CheckJob(CatalogOfTitle(TitleSelection.title, sizeMB, ReadDiscTitles()), job);
    if (check.Refused() || !WorkerWritesTracks(check)) {
      const std::string selector = FormatAudioChoices(job.audio);
      return Refuse(FormatString(MESSAGE_SIZE, LoadStringText(IDS_BATCH_NO_STREAM).c_str(), JobName(job).c_str(),
                                 selector.c_str()),
                    JobOutcome::Skipped, refused);
    }
  }
  if (!job.subsOnly) tracks = check.tracks;
  if (job.output.empty() || job.output.size() >= OUTPUT_PATH_SIZE)
    return Refuse(job.output + ": the output's name is too long", JobOutcome::Failed, refused);
  const int32_t size = TitleSelection.sizeMB;
  if (job.subsOnly) {
    // No program stream is written: no audio track either.
    TitleSelection.subStreamId = 0;
    KeptAudio.requests.clear();
    std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "%s", job.output.c_str());
    return true;
  }
  if (!SelectCheckedJob(job, check))
    return Refuse("At most eight tracks can be re-encoded: keep the others with =copy", JobOutcome::Failed, refused);
  TitleSelection.sizeMB = size;
  return true;
}

// What the extraction that just ended gave. A stop by the user leaves a
// properly closed file; the damage that a walk skips over is not told
// apart by the extraction worker, so a finished title counts as done.
JobOutcome LastOutcome() {
  if (ExtractionFailed() || !ExtractionOutputClosed()) return JobOutcome::Failed;
  if (StopRequested.load()) return JobOutcome::Stopped;
  return ExtractionSkippedDamage() ? JobOutcome::Damaged : JobOutcome::Done;
}

const char* OutcomeWord(JobOutcome outcome) {
  switch (outcome) {
    case JobOutcome::Done:
      return "done";
    case JobOutcome::Damaged:
      return "done, damaged stretches skipped";
    case JobOutcome::Failed:
      return "failed";
    case JobOutcome::Skipped:
      return "skipped";
    case JobOutcome::Stopped:
      return "stopped";
    case JobOutcome::NotStarted:
      break;
  }
  return "not started";
}

std::string StoppedMessage(uint32_t seconds) {
  const std::string time = FormatHms(seconds);
  return FormatString(MESSAGE_SIZE, LoadStringText(IDS_STOPPED).c_str(), time.c_str());
}

// Each job starts as the progress dialog starts a worker: with the abort
// flag clear, unless the user has asked the whole run to stop meanwhile.
bool StartAllowed() {
  if (StopRequested.load()) return false;
  AbortFlag = false;
  if (!StopRequested.load()) return true;
  AbortFlag = true;  // the stop came between the test and the clearing
  return false;
}

}  // namespace

int ExtractionBatchWorker() {
  UiPort& front = Ui();
  BatchUi port(front);
  UiInstall(&port);
  const int count = static_cast<int>(Batch.jobs.size());
  Batch.results.assign(Batch.jobs.size(), JobResult{});
  for (int k = 0; k < count && StartAllowed(); ++k) {
    const ExtractionJob& job = Batch.jobs[static_cast<size_t>(k)];
    JobResult& result = Batch.results[static_cast<size_t>(k)];
    port.StartJob(k + 1, count, count > 1, Batch.options.stopIsNotDone);
    JobOutcome refused = JobOutcome::Failed;
    if (!PrepareJob(job, refused, result.tracks)) {
      result.outcome = refused;
      continue;
    }
    result.title = TitleSelection.title;
    result.subtitles = SubtitleSelection.streams;
    ExtractionWorker();
    result.outcome = LastOutcome();
    result.damageStretches = DamageLog.stretches;
    result.damageBytes = DamageLog.bytes;
    result.videoSeconds = VideoReachedTicks() / CLOCK_HZ;  // where the last picture written ends
    if (result.outcome == JobOutcome::Stopped && count == 1 && Batch.options.stopIsNotDone)
      front.ShowBox(StoppedMessage(result.videoSeconds), BoxKind::Information);
  }
  ClearDiscTitleNarrowing();
  UiInstall(&front);
  if (count > 1) front.ShowBox(BatchSummary(), BoxKind::Information);
  front.WorkerDone();
  return 0;
}

ExitStatus JobExitStatus(const JobResult& result) {
  if (result.outcome == JobOutcome::Damaged) return ExitStatus::Damaged;
  if (result.outcome == JobOutcome::Failed || result.outcome == JobOutcome::Skipped) return ExitStatus::Failed;
  return ExitStatus::Done;
}

ExitStatus BatchExitStatus() {
  ExitStatus worst = ExitStatus::Done;
  for (const JobResult& result : Batch.results) worst = WorstExitStatus(worst, JobExitStatus(result));
  return worst;
}

std::string BatchSummary() {
  unsigned counts[6] = {};
  for (const JobResult& result : Batch.results) ++counts[static_cast<int>(result.outcome)];
  std::string text = FormatString(
      MESSAGE_SIZE, LoadStringText(IDS_BATCH_SUMMARY).c_str(), static_cast<unsigned>(Batch.results.size()),
      counts[static_cast<int>(JobOutcome::Done)], counts[static_cast<int>(JobOutcome::Damaged)],
      counts[static_cast<int>(JobOutcome::Failed)], counts[static_cast<int>(JobOutcome::Skipped)]);
  if (counts[static_cast<int>(JobOutcome::Stopped)] > 0) text += ", stopped";
  for (size_t k = 0; k < Batch.results.size() && k < Batch.jobs.size(); ++k) {
    const JobResult& result = Batch.results[k];
    text += "\r  " + JobName(Batch.jobs[k]) + " -> " + Batch.jobs[k].output + ": " + OutcomeWord(result.outcome);
    if (result.outcome == JobOutcome::Done || result.outcome == JobOutcome::Damaged ||
        result.outcome == JobOutcome::Stopped)
      text += " (" + FormatHms(result.videoSeconds) + ")";
  }
  return text;
}
