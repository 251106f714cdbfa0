#include "dsp/VectorMath.h"
#include "DecimationReference.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Differences allowed from the standard library: a few units in the last place
// of the result, or of 1 near zero crossings.
void ExpectClose(double expected, double actual, const char* what, double input)
{
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << what << "(" << input << ")";
        return;
    }
    if (std::isinf(expected)) {
        EXPECT_EQ(expected, actual) << what << "(" << input << ")";
        return;
    }
    const double tolerance = 4.0 * DBL_EPSILON * std::max(1.0, std::fabs(expected));
    EXPECT_NEAR(expected, actual, tolerance) << what << "(" << input << ")";
}

std::vector<double> Sweep(double lo, double hi, int n, std::uint32_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(lo, hi);
    std::vector<double> values(n);
    for (double& v : values)
        v = uniform(random);
    return values;
}

// Each block form on both builds, at lengths that end inside a vector, out of
// place and in place.
class VectorMathBuilds : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { SetWideVectorsEnabled(GetParam()); }
    reference::RestoreWideVectors restore_;
};

TEST_P(VectorMathBuilds, Log10AgreesWithTheLibraryFromSubnormalsToInfinity)
{
    std::vector<double> x;
    for (double e : Sweep(-320.0, 308.0, 2001, 1))
        x.push_back(std::pow(10.0, e));
    for (double v : {0.0, -0.0, -1.0, DBL_MIN, DBL_MIN / 8, DBL_MAX, kInf, kNaN, 1.0, 2.0, 1.4142135623730951, 0.5,
                     9.313794206365304e-10 + 1e-50, 1e-50})
        x.push_back(v);
    for (int n : {0, 1, 3, 4, 5, 7, static_cast<int>(x.size())}) {
        std::vector<double> out(n), inPlace(x.begin(), x.begin() + n);
        Log10Block(n, x.data(), out.data());
        Log10Block(n, inPlace.data(), inPlace.data());
        for (int k = 0; k < n; ++k) {
            ExpectClose(std::log10(x[k]), out[k], "log10", x[k]);
            ExpectClose(std::log10(x[k]), inPlace[k], "log10 in place", x[k]);
        }
    }
}

TEST_P(VectorMathBuilds, ExpAgreesWithTheLibraryAndOverflowsAsItDoes)
{
    std::vector<double> x = Sweep(-707.0, 707.0, 2001, 2);
    for (double v : Sweep(-2.0, 2.0, 500, 3))
        x.push_back(v);
    for (double v : {0.0, -0.0, 708.5, 710.0, -710.0, -746.0, -800.0, kInf, -kInf, kNaN})
        x.push_back(v);
    const int n = static_cast<int>(x.size());
    std::vector<double> out(x);
    ExpBlock(n, out.data(), out.data());
    for (int k = 0; k < n; ++k) {
        const double expected = std::exp(x[k]);
        if (std::isfinite(expected) && expected != 0.0)
            EXPECT_NEAR(expected, out[k], 4.0 * DBL_EPSILON * expected) << "exp(" << x[k] << ")";
        else
            ExpectClose(expected, out[k], "exp", x[k]);
    }
}

TEST_P(VectorMathBuilds, Atan2AndPhaseAgreeWithTheLibraryInEveryOctant)
{
    const std::vector<double> angles = Sweep(-4.0, 4.0, 4001, 4);
    const std::vector<double> radii = Sweep(-20.0, 20.0, 4001, 5);
    std::vector<double> y, x;
    for (size_t k = 0; k < angles.size(); ++k) {
        const double r = std::pow(10.0, radii[k]);
        y.push_back(r * std::sin(angles[k]));
        x.push_back(r * std::cos(angles[k]));
    }
    const double edges[][2] = {{0.0, 1.0}, {1.0, 0.0}, {0.0, -1.0}, {-1.0, 0.0}, {1.0, 1.0}, {-1.0, -1.0},
                               {1e-300, 1.0}, {1.0, 1e-300}, {kInf, 1.0}, {1.0, -kInf}, {kNaN, 1.0}, {-0.0, -1.0}};
    for (const auto& edge : edges) {
        y.push_back(edge[0]);
        x.push_back(edge[1]);
    }
    const int n = static_cast<int>(y.size());
    std::vector<double> out(n), inPlace(y);
    Atan2Block(n, y.data(), x.data(), out.data());
    Atan2Block(n, inPlace.data(), x.data(), inPlace.data());
    for (int k = 0; k < n; ++k) {
        ExpectClose(std::atan2(y[k], x[k]), out[k], "atan2", y[k]);
        ExpectClose(std::atan2(y[k], x[k]), inPlace[k], "atan2 in place", y[k]);
    }
    double zero = 0.0;
    Atan2Block(1, &zero, &zero, &zero);
    EXPECT_EQ(zero, 0.0);

    std::vector<ComplexSample> samples(n);
    for (int k = 0; k < n; ++k) {
        samples[k].im = y[k];
        samples[k].re = x[k];
    }
    for (int length : {n, n - 1, n - 2, 3}) {
        std::vector<double> phase(length);
        PhaseBlock(length, samples.data(), phase.data());
        for (int k = 0; k < length; ++k)
            ExpectClose(std::atan2(y[k], x[k]), phase[k], "phase", y[k]);
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, VectorMathBuilds, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Wide" : "Portable"; });

TEST_P(VectorMathBuilds, SinCosAgreesWithTheLibrary)
{
    std::vector<double> x = Sweep(-100.0, 100.0, 20001, 6);
    for (double v : {0.0, -0.0, 1.5707963267948966, -3.141592653589793, 2e6, -1e9, kInf, kNaN})
        x.push_back(v);
    for (int length : {static_cast<int>(x.size()), 7, 1}) {
        std::vector<double> s(length), c(length);
        SinCosBlock(length, x.data(), s.data(), c.data());
        for (int k = 0; k < length; ++k) {
            ExpectClose(std::sin(x[k]), s[k], "sin", x[k]);
            ExpectClose(std::cos(x[k]), c[k], "cos", x[k]);
        }
    }
}

// The two builds give the same bits, so audio does not depend on the machine.
TEST(VectorMath, SinCosIsTheSameOnBothBuilds)
{
    reference::RestoreWideVectors restore;
    const std::vector<double> x = Sweep(-1000.0, 1000.0, 4099, 7);
    std::vector<double> s[2], c[2];
    for (int wide = 0; wide < 2; ++wide) {
        SetWideVectorsEnabled(wide == 1);
        s[wide].resize(x.size());
        c[wide].resize(x.size());
        SinCosBlock(static_cast<int>(x.size()), x.data(), s[wide].data(), c[wide].data());
    }
    EXPECT_EQ(s[0], s[1]);
    EXPECT_EQ(c[0], c[1]);
}

} // namespace
