#include "demod/MultiplexSpectrum.h"

#include <algorithm>
#include <cmath>

namespace {
// |X| of 0 would give -infinity; this floor is far below any real bin.
constexpr double kSmallestPower = 1e-300;
}

MultiplexSpectrum::MultiplexSpectrum()
    : buffer_(kTransformSize)
{
    mpxSpectrum.reserve(kColumns);
}

bool MultiplexSpectrum::update(const double* ring, int32_t ringSize, int32_t writePos)
{
    if (ringSize < kTransformSize || writePos < 0 || writePos >= ringSize)
        return false;
    if (mpxReadPos < 0 || mpxReadPos >= ringSize)
        mpxReadPos = 0;
    int32_t available = writePos - mpxReadPos;
    if (available < 0)
        available += ringSize;
    if (available < kTransformSize)
        return false;

    const int32_t first = std::min(kTransformSize, ringSize - mpxReadPos);
    for (int32_t i = 0; i < first; ++i)
        buffer_[i] = ComplexSample{ring[mpxReadPos + i], 0.0};
    for (int32_t i = first; i < kTransformSize; ++i)
        buffer_[i] = ComplexSample{ring[i - first], 0.0};
    mpxReadPos = (mpxReadPos + kTransformSize) % ringSize;

    transform_.FwdFFT(buffer_.data());
    mpxSpectrum.resize(kColumns); // within the reserved room
    for (int b = 0; b < kColumns; ++b) {
        double sum = 0.0;
        for (int k = b * kBinsPerColumn; k < (b + 1) * kBinsPerColumn; ++k) {
            const ComplexSample& x = buffer_[k];
            // 0.1 x ln|X| = 0.05 x ln|X|^2, without the square root.
            sum += 0.05 * std::log(std::max(x.im * x.im + x.re * x.re, kSmallestPower));
        }
        mpxSpectrum[b] = sum;
    }
    return true;
}
