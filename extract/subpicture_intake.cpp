#include "extract/subpicture_intake.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "extract/mux_merge.h"
#include "extract/output_multiplexer.h"
#include "extract/walk_state.h"
#include "extract/pack_format.h"
#include "extract/subtitle_selection.h"
#include "extract/time_mapping.h"
#include "extract/video_timing.h"
#include "platform/output_file.h"
#include "report/messages.h"
#include "report/string_table.h"
#include "source/input_layout.h"

SubpictureIntakeState SubpictureIntake;

namespace {

constexpr uint32_t SUB_PACK_BYTES = 2048;
constexpr uint32_t SUB_MUX_RATE = 25200;       // 10.08 Mbit/s, in units of 50 bytes/s
constexpr uint32_t MAX_HEADER_STUFFING = 32;   // 0xFF bytes a PES header may carry
constexpr uint8_t FIRST_SUBPICTURE_ID = 0x20;

SubpictureIntakeState& S = SubpictureIntake;

// Bytes of each muxed stream's units copied into its ring.
uint64_t ringFilled[MUXED_SUBPICTURE_STREAMS] = {};

template <size_t K>
uint64_t RingReady() {
  return ringFilled[K];
}
template <size_t... K>
constexpr std::array<uint64_t (*)(), sizeof...(K)> RingReadyTable(std::index_sequence<K...>) {
  return {RingReady<K>...};
}
constexpr auto RING_READY = RingReadyTable(std::make_index_sequence<MUXED_SUBPICTURE_STREAMS>());

// A whole sub-picture unit into the program stream.
bool QueueUnit(int stream, uint32_t pts) {
  const int k = S.muxStream[stream];
  std::vector<uint8_t>& unit = S.unit[static_cast<size_t>(stream)];
  MuxUnitStream& s = Mux.unit[k];
  const uint64_t start = s.bytesQueued;
  const auto bytes = static_cast<uint32_t>(unit.size());
  if (!MuxQueueUnit(static_cast<uint32_t>(k), pts, bytes, pts)) return false;
  std::vector<uint8_t>& ring = S.ring[stream];
  for (uint32_t i = 0; i < bytes; ++i) ring[(start + i) % ring.size()] = unit[i];
  ringFilled[stream] = start + bytes;
  unit.clear();
  return MergeRun();
}

// The payload of a kept packet goes to the unit being gathered; a unit
// complete (as long as its first two bytes say) is queued.
bool GatherUnit(int stream, const uint8_t* packet, uint32_t length, bool starts) {
  if (stream >= static_cast<int>(MUXED_SUBPICTURE_STREAMS) || S.muxStream[stream] < 0) return true;
  std::vector<uint8_t>& unit = S.unit[static_cast<size_t>(stream)];
  if (starts) unit.clear();
  const uint32_t payload = PesPayloadOffset(packet) + 1;  // after the sub-stream number
  if (payload >= length) return true;
  unit.insert(unit.end(), packet + payload, packet + length);
  if (unit.size() < 2) return true;
  const uint32_t size = uint32_t{unit[0]} << 8 | unit[1];
  if (size < 4 || size > SUBPICTURE_BUFFER_BYTES) {
    unit.clear();  // no sub-picture unit: nothing of it is sent
    return true;
  }
  if (unit.size() < size) return true;
  unit.resize(size);
  return QueueUnit(stream, S.lastPts[stream]);
}

// The packet in a pack of its own, its sub-stream renumbered to the order
// asked and its PTS (when it has one) set to output time. What the pack
// has left is taken by a padding packet, or below 6 bytes by stuffing in
// the PES header.
void AppendPack(int stream, const uint8_t* packet, uint32_t length, uint32_t pts, bool hasPts) {
  const uint32_t room = SUB_PACK_BYTES - PACK_HEADER_BYTES;
  if (length > room || PesPayloadOffset(packet) >= length) return;
  uint8_t pack[SUB_PACK_BYTES];
  WritePackHeader(pack, pts, SUB_MUX_RATE);
  uint8_t* pes = pack + PACK_HEADER_BYTES;
  const uint32_t free = room - length;
  const uint32_t stuffing = free < 6 ? free : 0;
  const uint32_t payload = PesPayloadOffset(packet);
  std::memcpy(pes, packet, payload);
  std::memset(pes + payload, 0xFF, stuffing);
  std::memcpy(pes + payload + stuffing, packet + payload, length - payload);
  pes[8] = static_cast<uint8_t>(packet[8] + stuffing);
  const uint32_t pesLength = length - 6 + stuffing;
  pes[4] = static_cast<uint8_t>(pesLength >> 8);
  pes[5] = static_cast<uint8_t>(pesLength);
  pes[payload + stuffing] = static_cast<uint8_t>(FIRST_SUBPICTURE_ID + stream);
  if (hasPts) WriteTimeStampField(pes + 9, (packet[7] & 0x40) != 0 ? 0x3 : 0x2, pts);
  if (free >= 6) {
    uint8_t* padding = pes + length;
    padding[0] = 0x00;
    padding[1] = 0x00;
    padding[2] = 0x01;
    padding[3] = 0xBE;
    padding[4] = static_cast<uint8_t>((free - 6) >> 8);
    padding[5] = static_cast<uint8_t>(free - 6);
    std::memset(padding + 6, 0xFF, free - 6);
  }
  S.subFile.insert(S.subFile.end(), pack, pack + SUB_PACK_BYTES);
}

bool Take(int stream, const uint8_t* packet, uint32_t length) {
  const bool hasPts = PesHasPts(packet, length);
  if (hasPts) {
    const uint32_t pts = InputToOutputTime(ReadPesPts(packet));
    // Before the first picture shown there is nothing to show it over.
    S.open[stream] = static_cast<int32_t>(pts - FirstPictureTime()) >= 0;
    if (!S.open[stream]) return true;
    S.lastPts[stream] = pts;
    S.events.push_back(SubtitleEvent{stream, pts, S.subFile.size()});
  }
  if (!S.open[stream]) return true;
  AppendPack(stream, packet, length, S.lastPts[stream], hasPts);
  return GatherUnit(stream, packet, length, hasPts);
}

std::string Timestamp(uint32_t ticks) {
  const uint64_t ms = (uint64_t{ticks} + 45) / 90;
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u:%03u", static_cast<unsigned>(ms / 3600000),
                static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60),
                static_cast<unsigned>(ms % 1000));
  return text;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t length) {
  OutputFile file;
  if (!OutputFileCreate(file, path.c_str())) {
    ShowFileError(IDS_NO_OUTPUT, path.c_str(), file.failure);
    return false;
  }
  const bool written = OutputFileWrite(file, data, length);
  const std::string reason = file.failure;
  if (OutputFileClose(file) && written) return true;
  const bool removed = OutputFileRemove(file, path.c_str());
  ShowFileError(IDS_WRITE_ERROR, path.c_str(),
                (written ? std::string("the file could not be closed") : reason) + ". " +
                    LoadStringText(removed ? IDS_INCOMPLETE_REMOVED : IDS_INCOMPLETE_KEPT));
  return false;
}

}  // namespace

void SubpictureIntakeReset() {
  S.held.clear();
  S.subFile.clear();
  S.events.clear();
  S.open.assign(SubtitleSelection.streams.size(), false);
  S.lastPts.assign(SubtitleSelection.streams.size(), 0);
  S.unit.assign(SubtitleSelection.streams.size(), {});
  for (uint32_t k = 0; k < MUXED_SUBPICTURE_STREAMS; ++k) {
    S.muxStream[k] = -1;
    ringFilled[k] = 0;
  }
}

void SubpictureMuxSetUp() {
  const size_t count = SubtitleSelection.streams.size();
  for (size_t k = 0; k < count && k < MUXED_SUBPICTURE_STREAMS && Mux.unitStreams < MAX_UNIT_STREAMS; ++k) {
    S.ring[k].assign(SUBPICTURE_RING_BYTES, 0);
    ringFilled[k] = 0;
    S.muxStream[k] = static_cast<int>(Mux.unitStreams);
    MuxAddSubStream(static_cast<uint8_t>(0x20 + k), SUBPICTURE_BUFFER_BYTES, S.ring[k].data(), SUBPICTURE_RING_BYTES,
                    RING_READY[k]);
  }
}

int KeptSubpictureStream(uint8_t subStreamId) {
  for (size_t k = 0; k < SubtitleSelection.streams.size(); ++k)
    if (SubtitleSelection.streams[k].subStreamId == subStreamId) return static_cast<int>(k);
  return -1;
}

bool SubpicturePacketIn(int stream, const uint8_t* packet, uint32_t length) {
  if (!SubpicturesRelease()) return false;
  if (OutputTimeKnown()) return Take(stream, packet, length);
  if (S.held.size() >= SUBPICTURE_HELD_LIMIT) S.held.erase(S.held.begin());
  S.held.push_back(HeldSubpicture{stream, std::vector<uint8_t>(packet, packet + length)});
  return true;
}

bool SubpicturesRelease() {
  if (!OutputTimeKnown()) return true;
  // A sub-picture's time is never before the SCR of its pack.
  const uint32_t now = InputToOutputTime(Walk.scr);
  for (int k : S.muxStream)
    if (k >= 0) Mux.unit[k].nextPts = LaterTime(Mux.unit[k].nextPts, now);
  bool taken = true;
  for (const HeldSubpicture& held : S.held)
    taken = Take(held.stream, held.packet.data(), static_cast<uint32_t>(held.packet.size())) && taken;
  S.held.clear();
  return taken;
}

std::string VobSubIndex(const std::vector<SubtitleEvent>& events, uint32_t firstPictureTime) {
  const SubtitleSelectionRecord& selection = SubtitleSelection;
  std::string text = "# VobSub index file, v7 (do not modify this line!)\n#\n";
  // Without the disc's video attributes the size is the picture's own.
  const int width = selection.width > 0 ? selection.width : VideoTiming.width;
  const int height = selection.height > 0 ? selection.height : VideoTiming.height;
  text += "size: " + std::to_string(width) + "x" + std::to_string(height) + "\n";
  if (selection.hasPalette) {
    text += "palette:";
    for (int i = 0; i < VOBSUB_PALETTE_COLOURS; ++i) {
      char colour[8];
      std::snprintf(colour, sizeof colour, "%06x", selection.palette[i] & 0xFFFFFF);
      text += (i == 0 ? " " : ", ") + std::string(colour);
    }
    text += "\n";
  }
  text += "langidx: 0\n";
  for (size_t k = 0; k < selection.streams.size(); ++k) {
    const std::string& language = selection.streams[k].language;
    text += "\nid: " + (language.empty() ? std::string("--") : language) + ", index: " + std::to_string(k) + "\n";
    for (const SubtitleEvent& event : events) {
      if (event.stream != static_cast<int>(k)) continue;
      char position[16];
      std::snprintf(position, sizeof position, "%09llx", static_cast<unsigned long long>(event.filepos));
      text += "timestamp: " + Timestamp(event.outputPts - firstPictureTime) + ", filepos: " + position + "\n";
    }
  }
  return text;
}

bool WriteVobSubFiles() {
  SubpicturesRelease();
  const std::string index = VobSubIndex(S.events, FirstPictureTime());
  const bool sub = WriteFile(SubtitleSelection.subPath, S.subFile.data(), S.subFile.size());
  return WriteFile(SubtitleSelection.idxPath, reinterpret_cast<const uint8_t*>(index.data()), index.size()) && sub;
}
