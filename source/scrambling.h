// CSS-encrypted titles: their video and audio packets carry a non-zero
// PES_scrambling_control. Their payload cannot be read without the disc's
// keys, which the program does not have; such bytes never reach a decoder.
#pragma once

#include <cstddef>
#include <cstdint>

// True when the PES packet of the given length (from its start code on) is
// scrambled: an MPEG-2 PES header ('10' marker bits in byte 6) with
// PES_scrambling_control (bits 5..4 of byte 6) other than 00.
inline bool PesScrambled(const uint8_t* packet, uint32_t length) {
  return length > 6 && (packet[6] & 0xC0) == 0x80 && (packet[6] & 0x30) != 0;
}

// True for the stream ids whose packets CSS scrambles: private stream 1,
// MPEG audio and video.
inline bool ScramblableStream(uint8_t id) { return id == 0xBD || (id >= 0xC0 && id <= 0xEF); }

// True when one of the whole 2048-byte packs in bytes holds a scrambled
// packet: the raw look at a title's first packs, read outside the reader.
bool PacksScrambled(const uint8_t* bytes, size_t length);

// The number of packs that the looks at a title's start take in.
constexpr int PACKS_LOOKED_AT = 64;

// Looks at the first packs of the title open in the reader (a few dozen, in
// 2048-byte steps) and tells whether one of their packets is scrambled. The
// reader is left at an unknown place: its user opens the title again. Never
// reports anything; an unreadable or odd pack ends the look with false.
bool VobTitleStartScrambled();
