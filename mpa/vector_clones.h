// Hot loops of the encoder are compiled three times on x86-64: for the
// baseline, for AVX2 (whose 32 x 32 -> 64-bit multiplies vectorise the Q24
// products) and for AVX-512 (x86-64-v4); the loader picks the best one the
// processor runs. The integer
// results are the same either way. Sanitizer builds keep one version: the
// loader runs the resolvers before a sanitizer's runtime is up.
#pragma once

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define MPA_VECTOR_CLONES
#elif defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones) && !defined(__clang__)
#define MPA_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
#endif
#ifndef MPA_VECTOR_CLONES
#define MPA_VECTOR_CLONES
#endif

#include <cstdint>

// MulQ24 written so that it vectorises: only the low 32 bits of the shifted
// sum are kept, so a logical shift gives the same result as MulQ24's
// arithmetic one.
inline int32_t MulQ24Lanes(int32_t a, int32_t b) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(a) * b + 0x800000) >> 24));
}
