// Generates the plug-in's embedded print-condition blocks.
//
// The blocks are stand-ins: the printer maker's own tables are not part of
// this source tree. Each block is built to the published shape of its entry
// (name, byte size, record count, number of conditions after merging, ink
// sets, header bytes) from plausible print modes: media classes, resolutions
// with a "VD" display name, wave forms, pass counts and overpainting values.
// Records that belong to one condition differ only in their action category
// (and in the stored order of their lists), so that they merge exactly into
// the stated number of conditions. Everything is derived from a seed per
// entry name: the output is the same on every run.
//
// Usage: GenPrintModeTables OUTPUT.cpp

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

enum Family { kTextile, kFlatbedUv, kRollUv, kSolvent };

// Quirks of individual stored tables.
enum Quirk : unsigned {
    kNone = 0,
    kHeaderByte5Is2 = 1,     // header byte 5 is 2 instead of 1
    kLengthPlus2NulPad = 2,  // header byte 6 is 1; record lengths are 2 too large; texts padded with NUL
};

struct EntrySpec {
    const char* name;
    int bytes;       // whole block, header included
    int records;
    int conditions;  // after merging
    Family family;
    std::vector<const char*> inksets;
    unsigned quirks = kNone;
};

const std::vector<EntrySpec>& Entries()
{
    static const std::vector<EntrySpec> entries = {
        {"PrintModeDataTX300PAllInksets", 6452, 57, 53, kTextile,
         {"AC400-8Z0", "DD400-8Z0", "RC400-8Z0", "RC500-8Z0", "SB420-4Z0", "SB420-6Z0", "SB421-4Z0", "SB421-6Z0",
          "TP400-4Z0", "TP400-7Z0"},
         kHeaderByte5Is2},
        {"PrintModeDataTX300PHybridAllInksets", 912, 8, 8, kTextile, {"SB420-4Z0", "TP400-4Z0"}},
        {"PrintModeDataSIJ320UVAllInksets", 561, 5, 5, kRollUv, {"LUS120-4"}},
        {"PrintModeDataUJV55AllInksets", 38217, 344, 64, kRollUv, {"LUS120-4", "LUS120-602", "LUS120-604"},
         kHeaderByte5Is2},
        {"PrintModeDataUJF7151AllInksets", 22913, 222, 25, kFlatbedUv, {"LUS120-404"}},
        {"PrintModeDataTx500PAllInksets", 1049, 9, 9, kTextile, {"SB320-410", "SB320-610"}, kHeaderByte5Is2},
        {"PrintModeDataUJF3042MKIIAllInksets", 147050, 1428, 50, kFlatbedUv, {"LH100-401"}, kHeaderByte5Is2},
        {"PrintModeDataUJF6042MKIIAllInksets", 173188, 1682, 50, kFlatbedUv, {"LH100-601"}, kHeaderByte5Is2},
        {"PrintModeDataUCJV150_CMYK", 1970, 18, 18, kRollUv, {"LUS170-400"}},
        {"PrintModeDataTS55_1800Inksets4c", 552, 5, 5, kTextile, {"SB610-410"}},
        {"PrintModeDataTS55_1800Inksets6c", 335, 3, 3, kTextile, {"SB610-610"}},
        {"PrintModeDataTS55_1800Inksets7c", 335, 3, 3, kTextile, {"SB610-710"}},
        {"PrintModeDataTS55_1800Inksets8c", 335, 3, 3, kTextile, {"SB610-810"}},
        {"PrintModeDataTX300P_MKII_SB420_4C", 478, 4, 4, kTextile, {"SB420-4Z0"}},
        {"PrintModeDataTX300P_MKII_SB420_6C", 478, 4, 4, kTextile, {"SB420-6Z0"}},
        {"PrintModeDataTX300P_MKII_TP400_7C", 338, 3, 3, kTextile, {"TP400-7Z0"}},
        {"PrintModeDataTX300P_MKII_RC400_8C", 576, 5, 5, kTextile, {"RC400-8Z0"}},
        {"PrintModeDataTX300P_MKII_SB420_TP400_Hybrid", 912, 8, 8, kTextile, {"SB420-4Z0", "TP400-4Z0"}},
        {"PrintModeDataTX300P_MKII_SB411_TP400_Hybrid", 912, 8, 8, kTextile, {"SB411-4Z0", "TP400-4Z0"}},
        {"PrintModeDataTX300P_MKII_SB411_SB420_Hybrid", 942, 8, 8, kTextile, {"SB411-4Z0", "SB420-4Z0"}},
        {"PrintModeData_C_JV300PLUS_4C", 919, 7, 7, kSolvent, {"SS21-4"}},
        {"PrintModeData_C_JV300PLUS_4C_Blue", 919, 7, 7, kSolvent, {"SB54-410"}},
        {"PrintModeData_C_JV300PLUS_6C_Blue", 901, 7, 7, kSolvent, {"SB54-610"}},
        {"PrintModeData_C_JV300PLUS_8C_Oranje", 901, 7, 7, kSolvent, {"SS21-cmOk"}},
        {"PrintModeData_C_JV300PLUS_8C_White", 4449, 35, 7, kSolvent, {"SS21-cmS"}},
        {"PrintModeData_C_JV300PLUS_8C_WhSi", 8884, 70, 7, kSolvent, {"SS21-cmS"}},
        {"PrintModeData_C_JV300PLUS_8C_CMYKkOrWW", 4449, 35, 7, kSolvent, {"SS21-cmS"}},
        {"PrintModeData_C_JV300PLUS_8C_CMYKkOrWSi", 8884, 70, 7, kSolvent, {"SS21-cmS"}},
        {"PrintModeDataSWJ320EA_AllInksets", 811, 7, 7, kSolvent, {"CS100-400"}},
        {"PrintModeDataUJV100_4C_AllInksets", 1710, 16, 16, kRollUv, {"LUS210-400"}},
        {"PrintModeDataUJV100_MCYKWW_AllInksets", 4472, 42, 16, kRollUv, {"LUS210-40C"}},
        {"PrintModeDataUJV100_WWMCYK_AllInksets", 4472, 42, 16, kRollUv, {"LUS210-40D"}},
        {"PrintModeDataUJV100_MCYKWCl_AllInksets", 8518, 80, 16, kRollUv, {"LUS210-40A"}},
        {"PrintModeDataJV100_AllInksets", 995, 9, 9, kSolvent, {"CS250-400"}},
        {"PrintModeDataTS100_AllInksets", 323, 3, 3, kTextile, {"SB610-410"}},
        {"PrintModeDataUJF7151PlusII_CMYK", 2531, 24, 18, kFlatbedUv, {"LH100-400"}},
        {"PrintModeDataUJF7151PlusII_CMYKWWClPr", 29009, 276, 21, kFlatbedUv, {"LH100-407"}},
        {"PrintModeDataUJF7151PlusII_CcMmYKWCl", 26711, 255, 24, kFlatbedUv, {"LH100-604"}},
        {"PrintModeDataUJF7151PlusII_CcMmYKWPr", 19796, 189, 21, kFlatbedUv, {"LH100-605"}},
        {"PrintModeDataUJF7151PlusII_CcMmYKClPr", 26711, 255, 24, kFlatbedUv, {"LH100-606"}},
        {"PrintModeDataUJF7151PlusII_CcMmYKWSi", 12854, 123, 30, kFlatbedUv, {"LH100-603"}},
        {"PrintModeDataUJF7151PlusII_CcMmYKClSi", 19769, 189, 33, kFlatbedUv, {"LH100-60B"}},
        {"PrintModeDataUJF7151PlusII_CcMmYKWW", 8537, 81, 21, kFlatbedUv, {"LH100-602"}},
        {"PrintModeDataUJFx042MkIIe_CMYKWWVP", 16388, 159, 40, kFlatbedUv, {"LH100-40I"}},
        {"PrintModeDataUJFx042MkIIe_CcMmYK", 10620, 103, 32, kFlatbedUv, {"LH100-608"}},
        {"PrintModeDataUJFx042MkIIe_CcMmYKWP", 15873, 154, 35, kFlatbedUv, {"LH100-605"}},
        {"PrintModeDataUJFx042MkIIe_CcMmYKWV", 17727, 172, 37, kFlatbedUv, {"LH100-604"}},
        {"PrintModeDataUJFx042MkIIe_CcMmYKVP", 14322, 139, 27, kFlatbedUv, {"LH100-606"}},
        {"PrintModeDataUJFx042MkIIe_CcMmYKWW", 10620, 103, 32, kFlatbedUv, {"LH100-608"}},
        {"PrintModeDataUCJV300_CMYK", 1548, 14, 14, kRollUv, {"LUS200-400"}},
        {"PrintModeDataUCJV300_CMYKWW", 7446, 68, 10, kRollUv, {"LUS200-408"}},
        {"PrintModeDataUCJV300_CMYKClW", 11828, 108, 18, kRollUv, {"LUS170-40A"}},
        {"PrintModeDataUCJV300_CcMmYKW", 7978, 73, 18, kRollUv, {"LUS170-608"}},
        {"PrintModeDataUJV100PLUS_LUS170_400_CMYK", 1710, 16, 16, kRollUv, {"LUS170-400"}},
        {"PrintModeDataUJV100PLUS_LUS170_40C_MCYKWW", 4472, 42, 16, kRollUv, {"LUS170-40C"}},
        {"PrintModeDataUJV100PLUS_LUS170_40D_WWMCYK", 4472, 42, 16, kRollUv, {"LUS170-40D"}},
        {"PrintModeDataUJV100PLUS_LUS170_40A_MCYKWCl", 8518, 80, 16, kRollUv, {"LUS170-40A"}},
        {"PrintModeDataUCJV330_LUS170_400_CMYK", 668, 6, 6, kRollUv, {"LUS170-400"}},
        {"PrintModeDataUCJV330_LUS200_408_CMYKW", 9310, 86, 12, kRollUv, {"LUS200-408"}, kLengthPlus2NulPad},
        {"PrintModeDataUCJV330_LUS170_40A_CMYKClW", 668, 6, 6, kRollUv, {"LUS170-40A"}},
        {"PrintModeDataUCJV330_LUS170_608_CMYKLcLmW", 668, 6, 6, kRollUv, {"LUS170-608"}},
    };
    return entries;
}

// Media classes (print-mode sets) by printer family; the index is the
// print-mode set number.
const std::vector<const char*>& PrintModeSets(Family f)
{
    static const std::vector<const char*> textile = {"Fabric-1", "Fabric-2", "Paper", "Polyester",
                                                     "Cotton", "Silk", "Stretch"};
    static const std::vector<const char*> flatbed = {"PET", "Lexan", "Acrylic", "PVC-1", "Glass", "Metal", "ABS"};
    static const std::vector<const char*> rollUv = {"PVC-1", "PET", "Tarpaulin", "Backlit film",
                                                    "Canvas", "Paper", "Fabric-1"};
    static const std::vector<const char*> solvent = {"PVC-1", "PVC-2", "Tarpaulin", "FF", "Paper", "Film", "Canvas"};
    switch (f) {
    case kTextile: return textile;
    case kFlatbedUv: return flatbed;
    case kRollUv: return rollUv;
    case kSolvent: break;
    }
    return solvent;
}

struct Resolution {
    int y;     // horizontal dpi
    int x;     // vertical dpi
    int wave;  // wave form usually driven at this resolution
    int pass;  // typical pass count
};

// Ordered from draft to fine.
const std::vector<Resolution>& Resolutions(Family f)
{
    static const std::vector<Resolution> textile = {{600, 300, 1, 2},   {300, 600, 1, 2},   {360, 540, 2, 4},
                                                    {540, 720, 2, 4},   {720, 720, 3, 8},   {720, 1080, 3, 8},
                                                    {720, 1440, 4, 16}, {1440, 1440, 5, 32}};
    static const std::vector<Resolution> flatbed = {{600, 600, 1, 4},   {600, 900, 1, 8},   {720, 600, 2, 8},
                                                    {720, 900, 2, 12},  {600, 1200, 3, 16}, {720, 1200, 3, 16},
                                                    {720, 1440, 4, 24}, {1200, 1200, 5, 32}};
    static const std::vector<Resolution> rollUv = {{300, 150, 1, 2},   {600, 600, 1, 4},   {600, 900, 2, 8},
                                                   {720, 720, 2, 8},   {720, 1080, 3, 12}, {600, 1200, 3, 16},
                                                   {720, 1440, 4, 16}, {900, 1800, 6, 32}};
    static const std::vector<Resolution> solvent = {{360, 360, 1, 2},   {360, 720, 1, 4},   {540, 720, 2, 6},
                                                    {720, 720, 2, 8},   {720, 1080, 3, 12}, {720, 1440, 4, 16},
                                                    {1440, 1440, 5, 32}, {1800, 1800, 6, 48}};
    switch (f) {
    case kTextile: return textile;
    case kFlatbedUv: return flatbed;
    case kRollUv: return rollUv;
    case kSolvent: break;
    }
    return solvent;
}

constexpr int kPasses[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};

// splitmix64
struct Rng {
    std::uint64_t state;
    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    template <class T>
    void Shuffle(std::vector<T>& v)
    {
        for (std::size_t i = v.size(); i > 1; --i)
            std::swap(v[i - 1], v[static_cast<std::size_t>(Below(static_cast<int>(i)))]);
    }
};

std::uint64_t Fnv1a(const char* s, std::uint64_t salt)
{
    std::uint64_t h = 0xcbf29ce484222325ull ^ salt;
    for (; *s; ++s) {
        h ^= static_cast<unsigned char>(*s);
        h *= 0x100000001b3ull;
    }
    return h;
}

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "GenPrintModeTables: %s\n", what.c_str());
    std::exit(1);
}

constexpr int kFixedPart = 74;
constexpr int kListHeaders = 4 * 3;
constexpr int kMinPayload = 3 + 1 + 1 + 1;        // one entry in every list
constexpr int kMaxPayload = 3 * 14 + 2 + 9 + 1;   // 14 band divisions, both scan directions, 9 overpaint values
constexpr int kMaxActionCategories = 5 * 28;     // large 0..40 step 10, small 0..27

struct Condition {
    const char* inkset;
    int modeSet;  // index into PrintModeSets
    int resolution;
    int wave;
    int hq;
    int records = 1;
    int payload = 0;
    // Lists in canonical order.
    std::vector<std::array<std::uint8_t, 3>> bands;
    std::vector<std::uint8_t> scans;
    std::vector<std::uint8_t> overpaints;
    std::vector<std::pair<int, int>> categories;
};

// Conditions with distinct keys (ink set, media, resolution, wave form, HQ),
// so that no two of them can merge. Every ink set occurs.
std::vector<Condition> PickConditions(const EntrySpec& e, Rng& rng)
{
    struct Candidate {
        int inkset, modeSet, resolution, variant;
    };
    const int nModes = static_cast<int>(PrintModeSets(e.family).size());
    const int nRes = static_cast<int>(Resolutions(e.family).size());
    std::vector<Candidate> all;
    for (int k = 0; k < static_cast<int>(e.inksets.size()); ++k)
        for (int r = 0; r < nRes; ++r)
            for (int m = 0; m < nModes; ++m)
                for (int v = 0; v < 3; ++v)
                    all.push_back({k, m, r, v});
    rng.Shuffle(all);
    // Plain modes first; the HQ and alternative-wave variants only when a
    // block needs more conditions than the plain grid holds.
    std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) { return a.variant < b.variant; });

    std::vector<Candidate> chosen;
    std::vector<bool> used(all.size(), false);
    for (int k = 0; k < static_cast<int>(e.inksets.size()); ++k) {
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (!used[i] && all[i].inkset == k) {
                used[i] = true;
                chosen.push_back(all[i]);
                break;
            }
        }
    }
    for (std::size_t i = 0; i < all.size() && static_cast<int>(chosen.size()) < e.conditions; ++i) {
        if (!used[i]) {
            used[i] = true;
            chosen.push_back(all[i]);
        }
    }
    if (static_cast<int>(chosen.size()) != e.conditions)
        Fail(std::string(e.name) + ": not enough distinct print modes");

    std::vector<Condition> out;
    for (const Candidate& c : chosen) {
        const Resolution& res = Resolutions(e.family)[static_cast<std::size_t>(c.resolution)];
        Condition cond;
        cond.inkset = e.inksets[static_cast<std::size_t>(c.inkset)];
        cond.modeSet = c.modeSet;
        cond.resolution = c.resolution;
        cond.wave = c.variant == 2 ? std::min(6, res.wave + 2) : res.wave;
        if (c.variant == 2 && cond.wave == res.wave)
            cond.wave = res.wave - 1;
        cond.hq = c.variant == 1 ? 1 : 0;
        out.push_back(cond);
    }
    // The order a printer reports them in: by resolution, media, ink set.
    std::sort(out.begin(), out.end(), [](const Condition& a, const Condition& b) {
        if (a.resolution != b.resolution)
            return a.resolution < b.resolution;
        if (a.modeSet != b.modeSet)
            return a.modeSet < b.modeSet;
        if (std::strcmp(a.inkset, b.inkset) != 0)
            return std::strcmp(a.inkset, b.inkset) < 0;
        if (a.wave != b.wave)
            return a.wave < b.wave;
        return a.hq < b.hq;
    });
    return out;
}

// Spreads the records over the conditions: every condition has at least
// one, some many more (offered under more action categories).
bool AssignRecordCounts(const EntrySpec& e, std::vector<Condition>& conds, Rng& rng)
{
    const int extra = e.records - e.conditions;
    std::vector<int> weight(conds.size());
    int total = 0;
    for (int& w : weight) {
        w = 1 + rng.Below(4);
        total += w;
    }
    int given = 0;
    for (std::size_t i = 0; i < conds.size(); ++i) {
        const int add = extra * weight[i] / total;
        conds[i].records = 1 + add;
        given += add;
    }
    for (std::size_t i = 0; given < extra; i = (i + 1) % conds.size(), ++given)
        ++conds[i].records;
    for (const Condition& c : conds)
        if (c.records > kMaxActionCategories)
            return false;
    return true;
}

// Chooses each condition's list payload (bytes after the fixed part and the
// list headers) so that the records add up to exactly the block size, each
// as close as possible to a size that fits its resolution.
bool AssignPayloads(const EntrySpec& e, std::vector<Condition>& conds, Rng& rng)
{
    const long target = e.bytes - 14L - static_cast<long>(kFixedPart + kListHeaders) * e.records;
    if (target < 0)
        return false;
    const std::size_t n = conds.size();
    // reach[i][s]: conditions i.. can make up s bytes.
    std::vector<std::vector<std::uint8_t>> reach(n + 1, std::vector<std::uint8_t>(static_cast<std::size_t>(target) + 1, 0));
    reach[n][0] = 1;
    for (std::size_t i = n; i-- > 0;) {
        const long g = conds[i].records;
        for (long s = 0; s <= target; ++s) {
            for (int p = kMinPayload; p <= kMaxPayload && g * p <= s; ++p) {
                if (reach[i + 1][static_cast<std::size_t>(s - g * p)]) {
                    reach[i][static_cast<std::size_t>(s)] = 1;
                    break;
                }
            }
        }
    }
    if (!reach[0][static_cast<std::size_t>(target)])
        return false;

    const double average = static_cast<double>(target) / e.records;
    const double mid = (static_cast<double>(Resolutions(e.family).size()) - 1) / 2;
    long left = target;
    for (std::size_t i = 0; i < n; ++i) {
        const double natural = average + (conds[i].resolution - mid) * 1.5 + (rng.Below(7) - 3);
        const long g = conds[i].records;
        int best = -1;
        for (int p = kMinPayload; p <= kMaxPayload; ++p) {
            if (g * p > left || !reach[i + 1][static_cast<std::size_t>(left - g * p)])
                continue;
            if (best < 0 || std::fabs(p - natural) < std::fabs(best - natural))
                best = p;
        }
        if (best < 0)
            return false;
        conds[i].payload = best;
        left -= g * best;
    }
    return left == 0;
}

// Splits a payload into band divisions (3 bytes each), scan directions,
// overpaint values and one overpaint level, and fills the lists.
void FillLists(const EntrySpec& e, Condition& c, Rng& rng)
{
    int scanCount = 0, overpaintCount = 0, bandCount = 0;
    const int scanFirst = 1 + rng.Below(2);
    for (int attempt = 0; attempt < 2 && bandCount == 0; ++attempt) {
        const int scans = attempt == 0 ? scanFirst : 3 - scanFirst;
        const int rest = c.payload - scans - 1;
        // Prefer three to five overpaint values.
        for (int op : {3, 4, 5, 2, 6, 1, 7, 8, 9}) {
            if ((rest - op) % 3 != 0)
                continue;
            const int bands = (rest - op) / 3;
            if (bands >= 1 && bands <= 14) {
                scanCount = scans;
                overpaintCount = op;
                bandCount = bands;
                break;
            }
        }
    }
    if (bandCount == 0)
        Fail(std::string(e.name) + ": payload cannot be split into lists");

    // Pass counts nearest to the resolution's typical one; band adjustment
    // for the higher counts, and both variants when many are offered.
    const int typical = Resolutions(e.family)[static_cast<std::size_t>(c.resolution)].pass;
    std::vector<int> passes(std::begin(kPasses), std::end(kPasses));
    std::stable_sort(passes.begin(), passes.end(), [typical](int a, int b) {
        return std::fabs(std::log2(a) - std::log2(typical)) < std::fabs(std::log2(b) - std::log2(typical));
    });
    const int adjustFrom = 6 + rng.Below(4);
    for (int k = 0; k < bandCount; ++k) {
        const int pass = passes[static_cast<std::size_t>(k % 12)];
        const int adjust = (pass >= adjustFrom) != (k >= 12) ? 1 : 0;
        c.bands.push_back({static_cast<std::uint8_t>(pass), static_cast<std::uint8_t>(adjust), 0});
    }
    std::sort(c.bands.begin(), c.bands.end());
    if (scanCount == 2)
        c.scans = {0, 1};
    else
        c.scans = {static_cast<std::uint8_t>(rng.Below(3) == 0 ? 0 : 1)};
    for (int k = 1; k <= overpaintCount; ++k)
        c.overpaints.push_back(static_cast<std::uint8_t>(k));
}

// Distinct action categories per condition, drawn from the block's set.
void AssignCategories(const EntrySpec& e, std::vector<Condition>& conds, Rng& rng)
{
    int most = 1;
    for (const Condition& c : conds)
        most = std::max(most, c.records);
    std::vector<std::pair<int, int>> pool;
    for (int large = 0; large <= 40; large += 10)
        for (int small = 0; small < 28; ++small)
            pool.emplace_back(large, small);
    rng.Shuffle(pool);
    pool.resize(static_cast<std::size_t>(most));
    std::sort(pool.begin(), pool.end());
    for (Condition& c : conds) {
        std::vector<std::pair<int, int>> mine = pool;
        rng.Shuffle(mine);
        mine.resize(static_cast<std::size_t>(c.records));
        std::sort(mine.begin(), mine.end());
        c.categories = mine;
    }
    (void)e;
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width, std::uint8_t pad)
{
    if (text.size() > width)
        Fail("text too long for its field: " + text);
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), width - text.size(), pad);
}

void PutU16(std::vector<std::uint8_t>& out, int v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutList(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& entries, int width)
{
    const int count = static_cast<int>(entries.size()) / width;
    PutU16(out, 1 + count * width);
    out.push_back(static_cast<std::uint8_t>(count));
    out.insert(out.end(), entries.begin(), entries.end());
}

std::vector<std::uint8_t> Record(const EntrySpec& e, const Condition& c, std::pair<int, int> category, Rng& rng)
{
    const bool nulPad = (e.quirks & kLengthPlus2NulPad) != 0;
    const std::uint8_t pad = nulPad ? 0 : ' ';
    const Resolution& res = Resolutions(e.family)[static_cast<std::size_t>(c.resolution)];

    std::vector<std::uint8_t> r;
    PutU16(r, 0);  // length, patched below
    PutText(r, c.inkset, 10, pad);
    r.push_back(static_cast<std::uint8_t>(c.modeSet));
    PutText(r, PrintModeSets(e.family)[static_cast<std::size_t>(c.modeSet)], 32, pad);
    r.push_back(static_cast<std::uint8_t>(category.first));
    r.push_back(static_cast<std::uint8_t>(category.second));
    PutText(r, std::to_string(res.y) + "x" + std::to_string(res.x) + (c.hq ? " VD HQ" : " VD"), 20, pad);
    r.push_back(static_cast<std::uint8_t>(c.wave));
    PutU16(r, res.y);
    PutU16(r, res.x);
    r.push_back(static_cast<std::uint8_t>(c.hq));
    r.push_back(2);  // dot bit
    if (r.size() != kFixedPart)
        Fail("fixed part has the wrong size");

    // Records of one condition list the same values, not always in the
    // same order.
    std::vector<std::array<std::uint8_t, 3>> bands = c.bands;
    std::vector<std::uint8_t> scans = c.scans;
    std::vector<std::uint8_t> overpaints = c.overpaints;
    if (rng.Below(4) == 0)
        std::reverse(bands.begin(), bands.end());
    if (rng.Below(3) == 0)
        std::reverse(scans.begin(), scans.end());
    if (rng.Below(4) == 0)
        rng.Shuffle(overpaints);
    std::vector<std::uint8_t> bandBytes;
    for (const auto& b : bands)
        bandBytes.insert(bandBytes.end(), b.begin(), b.end());
    PutList(r, bandBytes, 3);
    PutList(r, scans, 1);
    PutList(r, overpaints, 1);
    PutList(r, {0}, 1);

    const int length = static_cast<int>(r.size()) - 2 + (nulPad ? 2 : 0);
    r[0] = static_cast<std::uint8_t>(length);
    r[1] = static_cast<std::uint8_t>(length >> 8);
    return r;
}

std::vector<std::uint8_t> Block(const EntrySpec& e)
{
    std::vector<Condition> conds;
    Rng rng{0};
    bool ok = false;
    for (std::uint64_t attempt = 0; attempt < 64 && !ok; ++attempt) {
        rng = Rng{Fnv1a(e.name, attempt)};
        conds = PickConditions(e, rng);
        ok = AssignRecordCounts(e, conds, rng) && AssignPayloads(e, conds, rng);
    }
    if (!ok)
        Fail(std::string(e.name) + ": no record layout fits the block size");
    for (Condition& c : conds)
        FillLists(e, c, rng);
    AssignCategories(e, conds, rng);

    // Records ordered by action category, then by condition: the records of
    // one condition are spread over the block.
    std::vector<std::pair<std::pair<int, int>, std::size_t>> order;
    for (std::size_t i = 0; i < conds.size(); ++i)
        for (const auto& cat : conds[i].categories)
            order.emplace_back(cat, i);
    std::sort(order.begin(), order.end());

    std::vector<std::uint8_t> body;
    for (const auto& [cat, i] : order) {
        const std::vector<std::uint8_t> r = Record(e, conds[i], cat, rng);
        if (static_cast<int>(r.size()) != kFixedPart + kListHeaders + conds[i].payload)
            Fail(std::string(e.name) + ": record size does not match its payload");
        body.insert(body.end(), r.begin(), r.end());
    }
    if (static_cast<int>(order.size()) != e.records)
        Fail(std::string(e.name) + ": wrong record count");

    std::vector<std::uint8_t> block = {0x51, 0x49, 0x0B, 0x20, 0x02};
    block.push_back((e.quirks & kHeaderByte5Is2) ? 2 : 1);
    block.push_back((e.quirks & kLengthPlus2NulPad) ? 1 : 0);
    block.push_back(0);
    PutU16(block, e.records);
    const std::uint32_t size = static_cast<std::uint32_t>(body.size());
    for (int k = 0; k < 4; ++k)
        block.push_back(static_cast<std::uint8_t>(size >> (8 * k)));
    block.insert(block.end(), body.begin(), body.end());
    if (static_cast<int>(block.size()) != e.bytes)
        Fail(std::string(e.name) + ": block size " + std::to_string(block.size()) + " instead of " +
             std::to_string(e.bytes));
    return block;
}

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: GenPrintModeTables OUTPUT.cpp\n");
        return 2;
    }
    const std::string path = argv[1];
    std::string out;
    out += "// Generated by printcond/gen/GenPrintModeTables.cpp at build time. Do not edit.\n";
    out += "// Stand-in print-condition blocks; data read from a printer replace them.\n\n";
    out += "#include \"printcond/MimakiPrintModeDataTables.h\"\n\nnamespace {\n\n";
    const auto& entries = Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string hex = Hex(Block(entries[i]));
        out += "// " + std::string(entries[i].name) + ": " + std::to_string(entries[i].bytes) + " bytes, " +
               std::to_string(entries[i].records) + " records\n";
        out += "const char* const kChunks" + std::to_string(i) + "[] = {\n";
        for (std::size_t p = 0; p < hex.size(); p += 80)
            out += "    \"" + hex.substr(p, 80) + "\",\n";
        out += "};\n\n";
    }
    out += "}  // namespace\n\nconst EmbeddedPrintModeEntry EmbeddedPrintModeTable[] = {\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string chunks = "kChunks" + std::to_string(i);
        out += "    {L\"" + std::string(entries[i].name) + "\", " + chunks + ", static_cast<int>(sizeof " + chunks +
               " / sizeof " + chunks + "[0])},\n";
    }
    out += "    {L\"\", nullptr, 0},\n};\n\n";
    out += "const int EmbeddedPrintModeTableSize = " + std::to_string(entries.size()) + ";\n";

    // Temporary name and rename: an interrupted run leaves no half table.
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        Fail(tmp + ": " + std::strerror(errno));
    const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (std::fclose(f) != 0 || !written) {
        std::remove(tmp.c_str());
        Fail(tmp + ": write failed");
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        Fail(path + ": " + std::strerror(errno));
    }
    return 0;
}
