#include "extract/audio_handoff.h"

#include <algorithm>
#include <cstring>

#include "extract/audio_track.h"
#include "extract/output_multiplexer.h"
#include "extract/time_mapping.h"
#include "extract/packet_intake.h"
#include "platform/work_buffers.h"
#include "platform/worker_thread.h"

void DrainEncoders(AudioHandoffState& handoff, bool on) {
  handoff.EncoderDrain = on;
  if (on) EventSignal(handoff.EncoderWake);
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    AudioHandoffState& other = AudioTracks[k].handoff;
    if (&other == &handoff) continue;
    other.EncoderDrain = on;
    if (on) EventSignal(other.EncoderWake);
  }
}

bool EncoderBusy(const AudioTrack& t) {
  for (const std::atomic<bool>& busy : t.handoff.EncBusy) {
    if (busy) return true;
  }
  return false;
}

void WaitEncoderIdle(AudioTrack& t) {
  AwaitEncoder(t.handoff, ANY_PAIR, [&t] { return !EncoderBusy(t); });
}

void WaitEncoderIdle() {
  for (uint32_t k = 0; k < AudioTrackCount; ++k) WaitEncoderIdle(AudioTracks[k]);
}

// The worker waits only when every pair of the track is submitted. It then
// waits until the encoder has released half of them, not one: the two
// threads would otherwise take turns at every frame, each turn a wake-up
// and a sleep.
bool EncoderSubmit(AudioTrack& t) {
  AudioHandoffState& h = t.handoff;
  int i = h.EncCurrent;
  int next = NextPair(i);
  // The frame's place in the output first: the encoder may fill it in as
  // soon as the pair is busy.
  if (!MuxQueueAudioFrame(TrackIndex(t))) return false;
  h.EncBusy[i] = true;
  const int encoderWaitsFor = h.EncoderWaitsFor;
  if (encoderWaitsFor == i || encoderWaitsFor == ANY_PAIR) EventSignal(h.EncoderWake);
  if (h.EncBusy[next]) {
    // The encoder releases the pairs in order: once this one is free, so
    // are the ones before it, next among them.
    const int half = (next + ENC_PAIRS / 2 - 1) % ENC_PAIRS;
    AwaitEncoder(h, half, [&h, half] { return !h.EncBusy[half]; });
  }
  h.EncCurrent = next;
  return true;
}

void EncoderStop(AudioTrack& t) {
  AudioHandoffState& h = t.handoff;
  if (!h.thread.joinable()) return;  // not started, or already stopped
  WaitEncoderIdle(t);
  h.EncoderStopRequest = true;
  EventSignal(h.EncoderWake);
  AwaitEncoder(h, ANY_PAIR, [&h] { return !h.EncoderStopRequest; });
  JoinWorkerThread(h.thread);
}

void EncoderStop() {
  TrackDecodersStop();
  for (AudioTrack& t : AudioTracks) EncoderStop(t);
}

bool PcmAppend(AudioTrack& t, const Q24* left, const Q24* right, uint32_t n) {
  AudioHandoffState& h = t.handoff;
  if (h.SkipSamples > 0) {
    uint32_t k = std::min(h.SkipSamples, n);
    left += k;
    right += k;
    h.SkipSamples -= k;
    n -= k;
  }
  while (n > 0) {
    uint32_t m = std::min(ENC_FRAME_SAMPLES - h.EncFill, n);
    int pair = h.EncCurrent;
    std::memcpy(t.buffers->EncLeft[pair] + h.EncFill, left, m * sizeof(Q24));
    std::memcpy(t.buffers->EncRight[pair] + h.EncFill, right, m * sizeof(Q24));
    left += m;
    right += m;
    h.EncFill += m;
    n -= m;
    if (h.EncFill == ENC_FRAME_SAMPLES) {
      if (!EncoderSubmit(t)) return false;
      h.EncFill = 0;
    }
  }
  return true;
}

void PcmDrop(AudioTrack& t, uint32_t n) {
  AudioHandoffState& h = t.handoff;
  if (n < h.EncFill) {
    h.EncFill -= n;
  } else {
    h.SkipSamples += n - h.EncFill;
    h.EncFill = 0;
  }
}

bool PcmInsertSilence(AudioTrack& t, uint32_t n) {
  static const Q24 zeros[100] = {};
  // Only a corrupt time stamp asks for more than a minute of silence at
  // once; following it would write gigabytes of nothing.
  n = std::min(n, MAX_SILENCE_SAMPLES);
  while (n > 0) {
    uint32_t k = std::min<uint32_t>(n, 100);
    if (!PcmAppend(t, zeros, zeros, k)) return false;
    n -= k;
  }
  return true;
}

namespace {

void ZeroRestOfPair(AudioTrack& t) {
  AudioHandoffState& h = t.handoff;
  int pair = h.EncCurrent;
  uint32_t rest = ENC_FRAME_SAMPLES - h.EncFill;
  std::memset(t.buffers->EncLeft[pair] + h.EncFill, 0, rest * sizeof(Q24));
  std::memset(t.buffers->EncRight[pair] + h.EncFill, 0, rest * sizeof(Q24));
  h.EncFill = 0;
}

// Pads the samples in hand to a whole frame, then one whole frame of silence.
bool SubmitClosingSilence(AudioTrack& t) {
  if (t.handoff.EncFill > 0) {
    ZeroRestOfPair(t);
    if (!EncoderSubmit(t)) return false;
  }
  ZeroRestOfPair(t);
  return EncoderSubmit(t);
}

}  // namespace

bool MuxFinish() {
  if (!Mux.SystemHeaderSeen) return true;
  // Bytes the start-code scanner holds as a possible start code (a trailing
  // 00 after the last slice) are the stream's last bytes: they go out too.
  if (!VideoScanRelease()) return false;
  // A track that never had a frame queued ends with nothing (the samples
  // still in its encoder input are dropped).
  bool submitted = true;
  for (uint32_t k = 0; k < AudioTrackCount && submitted; ++k)
    if (Mux.layer2[k].pts > FirstPictureTime()) submitted = SubmitClosingSilence(AudioTracks[k]);
  EncoderStop();
  if (!submitted) return false;
  // The partly filled packs are written whenever they hold a byte, also
  // the video pack of a title of one GOP (VideoBase never advanced): the
  // video is copied whole, its sequence_end_code with it.
  return MuxFinishStreams();
}
