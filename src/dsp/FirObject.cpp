#include "dsp/FirObject.h"

#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
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

} // namespace

double FirObject::KaiserBeta(double astop)
{
    if (astop < 20.96)
        return 0.0;
    if (astop >= 50.0)
        return 0.1102 * (astop - 8.71);
    return 0.5842 * std::pow(astop - 20.96, 0.4) + 0.07886 * (astop - 20.96);
}

int FirObject::InitLPFilterScale(double scale, double astop, double fpass, double fstop, double sampleRate)
{
    const double beta = KaiserBeta(astop);
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
        m_Coef[i] = ideal * scale * window;
        m_Coef[taps + i] = m_Coef[i];
    }
    m_NumTaps = taps;
    std::fill(m_rZBuf, m_rZBuf + kMaxTaps, 0.0);
    m_State = 0;
    return taps;
}

void FirObject::ProcessFilterReal(int n, const double* in, double* out)
{
    const int taps = m_NumTaps;
    const int pairs = taps / 2;
    int state = m_State;
    for (int t = 0; t < n; ++t) {
        m_rZBuf[state] = in[t];
        const double* coef = m_Coef + taps - state;
        // Two partial sums in one register: the products of even and odd line positions.
        Double2 acc = {0.0, 0.0};
        for (int i = 0; i < pairs; ++i) {
            Double2 line;
            Double2 tap;
            std::memcpy(&line, m_rZBuf + 2 * i, sizeof line);
            std::memcpy(&tap, coef + 2 * i, sizeof tap);
            acc += line * tap;
        }
        double y = acc[0] + acc[1];
        if (taps & 1)
            y += m_rZBuf[taps - 1] * coef[taps - 1];
        state = state == 0 ? taps - 1 : state - 1;
        out[t] = y;
    }
    m_State = state;
}
