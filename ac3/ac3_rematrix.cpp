// Stereo rematrixing (acmod 2): flagged bands were sent as sum and
// difference.
#include "ac3/ac3_stages.h"

namespace {
constexpr int REMAT_FIRST[4] = {13, 25, 37, 61};
constexpr int REMAT_LAST[4] = {24, 36, 60, 252};
}  // namespace

void Ac3Rematrix(Ac3FrameState& f) {
  if (f.acmod != 2) return;
  for (int r = 0; r < f.nrematbnd && r < 4; ++r) {
    if (!f.rematflg[r]) continue;
    int last = REMAT_LAST[r];
    // Coupled bins are never rematrixed.
    if (f.cplinu && last > f.cplstrtmant - 1) last = f.cplstrtmant - 1;
    for (int k = REMAT_FIRST[r]; k <= last; ++k) {
      const int32_t a = f.coefficients[0][k];
      const int32_t b = f.coefficients[1][k];
      f.coefficients[0][k] = WrapAdd(a, b);
      f.coefficients[1][k] = WrapSub(a, b);
    }
  }
}
