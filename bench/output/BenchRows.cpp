#include "BenchRows.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <random>

#ifdef MIMAKI_HAVE_RASTERJOB
#include "tools/rasterjob/Patterns.h"
#endif

namespace bench {

namespace {

std::atomic<std::uint64_t> g_allocations{0};

constexpr double kTwoPi = 6.283185307179586;

// Ink amount 0..1 of channel c at pixel x of line y.
using InkFn = std::function<double(int c, std::size_t x, int y)>;

// A photograph's separation: a horizontal gradient with slow waves across
// and along the medium, scaled so that the mean is near `coverage`; each
// channel has its own strength and phase.
InkFn Photo(double coverage)
{
    return [coverage](int c, std::size_t x, int y) {
        static const double kStrength[kChannels] = {1.0, 0.8, 1.2, 0.6, 1.4, 0.9, 1.1, 1.0};
        const double g = static_cast<double>(x) / kPixelsPerRow;
        const double wave = 1 + 0.35 * std::sin(kTwoPi * static_cast<double>(x) / (9000.0 + 1300.0 * c) + c) *
                                    std::cos(kTwoPi * (y + 400) / 700.0 + 0.5 * c);
        return std::clamp(coverage * kStrength[c] * (0.3 + 1.4 * g) * wave, 0.0, 1.0);
    };
}

// No ink at the left edge to full ink at the right (reversed in every other
// channel).
InkFn Ramp()
{
    return [](int c, std::size_t x, int) {
        const double g = static_cast<double>(x) / (kPixelsPerRow - 1);
        return c % 2 ? 1 - g : g;
    };
}

void Put(Row& row, std::size_t x, int level, int bits)
{
    const std::size_t perByte = 8 / static_cast<std::size_t>(bits);
    const int shift = 8 - bits * (1 + static_cast<int>(x % perByte));
    row[x / perByte] = static_cast<BYTE>(row[x / perByte] | level << shift);
}

std::vector<Row> Empty(const RowKind& kind, BYTE fill = 0)
{
    return std::vector<Row>(static_cast<std::size_t>(kind.lines * kind.channels), Row(kind.RowBytes(), fill));
}

// Floyd-Steinberg error diffusion to the dot levels of the kind.
std::vector<Row> Diffused(const RowKind& kind, const InkFn& ink)
{
    const int top = (1 << kind.bits) - 1;
    std::vector<Row> rows = Empty(kind);
    for (int c = 0; c < kind.channels; ++c) {
        std::vector<float> err(kPixelsPerRow + 2, 0.f), next(kPixelsPerRow + 2, 0.f);
        for (int y = 0; y < kind.lines; ++y) {
            Row& row = rows[static_cast<std::size_t>(y * kind.channels + c)];
            std::fill(next.begin(), next.end(), 0.f);
            for (std::size_t x = 0; x < kPixelsPerRow; ++x) {
                const float want = static_cast<float>(top * ink(c, x, y)) + err[x + 1];
                const int level = std::clamp(static_cast<int>(std::lround(want)), 0, top);
                const float e = want - static_cast<float>(level);
                err[x + 2] += e * 7 / 16;
                next[x] += e * 3 / 16;
                next[x + 1] += e * 5 / 16;
                next[x + 2] += e * 1 / 16;
                Put(row, x, level, kind.bits);
            }
            err.swap(next);
        }
    }
    return rows;
}

// Ordered dither with an 8x8 Bayer matrix.
std::vector<Row> Ordered(const RowKind& kind, const InkFn& ink)
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
    const int top = (1 << kind.bits) - 1;
    std::vector<Row> rows = Empty(kind);
    for (int y = 0; y < kind.lines; ++y)
        for (int c = 0; c < kind.channels; ++c) {
            Row& row = rows[static_cast<std::size_t>(y * kind.channels + c)];
            for (std::size_t x = 0; x < kPixelsPerRow; ++x) {
                const double t = (bayer[y % 8][x % 8] + 0.5) / 64;
                Put(row, x, std::clamp(static_cast<int>(top * ink(c, x, y) + t), 0, top), kind.bits);
            }
        }
    return rows;
}

// Isolated dots of a light flat tint (one pixel in `every`, a little more
// or less per channel): diffusion along the row with a threshold that
// wanders, so that the gaps vary as they do in a screened tint. (Floyd-
// Steinberg over the few lines kept here would not yet have placed a dot.)
std::vector<Row> TintDots(const RowKind& kind, int every)
{
    std::mt19937 rng(static_cast<unsigned>(every));
    std::uniform_real_distribution<double> jitter(-0.4, 0.4);
    const int top = (1 << kind.bits) - 1;
    std::vector<Row> rows = Empty(kind);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const double ink = (0.8 + 0.05 * static_cast<double>(r % static_cast<std::size_t>(kind.channels))) / every;
        double acc = jitter(rng) + 0.5;
        for (std::size_t x = 0; x < kPixelsPerRow; ++x) {
            acc += ink;
            if (acc >= 1.0) {
                acc -= 1.0 + jitter(rng);
                Put(rows[r], x, 1 + static_cast<int>(rng() % static_cast<unsigned>(top)), kind.bits);
            }
        }
    }
    return rows;
}

// Single dots with zero runs between them of random length (8 to 80 bytes).
std::vector<Row> ScatteredDots(const RowKind& kind)
{
    std::mt19937 rng(77);
    std::vector<Row> rows = Empty(kind);
    for (Row& r : rows)
        for (std::size_t i = rng() % 40; i < r.size(); i += 8 + rng() % 73)
            r[i] = static_cast<BYTE>(1u << (rng() % 8));
    return rows;
}

std::vector<Row> RandomBytes(const RowKind& kind)
{
    std::mt19937 rng(20240611);
    std::vector<Row> rows = Empty(kind);
    for (Row& r : rows)
        for (BYTE& b : r)
            b = static_cast<BYTE>(rng());
    return rows;
}

#ifdef MIMAKI_HAVE_RASTERJOB
// The rows rasterjob's tile pattern feeds, as the job feeds them.
std::vector<Row> RasterjobTile(const RowKind& kind)
{
    auto sources = rasterjob::MakePattern("tile", static_cast<int>(kPixelsPerRow), kind.lines, kind.bits,
                                          kind.channels, 1);
    std::vector<Row> rows = Empty(kind);
    Row scratch(kind.RowBytes());
    for (int y = 0; y < kind.lines; ++y)
        for (int c = 0; c < kind.channels; ++c) {
            const BYTE* row = sources[static_cast<std::size_t>(c)]->Row(y, scratch.data());
            std::copy(row, row + kind.RowBytes(), rows[static_cast<std::size_t>(y * kind.channels + c)].begin());
        }
    return rows;
}
#endif

struct KindMaker {
    RowKind kind;
    std::function<std::vector<Row>(const RowKind&)> make;
};

const std::vector<KindMaker>& Makers()
{
    static const std::vector<KindMaker> makers = [] {
        std::vector<KindMaker> m;
        m.push_back({{"blank", 2, 4.0, "every byte 0"}, [](const RowKind& k) { return Empty(k, 0x00); }});
        m.push_back({{"solid", 2, 4.0, "every byte 0xFF"}, [](const RowKind& k) { return Empty(k, 0xFF); }});
        for (int pct : {1, 5, 10, 25, 50, 75, 90, 99})
            m.push_back({{"diffusion" + std::to_string(pct), 2, 2.0,
                          "Floyd-Steinberg, 4 levels, photo at " + std::to_string(pct) + "% ink"},
                         [pct](const RowKind& k) { return Diffused(k, Photo(pct / 100.0)); }});
        for (int pct : {2, 10, 50, 90})
            m.push_back({{"diffusion1bit" + std::to_string(pct), 1, 2.0,
                          "Floyd-Steinberg, 1 bit, photo at " + std::to_string(pct) + "% ink"},
                         [pct](const RowKind& k) { return Diffused(k, Photo(pct / 100.0)); }});
        for (int pct : {1, 10, 40, 75, 99})
            m.push_back({{"ordered" + std::to_string(pct), 2, 2.0,
                          "8x8 Bayer dither, 4 levels, photo at " + std::to_string(pct) + "% ink"},
                         [pct](const RowKind& k) { return Ordered(k, Photo(pct / 100.0)); }});
        for (int pct : {5, 50})
            m.push_back({{"ordered1bit" + std::to_string(pct), 1, 2.0,
                          "8x8 Bayer dither, 1 bit, photo at " + std::to_string(pct) + "% ink"},
                         [pct](const RowKind& k) { return Ordered(k, Photo(pct / 100.0)); }});
        // Tints of one dot in about 100 to 400 pixels: zero runs of a dozen
        // to 50 bytes between isolated dots.
        for (int every : {100, 200, 400})
            m.push_back({{"tint1bit1in" + std::to_string(every), 1, 2.0,
                          "isolated dots of a flat tint, 1 bit, one pixel in " + std::to_string(every)},
                         [every](const RowKind& k) { return TintDots(k, every); }});
        for (int every : {50, 200})
            m.push_back({{"tint1in" + std::to_string(every), 2, 2.0,
                          "isolated dots of a flat tint, 4 levels, one pixel in " + std::to_string(every)},
                         [every](const RowKind& k) { return TintDots(k, every); }});
        m.push_back({{"scattered", 1, 2.0, "single dots, zero runs of 8 to 80 bytes at random"}, ScatteredDots});
        m.push_back({{"gradientordered", 2, 2.0, "0 to 100% across the width, 8x8 Bayer dither, 4 levels"},
                     [](const RowKind& k) { return Ordered(k, Ramp()); }});
        m.push_back({{"gradientordered1bit", 1, 2.0, "0 to 100% across the width, 8x8 Bayer dither, 1 bit"},
                     [](const RowKind& k) { return Ordered(k, Ramp()); }});
        m.push_back({{"gradientdiffusion", 2, 2.0, "0 to 100% across the width, Floyd-Steinberg, 4 levels"},
                     [](const RowKind& k) { return Diffused(k, Ramp()); }});
        m.push_back({{"random", 2, 2.0, "random bytes"}, RandomBytes});
#ifdef MIMAKI_HAVE_RASTERJOB
        m.push_back({{"rasterjobtile", 2, 2.0, "rasterjob's tile pattern, the rows of scripts/bench-rasterjob.sh", 64, 4},
                     RasterjobTile});
#endif
        return m;
    }();
    return makers;
}

} // namespace

const std::vector<RowKind>& RowKinds()
{
    static const std::vector<RowKind> kinds = [] {
        std::vector<RowKind> k;
        for (const KindMaker& m : Makers())
            k.push_back(m.kind);
        return k;
    }();
    return kinds;
}

const RowKind& FindKind(const std::string& name)
{
    for (const RowKind& k : RowKinds())
        if (k.name == name)
            return k;
    return RowKinds().front();
}

const std::vector<Row>& Rows(const RowKind& kind)
{
    static std::mutex mutex;
    static std::map<std::string, std::vector<Row>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(kind.name);
    if (it == cache.end())
        for (const KindMaker& m : Makers())
            if (m.kind.name == kind.name)
                it = cache.emplace(kind.name, m.make(m.kind)).first;
    return it->second;
}

double DotCoverage(const RowKind& kind)
{
    std::uint64_t dots = 0, pixels = 0;
    const int mask = (1 << kind.bits) - 1;
    for (const Row& r : Rows(kind))
        for (BYTE b : r) {
            for (int s = 0; s < 8; s += kind.bits)
                dots += ((b >> s) & mask) != 0;
            pixels += static_cast<std::uint64_t>(8 / kind.bits);
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
