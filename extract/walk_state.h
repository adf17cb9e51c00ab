// State of the extraction worker's walk over the title's packs.
#pragma once

#include <cstdint>

struct ExtractionWalkState {
  uint32_t scr = 0;                 // SCR of the pack being walked
  uint8_t code = 0;                 // code byte of the record at current
  int VideoStreamNumber = -1;       // low nibble of the video stream used; -1 not fixed
  bool AngleSkip = false;           // packets of the chosen streams are ignored
  bool previousInterleaved = false; // flag of the last DSI packet
  uint16_t AngleVobId = 0;          // VOB id that opened the interleaved block
  bool WalkFailed = false;
  bool Encrypted = false;           // a chosen packet was scrambled: the output is removed
  uint32_t ShownSeconds = 0;
  uint32_t mibWalked = 0;
  uint32_t bytesSinceMib = 0;
  uint32_t shownPercentage = 0;
  uint32_t LastInputScr = 0;        // SCR of the last pack whose packet was used
  bool resyncPending = false;       // a stretch was skipped: the next packet used realigns
  bool checkStamps = false;
  bool softBreak = false;           // a short skip: the GOP's count goes on to its next header
  bool countUntimed = false;        // pictures before the next GOP header take output time
  uint32_t untimedFrames = 0;       // frames of the skip's GOP counted in the output time
  uint32_t scrambledRun = 0;        // scrambled packets in a row         // time stamps are checked until audio and video realigned
};

extern ExtractionWalkState Walk;
