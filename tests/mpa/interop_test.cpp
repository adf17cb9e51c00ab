// Our frames through two independent decoders (ffmpeg and mpg123): they
// must decode without complaint and give back the input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mpa/layer2_encoder.h"
#include "tests/mpa/test_signals.h"
#include "tests/support/temp_dir.h"

namespace {

// Encoder plus decoder delay of a Layer II chain: 512 - 31 samples.
constexpr int CODEC_DELAY = 481;

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct Decoded {
  bool ok = false;
  std::string errors;
  std::vector<int16_t> left, right;
};

Decoded Decode(const TempDir& dir, const std::vector<uint8_t>& stream, bool useMpg123) {
  auto in = dir / "in.mp2";
  auto raw = dir / "out.raw";
  auto err = dir / "err.txt";
  WriteFileBytes(in, stream.data(), stream.size());
  std::string command =
      useMpg123 ? "mpg123 -q -s '" + in.string() + "' > '" + raw.string() + "' 2> '" + err.string() + "'"
                : "ffmpeg -nostdin -v error -y -i '" + in.string() + "' -f s16le -acodec pcm_s16le '" + raw.string() +
                      "' 2> '" + err.string() + "'";
  Decoded d;
  d.ok = std::system(command.c_str()) == 0;
  d.errors = ReadFileBytes(err);
  std::string bytes = ReadFileBytes(raw);
  for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
    d.left.push_back(static_cast<int16_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    d.right.push_back(static_cast<int16_t>(uint8_t(bytes[i + 2]) | uint8_t(bytes[i + 3]) << 8));
  }
  return d;
}

// Signal and error energy of the decoded channels against the input that
// starts at sample `at` of the stream, shifted by delay, away from both ends.
struct Energies {
  double signal = 0;
  double noise = 0;
  double Snr() const { return 10 * std::log10(signal / std::max(noise, 1e-9)); }
};

Energies Compare(const StereoSignal& in, const Decoded& out, size_t at, int delay) {
  Energies e;
  for (int ch = 0; ch < 2; ch++) {
    const std::vector<Q24>& x = ch ? in.right : in.left;
    const std::vector<int16_t>& y = ch ? out.right : out.left;
    for (size_t i = 2000; at + i + delay < y.size() && i + 2000 < x.size(); i++) {
      double a = x[i] / 512.0;
      double d = a - y[at + i + delay];
      e.signal += a * a;
      e.noise += d * d;
    }
  }
  return e;
}

int BestDelay(const StereoSignal& in, const Decoded& out) {
  int best = 0;
  double bestSum = -1e300;
  for (int delay = 0; delay < 1500; delay++) {
    double sum = 0;
    for (size_t i = 4000; i < 8000 && i + delay < out.left.size(); i++) sum += (in.left[i] / 512.0) * out.left[i + delay];
    if (sum > bestSum) {
      bestSum = sum;
      best = delay;
    }
  }
  return best;
}

class InteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("ffmpeg") || !HaveTool("mpg123")) GTEST_SKIP() << "ffmpeg and mpg123 are needed";
  }
  TempDir dir_;
};

}  // namespace

TEST_F(InteropTest, DecoderDelayIsTheFilterBanks) {
  StereoSignal noise = MakeWhiteNoise(12 * MPA_FRAME_SAMPLES, 0.3, 21);
  std::vector<uint8_t> stream = EncodeSignal(noise);
  for (bool mpg123 : {false, true}) {
    Decoded d = Decode(dir_, stream, mpg123);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(BestDelay(noise, d), CODEC_DELAY) << (mpg123 ? "mpg123" : "ffmpeg");
  }
}

TEST_F(InteropTest, SineAtMinus6dBComesBackAbove60dB) {
  StereoSignal sine = MakeSine(42 * MPA_FRAME_SAMPLES, 1000, std::pow(10.0, -6 / 20.0));
  std::vector<uint8_t> stream = EncodeSignal(sine);
  for (bool mpg123 : {false, true}) {
    Decoded d = Decode(dir_, stream, mpg123);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.errors, "");
    double snr = Compare(sine, d, 0, CODEC_DELAY).Snr();
    std::printf("1 kHz -6 dBFS through %s: SNR %.2f dB\n", mpg123 ? "mpg123" : "ffmpeg", snr);
    EXPECT_GE(snr, 60.0);
  }
}

TEST_F(InteropTest, VariedSignalsDecodeCleanly) {
  const size_t n = 24 * MPA_FRAME_SAMPLES;
  struct Case {
    const char* name;
    StereoSignal signal;
    double minSnr;
  };
  // The bounds only catch a broken chain; the model spends bits by masking,
  // not by SNR, so noise-like material comes back far below a tone's SNR.
  std::vector<Case> cases = {
      {"tone at band 0 centre", MakeSine(n, 375, 0.7), 40},
      {"tone at band 7 centre", MakeSine(n, 15 * 375, 0.7), 40},
      {"tone at band 20 centre", MakeSine(n, 41 * 375, 0.7), 20},
      {"tone at the 3/4 band edge", MakeSine(n, 3 * 750, 0.7), 40},
      {"tone at the 12/13 band edge", MakeSine(n, 13 * 750, 0.7), 30},
      {"white noise", MakeWhiteNoise(n, 0.5, 3), 5},
      {"pink noise", MakePinkNoise(n, 0.8, 4), 8},
      {"chirp 20 Hz to 20 kHz", MakeChirp(n, 20, 20000, 0.8), 15},
      {"full-scale square 200 Hz", MakeSquare(n, 200, 1.5), 15},
      {"clicks", MakeClicks(n, 4800, 1.0), 10},
      {"silence", MakeSilence(n), 0},
  };
  // One stream of all the cases, each encoded from a fresh history, so each
  // decoder starts only once.
  std::vector<uint8_t> stream;
  for (const Case& c : cases) {
    std::vector<uint8_t> part = EncodeSignal(c.signal);
    stream.insert(stream.end(), part.begin(), part.end());
  }
  for (bool mpg123 : {false, true}) {
    const char* decoder = mpg123 ? "mpg123" : "ffmpeg";
    Decoded d = Decode(dir_, stream, mpg123);
    ASSERT_TRUE(d.ok) << decoder;
    EXPECT_EQ(d.errors, "") << decoder;
    ASSERT_EQ(d.left.size(), cases.size() * n) << decoder;
    for (size_t i = 0; i < cases.size(); i++) {
      Energies e = Compare(cases[i].signal, d, i * n, CODEC_DELAY);
      if (e.signal == 0) {
        EXPECT_LT(e.noise, 1.0) << cases[i].name << " " << decoder;  // silence stays silent
        continue;
      }
      std::printf("%-28s %-7s SNR %7.2f dB\n", cases[i].name, decoder, e.Snr());
      EXPECT_GE(e.Snr(), cases[i].minSnr) << cases[i].name << " " << decoder;
    }
  }
}
