// Ac3DecodeFrame on arbitrary bytes: the first input byte chooses dynamic
// range compression and whether the decoder is reset (otherwise the overlap
// rows and the dither register carry over between inputs, as they do from
// frame to frame); the rest is the frame from its first BSI byte on.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ac3/ac3_decoder.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzInit();
  Ac3Reset(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes input{data, size};
  uint8_t control = input.Byte();
  if (control & 1) Ac3Reset((control & 2) != 0);
  // The frame in a buffer of its own length, so that any read past it is
  // caught, as the caller's gathering buffer would not catch it.
  size_t length = input.size < AC3_MAX_FRAME_BYTES ? input.size : AC3_MAX_FRAME_BYTES;
  std::vector<uint8_t> frame(input.data, input.data + length);
  Q24 left[AC3_FRAME_SAMPLES];
  Q24 right[AC3_FRAME_SAMPLES];
  Ac3DecodeFrame(frame.data(), static_cast<uint32_t>(frame.size()), left, right);
  return 0;
}
