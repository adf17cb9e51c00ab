// The extraction worker: one title with its chosen audio stream into one
// MPEG-2 program stream file.
#pragma once

// Thread procedure of one extraction of TitleSelection. Reports through the
// UI port and ends with Ui().WorkerDone(). Returns 0.
int ExtractionWorker();

// True when the last extraction's walk ended on an error.
bool ExtractionFailed();
