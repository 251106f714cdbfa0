#pragma once

#include <cstddef>

// Counts calls of the global operator new in this test program, so that a test can
// show that a processing call allocates nothing.
class AllocationCounter {
public:
    AllocationCounter();
    std::size_t Count() const;

private:
    std::size_t m_Start;
};
