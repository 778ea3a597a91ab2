// The answers of the parameter classes to the host and the drivers, checked
// against the published answer tables kept as test data.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <tuple>
#include <regex>

#include "DevParmsTestUtil.h"
#include "devparms/MimakiDevParmsCJV330.h"
#include "devparms/MimakiDevParmsEarly.h"
#include "devparms/MimakiDevParmsTS300P.h"
#include "devparms/MimakiDevParmsUJF.h"
#include "devparms/MimakiDevParmsUJV.h"
#include "devparms/ParmKeys.h"
#include "entry/ModelTable.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "tests/support/LogCapture.h"

using namespace devparmstest;

IPrinterDriver* Create(CPrintEnv* pEnv);

namespace {

std::vector<std::string> Cells(const std::string& line)
{
    std::vector<std::string> cells;
    std::size_t pos = 1;
    while (pos < line.size()) {
        const std::size_t bar = line.find(" |", pos);
        if (bar == std::string::npos)
            break;
        std::string cell = line.substr(pos, bar - pos);
        cells.push_back(cell.substr(cell.find_first_not_of(' ')));
        pos = bar + 2;
    }
    return cells;
}

std::vector<std::string> Matches(const std::string& text, const std::regex& re)
{
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

// "`A` to `B`" and "\"P3_x\" to \"P6_x\"" name every item between.
std::vector<std::string> Expand(const std::string& text, const std::regex& item)
{
    std::vector<std::string> names = Matches(text, item);
    if (text.find(" to ") == std::string::npos || names.size() != 2)
        return names;
    const std::regex number("(\\D*)(\\d+)(.*)");
    std::smatch a, b;
    std::regex_match(names[0], a, number);
    std::regex_match(names[1], b, number);
    std::vector<std::string> all;
    for (int n = std::stoi(a[2]); n <= std::stoi(b[2]); ++n)
        all.push_back(std::string(a[1]) + std::to_string(n) + std::string(a[3]));
    return all;
}

const std::regex kClass("`(\\w+)`");
const std::regex kQuoted("\"(\\w+)\"");

void Put(CPrintEnv& env, const std::string& key, int value) { env.PutInt(Utf8ToWide(key).c_str(), value); }

// A key of the published table, or the class's own prefix for host answers.
struct Answers {
    int cut;
    int optionReturn;
    int optionValue;
    CDRc margins;
};

Answers Ask(const std::string& cls, CPrintEnv& env)
{
    testsupport::LogCapture quiet;
    auto parms = MakeClass(cls);
    parms->Load(&env);
    CJobPrintOptionQuery q{0, 42};
    const int ret = parms->JobPrintOptionAvailable(q);
    CQueryNpMargin query;
    return {parms->GetMediaCut(), ret, q.value, parms->MediaSizeGetNpMargin(query)};
}

} // namespace

TEST(MediaAnswers, CutOptionAndMarginsOfEveryClass)
{
    std::ifstream in(DataFile("media_answers.txt"));
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        ++rows;
        const std::vector<std::string> cells = Cells(line);
        ASSERT_EQ(cells.size(), 4u) << line;
        const std::vector<std::string> classes = Expand(cells[0], kClass);
        const std::vector<std::string> cutKeys = Expand(cells[1], kQuoted);
        const std::vector<std::string> optKeys = Expand(cells[2], kQuoted);
        for (std::size_t c = 0; c < classes.size(); ++c) {
            const std::string& cls = classes[c];
            SCOPED_TRACE(cls);
            const bool cutBoth = cells[1].find(" and ") != std::string::npos;
            const bool optBoth = cells[2].find(" and ") != std::string::npos;
            // The keys of this class: one per class in a list, else all.
            auto mine = [&](const std::vector<std::string>& keys, bool both) {
                if (both || keys.size() != classes.size())
                    return keys;
                return std::vector<std::string>{keys[c]};
            };
            const std::vector<std::string> cut = mine(cutKeys, cutBoth);
            const std::vector<std::string> opt = mine(optKeys, optBoth);

            // Everything set: the keyed answers are 1.
            CPrintEnv all;
            for (const auto& k : cut) Put(all, k, 1);
            for (const auto& k : opt) Put(all, k, 1);
            const Answers yes = Ask(cls, all);
            EXPECT_EQ(yes.cut, cut.empty() ? 0 : 1);
            if (cells[2] == "host") {
                EXPECT_EQ(yes.optionReturn, 0);
                EXPECT_EQ(yes.optionValue, 42);
            } else if (cells[2].rfind("unchanged", 0) == 0) {
                EXPECT_EQ(yes.optionReturn, 1);
                EXPECT_EQ(yes.optionValue, 42);
            } else {
                EXPECT_EQ(yes.optionReturn, 1);
                EXPECT_EQ(yes.optionValue, opt.empty() ? std::stoi(cells[2]) : 1);
            }
            // Each keyed answer needs every one of its keys.
            for (const auto& off : cut) {
                CPrintEnv env = all;
                Put(env, off, 0);
                EXPECT_EQ(Ask(cls, env).cut, 0) << off;
            }
            for (const auto& off : opt) {
                CPrintEnv env = all;
                Put(env, off, 0);
                EXPECT_EQ(Ask(cls, env).optionValue, 0) << off;
            }

            // Margins: right first, left third, from the named keys only.
            std::string prefix;
            const std::smatch m = [&] {
                std::smatch r;
                std::regex_search(cells[3], r, std::regex("the four (\\w+) margin keys|\"(\\w+)_m_bSetLeftMargin\""));
                return r;
            }();
            if (!m.empty())
                prefix = m[1].matched ? m[1].str() : m[2].str();
            const mimaki::parms::KeyTable& table = TableOf(*MakeClass(cls));
            const std::string own = WideToUtf8(table.Prefix());
            for (const auto& [setRight, right, setLeft, left] :
                 {std::tuple{1, 10, 0, 5}, std::tuple{0, 10, 1, 7}, std::tuple{1, -3, 1, 4}}) {
                CPrintEnv env;
                for (const std::string& p : {own, prefix.empty() ? own : prefix}) {
                    Put(env, p + "_m_bSetRightMargin", setRight);
                    Put(env, p + "_m_nRightMargin", right);
                    Put(env, p + "_m_bSetLeftMargin", setLeft);
                    Put(env, p + "_m_nLeftMargin", left);
                }
                const CDRc got = Ask(cls, env).margins;
                const CDRc expected = prefix.empty() ? CDRc{} : CDRc{setRight ? right * 1.0 : 0, 0, setLeft ? left * 1.0 : 0, 0};
                EXPECT_EQ(got, expected) << setRight << right << setLeft << left;
            }
        }
    }
    EXPECT_EQ(rows, 26);
}

TEST(MediaAnswers, StringObjectSequence)
{
    std::ifstream in(DataFile("strobseq.txt"));
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> ones = Matches(line.substr(line.find("answers 1 in")), kClass);
    ASSERT_EQ(ones.size(), 29u);
    for (const std::string& cls : ClassNames()) {
        auto parms = MakeClass(cls);
        const bool one = std::find(ones.begin(), ones.end(), cls) != ones.end();
        EXPECT_EQ(parms->bStrObSeq(), one ? 1 : 0) << cls;
    }
}

// PrEnv_InkLevels after Save, by the published conditions: the dot-size key
// set to a value that meets the condition gives 3, one that does not 1.
TEST(InkLevels, EveryClassTestsItsDotSize)
{
    testsupport::LogCapture quiet;
    std::ifstream in(DataFile("ink_levels.txt"));
    std::string line;
    std::set<std::string> covered;
    while (std::getline(in, line)) {
        const std::vector<std::string> cells = Cells(line);
        const std::string& cond = cells[1];
        for (const std::string& cls : Matches(cells[0], kClass)) {
            SCOPED_TRACE(cls);
            covered.insert(cls);
            auto probe = MakeClass(cls);
            const mimaki::parms::KeyTable& table = TableOf(*probe);
            // The dot-size key: the new code where a key superseded the old one.
            std::string dotKey;
            for (std::size_t i = 0; i < table.Keys().size(); ++i) {
                const std::string name = WideToUtf8(table.Keys()[i].name);
                if (mimaki::parms::IsOldKey(table.Keys()[i].kind))
                    continue;
                if (name == "DotSize" || name == "nDotSize" || name == "m_nDotSize" || name == "m_nDotSizeV2")
                    dotKey = WideToUtf8(table.StoredName(i));
            }
            ASSERT_FALSE(dotKey.empty());
            auto levels = [&](int dot, const wchar_t* dpi, int hostLevels = 1) {
                CPrintEnv env;
                Put(env, dotKey, dot);
                env.PutString(PrEnv_Dpi, dpi);
                env.PutInt(PrEnv_InkLevels, hostLevels);
                auto parms = MakeClass(cls);
                parms->Load(&env);
                parms->Save(&env);
                return env.GetInt(PrEnv_InkLevels);
            };
            std::smatch m;
            if (std::regex_search(cond, m, std::regex("^dot size (?:\\(code\\) )?(\\d+)$"))) {
                const int v = std::stoi(m[1]);
                EXPECT_EQ(levels(v, L"1440"), 3);
                EXPECT_EQ(levels(v + 1, L"720"), 1);
            } else if (std::regex_search(cond, m, std::regex("^dot size (\\d+) and `PrEnv_Dpi` below 1440"))) {
                const int v = std::stoi(m[1]);
                EXPECT_EQ(levels(v, L"720"), 3);
                EXPECT_EQ(levels(v, L"1440"), 1);
                EXPECT_EQ(levels(v + 1, L"720"), 1);
            } else if (cond.rfind("dot size above 0 and", 0) == 0) {
                EXPECT_EQ(levels(2, L"720"), 3);
                EXPECT_EQ(levels(2, L"1440"), 1);
                EXPECT_EQ(levels(0, L"720"), 1);
            } else if (std::regex_search(cond, m, std::regex("^dot size below (\\d+)$"))) {
                const int v = std::stoi(m[1]);
                EXPECT_EQ(levels(v - 1, L"720"), 3);
                EXPECT_EQ(levels(v, L"720"), 1);
            } else if (cond.find("GetInklevelsFromParms") != std::string::npos) {
                EXPECT_EQ(levels(1, L"720"), 3);
                EXPECT_EQ(levels(0, L"720", 2), 2);
                EXPECT_EQ(levels(2, L"720", 2), 1);
            } else {
                ASSERT_EQ(cls, "DEVPARMTS500_CLASS") << cond;
                EXPECT_EQ(levels(4, L"720"), 3);
                EXPECT_EQ(levels(5, L"720"), 3);
                EXPECT_EQ(levels(6, L"720"), 2);
                EXPECT_EQ(levels(0, L"720", 2), 2);
                EXPECT_EQ(levels(0, L"720", 1), 3);
                EXPECT_EQ(levels(1, L"720"), 1);
            }
        }
    }
    EXPECT_EQ(covered.size(), 46u);
}

TEST(ColourMap, SlotsMapToTheColourIdsOfTheSequence)
{
    testsupport::LogCapture quiet;
    CPrintEnv env;
    env.PutString(L"SlotsSetting", L"0`1`2`3`8`9`34`30");
    env.PutString(L"MimakiColorSequence", L"1,2,3,4,5,6");
    auto parms = Loaded<DEVPARMSIJ320UV_CLASS>(env);
    EXPECT_EQ(parms->GetColorMapValue(9), 6);
    EXPECT_EQ(parms->GetColorMapValue(34), 99); // slot 7 has no id
    EXPECT_EQ(parms->GetColorIdAt(5), 6);
    EXPECT_EQ(parms->GetColorIdAt(6), 99);
    EXPECT_EQ(parms->GetColorIdAt(-1), 99);
    // Classes with a map but without id answers, and the plain base.
    EXPECT_EQ(Loaded<DEVPARMJV300_CLASS>(env)->GetColorIdAt(0), -1);
    EXPECT_EQ(Loaded<DEVPARMJV300_CLASS>(env)->GetColorMapValue(1), 2);
    EXPECT_EQ(Loaded<CMimakiDevParmsBase>(env)->GetColorMapValue(1), -1);
    // Slots default to the host's entry; none at all is logged.
    CPrintEnv host;
    host.PutString(PrEnv_SlotsSettingDefault, L"3`2");
    host.PutString(L"MimakiColorSequence", L"7,8");
    EXPECT_EQ(Loaded<DEVPARMUJV500_CLASS>(host)->GetColorMapValue(2), 8);
    CPrintEnv none;
    testsupport::LogCapture log;
    EXPECT_EQ(Loaded<DEVPARMUJV500_CLASS>(none)->GetColorMapValue(0), 99);
    EXPECT_TRUE(log.Contains("SlotSetting is not defined"));
}

TEST(LayerAnswers, ScheduledAndUnderprintLayers)
{
    CPrintEnv env;
    env.PutInt(L"DP19_nLayer1Mode", 3);
    env.PutInt(L"DP19_nLayer2Mode", 1);
    for (int typ = 0; typ <= 6; ++typ) {
        env.PutInt(L"UJFPrinterTyp", typ);
        auto ujf3042 = Loaded<DEVPARMUJF3042_CLASS>(env);
        auto ujf706 = Loaded<DEVPARMUJF706_CLASS>(env);
        // Underprint layers by ink configuration: WW, VV, WV, PP, WP, VP, WVP.
        const std::vector<std::vector<int>> underprints = {{2}, {1}, {2, 4}, {1}, {2, 4}, {1, 5}, {3, 5, 7}};
        for (int layer = 0; layer < 12; ++layer) {
            const bool under = std::count(underprints[typ].begin(), underprints[typ].end(), layer) != 0;
            EXPECT_EQ(ujf3042->IsLayerReversed(layer), under) << typ << " " << layer;
            EXPECT_EQ(ujf706->IsLayerReversed(layer), under && typ <= 2) << typ << " " << layer;
        }
    }
    auto ujf = Loaded<DEVPARMUJF3042_CLASS>(env);
    // Layer i is mode i + 1.
    EXPECT_TRUE(ujf->IsLayerScheduled(2));
    EXPECT_TRUE(ujf->IsLayerScheduled(0));
    EXPECT_FALSE(ujf->IsLayerScheduled(1));
    EXPECT_FALSE(ujf->IsLayerScheduled(-1)); // mode 0 is "None"

    CPrintEnv jfx;
    jfx.PutInt(L"DP28_nLayer1Mode", 20);
    jfx.PutInt(L"DP28_nLayer2Mode", 255);
    jfx.PutInt(L"DP28_bSplitPrintArea", 4);
    auto jfx200 = Loaded<DEVPARMJFX200_CLASS>(jfx);
    EXPECT_TRUE(jfx200->IsLayerScheduled(20));
    EXPECT_FALSE(jfx200->IsLayerScheduled(255));
    EXPECT_FALSE(jfx200->IsLayerScheduled(3));
    for (int kind : {3, 5, 7, 20, 28, 30, 32})
        EXPECT_TRUE(jfx200->IsLayerReversed(kind)) << kind;
    EXPECT_FALSE(jfx200->IsLayerReversed(21));
    EXPECT_TRUE(jfx200->IsSplitPrintArea());
    EXPECT_FALSE(Loaded<DEVPARMJFXMKSERIES_CLASS>(jfx)->IsLayerReversed(20));
    EXPECT_TRUE(Loaded<DEVPARMJFXMKSERIES_CLASS>(jfx)->IsLayerReversed(7));
    jfx.PutInt(L"DP28_bSplitPrintArea", 1);
    EXPECT_FALSE(Loaded<DEVPARMJFX200_CLASS>(jfx)->IsSplitPrintArea());
}

TEST(LayerAnswers, WhiteLayersOfTheEarlyModels)
{
    const struct {
        int typ, order, white, active, separate;
    } dp7[] = {{1, 0, 1, 0, 0}, {1, 1, 1, 1, 1}, {0, 0, 1, 1, 1}, {0, 0, 0, 0, 1}, {1, 2, 0, 0, 1}};
    for (const auto& c : dp7) {
        CPrintEnv env;
        env.PutInt(L"DP7_nPrinterTyp", c.typ);
        env.PutInt(L"DP7_nWhiteOrder", c.order);
        env.PutInt(L"DP7_bWhite", c.white);
        auto parms = Loaded<DEVPARM7_CLASS>(env);
        EXPECT_EQ(parms->IsWhiteLayerActive(), c.active) << c.typ << c.order << c.white;
        EXPECT_EQ(parms->IsColorLayerSeparate(), c.separate) << c.typ << c.order << c.white;
    }
    CPrintEnv env;
    env.PutInt(L"DP8_bWhite", 1);
    EXPECT_FALSE(Loaded<DEVPARM8_CLASS>(env)->UsesWhiteDriver()); // no order: one layer
    env.PutInt(L"DP8_nWhiteOrder", 2);
    EXPECT_TRUE(Loaded<DEVPARM8_CLASS>(env)->UsesWhiteDriver());
    env.PutInt(L"DP5_bWhite", 1);
    EXPECT_TRUE(Loaded<DEVPARM5_CLASS>(env)->UsesJV3WhiteDriver());
    env.PutInt(L"DP17_pParam_Color_m_nLayers", 3);
    env.PutInt(L"DP17_pParam_White_m_nLayers", 2);
    auto dp17 = Loaded<DEVPARM17_CLASS>(env);
    EXPECT_TRUE(dp17->Uses604SpecialDriver());
    EXPECT_EQ(dp17->nPrintCountColor, 3);
    EXPECT_EQ(dp17->nPrintCountWhite, 2);
    env.PutInt(L"DP14_nClearCoatIrradiation", 3);
    EXPECT_EQ(Loaded<DEVPARM14_CLASS>(env)->GetClearCoatIrradiation(), 3);
    env.PutInt(L"DP16_ClearParam_nIrradiation", 2);
    env.PutInt(L"DP16_WhiteParam_nPrintCount", 4);
    EXPECT_EQ(Loaded<DEVPARM16_CLASS>(env)->GetClearCoatIrradiation(), 2);
    EXPECT_EQ(Loaded<DEVPARM16_CLASS>(env)->nPrintCountWhite, 4);
}

TEST(OtherAnswers, HighSpeedHeadCleaningWhiteOrderOffsetBits)
{
    testsupport::LogCapture quiet;
    CPrintEnv env;
    env.PutInt(L"DP13_bHighSpeed", 1);
    env.PutInt(L"TS330_m_bHighSpeed", 1);
    env.PutInt(L"DP30_m_bHighSpeedTransfer", 1);
    env.PutInt(L"DP30_m_bHeadCleaning", 1);
    EXPECT_EQ(Loaded<DEVPARM13_CLASS>(env)->GetHighSpeed(), 1);
    EXPECT_EQ(Loaded<DEVPARMTS330_1600_CLASS>(env)->GetHighSpeed(), 1);
    EXPECT_EQ(MakeClass("DEVPARMJV34_CLASS")->GetMediaCut(), 0);
    EXPECT_EQ(Loaded<DEVPARMTS300P_ADVANCED_CLASS>(env)->GetHighSpeed(), 0); // the model lacks it
    EXPECT_EQ(Loaded<DEVPARMTS300P_ADVANCED_CLASS>(env)->IsHeadCleaningEnabled(), 0);
    env.PutInt(L"bUseHighSpeedTransfer", 1);
    env.PutInt(L"bUseHeadCleaning", 1);
    env.PutString(L"DP30_dConsecutiveBlankMmToDoHeadCleaning", L"25.5");
    auto advanced = Loaded<DEVPARMTS300P_ADVANCED_CLASS>(env);
    EXPECT_EQ(advanced->GetHighSpeed(), 1);
    EXPECT_EQ(advanced->IsHeadCleaningEnabled(), 1);
    double nonBlank = 0, blank = 0;
    advanced->GetHeadCleaningDistances(nonBlank, blank);
    EXPECT_DOUBLE_EQ(nonBlank, 100.0);
    EXPECT_DOUBLE_EQ(blank, 25.5);
    env.PutInt(L"DP33_m_bHighSpeed", 1);
    EXPECT_EQ(Loaded<DEVPARMUJV55_CLASS>(env)->GetHighSpeed(), 0);
    EXPECT_EQ(Loaded<DEVPARMTX330_CLASS>(env)->GetHighSpeed(), 0);

    env.PutInt(L"DP35_eWhiteOrder", 2);
    env.PutInt(L"DP35_nLayerOffset", 40);
    env.PutInt(L"DP37_m_eWhiteMode", 3);
    env.PutInt(L"DP47_m_nPrintingWay", 5);
    EXPECT_EQ(Loaded<DEVPARMUCJV300_CLASS>(env)->GetLayerWhiteOrder(), 2);
    EXPECT_EQ(Loaded<DEVPARMUCJV300_CLASS>(env)->GetLayerOffset(), 40);
    EXPECT_EQ(Loaded<DEVPARMUJV500_CLASS>(env)->GetLayerWhiteOrder(), 3);
    EXPECT_EQ(Loaded<DEVPARMUJV100_CLASS>(env)->GetWhiteOrderOrMode(), 5);
    EXPECT_EQ(Loaded<DEVPARMUJF_x042MKII_CLASS>(env)->GetLayerOffset(), 0);
    EXPECT_EQ(Loaded<CMimakiDevParmsBase>(env)->GetWhiteOrderOrMode(), -1);

    env.PutInt(L"DPCVJ_300_PLUS_m_nDotSize", 1);
    env.PutInt(L"DPCVJ_330_m_nDotSize", 1);
    EXPECT_EQ(Loaded<DEVPARMCJV300_PLUS_CLASS>(env)->GetBitsPerPixel(), 2);
    EXPECT_EQ(Loaded<DEVPARMCJV330_CLASS>(env)->GetBitsPerPixel(), 1);
    env.PutInt(L"DPCVJ_300_PLUS_m_nDotSize", 0);
    env.PutInt(L"DPCVJ_330_m_nDotSize", 0);
    EXPECT_EQ(Loaded<DEVPARMCJV300_PLUS_CLASS>(env)->GetBitsPerPixel(), 1);
    EXPECT_EQ(Loaded<DEVPARMJV330_CLASS>(env)->GetBitsPerPixel(), 2);
}

// Create builds and loads the parameters of every model row; each row whose
// driver class is built answers with a driver over them.
TEST(CreateEveryModel, ParametersOfEveryRowAndADriverWhereOneExists)
{
    testsupport::LogCapture quiet;
    for (const mimaki::ModelRow& row : mimaki::ModelTable()) {
        SCOPED_TRACE(row.uid);
        CPrintEnv env;
        env.PutInt(PrEnv_UID, row.uid);
        std::unique_ptr<CUnivDevParmsBase> parms(mimaki::SelectParms(row, env)->make());
        ASSERT_TRUE(parms);
        EXPECT_EQ(parms->GetSize() > 0, true);
        EXPECT_EQ(parms->GetVersion(), 261);
        const bool built = row.driver && row.driver->make;
        auto* mimakiParms = dynamic_cast<CMimakiDevParmsBase*>(parms.get());
        if (mimakiParms)
            mimakiParms->Load(&env);
        const bool white = mimakiParms && (mimakiParms->UsesJV3WhiteDriver() || mimakiParms->Uses604SpecialDriver() ||
                                           mimakiParms->UsesWhiteDriver());
        IPrinterDriver* driver = Create(&env);
        if (built && !white) {
            EXPECT_TRUE(driver);
        }
        delete dynamic_cast<CPrinterDriverBase*>(driver);
    }
}
