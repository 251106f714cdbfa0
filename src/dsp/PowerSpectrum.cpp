#include "dsp/PowerSpectrum.h"

#include "dsp/FftwPlannerMutex.h"

#include <new>

PowerSpectrum::PowerSpectrum(int size) : size_(size < 1 ? 1 : size)
{
    buffer_ = fftw_alloc_complex(static_cast<size_t>(size_));
    if (buffer_) {
        std::lock_guard lock(FftwPlannerMutex());
        plan_ = fftw_plan_dft_1d(size_, buffer_, buffer_, FFTW_FORWARD, FFTW_ESTIMATE);
    }
    if (!plan_) {
        release();
        throw std::bad_alloc();
    }
}

PowerSpectrum::~PowerSpectrum() { release(); }

void PowerSpectrum::release()
{
    if (plan_) {
        std::lock_guard lock(FftwPlannerMutex());
        fftw_destroy_plan(plan_);
    }
    fftw_free(buffer_);
    plan_ = nullptr;
    buffer_ = nullptr;
}

void PowerSpectrum::compute(const ComplexSample* in, double* power)
{
    // re + j*im under the forward (negative) exponent is the conjugate of
    // im + j*re under the positive one, times j: the same magnitudes.
    for (int k = 0; k < size_; ++k) {
        buffer_[k][0] = in[k].re;
        buffer_[k][1] = in[k].im;
    }
    fftw_execute(plan_);
    for (int k = 0; k < size_; ++k)
        power[k] = buffer_[k][0] * buffer_[k][0] + buffer_[k][1] * buffer_[k][1];
}
