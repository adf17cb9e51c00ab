// The decode stages of one audio block, in the order Ac3DecodeFrame runs
// them. Each works on the frame record and the decoder state.
#pragma once

#include <cstdint>

#include "ac3/ac3_state.h"
#include "common/q24.h"

// Wrapping 32-bit arithmetic: sums in the transform and the mix are allowed
// to wrap on overflow (only a corrupt stream gets there).
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t WrapNeg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }

// Exponent group sizes by strategy (D15, D25, D45); strategy 0 is reuse.
constexpr int32_t AC3_GROUP_SIZE[4] = {0, 3, 6, 12};

// Expands ngrps 7-bit group codes into exponents starting at out[0]; each
// code carries three deltas, each written 1, 2 or 4 times (expstr 1..3).
// A code above 124 is reported (message 159) and fails.
bool Ac3DecodeExponents(int ngrps, int expstr, int32_t absexp, const int32_t* groups, int32_t* out);

// Decodes the exponents sent in the current block: coupling, the channels
// in stream order, then the LFE channel. False after a reported error.
bool Ac3DecodeBlockExponents(Ac3FrameState& f);

int32_t Ac3LowComp(int32_t lowcomp, int32_t b0, int32_t b1, int bin);

// Parametric bit allocation: fills bap[start .. end-1] from exps, with the
// allocation parameters of decoder s (of Ac3Decoder without it).
void Ac3BitAllocation(const Ac3DecoderState& s, int start, int end, int32_t fgain, int32_t snroffset,
                      int32_t fastleak, int32_t slowleak, const Ac3DeltaBitAllocation& delta, const int32_t* exps,
                      int32_t* bap);
void Ac3BitAllocation(int start, int end, int32_t fgain, int32_t snroffset, int32_t fastleak,
                      int32_t slowleak, const Ac3DeltaBitAllocation& delta, const int32_t* exps,
                      int32_t* bap);

// Runs the bit allocation when the side information asks for it, for every
// allocation whose inputs changed since it last ran.
void Ac3BlockBitAllocation(Ac3FrameState& f, bool anythingNew);

// Reads one mantissa of the given bap (Q24, before the exponent shift).
// An out-of-range code is reported (message 160) and fails.
bool Ac3GetMantissa(Ac3DecoderState& s, int bap, bool dither, int32_t* out);
bool Ac3GetMantissa(int bap, bool dither, int32_t* out);

// Reads the block's mantissas into coefficients (channels, coupling channel
// after the first coupled channel, LFE). False after a reported error.
bool Ac3ReadBlockMantissas(Ac3FrameState& f);

// Rebuilds the coupled channels' high bins from the coupling channel.
void Ac3Decouple(Ac3FrameState& f);

// Undoes stereo rematrixing (acmod 2).
void Ac3Rematrix(Ac3FrameState& f);

// Inverse transforms of one block: x holds 256 coefficients and receives
// 256 output samples; overlap carries the second half to the next block.
void Ac3Imdct512(int32_t* x, int32_t* overlap);
void Ac3Imdct256(int32_t* x, int32_t* overlap);

// Runs the channel transforms of the block (short ones where blksw is set).
void Ac3BlockTransforms(Ac3FrameState& f);

// Fixed stereo mix of the block into left/right[writeIndex ..], with LFE
// and, when DynamicCompression is set, the dynamic range gain.
void Ac3Downmix(const Ac3FrameState& f, Q24* left, Q24* right);

// Downmix coefficients in Q24.
constexpr int32_t AC3_K1 = 9827866;   // 1 / (1 + 0.7071)
constexpr int32_t AC3_K2 = 6949350;   // 0.7071 / (1 + 0.7071)
constexpr int32_t AC3_K3 = 4913933;   // 0.7071 / (1 + 2 * 0.7071)
constexpr int32_t AC3_K4 = 5375038;   // 1 / (1 + 3 * 0.7071)
constexpr int32_t AC3_K5 = 3800726;   // 0.7071 / (1 + 3 * 0.7071)
constexpr int32_t AC3_KLFE = 5305422; // -10 dB
