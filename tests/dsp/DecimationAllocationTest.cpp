// The processing calls of the decimators, the downconverter and the FIR must not
// allocate. This file replaces the global operator new of the test program with one
// that counts while a check is running.
#include "dsp/DownconverterObject.h"
#include "dsp/FilterObject.h"
#include "dsp/FirObject.h"
#include "dsp/HalfBandCoefficients.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

// The replacement pairs malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<bool> countingAllocations{false};
std::atomic<long> allocationCount{0};
} // namespace

void* operator new(std::size_t size)
{
    if (countingAllocations)
        ++allocationCount;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

template <class Work>
long AllocationsDuring(Work work)
{
    allocationCount = 0;
    countingAllocations = true;
    work();
    countingAllocations = false;
    return allocationCount;
}

TEST(DecimationAllocation, ProcessingCallsAllocateNothing)
{
    std::vector<ComplexSample> block(70001, ComplexSample{1.0, 2.0});
    std::vector<double> real(70001, 1.0);

    DownconverterObject downconverter;
    downconverter.setDataRate(2000000.0, 10000.0);
    downconverter.SetFrequency(12345.0);
    FilterObject cic(3);
    FilterObject tap11(2);
    FilterObject halfBand(1, 51, HalfBandCoefficients::Taps51.data());
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
