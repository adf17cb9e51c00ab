// One re-encoded audio track: its context from the packets of its
// sub-stream to its Layer II stream in the multiplexer, as a codec context
// carries one stream. Each track has its own intake (frame gathering,
// pre-roll, delay line, alignment to the video), decoder, hand-off buffers,
// encoder thread and encoder; the worker feeds every track from the one walk
// of the title, and the tracks' encoder threads (with several tracks, their
// decoder threads too) run side by side.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "ac3/ac3_state.h"
#include "extract/audio_delay.h"
#include "extract/audio_handoff.h"
#include "extract/av_alignment.h"
#include "extract/packet_intake.h"
#include "extract/track_decoder.h"
#include "mpa/encoder_state.h"
#include "platform/work_buffers.h"

struct AudioTrack {
  // What is decoded: STREAM_KIND_AC3 or STREAM_KIND_PCM, and its sub-stream.
  int32_t streamKind = 0;
  uint8_t subStreamId = 0;
  bool dynamicCompression = false;  // AC-3 only
  AudioIntakeState intake;          // worker
  PreRollBuffer preRoll;            // worker
  AudioDelayLine delay;             // worker
  Ac3DecoderState decoder;          // worker, or the track's decoder thread
  TrackDecoderState ahead;          // worker and the track's decoder thread
  AudioHandoffState handoff;        // worker and the track's encoder thread
  MpaEncoderState encoder;          // the track's encoder thread
  AudioWorkBuffers* buffers = nullptr;
};

// Track k writes the multiplexer's Layer II stream k (Mux.layer2[k]).
extern AudioTrack AudioTracks[MAX_REENCODED_TRACKS];
extern uint32_t AudioTrackCount;  // tracks re-encoded in this extraction

inline uint32_t TrackIndex(const AudioTrack& t) { return static_cast<uint32_t>(&t - AudioTracks); }

// A thread procedure takes no argument: TRACK_THREADS<Body>[k] runs Body on
// track k.
template <int (*Body)(AudioTrack&), size_t... K>
constexpr std::array<int (*)(), sizeof...(K)> TrackThreadsOf(std::index_sequence<K...>) {
  return {+[] { return Body(AudioTracks[K]); }...};
}
template <int (*Body)(AudioTrack&)>
inline constexpr auto TRACK_THREADS = TrackThreadsOf<Body>(std::make_index_sequence<MAX_REENCODED_TRACKS>{});

// The tracks of the extraction, from TitleSelection: the first re-encoded
// track and the further ones, in the order asked. Also sets the
// multiplexer's Layer II streams. Called before the encoder threads start.
void AudioTracksSelect();

// Start of an extraction: every track's intake, decoder, encoder and
// hand-off as at program start.
void AudioTracksReset();
