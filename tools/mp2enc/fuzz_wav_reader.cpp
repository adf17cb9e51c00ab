// libFuzzer harness of the WAV reader: any bytes as a file, header parsed
// and the samples converted as mp2enc does.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/mp2enc/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  WavInfo info;
  std::string error;
  if (ReadWavHeader(file, info, error)) {
    std::vector<uint8_t> bytes(64 * info.blockAlign);
    size_t count = std::fread(bytes.data(), info.blockAlign, 64, file);
    Q24 left[64];
    Q24 right[64];
    WavToQ24(info, bytes.data(), count, left, right);
  }
  std::fclose(file);
  return 0;
}
