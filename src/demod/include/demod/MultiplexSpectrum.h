#pragma once

#include "common/ComplexSample.h"
#include "dsp/ComplexFft.h"

#include <cstdint>
#include <vector>

// The spectrum of the wide-FM multiplex for the multiplex view: whenever the
// demodulator's multiplex ring holds kTransformSize unread values, they are
// transformed at once and summed into kColumns columns of kBinsPerColumn bins,
// each bin adding 0.1 x ln|X|. At the 500 kHz multiplex rate a column is
// 190.7 Hz wide: the 19 kHz pilot lands in column 99.
//
// All memory is taken by the constructor; update() allocates nothing.
class MultiplexSpectrum {
public:
    static constexpr int kTransformSize = 524288;
    static constexpr int kColumns = 600;
    static constexpr int kBinsPerColumn = 200;

    MultiplexSpectrum();

    // ring: the multiplex ring (ringSize values, ringSize >= kTransformSize);
    // writePos: the writer's next position (0..ringSize-1). Consumes
    // kTransformSize values from the read position when that many are waiting
    // and returns true with a new spectrum; otherwise returns false and
    // consumes nothing.
    bool update(const double* ring, int32_t ringSize, int32_t writePos);

    // Forgets what waits in the ring: the next spectrum starts at `writePos`.
    void skipTo(int32_t writePos) { mpxReadPos = writePos; }

    // kColumns values; empty until the first spectrum.
    const std::vector<double>& spectrum() const { return mpxSpectrum; }

private:
    ComplexFft transform_{kTransformSize};
    std::vector<ComplexSample> buffer_;
    std::vector<double> mpxSpectrum;
    int32_t mpxReadPos = 0;
};
