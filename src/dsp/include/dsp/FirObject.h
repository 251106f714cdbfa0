#pragma once

#include "common/Result.h"

#include <cstddef>
#include <span>

// A direct-form real FIR filter of 3 to 125 taps with a Kaiser-window low-pass
// design. The delay line persists across calls, so consecutive blocks filter as one
// signal; each design clears it.
//
// Blocks are filtered in chunks of kChunk samples laid behind the last taps - 1
// inputs in one linear line, so neighbouring outputs are computed side by side in
// vector lanes; an output does not depend on how the signal was split into calls.
class FirObject {
public:
    static constexpr int kMaxTaps = 125;
    static constexpr int kChunk = 256;
    // Outputs are computed in groups of up to this many; the last group of a chunk
    // may read past the chunk's inputs into the line's spare end.
    static constexpr int kGroup = 32;

    // One tap, all zero: filters to silence until designed.
    FirObject() = default;

    // Designs a low-pass and clears the delay line.
    //   scale: gain of the taps (the DC gain is close to it; taps are not normalised)
    //   astop: stop-band attenuation in dB (< 20.96 gives a rectangular window)
    //   fpass, fstop: pass and stop edges in Hz, 0 <= fpass < fstop <= sampleRate/2
    //   sampleRate: Hz, > 0
    // All finite. The tap count from the transition width is limited to [3, 125],
    // so steep designs lose attenuation instead of failing. Values outside those
    // ranges are refused and leave the filter as it was.
    Status configure(double scale, double astop, double fpass, double fstop, double sampleRate);
    // The same design without the range checks (a value outside them gives some
    // filter of 3 to 125 taps); returns the number of taps.
    int InitLPFilterScale(double scale, double astop, double fpass, double fstop, double sampleRate);

    // Clears the delay line.
    void reset();

    // Filters min(in.size(), out.size()) samples and returns that count; out may
    // be in (the same samples, filtered in place).
    size_t process(std::span<const double> in, std::span<double> out);
    // n samples (n <= 0 does nothing); out may equal in.
    void ProcessFilterReal(int n, const double* in, double* out);

    int numTaps() const { return m_NumTaps; }
    const double* taps() const { return m_Taps; }

    // The Kaiser window's beta for a stop-band attenuation in dB.
    static double kaiserBeta(double astop);

private:
    int design(double scale, double astop, double fpass, double fstop, double sampleRate);

    int m_NumTaps = 1;
    double m_Taps[kMaxTaps] = {};
    double m_Reversed[kMaxTaps] = {}; // the taps last first, to run along the line
    // The last m_NumTaps - 1 inputs, oldest first, then the chunk being filtered.
    double m_Line[kMaxTaps - 1 + kChunk + kGroup] = {};
};
