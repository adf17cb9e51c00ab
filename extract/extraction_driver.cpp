#include "extract/extraction_driver.h"

#include <atomic>
#include <cstdio>

#include "ac3/ac3_decoder.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "extract/title_selection.h"
#include "common/time_values.h"
#include "extract/audio_delay.h"
#include "extract/audio_handoff.h"
#include "extract/av_alignment.h"
#include "extract/encoder_thread.h"
#include "extract/extraction_request.h"
#include "source/input_layout.h"
#include "extract/output_multiplexer.h"
#include "extract/output_writer.h"
#include "extract/packet_intake.h"
#include "extract/video_timing.h"
#include "extract/walk_state.h"
#include "platform/files.h"
#include "platform/guarded_read.h"
#include "platform/ui_port.h"
#include "platform/work_buffers.h"
#include "source/scrambling.h"
#include "source/vob_reader.h"

ExtractionWalkState Walk;

namespace {

enum class Ending { Normal, WalkFailure, PacketFailure };

std::atomic<bool> outputClosed{false};

void ShowStatus() {
  const bool pcm = TitleSelection.streamKind == STREAM_KIND_PCM;
  const unsigned stream = TitleSelection.subStreamId - (pcm ? 0xA0u : 0x80u);
  std::string format = LoadString(IDS_EXTRACTING, 48);
  Ui().SetStatusText(FormatString(48, format.c_str(), static_cast<unsigned>(TitleSelection.title),
                                  pcm ? "PCM" : "AC3", stream));
}

void ResetExtractionState() {
  Handoff.EncFill = 0;
  Handoff.SkipSamples = 0;
  if (TitleSelection.streamKind == STREAM_KIND_PCM) {
    Intake.PcmFound = false;
  } else {
    Ac3Reset(TitleSelection.dynamicCompression);
    Intake.Ac3GatherState = 0;
  }
  Walk = ExtractionWalkState{};
  Mux.SystemHeaderSeen = false;
  Mux.OutputScr = 0;
  Mux.AudioPts = FIRST_PTS;
  VideoTimingReset();  // VideoBase 22500
  Intake.GopFrames = 0;
  Intake.AvOffset = 0;
  Intake.PreRollSamples = 0;
  ClearPreRoll();
  AudioDelayReset();
  Intake.AudioStarted = false;
  Intake.VideoRefSet = false;
  Intake.GopSeen = false;
  VideoScanReset();  // nothing held over from an extraction that failed mid-start-code
}

// The walk ends on an error.
Ending Failed(Ending ending) {
  Walk.WalkFailed = true;
  return ending;
}

enum class CodeRead { Taken, Missing, Fault };

// The record at current must be a start code: its first four bytes are read
// through the read-fault guard (the first read of every new record), the
// prefix checked and the code byte taken.
CodeRead TakeCodeByte() {
  uint8_t head[4] = {0xFF, 0xFF, 0xFF, 0xFF};  // bytes past the view stay non-codes
  const uint32_t inView = VobBytesInView();
  if (!VobGuardedRead(VobReader.current, inView < 4 ? inView : 4, head)) {
    AbortFlag = true;
    ShowVobDetailError(IDS_INPUT_ACCESS);
    return CodeRead::Fault;
  }
  if (!VobCheckPackStart(head)) return CodeRead::Missing;
  Walk.code = head[3];
  return CodeRead::Taken;
}

// Total length of the system header or PES packet at current, its length
// field read through the read-fault guard. One cut by the end of the part
// before its length field counts as RECORD_PREFIX_BYTES, so that the advance
// past it reports the cut. False after a read fault (reported).
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
  AbortFlag = true;
  ShowVobDetailError(IDS_INPUT_ACCESS);
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

// Advances past a record of n bytes and takes the next code byte. Sets
// ended when the title's last part has ended.
bool AdvanceRecord(uint32_t n, bool& ended) {
  if (!VobAdvance(n)) return false;
  Walk.bytesSinceMib += n;
  if (VobReader.closed) {
    ended = true;
    return true;
  }
  return TakeCodeByte() == CodeRead::Taken;
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
    AbortFlag = true;
    ShowVobDetailError(IDS_NO_VIDEO_PSTD);
    Walk.WalkFailed = true;
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
bool RefuseScrambled() {
  Walk.Encrypted = true;
  AbortFlag = true;
  ShowError(IDS_ENCRYPTED_EXTRACT);
  return false;
}

// A packet of a chosen stream: used once pack 0 is written.
bool UsePacket(bool video, const uint8_t* packet, uint32_t length) {
  if (PesScrambled(packet, length)) return RefuseScrambled();
  CheckScrContinuity(Walk.scr);
  if (!Mux.SystemHeaderSeen) {
    ShowVobDetailError(IDS_NO_SYSTEM_HEADER);
    return true;
  }
  return video ? VideoPacketIn(packet, length) : AudioPacketIn(packet, length);
}

bool TakePacket(uint32_t length) {
  const uint8_t* packet = VobReader.current;
  const uint8_t code = Walk.code;
  if (code >= 0xE0 && code <= 0xEF && !Walk.AngleSkip) {
    if (Walk.VideoStreamNumber < 0) Walk.VideoStreamNumber = code & 0x0F;
    if ((code & 0x0F) == Walk.VideoStreamNumber) return UsePacket(true, packet, length);
  } else if (code == CODE_PRIVATE_1 && !Walk.AngleSkip) {
    if (length > 9 && PesPayloadOffset(packet) < length &&
        packet[PesPayloadOffset(packet)] == TitleSelection.subStreamId) {
      return UsePacket(false, packet, length);
    }
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

Ending WalkTitle() {
  const CodeRead first = TakeCodeByte();
  if (first == CodeRead::Fault) return Failed(Ending::WalkFailure);
  if (first == CodeRead::Missing) return Failed(Ending::PacketFailure);
  bool ended = false;
  for (;;) {
    if (Walk.code != CODE_PACK) {
      if (Walk.code == CODE_END) return Ending::Normal;
      AbortFlag = true;
      ShowVobDetailError(IDS_UNEXPECTED_PACK_START);
      return Failed(Ending::WalkFailure);
    }
    if (FitRecord(INPUT_PACK_HEADER_BYTES) == RecordFit::Whole) {
      Walk.scr = ReadPackScr(VobReader.current);
    }
    if (!AdvanceRecord(INPUT_PACK_HEADER_BYTES, ended)) return Failed(Ending::WalkFailure);
    if (ended) return Ending::Normal;

    if (Walk.code == CODE_SYSTEM_HEADER) {
      uint32_t length;
      if (!TakeRecordLength(length)) return Failed(Ending::WalkFailure);
      const RecordFit fit = FitRecord(length);
      if (fit == RecordFit::Refused) return Failed(Ending::WalkFailure);
      if (fit == RecordFit::Whole && !Mux.SystemHeaderSeen) {
        const Ending taken = TakeSystemHeader(length);
        if (taken == Ending::PacketFailure) return Failed(taken);
        if (taken == Ending::WalkFailure) return taken;
      }
      if (!AdvanceRecord(length, ended)) return Failed(Ending::WalkFailure);
      if (ended) return Ending::Normal;
    }

    while (Walk.code > CODE_SYSTEM_HEADER) {
      uint32_t length;
      if (!TakeRecordLength(length)) return Failed(Ending::WalkFailure);
      const RecordFit fit = FitRecord(length);
      if (fit == RecordFit::Refused) return Failed(Ending::WalkFailure);
      if (fit == RecordFit::Whole && !TakePacket(length)) return Failed(Ending::PacketFailure);
      if (!AdvanceRecord(length, ended)) return Failed(Ending::WalkFailure);
      if (ended) return Ending::Normal;
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

void FinishExtraction(Ending ending) {
  if (ending == Ending::PacketFailure) {
    EncoderStop();
    CloseOutput();
    if (Walk.Encrypted) RemoveFile(TitleSelection.outputPath);
    return;
  }
  const bool finished = VideoTimingFinish() && AudioFlush() && MuxFinish();
  EncoderStop();  // already stopped unless no pack was written
  CloseOutput();
  if (ending == Ending::Normal && finished && outputClosed) {
    if (TitleSelection.streamKind == STREAM_KIND_PCM) {
      if (!Intake.PcmFound) ShowError(IDS_NO_PCM);
    } else {
      ReportNoAc3Found();
    }
  }
}

void ShowClosingMessage() {
  if (Walk.Encrypted) return;  // its message said that nothing was written
  if (Walk.WalkFailed && !VerboseErrors) {
    ShowError(IDS_EXTRACT_ERROR);
    return;
  }
  std::string time = FormatHms(Walk.ShownSeconds);
  std::string format = LoadString(IDS_DONE, 48);
  Ui().ShowBox(FormatString(48, format.c_str(), time.c_str()), BoxKind::Information);
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
  if (removeOutput) RemoveFile(TitleSelection.outputPath);
  AbortFlag = true;
  ShowError(message);
  Ui().WorkerDone();
}

}  // namespace

void CheckScrContinuity(uint32_t scr) {
  if (scr >= Walk.LastInputScr) {
    Walk.LastInputScr = scr;
    return;
  }
  ShowVobDetailError(IDS_STREAMS_SYNC);
  // The pictures of the GOP in progress are counted in; a refused pack
  // shows again at the next packet.
  VideoRestart();
  WaitEncoderIdle();
  Intake.PreRollSamples = 0;
  ClearPreRoll();
  Handoff.SkipSamples = 0;
  Intake.AudioStarted = false;
  Intake.VideoRefSet = false;
  Intake.GopSeen = false;
  VideoScanRelease();  // a failed append shows again at the next packet
  Intake.Ac3GatherState = 0;
  Walk.LastInputScr = scr;
  Intake.AvOffset = TicksToSamples(static_cast<int32_t>(Mux.AudioPts - Intake.VideoBase)) +
                    static_cast<int32_t>(Handoff.EncFill + AudioDelayed());
}

bool ExtractionFailed() { return Walk.WalkFailed; }

bool ExtractionOutputClosed() { return outputClosed; }

int ExtractionWorker() {
  outputClosed = false;
  Walk.WalkFailed = false;
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
  if (OutputIsTitleFile(TitleSelection.outputPath, TitleSelection.title)) {
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
  if (!EncoderStart()) {
    Ui().WorkerDone();
    return 0;
  }
  if (!OutputOpen()) {
    EncoderStop();
    AbortFlag = true;
    ShowError(IDS_NO_OUTPUT);
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
  ResetExtractionState();
  FinishExtraction(WalkTitle());
  ShowClosingMessage();
  Ui().WorkerDone();
  return 0;
}
