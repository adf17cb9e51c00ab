// Field encodings of the output program stream: pack header, PTS field and
// the closing of a partly filled pack. Time values keep their low 32 bits;
// bit 32 and the SCR extension are written as 0, every marker bit as 1.
#pragma once

#include <cstdint>

constexpr uint32_t PACK_HEADER_BYTES = 14;
constexpr uint32_t PACK_PAYLOAD_START = 28;   // after pack header and PES header
constexpr uint32_t PACK_PAYLOAD_BYTES = 2020;
constexpr uint32_t FULL_PES_PACKET_LENGTH = 2028;

// Bytes 0..13: 00 00 01 BA, the SCR, program_mux_rate, no stuffing.
void WritePackHeader(uint8_t* pack, uint32_t scr, uint32_t muxRate);
// Bytes 4..8 only.
void WriteScr(uint8_t* pack, uint32_t scr);
// The five bytes of a time stamp field with its 4-bit prefix: '0010' for a
// PTS alone, '0011' for a PTS followed by a DTS, '0001' for that DTS.
void WriteTimeStampField(uint8_t* field, uint8_t prefix, uint32_t value);
// The five bytes of a '0010' PTS field.
inline void WritePtsField(uint8_t* field, uint32_t pts) { WriteTimeStampField(field, 0x2, pts); }

// Bytes 14..27 of an audio or video pack: the PES header of a full pack
// with a PTS (bytes 23..27 are the caller's).
void WritePesHeader(uint8_t* pack, uint8_t streamId);

// Ends a pack with free bytes left at position: above 6 free bytes a
// padding packet takes them and the PES packet is shortened; otherwise they
// are 0xFF inside the payload. The pack stays 2048 bytes long.
void ClosePartialPack(uint8_t* pack, uint32_t position, uint32_t free);
