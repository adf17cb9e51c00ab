#include "extract/extraction_driver.h"

#include <atomic>
#include <cstdio>

#include "ac3/ac3_decoder.h"
#include "mpa/encoder_state.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "extract/title_selection.h"
#include "common/time_values.h"
#include "extract/audio_delay.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/av_alignment.h"
#include "extract/damage_log.h"
#include "extract/damage_skip.h"
#include "extract/encoder_thread.h"
#include "extract/extraction_request.h"
#include "extract/kept_audio.h"
#include "source/input_layout.h"
#include "extract/output_multiplexer.h"
#include "extract/output_writer.h"
#include "extract/packet_intake.h"
#include "extract/subpicture_intake.h"
#include "extract/subtitle_selection.h"
#include "extract/time_mapping.h"
#include "extract/time_origin.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"
#include "platform/guarded_read.h"
#include "platform/ui_port.h"
#include "platform/work_buffers.h"
#include "source/dvd_disc.h"
#include "source/scrambling.h"
#include "source/vob_reader.h"

ExtractionWalkState Walk;

namespace {

enum class Ending { Normal, WalkFailure, PacketFailure };

constexpr uint32_t SCRAMBLED_RUN_ENCRYPTED = 16;  // scrambled packets in a row
constexpr uint64_t SHORT_SKIP_BYTES = 16 * 2048;   // far less than a GOP of a DVD

std::atomic<bool> outputClosed{false};
std::atomic<bool> outputNotCreated{false};
// The failure that ended the extraction has been told in a message of its
// own, always shown: no summary follows it.
std::atomic<bool> failureShown{false};

void ShowStatus() {
  if (TitleSelection.subStreamId == 0) {
    // Only kept tracks: no stream is decoded.
    Ui().SetStatusText("Extracting title " + std::to_string(TitleSelection.title) + ", audio kept as on the disc");
    return;
  }
  const bool pcm = TitleSelection.streamKind == STREAM_KIND_PCM;
  const unsigned stream = TitleSelection.subStreamId - (pcm ? 0xA0u : 0x80u);
  std::string format = LoadStringText(IDS_EXTRACTING, 48);
  Ui().SetStatusText(FormatString(48, format.c_str(), static_cast<unsigned>(TitleSelection.title),
                                  pcm ? "PCM" : "AC3", stream));
}

void ResetExtractionState(uint32_t originShift) {
  // The first picture's output time comes first: every stream starts there.
  TimeMappingReset(originShift);
  // Nothing of an earlier extraction reaches this one: a title extracted
  // after others gives the file it gives alone.
  AudioTracksReset();
  Walk = ExtractionWalkState{};
  DamageLogReset();
  Mux.SystemHeaderSeen = false;
  Mux.OutputScr = 0;
  VideoTimingReset();  // VideoBase: the first picture's time
  Intake.GopFrames = 0;
  Intake.VideoRefSet = false;
  Intake.GopSeen = false;
  VideoScanReset();  // nothing held over from an extraction that failed mid-start-code
  // The streams of the output: a Layer II stream per re-encoded track (set
  // with the tracks), and one per kept track.
  KeptAudioReset();
  KeptAudioPlanStreams();
  SubpictureIntakeReset();
}

// The walk ends on an error.
Ending Failed(Ending ending) {
  Walk.WalkFailed = true;
  return ending;
}

enum class CodeRead { Taken, Missing, Fault };

// The record at current must be a start code: its first four bytes are read
// through the read-fault guard (the first read of every new record), the
// prefix checked and the code byte taken. Reported as failures only when the
// walk stops at damage; otherwise the walk passes over it.
CodeRead TakeCodeByte() {
  uint8_t head[4] = {0xFF, 0xFF, 0xFF, 0xFF};  // bytes past the view stay non-codes
  const uint32_t inView = VobBytesInView();
  if (!VobGuardedRead(VobReader.current, inView < 4 ? inView : 4, head)) {
    if (StopOnDamage) {
      AbortFlag = true;
      ShowVobDetailError(IDS_INPUT_ACCESS);
    }
    return CodeRead::Fault;
  }
  const bool prefix = head[0] == 0x00 && head[1] == 0x00 && head[2] == 0x01;
  if (StopOnDamage ? !VobCheckPackStart(head) : !prefix) return CodeRead::Missing;
  Walk.code = head[3];
  return CodeRead::Taken;
}

// Total length of the system header or PES packet at current, its length
// field read through the read-fault guard. One cut by the end of the part
// before its length field counts as RECORD_PREFIX_BYTES, so that the advance
// past it reports the cut. False after a read fault.
bool TakeRecordLength(uint32_t& length) {
  switch (ReadRecordLength(length)) {
    case RecordRead::Read:
      return true;
    case RecordRead::OutsideView:
      length = RECORD_PREFIX_BYTES;
      return true;
    case RecordRead::Faulted:
      break;
  }
  if (StopOnDamage) {
    AbortFlag = true;
    ShowVobDetailError(IDS_INPUT_ACCESS);
  }
  return false;
}

enum class RecordFit { Whole, PastPartEnd, Refused };

// A record of n bytes that runs past the view can only have a corrupt
// length: past the end of the part the advance reports it (the record is not
// read); longer than any view guarantees, it ends the walk here.
RecordFit FitRecord(uint32_t n) {
  if (n <= VobBytesInView()) return RecordFit::Whole;
  if (n <= VOB_RECORD_REACH) return RecordFit::PastPartEnd;
  AbortFlag = true;
  ShowVobDetailError(IDS_PES_CROSSING);
  return RecordFit::Refused;
}

// Whether the n bytes of the record at current can be used when damage is
// passed over: all of them could be read, and a record that runs into the
// next 2048-byte boundary does not run over a pack header there (its length
// would be corrupt: every record of a VOB lies inside its pack).
bool RecordUsable(uint32_t n) {
  if (n > VobReadableInView()) return false;
  const uint32_t toBoundary = PACK_SIZE - VobCurrentOffset() % PACK_SIZE;
  if (n <= toBoundary || toBoundary + INPUT_PACK_HEADER_BYTES > VobReadableInView()) return true;
  uint8_t head[INPUT_PACK_HEADER_BYTES];
  return !VobGuardedRead(VobReader.current + toBoundary, sizeof head, head) || !PlausiblePackHeader(head);
}

// Advances past a record of n bytes and takes the next code byte. Sets
// ended when the title's last part has ended.
enum class Advanced { Code, Damage, Failure };

Advanced AdvanceRecord(uint32_t n, bool& ended) {
  if (!VobAdvance(n)) return Advanced::Failure;
  Walk.bytesSinceMib += n;
  if (VobReader.closed) {
    ended = true;
    return Advanced::Code;
  }
  return TakeCodeByte() == CodeRead::Taken ? Advanced::Code : Advanced::Damage;
}

// The first system header gives MuxRate and the video buffer bound and
// lets pack 0 be written; later ones are passed over. rate_bound is taken
// once a stream entry has been found: only then is the header known to be
// long enough to hold it (a corrupt header_length can end it before byte 9,
// at the end of the part and of the mapped bytes).
Ending TakeSystemHeader(uint32_t length) {
  const uint8_t* header = VobReader.current;
  bool found = false;
  uint16_t videoBound = 0;
  for (uint32_t offset = 12; offset + 3 <= length; offset += 3) {
    const uint8_t* entry = header + offset;
    if ((entry[0] & 0x80) == 0) break;
    if (entry[0] == 0xB9 || (entry[0] & 0xF0) == 0xE0) {
      if (entry[0] != 0xB9) Walk.VideoStreamNumber = entry[0] & 0x0F;
      videoBound = ReadBufferBound(entry);
      found = true;
      break;
    }
  }
  if (!found) {
    if (StopOnDamage) {
      AbortFlag = true;
      ShowVobDetailError(IDS_NO_VIDEO_PSTD);
      Walk.WalkFailed = true;
    }
    return Ending::WalkFailure;
  }
  Mux.MuxRate = ReadRateBound(header);
  if (!MuxWriteFirstPack(videoBound)) return Ending::PacketFailure;
  Mux.SystemHeaderSeen = true;
  return Ending::Normal;
}

// Interleaved blocks: only the units of the VOB id that opened the block are
// used.
void TakeDsi(const uint8_t* packet) {
  const bool interleaved = (packet[39] & 0x40) != 0;
  const uint16_t vobId = static_cast<uint16_t>(ReadBigEndian16(packet + 31));
  if (!Walk.previousInterleaved && interleaved) {
    Walk.AngleVobId = vobId;
  } else if (Walk.previousInterleaved && !interleaved) {
    Walk.AngleSkip = false;
  } else if (Walk.previousInterleaved && interleaved) {
    Walk.AngleSkip = vobId != Walk.AngleVobId;
  }
  Walk.previousInterleaved = interleaved;
}

// A scrambled (CSS) packet cannot be decoded or copied: the extraction ends
// and its output, which could only be partial, is removed.
void ShowEncrypted() {
  const std::string reason = EncryptedTitleReason();
  Ui().ShowBox(FormatString(300, LoadStringText(IDS_ENCRYPTED_EXTRACT).c_str(), reason.c_str()), BoxKind::Error);
}

bool RefuseScrambled() {
  Walk.Encrypted = true;
  AbortFlag = true;
  ShowEncrypted();
  return false;
}

enum class PacketKind { Video, Audio, Subpicture };

// The first re-encoded track of the sub-stream; null when none decodes it.
AudioTrack* DecodedTrackOf(uint8_t subStreamId) {
  for (uint32_t k = 0; k < AudioTrackCount; ++k)
    if (AudioTracks[k].subStreamId == subStreamId) return &AudioTracks[k];
  return nullptr;
}

// The packet goes to every re-encoded track of its sub-stream, from the
// first one on.
bool DecodedPacketIn(AudioTrack& first, const uint8_t* packet, uint32_t length) {
  for (uint32_t k = TrackIndex(first); k < AudioTrackCount; ++k) {
    AudioTrack& t = AudioTracks[k];
    if (t.subStreamId == first.subStreamId && !AudioPacketIn(t, packet, length)) return false;
  }
  return true;
}

// A packet of a chosen stream: used once pack 0 is written. A track kept
// as it is gets the packet too (the decoded one may be the same sub-stream).
bool UsePacket(PacketKind kind, const uint8_t* packet, uint32_t length, int subpictureStream = -1,
               KeptTrack* kept = nullptr, AudioTrack* decoded = nullptr) {
  if (PesScrambled(packet, length)) return RefuseScrambled();
  if (!CheckScrContinuity(Walk.scr)) return false;
  if (!Mux.SystemHeaderSeen) {
    ShowVobDetailError(IDS_NO_SYSTEM_HEADER);
    return true;
  }
  if (kept != nullptr && !KeptPacketIn(*kept, packet, length)) return false;
  switch (kind) {
    case PacketKind::Video:
      return VideoPacketIn(packet, length);
    case PacketKind::Audio:
      return decoded == nullptr || DecodedPacketIn(*decoded, packet, length);
    case PacketKind::Subpicture:
      break;
  }
  return SubpicturePacketIn(subpictureStream, packet, length);
}

bool TakePacket(uint32_t length) {
  const uint8_t* packet = VobReader.current;
  const uint8_t code = Walk.code;
  if (code >= 0xE0 && code <= 0xEF && !Walk.AngleSkip) {
    if (Walk.VideoStreamNumber < 0) Walk.VideoStreamNumber = code & 0x0F;
    if ((code & 0x0F) == Walk.VideoStreamNumber) return UsePacket(PacketKind::Video, packet, length);
  } else if (code == CODE_PRIVATE_1 && !Walk.AngleSkip) {
    if (length <= 9 || PesPayloadOffset(packet) >= length) return true;
    const uint8_t subStreamId = packet[PesPayloadOffset(packet)];
    AudioTrack* decoded = DecodedTrackOf(subStreamId);
    KeptTrack* kept = KeptTrackOfSubStream(subStreamId);
    if (decoded != nullptr || kept != nullptr) return UsePacket(PacketKind::Audio, packet, length, -1, kept, decoded);
    const int subpicture = KeptSubpictureStream(subStreamId);
    if (subpicture >= 0) return UsePacket(PacketKind::Subpicture, packet, length, subpicture);
  } else if (code >= 0xC0 && code <= 0xDF && !Walk.AngleSkip) {
    if (KeptTrack* kept = KeptTrackOfStream(code)) return UsePacket(PacketKind::Audio, packet, length, -1, kept);
  } else if (code == CODE_PRIVATE_2 && length >= 40 && packet[6] == 0x01) {
    TakeDsi(packet);
  }
  return true;
}

void ShowTimeAndProgress() {
  const uint32_t seconds = Intake.VideoBase / CLOCK_HZ;
  if (seconds != Walk.ShownSeconds) {
    Walk.ShownSeconds = seconds;
    Ui().SetTimeText(FormatHms(seconds), seconds);
  }
  if (Walk.bytesSinceMib >= 0x100000) {
    Walk.bytesSinceMib -= 0x100000;
    ++Walk.mibWalked;
    const uint32_t size = TitleSelection.sizeMB > 0 ? static_cast<uint32_t>(TitleSelection.sizeMB) : 1;
    const uint32_t percentage = Walk.mibWalked * 100 / size;
    if (percentage != Walk.shownPercentage) {
      Walk.shownPercentage = percentage;
      Ui().SetProgress(percentage);
    }
  }
}

// What became of one pack. For Damaged, ending is the one the walk takes
// when it stops at damage.
enum class PackWalk { Done, Damaged, Ended, Failed };
struct PackResult {
  PackWalk walk;
  Ending ending;
};

PackResult Damage() { return {PackWalk::Damaged, Ending::WalkFailure}; }

// The header of a PES packet of the streams used makes sense: MPEG-2 marker
// bits and a header length inside the packet.
bool PesHeaderUsable(const uint8_t* packet, uint32_t length) {
  const uint8_t code = packet[3];
  if (!((code >= 0xE0 && code <= 0xEF) || code == CODE_PRIVATE_1)) return true;
  return length >= 9 && (packet[6] & 0xC0) == 0x80 && PesPayloadOffset(packet) <= length;
}

// A packet that claims to be scrambled among clear ones carries a damaged
// header; a run of them is an encrypted stretch, which ends the extraction
// as a scrambled title does.
bool ScrambledByDamage(uint32_t length) {
  const uint8_t* packet = VobReader.current;
  if (!ScramblableStream(packet[3])) return false;
  if (!PesScrambled(packet, length)) {
    Walk.scrambledRun = 0;
    return false;
  }
  return ++Walk.scrambledRun < SCRAMBLED_RUN_ENCRYPTED;
}

// How the record of the given length at current is to be taken.
RecordFit Fit(uint32_t length) {
  if (StopOnDamage) return FitRecord(length);
  return RecordUsable(length) ? RecordFit::Whole : RecordFit::Refused;
}

// Advances past the record; the code byte of the next one is taken.
PackResult NextRecord(uint32_t length, bool& ended) {
  switch (AdvanceRecord(length, ended)) {
    case Advanced::Code:
      return {ended ? PackWalk::Ended : PackWalk::Done, Ending::Normal};
    case Advanced::Damage:
      return Damage();
    case Advanced::Failure:
      break;
  }
  return {PackWalk::Failed, Ending::WalkFailure};
}

// One pack from its header, with the code byte at current taken.
PackResult WalkPack() {
  bool ended = false;
  if (Walk.code != CODE_PACK) {
    if (Walk.code == CODE_END) return {PackWalk::Ended, Ending::Normal};
    if (StopOnDamage) {
      AbortFlag = true;
      ShowVobDetailError(IDS_UNEXPECTED_PACK_START);
    }
    return Damage();
  }
  if (!StopOnDamage) {
    uint8_t head[INPUT_PACK_HEADER_BYTES];
    if (VobReadableInView() < sizeof head || !VobGuardedRead(VobReader.current, sizeof head, head) ||
        !PlausiblePackHeader(head))
      return Damage();
  }
  if (FitRecord(INPUT_PACK_HEADER_BYTES) == RecordFit::Whole) {
    const uint32_t scr = ReadPackScr(VobReader.current);
    Walk.scr = ScrTrusted(scr, Walk.LastInputScr) ? scr : Walk.LastInputScr;
  }
  PackResult next = NextRecord(INPUT_PACK_HEADER_BYTES, ended);
  if (next.walk != PackWalk::Done) return next;

  if (Walk.code == CODE_SYSTEM_HEADER) {
    uint32_t length;
    if (!TakeRecordLength(length)) return Damage();
    const RecordFit fit = Fit(length);
    if (fit == RecordFit::Refused) return Damage();
    if (fit == RecordFit::Whole && !Mux.SystemHeaderSeen) {
      const Ending taken = TakeSystemHeader(length);
      if (taken == Ending::PacketFailure) return {PackWalk::Failed, taken};
      if (taken == Ending::WalkFailure) return Damage();
    }
    next = NextRecord(length, ended);
    if (next.walk != PackWalk::Done) return next;
  }

  while (Walk.code > CODE_SYSTEM_HEADER) {
    uint32_t length;
    if (!TakeRecordLength(length)) return Damage();
    const RecordFit fit = Fit(length);
    if (fit == RecordFit::Refused) return Damage();
    if (fit == RecordFit::Whole) {
      if (!StopOnDamage && (!PesHeaderUsable(VobReader.current, length) || ScrambledByDamage(length)))
        return Damage();
      if (!TakePacket(length)) return {PackWalk::Failed, Ending::PacketFailure};
    }
    next = NextRecord(length, ended);
    if (next.walk != PackWalk::Done) return next;
  }
  return {PackWalk::Done, Ending::Normal};
}

// A short skip within a GOP: the video goes on with the next whole packet
// and its pictures keep their times by temporal_reference (the lost ones
// leave their time); the audio realigns with the video at the time stamp
// of its next packet, as when it starts, filling what was lost with
// silence. A skipped start code may have held back bytes: they are passed
// on, and the scanner starts afresh.
bool ShortBreak() {
  if (!VideoScanRelease()) return false;
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    AudioTrack& t = AudioTracks[k];
    if (!t.intake.AudioStarted) continue;
    WaitEncoderIdle(t);
    t.intake.AudioStarted = false;
    // Where the audio handed on ends, from the video reference's GOP start.
    t.intake.AvOffset = TicksToSamples(static_cast<int32_t>(Mux.layer2[k].pts - Intake.RefVideoBase)) +
                        static_cast<int32_t>(t.handoff.EncFill + AudioDelayed(t));
  }
  Walk.softBreak = true;
  return true;
}

// A skip is a break in the streams: a partly gathered audio frame is
// dropped and the time stamps that realign the streams are checked first.
// After a long skip (or before the video has its reference) the next packet
// used realigns audio and video as after a step of the input clock.
bool BreakStreams(uint64_t skipped) {
  if (!AudioTracksCatchUp()) return false;
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    AudioTracks[k].intake.Ac3GatherState = 0;
    AudioTracks[k].intake.ac3SyncWord = 0;
  }
  Walk.checkStamps = true;
  if (skipped <= SHORT_SKIP_BYTES && Intake.VideoRefSet && !Walk.resyncPending && !Walk.countUntimed)
    return ShortBreak();
  Walk.softBreak = false;
  Walk.resyncPending = true;
  return true;
}

// Passes over the damage at current to the next whole pack. PackWalk::Done
// when the walk goes on there.
PackResult PassDamage() {
  bool ended = false;
  const uint64_t before = DamageLog.bytes;
  if (!SkipToNextPack(ended)) return {PackWalk::Failed, Ending::WalkFailure};
  if (!BreakStreams(DamageLog.bytes - before)) return {PackWalk::Failed, Ending::PacketFailure};
  if (ended) return {PackWalk::Ended, Ending::Normal};
  Walk.code = CODE_PACK;
  return {PackWalk::Done, Ending::Normal};
}

Ending WalkTitle() {
  const CodeRead first = TakeCodeByte();
  PackResult result{PackWalk::Done, Ending::Normal};
  if (first != CodeRead::Taken) {
    if (StopOnDamage) return Failed(first == CodeRead::Fault ? Ending::WalkFailure : Ending::PacketFailure);
    result = PassDamage();
  }
  for (;;) {
    if (result.walk == PackWalk::Done && !AbortFlag) result = WalkPack();
    SubpicturesRelease();
    if (result.walk == PackWalk::Damaged) {
      if (StopOnDamage) return Failed(result.ending);
      result = PassDamage();
      if (result.walk == PackWalk::Done) continue;
    }
    switch (result.walk) {
      case PackWalk::Ended:
        return result.ending;
      case PackWalk::Failed:
        return Failed(result.ending);
      default:
        break;
    }
    ShowTimeAndProgress();
    if (AbortFlag) return Ending::WalkFailure;  // Stop, or a failure reported elsewhere
  }
}

void CloseOutput() {
  VobClose();
  Ui().DisableStop();
  outputClosed = OutputClose();
}

// A title walked to its end without one sequence header has no picture
// rate: nothing of it can be timed, and the file is no extraction of it.
void RefuseTitleWithoutSequenceHeader() {
  OutputFileRemove(Writer.file, TitleSelection.outputPath);
  ShowError(IDS_NO_SEQUENCE_HEADER);
  Walk.WalkFailed = true;
  failureShown = true;
}

// The VobSub pair of the kept sub-picture streams; a failure to write it
// fails the extraction, told in its own message.
void WriteSubtitles() {
  if (SubtitleSelection.streams.empty() || WriteVobSubFiles()) return;
  Walk.WalkFailed = true;
  failureShown = true;
}

void FinishExtraction(Ending ending) {
  if (ending == Ending::PacketFailure) {
    EncoderStop();
    CloseOutput();
    if (Walk.Encrypted) OutputFileRemove(Writer.file, TitleSelection.outputPath);
    if (OutputWriteFailed()) failureShown = true;
    return;
  }
  const bool finished =
      AudioTracksCatchUp() && VideoTimingFinish() && KeptAudioFinish() && AudioFlush() && MuxFinish();
  EncoderStop();  // already stopped unless no pack was written
  CloseOutput();
  if (OutputWriteFailed()) failureShown = true;
  // A title stopped by the user keeps its subtitles up to where it stopped,
  // as it keeps its file.
  if (ending == Ending::WalkFailure && outputClosed && !Walk.WalkFailed && !failureShown) WriteSubtitles();
  if (ending != Ending::Normal || !outputClosed) return;
  if (!finished) {
    Walk.WalkFailed = true;  // the failure was reported where it happened
    return;
  }
  if (VideoTiming.fieldHalfTicks == 0) {
    RefuseTitleWithoutSequenceHeader();
    return;
  }
  WriteSubtitles();
  if (SubtitleSelection.subsOnly) return;
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    const AudioTrack& t = AudioTracks[k];
    if (t.streamKind == STREAM_KIND_PCM) {
      if (!t.intake.PcmFound) ShowError(IDS_NO_PCM);
    } else {
      ReportNoAc3Found(t.decoder);
    }
  }
}

// A failed extraction never ends with the completion box: errors of the
// input get one summary (each was shown in detail in verbose mode), and
// failures that were told in a message of their own get nothing more.
void ShowClosingMessage() {
  if (Walk.Encrypted || failureShown) return;
  if (Walk.WalkFailed) {
    if (!VerboseErrors) ShowError(IDS_EXTRACT_ERROR);
    return;
  }
  if (!outputClosed) return;  // the close error has been shown
  // The video time is where the last picture written ends.
  std::string time = FormatHms(VideoReachedTicks() / CLOCK_HZ);
  std::string format = LoadStringText(IDS_DONE, 48);
  std::string text = FormatString(48, format.c_str(), time.c_str());
  const std::string damage = DamageSummary();
  if (!damage.empty()) text += "\r " + damage;
  Ui().ShowBox(text, BoxKind::Information);
}

bool OpenTitle() {
  VobReader.title = TitleSelection.title;
  VobReader.part = 1;
  return VobOpenPart();
}

// The title cannot be walked: the encoder stops, the empty output closes
// (and is removed when asked) and the message is the only one.
void EndWithoutTitle(unsigned message, bool removeOutput) {
  EncoderStop();
  OutputClose();
  outputClosed = false;
  if (removeOutput) OutputFileRemove(Writer.file, TitleSelection.outputPath);
  AbortFlag = true;
  if (message == IDS_ENCRYPTED_EXTRACT)
    ShowEncrypted();
  else
    ShowError(message);
  Ui().WorkerDone();
}

}  // namespace

bool CheckScrContinuity(uint32_t scr) {
  if (!Walk.resyncPending && scr >= Walk.LastInputScr) {
    Walk.LastInputScr = scr;
    return true;
  }
  if (!AudioTracksCatchUp()) return false;
  // A skipped stretch is a break as a step of the clock is; its detail
  // message has been shown.
  if (!Walk.resyncPending) ShowVobDetailError(IDS_STREAMS_SYNC);
  // Pictures up to the next GOP header go on counting the GOP in progress
  // (the same one when no GOP header came since an earlier skip).
  if (Walk.resyncPending && !Walk.countUntimed) Walk.untimedFrames = Intake.GopFrames;
  Walk.countUntimed = Walk.resyncPending;
  Walk.resyncPending = false;
  // The pictures of the GOP in progress are counted in; a refused pack
  // shows again at the next packet.
  VideoRestart();
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    AudioTrack& t = AudioTracks[k];
    WaitEncoderIdle(t);
    t.intake.PreRollSamples = 0;
    ClearPreRoll(t);
    t.handoff.SkipSamples = 0;
    t.intake.AudioStarted = false;
  }
  Intake.VideoRefSet = false;
  Intake.GopSeen = false;
  VideoScanRelease();  // a failed append shows again at the next packet
  Walk.LastInputScr = scr;
  for (uint32_t k = 0; k < AudioTrackCount; ++k) {
    AudioTrack& t = AudioTracks[k];
    t.intake.Ac3GatherState = 0;
    t.intake.AvOffset = TicksToSamples(static_cast<int32_t>(Mux.layer2[k].pts - Intake.VideoBase)) +
                        static_cast<int32_t>(t.handoff.EncFill + AudioDelayed(t));
  }
  const bool handed = KeptAudioClockStep();
  TimeMappingBreak();
  return handed;
}

bool ExtractionFailed() { return Walk.WalkFailed; }

bool ExtractionSkippedDamage() { return DamageLog.stretches > 0; }

bool ExtractionOutputClosed() { return outputClosed; }

bool TakeExtractionOutputNotCreated() { return outputNotCreated.exchange(false); }

int ExtractionWorker() {
  outputClosed = false;
  outputNotCreated = false;
  failureShown = false;
  Walk.WalkFailed = false;
  DamageLogReset();
  // The front end allocates the buffers at start-up; one that did not gets
  // them now (or the start-up message) rather than a crash.
  if (!AllocateWorkBuffers()) {
    ShowError(IDS_NO_BUFFER);
    Ui().WorkerDone();
    return 0;
  }
  ShowStatus();
  // Nothing is opened for writing before the request is known to be met: an
  // output over the input would destroy the title, and a missing title would
  // leave an empty file behind.
  if (OutputIsSourceFile(TitleSelection.outputPath)) {
    AbortFlag = true;
    ShowError(IDS_OUTPUT_IS_INPUT);
    Ui().WorkerDone();
    return 0;
  }
  VobReader.title = TitleSelection.title;
  VobReader.part = 1;
  if (!VobProbePart()) {
    AbortFlag = true;
    ShowError(IDS_NO_TITLE);
    Ui().WorkerDone();
    return 0;
  }
  AudioTracksSelect();
  if (!EncoderStart()) {
    Ui().WorkerDone();
    return 0;
  }
  if (!OutputOpen()) {
    EncoderStop();
    AbortFlag = true;
    outputNotCreated = true;
    ShowFileError(IDS_NO_OUTPUT, TitleSelection.outputPath, Writer.file.failure);
    Ui().WorkerDone();
    return 0;
  }
  if (!OpenTitle()) {
    EndWithoutTitle(IDS_NO_TITLE, false);
    return 0;
  }
  // An encrypted title is refused before anything is written; the look at
  // its first packs moved the reader, which opens the title again.
  if (VobTitleStartScrambled()) {
    VobClose();
    EndWithoutTitle(IDS_ENCRYPTED_EXTRACT, true);
    return 0;
  }
  if (!OpenTitle()) {
    EndWithoutTitle(IDS_NO_TITLE, false);
    return 0;
  }
  // Kept tracks whose frames lead the first picture move the output's
  // time origin; the look at the title's start moved the reader again.
  uint32_t originShift = 0;
  if (!KeptAudio.requests.empty()) {
    originShift = TitleStartOriginShift();
    VobClose();
    if (!OpenTitle()) {
      EndWithoutTitle(IDS_NO_TITLE, false);
      return 0;
    }
  }
  ResetExtractionState(originShift);
  FinishExtraction(WalkTitle());
  ShowClosingMessage();
  Ui().WorkerDone();
  return 0;
}
