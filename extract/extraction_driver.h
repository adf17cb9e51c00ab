// The extraction worker: one title with its chosen audio stream into one
// MPEG-2 program stream file.
#pragma once

#include <cstdint>

// Thread procedure of one extraction of TitleSelection. Reports through the
// UI port and ends with Ui().WorkerDone(). Returns 0.
int ExtractionWorker();

// True when the last extraction's walk ended on an error.
bool ExtractionFailed();

// True when the last extraction passed over damaged stretches of its input.
bool ExtractionSkippedDamage();

// True when the last extraction's output was written and closed without
// error (false also when the extraction could not start).
bool ExtractionOutputClosed();

// True, once, after an extraction that could not create its output file
// (the message has been shown): a front end may ask for another name. The
// answer is taken, so that a later run that never starts the worker does
// not find it again.
bool TakeExtractionOutputNotCreated();

// Called with each pack's SCR before a packet of the chosen streams is used:
// a backward step of the input clock resynchronises audio and video.
void CheckScrContinuity(uint32_t scr);
