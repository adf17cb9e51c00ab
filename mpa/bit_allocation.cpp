#include "mpa/bit_allocation.h"

#include "common/vector_paths.h"
#include "mpa/vector_clones.h"

namespace {

enum AllocState : uint8_t { ALLOC_NONE = 0, ALLOC_OPEN = 1, ALLOC_CLOSED = 2 };

constexpr int ENTRIES = 2 * SBLIMIT;  // left subbands 0..26, then right
constexpr int PADDED = 56;            // whole vectors for the search

// The first entry with the smallest key, or -1 when every key is
// 0x7FFFFFFF. A closed entry's key is 0x7FFFFFFF: like an entry whose MNR
// is 0x7FFFFFFF it can never be strictly below the search's start value.
VECTOR_PATH_BODY int FirstSmallestBody(const int32_t* key) {
  int32_t smallest = INT32_MAX;
  for (int e = 0; e < PADDED; e++) smallest = key[e] < smallest ? key[e] : smallest;
  if (smallest == INT32_MAX) return -1;
  int e = 0;
  while (key[e] != smallest) e++;
  return e;
}
VECTOR_PATH_VARIANTS(int, FirstSmallest, (const int32_t* key), (key))

}  // namespace

int AllocateBits(Layer2Frame& frame, int bitsAvailable) {
  int bitsLeft = bitsAvailable;
  // key: the entry's MNR while it is open to the search.
  alignas(32) int32_t key[PADDED];
  uint8_t state[ENTRIES];
  for (int e = 0; e < PADDED; e++) key[e] = INT32_MAX;
  for (int e = 0; e < ENTRIES; e++) {
    int ch = e / SBLIMIT;
    int sb = e % SBLIMIT;
    frame.alloc[ch][sb] = 0;
    state[e] = ALLOC_NONE;
    key[e] = SatSub(0, frame.SMR[ch][sb]);
  }
  // Strictly smaller wins: ties go left before right, low before high.
  for (int best; (best = FirstSmallest(key)) >= 0;) {
    int ch = best / SBLIMIT;
    int sb = best % SBLIMIT;
    int current = frame.alloc[ch][sb];
    int c = AllocClass[sb][current + 1];
    int cost = state[best] == ALLOC_NONE ? ClassBits[c] + 6 * ScfCount[frame.scfsi[ch][sb]] + 2
                                         : ClassBits[c] - ClassBits[AllocClass[sb][current]];
    if (cost >= bitsLeft) {
      state[best] = ALLOC_CLOSED;
      key[best] = INT32_MAX;
      continue;
    }
    bitsLeft -= cost;
    frame.alloc[ch][sb] = static_cast<uint8_t>(current + 1);
    state[best] = current + 1 < MaxAlloc[sb] ? ALLOC_OPEN : ALLOC_CLOSED;
    key[best] = state[best] == ALLOC_CLOSED ? INT32_MAX : SatSub(SnrTable[c], frame.SMR[ch][sb]);
  }
  return bitsLeft;
}
