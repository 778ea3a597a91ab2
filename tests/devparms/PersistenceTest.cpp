// Loading and saving: superseded keys, defaults from model values, derived
// host entries, shared prefixes, and a round trip through every class.
#include <gtest/gtest.h>

#include "DevParmsTestUtil.h"
#include "devparms/MimakiDevParmsStrOb.h"
#include "devparms/MimakiDevParmsTS300P.h"
#include "devparms/MimakiDevParmsUJF.h"
#include "devparms/MimakiDevParmsUJV.h"
#include "devparms/ParmKeys.h"
#include "driver/MimakiBaseDriver.h"
#include "host/OutputSink.h"
#include "host/StrUtil.h"

#include <cmath>
#include "tests/support/LogCapture.h"

using namespace devparmstest;

using Advanced = DEVPARMTS300P_ADVANCED_CLASS;

TEST(Superseded, OldDotSizeIsConvertedAndSavedAsNotSet)
{
    const struct {
        int old;
        int code;
    } cases[] = {{0, 0x01}, {1, 0x10}, {2, 0x11}, {3, 0x12}};
    for (const auto& c : cases) {
        CPrintEnv env;
        env.PutInt(L"DP30_m_nDotSize", c.old);
        env.PutInt(L"DP30_m_nDotSizeV2", 0x12); // not read while the old key holds a value
        auto parms = Loaded<Advanced>(env);
        EXPECT_EQ(parms->m_nDotSizeV2, c.code) << c.old;
        parms->Save(&env);
        EXPECT_EQ(env.GetInt(L"DP30_m_nDotSize", 0), -1);
        EXPECT_EQ(env.GetInt(L"DP30_m_nDotSizeV2", 0), c.code);
        EXPECT_EQ(Loaded<Advanced>(env)->m_nDotSizeV2, c.code);
    }
    // Any other old value reads the new key, with its default 1.
    for (int old : {-1, 4, 17}) {
        CPrintEnv env;
        env.PutInt(L"DP30_m_nDotSize", old);
        EXPECT_EQ(Loaded<Advanced>(env)->m_nDotSizeV2, 1) << old;
        env.PutInt(L"DP30_m_nDotSizeV2", 0x11);
        EXPECT_EQ(Loaded<Advanced>(env)->m_nDotSizeV2, 0x11) << old;
    }
}

TEST(Superseded, DryTimeInSecondsBecomesTenthsAndIsWrittenWithTwoDecimals)
{
    CPrintEnv env;
    env.PutString(L"DP30_m_dDryTimeValue", L"1.5");
    auto parms = Loaded<Advanced>(env);
    EXPECT_DOUBLE_EQ(parms->m_dDryTimeValue100Msec, 15.0);
    parms->Save(&env);
    EXPECT_EQ(env.GetString(L"DP30_m_dDryTimeValue", L""), L"-1.0");
    EXPECT_EQ(env.GetString(L"DP30_m_dDryTimeValue100Msec", L""), L"15.00");

    CPrintEnv negative; // negative seconds: the new key counts
    negative.PutString(L"JV100_m_dDryTimeValue", L"-3");
    negative.PutString(L"JV100_m_dDryTimeValue100Msec", L"7.25");
    EXPECT_DOUBLE_EQ(Loaded<DEVPARMJV100_CLASS>(negative)->m_dDryTimeValue100Msec, 7.25);
}

TEST(Superseded, HeatersAndWhiteSettings)
{
    CPrintEnv env;
    env.PutInt(L"DP30_m_nPrintHeaterMode", 2);
    env.PutInt(L"DP30_m_nPrintHeaterValue", -5); // negative: the new key counts
    env.PutInt(L"DP30_m_nPost1HeaterValue", 44);
    env.PutInt(L"DP30_m_nAfterHeaterValue", 0);
    auto parms = Loaded<Advanced>(env);
    EXPECT_EQ(parms->m_nPost1HeaterMode, 2);
    EXPECT_EQ(parms->m_nPost1HeaterValue, 44);
    EXPECT_EQ(parms->m_nPost2HeaterMode, 0);
    EXPECT_EQ(parms->m_nPost2HeaterValue, 0);
    parms->Save(&env);
    for (const wchar_t* old : {L"DP30_m_nPrintHeaterMode", L"DP30_m_nPrintHeaterValue", L"DP30_m_nAfterHeaterMode",
                               L"DP30_m_nAfterHeaterValue"})
        EXPECT_EQ(env.GetInt(old, 0), -1);
    EXPECT_EQ(env.GetInt(L"DP30_m_nPost2HeaterValue", -9), 0);

    CPrintEnv white;
    white.PutInt(L"DP27_m_nWhiteMode", 3);
    white.PutInt(L"DPCVJ_150_130_m_nWhiteOrderV2", 2);
    auto jv300 = Loaded<DEVPARMJV300_CLASS>(white);
    EXPECT_EQ(jv300->GetWhiteOrderOrMode(), 3);
    jv300->Save(&white);
    EXPECT_EQ(white.GetInt(L"DP27_m_nWhiteMode", 0), -1);
    EXPECT_EQ(white.GetInt(L"DP27_m_nWhiteModeV2", 0), 3);
    EXPECT_EQ(Loaded<DEVPARMCJV150_300_CLASS>(white)->GetWhiteOrderOrMode(), 2);
}

TEST(Defaults, EmptyStoreAndValuesTakenFromTheModel)
{
    CPrintEnv env;
    auto parms = Loaded<Advanced>(env);
    EXPECT_EQ(parms->nXDpi, 360);
    EXPECT_EQ(parms->nYDpi, 360);
    EXPECT_EQ(parms->m_eMediaFeedQuality, 254);
    EXPECT_DOUBLE_EQ(parms->dNonBlankMmNeededToScheduleHeadCleaning, 100.0);
    EXPECT_DOUBLE_EQ(parms->dConsecutiveBlankMmToDoHeadCleaning, 0.0);

    env.PutInt(L"bSpecifyMediaFeedQuality", 1);
    env.PutString(L"NonBlankMmNeededToScheduleHeadCleaningDefault", L"250.5");
    env.PutString(L"ConsecutiveBlankMmToDoHeadCleaningDefault", L"12");
    parms = Loaded<Advanced>(env);
    EXPECT_EQ(parms->m_eMediaFeedQuality, 255);
    EXPECT_DOUBLE_EQ(parms->dNonBlankMmNeededToScheduleHeadCleaning, 250.5);
    EXPECT_DOUBLE_EQ(parms->dConsecutiveBlankMmToDoHeadCleaning, 12.0);

    // Texts that are no numbers read as 0.
    env.PutString(L"DP30_dNonBlankMmNeededToScheduleHeadCleaning", L"abc");
    EXPECT_DOUBLE_EQ(Loaded<Advanced>(env)->dNonBlankMmNeededToScheduleHeadCleaning, 0.0);

    // The flatbed models take their resolutions from the model definition
    // (its vertical resolution is the record's X).
    CPrintEnv ujf;
    ujf.PutInt(L"DpiVert", 720);
    ujf.PutInt(L"DpiHorz", 1200);
    auto x042 = Loaded<DEVPARMUJF_x042MKII_CLASS>(ujf);
    EXPECT_EQ(x042->nXDpi, 720);
    EXPECT_EQ(x042->nYDpi, 1200);
    // Layer parameters default to the model's "LayerParmDefault", 0 past its end.
    EXPECT_EQ(x042->m_LayerParm[3][2], 22078);
    EXPECT_EQ(x042->m_LayerParm[3][3], 1);
    EXPECT_EQ(x042->m_LayerParm[3][5], 0);
    ujf.PutString(L"LayerParmDefault", L"4|5|6|7|8|9");
    EXPECT_EQ(Loaded<DEVPARMUJF_x042MKII_CLASS>(ujf)->m_LayerParm[0][5], 9);
}

TEST(Defaults, DotVolumeTablesAreCutAtTheirSize)
{
    CPrintEnv env;
    env.PutString(L"TS100_strDotVolumesData", L"0102FF");
    auto parms = Loaded<DEVPARMTS100_1600_CLASS>(env);
    EXPECT_EQ(parms->strDotVolumesData[0], 0x01);
    EXPECT_EQ(parms->strDotVolumesData[2], 0xFF);
    EXPECT_EQ(parms->strDotVolumesData[3], 0x00); // the rest stays zero
    EXPECT_EQ(parms->strDotVolumesData[359], 0x00);

    env.PutString(L"TS100_strDotVolumesData", std::wstring(800, L'A').c_str()); // 400 bytes
    parms = Loaded<DEVPARMTS100_1600_CLASS>(env);
    EXPECT_EQ(parms->strDotVolumesData[359], 0xAA);
    parms->Save(&env);
    EXPECT_EQ(env.GetString(L"TS100_strDotVolumesData", L""), std::wstring(720, L'A'));
}

TEST(HostEntries, ResolutionInkLevelsAndPrintMethods)
{
    CPrintEnv env;
    env.PutInt(L"DP30_nXDpi", 720);
    env.PutInt(L"DP30_nYDpi", 1440);
    env.PutString(PrEnv_PrintMethod, L"720x1440 8 pass");
    env.PutString(PrEnv_PrintMethodList, L"a,b");
    auto parms = Loaded<Advanced>(env);
    // No print-condition data anywhere: the print-method entries go.
    EXPECT_EQ(parms->strPrintModeData, L"");
    parms->Save(&env);
    EXPECT_EQ(env.GetInt(PrEnv_DpiHorz), 1440);
    EXPECT_EQ(env.GetInt(PrEnv_DpiVert), 720);
    EXPECT_EQ(env.GetInt(PrEnv_InkLevels), 3); // variable dots (code 1) by default
    EXPECT_FALSE(env.HasKey(PrEnv_PrintMethod.pszKey));
    EXPECT_FALSE(env.HasKey(PrEnv_PrintMethodList.pszKey));
    env.PutInt(L"DP30_m_nDotSizeV2", 0x11);
    Loaded<Advanced>(env)->Save(&env);
    EXPECT_EQ(env.GetInt(PrEnv_InkLevels), 1);

    // A class without print-condition data leaves the entries alone.
    CPrintEnv plain;
    plain.PutString(PrEnv_PrintMethod, L"x");
    Loaded<DEVPARMTS300P_CLASS>(plain)->Save(&plain);
    EXPECT_TRUE(plain.HasKey(PrEnv_PrintMethod.pszKey));
    EXPECT_FALSE(plain.HasKey(PrEnv_DpiHorz.pszKey));
}

TEST(HostEntries, PrintConditionTextFromTheSettingsIsStoredOnSave)
{
    CPrintEnv env;
    env.PutString(L"EmbeddedPrintModeData", L"PrintModeDataTS100_AllInksets");
    env.PutString(L"SlotsSetting", L"0`1`2`3");
    env.PutString(L"MimakiColorSequence", L"11,12,13,14");
    auto parms = Loaded<DEVPARMTS100_1600_CLASS>(env);
    ASSERT_FALSE(parms->strPrintModeData.empty());
    EXPECT_EQ(parms->strPrintModeData.substr(0, 10), L"51490B2002");
    parms->Save(&env);
    EXPECT_EQ(env.GetString(L"TS100_strPrintModeData", L""), parms->strPrintModeData);
    EXPECT_EQ(parms->GetColorMapValue(2), 13);
    EXPECT_EQ(parms->GetColorIdAt(3), 14);
}

TEST(HostEntries, HybridModelsKeepTheirCurrentInkSet)
{
    CPrintEnv env;
    env.PutInt(L"bIsHybrid", 1);
    env.PutString(L"EmbeddedPrintModeData", L"PrintModeDataTX300P_MKII_SB420_TP400_Hybrid");
    env.PutString(L"InksetModelsList", L"M1,M2");
    env.PutString(L"MimakiInkAssignment", L"M2");
    env.PutString(L"M2", L"SB420-4Z0,TP400-4Z0");
    env.PutString(L"MimakiColorSequenceTP400-4Z0", L"5,6,7,8");
    env.PutString(L"MimakiCurrentInkset", L"SB420-4Z0"); // has no colour sequence
    env.PutString(L"SlotsSetting", L"0`1`2`3");
    auto parms = Loaded<DEVPARMTS300P_MKII_CLASS>(env);
    EXPECT_EQ(parms->m_strCurrentInkset, L"TP400-4Z0");
    EXPECT_EQ(parms->GetColorIdAt(0), 5);
    parms->Save(&env);
    EXPECT_EQ(env.GetString(L"MimakiCurrentInkset", L""), L"TP400-4Z0");
}

TEST(SharedPrefixes, ClassesWithOnePrefixShareTheirStoredValues)
{
    CPrintEnv env;
    env.PutInt(L"DP30_m_nLeftMargin", 12);
    env.PutInt(L"DP30_bCut", 1);
    auto ts55 = Loaded<DEVPARMTS55_1800_CLASS>(env);
    ts55->m_nVacuum = 3;
    ts55->Save(&env);
    auto advanced = Loaded<Advanced>(env);
    EXPECT_EQ(advanced->m_nLeftMargin, 12);
    EXPECT_EQ(advanced->bCut, 1);
    EXPECT_EQ(advanced->m_nVacuum, 3);
    // Keys of another class stay as they were.
    env.PutInt(L"DP42_m_nVacuum", 9);
    Loaded<DEVPARMTS300P_CLASS>(env)->Save(&env);
    EXPECT_EQ(env.GetInt(L"DP42_m_nVacuum", 0), 9);
    // A plain TS300P's dot size is an old key to the advanced class.
    env.PutInt(L"DP30_m_nDotSize", 2);
    EXPECT_EQ(Loaded<Advanced>(env)->m_nDotSizeV2, 0x11);
}

// Every class: an empty store loads, saves and loads again to the same
// record; saving twice writes the same store.
TEST(RoundTrip, EveryClassSavesWhatItLoads)
{
    testsupport::LogCapture quiet;
    for (const std::string& name : ClassNames()) {
        SCOPED_TRACE(name);
        CPrintEnv env;
        env.PutString(PrEnv_SlotsSettingDefault, L"0`1`2`3");
        auto first = MakeClass(name);
        first->Load(&env);
        first->Save(&env);
        const std::vector<CDeviceEnv::Entry> once = env.Values();
        auto second = MakeClass(name);
        second->Load(&env);
        second->Save(&env);
        EXPECT_EQ(env.Values(), once);
        const mimaki::parms::KeyTable& table = TableOf(*first);
        for (std::size_t i = 0; i < table.Keys().size(); ++i) {
            if (!mimaki::parms::IsOldKey(table.Keys()[i].kind)) {
                EXPECT_EQ(table.FieldText(*first, i), table.FieldText(*second, i)) << WideToUtf8(table.StoredName(i));
            }
        }
    }
}

// A changed record survives Save and Load for every key of every class.
TEST(RoundTrip, EveryKeyCarriesItsValue)
{
    testsupport::LogCapture quiet;
    for (const std::string& name : ClassNames()) {
        SCOPED_TRACE(name);
        CPrintEnv env;
        auto parms = MakeClass(name);
        parms->Load(&env);
        const mimaki::parms::KeyTable& table = TableOf(*parms);
        int n = 0;
        for (std::size_t i = 0; i < table.Keys().size(); ++i) {
            const mimaki::parms::Key& key = table.Keys()[i];
            if (key.kind == mimaki::parms::Kind::Int)
                *static_cast<int*>(key.field(*parms)) = 1000 + (++n);
        }
        parms->Save(&env);
        auto back = MakeClass(name);
        back->Load(&env);
        for (std::size_t i = 0; i < table.Keys().size(); ++i) {
            if (table.Keys()[i].kind == mimaki::parms::Kind::Int) {
                EXPECT_EQ(table.FieldText(*back, i), table.FieldText(*parms, i)) << WideToUtf8(table.StoredName(i));
            }
        }
    }
}

// Numbers with a fraction: saving and reloading gives the same value, in
// "%.2f" where that holds it and with as many digits as it takes where not
// (the head-cleaning distances take the shortest text). Texts that are no
// number, NaN, infinities and values beyond the int range are reported and
// never reach a conversion to int.
TEST(RoundTrip, NumbersWithAFraction)
{
    const wchar_t* real = L"DP30_m_dDryTimeValueJob";
    const wchar_t* distance = L"DP30_dNonBlankMmNeededToScheduleHeadCleaning";
    const struct {
        double value;
        const wchar_t* realText;     // as "%.2f" writes it where that round-trips
        const wchar_t* distanceText;
    } kept[] = {
        {12345.67, L"12345.67", L"12345.67"},  {1234567, L"1234567.00", L"1234567"}, {15, L"15.00", L"15"},
        {0.125, L"0.125", L"0.125"},           {-2.5, L"-2.50", L"-2.5"},           {1e-7, L"1e-07", L"1e-07"},
        {2147483647, L"2147483647.00", L"2147483647"},
    };
    for (const auto& k : kept) {
        CPrintEnv env;
        auto parms = Loaded<Advanced>(env);
        parms->m_dDryTimeValueJob = k.value;
        parms->dNonBlankMmNeededToScheduleHeadCleaning = k.value;
        parms->Save(&env);
        EXPECT_EQ(env.GetString(real, L""), k.realText);
        EXPECT_EQ(env.GetString(distance, L""), k.distanceText);
        auto back = Loaded<Advanced>(env);
        EXPECT_EQ(back->m_dDryTimeValueJob, k.value) << k.realText;
        EXPECT_EQ(back->dNonBlankMmNeededToScheduleHeadCleaning, k.value) << k.distanceText;
        EXPECT_TRUE(env.BadValues().empty());
    }

    const struct {
        const wchar_t* text;
        double loaded;
        const char* problem;
    } bad[] = {
        {L"inf", 2147483647.0, "is out of range; 2147483647 is used"},
        {L"-1e300", -2147483648.0, "is out of range; -2147483648 is used"},
        {L"nan", 0.0, "is not a number; 0 is used"},
        {L"fast", 0.0, "is not a number; 0 is used"},
    };
    for (const auto& b : bad) {
        CPrintEnv env;
        env.PutString(real, b.text);
        env.PutString(L"DP30_m_dDryTimeValue", b.text); // old seconds, times 10 on load
        auto parms = Loaded<Advanced>(env);
        EXPECT_EQ(parms->m_dDryTimeValueJob, b.loaded) << WideToUtf8(b.text);
        EXPECT_TRUE(std::isfinite(parms->m_dDryTimeValue100Msec)) << WideToUtf8(b.text);
        ASSERT_EQ(env.BadValues().size(), 2u) << WideToUtf8(b.text);
        EXPECT_EQ(env.BadValues()[0].key, L"DP30_m_dDryTimeValue");
        EXPECT_EQ(env.BadValues()[1].key, real);
        EXPECT_EQ(env.BadValues()[1].problem, b.problem);
        // A job start converts them (the sanitizer build checks every
        // conversion for overflow).
        parms->m_nDryTimeMode = 1;
        parms->m_nDryTimeModeJob = 1;
        auto* raw = parms.release();
        CMimakiLegacyBasePrinterDriver driver(&env, raw);
        CPrintJobOpenContext ctx;
        ctx.pixelWidth = 8;
        ctx.colourCodes = {0};
        CMemorySink sink;
        driver.SetOutputSink(&sink);
        ASSERT_EQ(driver.JobOpen(&ctx), 1);
        EXPECT_EQ(raw->OutputStartString(&driver), 1);
    }
    EXPECT_EQ(SaturatedInt(std::nan("")), 0);
    EXPECT_EQ(SaturatedInt(1e10), 2147483647);
    EXPECT_EQ(SaturatedInt(-1e10), -2147483647 - 1);
    EXPECT_EQ(SaturatedInt(-2.9), -2);
}
