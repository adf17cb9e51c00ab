// mp2enc's WAV reader on arbitrary file bytes, and the samples it yields
// (full scale and beyond, NaN, infinities) through the Layer II encoder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mpa/layer2_encoder.h"
#include "tools/mp2enc/wav_reader.h"

namespace {

constexpr uint64_t MAX_FRAMES_ENCODED = 3;  // keeps one input fast

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzInit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  WavInfo info;
  std::string error;
  if (ReadWavHeader(file, info, error)) {
    std::vector<uint8_t> bytes(static_cast<size_t>(MPA_FRAME_SAMPLES) * info.blockAlign);
    static Q24 left[MPA_FRAME_SAMPLES];
    static Q24 right[MPA_FRAME_SAMPLES];
    uint8_t frame[MPA_FRAME_BYTES];
    uint64_t remaining = info.dataSize / info.blockAlign;
    for (uint64_t n = 0; n < MAX_FRAMES_ENCODED && remaining > 0; n++) {
      size_t count = remaining < MPA_FRAME_SAMPLES ? static_cast<size_t>(remaining) : MPA_FRAME_SAMPLES;
      size_t got = std::fread(bytes.data(), info.blockAlign, count, file);
      if (got == 0) break;
      WavToQ24(info, bytes.data(), got, left, right);
      for (size_t i = got; i < MPA_FRAME_SAMPLES; i++) left[i] = right[i] = 0;
      EncodeFrame(left, right, frame);
      remaining -= got;
    }
  }
  std::fclose(file);
  return 0;
}
