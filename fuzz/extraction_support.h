// Runs whole extractions of a title written to the scratch folder, for the
// extraction harnesses.
#pragma once

#include <cstdint>

struct ScratchExtraction {
  int32_t streamKind;   // STREAM_KIND_PCM or STREAM_KIND_AC3
  uint8_t subStreamId;
  bool dynamicCompression;
  int32_t sizeMB;       // as a listing would give it (progress is counted against it)
  bool realEncoder;     // the Layer II encoder, or a fast stand-in
};

// Prepares the work buffers; call once from LLVMFuzzerInitialize.
void ExtractionFuzzInit();

// Extracts title 1 of the scratch folder into a file beside it and checks
// what must hold whatever the input: the worker ends and reports done once,
// no thread is left running, and the output holds whole 2048-byte packs
// whose every pack starts with a pack header. A broken rule aborts.
void RunScratchExtraction(const ScratchExtraction& job);
