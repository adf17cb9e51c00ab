// The WAV reader and the mp2enc tool.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mpa/layer2_encoder.h"
#include "tests/mpa/test_signals.h"
#include "tests/support/temp_dir.h"
#include "tools/mp2enc/wav_reader.h"

namespace {

void Put16(std::string& s, uint16_t v) { s.append({char(v & 0xFF), char(v >> 8)}); }
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v));
  Put16(s, static_cast<uint16_t>(v >> 16));
}

struct WavSpec {
  uint16_t format = WAV_FORMAT_PCM;
  uint16_t channels = 2;
  uint32_t rate = 48000;
  uint16_t bits = 16;
  std::string extraChunk;  // placed before fmt
  std::string data;
  int64_t dataSizeField = -1;  // -1: the real size
};

std::string MakeWav(const WavSpec& w) {
  std::string fmt;
  Put16(fmt, w.format);
  Put16(fmt, w.channels);
  Put32(fmt, w.rate);
  Put32(fmt, w.rate * w.channels * w.bits / 8);
  Put16(fmt, static_cast<uint16_t>(w.channels * w.bits / 8));
  Put16(fmt, w.bits);
  std::string body = "WAVE" + w.extraChunk + "fmt ";
  Put32(body, static_cast<uint32_t>(fmt.size()));
  body += fmt + "data";
  Put32(body, w.dataSizeField < 0 ? static_cast<uint32_t>(w.data.size()) : static_cast<uint32_t>(w.dataSizeField));
  body += w.data;
  std::string file = "RIFF";
  Put32(file, static_cast<uint32_t>(body.size()));
  return file + body;
}

bool ReadHeader(const std::string& bytes, WavInfo& info, std::string& error) {
  std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  bool ok = ReadWavHeader(f, info, error);
  std::fclose(f);
  return ok;
}

int RunTool(const std::string& args) {
  std::string command = std::string(VOLTARK_BINARY_DIR) + "/bin/mp2enc " + args + " >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(WavReader, AcceptsPcmAndFloatAndSkipsOtherChunks) {
  WavSpec pcm;
  pcm.extraChunk = std::string("LIST") + std::string("\x03\0\0\0abc\0", 8);  // odd size, padded
  pcm.data = std::string("\x01\x00\xFF\xFF\x00\x80\xFF\x7F", 8);
  WavInfo info;
  std::string error;
  ASSERT_TRUE(ReadHeader(MakeWav(pcm), info, error)) << error;
  EXPECT_EQ(info.dataSize, 8u);
  Q24 l[2], r[2];
  WavToQ24(info, reinterpret_cast<const uint8_t*>(pcm.data.data()), 2, l, r);
  EXPECT_EQ(l[0], 512);
  EXPECT_EQ(r[0], -512);
  EXPECT_EQ(l[1], -Q24_ONE);
  EXPECT_EQ(r[1], 32767 * 512);

  WavSpec fl;
  fl.format = WAV_FORMAT_FLOAT;
  fl.bits = 32;
  float samples[2] = {0.5f, -2.0f};
  fl.data.assign(reinterpret_cast<const char*>(samples), sizeof samples);
  ASSERT_TRUE(ReadHeader(MakeWav(fl), info, error)) << error;
  WavToQ24(info, reinterpret_cast<const uint8_t*>(fl.data.data()), 1, l, r);
  EXPECT_EQ(l[0], Q24_ONE / 2);
  EXPECT_EQ(r[0], -2 * Q24_ONE);
}

TEST(WavReader, RefusesOtherFormatsAndMalformedFiles) {
  WavSpec good;
  good.data = std::string(16, '\0');
  std::string goodFile = MakeWav(good);
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  };
  WavSpec mono = good, rate = good, bits = good, partial = good, beyond = good;
  mono.channels = 1;
  rate.rate = 44100;
  bits.bits = 24;
  partial.data = std::string(6, '\0');
  beyond.dataSizeField = 1000;
  std::vector<Case> cases = {
      {"empty", "", "too short"},
      {"truncated RIFF header", goodFile.substr(0, 10), "too short"},
      {"not RIFF", "RIFX" + goodFile.substr(4), "not a RIFF WAVE"},
      {"truncated fmt chunk", goodFile.substr(0, 30), "runs past the end"},
      {"no data chunk", goodFile.substr(0, 36), "no data chunk"},
      {"mono", MakeWav(mono), "channels"},
      {"44.1 kHz", MakeWav(rate), "44100"},
      {"24-bit", MakeWav(bits), "24-bit"},
      {"partial sample frame", MakeWav(partial), "partial sample frame"},
      {"data size past the end", MakeWav(beyond), "runs past the end"},
  };
  for (const Case& c : cases) {
    WavInfo info;
    std::string error;
    EXPECT_FALSE(ReadHeader(c.bytes, info, error)) << c.name;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
  }
}

TEST(Mp2enc, EncodesPaddingTheLastFrameAndReportsFailures) {
  TempDir dir;
  StereoSignal s = MakeChirp(MPA_FRAME_SAMPLES + 100, 100, 5000, 0.5);
  WavSpec w;
  for (size_t i = 0; i < s.left.size(); i++) {
    Put16(w.data, static_cast<uint16_t>(s.left[i] / 512));
    Put16(w.data, static_cast<uint16_t>(s.right[i] / 512));
  }
  std::string wav = MakeWav(w);
  WriteFileBytes(dir / "in.wav", wav.data(), wav.size());
  EXPECT_EQ(RunTool("'" + (dir / "in.wav").string() + "' '" + (dir / "out.mp2").string() + "'"), 0);
  std::string out = ReadFileBytes(dir / "out.mp2");
  ASSERT_EQ(out.size(), 2u * MPA_FRAME_BYTES);

  // The same samples through EncodeFrame, the tail padded with silence.
  StereoSignal q;
  for (size_t i = 0; i < s.left.size(); i++) {
    q.left.push_back(s.left[i] / 512 * 512);
    q.right.push_back(s.right[i] / 512 * 512);
  }
  std::vector<uint8_t> expected = EncodeSignal(q);
  EXPECT_EQ(std::string(expected.begin(), expected.end()), out);

  EXPECT_EQ(RunTool("--help"), 0);
  EXPECT_EQ(RunTool(""), 2);
  EXPECT_EQ(RunTool("a b c"), 2);
  EXPECT_EQ(RunTool("'" + (dir / "missing.wav").string() + "' '" + (dir / "x.mp2").string() + "'"), 1);
  std::string truncated = wav.substr(0, 40);
  WriteFileBytes(dir / "bad.wav", truncated.data(), truncated.size());
  EXPECT_EQ(RunTool("'" + (dir / "bad.wav").string() + "' '" + (dir / "x.mp2").string() + "'"), 1);
}
