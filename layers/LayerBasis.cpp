#include "layers/LayerBasis.h"

#include <cstring>
#include <iterator>

namespace mimaki::layers {
namespace {

constexpr bool M = true;
constexpr bool N = false;

// Layer sequences by mode: (selector, layer index, mirrored).
constexpr WhiteMode kJVModes[] = {
    {1, {{0, 0, N}}},
    {2, {{1, 0, N}, {2, 1, N}}},
    {2, {{2, 0, N}, {1, 1, N}}},
    {3, {{1, 0, N}, {2, 1, N}, {1, 2, N}}},
};

constexpr WhiteMode kTS300PModes[] = {
    {1, {{0, 0, N}}},
    {2, {{1, 0, N}, {2, 1, N}}},
    {2, {{2, 0, N}, {1, 1, N}}},
    {3, {{1, 0, N}, {2, 1, N}, {1, 2, N}}},
    {3, {{1, 0, M}, {2, 1, N}, {1, 2, N}}},
    {4, {{1, 0, N}, {2, 1, N}, {4, 2, N}, {1, 3, N}}},
    {4, {{1, 0, M}, {2, 1, N}, {4, 2, N}, {1, 3, N}}},
    {4, {{1, 0, N}, {4, 1, N}, {2, 2, N}, {1, 3, N}}},
    {4, {{1, 0, M}, {4, 1, N}, {2, 2, N}, {1, 3, N}}},
    {1, {{2, 0, N}}},
    {5, {{1, 0, N}, {2, 1, N}, {4, 2, N}, {2, 3, N}, {1, 4, N}}},
    {5, {{1, 0, M}, {2, 1, N}, {4, 2, N}, {2, 3, N}, {1, 4, N}}},
    {5, {{1, 0, M}, {2, 1, M}, {4, 2, N}, {2, 3, N}, {1, 4, N}}},
};

// The UJV100 passes layer index 0 for every section.
constexpr WhiteMode kUJV100Modes[] = {
    {1, {{0, 0, N}}},
    {1, {{2, 0, N}}},
    {1, {{3, 0, N}}},
    {1, {{3, 0, N}}},
    {2, {{1, 0, N}, {2, 0, N}}},
    {2, {{2, 0, N}, {1, 0, N}}},
    {2, {{1, 0, N}, {3, 0, N}}},
    {2, {{1, 0, N}, {3, 0, N}}},
    {1, {{1, 0, N}}},
};

// The UCJV300 prints modes 0 to 12 as the TS300P does; its further modes
// (first and last mode of a row):
struct NumberedMode {
    int first, last;
    WhiteMode mode;
};
constexpr NumberedMode kUCJV300MoreModes[] = {
    {13, 14, {2, {{1, 0, N}, {3, 1, N}}}},
    {15, 15, {3, {{2, 0, N}, {1, 1, N}, {3, 2, N}}}},
    {16, 17, {1, {{3, 0, N}}}},
    {26, 26, {3, {{1, 0, N}, {3, 1, N}, {1, 2, N}}}},
    {32, 32, {4, {{1, 0, N}, {3, 1, N}, {2, 2, N}, {1, 3, N}}}},
    {33, 33, {5, {{1, 0, N}, {3, 1, N}, {3, 2, N}, {3, 3, N}, {3, 4, N}}}},
    {34, 34, {3, {{3, 0, N}, {2, 1, N}, {1, 2, N}}}},
    {35, 35, {3, {{1, 0, N}, {2, 1, N}, {3, 2, N}}}},
};

// Channel kinds a selector takes: colour inks, white (33, 34), varnish (29,
// 30), midlayer (24). A selector missing from a family's list takes none.
struct SelectorRule {
    int selector;
    bool colour, white, varnish, midlayer;
};

constexpr bool T = true;
constexpr bool F = false;

constexpr SelectorRule kJVSelectors[] = {{0, T, T, T, T}, {1, T, F, T, T}, {2, F, T, F, F}};
constexpr SelectorRule kTS300PSelectors[] = {{0, T, F, T, F}, {1, T, F, T, F}, {2, F, T, F, F}, {4, F, F, F, T}};
constexpr SelectorRule kUJV100Selectors[] = {{0, T, T, T, T}, {1, T, F, F, T}, {2, F, T, F, F}, {3, F, F, T, F}};
constexpr SelectorRule kUCJV300Selectors[] = {
    {0, T, F, F, F}, {1, T, F, F, F}, {2, F, T, F, F}, {3, F, F, T, F}, {4, F, F, F, T}};

std::span<const WhiteMode> Modes(Family family)
{
    switch (family) {
    case Family::TS300P:
    case Family::UCJV300: return kTS300PModes;
    case Family::UJV100: return kUJV100Modes;
    default: return kJVModes;
    }
}

std::span<const SelectorRule> Selectors(Family family)
{
    switch (family) {
    case Family::TS300P: return kTS300PSelectors;
    case Family::UJV100: return kUJV100Selectors;
    case Family::UCJV300: return kUCJV300Selectors;
    default: return kJVSelectors;
    }
}

} // namespace

const WhiteMode* FindWhiteMode(Family family, int mode)
{
    const std::span<const WhiteMode> modes = Modes(family);
    if (mode >= 0 && static_cast<std::size_t>(mode) < modes.size())
        return &modes[static_cast<std::size_t>(mode)];
    if (family == Family::UCJV300)
        for (const NumberedMode& m : kUCJV300MoreModes)
            if (mode >= m.first && mode <= m.last)
                return &m.mode;
    return nullptr;
}

int LastWhiteMode(Family family)
{
    if (family == Family::UCJV300)
        return std::end(kUCJV300MoreModes)[-1].last;
    return static_cast<int>(Modes(family).size()) - 1;
}

int LayerCount(const WhiteMode& mode)
{
    int count = 1;
    for (int i = 0; i < mode.count; ++i)
        count = mode.steps[i].layer + 1 > count ? mode.steps[i].layer + 1 : count;
    return count;
}

bool Selects(Family family, int selector, int colour)
{
    const bool white = colour == 33 || colour == 34;
    const bool varnish = colour == 29 || colour == 30;
    for (const SelectorRule& r : Selectors(family))
        if (r.selector == selector)
            return white ? r.white : varnish ? r.varnish : colour == 24 ? r.midlayer : r.colour;
    return false;
}

std::size_t WriteLayerHeader(BYTE* dst, HeaderForm form, int colour, int packed, int bitsPerPixel, int rawCount,
                             int sentCount, int layer)
{
    static constexpr BYTE kQY[] = {'Q', 'Y', 5, 0, 0, 0, 0, 0};
    static constexpr BYTE kQR[] = {'Q', 'R', 1, 0};
    BYTE* p = dst;
    auto put = [&p](const BYTE* block, std::size_t n) {
        std::memcpy(p, block, n);
        p += n;
    };
    if (form == HeaderForm::QYQRQD)
        put(kQY, sizeof kQY);
    put(kQR, sizeof kQR);
    if (form == HeaderForm::QRQYQD)
        put(kQY, sizeof kQY);
    const BYTE qd[] = {'Q',
                       'D',
                       10,
                       static_cast<BYTE>(colour),
                       static_cast<BYTE>(packed),
                       static_cast<BYTE>(bitsPerPixel),
                       static_cast<BYTE>(rawCount),
                       static_cast<BYTE>(rawCount >> 8),
                       1,
                       0,
                       static_cast<BYTE>(sentCount),
                       static_cast<BYTE>(sentCount >> 8),
                       static_cast<BYTE>(layer)};
    put(qd, sizeof qd);
    return static_cast<std::size_t>(p - dst);
}

void AssignLayerHeader(std::string& header, HeaderForm form, int colour, int packed, int bitsPerPixel, int rawCount,
                       int sentCount, int layer)
{
    BYTE bytes[kMaxHeader];
    const std::size_t n =
        WriteLayerHeader(bytes, form, colour, packed, bitsPerPixel, rawCount, sentCount, layer);
    header.assign(reinterpret_cast<const char*>(bytes), n);
}

} // namespace mimaki::layers
