#include "tests/support/program_stream.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace testps {

namespace {

void PutLength(std::vector<uint8_t>& out, size_t packetStart) {
  size_t length = out.size() - packetStart - 6;
  if (length > 0xFFFF) throw std::logic_error("packet longer than its length field");
  out[packetStart + 4] = static_cast<uint8_t>(length >> 8);
  out[packetStart + 5] = static_cast<uint8_t>(length);
}

void PutStartCode(std::vector<uint8_t>& out, uint8_t code) {
  out.insert(out.end(), {0x00, 0x00, 0x01, code});
}

size_t PesHeaderBytes(const PesTimes& times) {
  size_t header = 9 + times.stuffing;
  if (times.pts) header += times.dts ? 10 : 5;
  return header;
}

size_t SubStreamHeaderBytes(uint8_t subStreamId) { return (subStreamId & 0xF0) == 0xA0 ? 7 : 4; }

std::vector<uint8_t> Filler(size_t size) { return std::vector<uint8_t>(size, 0xFF); }

}  // namespace

std::vector<StreamBound> DvdStreamBounds() {
  return {{VIDEO_ID, true, 232}, {MPEG_AUDIO_ID, false, 32}, {PRIVATE_1_ID, true, 58}, {PRIVATE_2_ID, true, 2}};
}

void PutTimeStamp(std::vector<uint8_t>& out, uint8_t prefix, uint64_t value) {
  out.push_back(static_cast<uint8_t>((prefix << 4) | (((value >> 30) & 0x07) << 1) | 1));
  out.push_back(static_cast<uint8_t>(value >> 22));
  out.push_back(static_cast<uint8_t>((((value >> 15) & 0x7F) << 1) | 1));
  out.push_back(static_cast<uint8_t>(value >> 7));
  out.push_back(static_cast<uint8_t>(((value & 0x7F) << 1) | 1));
}

ProgramStream& ProgramStream::PackHeader(uint64_t scr, uint32_t muxRate, uint8_t stuffing, bool clearMarkers) {
  uint8_t marker = clearMarkers ? 0 : 1;
  PutStartCode(bytes_, 0xBA);
  bytes_.push_back(static_cast<uint8_t>(0x40 | (((scr >> 30) & 0x07) << 3) | (marker << 2) | ((scr >> 28) & 0x03)));
  bytes_.push_back(static_cast<uint8_t>(scr >> 20));
  bytes_.push_back(static_cast<uint8_t>((((scr >> 15) & 0x1F) << 3) | (marker << 2) | ((scr >> 13) & 0x03)));
  bytes_.push_back(static_cast<uint8_t>(scr >> 5));
  bytes_.push_back(static_cast<uint8_t>(((scr & 0x1F) << 3) | (marker << 2)));  // SCR_extension 0
  bytes_.push_back(marker);
  bytes_.push_back(static_cast<uint8_t>(muxRate >> 14));
  bytes_.push_back(static_cast<uint8_t>(muxRate >> 6));
  bytes_.push_back(static_cast<uint8_t>((muxRate << 2) | (clearMarkers ? 0 : 3)));
  bytes_.push_back(static_cast<uint8_t>(0xF8 | (stuffing & 0x07)));
  bytes_.insert(bytes_.end(), stuffing & 0x07, 0xFF);
  return *this;
}

ProgramStream& ProgramStream::SystemHeader(uint32_t rateBound, const std::vector<StreamBound>& streams) {
  size_t start = bytes_.size();
  PutStartCode(bytes_, 0xBB);
  bytes_.insert(bytes_.end(), {0, 0});
  bytes_.push_back(static_cast<uint8_t>(0x80 | ((rateBound >> 15) & 0x7F)));
  bytes_.push_back(static_cast<uint8_t>(rateBound >> 7));
  bytes_.push_back(static_cast<uint8_t>((rateBound << 1) | 1));
  bytes_.push_back(0x04);  // audio_bound 1, fixed 0, CSPS 0
  bytes_.push_back(0xE1);  // locks, marker, video_bound 1
  bytes_.push_back(0x7F);  // packet_rate_restriction 0, reserved
  for (const StreamBound& s : streams) {
    bytes_.push_back(s.streamId);
    bytes_.push_back(static_cast<uint8_t>(0xC0 | (s.scale ? 0x20 : 0) | ((s.sizeBound >> 8) & 0x1F)));
    bytes_.push_back(static_cast<uint8_t>(s.sizeBound));
  }
  PutLength(bytes_, start);
  return *this;
}

ProgramStream& ProgramStream::Pes(uint8_t streamId, const std::vector<uint8_t>& payload, const PesTimes& times) {
  size_t start = bytes_.size();
  PutStartCode(bytes_, streamId);
  bytes_.insert(bytes_.end(), {0, 0});
  bytes_.push_back(0x81);  // '10', original
  bytes_.push_back(times.pts ? (times.dts ? 0xC0 : 0x80) : 0x00);
  bytes_.push_back(static_cast<uint8_t>(PesHeaderBytes(times) - 9));
  if (times.pts) {
    PutTimeStamp(bytes_, times.dts ? 0x3 : 0x2, *times.pts);
    if (times.dts) PutTimeStamp(bytes_, 0x1, *times.dts);
  }
  bytes_.insert(bytes_.end(), times.stuffing, 0xFF);
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  PutLength(bytes_, start);
  return *this;
}

ProgramStream& ProgramStream::PrivateStream1(uint8_t subStreamId, const std::vector<uint8_t>& audio,
                                             const PesTimes& times, uint16_t firstAccessUnit) {
  std::vector<uint8_t> payload = {subStreamId, 0x01, static_cast<uint8_t>(firstAccessUnit >> 8),
                                  static_cast<uint8_t>(firstAccessUnit)};
  if (SubStreamHeaderBytes(subStreamId) == 7) payload.insert(payload.end(), {0x00, 0x01, 0x80});
  payload.insert(payload.end(), audio.begin(), audio.end());
  return Pes(PRIVATE_1_ID, payload, times);
}

ProgramStream& ProgramStream::PlainPacket(uint8_t streamId, const std::vector<uint8_t>& payload) {
  size_t start = bytes_.size();
  PutStartCode(bytes_, streamId);
  bytes_.insert(bytes_.end(), {0, 0});
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  PutLength(bytes_, start);
  return *this;
}

ProgramStream& ProgramStream::Dsi(uint16_t vobId, bool interleaved, size_t length) {
  if (length < 40) throw std::logic_error("DSI packet too short");
  std::vector<uint8_t> payload(length - 6, 0x00);
  payload[0] = 0x01;                                  // byte 6: DSI
  payload[31 - 6] = static_cast<uint8_t>(vobId >> 8);  // bytes 31..32: VOB id
  payload[32 - 6] = static_cast<uint8_t>(vobId);
  if (interleaved) payload[39 - 6] = 0x40;             // byte 39: interleaved unit
  return PlainPacket(PRIVATE_2_ID, payload);
}

ProgramStream& ProgramStream::Padding(size_t length) {
  if (length < 6) throw std::logic_error("padding packet shorter than 6 bytes");
  return PlainPacket(PADDING_ID, Filler(length - 6));
}

ProgramStream& ProgramStream::EndCode() {
  PutStartCode(bytes_, 0xB9);
  return *this;
}

ProgramStream& ProgramStream::Raw(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

ProgramStream& ProgramStream::NavPack(uint64_t scr, uint16_t vobId, bool interleaved, bool withSystemHeader,
                                      uint32_t rateBound) {
  PackHeader(scr);
  if (withSystemHeader) SystemHeader(rateBound, DvdStreamBounds());
  size_t used = bytes_.size() % PACK_BYTES;
  size_t dsiLength = 1024;
  std::vector<uint8_t> pci(PACK_BYTES - used - dsiLength - 6, 0x00);
  pci[0] = 0x00;  // byte 6: PCI
  PlainPacket(PRIVATE_2_ID, pci);
  return Dsi(vobId, interleaved, dsiLength);
}

size_t ProgramStream::PesPayloadRoom(const PesTimes& times) {
  return PACK_BYTES - PACK_HEADER_BYTES - PesHeaderBytes(times);
}

void ProgramStream::FillPack(uint8_t streamId, const std::vector<uint8_t>& payload, PesTimes times) {
  size_t room = PACK_BYTES - bytes_.size() % PACK_BYTES - PesHeaderBytes(times);
  if (payload.size() > room) throw std::logic_error("payload larger than the pack");
  size_t gap = room - payload.size();
  if (gap > 0 && gap < 6) times.stuffing = static_cast<uint8_t>(times.stuffing + gap);
  Pes(streamId, payload, times);
  if (gap >= 6) Padding(gap);
}

ProgramStream& ProgramStream::VideoPack(uint64_t scr, const std::vector<uint8_t>& payload, const PesTimes& times,
                                        uint8_t streamId) {
  PackHeader(scr);
  FillPack(streamId, payload.empty() ? Filler(PesPayloadRoom(times)) : payload, times);
  return *this;
}

ProgramStream& ProgramStream::AudioPack(uint64_t scr, uint8_t subStreamId, const std::vector<uint8_t>& audio,
                                        const PesTimes& times) {
  size_t header = SubStreamHeaderBytes(subStreamId);
  std::vector<uint8_t> payload = {subStreamId, 0x01, 0x00, 0x01};
  if (header == 7) payload.insert(payload.end(), {0x00, 0x01, 0x80});
  std::vector<uint8_t> data = audio.empty() ? Filler(PesPayloadRoom(times) - header) : audio;
  payload.insert(payload.end(), data.begin(), data.end());
  PackHeader(scr);
  FillPack(PRIVATE_1_ID, payload, times);
  return *this;
}

ProgramStream& ProgramStream::MpegAudioPack(uint64_t scr, uint8_t streamId, const std::vector<uint8_t>& payload,
                                            const PesTimes& times) {
  PackHeader(scr);
  FillPack(streamId, payload.empty() ? Filler(PesPayloadRoom(times)) : payload, times);
  return *this;
}

ProgramStream& ProgramStream::PaddingPack(uint64_t scr) {
  PackHeader(scr);
  return PadPack();
}

ProgramStream& ProgramStream::PadPack() {
  size_t rest = (PACK_BYTES - bytes_.size() % PACK_BYTES) % PACK_BYTES;
  if (rest != 0) Padding(rest);
  return *this;
}

std::vector<uint8_t> SequenceHeader(uint8_t frameRateCode) {
  return {0x00, 0x00, 0x01, 0xB3, 0x2D, 0x01, 0xE0, static_cast<uint8_t>(0x20 | frameRateCode),
          0xFF, 0xFF, 0xE0, 0x18};
}

std::vector<uint8_t> GroupOfPictures() { return {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40}; }

std::vector<uint8_t> PictureHeader(uint32_t tr, uint8_t codingType) {
  return {0x00, 0x00, 0x01, 0x00, static_cast<uint8_t>(tr >> 2),
          static_cast<uint8_t>(((tr & 3) << 6) | (codingType << 3) | 0x07), 0xFF, 0xF8};
}

std::vector<uint8_t> PictureCodingExtension(uint8_t structure, bool topFieldFirst, bool repeatFirstField) {
  return {0x00, 0x00, 0x01, 0xB5, 0x81, 0x11, static_cast<uint8_t>(0x10 | structure),
          static_cast<uint8_t>((topFieldFirst ? 0x80 : 0) | (repeatFirstField ? 0x02 : 0) | 0x01), 0x80};
}

std::filesystem::path VobPath(const std::filesystem::path& root, int title, int part) {
  char name[32];
  if (title == 0)
    std::snprintf(name, sizeof name, "VIDEO_TS.VOB");
  else
    std::snprintf(name, sizeof name, "VTS_%02d_%d.VOB", title, part);
  return root / "VIDEO_TS" / name;
}

void WriteVob(const std::filesystem::path& root, int title, int part, const std::vector<uint8_t>& bytes) {
  WriteFileBytes(VobPath(root, title, part), bytes.data(), bytes.size());
}

int WriteTitle(const std::filesystem::path& root, int title, const std::vector<uint8_t>& bytes, size_t partSize) {
  int part = 0;
  for (size_t offset = 0; offset < bytes.size() || part == 0; offset += partSize) {
    size_t length = std::min(partSize, bytes.size() - offset);
    std::vector<uint8_t> piece(bytes.begin() + static_cast<long>(offset),
                               bytes.begin() + static_cast<long>(offset + length));
    WriteVob(root, title, ++part, piece);
    if (bytes.empty()) break;
  }
  return part;
}

void ResizeFile(const std::filesystem::path& path, uint64_t size) {
  if (!std::filesystem::exists(path)) WriteFileBytes(path, "", 0);
  std::filesystem::resize_file(path, size);
}

ProgramStream VideoOnlyStream(size_t packs, size_t navEvery) {
  ProgramStream stream;
  constexpr uint64_t SCR_PER_PACK = PACK_BYTES * 90000 / (DVD_MUX_RATE * 50);
  for (size_t i = 0; i < packs; ++i) {
    uint64_t scr = i * SCR_PER_PACK;
    if (navEvery != 0 && i % navEvery == 0)
      stream.NavPack(scr);
    else
      stream.VideoPack(scr);
  }
  return stream;
}

}  // namespace testps
