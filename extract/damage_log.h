// The stretches of the input that the walk skipped as damaged: each is a
// detail message when it is skipped, and the closing message sums them up.
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t DAMAGE_TIMES_SHOWN = 5;

struct DamageLogState {
  uint32_t stretches = 0;
  uint64_t bytes = 0;
  uint32_t videoSeconds[DAMAGE_TIMES_SHOWN] = {};  // of the first stretches
};

extern DamageLogState DamageLog;

void DamageLogReset();

// A stretch of size bytes at offset of VOB file #part was skipped where the
// video written so far ends at videoSeconds. Shown in verbose mode.
void DamageLogStretch(uint32_t part, uint32_t offset, uint32_t size, uint32_t videoSeconds);

// The line the closing message adds; empty when nothing was skipped.
std::string DamageSummary();
