// The AC-3 decoder's state: the persistent record that lives from frame to
// frame (one per decoded track; Ac3Decoder is the first, the one the
// single-stream tools use) and the per-frame working record in which one
// sync frame is decoded.
#pragma once

#include <cstdint>

constexpr int AC3_MAX_CHANNELS = 5;   // full-bandwidth channels
constexpr int AC3_LFE_ROW = 5;        // overlap row of the LFE channel
constexpr int AC3_BLOCK_SAMPLES = 256;
constexpr int AC3_MAX_DELTA_SEGMENTS = 8;

// State of one grouped quantiser (3, 5 or 11 levels): which value of the
// current code comes next and what is left of the code.
struct Ac3GroupState {
  int32_t phase;
  int32_t remaining;
};

struct Ac3DecoderState {
  bool DynamicCompression = false;
  // Second halves of the last windowed transform outputs: one row per
  // full-bandwidth channel in stream order, row 5 for the LFE channel.
  int32_t Ac3Overlap[6][AC3_BLOCK_SAMPLES] = {};
  uint16_t ditherRegister = 0xFFFF;
  int32_t Ac3FrameCount = 0;

  // Bit reader over the current frame. Reading by bit position behaves like
  // a one-byte cache refilled from the data: a read that would need a byte
  // at or past the end returns 0 and consumes nothing.
  const uint8_t* data = nullptr;
  uint32_t byteLength = 0;
  uint64_t bitPosition = 0;

  // Bit-allocation parameters of the last block with baie set.
  int32_t sdecay = 0, fdecay = 0, sgain = 0, dbknee = 0, floor = 0;

  Ac3GroupState group3{}, group5{}, group11{};

  // Where each dithflag bit of the last frame sits, in bits from the frame's
  // first BSI byte (-1 where absent); used by stream tools that rewrite them.
  int32_t dithflagBitOffset[6][AC3_MAX_CHANNELS] = {};
};

// The first decoder context: the single-stream tools' and the one the
// functions without a context argument work on.
extern Ac3DecoderState Ac3Decoder;

// Delta bit allocation of one channel (or the coupling channel).
struct Ac3DeltaBitAllocation {
  int32_t deltbae;  // 0 reuse, 1 new, 2 none
  int32_t deltnseg;
  int32_t deltoffst[AC3_MAX_DELTA_SEGMENTS];
  int32_t deltlen[AC3_MAX_DELTA_SEGMENTS];
  int32_t deltba[AC3_MAX_DELTA_SEGMENTS];
};

// Everything a block keeps from the previous block of the same frame.
// Zeroed at the start of each frame.
struct Ac3FrameState {
  Ac3DecoderState* decoder;  // the context the frame belongs to; null: Ac3Decoder
  int32_t acmod, nfchans, lfeon;
  int32_t block, writeIndex;
  int32_t dynamicRangeGain, dynamicRangeGain2;

  // Full-bandwidth channels, in stream order.
  int32_t blksw[AC3_MAX_CHANNELS], dithflag[AC3_MAX_CHANNELS];
  int32_t chincpl[AC3_MAX_CHANNELS], cplcoe[AC3_MAX_CHANNELS], mstrcplco[AC3_MAX_CHANNELS];
  int32_t chexpstr[AC3_MAX_CHANNELS], endmant[AC3_MAX_CHANNELS], nchgrps[AC3_MAX_CHANNELS];
  int32_t absexp[AC3_MAX_CHANNELS];
  int32_t expGroups[AC3_MAX_CHANNELS][84];
  int32_t exps[AC3_MAX_CHANNELS][256];
  int32_t fsnroffst[AC3_MAX_CHANNELS], fgaincod[AC3_MAX_CHANNELS];
  Ac3DeltaBitAllocation delta[AC3_MAX_CHANNELS];
  int32_t bap[AC3_MAX_CHANNELS][256];
  int32_t coefficients[AC3_MAX_CHANNELS][256];
  uint8_t coordinatesReceived[AC3_MAX_CHANNELS], deltaReceived[AC3_MAX_CHANNELS];

  // Coupling.
  int32_t cplinu, phsflginu, cplbegf, cplendf, cplstrtmant, cplendmant, ncplsubnd, ncplbnd;
  int32_t cplbndstrc[18];
  int32_t cplcoexp[AC3_MAX_CHANNELS][18], cplcomant[AC3_MAX_CHANNELS][18];
  int32_t phsflg[18];
  int32_t cplexpstr, ncplgrps, cplabsexp;
  int32_t cplExpGroups[72];
  int32_t cplExps[256], cplBap[256];
  int32_t cplMantissas[256];  // Q24, undithered, not shifted by their exponents
  int32_t cplfsnroffst, cplfgaincod, cplfleak, cplsleak;
  Ac3DeltaBitAllocation cplDelta;
  uint8_t leakReceived, cplDeltaReceived;

  // Rematrixing (acmod 2).
  int32_t nrematbnd, rematflg[4];

  // LFE.
  int32_t lfeexpstr, lfeAbsexp, lfeExpGroups[2], lfeExps[7], lfeBap[7];
  int32_t lfefsnroffst, lfefgaincod;
  int32_t lfeCoefficients[256];

  // (csnroffst - 15) * 16.
  int32_t csnroffsetTerm;

  // Allocations whose inputs changed since they were last computed. The
  // allocation runs only in blocks that ask for it, and then recomputes
  // these; an allocation whose inputs are unchanged would come out the same.
  uint8_t pendingAll, pendingCoupling, pendingChannel[AC3_MAX_CHANNELS], pendingLfe;
};

// The decoder context of the frame being decoded.
inline Ac3DecoderState& Ac3DecoderOf(const Ac3FrameState& f) { return f.decoder != nullptr ? *f.decoder : Ac3Decoder; }
