#include "layers/JfxLayerKinds.h"

#include <cwchar>
#include <vector>

namespace mimaki::jfx {
namespace {

struct KindRow {
    const char* label;
    int record;
};

constexpr KindRow kKinds[kKindCount] = {
    {"Color", 0},
    {"White", 1},
    {"Primer", 2},
    {"White+Color", 3},
    {"Color+White", 4},
    {"Varnish+Color", 5},
    {"Color+Varnish", 6},
    {"Primer+Color", 7},
    {"Varnish Matt", 15},
    {"Varnish Gloss", 15},
    {"Midlayer", 10},
    {"White2", 11},
    {"Color+Varnish Matt", 6},
    {"Color+Varnish Gloss", 6},
    {"Color+Embossed intermediate", 6},
    {"Varnish generic", 15},
    {"Embossed intermediate", 15},
    {"Varnish Base finish", 15},
    {"Color+Varnish Base", 6},
    {"White (High density)", 1},
    {"Color&White (high density) Underprint", 3},
    {"Color&White (high density) Overprint", 4},
    {"Varnish Half Gloss Finish", 15},
    {"UV Irradiation only", 0},
    {"Glossy primer", 2},
    {"Base Primer", 2},
    // The JFX200's double-white kinds.
    {"Double White", 26},
    {"Double White2", 27},
    {"Double White+Color", 28},
    {"Color+Double White", 29},
    {"Double White2+Color", 30},
    {"Color+Double White2", 31},
    {"White2+Color", 32},
    {"Color+White2", 33},
};
constexpr int kJfx500Kinds = 26;

constexpr unsigned long long Mask(std::initializer_list<int> kinds)
{
    unsigned long long m = 0;
    for (const int k : kinds)
        m |= 1ull << k;
    return m;
}
constexpr unsigned long long kJfx500Reversed = Mask({3, 5, 7});
constexpr unsigned long long kJfx200Reversed = Mask({3, 5, 7, 20, 28, 30, 32});

// Kind lists by printer type (WW, VV, WV, PP, WP, VP, WVP), not INLINE and INLINE.
using List = std::vector<int>;
struct ListPair {
    List full, inlined;
};
#define LIST(...) List{__VA_ARGS__}
constexpr int kN = kNone;
constexpr int kNoneColor[] = {kN, 0};

const ListPair kPlain[7] = {
    {LIST(kN, 0, 1, 3, 4, 10, 11), LIST(kN, 0, 1, 10, 11)},
    {LIST(kN, 0, 6, 8, 9), LIST(kN, 0, 8, 9)},
    {LIST(kN, 0, 1, 3, 4, 6, 8, 9, 10, 11), LIST(kN, 0, 1, 8, 9, 10, 11)},
    {LIST(kN, 0, 7, 2), LIST(kN, 0, 2)},
    {LIST(kN, 0, 1, 3, 4, 7, 2, 11, 10), LIST(kN, 0, 1, 2, 11, 10)},
    {LIST(kN, 0, 6, 8, 9, 2, 7), LIST(kN, 0, 8, 9)},
    {LIST(kN, 0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 23), LIST(kN, 0, 1, 2, 8, 9, 10, 11)},
};
// "bUJF7151"; PP and WVP keep their plain lists.
const ListPair kUjf7151[7] = {
    {LIST(kN, 0, 1, 19, 3, 20, 4, 21, 10, 11, 23), LIST(kN, 0, 1, 19, 10, 11, 23)},
    {LIST(kN, 0, 12, 8, 9, 22, 23), LIST(kN, 0, 8, 9, 22, 23)},
    {LIST(kN, 0, 1, 19, 3, 20, 4, 21, 8, 9, 22, 10, 11, 5, 13, 23), LIST(kN, 0, 1, 19, 8, 9, 22, 10, 11, 23)},
    {},
    {LIST(kN, 0, 1, 19, 3, 20, 4, 21, 7, 2, 24, 11, 10, 23), LIST(kN, 0, 1, 19, 2, 24, 11, 10, 23)},
    {LIST(kN, 0, 12, 8, 9, 22, 7, 2, 24, 23), LIST(kN, 0, 8, 9, 22, 24, 23)},
    {},
};
// The JFX200 with "bJFX200": WW, WV and WVP.
const ListPair kJfx200[7] = {
    {LIST(kN, 0, 1, 3, 4, 10, 11, 26, 27, 32, 33, 28, 29, 30, 31), LIST(kN, 0, 1, 10, 11, 26, 27)},
    {},
    {LIST(kN, 0, 1, 3, 4, 17, 8, 9, 16, 10, 11, 18, 12, 13, 26, 27, 32, 33, 28, 29, 30, 31),
     LIST(kN, 0, 1, 17, 8, 9, 10, 11, 26, 27)},
    {},
    {},
    {},
    {LIST(kN, 0, 1, 2, 3, 4, 18, 12, 13, 7, 17, 8, 9, 16, 10, 11, 26, 27, 32, 33, 28, 29, 30, 31),
     LIST(kN, 0, 1, 2, 17, 8, 9, 16, 10, 11, 26, 27)},
};

// Basic layers by printer type.
const List kBasic[7] = {
    LIST(0, 1, 7), LIST(0, 2, 7), LIST(0, 1, 2, 7), LIST(0, 3, 7), LIST(0, 1, 3, 7), LIST(0, 2, 3, 7), LIST(0, 1, 2, 3, 7),
};
constexpr int kBasicColorOnly[] = {0};
// The JFX200's own answers for WW, WV and WVP.
const List kBasicJfx200[7] = {
    LIST(0, 1, 8, 7), {}, LIST(0, 1, 8, 2, 7), {}, {}, {}, LIST(0, 1, 8, 2, 3, 7),
};

// Channel distribution.
struct ChannelRow {
    int id;                       // -1: any other identifier
    List jfx500, jfx200;
    int code500, fallback500;     // -1 as code: the channel's own identifier
    int code200, fallback200;
};
const ChannelRow kChannels[] = {
    {34, LIST(1, 3, 4), LIST(1, 26, 3, 28, 4, 29), 34, 33, 34, -1},
    {33, LIST(11), LIST(11, 27, 32, 30, 33, 31), 33, 34, 33, -1},
    {25, LIST(2, 7), LIST(2, 7), 25, 26, 25, 26},
    {26, LIST(2), LIST(2), 26, 25, 26, 25},
    {30, LIST(15, 5, 6), LIST(15, 5, 6), 30, 29, 30, 29},
    {29, LIST(15), LIST(15), 29, 30, 29, 30},
    {24, LIST(10), LIST(10), 0, -1, 0, -1},
    {-1, LIST(0, 3, 4, 5, 6, 7), LIST(0, 3, 4, 32, 33, 28, 29, 30, 31, 5, 6, 7), -1, -1, -1, -1},
};
#undef LIST

bool TypeListed(int printerType)
{
    return printerType >= 0 && printerType < 7;
}

} // namespace

int PrinterTypeFromName(const wchar_t* name)
{
    static const wchar_t* const kNames[7] = {L"WW", L"VV", L"WV", L"PP", L"WP", L"VP", L"WVP"};
    for (int t = 0; name && t < 7; ++t)
        if (std::wcscmp(name, kNames[t]) == 0)
            return t;
    return kNone;
}

int LayerModeFromName(const wchar_t* name)
{
    static const wchar_t* const kNames[3] = {L"ONLY4C", L"STAGGERED", L"INLINE"};
    for (int m = 0; name && m < 3; ++m)
        if (std::wcscmp(name, kNames[m]) == 0)
            return m;
    return -1;
}

const char* KindLabel(Model model, int kind)
{
    if (kind == kNone)
        return "None";
    const int named = model == Model::JFX200 ? kKindCount : kJfx500Kinds;
    return kind >= 0 && kind < named ? kKinds[kind].label : "***Unknown multi-layer***";
}

int KindRecord(int kind)
{
    return kind >= 0 && kind < kKindCount ? kKinds[kind].record : -1;
}

unsigned long long ReversedKindMask(Model model)
{
    return model == Model::JFX200 ? kJfx200Reversed : kJfx500Reversed;
}

bool KindReversed(Model model, int kind)
{
    return kind >= 0 && kind < 64 && ((ReversedKindMask(model) >> kind) & 1) != 0;
}

std::span<const int> MultiLayers(Model model, int printerType, int layerMode, Flags flags)
{
    const bool inlined = layerMode == kLayerModeInline;
    auto pick = [&](const ListPair& p) -> std::span<const int> { return inlined ? p.inlined : p.full; };
    if (!TypeListed(printerType))
        return kNoneColor;
    if (model == Model::JFX200) {
        const ListPair& p = kJfx200[printerType];
        return flags.jfx200 && !p.full.empty() ? pick(p) : std::span<const int>(kNoneColor);
    }
    if (flags.jfx200)
        return kNoneColor;
    if (flags.ujf7151 && !kUjf7151[printerType].full.empty())
        return pick(kUjf7151[printerType]);
    return pick(kPlain[printerType]);
}

std::span<const int> BasicLayers(Model model, int printerType, Flags flags)
{
    if (!TypeListed(printerType))
        return kBasicColorOnly;
    if (model == Model::JFX200 && !kBasicJfx200[printerType].empty())
        return kBasicJfx200[printerType];
    // With "bJFX200" the base keeps WW, VV, WV and WVP only.
    const bool kept = printerType == 0 || printerType == 1 || printerType == 2 || printerType == 6;
    if (flags.jfx200 && !kept)
        return kBasicColorOnly;
    return kBasic[printerType];
}

const char* BasicLayerLabel(Model model, int basic)
{
    static const char* const kLabels[] = {"Color",
                                          "White",
                                          "Varnish",
                                          "Primer",
                                          "Matt varnish",
                                          "Gloss varnish",
                                          "Embossed intermediate varnish",
                                          "Pure UV Irradiation",
                                          "White2"};
    if (basic == kNone)
        return "None";
    const int named = model == Model::JFX200 ? 9 : 8;
    return basic >= 0 && basic < named ? kLabels[basic] : "***Unknown basic layer***";
}

bool IsSpotIdentifier(int id)
{
    return (id >= 17 && id <= 22) || (id >= 24 && id <= 34);
}

ChannelTargets ChannelKinds(Model model, int hostId)
{
    for (const ChannelRow& row : kChannels) {
        if (row.id != hostId && row.id != -1)
            continue;
        const bool jfx200 = model == Model::JFX200;
        const int code = jfx200 ? row.code200 : row.code500;
        return {jfx200 ? row.jfx200 : row.jfx500, code < 0 ? hostId : code, jfx200 ? row.fallback200 : row.fallback500};
    }
    return {};
}

} // namespace mimaki::jfx
