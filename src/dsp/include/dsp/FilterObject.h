#pragma once

#include "common/ComplexSample.h"
#include "common/Result.h"

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

// The kinds of decimate-by-2 stage (the numbers are the established type numbers).
enum class FilterKind {
    HalfBand = 1,      // half-band FIR with a given tap set (complex and real variants)
    HalfBand11Tap = 2, // the fixed 11-tap half-band
    Cic3 = 3,          // a third-order CIC
};

// One decimate-by-2 stage of a FilterKind.
// A stage is a streaming filter: its history carries across calls, so a signal
// gives the same output whether it arrives in one block or in pieces of any
// length. Types 1 and 2 emit one output for every input at an even position of
// the stream (counted from the stage's creation); the CIC emits one output per
// completed input pair and holds an unpaired last sample over to the next call.
// For even blocks on a fresh stage this is n/2 outputs per call.
//
// Every processing call returns the number of outputs written (at most half the
// inputs, rounded up) and accepts out == in: the stage then works in place. No
// call allocates. The pointer calls take a sample count n (any value; n <= 0
// does nothing and returns 0).
class FilterObject {
public:
    // A stage of kind HalfBand11Tap, to be configured.
    FilterObject();

    // A stage of the kind with zero history. A HalfBand stage needs taps: built
    // this way it produces nothing (its calls return 0).
    explicit FilterObject(FilterKind kind);

    // A HalfBand stage with `length` taps from coeff, as configure() takes them;
    // an unusable set is logged and makes a stage whose HalfBand calls return 0.
    FilterObject(FilterKind kind, int length, const double* coeff);

    FilterObject(const FilterObject&) = delete;
    FilterObject& operator=(const FilterObject&) = delete;

    // kind: the stage's kind; taps: for HalfBand only (empty for the others), a
    // symmetric half-band set of 4k+3 taps (HalfBandCoefficients.h), copied; only
    // the even taps and the centre are used. Empties the history. An error (taps
    // missing, unusable or given to another kind) leaves a stage whose calls
    // return 0.
    Status configure(FilterKind kind, std::span<const double> taps = {});
    // Empties the history: the stream starts again at an even position.
    void reset();

    // The stage's operation on the complex samples of `in`; out needs room for
    // (in.size() + 1) / 2 of them (fewer are taken when it has less).
    size_t process(std::span<const ComplexSample> in, std::span<ComplexSample> out);

    // The complex operation of the stage's kind.
    int ApplyFilterLength(int n, const ComplexSample* in, ComplexSample* out);

    // Type 1, complex samples.
    int CHalfBandDecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out);
    // Type 1, real samples. A stream of its own, apart from the complex one.
    int CHalfBandDecimateBy2LengthReal(int n, const double* in, double* out);
    // Type 2 (works on any stage, with the fixed taps and the stage's 11-tap history).
    int CHalfBand11TapDecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out);
    // Type 3 (works on any stage, with the stage's CIC history).
    int CCicN3DecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out);

    FilterKind kind() const { return filterType; }
    int firLength() const { return m_FirLength; }

private:
    bool HasHalfBandSet() const { return !evenHalfTaps_.empty(); }

    FilterKind filterType = FilterKind::HalfBand11Tap;
    bool usable_ = true; // false after a refused configure
    int m_FirLength = 0;
    std::unique_ptr<ComplexSample[]> m_pHBFirBuf; // the last L-1 inputs, then scratch
    double H0, H2, H4, H5;                        // distinct 11-tap taps; H6, H8, H10 mirror H4, H2, H0
    int lineLength_ = 0;                          // entries of m_pHBFirBuf and m_pHBFirRBuf
    ComplexSample d[10];                          // 11-tap history d0 ... d9, d9 the newest
    ComplexSample m_Xodd, m_Xeven;                // CIC: last and second-to-last input
    std::unique_ptr<double[]> m_pHBFirRBuf;       // as m_pHBFirBuf, for the real variant

    std::vector<double> evenHalfTaps_; // h[0], h[2], ... below the centre tap
    double centreTap_ = 0.0;
    bool complexNextIsOdd_ = false; // stream position of the next type-1 complex input
    bool realNextIsOdd_ = false;    // likewise for the real stream
    bool tap11NextIsOdd_ = false;   // likewise for the 11-tap stream
    bool cicHoldsSample_ = false;   // an unpaired CIC input waits in cicHeldSample_
    ComplexSample cicHeldSample_;
};
