// The generic page over the representative class: what it shows, what it
// refuses, what it answers the host and what OK stores.
#include <gtest/gtest.h>

#include <map>

#include "host/PrintEnv.h"
#include "ui/PageHtml.h"
#include "entry/ModelTable.h"
#include "ui/PageSession.h"

using namespace mimaki::ui;

namespace {

CIniFile::Section Section(std::vector<std::pair<std::wstring, std::wstring>> entries)
{
    return {L"TS3", std::move(entries)};
}

struct Opened {
    PageSession s;
    explicit Opened(std::vector<std::pair<std::wstring, std::wstring>> entries, const Catalogue& lang = Catalogue::English())
    {
        std::string error;
        EXPECT_TRUE(s.Open(Section(std::move(entries)), lang, error)) << error;
    }
    Page& page() { return *s.page; }
    // The page's values as the browser posts them, with changes.
    std::map<std::string, std::string> Posted(std::map<std::string, std::string> changes = {})
    {
        std::map<std::string, std::string> out;
        for (const Slot& slot : page().Slots()) {
            if (slot.field.empty() || !slot.shown)
                continue;
            std::string v = std::to_string(slot.value);
            if (slot.ctl->kind == Ctl::Combo) {
                v.clear();
                for (std::size_t i = 0; i < slot.items.size(); ++i)
                    if ((slot.ctl->byData ? slot.items[i].data : static_cast<int>(i)) == slot.value)
                        v = std::to_string(i);
            }
            out[slot.name] = v;
        }
        for (auto& [k, v] : changes)
            out[k] = v;
        return out;
    }
    std::wstring Stored(const wchar_t* key) { return s.env.GetString(key, L"(unset)"); }
};

const std::vector<std::pair<std::wstring, std::wstring>> kTs3 = {
    {L"PrEnv_UID", L"24"}, {L"$PassesValues$", L"2,4,8,16"}};

TEST(Page24, ShowsLayerControlsOnlyForPrinterType1)
{
    for (const int typ : {0, 1}) {
        auto entries = kTs3;
        entries.emplace_back(L"nPrinterTyp", std::to_wstring(typ));
        Opened o(entries);
        for (const char* id : {"c1111", "c1112", "c1113", "c1055", "c1056", "c1041"})
            EXPECT_EQ(o.page().Find(id)->shown, typ == 1) << id << " with nPrinterTyp " << typ;
        EXPECT_TRUE(o.page().Find("c1016")->shown);
    }
    auto entries = kTs3;
    entries.emplace_back(L"ShowColorPattern", L"0");
    entries.emplace_back(L"bDontUseAnyKindOfHeaters", L"1");
    Opened o(entries);
    EXPECT_FALSE(o.page().Find("c1058")->shown);
    for (const char* id : {"c1047", "c1048", "c1035", "c1039", "c1100"})
        EXPECT_FALSE(o.page().Find(id)->shown) << id;
}

TEST(Page24, InkLayersTenRefusedNineStored)
{
    Opened o(kTs3);
    PageError error;
    EXPECT_FALSE(o.s.Ok(o.Posted({{"c1042", "1"}, {"c1031", "10"}}), error));
    EXPECT_EQ(error.slot, "c1031");
    EXPECT_NE(error.message.find("between 1 and 9"), std::string::npos) << error.message;
    EXPECT_NE(error.message.find("Ink Layers"), std::string::npos) << error.message;
    EXPECT_EQ(o.Stored(L"DP24_nOverprint"), L"(unset)");
    EXPECT_EQ(o.page().Find("c1031")->value, 1) << "a refused OK leaves the members";

    // Text that is no number, in an enabled edit.
    EXPECT_FALSE(o.s.Ok(o.Posted({{"c1043", "1"}, {"c1032", "4x"}}), error));
    EXPECT_EQ(error.slot, "c1032");

    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1042", "1"}, {"c1031", "9"}}), error)) << error.message;
    EXPECT_EQ(o.Stored(L"DP24_nOverprint"), L"9");
    EXPECT_EQ(o.Stored(L"DP24_bSendOverprint"), L"1");
}

TEST(Page24, DisabledEditKeepsItsValueUnchecked)
{
    auto entries = kTs3;
    entries.emplace_back(L"DP24_nOverprint", L"50");
    Opened o(entries);
    PageError error;
    // The check box is off: the out-of-range stored value is not the operator's doing.
    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1031", "50"}}), error)) << error.message;
    EXPECT_EQ(o.Stored(L"DP24_nOverprint"), L"50");
}

TEST(Page24, ComboWithUnlistedValueShowsNothingAndKeepsIt)
{
    auto entries = kTs3;
    entries.emplace_back(L"DP24_nWave", L"3");
    Opened o(entries);
    PageContext ctx{"/t/x", "TS3", "TS3", "rev", {}};
    const std::string html = RenderPage(o.page(), ctx, nullptr);
    const std::size_t select = html.find("id=\"c1118\"");
    ASSERT_NE(select, std::string::npos);
    const std::string list = html.substr(select, html.find("</select>", select) - select);
    EXPECT_NE(list.find("<option value=\"\" selected></option>"), std::string::npos) << list;
    EXPECT_EQ(list.find(" selected"), list.rfind(" selected")) << "one selected option: " << list;
    PageError error;
    auto posted = o.Posted();
    EXPECT_EQ(posted["c1118"], "");
    ASSERT_TRUE(o.s.Ok(posted, error));
    EXPECT_EQ(o.Stored(L"DP24_nWave"), L"3");
    // Chosen: the item's data is stored.
    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1118", "2"}}), error));
    EXPECT_EQ(o.Stored(L"DP24_nWave"), L"8");
    // An index past the items is refused.
    EXPECT_FALSE(o.s.Ok(o.Posted({{"c1118", "3"}}), error));
    EXPECT_EQ(error.slot, "c1118");
}

TEST(Page24, HostQueriesFromTheCurrentValues)
{
    Opened o(kTs3);
    const int levels[] = {1, 3, 3, 3};
    const int sizes[] = {1, 3, 4, 5};
    for (int radio = 0; radio < 4; ++radio) {
        PageError error;
        ASSERT_TRUE(o.page().Exchange(o.Posted({{"c1016", std::to_string(radio)}}), error));
        EXPECT_EQ(o.page().OnQueryInkLevels(), levels[radio]) << radio;
        EXPECT_EQ(o.page().OnQueryDotSize(), sizes[radio]) << radio;
    }
    EXPECT_EQ(QueriesJson(o.page()), "{\"inkLevels\":3,\"dotSize\":5,\"dotVolume\":\"\"}");
}

TEST(Page24, SaveWritesTheClassKeysAndHostEntries)
{
    Opened o(kTs3);
    PageError error;
    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1016", "2"}, {"c1198", "3"}, {"c1011", "1"}, {"c1047", "1"}, {"c1048", "1"},
                                 {"c1035", "50"}}),
                       error))
        << error.message;
    EXPECT_EQ(o.Stored(L"DP24_nDotSize"), L"2");
    EXPECT_EQ(o.Stored(L"DP24_nPasses"), L"3");
    EXPECT_EQ(o.Stored(L"DP24_nPrintDirection"), L"1");
    EXPECT_EQ(o.Stored(L"DP24_nPreHeaterTemp"), L"50");
    EXPECT_EQ(o.Stored(L"PrEnv_InkLevels"), L"1") << "fixed dots: one level";
    // A heater edit refused while its group is on: 51 is past the range.
    EXPECT_FALSE(o.s.Ok(o.Posted({{"c1047", "1"}, {"c1048", "1"}, {"c1035", "51"}}), error));
    EXPECT_EQ(error.slot, "c1035");
    // With the group off the edit is not the operator's: accepted, kept.
    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1047", "0"}, {"c1048", "1"}, {"c1035", "51"}}), error)) << error.message;
    EXPECT_EQ(o.Stored(L"DP24_nPreHeaterTemp"), L"50");
}

TEST(Page24, GermanCataloguePage)
{
    Opened o(kTs3, Catalogue::ForAcceptLanguage("de"));
    PageContext ctx{"/t/x", "TS3", "TS3", "rev", {}};
    const std::string html = RenderPage(o.page(), ctx, nullptr);
    EXPECT_NE(html.find("lang=\"de\""), std::string::npos);
    EXPECT_NE(html.find("Geräteoptionen"), std::string::npos);
    PageError error;
    EXPECT_FALSE(o.s.Ok(o.Posted({{"c1042", "1"}, {"c1031", "0"}}), error));
    EXPECT_NE(error.message.find("zwischen 1 und 9"), std::string::npos) << error.message;
}

TEST(PageSessions, ModelsWithoutAPageAreReported)
{
    PageSession s;
    std::string error;
    EXPECT_FALSE(s.Open(Section({{L"PrEnv_UID", L"0"}}), Catalogue::English(), error));
    EXPECT_NE(error.find("no settings page"), std::string::npos) << error;
}

} // namespace

namespace {

// Every model of the table opens its page, renders, and saves what it
// showed; a changed value of each page reaches the store.
TEST(PageSessions, EveryModelOpensRendersAndSavesItsPage)
{
    for (const mimaki::ModelRow& row : mimaki::ModelTable()) {
        SCOPED_TRACE(row.model);
        Opened o({{L"PrEnv_UID", std::to_wstring(row.uid)}, {L"$PassesValues$", L"2,4"}});
        ASSERT_TRUE(o.s.page);
        PageContext ctx{"/t/x", "p", row.model, "rev", {}};
        EXPECT_NE(RenderPage(o.page(), ctx, nullptr).find("</html>"), std::string::npos);
        PageError error;
        // The first enabled check box of the page, turned on.
        std::string changed;
        std::wstring key;
        for (const Slot& s : o.page().Slots())
            if (s.ctl->kind == Ctl::Check && !s.field.empty() && s.shown && !s.button && !s.value &&
                o.page().Enabled(s) && !s.ctl->group && s.ctl->map == Map::Same) {
                changed = s.name;
                key = s.field;
                break;
            }
        auto posted = o.Posted();
        if (!changed.empty())
            posted[changed] = "1";
        ASSERT_TRUE(o.s.Ok(posted, error)) << error.slot << ": " << error.message;
        if (!changed.empty()) {
            bool found = false;
            for (const auto& [k, v] : o.s.env.Values())
                found = found || (k.size() > key.size() && k.compare(k.size() - key.size(), key.size(), key) == 0 &&
                                  k[k.size() - key.size() - 1] == L'_' && v == L"1");
            EXPECT_TRUE(found) << changed;
        }
    }
}

} // namespace
