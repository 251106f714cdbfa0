#include "dsp/DeemphasisFilter.h"

#include "common/CNumberFormat.h"

#include <algorithm>
#include <cmath>
#include <numbers>

Status DeemphasisFilter::configure(double tau, double sampleRate)
{
    reset();
    active_ = false;
    b0_ = 1.0;
    b1_ = pole_ = 0.0;
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0))
        return Error(ErrorKind::InvalidArgument,
                     "De-emphasis sample rate must be above 0 Hz, not " + formatGeneral(sampleRate) + ".");
    if (!(std::isfinite(tau) && tau >= 0.0))
        return Error(ErrorKind::InvalidArgument,
                     "De-emphasis time constant must be 0 s or more, not " + formatGeneral(tau) + ".");
    if (tau == 0.0)
        return {};
    active_ = true;
    pole_ = std::exp(-1.0 / (tau * sampleRate));
    const double atHalfRate = 1.0 / std::hypot(1.0, std::numbers::pi * sampleRate * tau);
    const double sum = 1.0 - pole_;              // b0 + b1: unit gain at DC
    const double difference = atHalfRate * (1.0 + pole_); // b0 - b1
    b0_ = 0.5 * (sum + difference);
    b1_ = 0.5 * (sum - difference);
    return {};
}

size_t DeemphasisFilter::process(std::span<const double> in, std::span<double> out)
{
    const size_t n = std::min(in.size(), out.size());
    if (!active_) {
        if (out.data() != in.data())
            std::copy_n(in.data(), n, out.data());
        return n;
    }
    double x1 = x1_, y1 = y1_;
    for (size_t i = 0; i < n; ++i) {
        const double x = in[i];
        y1 = b0_ * x + b1_ * x1 + pole_ * y1;
        x1 = x;
        out[i] = y1;
    }
    x1_ = x1;
    y1_ = y1;
    return n;
}
