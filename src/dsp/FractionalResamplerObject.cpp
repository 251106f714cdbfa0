#include "dsp/FractionalResamplerObject.h"

#include "common/CNumberFormat.h"
#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

namespace {

constexpr int kTaps = FractionalResamplerObject::kTaps;
constexpr int kPhases = FractionalResamplerObject::kPhases;
constexpr int kRowLength = 2 * kTaps;
static_assert(kTaps % 4 == 0, "the rows of a cycle are whole Double4s");

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

// An output's products with one row, in the lanes of a vector.
template <typename Vec>
[[gnu::always_inline]] inline void RowProducts(const double* row, const double* x, Vec& acc)
{
    constexpr int width = sizeof(Vec) / sizeof(double);
    acc = Vec{};
#pragma GCC unroll 14
    for (int j = 0; j < kTaps; j += width) {
        Vec c;
        Vec v;
        std::memcpy(&c, row + j, sizeof c);
        std::memcpy(&v, x + j, sizeof v);
        acc += c * v;
    }
}

// Lane k of the result is the sum of the lanes of a_k.
// Passed by reference: by value, a Double4 outside the wide build changes the ABI.
[[gnu::always_inline]] inline void SumLanes(const Double4& a0, const Double4& a1, const Double4& a2,
                                            const Double4& a3, Double4& sums)
{
    const Double4 pairs01 = __builtin_shufflevector(a0, a1, 0, 4, 2, 6) + __builtin_shufflevector(a0, a1, 1, 5, 3, 7);
    const Double4 pairs23 = __builtin_shufflevector(a2, a3, 0, 4, 2, 6) + __builtin_shufflevector(a2, a3, 1, 5, 3, 7);
    sums = __builtin_shufflevector(pairs01, pairs23, 0, 1, 4, 5) + __builtin_shufflevector(pairs01, pairs23, 2, 3, 6, 7);
}

[[gnu::always_inline]] inline double SumLanes(const Double2& a) { return a[0] + a[1]; }

// Outputs of the cycle's rows from (base, row) while they lie before `end`; buffer
// entry k - first holds input k - 28 of the call. Four at a time, then one by one.
template <typename Vec, typename Store>
[[gnu::always_inline]] inline int CycleLoop(const double* rows, const int* offsets, int inputs, int length,
                                            const double* buffer, int first, int end, int& cycleBase,
                                            int& cycleRow, const Store store)
{
    const double* x = buffer + 1 - first;
    int base = cycleBase;
    int row = cycleRow;
    int count = 0;
    while (base + offsets[row + 3] < end) {
        const double* r = rows + row * kTaps;
        Vec a0, a1, a2, a3;
        RowProducts(r, x + base + offsets[row], a0);
        RowProducts(r + kTaps, x + base + offsets[row + 1], a1);
        RowProducts(r + 2 * kTaps, x + base + offsets[row + 2], a2);
        RowProducts(r + 3 * kTaps, x + base + offsets[row + 3], a3);
        if constexpr (sizeof(Vec) == sizeof(Double4)) {
            Double4 sums;
            SumLanes(a0, a1, a2, a3, sums);
            store.Four(count, sums);
        } else {
            store(count, SumLanes(a0));
            store(count + 1, SumLanes(a1));
            store(count + 2, SumLanes(a2));
            store(count + 3, SumLanes(a3));
        }
        count += 4;
        for (row += 4; row >= length; row -= length)
            base += inputs;
    }
    while (base + offsets[row] < end) {
        Vec a;
        RowProducts(rows + row * kTaps, x + base + offsets[row], a);
        double acc = 0.0;
        for (int lane = 0; lane < static_cast<int>(sizeof(Vec) / sizeof(double)); ++lane)
            acc += a[lane];
        store(count++, acc);
        if (++row == length) {
            row = 0;
            base += inputs;
        }
    }
    cycleBase = base;
    cycleRow = row;
    return count;
}

template <typename Store>
int CyclePortable(const double* rows, const int* offsets, int inputs, int length, const double* buffer, int first,
                  int end, int& base, int& row, const Store& store)
{
    return CycleLoop<Double2>(rows, offsets, inputs, length, buffer, first, end, base, row, store);
}

template <typename Store>
KORVEL_WIDE_TARGET int CycleWide(const double* rows, const int* offsets, int inputs, int length,
                                 const double* buffer, int first, int end, int& base, int& row, const Store& store)
{
    return CycleLoop<Double4>(rows, offsets, inputs, length, buffer, first, end, base, row, store);
}

// The 16-bit output: gain, limited to +-32767, rounded half away from zero; NaN
// gives 0.
struct ShortStore {
    int16_t* out;
    double gain;

    ShortStore After(int count) const { return {out + count, gain}; }

    [[gnu::always_inline]] void operator()(int index, double acc) const
    {
        double v = acc * gain;
        if (v > 32767.0)
            v = 32767.0;
        if (v < -32767.0)
            v = -32767.0;
        out[index] = v == v ? static_cast<int16_t>(v < 0.0 ? v - 0.5 : v + 0.5) : 0;
    }

    [[gnu::always_inline]] void Four(int index, const Double4& acc) const
    {
        using Int4 = int __attribute__((vector_size(16)));
        using Short4 = short __attribute__((vector_size(8)));
        const Double4 zero{};
        const Double4 top{32767.0, 32767.0, 32767.0, 32767.0};
        const Double4 half{0.5, 0.5, 0.5, 0.5};
        Double4 v = acc * gain;
        v = v == v ? v : zero;
        v = v > top ? top : v;
        v = v < -top ? -top : v;
        v += v < zero ? -half : half;
        const Short4 rounded = __builtin_convertvector(__builtin_convertvector(v, Int4), Short4);
        std::memcpy(out + index, &rounded, sizeof rounded);
    }
};

struct DoubleStore {
    double* out;

    DoubleStore After(int count) const { return {out + count}; }

    [[gnu::always_inline]] void operator()(int index, double acc) const { out[index] = acc; }
    [[gnu::always_inline]] void Four(int index, const Double4& acc) const { std::memcpy(out + index, &acc, sizeof acc); }
};

// The ratio p / q (q <= kMaxCycle) that `rate` holds to double precision, if any;
// the pipeline's rates are integers of Hz divided by the output rate, so one
// rounding or two away from such a ratio.
bool FindCycle(double rate, int& inputs, int& length)
{
    constexpr int kMaxInputs = 1 << 20;
    for (int q = 1; q <= FractionalResamplerObject::kMaxCycle; ++q) {
        const double p = std::round(rate * q);
        if (p > kMaxInputs)
            return false;
        if (p >= 1.0 && std::abs(rate * q - p) <= 1e-13 * p) {
            inputs = static_cast<int>(p);
            length = q;
            return true;
        }
    }
    return false;
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

double FractionalResamplerObject::kernel(double x)
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
    m_Cycle.rows.resize(static_cast<size_t>(kMaxCycle + 3) * kTaps / 4);
    m_Cycle.offsets.resize(kMaxCycle + 3);

    // Output at fraction f uses tap j (input i + 1 + j) at kernel position j + 1 - f.
    auto tap = [](int phase, int j) { return kernel(j + 1 - static_cast<double>(phase) / kPhases); };
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
    return Resample(n, rate, inBuf, ShortStore{outBuf, gain});
}

int FractionalResamplerObject::ResampleLength(int n, double rate, const double* inBuf, double* outBuf)
{
    return Resample(n, rate, inBuf, DoubleStore{outBuf});
}

Status FractionalResamplerObject::configure(int maxInputLength, double rate, double gain)
{
    if (maxInputLength < 1)
        return Error(ErrorKind::InvalidArgument,
                     "Resampler pass length must be 1 or more, not " + std::to_string(maxInputLength) + ".");
    if (!(std::isfinite(rate) && rate > 0.0))
        return Error(ErrorKind::InvalidArgument,
                     "Resampling ratio must be above 0, not " + formatGeneral(rate) + ".");
    if (!std::isfinite(gain))
        return Error(ErrorKind::InvalidArgument, "Resampler gain must be a finite number.");
    m_pInputBuf.assign(static_cast<size_t>(maxInputLength) + kTaps, 0.0);
    rate_ = rate;
    gain_ = gain;
    reset();
    m_CheckedRate = rate;
    if (!FindCycle(rate, m_CheckedInputs, m_CheckedLength))
        m_CheckedLength = 0;
    if (m_CheckedLength > 0 && (m_Cycle.rate != rate || m_Cycle.fraction != 0.0))
        BuildCycle(rate, m_CheckedInputs, m_CheckedLength, 0.0);
    return {};
}

int FractionalResamplerObject::inputsFitting(size_t inputs, size_t outRoom) const
{
    if (outRoom == 0)
        return 0;
    const double fit = std::floor(static_cast<double>(outRoom - 1) * rate_);
    return static_cast<int>(std::min(static_cast<double>(inputs), std::min(fit, 2147483647.0)));
}

size_t FractionalResamplerObject::process(std::span<const double> in, std::span<int16_t> out)
{
    const int n = inputsFitting(in.size(), out.size());
    return static_cast<size_t>(ResampleShortLength(n, rate_, in.data(), out.data(), gain_));
}

size_t FractionalResamplerObject::process(std::span<const double> in, std::span<double> out)
{
    const int n = inputsFitting(in.size(), out.size());
    return static_cast<size_t>(ResampleLength(n, rate_, in.data(), out.data()));
}

void FractionalResamplerObject::reset()
{
    m_FloatTime = 0.0;
    m_InCycle = false;
    std::fill(m_pInputBuf.begin(), m_pInputBuf.end(), 0.0);
}

void FractionalResamplerObject::BuildCycle(double rate, int inputs, int length, double fraction)
{
    for (int s = 0; s < length + 3; ++s) {
        const long long step = static_cast<long long>(s) * inputs;
        int offset = static_cast<int>(step / length);
        double f = fraction + static_cast<double>(step % length) / length;
        if (f >= 1.0) {
            f -= 1.0;
            ++offset;
        }
        m_Cycle.offsets[s] = offset;
        double row[kTaps];
        for (int j = 0; j < kTaps; ++j)
            row[j] = kernel(j + 1 - f);
        std::memcpy(static_cast<void*>(m_Cycle.rows.data() + static_cast<size_t>(s) * kTaps / 4), row, sizeof row);
    }
    m_Cycle.rate = rate;
    m_Cycle.fraction = fraction;
}

template <typename Store>
int FractionalResamplerObject::Resample(int n, double rate, const double* inBuf, Store store)
{
    if (n <= 0 || !(rate > 0.0) || !std::isfinite(rate))
        return 0;
    if (rate != m_CheckedRate) {
        m_CheckedRate = rate;
        if (!FindCycle(rate, m_CheckedInputs, m_CheckedLength))
            m_CheckedLength = 0;
    }
    if (m_CheckedLength > 0)
        return ResampleCycle(n, m_CheckedInputs, m_CheckedLength, rate, inBuf, store);
    m_InCycle = false;
    return ResampleInterpolated(n, rate, inBuf, store);
}

template <typename Store>
int FractionalResamplerObject::ResampleCycle(int n, int inputs, int length, double rate, const double* inBuf,
                                             Store store)
{
    if (!m_InCycle || rate != m_Cycle.rate) {
        const double start = std::floor(m_FloatTime);
        const double fraction = m_FloatTime - start;
        if (rate != m_Cycle.rate || fraction != m_Cycle.fraction)
            BuildCycle(rate, inputs, length, fraction);
        m_CycleBase = static_cast<int>(start);
        m_CycleRow = 0;
        m_InCycle = true;
    }
    const auto* rows = reinterpret_cast<const double*>(m_Cycle.rows.data());
    double* buffer = m_pInputBuf.data();
    const int passLength = static_cast<int>(m_pInputBuf.size()) - kTaps;
    const bool wide = WideVectorsAvailable();
    int count = 0;
    for (int first = 0; first < n; first += passLength) {
        const int end = std::min(n, first + passLength);
        std::copy(inBuf + first, inBuf + end, buffer + kTaps);
        const Store after = store.After(count);
        count += wide ? CycleWide(rows, m_Cycle.offsets.data(), inputs, length, buffer, first, end,
                                  m_CycleBase, m_CycleRow, after)
                      : CyclePortable(rows, m_Cycle.offsets.data(), inputs, length, buffer, first, end,
                                      m_CycleBase, m_CycleRow, after);
        std::copy(buffer + (end - first), buffer + (end - first) + kTaps, buffer);
    }
    m_CycleBase -= n;
    m_FloatTime = m_CycleBase + (m_Cycle.fraction + static_cast<double>(m_CycleRow) * inputs / length);
    return count;
}

template <typename Store>
int FractionalResamplerObject::ResampleInterpolated(int n, double rate, const double* inBuf, Store store)
{
    // Positions count from the start of the whole call in every pass, so the passes
    // compute exactly what one pass over all n samples would.
    const int passLength = static_cast<int>(m_pInputBuf.size()) - kTaps;
    double* buffer = m_pInputBuf.data();
    const bool wide = WideVectorsAvailable();
    double t = m_FloatTime;
    int count = 0;
    for (int base = 0; base < n; base += passLength) {
        const int length = std::min(passLength, n - base);
        std::copy(inBuf + base, inBuf + base + length, buffer + kTaps);
        Store storeAfter = store.After(count);
        const int end = base + length;
        count += wide ? PassWide(m_pSinc.data(), buffer, base, end, t, rate, storeAfter)
                      : PassPortable(m_pSinc.data(), buffer, base, end, t, rate, storeAfter);
        std::copy(buffer + length, buffer + length + kTaps, buffer);
    }
    m_FloatTime = t - n;
    return count;
}
