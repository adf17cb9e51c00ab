// Exponents, bit allocation, mantissas, coupling, rematrixing and downmix,
// each on hand-made inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ac3/ac3_bit_reader.h"
#include "ac3/ac3_decoder.h"
#include "ac3/ac3_stages.h"
#include "ac3/ac3_tables.h"
#include "report/run_flags.h"
#include "platform/recording_ui.h"

namespace {

struct VerboseScope {
  VerboseScope() { VerboseErrors = true; }
  ~VerboseScope() { VerboseErrors = false; }
};

bool MessageContains(const RecordingUi& ui, const std::string& text) {
  for (const auto& box : ui.boxTexts())
    if (box.find(text) != std::string::npos) return true;
  return false;
}

std::unique_ptr<Ac3FrameState> ZeroFrame() {
  auto f = std::make_unique<Ac3FrameState>();
  std::memset(f.get(), 0, sizeof(Ac3FrameState));
  return f;
}

void SetAllocationParameters(int sdcycod, int fdcycod, int sgaincod, int dbpbcod, int floorcod) {
  Ac3Decoder.sdecay = Ac3SlowDecay[sdcycod];
  Ac3Decoder.fdecay = Ac3FastDecay[fdcycod];
  Ac3Decoder.sgain = Ac3SlowGain[sgaincod];
  Ac3Decoder.dbknee = Ac3DbPerBit[dbpbcod];
  Ac3Decoder.floor = Ac3Floor[floorcod];
}

const Ac3DeltaBitAllocation NO_DELTA{2, 0, {}, {}, {}};

}  // namespace

TEST(Ac3Exponents, GroupDeltasAndStrategies) {
  int32_t out[256] = {};
  const int32_t top[1] = {124};  // +2 +2 +2
  ASSERT_TRUE(Ac3DecodeExponents(1, 1, 5, top, out));
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(out[1], 9);
  EXPECT_EQ(out[2], 11);

  const int32_t mixed[2] = {0, 62};  // -2 -2 -2, then 0 0 0 ... 62 = 2*25+2*5+2
  ASSERT_TRUE(Ac3DecodeExponents(2, 2, 10, mixed, out));
  const int32_t expected[12] = {8, 8, 6, 6, 4, 4, 4, 4, 4, 4, 4, 4};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(out[i], expected[i]) << i;

  // D45: 21 groups fill 252 bins, each exponent written four times.
  std::vector<int32_t> groups(21, 62);
  groups[20] = 124 - 2 * 25;  // 0, +2, +2
  std::fill(out, out + 256, -99);
  ASSERT_TRUE(Ac3DecodeExponents(21, 3, 3, groups.data(), out));
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[239], 3);
  EXPECT_EQ(out[243], 3);
  EXPECT_EQ(out[247], 5);
  EXPECT_EQ(out[251], 7);
  EXPECT_EQ(out[252], -99);  // nothing written past 252 values
}

TEST(Ac3Exponents, GroupAbove124IsReported) {
  ScopedRecordingUi ui;
  VerboseScope verbose;
  int32_t out[8] = {};
  const int32_t bad[2] = {62, 125};
  EXPECT_FALSE(Ac3DecodeExponents(2, 1, 0, bad, out));
  EXPECT_TRUE(MessageContains(*ui, "AC3: invalid exponent group"));
}

TEST(Ac3BitAllocation, LowComp) {
  EXPECT_EQ(Ac3LowComp(0, 1000, 1256, 3), 384);
  EXPECT_EQ(Ac3LowComp(0, 1000, 1256, 10), 320);
  EXPECT_EQ(Ac3LowComp(100, 1300, 1256, 3), 36);
  EXPECT_EQ(Ac3LowComp(30, 1300, 1256, 3), 0);
  EXPECT_EQ(Ac3LowComp(100, 1000, 1100, 3), 100);
  EXPECT_EQ(Ac3LowComp(100, 1000, 1256, 20), 0);  // from bin 20 on, always decays
  EXPECT_EQ(Ac3LowComp(300, 1000, 1256, 25), 172);
}

TEST(Ac3BitAllocation, LfeStopsAtBandSix) {
  // Rising psd (+256 a bin) sets lowcomp to 384. In an LFE allocation
  // (end 7) band 6 keeps it: excite[6] = 2944 - 384 = 2560, the mask
  // becomes 2544 after the floor step and bin 6 (psd 3072) gets address 16,
  // bap 6. Comparing band 6 with a band 7 would have decayed lowcomp.
  SetAllocationParameters(0, 0, 0, 0, 0);
  int32_t exps[256];
  for (int i = 0; i < 256; ++i) exps[i] = i < 7 ? 12 - 2 * i : 24;
  int32_t bap[256] = {};
  Ac3BitAllocation(0, 7, Ac3FastGain[0], 0, 0, 0, NO_DELTA, exps, bap);
  EXPECT_EQ(bap[6], 6);
  // Nothing past bin 6 is read: other values there change nothing.
  int32_t again[256] = {};
  for (int i = 7; i < 256; ++i) exps[i] = -300;
  Ac3BitAllocation(0, 7, Ac3FastGain[0], 0, 0, 0, NO_DELTA, exps, again);
  EXPECT_EQ(0, std::memcmp(bap, again, sizeof bap));
}

TEST(Ac3BitAllocation, DeltaSegmentsMoveWholeBandsBy128) {
  SetAllocationParameters(2, 1, 1, 2, 4);
  int32_t exps[256];
  for (int i = 0; i < 256; ++i) exps[i] = 6 + (i * 7) % 5;
  int32_t plain[256] = {}, raised[256] = {}, lowered[256] = {};
  Ac3BitAllocation(0, 253, Ac3FastGain[3], -40, 0, 0, NO_DELTA, exps, plain);
  // Bands 30..33 (bins 34..45): deltba 4 raises the mask, deltba 3 lowers it.
  Ac3DeltaBitAllocation up{1, 0, {30}, {4}, {4}};
  Ac3DeltaBitAllocation down{1, 0, {30}, {4}, {3}};
  Ac3BitAllocation(0, 253, Ac3FastGain[3], -40, 0, 0, up, exps, raised);
  Ac3BitAllocation(0, 253, Ac3FastGain[3], -40, 0, 0, down, exps, lowered);
  bool changed = false;
  for (int bin = 0; bin < 253; ++bin) {
    if (bin >= 34 && bin < 46) {
      EXPECT_LE(raised[bin], plain[bin]) << bin;
      EXPECT_GE(lowered[bin], plain[bin]) << bin;
      changed = changed || raised[bin] != plain[bin] || lowered[bin] != plain[bin];
    } else {
      EXPECT_EQ(raised[bin], plain[bin]) << bin;
      EXPECT_EQ(lowered[bin], plain[bin]) << bin;
    }
  }
  EXPECT_TRUE(changed);

  // Reuse (code 0) applies the segments too; code 2 applies none.
  int32_t reused[256] = {};
  up.deltbae = 0;
  Ac3BitAllocation(0, 253, Ac3FastGain[3], -40, 0, 0, up, exps, reused);
  EXPECT_EQ(0, std::memcmp(reused, raised, sizeof reused));

  // Segments that run far past band 49 are cut at the last band.
  Ac3DeltaBitAllocation wild{1, 7, {31, 31, 31, 31, 31, 31, 31, 31}, {15, 15, 15, 15, 15, 15, 15, 15},
                             {7, 7, 7, 7, 7, 7, 7, 7}};
  int32_t cut[256] = {};
  Ac3BitAllocation(0, 253, Ac3FastGain[3], -40, 0, 0, wild, exps, cut);
  for (int bin = 0; bin < Ac3BandStart[31]; ++bin) EXPECT_EQ(cut[bin], plain[bin]);
}

TEST(Ac3BitAllocation, CorruptExponentsStayInTables) {
  SetAllocationParameters(3, 3, 3, 3, 7);
  int32_t exps[256];
  for (int i = 0; i < 256; ++i) exps[i] = (i % 3 == 0) ? -500 : 520;
  int32_t bap[256];
  Ac3BitAllocation(0, 253, Ac3FastGain[7], 4000, 0, 0, NO_DELTA, exps, bap);
  for (int i = 0; i < 253; ++i) {
    ASSERT_GE(bap[i], 0);
    ASSERT_LE(bap[i], 15);
  }
}

TEST(Ac3Mantissas, PlainAndAsymmetricCodes) {
  const uint8_t data[] = {0x80, 0x00, 0x6E, 0x00};  // 0x8000, then 011 0111 0...
  Ac3BitReaderStart(data, sizeof data);
  int32_t v = 0;
  ASSERT_TRUE(Ac3GetMantissa(15, false, &v));  // 16 bits: -1.0
  EXPECT_EQ(v, -0x1000000);
  ASSERT_TRUE(Ac3GetMantissa(3, false, &v));  // code 3: 0
  EXPECT_EQ(v, Ac3Levels7[3]);
  ASSERT_TRUE(Ac3GetMantissa(5, false, &v));  // code 7: 0
  EXPECT_EQ(v, Ac3Levels15[7]);
  ASSERT_TRUE(Ac3GetMantissa(6, false, &v));  // 5 bits 00000
  EXPECT_EQ(v, 0);

  const uint8_t positive[] = {0x7F, 0xFF};
  Ac3BitReaderStart(positive, 2);
  ASSERT_TRUE(Ac3GetMantissa(15, false, &v));
  EXPECT_EQ(v, 0x7FFF << 9);
  // Without dither a zero-bit mantissa is 0 and the register stays.
  Ac3Reset(false);
  ASSERT_TRUE(Ac3GetMantissa(0, false, &v));
  EXPECT_EQ(v, 0);
  EXPECT_EQ(Ac3Decoder.ditherRegister, 0xFFFF);
  ASSERT_TRUE(Ac3GetMantissa(0, true, &v));
  EXPECT_EQ(v, -3462176);
}

TEST(Ac3Mantissas, GroupedCodesShareAcrossReads) {
  // bap 1: code 5 = 0*9 + 1*3 + 2 (5 bits 00101); bap 3 in between (3 bits
  // 110 = code 6); bap 4: code 120 = 10*11 + 10 (7 bits 1111000).
  const uint8_t data[] = {0b00101110, 0b11110000};
  Ac3BitReaderStart(data, 2);
  Ac3Decoder.group3 = Ac3Decoder.group5 = Ac3Decoder.group11 = Ac3GroupState{0, 0};
  int32_t v[6];
  ASSERT_TRUE(Ac3GetMantissa(1, false, &v[0]));
  ASSERT_TRUE(Ac3GetMantissa(3, false, &v[1]));
  ASSERT_TRUE(Ac3GetMantissa(1, false, &v[2]));
  ASSERT_TRUE(Ac3GetMantissa(1, false, &v[3]));
  ASSERT_TRUE(Ac3GetMantissa(4, false, &v[4]));
  ASSERT_TRUE(Ac3GetMantissa(4, false, &v[5]));
  EXPECT_EQ(v[0], Ac3Levels3[0]);
  EXPECT_EQ(v[1], Ac3Levels7[6]);
  EXPECT_EQ(v[2], Ac3Levels3[1]);
  EXPECT_EQ(v[3], Ac3Levels3[2]);
  EXPECT_EQ(v[4], Ac3Levels11[10]);
  EXPECT_EQ(v[5], Ac3Levels11[10]);
  EXPECT_EQ(Ac3BitPosition(), 15u);
}

TEST(Ac3Mantissas, OutOfRangeCodesAreReported) {
  ScopedRecordingUi ui;
  VerboseScope verbose;
  struct Case {
    int bap;
    uint8_t bits;  // left-aligned code
  } cases[] = {{1, 27 << 3}, {2, 125 << 1}, {3, 7 << 5}, {4, 121 << 1}, {5, 15 << 4}};
  for (const Case& c : cases) {
    ui->Clear();
    const uint8_t data[1] = {c.bits};
    Ac3BitReaderStart(data, 1);
    Ac3Decoder.group3 = Ac3Decoder.group5 = Ac3Decoder.group11 = Ac3GroupState{0, 0};
    int32_t v;
    EXPECT_FALSE(Ac3GetMantissa(c.bap, false, &v)) << c.bap;
    EXPECT_TRUE(MessageContains(*ui, "AC3: invalid coefficient group")) << c.bap;
  }
  // The largest legal codes pass.
  Case legal[] = {{1, 26 << 3}, {2, 124 << 1}, {3, 6 << 5}, {4, 120 << 1}, {5, 14 << 4}};
  for (const Case& c : legal) {
    const uint8_t data[1] = {c.bits};
    Ac3BitReaderStart(data, 1);
    Ac3Decoder.group3 = Ac3Decoder.group5 = Ac3Decoder.group11 = Ac3GroupState{0, 0};
    int32_t v;
    EXPECT_TRUE(Ac3GetMantissa(c.bap, false, &v)) << c.bap;
  }
}

TEST(Ac3Coupling, CoordinatesAndPhaseFlags) {
  auto f = ZeroFrame();
  f->acmod = 2;
  f->nfchans = 2;
  f->cplinu = 1;
  f->chincpl[0] = f->chincpl[1] = 1;
  f->cplbegf = 0;
  f->cplendf = 0;
  f->cplstrtmant = 37;
  f->cplendmant = 73;  // three sub-bands
  f->cplbndstrc[1] = 1;  // sub-bands 0 and 1 form band 0, sub-band 2 is band 1
  f->ncplbnd = 2;
  f->phsflginu = 1;
  f->phsflg[1] = 1;
  // Channel 0: band 0 exp 0 mant 15 (31/32), band 1 exp 15 mant 0 (0).
  f->cplcoexp[0][0] = 0, f->cplcomant[0][0] = 15;
  f->cplcoexp[0][1] = 15, f->cplcomant[0][1] = 0;
  // Channel 1: band 0 exp 1 mant 0 with mstrcplco 1 (16/32 >> 4), band 1
  // exp 15 mant 8 (8/16 >> 15, negated by its phase flag).
  f->mstrcplco[1] = 1;
  f->cplcoexp[1][0] = 1, f->cplcomant[1][0] = 0;
  f->cplcoexp[1][1] = 15, f->cplcomant[1][1] = 8;
  for (int bin = 37; bin < 73; ++bin) {
    f->cplMantissas[bin] = 0x200000;  // 1/8
    f->cplBap[bin] = 3;
    f->cplExps[bin] = 0;
  }
  for (int ch = 0; ch < 2; ++ch)
    for (int bin = 0; bin < 256; ++bin) f->coefficients[ch][bin] = 77;

  Ac3Decouple(*f);
  // Channel 0: (1/8 * 31/32) << 3 = 31/32.
  EXPECT_EQ(f->coefficients[0][37], 31 << 19);
  EXPECT_EQ(f->coefficients[0][60], 31 << 19);
  EXPECT_EQ(f->coefficients[0][61], 0);
  // Channel 1: 16 << 19 >> 4 = 2^19, times 1/8, << 3 = 2^19.
  EXPECT_EQ(f->coefficients[1][37], 1 << 19);
  EXPECT_EQ(f->coefficients[1][72], -((8 << 20) >> 18));
  EXPECT_EQ(f->coefficients[0][36], 77);  // below the coupling range: untouched
  EXPECT_EQ(f->coefficients[0][73], 0);   // above it: cleared
  EXPECT_EQ(f->coefficients[1][255], 0);

  // The coupling exponent shifts the rebuilt value.
  f->cplExps[40] = 3;
  Ac3Decouple(*f);
  EXPECT_EQ(f->coefficients[0][40], (31 << 19) >> 3);
}

TEST(Ac3Coupling, DitherFillsZeroBitBinsPerChannel) {
  auto f = ZeroFrame();
  f->acmod = 2;
  f->nfchans = 2;
  f->cplinu = 1;
  f->chincpl[0] = f->chincpl[1] = 1;
  f->dithflag[1] = 1;
  f->cplstrtmant = 37;
  f->cplendmant = 49;
  f->ncplbnd = 1;
  f->cplcoexp[0][0] = f->cplcoexp[1][0] = 0;
  f->cplcomant[0][0] = f->cplcomant[1][0] = 0;  // 0.5
  Ac3Reset(false);
  Ac3Decouple(*f);
  for (int bin = 37; bin < 49; ++bin) EXPECT_EQ(f->coefficients[0][bin], 0);  // no dither
  EXPECT_EQ(f->coefficients[1][37], MulQ24(-3462176, 1 << 23) << 3);
  EXPECT_NE(Ac3Decoder.ditherRegister, 0xFFFF);
}

TEST(Ac3Rematrix, BandLimitsFollowCoupling) {
  auto f = ZeroFrame();
  f->acmod = 2;
  f->nfchans = 2;
  for (int bin = 0; bin < 256; ++bin) {
    f->coefficients[0][bin] = 10;
    f->coefficients[1][bin] = 3;
  }
  f->cplinu = 1;
  f->cplbegf = 1;
  f->cplstrtmant = 49;
  f->nrematbnd = 3;
  f->rematflg[0] = 0;
  f->rematflg[1] = 1;
  f->rematflg[2] = 1;
  Ac3Rematrix(*f);
  for (int bin = 0; bin < 256; ++bin) {
    const bool inside = bin >= 25 && bin <= 48;
    EXPECT_EQ(f->coefficients[0][bin], inside ? 13 : 10) << bin;
    EXPECT_EQ(f->coefficients[1][bin], inside ? 7 : 3) << bin;
  }

  // Without coupling band 3 runs to bin 252; bins 0..12 are never touched.
  auto g = ZeroFrame();
  g->acmod = 2;
  g->nrematbnd = 4;
  for (int r = 0; r < 4; ++r) g->rematflg[r] = 1;
  for (int bin = 0; bin < 256; ++bin) g->coefficients[0][bin] = 1;
  Ac3Rematrix(*g);
  EXPECT_EQ(g->coefficients[1][12], 0);
  EXPECT_EQ(g->coefficients[1][13], 1);
  EXPECT_EQ(g->coefficients[1][252], 1);
  EXPECT_EQ(g->coefficients[1][253], 0);
}

namespace {

struct MixResult {
  Q24 left, right;
};

MixResult MixOneSample(int acmod, int lfeon, std::initializer_list<int32_t> channels, int32_t lfe = 0,
                       int32_t gain = Q24_ONE, int32_t gain2 = Q24_ONE) {
  auto f = ZeroFrame();
  static const int32_t nf[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  f->acmod = acmod;
  f->nfchans = nf[acmod];
  f->lfeon = lfeon;
  f->writeIndex = 256;
  f->dynamicRangeGain = gain;
  f->dynamicRangeGain2 = gain2;
  int ch = 0;
  for (int32_t v : channels) {
    for (int j = 0; j < 256; ++j) f->coefficients[ch][j] = v;
    ++ch;
  }
  for (int j = 0; j < 256; ++j) f->lfeCoefficients[j] = lfe;
  std::vector<Q24> left(AC3_FRAME_SAMPLES, 123), right(AC3_FRAME_SAMPLES, 123);
  Ac3Downmix(*f, left.data(), right.data());
  EXPECT_EQ(left[255], 123);  // only the block's own 256 samples are written
  EXPECT_EQ(left[512], 123);
  EXPECT_EQ(left[511], left[256]);
  return {left[256], right[256]};
}

}  // namespace

TEST(Ac3Downmix, FixedMatrixFigures) {
  Ac3Reset(false);
  const int32_t one = Q24_ONE;
  MixResult r = MixOneSample(7, 0, {one, one, one, one, one});
  EXPECT_EQ(r.left, 1574312);
  EXPECT_EQ(r.right, 16777216);
  r = MixOneSample(3, 0, {one, one, one});
  EXPECT_EQ(r.left, 16777216);
  EXPECT_EQ(r.right, 16777216);
  r = MixOneSample(6, 0, {one, one, one, one});
  EXPECT_EQ(r.left, -2878516);
  EXPECT_EQ(r.right, 16777216);
  r = MixOneSample(1, 0, {12345});
  EXPECT_EQ(r.left, 12345);
  EXPECT_EQ(r.right, 12345);
  r = MixOneSample(2, 0, {-7, 9});
  EXPECT_EQ(r.left, -7);
  EXPECT_EQ(r.right, 9);
  // 2/1 and 3/1: the surround enters left negated, right as it is.
  r = MixOneSample(4, 0, {0, 0, one});
  EXPECT_EQ(r.left, -AC3_K2);
  EXPECT_EQ(r.right, AC3_K2);
  r = MixOneSample(5, 0, {0, one, 0, 0});
  EXPECT_EQ(r.left, AC3_K3);
  EXPECT_EQ(r.right, AC3_K3);
  // LFE at -10 dB on both sides.
  r = MixOneSample(2, 1, {0, 0}, one);
  EXPECT_EQ(r.left, AC3_KLFE);
  EXPECT_EQ(r.right, AC3_KLFE);
}

TEST(Ac3Downmix, DynamicRangeGainOnlyWhenAsked) {
  Ac3Reset(false);
  MixResult r = MixOneSample(2, 0, {1000000, 1000000}, 0, Ac3DynamicRangeGain[0x7F]);
  EXPECT_EQ(r.left, 1000000);  // read but not applied
  Ac3Reset(true);
  r = MixOneSample(2, 0, {Q24_ONE, 1000000}, 0, Ac3DynamicRangeGain[0x7F]);
  EXPECT_EQ(r.left, 264241152);  // 15.75, not clipped
  EXPECT_EQ(r.right, MulQ24(1000000, 264241152));
  // Dual mono: the second channel takes gain 2.
  r = MixOneSample(0, 0, {Q24_ONE, Q24_ONE}, 0, Ac3DynamicRangeGain[0xE0], Ac3DynamicRangeGain[0x20]);
  EXPECT_EQ(r.left, Q24_ONE / 2);
  EXPECT_EQ(r.right, 2 * Q24_ONE);
  r = MixOneSample(7, 0, {12345, 0, 0, 0, 0});
  EXPECT_EQ(r.left, MulQ24(12345, AC3_K4));
  Ac3Reset(false);
}
