// Constant tables of the AC-3 decoder. The A/52 tables hold the standard's
// integer values (ac3_tables.cpp); the computed ones are Q24 values written by
// tools/gen_ac3_tables.py (ac3_transform_tables.cpp).
#pragma once

#include <cstdint>

// Bit allocation (A/52 tables 7.6 .. 7.16), units of the allocation's psd
// values (128 per exponent step).
extern const int32_t Ac3SlowDecay[4];           // slowdec, by sdcycod
extern const int32_t Ac3FastDecay[4];           // fastdec, by fdcycod
extern const int32_t Ac3SlowGain[4];            // slowgain, by sgaincod
extern const int32_t Ac3DbPerBit[4];            // dbpbtab, by dbpbcod
extern const int32_t Ac3Floor[8];               // floortab, by floorcod
extern const int32_t Ac3FastGain[8];            // fastgain, by the fgaincod fields
extern const int32_t Ac3BandStart[50];          // bndtab: first bin of each band
extern const int32_t Ac3BandSize[50];           // bndsz: bins in each band
extern const int32_t Ac3MaskTab[256];           // masktab: band of each bin
extern const int32_t Ac3LogAdd[256];            // latab
extern const int32_t Ac3HearingThreshold[50];   // hth, 48 kHz row
extern const int32_t Ac3BapTab[64];             // baptab

// Frame size in 16-bit words at 48 kHz, by frmsizecod 0..37.
extern const int32_t Ac3FrameSizeWords48k[38];

// Inverse transform.
extern const int32_t Ac3BitReverse[128];   // 7-bit reversal of the index
extern const int32_t Ac3FftCos[64];        // cos(2 pi m / 128)
extern const int32_t Ac3FftSin[64];        // sin(2 pi m / 128)
// The FFT factors in stage order: entry h + k = Ac3FftCos/Sin[k * 64 / h]
// for the stages of half-size h = 4 .. 64 (entries 0..3 unused).
extern const int32_t Ac3FftStageCos[128];
extern const int32_t Ac3FftStageSin[128];
extern const int32_t Ac3Xcos1[128];        // -cos(2 pi (8k + 1) / 4096)
extern const int32_t Ac3Xsin1[128];        // -sin(2 pi (8k + 1) / 4096)
extern const int32_t Ac3Xcos2[64];         // -cos(2 pi (8k + 1) / 2048)
extern const int32_t Ac3Xsin2[64];         // -sin(2 pi (8k + 1) / 2048)
// The printed five-decimal window times 2 (the overlap-add factor), times
// 2^24, truncated: w[0] = 4697 .. w[255] = 33554432.
extern const int32_t Ac3Window[256];
// Ac3Window in the order the long transform reads it, 8 rows of 64, row r
// holding w[2n], w[2n+1], w[128+2n], w[129+2n], w[255-2n], w[254-2n],
// w[127-2n], w[126-2n] for r = 0..7.
extern const int32_t Ac3WindowSplit[8 * 64];

// Gain of each 8-bit dynrng code: 2^X * (32 + Y) / 32 with X = bits 7..5 as
// a signed 3-bit number and Y = bits 4..0.
extern const int32_t Ac3DynamicRangeGain[256];

// Mantissa quantiser levels, code 0 first, truncated toward zero.
extern const int32_t Ac3Levels3[3];
extern const int32_t Ac3Levels5[5];
extern const int32_t Ac3Levels7[7];
extern const int32_t Ac3Levels11[11];
extern const int32_t Ac3Levels15[15];
