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
  Handoff.FramesEncoded = 0;
  if (!StartWorkerThread(Handoff.thread, EncoderThread, "voltark-encoder")) {
    ShowError(IDS_ENCODER_SETUP);
    return false;
  }
  Handoff.EncCurrent = 0;
  return true;
}

namespace {

enum class PairResult { Encoded, Stopped };

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

// Waits for pair i, encodes it into the place the multiplexer gave its
// frame and releases the pair.
PairResult EncodePair(int i) {
  if (!Handoff.EncBusy[i]) AwaitSubmissions(i);
  while (!Handoff.EncBusy[i]) {
    if (Handoff.EncoderStopRequest) return PairResult::Stopped;
    EventWait(Handoff.EncoderWake);
  }
  if (Handoff.EncoderStopRequest) return PairResult::Stopped;
  const uint64_t frame = Handoff.FramesEncoded.load(std::memory_order_relaxed);
  FrameEncoder(WorkBuffers.EncLeft[i], WorkBuffers.EncRight[i], MuxLayer2FrameSlot(frame));
  Handoff.FramesEncoded.store(frame + 1, std::memory_order_release);
  Handoff.EncBusy[i] = false;
  const int waitsFor = Handoff.WorkerWaitsFor;
  if (waitsFor == i || waitsFor == ANY_PAIR) EventSignal(Handoff.EncoderDone);
  return PairResult::Encoded;
}

}  // namespace

int EncoderThread() {
  RaiseCurrentThreadPriority(ThreadPriority::AboveNormal);
  // The pairs are taken in the order the worker submits them.
  for (int pair = 0; !Handoff.EncoderStopRequest; pair = NextPair(pair)) {
    if (EncodePair(pair) == PairResult::Stopped) break;
  }
  Handoff.EncoderStopRequest = false;
  EventSignal(Handoff.EncoderDone);
  return 0;
}
