#include "tools/rasterjob/Patterns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "tools/rasterjob/Screen.h"

namespace rasterjob {

namespace {

using Rows = std::vector<std::vector<BYTE>>;

// Hands out precomputed rows: row y of the channel is rows[pick(y)], or the
// zero row when pick answers -1.
class TableSource : public IRowSource {
public:
    TableSource(std::shared_ptr<const Rows> rows, std::shared_ptr<const std::vector<BYTE>> zero,
                std::function<int(int)> pick)
        : m_rows(std::move(rows)), m_zero(std::move(zero)), m_pick(std::move(pick))
    {
    }
    const BYTE* Row(int y, BYTE*) override
    {
        const int i = m_pick(y);
        return i < 0 ? m_zero->data() : (*m_rows)[static_cast<std::size_t>(i)].data();
    }

private:
    std::shared_ptr<const Rows> m_rows;
    std::shared_ptr<const std::vector<BYTE>> m_zero;
    std::function<int(int)> m_pick;
};

std::uint64_t Mix(std::uint64_t x)
{
    // splitmix64 finaliser
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Random dots, made afresh for every row into the channel's own buffer.
// About one row in eight is blank in every channel and one in six in a
// single channel; inked rows end at a random column, so their byte counts
// vary, and some carry a solid stretch so that PackBits finds runs.
class RandomSource : public IRowSource {
public:
    RandomSource(int width, int bits, int channel, std::uint64_t seed)
        : m_width(width), m_bits(bits), m_channel(channel), m_seed(seed), m_bytes(BytesPerRow(width, bits))
    {
    }
    const BYTE* Row(int y, BYTE* scratch) override
    {
        const std::uint64_t rowHash = Mix(m_seed * 0x100000001B3ULL ^ static_cast<std::uint64_t>(y));
        std::memset(scratch, 0, static_cast<std::size_t>(m_bytes));
        if (rowHash % 8 == 0)
            return scratch;
        const std::uint64_t h = Mix(rowHash + static_cast<std::uint64_t>(m_channel) + 1);
        if (h % 6 == 0)
            return scratch;
        const int inked = 1 + static_cast<int>((h >> 8) % static_cast<std::uint64_t>(m_width));
        const int bytes = BytesPerRow(inked, m_bits);
        std::uint64_t state = h | 1;
        for (int i = 0; i < bytes; i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            std::memcpy(scratch + i, &state, static_cast<std::size_t>(std::min(8, bytes - i)));
        }
        if ((h >> 40) & 1) {
            const int from = static_cast<int>((h >> 44) % static_cast<std::uint64_t>(bytes));
            const int len = std::min(bytes - from, 1 + static_cast<int>((h >> 20) % 300));
            std::memset(scratch + from, static_cast<int>((h >> 32) & 0xFF), static_cast<std::size_t>(len));
        }
        // Clear the pixels from 'inked' on, and never end on a zero byte.
        const int usedBits = inked * m_bits - (bytes - 1) * 8;
        scratch[bytes - 1] &= static_cast<BYTE>(0xFF << (8 - usedBits));
        if (scratch[bytes - 1] == 0)
            scratch[bytes - 1] = static_cast<BYTE>(1 << (8 - usedBits));
        return scratch;
    }

private:
    int m_width, m_bits, m_channel;
    std::uint64_t m_seed;
    int m_bytes;
};

using Sources = std::vector<std::unique_ptr<IRowSource>>;

struct Geometry {
    int width, height, bits, channels;
    std::uint64_t seed;
    int MaxLevel() const { return (1 << bits) - 1; }
    int Bytes() const { return BytesPerRow(width, bits); }
};

// Vertical bars of every dot level in 48-pixel stripes, shifted by one bar
// per channel, with the last eighth of the width left blank. The rows come
// in bands of 32: a band with every channel, one band per channel with that
// channel blank, and one band blank in every channel (a feed).
Sources Bars(const Geometry& g)
{
    auto zero = std::make_shared<const std::vector<BYTE>>(static_cast<std::size_t>(g.Bytes()), 0);
    auto rows = std::make_shared<Rows>();
    std::vector<std::uint8_t> levels(static_cast<std::size_t>(g.width));
    const int inkedWidth = std::max(1, g.width - g.width / 8);
    for (int c = 0; c < g.channels; ++c) {
        for (int x = 0; x < g.width; ++x)
            levels[static_cast<std::size_t>(x)] =
                x < inkedWidth ? static_cast<std::uint8_t>((x / 48 + c) % (g.MaxLevel() + 1)) : 0;
        std::vector<BYTE> row(static_cast<std::size_t>(g.Bytes()));
        PackLevels(levels.data(), g.width, g.bits, row.data());
        rows->push_back(std::move(row));
    }
    Sources out;
    const int period = g.channels + 2;
    for (int c = 0; c < g.channels; ++c)
        out.push_back(std::make_unique<TableSource>(rows, zero, [c, period](int y) {
            const int r = (y / 32) % period;
            return r == period - 1 || r == c + 1 ? -1 : c;
        }));
    return out;
}

// Coverage from none to full across the width (reversed in every other
// channel), ordered-screened; eight rows repeat.
Sources Gradient(const Geometry& g)
{
    auto zero = std::make_shared<const std::vector<BYTE>>(static_cast<std::size_t>(g.Bytes()), 0);
    Sources out;
    std::vector<std::uint8_t> ink(static_cast<std::size_t>(g.width));
    for (int c = 0; c < g.channels; ++c) {
        for (int x = 0; x < g.width; ++x) {
            const int v = g.width > 1 ? static_cast<int>(255LL * x / (g.width - 1)) : 255;
            ink[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(c % 2 ? 255 - v : v);
        }
        auto rows = std::make_shared<Rows>();
        Screener screen(g.width, g.bits, ScreenKind::Ordered);
        for (int y = 0; y < 8; ++y) {
            std::vector<BYTE> row(static_cast<std::size_t>(g.Bytes()));
            screen.ScreenRow(ink.data(), y, row.data());
            rows->push_back(std::move(row));
        }
        out.push_back(std::make_unique<TableSource>(rows, zero, [](int y) { return y & 7; }));
    }
    return out;
}

Sources Blank(const Geometry& g)
{
    auto zero = std::make_shared<const std::vector<BYTE>>(static_cast<std::size_t>(g.Bytes()), 0);
    Sources out;
    for (int c = 0; c < g.channels; ++c)
        out.push_back(std::make_unique<TableSource>(nullptr, zero, [](int) { return -1; }));
    return out;
}

Sources Random(const Geometry& g)
{
    Sources out;
    for (int c = 0; c < g.channels; ++c)
        out.push_back(std::make_unique<RandomSource>(g.width, g.bits, c, g.seed));
    return out;
}

// A 64-row tile of an error-diffused wave field with blank and solid
// stretches, made once and repeated: a halftoned image as a RIP sends it,
// at no cost per row.
Sources Tile(const Geometry& g)
{
    constexpr int kTileRows = 64;
    constexpr int kPeriod = 1024;
    std::vector<std::uint8_t> wave(kPeriod);
    for (int i = 0; i < kPeriod; ++i)
        wave[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(std::lround(127.5 + 127.5 * std::sin(2 * M_PI * i / kPeriod)));
    auto zero = std::make_shared<const std::vector<BYTE>>(static_cast<std::size_t>(g.Bytes()), 0);
    Sources out;
    std::vector<std::uint8_t> ink(static_cast<std::size_t>(g.width));
    for (int c = 0; c < g.channels; ++c) {
        auto rows = std::make_shared<Rows>();
        Screener screen(g.width, g.bits, ScreenKind::Diffusion);
        for (int y = 0; y < kTileRows; ++y) {
            for (int x = 0; x < g.width; ++x) {
                const int stripe = x / 2048 + c;
                std::uint8_t v = wave[static_cast<std::size_t>((x + y * (kPeriod / kTileRows) + c * kPeriod / 4) %
                                                               kPeriod)];
                if (stripe % 5 == 0)
                    v = 0;
                else if (stripe % 7 == 3)
                    v = 255;
                ink[static_cast<std::size_t>(x)] = v;
            }
            std::vector<BYTE> row(static_cast<std::size_t>(g.Bytes()));
            screen.ScreenRow(ink.data(), y, row.data());
            rows->push_back(std::move(row));
        }
        out.push_back(std::make_unique<TableSource>(rows, zero, [](int y) { return y % kTileRows; }));
    }
    return out;
}

struct PatternEntry {
    const char* name;
    Sources (*make)(const Geometry&);
};

constexpr PatternEntry kPatterns[] = {
    {"bars", Bars}, {"gradient", Gradient}, {"blank", Blank}, {"random", Random}, {"tile", Tile},
};

} // namespace

bool IsPatternName(const std::string& name)
{
    for (const PatternEntry& p : kPatterns)
        if (name == p.name)
            return true;
    return false;
}

std::string PatternNameList()
{
    std::string out;
    for (const PatternEntry& p : kPatterns)
        out += (out.empty() ? "" : ", ") + std::string(p.name);
    return out;
}

std::vector<std::unique_ptr<IRowSource>> MakePattern(const std::string& name, int width, int height, int bits,
                                                     int channels, std::uint64_t seed)
{
    const Geometry g{width, height, bits, channels, seed};
    for (const PatternEntry& p : kPatterns)
        if (name == p.name)
            return p.make(g);
    return {};
}

} // namespace rasterjob
