// Parametric bit allocation with delta bit allocation, in the integer
// arithmetic of A/52: exponents -> power spectral density -> band powers ->
// excitation -> masking curve -> bap per bin.
#include <algorithm>
#include <cstring>

#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"

namespace {

constexpr int BANDS = 50;

int32_t LogAdd(int32_t a, int32_t b) {
  int32_t d = std::min((a > b ? a - b : b - a) >> 1, 255);
  return std::max(a, b) + Ac3LogAdd[d];
}

// Four whole bands of one size from band k on, all below end.
bool FourAlike(int k, int j, int end) {
  if (k + 3 >= BANDS || j != Ac3BandStart[k]) return false;
  const int32_t size = Ac3BandSize[k];
  return Ac3BandSize[k + 1] == size && Ac3BandSize[k + 2] == size && Ac3BandSize[k + 3] == size &&
         Ac3BandStart[k + 3] + size <= end;
}

// The power of each band from start to end: its bins' densities added in
// order. Each band is a chain of table lookups; four whole bands of one
// size are summed side by side, so that their chains overlap.
void IntegrateBands(const int32_t* psd, int start, int end, int32_t* bndpsd) {
  int j = start;
  int k = Ac3MaskTab[start];
  for (;;) {
    if (FourAlike(k, j, end)) {
      const int size = Ac3BandSize[k];
      const int32_t* p = psd + j;
      int32_t s0 = p[0], s1 = p[size], s2 = p[2 * size], s3 = p[3 * size];
      for (int i = 1; i < size; ++i) {
        s0 = LogAdd(s0, p[i]);
        s1 = LogAdd(s1, p[size + i]);
        s2 = LogAdd(s2, p[2 * size + i]);
        s3 = LogAdd(s3, p[3 * size + i]);
      }
      bndpsd[k] = s0, bndpsd[k + 1] = s1, bndpsd[k + 2] = s2, bndpsd[k + 3] = s3;
      j += 4 * size;
      k += 4;
      if (j >= end) return;
      continue;
    }
    const int lastbin = std::min(Ac3BandStart[k] + Ac3BandSize[k], end);
    int32_t sum = psd[j++];
    for (; j < lastbin; ++j) sum = LogAdd(sum, psd[j]);
    bndpsd[k++] = sum;
    if (end <= lastbin) return;
  }
}

// Raises or lowers the mask of whole bands; bands past the last one (a
// corrupt segment) are ignored.
void ApplyDelta(const Ac3DeltaBitAllocation& delta, int32_t* mask) {
  if (delta.deltbae != 0 && delta.deltbae != 1) return;
  int band = 0;
  for (int seg = 0; seg <= delta.deltnseg && seg < AC3_MAX_DELTA_SEGMENTS; ++seg) {
    band += delta.deltoffst[seg];
    const int32_t ba = delta.deltba[seg];
    const int32_t step = (ba >= 4 ? ba - 3 : ba - 4) * 128;
    for (int k = 0; k < delta.deltlen[seg]; ++k, ++band) {
      if (band < BANDS) mask[band] += step;
    }
  }
}

}  // namespace

int32_t Ac3LowComp(int32_t lowcomp, int32_t b0, int32_t b1, int bin) {
  if (bin < 20) {
    if (b0 + 256 == b1) return bin < 7 ? 384 : 320;
    if (b0 > b1) return std::max(lowcomp - 64, 0);
    return lowcomp;
  }
  return std::max(lowcomp - 128, 0);
}

void Ac3BitAllocation(const Ac3DecoderState& s, int start, int end, int32_t fgain, int32_t snroffset,
                      int32_t fastleak, int32_t slowleak, const Ac3DeltaBitAllocation& delta, const int32_t* exps,
                      int32_t* bap) {
  int32_t psd[256];
  int32_t bndpsd[BANDS] = {};
  int32_t excite[BANDS] = {};
  int32_t mask[BANDS] = {};

  for (int bin = start; bin < end; ++bin) psd[bin] = (24 - exps[bin]) * 128;

  IntegrateBands(psd, start, end, bndpsd);

  const int bndstrt = Ac3MaskTab[start];
  const int bndend = Ac3MaskTab[end - 1] + 1;
  int begin;
  if (bndstrt == 0) {
    // Low-frequency compensation; an LFE allocation (bndend 7) has no band
    // 7 to compare band 6 with.
    const bool lfe = bndend == 7;
    int32_t lowcomp = Ac3LowComp(0, bndpsd[0], bndpsd[1], 0);
    excite[0] = bndpsd[0] - fgain - lowcomp;
    lowcomp = Ac3LowComp(lowcomp, bndpsd[1], bndpsd[2], 1);
    excite[1] = bndpsd[1] - fgain - lowcomp;
    begin = 7;
    for (int bin = 2; bin < 7; ++bin) {
      const bool compare = !(lfe && bin == 6);
      if (compare) lowcomp = Ac3LowComp(lowcomp, bndpsd[bin], bndpsd[bin + 1], bin);
      fastleak = bndpsd[bin] - fgain;
      slowleak = bndpsd[bin] - s.sgain;
      excite[bin] = fastleak - lowcomp;
      if (compare && bndpsd[bin] <= bndpsd[bin + 1]) {
        begin = bin + 1;
        break;
      }
    }
    const int stop = std::min(bndend, 22);
    for (int bin = begin; bin < stop; ++bin) {
      if (!(lfe && bin == 6)) lowcomp = Ac3LowComp(lowcomp, bndpsd[bin], bndpsd[bin + 1], bin);
      fastleak = std::max(fastleak - s.fdecay, bndpsd[bin] - fgain);
      slowleak = std::max(slowleak - s.sdecay, bndpsd[bin] - s.sgain);
      excite[bin] = std::max(fastleak - lowcomp, slowleak);
    }
    begin = 22;
  } else {
    begin = bndstrt;
  }
  for (int bin = begin; bin < bndend; ++bin) {
    fastleak = std::max(fastleak - s.fdecay, bndpsd[bin] - fgain);
    slowleak = std::max(slowleak - s.sdecay, bndpsd[bin] - s.sgain);
    excite[bin] = std::max(fastleak, slowleak);
  }

  for (int band = bndstrt; band < bndend; ++band) {
    int32_t m = excite[band];
    if (bndpsd[band] < s.dbknee) m += (s.dbknee - bndpsd[band]) >> 2;
    mask[band] = std::max(m, Ac3HearingThreshold[band]);
  }

  ApplyDelta(delta, mask);

  int i = start;
  int j = Ac3MaskTab[start];
  int lastbin;
  do {
    lastbin = std::min(Ac3BandStart[j] + Ac3BandSize[j], end);
    int32_t t = mask[j] - snroffset - s.floor;
    if (t < 0) t = 0;
    t = (t & 0x1FE0) + s.floor;
    for (; i < lastbin; ++i) {
      int32_t address = psd[i] > t ? (psd[i] - t) >> 5 : 0;
      if (address > 63) address = 63;
      bap[i] = Ac3BapTab[address];
    }
    ++j;
  } while (end > lastbin);
}

void Ac3BlockBitAllocation(Ac3FrameState& f, bool anythingNew) {
  if (!anythingNew) return;  // every bap of the previous block stays

  const bool all = f.pendingAll;
  const bool coupling = f.cplinu && (all || f.pendingCoupling);
  const bool lfe = f.lfeon && (all || f.pendingLfe);
  f.pendingAll = f.pendingCoupling = f.pendingLfe = 0;
  bool channel[AC3_MAX_CHANNELS];
  for (int ch = 0; ch < f.nfchans; ++ch) {
    channel[ch] = all || f.pendingChannel[ch];
    f.pendingChannel[ch] = 0;
  }

  bool allZero = f.csnroffsetTerm == -240;
  if (f.cplinu && f.cplfsnroffst != 0) allZero = false;
  if (f.lfeon && f.lfefsnroffst != 0) allZero = false;
  for (int ch = 0; ch < f.nfchans; ++ch)
    if (f.fsnroffst[ch] != 0) allZero = false;
  if (allZero) {
    // No offset at all: nothing is coded, every mantissa is dithered or 0.
    if (coupling) std::memset(f.cplBap, 0, sizeof f.cplBap);
    for (int ch = 0; ch < f.nfchans; ++ch)
      if (channel[ch]) std::memset(f.bap[ch], 0, sizeof f.bap[ch]);
    if (lfe) std::memset(f.lfeBap, 0, sizeof f.lfeBap);
    return;
  }

  if (coupling) {
    Ac3BitAllocation(Ac3DecoderOf(f), f.cplstrtmant, f.cplendmant, Ac3FastGain[f.cplfgaincod],
                     (f.csnroffsetTerm + f.cplfsnroffst) * 4, (f.cplfleak + 3) * 256,
                     (f.cplsleak + 3) * 256, f.cplDelta, f.cplExps, f.cplBap);
  }
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (!channel[ch]) continue;
    Ac3BitAllocation(Ac3DecoderOf(f), 0, f.endmant[ch], Ac3FastGain[f.fgaincod[ch]], (f.csnroffsetTerm + f.fsnroffst[ch]) * 4,
                     0, 0, f.delta[ch], f.exps[ch], f.bap[ch]);
  }
  if (lfe) {
    static constexpr Ac3DeltaBitAllocation noDelta{2, 0, {}, {}, {}};
    Ac3BitAllocation(Ac3DecoderOf(f), 0, 7, Ac3FastGain[f.lfefgaincod], (f.csnroffsetTerm + f.lfefsnroffst) * 4, 0, 0,
                     noDelta, f.lfeExps, f.lfeBap);
  }
}

void Ac3BitAllocation(int start, int end, int32_t fgain, int32_t snroffset, int32_t fastleak, int32_t slowleak,
                      const Ac3DeltaBitAllocation& delta, const int32_t* exps, int32_t* bap) {
  Ac3BitAllocation(Ac3Decoder, start, end, fgain, snroffset, fastleak, slowleak, delta, exps, bap);
}
