#include "dsp/DownconverterObject.h"

#include "dsp/HalfBandCoefficients.h"
#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kLowestChainRate = 7900.0;
constexpr double kFinalRateFactor = 5.988023952095809;

// A stage is chosen by the ratio of the wanted bandwidth to its input rate: cheap
// stages at high rates, the long half-band sets only near the output rate.
struct StageChoice {
    double minRateFactor;
    int taps; // 0: CIC, 11: the fixed 11-tap half-band, else a half-band set
};

constexpr StageChoice kStageChoices[] = {
    {666.6666666666661, 0},  {39.999999999999964, 11}, {20.40816326530613, 15}, {13.888888888888888, 19},
    {10.989010989010985, 23}, {9.259259259259261, 27},  {8.19672131147541, 31},  {7.462686567164178, 35},
    {6.944444444444444, 39},  {6.5359477124183, 43},    {6.250000000000001, 47},
};

std::unique_ptr<FilterObject> StageForRate(double rate, double bandwidth)
{
    for (const StageChoice& choice : kStageChoices) {
        if (rate >= choice.minRateFactor * bandwidth) {
            if (choice.taps == 0)
                return std::make_unique<FilterObject>(3);
            if (choice.taps == 11)
                return std::make_unique<FilterObject>(2);
            return std::make_unique<FilterObject>(1, choice.taps, HalfBandCoefficients::TapsOfLength(choice.taps));
        }
    }
    return std::make_unique<FilterObject>(1, 51, HalfBandCoefficients::Taps51.data());
}

ComplexSample Multiply(const ComplexSample& a, const ComplexSample& b)
{
    ComplexSample product;
    product.re = a.re * b.re - a.im * b.im;
    product.im = a.re * b.im + a.im * b.re;
    return product;
}

} // namespace

DownconverterObject::DownconverterObject() : m_Piece(kPieceLength) { PrepareLaneSteps(); }

DownconverterObject::DownconverterObject(int) : DownconverterObject()
{
    m_InRate = 100000.0;
    m_MaxBW = 10000.0;
    m_Osc1.re = 1.0;
}

double DownconverterObject::setDataRate(double inRate, double desiredMaxOutputBandwidth)
{
    if (m_ChainBuilt && inRate == m_InRate && desiredMaxOutputBandwidth == m_MaxBW)
        return m_OutputRate;
    m_InRate = inRate;
    m_MaxBW = desiredMaxOutputBandwidth;
    DeleteFilters();
    double rate = inRate;
    while (rate > kLowestChainRate && rate > kFinalRateFactor * desiredMaxOutputBandwidth && m_NumStages < kMaxStages) {
        m_Chain[m_NumStages++] = StageForRate(rate, desiredMaxOutputBandwidth);
        rate /= 2.0;
    }
    m_OutputRate = rate;
    m_ChainBuilt = true;
    return rate;
}

void DownconverterObject::SetFrequency(double hz)
{
    m_NcoFreq = hz + m_CW_Offset;
    // Before any rate is known there is no meaningful step; stay at 0 Hz rather than
    // turn the whole output into NaN.
    m_NcoInc = m_InRate > 0.0 ? 2.0 * std::numbers::pi * m_NcoFreq / m_InRate : 0.0;
    m_OscCos = std::cos(m_NcoInc);
    m_OscSin = std::sin(m_NcoInc);
    m_Osc1 = ComplexSample{};
    m_Osc1.re = 1.0;
    m_SettleRemaining = kSettleSamples;
    PrepareLaneSteps();
}

void DownconverterObject::PrepareLaneSteps()
{
    ComplexSample rotation;
    rotation.re = m_OscCos;
    rotation.im = m_OscSin;
    m_LaneSteps[0] = rotation;
    for (int j = 1; j < kLanes; ++j)
        m_LaneSteps[j] = Multiply(m_LaneSteps[j - 1], rotation);
}

int DownconverterObject::ProcessDataLength(int n, const ComplexSample* in, ComplexSample* out)
{
    if (n <= 0)
        return 0;
    ComplexSample* piece = m_Piece.data();
    int produced = 0;
    for (int pos = 0; pos < n;) {
        const int length = std::min(kPieceLength, n - pos);
        MixPiece(length, in + pos, piece);
        int m = length;
        for (int s = 0; s < m_NumStages; ++s)
            m = m_Chain[s]->ApplyFilterLength(m, piece, piece);
        // produced + m never exceeds pos + length, so with out == in this writes only
        // over input that has been consumed.
        std::copy(piece, piece + m, out + produced);
        produced += m;
        pos += length;
    }
    return produced;
}

void DownconverterObject::MixPiece(int n, const ComplexSample* in, ComplexSample* out)
{
    ComplexSample p = m_Osc1;
    int k = 0;
    for (; k < n && m_SettleRemaining > 0; ++k, --m_SettleRemaining) {
        ComplexSample r;
        r.re = m_OscCos * p.re - m_OscSin * p.im;
        r.im = m_OscSin * p.re + m_OscCos * p.im;
        const double gain = 1.95 - (p.re * p.re + p.im * p.im);
        p.re = gain * r.re;
        p.im = gain * r.im;
        out[k].re = r.re * in[k].re - r.im * in[k].im;
        out[k].im = r.im * in[k].re + r.re * in[k].im;
    }
    if (k == n) {
        m_Osc1 = p;
        return;
    }

    // Settled: the magnitude is at its fixed point, so the phasor of sample k + j is
    // R^(j+1) times the stored one. Lane j holds it as {lr, lr} and {li, -li}, which
    // mixes a sample {im, re} with two products and a swap.
    Double2 laneRe[kLanes];
    Double2 laneIm[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        const ComplexSample lane = Multiply(m_LaneSteps[j], p);
        laneRe[j] = Double2{lane.re, lane.re};
        laneIm[j] = Double2{lane.im, -lane.im};
    }
    const ComplexSample& groupStep = m_LaneSteps[kLanes - 1];
    const Double2 stepRe = {groupStep.re, groupStep.re};
    const Double2 stepIm = {groupStep.im, -groupStep.im};

    const auto mix = [](Double2 x, Double2 re, Double2 im) {
        return re * x + im * __builtin_shufflevector(x, x, 1, 0);
    };
    const int groups = (n - k - 1) / kLanes;
    for (int g = 0; g < groups; ++g, k += kLanes) {
        for (int j = 0; j < kLanes; ++j)
            StoreSample(out + k + j, mix(LoadSample(in + k + j), laneRe[j], laneIm[j]));
        for (int j = 0; j < kLanes; ++j) {
            const Double2 re = laneRe[j] * stepRe - laneIm[j] * stepIm;
            laneIm[j] = laneIm[j] * stepRe + laneRe[j] * stepIm;
            laneRe[j] = re;
        }
    }
    const int rest = n - k; // 1 ... kLanes
    for (int j = 0; j < rest; ++j)
        StoreSample(out + k + j, mix(LoadSample(in + k + j), laneRe[j], laneIm[j]));

    // The stored phasor follows the last one used, with the usual magnitude correction.
    const double lastRe = laneRe[rest - 1][0];
    const double lastIm = laneIm[rest - 1][0];
    const double gain = 1.95 - (lastRe * lastRe + lastIm * lastIm);
    m_Osc1.re = gain * lastRe;
    m_Osc1.im = gain * lastIm;
}

void DownconverterObject::DeleteFilters()
{
    for (int s = 0; s < m_NumStages; ++s)
        m_Chain[s].reset();
    m_NumStages = 0;
}
