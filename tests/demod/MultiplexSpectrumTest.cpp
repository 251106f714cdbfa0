#include "demod/MultiplexSpectrum.h"

#include "demod/DemodulatorObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int32_t kRing = DemodulatorObject::kMpxRingSize;
constexpr double kMpxRate = 500000.0;

// A multiplex ring holding a 19 kHz pilot and a 57 kHz subcarrier over a
// little noise, written from ring position `from` for `count` values.
std::vector<double> multiplexRing(int32_t from, int32_t count)
{
    std::vector<double> ring(kRing, 0.0);
    uint32_t noise = 12345;
    for (int32_t k = 0; k < count; ++k) {
        const double t = k / kMpxRate;
        noise = noise * 1664525u + 1013904223u;
        ring[(from + k) % kRing] = 0.1 * std::sin(2.0 * std::numbers::pi * 19000.0 * t) +
                                  0.05 * std::sin(2.0 * std::numbers::pi * 57000.0 * t) +
                                  1e-4 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
    }
    return ring;
}

int strongestColumn(const std::vector<double>& columns, int from, int to)
{
    return static_cast<int>(std::max_element(columns.begin() + from, columns.begin() + to) - columns.begin());
}

TEST(MultiplexSpectrum, PilotAndSubcarrierLandInTheirColumnsAcrossTheRingsWrap)
{
    const struct {
        int32_t readFrom;
    } cases[] = {{0}, {kRing - 1000}, {kRing - MultiplexSpectrum::kTransformSize}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.readFrom);
        const int32_t writePos = (c.readFrom + MultiplexSpectrum::kTransformSize + 10) % kRing;
        const std::vector<double> ring = multiplexRing(c.readFrom, MultiplexSpectrum::kTransformSize + 10);
        MultiplexSpectrum spectrum;
        spectrum.skipTo(c.readFrom);
        ASSERT_TRUE(spectrum.update(ring.data(), kRing, writePos));
        const std::vector<double>& columns = spectrum.spectrum();
        ASSERT_EQ(columns.size(), size_t(MultiplexSpectrum::kColumns));
        // 19 kHz is 19922 bins of 0.954 Hz: column 99; 57 kHz column 298.
        EXPECT_EQ(strongestColumn(columns, 50, 150), 99);
        EXPECT_EQ(strongestColumn(columns, 250, 350), 298);
        EXPECT_TRUE(std::all_of(columns.begin(), columns.end(), [](double v) { return std::isfinite(v); }));
        // Ten values are left: not enough for another spectrum.
        EXPECT_FALSE(spectrum.update(ring.data(), kRing, writePos));
    }
}

TEST(MultiplexSpectrum, WaitsForAWholeTransformAndSurvivesSilence)
{
    std::vector<double> ring(kRing, 0.0);
    MultiplexSpectrum spectrum;
    EXPECT_FALSE(spectrum.update(ring.data(), kRing, MultiplexSpectrum::kTransformSize - 1));
    EXPECT_TRUE(spectrum.spectrum().empty());
    // All zeros: every bin at the floor, no infinities.
    ASSERT_TRUE(spectrum.update(ring.data(), kRing, MultiplexSpectrum::kTransformSize));
    EXPECT_TRUE(std::all_of(spectrum.spectrum().begin(), spectrum.spectrum().end(),
                            [](double v) { return std::isfinite(v) && v < 0.0; }));
}

} // namespace
