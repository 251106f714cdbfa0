#pragma once

#include "common/ComplexSample.h"

#include <fftw3.h>

#include <cstdint>
#include <vector>

// Shared front end of a bank of channel decoders: one overlap-save transform
// of the whole band serves every channel, and each channel takes only the few
// bins around it, weighs them with its band-pass response and returns to the
// time domain with a short inverse transform, which decimates at the same time.
//
// Transform size N: the smallest power of two giving bins of at most 30 Hz
// (at least 128); hop N/2. Channel transform size K: the smallest power of two
// with an output rate sampleRate * K / N of at least 6000 S/s (at most N).
// Every hop yields K/2 decimated samples per channel; decimated sample T
// stands for input sample T * (N / K), with no delay (the responses are real,
// so the filters have zero phase), available a quarter transform later.
class DgpsChannelizer {
public:
    // One channel: `bin` is the bin nearest its frequency, `residualHz` what
    // remains of the offset in the decimated stream, `response` the K weights
    // in inverse-transform order.
    struct Channel {
        int bin = 0;
        double residualHz = 0.0;
        std::vector<float> response;
    };

    // sampleRate: S/s, 1000 .. 100,000,000.
    explicit DgpsChannelizer(double sampleRate);
    ~DgpsChannelizer();
    DgpsChannelizer(const DgpsChannelizer&) = delete;
    DgpsChannelizer& operator=(const DgpsChannelizer&) = delete;

    int transformSize() const { return m_N; }
    int channelSize() const { return m_K; }
    int decimation() const { return m_N / m_K; }
    int samplesPerHop() const { return m_K / 2; }
    double outputRate() const { return m_SampleRate / decimation(); }
    double sampleRate() const { return m_SampleRate; }

    // A channel centred offsetHz from the centre of the band in the frequency
    // sense of re + j*im (a signal f Hz above the receiver's centre frequency
    // lies at -f): flat within passHz of that centre, a raised-cosine edge
    // transitionHz wide, zero beyond.
    Channel channel(double offsetHz, double passHz, double transitionHz) const;

    // Takes n (>= 0) samples and calls onHop() after every completed
    // transform, while its spectrum is current.
    template <class OnHop>
    void ProcessData(int n, const ComplexSample* in, OnHop&& onHop)
    {
        for (int k = 0; k < n; ++k) {
            m_Buffer[m_Fill][0] = static_cast<float>(in[k].re);
            m_Buffer[m_Fill][1] = static_cast<float>(in[k].im);
            if (++m_Fill == m_N) {
                transform();
                onHop();
            }
        }
    }

    // The K/2 new decimated samples of `channel` from the current spectrum,
    // written to out[0 .. K/2); `scratch` and `out` hold K entries each
    // (fftwf_malloc'd). Safe to call from several threads with their own arrays.
    void extract(const Channel& channel, fftwf_complex* scratch, fftwf_complex* out) const;

    // Number of transforms done so far.
    int64_t hops() const { return m_Hops; }

private:
    void transform();

    double m_SampleRate;
    int m_N = 0;
    int m_K = 0;
    int m_Fill = 0;
    int64_t m_Hops = 0;
    fftwf_complex* m_Buffer = nullptr;
    fftwf_complex* m_Spectrum = nullptr;
    fftwf_plan m_Forward = nullptr;
    fftwf_plan m_Inverse = nullptr;
};
