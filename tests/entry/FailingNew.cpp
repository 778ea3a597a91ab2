// Every form of operator new and delete, replaced for the whole program.
#include "FailingNew.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_live{0};
std::atomic<bool> g_armed{false};
std::atomic<long> g_calls{0};
long g_failAt = 0;
bool g_onward = false;

void* Allocate(std::size_t n, std::size_t align)
{
    if (g_armed.load(std::memory_order_relaxed)) {
        const long call = ++g_calls;
        if (call == g_failAt || (g_onward && call > g_failAt))
            return nullptr;
    }
    void* p = nullptr;
    if (align > alignof(std::max_align_t)) {
        if (posix_memalign(&p, std::max(align, sizeof(void*)), n ? n : 1) != 0)
            p = nullptr;
    } else {
        p = std::malloc(n ? n : 1);
    }
    if (p)
        ++g_live;
    return p;
}

void Free(void* p) noexcept
{
    if (p) {
        --g_live;
        std::free(p);
    }
}

void* OrThrow(void* p)
{
    if (!p)
        throw std::bad_alloc();
    return p;
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

} // namespace

namespace failnew {

void Arm(long failAt, bool onward)
{
    g_failAt = failAt;
    g_onward = onward;
    g_calls = 0;
    g_armed = true;
}

long Disarm()
{
    g_armed = false;
    return g_calls;
}

long Live()
{
    return g_live;
}

} // namespace failnew

void* operator new(std::size_t n) { return OrThrow(Allocate(n, kPlain)); }
void* operator new[](std::size_t n) { return OrThrow(Allocate(n, kPlain)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, kPlain); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, kPlain); }
void* operator new(std::size_t n, std::align_val_t a) { return OrThrow(Allocate(n, static_cast<std::size_t>(a))); }
void* operator new[](std::size_t n, std::align_val_t a) { return OrThrow(Allocate(n, static_cast<std::size_t>(a))); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete(void* p, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { Free(p); }
