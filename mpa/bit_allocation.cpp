#include "mpa/bit_allocation.h"

namespace {

enum AllocState : uint8_t { ALLOC_NONE = 0, ALLOC_OPEN = 1, ALLOC_CLOSED = 2 };

constexpr int ENTRIES = 2 * SBLIMIT;  // left subbands 0..26, then right
constexpr int LEAVES = 64;

// A tournament over the entries' keys: each inner node holds the winner of
// its two children, the smaller key and on a tie the lower entry, so the
// root is the entry a left-to-right search for a strictly smaller key
// would find. A closed entry's key is 0x7FFFFFFF: like an entry whose MNR
// is 0x7FFFFFFF it never wins against the search's start value.
struct Tournament {
  int32_t key[LEAVES];
  uint8_t node[2 * LEAVES];  // node[LEAVES + e] = e

  int Winner(int a, int b) const { return key[b] < key[a] ? b : a; }  // a < b

  void Build() {
    for (int e = 0; e < LEAVES; e++) node[LEAVES + e] = static_cast<uint8_t>(e);
    for (int n = LEAVES - 1; n >= 1; n--) node[n] = static_cast<uint8_t>(Winner(node[2 * n], node[2 * n + 1]));
  }
  void Update(int e, int32_t value) {
    key[e] = value;
    for (int n = (LEAVES + e) / 2; n >= 1; n /= 2) node[n] = static_cast<uint8_t>(Winner(node[2 * n], node[2 * n + 1]));
  }
  // The entry to serve next, or -1.
  int Best() const { return key[node[1]] == INT32_MAX ? -1 : node[1]; }
};

}  // namespace

int AllocateBits(Layer2Frame& frame, int bitsAvailable) {
  int bitsLeft = bitsAvailable;
  Tournament search;
  uint8_t state[ENTRIES];
  for (int e = 0; e < LEAVES; e++) search.key[e] = INT32_MAX;
  for (int e = 0; e < ENTRIES; e++) {
    int ch = e / SBLIMIT;
    int sb = e % SBLIMIT;
    frame.alloc[ch][sb] = 0;
    state[e] = ALLOC_NONE;
    search.key[e] = SatSub(0, frame.SMR[ch][sb]);
  }
  search.Build();
  // Smallest MNR first: ties go left before right, low before high.
  for (int best; (best = search.Best()) >= 0;) {
    int ch = best / SBLIMIT;
    int sb = best % SBLIMIT;
    int current = frame.alloc[ch][sb];
    int c = AllocClass[sb][current + 1];
    int cost = state[best] == ALLOC_NONE ? ClassBits[c] + 6 * ScfCount[frame.scfsi[ch][sb]] + 2
                                         : ClassBits[c] - ClassBits[AllocClass[sb][current]];
    if (cost >= bitsLeft) {
      state[best] = ALLOC_CLOSED;
      search.Update(best, INT32_MAX);
      continue;
    }
    bitsLeft -= cost;
    frame.alloc[ch][sb] = static_cast<uint8_t>(current + 1);
    state[best] = current + 1 < MaxAlloc[sb] ? ALLOC_OPEN : ALLOC_CLOSED;
    search.Update(best, state[best] == ALLOC_CLOSED ? INT32_MAX : SatSub(SnrTable[c], frame.SMR[ch][sb]));
  }
  return bitsLeft;
}
