#include "extract/encoder_thread.h"

#include "report/messages.h"
#include "report/string_table.h"
#include "extract/audio_handoff.h"
#include "extract/output_multiplexer.h"
#include "mpa/layer2_encoder.h"
#include "platform/work_buffers.h"
#include "platform/worker_thread.h"

FrameEncoderFunction FrameEncoder = EncodeFrame;

bool EncoderStart() {
  EventReset(Handoff.EncoderWake);
  EventReset(Handoff.EncoderDone);
  for (std::atomic<bool>& busy : Handoff.EncBusy) busy = false;
  Handoff.WorkerWaitsFor = NO_PAIR;
  Handoff.EncoderWaitsFor = NO_PAIR;
  Handoff.EncoderDrain = false;
  Handoff.EncoderStopRequest = false;
  Handoff.EncoderOk = true;
  // The queue is emptied before the thread can flush it.
  Mux.deferredCount = 0;
  Mux.deferredHead = 0;
  Mux.deferredWaiting = 0;
  if (!StartWorkerThread(Handoff.thread, EncoderThread, "voltark-encoder")) {
    ShowError(IDS_ENCODER_SETUP);
    return false;
  }
  Handoff.EncCurrent = 0;
  return true;
}

namespace {

enum class PairResult { Packed, Stopped, Failed };

// Pair i is not submitted yet: waits until half of the pairs are, so that
// the two threads do not take turns at every frame; sooner when the worker
// waits for the encoder (a drain) or asks it to stop.
void AwaitSubmissions(int i) {
  const int half = (i + ENC_PAIRS / 2 - 1) % ENC_PAIRS;
  Handoff.EncoderWaitsFor = half;
  while (!Handoff.EncBusy[half] && !(Handoff.EncoderDrain && Handoff.EncBusy[i]) && !Handoff.EncoderStopRequest)
    EventWait(Handoff.EncoderWake);
  Handoff.EncoderWaitsFor = NO_PAIR;
}

// Waits for pair i, encodes and packs it, flushes the held-back video and
// releases the pair.
PairResult EncodePair(int i) {
  if (!Handoff.EncBusy[i]) AwaitSubmissions(i);
  while (!Handoff.EncBusy[i]) {
    if (Handoff.EncoderStopRequest) return PairResult::Stopped;
    EventWait(Handoff.EncoderWake);
  }
  if (Handoff.EncoderStopRequest) return PairResult::Stopped;
  FrameEncoder(WorkBuffers.EncLeft[i], WorkBuffers.EncRight[i], WorkBuffers.EncodedFrame);
  if (!MuxAppendAudioFrame(WorkBuffers.EncodedFrame)) return PairResult::Failed;
  {
    std::lock_guard lock(Mux.MuxMutex);
    if (!MuxFlushDeferredVideo()) return PairResult::Failed;
    Handoff.EncBusy[i] = false;
  }
  const int waitsFor = Handoff.WorkerWaitsFor;
  if (waitsFor == i || waitsFor == ANY_PAIR) EventSignal(Handoff.EncoderDone);
  return PairResult::Packed;
}

void ReleaseAllPairs() {
  for (std::atomic<bool>& busy : Handoff.EncBusy) busy = false;
}

// Every pair submitted after a failure is released without being encoded.
void ReleasePairsUntilStop() {
  Handoff.EncoderWaitsFor = ANY_PAIR;
  ReleaseAllPairs();
  Handoff.EncoderOk = false;
  EventSignal(Handoff.EncoderDone);
  while (!Handoff.EncoderStopRequest) {
    EventWait(Handoff.EncoderWake);
    ReleaseAllPairs();
    EventSignal(Handoff.EncoderDone);
  }
}

}  // namespace

int EncoderThread() {
  RaiseCurrentThreadPriority(ThreadPriority::AboveNormal);
  // The pairs are taken in the order the worker submits them.
  for (int pair = 0; !Handoff.EncoderStopRequest; pair = NextPair(pair)) {
    PairResult result = EncodePair(pair);
    if (result == PairResult::Stopped) break;
    if (result == PairResult::Failed) {
      ReleasePairsUntilStop();
      break;
    }
  }
  Handoff.EncoderStopRequest = false;
  EventSignal(Handoff.EncoderDone);
  return 0;
}
