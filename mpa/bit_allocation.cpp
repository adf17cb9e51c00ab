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

typedef int64_t Int64x4 __attribute__((vector_size(32)));
constexpr int PLACE_LANES = 4;  // four to a 256-bit vector: AVX2 has no 64-bit minimum wider
constexpr int VECTORS = PADDED / PLACE_LANES;

// The places of all entries, kept in vector registers through the search:
// stored one at a time into memory and read back as vectors, each search
// waited for the store.
struct VectorPlaces {
  Int64x4 v[VECTORS];

  LANES_INLINE void Start(int e, int64_t place) { v[e / PLACE_LANES][e % PLACE_LANES] = place; }
  LANES_INLINE void Set(int e, int64_t place) {
    const Int64x4 lane = {0, 1, 2, 3};
    const Int64x4 value = {place, place, place, place};
    for (int i = 0; i < VECTORS; i++) v[i] = lane + PLACE_LANES * i == e ? value : v[i];
  }

  // The first entry with the smallest key, or -1 when every key is
  // 0x7FFFFFFF.
  LANES_INLINE int FirstSmallest() const {
    Int64x4 m = v[0];
    for (int i = 1; i < VECTORS; i++) m = m < v[i] ? m : v[i];
    Int64x4 half = __builtin_shufflevector(m, m, 2, 3, 0, 1);
    m = m < half ? m : half;
    Int64x4 quarter = __builtin_shufflevector(m, m, 1, 0, 3, 2);
    m = m < quarter ? m : quarter;
    return m[0] >= Ranked(INT32_MAX, 0) ? -1 : static_cast<int>(m[0] & 0xFF);
  }
};

// The same in memory, searched a place at a time: for the plain path, as
// SSE2 has no 64-bit comparison.
struct ScalarPlaces {
  int64_t v[PADDED];

  void Start(int e, int64_t place) { v[e] = place; }
  void Set(int e, int64_t place) { v[e] = place; }

  int FirstSmallest() const {
    int64_t smallest = INT64_MAX;
    for (int e = 0; e < PADDED; e++) smallest = v[e] < smallest ? v[e] : smallest;
    return smallest >= Ranked(INT32_MAX, 0) ? -1 : static_cast<int>(smallest & 0xFF);
  }
};

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

template <class Places>
LANES_INLINE int Allocate(Layer2Frame& frame, int bitsAvailable) {
  int bitsLeft = bitsAvailable;
  // key: the entry's MNR while it is open to the search.
  Places places;
  for (int e = 0; e < PADDED; e++)
    places.Start(e, e < ENTRIES ? Ranked(SatSub(0, frame.SMR[e / SBLIMIT][e % SBLIMIT]), e) : Ranked(INT32_MAX, e));
  uint8_t alloc[ENTRIES] = {};
  NextStep next;
  for (int e = 0; e < ENTRIES; e++) PrepareStep(next, frame, alloc, e);
  // Strictly smaller wins: ties go left before right, low before high. An
  // entry whose step no longer fits is closed.
  for (int best; (best = places.FirstSmallest()) >= 0;) {
    int cost = next.cost[best];
    bool fits = cost < bitsLeft;
    places.Set(best, fits ? next.place[best] : Ranked(INT32_MAX, best));
    if (!fits) continue;
    bitsLeft -= cost;
    alloc[best]++;
    if (alloc[best] < MaxAlloc[best % SBLIMIT]) PrepareStep(next, frame, alloc, best);
  }
  for (int e = 0; e < ENTRIES; e++) frame.alloc[e / SBLIMIT][e % SBLIMIT] = alloc[e];
  return bitsLeft;
}

VECTOR_PATH_BODY int AllocateOnVectorsBody(Layer2Frame& frame, int bitsAvailable) {
  return Allocate<VectorPlaces>(frame, bitsAvailable);
}
VECTOR_PATH_VARIANTS(int, AllocateOnVectors, (Layer2Frame & frame, int bitsAvailable), (frame, bitsAvailable))

}  // namespace

int AllocateBits(Layer2Frame& frame, int bitsAvailable) {
  if (CurrentVectorPath() == VectorPath::Plain) return Allocate<ScalarPlaces>(frame, bitsAvailable);
  return AllocateOnVectors(frame, bitsAvailable);
}
