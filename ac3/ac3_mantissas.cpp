// Mantissas: grouped and plain quantiser codes, dither for zero-bit bins,
// and the block's reading order (channels, coupling channel, LFE).
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "ac3/ac3_bit_reader.h"
#include "ac3/ac3_dither.h"
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"
#include "common/vector_paths.h"
#include "report/messages.h"
#include "report/string_table.h"

namespace {

// Mantissa width in bits by bap (qntztab); grouped quantisers are 0 here.
constexpr uint8_t MANTISSA_BITS[16] = {0, 0, 0, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16};

#if VECTOR_PATHS_BUILT
#define MANTISSA_PASSES_BUILT 1
#define X86_64_V4 __attribute__((target("avx512f,avx512bw,avx512cd,avx512dq,avx512vl,avx2,fma,bmi2,popcnt")))

// The first n bins (n <= 16) of a row as a lane mask.
X86_64_V4 inline __mmask16 FirstBins(int n) { return static_cast<__mmask16>(n >= 16 ? 0xFFFF : (1u << n) - 1); }

// The bins below end whose bap is not 0, in order; returns their count.
X86_64_V4 int CodedBins(const int32_t* bap, int end, int32_t* coded) {
  int count = 0;
  const __m512i step = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  for (int bin = 0; bin < end; bin += 16) {
    const __mmask16 inside = FirstBins(end - bin);
    const __mmask16 nonzero = _mm512_mask_test_epi32_mask(inside, _mm512_maskz_loadu_epi32(inside, bap + bin),
                                                          _mm512_set1_epi32(-1));
    // Compressed in a register and stored whole (coded has room for 16 past
    // the last bin): a compressing store to memory is slow on some cores.
    const __m512i bins = _mm512_add_epi32(_mm512_set1_epi32(bin), step);
    _mm512_storeu_si512(coded + count, _mm512_maskz_compress_epi32(nonzero, bins));
    count += __builtin_popcount(nonzero);
  }
  return count;
}

// The next n dither levels (n <= 256) of the register reg into levels,
// eight lanes at a time: the eight register values after reg from one row
// of the step table, their levels as MulQ24(s * 512, scale) =
// (s * scale + 2^14) >> 15 with 64-bit products. Returns the register after
// them.
X86_64_V4 uint32_t DitherLevels(uint32_t reg, int n, Q24* levels) {
  const __m256i shifts = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8);
  const __m256i scale = _mm256_set1_epi32(AC3_DITHER_SCALE);
  const __m256i round = _mm256_set1_epi64x(1 << 14);
  for (int k = 0; k < n; k += 8) {
    const uint32_t low = reg & 0xFF;
    const __m128i steps = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Ac3DitherSteps[low]));
    const __m256i ahead = _mm256_xor_si256(_mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(reg)), shifts),
                                           _mm256_cvtepu16_epi32(steps));
    // The register after this group straight from the table, apart from
    // the vector work: the next group need not wait for it.
    const int m = n - k < 8 ? n - k : 8;
    reg = (reg >> m) ^ Ac3DitherSteps[low][m - 1];
    const __m256i s = _mm256_srai_epi32(_mm256_slli_epi32(ahead, 16), 16);  // as signed 16-bit
    const __m256i even = _mm256_srai_epi64(_mm256_add_epi64(_mm256_mul_epi32(s, scale), round), 15);
    const __m256i odd = _mm256_srai_epi64(
        _mm256_add_epi64(_mm256_mul_epi32(_mm256_srli_epi64(s, 32), scale), round), 15);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(levels + k),
                        _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA));
  }
  return reg;
}

// Fills the zero-bit bins below end: dither levels shifted by their
// exponents, in bin order, or 0 when the channel is not dithered. zeros is
// their count. Returns the dither register after them.
X86_64_V4 uint32_t ZeroBitBins(const int32_t* bap, const int32_t* exps, int end, int zeros, bool dithered,
                               uint32_t dither, int32_t* coefficients) {
  Q24 levels[256 + 16];  // a whole vector is read from the last level on
  if (dithered) {
    dither = DitherLevels(dither, zeros, levels);
    _mm512_storeu_si512(levels + zeros, _mm512_setzero_si512());  // read past the last, never used
  }
  int taken = 0;
  for (int bin = 0; bin < end; bin += 16) {
    const __mmask16 inside = FirstBins(end - bin);
    const __mmask16 zero = _mm512_mask_testn_epi32_mask(inside, _mm512_maskz_loadu_epi32(inside, bap + bin),
                                                        _mm512_set1_epi32(-1));
    __m512i v = _mm512_setzero_si512();
    if (dithered) {
      const __m512i shift = _mm512_and_si512(_mm512_maskz_loadu_epi32(zero, exps + bin), _mm512_set1_epi32(31));
      v = _mm512_maskz_srav_epi32(zero, _mm512_maskz_expand_epi32(zero, _mm512_loadu_si512(levels + taken)), shift);
      taken += __builtin_popcount(zero);
    }
    _mm512_mask_storeu_epi32(coefficients + bin, zero, v);
  }
  return dither;
}
#else
#define MANTISSA_PASSES_BUILT 0
#endif

// A working copy of the decoder's bit reader, grouped-mantissa state and
// dither register, kept in registers while a block's mantissas are read
// and written back afterwards. It reads exactly as Ac3GetBits and
// Ac3Dither do.
struct MantissaReader {
  Ac3DecoderState* decoder;  // the context it is taken from and given back to
  const uint8_t* data;
  uint32_t byteLength;
  uint64_t position;
  Ac3GroupState group3, group5, group11;
  uint32_t dither;

  static MantissaReader FromDecoder(Ac3DecoderState& s) {
    return {&s, s.data, s.byteLength, s.bitPosition, s.group3, s.group5, s.group11, s.ditherRegister};
  }
  void ToDecoder() const {
    Ac3DecoderState& s = *decoder;
    s.bitPosition = position;
    s.group3 = group3;
    s.group5 = group5;
    s.group11 = group11;
    s.ditherRegister = static_cast<uint16_t>(dither);
  }

  uint32_t Bits(int n) { return Ac3ReadBits(data, byteLength, position, n); }

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
      if (!dithered) {
        *out = 0;
        return true;
      }
      dither = Ac3DitherStep(dither);
      *out = Ac3DitherLevel(dither);
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

#if MANTISSA_PASSES_BUILT
  // Channel in three passes: the coded bins are listed, their mantissas
  // read, then the zero-bit bins filled in bin order. The bit reads and the
  // dither register then run apart rather than wait on each other, and
  // neither branches on every bin. The register advances for the same bins
  // in the same order as Channel; after a bad code, for the bins before it.
  bool ChannelInPasses(const int32_t* bap, const int32_t* exps, int end, bool dithered, int32_t* coefficients) {
    int32_t coded[256 + 16];
    const int count = CodedBins(bap, end, coded);
    for (int i = 0; i < count; ++i) {
      const int bin = coded[i];
      int32_t v;
      if (!Mantissa(bap[bin], false, &v)) {
        dither = ZeroBitBins(bap, exps, bin, bin - i, dithered, dither, coefficients);
        return false;
      }
      coefficients[bin] = v >> (exps[bin] & 31);
    }
    dither = ZeroBitBins(bap, exps, end, end - count, dithered, dither, coefficients);
    return true;
  }
#endif

  bool FullBandChannel(const int32_t* bap, const int32_t* exps, int end, bool dithered, int32_t* coefficients) {
#if MANTISSA_PASSES_BUILT
    if (CurrentVectorPath() == VectorPath::Avx512) return ChannelInPasses(bap, exps, end, dithered, coefficients);
#endif
    return Channel(bap, exps, end, dithered, coefficients);
  }
};

bool BadCode(const MantissaReader& r) {
  r.ToDecoder();
  ShowVobDetailError(IDS_AC3_COEFF_GROUP);
  return false;
}

}  // namespace

bool Ac3GetMantissa(Ac3DecoderState& s, int bap, bool dither, int32_t* out) {
  MantissaReader r = MantissaReader::FromDecoder(s);
  if (!r.Mantissa(bap, dither, out)) return BadCode(r);
  r.ToDecoder();
  return true;
}

bool Ac3GetMantissa(int bap, bool dither, int32_t* out) { return Ac3GetMantissa(Ac3Decoder, bap, dither, out); }

bool Ac3ReadBlockMantissas(Ac3FrameState& f) {
  MantissaReader r = MantissaReader::FromDecoder(Ac3DecoderOf(f));
  r.group3 = r.group5 = r.group11 = Ac3GroupState{0, 0};

  bool couplingRead = false;
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (!r.FullBandChannel(f.bap[ch], f.exps[ch], f.endmant[ch], f.dithflag[ch] != 0, f.coefficients[ch]))
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
