// Real streams made by ffmpeg's encoder: decoded here and compared with
// ffmpeg's own decoder (its discrete channels mixed in double precision with
// this decoder's fixed matrix); mutated copies of them as a fuzz-style check
// that corrupt data never leaves the arrays and always ends as silence with
// one message; and the ac3dec tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ac3/ac3_decoder.h"
#include "ac3/ac3_state.h"
#include "common/vector_paths.h"
#include "report/run_flags.h"
#include "platform/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZED = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif
#else
constexpr bool SANITIZED = false;
#endif

const std::string FIXTURES = std::string(VOLTARK_SOURCE_DIR) + "/tests/fixtures/ac3/";

struct Fixture {
  const char* name;
  int channels;  // in ffmpeg's output: FL FR FC LFE then the surrounds
  int acmod;
  int lfe;
};

const Fixture FIXTURE_LIST[] = {
    {"stereo_cpl_96k", 2, 2, 0},      {"stereo_192k", 2, 2, 0},     {"stereo_lfe_128k", 3, 2, 1},
    {"mono_64k", 1, 1, 0},            {"front30_256k", 3, 3, 0},    {"back21_128k", 3, 4, 0},
    {"front31_160k", 4, 5, 0},        {"quad_320k", 4, 6, 0},       {"surround51_448k", 6, 7, 1},
    {"surround51_cpl_256k", 6, 7, 1},
};

std::vector<uint8_t> ReadFile(const std::string& path) {
  const std::string s = ReadFileBytes(path);
  return std::vector<uint8_t>(s.begin(), s.end());
}

// Offsets of the sync frames of a stream (contiguous frames).
std::vector<std::pair<size_t, size_t>> Frames(const std::vector<uint8_t>& s) {
  std::vector<std::pair<size_t, size_t>> frames;
  size_t pos = 0;
  while (pos + 5 <= s.size()) {
    if (s[pos] == 0x0B && s[pos + 1] == 0x77 && (s[pos + 4] & 0xC0) == 0) {
      const size_t bytes = 2 * Ac3FrameWords48k(s[pos + 4] & 0x3F);
      if (bytes && pos + bytes <= s.size()) {
        frames.emplace_back(pos, bytes);
        pos += bytes;
        continue;
      }
    }
    ++pos;
  }
  return frames;
}

// Our decode of a whole stream, interleaved stereo in units of full scale.
std::vector<double> DecodeStream(const std::vector<uint8_t>& s, int* failures) {
  std::vector<double> out;
  std::vector<Q24> left(AC3_FRAME_SAMPLES), right(AC3_FRAME_SAMPLES);
  Ac3Reset(false);
  *failures = 0;
  for (auto [pos, bytes] : Frames(s)) {
    if (Ac3DecodeFrame(s.data() + pos + 5, static_cast<uint32_t>(bytes - 5), left.data(), right.data()) != 6)
      ++*failures;
    for (int i = 0; i < AC3_FRAME_SAMPLES; ++i) {
      out.push_back(left[i] / 16777216.0);
      out.push_back(right[i] / 16777216.0);
    }
  }
  return out;
}

// ffmpeg's float decoder output, all channels, of every fixture of one
// variant ("" or "_nodither"), made by one ffmpeg run on first use (one run
// per file would cost more than all the decoding).
const std::vector<double>& FfmpegChannels(const std::string& variant, const Fixture& f) {
  static std::map<std::string, std::vector<double>> decoded;
  const std::string key = std::string(f.name) + variant;
  if (decoded.count(key) == 0) {
    TempDir dir;
    std::string inputs, outputs;
    int index = 0;
    for (const Fixture& each : FIXTURE_LIST) {
      inputs += " -i '" + FIXTURES + each.name + variant + ".ac3'";
      outputs += " -map " + std::to_string(index) + ":a -c:a pcm_f64le -f f64le '" +
                 (dir / (std::to_string(index) + ".f64")).string() + "'";
      ++index;
    }
    const std::string command = "ffmpeg -nostdin -v error -y" + inputs + outputs;
    if (std::system(command.c_str()) != 0) return decoded[""];
    index = 0;
    for (const Fixture& each : FIXTURE_LIST) {
      const std::string bytes = ReadFileBytes(dir / (std::to_string(index++) + ".f64"));
      std::vector<double>& c = decoded[std::string(each.name) + variant];
      c.resize(bytes.size() / 8);
      std::memcpy(c.data(), bytes.data(), c.size() * 8);
    }
  }
  return decoded[key];
}

// The reference: ffmpeg's channels mixed with the fixed matrix.
bool ReferenceDecode(const std::string& variant, const Fixture& f, std::vector<double>* out) {
  const std::vector<double>& c = FfmpegChannels(variant, f);
  if (c.empty()) return false;
  const double K1 = 9827866 / 16777216.0, K2 = 6949350 / 16777216.0, K3 = 4913933 / 16777216.0,
               K4 = 5375038 / 16777216.0, K5 = 3800726 / 16777216.0, KLFE = 5305422 / 16777216.0;
  out->clear();
  for (size_t i = 0; i + f.channels <= c.size(); i += f.channels) {
    const double* x = &c[i];
    double l = 0, r = 0;
    const bool centre = f.acmod == 3 || f.acmod == 5 || f.acmod == 7;
    const int lfeAt = f.acmod == 2 ? 2 : 3;
    const double* s = x + (centre ? 3 : 2) + f.lfe;  // surrounds
    switch (f.acmod) {
      case 1: l = r = x[0]; break;
      case 2: l = x[0], r = x[1]; break;
      case 3: l = x[2] * K2 + x[0] * K1, r = x[2] * K2 + x[1] * K1; break;
      case 4: l = x[0] * K1 - s[0] * K2, r = x[1] * K1 + s[0] * K2; break;
      case 5: l = x[2] * K3 + x[0] * K2 - s[0] * K3, r = x[2] * K3 + x[1] * K2 + s[0] * K3; break;
      case 6: l = x[0] * K2 - (s[0] + s[1]) * K3, r = x[1] * K2 + (s[0] + s[1]) * K3; break;
      case 7: l = x[2] * K5 + x[0] * K4 - (s[0] + s[1]) * K5, r = x[2] * K5 + x[1] * K4 + (s[0] + s[1]) * K5; break;
    }
    if (f.lfe) {
      l += x[lfeAt] * KLFE;
      r += x[lfeAt] * KLFE;
    }
    out->push_back(l);
    out->push_back(r);
  }
  return true;
}

struct Comparison {
  double snr, levelDb;
};

Comparison Compare(const std::vector<double>& ours, const std::vector<double>& ref) {
  const size_t n = std::min(ours.size(), ref.size());
  double error = 0, signal = 0, mine = 0;
  for (size_t i = 0; i < n; ++i) {
    error += (ours[i] - ref[i]) * (ours[i] - ref[i]);
    signal += ref[i] * ref[i];
    mine += ours[i] * ours[i];
  }
  return {10 * std::log10(signal / std::max(error, 1e-300)), 10 * std::log10(mine / signal)};
}

bool HaveFfmpeg() { return std::system("ffmpeg -version > /dev/null 2>&1") == 0; }

}  // namespace

TEST(Ac3Streams, UnditheredStreamsMatchFfmpegExactly) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  for (const Fixture& f : FIXTURE_LIST) {
    const std::string path = FIXTURES + f.name + "_nodither.ac3";
    int failures = 0;
    const std::vector<double> ours = DecodeStream(ReadFile(path), &failures);
    std::vector<double> ref;
    ASSERT_TRUE(ReferenceDecode("_nodither", f, &ref)) << f.name;
    ASSERT_EQ(ours.size(), ref.size()) << f.name;
    EXPECT_EQ(failures, 0) << f.name;
    const Comparison c = Compare(ours, ref);
    EXPECT_GE(c.snr, 80.0) << f.name;  // measured: 103.8 .. 106.2 dB
    std::printf("%-22s undithered SNR %.1f dB\n", f.name, c.snr);
  }
}

TEST(Ac3Streams, DitheredStreamsMatchFfmpegInLevel) {
  // Each decoder fills zero-bit mantissas with its own random numbers, so
  // only the level and a loose SNR can agree.
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  for (const Fixture& f : FIXTURE_LIST) {
    const std::string path = FIXTURES + f.name + ".ac3";
    int failures = 0;
    const std::vector<double> ours = DecodeStream(ReadFile(path), &failures);
    std::vector<double> ref;
    ASSERT_TRUE(ReferenceDecode("", f, &ref)) << f.name;
    EXPECT_EQ(failures, 0) << f.name;
    const Comparison c = Compare(ours, ref);
    EXPECT_GE(c.snr, 12.0) << f.name;  // measured: 16 .. 39 dB on these noisy signals
    EXPECT_LT(std::abs(c.levelDb), 0.1) << f.name;  // measured: within 0.01 dB
    std::printf("%-22s dithered SNR %.1f dB, level %+.2f dB\n", f.name, c.snr, c.levelDb);
  }
}

TEST(Ac3Streams, MutatedFramesStayInBoundsAndEndAsSilence) {
  std::vector<std::vector<uint8_t>> frames;
  for (const Fixture& f : FIXTURE_LIST) {
    const std::vector<uint8_t> s = ReadFile(FIXTURES + f.name + ".ac3");
    for (auto [pos, bytes] : Frames(s)) frames.emplace_back(s.begin() + static_cast<long>(pos), s.begin() + static_cast<long>(pos + bytes));
  }
  ASSERT_GT(frames.size(), 200u);

  ScopedRecordingUi ui;
  VerboseErrors = true;
  Ac3Reset(true);
  std::mt19937 rng(2024);
  std::vector<Q24> left(AC3_FRAME_SAMPLES), right(AC3_FRAME_SAMPLES);
  const int rounds = SANITIZED ? 2500 : 20000;
  int failed = 0;
  for (int round = 0; round < rounds; ++round) {
    std::vector<uint8_t> frame = frames[rng() % frames.size()];
    const size_t body = frame.size() - 5;
    switch (rng() % 4) {
      case 0:  // a few flipped bits
        for (unsigned k = 1 + rng() % 6; k > 0; --k) frame[5 + rng() % body] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:  // random bytes after a valid sync
        for (size_t i = 5; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(rng());
        break;
      case 2:  // truncated
        frame.resize(5 + rng() % body);
        break;
      default:  // a run of bytes overwritten
        for (size_t i = 5 + rng() % body, k = rng() % 16; i < frame.size() && k > 0; ++i, --k)
          frame[i] = static_cast<uint8_t>(rng() % 2 ? 0xFF : rng());
        break;
    }
    // The decoder gets exactly the bytes behind the header, on the heap.
    std::vector<uint8_t> data(frame.begin() + 5, frame.end());
    ui->Clear();
    const unsigned result = Ac3DecodeFrame(data.data(), static_cast<uint32_t>(data.size()), left.data(), right.data());
    ASSERT_TRUE(result == 0 || result == 6);
    ASSERT_EQ(ui->boxTexts().size(), result == 0 ? 1u : 0u) << round;
    if (result == 0) {
      ++failed;
      for (int i = 0; i < AC3_FRAME_SAMPLES; ++i) ASSERT_TRUE(left[i] == 0 && right[i] == 0);
    }
  }
  VerboseErrors = false;
  EXPECT_GT(failed, rounds / 10);  // the mutations do reach the checks
  EXPECT_EQ(Ac3FrameCount(), rounds);
}

TEST(Ac3Tool, DecodesToWavAndReportsBadInput) {
  const std::string tool = std::string(VOLTARK_BINARY_DIR) + "/bin/ac3dec";
  TempDir dir;
  const std::string wav = (dir / "out.wav").string();
  const std::string input = FIXTURES + "mono_64k.ac3";
  ASSERT_EQ(std::system(("'" + tool + "' '" + input + "' '" + wav + "'").c_str()), 0);
  const std::string out = ReadFileBytes(wav);
  const size_t frames = Frames(ReadFile(input)).size();
  EXPECT_EQ(out.size(), 44 + frames * AC3_FRAME_SAMPLES * 2 * 4);
  EXPECT_EQ(out.substr(0, 4), "RIFF");
  ASSERT_EQ(std::system(("'" + tool + "' '" + input + "' '" + wav + "' --s16").c_str()), 0);
  EXPECT_EQ(ReadFileBytes(wav).size(), 44 + frames * AC3_FRAME_SAMPLES * 2 * 2);

  // 44.1 kHz frames are reported and skipped: no frame is left.
  std::vector<uint8_t> s = ReadFile(input);
  for (auto [pos, bytes] : Frames(s)) s[pos + 4] = static_cast<uint8_t>(s[pos + 4] | 0x40);
  const std::string other = (dir / "441.ac3").string();
  WriteFileBytes(other, s.data(), s.size());
  const std::string log = (dir / "log.txt").string();
  EXPECT_NE(std::system(("'" + tool + "' '" + other + "' '" + wav + "' --verbose 2> '" + log + "'").c_str()), 0);
  const std::string messages = ReadFileBytes(log);
  EXPECT_NE(messages.find("Invalid AC3 audio data rate"), std::string::npos);
  EXPECT_NE(messages.find("No AC3 stream found!"), std::string::npos);

  EXPECT_EQ(WEXITSTATUS(std::system(("'" + tool + "' '" + (dir / "missing.ac3").string() + "' '" + wav + "' 2>/dev/null").c_str())), 1);
  EXPECT_EQ(WEXITSTATUS(std::system(("'" + tool + "' only-one-argument 2>/dev/null").c_str())), 2);

  // A stream read in several pieces, frames across their boundaries, decodes
  // as one read whole.
  const std::vector<uint8_t> once = ReadFile(FIXTURES + "surround51_448k_nodither.ac3");
  std::vector<uint8_t> longer;
  while (longer.size() < 0xA0000) longer.insert(longer.end(), once.begin(), once.end());
  WriteFileBytes(other, longer.data(), longer.size());
  ASSERT_EQ(std::system(("'" + tool + "' '" + other + "' '" + wav + "'").c_str()), 0);
  int failures = 0;
  const std::vector<double> expected = DecodeStream(longer, &failures);
  const std::string decoded = ReadFileBytes(wav);
  ASSERT_EQ(decoded.size(), 44 + expected.size() * 4);
  for (size_t i = 0; i < expected.size(); ++i) {
    float sample;
    std::memcpy(&sample, decoded.data() + 44 + 4 * i, 4);
    ASSERT_EQ(sample, static_cast<float>(expected[i])) << i;
  }
}

// The whole decode (transforms, coupling, downmix) on each vector path the
// processor runs, chosen explicitly, gives the plain path's bits.
TEST(Ac3Streams, EveryVectorPathDecodesToThePlainPathsBits) {
  const VectorPath best = BestVectorPath();
  if (best == VectorPath::Plain) GTEST_SKIP() << "this processor runs no vector path";
  for (const char* name : {"surround51_448k", "surround51_cpl_256k", "stereo_cpl_96k", "front31_160k"}) {
    const std::vector<uint8_t> s = ReadFile(FIXTURES + name + ".ac3");
    int failures = 0;
    VectorPathInUse = VectorPath::Plain;
    const std::vector<double> plain = DecodeStream(s, &failures);
    for (VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
      if (path > best) continue;
      VectorPathInUse = path;
      EXPECT_EQ(DecodeStream(s, &failures), plain) << name << " " << static_cast<int>(path);
    }
  }
  // A damaged stream: bad mantissa codes end blocks part-way, and the dither
  // register must stand where the plain path leaves it for the frames after.
  std::vector<uint8_t> damaged = ReadFile(FIXTURES + "surround51_448k.ac3");
  // Every other frame gets bytes changed in its second half, where the
  // mantissas are.
  uint32_t noise = 12345;
  for (size_t frame = 0; frame + 1792 <= damaged.size(); frame += 2 * 1792) {
    for (size_t k = 900; k < 1700; k += 20) {
      noise = noise * 1103515245 + 12345;
      damaged[frame + k] ^= static_cast<uint8_t>(noise >> 16);
    }
  }
  ScopedRecordingUi ui;
  int plainFailures = 0;
  VectorPathInUse = VectorPath::Plain;
  const std::vector<double> plain = DecodeStream(damaged, &plainFailures);
  EXPECT_GT(plainFailures, 0);
  EXPECT_LT(plainFailures, static_cast<int>(damaged.size() / 1792));
  for (VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
    if (path > best) continue;
    VectorPathInUse = path;
    int failures = 0;
    EXPECT_EQ(DecodeStream(damaged, &failures), plain) << static_cast<int>(path);
    EXPECT_EQ(failures, plainFailures);
  }
  VectorPathInUse = best;
}


// Each decoded stream has a context of its own: two streams decoded frame by
// frame in turn (one with dynamic range compression, one without), with the
// first context decoding a third stream in between, give each the samples
// it gives decoded alone.
TEST(Ac3Streams, ContextsDecodedInTurnGiveWhatEachGivesAlone) {
  struct Stream {
    std::vector<uint8_t> bytes;
    std::vector<std::pair<size_t, size_t>> frames;
    bool drc;
  };
  const Stream streams[2] = {
      {ReadFile(FIXTURES + "surround51_cpl_256k.ac3"), {}, true},
      {ReadFile(FIXTURES + "stereo_cpl_96k.ac3"), {}, false},
  };
  const std::vector<uint8_t> third = ReadFile(FIXTURES + "quad_320k.ac3");
  const auto thirdFrames = Frames(third);
  std::vector<Q24> left(AC3_FRAME_SAMPLES), right(AC3_FRAME_SAMPLES);
  auto decode = [&](Ac3DecoderState& s, const std::vector<uint8_t>& bytes, std::pair<size_t, size_t> frame,
                    std::vector<Q24>& out) {
    Ac3DecodeFrame(s, bytes.data() + frame.first + 5, static_cast<uint32_t>(frame.second - 5), left.data(),
                   right.data());
    out.insert(out.end(), left.begin(), left.end());
    out.insert(out.end(), right.begin(), right.end());
  };
  std::vector<Q24> alone[2], inTurn[2];
  for (int k = 0; k < 2; ++k) {
    auto context = std::make_unique<Ac3DecoderState>();
    Ac3Reset(*context, streams[k].drc);
    for (auto frame : Frames(streams[k].bytes)) decode(*context, streams[k].bytes, frame, alone[k]);
  }
  auto contexts = std::make_unique<Ac3DecoderState[]>(2);
  for (int k = 0; k < 2; ++k) Ac3Reset(contexts[k], streams[k].drc);
  Ac3Reset(Ac3Decoder, false);
  const size_t frames = std::max(Frames(streams[0].bytes).size(), Frames(streams[1].bytes).size());
  std::vector<Q24> thirdOut;
  for (size_t f = 0; f < frames; ++f) {
    for (int k = 0; k < 2; ++k) {
      const auto list = Frames(streams[k].bytes);
      if (f < list.size()) decode(contexts[k], streams[k].bytes, list[f], inTurn[k]);
    }
    decode(Ac3Decoder, third, thirdFrames[f % thirdFrames.size()], thirdOut);
  }
  for (int k = 0; k < 2; ++k) {
    ASSERT_FALSE(alone[k].empty());
    EXPECT_EQ(inTurn[k], alone[k]) << "stream " << k;
  }
}
