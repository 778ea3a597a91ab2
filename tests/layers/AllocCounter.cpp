// operator new, counted while g_layerCounting is set. In a file of its own
// so that no caller sees it inlined next to a free.
#include <atomic>
#include <cstdlib>
#include <new>

std::atomic<bool> g_layerCounting{false};
std::atomic<long> g_layerAllocations{0};

void* operator new(std::size_t n)
{
    if (g_layerCounting.load(std::memory_order_relaxed))
        ++g_layerAllocations;
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
