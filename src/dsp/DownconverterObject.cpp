#include "dsp/DownconverterObject.h"

#include "common/CNumberFormat.h"
#include "dsp/HalfBandCoefficients.h"
#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <type_traits>

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
                return std::make_unique<FilterObject>(FilterKind::Cic3);
            if (choice.taps == 11)
                return std::make_unique<FilterObject>(FilterKind::HalfBand11Tap);
            return std::make_unique<FilterObject>(FilterKind::HalfBand, choice.taps, HalfBandCoefficients::TapsOfLength(choice.taps));
        }
    }
    return std::make_unique<FilterObject>(FilterKind::HalfBand, 51, HalfBandCoefficients::Taps51.data());
}

ComplexSample Multiply(const ComplexSample& a, const ComplexSample& b)
{
    ComplexSample product;
    product.re = a.re * b.re - a.im * b.im;
    product.im = a.re * b.im + a.im * b.re;
    return product;
}

// Once the magnitude has settled, the phasor of sample k + j is R^(j+1) times the
// stored one p, steps[j] = R^(j+1). Lane j holds it as {lr, lr} and {li, -li}, which
// mixes a sample {im, re} with two products and a swap, and steps by R^Lanes, so the
// samples of a group do not wait on each other. Wide puts two lanes in a vector.
// Mixes in[k ... n-1] (at least one sample) and returns the phasor of the last.
template <bool Wide, std::size_t Lanes>
__attribute__((always_inline)) inline ComplexSample MixWithLanes(int k, int n, const ComplexSample* in,
                                                                 ComplexSample* out,
                                                                 const std::array<ComplexSample, Lanes>& steps,
                                                                 const ComplexSample& p)
{
    constexpr int kMixLanes = static_cast<int>(Lanes);
    using Vector = std::conditional_t<Wide, Double4, Double2>;
    constexpr int perVector = Wide ? 2 : 1;
    constexpr int vectors = kMixLanes / perVector;
    double laneRe[kMixLanes];
    double laneIm[kMixLanes];
    for (int j = 0; j < kMixLanes; ++j) {
        const ComplexSample lane = Multiply(steps[j], p);
        laneRe[j] = lane.re;
        laneIm[j] = lane.im;
    }
    const int groups = (n - k - 1) / kMixLanes;
    if (groups > 0) {
        const ComplexSample& step = steps[kMixLanes - 1];
        Vector re[vectors];
        Vector im[vectors];
        Vector stepRe;
        Vector stepIm;
        if constexpr (Wide) {
            for (int v = 0; v < vectors; ++v) {
                re[v] = Vector{laneRe[2 * v], laneRe[2 * v], laneRe[2 * v + 1], laneRe[2 * v + 1]};
                im[v] = Vector{laneIm[2 * v], -laneIm[2 * v], laneIm[2 * v + 1], -laneIm[2 * v + 1]};
            }
            stepRe = Vector{step.re, step.re, step.re, step.re};
            stepIm = Vector{step.im, -step.im, step.im, -step.im};
        } else {
            for (int v = 0; v < vectors; ++v) {
                re[v] = Vector{laneRe[v], laneRe[v]};
                im[v] = Vector{laneIm[v], -laneIm[v]};
            }
            stepRe = Vector{step.re, step.re};
            stepIm = Vector{step.im, -step.im};
        }
        for (int g = 0; g < groups; ++g, k += kMixLanes) {
#pragma GCC unroll 4
            for (int v = 0; v < vectors; ++v) {
                Vector x;
                std::memcpy(&x, in + k + v * perVector, sizeof x);
                Vector swapped;
                if constexpr (Wide)
                    swapped = __builtin_shufflevector(x, x, 1, 0, 3, 2);
                else
                    swapped = __builtin_shufflevector(x, x, 1, 0);
                const Vector y = re[v] * x + im[v] * swapped;
                std::memcpy(static_cast<void*>(out + k + v * perVector), &y, sizeof y);
            }
#pragma GCC unroll 4
            for (int v = 0; v < vectors; ++v) {
                const Vector nextRe = re[v] * stepRe - im[v] * stepIm;
                im[v] = im[v] * stepRe + re[v] * stepIm;
                re[v] = nextRe;
            }
        }
        for (int v = 0; v < vectors; ++v) {
            for (int l = 0; l < perVector; ++l) {
                laneRe[v * perVector + l] = re[v][2 * l];
                laneIm[v * perVector + l] = im[v][2 * l];
            }
        }
    }
    const int rest = n - k; // 1 ... kMixLanes
    for (int j = 0; j < rest; ++j) {
        out[k + j].re = laneRe[j] * in[k + j].re - laneIm[j] * in[k + j].im;
        out[k + j].im = laneRe[j] * in[k + j].im + laneIm[j] * in[k + j].re;
    }
    ComplexSample last;
    last.re = laneRe[rest - 1];
    last.im = laneIm[rest - 1];
    return last;
}

template <std::size_t Lanes>
KORVEL_WIDE_TARGET ComplexSample MixWithLanesWide(int k, int n, const ComplexSample* in, ComplexSample* out,
                                                  const std::array<ComplexSample, Lanes>& steps,
                                                  const ComplexSample& p)
{
    return MixWithLanes<true>(k, n, in, out, steps, p);
}

} // namespace

DownconverterObject::DownconverterObject() : piece_(kPieceLength) { PrepareLaneSteps(); }

DownconverterObject::DownconverterObject(int) : DownconverterObject()
{
    m_InRate = 100000.0;
    m_MaxBW = 10000.0;
    m_Osc1.re = 1.0;
}

Status DownconverterObject::configure(double inRate, double bandwidth, double offsetHz)
{
    if (!(std::isfinite(inRate) && inRate > 0.0))
        return Error(ErrorKind::InvalidArgument,
                     "Downconverter input rate must be above 0 Hz, not " + formatGeneral(inRate) + ".");
    if (!(std::isfinite(bandwidth) && bandwidth >= 0.0))
        return Error(ErrorKind::InvalidArgument,
                     "Downconverter bandwidth must be 0 Hz or more, not " + formatGeneral(bandwidth) + ".");
    if (!(std::abs(offsetHz) <= inRate / 2.0))
        return Error(ErrorKind::InvalidArgument, "Downconverter offset " + formatGeneral(offsetHz)
                                                     + " Hz lies outside the input rate of " + formatGeneral(inRate)
                                                     + " Hz.");
    m_InRate = inRate;
    m_MaxBW = bandwidth;
    m_CW_Offset = 0.0;
    buildChain();
    SetFrequency(offsetHz);
    return {};
}

void DownconverterObject::reset()
{
    if (chainBuilt_)
        buildChain();
    SetFrequency(m_NcoFreq - m_CW_Offset);
}

double DownconverterObject::setDataRate(double inRate, double desiredMaxOutputBandwidth)
{
    if (chainBuilt_ && inRate == m_InRate && desiredMaxOutputBandwidth == m_MaxBW)
        return m_OutputRate;
    const bool retune = inRate != m_InRate;
    m_InRate = inRate;
    m_MaxBW = desiredMaxOutputBandwidth;
    buildChain();
    if (retune)
        SetFrequency(m_NcoFreq - m_CW_Offset);
    return m_OutputRate;
}

void DownconverterObject::buildChain()
{
    DeleteFilters();
    double rate = m_InRate;
    while (rate > kLowestChainRate && rate > kFinalRateFactor * m_MaxBW && numStages_ < kMaxStages) {
        chain_[numStages_++] = StageForRate(rate, m_MaxBW);
        rate /= 2.0;
    }
    m_OutputRate = rate;
    chainBuilt_ = true;
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
    settleRemaining_ = kSettleSamples;
    PrepareLaneSteps();
}

void DownconverterObject::PrepareLaneSteps()
{
    ComplexSample rotation;
    rotation.re = m_OscCos;
    rotation.im = m_OscSin;
    laneSteps_[0] = rotation;
    for (int j = 1; j < kLanes; ++j)
        laneSteps_[j] = Multiply(laneSteps_[j - 1], rotation);
}

int DownconverterObject::ProcessDataLength(int n, const ComplexSample* in, ComplexSample* out)
{
    if (n <= 0)
        return 0;
    return static_cast<int>(process({in, static_cast<size_t>(n)}, {out, static_cast<size_t>(n)}));
}

size_t DownconverterObject::process(std::span<const ComplexSample> input, std::span<ComplexSample> output)
{
    const ComplexSample* in = input.data();
    ComplexSample* out = output.data();
    const int n = static_cast<int>(std::min(input.size(), output.size()));
    ComplexSample* piece = piece_.data();
    int produced = 0;
    for (int pos = 0; pos < n;) {
        const int length = std::min(kPieceLength, n - pos);
        MixPiece(length, in + pos, piece);
        int m = length;
        for (int s = 0; s < numStages_; ++s)
            m = chain_[s]->ApplyFilterLength(m, piece, piece);
        // produced + m never exceeds pos + length, so with out == in this writes only
        // over input that has been consumed.
        std::copy(piece, piece + m, out + produced);
        produced += m;
        pos += length;
    }
    return static_cast<size_t>(produced);
}

void DownconverterObject::MixPiece(int n, const ComplexSample* in, ComplexSample* out)
{
    ComplexSample p = m_Osc1;
    int k = 0;
    for (; k < n && settleRemaining_ > 0; ++k, --settleRemaining_) {
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

    const ComplexSample last = WideVectorsAvailable() ? MixWithLanesWide(k, n, in, out, laneSteps_, p)
                                                      : MixWithLanes<false>(k, n, in, out, laneSteps_, p);
    const double lastRe = last.re;
    const double lastIm = last.im;

    // The stored phasor follows the last one used, with the usual magnitude correction.
    const double gain = 1.95 - (lastRe * lastRe + lastIm * lastIm);
    m_Osc1.re = gain * lastRe;
    m_Osc1.im = gain * lastIm;
}

void DownconverterObject::DeleteFilters()
{
    for (int s = 0; s < numStages_; ++s)
        chain_[s].reset();
    numStages_ = 0;
}
