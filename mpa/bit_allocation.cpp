#include "mpa/bit_allocation.h"

#include <cstdint>

#include "common/vector_paths.h"
#include "mpa/level_lanes.h"

namespace {

constexpr int ENTRIES = 2 * SBLIMIT;  // left subbands 0..26, then right
constexpr int PADDED = 56;            // whole vectors for the search

// An entry's place in the search: its key above its number, so that the
// smallest value names the first entry with the smallest key in one pass
// (a search for the smallest key and then for its first entry took two).
// A closed entry's key is 0x7FFFFFFF: like an entry whose MNR is
// 0x7FFFFFFF it can never be strictly below the search's start value.
constexpr int64_t Ranked(int32_t key, int e) { return static_cast<int64_t>(key) * 256 + e; }

constexpr int VECTORS = PADDED / LANES_PER_VECTOR;

// The places of all entries stay in vector registers through the search:
// stored one at a time into memory and read back as vectors, each search
// waited for the store.
struct Places {
  Int64x8 v[VECTORS];
};

LANES_INLINE Int64x8 Smaller(Int64x8 a, Int64x8 b) { return a < b ? a : b; }

// The first entry with the smallest key, or -1 when every key is
// 0x7FFFFFFF.
LANES_INLINE int FirstSmallest(const Places& places) {
  Int64x8 m = places.v[0];
  for (int i = 1; i < VECTORS; i++) m = Smaller(m, places.v[i]);
  m = Smaller(m, __builtin_shufflevector(m, m, 4, 5, 6, 7, 0, 1, 2, 3));
  m = Smaller(m, __builtin_shufflevector(m, m, 2, 3, 0, 1, 6, 7, 4, 5));
  m = Smaller(m, __builtin_shufflevector(m, m, 1, 0, 3, 2, 5, 4, 7, 6));
  int64_t smallest = m[0];
  if (smallest >= Ranked(INT32_MAX, 0)) return -1;
  return static_cast<int>(smallest & 0xFF);
}

LANES_INLINE void SetPlace(Places& places, int e, int64_t place) {
  const Int64x8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  const Int64x8 value = {place, place, place, place, place, place, place, place};
  for (int i = 0; i < VECTORS; i++) places.v[i] = lane + LANES_PER_VECTOR * i == e ? value : places.v[i];
}

// What the next step of an entry at its allocation would cost and the
// entry's place once it has taken it, worked out ahead: a search's winner
// then takes its new place at once, without waiting for the tables.
struct NextStep {
  int cost[ENTRIES];
  int64_t place[ENTRIES];
};

void PrepareStep(NextStep& next, const Layer2Frame& frame, const uint8_t* alloc, int e) {
  int ch = e / SBLIMIT;
  int sb = e % SBLIMIT;
  int current = alloc[e];
  int c = AllocClass[sb][current + 1];
  next.cost[e] = current == 0 ? ClassBits[c] + 6 * ScfCount[frame.scfsi[ch][sb]] + 2
                              : ClassBits[c] - ClassBits[AllocClass[sb][current]];
  // Once at its last step the entry is closed.
  next.place[e] = Ranked(current + 1 < MaxAlloc[sb] ? SatSub(SnrTable[c], frame.SMR[ch][sb]) : INT32_MAX, e);
}

}  // namespace

VECTOR_PATH_BODY int AllocateBitsBody(Layer2Frame& frame, int bitsAvailable) {
  int bitsLeft = bitsAvailable;
  // key: the entry's MNR while it is open to the search.
  Places places;
  uint8_t alloc[ENTRIES] = {};
  NextStep next;
  for (int i = 0; i < VECTORS; i++) {
    for (int l = 0; l < LANES_PER_VECTOR; l++) {
      int e = LANES_PER_VECTOR * i + l;
      places.v[i][l] = e < ENTRIES ? Ranked(SatSub(0, frame.SMR[e / SBLIMIT][e % SBLIMIT]), e) : Ranked(INT32_MAX, e);
    }
  }
  for (int e = 0; e < ENTRIES; e++) PrepareStep(next, frame, alloc, e);
  // Strictly smaller wins: ties go left before right, low before high. An
  // entry whose step no longer fits is closed.
  for (int best; (best = FirstSmallest(places)) >= 0;) {
    int cost = next.cost[best];
    bool fits = cost < bitsLeft;
    SetPlace(places, best, fits ? next.place[best] : Ranked(INT32_MAX, best));
    if (!fits) continue;
    bitsLeft -= cost;
    alloc[best]++;
    if (alloc[best] < MaxAlloc[best % SBLIMIT]) PrepareStep(next, frame, alloc, best);
  }
  for (int e = 0; e < ENTRIES; e++) frame.alloc[e / SBLIMIT][e % SBLIMIT] = alloc[e];
  return bitsLeft;
}
VECTOR_PATH_VARIANTS(int, AllocateBits, (Layer2Frame & frame, int bitsAvailable), (frame, bitsAvailable))
