// Mantissas: grouped and plain quantiser codes, dither for zero-bit bins,
// and the block's reading order (channels, coupling channel, LFE).
#include <cstring>

#include "ac3/ac3_bit_reader.h"
#include "ac3/ac3_dither.h"
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"
#include "app/messages.h"
#include "app/string_table.h"

namespace {

// Mantissa width in bits by bap (qntztab); grouped quantisers are 0 here.
constexpr uint8_t MANTISSA_BITS[16] = {0, 0, 0, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16};

bool BadCode() {
  ShowVobDetailError(IDS_AC3_COEFF_GROUP);
  return false;
}

// One value of a code that carries three (3 or 5 levels) values.
bool ThreeInOne(Ac3GroupState& g, int bits, int32_t levels, const int32_t* table, int32_t* out) {
  switch (g.phase) {
    case 0: {
      const int32_t code = static_cast<int32_t>(Ac3GetBits(bits));
      if (code >= levels * levels * levels) return BadCode();
      *out = table[code / (levels * levels)];
      g.remaining = code % (levels * levels);
      g.phase = 1;
      return true;
    }
    case 1:
      *out = table[g.remaining / levels];
      g.remaining %= levels;
      g.phase = 2;
      return true;
    default:
      *out = table[g.remaining];
      g.phase = 0;
      return true;
  }
}

}  // namespace

bool Ac3GetMantissa(int bap, bool dither, int32_t* out) {
  Ac3DecoderState& s = Ac3Decoder;
  switch (bap) {
    case 0:
      *out = dither ? Ac3Dither() : 0;
      return true;
    case 1:
      return ThreeInOne(s.group3, 5, 3, Ac3Levels3, out);
    case 2:
      return ThreeInOne(s.group5, 7, 5, Ac3Levels5, out);
    case 3: {
      const uint32_t code = Ac3GetBits(3);
      if (code > 6) return BadCode();
      *out = Ac3Levels7[code];
      return true;
    }
    case 4: {
      Ac3GroupState& g = s.group11;
      if (g.phase == 0) {
        const int32_t code = static_cast<int32_t>(Ac3GetBits(7));
        if (code > 120) return BadCode();
        *out = Ac3Levels11[code / 11];
        g.remaining = code % 11;
        g.phase = 1;
      } else {
        *out = Ac3Levels11[g.remaining];
        g.phase = 0;
      }
      return true;
    }
    case 5: {
      const uint32_t code = Ac3GetBits(4);
      if (code > 14) return BadCode();
      *out = Ac3Levels15[code];
      return true;
    }
    default: {
      // An n-bit two's complement fraction of full scale.
      const int n = MANTISSA_BITS[bap & 15];
      const uint32_t code = Ac3GetBits(n);
      *out = static_cast<int32_t>(code << (32 - n)) >> 7;
      return true;
    }
  }
}

namespace {

bool ReadChannel(const int32_t* bap, const int32_t* exps, int end, bool dither, int32_t* coefficients) {
  for (int bin = 0; bin < end; ++bin) {
    int32_t v;
    if (!Ac3GetMantissa(bap[bin], dither, &v)) return false;
    coefficients[bin] = v >> (exps[bin] & 31);
  }
  return true;
}

}  // namespace

bool Ac3ReadBlockMantissas(Ac3FrameState& f) {
  Ac3DecoderState& s = Ac3Decoder;
  s.group3 = s.group5 = s.group11 = Ac3GroupState{0, 0};

  bool couplingRead = false;
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (!ReadChannel(f.bap[ch], f.exps[ch], f.endmant[ch], f.dithflag[ch] != 0, f.coefficients[ch]))
      return false;
    if (f.cplinu && f.chincpl[ch]) {
      if (!couplingRead) {
        for (int bin = f.cplstrtmant; bin < f.cplendmant; ++bin) {
          if (!Ac3GetMantissa(f.cplBap[bin], false, &f.cplMantissas[bin])) return false;
        }
        couplingRead = true;
      }
    } else {
      std::memset(f.coefficients[ch] + f.endmant[ch], 0,
                  sizeof(int32_t) * static_cast<size_t>(256 - f.endmant[ch]));
    }
  }
  if (f.lfeon) {
    if (!ReadChannel(f.lfeBap, f.lfeExps, 7, true, f.lfeCoefficients)) return false;
    std::memset(f.lfeCoefficients + 7, 0, sizeof(int32_t) * (256 - 7));
  }
  return true;
}
