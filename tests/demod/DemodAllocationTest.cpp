#include "DemodTestSupport.h"

#include "common/CarrierLog.h"
#include "support/AllocationCounter.h"
#include "support/QuietLog.h"

#include <gtest/gtest.h>

using namespace demodtest;

namespace {

// Counts what arrives and keeps nothing, so that it allocates nothing itself.
class CountingOutputs : public AudioOutput, public CarrierLog {
public:
    void addSoundData(const double*, int n, double) override { soundSamples += n; }
    void setNoOutput(bool) override {}
    int numSoundSamples() const override { return 0; }
    void addCarrierMeasurement(int64_t, double, double, double) override { ++measurements; }

    long soundSamples = 0;
    int measurements = 0;
};

struct AllocationCase {
    const char* name;
    int mode;
    int32_t rate;
    Signal signal;
    double lowKHz, highKHz;
};

class DemodAllocation : public ::testing::TestWithParam<AllocationCase> {};

std::vector<ComplexSample> render(const Signal& signal, int32_t rate, int32_t seconds)
{
    std::vector<ComplexSample> x(static_cast<size_t>(rate) * seconds);
    for (size_t k = 0; k < x.size(); ++k)
        x[k] = signal(static_cast<int64_t>(k), rate);
    return x;
}

} // namespace

// From the first call after set-up on, whole ProcessData calls allocate
// nothing: file output and playback, with a carrier measurement and its log
// line among them, the squelch and de-emphasis at work, in blocks split
// unevenly between calls.
TEST_P(DemodAllocation, ProcessDataAllocatesNothingFromTheFirstCallOn)
{
    const AllocationCase& c = GetParam();
    QuietLog quiet;
    CountingOutputs outputs;
    DemodulatorObject demod(&outputs);
    demod.setCarrierLog(&outputs);
    DemodSetup setup =
        DemodSetup::fromFields(selection(0, 3, c.lowKHz, c.highKHz), c.mode, recordingAt(c.rate, 3));
    ReceiverControls controls;
    controls.squelchDb = -60.0;
    controls.fmDeemphasis = true;
    setup.setControls(controls);
    ASSERT_TRUE(setup.configure(demod));
    const std::vector<ComplexSample> input = render(c.signal, c.rate, 3);
    const int split = c.rate + 777;
    std::vector<int16_t> audio(static_cast<size_t>(demod.maxOutputSamples(split)));

    AllocationCounter counter;
    const int first = demod.ProcessData(input.data(), split, audio.data());
    const int second = demod.ProcessData(input.data() + split, c.rate - 777, audio.data());
    demod.ProcessData(input.data() + 2 * c.rate, c.rate, nullptr);
    EXPECT_EQ(counter.Count(), 0u);

    EXPECT_GT(first + second, 44100);
    EXPECT_GT(outputs.soundSamples, 0);
    EXPECT_GE(outputs.measurements, 2);
    EXPECT_EQ(demod.status().mpxRing.empty(), c.mode != kDemodWFM) << "the multiplex ring only for WFM";
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, DemodAllocation,
    ::testing::Values(AllocationCase{"AM", kDemodAM, 96000, amStation(10000, 4000, 1000, 0.5), 7105, 7115},
                      AllocationCase{"SAM", kDemodSAM, 96000, amStation(10000, 4000, 1000, 0.5), 7105, 7115},
                      AllocationCase{"FM", kDemodFM, 96000, fmStation(30000, 4000, 1000, 3000), 7124, 7136},
                      AllocationCase{"WFM", kDemodWFM, 192000, fmStation(0, 4000, 1000, 50000), 7010, 7190},
                      AllocationCase{"USB", kDemodUSB, 96000, carrier(-19000, 2000), 7080, 7083},
                      AllocationCase{"LSB", kDemodLSB, 96000, carrier(19000, 2000), 7117, 7120},
                      AllocationCase{"CWU", kDemodCWU, 96000, carrier(-9300, 2000), 7090, 7091},
                      AllocationCase{"CWL", kDemodCWL, 2000000, carrier(-10700, 2000), 7089, 7090}),
    [](const ::testing::TestParamInfo<AllocationCase>& info) { return std::string(info.param.name); });
