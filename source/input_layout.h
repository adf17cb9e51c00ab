// The layout of the input program stream (DVD-Video MPEG-2 program stream)
// as both walks read it, the scanner's and the extraction's: the code bytes
// they act on, the record sizes, the guarded reading of the record at the
// reader's `current`, and the values taken from the records (pack SCR,
// system header rate_bound and P-STD entries, PES PTS). Time values keep
// their low 32 bits; marker bits are ignored.
#pragma once

#include <cstdint>

constexpr uint8_t CODE_PACK = 0xBA;
constexpr uint8_t CODE_SYSTEM_HEADER = 0xBB;
constexpr uint8_t CODE_END = 0xB9;
constexpr uint8_t CODE_PRIVATE_1 = 0xBD;
constexpr uint8_t CODE_PRIVATE_2 = 0xBF;
constexpr uint32_t INPUT_PACK_HEADER_BYTES = 14;  // pack_stuffing_length not read
constexpr uint32_t RECORD_PREFIX_BYTES = 6;       // start code and 16-bit length field

enum class RecordRead {
  Read,         // the bytes were read
  OutsideView,  // they lie past the mapped bytes (cut by the end of the part)
  Faulted,      // the disc could not deliver them (a read fault)
};

// Copies count bytes at the reader's `current` + offset into out: only bytes
// of the mapped view, and only through the read-fault guard.
RecordRead PeekAtCurrent(uint32_t offset, uint32_t count, uint8_t* out);

// The total length of the system header or PES packet at `current`: its
// 16-bit length field (bytes 4..5) + RECORD_PREFIX_BYTES, read as above.
RecordRead ReadRecordLength(uint32_t& length);

inline uint32_t ReadBigEndian16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

// SCR of a pack header, bit 32 dropped.
inline uint32_t ReadPackScr(const uint8_t* pack) {
  return ((uint32_t{pack[4]} & 0x18) << 27) | ((uint32_t{pack[4]} & 0x03) << 28) |
         (uint32_t{pack[5]} << 20) | ((uint32_t{pack[6]} & 0xF8) << 12) |
         ((uint32_t{pack[6]} & 0x03) << 13) | (uint32_t{pack[7]} << 5) | (uint32_t{pack[8]} >> 3);
}

// A pack header whose start code, marker bits and mux rate markers are
// those of an MPEG-2 pack header (14 bytes at p): where a walk looks for
// the next whole pack after damage.
inline bool PlausiblePackHeader(const uint8_t* p) {
  return p[0] == 0x00 && p[1] == 0x00 && p[2] == 0x01 && p[3] == CODE_PACK && (p[4] & 0xC4) == 0x44 &&
         (p[6] & 0x04) != 0 && (p[8] & 0x04) != 0 && (p[9] & 0x01) != 0 && (p[12] & 0x03) == 0x03;
}

// rate_bound of a system header, in units of 50 bytes/s.
inline uint32_t ReadRateBound(const uint8_t* header) {
  return ((uint32_t{header[6]} & 0x7F) << 15) | (uint32_t{header[7]} << 7) | (header[8] >> 1);
}

// P-STD buffer scale and size of a 3-byte stream entry, as one 14-bit number.
inline uint16_t ReadBufferBound(const uint8_t* entry) {
  return static_cast<uint16_t>(((entry[1] & 0x3F) << 8) | entry[2]);
}

// PTS of a PES packet whose PTS_DTS_flags say one is present, bit 32 dropped.
inline uint32_t ReadPesPts(const uint8_t* packet) {
  return ((uint32_t{packet[9]} & 0x06) << 29) | (uint32_t{packet[10]} << 22) |
         ((uint32_t{packet[11]} & 0xFE) << 14) | (uint32_t{packet[12]} << 7) |
         (uint32_t{packet[13]} >> 1);
}

// Whether a PES packet of the given total length carries a whole PTS.
inline bool PesHasPts(const uint8_t* packet, uint32_t length) {
  return length >= 14 && (packet[7] & 0x80) != 0;
}

// Offset of the PES payload (9 + PES_header_data_length).
inline uint32_t PesPayloadOffset(const uint8_t* packet) { return 9u + packet[8]; }
