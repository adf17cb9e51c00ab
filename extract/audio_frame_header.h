// The length and duration of one coded audio frame, read from its header,
// for the tracks that are kept as the disc has them: their payload is cut
// into frames, never decoded.
#pragma once

#include <cstdint>

enum class KeptFormat : uint8_t { Ac3, Dts, Lpcm, Mpeg };

constexpr uint32_t FRAME_HEADER_BYTES = 10;  // enough of any header to size its frame

struct AudioFrameSize {
  uint32_t bytes = 0;
  uint32_t ticks = 0;  // 90 kHz
};

// The frame whose header starts at head (FRAME_HEADER_BYTES readable);
// false when no frame of the format starts there.
bool ReadFrameHeader(KeptFormat format, const uint8_t* head, AudioFrameSize& size);

// LPCM has no frame headers: a frame is 1/600 s of samples (150 ticks) in
// the layout the packet's three parameter bytes give. False for a layout a
// DVD does not use.
bool LpcmFrameSize(const uint8_t* parameters, AudioFrameSize& size);
