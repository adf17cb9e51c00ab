// Shared pieces of the extraction tests: a stand-in frame encoder and AC-3
// decoder, the fixture that prepares buffers, output file and UI port, and
// readers of the output packs.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/recording_ui.h"
#include "tests/support/temp_dir.h"

// Stand-in encoder: frame k (counted from ResetFakeEncoder) is 1152 bytes of
// which bytes 0..3 hold k big-endian, byte 4 the first left sample's low
// byte, and the rest 0xA0 + (k & 0x0F).
struct MpaEncoderState;
void FakeEncodeFrame(MpaEncoderState& encoder, const int32_t* left, const int32_t* right, uint8_t* out);
void ResetFakeEncoder();
extern std::atomic<int> FakeEncodedFrames;
// While set, the stand-in encoder waits before encoding (to keep it busy).
extern std::atomic<bool> FakeEncoderHold;

// Stand-in AC-3 decoder: records each frame it is given and fills the output
// with the frame's length as samples.
struct Ac3DecoderState;
unsigned FakeAc3DecodeFrame(Ac3DecoderState& decoder, const uint8_t* data, uint32_t length, int32_t* left, int32_t* right);
struct FakeAc3Frame {
  uint32_t length;
  std::vector<uint8_t> bytes;
};
extern std::vector<FakeAc3Frame> FakeAc3Frames;

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string OutputPath() const;
  std::vector<uint8_t> OutputBytes() const;

  ScopedRecordingUi ui_;
  TempDir dir_;
};

using Pack = std::vector<uint8_t>;
std::vector<Pack> SplitPacks(const std::vector<uint8_t>& bytes);
uint32_t PackScr(const Pack& pack);       // bytes 4..8, bit 32 dropped
uint8_t PackStreamId(const Pack& pack);   // byte 17
bool PackHasPts(const Pack& pack);        // byte 21 bit 7
uint32_t PackPts(const Pack& pack);       // bytes 23..27
bool PackHasDts(const Pack& pack);        // byte 21 bit 6
uint32_t PackDts(const Pack& pack);       // bytes 28..32
uint32_t PesLength(const Pack& pack);     // bytes 18..19
// Elementary stream bytes of an audio or video pack (after its PES header,
// up to the end of its PES packet).
std::vector<uint8_t> PackPayload(const Pack& pack);
// The concatenated payloads of every pack of a stream.
std::vector<uint8_t> StreamPayload(const std::vector<Pack>& packs, uint8_t streamId);
// Every pack's SCR at least one pack's time (147) after the one before, and
// no PTS more than one second ahead of its pack's SCR.
void ExpectScrsFollowTheStreams(const std::vector<Pack>& packs);
