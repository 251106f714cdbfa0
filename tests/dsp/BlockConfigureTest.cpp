#include "dsp/AGCObject.h"
#include "dsp/AudioBandPass.h"
#include "dsp/DeemphasisFilter.h"
#include "dsp/DownconverterObject.h"
#include "dsp/FastFirObject.h"
#include "dsp/FftObject.h"
#include "dsp/FilterObject.h"
#include "dsp/FirObject.h"
#include "dsp/FractionalResamplerObject.h"
#include "dsp/HalfBandCoefficients.h"
#include "dsp/SMeter.h"

#include "DecimationReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(BlockConfigure, RefusesParametersOutOfRange)
{
    struct Case {
        const char* name;
        std::function<Status()> configure;
    };
    const double oddSet[4] = {0.25, 0.5, 0.5, 0.25};
    AgcSettings shortAttack;
    shortAttack.attackMs = 0.05;
    AgcSettings negativeHang;
    negativeHang.hangMs = -1.0;
    AgcSettings zeroDecay;
    zeroDecay.decayMs = 0.0;
    AgcSettings nanGain;
    nanGain.maxGainDb = kNaN;
    const Case cases[] = {
        {"de-emphasis rate 0", [] { return DeemphasisFilter().configure(50e-6, 0.0); }},
        {"de-emphasis negative tau", [] { return DeemphasisFilter().configure(-50e-6, 48000.0); }},
        {"de-emphasis NaN tau", [] { return DeemphasisFilter().configure(kNaN, 48000.0); }},
        {"band-pass low edge 0", [] { return AudioBandPass().configure(0.0, 3000.0, 48000.0); }},
        {"band-pass edges swapped", [] { return AudioBandPass().configure(3000.0, 300.0, 48000.0); }},
        {"band-pass high edge at half the rate", [] { return AudioBandPass().configure(300.0, 24000.0, 48000.0); }},
        {"band-pass NaN rate", [] { return AudioBandPass().configure(300.0, 3000.0, kNaN); }},
        {"S-meter rate 0", [] { return SMeter().configure(0.0); }},
        {"S-meter infinite rate", [] { return SMeter().configure(kInf); }},
        {"low-pass rate 0", [] { return FirObject().configure(1.0, 50.0, 1000.0, 2000.0, 0.0); }},
        {"low-pass edges equal", [] { return FirObject().configure(1.0, 50.0, 2000.0, 2000.0, 31250.0); }},
        {"low-pass stop above half the rate", [] { return FirObject().configure(1.0, 50.0, 2000.0, 16000.0, 31250.0); }},
        {"low-pass negative pass edge", [] { return FirObject().configure(1.0, 50.0, -1.0, 2000.0, 31250.0); }},
        {"low-pass NaN gain", [] { return FirObject().configure(kNaN, 50.0, 1000.0, 2000.0, 31250.0); }},
        {"band edges swapped", [] { return FastFirObject().configure(3000.0, -3000.0, 0.0, 31250.0); }},
        {"band past half the rate", [] { return FastFirObject().configure(-3000.0, 3000.0, 14000.0, 31250.0); }},
        {"band rate 0", [] { return FastFirObject().configure(-3000.0, 3000.0, 0.0, 0.0); }},
        {"band NaN edge", [] { return FastFirObject().configure(kNaN, 3000.0, 0.0, 31250.0); }},
        {"AGC rate 0", [] { return AGCObject().configure(AgcSettings{}, 0.0); }},
        {"AGC attack below 0.1 ms", [&] { return AGCObject().configure(shortAttack, 31250.0); }},
        {"AGC negative hang", [&] { return AGCObject().configure(negativeHang, 31250.0); }},
        {"AGC decay 0", [&] { return AGCObject().configure(zeroDecay, 31250.0); }},
        {"AGC NaN maximum gain", [&] { return AGCObject().configure(nanGain, 31250.0); }},
        {"downconverter rate 0", [] { return DownconverterObject().configure(0.0, 10000.0, 0.0); }},
        {"downconverter negative bandwidth", [] { return DownconverterObject().configure(2e6, -1.0, 0.0); }},
        {"downconverter offset past half the rate", [] { return DownconverterObject().configure(2e6, 10000.0, 1.1e6); }},
        {"downconverter NaN offset", [] { return DownconverterObject().configure(2e6, 10000.0, kNaN); }},
        {"half-band without taps", [] { return FilterObject().configure(FilterKind::HalfBand); }},
        {"half-band of 4 taps", [&] { return FilterObject().configure(FilterKind::HalfBand, oddSet); }},
        {"taps for a CIC", [] { return FilterObject().configure(FilterKind::Cic3, HalfBandCoefficients::Taps15); }},
        {"unknown stage kind", [] { return FilterObject().configure(static_cast<FilterKind>(7)); }},
        {"resampler pass of 0", [] { return FractionalResamplerObject(10).configure(0, 1.5, 1.0); }},
        {"resampler ratio 0", [] { return FractionalResamplerObject(10).configure(1000, 0.0, 1.0); }},
        {"resampler infinite ratio", [] { return FractionalResamplerObject(10).configure(1000, kInf, 1.0); }},
        {"resampler NaN gain", [] { return FractionalResamplerObject(10).configure(1000, 1.5, kNaN); }},
        {"transform size not a power of two", [] { return FftObject().configure(3000, FftWindow::Hann, false, 0.0, 1e3); }},
        {"transform size below 512", [] { return FftObject().configure(256, FftWindow::Hann, false, 0.0, 1e3); }},
        {"transform rate 0", [] { return FftObject().configure(1024, FftWindow::Hann, false, 0.0, 0.0); }},
        {"transform NaN correction", [] { return FftObject().configure(1024, FftWindow::Hann, false, kNaN, 1e3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Status status = c.configure();
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().kind(), ErrorKind::InvalidArgument);
        EXPECT_FALSE(status.error().message().empty());
    }
}

std::vector<double> RealSignal(int n)
{
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = 1000.0 * std::sin(0.0013 * i * i) + 300.0 * std::cos(0.7 * i);
    return x;
}

// A block configured once with `first` and used, then configured with `second`,
// gives what a new block configured with `second` gives.
template <class Block, class Sample>
void ExpectSecondConfigureStartsAfresh(const std::function<Status(Block&)>& first,
                                       const std::function<Status(Block&)>& second, const std::vector<Sample>& signal,
                                       size_t room)
{
    Block used;
    ASSERT_TRUE(first(used));
    std::vector<Sample> scratch(room);
    used.process(signal, scratch);
    ASSERT_TRUE(second(used));
    std::vector<Sample> again(room);
    again.resize(used.process(signal, again));

    Block fresh;
    ASSERT_TRUE(second(fresh));
    std::vector<Sample> expected(room);
    expected.resize(fresh.process(signal, expected));
    ASSERT_FALSE(expected.empty());
    if constexpr (std::is_same_v<Sample, double>) {
        EXPECT_EQ(again, expected);
    } else {
        ASSERT_EQ(again.size(), expected.size());
        for (size_t i = 0; i < again.size(); ++i) {
            ASSERT_EQ(again[i].re, expected[i].re) << i;
            ASSERT_EQ(again[i].im, expected[i].im) << i;
        }
    }
}

TEST(BlockConfigure, SecondConfigureGivesWhatAFreshBlockGives)
{
    const std::vector<double> real = RealSignal(6000);
    const std::vector<ComplexSample> complex = reference::RandomSignal(6000, 3);
    const size_t room = 8192;

    ExpectSecondConfigureStartsAfresh<DeemphasisFilter, double>(
        [](DeemphasisFilter& b) { return b.configure(750e-6, 31250.0); },
        [](DeemphasisFilter& b) { return b.configure(50e-6, 62500.0); }, real, room);
    ExpectSecondConfigureStartsAfresh<AudioBandPass, double>(
        [](AudioBandPass& b) { return b.configure(100.0, 1000.0, 31250.0); },
        [](AudioBandPass& b) { return b.configure(300.0, 3000.0, 48000.0); }, real, room);
    ExpectSecondConfigureStartsAfresh<FirObject, double>(
        [](FirObject& b) { return b.configure(1.0, 60.0, 3000.0, 4000.0, 31250.0); },
        [](FirObject& b) { return b.configure(2.0, 50.0, 2000.0, 5000.0, 31250.0); }, real, room);
    ExpectSecondConfigureStartsAfresh<FastFirObject, ComplexSample>(
        [](FastFirObject& b) { return b.configure(-1000.0, 4000.0, 500.0, 31250.0); },
        [](FastFirObject& b) { return b.configure(-3000.0, 3000.0, 0.0, 62500.0); }, complex, room);
    ExpectSecondConfigureStartsAfresh<AGCObject, ComplexSample>(
        [](AGCObject& b) { return b.configure(AgcSettings{}, 62500.0); },
        [](AGCObject& b) {
            AgcSettings slow;
            slow.attackMs = 5.0;
            slow.hangMs = 20.0;
            slow.decayMs = 500.0;
            return b.configure(slow, 31250.0);
        },
        complex, room);
    ExpectSecondConfigureStartsAfresh<DownconverterObject, ComplexSample>(
        [](DownconverterObject& b) { return b.configure(250000.0, 5000.0, -30000.0); },
        [](DownconverterObject& b) { return b.configure(192000.0, 10000.0, 1000.0); }, complex, room);
    ExpectSecondConfigureStartsAfresh<FilterObject, ComplexSample>(
        [](FilterObject& b) { return b.configure(FilterKind::Cic3); },
        [](FilterObject& b) { return b.configure(FilterKind::HalfBand, HalfBandCoefficients::Taps23); }, complex,
        room);
}

TEST(BlockConfigure, ResamplerAndTransformStartAfreshAfterASecondConfigure)
{
    const std::vector<double> real = RealSignal(6000);
    FractionalResamplerObject used(500);
    ASSERT_TRUE(used.configure(700, 31250.0 / 44100.0, 2.0));
    std::vector<int16_t> scratch(10000);
    used.process(real, scratch);
    ASSERT_TRUE(used.configure(1000, 24000.0 / 44100.0, 1.5));
    std::vector<int16_t> again(12000);
    again.resize(used.process(real, again));
    FractionalResamplerObject fresh(1000);
    ASSERT_TRUE(fresh.configure(1000, 24000.0 / 44100.0, 1.5));
    std::vector<int16_t> expected(12000);
    expected.resize(fresh.process(real, expected));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(again, expected);

    const std::vector<ComplexSample> block = reference::RandomSignal(4096, 4);
    FftObject usedFft;
    ASSERT_TRUE(usedFft.configure(4096, FftWindow::Hann, false, 3.0, 2e6));
    usedFft.process(block);
    ASSERT_TRUE(usedFft.configure(2048, FftWindow::FlatTop, false, 0.0, 1e6));
    usedFft.process(block);
    FftObject freshFft;
    ASSERT_TRUE(freshFft.configure(2048, FftWindow::FlatTop, false, 0.0, 1e6));
    freshFft.process(block);
    EXPECT_EQ(std::vector<double>(usedFft.fftAveBuf(), usedFft.fftAveBuf() + 2048),
              std::vector<double>(freshFft.fftAveBuf(), freshFft.fftAveBuf() + 2048));
}

TEST(BlockConfigure, SMeterReadsAfreshAfterASecondConfigure)
{
    const std::vector<ComplexSample> signal = reference::RandomSignal(6000, 5);
    SMeter used;
    ASSERT_TRUE(used.configure(48000.0));
    used.process(signal);
    ASSERT_TRUE(used.configure(31250.0));
    used.process(std::span(signal).first(1000));
    SMeter fresh;
    ASSERT_TRUE(fresh.configure(31250.0));
    fresh.process(std::span(signal).first(1000));
    EXPECT_EQ(used.GetAve(), fresh.GetAve());
    EXPECT_EQ(used.GetPeak(), fresh.GetPeak());
}

// The setters that configure() replaces, called in the order that once left the
// oscillator at 0 Hz, now tune it as configure() does.
TEST(BlockConfigure, DownconverterTunedBeforeItsRateMatchesConfigure)
{
    const std::vector<ComplexSample> signal = reference::RandomSignal(4096, 6);
    DownconverterObject configured;
    ASSERT_TRUE(configured.configure(192000.0, 10000.0, 20000.0));
    DownconverterObject tunedFirst;
    tunedFirst.SetFrequency(20000.0);
    tunedFirst.setDataRate(192000.0, 10000.0);
    std::vector<ComplexSample> a(signal.size()), b(signal.size());
    a.resize(configured.process(signal, a));
    b.resize(tunedFirst.process(signal, b));
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].re, b[i].re) << i;
        ASSERT_EQ(a[i].im, b[i].im) << i;
    }
}

} // namespace
