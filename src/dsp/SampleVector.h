#pragma once

#include "dsp/ComplexSample.h"

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

// Two consecutive samples (moved with memcpy: passing it by value would depend on
// the instruction set). Where the machine has no 256-bit registers the compiler
// splits each operation in two.
using Double4 = double __attribute__((vector_size(32)));

// Hot loops are also built for x86-64 machines with AVX2 and picked at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KORVEL_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KORVEL_VECTOR_CLONES
#endif
