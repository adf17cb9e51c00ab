#include "extract/encoder_thread.h"

#include "report/messages.h"
#include "report/string_table.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/output_multiplexer.h"
#include "mpa/layer2_encoder.h"
#include "platform/work_buffers.h"
#include "platform/worker_thread.h"

FrameEncoderFunction FrameEncoder = EncodeFrame;

namespace {

constexpr const char* ENCODER_THREAD_NAMES[MAX_REENCODED_TRACKS] = {
    "voltark-encoder", "voltark-enc-1", "voltark-enc-2", "voltark-enc-3",
    "voltark-enc-4",   "voltark-enc-5", "voltark-enc-6", "voltark-enc-7"};

bool StartTrack(uint32_t k) {
  AudioHandoffState& h = AudioTracks[k].handoff;
  EventReset(h.EncoderWake);
  EventReset(h.EncoderDone);
  for (std::atomic<bool>& busy : h.EncBusy) busy = false;
  h.WorkerWaitsFor = NO_PAIR;
  h.EncoderWaitsFor = NO_PAIR;
  h.EncoderDrain = false;
  h.EncoderStopRequest = false;
  h.FramesEncoded = 0;
  if (!StartWorkerThread(h.thread, TRACK_THREADS<EncoderThread>[k], ENCODER_THREAD_NAMES[k])) return false;
  h.EncCurrent = 0;
  return true;
}

}  // namespace

bool EncoderStart() {
  bool started = true;
  for (uint32_t k = 0; k < AudioTrackCount && started; ++k) started = StartTrack(k);
  if (started && TrackDecodersStart()) return true;
  EncoderStop();  // the ones started
  ShowError(IDS_ENCODER_SETUP);
  return false;
}

namespace {

enum class PairResult { Encoded, Stopped };

// Pair i is not submitted yet: waits until half of the pairs are, so that
// the two threads do not take turns at every frame; sooner when the worker
// waits for the encoder (a drain) or asks it to stop.
void AwaitSubmissions(AudioHandoffState& h, int i) {
  const int half = (i + ENC_PAIRS / 2 - 1) % ENC_PAIRS;
  h.EncoderWaitsFor = half;
  while (!h.EncBusy[half] && !(h.EncoderDrain && h.EncBusy[i]) && !h.EncoderStopRequest) EventWait(h.EncoderWake);
  h.EncoderWaitsFor = NO_PAIR;
}

// Waits for pair i, encodes it into the place the multiplexer gave its
// frame and releases the pair.
PairResult EncodePair(AudioTrack& t, int i) {
  AudioHandoffState& h = t.handoff;
  if (!h.EncBusy[i]) AwaitSubmissions(h, i);
  while (!h.EncBusy[i]) {
    if (h.EncoderStopRequest) return PairResult::Stopped;
    EventWait(h.EncoderWake);
  }
  if (h.EncoderStopRequest) return PairResult::Stopped;
  const uint64_t frame = h.FramesEncoded.load(std::memory_order_relaxed);
  FrameEncoder(t.encoder, t.buffers->EncLeft[i], t.buffers->EncRight[i], MuxLayer2FrameSlot(TrackIndex(t), frame));
  h.FramesEncoded.store(frame + 1, std::memory_order_release);
  h.EncBusy[i] = false;
  const int waitsFor = h.WorkerWaitsFor;
  if (waitsFor == i || waitsFor == ANY_PAIR) EventSignal(h.EncoderDone);
  return PairResult::Encoded;
}

}  // namespace

int EncoderThread(AudioTrack& t) {
  AudioHandoffState& h = t.handoff;
  // One encoder runs above the worker, so that the worker never waits for
  // it. With several tracks each track's decoder and encoder threads share
  // the cores at the worker's priority: encoders above the decoders would
  // only starve the stage that feeds them.
  if (AudioTrackCount == 1) RaiseCurrentThreadPriority(ThreadPriority::AboveNormal);
  // The pairs are taken in the order the worker submits them.
  for (int pair = 0; !h.EncoderStopRequest; pair = NextPair(pair)) {
    if (EncodePair(t, pair) == PairResult::Stopped) break;
  }
  h.EncoderStopRequest = false;
  EventSignal(h.EncoderDone);
  return 0;
}
