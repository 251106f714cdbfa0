#include "dsp/AudioBandPass.h"

#include "common/CNumberFormat.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The Q of the three pole pairs of a sixth-order Butterworth filter.
constexpr double kQ[3] = {0.5176380902050415, 0.7071067811865476, 1.9318516525781366};

} // namespace

Status AudioBandPass::configure(double lowHz, double highHz, double sampleRate)
{
    // Written so that NaN fails every test.
    active_ = lowHz > 0.0 && highHz > lowHz && 2.0 * highHz < sampleRate && std::isfinite(sampleRate);
    reset();
    if (!active_)
        return Error(ErrorKind::InvalidArgument, "Audio band " + formatGeneral(lowHz) + " to " + formatGeneral(highHz)
                                                     + " Hz does not lie inside 0 to half of " + formatGeneral(sampleRate)
                                                     + " Hz.");
    for (int k = 0; k < kSections; ++k) {
        const bool highPass = k < 3;
        const double w0 = 2.0 * std::numbers::pi * (highPass ? lowHz : highHz) / sampleRate;
        const double cosine = std::cos(w0);
        const double alpha = std::sin(w0) / (2.0 * kQ[k % 3]);
        const double a0 = 1.0 + alpha;
        Section& s = sections_[static_cast<size_t>(k)];
        const double edge = highPass ? (1.0 + cosine) / 2.0 : (1.0 - cosine) / 2.0;
        s.b0 = edge / a0;
        s.b1 = (highPass ? -2.0 : 2.0) * edge / a0;
        s.b2 = edge / a0;
        s.a1 = -2.0 * cosine / a0;
        s.a2 = (1.0 - alpha) / a0;
    }
    return {};
}

void AudioBandPass::reset()
{
    for (Section& s : sections_)
        s.s1 = s.s2 = 0.0;
}

size_t AudioBandPass::process(std::span<const double> in, std::span<double> out)
{
    const size_t n = std::min(in.size(), out.size());
    if (!active_) {
        if (out.data() != in.data())
            std::copy_n(in.data(), n, out.data());
        return n;
    }
    for (size_t i = 0; i < n; ++i) {
        double x = in[i];
        for (Section& s : sections_) {
            const double y = s.b0 * x + s.s1;
            s.s1 = s.b1 * x - s.a1 * y + s.s2;
            s.s2 = s.b2 * x - s.a2 * y;
            x = y;
        }
        out[i] = x;
    }
    return n;
}
