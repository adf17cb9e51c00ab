#include "tests/extract/extract_test_support.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/encoder_thread.h"
#include "extract/output_multiplexer.h"
#include "extract/output_writer.h"
#include "extract/packet_intake.h"
#include "platform/output_file.h"
#include "platform/work_buffers.h"

std::atomic<int> FakeEncodedFrames{0};
std::atomic<bool> FakeEncoderHold{false};
std::vector<FakeAc3Frame> FakeAc3Frames;

void FakeEncodeFrame(MpaEncoderState&, const int32_t* left, const int32_t*, uint8_t* out) {
  while (FakeEncoderHold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const int k = FakeEncodedFrames++;
  std::memset(out, 0xA0 + (k & 0x0F), 1152);
  out[0] = static_cast<uint8_t>(k >> 24);
  out[1] = static_cast<uint8_t>(k >> 16);
  out[2] = static_cast<uint8_t>(k >> 8);
  out[3] = static_cast<uint8_t>(k);
  out[4] = static_cast<uint8_t>(left[0]);
}

void ResetFakeEncoder() {
  FakeEncodedFrames = 0;
  FakeEncoderHold = false;
}

unsigned FakeAc3DecodeFrame(Ac3DecoderState&, const uint8_t* data, uint32_t length, int32_t* left, int32_t* right) {
  FakeAc3Frames.push_back({length, std::vector<uint8_t>(data, data + length)});
  for (int i = 0; i < 1536; ++i) left[i] = right[i] = static_cast<int32_t>(length);
  return 6;
}

void ExtractTest::SetUp() {
  ASSERT_TRUE(AllocateWorkBuffers());
  AbortFlag = false;
  VerboseErrors = false;
  OutputFileFaultsClear();
  ResetFakeEncoder();
  FakeAc3Frames.clear();
  FrameEncoder = FakeEncodeFrame;
  Ac3FrameDecoder = FakeAc3DecodeFrame;
  // One re-encoded track, as the tests that feed the intake directly use.
  TitleSelection.moreTrackCount = 0;
  AudioTrackCount = 1;
  AudioTracks[0].buffers = &WorkBuffers.audio[0];
  Mux.layer2Count = 1;
  std::string path = OutputPath();
  std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "%s", path.c_str());
}

void ExtractTest::TearDown() {
  // A test that ended early leaves no thread behind for the next one.
  FakeEncoderHold = false;
  EncoderStop();
  if (Writer.thread.joinable()) OutputClose();
  OutputFileFaultsClear();
  AbortFlag = false;
  VerboseErrors = false;
}

std::string ExtractTest::OutputPath() const { return (dir_ / "out.mpg").string(); }

std::vector<uint8_t> ExtractTest::OutputBytes() const {
  std::string bytes = ReadFileBytes(OutputPath());
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<Pack> SplitPacks(const std::vector<uint8_t>& bytes) {
  std::vector<Pack> packs;
  for (size_t at = 0; at + 2048 <= bytes.size(); at += 2048) {
    packs.emplace_back(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + 2048));
  }
  return packs;
}

uint32_t PackScr(const Pack& p) {
  return ((uint32_t{p[4]} & 0x18) << 27) | ((uint32_t{p[4]} & 0x03) << 28) | (uint32_t{p[5]} << 20) |
         ((uint32_t{p[6]} & 0xF8) << 12) | ((uint32_t{p[6]} & 0x03) << 13) | (uint32_t{p[7]} << 5) |
         (uint32_t{p[8]} >> 3);
}

uint8_t PackStreamId(const Pack& pack) { return pack[17]; }
bool PackHasPts(const Pack& pack) { return (pack[21] & 0x80) != 0; }

uint32_t PackPts(const Pack& p) {
  return ((uint32_t{p[23]} & 0x06) << 29) | (uint32_t{p[24]} << 22) | ((uint32_t{p[25]} & 0xFE) << 14) |
         (uint32_t{p[26]} << 7) | (uint32_t{p[27]} >> 1);
}

bool PackHasDts(const Pack& pack) { return (pack[21] & 0x40) != 0; }

uint32_t PackDts(const Pack& p) {
  return ((uint32_t{p[28]} & 0x06) << 29) | (uint32_t{p[29]} << 22) | ((uint32_t{p[30]} & 0xFE) << 14) |
         (uint32_t{p[31]} << 7) | (uint32_t{p[32]} >> 1);
}

uint32_t PesLength(const Pack& pack) { return (uint32_t{pack[18]} << 8) | pack[19]; }

std::vector<uint8_t> PackPayload(const Pack& pack) {
  const uint32_t end = 20 + PesLength(pack);
  return std::vector<uint8_t>(pack.begin() + 23 + pack[22], pack.begin() + end);  // after the PES header
}

std::vector<uint8_t> StreamPayload(const std::vector<Pack>& packs, uint8_t streamId) {
  std::vector<uint8_t> bytes;
  for (const Pack& pack : packs) {
    if (PackStreamId(pack) != streamId) continue;
    std::vector<uint8_t> payload = PackPayload(pack);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
  }
  return bytes;
}

void ExpectScrsFollowTheStreams(const std::vector<Pack>& packs) {
  int faults = 0;
  for (size_t i = 1; i < packs.size() && faults < 5; ++i) {
    const uint32_t scr = PackScr(packs[i]);
    if (scr < PackScr(packs[i - 1]) + 147) {
      ADD_FAILURE() << "pack " << i << ": SCR " << scr << " after " << PackScr(packs[i - 1]);
      ++faults;
    }
    if (PackHasPts(packs[i]) && PackPts(packs[i]) > scr + 90000) {
      ADD_FAILURE() << "pack " << i << ": PTS " << PackPts(packs[i]) << " more than 1 s ahead of SCR " << scr;
      ++faults;
    }
  }
}
