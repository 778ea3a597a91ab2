// operator new, counted while g_counting is set. In a file of its own so
// that no caller sees it inlined next to a free.
#include "AllocCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* operator new(std::size_t n)
{
    if (g_counting.load(std::memory_order_relaxed))
        ++g_allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
