#include "layers/LayerBasis.h"

#include <algorithm>
#include <cstring>

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

// Channel kinds a selector takes: colour inks, white (33, 34), midlayer (24).
struct SelectorRule {
    int selector;
    bool colour, white, midlayer;
};

constexpr SelectorRule kJVSelectors[] = {{0, true, true, true}, {1, true, false, true}, {2, false, true, false}};
constexpr SelectorRule kTS300PSelectors[] = {
    {0, true, false, false}, {1, true, false, false}, {2, false, true, false}, {4, false, false, true}};

std::span<const WhiteMode> Modes(Family family)
{
    if (family == Family::TS300P)
        return kTS300PModes;
    return kJVModes;
}

} // namespace

const WhiteMode* FindWhiteMode(Family family, int mode)
{
    const std::span<const WhiteMode> modes = Modes(family);
    return mode >= 0 && static_cast<std::size_t>(mode) < modes.size() ? &modes[static_cast<std::size_t>(mode)]
                                                                      : nullptr;
}

int LastWhiteMode(Family family)
{
    return static_cast<int>(Modes(family).size()) - 1;
}

bool Selects(Family family, int selector, int colour)
{
    const std::span<const SelectorRule> rules =
        family == Family::TS300P ? std::span<const SelectorRule>(kTS300PSelectors) : std::span<const SelectorRule>(kJVSelectors);
    const bool white = colour == 33 || colour == 34;
    const bool midlayer = family == Family::TS300P && colour == 24;
    for (const SelectorRule& r : rules)
        if (r.selector == selector)
            return white ? r.white : midlayer ? r.midlayer : r.colour;
    return false;
}

std::size_t WriteLayerHeader(BYTE* dst, bool shortHeader, int colour, int packed, int bitsPerPixel, int rawCount,
                             int sentCount, int layer)
{
    static constexpr BYTE kQY[] = {'Q', 'Y', 5, 0, 0, 0, 0, 0};
    BYTE* p = dst;
    if (!shortHeader) {
        std::memcpy(p, kQY, sizeof kQY);
        p += sizeof kQY;
    }
    const BYTE rest[] = {'Q',
                         'R',
                         1,
                         0,
                         'Q',
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
    std::memcpy(p, rest, sizeof rest);
    return static_cast<std::size_t>(p - dst) + sizeof rest;
}

std::size_t WriteLayerHeaderQRFirst(BYTE* dst, int colour, int packed, int bitsPerPixel, int rawCount, int sentCount,
                                    int layer)
{
    const std::size_t n = WriteLayerHeader(dst, false, colour, packed, bitsPerPixel, rawCount, sentCount, layer);
    std::rotate(dst, dst + 8, dst + 12); // "QY" block behind the "QR" block
    return n;
}

void AssignLayerHeader(std::string& header, bool shortHeader, int colour, int packed, int bitsPerPixel, int rawCount,
                       int sentCount, int layer)
{
    BYTE bytes[kMaxHeader];
    const std::size_t n =
        WriteLayerHeader(bytes, shortHeader, colour, packed, bitsPerPixel, rawCount, sentCount, layer);
    header.assign(reinterpret_cast<const char*>(bytes), n);
}

} // namespace mimaki::layers
