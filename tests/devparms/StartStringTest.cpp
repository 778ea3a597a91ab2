// Job start and end strings, byte for byte as worked out from the command
// descriptions.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "DevParmsTestUtil.h"
#include "devparms/MimakiDevParmsCJV330.h"
#include "devparms/MimakiDevParmsEarly.h"
#include "devparms/MimakiDevParmsStrOb.h"
#include "devparms/MimakiDevParmsTS300P.h"
#include "devparms/MimakiDevParmsUJF.h"
#include "devparms/MimakiDevParmsUJV.h"
#include "host/OutputSink.h"
#include "driver/MimakiBaseDriver.h"
#include "host/PrinterDriverBase.h"

using namespace devparmstest;

namespace {

// A legacy driver over the parameters, with a job opened at the given
// resolutions and cut option.
struct JobFixture {
    CPrintEnv env;
    CPrintJobOpenContext ctx;
    CMimakiDevParmsBase* parms = nullptr; // owned by the driver
    std::unique_ptr<CMimakiLegacyBasePrinterDriver> driver;

    template <class C>
    C& Open(double h, double v, int cut = 0, const wchar_t* endAction = L"")
    {
        ctx.jobEndAction = endAction;
        auto* p = new C();
        parms = p;
        p->Load(&env);
        driver = std::make_unique<CMimakiLegacyBasePrinterDriver>(&env, p);
        ctx.dpiFirst = h;
        ctx.dpiSecond = v;
        ctx.cutOption = cut;
        ctx.pixelWidth = 16;
        ctx.colourCodes = {0};
        EXPECT_EQ(driver->JobOpen(&ctx), 1);
        return *p;
    }
};

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

} // namespace

// Escape "@", escape "(U" 1 0 unit, then "MP" and nine bytes.
TEST(StartDP1, ResetUnitAndPrintMode)
{
    JobFixture f;
    // By default the print mode is not sent: reset and unit only.
    auto& off = f.Open<DEVPARM1_CLASS>(720, 720);
    EXPECT_EQ(Hex(off.GetStartString(f.driver.get())), "1b40" "1b2855" "01" "00" "05");
    f.env.PutInt(L"DP1_DontSendSet1", 0);
    auto& p = f.Open<DEVPARM1_CLASS>(720, 720);
    // Defaults: banding 4, unidirectional 1, overprint 1, no cut, dry times 0.
    EXPECT_EQ(Hex(p.GetStartString(f.driver.get())),
              "1b40" "1b2855" "01" "00" "05" "4d50" "04" "01" "01" "00" "0000" "0000" "ff");

    f.env.PutInt(L"DP1_UseDeviceOverPrintings", 1);
    f.env.PutInt(L"DP1_UseDeviceDryTimeScan", 1);
    f.env.PutInt(L"DP1_DryTimeEnd", 0x1234);
    f.env.PutInt(L"DP1_AutomaticCut", 1);
    f.env.PutInt(L"DP1_Banding", 300); // masked to a byte
    auto& q = f.Open<DEVPARM1_CLASS>(360, 720, 1);
    EXPECT_EQ(Hex(q.GetStartString(f.driver.get())),
              "1b40" "1b2855" "01" "00" "0a" "4d50" "2c" "01" "ff" "01" "ffff" "3412" "ff");
    // Cut option 0 sends no cut whatever the setting.
    auto& r = f.Open<DEVPARM1_CLASS>(1440, 720, 0);
    // 3600 / 1440 is 2.5: the unit byte is 2.
    EXPECT_EQ(Hex(r.GetStartString(f.driver.get())),
              "1b40" "1b2855" "01" "00" "02" "4d50" "2c" "01" "ff" "00" "ffff" "3412" "ff");
}

TEST(StartDP1, OperatorsTemplate)
{
    JobFixture f;
    f.env.PutInt(L"DP1_DontSendSet1", 0);
    // A template of the operator's: its own command around the nine bytes;
    // placeholders past the nine read 0, other '%' stay as they are.
    f.env.PutString(L"DevParmSet1", L"XY\\%03o-\\x%02x%d\\%03o");
    auto& p = f.Open<DEVPARM1_CLASS>(1440, 720, 1);
    EXPECT_EQ(Hex(p.GetStartString(f.driver.get())), "1b40" "1b2855" "01" "00" "02" "5859" "04" "2d" "01" "2564" "01");
}

// A stored template with more placeholders than the nine values, bad
// escapes and a trailing backslash: extra placeholders read 0, "\\x" without
// digits is 'x', "\\9" is '9', the trailing backslash gives nothing.
TEST(StartDP1, MalformedStoredTemplate)
{
    JobFixture f;
    f.env.PutInt(L"DP1_DontSendSet1", 0);
    std::wstring tmpl = L"MP";
    for (int i = 0; i < 12; ++i)
        tmpl += L"\\%03o";
    tmpl += L"\\x\\9\\";
    f.env.PutString(L"DevParmSet1", tmpl);
    auto& p = f.Open<DEVPARM1_CLASS>(720, 720);
    EXPECT_EQ(Hex(p.GetStartString(f.driver.get())),
              "1b40" "1b2855" "01" "00" "05" "4d50" "04" "01" "01" "00" "0000" "0000" "ff" "000000" "78" "39");
}

TEST(StartDP2, EverySendFlag)
{
    JobFixture f;
    // All send flags off: "MD", "ME" 0 D 0, "MB" 0 and nothing else.
    auto& none = f.Open<DEVPARM2_CLASS>(720, 360);
    EXPECT_EQ(Hex(none.GetStartString(f.driver.get())), "1b40" "4d44" "6801" "d002" "4d45" "000000" "4d42" "00");

    for (const wchar_t* key : {L"DP2_SendPrintMode", L"DP2_SendAutoCut", L"DP2_SendOverprint", L"DP2_SendDryTimeScan",
                               L"DP2_SendDryTimeEnd", L"DP2_SendInkSet", L"DP2_SendFeedCorr", L"DP2_SendRefresh",
                               L"HasAutoCut", L"DP2_HiSpeed"})
        f.env.PutInt(key, 1);
    f.env.PutInt(L"DP2_Quality", 1);
    f.env.PutInt(L"DP2_PrintDir", 2);
    f.env.PutInt(L"DP2_Overprint", 3);
    f.env.PutInt(L"DP2_AutoCut", 1);
    f.env.PutInt(L"DP2_DryTimeScan", 300);
    f.env.PutInt(L"DP2_DryTimeEnd", 5);
    f.env.PutInt(L"DP2_InkSet", 7);
    f.env.PutInt(L"DP2_FeedCorr", -3);
    f.env.PutInt(L"DP2_Refresh", 9);
    // 720 x 720, quality 1, high speed, dot size 0: passes 8 | 0x80, dot code 2.
    auto& all = f.Open<DEVPARM2_CLASS>(720, 720, 2);
    EXPECT_EQ(Hex(all.GetStartString(f.driver.get())),
              "1b40" "4d44" "d002" "d002"
              "4d50" "88" "02" "03" "01" "2c01" "0500" "ff"
              "4d43" "02"
              "4d45" "000000" "4d42" "00"
              "4d59" "07" "4d41" "ffff" "01" "fd" "4d46" "09");

    // 360 dpi, cut option 1, no high speed, dot size 4 below 720: code 0x10.
    f.env.PutInt(L"DP2_HiSpeed", 0);
    f.env.PutInt(L"DP2_DotSize", 4);
    f.env.PutInt(L"DP2_Quality", 2);
    auto& low = f.Open<DEVPARM2_CLASS>(360, 360, 1);
    EXPECT_EQ(Hex(low.GetStartString(f.driver.get())),
              "1b40" "4d44" "6801" "6801" "4d50" "08" "02" "03" "01" "2c01" "0500" "ff" "4d43" "10"
              "4d45" "000000" "4d42" "00" "4d59" "07" "4d41" "ffff" "01" "fd" "4d46" "09");
}

TEST(StartDP2, ClampingDoubleDensityAndNoAutoCut)
{
    JobFixture f;
    f.env.PutInt(L"DP2_SendPrintMode", 1);
    f.env.PutInt(L"DP2_SendAutoCut", 1); // but the model has no automatic cut
    f.env.PutInt(L"DP2_Quality", 7);
    f.env.PutInt(L"DP2_DotSize", -2);
    f.env.PutString(PrEnv_PrintMethod, L"Fine");
    f.env.PutString(L"$Parms$Fine", L"a,b,c,d,e,1");
    // V 360 doubled to 720; quality clamped to 2: 16 passes; dot 0 at 720 x 720: 2.
    auto& p = f.Open<DEVPARM2_CLASS>(720, 360, 1);
    EXPECT_EQ(Hex(p.GetStartString(f.driver.get())),
              "1b40" "4d44" "6801" "d002" "4d50" "10" "00" "ff" "ff" "ffff" "ffff" "ff" "4d43" "02"
              "4d45" "000100" "4d42" "00");
    EXPECT_EQ(p.Quality, 2);
    EXPECT_EQ(p.DotSize, 0);
    // A resolution the pass table does not know: the printer's setting.
    auto& odd = f.Open<DEVPARM2_CLASS>(600, 600, 1);
    const std::string oddHex = Hex(odd.GetStartString(f.driver.get()));
    EXPECT_EQ(oddHex.substr(16, 4), "4d50");
    EXPECT_EQ(oddHex.substr(20, 2), "ff");
}

// Building a start never changes the record: the "M" models other than
// model 2 clamp passes and dot size on copies, so a store saved after a job
// is the store saved before it.
TEST(StartStrings, LeaveTheRecordOfEveryMModelUnchanged)
{
    for (const char* cls : {"DEVPARM3_CLASS", "DEVPARM4_CLASS", "DEVPARM5_CLASS", "DEVPARM6_CLASS", "DEVPARM7_CLASS",
                            "DEVPARM8_CLASS", "DEVPARM9_CLASS", "DEVPARM10_CLASS", "DEVPARM11_CLASS",
                            "DEVPARM12_CLASS", "DEVPARM14_CLASS", "DEVPARM16_CLASS"}) {
        const std::wstring prefix = L"DP" + std::to_wstring(std::stoi(std::string(cls).substr(7))) + L"_";
        CPrintEnv env;
        for (const wchar_t* key : {L"Quality", L"DotSize", L"nDotSize", L"Pass"})
            env.PutInt((prefix + key).c_str(), 9);
        env.PutInt((prefix + L"SendPrintMode").c_str(), 1);
        env.PutString(PrEnv_Dpi, L"720");
        auto owned = MakeClass(cls);
        ASSERT_NE(owned, nullptr) << cls;
        auto* parms = owned.get();
        parms->Load(&env);
        const std::vector<CDeviceEnv::Entry> before = SavedEntries(*parms);
        CMimakiLegacyBasePrinterDriver driver(&env, owned.release());
        CPrintJobOpenContext ctx;
        ctx.pixelWidth = 16;
        ctx.colourCodes = {0};
        ASSERT_EQ(driver.JobOpen(&ctx), 1) << cls;
        CMemorySink sink;
        driver.SetOutputSink(&sink);
        // The plain-string models build in GetStartString, the string-object
        // models in OutputStartString (the white models' layered start needs
        // their own driver and fails here, after building its strings).
        const std::string start = parms->GetStartString(&driver);
        parms->OutputStartString(&driver);
        EXPECT_FALSE(start.empty() && sink.Data().empty()) << cls;
        EXPECT_EQ(SavedEntries(*parms), before) << cls;
    }
}

// The cut byte of the job start over the job's cut option (0 no cut, 1 cut,
// 2 the device's setting), the device's cut flag and the model's cutter
// flag, worked out by hand: model 1 ("MP" byte 4: 0 without a cut, else
// "DP1_AutomaticCut"; no model flag), model 2 ("MP" byte 4, 0xFF without
// "HasAutoCut"), the JV100 ("QC" byte 3, 0xFF without "bUseCut").
TEST(StartStrings, CutByteOverOptionDeviceFlagAndModelFlag)
{
    const struct {
        int option, device, model;
        int dp1, dp2, jv100;
    } rows[] = {
        {0, 0, 0, 0x00, 0xFF, 0xFF}, {0, 0, 1, 0x00, 0x00, 0x00}, {0, 1, 0, 0x00, 0xFF, 0xFF},
        {0, 1, 1, 0x00, 0x00, 0x00}, {1, 0, 0, 0x00, 0xFF, 0xFF}, {1, 0, 1, 0x00, 0x01, 0x01},
        {1, 1, 0, 0x01, 0xFF, 0xFF}, {1, 1, 1, 0x01, 0x01, 0x01}, {2, 0, 0, 0x00, 0xFF, 0xFF},
        {2, 0, 1, 0x00, 0x00, 0x00}, {2, 1, 0, 0x01, 0xFF, 0xFF}, {2, 1, 1, 0x01, 0x01, 0x01},
    };
    for (const auto& r : rows) {
        const std::string what = "option " + std::to_string(r.option) + ", device " + std::to_string(r.device) +
                                 ", model " + std::to_string(r.model);
        JobFixture f;
        f.env.PutInt(L"DP1_DontSendSet1", 0);
        f.env.PutInt(L"DP1_AutomaticCut", r.device);
        f.env.PutInt(L"DP2_SendAutoCut", 1);
        f.env.PutInt(L"DP2_AutoCut", r.device);
        f.env.PutInt(L"HasAutoCut", r.model);
        f.env.PutInt(L"bUseCut", r.model);
        f.env.PutInt(L"JV100_bCut", r.device);
        // Reset, unit: 8 bytes; "MP", then bytes 1 to 3.
        auto& dp1 = f.Open<DEVPARM1_CLASS>(720, 720, r.option);
        EXPECT_EQ(static_cast<BYTE>(dp1.GetStartString(f.driver.get()).at(13)), r.dp1) << what;
        // Reset, "MD" and the resolutions: 8 bytes; "MP", then bytes 1 to 3.
        auto& dp2 = f.Open<DEVPARM2_CLASS>(720, 720, r.option);
        EXPECT_EQ(static_cast<BYTE>(dp2.GetStartString(f.driver.get()).at(13)), r.dp2) << what;
        // "Q@" 0, then "QC" 12 0 and the cut byte.
        auto& jv100 = f.Open<DEVPARMJV100_CLASS>(720, 720, r.option);
        CMemorySink sink;
        f.driver->SetOutputSink(&sink);
        ASSERT_EQ(jv100.OutputStartString(f.driver.get()), 1);
        ASSERT_EQ(sink.Data().substr(3, 4), std::string("QC\x0C\x00", 4)) << what;
        EXPECT_EQ(static_cast<BYTE>(sink.Data().at(7)), r.jv100) << what;
    }
}

// The job ends the catalogue fixes, by class, job-end action and command set.
TEST(EndStrings, OfEveryKind)
{
    const std::string qe = "514500";
    const std::string feed0 = "0cff";
    struct Case {
        std::string name;
        std::function<std::string(JobFixture&, const wchar_t*)> end;
        std::vector<std::pair<const wchar_t*, int>> settings;
        const wchar_t* action;
        std::string expected;
    };
    auto of = [](auto tag) {
        using C = decltype(tag);
        return [](JobFixture& f, const wchar_t* action) {
            return Hex(f.Open<C>(720, 720, 0, action).GetEndString(f.driver.get()));
        };
    };
    const Case cases[] = {
        {"model 15, cut after", of(DEVPARM15_CLASS()), {{L"SpaceBetweenJobs", 0}}, L"EndeCutAfter", ""},
        {"model 15", of(DEVPARM15_CLASS()), {{L"SpaceBetweenJobs", 0}}, L"", feed0},
        {"model 15, MRL III set", of(DEVPARM15_CLASS()), {{L"nFunctModeId", 4}}, L"", qe},
        {"SWJ320EA, cut after", of(DEVPARMSWJ_320AE_CLASS()), {}, L"EndeCutAfter", ""},
        {"model 14 keeps the base end", of(DEVPARM14_CLASS()), {{L"SpaceBetweenJobs", 0}}, L"EndeCutAfter", feed0},
        {"JV100", of(DEVPARMJV100_CLASS()), {{L"SpaceBetweenJobs", 0}}, L"EndeCutAfter", qe},
        {"TX330", of(DEVPARMTX330_CLASS()), {}, L"", qe},
        {"TS300P advanced", of(DEVPARMTS300P_ADVANCED_CLASS()), {{L"DP30_m_bHeadCleaning", 1}}, L"", qe},
        {"TS300P advanced, head cleaning", of(DEVPARMTS300P_ADVANCED_CLASS()),
         {{L"DP30_m_bHeadCleaning", 1}, {L"bUseHeadCleaning", 1}}, L"", "50530101" + qe},
        {"UCJV300, cut after", of(DEVPARMUCJV300_CLASS()), {{L"DP35_PrEnv_Back2Origin", 1}}, L"EndeCutAfter", ""},
        {"UCJV300", of(DEVPARMUCJV300_CLASS()), {}, L"", qe + "47540100"},
        {"UCJV300, back to origin", of(DEVPARMUCJV300_CLASS()), {{L"DP35_PrEnv_Back2Origin", 1}}, L"",
         qe + "504802ffff" + "47540100"},
        {"UJV100", of(DEVPARMUJV100_CLASS()), {}, L"EndeCutAfter", qe},
        {"UJV100, back to origin", of(DEVPARMUJV100_CLASS()), {{L"DP47_m_bBack2Origin", 1}}, L"",
         qe + "504816" + std::string(46, '0')},
        {"CJV150", of(DEVPARMCJV150_300_CLASS()), {}, L"", qe + "47540100"},
        {"CJV150, cut after", of(DEVPARMCJV150_300_CLASS()), {}, L"EndeCutAfter", ""},
        {"CJV300 PLUS, UID 43, back to origin after every layer", of(DEVPARMCJV300_PLUS_CLASS()),
         {{L"PrEnv_UID", 43}, {L"DPCVJ_300_PLUS_nNumberOfLayers", 2}, {L"DPCVJ_300_PLUS_m_nBackToOrigin", 2}}, L"",
         qe + "504802ffff" + "47540100"},
        {"CJV300 PLUS, UID 44, back to origin between layers", of(DEVPARMCJV300_PLUS_CLASS()),
         {{L"PrEnv_UID", 44}, {L"DPCVJ_300_PLUS_nNumberOfLayers", 2}, {L"DPCVJ_300_PLUS_m_nBackToOrigin", 1}}, L"", qe},
        {"CJV300 PLUS, UID 43, cut after", of(DEVPARMCJV300_PLUS_CLASS()), {{L"PrEnv_UID", 43}}, L"EndeCutAfter", ""},
        {"JFX500 (layered)", of(DEVPARMJFX500_v2_CLASS()), {}, L"", ""},
        {"UJF706 keeps the base end", of(DEVPARMUJF706_CLASS()), {{L"SpaceBetweenJobs", 0}}, L"", feed0},
        {"CJV330 (layered)", of(DEVPARMCJV330_CLASS()), {}, L"", ""},
    };
    for (const Case& c : cases) {
        JobFixture f;
        for (const auto& [key, value] : c.settings)
            f.env.PutInt(key, value);
        EXPECT_EQ(c.end(f, c.action), c.expected) << c.name;
    }
    // A gap too long for any count is cut to the largest, not wrapped.
    {
        JobFixture huge;
        huge.env.PutInt(L"SpaceBetweenJobs", 2000000000);
        const std::string end = huge.Open<DEVPARM14_CLASS>(720, 1440).GetEndString(huge.driver.get());
        ASSERT_GT(end.size(), 2u);
        EXPECT_EQ(Hex(end.substr(end.size() - 2)), feed0);
    }
    // A driver that turned head cleaning off for the job gets the plain end.
    JobFixture f;
    f.env.PutInt(L"DP30_m_bHeadCleaning", 1);
    f.env.PutInt(L"bUseHeadCleaning", 1);
    auto& adv = f.Open<DEVPARMTS300P_ADVANCED_CLASS>(720, 720);
    f.driver->SetDriverInfo(L"HeadCleaningDisabled", L"1");
    EXPECT_EQ(Hex(adv.GetEndString(f.driver.get())), qe);
}

// The layered models have no start and end string of their own: their
// layer sections carry them. Under a driver that writes no layer sections
// (the legacy driver of the JFX MK series) the job is one section, opened
// and closed as the first layer's.
TEST(EndStrings, LayeredModelsUnderAPlainDriverPrintOneSection)
{
    JobFixture f;
    CMemorySink sink;
    auto& p = f.Open<DEVPARMUJF_x042MKII_CLASS>(720, 720);
    f.driver->SetOutputSink(&sink);
    EXPECT_EQ(p.GetStartString(f.driver.get()), "");
    EXPECT_EQ(p.GetEndString(f.driver.get()), "");
    EXPECT_EQ(p.OutputStartString(f.driver.get()), 1);
    EXPECT_EQ(sink.Data().substr(0, 3), std::string("Q@\0", 3));
    sink.Clear();
    EXPECT_EQ(p.OutputEndString(f.driver.get()), 1);
    EXPECT_EQ(Hex(sink.Data()), Hex(std::string("QX\x05\x01\0\0\0\0QE\0", 11)));
}

// The MRL III sequence of the JV100, sent as a string object.
TEST(StartJV100, DefaultsAndChangedValues)
{
    auto start = [](JobFixture& f, double h, double v, int cut) {
        CMemorySink sink;
        f.ctx.rowCount = 100;
        auto& p = f.Open<DEVPARMJV100_CLASS>(h, v, cut);
        f.driver->SetOutputSink(&sink);
        EXPECT_EQ(p.OutputStartString(f.driver.get()), 1);
        return Hex(sink.Data());
    };
    JobFixture defaults;
    EXPECT_EQ(start(defaults, 720, 720, 0),
              "514000"
              "5143" "0c" "00" "00" "ff" "ffff" "ff" "ff" "ff00" "ff00" "ff"
              "5142" "00"
              "5150" "12" "01" "d002" "d002" "00" "00" "00" "01" "ff" "01" "00" "ff" "0000" "00" "00" "00"
              "514b" "09" "ff" "ff" "ff" "ff" "ff" "ff" "ff" "ff" "ff"
              "5153" "08" "64000000" "10000000"
              "5050" "04" "ff" "ff" "ff" "ff");

    JobFixture f;
    const std::pair<const wchar_t*, int> settings[] = {
        {L"JV100_m_bSetLeftMargin", 1}, {L"JV100_m_nLeftMargin", -5}, {L"bUseVacuum", 1}, {L"JV100_m_nVacuum", 3},
        {L"JV100_m_nDryTimeMode", 1}, {L"JV100_m_nDryTimeModeJob", 1}, {L"JV100_bCut", 1},
        {L"JV100_m_nMediaFeedMode", 1}, {L"JV100_m_nMediaFeedValue", -300}, {L"JV100_m_nDirection", 2},
        {L"JV100_m_nInkLayers", 0}, {L"JV100_nBandAdjust", -3}, {L"JV100_nPrintModeSetNumber", 5},
        {L"bUseWaveShape", 0}, {L"JV100_nPreHeaterMode", 1}, {L"JV100_nPlatenHeaterMode", 2},
        {L"JV100_nPlatenHeaterValue", 40}, {L"JV100_nOFFTime", 0}, {L"HeadSelectionEnable", 1},
        {L"JV100_nHeadSelection", 3}, {L"JV100_m_nFeedSpeedMode", 1}, {L"JV100_m_nFeedSpeedValue", 80},
        {L"JV100_bAvoidGapBetweenJobs", 0}, {L"JV100_nHSpeedMode", 2}, {L"JV100_m_nPass", 8},
        {L"JV100_m_nDotSizeV2", 0x11}};
    for (const auto& [key, value] : settings)
        f.env.PutInt(key, value);
    f.env.PutString(L"JV100_m_dDryTimeValue100Msec", L"15");
    f.env.PutString(L"JV100_m_dDryTimeValueJob", L"300.7");
    f.env.PutString(L"SlotsSetting", L"0`1`2`3");
    f.env.PutString(L"MimakiColorSequence", L"11,12,13,14");
    EXPECT_EQ(start(f, 720, 1440, 2),
              "514000"
              "5143" "0c" "00" "01" "0f" "2c01" "ff" "03" "0105" "ff00" "ff"
              "5141" "03" "01" "2c01"
              "5142" "04" "0b0c0d0e"
              "5150" "12" "11" "a005" "d002" "08" "02" "01" "ff" "ff" "00" "00" "ff" "0103" "05" "00" "00"
              "514b" "09" "00" "28" "ff" "ff" "ff" "00" "00" "ff" "ff"
              "5148" "01" "03"
              "5050" "04" "ff" "ff" "50" "ff");
    // Without the colour-id command.
    JobFixture noQB;
    noQB.env.PutInt(L"bUseQBCommand", 0);
    EXPECT_EQ(start(noQB, 720, 720, 0).find("5142"), std::string::npos);
}
