#include "mpa/frame_writer.h"

#include <cstring>

#include "report/messages.h"
#include "report/string_table.h"
#include "mpa/bit_writer.h"
#include "mpa/layer2_encoder.h"

namespace {

void WriteScaleFactors(const Layer2Frame& frame, BitWriterState& w) {
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) {
      if (frame.alloc[ch][sb] == 0) continue;
      const uint8_t first = frame.scf[ch][0][sb];
      const uint8_t second = frame.scf[ch][1][sb];
      const uint8_t third = frame.scf[ch][2][sb];
      PutBitsTo(w, first, 6);
      switch (frame.scfsi[ch][sb]) {
        case 0:
          PutBitsTo(w, second, 6);
          PutBitsTo(w, third, 6);
          break;
        case 1:
        case 3:
          PutBitsTo(w, third, 6);
          break;
        default:  // 2: one index for all three parts
          break;
      }
    }
  }
}

// The subbands with bits, in the order of their samples' fields, with the
// width and grouping of their codes: looked up once instead of for each of
// the twelve triples.
struct CodedSubband {
  uint8_t ch;
  uint8_t sb;
  uint8_t bits;
  uint8_t group;  // levels of a grouped code, 0: three codes
};

void WriteSamples(const Layer2Frame& frame, BitWriterState& w) {
  CodedSubband coded[2 * SBLIMIT];
  int count = 0;
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) {
      int a = frame.alloc[ch][sb];
      if (a == 0) continue;
      int c = AllocClass[sb][a];
      coded[count++] = {static_cast<uint8_t>(ch), static_cast<uint8_t>(sb), ClassCodeBits[c], ClassGroup[c]};
    }
  }
  for (int t = 0; t < SUBBAND_SAMPLES; t += 3) {
    for (int i = 0; i < count; i++) {
      const CodedSubband& s = coded[i];
      uint32_t q0 = static_cast<uint32_t>(frame.SubbandSamples[s.ch][t][s.sb]);
      uint32_t q1 = static_cast<uint32_t>(frame.SubbandSamples[s.ch][t + 1][s.sb]);
      uint32_t q2 = static_cast<uint32_t>(frame.SubbandSamples[s.ch][t + 2][s.sb]);
      if (uint32_t n = s.group; n != 0) {
        // The earliest sample is the lowest digit.
        PutBitsTo(w, q0 + n * (q1 + n * q2), s.bits);
      } else {
        PutBitsTo(w, q0, s.bits);
        PutBitsTo(w, q1, s.bits);
        PutBitsTo(w, q2, s.bits);
      }
    }
  }
}

}  // namespace

bool WriteFrame(const Layer2Frame& frame, uint8_t* out, BitWriterState& writer) {
  std::memcpy(out, FRAME_HEADER, sizeof FRAME_HEADER);
  BitWriterStart(writer, out + sizeof FRAME_HEADER, out + MPA_FRAME_BYTES);
  // The writer in registers through the frame.
  BitWriterState w = writer;
  for (int sb = 0; sb < SBLIMIT; sb++) {
    PutBitsTo(w, frame.alloc[0][sb], NBal[sb]);
    PutBitsTo(w, frame.alloc[1][sb], NBal[sb]);
  }
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) {
      if (frame.alloc[ch][sb] != 0) PutBitsTo(w, frame.scfsi[ch][sb], 2);
    }
  }
  WriteScaleFactors(frame, w);
  WriteSamples(frame, w);
  writer = w;
  BitWriterFlush(writer);
  if (writer.overflow) {
    ShowError(IDS_MPEG_OVERFLOW);
    return false;
  }
  std::memset(writer.BitPtr, 0, static_cast<size_t>(writer.end - writer.BitPtr));
  return true;
}

bool WriteFrame(const Layer2Frame& frame, uint8_t* out) { return WriteFrame(frame, out, BitWriter); }
