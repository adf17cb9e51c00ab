// pcm_snr REF.wav DECODED.raw [SEGMENTS]: the SNR of a decoded stream
// (16-bit stereo little-endian) against its 16-bit source WAV, after
// finding the decoder delay by cross-correlation; with SEGMENTS, also of
// each of that many equal parts.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/mp2enc/wav_reader.h"

namespace {

std::vector<int16_t> ReadWav(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  WavInfo info;
  std::string error;
  if (!f || !ReadWavHeader(f, info, error) || info.format != WAV_FORMAT_PCM) {
    std::fprintf(stderr, "pcm_snr: %s: %s\n", path, error.c_str());
    std::exit(1);
  }
  std::vector<int16_t> samples(info.dataSize / 2);
  size_t got = std::fread(samples.data(), 2, samples.size(), f);
  samples.resize(got);
  std::fclose(f);
  return samples;
}

std::vector<int16_t> ReadRaw(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) {
    std::fprintf(stderr, "pcm_snr: cannot open %s\n", path);
    std::exit(1);
  }
  std::vector<int16_t> samples;
  int16_t buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 2, 4096, f)) > 0) samples.insert(samples.end(), buffer, buffer + n);
  std::fclose(f);
  return samples;
}

long FindDelay(const std::vector<int16_t>& ref, const std::vector<int16_t>& dec) {
  long best = 0;
  double bestSum = -1e300;
  // Inside the last part (noise in the benchmark material): no periodicity
  // to mislead the correlation.
  size_t from = ref.size() / 8 * 7 & ~size_t(1);
  for (long d = 0; d < 3000; d++) {
    double sum = 0;
    for (size_t i = from; i < from + 2 * 48000 && i + 2 * d < dec.size() && i < ref.size(); i += 2)
      sum += double(ref[i]) * dec[i + 2 * d];
    if (sum > bestSum) {
      bestSum = sum;
      best = d;
    }
  }
  return best;
}

double Snr(const std::vector<int16_t>& ref, const std::vector<int16_t>& dec, long delay, size_t from, size_t to) {
  double s = 0, e = 0;
  for (size_t i = from; i < to && i + 2 * delay < dec.size(); i++) {
    double d = double(ref[i]) - dec[i + 2 * delay];
    s += double(ref[i]) * ref[i];
    e += d * d;
  }
  return 10 * std::log10(s / (e > 0 ? e : 1e-9));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: pcm_snr REF.wav DECODED.raw [SEGMENTS]\n");
    return 2;
  }
  std::vector<int16_t> ref = ReadWav(argv[1]);
  std::vector<int16_t> dec = ReadRaw(argv[2]);
  long delay = FindDelay(ref, dec);
  std::printf("delay %ld samples, SNR %.2f dB", delay, Snr(ref, dec, delay, 0, ref.size()));
  int segments = argc > 3 ? std::atoi(argv[3]) : 0;
  for (int s = 0; s < segments; s++) {
    size_t from = ref.size() / segments * s & ~size_t(1);
    size_t to = ref.size() / segments * (s + 1) & ~size_t(1);
    std::printf("%s%.2f", s == 0 ? ", parts " : " / ", Snr(ref, dec, delay, from, to));
  }
  std::printf("\n");
  return 0;
}
