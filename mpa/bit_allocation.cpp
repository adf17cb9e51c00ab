#include "mpa/bit_allocation.h"

namespace {

enum AllocState : uint8_t { ALLOC_NONE = 0, ALLOC_OPEN = 1, ALLOC_CLOSED = 2 };

constexpr int ENTRIES = 2 * SBLIMIT;  // left subbands 0..26, then right

}  // namespace

int AllocateBits(Layer2Frame& frame, int bitsAvailable) {
  int bitsLeft = bitsAvailable;
  LogQ24 mnr[ENTRIES];
  uint8_t state[ENTRIES];
  for (int e = 0; e < ENTRIES; e++) {
    int ch = e / SBLIMIT;
    int sb = e % SBLIMIT;
    frame.alloc[ch][sb] = 0;
    state[e] = ALLOC_NONE;
    mnr[e] = SatSub(0, frame.SMR[ch][sb]);
  }
  for (;;) {
    // Strictly smaller wins: ties go left before right, low before high.
    int best = -1;
    LogQ24 bestMnr = INT32_MAX;
    for (int e = 0; e < ENTRIES; e++) {
      if (state[e] != ALLOC_CLOSED && mnr[e] < bestMnr) {
        bestMnr = mnr[e];
        best = e;
      }
    }
    if (best < 0) break;
    int ch = best / SBLIMIT;
    int sb = best % SBLIMIT;
    int current = frame.alloc[ch][sb];
    int c = AllocClass[sb][current + 1];
    int cost = state[best] == ALLOC_NONE ? ClassBits[c] + 6 * ScfCount[frame.scfsi[ch][sb]] + 2
                                         : ClassBits[c] - ClassBits[AllocClass[sb][current]];
    if (cost >= bitsLeft) {
      state[best] = ALLOC_CLOSED;
      continue;
    }
    bitsLeft -= cost;
    frame.alloc[ch][sb] = static_cast<uint8_t>(current + 1);
    mnr[best] = SatSub(SnrTable[c], frame.SMR[ch][sb]);
    state[best] = current + 1 < MaxAlloc[sb] ? ALLOC_OPEN : ALLOC_CLOSED;
  }
  return bitsLeft;
}
