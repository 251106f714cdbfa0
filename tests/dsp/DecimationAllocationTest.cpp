// The processing calls of the decimators, the downconverter and the FIR must not
// allocate.
#include "dsp/DownconverterObject.h"
#include "dsp/FilterObject.h"
#include "dsp/FirObject.h"
#include "dsp/HalfBandCoefficients.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

template <class Work>
long AllocationsDuring(Work work)
{
    AllocationCounter counter;
    work();
    return static_cast<long>(counter.Count());
}

TEST(DecimationAllocation, ProcessingCallsAllocateNothing)
{
    std::vector<ComplexSample> block(70001, ComplexSample{1.0, 2.0});
    std::vector<double> real(70001, 1.0);

    DownconverterObject downconverter;
    downconverter.setDataRate(2000000.0, 10000.0);
    downconverter.SetFrequency(12345.0);
    FilterObject cic(FilterKind::Cic3);
    FilterObject tap11(FilterKind::HalfBand11Tap);
    FilterObject halfBand(FilterKind::HalfBand, 51, HalfBandCoefficients::Taps51.data());
    FirObject fir;
    fir.InitLPFilterScale(1.0, 50.0, 15000.0, 21000.0, 100000.0);

    EXPECT_EQ(AllocationsDuring([&] {
                  for (const int n : {19968, 1, 17, 70001}) {
                      downconverter.ProcessDataLength(n, block.data(), block.data());
                      cic.ApplyFilterLength(n, block.data(), block.data());
                      tap11.ApplyFilterLength(n, block.data(), block.data());
                      halfBand.ApplyFilterLength(n, block.data(), block.data());
                      halfBand.CHalfBandDecimateBy2LengthReal(n, real.data(), real.data());
                      fir.ProcessFilterReal(n, real.data(), real.data());
                  }
              }),
              0);
    // The counter itself works.
    EXPECT_GT(AllocationsDuring([] { std::vector<int> v(10); }), 0);
}

} // namespace
