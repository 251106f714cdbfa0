#pragma once

#include "common/ComplexSample.h"
#include "dsp/FilterObject.h"

#include <array>
#include <memory>
#include <vector>

// Moves a chosen frequency of an I/Q signal to 0 Hz with an oscillator and lowers
// the rate by a chain of decimate-by-2 stages (FilterObject) until it is a few times
// the wanted bandwidth. Each object owns its chain, so several may run at once.
//
// Calling order: setDataRate, then SetFrequency (the phase step depends on the
// input rate), then ProcessDataLength per block.
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

    // Builds the chain for an input rate (Hz, > 0) and a wanted bandwidth (Hz) and
    // returns the output rate (Hz): the input rate halved once per stage. Stages are
    // added while the rate is above 7900 Hz and above 5.988 times the bandwidth (at
    // most kMaxStages). The same rate and bandwidth again keep the chain and its
    // history. The first call always builds.
    double setDataRate(double inRate, double desiredMaxOutputBandwidth);

    // Tunes the oscillator to an offset in Hz (any sign, |hz| below half the input
    // rate to be meaningful): the component at -hz of re + j*im moves to 0 Hz, which
    // with the readers' layout (im holds the in-phase value) is the component at +hz
    // of the recording. The phasor restarts at 1. Before any rate is set the offset
    // is stored but the oscillator stays at 0 Hz.
    void SetFrequency(double hz);

    // Mixes and decimates n input samples at the input rate (n >= 0, any length:
    // pieces give the output of one long block, up to rounding). Writes the outputs at the
    // output rate to out and returns their count. out may equal in; in is not
    // changed otherwise. The oscillator's magnitude settles at sqrt(0.95) after
    // ringing (1, 0.95, 0.995, 0.955, ...) from each tuning.
    int ProcessDataLength(int n, const ComplexSample* in, ComplexSample* out);

    // Rebuilds the chain for the same rates with empty histories; nothing before it
    // reaches the output.
    void ClearHistory();

    // Releases every stage of the chain.
    void DeleteFilters();

    double InRate() const { return m_InRate; }
    double OutputRate() const { return m_OutputRate; }
    double MaxBW() const { return m_MaxBW; }
    double NcoFreq() const { return m_NcoFreq; }
    int NumStages() const { return numStages_; }
    const FilterObject& Stage(int index) const { return *chain_[index]; } // 0 <= index < NumStages()

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
