#include "dsp/FirObject.h"

#include "common/CNumberFormat.h"
#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>

namespace {

// Zeroth-order modified Bessel function of the first kind, by its power series.
double BesselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    double k = 1.0;
    do {
        const double factor = (x / 2.0) / k;
        term *= factor * factor;
        sum += term;
        k += 1.0;
    } while (term >= 1e-9 * sum);
    return sum;
}

// Output t of a chunk is the line from t on (its oldest input first) times the
// reversed taps. Each lane of the accumulators is one output, summed in tap order,
// so a group's outputs are the same whichever group they fall in. The last group
// may run past n: its extra lanes read the line's spare end and are not stored.
template <typename Vec, int Group>
[[gnu::always_inline]] inline void FilterGroups(int taps, const double* reversed, const double* line, int n,
                                                double* out)
{
    constexpr int width = sizeof(Vec) / sizeof(double);
    constexpr int vectors = Group / width;
    for (int t = 0; t < n; t += Group) {
        Vec acc[vectors] = {};
        for (int j = 0; j < taps; ++j) {
            const double tap = reversed[j];
#pragma GCC unroll 16
            for (int v = 0; v < vectors; ++v) {
                Vec x;
                std::memcpy(&x, line + t + j + v * width, sizeof x);
                acc[v] += x * tap;
            }
        }
        const int count = std::min(Group, n - t);
        if (count == Group) {
            std::memcpy(out + t, acc, sizeof acc);
        } else {
            double lanes[Group];
            std::memcpy(lanes, acc, sizeof acc);
            std::memcpy(out + t, lanes, count * sizeof(double));
        }
    }
}

void FilterPortable(int taps, const double* reversed, const double* line, int n, double* out)
{
    FilterGroups<Double2, FirObject::kGroup / 2>(taps, reversed, line, n, out);
}

KORVEL_WIDE_TARGET void FilterWide(int taps, const double* reversed, const double* line, int n, double* out)
{
    FilterGroups<Double4, FirObject::kGroup>(taps, reversed, line, n, out);
}

} // namespace

double FirObject::kaiserBeta(double astop)
{
    if (astop < 20.96)
        return 0.0;
    if (astop >= 50.0)
        return 0.1102 * (astop - 8.71);
    return 0.5842 * std::pow(astop - 20.96, 0.4) + 0.07886 * (astop - 20.96);
}

Status FirObject::configure(double scale, double astop, double fpass, double fstop, double sampleRate)
{
    if (!(std::isfinite(scale) && std::isfinite(astop)))
        return Error(ErrorKind::InvalidArgument, "Low-pass gain and attenuation must be finite numbers.");
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0))
        return Error(ErrorKind::InvalidArgument,
                     "Low-pass sample rate must be above 0 Hz, not " + formatGeneral(sampleRate) + ".");
    if (!(fpass >= 0.0 && fpass < fstop && fstop <= sampleRate / 2.0))
        return Error(ErrorKind::InvalidArgument, "Low-pass edges " + formatGeneral(fpass) + " and "
                                                     + formatGeneral(fstop) + " Hz must rise within 0 to half of "
                                                     + formatGeneral(sampleRate) + " Hz.");
    design(scale, astop, fpass, fstop, sampleRate);
    return {};
}

int FirObject::InitLPFilterScale(double scale, double astop, double fpass, double fstop, double sampleRate)
{
    return design(scale, astop, fpass, fstop, sampleRate);
}

int FirObject::design(double scale, double astop, double fpass, double fstop, double sampleRate)
{
    const double beta = kaiserBeta(astop);
    const double fc = (fpass + fstop) / sampleRate;
    // Limited to [3, kMaxTaps] before the conversion: a zero or negative transition
    // width gives an infinite, huge negative or undefined count (an attenuation
    // below 8 dB turns a zero width into -inf).
    double count = (astop - 8.0) / (14.357078426905355 * (fstop - fpass) / sampleRate) + 1.0;
    if (!(count < kMaxTaps))
        count = kMaxTaps;
    const int taps = count < 3.0 ? 3 : static_cast<int>(count);

    const double i0Beta = BesselI0(beta);
    const double half = (taps - 1) / 2.0;
    for (int i = 0; i < taps; ++i) {
        const double m = i - half;
        const double ideal = m == 0.0 ? fc : std::sin(std::numbers::pi * fc * m) / (std::numbers::pi * m);
        const double edge = 2.0 * m / (taps - 1);
        const double window = BesselI0(beta * std::sqrt(1.0 - edge * edge)) / i0Beta;
        m_Taps[i] = ideal * scale * window;
    }
    for (int i = 0; i < taps; ++i)
        m_Reversed[i] = m_Taps[taps - 1 - i];
    m_NumTaps = taps;
    reset();
    return taps;
}

void FirObject::reset()
{
    std::fill(std::begin(m_Line), std::end(m_Line), 0.0);
}

void FirObject::ProcessFilterReal(int n, const double* in, double* out)
{
    if (n > 0)
        process({in, static_cast<size_t>(n)}, {out, static_cast<size_t>(n)});
}

size_t FirObject::process(std::span<const double> input, std::span<double> output)
{
    const size_t total = std::min(input.size(), output.size());
    const double* in = input.data();
    double* out = output.data();
    const int n = static_cast<int>(total);
    const int history = m_NumTaps - 1;
    const bool wide = WideVectorsAvailable();
    for (int done = 0; done < n;) {
        const int length = std::min(kChunk, n - done);
        // The inputs are copied before any output is written, so out may be in.
        std::memcpy(m_Line + history, in + done, length * sizeof(double));
        if (wide)
            FilterWide(m_NumTaps, m_Reversed, m_Line, length, out + done);
        else
            FilterPortable(m_NumTaps, m_Reversed, m_Line, length, out + done);
        std::memmove(m_Line, m_Line + length, history * sizeof(double));
        done += length;
    }
    return total;
}
