// Constant tables of the packet intake.
#pragma once

#include <cstdint>

constexpr uint32_t AC3_FRAME_SIZE_CODES = 19;  // frmsizecod / 2 = 0..18
extern const uint32_t AC3_FRAME_WORDS_48K[AC3_FRAME_SIZE_CODES];
