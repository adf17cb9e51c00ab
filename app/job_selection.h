// Hands a checked request to the extraction worker (TitleSelection).
#pragma once

#include "app/extraction_job.h"
#include "app/job_check.h"

// True when the worker can write the job's tracks.
bool WorkerWritesTracks(const JobCheck& check);

// Sets TitleSelection's title, audio stream, compression and output path
// from the job and its check. The size is left to the caller (the listed
// size, or a disc title's plan). False, with nothing changed, when the
// worker cannot write the tracks or the output name does not fit.
bool SelectCheckedJob(const ExtractionJob& job, const JobCheck& check);
