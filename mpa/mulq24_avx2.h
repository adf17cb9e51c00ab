// MulQ24Lanes on eight lanes with AVX2, which multiplies 32 x 32 -> 64 bits
// only in the even lanes (the low halves of the 64-bit lanes). The even
// lanes' rounded products are shifted down into the low halves, the odd
// lanes' up into the high halves: the other halves are left over, so that a
// sum of many products is kept in two accumulators and blended once.
#pragma once

#include <cstdint>

#include "common/vector_paths.h"

#if VECTOR_PATHS_BUILT
#include <immintrin.h>

#define AVX2_INLINE __attribute__((target("avx2,fma,bmi2"), always_inline)) inline

// Eight lanes from memory aligned to 32 bytes, and from anywhere.
AVX2_INLINE __m256i LoadAvx2(const int32_t* p) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(p)); }
AVX2_INLINE __m256i LoadUnalignedAvx2(const int32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
AVX2_INLINE void StoreAvx2(int32_t* p, __m256i v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }

// The eight lanes in reverse order.
AVX2_INLINE __m256i ReversedAvx2(__m256i v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// Even lanes of a and b: bits 24..55 of each rounded product in the low half.
AVX2_INLINE __m256i MulQ24EvenLanesAvx2(__m256i a, __m256i b) {
  return _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(a, b), _mm256_set1_epi64x(0x800000)), 24);
}

// The same for operands whose odd lanes were moved into the even ones: the
// result lands in the high half, the odd lane it belongs to.
AVX2_INLINE __m256i MulQ24MovedOddLanesAvx2(__m256i aMoved, __m256i bMoved) {
  return _mm256_slli_epi64(_mm256_add_epi64(_mm256_mul_epi32(aMoved, bMoved), _mm256_set1_epi64x(0x800000)), 8);
}

AVX2_INLINE __m256i OddLanesMovedAvx2(__m256i v) { return _mm256_srli_epi64(v, 32); }

// The even lanes of evens and the odd lanes of odds.
AVX2_INLINE __m256i BlendEvenOddAvx2(__m256i evens, __m256i odds) { return _mm256_blend_epi32(evens, odds, 0xAA); }

// Eight MulQ24Lanes at once.
AVX2_INLINE __m256i MulQ24Avx2(__m256i a, __m256i b) {
  return BlendEvenOddAvx2(MulQ24EvenLanesAvx2(a, b),
                          MulQ24MovedOddLanesAvx2(OddLanesMovedAvx2(a), OddLanesMovedAvx2(b)));
}

#endif
