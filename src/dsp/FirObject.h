#pragma once

// A direct-form real FIR filter of 3 to 125 taps with a Kaiser-window low-pass
// design. The delay line persists across calls, so consecutive blocks filter as one
// signal; each design clears it.
class FirObject {
public:
    static constexpr int kMaxTaps = 125;

    // One tap, all zero: filters to silence until designed.
    FirObject() = default;

    // Designs a low-pass and clears the delay line; returns the number of taps.
    //   scale: gain of the taps (the DC gain is close to it; taps are not normalised)
    //   astop: stop-band attenuation in dB (< 20.96 gives a rectangular window)
    //   fpass, fstop: pass and stop edges in Hz, 0 <= fpass < fstop <= sampleRate/2
    //   sampleRate: Hz, > 0
    // The tap count from the transition width is limited to [3, 125], so steep
    // designs lose attenuation instead of failing.
    int InitLPFilterScale(double scale, double astop, double fpass, double fstop, double sampleRate);

    // Filters n samples (n <= 0 does nothing); out may equal in.
    void ProcessFilterReal(int n, const double* in, double* out);

    int NumTaps() const { return m_NumTaps; }
    const double* Taps() const { return m_Coef + m_NumTaps; }

    // The Kaiser window's beta for a stop-band attenuation in dB.
    static double KaiserBeta(double astop);

private:
    int m_NumTaps = 1;
    int m_State = 0;                     // where the next input goes in m_rZBuf
    double m_Coef[2 * kMaxTaps] = {};    // the taps twice, so a circular line reads them as one run
    double m_rZBuf[kMaxTaps] = {};
};
