#include "extract/audio_handoff.h"

#include <algorithm>
#include <cstring>

#include "extract/output_multiplexer.h"
#include "extract/time_mapping.h"
#include "extract/packet_intake.h"
#include "platform/work_buffers.h"
#include "platform/worker_thread.h"

AudioHandoffState Handoff;

bool EncoderBusy() {
  for (const std::atomic<bool>& busy : Handoff.EncBusy) {
    if (busy) return true;
  }
  return false;
}

void WaitEncoderIdle() {
  AwaitEncoder(ANY_PAIR, [] { return !EncoderBusy(); });
}

// The worker waits only when every pair is submitted. It then waits until
// the encoder has released half of them, not one: the two threads would
// otherwise take turns at every frame, each turn a wake-up and a sleep.
bool EncoderSubmit() {
  int i = Handoff.EncCurrent;
  int next = NextPair(i);
  // The frame's place in the output first: the encoder may fill it in as
  // soon as the pair is busy.
  if (!MuxQueueAudioFrame()) return false;
  Handoff.EncBusy[i] = true;
  const int encoderWaitsFor = Handoff.EncoderWaitsFor;
  if (encoderWaitsFor == i || encoderWaitsFor == ANY_PAIR) EventSignal(Handoff.EncoderWake);
  if (Handoff.EncBusy[next]) {
    // The encoder releases the pairs in order: once this one is free, so
    // are the ones before it, next among them.
    const int half = (next + ENC_PAIRS / 2 - 1) % ENC_PAIRS;
    AwaitEncoder(half, [half] { return !Handoff.EncBusy[half]; });
  }
  Handoff.EncCurrent = next;
  return true;
}

void EncoderStop() {
  if (!Handoff.thread.joinable()) return;  // not started, or already stopped
  WaitEncoderIdle();
  Handoff.EncoderStopRequest = true;
  EventSignal(Handoff.EncoderWake);
  AwaitEncoder(ANY_PAIR, [] { return !Handoff.EncoderStopRequest; });
  JoinWorkerThread(Handoff.thread);
}

bool PcmAppend(const Q24* left, const Q24* right, uint32_t n) {
  if (!Mux.layer2Present) return true;  // no track is re-encoded
  if (Handoff.SkipSamples > 0) {
    uint32_t k = std::min(Handoff.SkipSamples, n);
    left += k;
    right += k;
    Handoff.SkipSamples -= k;
    n -= k;
  }
  while (n > 0) {
    uint32_t t = std::min(ENC_FRAME_SAMPLES - Handoff.EncFill, n);
    int pair = Handoff.EncCurrent;
    std::memcpy(WorkBuffers.EncLeft[pair] + Handoff.EncFill, left, t * sizeof(Q24));
    std::memcpy(WorkBuffers.EncRight[pair] + Handoff.EncFill, right, t * sizeof(Q24));
    left += t;
    right += t;
    Handoff.EncFill += t;
    n -= t;
    if (Handoff.EncFill == ENC_FRAME_SAMPLES) {
      if (!EncoderSubmit()) return false;
      Handoff.EncFill = 0;
    }
  }
  return true;
}

void PcmDrop(uint32_t n) {
  if (n < Handoff.EncFill) {
    Handoff.EncFill -= n;
  } else {
    Handoff.SkipSamples += n - Handoff.EncFill;
    Handoff.EncFill = 0;
  }
}

bool PcmInsertSilence(uint32_t n) {
  static const Q24 zeros[100] = {};
  // Only a corrupt time stamp asks for more than a minute of silence at
  // once; following it would write gigabytes of nothing.
  n = std::min(n, MAX_SILENCE_SAMPLES);
  while (n > 0) {
    uint32_t k = std::min<uint32_t>(n, 100);
    if (!PcmAppend(zeros, zeros, k)) return false;
    n -= k;
  }
  return true;
}

namespace {

void ZeroRestOfPair() {
  int pair = Handoff.EncCurrent;
  uint32_t rest = ENC_FRAME_SAMPLES - Handoff.EncFill;
  std::memset(WorkBuffers.EncLeft[pair] + Handoff.EncFill, 0, rest * sizeof(Q24));
  std::memset(WorkBuffers.EncRight[pair] + Handoff.EncFill, 0, rest * sizeof(Q24));
  Handoff.EncFill = 0;
}

// Pads the samples in hand to a whole frame, then one whole frame of silence.
bool SubmitClosingSilence() {
  if (Handoff.EncFill > 0) {
    ZeroRestOfPair();
    if (!EncoderSubmit()) return false;
  }
  ZeroRestOfPair();
  return EncoderSubmit();
}

}  // namespace

bool MuxFinish() {
  if (!Mux.SystemHeaderSeen) return true;
  // Bytes the start-code scanner holds as a possible start code (a trailing
  // 00 after the last slice) are the stream's last bytes: they go out too.
  if (!VideoScanRelease()) return false;
  if (Mux.AudioPts <= FirstPictureTime()) {
    EncoderStop();  // samples still in the encoder input are dropped
  } else {
    bool submitted = SubmitClosingSilence();
    EncoderStop();
    if (!submitted) return false;
  }
  // The partly filled packs are written whenever they hold a byte, also
  // the video pack of a title of one GOP (VideoBase never advanced): the
  // video is copied whole, its sequence_end_code with it.
  return MuxFinishStreams();
}
