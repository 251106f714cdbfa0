#pragma once

// Common logarithms of a block of floats: the display levels, thousands of
// bins a transform, where a scalar library log per bin took most of a
// waterfall row's time. A polynomial on the mantissa with the exponent taken
// from the bits, 8 values at a time where the machine has AVX2, else 4.
//
// Positive normal values come within 2 units in the last place of the result
// (about 1e-7 of log10 units near 0, 4e-6 near 38); zero (-inf), negative
// values (NaN), denormals, infinity and NaN give what std::log10 gives. A
// value's logarithm depends neither on where it stands in the block nor on
// the block's length, so one value and a block of them agree exactly.
class FloatLog10 {
public:
    // count >= 0 values from in to out, each logarithm plus `offset` (a level
    // correction, added after the logarithm is rounded); out may be in.
    // Allocates nothing.
    static int process(int count, const float* in, float* out, float offset = 0.0f);
    static float of(float value, float offset = 0.0f);
};
