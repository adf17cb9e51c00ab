// Synthetic MPEG-2 program streams laid out the way DVD VOB files hold them,
// for tests that need exact control over every byte a reader meets.
//
// A ProgramStream collects records in order. Two levels are offered:
//
//  * Records, appended exactly as asked, with no padding: PackHeader,
//    SystemHeader, Pes (any stream id, MPEG-2 PES header with optional
//    PTS/DTS), PrivateStream1 (a DVD audio packet: sub-stream id, frame
//    count, first access unit pointer, LPCM parameters for 0xA0..0xAF),
//    PrivateStream2 / Dsi, Padding, EndCode and Raw bytes. Use these to build
//    corrupt or unusual streams.
//
//  * Whole packs of 2048 bytes: NavPack, VideoPack, AudioPack (private
//    stream 1) and MpegAudioPack. Each starts with a pack header and is
//    filled to exactly 2048 bytes (PES stuffing for a gap of 1..5 bytes, a
//    padding packet for a larger one). The stream of a VOB file is normally
//    built only of these.
//
// Offsets a test may want to corrupt are easy to compute: every whole-pack
// helper starts at a multiple of PACK_BYTES, its pack header is 14 bytes,
// and the PES packet after it starts at byte 14 of the pack (after the
// system header in a navigation pack).
//
// WriteTitle and friends put the bytes into a VIDEO_TS folder as VOB parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace testps {

constexpr size_t PACK_BYTES = 2048;
constexpr size_t PACK_HEADER_BYTES = 14;
constexpr uint32_t DVD_MUX_RATE = 25200;  // 10.08 Mbit/s in units of 50 bytes/s

// Stream ids and sub-stream ids of DVD-Video.
constexpr uint8_t VIDEO_ID = 0xE0;
constexpr uint8_t MPEG_AUDIO_ID = 0xC0;
constexpr uint8_t PRIVATE_1_ID = 0xBD;
constexpr uint8_t PADDING_ID = 0xBE;
constexpr uint8_t PRIVATE_2_ID = 0xBF;
constexpr uint8_t AC3_SUB_ID = 0x80;   // + n for AC3 stream n
constexpr uint8_t DTS_SUB_ID = 0x89;   // as the scanner classifies DTS
constexpr uint8_t LPCM_SUB_ID = 0xA0;  // + n for PCM stream n

// One stream entry of a system header: P-STD_buffer_bound_scale and
// P-STD_buffer_size_bound.
struct StreamBound {
  uint8_t streamId;
  bool scale;
  uint16_t sizeBound;  // 13 bits
};

// The DVD navigation pack's system header entries: video, MPEG audio,
// private stream 1 and private stream 2.
std::vector<StreamBound> DvdStreamBounds();

// Optional fields of an MPEG-2 PES header.
struct PesTimes {
  std::optional<uint32_t> pts;  // PTS_DTS_flags '10' (or '11' with dts)
  std::optional<uint32_t> dts;  // only written together with a pts
  uint8_t stuffing = 0;         // 0xFF bytes at the end of the header
};

class ProgramStream {
 public:
  // --- Records, appended as asked ---

  // A 14-byte pack header (plus `stuffing` bytes 0xFF). scr may have bit 32
  // set; markers are written as the standard says unless clearMarkers.
  ProgramStream& PackHeader(uint64_t scr, uint32_t muxRate = DVD_MUX_RATE, uint8_t stuffing = 0,
                            bool clearMarkers = false);
  // System header with rate_bound (units of 50 bytes/s) and stream entries.
  ProgramStream& SystemHeader(uint32_t rateBound, const std::vector<StreamBound>& streams);
  // PES packet with an MPEG-2 PES header (for video, MPEG audio, private
  // stream 1): 00 00 01 id, length, flags, header data, payload.
  ProgramStream& Pes(uint8_t streamId, const std::vector<uint8_t>& payload, const PesTimes& times = {});
  // Private stream 1 DVD audio packet: payload = sub-stream id, frame count
  // (1), first access unit pointer, for LPCM (0xA0..0xAF) the 3 parameter
  // bytes (48 kHz, 16 bit, stereo), then the audio bytes.
  ProgramStream& PrivateStream1(uint8_t subStreamId, const std::vector<uint8_t>& audio, const PesTimes& times = {},
                                uint16_t firstAccessUnit = 1);
  // PES packet without an MPEG-2 header (private stream 2, padding): the
  // payload follows the length field directly.
  ProgramStream& PlainPacket(uint8_t streamId, const std::vector<uint8_t>& payload);
  // A DSI packet of `length` whole bytes (private stream 2, byte 6 = 0x01)
  // with the VOB id at bytes 31..32 and the interleaved-unit flag (byte 39,
  // bit 0x40).
  ProgramStream& Dsi(uint16_t vobId, bool interleaved, size_t length = 1024);
  // A padding packet of `length` whole bytes (at least 6).
  ProgramStream& Padding(size_t length);
  // The program end code 00 00 01 B9.
  ProgramStream& EndCode();
  ProgramStream& Raw(const std::vector<uint8_t>& bytes);

  // --- Whole 2048-byte packs ---

  // Navigation pack: pack header, system header (DvdStreamBounds), PCI and
  // DSI packets. withSystemHeader false leaves the system header out.
  ProgramStream& NavPack(uint64_t scr, uint16_t vobId = 1, bool interleaved = false, bool withSystemHeader = true,
                         uint32_t rateBound = DVD_MUX_RATE);
  // Video pack; an empty payload fills the pack with 0xFF bytes (which hold
  // no start code).
  ProgramStream& VideoPack(uint64_t scr, const std::vector<uint8_t>& payload = {}, const PesTimes& times = {},
                           uint8_t streamId = VIDEO_ID);
  // Private stream 1 audio pack; an empty audio vector fills the pack.
  ProgramStream& AudioPack(uint64_t scr, uint8_t subStreamId, const std::vector<uint8_t>& audio = {},
                           const PesTimes& times = {});
  // MPEG audio pack (stream id 0xC0 + n); an empty payload fills the pack.
  ProgramStream& MpegAudioPack(uint64_t scr, uint8_t streamId, const std::vector<uint8_t>& payload = {},
                               const PesTimes& times = {});
  // A pack of a pack header and one padding packet.
  ProgramStream& PaddingPack(uint64_t scr);
  // Fills the pack begun last up to the next 2048-byte boundary with a
  // padding packet; nothing when the stream already ends on one.
  ProgramStream& PadPack();

  // The largest payload a whole-pack helper takes for a PES header with the
  // given times (and, for private stream 1, sub-stream header bytes).
  static size_t PesPayloadRoom(const PesTimes& times);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t>& bytes() { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  // Appends a PES packet that fills the rest of the pack: gaps of 1..5
  // bytes become PES stuffing, larger ones a padding packet.
  void FillPack(uint8_t streamId, const std::vector<uint8_t>& payload, PesTimes times);

  std::vector<uint8_t> bytes_;
};

// The 5-byte PTS/DTS field with the given 4-bit prefix.
void PutTimeStamp(std::vector<uint8_t>& out, uint8_t prefix, uint64_t value);

// --- MPEG-2 video elementary stream headers ---

// Sequence header, 720x480, with the given frame_rate_code (3 = 25,
// 4 = 30000/1001).
std::vector<uint8_t> SequenceHeader(uint8_t frameRateCode);
// Group of pictures header.
std::vector<uint8_t> GroupOfPictures();
// Picture header: temporal_reference, picture_coding_type (1 I, 2 P, 3 B).
std::vector<uint8_t> PictureHeader(uint32_t tr, uint8_t codingType);
// Picture coding extension: picture_structure (1 top field, 2 bottom field,
// 3 frame), top_field_first, repeat_first_field.
std::vector<uint8_t> PictureCodingExtension(uint8_t structure, bool topFieldFirst, bool repeatFirstField);

// --- VOB files in a VIDEO_TS folder under root ---

// root/VIDEO_TS/VIDEO_TS.VOB for title 0, root/VIDEO_TS/VTS_tt_n.VOB else.
std::filesystem::path VobPath(const std::filesystem::path& root, int title, int part);
void WriteVob(const std::filesystem::path& root, int title, int part, const std::vector<uint8_t>& bytes);
// Cuts the stream into parts of partSize bytes (the last may be shorter)
// and writes them as parts 1, 2, ...; returns the number of parts.
int WriteTitle(const std::filesystem::path& root, int title, const std::vector<uint8_t>& bytes,
               size_t partSize = 0x40000000);
// Sets a file's size (extending it sparsely with zeros).
void ResizeFile(const std::filesystem::path& path, uint64_t size);

// A stream of `packs` packs starting with a navigation pack every
// `navEvery` packs and otherwise video packs, SCR rising by 2048 bytes at
// the DVD mux rate.
ProgramStream VideoOnlyStream(size_t packs, size_t navEvery = 16);

}  // namespace testps
