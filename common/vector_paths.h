// Hot loops built for more than one instruction set. Each such function is
// compiled once per path from one body, and one variable chooses the path at
// run time: the best the processor runs, unless a test selects one to check
// it against the plain path on the same input. The integer results are the
// same on every path.
#pragma once

#include <atomic>

enum class VectorPath { Plain, Avx2, Avx512 };

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VECTOR_PATHS_BUILT 1
#else
#define VECTOR_PATHS_BUILT 0
#endif

// The best path this processor runs (Avx512: the x86-64-v4 level).
inline VectorPath BestVectorPath() {
#if VECTOR_PATHS_BUILT
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
      __builtin_cpu_supports("bmi2"))
    return VectorPath::Avx512;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2"))
    return VectorPath::Avx2;
#endif
  return VectorPath::Plain;
}

// The path in use. A path the processor does not run must never be chosen.
inline std::atomic<VectorPath> VectorPathInUse{BestVectorPath()};

inline VectorPath CurrentVectorPath() { return VectorPathInUse.load(std::memory_order_relaxed); }

// The body of a function built per path: inlined into each variant, so that
// it is compiled for that variant's instruction set.
#define VECTOR_PATH_BODY static __attribute__((always_inline)) inline

// Defines `ret name params` from `name##Body`, one variant per path, and the
// dispatch by VectorPathInUse. args repeats the parameter names.
#if VECTOR_PATHS_BUILT
// The function `ret name params` that calls the variant of the path in use.
#define VECTOR_PATH_DISPATCH(ret, name, params, args) \
  ret name params {                                   \
    switch (CurrentVectorPath()) {                    \
      case VectorPath::Avx512:                        \
        return name##Avx512 args;                     \
      case VectorPath::Avx2:                          \
        return name##Avx2 args;                       \
      default:                                        \
        return name##Plain args;                      \
    }                                                 \
  }
// VECTOR_PATH_VARIANTS for a function whose AVX2 variant is written by
// hand (name##Avx2, defined before): the plain and x86-64-v4 variants come
// from name##Body.
#define VECTOR_PATH_VARIANTS_OWN_AVX2(ret, name, params, args)                                         \
  static ret name##Plain params { return name##Body args; }                                            \
  __attribute__((target("arch=x86-64-v4"))) static ret name##Avx512 params { return name##Body args; } \
  VECTOR_PATH_DISPATCH(ret, name, params, args)
#define VECTOR_PATH_VARIANTS(ret, name, params, args)                                               \
  __attribute__((target("avx2,fma,bmi2"))) static ret name##Avx2 params { return name##Body args; } \
  VECTOR_PATH_VARIANTS_OWN_AVX2(ret, name, params, args)
#else
#define VECTOR_PATH_VARIANTS(ret, name, params, args) \
  ret name params { return name##Body args; }
#define VECTOR_PATH_VARIANTS_OWN_AVX2(ret, name, params, args) VECTOR_PATH_VARIANTS(ret, name, params, args)
#endif
