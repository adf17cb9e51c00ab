// Bit stream information and audio block side information.
#include "ac3/ac3_side_info.h"

#include "ac3/ac3_bit_reader.h"
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"
#include "report/string_table.h"

namespace {

constexpr int32_t FULL_BANDWIDTH_CHANNELS[8] = {2, 1, 2, 3, 3, 4, 4, 5};

int32_t Bits(const Ac3FrameState& f, int n) { return static_cast<int32_t>(Ac3GetBits(Ac3DecoderOf(f), n)); }

void SkipBytes(const Ac3FrameState& f, int32_t count) {
  for (int32_t i = 0; i < count; ++i) Ac3GetBits(Ac3DecoderOf(f), 8);
}

// dialnorm, compr, langcod, audio production information: one set per
// channel of a dual-mono stream, none of it used.
void SkipProgramInfo(const Ac3FrameState& f) {
  Bits(f, 5);
  if (Bits(f, 1)) Bits(f, 8);
  if (Bits(f, 1)) Bits(f, 8);
  if (Bits(f, 1)) Bits(f, 7);
}

unsigned ReadCouplingStrategy(Ac3FrameState& f, bool* cplstre) {
  *cplstre = Bits(f, 1);
  if (!*cplstre) {
    return f.block == 0 ? unsigned{IDS_AC3_CPLSTRE} : 0u;
  }
  f.cplinu = Bits(f, 1);
  if (!f.cplinu) {
    for (int ch = 0; ch < f.nfchans; ++ch) f.coordinatesReceived[ch] = 0;
    f.leakReceived = 0;
    f.cplDeltaReceived = 0;
    return 0;
  }
  for (int ch = 0; ch < f.nfchans; ++ch) {
    f.chincpl[ch] = Bits(f, 1);
    if (!f.chincpl[ch]) f.coordinatesReceived[ch] = 0;
  }
  f.phsflginu = f.acmod == 2 ? Bits(f, 1) : 0;
  f.cplbegf = Bits(f, 4);
  f.cplendf = Bits(f, 4);
  if (f.cplbegf > f.cplendf + 2) return IDS_AC3_CPLBEGF;
  f.cplstrtmant = 37 + 12 * f.cplbegf;
  f.cplendmant = 73 + 12 * f.cplendf;
  f.ncplsubnd = 3 + f.cplendf - f.cplbegf;
  f.cplbndstrc[0] = 0;
  f.ncplbnd = f.ncplsubnd;
  for (int sbnd = 1; sbnd < f.ncplsubnd; ++sbnd) {
    f.cplbndstrc[sbnd] = Bits(f, 1);
    f.ncplbnd -= f.cplbndstrc[sbnd];
  }
  return 0;
}

unsigned ReadCouplingCoordinates(Ac3FrameState& f) {
  bool sentForStereo = false;
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (!f.chincpl[ch]) continue;
    f.cplcoe[ch] = Bits(f, 1);
    if (f.cplcoe[ch]) {
      f.mstrcplco[ch] = Bits(f, 2);
      for (int bnd = 0; bnd < f.ncplbnd; ++bnd) {
        f.cplcoexp[ch][bnd] = Bits(f, 4);
        f.cplcomant[ch][bnd] = Bits(f, 4);
      }
      f.coordinatesReceived[ch] = 1;
      if (ch < 2) sentForStereo = true;
    } else if (!f.coordinatesReceived[ch]) {
      return IDS_AC3_CPLCOE;
    }
  }
  if (f.acmod == 2 && f.phsflginu && sentForStereo) {
    for (int bnd = 0; bnd < f.ncplbnd; ++bnd) f.phsflg[bnd] = Bits(f, 1);
  }
  return 0;
}

unsigned ReadRematrixing(Ac3FrameState& f) {
  if (!Bits(f, 1)) return f.block == 0 ? unsigned{IDS_AC3_REMATSTR} : 0u;
  f.nrematbnd = 4;
  if (f.cplinu) {
    if (f.cplbegf == 0)
      f.nrematbnd = 2;
    else if (f.cplbegf <= 2)
      f.nrematbnd = 3;
  }
  for (int r = 0; r < f.nrematbnd; ++r) f.rematflg[r] = Bits(f, 1);
  return 0;
}

unsigned ReadExponentStrategies(Ac3FrameState& f) {
  if (f.cplinu) {
    f.cplexpstr = Bits(f, 2);
    if (f.cplexpstr) f.ncplgrps = (f.cplendmant - f.cplstrtmant) / AC3_GROUP_SIZE[f.cplexpstr];
  }
  for (int ch = 0; ch < f.nfchans; ++ch) f.chexpstr[ch] = Bits(f, 2);
  if (f.lfeon) f.lfeexpstr = Bits(f, 1);

  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (f.chexpstr[ch] == 0) {
      if (f.block == 0) return IDS_AC3_CHEXPSTR;
      continue;  // endmant and nchgrps stay
    }
    if (f.cplinu && f.chincpl[ch]) {
      f.endmant[ch] = f.cplstrtmant;
    } else {
      const int32_t chbwcod = Bits(f, 6);
      if (chbwcod > 60) return IDS_AC3_CHBWCOD;
      f.endmant[ch] = 73 + 3 * chbwcod;
    }
    const int32_t size = AC3_GROUP_SIZE[f.chexpstr[ch]];
    f.nchgrps[ch] = (f.endmant[ch] + size - 4) / size;
  }
  return 0;
}

void ReadExponents(Ac3FrameState& f) {
  if (f.cplinu && f.cplexpstr) {
    f.cplabsexp = Bits(f, 4);
    for (int g = 0; g < f.ncplgrps; ++g) f.cplExpGroups[g] = Bits(f, 7);
  }
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (!f.chexpstr[ch]) continue;
    f.absexp[ch] = Bits(f, 4);
    for (int g = 0; g < f.nchgrps[ch]; ++g) f.expGroups[ch][g] = Bits(f, 7);
    Bits(f, 2);  // gainrng
  }
  if (f.lfeon && f.lfeexpstr) {
    f.lfeAbsexp = Bits(f, 4);
    f.lfeExpGroups[0] = Bits(f, 7);
    f.lfeExpGroups[1] = Bits(f, 7);
  }
}

unsigned ReadAllocationParameters(Ac3FrameState& f, bool* sent) {
  Ac3DecoderState& s = Ac3DecoderOf(f);
  const bool baie = Bits(f, 1);
  if (baie) {
    s.sdecay = Ac3SlowDecay[Bits(f, 2)];
    s.fdecay = Ac3FastDecay[Bits(f, 2)];
    s.sgain = Ac3SlowGain[Bits(f, 2)];
    s.dbknee = Ac3DbPerBit[Bits(f, 2)];
    s.floor = Ac3Floor[Bits(f, 3)];
  } else if (f.block == 0) {
    return IDS_AC3_BAIE;
  }
  const bool snroffste = Bits(f, 1);
  if (snroffste) {
    f.csnroffsetTerm = (Bits(f, 6) - 15) * 16;
    if (f.cplinu) {
      f.cplfsnroffst = Bits(f, 4);
      f.cplfgaincod = Bits(f, 3);
    }
    for (int ch = 0; ch < f.nfchans; ++ch) {
      f.fsnroffst[ch] = Bits(f, 4);
      f.fgaincod[ch] = Bits(f, 3);
    }
    if (f.lfeon) {
      f.lfefsnroffst = Bits(f, 4);
      f.lfefgaincod = Bits(f, 3);
    }
  } else if (f.block == 0) {
    return IDS_AC3_SNROFFSTE;
  }
  if (f.cplinu) {
    if (Bits(f, 1)) {
      f.cplfleak = Bits(f, 3);
      f.cplsleak = Bits(f, 3);
      f.leakReceived = 1;
      f.pendingCoupling = 1;
    } else if (!f.leakReceived) {
      return IDS_AC3_CPLLEAKE;
    }
  }
  *sent = baie || snroffste;
  return 0;
}

void ReadDeltaSegments(const Ac3FrameState& f, Ac3DeltaBitAllocation& d) {
  d.deltnseg = Bits(f, 3);
  for (int seg = 0; seg <= d.deltnseg; ++seg) {
    d.deltoffst[seg] = Bits(f, 5);
    d.deltlen[seg] = Bits(f, 4);
    d.deltba[seg] = Bits(f, 3);
  }
}

unsigned ReadDeltaBitAllocation(Ac3FrameState& f, bool* sent) {
  *sent = Bits(f, 1);  // deltbaie
  if (!*sent) {
    if (f.block == 0) {
      f.cplDelta.deltbae = 2;
      for (int ch = 0; ch < f.nfchans; ++ch) f.delta[ch].deltbae = 2;
    }
    return 0;
  }
  if (f.cplinu) {
    f.cplDelta.deltbae = Bits(f, 2);
    if (f.cplDelta.deltbae == 0 && !f.cplDeltaReceived) return IDS_AC3_CPLDELTBAE_REUSE;
    if (f.cplDelta.deltbae == 3) return IDS_AC3_CPLDELTBAE;
    if (f.cplDelta.deltbae == 1) f.cplDeltaReceived = 1;
  }
  for (int ch = 0; ch < f.nfchans; ++ch) {
    Ac3DeltaBitAllocation& d = f.delta[ch];
    d.deltbae = Bits(f, 2);
    if (d.deltbae == 3 || (d.deltbae == 0 && !f.deltaReceived[ch])) return IDS_AC3_CPLDELTBAE;
    if (d.deltbae == 1) f.deltaReceived[ch] = 1;
  }
  if (f.cplinu && f.cplDelta.deltbae == 1) ReadDeltaSegments(f, f.cplDelta);
  for (int ch = 0; ch < f.nfchans; ++ch) {
    if (f.delta[ch].deltbae == 1) ReadDeltaSegments(f, f.delta[ch]);
  }
  return 0;
}

}  // namespace

void Ac3ReadBsi(Ac3FrameState& f) {
  Bits(f, 5);  // bsid
  Bits(f, 3);  // bsmod
  f.acmod = Bits(f, 3);
  if ((f.acmod & 1) && f.acmod != 1) Bits(f, 2);  // cmixlev
  if (f.acmod & 4) Bits(f, 2);                    // surmixlev
  if (f.acmod == 2) Bits(f, 2);                   // dsurmod
  f.lfeon = Bits(f, 1);
  SkipProgramInfo(f);
  if (f.acmod == 0) SkipProgramInfo(f);
  Bits(f, 2);  // copyrightb, origbs
  if (Bits(f, 1)) Bits(f, 14);  // timecod1
  if (Bits(f, 1)) Bits(f, 14);  // timecod2
  if (Bits(f, 1)) SkipBytes(f, Bits(f, 6) + 1);  // additional bit stream information
  f.nfchans = FULL_BANDWIDTH_CHANNELS[f.acmod];
}

unsigned Ac3ReadBlockSideInfo(Ac3FrameState& f, bool* newAllocation) {
  Ac3DecoderState& s = Ac3DecoderOf(f);
  for (int ch = 0; ch < f.nfchans; ++ch) f.blksw[ch] = Bits(f, 1);
  for (int ch = 0; ch < f.nfchans; ++ch) {
    s.dithflagBitOffset[f.block][ch] = static_cast<int32_t>(Ac3BitPosition(s));
    f.dithflag[ch] = Bits(f, 1);
  }
  if (Bits(f, 1)) f.dynamicRangeGain = Ac3DynamicRangeGain[Bits(f, 8)];
  if (f.acmod == 0 && Bits(f, 1)) f.dynamicRangeGain2 = Ac3DynamicRangeGain[Bits(f, 8)];

  bool cplstre = false;
  if (unsigned error = ReadCouplingStrategy(f, &cplstre)) return error;
  if (f.cplinu) {
    if (unsigned error = ReadCouplingCoordinates(f)) return error;
  }
  if (f.acmod == 2) {
    if (unsigned error = ReadRematrixing(f)) return error;
  }
  if (unsigned error = ReadExponentStrategies(f)) return error;
  ReadExponents(f);
  bool parametersSent = false;
  if (unsigned error = ReadAllocationParameters(f, &parametersSent)) return error;
  bool deltaSent = false;
  if (unsigned error = ReadDeltaBitAllocation(f, &deltaSent)) return error;
  // A coupling strategy may change cplinu, the coupling range and with them
  // every allocation.
  if (parametersSent || deltaSent || cplstre) f.pendingAll = 1;
  if (f.cplinu && f.cplexpstr) f.pendingCoupling = 1;
  if (f.lfeon && f.lfeexpstr) f.pendingLfe = 1;
  for (int ch = 0; ch < f.nfchans; ++ch)
    if (f.chexpstr[ch]) f.pendingChannel[ch] = 1;
  if (Bits(f, 1)) SkipBytes(f, Bits(f, 9));  // skip field

  bool exponentsSent = (f.cplinu && f.cplexpstr) || (f.lfeon && f.lfeexpstr);
  for (int ch = 0; ch < f.nfchans; ++ch) exponentsSent = exponentsSent || f.chexpstr[ch];
  *newAllocation = parametersSent || deltaSent || exponentsSent;
  return 0;
}
