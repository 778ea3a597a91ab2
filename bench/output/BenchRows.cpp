#include "BenchRows.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <random>

namespace bench {

namespace {

std::atomic<std::uint64_t> g_allocations{0};

// Ink amount 0..1 of channel c at pixel x of line y: a horizontal gradient
// with slow waves across and along the medium, scaled so that the mean is
// near `coverage`; each channel gets its own strength and phase, as the
// separations of a photograph do.
double Ink(double coverage, int c, std::size_t x, int y)
{
    static const double kStrength[kChannels] = {1.0, 0.8, 1.2, 0.6, 1.4, 0.9, 1.1, 1.0};
    constexpr double kTwoPi = 6.283185307179586;
    const double g = static_cast<double>(x) / kPixelsPerRow;
    const double wave = 1 + 0.35 * std::sin(kTwoPi * static_cast<double>(x) / (9000.0 + 1300.0 * c) + c) *
                                std::cos(kTwoPi * (y + 400) / 700.0 + 0.5 * c);
    return std::clamp(coverage * kStrength[c] * (0.3 + 1.4 * g) * wave, 0.0, 1.0);
}

void Put(Row& row, std::size_t x, int level)
{
    row[x / 4] = static_cast<BYTE>(row[x / 4] | level << (6 - 2 * (x % 4)));
}

// Floyd-Steinberg error diffusion to the four 2-bit dot levels.
std::vector<Row> ErrorDiffused(double coverage)
{
    std::vector<Row> rows(kLines * kChannels, Row(kRowBytes, 0));
    for (int c = 0; c < kChannels; ++c) {
        std::vector<float> err(kPixelsPerRow + 2, 0.f), next(kPixelsPerRow + 2, 0.f);
        for (int y = 0; y < kLines; ++y) {
            Row& row = rows[static_cast<std::size_t>(y * kChannels + c)];
            std::fill(next.begin(), next.end(), 0.f);
            for (std::size_t x = 0; x < kPixelsPerRow; ++x) {
                const float want = static_cast<float>(3 * Ink(coverage, c, x, y)) + err[x + 1];
                const int level = std::clamp(static_cast<int>(std::lround(want)), 0, 3);
                const float e = want - static_cast<float>(level);
                err[x + 2] += e * 7 / 16;
                next[x] += e * 3 / 16;
                next[x + 1] += e * 5 / 16;
                next[x + 2] += e * 1 / 16;
                Put(row, x, level);
            }
            err.swap(next);
        }
    }
    return rows;
}

// Ordered dither with an 8x8 Bayer matrix, four levels.
std::vector<Row> Ordered(double coverage)
{
    int bayer[8][8];
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            int v = 0;
            for (int bit = 0; bit < 3; ++bit) {
                const int a = (i >> bit) & 1, b = (j >> bit) & 1;
                v |= ((a ^ b) << (5 - 2 * bit)) | (a << (4 - 2 * bit));
            }
            bayer[i][j] = v;
        }
    std::vector<Row> rows(kLines * kChannels, Row(kRowBytes, 0));
    for (int y = 0; y < kLines; ++y)
        for (int c = 0; c < kChannels; ++c) {
            Row& row = rows[static_cast<std::size_t>(y * kChannels + c)];
            for (std::size_t x = 0; x < kPixelsPerRow; ++x) {
                const double t = (bayer[y % 8][x % 8] + 0.5) / 64;
                Put(row, x, std::clamp(static_cast<int>(3 * Ink(coverage, c, x, y) + t), 0, 3));
            }
        }
    return rows;
}

std::vector<Row> Generate(RowKind kind)
{
    switch (kind) {
    case RowKind::Blank: return std::vector<Row>(kLines * kChannels, Row(kRowBytes, 0x00));
    case RowKind::Solid: return std::vector<Row>(kLines * kChannels, Row(kRowBytes, 0xFF));
    case RowKind::Halftone5: return ErrorDiffused(0.05);
    case RowKind::Halftone25: return ErrorDiffused(0.25);
    case RowKind::Halftone60: return ErrorDiffused(0.60);
    case RowKind::Halftone90: return ErrorDiffused(0.90);
    case RowKind::Ordered40: return Ordered(0.40);
    case RowKind::Random: {
        std::mt19937 rng(20240611);
        std::vector<Row> rows(kLines * kChannels, Row(kRowBytes));
        for (Row& r : rows)
            for (BYTE& b : r)
                b = static_cast<BYTE>(rng());
        return rows;
    }
    }
    return {};
}

} // namespace

const std::vector<RowKindInfo>& RowKinds()
{
    static const std::vector<RowKindInfo> kinds = {
        {RowKind::Blank, "blank", false},
        {RowKind::Solid, "solid", false},
        {RowKind::Halftone5, "halftone5", true},
        {RowKind::Halftone25, "halftone25", true},
        {RowKind::Halftone60, "halftone60", true},
        {RowKind::Halftone90, "halftone90", true},
        {RowKind::Ordered40, "ordered40", true},
        {RowKind::Random, "random", false},
    };
    return kinds;
}

const RowKindInfo& Info(RowKind kind)
{
    for (const RowKindInfo& i : RowKinds())
        if (i.kind == kind)
            return i;
    return RowKinds().front();
}

const std::vector<Row>& Rows(RowKind kind)
{
    static std::mutex mutex;
    static std::map<RowKind, std::vector<Row>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(kind);
    if (it == cache.end())
        it = cache.emplace(kind, Generate(kind)).first;
    return it->second;
}

double DotCoverage(const std::vector<Row>& rows)
{
    std::uint64_t dots = 0, pixels = 0;
    for (const Row& r : rows)
        for (BYTE b : r) {
            for (int s = 0; s < 8; s += 2)
                dots += ((b >> s) & 3) != 0;
            pixels += 4;
        }
    return pixels ? static_cast<double>(dots) / static_cast<double>(pixels) : 0.0;
}

std::uint64_t AllocationCount()
{
    return g_allocations.load(std::memory_order_relaxed);
}

} // namespace bench

// Every allocation of the program (the host library included, whose calls
// resolve to these) is counted.
namespace {

void* Allocate(std::size_t n)
{
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}

void* AllocateAligned(std::size_t n, std::align_val_t a)
{
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    void* p = nullptr;
    const std::size_t align = std::max(static_cast<std::size_t>(a), sizeof(void*));
    return posix_memalign(&p, align, n ? n : 1) == 0 ? p : nullptr;
}

} // namespace

void* operator new(std::size_t n)
{
    if (void* p = Allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n)
{
    if (void* p = Allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new(std::size_t n, std::align_val_t a)
{
    if (void* p = AllocateAligned(n, a))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a)
{
    if (void* p = AllocateAligned(n, a))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return AllocateAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return AllocateAligned(n, a);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
