#pragma once

#include "common/ComplexSample.h"

#include <vector>

// In-place double-precision complex transform of N points (a radix-4 kernel on
// its own tables), for filtering and measurement. Tables are made by the
// constructor; the transforms allocate nothing. One thread at a time uses an
// object.
class ComplexFft {
public:
    // size: transform length in complex points, clamped to [512, 16777216] and
    // rounded down to a power of two.
    explicit ComplexFft(int size);

    // In-place transforms of N samples, reading `im` as the real part and `re` as the
    // imaginary part. FwdFFT: X[k] = sum x[j] exp(+2 pi i jk/N); RevFFT: the same with
    // exp(-2 pi i jk/N). Unscaled: RevFFT(FwdFFT(x)) = N * x.
    void FwdFFT(ComplexSample* data);
    void RevFFT(ComplexSample* data);

    int fftSize() const { return m_FFTSize; }

    // The transform length used for `size`: clamped to [512, 16777216] and
    // rounded down to a power of two (so it stays inside an N-sample array).
    static int supportedSize(int size);
    // floor(log2(n)) for n >= 1.
    static int floorLog2(int n);

private:
    template <class Visit> void ForEachReversedPair(int log2Count, Visit visit) const;
    template <bool Conjugate> void Transform(ComplexSample* data);

    int m_FFTSize = 0;
    int log2N_ = 0;
    // Entry 0 = N/2, entry 1 = 1; from entry 2 on, the bit reversals of the numbers
    // below 2^revBits_, revBits_ = floor(log2(N) / 2) (about sqrt(N) entries).
    std::vector<int> m_pWorkArea;
    int revBits_ = 0;
    // N/4 twiddle factors exp(+2 pi i p / N) as (cos, sin) pairs, pairs in bit-reversed order.
    std::vector<double> m_pSinCosTbl;
};
