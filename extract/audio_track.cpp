#include "extract/audio_track.h"

#include "ac3/ac3_decoder.h"
#include "extract/output_multiplexer.h"
#include "extract/time_mapping.h"
#include "extract/title_selection.h"

AudioTrack AudioTracks[MAX_REENCODED_TRACKS];
uint32_t AudioTrackCount = 0;

namespace {

void Select(uint32_t k, int32_t kind, uint8_t subStreamId, bool dynamicCompression, uint8_t outputId,
            uint32_t rank) {
  AudioTrack& t = AudioTracks[k];
  t.streamKind = kind;
  t.subStreamId = subStreamId;
  t.dynamicCompression = dynamicCompression;
  t.buffers = &WorkBuffers.audio[k];
  Mux.layer2[k].streamId = outputId;
  Mux.layer2[k].rank = rank;
}

}  // namespace

void AudioTracksSelect() {
  const TitleSelectionRecord& s = TitleSelection;
  AudioTrackCount = 0;
  // No track decoded: the multiplexer keeps an absent Layer II stream.
  Mux.layer2[0].streamId = s.layer2StreamId;
  Mux.layer2[0].rank = s.layer2Rank;
  if (s.subStreamId != 0) {
    Select(AudioTrackCount++, s.streamKind, s.subStreamId, s.dynamicCompression, s.layer2StreamId, s.layer2Rank);
    for (uint32_t i = 0; i < s.moreTrackCount && AudioTrackCount < MAX_REENCODED_TRACKS; ++i) {
      const ReencodedChoice& c = s.moreTracks[i];
      Select(AudioTrackCount++, c.streamKind, c.subStreamId, c.dynamicCompression, c.layer2StreamId, c.layer2Rank);
    }
  }
  Mux.layer2Count = AudioTrackCount;
}

void AudioTracksReset() {
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    AudioTrack& t = AudioTracks[k];
    t.intake = AudioIntakeState{};
    t.preRoll.count = 0;
    AudioDelayReset(t);
    t.handoff.EncFill = 0;
    t.handoff.SkipSamples = 0;
    Ac3Reset(t.decoder, t.dynamicCompression);
    MpaEncoderReset(t.encoder);
  }
  for (MuxLayer2Stream& layer2 : Mux.layer2) layer2.pts = FirstPictureTime();
}
