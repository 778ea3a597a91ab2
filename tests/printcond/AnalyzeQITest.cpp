#include <gtest/gtest.h>

#include <random>

#include "printcond/AnalyzeQI.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "tests/printcond/QiTestSupport.h"

using qitest::BlockBytes;
using qitest::Hex;
using qitest::LogCapture;
using qitest::Rec;
using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

namespace {

// One record written out byte by byte: NUL and blank padding, a signed
// high-speed value, lists stored unsorted, an empty last list that ends
// exactly at the end of the data.
const wchar_t kOneRecord[] =
    L"51490B2002010000"  L"0100" L"5C000000"          // header: 1 record, 92 bytes
    L"5A00"                                            // record length
    L"53423432302D345A3000"                            // "SB420-4Z0" NUL
    L"03"                                              // print-mode set 3
    L"5056432D31" L"2020202020202020202020202020202020202020202020202020"
    L"20"                                              // "PVC-1" + 27 blanks
    L"1E05"                                            // action category 30/5
    L"3630307839303020564400000000000000000000"        // "600x900 VD" + NULs (20 bytes)
    L"02" L"5802" L"8403" L"01" L"02"                  // wave 2, 600 x 900, HQ, dot bit 2
    L"0400" L"01" L"0C01FF"                            // band divisions: 12/1/-1
    L"0200" L"01" L"00"                                // scan directions: 0
    L"0300" L"02" L"0201"                              // overpaint nums: 2, 1
    L"0100" L"00";                                     // overpaint levels: none

// One run of Analyze on a list and names given beforehand, with its log.
struct Analysis {
    int result = -1;
    MimakiPrintConditions pc;
    std::wstring names;
    std::vector<std::string> log;  // normalized
    std::vector<int> levels;
};

Analysis AnalyzeText(const std::wstring& hex, MimakiPrintConditions pc = {}, std::wstring names = L"")
{
    Analysis a{-1, std::move(pc), std::move(names), {}, {}};
    LogCapture log;
    a.result = CAnalyzeQI::Analyze(hex, a.names, a.pc);
    a.log = log.Normalized();
    a.levels = log.levels;
    return a;
}

Analysis AnalyzeText(const std::vector<std::uint8_t>& bytes) { return AnalyzeText(Hex(bytes)); }

TEST(AnalyzeQI, DecodesEveryFieldOfAHandWrittenBlock)
{
    const std::wstring hex = kOneRecord;
    ASSERT_EQ(hex.size(), (14u + 92u) * 2);
    MimakiPrintConditions pc;
    std::wstring names;
    LogCapture log;
    ASSERT_EQ(CAnalyzeQI::Analyze(hex, names, pc), 1);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(names, L"SB420-4Z0");
    EXPECT_EQ(pc.m_Header.cmd1, 0x51);
    EXPECT_EQ(pc.m_Header.headerLength, 0x0B);
    EXPECT_EQ(pc.m_Header.conditionCount, 1);
    EXPECT_EQ(pc.m_Header.dataSize, 92u);
    ASSERT_EQ(pc.m_Conditions.size(), 1u);
    const MimakiPrintCondition& c = pc.m_Conditions[0];
    EXPECT_EQ(c.inksetName, L"SB420-4Z0");
    EXPECT_EQ(c.printModeSetNumber, 3u);
    EXPECT_EQ(c.printModeSetName, L"PVC-1");
    EXPECT_EQ(c.actionCategorys, (Pairs{{30, 5}}));
    EXPECT_EQ(c.printMethodDisplayName, L"600x900 VD");
    EXPECT_EQ(c.waveForm, 2u);
    EXPECT_EQ(c.yDpi, 600u);
    EXPECT_EQ(c.xDpi, 900u);
    EXPECT_EQ(c.enableHQ, 1u);
    EXPECT_EQ(c.dotBit, 2u);
    ASSERT_EQ(c.bandDivisions.size(), 1u);
    EXPECT_EQ(c.bandDivisions[0], (MimakiBandDivision{12, 1, -1}));
    EXPECT_EQ(c.scanDirections, (std::vector<BYTE>{0}));
    EXPECT_EQ(c.overpaintNums, (std::vector<BYTE>{1, 2}));
    EXPECT_TRUE(c.overpaintLevels.empty());

    std::wstring text = L"before\n";
    AppendConditionText(c, 7, text);
    EXPECT_EQ(text,
              L"before\n"
              L"=== begin print condition 7 ===\n"
              L"\tinksetName (d2)=SB420-4Z0\n"
              L"\tprintModeSetNumber (d3.1)=3\n"
              L"\tprintModeSetName (d3.1)=PVC-1\n"
              L"--- actionCategorys (d4)---\n"
              L"\t\tactionCategoryLarge (d4.1)=30; actionCategorySmall(d4.2)=5\n"
              L"\tprintMethodDisplayName=600x900 VD\n"
              L"\twaveForm (d5)=2\n"
              L"\tyDpi(d7, horiz)=600; xDpi(d8, vert)=900\n"
              L"\tenableHQ (d9)=1\n"
              L"\tdotBit (d10)=2\n"
              L"--- Band divisions (d11.3)---\n"
              L"pass=12 bandAdjust=1 highSpeed=-1\n"
              L"--- Scan direction (d12.3): 0\n"
              L"--- Overpaint num (d13.3): 1 2\n"
              L"--- Overpaint level (d14.3): \n"
              L"=== end print condition 7 ===\n");
}

TEST(AnalyzeQI, ConditionTextWritesEmptyListsAndEveryEntry)
{
    MimakiPrintCondition c;
    c.inksetName = L"A";
    c.printModeSetName = L"B";
    c.actionCategorys = {{10, 1}, {20, 3}};
    c.overpaintLevels = {0, 0};
    std::wstring text;
    AppendConditionText(c, 0, text);
    EXPECT_EQ(text,
              L"=== begin print condition 0 ===\n\tinksetName (d2)=A\n\tprintModeSetNumber (d3.1)=0\n"
              L"\tprintModeSetName (d3.1)=B\n--- actionCategorys (d4)---\n"
              L"\t\tactionCategoryLarge (d4.1)=10; actionCategorySmall(d4.2)=1\n"
              L"\t\tactionCategoryLarge (d4.1)=20; actionCategorySmall(d4.2)=3\n"
              L"\tprintMethodDisplayName=\n\twaveForm (d5)=0\n\tyDpi(d7, horiz)=0; xDpi(d8, vert)=0\n"
              L"\tenableHQ (d9)=0\n\tdotBit (d10)=0\n--- Band divisions (d11.3)---\n"
              L"--- Scan direction (d12.3):\n--- Overpaint num (d13.3):\n--- Overpaint level (d14.3):  0 0\n"
              L"=== end print condition 0 ===\n");
}

TEST(AnalyzeQI, ListsAreSortedExceptOverpaintLevels)
{
    Rec r;
    r.bands = {{16, 1, 0}, {4, 0, 1}, {4, 1, 0}, {2, 0, 0}};
    r.scans = {1, 0};
    r.overpaints = {2, 1, 3};
    r.levels = {0, 5, 2};
    MimakiPrintConditions pc;
    std::wstring names;
    ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({r})), names, pc), 1);
    const MimakiPrintCondition& c = pc.m_Conditions.at(0);
    EXPECT_EQ(c.bandDivisions,
              (std::vector<MimakiBandDivision>{{2, 0, 0}, {4, 1, 0}, {4, 0, 1}, {16, 1, 0}}));
    EXPECT_EQ(c.scanDirections, (std::vector<BYTE>{0, 1}));
    EXPECT_EQ(c.overpaintNums, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(c.overpaintLevels, (std::vector<BYTE>{0, 5, 2}));
}

TEST(AnalyzeQI, NulAndBlankPaddingGiveTheSameNames)
{
    Rec blank;
    blank.modeSetName = "PET-1";
    Rec nul = blank;
    nul.pad = '\0';
    nul.lengthExtra = 2;  // the stored length is never used
    Rec trailing = blank;
    trailing.modeSetName = "PET-1 \t";
    trailing.pad = '\0';
    for (const Rec& r : {blank, nul, trailing}) {
        MimakiPrintConditions pc;
        std::wstring names;
        ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({r})), names, pc), 1);
        EXPECT_EQ(pc.m_Conditions.at(0).printModeSetName, L"PET-1");
        EXPECT_EQ(pc.m_Conditions.at(0).inksetName, L"LH100-401");
        EXPECT_EQ(pc.m_Conditions.at(0).printMethodDisplayName, L"720x1440 VD");
    }
    // Text after a NUL inside the field is not part of the name; 8-bit
    // characters keep their code.
    Rec inner = blank;
    inner.modeSetName = std::string("Gla\xDF", 4) + std::string(1, '\0') + "junk";
    MimakiPrintConditions pc;
    std::wstring names;
    ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({inner})), names, pc), 1);
    EXPECT_EQ(pc.m_Conditions.at(0).printModeSetName, L"Gla\u00DF");
}

// ---- merging ----------------------------------------------------------

TEST(AnalyzeQI, RecordsDifferingOnlyInActionCategoryMerge)
{
    Rec a;
    a.categoryLarge = 10;
    a.categorySmall = 1;
    Rec b = a;
    b.categoryLarge = 20;
    b.categorySmall = 3;
    b.display = "other name";               // not compared
    b.bands = {a.bands[1], a.bands[0]};     // same entries, other order
    b.overpaints = {3, 2, 1};
    Rec c = a;                              // (10, 1) again: adds nothing
    MimakiPrintConditions pc;
    std::wstring names;
    ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({a, b, c})), names, pc), 1);
    ASSERT_EQ(pc.m_Conditions.size(), 1u);
    EXPECT_EQ(pc.m_Conditions[0].actionCategorys, (Pairs{{10, 1}, {20, 3}}));
    EXPECT_EQ(pc.m_Conditions[0].printMethodDisplayName, L"720x1440 VD");
    EXPECT_EQ(pc.m_Header.conditionCount, 3);
}

TEST(AnalyzeQI, RecordsDifferingInAnyComparedFieldStaySeparate)
{
    const Rec base;
    std::vector<Rec> variants;
    auto vary = [&](auto change) {
        Rec r = base;
        r.categorySmall = 9;
        change(r);
        variants.push_back(r);
    };
    vary([](Rec& r) { r.inkset = "LH100-402"; });
    vary([](Rec& r) { r.modeSetNumber = 2; });
    vary([](Rec& r) { r.modeSetName = "pet"; });  // names compare with case
    vary([](Rec& r) { r.wave = 4; });
    vary([](Rec& r) { r.yDpi = 600; });
    vary([](Rec& r) { r.xDpi = 1200; });
    vary([](Rec& r) { r.hq = 1; });
    vary([](Rec& r) { r.dotBit = 1; });
    vary([](Rec& r) { r.bands = {{8, 1, 0}, {4, 0, 1}}; });    // high speed differs
    vary([](Rec& r) { r.bands = {{8, 1, 0}}; });               // fewer entries
    vary([](Rec& r) { r.scans = {0}; });
    vary([](Rec& r) { r.overpaints = {1, 2, 4}; });
    vary([](Rec& r) { r.levels = {0, 0}; });
    vary([](Rec& r) { r.levels = {1}; });
    for (const Rec& v : variants) {
        MimakiPrintConditions pc;
        std::wstring names;
        ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({base, v})), names, pc), 1);
        EXPECT_EQ(pc.m_Conditions.size(), 2u);
    }
}

TEST(AnalyzeQI, AddOrMergeUsesTheFirstMatchAndContainment)
{
    MimakiPrintCondition e;
    e.inksetName = L"X";
    e.bandDivisions = {{4, 0, 0}, {4, 0, 0}};  // a repeated entry
    e.actionCategorys = {{0, 1}};
    std::vector<MimakiPrintCondition> list = {e, e};
    MimakiPrintCondition n = e;
    n.bandDivisions = {{4, 0, 0}, {8, 0, 0}};  // contains every entry of e
    n.actionCategorys = {{0, 2}};
    AddOrMergeCondition(list, n);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].actionCategorys, (Pairs{{0, 1}, {0, 2}}));
    EXPECT_EQ(list[1].actionCategorys, (Pairs{{0, 1}}));

    // The rule is one-sided: n's extra entry 8 is not looked for in e, but
    // e's entries must all be in the new record.
    MimakiPrintCondition m = e;
    m.bandDivisions = {{8, 0, 0}, {16, 0, 0}};
    m.actionCategorys = {{0, 3}};
    AddOrMergeCondition(list, m);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].actionCategorys, (Pairs{{0, 3}}));
}

// ---- sorting and ink-set names --------------------------------------------

TEST(AnalyzeQI, SortsByXThenYThenNameWithoutCase)
{
    Rec acrylic;
    acrylic.modeSetName = "Acrylic";
    acrylic.xDpi = 1200;
    acrylic.yDpi = 600;
    Rec pvc;
    pvc.modeSetName = "pvc-1";
    pvc.xDpi = 600;
    pvc.yDpi = 600;
    Rec pet = pvc;
    pet.modeSetName = "PET";
    Rec wide = pvc;
    wide.modeSetName = "ABS";
    wide.yDpi = 720;
    MimakiPrintConditions pc;
    std::wstring names;
    ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({acrylic, wide, pvc, pet})), names, pc), 1);
    ASSERT_EQ(pc.m_Conditions.size(), 4u);
    EXPECT_EQ(pc.m_Conditions[0].printModeSetName, L"PET");
    EXPECT_EQ(pc.m_Conditions[1].printModeSetName, L"pvc-1");
    EXPECT_EQ(pc.m_Conditions[2].printModeSetName, L"ABS");
    EXPECT_EQ(pc.m_Conditions[3].printModeSetName, L"Acrylic");
}

TEST(AnalyzeQI, InksetNamesAreAppendedUnlessAlreadyContained)
{
    Rec a;
    a.inkset = "A";
    a.xDpi = 600;
    Rec ab;
    ab.inkset = "AB";
    ab.xDpi = 1200;
    {
        MimakiPrintConditions pc;
        std::wstring names;
        ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({ab, a})), names, pc), 1);
        EXPECT_EQ(names, L"A,AB");
    }
    {
        a.xDpi = 1200;
        ab.xDpi = 600;
        MimakiPrintConditions pc;
        std::wstring names;
        ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({a, ab})), names, pc), 1);
        EXPECT_EQ(names, L"AB");
    }
    {
        MimakiPrintConditions pc;
        std::wstring names = L"LH100-401,Q";  // never cleared
        ASSERT_EQ(CAnalyzeQI::Analyze(Hex(BlockBytes({a, ab})), names, pc), 1);
        EXPECT_EQ(names, L"LH100-401,Q,AB");
    }
}

// ---- header failures --------------------------------------------------------

struct HeaderCase {
    int offset;
    BYTE value;
    int offset2;  // a second wrong byte that must not be reported (-1: none)
    BYTE value2;
    const char* message;
};

TEST(AnalyzeQI, WrongHeaderBytesAreReportedInOrderAndLeaveTheListAlone)
{
    const HeaderCase cases[] = {
        {0, 0x52, 3, 0x21, "***CAnalyzeQI::Analyze#L: Wrong header in Mimaki Print Condition: "
                           "MimakiPrintConditions.m_Header.cmd1/cmd2=82, 73"},
        {1, 0x00, 4, 0x03, "***CAnalyzeQI::Analyze#L: Wrong header in Mimaki Print Condition: "
                           "MimakiPrintConditions.m_Header.cmd1/cmd2=81, 0"},
        {3, 0x21, 4, 0x03, "***CAnalyzeQI::Analyze#L: Wrong header in Mimaki Print Condition: "
                           "MimakiPrintConditions.m_Header.kind=33"},
        {4, 0x01, 12, 0xFF, "***CAnalyzeQI::Analyze#L: Wrong header in Mimaki Print Condition: "
                            "MimakiPrintConditions.m_Header.inf1=1"},
    };
    for (const HeaderCase& hc : cases) {
        auto bytes = BlockBytes({Rec{}});
        bytes[static_cast<std::size_t>(hc.offset)] = hc.value;
        if (hc.offset2 >= 0)
            bytes[static_cast<std::size_t>(hc.offset2)] = hc.value2;

        MimakiPrintConditions old;
        old.m_Conditions.resize(1);
        old.m_Conditions[0].inksetName = L"OLD";
        const Analysis a = AnalyzeText(Hex(bytes), old);
        EXPECT_EQ(a.result, 0);
        EXPECT_EQ(a.log, std::vector<std::string>{hc.message});
        EXPECT_EQ(a.levels, std::vector<int>{4});
        ASSERT_EQ(a.pc.m_Conditions.size(), 1u);
        EXPECT_EQ(a.pc.m_Conditions[0].inksetName, L"OLD");
        EXPECT_EQ(a.names, L"OLD");  // the list is still sorted and named
        EXPECT_EQ(a.pc.m_Header.ToBytes()[static_cast<std::size_t>(hc.offset)], hc.value);
    }
}

TEST(AnalyzeQI, EmptyTextReportsNothingAndKeepsTheList)
{
    MimakiPrintConditions pc;
    pc.m_Conditions.resize(2);
    std::wstring names = L"X";
    LogCapture log;
    EXPECT_EQ(CAnalyzeQI::Analyze(L"", names, pc), 0);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(pc.m_Conditions.size(), 2u);
    EXPECT_EQ(names, L"X");
}

TEST(AnalyzeQI, ShortHeaderIsReported)
{
    for (std::size_t n : {1u, 5u, 13u}) {
        auto bytes = BlockBytes({Rec{}});
        bytes.resize(n);
        const Analysis a = AnalyzeText(bytes);
        EXPECT_EQ(a.result, 0);
        EXPECT_EQ(a.log, std::vector<std::string>{"***CAnalyzeQI::Analyze#L: Print condition data too short for its "
                                                  "header (" + std::to_string(n) + " bytes, 14 needed)"});
        EXPECT_TRUE(a.pc.m_Conditions.empty());
    }
}

TEST(AnalyzeQI, DeclaredSizeBeyondTheDataIsClampedAndWhatFitsIsRead)
{
    const Rec r;
    const auto exact = BlockBytes({r, r});  // 2 x 98 bytes
    const auto bytes = BlockBytes({r, r}, 2, 206);
    const Analysis a = AnalyzeText(bytes);
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.log, std::vector<std::string>{"***CAnalyzeQI::Analyze#L: Declared data size in print "
                                              "conditions header (206) exceeds available size (196)"});
    EXPECT_EQ(a.pc.m_Header.dataSize, 196u);
    ASSERT_EQ(a.pc.m_Conditions.size(), 1u);  // the two records merge
    EXPECT_EQ(a.names, L"LH100-401");
    EXPECT_EQ(exact.size(), bytes.size());
}

TEST(AnalyzeQI, ClampedSizeThenTruncatedRecordReportsBoth)
{
    Rec second;
    second.xDpi = 600;
    auto bytes = BlockBytes({Rec{}, second});
    bytes.resize(14 + 98 + 40);
    const Analysis a = AnalyzeText(bytes);
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.log,
              (std::vector<std::string>{
                  "***CAnalyzeQI::Analyze#L: Declared data size in print conditions header (196) exceeds available size (138)",
                  "***CAnalyzeQI::AnalyzeCondition#L: End position of header of current print condition (186) is beyond "
                  "actual end of print mode data (152)"}));
    ASSERT_EQ(a.pc.m_Conditions.size(), 1u);
    EXPECT_EQ(a.pc.m_Conditions[0].xDpi, 1440u);
}

TEST(AnalyzeQI, ZeroCountOrSizeGivesNoConditionsAndNoMessage)
{
    for (auto [count, size] : {std::pair<long, long long>{0, -1}, {1, 0}, {0, 0}}) {
        MimakiPrintConditions old;
        old.m_Conditions.resize(3);
        const Analysis a = AnalyzeText(Hex(BlockBytes({Rec{}}, count, size)), old);
        EXPECT_EQ(a.result, 0);
        EXPECT_TRUE(a.log.empty());
        EXPECT_TRUE(a.pc.m_Conditions.empty());
        EXPECT_TRUE(a.names.empty());
    }
}

// ---- truncated records ------------------------------------------------------
//
// Two records of 98 bytes; the first ends at 112, the second starts there.
// Its lists: band count at 188, entries 189..194; scan count at 197, entries
// 198..199; overpaint count at 202, entries 203..205; level count at 208,
// entry 209. The data end is moved to every interesting place.

struct CutCase {
    int end;
    const char* message;
};

TEST(AnalyzeQI, RecordCutOffInEachListReportsPositionAndContext)
{
    const CutCase cases[] = {
        {185, "End position of header of current print condition (186) is beyond actual end of print mode data (185)"},
        {187, "Position of number of band divisions (188) is beyond actual end of print mode data (187)"},
        {188, "Position of first band division (189) is beyond actual end of print mode data (188)"},
        {190, "Position of next band division (192) is beyond actual end of print mode data (190)"},
        {194, "Position of next band division (195) is beyond actual end of print mode data (194)"},
        {196, "Position of number of scan directions (197) is beyond actual end of print mode data (196)"},
        {197, "Position of first scan direction (198) is beyond actual end of print mode data (197)"},
        {199, "Position of next scan direction (200) is beyond actual end of print mode data (199)"},
        {201, "Position of number of overpainting values (202) is beyond actual end of print mode data (201)"},
        {202, "Position of first overpainting value (203) is beyond actual end of print mode data (202)"},
        {204, "Position of next overpainting value (205) is beyond actual end of print mode data (204)"},
        {207, "Position of number of overpainting levels (208) is beyond actual end of print mode data (207)"},
        {208, "Position of first overpainting level (209) is beyond actual end of print mode data (208)"},
        {209, "Position of next overpainting level (210) is beyond actual end of print mode data (209)"},
    };
    Rec first;
    first.inkset = "FIRST";
    Rec second;
    second.inkset = "SB54-410";
    second.modeSetNumber = 4;
    second.modeSetName = "Tarpaulin";
    second.yDpi = 540;
    second.xDpi = 720;
    const auto full = BlockBytes({first, second});
    ASSERT_EQ(full.size(), 210u);
    for (const CutCase& cc : cases) {
        SCOPED_TRACE(cc.end);
        auto bytes = BlockBytes({first, second}, 2, cc.end - 14);
        bytes.resize(static_cast<std::size_t>(cc.end));
        const Analysis a = AnalyzeText(bytes);
        EXPECT_EQ(a.result, 0);
        std::vector<std::string> expected = {std::string("***CAnalyzeQI::AnalyzeCondition#L: ") + cc.message};
        if (cc.end != 185)
            expected.push_back("Print mode set number=4 (Tarpaulin) resol.=720x540 inkset=SB54-410");
        EXPECT_EQ(a.log, expected);
        ASSERT_EQ(a.pc.m_Conditions.size(), 1u);
        EXPECT_EQ(a.pc.m_Conditions[0].inksetName, L"FIRST");
        EXPECT_EQ(a.names, L"FIRST");
    }
    // At 210 the record is complete.
    MimakiPrintConditions pc;
    std::wstring names;
    EXPECT_EQ(CAnalyzeQI::Analyze(Hex(full), names, pc), 1);
    EXPECT_EQ(pc.m_Conditions.size(), 2u);
}

TEST(AnalyzeQI, AnalyzeConditionRejectsMissingInputSilently)
{
    const auto bytes = BlockBytes({Rec{}});
    std::vector<MimakiPrintCondition> list(2);
    LogCapture log;
    EXPECT_EQ(CAnalyzeQI::AnalyzeCondition(bytes.data(), nullptr, 1, 98, list), 0);
    EXPECT_TRUE(list.empty());
    list.resize(1);
    EXPECT_EQ(CAnalyzeQI::AnalyzeCondition(bytes.data(), bytes.data() + 14, 0, 98, list), 0);
    EXPECT_EQ(CAnalyzeQI::AnalyzeCondition(bytes.data(), bytes.data() + 14, -5, 98, list), 0);
    EXPECT_EQ(CAnalyzeQI::AnalyzeCondition(bytes.data(), bytes.data() + 14, 1, 0, list), 0);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(CAnalyzeQI::AnalyzeCondition(bytes.data(), bytes.data() + 14, 1, 98, list), 1);
    EXPECT_EQ(list.size(), 1u);
    // Bytes after the last counted record are ignored.
    EXPECT_EQ(CAnalyzeQI::AnalyzeCondition(nullptr, bytes.data() + 14, 1, 98, list), 1);
}

// ---- hostile input ----------------------------------------------------------

TEST(AnalyzeQI, OddOrNonHexTextIsReportedAndOnlyTheConvertedPrefixIsUsed)
{
    const std::wstring valid = Hex(BlockBytes({Rec{}}));
    Analysis a = AnalyzeText(valid + L"7");
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.log, std::vector<std::string>{"***CAnalyzeQI::Analyze#L: Print condition text has an "
                                              "odd number of hexadecimal digits (225)"});
    EXPECT_EQ(a.pc.m_Conditions.size(), 1u);  // the whole block was before the odd digit

    std::wstring text = valid;
    text[101] = L'g';
    a = AnalyzeText(text);
    EXPECT_EQ(a.result, 0);
    ASSERT_GE(a.log.size(), 2u);
    EXPECT_EQ(a.log[0], "***CAnalyzeQI::Analyze#L: Print condition text is not hexadecimal at character 101 (U+0067)");
    EXPECT_EQ(a.log[1], "***CAnalyzeQI::Analyze#L: Declared data size in print conditions header (98) exceeds "
                        "available size (36)");
    EXPECT_TRUE(a.pc.m_Conditions.empty());

    a = AnalyzeText(L"\u20AC1");
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.log, std::vector<std::string>{"***CAnalyzeQI::Analyze#L: Print condition text is not "
                                              "hexadecimal at character 0 (U+20AC)"});
}

TEST(AnalyzeQI, HugeCountsWithLittleDataStopAtTheEnd)
{
    LogCapture log;
    {
        // 65535 records announced, one present.
        const auto bytes = BlockBytes({Rec{}}, 65535);
        MimakiPrintConditions pc;
        std::wstring names;
        EXPECT_EQ(CAnalyzeQI::Analyze(Hex(bytes), names, pc), 0);
        EXPECT_EQ(pc.m_Conditions.size(), 1u);
    }
    {
        // A size of 4 GiB - 1 with 98 bytes present.
        const auto bytes = BlockBytes({Rec{}}, 1, 0xFFFFFFFFll);
        MimakiPrintConditions pc;
        std::wstring names;
        log.lines.clear();
        EXPECT_EQ(CAnalyzeQI::Analyze(Hex(bytes), names, pc), 0);
        EXPECT_EQ(log.Normalized().at(0), "***CAnalyzeQI::Analyze#L: Declared data size in print conditions header "
                                          "(2147483647) exceeds available size (98)");
        EXPECT_EQ(pc.m_Header.dataSize, 98u);
        EXPECT_EQ(pc.m_Conditions.size(), 1u);
    }
    {
        // List counts of 255 at the very end of the data.
        auto bytes = BlockBytes({Rec{}});
        bytes[14 + 74 + 2] = 255;
        MimakiPrintConditions pc;
        std::wstring names;
        log.lines.clear();
        EXPECT_EQ(CAnalyzeQI::Analyze(Hex(bytes), names, pc), 0);
        EXPECT_EQ(log.Normalized().at(0), "***CAnalyzeQI::AnalyzeCondition#L: Position of next band division (115) is "
                                          "beyond actual end of print mode data (112)");
        bytes = BlockBytes({Rec{}});
        bytes.back() = 0;     // level entry gone: count 0 ...
        bytes[bytes.size() - 2] = 255;
        bytes.pop_back();     // ... then the count itself is the last byte
        bytes[10] = static_cast<BYTE>(bytes.size() - 14);
        log.lines.clear();
        EXPECT_EQ(CAnalyzeQI::Analyze(Hex(bytes), names, pc), 0);
        EXPECT_EQ(log.Normalized().at(0), "***CAnalyzeQI::AnalyzeCondition#L: Position of next overpainting level "
                                          "(112) is beyond actual end of print mode data (111)");
    }
}

TEST(AnalyzeQI, MutatedBlocksNeverCrash)
{
    // Random byte changes, cuts and count changes on a real block; run under
    // the sanitizers this catches any read outside the data.
    const EmbeddedPrintModeEntry* entry = FindEmbeddedPrintModeEntry(L"PrintModeDataUCJV300_CMYKWW");
    ASSERT_NE(entry, nullptr);
    std::vector<BYTE> original;
    ASSERT_TRUE(HexStringToBin(EmbeddedPrintModeText(*entry), original));
    std::mt19937 rng(12345);
    LogCapture log(0);  // nothing is logged, the capture only keeps stderr quiet
    int valid = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<BYTE> bytes = original;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < edits; ++k) {
            const std::size_t at = rng() % bytes.size();
            switch (rng() % 4) {
            case 0: bytes[at] = static_cast<BYTE>(rng()); break;
            case 1: bytes.resize(std::max<std::size_t>(at, 1)); break;
            case 2: bytes[at] = 0xFF; break;
            default:
                if (bytes.size() >= 14)
                    bytes[8 + rng() % 6] = static_cast<BYTE>(rng());
                break;
            }
        }
        MimakiPrintConditions pc;
        std::wstring names;
        valid += CAnalyzeQI::AnalyzeBytes(bytes.data(), bytes.size(), names, pc);
        for (const MimakiPrintCondition& c : pc.m_Conditions)
            EXPECT_FALSE(c.actionCategorys.empty());
    }
    EXPECT_LT(valid, 3000);
}

}  // namespace
