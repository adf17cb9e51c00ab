// Constant tables of the Layer II bit allocation, quantisation and the
// scale factor select information.
#pragma once

#include <cstdint>

constexpr int SBLIMIT = 27;  // coded subbands
constexpr int QUANT_CLASSES = 17;

extern const uint8_t NBal[SBLIMIT];
extern const uint8_t MaxAlloc[SBLIMIT];
// Quantisation class of allocation index 1..MaxAlloc[sb]; index 0 unused.
extern const uint8_t AllocClass[SBLIMIT][16];

extern const uint16_t ClassLevels[QUANT_CLASSES];
extern const uint8_t ClassGroup[QUANT_CLASSES];     // levels when grouped, else 0
extern const uint8_t ClassCodeBits[QUANT_CLASSES];  // bits of one code word
extern const uint16_t ClassBits[QUANT_CLASSES];     // bits of one subband's 36 samples
extern const int32_t QuantA[QUANT_CLASSES];         // levels / 2^N, Q24
extern const uint8_t QuantShift[QUANT_CLASSES];     // 25 - N
extern const int32_t SnrTable[QUANT_CLASSES];       // LogQ24

extern const uint8_t ScfCount[4];
extern const uint8_t ScfsiPattern[5][5];
