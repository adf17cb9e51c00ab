#include "mpa/layer2_tables.h"

const uint8_t NBal[SBLIMIT] = {
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    2, 2, 2, 2,
};

const uint8_t MaxAlloc[SBLIMIT] = {
    15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    3, 3, 3, 3,
};

// ISO/IEC 11172-3 table 3-B.2a as class numbers (class 0 = 3 levels,
// 1 = 5, 2 = 7, 3 = 9, 4 = 15, 5 = 31, ... 16 = 65535).
#define LOW_ROW {0, 0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}
#define MID_ROW {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16}
#define HIGH_ROW {0, 0, 1, 2, 3, 4, 5, 16}
#define TOP_ROW {0, 0, 1, 16}
const uint8_t AllocClass[SBLIMIT][16] = {
    LOW_ROW, LOW_ROW, LOW_ROW,
    MID_ROW, MID_ROW, MID_ROW, MID_ROW, MID_ROW, MID_ROW, MID_ROW, MID_ROW,
    HIGH_ROW, HIGH_ROW, HIGH_ROW, HIGH_ROW, HIGH_ROW, HIGH_ROW,
    HIGH_ROW, HIGH_ROW, HIGH_ROW, HIGH_ROW, HIGH_ROW, HIGH_ROW,
    TOP_ROW, TOP_ROW, TOP_ROW, TOP_ROW,
};
#undef LOW_ROW
#undef MID_ROW
#undef HIGH_ROW
#undef TOP_ROW

const uint16_t ClassLevels[QUANT_CLASSES] = {
    3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535,
};
const uint8_t ClassGroup[QUANT_CLASSES] = {3, 5, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t ClassCodeBits[QUANT_CLASSES] = {5, 7, 3, 10, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const uint16_t ClassBits[QUANT_CLASSES] = {
    60, 84, 108, 120, 144, 180, 216, 252, 288, 324, 360, 396, 432, 468, 504, 540, 576,
};
const int32_t QuantA[QUANT_CLASSES] = {
    0xC00000, 0xA00000, 0xE00000, 0x900000, 0xF00000, 0xF80000, 0xFC0000, 0xFE0000, 0xFF0000,
    0xFF8000, 0xFFC000, 0xFFE000, 0xFFF000, 0xFFF800, 0xFFFC00, 0xFFFE00, 0xFFFF00,
};
const uint8_t QuantShift[QUANT_CLASSES] = {23, 22, 22, 21, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9};
// The encoder's own signal-to-noise ratios of the classes, in levels.
const int32_t SnrTable[QUANT_CLASSES] = {
    33606821,  65764592,  88113406,  106059337, 130971857, 166194926,
    200582005, 234523223, 268241510, 301904063, 335510885, 369061973,
    402668794, 436219883, 469770971, 503322060, 536873149,
};

const uint8_t ScfCount[4] = {3, 2, 1, 2};

// Transmission pattern by the classes of the two index differences.
const uint8_t ScfsiPattern[5][5] = {
    {3, 2, 2, 4, 3},
    {1, 0, 0, 7, 1},
    {0, 0, 0, 6, 1},
    {5, 5, 5, 6, 3},
    {3, 2, 2, 4, 3},
};
