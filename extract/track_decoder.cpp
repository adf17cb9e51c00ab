#include "extract/track_decoder.h"

#include <cstring>
#include <new>

#include "extract/audio_track.h"
#include "extract/packet_intake.h"
#include "platform/worker_thread.h"
#include "source/stream_kind.h"

namespace {

constexpr uint32_t NOT_WAITING = 0xFFFFFFFF;

// Nothing to decode for now: no frame, or fewer than a batch while the walk
// does not wait for one.
bool Idle(const TrackDecoderState& d, uint32_t n) {
  const uint32_t waiting = d.submitted.load() - n;
  return waiting == 0 || (waiting < DECODE_BATCH_FRAMES && d.walkWaitsFor.load() == NOT_WAITING);
}

// Decodes the submitted frames in order until a stop is asked.
int DecoderThread(AudioTrack& t) {
  TrackDecoderState& d = t.ahead;
  for (;;) {
    const uint32_t n = d.decoded.load();
    if (Idle(d, n) && !d.stopRequest) {
      d.threadWaitsFor = n + DECODE_BATCH_FRAMES - 1;
      while (Idle(d, n) && !d.stopRequest) EventWait(d.FrameSubmitted);
      d.threadWaitsFor = NOT_WAITING;
    }
    if (d.stopRequest) break;
    DecodeSlot& slot = d.slots[n % DECODE_AHEAD_FRAMES];
    HoldDetailErrors(&slot.errors);
    Ac3FrameDecoder(t.decoder, slot.frame, slot.length, slot.left, slot.right);
    HoldDetailErrors(nullptr);
    d.decoded.store(n + 1);
    if (d.walkWaitsFor.load() == n) EventSignal(d.FrameDecoded);
  }
  return 0;
}

constexpr const char* DECODER_THREAD_NAMES[MAX_REENCODED_TRACKS] = {
    "voltark-dec-0", "voltark-dec-1", "voltark-dec-2", "voltark-dec-3",
    "voltark-dec-4", "voltark-dec-5", "voltark-dec-6", "voltark-dec-7"};

bool StartDecoder(uint32_t k) {
  TrackDecoderState& d = AudioTracks[k].ahead;
  if (!d.slots) d.slots.reset(new (std::nothrow) DecodeSlot[DECODE_AHEAD_FRAMES]);
  if (!d.slots) return false;
  EventReset(d.FrameSubmitted);
  EventReset(d.FrameDecoded);
  // The frame counts are 0: never counted yet, or set so by the last stop.
  d.walkWaitsFor = NOT_WAITING;
  d.threadWaitsFor = NOT_WAITING;
  d.stopRequest = false;
  return StartWorkerThread(d.thread, TRACK_THREADS<DecoderThread>[k], DECODER_THREAD_NAMES[k]);
}

}  // namespace

bool TrackDecodersStart() {
  if (AudioTrackCount < 2) return true;
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    if (AudioTracks[k].streamKind != STREAM_KIND_AC3 || StartDecoder(k)) continue;
    TrackDecodersStop();
    return false;
  }
  return true;
}

void TrackDecodersStop() {
  for (AudioTrack& t : AudioTracks) {
    TrackDecoderState& d = t.ahead;
    if (!DecodesAhead(d)) continue;
    d.stopRequest = true;
    EventSignal(d.FrameSubmitted);
    JoinWorkerThread(d.thread);
    // The frames not taken back are dropped: none is waited for again.
    d.taken = d.submitted = d.decoded = 0;
  }
}

void DecodeAheadSubmit(AudioTrack& t, const uint8_t* frame, uint32_t length) {
  TrackDecoderState& d = t.ahead;
  const uint32_t n = d.submitted.load();
  DecodeSlot& slot = d.slots[n % DECODE_AHEAD_FRAMES];
  std::memcpy(slot.frame, frame, length);
  slot.length = length;
  slot.position = CurrentVobPosition();
  d.submitted.store(n + 1);
  if (d.threadWaitsFor.load() == n) EventSignal(d.FrameSubmitted);
}

DecodeSlot& DecodeAheadOldest(AudioTrack& t) {
  TrackDecoderState& d = t.ahead;
  if (d.decoded.load() == d.taken) {
    d.walkWaitsFor = d.taken;
    EventSignal(d.FrameSubmitted);  // the frames there are, without a batch
    while (d.decoded.load() == d.taken) EventWait(d.FrameDecoded);
    d.walkWaitsFor = NOT_WAITING;
  }
  return d.slots[d.taken % DECODE_AHEAD_FRAMES];
}

void DecodeAheadRelease(AudioTrack& t) { ++t.ahead.taken; }
