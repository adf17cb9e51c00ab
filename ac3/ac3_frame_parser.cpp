// One sync frame: the bit stream information, then six audio blocks, each
// parsed and decoded before the next is read.
#include <cstring>

#include "ac3/ac3_bit_reader.h"
#include "ac3/ac3_decoder.h"
#include "ac3/ac3_side_info.h"
#include "ac3/ac3_stages.h"
#include "report/messages.h"

namespace {

bool DecodeBlock(Ac3FrameState& f, Q24* left, Q24* right) {
  bool newAllocation = false;
  if (unsigned error = Ac3ReadBlockSideInfo(f, &newAllocation)) {
    ShowVobDetailError(error);
    return false;
  }
  if (!Ac3DecodeBlockExponents(f)) return false;
  Ac3BlockBitAllocation(f, newAllocation);
  if (!Ac3ReadBlockMantissas(f)) return false;
  Ac3Decouple(f);
  Ac3Rematrix(f);
  Ac3BlockTransforms(f);
  Ac3Downmix(f, left, right);
  return true;
}

}  // namespace

unsigned Ac3DecodeFrame(Ac3DecoderState& s, const uint8_t* data, uint32_t length, Q24* left, Q24* right) {
  s.Ac3FrameCount += 1;
  Ac3BitReaderStart(s, data, length);
  for (auto& row : s.dithflagBitOffset)
    for (int32_t& offset : row) offset = -1;

  // About 23 KB; starting from zeros makes the values a corrupt stream
  // reuses without ever sending them well defined.
  Ac3FrameState f;
  std::memset(&f, 0, sizeof f);
  f.decoder = &s;
  Ac3ReadBsi(f);
  f.dynamicRangeGain = Q24_ONE;
  f.dynamicRangeGain2 = Q24_ONE;

  for (f.block = 0; f.block < 6; ++f.block, f.writeIndex += AC3_BLOCK_SAMPLES) {
    if (!DecodeBlock(f, left, right)) {
      std::memset(left, 0, sizeof(Q24) * AC3_FRAME_SAMPLES);
      std::memset(right, 0, sizeof(Q24) * AC3_FRAME_SAMPLES);
      return 0;
    }
  }
  return 6;
}

unsigned Ac3DecodeFrame(const uint8_t* data, uint32_t length, Q24* left, Q24* right) {
  return Ac3DecodeFrame(Ac3Decoder, data, length, left, right);
}
