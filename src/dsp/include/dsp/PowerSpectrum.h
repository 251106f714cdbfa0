#pragma once

#include "common/ComplexSample.h"

#include <fftw3.h>

// Power per bin of N complex samples, by a double-precision FFTW plan of its
// own. Bin k holds |sum x[j] exp(2 pi i jk/N)|^2 of x = im + j*re, the bins of
// ComplexFft::FwdFFT. Memory and plan are made by the constructor; compute()
// allocates nothing. One thread at a time uses an object.
class PowerSpectrum {
public:
    // size: N (>= 1). Throws std::bad_alloc when FFTW cannot make the plan.
    explicit PowerSpectrum(int size);
    ~PowerSpectrum();
    PowerSpectrum(const PowerSpectrum&) = delete;
    PowerSpectrum& operator=(const PowerSpectrum&) = delete;

    // N samples in, N powers out.
    void compute(const ComplexSample* in, double* power);

    int size() const { return size_; }

private:
    void release();

    int size_;
    fftw_complex* buffer_ = nullptr;
    fftw_plan plan_ = nullptr;
};
