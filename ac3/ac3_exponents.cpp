// Exponent decoding: 7-bit group codes, each three deltas of -2..+2.
#include "ac3/ac3_stages.h"
#include "report/messages.h"
#include "report/string_table.h"

bool Ac3DecodeExponents(int ngrps, int expstr, int32_t absexp, const int32_t* groups, int32_t* out) {
  // Nothing keeps the exponent in 0..24: a corrupt stream's values are used
  // as they come (the mantissa shift takes them modulo 32).
  const int repeat = expstr == 1 ? 1 : expstr == 2 ? 2 : 4;
  int32_t e = absexp;
  int at = 0;
  for (int g = 0; g < ngrps; ++g) {
    const int32_t code = groups[g];
    if (code > 124) {
      ShowVobDetailError(IDS_AC3_EXPONENT_GROUP);
      return false;
    }
    const int32_t deltas[3] = {code / 25 - 2, (code % 25) / 5 - 2, code % 5 - 2};
    for (int32_t d : deltas) {
      e += d;
      for (int r = 0; r < repeat; ++r) out[at++] = e;
    }
  }
  return true;
}

bool Ac3DecodeBlockExponents(Ac3FrameState& f) {
  if (f.cplinu && f.cplexpstr != 0) {
    if (!Ac3DecodeExponents(f.ncplgrps, f.cplexpstr, f.cplabsexp * 2, f.cplExpGroups,
                            f.cplExps + f.cplstrtmant))
      return false;
  }
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (f.chexpstr[ch] == 0) continue;
    f.exps[ch][0] = f.absexp[ch];
    if (!Ac3DecodeExponents(f.nchgrps[ch], f.chexpstr[ch], f.absexp[ch], f.expGroups[ch], f.exps[ch] + 1))
      return false;
  }
  if (f.lfeon && f.lfeexpstr) {
    f.lfeExps[0] = f.lfeAbsexp;
    if (!Ac3DecodeExponents(2, 1, f.lfeAbsexp, f.lfeExpGroups, f.lfeExps + 1)) return false;
  }
  return true;
}
