#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "host/StrUtil.h"
#include "printcond/AnalyzeQI.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "tests/printcond/QiTestSupport.h"

namespace {

struct Expected {
    const wchar_t* name;
    std::size_t bytes;
    unsigned records;
    std::size_t conditions;
    const wchar_t* inksets;  // ", "-separated, sorted
    int headerByte5;
    int headerByte6;
};

// The published shape of every embedded block.
const Expected kExpected[] = {
    {L"PrintModeDataTX300PAllInksets", 6452, 57, 53, L"AC400-8Z0, DD400-8Z0, RC400-8Z0, RC500-8Z0, SB420-4Z0, SB420-6Z0, SB421-4Z0, SB421-6Z0, TP400-4Z0, TP400-7Z0", 2, 0},
    {L"PrintModeDataTX300PHybridAllInksets", 912, 8, 8, L"SB420-4Z0, TP400-4Z0", 1, 0},
    {L"PrintModeDataSIJ320UVAllInksets", 561, 5, 5, L"LUS120-4", 1, 0},
    {L"PrintModeDataUJV55AllInksets", 38217, 344, 64, L"LUS120-4, LUS120-602, LUS120-604", 2, 0},
    {L"PrintModeDataUJF7151AllInksets", 22913, 222, 25, L"LUS120-404", 1, 0},
    {L"PrintModeDataTx500PAllInksets", 1049, 9, 9, L"SB320-410, SB320-610", 2, 0},
    {L"PrintModeDataUJF3042MKIIAllInksets", 147050, 1428, 50, L"LH100-401", 2, 0},
    {L"PrintModeDataUJF6042MKIIAllInksets", 173188, 1682, 50, L"LH100-601", 2, 0},
    {L"PrintModeDataUCJV150_CMYK", 1970, 18, 18, L"LUS170-400", 1, 0},
    {L"PrintModeDataTS55_1800Inksets4c", 552, 5, 5, L"SB610-410", 1, 0},
    {L"PrintModeDataTS55_1800Inksets6c", 335, 3, 3, L"SB610-610", 1, 0},
    {L"PrintModeDataTS55_1800Inksets7c", 335, 3, 3, L"SB610-710", 1, 0},
    {L"PrintModeDataTS55_1800Inksets8c", 335, 3, 3, L"SB610-810", 1, 0},
    {L"PrintModeDataTX300P_MKII_SB420_4C", 478, 4, 4, L"SB420-4Z0", 1, 0},
    {L"PrintModeDataTX300P_MKII_SB420_6C", 478, 4, 4, L"SB420-6Z0", 1, 0},
    {L"PrintModeDataTX300P_MKII_TP400_7C", 338, 3, 3, L"TP400-7Z0", 1, 0},
    {L"PrintModeDataTX300P_MKII_RC400_8C", 576, 5, 5, L"RC400-8Z0", 1, 0},
    {L"PrintModeDataTX300P_MKII_SB420_TP400_Hybrid", 912, 8, 8, L"SB420-4Z0, TP400-4Z0", 1, 0},
    {L"PrintModeDataTX300P_MKII_SB411_TP400_Hybrid", 912, 8, 8, L"SB411-4Z0, TP400-4Z0", 1, 0},
    {L"PrintModeDataTX300P_MKII_SB411_SB420_Hybrid", 942, 8, 8, L"SB411-4Z0, SB420-4Z0", 1, 0},
    {L"PrintModeData_C_JV300PLUS_4C", 919, 7, 7, L"SS21-4", 1, 0},
    {L"PrintModeData_C_JV300PLUS_4C_Blue", 919, 7, 7, L"SB54-410", 1, 0},
    {L"PrintModeData_C_JV300PLUS_6C_Blue", 901, 7, 7, L"SB54-610", 1, 0},
    {L"PrintModeData_C_JV300PLUS_8C_Oranje", 901, 7, 7, L"SS21-cmOk", 1, 0},
    {L"PrintModeData_C_JV300PLUS_8C_White", 4449, 35, 7, L"SS21-cmS", 1, 0},
    {L"PrintModeData_C_JV300PLUS_8C_WhSi", 8884, 70, 7, L"SS21-cmS", 1, 0},
    {L"PrintModeData_C_JV300PLUS_8C_CMYKkOrWW", 4449, 35, 7, L"SS21-cmS", 1, 0},
    {L"PrintModeData_C_JV300PLUS_8C_CMYKkOrWSi", 8884, 70, 7, L"SS21-cmS", 1, 0},
    {L"PrintModeDataSWJ320EA_AllInksets", 811, 7, 7, L"CS100-400", 1, 0},
    {L"PrintModeDataUJV100_4C_AllInksets", 1710, 16, 16, L"LUS210-400", 1, 0},
    {L"PrintModeDataUJV100_MCYKWW_AllInksets", 4472, 42, 16, L"LUS210-40C", 1, 0},
    {L"PrintModeDataUJV100_WWMCYK_AllInksets", 4472, 42, 16, L"LUS210-40D", 1, 0},
    {L"PrintModeDataUJV100_MCYKWCl_AllInksets", 8518, 80, 16, L"LUS210-40A", 1, 0},
    {L"PrintModeDataJV100_AllInksets", 995, 9, 9, L"CS250-400", 1, 0},
    {L"PrintModeDataTS100_AllInksets", 323, 3, 3, L"SB610-410", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CMYK", 2531, 24, 18, L"LH100-400", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CMYKWWClPr", 29009, 276, 21, L"LH100-407", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CcMmYKWCl", 26711, 255, 24, L"LH100-604", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CcMmYKWPr", 19796, 189, 21, L"LH100-605", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CcMmYKClPr", 26711, 255, 24, L"LH100-606", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CcMmYKWSi", 12854, 123, 30, L"LH100-603", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CcMmYKClSi", 19769, 189, 33, L"LH100-60B", 1, 0},
    {L"PrintModeDataUJF7151PlusII_CcMmYKWW", 8537, 81, 21, L"LH100-602", 1, 0},
    {L"PrintModeDataUJFx042MkIIe_CMYKWWVP", 16388, 159, 40, L"LH100-40I", 1, 0},
    {L"PrintModeDataUJFx042MkIIe_CcMmYK", 10620, 103, 32, L"LH100-608", 1, 0},
    {L"PrintModeDataUJFx042MkIIe_CcMmYKWP", 15873, 154, 35, L"LH100-605", 1, 0},
    {L"PrintModeDataUJFx042MkIIe_CcMmYKWV", 17727, 172, 37, L"LH100-604", 1, 0},
    {L"PrintModeDataUJFx042MkIIe_CcMmYKVP", 14322, 139, 27, L"LH100-606", 1, 0},
    {L"PrintModeDataUJFx042MkIIe_CcMmYKWW", 10620, 103, 32, L"LH100-608", 1, 0},
    {L"PrintModeDataUCJV300_CMYK", 1548, 14, 14, L"LUS200-400", 1, 0},
    {L"PrintModeDataUCJV300_CMYKWW", 7446, 68, 10, L"LUS200-408", 1, 0},
    {L"PrintModeDataUCJV300_CMYKClW", 11828, 108, 18, L"LUS170-40A", 1, 0},
    {L"PrintModeDataUCJV300_CcMmYKW", 7978, 73, 18, L"LUS170-608", 1, 0},
    {L"PrintModeDataUJV100PLUS_LUS170_400_CMYK", 1710, 16, 16, L"LUS170-400", 1, 0},
    {L"PrintModeDataUJV100PLUS_LUS170_40C_MCYKWW", 4472, 42, 16, L"LUS170-40C", 1, 0},
    {L"PrintModeDataUJV100PLUS_LUS170_40D_WWMCYK", 4472, 42, 16, L"LUS170-40D", 1, 0},
    {L"PrintModeDataUJV100PLUS_LUS170_40A_MCYKWCl", 8518, 80, 16, L"LUS170-40A", 1, 0},
    {L"PrintModeDataUCJV330_LUS170_400_CMYK", 668, 6, 6, L"LUS170-400", 1, 0},
    {L"PrintModeDataUCJV330_LUS200_408_CMYKW", 9310, 86, 12, L"LUS200-408", 1, 1},
    {L"PrintModeDataUCJV330_LUS170_40A_CMYKClW", 668, 6, 6, L"LUS170-40A", 1, 0},
    {L"PrintModeDataUCJV330_LUS170_608_CMYKLcLmW", 668, 6, 6, L"LUS170-608", 1, 0},
};

std::set<std::wstring> SplitSet(const std::wstring& text)
{
    std::set<std::wstring> out;
    for (std::wstring item : Split(text, L',', 1)) {
        item.erase(0, item.find_first_not_of(L' '));
        out.insert(item);
    }
    return out;
}

std::vector<BYTE> Bytes(const EmbeddedPrintModeEntry& e)
{
    std::vector<BYTE> bytes;
    EXPECT_TRUE(HexStringToBin(EmbeddedPrintModeText(e), bytes));
    return bytes;
}

// The listed entries in order, each found by its name, its header and
// size as published (count and data size little-endian), then an empty end.
TEST(EmbeddedPrintModeTable, EveryBlockAnalysesToItsPublishedShape)
{
    ASSERT_EQ(EmbeddedPrintModeTableSize, 61);
    ASSERT_EQ(std::size(kExpected), 61u);
    const EmbeddedPrintModeEntry& end = EmbeddedPrintModeTable[61];
    EXPECT_STREQ(end.name, L"");
    EXPECT_EQ(end.chunks, nullptr);
    EXPECT_EQ(end.chunkCount, 0);
    for (std::size_t i = 0; i < std::size(kExpected); ++i) {
        const Expected& x = kExpected[i];
        SCOPED_TRACE(WideToUtf8(x.name));
        const EmbeddedPrintModeEntry* e = &EmbeddedPrintModeTable[i];
        ASSERT_STREQ(e->name, x.name);
        EXPECT_EQ(FindEmbeddedPrintModeEntry(x.name), e);
        const std::vector<BYTE> bytes = Bytes(*e);
        ASSERT_EQ(bytes.size(), x.bytes);
        const std::size_t size = x.bytes - 14;
        EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.begin() + 14),
                  (std::vector<BYTE>{0x51, 0x49, 0x0B, 0x20, 0x02, static_cast<BYTE>(x.headerByte5),
                                     static_cast<BYTE>(x.headerByte6), 0x00, static_cast<BYTE>(x.records),
                                     static_cast<BYTE>(x.records >> 8), static_cast<BYTE>(size),
                                     static_cast<BYTE>(size >> 8), static_cast<BYTE>(size >> 16), 0}));

        MimakiPrintConditions pc;
        std::wstring names;
        qitest::LogCapture log;
        EXPECT_EQ(CAnalyzeQI::Analyze(EmbeddedPrintModeText(*e), names, pc), 1);
        EXPECT_TRUE(log.lines.empty());
        EXPECT_EQ(pc.m_Header.conditionCount, x.records);
        EXPECT_EQ(pc.m_Header.dataSize, x.bytes - 14);
        EXPECT_EQ(pc.m_Conditions.size(), x.conditions);
        EXPECT_EQ(SplitSet(names), SplitSet(x.inksets));
        // The same ink-set names in the order of the sorted conditions.
        EXPECT_EQ(Split(names, L',', 1).size(), SplitSet(x.inksets).size());

        std::size_t categories = 0;
        for (const MimakiPrintCondition& c : pc.m_Conditions) {
            categories += c.actionCategorys.size();
            EXPECT_EQ(c.dotBit, 2u);
            EXPECT_GE(c.waveForm, 1u);
            EXPECT_LE(c.waveForm, 6u);
            EXPECT_GE(c.yDpi, 300u);
            EXPECT_LE(c.yDpi, 1800u);
            EXPECT_GE(c.xDpi, 150u);
            EXPECT_LE(c.xDpi, 1800u);
            EXPECT_LE(c.printModeSetNumber, 6u);
            EXPECT_FALSE(c.bandDivisions.empty());
            EXPECT_EQ(c.printMethodDisplayName.rfind(std::to_wstring(c.yDpi) + L"x" + std::to_wstring(c.xDpi) + L" VD", 0),
                      0u);
        }
        // Merged records carry distinct action categories.
        EXPECT_EQ(categories, x.records);
    }
}

TEST(EmbeddedPrintModeTable, ChunksAreEightyUpperCaseHexDigitsExceptTheLast)
{
    for (const EmbeddedPrintModeEntry* e = EmbeddedPrintModeTable; e->name[0] != 0; ++e) {
        SCOPED_TRACE(WideToUtf8(e->name));
        ASSERT_GT(e->chunkCount, 0);
        for (int i = 0; i < e->chunkCount; ++i) {
            const std::string chunk = e->chunks[i];
            if (i + 1 < e->chunkCount)
                EXPECT_EQ(chunk.size(), 80u);
            else
                EXPECT_TRUE(chunk.size() > 0 && chunk.size() <= 80);
            EXPECT_EQ(chunk.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        }
    }
}

// Walks the records by their stored lengths: record length + 2 is the
// record's size except in the one table whose lengths are 2 too large.
TEST(EmbeddedPrintModeTable, RecordLengthsAndPaddingMatchTheirTable)
{
    for (const EmbeddedPrintModeEntry* e = EmbeddedPrintModeTable; e->name[0] != 0; ++e) {
        SCOPED_TRACE(WideToUtf8(e->name));
        const bool quirk = std::wstring(e->name) == L"PrintModeDataUCJV330_LUS200_408_CMYKW";
        const std::vector<BYTE> b = Bytes(*e);
        std::size_t p = 14;
        for (unsigned r = 0; r < static_cast<unsigned>(b[8] | b[9] << 8); ++r) {
            ASSERT_LE(p + 74, b.size());
            // The true size from the lists.
            std::size_t q = p + 74;
            for (std::size_t width : {3u, 1u, 1u, 1u}) {
                ASSERT_LT(q + 2, b.size());
                const std::size_t blockLength = b[q] | b[q + 1] << 8;
                EXPECT_EQ(blockLength, 1 + b[q + 2] * width);
                q += 3 + b[q + 2] * width;
            }
            const std::size_t stored = b[p] | b[p + 1] << 8;
            EXPECT_EQ(stored, q - p - 2 + (quirk ? 2 : 0));
            // The last byte of the media-name and display-name fields is
            // always padding.
            EXPECT_EQ(b[p + 44], quirk ? 0 : ' ');
            EXPECT_EQ(b[p + 66], quirk ? 0 : ' ');
            p = q;
        }
        EXPECT_EQ(p, b.size());
    }
}

TEST(EmbeddedPrintModeTable, NamesAreFoundWithoutRegardToCase)
{
    const EmbeddedPrintModeEntry* e = FindEmbeddedPrintModeEntry(L"printmodedatauJV55allinksets");
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, L"PrintModeDataUJV55AllInksets");
    EXPECT_EQ(FindEmbeddedPrintModeEntry(L"PrintModeDataUJV55AllInksetsX"), nullptr);
    EXPECT_EQ(FindEmbeddedPrintModeEntry(L"PrintModeDataUJV55AllInkset"), nullptr);
    EXPECT_EQ(FindEmbeddedPrintModeEntry(L""), nullptr);
}

}  // namespace
