#include "extract/intake_tables.h"

// 48 kHz column of the ATSC A/52 frame size code table, in 16-bit words,
// indexed by frmsizecod / 2.
const uint32_t AC3_FRAME_WORDS_48K[AC3_FRAME_SIZE_CODES] = {
    64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 640, 768, 896, 1024, 1152, 1280};
