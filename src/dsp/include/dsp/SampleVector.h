#pragma once

#include "common/ComplexSample.h"

#include <cstring>

// A ComplexSample's two members in one SIMD register. The filters treat im and re
// alike (every tap multiplies both), so one vector operation does the work of two
// and the sample layout never has to be shuffled.
using Double2 = double __attribute__((vector_size(16)));

inline Double2 LoadSample(const ComplexSample* sample)
{
    Double2 v;
    std::memcpy(&v, sample, sizeof v);
    return v;
}

inline void StoreSample(ComplexSample* sample, Double2 v) { std::memcpy(static_cast<void*>(sample), &v, sizeof v); }

// Two samples side by side (moved with memcpy: passing it by value would depend on
// the instruction set). Where the machine has no 256-bit registers the compiler
// splits each operation in two.
using Double4 = double __attribute__((vector_size(32)));

// The hot loops come in two builds: a portable one on Double2, and one on Double4
// for x86-64 machines with AVX2, where a Double4 is one register (elsewhere Double4
// code is split poorly, so it only runs where such registers exist).
#if defined(__x86_64__) && defined(__GNUC__)
#define KORVEL_WIDE_TARGET __attribute__((target("avx2,fma")))
// The wide build without fused multiply-adds, for loops whose results must not
// depend on the build: its products and sums round as the portable build's.
#define KORVEL_WIDE_EXACT_TARGET __attribute__((target("avx2")))
#else
#define KORVEL_WIDE_TARGET
#define KORVEL_WIDE_EXACT_TARGET
#endif

// True when the wide build runs: the machine has it and it has not been switched off.
bool WideVectorsAvailable();

// Switches the wide build off or back on (process-wide; both builds give the same
// results up to rounding). For comparing the two builds.
void SetWideVectorsEnabled(bool enabled);
