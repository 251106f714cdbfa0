#pragma once

#include "common/ComplexSample.h"

#include <memory>
#include <vector>

// One decimate-by-2 stage. Three kinds:
//   1: half-band FIR with a given tap set (complex and real variants),
//   2: the fixed 11-tap half-band,
//   3: a third-order CIC.
// A stage is a streaming filter: its history carries across calls, so a signal
// gives the same output whether it arrives in one block or in pieces of any
// length. Types 1 and 2 emit one output for every input at an even position of
// the stream (counted from the stage's creation); the CIC emits one output per
// completed input pair and holds an unpaired last sample over to the next call.
// For even blocks on a fresh stage this is n/2 outputs per call.
//
// Every processing call takes a sample count n (any value; n <= 0 does nothing
// and returns 0), an input and an output array, returns the number of outputs
// written, and accepts out == in. No call allocates.
class FilterObject {
public:
    // A stage of type 2 or 3; history zero. A type-1 stage needs taps: built
    // this way it produces nothing (its calls return 0).
    explicit FilterObject(int type);

    // A type-1 stage: `length` taps forming a symmetric half-band set of 4k+3
    // taps (HalfBandCoefficients.h), copied. Only the even taps and the centre
    // are used. An unusable set (null, not symmetric, or a length not of that
    // form) is logged and makes a stage whose type-1 calls return 0.
    FilterObject(int type, int length, const double* coeff);

    FilterObject(const FilterObject&) = delete;
    FilterObject& operator=(const FilterObject&) = delete;

    // The complex operation of the stage's type; 0 for an unknown type.
    int ApplyFilterLength(int n, const ComplexSample* in, ComplexSample* out);

    // Type 1, complex samples.
    int CHalfBandDecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out);
    // Type 1, real samples. A stream of its own, apart from the complex one.
    int CHalfBandDecimateBy2LengthReal(int n, const double* in, double* out);
    // Type 2 (works on any stage, with the fixed taps and the stage's 11-tap history).
    int CHalfBand11TapDecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out);
    // Type 3 (works on any stage, with the stage's CIC history).
    int CCicN3DecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out);

    int FilterType() const { return filterType; }
    int FirLength() const { return m_FirLength; }

private:
    bool HasHalfBandSet() const { return !evenHalfTaps_.empty(); }

    int filterType;
    int m_FirLength = 0;
    std::unique_ptr<ComplexSample[]> m_pHBFirBuf; // the last L-1 inputs, then scratch
    double H0, H2, H4, H5;                        // distinct 11-tap taps; H6, H8, H10 mirror H4, H2, H0
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
