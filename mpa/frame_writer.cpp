#include "mpa/frame_writer.h"

#include <cstring>

#include "report/messages.h"
#include "report/string_table.h"
#include "mpa/bit_writer.h"
#include "mpa/layer2_encoder.h"

namespace {

void WriteScaleFactors(const Layer2Frame& frame) {
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) {
      if (frame.alloc[ch][sb] == 0) continue;
      const uint8_t first = frame.scf[ch][0][sb];
      const uint8_t second = frame.scf[ch][1][sb];
      const uint8_t third = frame.scf[ch][2][sb];
      PutBits(first, 6);
      switch (frame.scfsi[ch][sb]) {
        case 0:
          PutBits(second, 6);
          PutBits(third, 6);
          break;
        case 1:
        case 3:
          PutBits(third, 6);
          break;
        default:  // 2: one index for all three parts
          break;
      }
    }
  }
}

void WriteSamples(const Layer2Frame& frame) {
  for (int t = 0; t < SUBBAND_SAMPLES; t += 3) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      for (int ch = 0; ch < 2; ch++) {
        int a = frame.alloc[ch][sb];
        if (a == 0) continue;
        int c = AllocClass[sb][a];
        int bits = ClassCodeBits[c];
        uint32_t q0 = static_cast<uint32_t>(frame.SubbandSamples[ch][t][sb]);
        uint32_t q1 = static_cast<uint32_t>(frame.SubbandSamples[ch][t + 1][sb]);
        uint32_t q2 = static_cast<uint32_t>(frame.SubbandSamples[ch][t + 2][sb]);
        if (uint32_t n = ClassGroup[c]; n != 0) {
          // The earliest sample is the lowest digit.
          PutBits(q0 + n * (q1 + n * q2), bits);
        } else {
          PutBits(q0, bits);
          PutBits(q1, bits);
          PutBits(q2, bits);
        }
      }
    }
  }
}

}  // namespace

bool WriteFrame(const Layer2Frame& frame, uint8_t* out) {
  std::memcpy(out, FRAME_HEADER, sizeof FRAME_HEADER);
  BitWriterStart(out + sizeof FRAME_HEADER, out + MPA_FRAME_BYTES);
  for (int sb = 0; sb < SBLIMIT; sb++) {
    PutBits(frame.alloc[0][sb], NBal[sb]);
    PutBits(frame.alloc[1][sb], NBal[sb]);
  }
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) {
      if (frame.alloc[ch][sb] != 0) PutBits(frame.scfsi[ch][sb], 2);
    }
  }
  WriteScaleFactors(frame);
  WriteSamples(frame);
  BitWriterFlush();
  if (BitWriter.overflow) {
    ShowError(IDS_MPEG_OVERFLOW);
    return false;
  }
  std::memset(BitWriter.BitPtr, 0, static_cast<size_t>(BitWriter.end - BitWriter.BitPtr));
  return true;
}
