#pragma once

// Choosing a kernel by the processor at run time: the vector kernels are
// compiled with a target attribute beside the portable ones, and the
// processor is asked once which to use.

// GCC and Clang on x86 only, and not clang-cl: it accepts
// __builtin_cpu_supports but does not link the runtime that answers it.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && !defined(_MSC_VER)
#define LUMAVO_X86_DISPATCH 1
#endif

#ifdef LUMAVO_X86_DISPATCH

#include <immintrin.h>

// Compiles a function for AVX2 alone: integer kernels whose results must not
// change with fused multiply-adds.
#define LUMAVO_TARGET_AVX2 __attribute__((target("avx2")))
// Compiles a function for AVX2 with fused multiply-adds.
#define LUMAVO_TARGET_AVX2_FMA __attribute__((target("avx2,fma")))

namespace lumavo {

inline bool HasAvx2()
{
    return __builtin_cpu_supports("avx2");
}

inline bool HasAvx2Fma()
{
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

} // namespace lumavo

#endif
