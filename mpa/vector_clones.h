// Helpers of the encoder's hot loops, which are built once per vector path
// (common/vector_paths.h); the integer results are the same on every path.
#pragma once

#include <cstdint>

#include "common/vector_paths.h"

// MulQ24 written so that it vectorises: only the low 32 bits of the shifted
// sum are kept, so a logical shift gives the same result as MulQ24's
// arithmetic one.
inline int32_t MulQ24Lanes(int32_t a, int32_t b) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(a) * b + 0x800000) >> 24));
}
