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
