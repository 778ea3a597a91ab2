// The JFX catalogue against its tables kept as test data: kinds, records,
// underprints, the kind and basic-layer lists, the channel distribution.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "layers/JfxLayerKinds.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tests/layers/JfxTables.h"

namespace {

using namespace mimaki::jfx;
using jfxdoc::Doc;
using jfxdoc::kTypes;

std::vector<int> Span(std::span<const int> s)
{
    return {s.begin(), s.end()};
}

std::string Line(const std::string& start)
{
    for (const std::string& l : spooltest::DataLines("jfx_layer_kinds.md"))
        if (l.rfind(start, 0) == 0)
            return l;
    ADD_FAILURE() << "no line starting " << start;
    return {};
}

// "WW 0 1 7; VV 0 2 7" -> per type; "other types 0" / "others 0" under -1.
std::map<int, std::vector<int>> TypeLists(const std::string& sentence)
{
    std::map<int, std::vector<int>> lists;
    const std::regex item("(WVP|WW|VV|WV|PP|WP|VP|other types|others)((?: \\d+)+)");
    for (std::sregex_iterator it(sentence.begin(), sentence.end(), item), e; it != e; ++it) {
        int type = -1;
        for (int t = 0; t < 7; ++t)
            type = (*it)[1] == kTypes[t] ? t : type;
        lists[type] = spooltest::Numbers((*it)[2]);
    }
    return lists;
}

} // namespace

TEST(JfxLayerKinds, KindsRecordsUnderprintsAndChannelsAsDocumented)
{
    ASSERT_EQ(Doc().label.size(), std::size_t(kKindCount));
    for (const auto& [id, label] : Doc().label) {
        EXPECT_EQ(KindLabel(Model::JFX200, id), label) << id;
        EXPECT_EQ(KindLabel(Model::JFX500, id), Doc().jfx200Only.count(id) ? "***Unknown multi-layer***" : label);
        EXPECT_EQ(KindRecord(id), Doc().record.at(id)) << id;
    }
    for (const Model m : {Model::JFX500, Model::JFX200}) {
        EXPECT_STREQ(KindLabel(m, kNone), "None");
        for (int id : {34, -1})
            EXPECT_STREQ(KindLabel(m, id), "***Unknown multi-layer***");
        for (int k = 0; k <= kNone; ++k)
            EXPECT_EQ(KindReversed(m, k), Doc().reversed[m == Model::JFX200].count(k) == 1) << k;
    }
    EXPECT_EQ(KindRecord(kNone), -1);

    // Every identifier a row names, and "any other" on colours and on
    // identifiers no row names.
    ASSERT_EQ(Doc().dist.size(), 8u);
    for (int id = -1; id <= 40; ++id) {
        const auto& d = Doc().dist.count(id) ? Doc().dist.at(id) : Doc().dist.at(-1);
        for (const Model m : {Model::JFX500, Model::JFX200}) {
            const int i = m == Model::JFX200;
            const ChannelTargets t = ChannelKinds(m, id);
            EXPECT_EQ(Span(t.kinds), d.kinds[i]) << id;
            EXPECT_EQ(t.codeId, d.code < 0 ? id : d.code) << id;
            EXPECT_EQ(t.fallbackId, d.fallback[i]) << id;
        }
    }
}

TEST(JfxLayerKinds, KindListsByTypeModeAndFlag)
{
    ASSERT_EQ(Doc().lists.size(), 15u);
    const std::vector<int> noneColor = {255, 0};
    for (int t = -1; t < 8; ++t) {
        const int type = t == 7 ? kNone : t;
        for (const int mode : {-1, 0, 1, 2}) {
            // A list the table does not give: "None", "Color" (or, with
            // "bUJF7151", the type's plain list).
            auto doc = [&](const std::string& flag, const std::vector<int>& otherwise) {
                const auto it = Doc().lists.find({t, flag});
                return it == Doc().lists.end() ? otherwise : mode == kLayerModeInline ? it->second.second
                                                                                      : it->second.first;
            };
            SCOPED_TRACE(testing::Message() << "type " << type << " mode " << mode);
            const std::vector<int> plain = doc("—", noneColor);
            EXPECT_EQ(Span(MultiLayers(Model::JFX500, type, mode, {})), plain);
            EXPECT_EQ(Span(MultiLayers(Model::JFX500, type, mode, {.ujf7151 = true})), doc("\"bUJF7151\"", plain));
            EXPECT_EQ(Span(MultiLayers(Model::JFX500, type, mode, {.jfx200 = true})), noneColor);
            EXPECT_EQ(Span(MultiLayers(Model::JFX200, type, mode, {.jfx200 = true})), doc("JFX200", noneColor));
            EXPECT_EQ(Span(MultiLayers(Model::JFX200, type, mode, {})), noneColor);
        }
    }
    EXPECT_EQ(Span(MultiLayers(Model::JFX500, PrinterTypeFromName(L"WW"), LayerModeFromName(L"INLINE"), {})),
              (std::vector<int>{255, 0, 1, 10, 11}));
    for (int t = 0; t < 7; ++t)
        EXPECT_EQ(PrinterTypeFromName(std::wstring(kTypes[t], kTypes[t] + std::strlen(kTypes[t])).c_str()), t);
    for (const wchar_t* other : {L"JFX_NOLAYERS", L"", L"ww", L"WVPX"})
        EXPECT_EQ(PrinterTypeFromName(other), kNone);
    EXPECT_EQ(PrinterTypeFromName(nullptr), kNone);
    const wchar_t* const modes[] = {L"ONLY4C", L"STAGGERED", L"INLINE", L"inline", L""};
    for (int m = 0; m < 5; ++m)
        EXPECT_EQ(LayerModeFromName(modes[m]), m < 3 ? m : -1);
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
    for (std::sregex_iterator it(names.begin(), names.end(), item), e; it != e; ++it, ++count) {
        const int id = std::stoi((*it)[1]);
        EXPECT_EQ(BasicLayerLabel(Model::JFX200, id), (*it)[2].str());
        EXPECT_EQ(BasicLayerLabel(Model::JFX500, id), (*it)[3].matched ? "***Unknown basic layer***" : (*it)[2].str());
    }
    EXPECT_EQ(count, 10);
    EXPECT_STREQ(BasicLayerLabel(Model::JFX200, 9), "***Unknown basic layer***");
}
