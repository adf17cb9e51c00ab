// Mantissas: grouped and plain quantiser codes, dither for zero-bit bins,
// and the block's reading order (channels, coupling channel, LFE).
#include <cstring>

#include "ac3/ac3_bit_reader.h"
#include "ac3/ac3_dither.h"
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"
#include "report/messages.h"
#include "report/string_table.h"

namespace {

// Mantissa width in bits by bap (qntztab); grouped quantisers are 0 here.
constexpr uint8_t MANTISSA_BITS[16] = {0, 0, 0, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16};

// A working copy of the decoder's bit reader, grouped-mantissa state and
// dither register, kept in registers while a block's mantissas are read
// and written back afterwards. It reads exactly as Ac3GetBits and
// Ac3Dither do.
struct MantissaReader {
  const uint8_t* data;
  uint32_t byteLength;
  uint64_t position;
  Ac3GroupState group3, group5, group11;
  uint32_t dither;

  static MantissaReader FromDecoder() {
    const Ac3DecoderState& s = Ac3Decoder;
    return {s.data, s.byteLength, s.bitPosition, s.group3, s.group5, s.group11, s.ditherRegister};
  }
  void ToDecoder() const {
    Ac3DecoderState& s = Ac3Decoder;
    s.bitPosition = position;
    s.group3 = group3;
    s.group5 = group5;
    s.group11 = group11;
    s.ditherRegister = static_cast<uint16_t>(dither);
  }

  uint32_t Bits(int n) { return Ac3ReadBits(data, byteLength, position, n); }

  Q24 Dither() {
    uint32_t r = dither;
    const uint32_t fell = r & 1;
    r >>= 1;
    if (fell) r ^= 0xA55A;
    dither = r;
    return MulQ24(static_cast<int16_t>(r) * 512, AC3_DITHER_SCALE);
  }

  // One value of a code that carries three (3 or 5 levels).
  bool ThreeInOne(Ac3GroupState& g, int bits, int32_t levels, const int32_t* table, int32_t* out) {
    switch (g.phase) {
      case 0: {
        const int32_t code = static_cast<int32_t>(Bits(bits));
        if (code >= levels * levels * levels) return false;
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

  // The quantisers of bap 1..5; false for an out-of-range code.
  bool SmallQuantiser(int bap, int32_t* out) {
    switch (bap) {
      case 1:
        return ThreeInOne(group3, 5, 3, Ac3Levels3, out);
      case 2:
        return ThreeInOne(group5, 7, 5, Ac3Levels5, out);
      case 3: {
        const uint32_t code = Bits(3);
        if (code > 6) return false;
        *out = Ac3Levels7[code];
        return true;
      }
      case 4:
        if (group11.phase == 0) {
          const int32_t code = static_cast<int32_t>(Bits(7));
          if (code > 120) return false;
          *out = Ac3Levels11[code / 11];
          group11.remaining = code % 11;
          group11.phase = 1;
        } else {
          *out = Ac3Levels11[group11.remaining];
          group11.phase = 0;
        }
        return true;
      default: {
        const uint32_t code = Bits(4);
        if (code > 14) return false;
        *out = Ac3Levels15[code];
        return true;
      }
    }
  }

  // One mantissa (Q24, before the exponent shift); false for a bad code.
  bool Mantissa(int bap, bool dithered, int32_t* out) {
    if (bap >= 6) {
      // An n-bit two's complement fraction of full scale.
      const int n = MANTISSA_BITS[bap & 15];
      *out = static_cast<int32_t>(Bits(n) << (32 - n)) >> 7;
      return true;
    }
    if (bap == 0) {
      *out = dithered ? Dither() : 0;
      return true;
    }
    return SmallQuantiser(bap, out);
  }

  bool Channel(const int32_t* bap, const int32_t* exps, int end, bool dithered, int32_t* coefficients) {
    for (int bin = 0; bin < end; ++bin) {
      int32_t v;
      if (!Mantissa(bap[bin], dithered, &v)) return false;
      coefficients[bin] = v >> (exps[bin] & 31);  // shift counts of a corrupt stream taken modulo 32
    }
    return true;
  }
};

bool BadCode(const MantissaReader& r) {
  r.ToDecoder();
  ShowVobDetailError(IDS_AC3_COEFF_GROUP);
  return false;
}

}  // namespace

bool Ac3GetMantissa(int bap, bool dither, int32_t* out) {
  MantissaReader r = MantissaReader::FromDecoder();
  if (!r.Mantissa(bap, dither, out)) return BadCode(r);
  r.ToDecoder();
  return true;
}

bool Ac3ReadBlockMantissas(Ac3FrameState& f) {
  MantissaReader r = MantissaReader::FromDecoder();
  r.group3 = r.group5 = r.group11 = Ac3GroupState{0, 0};

  bool couplingRead = false;
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (!r.Channel(f.bap[ch], f.exps[ch], f.endmant[ch], f.dithflag[ch] != 0, f.coefficients[ch]))
      return BadCode(r);
    if (f.cplinu && f.chincpl[ch]) {
      if (!couplingRead) {
        // Unshifted and undithered: each coupled channel scales and
        // dithers them for itself.
        for (int bin = f.cplstrtmant; bin < f.cplendmant; ++bin) {
          if (!r.Mantissa(f.cplBap[bin], false, &f.cplMantissas[bin])) return BadCode(r);
        }
        couplingRead = true;
      }
    } else {
      std::memset(f.coefficients[ch] + f.endmant[ch], 0,
                  sizeof(int32_t) * static_cast<size_t>(256 - f.endmant[ch]));
    }
  }
  if (f.lfeon) {
    // The LFE channel is always dithered, whatever dithflag says.
    if (!r.Channel(f.lfeBap, f.lfeExps, 7, true, f.lfeCoefficients)) return BadCode(r);
    std::memset(f.lfeCoefficients + 7, 0, sizeof(int32_t) * (256 - 7));
  }
  r.ToDecoder();
  return true;
}
