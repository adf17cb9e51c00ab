// The output writer: complete 2048-byte packs are collected in two
// alternating 2 MiB buffers; a thread of its own writes each full buffer, so
// the producers wait for the disk only when both buffers are full.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/auto_reset_event.h"
#include "platform/output_file.h"

constexpr uint32_t OUT_BUFFER_PACKS = 1024;

struct OutputWriterState {
  int currentBuffer = 0;            // the buffer being filled
  uint32_t packCount = 0;           // packs already in it
  uint8_t* writePosition = nullptr;
  std::atomic<bool> bufferFull[2] = {false, false};  // handed to the writer thread
  std::atomic<bool> WriterFailed{true};  // a write failed or the output is closed
  std::atomic<bool> writeFailed{false};  // a write failed: the file is incomplete
  std::atomic<bool> writerStop{false};
  AutoResetEvent WriterWake;
  AutoResetEvent WriterDone;
  OutputFile file;
  std::thread thread;
};

extern OutputWriterState Writer;

// Creates TitleSelection.outputPath anew and starts the writer thread; also
// resets the multiplexer's output state and the video start-code scanner.
// False when the file cannot be created (the caller reports it, with the
// system's reason in Writer.file.failure).
bool OutputOpen();

// Copies one pack into the current buffer; false (pack dropped) once the
// output has failed or is closed. Called by one producer at a time.
bool OutputAppendPack(const uint8_t* pack);

// Writes the last partial buffer, ends the writer thread and closes the
// file. True when everything was written and closed without error. A file
// left incomplete by a failed write is removed, and the one message of the
// failure names the file, the system's reason and the removal.
bool OutputClose();

// True when the last output failed on a write (its message is shown).
bool OutputWriteFailed();

int OutputWriterThread();
