#include "tools/rasterjob/ModelCatalogue.h"

namespace rasterjob {

namespace {

constexpr const char* kLegacy = "CMimakiLegacyBasePrinterDriver";
constexpr const char* kMRLIII = "CMimakiMRLIIIDriver";
constexpr const char* kTS300P = "CMimakiWhitePrinterDriverTS300P";

constexpr CatalogueRow kCatalogue[] = {
    {0, "CMimakiDevParmsBase", kLegacy, ""},
    {1, "DEVPARM1_CLASS", kLegacy, "model 1"},
    {2, "DEVPARM2_CLASS", kLegacy, "model 2"},
    {3, "DEVPARM3_CLASS", kLegacy, "model 3"},
    {4, "DEVPARM4_CLASS", kLegacy, "model 4"},
    {5, "DEVPARM5_CLASS", kLegacy, "model 5"},
    {6, "DEVPARM6_CLASS", kLegacy, "model 6"},
    {7, "DEVPARM7_CLASS", "CMimakiWhitePrinterDriver", "model 7"},
    {8, "DEVPARM8_CLASS", kLegacy, "model 8"},
    {9, "DEVPARM9_CLASS", kLegacy, "model 9"},
    {10, "DEVPARM10_CLASS", kLegacy, "model 10"},
    {11, "DEVPARM11_CLASS", kLegacy, "model 11"},
    {12, "DEVPARM12_CLASS", kLegacy, "model 12"},
    {13, "DEVPARM13_CLASS", kMRLIII, "model 13"},
    {14, "DEVPARM14_CLASS", kLegacy, "model 14"},
    {15, "DEVPARM15_CLASS", kMRLIII, "model 15"},
    {16, "DEVPARM16_CLASS", kLegacy, "model 16"},
    {17, "DEVPARM17_CLASS", "CMimaki604SpecialDriver", "model 17"},
    {18, "DEVPARMTX400_CLASS", kMRLIII, "TX400"},
    {19, "DEVPARMUJF3042_CLASS", "CMimakiWhitePrinterDriverUJF_WW", "UJF3042"},
    {20, "DEVPARMUJF706_CLASS", "CMimakiWhitePrinterDriverUJF_WW", "UJF706"},
    {21, "DEVPARMJV34_CLASS", kMRLIII, "JV34"},
    {22, "DEVPARMJV400_CLASS", "CMimakiWhitePrinterDriverJV400", "JV400"},
    {23, "DEVPARMTS500_CLASS", kLegacy, "TS500"},
    {24, "DEVPARM24_CLASS", "CMimakiTS3Driver", "TS3"},
    {25, "DEVPARMJFX500_v2_CLASS", "CMimakiWhitePrinterDriverJFX500Base", "JFX500"},
    {26, "DEVPARMSWJ320_CLASS", "CMimakiSWJ320Driver", "SWJ320"},
    {27, "DEVPARMJV300_CLASS", "CMimakiWhitePrinterDriverJV300", "JV300"},
    {28, "DEVPARMJFX200_CLASS", "CMimakiWhitePrinterDriverJFX200", "JFX200"},
    {29, "DEVPARMCJV150_300_CLASS", "CMimakiWhitePrinterDriverJV300", "CJV150 / CJV300"},
    {30, "DEVPARMTS300P_CLASS", kTS300P, "TS300P"},
    {31, "DEVPARMTS300P_ADVANCED_CLASS", kTS300P, "TS300P advanced"},
    {32, "DEVPARMTS500_CLASS", kLegacy, "TS500 (second UID)"},
    {33, "DEVPARMSIJ320UV_CLASS", kTS300P, "SIJ320UV"},
    {34, "DEVPARMUJV55_CLASS", kTS300P, "UJV55"},
    {35, "DEVPARMUJF_x042MKII_CLASS", "CMimakiWhitePrinterDriverUJF_x042MKII", "UJF x042 MKII"},
    {36, "DEVPARMJFXMKSERIES_CLASS", kLegacy, "JFX MK series"},
    {37, "DEVPARMUJV500_CLASS", kTS300P, "UJV500"},
    {38, "DEVPARMUCJV300_CLASS", "CMimakiDriverUCJV300", "UCJV300"},
    {39, "DEVPARMUJF7151_CLASS", "CMimakiWhitePrinterDriverUJF7151", "UJF7151"},
    {40, "DEVPARMTS55_1800_CLASS", kTS300P, "TS55 1800"},
    {41, "DEVPARMJFX500_v2_CLASS", "CMimakiWhitePrinterDriverJFX500Base", "JFX500 (second UID)"},
    {42, "DEVPARMTS300P_MKII_CLASS", kTS300P, "TS300P MKII"},
    {43, "DEVPARMCJV300_PLUS_CLASS", "CMimakiPrnDrvCJV300PLUS", "CJV300 PLUS"},
    {44, "DEVPARMCJV300_PLUS_CLASS", "CMimakiPrnDrvCJV300PLUS", "CJV300 PLUS (second UID)"},
    {45, "DEVPARMSWJ_320AE_CLASS", "CMimakiSWJ320EADriver", "SWJ320EA"},
    {46, "DEVPARMS_JFX200EX_CLASS", "CMimakiJFX200EXDriver", "JFX200EX"},
    {47, "DEVPARMUJV100_CLASS", "CMimakiPrinterDriverUJV100", "UJV100"},
    {48, "DEVPARMJV100_CLASS", kTS300P, "JV100"},
    {49, "DEVPARMTS100_1600_CLASS", kTS300P, "TS100 1600"},
    {50, "DEVPARMTS330_1600_CLASS", "CMimakiWhitePrinterDriverTS300PSlotBased", "TS330 1600"},
    {51, "DEVPARMJV330_CLASS", "CMimakiPrnDrvCJV330", "JV330"},
    {52, "DEVPARMCJV330_CLASS", "CMimakiPrnDrvCJV330", "CJV330"},
    {53, "DEVPARMUJF7151plusII_CLASS", "CMimakiPrinterDriverUJF7151PlusII", "UJF7151 plus II"},
    {54, "CDevParmsTxF150", "CMimakiDTFDriver", "TxF150 (DTF)"},
    {55, "CMimakiDevParmsBase", kLegacy, ""},
    {56, "DEVPARMTX330_CLASS", kTS300P, "TX330"},
};

static_assert(sizeof kCatalogue / sizeof kCatalogue[0] == 57);

constexpr CatalogueVariant kVariants[] = {
    {13, "JV58CSpecial", "1", "DEVPARM13_CLASS", "CMimakiJV58CSpecial"},
};

} // namespace

const CatalogueRow& CatalogueEntry(int uid)
{
    uid &= 255;
    for (const CatalogueRow& row : kCatalogue)
        if (row.uid == uid)
            return row;
    static constexpr CatalogueRow kNoModel = {-1, "CMimakiDevParmsBase", kLegacy, ""};
    return kNoModel;
}

std::span<const CatalogueVariant> CatalogueVariants()
{
    return kVariants;
}

} // namespace rasterjob
