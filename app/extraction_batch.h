// A batch of extractions: a list of requests run one after another, each
// into its own file, with one summary at the end. Every front end runs its
// extractions through it, a single one as a batch of one.
//
// Each request starts from the same state as an extraction run alone (the
// extraction resets every module it uses), so title k of a batch gives the
// same file as title k extracted by itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/extraction_job.h"
#include "extract/subtitle_selection.h"
#include "report/exit_status.h"

enum class JobOutcome {
  Done,
  Damaged,     // done, with damaged stretches of the input skipped
  Failed,
  Skipped,     // the title lacks the audio stream asked for, or is missing
  Stopped,     // stopped by the user; its file is properly closed
  NotStarted,  // the batch was stopped before it
};

struct JobResult {
  JobOutcome outcome = JobOutcome::NotStarted;
  uint32_t videoSeconds = 0;  // video time reached
  // What the job wrote, for the report: the title (set) read, the audio
  // tracks and the sub-picture streams in output order, the damage skipped.
  int title = -1;
  std::vector<OutputTrack> tracks;
  std::vector<SubtitleStream> subtitles;
  uint32_t damageStretches = 0;
  uint64_t damageBytes = 0;
};

struct BatchOptions {
  // The closing box of a title stopped by the user says that it was
  // stopped, not that it was done (the command line; the desktop program
  // keeps its "done!" box after its Stop button).
  bool stopIsNotDone = false;
};

struct ExtractionBatchState {
  std::vector<ExtractionJob> jobs;
  BatchOptions options;
  std::vector<JobResult> results;  // one per job, filled as they run
};

extern ExtractionBatchState Batch;

// Thread procedure: runs Batch.jobs through the extraction worker, each
// reported through the UI port; with more than one job each status text is
// prefixed "Title k of n: ", the per-title completion boxes give way to one
// summary box, and the port's WorkerDone comes once, at the end. After a
// stop by the user the current file is closed and no further job starts.
// Returns 0.
int ExtractionBatchWorker();

// The exit status of one job's result (a skipped title counts as failed).
ExitStatus JobExitStatus(const JobResult& result);

// The worst exit status of the results (a skipped title counts as failed,
// a title that never started as nothing).
ExitStatus BatchExitStatus();

// The summary: counts of done, damaged, failed and skipped titles, and one
// line per job with its file.
std::string BatchSummary();
