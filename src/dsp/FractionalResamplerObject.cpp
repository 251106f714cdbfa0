#include "dsp/FractionalResamplerObject.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kKernelCentre = 140000;
constexpr int kKernelEntries = 2 * kKernelCentre + 1;
} // namespace

FractionalResamplerObject::FractionalResamplerObject(int maxInputLength)
    : m_pSinc(kKernelEntries), m_pInputBuf(std::max(maxInputLength, 1) + kTaps, 0.0)
{
    for (int i = 0; i < kKernelEntries; ++i) {
        if (i == kKernelCentre) {
            m_pSinc[i] = 1.0;
            continue;
        }
        const double x = (i - kKernelCentre) * 0.0003141592653589793;
        const double w = 0.35875 - 0.48829 * std::cos(2.243994752564138e-05 * i) +
                         0.14128 * std::cos(4.487989505128276e-05 * i) - 0.01168 * std::cos(6.731984257692414e-05 * i);
        m_pSinc[i] = w * std::sin(x) / x;
    }
}

int FractionalResamplerObject::ResampleShortLength(int n, double rate, const double* inBuf, int16_t* outBuf,
                                                   double gain)
{
    return Resample(n, rate, inBuf, [outBuf, gain](int index, double acc) {
        double v = acc * gain;
        if (v > 32767.0)
            v = 32767.0;
        if (v < -32767.0)
            v = -32767.0;
        outBuf[index] = v == v ? static_cast<int16_t>(v) : 0;
    });
}

int FractionalResamplerObject::ResampleLength(int n, double rate, const double* inBuf, double* outBuf)
{
    return Resample(n, rate, inBuf, [outBuf](int index, double acc) { outBuf[index] = acc; });
}

void FractionalResamplerObject::Reset()
{
    m_FloatTime = 0.0;
    std::fill(m_pInputBuf.begin(), m_pInputBuf.end(), 0.0);
}

template <typename Store>
int FractionalResamplerObject::Resample(int n, double rate, const double* inBuf, Store store)
{
    if (n <= 0 || !(rate > 0.0) || !std::isfinite(rate))
        return 0;
    // Positions count from the start of the whole call in every pass, so the passes
    // compute exactly what one pass over all n samples would.
    const int passLength = static_cast<int>(m_pInputBuf.size()) - kTaps;
    double t = m_FloatTime;
    int count = 0;
    for (int base = 0; base < n; base += passLength) {
        const int length = std::min(passLength, n - base);
        auto storeAfter = [&store, count](int index, double acc) { store(count + index, acc); };
        count += ResamplePass(base, length, t, rate, inBuf + base, storeAfter);
    }
    m_FloatTime = t - n;
    return count;
}

template <typename Store>
int FractionalResamplerObject::ResamplePass(int base, int n, double& t, double rate, const double* in, Store& store)
{
    double* buffer = m_pInputBuf.data();
    std::copy(in, in + n, buffer + kTaps);
    const double* kernel = m_pSinc.data();
    const int end = base + n;
    int count = 0;
    // Buffer entry k - base holds input k - 28 of the call, for k in (base, end + 27].
    for (; t < end; t += rate) {
        const int i = static_cast<int>(t);
        double acc = 0.0;
        for (int k = i + 1; k <= i + kTaps; ++k)
            acc += kernel[static_cast<int>((k - t) * 10000.0)] * buffer[k - base];
        store(count++, acc);
    }
    std::copy(buffer + n, buffer + n + kTaps, buffer);
    return count;
}
