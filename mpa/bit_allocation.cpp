#include "mpa/bit_allocation.h"

#include <cstdint>

namespace {

enum AllocState : uint8_t { ALLOC_NONE = 0, ALLOC_OPEN = 1, ALLOC_CLOSED = 2 };

constexpr int ENTRIES = 2 * SBLIMIT;  // left subbands 0..26, then right
constexpr int LEAVES = 64;            // entries, padded to a power of two

// The search's keys in a knock-out tournament. Node n (1..63) holds the
// winner of its two children, the one with the smaller key and the left
// (lower) one on a tie; node 64 + e is entry e. So the root holds the first
// entry with the smallest key, and a changed key replays only the six
// matches above it instead of a search through every entry each step. A
// closed entry's key is 0x7FFFFFFF: like an entry whose MNR is 0x7FFFFFFF it
// can never be strictly below the search's start value.
struct Tournament {
  int32_t key[LEAVES];
  uint8_t winner[2 * LEAVES];

  uint8_t Match(int node) const {
    uint8_t left = winner[2 * node];
    uint8_t right = winner[2 * node + 1];
    return key[right] < key[left] ? right : left;
  }
  void Start() {
    for (int e = 0; e < LEAVES; e++) winner[LEAVES + e] = static_cast<uint8_t>(e);
    for (int node = LEAVES - 1; node >= 1; node--) winner[node] = Match(node);
  }
  void Set(int e, int32_t value) {
    key[e] = value;
    for (int node = (LEAVES + e) >> 1; node >= 1; node >>= 1) winner[node] = Match(node);
  }
  // The first entry with the smallest key, or -1 when every key is
  // 0x7FFFFFFF.
  int FirstSmallest() const { return key[winner[1]] == INT32_MAX ? -1 : winner[1]; }
};

}  // namespace

int AllocateBits(Layer2Frame& frame, int bitsAvailable) {
  int bitsLeft = bitsAvailable;
  // key: the entry's MNR while it is open to the search.
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
  search.Start();
  // Strictly smaller wins: ties go left before right, low before high.
  for (int best; (best = search.FirstSmallest()) >= 0;) {
    int ch = best / SBLIMIT;
    int sb = best % SBLIMIT;
    int current = frame.alloc[ch][sb];
    int c = AllocClass[sb][current + 1];
    int cost = state[best] == ALLOC_NONE ? ClassBits[c] + 6 * ScfCount[frame.scfsi[ch][sb]] + 2
                                         : ClassBits[c] - ClassBits[AllocClass[sb][current]];
    if (cost >= bitsLeft) {
      state[best] = ALLOC_CLOSED;
      search.Set(best, INT32_MAX);
      continue;
    }
    bitsLeft -= cost;
    frame.alloc[ch][sb] = static_cast<uint8_t>(current + 1);
    state[best] = current + 1 < MaxAlloc[sb] ? ALLOC_OPEN : ALLOC_CLOSED;
    search.Set(best, state[best] == ALLOC_CLOSED ? INT32_MAX : SatSub(SnrTable[c], frame.SMR[ch][sb]));
  }
  return bitsLeft;
}
