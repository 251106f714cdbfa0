#include "dsp/DeemphasisFilter.h"

#include <cmath>
#include <numbers>

void DeemphasisFilter::setUp(double tau, double sampleRate)
{
    reset();
    active_ = tau > 0.0 && sampleRate > 0.0;
    if (!active_) {
        b0_ = 1.0;
        b1_ = pole_ = 0.0;
        return;
    }
    pole_ = std::exp(-1.0 / (tau * sampleRate));
    const double atHalfRate = 1.0 / std::hypot(1.0, std::numbers::pi * sampleRate * tau);
    const double sum = 1.0 - pole_;              // b0 + b1: unit gain at DC
    const double difference = atHalfRate * (1.0 + pole_); // b0 - b1
    b0_ = 0.5 * (sum + difference);
    b1_ = 0.5 * (sum - difference);
}

void DeemphasisFilter::process(int n, const double* in, double* out)
{
    if (!active_) {
        for (int i = 0; i < n && out != in; ++i)
            out[i] = in[i];
        return;
    }
    double x1 = x1_, y1 = y1_;
    for (int i = 0; i < n; ++i) {
        const double x = in[i];
        y1 = b0_ * x + b1_ * x1 + pole_ * y1;
        x1 = x;
        out[i] = y1;
    }
    x1_ = x1;
    y1_ = y1;
}
