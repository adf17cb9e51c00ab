#include "extract/pack_format.h"

#include <cstring>

void WriteScr(uint8_t* pack, uint32_t scr) {
  pack[4] = static_cast<uint8_t>(((scr >> 27) & 0x18) | ((scr >> 28) & 0x03) | 0x44);
  pack[5] = static_cast<uint8_t>(scr >> 20);
  pack[6] = static_cast<uint8_t>(((scr >> 12) & 0xFC) | ((scr >> 13) & 0x03) | 0x04);
  pack[7] = static_cast<uint8_t>(scr >> 5);
  pack[8] = static_cast<uint8_t>((scr << 3) | 0x04);
}

void WritePackHeader(uint8_t* pack, uint32_t scr, uint32_t muxRate) {
  pack[0] = 0x00;
  pack[1] = 0x00;
  pack[2] = 0x01;
  pack[3] = 0xBA;
  WriteScr(pack, scr);
  pack[9] = 0x01;
  pack[10] = static_cast<uint8_t>(muxRate >> 14);
  pack[11] = static_cast<uint8_t>(muxRate >> 6);
  pack[12] = static_cast<uint8_t>((muxRate << 2) | 0x03);
  pack[13] = 0xF8;
}

void WriteTimeStampField(uint8_t* field, uint8_t prefix, uint32_t pts) {
  field[0] = static_cast<uint8_t>((prefix << 4) | ((pts >> 29) & 0x06) | 0x01);
  field[1] = static_cast<uint8_t>(pts >> 22);
  field[2] = static_cast<uint8_t>((pts >> 14) | 0x01);
  field[3] = static_cast<uint8_t>(pts >> 7);
  field[4] = static_cast<uint8_t>((pts << 1) | 0x01);
}

void WritePesHeader(uint8_t* pack, uint8_t streamId) {
  pack[14] = 0x00;
  pack[15] = 0x00;
  pack[16] = 0x01;
  pack[17] = streamId;
  pack[18] = static_cast<uint8_t>(FULL_PES_PACKET_LENGTH >> 8);
  pack[19] = static_cast<uint8_t>(FULL_PES_PACKET_LENGTH & 0xFF);
  pack[20] = 0x81;
  pack[21] = 0x80;
  pack[22] = 5;
}

void ClosePartialPack(uint8_t* pack, uint32_t position, uint32_t free) {
  if (free > 6) {
    uint32_t pesLength = FULL_PES_PACKET_LENGTH - free;
    pack[18] = static_cast<uint8_t>(pesLength >> 8);
    pack[19] = static_cast<uint8_t>(pesLength);
    uint8_t* padding = pack + position;
    uint32_t paddingLength = free - 6;
    padding[0] = 0x00;
    padding[1] = 0x00;
    padding[2] = 0x01;
    padding[3] = 0xBE;
    padding[4] = static_cast<uint8_t>(paddingLength >> 8);
    padding[5] = static_cast<uint8_t>(paddingLength);
    std::memset(padding + 6, 0xFF, paddingLength);
  } else {
    std::memset(pack + position, 0xFF, free);
  }
}
