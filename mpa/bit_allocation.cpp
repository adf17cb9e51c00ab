#include "mpa/bit_allocation.h"

#include <cstdint>

#include "common/vector_paths.h"
#include "mpa/vector_clones.h"

namespace {

enum AllocState : uint8_t { ALLOC_NONE = 0, ALLOC_OPEN = 1, ALLOC_CLOSED = 2 };

constexpr int ENTRIES = 2 * SBLIMIT;  // left subbands 0..26, then right
constexpr int PADDED = 56;            // whole vectors for the search

// An entry's place in the search: its key above its number, so that the
// smallest value names the first entry with the smallest key in one pass
// (a search for the smallest key and then for its first entry took two).
// A closed entry's key is 0x7FFFFFFF: like an entry whose MNR is
// 0x7FFFFFFF it can never be strictly below the search's start value.
constexpr int64_t Ranked(int32_t key, int e) { return static_cast<int64_t>(key) * 256 + e; }

// The first entry with the smallest key, or -1 when every key is
// 0x7FFFFFFF.
VECTOR_PATH_BODY int FirstSmallestBody(const int64_t* ranked) {
  int64_t smallest = INT64_MAX;
  for (int e = 0; e < PADDED; e++) smallest = ranked[e] < smallest ? ranked[e] : smallest;
  if (smallest >= Ranked(INT32_MAX, 0)) return -1;
  return static_cast<int>(smallest & 0xFF);
}
VECTOR_PATH_VARIANTS(int, FirstSmallest, (const int64_t* ranked), (ranked))

}  // namespace

int AllocateBits(Layer2Frame& frame, int bitsAvailable) {
  int bitsLeft = bitsAvailable;
  // key: the entry's MNR while it is open to the search.
  alignas(64) int64_t ranked[PADDED];
  uint8_t state[ENTRIES];
  for (int e = 0; e < PADDED; e++) ranked[e] = Ranked(INT32_MAX, e);
  for (int e = 0; e < ENTRIES; e++) {
    int ch = e / SBLIMIT;
    int sb = e % SBLIMIT;
    frame.alloc[ch][sb] = 0;
    state[e] = ALLOC_NONE;
    ranked[e] = Ranked(SatSub(0, frame.SMR[ch][sb]), e);
  }
  // Strictly smaller wins: ties go left before right, low before high.
  for (int best; (best = FirstSmallest(ranked)) >= 0;) {
    int ch = best / SBLIMIT;
    int sb = best % SBLIMIT;
    int current = frame.alloc[ch][sb];
    int c = AllocClass[sb][current + 1];
    int cost = state[best] == ALLOC_NONE ? ClassBits[c] + 6 * ScfCount[frame.scfsi[ch][sb]] + 2
                                         : ClassBits[c] - ClassBits[AllocClass[sb][current]];
    if (cost >= bitsLeft) {
      state[best] = ALLOC_CLOSED;
      ranked[best] = Ranked(INT32_MAX, best);
      continue;
    }
    bitsLeft -= cost;
    frame.alloc[ch][sb] = static_cast<uint8_t>(current + 1);
    state[best] = current + 1 < MaxAlloc[sb] ? ALLOC_OPEN : ALLOC_CLOSED;
    ranked[best] = Ranked(state[best] == ALLOC_CLOSED ? INT32_MAX : SatSub(SnrTable[c], frame.SMR[ch][sb]), best);
  }
  return bitsLeft;
}
