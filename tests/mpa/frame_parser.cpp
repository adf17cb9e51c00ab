#include "tests/mpa/frame_parser.h"

#include "mpa/layer2_encoder.h"

namespace {

struct Reader {
  const uint8_t* data;
  int pos;  // bits
  bool overrun = false;
  uint32_t Get(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++, pos++) {
      if (pos >= MPA_FRAME_BYTES * 8) {
        overrun = true;
        return 0;
      }
      v = v << 1 | ((data[pos >> 3] >> (7 - (pos & 7))) & 1);
    }
    return v;
  }
};

}  // namespace

bool ParseFrame(const uint8_t* frame, ParsedFrame& p) {
  if (frame[0] != 0xFF || frame[1] != 0xFD || frame[2] != 0xE4 || frame[3] != 0x00) return false;
  Reader r{frame, 32};
  p = ParsedFrame{};
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) p.alloc[ch][sb] = static_cast<int>(r.Get(NBal[sb]));
  }
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) {
      if (p.alloc[ch][sb]) p.scfsi[ch][sb] = static_cast<int>(r.Get(2));
    }
  }
  for (int sb = 0; sb < SBLIMIT; sb++) {
    for (int ch = 0; ch < 2; ch++) {
      if (!p.alloc[ch][sb]) continue;
      int a = static_cast<int>(r.Get(6));
      int parts[3] = {a, a, a};
      switch (p.scfsi[ch][sb]) {
        case 0:
          parts[1] = static_cast<int>(r.Get(6));
          parts[2] = static_cast<int>(r.Get(6));
          break;
        case 1:
          parts[2] = static_cast<int>(r.Get(6));
          break;
        case 3:
          parts[1] = parts[2] = static_cast<int>(r.Get(6));
          break;
        default:
          break;
      }
      for (int part = 0; part < 3; part++) p.scf[ch][part][sb] = parts[part];
    }
  }
  p.codesInRange = true;
  for (int t = 0; t < 36; t += 3) {
    for (int sb = 0; sb < SBLIMIT; sb++) {
      for (int ch = 0; ch < 2; ch++) {
        if (!p.alloc[ch][sb]) continue;
        int c = AllocClass[sb][p.alloc[ch][sb]];
        uint32_t levels = ClassLevels[c];
        if (ClassGroup[c]) {
          uint32_t word = r.Get(ClassCodeBits[c]);
          for (int i = 0; i < 3; i++) {
            p.codes[ch][t + i][sb] = word % levels;
            word /= levels;
          }
          if (word != 0) p.codesInRange = false;
        } else {
          for (int i = 0; i < 3; i++) {
            p.codes[ch][t + i][sb] = r.Get(ClassCodeBits[c]);
            if (p.codes[ch][t + i][sb] >= levels) p.codesInRange = false;
          }
        }
      }
    }
  }
  p.bitsUsed = r.pos;
  return !r.overrun;
}
