// The print-condition pages over a block of print conditions built by hand:
// the stored-data check, the filtering, the print-method entries OK writes,
// a print mode that no longer exists, the dot-bit check, the pass lists and
// the host's questions.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

#include "tests/printcond/QiTestSupport.h"
#include "tests/ui/PageTestSupport.h"
#include "ui/PageHtml.h"

using namespace mimaki::ui;
using qitest::Rec;
using testsupport::LogCapture;
using uitest::Opened;

namespace {

using uitest::Entries;

// Four conditions of one ink set, three print-mode sets; dot bits 2, 1, 0
// and 3 (the last two inconsistent).
std::vector<Rec> Records()
{
    Rec a; // PET 720x1440 VD: passes 8 and 4, ink set LH100-401
    Rec b;
    b.modeSetNumber = 2;
    b.modeSetName = "Banner";
    b.display = "720x600 VD";
    b.wave = 5;
    b.xDpi = 600;
    b.hq = 1;
    b.dotBit = 1;
    b.bands = {{2, 0, 0}, {4, 0, 1}};
    Rec c;
    c.display = "360x720";
    c.wave = 6;
    c.yDpi = 360;
    c.xDpi = 720;
    c.dotBit = 0;
    c.bands = {{1, 0, 0}};
    Rec d;
    d.modeSetNumber = 3;
    d.modeSetName = "Film";
    d.display = "600x600";
    d.yDpi = 600;
    d.xDpi = 600;
    d.dotBit = 3;
    d.bands = {{16, 0, 0}};
    return {a, b, c, d};
}

// The TS300P advanced (UID 31) with the block stored as read from the printer.
Entries Store(Entries more = {})
{
    Entries e = {{L"PrEnv_UID", L"31"},
                 {L"NewQIDataHasBeenRetrieved", L"1"},
                 {L"DP30_strPrintModeData", qitest::Hex(qitest::BlockBytes(Records()))}};
    e.insert(e.end(), more.begin(), more.end());
    return e;
}

std::set<std::wstring> Names(const Page& page)
{
    std::set<std::wstring> out;
    for (const PrintModeView& m : page.PrintModes())
        out.insert(m.name);
    return out;
}

// The index of the offered mode called name (as posted), or "".
std::string ModeIndex(const Page& page, const std::wstring& name)
{
    for (std::size_t i = 0; i < page.PrintModes().size(); ++i)
        if (page.PrintModes()[i].name == name)
            return std::to_string(i);
    ADD_FAILURE() << "no mode " << WideToUtf8(name);
    return "";
}

// The posted index of the item with data of a combo.
std::string ItemIndex(const Page& page, const char* slot, int data)
{
    const Slot* s = page.Find(slot);
    for (std::size_t i = 0; s && i < s->items.size(); ++i)
        if (s->items[i].data == data)
            return std::to_string(i);
    ADD_FAILURE() << slot << " offers no " << data;
    return "";
}

const std::string kOld = "Warning\nPrint mode data in this print environment is old.\nPlease retrieve once again print "
                         "mode data from the printer with\nthe button in the device option dialog.";

TEST(PrintModePage, StoredDataCheckWarnsWhenThereAreNoConditions)
{
    for (const std::wstring& text : {std::wstring(), std::wstring(L"51490B20"), std::wstring(L"not hex at all")}) {
        Opened o({{L"PrEnv_UID", L"31"}, {L"NewQIDataHasBeenRetrieved", L"1"}, {L"DP30_strPrintModeData", text}});
        EXPECT_FALSE(o.page().ConditionsValid());
        EXPECT_EQ(o.page().Messages(), std::vector<std::string>{kOld}) << WideToUtf8(text);
        EXPECT_TRUE(o.page().PrintModes().empty());
        // The page still saves the operator's other settings.
        PageError error;
        EXPECT_TRUE(o.s.Ok(o.Posted({{"c1031", "3"}}), error)) << error.message;
        EXPECT_EQ(o.Stored(L"DP30_m_nInkLayers"), L"3");
        EXPECT_EQ(o.Stored(L"PrEnv_PrintMethodList"), L"(unset)");
    }
    Opened o(Store());
    EXPECT_TRUE(o.page().ConditionsValid());
    EXPECT_TRUE(o.page().Messages().empty());
    EXPECT_TRUE(o.page().MultipleModeSets());
    EXPECT_EQ(Names(o.page()), (std::set<std::wstring>{L"PET 720x1440 VD", L"Banner 720x600 VD", L"PET 360x720",
                                                       L"Film 600x600"}));
}

TEST(PrintModePage, OneModeSetIsNoted)
{
    std::vector<Rec> one = {Records()[0], Records()[2]};
    Opened o({{L"PrEnv_UID", L"31"}, {L"NewQIDataHasBeenRetrieved", L"1"},
              {L"DP30_strPrintModeData", qitest::Hex(qitest::BlockBytes(one))}});
    EXPECT_FALSE(o.page().MultipleModeSets());
    EXPECT_EQ(o.page().PrintModes().size(), 2u);
}

TEST(PrintModePage, BannedWaveShapesAndResolutionsAreNotOffered)
{
    {
        Opened o(Store({{L"BannedWaveShapes", L"5, 6"}}));
        EXPECT_EQ(Names(o.page()), (std::set<std::wstring>{L"PET 720x1440 VD", L"Film 600x600"}));
    }
    {
        // Horizontal (yDpi) first: "720x1440" is the PET mode, "1440x720" none.
        Opened o(Store({{L"Bannedresolutions", L"600x600,720x1440,1440x720"}}));
        EXPECT_EQ(Names(o.page()), (std::set<std::wstring>{L"Banner 720x600 VD", L"PET 360x720"}));
    }
    {
        Opened o(Store({{L"Bannedresolutions", L"720X600"}, {L"BannedWaveShapes", L"3"}}));
        EXPECT_EQ(Names(o.page()), (std::set<std::wstring>{L"PET 360x720"}));
        EXPECT_TRUE(o.page().Messages().empty());
    }
    // Nothing left: the page's ink set is named.
    Opened o(Store({{L"BannedWaveShapes", L"3,5,6"}, {L"AllowedInksetList", L"LH100-401"}}));
    EXPECT_TRUE(o.page().PrintModes().empty());
    EXPECT_EQ(o.page().Messages(),
              std::vector<std::string>{"Print mode data retrieved from printer doesn't contain expected inkset LH100-401 "});
    // Only the modes of the page's ink set are offered.
    Opened other(Store({{L"AllowedInksetList", L"LUS120-4"}}));
    EXPECT_TRUE(other.page().PrintModes().empty());
    EXPECT_EQ(other.page().Messages(),
              std::vector<std::string>{"Print mode data retrieved from printer doesn't contain expected inkset LUS120-4 "});
}

TEST(PrintModePage, OkWritesThePrintMethodEntriesAndTheChosenMode)
{
    Opened o(Store({{L"BannedWaveShapes", L"6"}}));
    PageError error;
    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1200", ModeIndex(o.page(), L"Banner 720x600 VD")},
                                 {"c1198", ItemIndex(o.page(), "c1198", 4)}}),
                       error))
        << error.message;
    // yDpi, xDpi, 1, 1, ink levels (3 for two dot bits), set, wave, HQ.
    EXPECT_EQ(o.Stored(L"$Parms$PET 720x1440 VD"), L"720,1440,1,1,3,1,3,0");
    EXPECT_EQ(o.Stored(L"$Parms$Banner 720x600 VD"), L"720,600,1,1,1,2,5,1");
    EXPECT_EQ(o.Stored(L"$Parms$Film 600x600"), L"600,600,1,1,1,3,3,0");
    EXPECT_EQ(o.Stored(L"$Parms$PET 360x720"), L"(unset)") << "banned: not offered";
    std::set<std::wstring> listed;
    for (const std::wstring& n : Split(o.Stored(L"PrEnv_PrintMethodList"), L',', 1))
        listed.insert(n);
    EXPECT_EQ(listed, (std::set<std::wstring>{L"PET 720x1440 VD", L"Banner 720x600 VD", L"Film 600x600"}));
    EXPECT_EQ(o.Stored(L"PrEnv_PrintMethod"), L"Banner 720x600 VD");
    // The record takes the mode's condition.
    EXPECT_EQ(o.Stored(L"DP30_nYDpi"), L"720");
    EXPECT_EQ(o.Stored(L"DP30_nXDpi"), L"600");
    EXPECT_EQ(o.Stored(L"DP30_nPrintModeSetNumber"), L"2");
    EXPECT_EQ(o.Stored(L"DP30_nHQ"), L"1");
    EXPECT_EQ(o.Stored(L"DP30_m_nWaveShape"), L"5");
    EXPECT_EQ(o.Stored(L"DP30_nActionCategoryLarge"), L"10");
    EXPECT_EQ(o.Stored(L"DP30_nActionCategorySmall"), L"1");
    EXPECT_EQ(o.Stored(L"DP30_m_nPass"), L"4");

    // Opened again, the page chooses the stored print method.
    Opened again(o.s.env.Values());
    ASSERT_NE(again.page().ChosenMode(), nullptr);
    EXPECT_EQ(again.page().ChosenMode()->name, L"Banner 720x600 VD");
}

TEST(PrintModePage, ACurrentPrintModeThatNoLongerExistsIsLogged)
{
    LogCapture log(8);
    Opened gone(Store({{L"PrEnv_PrintMethod", L"PET 720x720 VD"}}));
    const std::string line = "!!!CMimakiBaseRetrieveDataDialogClass::GetPrintMethodDisplayNameFromresolution#L: The "
                             "current print mode \"PET 720x720 VD\" does't exist any more in the printer\n";
    const auto lines = log.Normalized();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << "log: " << ::testing::PrintToString(lines);
    // The record's resolution and set choose instead.
    ASSERT_NE(gone.page().ChosenMode(), nullptr);
    log.Clear();
    Opened kept(Store({{L"PrEnv_PrintMethod", L"Film 600x600"}}));
    EXPECT_FALSE(log.Contains("does't exist")) << "an existing mode is not logged";
    EXPECT_EQ(kept.page().ChosenMode()->name, L"Film 600x600");
    // Banned counts as gone.
    log.Clear();
    Opened banned(Store({{L"PrEnv_PrintMethod", L"Film 600x600"}, {L"Bannedresolutions", L"600x600"}}));
    EXPECT_TRUE(log.Contains("The current print mode \"Film 600x600\" does't exist any more"));
}

struct DotCase {
    const wchar_t* mode;
    int dotBefore;       // m_nDotSizeV2 chosen on the page
    int dotAfter;        // what OK stores
    const char* logged;  // the line logged, "" for none
};

TEST(PrintModePage, DotSizeFollowsTheModesDotBits)
{
    const DotCase cases[] = {
        {L"Banner 720x600 VD", 0x01, 0x11, "%s#%d: dot size changed from vardot to fixed middle"},
        {L"Banner 720x600 VD", 0x10, 0x10, ""},
        {L"PET 720x1440 VD", 0x10, 0x01, "%s#%d: dot size changed from fixed middle to vardot"},
        {L"PET 720x1440 VD", 0x12, 0x01, "%s#%d: dot size changed from fixed middle to vardot"},
        {L"PET 720x1440 VD", 0x01, 0x01, ""},
        // Dot bit 0 counts as 1, dot bit 3 as 2, both logged.
        {L"PET 360x720", 0x01, 0x11, "inconsistent value (0) of dotBit"},
        {L"Film 600x600", 0x11, 0x01, "inconsistent value (3) of dotBit"},
    };
    for (const DotCase& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.mode) + " dot " + std::to_string(c.dotBefore));
        LogCapture log(8);
        Opened o(Store());
        PageError error;
        ASSERT_TRUE(o.s.Ok(o.Posted({{"c1200", ModeIndex(o.page(), c.mode)},
                                     {"c1016", ItemIndex(o.page(), "c1016", c.dotBefore)}}),
                           error))
            << error.message;
        EXPECT_EQ(o.Stored(L"DP30_m_nDotSizeV2"), std::to_wstring(c.dotAfter));
        std::string expected = c.logged;
        if (expected.rfind("%s#%d: ", 0) == 0)
            expected = "CMimakiBaseRetrieveDataDialogClass::CheckBitsPerPixelValue#L: " + expected.substr(7);
        bool found = expected.empty();
        for (std::size_t i = 0; i < log.lines.size(); ++i)
            if (!expected.empty() && log.Normalized()[i].find(expected) != std::string::npos)
                found = log.levels[i] == (expected.find("inconsistent") != std::string::npos ? 6 : 8);
        EXPECT_TRUE(found) << "log: " << ::testing::PrintToString(log.lines);
        if (c.logged[0] == 'i') {
            // The dot bit's line names the mode.
            EXPECT_TRUE(log.Contains("***CMimakiBaseRetrieveDataDialogClass::CheckBitsPerPixelValue#"));
            EXPECT_TRUE(log.Contains(": \"" + WideToUtf8(c.mode) + "\""));
        }
        if (!*c.logged) {
            EXPECT_FALSE(log.Contains("dot size changed"));
        }
    }
}

TEST(PrintModePage, PassListsFollowTheChosenMode)
{
    Opened o(Store());
    // "Printer setting", then every mode's pass counts in order.
    std::vector<int> offered;
    for (const ItemView& it : o.page().Find("c1198")->items)
        offered.push_back(it.data);
    EXPECT_EQ(offered, (std::vector<int>{0, 1, 2, 4, 8, 16}));
    const std::string pet = ModeIndex(o.page(), L"PET 720x1440 VD");
    PageError error;
    EXPECT_FALSE(o.s.Ok(o.Posted({{"c1200", pet}, {"c1198", ItemIndex(o.page(), "c1198", 2)}}), error));
    EXPECT_EQ(error.slot, "c1198");
    // Band divisions are sorted by pass count.
    EXPECT_NE(error.message.find("4, 8 (Passes)"), std::string::npos) << error.message;
    EXPECT_EQ(o.Stored(L"DP30_m_nPass"), L"(unset)") << "nothing saved";
    EXPECT_EQ(o.Stored(L"PrEnv_PrintMethod"), L"(unset)");
    // The same pass count with a mode that prints it.
    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1200", ModeIndex(o.page(), L"Banner 720x600 VD")},
                                 {"c1198", ItemIndex(o.page(), "c1198", 2)}}),
                       error))
        << error.message;
    EXPECT_EQ(o.Stored(L"DP30_m_nPass"), L"2");
    // "Printer setting" goes with every mode.
    ASSERT_TRUE(o.s.Ok(o.Posted({{"c1200", pet}, {"c1198", ItemIndex(o.page(), "c1198", 0)}}), error));
    EXPECT_EQ(o.Stored(L"DP30_m_nPass"), L"0");
    // The page tells the browser each mode's passes.
    const std::string json = PrintModesJson(o.page());
    EXPECT_NE(json.find("{\"name\":\"PET 720x1440 VD\",\"passes\":[4,8]}"), std::string::npos) << json;
    PageContext ctx = uitest::Context("p", "TS300P advanced");
    const std::string html = RenderPage(o.page(), ctx, nullptr);
    EXPECT_TRUE(std::regex_search(html, std::regex("data-passes=\"4,8\"( selected)?>PET 720x1440 VD</option>")));
    EXPECT_NE(html.find("data-mode-passes"), std::string::npos);
}

TEST(PrintModePage, HostQueriesFromTheChosenModeAndTheDotVolumes)
{
    // Group 1 (set 1), slot 0: 6, 12, 18 pl; group 2, slot 3: 7, 14, 21 pl
    // (tenths, little-endian); the rest none.
    std::vector<std::uint8_t> table(360, 0xFF);
    const auto put = [&](int group, int slot, std::array<int, 3> v) {
        for (int k = 0; k < 3; ++k) {
            table[((group * 10 + slot) * 3 + k) * 2] = static_cast<std::uint8_t>(v[k]);
            table[((group * 10 + slot) * 3 + k) * 2 + 1] = static_cast<std::uint8_t>(v[k] >> 8);
        }
    };
    put(1, 0, {60, 120, 180});
    put(2, 3, {70, 140, 210});
    Opened o(Store({{L"DP30_strDotVolumesData", qitest::Hex(table)}}));
    const auto choose = [&](const wchar_t* mode, int dot) {
        PageError error;
        ASSERT_TRUE(o.page().Exchange(o.Posted({{"c1200", ModeIndex(o.page(), mode)},
                                                {"c1016", ItemIndex(o.page(), "c1016", dot)}}),
                                      error))
            << error.message;
    };
    choose(L"PET 720x1440 VD", 0x01);
    EXPECT_EQ(o.page().OnQueryDotVolume(), L"6.00,12.00,18.00");
    EXPECT_EQ(o.page().OnQueryInkLevels(), 3);
    EXPECT_EQ(o.page().OnQueryDotSize(), 1);
    choose(L"Banner 720x600 VD", 0x12);
    EXPECT_EQ(o.page().OnQueryDotVolume(), L"7.00,14.00,21.00");
    EXPECT_EQ(o.page().OnQueryInkLevels(), 1) << "one dot bit";
    EXPECT_EQ(o.page().OnQueryDotSize(), 5);
    choose(L"Film 600x600", 0x11); // set 3: no volumes
    EXPECT_EQ(o.page().OnQueryDotVolume(), L"6.00,20.00,12.00,6.00");
    EXPECT_EQ(o.page().OnQueryDotSize(), 4);
}

} // namespace
