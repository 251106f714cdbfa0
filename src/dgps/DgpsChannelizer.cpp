#include "dgps/DgpsChannelizer.h"

#include "dsp/FftwPlannerMutex.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

DgpsChannelizer::DgpsChannelizer(double sampleRate) : m_SampleRate(sampleRate)
{
    m_N = 128;
    while (sampleRate / m_N > 30.0)
        m_N *= 2;
    m_K = 1;
    while (m_K < m_N && sampleRate * m_K / m_N < 6000.0)
        m_K *= 2;
    m_K = std::max(m_K, 4);
    m_Buffer = fftwf_alloc_complex(m_N);
    m_Spectrum = fftwf_alloc_complex(m_N);
    std::memset(m_Buffer, 0, sizeof(fftwf_complex) * m_N);
    // A quarter transform of zeros first, so that decimated sample 0 is input sample 0.
    m_Fill = m_N / 4;
    fftwf_complex* scratch = fftwf_alloc_complex(m_K);
    {
        const std::lock_guard lock(FftwPlannerMutex());
        m_Forward = fftwf_plan_dft_1d(m_N, m_Buffer, m_Spectrum, FFTW_FORWARD, FFTW_ESTIMATE);
        m_Inverse = fftwf_plan_dft_1d(m_K, scratch, scratch, FFTW_BACKWARD, FFTW_ESTIMATE | FFTW_UNALIGNED);
    }
    fftwf_free(scratch);
}

DgpsChannelizer::~DgpsChannelizer()
{
    {
        const std::lock_guard lock(FftwPlannerMutex());
        fftwf_destroy_plan(m_Forward);
        fftwf_destroy_plan(m_Inverse);
    }
    fftwf_free(m_Buffer);
    fftwf_free(m_Spectrum);
}

DgpsChannelizer::Channel DgpsChannelizer::channel(double offsetHz, double passHz, double transitionHz) const
{
    const double binHz = m_SampleRate / m_N;
    Channel c;
    c.bin = static_cast<int>(std::lround(offsetHz / binHz));
    c.residualHz = offsetHz - c.bin * binHz;
    c.response.assign(m_K, 0.0f);
    for (int m = -m_K / 2; m < m_K / 2; ++m) {
        const double f = std::abs(m * binHz - c.residualHz);
        double h = 0.0;
        if (f <= passHz)
            h = 1.0;
        else if (f < passHz + transitionHz)
            h = 0.5 * (1.0 + std::cos(std::numbers::pi * (f - passHz) / transitionHz));
        // The unscaled inverse transform of the full band would gain N.
        c.response[(m + m_K) % m_K] = static_cast<float>(h / m_N);
    }
    return c;
}

void DgpsChannelizer::transform()
{
    fftwf_execute(m_Forward);
    ++m_Hops;
    std::memmove(m_Buffer, m_Buffer + m_N / 2, sizeof(fftwf_complex) * (m_N / 2));
    m_Fill = m_N / 2;
}

void DgpsChannelizer::extract(const Channel& channel, fftwf_complex* scratch, fftwf_complex* out) const
{
    // Bins bin - K/2 .. bin + K/2 - 1 of the spectrum, taken round its end.
    int from = ((channel.bin - m_K / 2) % m_N + m_N) % m_N;
    const float* h = channel.response.data();
    for (int m = 0; m < m_K; ++m) {
        const int slot = (m + m_K / 2) & (m_K - 1);
        scratch[slot][0] = m_Spectrum[from][0] * h[slot];
        scratch[slot][1] = m_Spectrum[from][1] * h[slot];
        if (++from == m_N)
            from = 0;
    }
    fftwf_execute_dft(m_Inverse, scratch, scratch);
    // Transform b starts at input b * N/2; moving the bin's frequency to zero
    // there rather than at input 0 leaves a phase of pi * bin * b.
    const float sign = ((static_cast<int64_t>(channel.bin) * (m_Hops - 1)) & 1) ? -1.0f : 1.0f;
    for (int t = 0; t < m_K / 2; ++t) {
        out[t][0] = sign * scratch[m_K / 4 + t][0];
        out[t][1] = sign * scratch[m_K / 4 + t][1];
    }
}
