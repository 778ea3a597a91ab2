// The UJF x042 MkII and UJF-7151 slot-file driver: a whole stream worked out
// by hand, every slot rule round-tripped through the stream parser against
// the rules kept as test data, and the failure paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cctype>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include "devparms/MimakiDevParmsUJF.h"
#include "layers/MimakiUJF_x042MKIIDriver.h"
#include "tests/driver/DriverTestUtil.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tools/streamdump/StreamParser.h"

namespace {

struct SlotLayer {
    int kind, sub, count, mode, reverse, mirror;
};

// A printer with these ink slots (host colour, colour id) and layers.
CPrintEnv SlotEnv(int uid, const std::vector<std::pair<int, int>>& slots, const std::vector<SlotLayer>& layers)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, uid);
    std::wstring colours, ids;
    for (const auto& [colour, id] : slots) {
        colours += (colours.empty() ? L"" : L"`") + std::to_wstring(colour);
        ids += (ids.empty() ? L"" : L",") + std::to_wstring(id);
    }
    env.PutString(L"SlotsSetting", colours);
    env.PutString(L"MimakiColorSequence", ids);
    for (std::size_t k = 0; k < 5; ++k) {
        const SlotLayer l = k < layers.size() ? layers[k] : SlotLayer{0, 0, 0, -1, 0, 0};
        const std::wstring n = std::to_wstring(k + 1);
        env.PutInt((L"DP35_\"LP" + n + L"_IDS\"").c_str(), l.kind);
        env.PutInt((L"DP35_\"LP" + n + L"_PAS\"").c_str(), l.sub);
        env.PutInt((L"DP35_\"LP" + n + L"_LB\"").c_str(), l.count);
        env.PutInt((L"DP35_nLayer" + n + L"Mode").c_str(), l.mode);
        env.PutInt((L"DP35_\"LP" + n + L"_SB\"").c_str(), l.reverse);
        env.PutInt((L"DP35_m_nMirror" + n).c_str(), l.mirror);
    }
    return env;
}

// "QY" 5 0.., "QR" 1 0 (or 1 1 where a row begins), "QD" 7 code 0 1 raw 0 1 0.
std::string Rec(bool rowStart, int code, const std::string& data, int raw = -1)
{
    return Hex("51 59 05 00 00 00 00 00 51 52 01") + Bytes({rowStart ? 1 : 0}) +
           Bytes({'Q', 'D', 7, code, 0, 1, raw < 0 ? static_cast<int>(data.size()) : raw, 0, 1, 0}) + data;
}
const std::string kBlank(10, '\0');

} // namespace

TEST(SlotFileDriver, AReversedLayerAMirroredLayerABlankRowAndOneSlotReadTwice)
{
    // Slots black (id 4) and white (id 10). Layer 1 white, read backwards;
    // layer 2 black, mirrored; layer 3 black and white; layer 4 ends the list.
    CPrintEnv env = SlotEnv(35, {{0, 4}, {34, 10}},
                            {{0, 1, 1, 0, 1, 0}, {0, 0, 1, 0, 0, 1}, {10, 0, 2, 0, 0, 0}, {0, 0, 0, 0, 0, 0}});
    auto d = spooltest::MakeWithNamedStarts<CMimakiWhitePrinterDriverUJF_x042MKII, DEVPARMUJF_x042MKII_CLASS>(env);
    layertest::Job job;
    job.colours = {0, 34};
    job.width = 12; // 2 bytes
    job.rows = {{{0x80, 0x00}, {0x00, 0x30}}, {{0x00, 0x00}, {0x00, 0x00}}, {{0xFF, 0xF0}, {0x00, 0x00}}};
    const auto r = layertest::RunJob(*d, job);
    ASSERT_EQ(r.ok, 1);
    const std::string start = "S";
    const std::string expected =
        // white backwards: page rows 2, 1 (blank: ten zeros), 0
        start + Bytes({0, 1, 1, 255}) + Rec(false, 10, "") + Rec(true, 10, kBlank) + Rec(true, 10, Hex("00 30")) +
        Hex("51 58 05 01 00 00 00 00 51 45 00") +
        // black mirrored: 80 00 -> 00 10, FF F0 stays
        start + Bytes({1, 0, 1, 255}) + Rec(false, 4, Hex("00 10")) + Rec(true, 4, kBlank) +
        Rec(true, 4, Hex("FF F0")) + Hex("51 45 00") +
        // black and white forwards, the white slot's file read a second time
        start + Bytes({2, 0, 1, 255}) + Rec(false, 4, Hex("80")) + Rec(false, 10, Hex("00 30")) + Rec(true, 4, kBlank) +
        Rec(false, 10, kBlank) + Rec(true, 4, Hex("FF F0")) + Rec(false, 10, "") + Hex("51 45 00");
    EXPECT_EQ(ToHex(r.bytes), ToHex(expected));
    EXPECT_EQ(d->RowCount(), 3);

    // A first layer with a count of 0 prints nothing; so does a first layer
    // that takes no slot of the page.
    CPrintEnv none = SlotEnv(39, {{0, 4}}, {{0, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0}});
    auto d7151 = CreateDriver(none);
    ASSERT_NE(dynamic_cast<CMimakiWhitePrinterDriverUJF7151*>(d7151.get()), nullptr);
    job.colours = {0, 34};
    EXPECT_EQ(layertest::RunJob(*d7151, job).bytes, "");
    CPrintEnv noSlot = SlotEnv(39, {{0, 4}}, {{0, 2, 1, 0, 0, 0}, {0, 0, 1, 0, 0, 0}});
    auto dNoSlot = CreateDriver(noSlot);
    EXPECT_EQ(layertest::RunJob(*dNoSlot, job).bytes, "");
    // A slot a layer prints without a colour id fails the job unsent.
    CPrintEnv noId = SlotEnv(35, {{0, 4}, {34, 99}}, {{0, 1, 1, 0, 0, 0}});
    auto dNoId = CreateDriver(noId);
    LogCapture log;
    const auto failed = layertest::RunJob(*dNoId, job);
    EXPECT_EQ(failed.ok, 0);
    EXPECT_EQ(failed.bytes, "");
    EXPECT_NE(dNoId->GetErrorString().find(L"host colour 34 (slot 2) has no Mimaki colour id"), std::wstring::npos);
}

namespace {

// The groups and rules of data/slot_rules.md.
struct Rules {
    std::map<std::string, std::vector<int>> groups; // "colour", "white", ...
    struct Clause {
        int a = -1;              // -1: any kind
        std::vector<int> b;      // empty: any sub-kind
    };
    std::vector<std::pair<std::string, std::vector<Clause>>> rules; // rules 2 to 6 in order

    Rules()
    {
        const std::regex group("(colour ids|white|varnish|primer|special|midlayer) \\{([^}]*)\\}");
        const std::regex rule("^\\d\\. (\\w+) group: when (.*)\\.$");
        for (const std::string& l : spooltest::DataLines("slot_rules.md")) {
            for (std::sregex_iterator it(l.begin(), l.end(), group), e; it != e; ++it) {
                std::string name = (*it)[1];
                if (name == "colour ids")
                    name = "colour";
                const std::string list = (*it)[2];
                std::vector<int>& ids = groups[name];
                std::stringstream ss(list);
                for (std::string item; std::getline(ss, item, ',');) {
                    const auto to = item.find(" to ");
                    if (to == std::string::npos) {
                        ids.push_back(std::stoi(item));
                    } else {
                        for (int i = std::stoi(item.substr(0, to)); i <= std::stoi(item.substr(to + 4)); ++i)
                            ids.push_back(i);
                    }
                }
            }
            std::smatch m;
            if (!std::regex_match(l, m, rule))
                continue;
            std::string name = m[1];
            name[0] = static_cast<char>(std::tolower(name[0]));
            std::vector<Clause> clauses;
            std::string text = m[2];
            for (std::size_t at = 0; at != std::string::npos;) {
                const std::size_t next = text.find(", or when ", at);
                const std::string clause = text.substr(at, next == std::string::npos ? next : next - at);
                Clause c;
                std::smatch cm;
                if (std::regex_search(clause, cm, std::regex("a = (\\d+)")))
                    c.a = std::stoi(cm[1]);
                if (std::regex_search(clause, cm, std::regex("b is ([0-9, or]+)"))) {
                    const std::string bs = cm[1];
                    const std::regex number("\\d+");
                    for (std::sregex_iterator it(bs.begin(), bs.end(), number), e; it != e; ++it)
                        c.b.push_back(std::stoi(it->str()));
                }
                clauses.push_back(c);
                at = next == std::string::npos ? next : next + 10;
            }
            rules.emplace_back(name, clauses);
        }
    }

    // The groups a layer (a, b, m) takes, in rule order.
    std::vector<std::string> Taken(int a, int b, int m) const
    {
        if (m < 0)
            return {"midlayer"};
        std::vector<std::string> out;
        for (const auto& [name, clauses] : rules)
            for (const Clause& c : clauses)
                if ((c.a < 0 || c.a == a) && (c.b.empty() || std::count(c.b.begin(), c.b.end(), b))) {
                    out.push_back(name);
                    break;
                }
        return out;
    }
};

using spooltest::Trim;

} // namespace

TEST(SlotFileDriver, EverySlotRuleRoundTripsEachSlotIntoItsLayer)
{
    const Rules rules;
    ASSERT_EQ(rules.groups.size(), 6u);
    ASSERT_EQ(rules.rules.size(), 5u);
    // Slots at the ends of each group (and colours no group names), colour id
    // 100 + slot.
    const std::vector<int> colours = {0, 1, 16, 23, 43, 34, 31, 30, 27, 25, 26, 22, 24, 35, 17};
    std::vector<std::pair<int, int>> slots;
    for (std::size_t s = 0; s < colours.size(); ++s)
        slots.emplace_back(colours[s], 100 + static_cast<int>(s));
    std::mt19937 gen(5);
    const int width = 24, nRows = 5; // 6 bytes at 2 bits
    int combination = 0;
    for (const int a : {0, 10, 3})
        for (int b = 0; b <= 26; ++b)
            for (const int m : {-1, 0, 5}) {
                const bool reverse = combination % 2, mirror = combination / 2 % 2;
                ++combination;
                // The layer under test, then a colour layer that ends the list.
                CPrintEnv env = SlotEnv(combination % 3 ? 35 : 39, slots,
                                        {{a, b, 1, m, reverse, mirror}, {0, 0, 0, 0, 0, 0}});
                auto d = CreateDriver(env);
                ASSERT_NE(d, nullptr);
                layertest::Job job;
                job.colours = colours;
                job.width = width;
                job.bits = 2;
                job.compress = combination % 5 < 2;
                std::vector<std::vector<std::vector<BYTE>>> fed(colours.size(), std::vector<std::vector<BYTE>>(nRows));
                job.rows.assign(nRows, {});
                for (int r = 0; r < nRows; ++r)
                    for (std::size_t ch = 0; ch < colours.size(); ++ch) {
                        std::vector<BYTE> row(6, 0);
                        if (r != 1 && gen() % 5)
                            for (auto& v : row)
                                v = gen() % 3 ? static_cast<BYTE>(gen()) : 0;
                        job.rows[static_cast<std::size_t>(r)].push_back(row);
                        fed[ch][static_cast<std::size_t>(r)] = Trim(mirror ? layertest::MirrorPixels(row, width, 2) : row);
                    }
                const auto res = layertest::RunJob(*d, job);
                ASSERT_EQ(res.ok, 1);
                const auto parsed = streamparse::ParseStream(res.bytes);
                const std::string where = "a " + std::to_string(a) + " b " + std::to_string(b) + " m " +
                                          std::to_string(m) + (reverse ? " reversed" : "") + (mirror ? " mirrored" : "");
                ASSERT_TRUE(parsed.ok()) << where << ": " << parsed.errors[0].message;
                std::map<int, std::vector<std::vector<BYTE>>> expected, got;
                bool anySlot = false;
                for (const std::string& g : rules.Taken(a, b, m))
                    for (std::size_t s = 0; s < colours.size(); ++s)
                        if (std::count(rules.groups.at(g).begin(), rules.groups.at(g).end(), colours[s])) {
                            expected[100 + static_cast<int>(s)] = fed[s];
                            anySlot = true;
                        }
                for (const auto& p : parsed.planes) {
                    ASSERT_EQ(p.key.layer, 0) << where;
                    auto& rows = got[p.key.colour];
                    rows.resize(nRows);
                    for (const auto& row : p.rowData)
                        rows[static_cast<std::size_t>(reverse ? nRows - 1 - row.index : row.index)] = Trim(row.bytes);
                }
                // A slot without ink sends only blank records.
                for (auto* planes : {&expected, &got})
                    std::erase_if(*planes, [](const auto& kv) {
                        return std::all_of(kv.second.begin(), kv.second.end(), [](const auto& v) { return v.empty(); });
                    });
                EXPECT_EQ(got, expected) << where;
                EXPECT_EQ(res.bytes.empty(), !anySlot) << where;
            }
}

TEST(SlotFileDriver, FailuresAbortsAndSpillsLeaveNothingBehind)
{
    spooltest::CheckFailurePaths(SlotEnv(35, {{0, 4}, {1, 1}, {34, 10}, {30, 11}},
                                         {{0, 1, 1, 0, 1, 0}, {10, 0, 1, 0, 0, 1}, {0, 2, 1, 0, 0, 0}}),
                                 spooltest::SmallLayeredJob(), "Creating slotfiles failed- Probably diskfull error");
}

// The blank rows the host keeps above the page print as fed blank rows; the
// host's two layer fields as each driver sets them.
TEST(FlatbedLeadingRows, PrintAsBlankRowsFed)
{
    CPrintEnv jfx;
    jfx.PutInt(PrEnv_UID, 25);
    jfx.PutString(L"JFXPrinterType", L"WV");
    jfx.PutInt(L"DP25_nLayer1Mode", 3);
    jfx.PutInt(L"DP25_nLayer2Mode", 0);
    CPrintEnv slots = SlotEnv(35, {{0, 4}, {34, 10}}, {{0, 1, 1, 0, 1, 0}, {0, 0, 1, 0, 0, 1}});
    for (CPrintEnv* env : {&jfx, &slots}) {
        auto lead = CreateDriver(*env), fed = CreateDriver(*env);
        ASSERT_NE(lead, nullptr);
        const Row ink = {{0x11, 0x22}, {0x30, 0x00}}, blank = {{0, 0}, {0, 0}};
        CPrintJobOpenContext ctx = Context({0, 34}, 2, 1);
        ctx.leadingRows = 2;
        const JobResult a = RunJob(*lead, ctx, {ink, blank, ink});
        const JobResult b = RunJob(*fed, Context({0, 34}, 2, 1), {blank, blank, ink, blank, ink});
        ASSERT_EQ(a.ok, 1);
        EXPECT_EQ(ToHex(a.bytes), ToHex(b.bytes));
        EXPECT_EQ(lead->GetLayerFieldValue(), 8);
        EXPECT_EQ(lead->GetLayerFieldFewPasses(), env == &slots);
    }
}

// Past the first rows (which open the page's spool blocks) no row of either
// flatbed driver allocates: kept rows and slot records go into blocks made
// before.
TEST(FlatbedAllocations, NoneWhileRowsGoThrough)
{
    layertest::Job job = spooltest::SmallLayeredJob();
    job.width = 333;
    job.rows = layertest::RandomRows(4, 60, job.width, job.bits, 3);
    CPrintEnv jfx;
    jfx.PutInt(PrEnv_UID, 28);
    jfx.PutString(L"JFXPrinterType", L"WV");
    jfx.PutInt(L"bJFX200", 1);
    jfx.PutInt(L"DP28_bSplitPrintArea", 4);
    jfx.PutInt(L"DP28_nLayer1Mode", 3);
    jfx.PutInt(L"DP28_nLayer2Mode", 0);
    CPrintEnv slots = SlotEnv(35, {{0, 4}, {1, 1}, {34, 10}, {30, 11}},
                                    {{0, 1, 1, 0, 1, 0}, {10, 0, 1, 0, 0, 1}, {0, 2, 1, 0, 0, 0}});
    for (CPrintEnv* env : {&jfx, &slots}) {
        CPrintEnv copy = *env;
        auto d = CreateDriver(copy);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(layertest::RowAllocations(*d, job, 5), 0) << ClassName(typeid(*d));
    }
}
