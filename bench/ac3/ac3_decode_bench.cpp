// Decoding speed of whole AC-3 streams, frames per second on one core.
// The stream comes from AC3_BENCH_FILE (bench/ac3/run.sh makes 60 s ones);
// without it a committed test stream is used.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ac3/ac3_decoder.h"

namespace {

struct Stream {
  std::vector<uint8_t> bytes;
  std::vector<std::pair<size_t, uint32_t>> frames;  // data offset, length
};

Stream Load(const std::string& path) {
  Stream s;
  std::ifstream in(path, std::ios::binary);
  s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  size_t pos = 0;
  while (pos + 5 <= s.bytes.size()) {
    const uint8_t* p = s.bytes.data() + pos;
    if (p[0] == 0x0B && p[1] == 0x77 && (p[4] & 0xC0) == 0 && Ac3FrameWords48k(p[4] & 0x3F)) {
      const size_t bytes = 2 * Ac3FrameWords48k(p[4] & 0x3F);
      if (pos + bytes > s.bytes.size()) break;
      s.frames.emplace_back(pos + 5, static_cast<uint32_t>(bytes - 5));
      pos += bytes;
    } else {
      ++pos;
    }
  }
  return s;
}

void BM_Ac3DecodeStream(benchmark::State& state, std::string path) {
  const Stream s = Load(path);
  if (s.frames.empty()) {
    state.SkipWithError(("no AC-3 frames in " + path).c_str());
    return;
  }
  static Q24 left[AC3_FRAME_SAMPLES], right[AC3_FRAME_SAMPLES];
  Ac3Reset(false);
  int64_t frames = 0;
  for (auto _ : state) {
    for (const auto& [offset, length] : s.frames) {
      Ac3DecodeFrame(s.bytes.data() + offset, length, left, right);
      benchmark::DoNotOptimize(left[100]);
    }
    frames += static_cast<int64_t>(s.frames.size());
  }
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

const int registered = [] {
  const char* file = std::getenv("AC3_BENCH_FILE");
  const std::string path = file ? file : std::string(VOLTARK_SOURCE_DIR) + "/tests/fixtures/ac3/surround51_448k.ac3";
  benchmark::RegisterBenchmark("Ac3DecodeStream", BM_Ac3DecodeStream, path)->Unit(benchmark::kMillisecond);
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
