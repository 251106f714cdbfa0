#include "dsp/FractionalResamplerObject.h"

#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr int kTaps = FractionalResamplerObject::kTaps;
constexpr int kPhases = FractionalResamplerObject::kPhases;
constexpr int kRowLength = 2 * kTaps;

// The output at fraction `mu` between two table rows: the dot products of the
// inputs with a row's taps and with its steps, combined.
template <typename Vec>
[[gnu::always_inline]] inline double InterpolatedDot(const double* row, const double* x, double mu)
{
    constexpr int width = sizeof(Vec) / sizeof(double);
    Vec taps{};
    Vec steps{};
    for (int j = 0; j < kTaps; j += width) {
        Vec c;
        Vec d;
        Vec v;
        std::memcpy(&c, row + j, sizeof c);
        std::memcpy(&d, row + kTaps + j, sizeof d);
        std::memcpy(&v, x + j, sizeof v);
        taps += c * v;
        steps += d * v;
    }
    const Vec sum = taps + mu * steps;
    double acc = 0.0;
    for (int lane = 0; lane < width; ++lane)
        acc += sum[lane];
    return acc;
}

// Outputs from position t while it lies before `end`; buffer entry k - base
// holds input k - 28 of the call.
template <typename Vec, typename Store>
[[gnu::always_inline]] inline int PassLoop(const double* table, const double* buffer, int base, int end, double& t,
                                           double rate, Store& store)
{
    int count = 0;
    for (; t < end; t += rate) {
        const int i = static_cast<int>(t);
        const double position = (t - i) * kPhases;
        const int phase = static_cast<int>(position);
        const double mu = position - phase;
        store(count++, InterpolatedDot<Vec>(table + phase * kRowLength, buffer + (i + 1 - base), mu));
    }
    return count;
}

template <typename Store>
int PassPortable(const double* table, const double* buffer, int base, int end, double& t, double rate, Store& store)
{
    return PassLoop<Double2>(table, buffer, base, end, t, rate, store);
}

template <typename Store>
KORVEL_WIDE_TARGET int PassWide(const double* table, const double* buffer, int base, int end, double& t, double rate,
                                Store& store)
{
    return PassLoop<Double4>(table, buffer, base, end, t, rate, store);
}

} // namespace

double FractionalResamplerObject::Kernel(double x)
{
    // In the units of a table of 10000 points per input sample, centred at 140000.
    const double i = x * 10000.0;
    if (i == 140000.0)
        return 1.0;
    const double s = (i - 140000.0) * 0.0003141592653589793;
    const double w = 0.35875 - 0.48829 * std::cos(2.243994752564138e-05 * i) +
                     0.14128 * std::cos(4.487989505128276e-05 * i) - 0.01168 * std::cos(6.731984257692414e-05 * i);
    return w * std::sin(s) / s;
}

FractionalResamplerObject::FractionalResamplerObject(int maxInputLength)
    : m_pSinc(static_cast<size_t>(kPhases) * kRowLength), m_pInputBuf(std::max(maxInputLength, 1) + kTaps, 0.0)
{
    // Output at fraction f uses tap j (input i + 1 + j) at kernel position j + 1 - f.
    auto tap = [](int phase, int j) { return Kernel(j + 1 - static_cast<double>(phase) / kPhases); };
    for (int p = 0; p < kPhases; ++p) {
        double* row = m_pSinc.data() + static_cast<size_t>(p) * kRowLength;
        for (int j = 0; j < kTaps; ++j) {
            row[j] = tap(p, j);
            row[kTaps + j] = tap(p + 1, j) - row[j];
        }
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
        outBuf[index] = v == v ? static_cast<int16_t>(v < 0.0 ? v - 0.5 : v + 0.5) : 0;
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
    const int end = base + n;
    const int count = WideVectorsAvailable() ? PassWide(m_pSinc.data(), buffer, base, end, t, rate, store)
                                             : PassPortable(m_pSinc.data(), buffer, base, end, t, rate, store);
    std::copy(buffer + n, buffer + n + kTaps, buffer);
    return count;
}
