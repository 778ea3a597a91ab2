// The JFX catalogue against its tables kept as test data: kinds, records,
// underprints, the kind and basic-layer lists, the channel distribution.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "layers/JfxLayerKinds.h"
#include "tests/layers/FlatbedTestSupport.h"

namespace {

using namespace mimaki::jfx;

const char* const kTypes[7] = {"WW", "VV", "WV", "PP", "WP", "VP", "WVP"};

std::vector<std::string> DataLines()
{
    return spooltest::DataLines("jfx_layer_kinds.md");
}

using spooltest::Numbers;
using spooltest::TableCells;

std::vector<int> Span(std::span<const int> s)
{
    return {s.begin(), s.end()};
}

std::string Line(const std::string& start)
{
    for (const std::string& l : DataLines())
        if (l.rfind(start, 0) == 0)
            return l;
    ADD_FAILURE() << "no line starting " << start;
    return {};
}

int TypeIndex(const std::string& name)
{
    for (int t = 0; t < 7; ++t)
        if (name == kTypes[t])
            return t;
    return -1;
}

// "WW 0 1 7; VV 0 2 7" -> per type; "other types 0" / "others 0" under -1.
std::map<int, std::vector<int>> TypeLists(const std::string& sentence)
{
    std::map<int, std::vector<int>> lists;
    const std::regex item("(WVP|WW|VV|WV|PP|WP|VP|other types|others)((?: \\d+)+)");
    for (auto it = std::sregex_iterator(sentence.begin(), sentence.end(), item); it != std::sregex_iterator(); ++it)
        lists[TypeIndex((*it)[1])] = Numbers((*it)[2]);
    return lists;
}

} // namespace

TEST(JfxLayerKinds, KindsRecordsAndUnderprintsAsDocumented)
{
    int rows = 0;
    for (const std::string& line : DataLines()) {
        const auto cells = TableCells(line);
        if (cells.size() != 3 || cells[1].empty() || cells[1][0] != '"')
            continue;
        const int id = std::stoi(cells[0]);
        const std::string label = cells[1].substr(1, cells[1].find('"', 1) - 1);
        const bool jfx200Only = cells[1].find("(JFX200)") != std::string::npos;
        EXPECT_EQ(KindLabel(Model::JFX200, id), label) << id;
        EXPECT_EQ(KindLabel(Model::JFX500, id), jfx200Only ? "***Unknown multi-layer***" : label) << id;
        EXPECT_EQ(KindRecord(id), std::stoi(cells[2])) << id;
        ++rows;
    }
    EXPECT_EQ(rows, kKindCount);
    for (const Model m : {Model::JFX500, Model::JFX200}) {
        EXPECT_STREQ(KindLabel(m, kNone), "None");
        EXPECT_STREQ(KindLabel(m, 34), "***Unknown multi-layer***");
        EXPECT_STREQ(KindLabel(m, -1), "***Unknown multi-layer***");
    }
    EXPECT_EQ(KindRecord(kNone), -1);

    const std::string under = Line("Underprints:");
    const std::size_t split = under.find("JFX200 for");
    const std::vector<int> jfx500 = Numbers(under.substr(under.find("true for"), split - under.find("true for")));
    const std::vector<int> jfx200 = Numbers(under.substr(split));
    for (int k = 0; k < 40; ++k) {
        EXPECT_EQ(KindReversed(Model::JFX500, k), std::count(jfx500.begin(), jfx500.end(), k) == 1) << k;
        EXPECT_EQ(KindReversed(Model::JFX200, k), std::count(jfx200.begin(), jfx200.end(), k) == 1) << k;
    }
    EXPECT_FALSE(KindReversed(Model::JFX200, kNone));
}

TEST(JfxLayerKinds, KindListsByTypeModeAndFlag)
{
    // (type, flag column) -> not INLINE, INLINE
    std::map<std::pair<int, std::string>, std::pair<std::vector<int>, std::vector<int>>> table;
    for (const std::string& line : DataLines()) {
        const auto cells = TableCells(line);
        if (cells.size() != 4 || TypeIndex(cells[0]) < 0)
            continue;
        table[{TypeIndex(cells[0]), cells[1]}] = {Numbers(cells[2]), Numbers(cells[3])};
    }
    ASSERT_EQ(table.size(), 15u);
    const std::vector<int> noneColor = {255, 0};
    for (int t = -1; t < 8; ++t) {
        const int type = t == 7 ? kNone : t;
        auto documented = [&](const std::string& flag, bool inlined) {
            const auto it = table.find({t, flag});
            return it == table.end() ? std::vector<int>{} : inlined ? it->second.second : it->second.first;
        };
        for (const int mode : {-1, 0, 1, 2}) {
            const bool inlined = mode == kLayerModeInline;
            SCOPED_TRACE(testing::Message() << "type " << type << " mode " << mode);
            std::vector<int> plain = documented("—", inlined);
            if (plain.empty())
                plain = noneColor;
            std::vector<int> ujf = documented("\"bUJF7151\"", inlined);
            if (ujf.empty())
                ujf = plain; // no list of its own: the plain one
            std::vector<int> jfx200 = documented("JFX200", inlined);
            if (jfx200.empty())
                jfx200 = noneColor;
            EXPECT_EQ(Span(MultiLayers(Model::JFX500, type, mode, {})), plain);
            EXPECT_EQ(Span(MultiLayers(Model::JFX500, type, mode, {.ujf7151 = true})), ujf);
            EXPECT_EQ(Span(MultiLayers(Model::JFX500, type, mode, {.jfx200 = true})), noneColor);
            EXPECT_EQ(Span(MultiLayers(Model::JFX200, type, mode, {.jfx200 = true})), jfx200);
            EXPECT_EQ(Span(MultiLayers(Model::JFX200, type, mode, {})), noneColor);
        }
    }
    // The edge the operator meets first: WW INLINE offers five kinds.
    EXPECT_EQ(Span(MultiLayers(Model::JFX500, PrinterTypeFromName(L"WW"), LayerModeFromName(L"INLINE"), {})),
              (std::vector<int>{255, 0, 1, 10, 11}));
}

TEST(JfxLayerKinds, BasicLayersAndTheirNames)
{
    const std::string line = Line("Basic layers (`GetBasicLayers`");
    const std::size_t with = line.find("With \"bJFX200\""), jfx200 = line.find("The JFX200 answers");
    const auto plain = TypeLists(line.substr(0, with));
    const auto flagged = TypeLists(line.substr(with, jfx200 - with));
    const auto own = TypeLists(line.substr(jfx200));
    ASSERT_EQ(plain.size(), 8u);
    ASSERT_EQ(own.size(), 3u);
    for (int t = -1; t < 8; ++t) {
        const int type = t == 7 ? kNone : t;
        const int key = t >= 0 && t < 7 ? t : -1;
        auto or_ = [&](const std::map<int, std::vector<int>>& m, const std::vector<int>& d) {
            return m.count(key) ? m.at(key) : d;
        };
        SCOPED_TRACE(type);
        EXPECT_EQ(Span(BasicLayers(Model::JFX500, type, {})), plain.at(key));
        EXPECT_EQ(Span(BasicLayers(Model::JFX500, type, {.jfx200 = true})), or_(flagged, flagged.at(-1)));
        EXPECT_EQ(Span(BasicLayers(Model::JFX200, type, {})), or_(own, plain.at(key)));
        EXPECT_EQ(Span(BasicLayers(Model::JFX200, type, {.jfx200 = true})), or_(own, or_(flagged, flagged.at(-1))));
    }

    const std::string names = Line("Basic layers (names");
    const std::regex item("(\\d+) \"([^\"]+)\"( \\(JFX200 only\\))?");
    int count = 0;
    for (auto it = std::sregex_iterator(names.begin(), names.end(), item); it != std::sregex_iterator(); ++it, ++count) {
        const int id = std::stoi((*it)[1]);
        EXPECT_EQ(BasicLayerLabel(Model::JFX200, id), (*it)[2].str());
        EXPECT_EQ(BasicLayerLabel(Model::JFX500, id), (*it)[3].matched ? "***Unknown basic layer***" : (*it)[2].str());
    }
    EXPECT_EQ(count, 10);
    EXPECT_STREQ(BasicLayerLabel(Model::JFX200, 9), "***Unknown basic layer***");
}

TEST(JfxLayerKinds, NamesOfTypesAndModes)
{
    for (int t = 0; t < 7; ++t) {
        const std::wstring name(kTypes[t], kTypes[t] + std::strlen(kTypes[t]));
        EXPECT_EQ(PrinterTypeFromName(name.c_str()), t);
    }
    for (const wchar_t* other : {L"JFX_NOLAYERS", L"", L"ww", L"WVPX"})
        EXPECT_EQ(PrinterTypeFromName(other), kNone);
    EXPECT_EQ(PrinterTypeFromName(nullptr), kNone);
    EXPECT_EQ(LayerModeFromName(L"ONLY4C"), 0);
    EXPECT_EQ(LayerModeFromName(L"STAGGERED"), 1);
    EXPECT_EQ(LayerModeFromName(L"INLINE"), 2);
    EXPECT_EQ(LayerModeFromName(L"inline"), -1);
    EXPECT_EQ(LayerModeFromName(L""), -1);
}

TEST(JfxLayerKinds, ChannelDistributionAsDocumented)
{
    int rows = 0;
    std::vector<int> listed;
    for (const std::string& line : DataLines()) {
        const auto cells = TableCells(line);
        if (cells.size() != 4 || !(std::isdigit(static_cast<unsigned char>(cells[0][0])) || cells[0] == "any other"))
            continue;
        const bool other = cells[0] == "any other";
        // "any other" checked on a colour and on an identifier no row names.
        for (const int id : other ? std::vector<int>{0, 3, 8, 22, 23, 31, 34 + 1} : std::vector<int>{std::stoi(cells[0])}) {
            if (!other)
                listed.push_back(id);
            for (const Model m : {Model::JFX500, Model::JFX200}) {
                SCOPED_TRACE(testing::Message() << "id " << id << (m == Model::JFX200 ? " JFX200" : " JFX500"));
                const ChannelTargets t = ChannelKinds(m, id);
                EXPECT_EQ(Span(t.kinds), Numbers(cells[m == Model::JFX200 ? 2 : 1]));
                const std::string& code = cells[3];
                if (code == "its own") {
                    EXPECT_EQ(t.codeId, id);
                    EXPECT_EQ(t.fallbackId, -1);
                    continue;
                }
                const std::vector<int> n = Numbers(code);
                EXPECT_EQ(t.codeId, n[0]);
                const bool always = m == Model::JFX200 && code.find("JFX200: always") != std::string::npos;
                EXPECT_EQ(t.fallbackId, n.size() > 1 && !always ? n[1] : -1);
            }
        }
        ++rows;
    }
    EXPECT_EQ(rows, 8);
}
