#include "extract/video_timing.h"

#include <algorithm>
#include <cstring>

#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "common/time_values.h"
#include "extract/audio_track.h"
#include "extract/av_alignment.h"
#include "extract/kept_audio.h"
#include "extract/output_multiplexer.h"
#include "extract/packet_intake.h"
#include "extract/time_mapping.h"

VideoTimingState VideoTiming;

namespace {

constexpr uint8_t NOMINAL_FIELDS = 2;  // a frame shown once
constexpr uint8_t FRAME_RATE_25 = 3;
constexpr uint8_t FRAME_RATE_30000_1001 = 4;
constexpr uint8_t SEQUENCE_EXTENSION = 1;
constexpr uint8_t PICTURE_CODING_EXTENSION = 8;
constexpr uint8_t FRAME_PICTURE = 3;

VideoTimingState& T = VideoTiming;

uint32_t ToTicks(uint64_t halfTicks) { return static_cast<uint32_t>(halfTicks >> 1); }

// Fields shown by the pictures with temporal_reference below tr; a duration
// not told yet counts as one frame.
uint32_t PrefixFields(uint32_t tr) {
  uint32_t sum = 0;
  for (uint32_t t = 0; t < tr; ++t) sum += T.complete[t] ? T.fields[t] : NOMINAL_FIELDS;
  return sum;
}

bool PrefixComplete(uint32_t tr) {
  for (uint32_t t = 0; t < tr; ++t) {
    if (!T.complete[t]) return false;
  }
  return true;
}

uint64_t PtsHalfTicks(uint32_t tr, uint32_t fieldOffset) {
  return T.gopBaseHalfTicks + uint64_t{PrefixFields(tr) + fieldOffset} * T.fieldHalfTicks;
}

// The reference picture's offset from the GOP start is now known: the input
// time of the GOP start, and the audio aligned to it, follow.
bool SettleReference(bool force) {
  if (!T.refPending || !(force || PrefixComplete(T.refTr))) return true;
  T.refPending = false;
  const uint32_t exact = ToTicks(uint64_t{PrefixFields(T.refTr)} * T.fieldHalfTicks);
  const bool aligned =
      exact == T.refEstimateTicks || AlignMoveVideoReference(static_cast<int32_t>(T.refEstimateTicks - exact));
  // Kept tracks and sub-pictures take their output time from the exact reference.
  TimeMappingTie(Intake.VideoBase, Intake.GopStartInputPts);
  return KeptAudioTimeKnown() && aligned;
}

bool ResolvePending(bool force) {
  bool ok = SettleReference(force);
  uint32_t kept = 0;
  for (uint32_t i = 0; i < T.pendingCount; ++i) {
    const PendingStamp& p = T.pending[i];
    if (force || PrefixComplete(p.tr)) {
      ok = MuxResolvePictureTime(p.ticket, ToTicks(PtsHalfTicks(p.tr, p.fieldOffset))) && ok;
    } else {
      T.pending[kept++] = p;
    }
  }
  T.pendingCount = kept;
  return ok;
}

// The duration of the picture being parsed is now known.
void CountPicture(uint32_t fields, bool wholeFrame) {
  if (T.pictureCounts) {
    const uint32_t tr = T.pictureTr;
    T.fields[tr] = static_cast<uint8_t>(std::min<uint32_t>(T.fields[tr] + fields, 6));
    if (wholeFrame || T.fields[tr] >= 2) T.complete[tr] = true;
  }
  if (Intake.VideoRefSet) T.seenHalfTicks += uint64_t{fields} * T.fieldHalfTicks;
}

// A picture without a coding extension (an MPEG-1 picture) is one frame.
void ClosePicture() {
  if (T.pictureOpen && !T.pictureHasExtension) CountPicture(NOMINAL_FIELDS, true);
  T.pictureOpen = false;
}

uint32_t PictureFields(uint8_t structure, bool topFieldFirst, bool repeatFirstField) {
  if (structure != FRAME_PICTURE) return 1;
  if (T.progressiveSequence) return repeatFirstField ? (topFieldFirst ? 6 : 4) : 2;
  return repeatFirstField ? 3 : 2;
}

void ClearGop() {
  std::memset(T.fields, 0, sizeof T.fields);
  std::memset(T.complete, 0, sizeof T.complete);
}

}  // namespace

void VideoTimingReset() {
  T.fieldHalfTicks = 0;
  T.width = 0;
  T.height = 0;
  T.progressiveSequence = false;
  T.gopBaseHalfTicks = uint64_t{FirstPictureTime()} * 2;
  ClearGop();
  T.pictureOpen = false;
  T.anchorValid = false;
  T.anchorInGop = false;
  T.refPending = false;
  T.seenHalfTicks = 0;
  T.pendingCount = 0;
  Intake.VideoBase = FirstPictureTime();
}

bool VideoTakeSequenceHeader(const uint8_t* bytes) {
  const uint8_t code = bytes[3] & 0x0F;
  if (T.width == 0) {
    T.width = static_cast<uint16_t>(bytes[0] << 4 | bytes[1] >> 4);
    T.height = static_cast<uint16_t>((bytes[1] & 0x0F) << 8 | bytes[2]);
  }
  if (code == FRAME_RATE_25) {
    T.fieldHalfTicks = PAL_FIELD_HALF_TICKS;
  } else if (code == FRAME_RATE_30000_1001) {
    T.fieldHalfTicks = NTSC_FIELD_HALF_TICKS;
  } else if (T.fieldHalfTicks != 0) {
    // A damaged header in a title whose rate is known: the rate stays.
    ShowVobDetailError(IDS_VIDEO_FRAME_RATE);
  } else {
    AbortFlag = true;
    ShowError(IDS_VIDEO_FRAME_RATE);
    return false;
  }
  return true;
}

bool VideoTakeExtension(const uint8_t* bytes) {
  const uint8_t id = bytes[0] >> 4;
  if (id == SEQUENCE_EXTENSION) {
    T.progressiveSequence = (bytes[1] & 0x08) != 0;
    return true;
  }
  if (id != PICTURE_CODING_EXTENSION || !T.pictureOpen || T.pictureHasExtension) return true;
  T.pictureHasExtension = true;
  const uint8_t structure = bytes[2] & 0x03;
  const bool topFieldFirst = (bytes[3] & 0x80) != 0;
  const bool repeatFirstField = (bytes[3] & 0x02) != 0;
  CountPicture(PictureFields(structure, topFieldFirst, repeatFirstField), structure == FRAME_PICTURE);
  return ResolvePending(false);
}

PictureStamps VideoPictureStart(uint32_t tr, uint8_t codingType, bool counts) {
  ClosePicture();
  T.pictureOpen = true;
  T.pictureHasExtension = false;
  T.pictureCounts = counts;
  T.pictureTr = tr;
  T.pictureFieldOffset = counts && !T.complete[tr] ? T.fields[tr] : 0;

  PictureStamps stamps;
  const uint64_t pts = PtsHalfTicks(tr, T.pictureFieldOffset);
  stamps.pts = ToTicks(pts);
  stamps.exact = PrefixComplete(tr);
  if (codingType != PICTURE_I && codingType != PICTURE_P) return stamps;

  const uint64_t field = T.fieldHalfTicks;
  uint64_t dts;
  if (T.anchorValid && T.anchorInGop && T.anchorTr == tr) {
    dts = T.anchorDtsHalfTicks + T.pictureFieldOffset * field;  // the second field of an anchor frame
  } else {
    // Decoded while the anchor before it begins to show; the first anchor
    // after a (re)start one frame before the GOP's first picture.
    if (!T.anchorValid) {
      dts = T.gopBaseHalfTicks - NOMINAL_FIELDS * field;
    } else {
      dts = T.anchorInGop ? PtsHalfTicks(T.anchorTr, 0) : T.anchorPtsHalfTicks;
    }
    T.anchorValid = true;
    T.anchorInGop = counts;
    T.anchorTr = tr;
    T.anchorPtsHalfTicks = pts;
    T.anchorDtsHalfTicks = dts;
  }
  stamps.dts = ToTicks(dts);
  stamps.hasDts = stamps.dts != stamps.pts;
  return stamps;
}

void VideoStampPending(uint32_t ticket) {
  if (T.pendingCount == PENDING_STAMPS) {
    // Far outside any DVD's GOP structure: the oldest keeps its estimate.
    std::memmove(T.pending, T.pending + 1, (PENDING_STAMPS - 1) * sizeof(PendingStamp));
    --T.pendingCount;
  }
  T.pending[T.pendingCount++] = {ticket, T.pictureTr, T.pictureFieldOffset};
}

uint32_t VideoSetReference(uint32_t inputPts) {
  T.seenHalfTicks = 0;
  T.refPending = true;
  T.refTr = T.pictureTr;
  T.refInputPts = inputPts;
  T.refEstimateTicks = ToTicks(uint64_t{PrefixFields(T.pictureTr)} * T.fieldHalfTicks);
  return inputPts - T.refEstimateTicks;
}

bool VideoGopEnd() {
  ClosePicture();
  const bool ok = ResolvePending(true);
  if (T.anchorValid && T.anchorInGop) {
    T.anchorPtsHalfTicks = PtsHalfTicks(T.anchorTr, 0);
    T.anchorInGop = false;
  }
  T.gopBaseHalfTicks += uint64_t{PrefixFields(Intake.GopFrames)} * T.fieldHalfTicks;
  Intake.VideoBase = ToTicks(T.gopBaseHalfTicks);
  Intake.GopFrames = 0;
  ClearGop();
  return ok;
}

void VideoGopSkipped() {
  ClosePicture();
  ClearGop();
  T.anchorValid = false;  // nothing before the reference has a time stamp
}

bool VideoRestart() {
  const bool ok = VideoGopEnd();
  T.anchorValid = false;
  return ok;
}

void VideoCountUntimedPicture() {
  const uint64_t before = T.gopBaseHalfTicks;
  T.gopBaseHalfTicks += uint64_t{NOMINAL_FIELDS} * T.fieldHalfTicks;
  Intake.VideoBase = ToTicks(T.gopBaseHalfTicks);
  const int64_t samples = HalfTicksToSamples(static_cast<int64_t>(T.gopBaseHalfTicks)) -
                          HalfTicksToSamples(static_cast<int64_t>(before));
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    int32_t& offset = AudioTracks[k].intake.AvOffset;
    offset = SatSub(offset, static_cast<int32_t>(samples));
  }
}

bool VideoShown(uint32_t tr) { return tr < TEMPORAL_REFERENCES && T.complete[tr]; }

uint32_t VideoEndTicks() {
  return ToTicks(T.gopBaseHalfTicks + uint64_t{PrefixFields(Intake.GopFrames)} * T.fieldHalfTicks);
}

uint32_t VideoReachedTicks() { return VideoEndTicks() - (FirstPictureTime() - FIRST_PTS); }

bool VideoTimingFinish() {
  ClosePicture();
  const bool resolved = ResolvePending(true);
  return MuxReleaseHeldVideo() && resolved;
}
