#include "extract/start_code_search.h"

#include "common/vector_paths.h"

#if VECTOR_PATHS_BUILT
#include <immintrin.h>
#endif

namespace {

// A byte above 1 at p[2] rules out a prefix starting at p, p + 1 or p + 2;
// a byte other than 0 at p[1], one starting at p or p + 1.
const uint8_t* FindPlain(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 3) {
    if (p[2] > 0x01) {
      p += 3;
    } else if (p[1] != 0x00) {
      p += 2;
    } else if (p[0] != 0x00 || p[2] != 0x01) {
      p += 1;
    } else {
      return p;
    }
  }
  return nullptr;
}

#if VECTOR_PATHS_BUILT
// The prefix tested at 32 starting positions at once, from three loads one
// byte apart; the last positions go to the plain search.
__attribute__((target("avx2,bmi2"))) const uint8_t* FindAvx2(const uint8_t* p, const uint8_t* end) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi8(1);
  while (end - p >= 34) {
    const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    const __m256i b2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
    const __m256i hit = _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(b0, zero), _mm256_cmpeq_epi8(b1, zero)),
                                         _mm256_cmpeq_epi8(b2, one));
    const uint32_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(hit));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 32;
  }
  return FindPlain(p, end);
}
#endif

}  // namespace

const uint8_t* FindStartCodePrefix(const uint8_t* p, const uint8_t* end) {
#if VECTOR_PATHS_BUILT
  if (CurrentVectorPath() != VectorPath::Plain) return FindAvx2(p, end);
#endif
  return FindPlain(p, end);
}
