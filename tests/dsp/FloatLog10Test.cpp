#include "dsp/FloatLog10.h"
#include "dsp/SampleVector.h"

#include "dsp/DecimationReference.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <cstring>
#include <vector>

namespace {

// Positive normal values from the smallest to the largest: every power of two
// with mantissas spread over [1, 2), the neighbours of 1 and 10, and the ends.
std::vector<float> NormalSweep()
{
    std::vector<float> values;
    for (int exponent = -126; exponent <= 127; ++exponent)
        for (int step = 0; step < 64; ++step)
            values.push_back(std::ldexp(1.0f + static_cast<float>(step) / 64.0f + 1.0f / 4099.0f, exponent));
    for (float centre : {1.0f, 10.0f, 0.70710677f, 1.4142135f}) {
        float below = centre;
        float above = centre;
        for (int k = 0; k < 100; ++k) {
            values.push_back(below = std::nextafter(below, 0.0f));
            values.push_back(above = std::nextafter(above, 100.0f));
        }
    }
    values.push_back(FLT_MIN);
    values.push_back(FLT_MAX);
    return values;
}

// Both builds of the loop, whichever this machine runs by default.
class FloatLog10Test : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { SetWideVectorsEnabled(GetParam()); }
    const reference::RestoreWideVectors restore;
};

TEST_P(FloatLog10Test, NormalValuesAreWithinTwoUnitsInTheLastPlace)
{
    const std::vector<float> values = NormalSweep();
    std::vector<float> logs(values.size());
    ASSERT_EQ(FloatLog10::process(static_cast<int>(values.size()), values.data(), logs.data()),
              static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
        const double exact = std::log10(static_cast<double>(values[i]));
        const float rounded = static_cast<float>(exact);
        const double ulp = std::nextafter(std::fabs(rounded), INFINITY) - std::fabs(rounded);
        ASSERT_LE(std::fabs(logs[i] - exact), std::max(2.0 * ulp, 1e-12)) << values[i];
        // What the display levels had from the library's log.
        ASSERT_NEAR(logs[i], std::log10(values[i]), std::max(2.0 * ulp, 1e-6)) << values[i];
    }
}

TEST_P(FloatLog10Test, ValuesOutsideTheNormalRangeGiveTheLibrarysAnswer)
{
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const std::vector<float> values = {0.0f, -0.0f, -1.0f, -FLT_MIN, -kInf, kInf,
                                       std::numeric_limits<float>::quiet_NaN(),
                                       std::numeric_limits<float>::denorm_min(), 1e-40f, 5.8e-39f,
                                       std::nextafter(FLT_MIN, 0.0f), 1.0f, FLT_MIN, 3.0f};
    // Every place in a vector, and mixed with normal neighbours.
    for (size_t shift = 0; shift < 8; ++shift) {
        std::vector<float> block(shift, 2.0f);
        block.insert(block.end(), values.begin(), values.end());
        std::vector<float> logs(block.size());
        FloatLog10::process(static_cast<int>(block.size()), block.data(), logs.data());
        for (size_t i = 0; i < block.size(); ++i) {
            const float expected = std::log10(block[i]);
            if (std::isnan(expected) || std::isinf(expected)) {
                ASSERT_EQ(std::isnan(logs[i]), std::isnan(expected)) << block[i];
                ASSERT_TRUE(std::isnan(expected) || logs[i] == expected) << block[i];
            } else {
                ASSERT_NEAR(logs[i], expected, 2e-6) << block[i];
            }
        }
    }
}

TEST_P(FloatLog10Test, ResultsDoNotDependOnPlaceOrLength)
{
    std::vector<float> values(37);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = std::ldexp(1.0f + 0.013f * static_cast<float>(i), static_cast<int>(i % 19) - 9);
    values[5] = 0.0f;
    values[22] = 1e-42f;
    std::vector<float> whole(values.size());
    FloatLog10::process(static_cast<int>(values.size()), values.data(), whole.data());
    for (int start : {0, 1, 3, 7}) {
        for (int count = 0; start + count <= static_cast<int>(values.size()); ++count) {
            SCOPED_TRACE(testing::Message() << "from " << start << ", " << count << " values");
            std::vector<float> inPlace(values.begin() + start, values.begin() + start + count);
            EXPECT_EQ(FloatLog10::process(count, inPlace.data(), inPlace.data()), count);
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(std::memcmp(&inPlace[i], &whole[start + i], sizeof(float)), 0) << i;
        }
    }
    // An offset is added to the rounded logarithm.
    constexpr float kOffset = -16.2637f;
    std::vector<float> offset(values.size());
    FloatLog10::process(static_cast<int>(values.size()), values.data(), offset.data(), kOffset);
    for (size_t i = 0; i < values.size(); ++i) {
        const float one = FloatLog10::of(values[i]);
        ASSERT_EQ(std::memcmp(&one, &whole[i], sizeof(float)), 0) << i;
        const float shifted = whole[i] + kOffset;
        ASSERT_EQ(std::memcmp(&offset[i], &shifted, sizeof(float)), 0) << i;
        const float oneShifted = FloatLog10::of(values[i], kOffset);
        ASSERT_EQ(std::memcmp(&oneShifted, &shifted, sizeof(float)), 0) << i;
    }
    EXPECT_EQ(FloatLog10::process(-3, values.data(), whole.data()), 0);
}

INSTANTIATE_TEST_SUITE_P(Builds, FloatLog10Test, ::testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Wide" : "Portable"; });

} // namespace
