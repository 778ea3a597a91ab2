// The generic page over the representative class: what it shows, what it
// refuses, what it answers the host and what OK stores.
#include <gtest/gtest.h>

#include <map>

#include "host/PrintEnv.h"
#include "ui/PageHtml.h"
#include "entry/ModelTable.h"
#include "ui/PageSession.h"
#include "tests/support/LogCapture.h"
#include "tests/ui/PageTestSupport.h"

using namespace mimaki::ui;
using uitest::Opened;
using uitest::Section;

namespace {

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
    // The combos the check box enables stay in the rows of the labels that
    // name them.
    auto entries = kTs3;
    entries.emplace_back(L"nPrinterTyp", L"1");
    Opened layered(entries);
    const std::string html = RenderPage(layered.page(), uitest::Context(), nullptr);
    const auto rowOf = [&](const std::string& what) {
        const std::size_t at = html.find(what);
        const std::size_t begin = html.rfind("<div class=\"row\">", at);
        return at == std::string::npos ? std::string() : html.substr(begin, html.find("</div>\n", at) - begin);
    };
    EXPECT_NE(rowOf(">Layer mode:<").find("id=\"c1111\""), std::string::npos) << rowOf(">Layer mode:<");
    EXPECT_NE(rowOf(">Print order:<").find("id=\"c1112\""), std::string::npos) << rowOf(">Print order:<");
    EXPECT_EQ(rowOf("id=\"c1113\"").find("<select"), std::string::npos) << rowOf("id=\"c1113\"");
    entries = kTs3;
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
    PageContext ctx = uitest::Context();
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
    // The page comes with the answers, and with static files the browser may keep.
    PageContext ctx = uitest::Context();
    ctx.assetQuery = "?v=1f";
    const std::string html = RenderPage(o.page(), ctx, nullptr);
    EXPECT_NE(html.find("<dd id=\"q-ink\">3</dd>"), std::string::npos);
    EXPECT_NE(html.find("<dd id=\"q-dot\">5</dd>"), std::string::npos);
    EXPECT_NE(html.find("<dd id=\"q-vol\"></dd>"), std::string::npos);
    EXPECT_NE(html.find("<script src=\"/t/x/static/panel.js?v=1f\" defer>"), std::string::npos);
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
    PageContext ctx = uitest::Context();
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
        PageContext ctx = uitest::Context("p", row.model);
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

namespace {

// The JF print option of model 16 (its colour options: button 1300, fields
// "ColorParam_"): the server refuses what the dialog's pass/weaving
// consistency would not let stand. Head: 600 dpi, 1272 nozzles by default.
TEST(JfPrintOption, TooFewPassesForWeavingAreRefusedByTheServer)
{
    const std::vector<std::pair<std::wstring, std::wstring>> store = {{L"PrEnv_UID", L"16"}, {L"PrEnv_DpiVert", L"1200"}};
    Opened o(store);
    const auto post = [&](const char* weaving, const char* tooth, const char* pass, PageError& error) {
        return o.s.Ok(o.Posted({{"d1300_1294", weaving}, {"d1300_1153", tooth}, {"d1300_1132", pass}}), error);
    };
    PageError error;
    // Saved with the dialog untouched: the count stays the printer's own.
    ASSERT_TRUE(o.s.Ok(o.Posted(), error)) << error.message;
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_nPass"), L"0");
    // Tooth 128: reference 1200 x 1272 / 1144 = 1334.3; 1 and 2 passes
    // (600 and 1200 dpi) are not more.
    EXPECT_FALSE(post("1", "128", "1", error));
    EXPECT_EQ(error.slot, "d1300_1132");
    EXPECT_NE(error.message.find("weaving"), std::string::npos) << error.message;
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_nPass"), L"0");
    EXPECT_FALSE(post("1", "128", "0", error));
    ASSERT_TRUE(post("1", "128", "2", error)) << error.message;
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_nPass"), L"4");
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_nPassIndex"), L"2");
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_bWeavingEnabled"), L"1");
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_nSawToothHeight"), L"128");
    // A taller tooth needs more passes: 636 rows leave 636 (reference 2400,
    // 4 passes refused), 635 leave 637 (2396.2: 4 passes print).
    EXPECT_FALSE(post("1", "636", "2", error));
    EXPECT_TRUE(post("1", "635", "2", error)) << error.message;
    // Weaving off: every pass count.
    ASSERT_TRUE(post("0", "635", "0", error)) << error.message;
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_nPass"), L"1");
    EXPECT_EQ(o.Stored(L"DP16_ColorParam_bWeavingEnabled"), L"0");
    // A tooth of the whole head: no pass count suits; the last button has
    // nowhere to move, so it stays and the dialog's error is logged.
    {
        testsupport::LogCapture log(4);
        EXPECT_FALSE(post("1", "1272", "2", error));
        ASSERT_TRUE(post("1", "1272", "3", error)) << error.message;
        EXPECT_EQ(log.lines, std::vector<std::string>{"***CMimaki_JF_PrintOption::CheckPassWeavingConsistency: JFX 16xx "
                                                      "weaving error: cannot find valid pass number for vert. "
                                                      "resolution=1526400. Current pass=3\n"});
        EXPECT_EQ(o.Stored(L"DP16_ColorParam_nPass"), L"8");
    }
    // The other dialogs of the page are checked alike.
    EXPECT_FALSE(o.s.Ok(o.Posted({{"d1301_1294", "1"}, {"d1301_1153", "128"}, {"d1301_1132", "0"}}), error));
    EXPECT_EQ(error.slot, "d1301_1132");
}

TEST(JfPrintOption, ResolutionAndHeadFromTheSettings)
{
    PageError error;
    // Without the print's resolution nothing is refused.
    Opened unknown(uitest::Entries{{L"PrEnv_UID", L"16"}});
    EXPECT_TRUE(unknown.s.Ok(unknown.Posted({{"d1300_1294", "1"}, {"d1300_1132", "0"}}), error)) << error.message;
    // A 1200 dpi head: only one pass is not more than 1334.
    Opened head({{L"PrEnv_UID", L"16"}, {L"PrEnv_DpiVert", L"1200"}, {L"HeadVertResolutionOneColor", L"1200"}});
    EXPECT_FALSE(head.s.Ok(head.Posted({{"d1300_1294", "1"}, {"d1300_1132", "0"}}), error));
    EXPECT_TRUE(head.s.Ok(head.Posted({{"d1300_1294", "1"}, {"d1300_1132", "1"}}), error)) << error.message;
    // Fewer nozzles: the same tooth takes a larger share (1200 x 636 / 508 = 1502.4).
    Opened nozzles({{L"PrEnv_UID", L"16"}, {L"PrEnv_DpiVert", L"1200"}, {L"HeadNozzlesNumberOneColor", L"636"}});
    EXPECT_TRUE(nozzles.s.Ok(nozzles.Posted({{"d1300_1294", "1"}, {"d1300_1132", "2"}}), error)) << error.message;
    WeavingView view;
    ASSERT_TRUE(nozzles.page().WeavingOf(*nozzles.page().Find("d1300_1132"), view));
    EXPECT_EQ(view.nozzles, 636);
    EXPECT_EQ(view.dpi, 1200);
    EXPECT_NEAR(WeavingReference(view, 128), 1200.0 * 636 / 508, 1e-9);
    EXPECT_FALSE(nozzles.page().WeavingOf(*nozzles.page().Find("d1300_1151"), view));
}

TEST(JfPrintOption, InkLayersElevenRefusedTenStored)
{
    Opened o(uitest::Entries{{L"PrEnv_UID", L"16"}});
    PageError error;
    EXPECT_FALSE(o.s.Ok(o.Posted({{"d1302_1151", "11"}}), error));
    EXPECT_EQ(error.slot, "d1302_1151");
    EXPECT_NE(error.message.find("between 1 and 10"), std::string::npos) << error.message;
    EXPECT_EQ(o.Stored(L"DP16_ClearParam_nInkLayer"), L"(unset)");
    ASSERT_TRUE(o.s.Ok(o.Posted({{"d1302_1151", "10"}}), error)) << error.message;
    EXPECT_EQ(o.Stored(L"DP16_ClearParam_nInkLayer"), L"10");
}

TEST(DotSizeDialog, SlidersOverTheTwelveLabels)
{
    // Model 14: "Use default" off enables the sliders; positions 0 ("72pl")
    // to 11 ("6pl").
    Opened o(uitest::Entries{{L"PrEnv_UID", L"14"}});
    PageError error;
    EXPECT_FALSE(o.s.Ok(o.Posted({{"d1178_1041", "0"}, {"d1178_1163", "12"}}), error));
    EXPECT_EQ(error.slot, "d1178_1163");
    ASSERT_TRUE(o.s.Ok(o.Posted({{"d1178_1041", "0"}, {"d1178_1163", "0"}, {"d1178_1154", "6"}, {"d1178_1155", "11"}}),
                       error))
        << error.message;
    EXPECT_EQ(o.Stored(L"DP14_DotSizeBig"), L"0");
    EXPECT_EQ(o.Stored(L"DP14_DotSizeMedium"), L"6");
    EXPECT_EQ(o.Stored(L"DP14_DotSizeSmall"), L"11");
    EXPECT_EQ(o.Stored(L"DP14_bUseDefaultDotsize"), L"0");
    PageContext ctx = uitest::Context("p", "m");
    const std::string html = RenderPage(o.page(), ctx, nullptr);
    EXPECT_NE(html.find("<span class=\"end\" aria-hidden=\"true\">72 pl</span><input type=\"range\" id=\"d1178_1163\""),
              std::string::npos);
    EXPECT_NE(html.find("<span class=\"end\" aria-hidden=\"true\">6 pl</span><output for=\"d1178_1163\" "
                        "id=\"d1178_1156\" data-ctl=\"1156\">72pl</output>"),
              std::string::npos)
        << html.substr(html.find("d1178_1163"), 600);
}

} // namespace
