// The frame encoder: allocation, quantisation, bit stream, whole frames.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "common/vector_paths.h"
#include "report/string_table.h"
#include "mpa/analysis_tables.h"
#include "mpa/bit_allocation.h"
#include "mpa/bit_writer.h"
#include "mpa/encoder_state.h"
#include "mpa/frame_writer.h"
#include "mpa/layer2_encoder.h"
#include "mpa/quantise.h"
#include "platform/recording_ui.h"
#include "tests/mpa/frame_parser.h"
#include "tests/mpa/test_signals.h"

namespace {

// A frame whose every entry is closed to the allocation (MNR 0x7FFFFFFF).
Layer2Frame QuietFrame() {
  Layer2Frame f{};
  for (int ch = 0; ch < 2; ch++) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      f.SMR[ch][sb] = INT32_MIN;
      f.scfsi[ch][sb] = 2;
      for (int p = 0; p < 3; p++) f.scf[ch][p][sb] = 62;
    }
  }
  return f;
}

void ExpectWellFormed(const std::vector<uint8_t>& stream) {
  ASSERT_EQ(stream.size() % MPA_FRAME_BYTES, 0u);
  for (size_t at = 0; at < stream.size(); at += MPA_FRAME_BYTES) {
    ParsedFrame p;
    ASSERT_TRUE(ParseFrame(&stream[at], p)) << "frame " << at / MPA_FRAME_BYTES;
    EXPECT_TRUE(p.codesInRange);
    EXPECT_LE(p.bitsUsed, 9216);
    for (size_t i = (p.bitsUsed + 7) / 8; i < MPA_FRAME_BYTES; i++) ASSERT_EQ(stream[at + i], 0) << i;
  }
}

}  // namespace

TEST(BitAllocation, TiesGoLeftFirstThenLowerSubband) {
  // Room for exactly one first step (60 + 6 + 2 = 68 bits, refused at 68).
  Layer2Frame f = QuietFrame();
  f.SMR[1][3] = f.SMR[0][20] = 10 << 24;
  EXPECT_EQ(AllocateBits(f, 69), 1);
  EXPECT_EQ(f.alloc[0][20], 1);
  EXPECT_EQ(f.alloc[1][3], 0);

  f = QuietFrame();
  f.SMR[0][20] = f.SMR[0][3] = 10 << 24;
  AllocateBits(f, 69);
  EXPECT_EQ(f.alloc[0][3], 1);
  EXPECT_EQ(f.alloc[0][20], 0);
}

TEST(BitAllocation, AStepCostingAllBitsLeftIsRefusedButCheaperOnesGoOn) {
  Layer2Frame f = QuietFrame();
  f.SMR[0][0] = 20 << 24;  // served first: 60 + 3 x 6 + 2 = 80 bits
  f.scfsi[0][0] = 0;
  f.SMR[1][5] = 10 << 24;  // 68 bits
  EXPECT_EQ(AllocateBits(f, 80), 12);
  EXPECT_EQ(f.alloc[0][0], 0);
  EXPECT_EQ(f.alloc[1][5], 1);
}

TEST(BitAllocation, KeepsHandingOutStepsAfterTheRatiosTurnPositive) {
  Layer2Frame f = QuietFrame();
  f.SMR[0][26] = -(40 << 24);  // needs nothing, still gets everything
  EXPECT_EQ(AllocateBits(f, FRAME_BITS_AVAILABLE), FRAME_BITS_AVAILABLE - 576 - 8);
  EXPECT_EQ(f.alloc[0][26], 3);
}

// The greedy allocation written out: each time the first entry with the
// smallest MNR below 0x7FFFFFFF gets its next step, or is closed when the
// step does not fit.
static int GreedyAllocation(Layer2Frame& f, int bitsLeft) {
  int32_t mnr[2][SBLIMIT];
  for (int ch = 0; ch < 2; ch++) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      f.alloc[ch][sb] = 0;
      mnr[ch][sb] = SatSub(0, f.SMR[ch][sb]);
    }
  }
  for (;;) {
    int32_t smallest = INT32_MAX;
    int ch = -1, sb = -1;
    for (int c = 0; c < 2; c++) {
      for (int s = 0; s < SBLIMIT; s++) {
        if (mnr[c][s] < smallest) smallest = mnr[c][s], ch = c, sb = s;
      }
    }
    if (ch < 0) return bitsLeft;
    int a = f.alloc[ch][sb];
    int c = AllocClass[sb][a + 1];
    int cost = a == 0 ? ClassBits[c] + 6 * ScfCount[f.scfsi[ch][sb]] + 2 : ClassBits[c] - ClassBits[AllocClass[sb][a]];
    if (cost >= bitsLeft) {
      mnr[ch][sb] = INT32_MAX;
      continue;
    }
    bitsLeft -= cost;
    f.alloc[ch][sb] = static_cast<uint8_t>(a + 1);
    mnr[ch][sb] = a + 1 < MaxAlloc[sb] ? SatSub(SnrTable[c], f.SMR[ch][sb]) : INT32_MAX;
  }
}

TEST(BitAllocation, EveryPathHandsOutTheGreedySteps) {
  const VectorPath best = BestVectorPath();
  std::mt19937 random(5);
  for (int bits : {300, 2000, FRAME_BITS_AVAILABLE}) {
    Layer2Frame f = QuietFrame();
    for (int ch = 0; ch < 2; ch++) {
      for (int sb = 0; sb < SBLIMIT; sb++) {
        // Few distinct ratios, so that ties occur; a few extremes.
        f.SMR[ch][sb] = random() % 9 == 0 ? static_cast<int32_t>(random()) : static_cast<int32_t>(random() % 12) << 23;
        f.scfsi[ch][sb] = static_cast<uint8_t>(random() % 4);
      }
    }
    Layer2Frame expected = f;
    int expectedLeft = GreedyAllocation(expected, bits);
    for (VectorPath path : {VectorPath::Plain, VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      EXPECT_EQ(AllocateBits(f, bits), expectedLeft) << int(path);
      EXPECT_EQ(std::memcmp(f.alloc, expected.alloc, sizeof f.alloc), 0) << bits << " bits, path " << int(path);
    }
  }
  VectorPathInUse = best;
}

TEST(Quantise, CodesSpanTheLevelsOfEachClass) {
  for (int c = 0; c < QUANT_CLASSES; c++) {
    int32_t levels = ClassLevels[c];
    for (int index : {0, 3, 30, 62}) {
      int32_t sf = ScfTable[index];
      EXPECT_EQ(QuantiseSample(0, sf, QuantA[c], QuantShift[c]), (levels - 1) / 2) << c;
      int32_t top = QuantiseSample(sf - 1, sf, QuantA[c], QuantShift[c]);
      int32_t bottom = QuantiseSample(-(sf - 1), sf, QuantA[c], QuantShift[c]);
      EXPECT_LE(top, levels - 1);
      EXPECT_GE(bottom, 0);
      if (index <= 3) {  // fine enough for the extremes to reach the end codes
        EXPECT_EQ(top, levels - 1) << c << " " << index;
        EXPECT_EQ(bottom, 0) << c << " " << index;
      }
    }
  }
}

TEST(FrameWriter, UnallocatedSubbandsAddNothingAfterTheAllocation) {
  Layer2Frame f = QuietFrame();
  f.alloc[1][7] = 5;  // class 4, 15 levels: 36 x 4 bits
  f.scfsi[1][7] = 1;
  f.scf[1][0][7] = f.scf[1][1][7] = 10;
  f.scf[1][2][7] = 30;
  for (int t = 0; t < 36; t++) f.SubbandSamples[1][t][7] = t % 15;
  uint8_t out[MPA_FRAME_BYTES + 8];
  std::memset(out, 0xAA, sizeof out);
  ASSERT_TRUE(WriteFrame(f, out));
  ParsedFrame p;
  ASSERT_TRUE(ParseFrame(out, p));
  EXPECT_EQ(p.bitsUsed, 32 + 176 + 2 + 12 + 144);
  EXPECT_EQ(p.scfsi[1][7], 1);
  EXPECT_EQ(p.scf[1][1][7], 10);  // the second part is scaled with index 10
  EXPECT_EQ(p.scf[1][2][7], 30);
  for (int t = 0; t < 36; t++) EXPECT_EQ(p.codes[1][t][7], uint32_t(t % 15));
  EXPECT_EQ(out[MPA_FRAME_BYTES], 0xAA);
}

TEST(FrameWriter, GroupedClassesWriteOneWordPerThreeSamplesEarliestLowest) {
  Layer2Frame f = QuietFrame();
  f.alloc[0][23] = 1;  // 3 levels, 5-bit words
  f.SubbandSamples[0][0][23] = 2;
  f.SubbandSamples[0][1][23] = 0;
  f.SubbandSamples[0][2][23] = 1;
  uint8_t out[MPA_FRAME_BYTES];
  ASSERT_TRUE(WriteFrame(f, out));
  // Header, 176 allocation bits, 2 select bits, one index, then the word.
  int at = 32 + 176 + 2 + 6;
  uint32_t word = 0;
  for (int i = 0; i < 5; i++, at++) word = word << 1 | ((out[at >> 3] >> (7 - (at & 7))) & 1);
  EXPECT_EQ(word, 2u + 3u * (0u + 3u * 1u));
  ParsedFrame p;
  ASSERT_TRUE(ParseFrame(out, p));
  EXPECT_EQ(p.bitsUsed, 32 + 176 + 2 + 6 + 12 * 5);
}

TEST(BitWriter, NeverStoresPastTheFrame) {
  uint8_t buffer[MPA_FRAME_BYTES + 16];
  std::memset(buffer, 0x5C, sizeof buffer);
  BitWriterStart(buffer, buffer + MPA_FRAME_BYTES);
  PutBits(0x3, 2);
  PutBits(0x1FFFF, 16);  // higher bits dropped
  for (int i = 0; i < 700; i++) PutBits(0xA5A5, 16);
  BitWriterFlush();
  EXPECT_TRUE(BitWriter.overflow);
  EXPECT_EQ(BitWriter.BitPtr, buffer + MPA_FRAME_BYTES);
  EXPECT_EQ(buffer[0], 0xFF);
  EXPECT_EQ(buffer[1], 0xFF);
  EXPECT_EQ(buffer[2], 0xE9);  // 11 111111 11111111 11 then 1010...
  for (int i = MPA_FRAME_BYTES; i < MPA_FRAME_BYTES + 16; i++) EXPECT_EQ(buffer[i], 0x5C);
}

TEST(FrameWriter, AnOversizedFrameIsReportedAndStaysInItsBuffer) {
  Layer2Frame f = QuietFrame();
  for (int ch = 0; ch < 2; ch++) {
    for (int sb = 0; sb < SBLIMIT; sb++) f.alloc[ch][sb] = static_cast<uint8_t>(MaxAlloc[sb]);
  }
  uint8_t out[MPA_FRAME_BYTES + 16];
  std::memset(out, 0x5C, sizeof out);
  ScopedRecordingUi ui;
  EXPECT_FALSE(WriteFrame(f, out));
  ASSERT_EQ(ui->boxTexts().size(), 1u);
  EXPECT_EQ(ui->boxTexts()[0], "MPEG: buffer overflow");
  for (int i = MPA_FRAME_BYTES; i < MPA_FRAME_BYTES + 16; i++) EXPECT_EQ(out[i], 0x5C);
}

TEST(EncodeFrame, SilenceGetsIndex62EverywhereAndIsStillAllocated) {
  std::vector<uint8_t> stream = EncodeSignal(MakeSilence(2 * MPA_FRAME_SAMPLES));
  ExpectWellFormed(stream);
  ParsedFrame p;
  ASSERT_TRUE(ParseFrame(&stream[MPA_FRAME_BYTES], p));
  int allocated = 0;
  for (int ch = 0; ch < 2; ch++) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      if (!p.alloc[ch][sb]) continue;
      allocated++;
      EXPECT_EQ(p.scfsi[ch][sb], 2);
      for (int part = 0; part < 3; part++) EXPECT_EQ(p.scf[ch][part][sb], 62);
    }
  }
  // Steps go on while any fits: the budget is spent even on silence, the
  // low subbands (least masked by the threshold in quiet) first.
  EXPECT_GT(allocated, SBLIMIT);
  EXPECT_TRUE(p.alloc[0][0] && p.alloc[1][0]);
  EXPECT_GT(p.bitsUsed, 9216 - 60);
}

TEST(EncodeFrame, VariedSignalsGiveWellFormedFrames) {
  const size_t n = 3 * MPA_FRAME_SAMPLES;
  for (const StereoSignal& s : {MakeSine(n, 1000, 0.5), MakeWhiteNoise(n, 1.0, 5), MakeSquare(n, 220, 1.0),
                                MakeClicks(n, 1500, 1.0), MakeChirp(n, 20, 20000, 0.9)}) {
    ExpectWellFormed(EncodeSignal(s));
  }
}

TEST(EncodeFrame, InputBeyondFullScaleIsClippedToIt) {
  const size_t n = 3 * MPA_FRAME_SAMPLES;
  StereoSignal hot = MakeSquare(n, 440, 1.0);
  StereoSignal extreme = hot;
  for (size_t i = 0; i < n; i++) {
    extreme.left[i] = hot.left[i] > 0 ? INT32_MAX : INT32_MIN;
    extreme.right[i] = hot.right[i] > 0 ? 3 * Q24_ONE : -5 * Q24_ONE;
  }
  std::vector<uint8_t> expected = EncodeSignal(hot);
  std::vector<uint8_t> clipped = EncodeSignal(extreme);
  ExpectWellFormed(clipped);
  EXPECT_EQ(clipped, expected);
}

TEST(EncodeFrame, HistoriesCarryOverBetweenFrames) {
  StereoSignal s = MakeWhiteNoise(2 * MPA_FRAME_SAMPLES, 0.3, 9);
  std::vector<uint8_t> both = EncodeSignal(s);
  StereoSignal second;
  second.left.assign(s.left.begin() + MPA_FRAME_SAMPLES, s.left.end());
  second.right.assign(s.right.begin() + MPA_FRAME_SAMPLES, s.right.end());
  std::vector<uint8_t> alone = EncodeSignal(second);
  EXPECT_NE(std::vector<uint8_t>(both.begin() + MPA_FRAME_BYTES, both.end()), alone);
}

// The exact bytes of fixed inputs: any change to the arithmetic shows here.
TEST(EncodeFrame, OutputBytesArePinned) {
  const size_t n = 4 * MPA_FRAME_SAMPLES;
  EXPECT_EQ(Fnv1a(EncodeSignal(MakeSine(n, 1000, 0.5))), 12167299931531617857ull);
  EXPECT_EQ(Fnv1a(EncodeSignal(MakePinkNoise(n, 0.5, 11))), 7817587648981595588ull);
  EXPECT_EQ(Fnv1a(EncodeSignal(MakeChirp(n, 100, 16000, 0.8))), 5033548107760851367ull);
  EXPECT_EQ(Fnv1a(EncodeSignal(MakeClicks(n, 700, 0.9))), 7487345676246834135ull);
}

// Each vector path the processor runs, chosen explicitly, gives the plain
// path's bytes on the same inputs (the pinned bytes above hold for the path
// the processor picks).
TEST(EncodeFrame, EveryVectorPathGivesThePlainPathsBytes) {
  const VectorPath best = BestVectorPath();
  if (best == VectorPath::Plain) GTEST_SKIP() << "this processor runs no vector path";
  const size_t n = 4 * MPA_FRAME_SAMPLES;
  const StereoSignal signals[] = {MakePinkNoise(n, 0.5, 11), MakeChirp(n, 100, 16000, 0.8), MakeClicks(n, 700, 0.9)};
  for (const StereoSignal& signal : signals) {
    VectorPathInUse = VectorPath::Plain;
    const std::vector<uint8_t> plain = EncodeSignal(signal);
    for (VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      EXPECT_EQ(EncodeSignal(signal), plain) << static_cast<int>(path);
    }
  }
  VectorPathInUse = best;
}


// Each encoded stream has a context of its own (histories and bit writer):
// two signals encoded frame by frame in turn, with the first context
// encoding a third in between, give each the frames it gives alone.
TEST(Layer2Encoder, ContextsEncodedInTurnGiveWhatEachGivesAlone) {
  const StereoSignal signals[2] = {MakeChirp(20 * MPA_FRAME_SAMPLES, 100, 15000, 0.5),
                                   MakePinkNoise(20 * MPA_FRAME_SAMPLES, 0.3, 7)};
  const StereoSignal third = MakeSquare(20 * MPA_FRAME_SAMPLES, 440, 0.9);
  const std::vector<uint8_t> alone[2] = {EncodeSignal(signals[0]), EncodeSignal(signals[1])};
  auto contexts = std::make_unique<MpaEncoderState[]>(2);
  for (int k = 0; k < 2; ++k) MpaEncoderReset(contexts[k]);
  ResetEncoderHistory();
  std::vector<uint8_t> inTurn[2] = {std::vector<uint8_t>(alone[0].size()), std::vector<uint8_t>(alone[1].size())};
  uint8_t thirdFrame[MPA_FRAME_BYTES];
  for (size_t f = 0; f < 20; ++f) {
    const size_t at = f * MPA_FRAME_SAMPLES;
    for (int k = 0; k < 2; ++k)
      EncodeFrame(contexts[k], &signals[k].left[at], &signals[k].right[at], &inTurn[k][f * MPA_FRAME_BYTES]);
    EncodeFrame(&third.left[at], &third.right[at], thirdFrame);
  }
  EXPECT_EQ(inTurn[0], alone[0]);
  EXPECT_EQ(inTurn[1], alone[1]);
}
