#pragma once

#include <cstddef>

// Counts calls of the global operator new in this test program, so that a test can
// show that a processing call allocates nothing, and notes the largest block asked
// for, so that a test can show that memory does not follow a sample rate.
class AllocationCounter {
public:
    AllocationCounter();
    std::size_t Count() const;
    // The largest single allocation since the latest counter was made, bytes.
    std::size_t Largest() const;

private:
    std::size_t m_Start;
};
