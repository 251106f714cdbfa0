#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> allocations{0};
std::atomic<std::size_t> largest{0};

void noteSize(std::size_t size)
{
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
}
} // namespace

void* operator new(std::size_t size)
{
    ++allocations;
    noteSize(size);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return operator new(size); }
// The nothrow forms too (std::stable_sort takes its buffer with them), so that
// every block our operator delete frees came from malloc.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++allocations;
    noteSize(size);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

AllocationCounter::AllocationCounter() : m_Start(allocations.load()) { largest.store(0); }

std::size_t AllocationCounter::Count() const { return allocations.load() - m_Start; }

std::size_t AllocationCounter::Largest() const { return largest.load(); }
