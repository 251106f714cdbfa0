#pragma once

#include "common/ComplexSample.h"
#include "common/Result.h"
#include "dsp/FilterObject.h"

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

// Moves a chosen frequency of an I/Q signal to 0 Hz with an oscillator and lowers
// the rate by a chain of decimate-by-2 stages (FilterObject) until it is a few times
// the wanted bandwidth. Each object owns its chain, so several may run at once.
//
// Set up by configure() (or setDataRate and SetFrequency in either order), then
// process() per block.
class DownconverterObject {
public:
    static constexpr int kMaxStages = 19;

    // Every field zero: no chain, rates 0, oscillator phasor 0 (the output is zero
    // until SetFrequency). The demodulator's downconverter starts this way.
    DownconverterObject();
    // Input rate 100000 Hz, bandwidth 10000 Hz, phasor 1, no chain, output rate 0.
    // The argument is not used.
    explicit DownconverterObject(int unused);

    DownconverterObject(const DownconverterObject&) = delete;
    DownconverterObject& operator=(const DownconverterObject&) = delete;

    // inRate: input rate, Hz (finite, > 0); bandwidth: the wanted bandwidth, Hz
    // (finite, >= 0); offsetHz: the frequency moved to 0 Hz, as SetFrequency takes
    // it (|offsetHz| <= inRate / 2). Builds the chain with empty histories and
    // tunes the oscillator, as a new object set up this way; outputRate() gives
    // the rate out. An error leaves the object as it was.
    Status configure(double inRate, double bandwidth, double offsetHz);

    // Empties the chain's histories and restarts the oscillator's phasor: the
    // stream starts again.
    void reset();

    // Builds the chain for an input rate (Hz, > 0) and a wanted bandwidth (Hz) and
    // returns the output rate (Hz): the input rate halved once per stage. Stages are
    // added while the rate is above 7900 Hz and above 5.988 times the bandwidth (at
    // most kMaxStages). The same rate and bandwidth again keep the chain and its
    // history. The first call always builds; a new input rate retunes the
    // oscillator to the offset last given.
    double setDataRate(double inRate, double desiredMaxOutputBandwidth);

    // Tunes the oscillator to an offset in Hz (any sign, |hz| below half the input
    // rate to be meaningful): the component at -hz of re + j*im moves to 0 Hz, which
    // with the readers' layout (im holds the in-phase value) is the component at +hz
    // of the recording. The phasor restarts at 1. Before any rate is set the offset
    // is stored but the oscillator stays at 0 Hz until a rate is set.
    void SetFrequency(double hz);

    // Mixes and decimates the samples of `in` at the input rate (any length:
    // pieces give the output of one long block, up to rounding). Writes the outputs
    // at the output rate to out and returns their count; out needs room for
    // in.size() samples (fewer are taken when it has less). out may begin at in
    // (the block is then converted in place); in is not changed otherwise. The
    // oscillator's magnitude settles at sqrt(0.95) after ringing (1, 0.95, 0.995,
    // 0.955, ...) from each tuning.
    size_t process(std::span<const ComplexSample> in, std::span<ComplexSample> out);
    // n (>= 0) samples; out needs room for n.
    int ProcessDataLength(int n, const ComplexSample* in, ComplexSample* out);

    // Releases every stage of the chain.
    void DeleteFilters();

    double inRate() const { return m_InRate; }
    double outputRate() const { return m_OutputRate; }
    double maxBandwidth() const { return m_MaxBW; }
    double ncoFrequency() const { return m_NcoFreq; }
    int numStages() const { return numStages_; }
    const FilterObject& stage(int index) const { return *chain_[index]; } // 0 <= index < numStages()

private:
    // The oscillator runs on parallel lanes (sample k of a run on lane k mod kLanes),
    // each stepping by the rotation over kLanes samples; a multiple of 2.
    static constexpr int kLanes = 4;
    // The phasor's magnitude rings for a few hundred samples after tuning; those
    // samples run the exact per-sample recursion, the rest the lanes.
    static constexpr int kSettleSamples = 512;
    // Blocks are mixed and decimated in pieces of this many samples so that the
    // piece stays in the first-level cache through all the stages.
    static constexpr int kPieceLength = 1024;

    void MixPiece(int n, const ComplexSample* in, ComplexSample* out);
    void PrepareLaneSteps();
    void buildChain();

    double m_InRate = 0.0;
    double m_OutputRate = 0.0;
    double m_MaxBW = 0.0;
    double m_CW_Offset = 0.0;
    double m_NcoFreq = 0.0;
    double m_NcoInc = 0.0;
    double m_OscCos = 0.0;
    double m_OscSin = 0.0;
    ComplexSample m_Osc1;

    std::array<std::unique_ptr<FilterObject>, kMaxStages> chain_;
    int numStages_ = 0;
    bool chainBuilt_ = false;
    int settleRemaining_ = 0;
    std::array<ComplexSample, kLanes> laneSteps_; // rotation over 1 ... kLanes samples
    std::vector<ComplexSample> piece_;
};
