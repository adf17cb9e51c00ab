// Time values: unsigned 32-bit counts of the 90 kHz system clock.
// SCR and PTS keep only their low 32 bits.
#pragma once

#include <cstdint>

constexpr uint32_t CLOCK_HZ = 90000;
constexpr uint32_t AUDIO_FRAME_TICKS = 2160;  // 1152 samples at 48 kHz
constexpr uint32_t SAMPLE_RATE = 48000;

// 90 kHz ticks to 48 kHz samples: ticks * 8 / 15, signed, truncated toward zero.
constexpr int32_t TicksToSamples(int32_t ticks) {
  return static_cast<int32_t>((static_cast<int64_t>(ticks) * 8) / 15);
}
