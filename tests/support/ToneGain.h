#pragma once

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace fixtures {

// A filter's gain in dB at f Hz: one second of a unit tone run through
// `filterInPlace` (called once with the samples), measured over its second
// half, past the filter's settling.
template <class FilterInPlace>
double toneGainDb(FilterInPlace&& filterInPlace, double f, double rate)
{
    const int n = static_cast<int>(rate);
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = std::sin(2.0 * std::numbers::pi * f * i / rate);
    filterInPlace(x);
    const int firstMeasured = n / 2;
    std::complex<double> sum;
    for (int i = firstMeasured; i < n; ++i)
        sum += x[i] * std::polar(1.0, -2.0 * std::numbers::pi * f * i / rate);
    return 20.0 * std::log10(2.0 * std::abs(sum) / (n - firstMeasured));
}

} // namespace fixtures
