// Coupling: the coupled channels' high bins are the coupling channel's
// mantissas scaled by each channel's coupling coordinates.
#include <cstring>

#include "ac3/ac3_dither.h"
#include "ac3/ac3_stages.h"

namespace {

Q24 CouplingCoordinate(const Ac3FrameState& f, int ch, int bnd) {
  const int32_t e = f.cplcoexp[ch][bnd];
  const int32_t m = f.cplcomant[ch][bnd];
  const int32_t t = e == 15 ? m << 20 : (m + 16) << 19;
  // e <= 15 and mstrcplco <= 3: the shift stays below 32.
  int32_t cplco = t >> (e + 3 * f.mstrcplco[ch]);
  if (f.acmod == 2 && ch == 1 && f.phsflginu && f.phsflg[bnd]) cplco = -cplco;
  return cplco;
}

}  // namespace

void Ac3Decouple(Ac3FrameState& f) {
  if (!f.cplinu) return;
  Ac3DecoderState& decoder = Ac3DecoderOf(f);
  Ac3DitherRun dither = Ac3DitherRun::FromDecoder(decoder);
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (!f.chincpl[ch]) continue;
    const bool dithered = f.dithflag[ch] != 0;
    int32_t* out = f.coefficients[ch];
    int bnd = 0;
    Q24 cplco = 0;
    for (int sbnd = 0, bin = f.cplstrtmant; bin < f.cplendmant; ++sbnd) {
      if (sbnd >= 18 || f.cplbndstrc[sbnd] == 0) {
        if (bnd < 18) cplco = CouplingCoordinate(f, ch, bnd);
        ++bnd;
      }
      for (int k = 0; k < 12; ++k, ++bin) {
        const int32_t v = (f.cplBap[bin] == 0 && dithered) ? dither.Take() : f.cplMantissas[bin];
        const uint32_t scaled = static_cast<uint32_t>(MulQ24(v, cplco)) << 3;
        out[bin] = static_cast<int32_t>(scaled) >> (f.cplExps[bin] & 31);
      }
    }
    std::memset(out + f.cplendmant, 0, sizeof(int32_t) * static_cast<size_t>(256 - f.cplendmant));
  }
  dither.ToDecoder(decoder);
}
