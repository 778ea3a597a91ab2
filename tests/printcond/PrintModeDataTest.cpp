#include <gtest/gtest.h>

#include <filesystem>

#include "host/PrintEnv.h"
#include "host/Log.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "printcond/MimakiUtils.h"
#include "tests/printcond/QiTestSupport.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using qitest::LogCapture;
using testsupport::ReadFile;
using testsupport::TempDir;
using Lines = std::vector<std::string>;

namespace {

std::wstring SmallBlock(const char* inkset = "LH100-401", int xDpi = 1440)
{
    qitest::Rec r;
    r.inkset = inkset;
    r.xDpi = xDpi;
    return qitest::Hex(qitest::BlockBytes({r}));
}

std::wstring Embedded(const wchar_t* name)
{
    const EmbeddedPrintModeEntry* e = FindEmbeddedPrintModeEntry(name);
    return e ? EmbeddedPrintModeText(*e) : std::wstring();
}

// A private log folder for the diagnostic files.
class PrintModeData : public ::testing::Test {
protected:
    PrintModeData() { CVoLogReporter::SetLogFolder(m_dir.Path()); }
    ~PrintModeData() override { CVoLogReporter::SetLogFolder(""); }
    std::vector<std::string> Files() const { return m_dir.List(); }

    TempDir m_dir;
    CPrintEnv env;
};

// ---- loadRipsIniQIData --------------------------------------------------------

TEST_F(PrintModeData, ChunkedEntriesAreJoinedUpToTheFirstMissingOne)
{
    const std::wstring block = Embedded(L"PrintModeDataTX300PAllInksets");
    env.PutString(L"PrintModeData0", block.substr(0, 5000));
    env.PutString(L"PrintModeData1", block.substr(5000));
    env.PutString(L"PrintModeData3", L"51490B");  // after the gap: not read
    std::wstring text = L"old text";
    std::wstring inkset = L"unchanged";
    LogCapture log;
    loadRipsIniQIData(&env, text, inkset);
    EXPECT_EQ(text, block);
    EXPECT_EQ(inkset, L"unchanged");
    EXPECT_TRUE(log.lines.empty());

    CPrintEnv none;
    loadRipsIniQIData(&none, text, inkset);
    EXPECT_EQ(text, L"");
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(PrintModeData, EmbeddedNameIsLookedUpWithoutCaseAndWinsOverChunks)
{
    env.PutString(L"EmbeddedPrintModeData", L"printmodedatauJV55allinksets");
    env.PutString(L"PrintModeData0", SmallBlock());
    std::wstring text, inkset;
    loadRipsIniQIData(&env, text, inkset);
    EXPECT_EQ(text, Embedded(L"PrintModeDataUJV55AllInksets"));
    EXPECT_EQ(text.size(), 2u * 38217u);
}

TEST_F(PrintModeData, UnknownEmbeddedNameIsReported)
{
    env.PutString(L"EmbeddedPrintModeData", L"PrintModeDataNoSuchPrinter");
    env.PutString(L"PrintModeData0", SmallBlock());
    std::wstring text = L"x", inkset;
    LogCapture log;
    loadRipsIniQIData(&env, text, inkset);
    EXPECT_EQ(text, L"");
    EXPECT_EQ(log.Normalized(), Lines{"***loadRipsIniQIData#L: Print mode data not found for PrintModeDataNoSuchPrinter"});
}

TEST_F(PrintModeData, InksetValueComesFromTheAssignedModel)
{
    env.PutString(L"InksetModelsList", L"M1,M2");
    env.PutString(L"M1", L"SB420-4Z0");
    env.PutString(L"M2", L"SB420-4Z0,TP400-4Z0");
    std::wstring text, inkset = L"before";
    env.PutString(L"MimakiInkAssignment", L"M2");
    loadRipsIniQIData(&env, text, inkset);
    EXPECT_EQ(inkset, L"SB420-4Z0,TP400-4Z0");

    inkset = L"before";
    env.PutString(L"MimakiInkAssignment", L"m2");  // models compare with case
    loadRipsIniQIData(&env, text, inkset);
    EXPECT_EQ(inkset, L"before");

    env.PutString(L"MimakiInkAssignment", L"M3");
    loadRipsIniQIData(&env, text, inkset);
    EXPECT_EQ(inkset, L"before");
}

// ---- CheckAndLoadPrintModeData --------------------------------------------------

TEST_F(PrintModeData, EmptyStoredTextTakesTheSettingsText)
{
    const std::wstring block = SmallBlock();
    env.PutString(L"PrintModeData0", block.substr(0, 100));
    env.PutString(L"PrintModeData1", block.substr(100));
    env.PutString(L"InksetModelsList", L"M1");
    env.PutString(L"MimakiInkAssignment", L"M1");
    env.PutString(L"M1", L"LH100-401");
    env.PutString(L"MimakiColorSequence", L"2,1,4,0");
    std::wstring text, inkset, sequence;
    MimakiPrintConditions pc;
    LogCapture log;
    CheckAndLoadPrintModeData(&env, text, inkset, &sequence, 0, nullptr, nullptr, &pc);
    EXPECT_EQ(text, block);
    EXPECT_EQ(inkset, L"LH100-401");  // from the settings: kept
    EXPECT_EQ(sequence, L"2,1,4,0");
    EXPECT_TRUE(pc.m_Conditions.empty());  // the settings text is not analysed here
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(PrintModeData, RetrievedValidTextIsKeptAndReportsNoInksetForNonHybrids)
{
    const std::wstring stored = SmallBlock("LUS170-400");
    env.PutString(L"NewQIDataHasBeenRetrieved", L"1");
    env.PutString(L"BuildCreate", L"7000");
    env.PutString(L"PrintModeData0", SmallBlock("OTHER"));
    std::wstring text = stored, inkset = L"x", sequence = L"y";
    MimakiPrintConditions pc;
    LogCapture log;
    CheckAndLoadPrintModeData(&env, text, inkset, &sequence, 0, nullptr, nullptr, &pc);
    EXPECT_EQ(text, stored);
    EXPECT_EQ(inkset, L"");
    EXPECT_EQ(sequence, L"");
    ASSERT_EQ(pc.m_Conditions.size(), 1u);
    EXPECT_EQ(pc.m_Conditions[0].inksetName, L"LUS170-400");
    EXPECT_TRUE(log.lines.empty());

    // A hybrid flag without the hybrid outputs keeps the analysed names.
    CheckAndLoadPrintModeData(&env, text, inkset, nullptr, 1, nullptr, nullptr, nullptr);
    EXPECT_EQ(inkset, L"LUS170-400");
}

TEST_F(PrintModeData, BuildCreate6368SkipsTheAnalysisOfTextsNotRetrieved)
{
    const std::wstring stored = SmallBlock("STORED");
    const std::wstring settings = SmallBlock("SETTINGS");
    env.PutString(L"PrintModeData0", settings);
    struct Case {
        const wchar_t* build;
        bool analysed;
    } cases[] = {{L"6368", false}, {L"12000", false}, {L"6367", true}, {L"", true}, {L"abc", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.build));
        env.PutString(L"NewQIDataHasBeenRetrieved", L"0");
        env.PutString(L"BuildCreate", c.build);
        std::wstring text = stored, inkset;
        MimakiPrintConditions pc;
        CheckAndLoadPrintModeData(&env, text, inkset, nullptr, 0, nullptr, nullptr, &pc);
        EXPECT_EQ(text, c.analysed ? stored : settings);
        EXPECT_EQ(pc.m_Conditions.size(), c.analysed ? 1u : 0u);
    }
}

TEST_F(PrintModeData, InvalidStoredTextIsReportedAndReplaced)
{
    std::wstring text = SmallBlock();
    text[7] = L'1';  // kind 0x21
    const std::wstring settings = SmallBlock("SETTINGS");
    env.PutString(L"PrintModeData0", settings);
    env.PutString(L"InksetModelsList", L"M1");
    env.PutString(L"MimakiInkAssignment", L"M1");
    env.PutString(L"M1", L"SETTINGS");
    env.PutString(L"NewQIDataHasBeenRetrieved", L"1");
    std::wstring inkset;
    LogCapture log;
    CheckAndLoadPrintModeData(&env, text, inkset, nullptr, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(text, settings);
    EXPECT_EQ(inkset, L"SETTINGS");
    EXPECT_EQ(log.Normalized(),
              (Lines{"***CAnalyzeQI::Analyze#L: Wrong header in Mimaki Print Condition: "
                     "MimakiPrintConditions.m_Header.kind=33",
                     "***CheckAndLoadPrintModeData: Print mode data are invalid!!"}));
}

TEST_F(PrintModeData, HybridFallsBackToAnInksetWithAColourSequence)
{
    env.PutString(L"EmbeddedPrintModeData", L"PrintModeDataTX300P_MKII_SB420_TP400_Hybrid");
    env.PutString(L"InksetModelsList", L"Hybrid1");
    env.PutString(L"MimakiInkAssignment", L"Hybrid1");
    env.PutString(L"Hybrid1", L"SB420-4Z0,TP400-4Z0");
    env.PutString(L"MimakiCurrentInkset", L"SB420-4Z0");
    env.PutString(L"MimakiColorSequenceTP400-4Z0", L"2,1,4,0");
    env.PutString(L"MimakiColorSequence", L"9,9,9,9");
    std::wstring text, inkset, sequence, current = L"ignored";
    std::vector<std::wstring> list = {L"stale"};
    LogCapture log(8);
    CheckAndLoadPrintModeData(&env, text, inkset, &sequence, 1, &list, &current, nullptr);
    EXPECT_EQ(text, Embedded(L"PrintModeDataTX300P_MKII_SB420_TP400_Hybrid"));
    EXPECT_EQ(current, L"TP400-4Z0");
    EXPECT_EQ(list, std::vector<std::wstring>{L"TP400-4Z0"});
    EXPECT_EQ(sequence, L"2,1,4,0");
    EXPECT_EQ(inkset, L"TP400-4Z0");
    EXPECT_EQ(log.lines.at(0), "CheckAndLoadPrintModeData: MimakiColorSequenceTP400-4Z0=2,1,4,0");
}

TEST_F(PrintModeData, HybridKeepsACurrentInksetThatHasASequence)
{
    env.PutString(L"PrintModeData0", SmallBlock());
    env.PutString(L"InksetModelsList", L"H");
    env.PutString(L"MimakiInkAssignment", L"H");
    env.PutString(L"H", L"SB411-4Z0,SB420-4Z0");
    env.PutString(L"MimakiColorSequenceSB411-4Z0", L"1,2");
    env.PutString(L"MimakiColorSequenceSB420-4Z0", L"3,4");
    std::wstring text, inkset, sequence, current;
    std::vector<std::wstring> list;
    // No current ink set: the first name.
    CheckAndLoadPrintModeData(&env, text, inkset, &sequence, 1, &list, &current, nullptr);
    EXPECT_EQ(current, L"SB411-4Z0");
    EXPECT_EQ(list, (std::vector<std::wstring>{L"SB411-4Z0", L"SB420-4Z0"}));
    EXPECT_EQ(sequence, L"1,2");

    env.PutString(L"MimakiCurrentInkset", L"SB420-4Z0");
    text.clear();
    CheckAndLoadPrintModeData(&env, text, inkset, &sequence, 1, &list, &current, nullptr);
    EXPECT_EQ(current, L"SB420-4Z0");
    EXPECT_EQ(sequence, L"3,4");
    EXPECT_EQ(inkset, L"SB420-4Z0");
}

TEST_F(PrintModeData, HybridWithoutAnyColourSequenceIsReported)
{
    env.PutString(L"PrintModeData0", SmallBlock());
    env.PutString(L"InksetModelsList", L"H");
    env.PutString(L"MimakiInkAssignment", L"H");
    env.PutString(L"H", L"SB420-4Z0,TP400-4Z0");
    env.PutString(L"MimakiCurrentInkset", L"SB420-4Z0");
    env.PutString(L"MimakiColorSequence", L"1,2,3");
    std::wstring text, inkset, sequence = L"old", current;
    std::vector<std::wstring> list;
    LogCapture log;
    CheckAndLoadPrintModeData(&env, text, inkset, &sequence, 1, &list, &current, nullptr);
    EXPECT_EQ(log.lines,
              Lines{"***CheckAndLoadPrintModeData: Hybrid model: MimakiColorSequence key is wrongly defined in rips.ini "
                    "section"});
    EXPECT_EQ(current, L"");
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(sequence, L"");
    EXPECT_EQ(inkset, L"");
}

TEST_F(PrintModeData, RetrievedHybridTextTakesItsNamesFromTheAnalysis)
{
    const std::wstring stored = Embedded(L"PrintModeDataTX300P_MKII_SB411_SB420_Hybrid");
    env.PutString(L"NewQIDataHasBeenRetrieved", L"1");
    env.PutString(L"MimakiColorSequenceSB420-4Z0", L"5,6");
    std::wstring text = stored, inkset, sequence, current;
    std::vector<std::wstring> list;
    CheckAndLoadPrintModeData(&env, text, inkset, &sequence, 1, &list, &current, nullptr);
    EXPECT_EQ(text, stored);
    EXPECT_EQ(list, std::vector<std::wstring>{L"SB420-4Z0"});
    EXPECT_EQ(current, L"SB420-4Z0");
    EXPECT_EQ(inkset, L"SB420-4Z0");  // hybrid: not emptied
    EXPECT_EQ(sequence, L"5,6");
}

TEST_F(PrintModeData, DiagnosticCopyIsWrittenAtLoggingLevel8)
{
    const std::wstring block = SmallBlock();
    env.PutString(L"PrintModeData0", block);
    env.PutString(L"pdLicName", L"UJF-6042/MkII");
    env.PutString(L"MimakiInkAssignment", L"LH100-401");
    {
        LogCapture log(7);
        std::wstring text, inkset;
        CheckAndLoadPrintModeData(&env, text, inkset, nullptr, 0, nullptr, nullptr, nullptr);
        EXPECT_TRUE(Files().empty());
    }
    {
        LogCapture log(8);
        std::wstring text, inkset;
        CheckAndLoadPrintModeData(&env, text, inkset, nullptr, 0, nullptr, nullptr, nullptr);
        ASSERT_EQ(Files(), Lines{"QI_printenv_UJF-6042_MkII_LH100-401_rips_ini.txt"});
        std::string expected = "# source: settings\n";
        const std::string hex = WideToAnsi(block);
        for (std::size_t i = 0; i < hex.size(); i += 80)
            expected += hex.substr(i, 80) + "\n";
        EXPECT_EQ(ReadFile(m_dir / Files()[0]), expected);

        env.PutString(L"NewQIDataHasBeenRetrieved", L"1");
        CheckAndLoadPrintModeData(&env, text, inkset, nullptr, 0, nullptr, nullptr, nullptr);
        ASSERT_EQ(Files(), (Lines{"QI_printenv_UJF-6042_MkII_LH100-401_retrieved.txt",
                                  "QI_printenv_UJF-6042_MkII_LH100-401_rips_ini.txt"}));
        EXPECT_EQ(ReadFile(m_dir / Files()[0]).rfind("# source: printer\n" + hex.substr(0, 80) + "\n", 0), 0u);
    }
    {
        // Nothing to write when there is no text at all.
        CPrintEnv empty;
        for (const std::string& name : Files())
            fs::remove(m_dir / name);
        LogCapture log(8);
        std::wstring text, inkset;
        CheckAndLoadPrintModeData(&empty, text, inkset, nullptr, 0, nullptr, nullptr, nullptr);
        EXPECT_TRUE(Files().empty());
    }
}

// ---- loadInkCodesMap -------------------------------------------------------------

TEST_F(PrintModeData, InkCodesMapCoversTheShorterOfSlotsAndSequence)
{
    env.PutString(L"SlotsSetting", L"1`2`3`0`8`9`34`30");
    env.PutString(L"MimakiColorSequence", L"2,1,4,0,18,17");
    MimakiColorMap map = {{static_cast<enmDevicePrimColor>(99), 1}};
    std::vector<int> ids = {7};
    LogCapture log(8);
    loadInkCodesMap(&env, map, ids);
    EXPECT_EQ(ids, (std::vector<int>{2, 1, 4, 0, 18, 17}));
    const MimakiColorMap expected = {{enmDevicePrimColor{1}, 2}, {enmDevicePrimColor{2}, 1},
                                     {enmDevicePrimColor{3}, 4}, {enmDevicePrimColor{0}, 0},
                                     {enmDevicePrimColor{8}, 18}, {enmDevicePrimColor{9}, 17}};
    EXPECT_EQ(map, expected);
    ASSERT_EQ(log.lines.size(), 12u);
    EXPECT_EQ(log.lines[0], "loadInkCodesMap: MimakiColorIDList[0]=2");
    EXPECT_EQ(log.lines[5], "loadInkCodesMap: MimakiColorIDList[5]=17");
    EXPECT_EQ(log.lines[6], "loadInkCodesMap: slot 0: m_MimakiColorMap[1 (Cyan)]=2");
    EXPECT_EQ(log.lines[10], "loadInkCodesMap: slot 4: m_MimakiColorMap[8 (Light Cyan)]=18");
}

TEST_F(PrintModeData, InkCodesMapDefaultsDuplicatesAndOverride)
{
    env.PutString(PrEnv_SlotsSettingDefault, L"34`34`1");
    env.PutString(L"MimakiColorSequence", L"5,6,7");
    MimakiColorMap map;
    std::vector<int> ids;
    loadInkCodesMap(&env, map, ids);
    EXPECT_EQ(ids, (std::vector<int>{5, 6, 7}));
    EXPECT_EQ(map, (MimakiColorMap{{enmDevicePrimColor{34}, 6}, {enmDevicePrimColor{1}, 7}}));

    const std::wstring hybrid = L"11,12";
    loadInkCodesMap(&env, map, ids, &hybrid);
    EXPECT_EQ(ids, (std::vector<int>{11, 12}));
    EXPECT_EQ(map, (MimakiColorMap{{enmDevicePrimColor{34}, 12}}));
}

TEST_F(PrintModeData, MissingSlotsAreReportedAndClearTheMap)
{
    env.PutString(L"MimakiColorSequence", L"5,6,7");
    MimakiColorMap map = {{enmDevicePrimColor{1}, 1}};
    std::vector<int> ids = {1};
    LogCapture log;
    loadInkCodesMap(&env, map, ids);
    EXPECT_EQ(log.Normalized(), Lines{"***loadInkCodesMap#L: SlotSetting is not defined"});
    EXPECT_TRUE(map.empty());
    EXPECT_TRUE(ids.empty());
}

// ---- TruncateUtf8 --------------------------------------------------------------

TEST(TruncateUtf8, CutsAt255BytesOnACharacterBoundary)
{
    std::string out = "stale";
    TruncateUtf8(out, L"");
    EXPECT_EQ(out, "");

    TruncateUtf8(out, std::wstring(255, L'a'));
    EXPECT_EQ(out, std::string(255, 'a'));
    TruncateUtf8(out, std::wstring(256, L'a'));
    EXPECT_EQ(out, std::string(255, 'a'));

    // 100 three-byte characters (300 bytes): 85 of them fit.
    TruncateUtf8(out, std::wstring(100, L'\u3042'));
    EXPECT_EQ(out.size(), 255u);
    EXPECT_EQ(out, WideToUtf8(std::wstring(85, L'\u3042')));

    // 253 bytes, then a four-byte character that would end at byte 257.
    const std::wstring text = std::wstring(253, L'b') + L"\U0001F600" + L"c";
    TruncateUtf8(out, text);
    EXPECT_EQ(out, std::string(253, 'b'));

    // Two-byte characters: 127 fit (254 bytes).
    TruncateUtf8(out, std::wstring(200, L'\u00E9'));
    EXPECT_EQ(out, WideToUtf8(std::wstring(127, L'\u00E9')));

    // Short texts pass unchanged, whatever they hold.
    TruncateUtf8(out, L"Gr\u00FC\u00DFe \U0001F600");
    EXPECT_EQ(out, "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80");
}

}  // namespace
