#pragma once

// One complex baseband sample in 16-bit sample units (full scale about +-32768).
// The member order is part of the sample layout: `im` holds the recording's
// in-phase value and comes first, `re` holds the quadrature value. The DSP
// chain treats re + j*im as the complex value. Never reinterpret this as
// std::complex or fftw_complex: their order is the other way round.
struct ComplexSample {
    double im = 0.0;
    double re = 0.0;
};

static_assert(sizeof(ComplexSample) == 16);
