// The search of the video start-code scanner for the next start code prefix
// (00 00 01) in a run of coded bytes.
#pragma once

#include <cstdint>

// The first 00 00 01 that lies whole in [p, end), or null. On processors
// with AVX2 (unless VectorPathInUse is Plain) 32 positions are tested at a
// time; the result is the same.
const uint8_t* FindStartCodePrefix(const uint8_t* p, const uint8_t* end);
