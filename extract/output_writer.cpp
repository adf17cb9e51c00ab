#include "extract/output_writer.h"

#include <cstring>

#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "extract/title_selection.h"
#include "extract/output_multiplexer.h"
#include "extract/packet_intake.h"
#include "extract/subtitle_selection.h"
#include "platform/work_buffers.h"
#include "platform/worker_thread.h"

OutputWriterState Writer;

namespace {

void WaitWhileFull(int buffer) {
  while (Writer.bufferFull[buffer]) EventWait(Writer.WriterDone);
}

// The work stops at once; the message waits for the close, which knows
// whether the incomplete file could be removed.
void NoteWriteFailure() {
  AbortFlag = true;
  Writer.writeFailed = true;
  Writer.WriterFailed = true;
}

void ReportWriteFailure(const std::string& reason) {
  // A device named as the output (/dev/null, /dev/full) is no file to remove.
  if (!Writer.file.regular) {
    ShowFileError(IDS_WRITE_ERROR, TitleSelection.outputPath, reason);
    return;
  }
  const bool removed = OutputFileRemove(Writer.file, TitleSelection.outputPath);
  ShowFileError(IDS_WRITE_ERROR, TitleSelection.outputPath,
                reason + ". " + LoadStringText(removed ? IDS_INCOMPLETE_REMOVED : IDS_INCOMPLETE_KEPT));
}

// After a failed write the thread only releases whoever hands it a buffer,
// until it is told to stop.
void ReleaseBuffersUntilStop() {
  while (!Writer.writerStop) {
    EventWait(Writer.WriterWake);
    Writer.bufferFull[0] = false;
    Writer.bufferFull[1] = false;
    EventSignal(Writer.WriterDone);
  }
}

}  // namespace

bool OutputOpen() {
  const bool created = SubtitleSelection.subsOnly ? OutputFileCreateDiscard(Writer.file)
                                                 : OutputFileCreate(Writer.file, TitleSelection.outputPath);
  if (!created) return false;
  EventReset(Writer.WriterWake);
  EventReset(Writer.WriterDone);
  Writer.bufferFull[0] = false;
  Writer.bufferFull[1] = false;
  Writer.writerStop = false;
  Writer.currentBuffer = 0;
  Writer.packCount = 0;
  Writer.writePosition = WorkBuffers.OutBuffer[0];
  Writer.WriterFailed = false;
  Writer.writeFailed = false;
  MuxResetOutputState();
  VideoScanReset();
  if (!StartWorkerThread(Writer.thread, OutputWriterThread, "voltark-writer")) {
    // No thread to write the buffers: the output is refused from the start.
    Writer.WriterFailed = true;
    OutputFileClose(Writer.file);
    Writer.file.failure = "the writer thread could not be started";
    return false;
  }
  return true;
}

bool OutputAppendPack(const uint8_t* pack) {
  if (Writer.WriterFailed) return false;
  std::memcpy(Writer.writePosition, pack, OUTPUT_PACK_BYTES);
  Writer.writePosition += OUTPUT_PACK_BYTES;
  if (++Writer.packCount < OUT_BUFFER_PACKS) return true;
  int full = Writer.currentBuffer;
  int next = 1 - full;
  Writer.bufferFull[full] = true;
  EventSignal(Writer.WriterWake);
  WaitWhileFull(next);
  Writer.currentBuffer = next;
  Writer.packCount = 0;
  Writer.writePosition = WorkBuffers.OutBuffer[next];
  return true;
}

int OutputWriterThread() {
  RaiseCurrentThreadPriority(ThreadPriority::Highest);
  int buffer = 0;
  for (;;) {
    while (!Writer.bufferFull[buffer] && !Writer.writerStop) EventWait(Writer.WriterWake);
    if (!Writer.bufferFull[buffer]) break;  // stop requested, nothing handed over
    if (!OutputFileWrite(Writer.file, WorkBuffers.OutBuffer[buffer], OUT_BUFFER_BYTES)) {
      // Noted before the producer learns of it: a producer refused a pack
      // finds the abort already there.
      NoteWriteFailure();
      Writer.bufferFull[0] = false;
      Writer.bufferFull[1] = false;
      EventSignal(Writer.WriterDone);
      ReleaseBuffersUntilStop();
      break;
    }
    Writer.bufferFull[buffer] = false;
    EventSignal(Writer.WriterDone);
    buffer = 1 - buffer;
  }
  Writer.writerStop = false;
  EventSignal(Writer.WriterDone);
  return 0;
}

bool OutputClose() {
  int current = Writer.currentBuffer;
  WaitWhileFull(1 - current);
  if (!Writer.WriterFailed && Writer.packCount > 0) {
    // Written from this thread so that the file keeps pack order.
    if (!OutputFileWrite(Writer.file, WorkBuffers.OutBuffer[current],
                         static_cast<size_t>(Writer.packCount) * OUTPUT_PACK_BYTES)) {
      NoteWriteFailure();
    }
  }
  Writer.writerStop = true;
  EventSignal(Writer.WriterWake);
  while (Writer.writerStop) EventWait(Writer.WriterDone);
  JoinWorkerThread(Writer.thread);
  bool closed = OutputFileClose(Writer.file);
  bool ok = !Writer.WriterFailed;
  if (Writer.writeFailed) ReportWriteFailure(Writer.file.failure);
  if (ok && !closed) {
    AbortFlag = true;
    ShowError(IDS_CLOSE_ERROR);
    ok = false;
  }
  Writer.WriterFailed = true;
  Writer.packCount = 0;
  return ok;
}

bool OutputWriteFailed() { return Writer.writeFailed; }
