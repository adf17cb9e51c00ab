// Encoding speed of the Layer II encoder on one core, in frames per second,
// on programme-like synthetic material (tones, noise, transients).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "mpa/encoder_state.h"
#include "mpa/layer2_encoder.h"

namespace {

constexpr int FRAMES = 64;

// Music-like: a few harmonic voices with vibrato over a little noise, and a
// click every half second.
std::vector<Q24> MakeMaterial(int channel) {
  std::vector<Q24> out(static_cast<size_t>(FRAMES) * MPA_FRAME_SAMPLES);
  uint32_t seed = 12345 + channel;
  for (size_t i = 0; i < out.size(); i++) {
    double t = i / 48000.0;
    double x = 0;
    for (int voice = 0; voice < 3; voice++) {
      double f0 = 110.0 * (voice + 1) * (1 + 0.01 * std::sin(2 * M_PI * 5 * t)) * (channel ? 1.5 : 1);
      for (int h = 1; h <= 8; h++) x += 0.06 / h * std::sin(2 * M_PI * f0 * h * t);
    }
    seed = seed * 1664525u + 1013904223u;
    x += 0.02 * ((seed >> 8) / double(1 << 24) - 0.5);
    if (i % 24000 < 64) x += 0.5 * std::exp(-(i % 24000) / 10.0);
    out[i] = static_cast<Q24>(x * Q24_ONE);
  }
  return out;
}

void BM_EncodeFrame(benchmark::State& state) {
  std::vector<Q24> left = MakeMaterial(0);
  std::vector<Q24> right = MakeMaterial(1);
  std::memset(&MpaEncoder, 0, sizeof MpaEncoder);
  uint8_t frame[MPA_FRAME_BYTES];
  size_t f = 0;
  for (auto _ : state) {
    EncodeFrame(&left[f * MPA_FRAME_SAMPLES], &right[f * MPA_FRAME_SAMPLES], frame);
    benchmark::DoNotOptimize(frame);
    f = (f + 1) % FRAMES;
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeFrame)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
