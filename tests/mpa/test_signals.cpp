#include "tests/mpa/test_signals.h"

#include <cmath>
#include <cstring>

#include "mpa/encoder_state.h"
#include "mpa/layer2_encoder.h"

namespace {

Q24 ToQ24(double x) { return static_cast<Q24>(std::lround(x * Q24_ONE)); }

uint32_t NextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state;
}

double Uniform(uint32_t& state) { return (NextRandom(state) >> 8) / double(1 << 24) * 2.0 - 1.0; }

StereoSignal FromMono(const std::vector<double>& left, const std::vector<double>& right) {
  StereoSignal s;
  for (double x : left) s.left.push_back(ToQ24(x));
  for (double x : right) s.right.push_back(ToQ24(x));
  return s;
}

}  // namespace

StereoSignal MakeSine(size_t samples, double hz, double amplitude) {
  std::vector<double> l(samples), r(samples);
  for (size_t i = 0; i < samples; i++) {
    l[i] = amplitude * std::sin(2 * M_PI * hz * i / 48000.0);
    r[i] = amplitude * std::cos(2 * M_PI * hz * i / 48000.0);
  }
  return FromMono(l, r);
}

StereoSignal MakeWhiteNoise(size_t samples, double amplitude, uint32_t seed) {
  std::vector<double> l(samples), r(samples);
  for (size_t i = 0; i < samples; i++) {
    l[i] = amplitude * Uniform(seed);
    r[i] = amplitude * Uniform(seed);
  }
  return FromMono(l, r);
}

StereoSignal MakePinkNoise(size_t samples, double amplitude, uint32_t seed) {
  // Paul Kellet's economy filter over white noise.
  std::vector<double> ch[2] = {std::vector<double>(samples), std::vector<double>(samples)};
  for (auto& out : ch) {
    double b0 = 0, b1 = 0, b2 = 0;
    for (size_t i = 0; i < samples; i++) {
      double w = Uniform(seed);
      b0 = 0.99765 * b0 + w * 0.0990460;
      b1 = 0.96300 * b1 + w * 0.2965164;
      b2 = 0.57000 * b2 + w * 1.0526913;
      out[i] = amplitude * 0.25 * (b0 + b1 + b2 + w * 0.1848);
    }
  }
  return FromMono(ch[0], ch[1]);
}

StereoSignal MakeChirp(size_t samples, double fromHz, double toHz, double amplitude) {
  std::vector<double> l(samples), r(samples);
  double duration = samples / 48000.0;
  for (size_t i = 0; i < samples; i++) {
    double t = i / 48000.0;
    double phase = 2 * M_PI * (fromHz * t + (toHz - fromHz) * t * t / (2 * duration));
    l[i] = amplitude * std::sin(phase);
    r[i] = amplitude * std::sin(phase * 0.5);
  }
  return FromMono(l, r);
}

StereoSignal MakeSquare(size_t samples, double hz, double amplitude) {
  std::vector<double> l(samples), r(samples);
  for (size_t i = 0; i < samples; i++) {
    double s = std::sin(2 * M_PI * hz * i / 48000.0) >= 0 ? amplitude : -amplitude;
    l[i] = std::fmax(-1.0, std::fmin(1.0, s));
    r[i] = -l[i];
  }
  return FromMono(l, r);
}

StereoSignal MakeClicks(size_t samples, size_t period, double amplitude) {
  std::vector<double> l(samples), r(samples);
  for (size_t i = 0; i < samples; i++) {
    size_t k = i % period;
    // A decaying burst: the exponent negated as a double (negating the
    // unsigned k wrapped it, and every sample after the first was infinite).
    l[i] = k < 48 ? amplitude * std::exp(-static_cast<double>(k) / 8.0) * std::sin(k * 0.9) : 0.0;
    r[i] = (i + period / 2) % period < 4 ? amplitude : 0.0;
  }
  return FromMono(l, r);
}

StereoSignal MakeSilence(size_t samples) {
  return StereoSignal{std::vector<Q24>(samples), std::vector<Q24>(samples)};
}

void ResetEncoderHistory() { std::memset(&MpaEncoder, 0, sizeof MpaEncoder); }

std::vector<uint8_t> EncodeSignal(const StereoSignal& signal) {
  ResetEncoderHistory();
  size_t frames = (signal.left.size() + MPA_FRAME_SAMPLES - 1) / MPA_FRAME_SAMPLES;
  std::vector<uint8_t> out(frames * MPA_FRAME_BYTES);
  for (size_t f = 0; f < frames; f++) {
    Q24 left[MPA_FRAME_SAMPLES] = {};
    Q24 right[MPA_FRAME_SAMPLES] = {};
    for (size_t i = 0; i < MPA_FRAME_SAMPLES && f * MPA_FRAME_SAMPLES + i < signal.left.size(); i++) {
      left[i] = signal.left[f * MPA_FRAME_SAMPLES + i];
      right[i] = signal.right[f * MPA_FRAME_SAMPLES + i];
    }
    EncodeFrame(left, right, &out[f * MPA_FRAME_BYTES]);
  }
  return out;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 0x100000001b3ull;
  }
  return h;
}
