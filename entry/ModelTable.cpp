#include "entry/ModelTable.h"

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiDevParmsCJV330.h"
#include "devparms/MimakiDevParmsEarly.h"
#include "devparms/MimakiDevParmsStrOb.h"
#include "devparms/MimakiDevParmsTS300P.h"
#include "devparms/MimakiDevParmsTxF150.h"
#include "devparms/MimakiDevParmsUJF.h"
#include "devparms/MimakiDevParmsUJV.h"
#include "driver/MimakiBaseDriver.h"
#include "driver/MimakiCJV300DriverPLUS.h"
#include "driver/MimakiCJV_JV330Driver.h"
#include "host/PrintEnv.h"
#include "driver/MimakiJFX200EXDriver.h"
#include "driver/MimakiMRLIIIDriver.h"
#include "driver/MimakiDTFDriver.h"
#include "driver/MimakiJV58CSpecial.h"
#include "driver/MimakiUCJV300Driver.h"
#include "driver/MimakiUJV100Driver.h"
#include "driver/MimakiUJF7151PlusIIDriver.h"
#include "layers/MimakiJFX200WhiteDriver.h"
#include "layers/MimakiJVWhiteDriver.h"
#include "layers/MimakiTS300PDriver.h"
#include "layers/MimakiUJF_x042MKIIDriver.h"
#include "layers/MimakiWhiteDriver.h"
#include "layers/MimakiWhiteDriverUJF.h"

namespace mimaki {
namespace {

template <typename T>
CUnivDevParmsBase* MakeParms()
{
    return new T();
}

template <typename T>
CPrinterDriverBase* MakeDriver(CPrintEnv* env, CUnivDevParmsBase* parms)
{
    return new T(env, parms);
}

// Parameter classes.
const ParmsClass kBase{"CMimakiDevParmsBase", &MakeParms<CMimakiDevParmsBase>};
const ParmsClass kDP1{"DEVPARM1_CLASS", &MakeParms<DEVPARM1_CLASS>};
const ParmsClass kDP2{"DEVPARM2_CLASS", &MakeParms<DEVPARM2_CLASS>};
const ParmsClass kDP3{"DEVPARM3_CLASS", &MakeParms<DEVPARM3_CLASS>};
const ParmsClass kDP4{"DEVPARM4_CLASS", &MakeParms<DEVPARM4_CLASS>};
const ParmsClass kDP5{"DEVPARM5_CLASS", &MakeParms<DEVPARM5_CLASS>};
const ParmsClass kDP6{"DEVPARM6_CLASS", &MakeParms<DEVPARM6_CLASS>};
const ParmsClass kDP7{"DEVPARM7_CLASS", &MakeParms<DEVPARM7_CLASS>};
const ParmsClass kDP8{"DEVPARM8_CLASS", &MakeParms<DEVPARM8_CLASS>};
const ParmsClass kDP9{"DEVPARM9_CLASS", &MakeParms<DEVPARM9_CLASS>};
const ParmsClass kDP10{"DEVPARM10_CLASS", &MakeParms<DEVPARM10_CLASS>};
const ParmsClass kDP11{"DEVPARM11_CLASS", &MakeParms<DEVPARM11_CLASS>};
const ParmsClass kDP12{"DEVPARM12_CLASS", &MakeParms<DEVPARM12_CLASS>};
const ParmsClass kDP13{"DEVPARM13_CLASS", &MakeParms<DEVPARM13_CLASS>};
const ParmsClass kDP14{"DEVPARM14_CLASS", &MakeParms<DEVPARM14_CLASS>};
const ParmsClass kDP15{"DEVPARM15_CLASS", &MakeParms<DEVPARM15_CLASS>};
const ParmsClass kDP16{"DEVPARM16_CLASS", &MakeParms<DEVPARM16_CLASS>};
const ParmsClass kDP17{"DEVPARM17_CLASS", &MakeParms<DEVPARM17_CLASS>};
const ParmsClass kTX400{"DEVPARMTX400_CLASS", &MakeParms<DEVPARMTX400_CLASS>};
const ParmsClass kUJF3042{"DEVPARMUJF3042_CLASS", &MakeParms<DEVPARMUJF3042_CLASS>};
const ParmsClass kUJF706{"DEVPARMUJF706_CLASS", &MakeParms<DEVPARMUJF706_CLASS>};
const ParmsClass kJV34{"DEVPARMJV34_CLASS", &MakeParms<DEVPARMJV34_CLASS>};
const ParmsClass kJV400{"DEVPARMJV400_CLASS", &MakeParms<DEVPARMJV400_CLASS>};
const ParmsClass kTS500{"DEVPARMTS500_CLASS", &MakeParms<DEVPARMTS500_CLASS>};
const ParmsClass kDP24{"DEVPARM24_CLASS", &MakeParms<DEVPARM24_CLASS>};
const ParmsClass kJFXMK{"DEVPARMJFXMKSERIES_CLASS", &MakeParms<DEVPARMJFXMKSERIES_CLASS>};
const ParmsClass kJFX500v2{"DEVPARMJFX500_v2_CLASS", &MakeParms<DEVPARMJFX500_v2_CLASS>};
const ParmsClass kSWJ320{"DEVPARMSWJ320_CLASS", &MakeParms<DEVPARMSWJ320_CLASS>};
const ParmsClass kJV300{"DEVPARMJV300_CLASS", &MakeParms<DEVPARMJV300_CLASS>};
const ParmsClass kJFX200{"DEVPARMJFX200_CLASS", &MakeParms<DEVPARMJFX200_CLASS>};
const ParmsClass kCJV150{"DEVPARMCJV150_300_CLASS", &MakeParms<DEVPARMCJV150_300_CLASS>};
const ParmsClass kTS300P{"DEVPARMTS300P_CLASS", &MakeParms<DEVPARMTS300P_CLASS>};
const ParmsClass kTS300PAdv{"DEVPARMTS300P_ADVANCED_CLASS", &MakeParms<DEVPARMTS300P_ADVANCED_CLASS>};
const ParmsClass kSIJ320UV{"DEVPARMSIJ320UV_CLASS", &MakeParms<DEVPARMSIJ320UV_CLASS>};
const ParmsClass kUJV55{"DEVPARMUJV55_CLASS", &MakeParms<DEVPARMUJV55_CLASS>};
const ParmsClass kUJFx042{"DEVPARMUJF_x042MKII_CLASS", &MakeParms<DEVPARMUJF_x042MKII_CLASS>};
const ParmsClass kUJV500{"DEVPARMUJV500_CLASS", &MakeParms<DEVPARMUJV500_CLASS>};
const ParmsClass kUCJV300{"DEVPARMUCJV300_CLASS", &MakeParms<DEVPARMUCJV300_CLASS>};
const ParmsClass kUJF7151{"DEVPARMUJF7151_CLASS", &MakeParms<DEVPARMUJF7151_CLASS>};
const ParmsClass kTS55{"DEVPARMTS55_1800_CLASS", &MakeParms<DEVPARMTS55_1800_CLASS>};
const ParmsClass kTS300PMk2{"DEVPARMTS300P_MKII_CLASS", &MakeParms<DEVPARMTS300P_MKII_CLASS>};
const ParmsClass kCJV300Plus{"DEVPARMCJV300_PLUS_CLASS", &MakeParms<DEVPARMCJV300_PLUS_CLASS>};
const ParmsClass kSWJ320AE{"DEVPARMSWJ_320AE_CLASS", &MakeParms<DEVPARMSWJ_320AE_CLASS>};
const ParmsClass kJFX200EX{"DEVPARMS_JFX200EX_CLASS", &MakeParms<DEVPARMS_JFX200EX_CLASS>};
const ParmsClass kUJV100{"DEVPARMUJV100_CLASS", &MakeParms<DEVPARMUJV100_CLASS>};
const ParmsClass kJV100{"DEVPARMJV100_CLASS", &MakeParms<DEVPARMJV100_CLASS>};
const ParmsClass kTS100{"DEVPARMTS100_1600_CLASS", &MakeParms<DEVPARMTS100_1600_CLASS>};
const ParmsClass kTS330{"DEVPARMTS330_1600_CLASS", &MakeParms<DEVPARMTS330_1600_CLASS>};
const ParmsClass kJV330{"DEVPARMJV330_CLASS", &MakeParms<DEVPARMJV330_CLASS>};
const ParmsClass kCJV330{"DEVPARMCJV330_CLASS", &MakeParms<DEVPARMCJV330_CLASS>};
const ParmsClass kUJF7151p2{"DEVPARMUJF7151plusII_CLASS", &MakeParms<DEVPARMUJF7151plusII_CLASS>};
const ParmsClass kTX330{"DEVPARMTX330_CLASS", &MakeParms<DEVPARMTX330_CLASS>};
const ParmsClass kTxF150{"CDevParmsTxF150", &MakeParms<CDevParmsTxF150>};

// Driver classes.
const DriverClass kLegacy{"CMimakiLegacyBasePrinterDriver", &MakeDriver<CMimakiLegacyBasePrinterDriver>};
const DriverClass kMRLIII{"CMimakiMRLIIIDriver", &MakeDriver<CMimakiMRLIIIDriver>};
const DriverClass kJV58C{"CMimakiJV58CSpecial", &MakeDriver<CMimakiJV58CSpecial>};
const DriverClass kJV400Drv{"CMimakiWhitePrinterDriverJV400", &MakeDriver<CMimakiWhitePrinterDriverJV400>};
const DriverClass kTS3Drv{"CMimakiTS3Driver", &MakeDriver<CMimakiTS3Driver>};
const DriverClass kJFX500Drv{"CMimakiWhitePrinterDriverJFX500Base", &MakeDriver<CMimakiWhitePrinterDriverJFX500Base>};
const DriverClass kSWJ320Drv{"CMimakiSWJ320Driver", &MakeDriver<CMimakiSWJ320Driver>};
const DriverClass kJV300Drv{"CMimakiWhitePrinterDriverJV300", &MakeDriver<CMimakiWhitePrinterDriverJV300>};
const DriverClass kJFX200Drv{"CMimakiWhitePrinterDriverJFX200", &MakeDriver<CMimakiWhitePrinterDriverJFX200>};
const DriverClass kTS300PDrv{"CMimakiWhitePrinterDriverTS300P", &MakeDriver<CMimakiWhitePrinterDriverTS300P>};
const DriverClass kTS300PSlotDrv{"CMimakiWhitePrinterDriverTS300PSlotBased",
                                  &MakeDriver<CMimakiWhitePrinterDriverTS300PSlotBased>};
const DriverClass kUJFx042Drv{"CMimakiWhitePrinterDriverUJF_x042MKII", &MakeDriver<CMimakiWhitePrinterDriverUJF_x042MKII>};
const DriverClass kUCJV300Drv{"CMimakiDriverUCJV300", &MakeDriver<CMimakiDriverUCJV300>};
const DriverClass kUJF7151Drv{"CMimakiWhitePrinterDriverUJF7151", &MakeDriver<CMimakiWhitePrinterDriverUJF7151>};
const DriverClass kCJV300PlusDrv{"CMimakiPrnDrvCJV300PLUS", &MakeDriver<CMimakiPrnDrvCJV300PLUS>};
const DriverClass kSWJ320EADrv{"CMimakiSWJ320EADriver", &MakeDriver<CMimakiSWJ320EADriver>};
const DriverClass kJFX200EXDrv{"CMimakiJFX200EXDriver", &MakeDriver<CMimakiJFX200EXDriver>};
const DriverClass kUJV100Drv{"CMimakiPrinterDriverUJV100", &MakeDriver<CMimakiPrinterDriverUJV100>};
const DriverClass kCJV330Drv{"CMimakiPrnDrvCJV330", &MakeDriver<CMimakiPrnDrvCJV330>};
const DriverClass kUJF7151p2Drv{"CMimakiPrinterDriverUJF7151PlusII", &MakeDriver<CMimakiPrinterDriverUJF7151PlusII>};
const DriverClass kDTFDrv{"CMimakiDTFDriver", &MakeDriver<CMimakiDTFDriver>};
const DriverClass kJV3WhiteDrv{"CMimakiJV3WhiteDriver", &MakeDriver<CMimakiJV3WhiteDriver>};
const DriverClass k604Drv{"CMimaki604SpecialDriver", &MakeDriver<CMimaki604SpecialDriver>};
const DriverClass kWhiteDrv{"CMimakiWhitePrinterDriver", &MakeDriver<CMimakiWhitePrinterDriver>};
const DriverClass kUJF_WW{"CMimakiWhitePrinterDriverUJF_WW", &MakeDriver<CMimakiWhitePrinterDriverUJF_WW>};
const DriverClass kUJF_VV{"CMimakiWhitePrinterDriverUJF_VV", &MakeDriver<CMimakiWhitePrinterDriverUJF_VV>};
const DriverClass kUJF_WV{"CMimakiWhitePrinterDriverUJF_WV", &MakeDriver<CMimakiWhitePrinterDriverUJF_WV>};
const DriverClass kUJF_PP{"CMimakiWhitePrinterDriverUJF_PP", &MakeDriver<CMimakiWhitePrinterDriverUJF_PP>};
const DriverClass kUJF_WP{"CMimakiWhitePrinterDriverUJF_WP", &MakeDriver<CMimakiWhitePrinterDriverUJF_WP>};
const DriverClass kUJF_VP{"CMimakiWhitePrinterDriverUJF_VP", &MakeDriver<CMimakiWhitePrinterDriverUJF_VP>};
const DriverClass kUJF_WVP{"CMimakiWhitePrinterDriverUJF_WVP", &MakeDriver<CMimakiWhitePrinterDriverUJF_WVP>};

const DriverClass* const kUJFVariants[] = {&kUJF_WW, &kUJF_VV, &kUJF_WV, &kUJF_PP, &kUJF_WP, &kUJF_VP, &kUJF_WVP};

constexpr Rule F = Rule::Fixed;

const ModelRow kRows[] = {
    {1, &kDP1, nullptr, &kLegacy, nullptr, F, "model 1"},
    {2, &kDP2, nullptr, &kLegacy, nullptr, F, "model 2"},
    {3, &kDP3, nullptr, &kLegacy, nullptr, F, "model 3"},
    {4, &kDP4, nullptr, &kLegacy, nullptr, F, "model 4"},
    {5, &kDP5, nullptr, &kLegacy, nullptr, F, "model 5"},
    {6, &kDP6, nullptr, &kLegacy, nullptr, F, "model 6"},
    {7, &kDP7, nullptr, &kLegacy, nullptr, F, "model 7"},
    {8, &kDP8, nullptr, &kLegacy, nullptr, F, "model 8"},
    {9, &kDP9, nullptr, &kLegacy, nullptr, F, "model 9"},
    {10, &kDP10, nullptr, &kLegacy, nullptr, F, "model 10"},
    {11, &kDP11, nullptr, &kLegacy, nullptr, F, "model 11"},
    {12, &kDP12, nullptr, &kLegacy, nullptr, F, "model 12"},
    {13, &kDP13, nullptr, &kMRLIII, &kJV58C, Rule::JV58CSpecial, "model 13"},
    {14, &kDP14, nullptr, &kLegacy, nullptr, F, "model 14"},
    {15, &kDP15, nullptr, &kMRLIII, nullptr, F, "model 15"},
    {16, &kDP16, nullptr, &kLegacy, nullptr, F, "model 16"},
    {17, &kDP17, nullptr, &kLegacy, nullptr, F, "model 17"},
    {18, &kTX400, nullptr, &kMRLIII, nullptr, F, "TX400"},
    {19, &kUJF3042, nullptr, nullptr, nullptr, Rule::UJFPrinterTyp, "UJF3042"},
    {20, &kUJF706, nullptr, nullptr, nullptr, Rule::UJFPrinterTyp, "UJF706"},
    {21, &kJV34, nullptr, &kMRLIII, nullptr, F, "JV34"},
    {22, &kJV400, nullptr, &kJV400Drv, nullptr, F, "JV400"},
    {23, &kTS500, nullptr, &kLegacy, nullptr, F, "TS500"},
    {24, &kDP24, nullptr, &kTS3Drv, nullptr, F, "TS3"},
    {25, &kJFX500v2, &kJFXMK, &kJFX500Drv, nullptr, Rule::UJFMkSeries, "JFX500"},
    {26, &kSWJ320, nullptr, &kSWJ320Drv, nullptr, F, "SWJ320"},
    {27, &kJV300, nullptr, &kJV300Drv, nullptr, F, "JV300"},
    {28, &kJFX200, nullptr, &kJFX200Drv, nullptr, F, "JFX200"},
    {29, &kCJV150, nullptr, &kJV300Drv, nullptr, F, "CJV150 / CJV300"},
    {30, &kTS300P, nullptr, &kTS300PDrv, &kTS300PSlotDrv, Rule::SlotBased, "TS300P"},
    {31, &kTS300PAdv, nullptr, &kTS300PDrv, &kTS300PSlotDrv, Rule::SlotBased, "TS300P advanced"},
    {32, &kTS500, nullptr, &kLegacy, nullptr, F, "TS500 (second UID)"},
    {33, &kSIJ320UV, nullptr, &kTS300PDrv, nullptr, F, "SIJ320UV"},
    {34, &kUJV55, nullptr, &kTS300PDrv, nullptr, F, "UJV55"},
    {35, &kUJFx042, nullptr, &kUJFx042Drv, nullptr, F, "UJF x042 MKII"},
    {36, &kJFXMK, nullptr, &kLegacy, nullptr, F, "JFX MK series"},
    {37, &kUJV500, nullptr, &kTS300PDrv, nullptr, F, "UJV500"},
    {38, &kUCJV300, nullptr, &kUCJV300Drv, nullptr, F, "UCJV300"},
    {39, &kUJF7151, nullptr, &kUJF7151Drv, nullptr, F, "UJF7151"},
    {40, &kTS55, nullptr, &kTS300PDrv, &kTS300PSlotDrv, Rule::SlotBased, "TS55 1800"},
    {41, &kJFX500v2, &kJFXMK, &kJFX500Drv, nullptr, Rule::UJFMkSeries, "JFX500 (second UID)"},
    {42, &kTS300PMk2, nullptr, &kTS300PDrv, &kTS300PSlotDrv, Rule::SlotBased, "TS300P MKII"},
    {43, &kCJV300Plus, nullptr, &kCJV300PlusDrv, nullptr, F, "CJV300 PLUS"},
    {44, &kCJV300Plus, nullptr, &kCJV300PlusDrv, nullptr, F, "CJV300 PLUS (second UID)"},
    {45, &kSWJ320AE, nullptr, &kSWJ320EADrv, nullptr, F, "SWJ320EA"},
    {46, &kJFX200EX, nullptr, &kJFX200EXDrv, nullptr, F, "JFX200EX"},
    {47, &kUJV100, nullptr, &kUJV100Drv, nullptr, F, "UJV100"},
    {48, &kJV100, nullptr, &kTS300PDrv, &kTS300PSlotDrv, Rule::SlotBased, "JV100"},
    {49, &kTS100, nullptr, &kTS300PDrv, &kTS300PSlotDrv, Rule::SlotBased, "TS100 1600"},
    {50, &kTS330, nullptr, &kTS300PSlotDrv, nullptr, F, "TS330 1600"},
    {51, &kJV330, nullptr, &kCJV330Drv, nullptr, F, "JV330"},
    {52, &kCJV330, nullptr, &kCJV330Drv, nullptr, F, "CJV330"},
    {53, &kUJF7151p2, nullptr, &kUJF7151p2Drv, nullptr, F, "UJF7151 plus II"},
    {54, &kTxF150, nullptr, &kDTFDrv, nullptr, Rule::DTF, "TxF150 (DTF)"},
    {56, &kTX330, nullptr, &kTS300PDrv, &kTS300PSlotDrv, Rule::SlotBased, "TX330"},
};

const ParmsClass* const kAllParms[] = {
    &kBase,    &kDP1,      &kDP2,      &kDP3,      &kDP4,        &kDP5,       &kDP6,     &kDP7,
    &kDP8,     &kDP9,      &kDP10,     &kDP11,     &kDP12,       &kDP13,      &kDP14,    &kDP15,
    &kDP16,    &kDP17,     &kTX400,    &kUJF3042,  &kUJF706,     &kJV34,      &kJV400,   &kTS500,
    &kDP24,    &kJFXMK,    &kJFX500v2, &kSWJ320,   &kJV300,      &kJFX200,    &kCJV150,  &kTS300P,
    &kTS300PAdv, &kSIJ320UV, &kUJV55,  &kUJFx042,  &kUJV500,     &kUCJV300,   &kUJF7151, &kTS55,
    &kTS300PMk2, &kCJV300Plus, &kSWJ320AE, &kJFX200EX, &kUJV100, &kJV100,     &kTS100,   &kTS330,
    &kJV330,   &kCJV330,   &kUJF7151p2, &kTX330,   &kTxF150,
};

// UIDs 0, 55 and 57..255.
const ModelRow kNoModel{-1, &kBase, nullptr, &kLegacy, nullptr, F, "none"};

} // namespace

std::span<const ModelRow> ModelTable()
{
    return kRows;
}

const ModelRow& FindModel(int uid)
{
    uid &= 255;
    for (const ModelRow& row : kRows)
        if (row.uid == uid)
            return row;
    return kNoModel;
}

std::span<const ParmsClass* const> ParmsClasses()
{
    return kAllParms;
}

const ParmsClass* SelectParms(const ModelRow& row, const CPrintEnv& env)
{
    if (row.rule == Rule::UJFMkSeries && env.GetInt(L"UJFMkSeries", 0) != 0)
        return row.parmsAlt;
    return row.parms;
}

const parms::KeyTable* KeyTableOf(CUnivDevParmsBase* parms)
{
    if (auto* mimakiParms = dynamic_cast<CMimakiDevParmsBase*>(parms))
        return mimakiParms->Table();
    if (dynamic_cast<CDevParmsTxF150*>(parms))
        return &CDevParmsTxF150::Table();
    return nullptr;
}

std::span<const DriverClass* const> UJFLayerVariants()
{
    return kUJFVariants;
}

const DriverClass& JV3WhiteDriver() { return kJV3WhiteDrv; }
const DriverClass& Special604Driver() { return k604Drv; }
const DriverClass& WhiteDriver() { return kWhiteDrv; }

} // namespace mimaki
