// Pages of the MRL III roll and hybrid models: TS300P (plain, advanced,
// MkII), TX330, TS55, TS100, TS330, JV100, JV300, JV400, SIJ320UV, UJV55,
// UJV500, UJV100, UCJV300, CJV300 PLUS, JV330/CJV330, SWJ320EA and TxF150.
// Those that work from print conditions list the printer's print modes.
#include "ui/PagesCommon.h"
#include "ui/PagesFamilies.h"

namespace mimaki::ui {

using namespace common;

namespace {

constexpr Item kFeedMode[] = {{{0, "Printer setting"}, 0}, {{0, "Set here"}, 1}};
constexpr Item kWhiteModeV2[] = {{{0, "Off"}, 0}, {{0, "Underprint"}, 1}, {{0, "Overprint"}, 2}, {{0, "Sandwich"}, 3}};

#define PRINT_MODE                                                                                           \
    Control{.id = 1200, .kind = Ctl::PrintMode, .caption = {0, "Print mode"}},                              \
        RetrieveButton(1256, {0, "Retrieve print modes from printer"}, Act::RetrievePrintModes),             \
        RetrieveButton(1257, {0, "Retrieve dot volumes from printer"}, Act::RetrieveDotVolumes)
#define TS_CORE(dot)                                                                                         \
    PRINT_MODE, GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"m_nDirection", kDirection).In(1001), \
        ComboData(1198, {0, "Passes"}, L"m_nPass", kPasses).Source(Items::ModePasses), ComboData(1016, {0, "Dot size"}, dot, kDotCodes),   \
        ComboIndex(1130, {0, "Media feed correction"}, L"m_nMediaFeedMode", kFeedMode),                         \
        Number(1034, {}, L"m_nMediaFeedValue", -255, 255).Enable(ControlIs(1130, 1)),                            \
        Number(1031, {0, "Ink layers"}, L"m_nInkLayers", 1, 9)
#define TS_FEED_DRY                                                                                          \
    ComboIndex(1122, {0, "Feed speed"}, L"m_nFeedSpeedMode", kFeedMode),                                     \
        Number(1123, {}, L"m_nFeedSpeedValue", 10, 100).Enable(ControlIs(1122, 1)).Unit("%"),                 \
        ComboIndex(1131, {0, "Dry time per scan"}, L"m_nDryTimeMode", kFeedMode),                             \
        Number(1032, {}, L"m_dDryTimeValue100Msec", 0, 999).Enable(ControlIs(1131, 1)).Unit("0.1 s"),           \
        ComboIndex(1133, {0, "Dry time at job end"}, L"m_nDryTimeModeJob", kFeedMode),                        \
        Number(1033, {}, L"m_dDryTimeValueJob", 0, 999).Enable(ControlIs(1133, 1)).Unit("s")
#define MARGINS                                                                                              \
    Check(1134, {0, "Left margin"}, L"m_bSetLeftMargin"), Number(1135, {}, L"m_nLeftMargin", 0, 999).When(1134).Unit("mm"), \
        Check(1136, {0, "Right margin"}, L"m_bSetRightMargin"),                                             \
        Number(1137, {}, L"m_nRightMargin", 0, 999).When(1136).Unit("mm")
#define HEATER_MODE(ctl, edit, caption, mode, value)                                                          \
    ComboIndex(ctl, {0, caption}, mode, kHeaterMode).In(1047).Show(kHeaters),                                \
        Number(edit, {}, value, 20, 70).Enable(ControlIs(ctl, 1)).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters)

constexpr PrintModeFields Fields(const wchar_t* dot)
{
    return {.xDpi = L"nXDpi", .yDpi = L"nYDpi", .setNumber = L"nPrintModeSetNumber", .hq = L"nHQ",
            .actionLarge = L"nActionCategoryLarge", .actionSmall = L"nActionCategorySmall",
            .printModeId = L"nPrintModeId", .waveShape = L"m_nWaveShape", .dotSize = dot,
            .dotVolumes = L"strDotVolumesData", .printModeData = L"strPrintModeData"};
}
constexpr Queries kCodeQueries{.dotControl = 1016, .variableValue = 1, .dotSizeAnswers = kDotCodeAnswers};

const Control kTS300P[] = {
    GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"m_nDirection", kDirection).In(1001),
    ComboData(1198, {0, "Passes"}, L"m_nPass", kPasses), ComboData(1016, {0, "Dot size"}, L"m_nDotSize", kDotSize4),
    ComboIndex(1130, {0, "Media feed correction"}, L"m_nMediaFeedMode", kFeedMode),
    Number(1034, {}, L"m_nMediaFeedValue", -255, 255).Enable(ControlIs(1130, 1)),
    Number(1031, {0, "Ink layers"}, L"m_nInkLayers", 1, 9), TS_FEED_DRY, MARGINS,
    ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"), Check(1053, {0, "Cut media after printing"}, L"bCut"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "drying fan", L"m_nDryingFanHeaterMode", L"m_nDryingFanHeaterValue"),
    HEATER_MODE(1049, 1036, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"m_nAfterHeaterMode", L"m_nAfterHeaterValue"),
};
const PageDesc kDescTS300P{"CMimakiPageTS300P", "DEVPARMTS300P_CLASS", 22052, Base::Plain, kTS300P,
                           {.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers}};

const Control kTS300PAdv[] = {
    TS_CORE(L"m_nDotSizeV2"), TS_FEED_DRY, MARGINS,
    ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Check(1139, {0, "High-speed transfer"}, L"m_bHighSpeedTransfer").Show(ModelSet(L"bUseHighSpeedTransfer")),
    Check(1147, {0, "Head cleaning between jobs"}, L"m_bHeadCleaning").Show(ModelSet(L"bUseHeadCleaning")),
    ComboIndex(1127, {0, "Refresh"}, L"m_nRefreshLevel", kRefresh),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    Check(1053, {0, "Cut media after printing"}, L"bCut").Show(ModelSet(L"bUseCut", 1)),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "print", L"m_nPrintHeaterModeV2", L"m_nPrintHeaterValueV2"),
    HEATER_MODE(1049, 1036, "post 1", L"m_nPost1HeaterMode", L"m_nPost1HeaterValue"),
    HEATER_MODE(1050, 1037, "post 2", L"m_nPost2HeaterMode", L"m_nPost2HeaterValue"),
    HEATER_MODE(1051, 1038, "post 3", L"m_nPost3HeaterMode", L"m_nPost3HeaterValue"),
    HEATER_MODE(1052, 1039, "post 4", L"m_nPost4HeaterMode", L"m_nPost4HeaterValue"),
};
const PageDesc kDescTS300PAdv{"CMimakiPageTS300PAdvanced", "DEVPARMTS300P_ADVANCED_CLASS", 22053, Base::Retrieve,
                              kTS300PAdv, kCodeQueries, 22058, L"nPrinterTyp", 4, {}, Fields(L"m_nDotSizeV2")};

// TS55, TS100, TS330, JV100: the core with top blower and head selection.
const Control kTS55[] = {
    TS_CORE(L"m_nDotSizeV2"), TS_FEED_DRY, MARGINS, ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"), Check(1053, {0, "Cut media after printing"}, L"bCut"),
    ComboData(1126, {0, "Head selection"}, L"nHeadSelection", kHeadSelection),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"nPreHeaterMode", L"nPreHeaterValue"),
    HEATER_MODE(1049, 1036, "platen", L"nPlatenHeaterMode", L"nPlatenHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"nAfterHeaterMode", L"nAfterHeaterValue"),
    Number(1039, {0, "OFF time"}, L"nOFFTime", -2, 90).In(1047).Unit("min").Show(kHeaters),
};
const PageDesc kDescTS55{"CMimakiPageTS55_1800", "DEVPARMTS55_1800_CLASS", 22066, Base::Retrieve, kTS55,
                         kCodeQueries, 0, nullptr, 0, {}, Fields(L"m_nDotSizeV2")};
const Control kJV100[] = {
    TS_CORE(L"m_nDotSizeV2"), TS_FEED_DRY, MARGINS, ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Number(1148, {0, "Top blower"}, L"m_nTopBlower", -1, 3).Show(ModelSet(L"bUseTopBlower")),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    Check(1053, {0, "Cut media after printing"}, L"bCut").Show(ModelSet(L"bUseCut", 1)),
    ComboData(1126, {0, "Head selection"}, L"nHeadSelection", kHeadSelection),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"nPreHeaterMode", L"nPreHeaterValue"),
    HEATER_MODE(1049, 1036, "platen", L"nPlatenHeaterMode", L"nPlatenHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"nAfterHeaterMode", L"nAfterHeaterValue"),
    Number(1039, {0, "OFF time"}, L"nOFFTime", -2, 90).In(1047).Unit("min").Show(kHeaters),
};
const PageDesc kDescJV100{"CMimakiPageJV100", "DEVPARMJV100_CLASS", 22074, Base::Retrieve, kJV100, kCodeQueries, 0,
                          nullptr, 0, {}, Fields(L"m_nDotSizeV2")};
const Control kTS100[] = {
    TS_CORE(L"m_nDotSizeV2"), TS_FEED_DRY, MARGINS, ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Number(1148, {0, "Top blower"}, L"m_nTopBlower", -1, 3).Show(ModelSet(L"bUseTopBlower")),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    Check(1053, {0, "Cut media after printing"}, L"bCut").Show(ModelSet(L"bUseCut", 1)),
    ComboData(1126, {0, "Head selection"}, L"nHeadSelection", kHeadSelection),
};
const PageDesc kDescTS100{"CMimakiPageTS100_1600", "DEVPARMTS100_1600_CLASS", 22075, Base::Retrieve, kTS100,
                          kCodeQueries, 0, nullptr, 0, {}, Fields(L"m_nDotSizeV2")};
const Control kTS330[] = {
    TS_CORE(L"m_nDotSizeV2"), TS_FEED_DRY, MARGINS, ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Number(1148, {0, "Top blower"}, L"m_nTopBlower", -1, 3).Show(ModelSet(L"bUseTopBlower")),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    Check(1053, {0, "Cut media after printing"}, L"bCut").Show(ModelSet(L"bUseCut", 1)),
    ComboData(1126, {0, "Head selection"}, L"nHeadSelection", kHeadSelection),
    Check(1059, {0, "High Speed Processing"}, L"m_bHighSpeed"),
    Check(1149, {0, "Power off after the job"}, L"bPowerOff"), Number(1150, {}, L"nPowerOff", 0, 999).When(1149).Unit("min"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    Number(1037, {0, "post heater"}, L"nPostHeater", -1, 70).In(1047).Show(kHeaters),
    Number(1039, {0, "OFF time"}, L"nOFFTime", -1, 90).In(1047).Unit("min").Show(kHeaters),
};
const PageDesc kDescTS330{"CMimakiPageTS330_1600", "DEVPARMTS330_1600_CLASS", 22076, Base::Retrieve, kTS330,
                          kCodeQueries, 0, nullptr, 0, {}, Fields(L"m_nDotSizeV2")};
const Control kMk2[] = {
    TS_CORE(L"m_nDotSizeV2"), TS_FEED_DRY, MARGINS, ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"m_nAfterHeaterMode", L"m_nAfterHeaterValue"),
};
const PageDesc kDescMk2{"CMimakiPageTS300PMKII", "DEVPARMTS300P_MKII_CLASS", 22067, Base::Retrieve, kMk2,
                        kCodeQueries, 0, nullptr, 0, {}, Fields(L"m_nDotSizeV2")};
const Control kTx330[] = {
    TS_CORE(L"m_nDotSizeV2"), TS_FEED_DRY, MARGINS, ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    ComboData(1126, {0, "Head selection"}, L"nHeadSelection", kHeadSelection).Show(ModelSet(L"HeadSelectionEnable")),
    Number(1148, {0, "Top blower"}, L"nTopBlower", -1, 3),
    ComboIndex(1149, {0, "Power off"}, L"nPowerOffMode", kFeedMode), Number(1150, {}, L"nPowerOffMinutes", 0, 999).Enable(ControlIs(1149, 1)).Unit("min"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"m_nAfterHeaterMode", L"m_nAfterHeaterValue"),
};
const PageDesc kDescTx330{"CMimakiPageTx330", "DEVPARMTX330_CLASS", 22080, Base::Retrieve, kTx330, kCodeQueries, 0,
                          nullptr, 0, {}, Fields(L"m_nDotSizeV2")};

// UV and white roll models.
#define UJV_CORE(dot, dotItems)                                                                              \
    GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"m_nDirection", kDirection).In(1001),            \
        ComboData(1198, {0, "Passes"}, L"m_nPass", kPasses).Source(Items::ModePasses), ComboData(1016, {0, "Dot size"}, dot, dotItems),  \
        ComboIndex(1130, {0, "Media feed correction"}, L"m_nMediaFeedMode", kFeedMode),                         \
        Number(1034, {}, L"m_nMediaFeedValue", -255, 255).Enable(ControlIs(1130, 1)),                            \
        Number(1031, {0, "Ink layers"}, L"m_nInkLayers", 0, 9), MARGINS
const Control kJV300[] = {
    UJV_CORE(L"m_nDotSize", kDotSize4), TS_FEED_DRY,
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"), Check(1053, {0, "Cut media after printing"}, L"bCut"),
    ComboData(1126, {0, "Head selection"}, L"m_nHeadSelection", kHeadSelection),
    ComboIndex(1115, {0, "White mode"}, L"m_nWhiteModeV2", kWhiteModeV2).Show(ModelSet(L"JV300UseWhite")),
    Number(1116, {0, "White level"}, L"m_nWhiteLevel", 0, 9).Show(ModelSet(L"JV300UseWhite")),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"m_nPreHeaterMode", L"m_nPreHeaterValue"),
    HEATER_MODE(1049, 1036, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"m_nAfterHeaterMode", L"m_nAfterHeaterValue"),
};
const PageDesc kDescJV300{"CMimakiPageJV300", "DEVPARMJV300_CLASS", 22049, Base::Plain, kJV300,
                          {.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers}};
const Control kJV400[] = {
    UJV_CORE(L"m_nDotSize", kDotSize4),
    ComboIndex(1122, {0, "Feed speed"}, L"m_nFeedSpeedMode", kFeedMode),
    Number(1123, {}, L"m_nFeedSpeedValue", 10, 100).Enable(ControlIs(1122, 1)).Unit("%"),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    Check(1140, {0, "Bands reduction"}, L"m_bSetBandsReduction"),
    ComboIndex(1115, {0, "White mode"}, L"m_nWhiteModeV2", kWhiteModeV2),
    Number(1116, {0, "White level"}, L"m_nWhiteLevel", 0, 9),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"m_nPreHeaterMode", L"m_nPreHeaterValue"),
    HEATER_MODE(1049, 1036, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"m_nAfterHeaterMode", L"m_nAfterHeaterValue"),
    HEATER_MODE(1051, 1038, "dryer", L"m_nDryHeaterMode", L"m_nDryHeaterValue"),
};
const PageDesc kDescJV400{"CMimakiPageJV400", "DEVPARMJV400_CLASS", 22042, Base::Plain, kJV400,
                          {.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers}};
const Control kSIJ[] = {
    PRINT_MODE, UJV_CORE(L"m_nDotSizeV2", kDotCodes), ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    ComboIndex(1127, {0, "Refresh"}, L"m_nRefreshLevel", kRefresh),
    ComboIndex(1141, {0, "UV light"}, L"m_nUVLightStrengthMode", kFeedMode),
    Number(1142, {}, L"m_nUVLightStrengthValue", 0, 100).Enable(ControlIs(1141, 1)).Unit("%"),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"m_nPreHeaterMode", L"m_nPreHeaterValue"),
};
const PageDesc kDescSIJ{"CMimakiPageSIJ320UV", "DEVPARMSIJ320UV_CLASS", 22055, Base::Retrieve, kSIJ, kCodeQueries, 0,
                        nullptr, 0, {}, Fields(L"m_nDotSizeV2")};
const Control kUJV55[] = {
    PRINT_MODE, UJV_CORE(L"m_nDotSizeV2", kDotCodes), ComboData(1138, {0, "Vacuum"}, L"m_nVacuum", kVacuum),
    ComboIndex(1127, {0, "Refresh"}, L"m_nRefreshLevel", kRefresh),
    ComboIndex(1115, {0, "White mode"}, L"m_eWhiteMode", kWhiteModeV2),
    Number(1116, {0, "Layer offset"}, L"nLayerOffset", 0, 9999).Unit("rows"),
    Check(1143, {0, "High density"}, L"m_bHighDensity"),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"m_nPreHeaterMode", L"m_nPreHeaterValue"),
};
const PageDesc kDescUJV55{"CMimakiPageUJV55", "DEVPARMUJV55_CLASS", 22056, Base::Retrieve, kUJV55, kCodeQueries, 0,
                          nullptr, 0, {}, Fields(L"m_nDotSizeV2")};
const Control kUJV500[] = {
    UJV_CORE(L"m_nDotSize", kDotSize4),
    ComboIndex(1122, {0, "Feed speed"}, L"m_nFeedSpeedMode", kFeedMode),
    Number(1123, {}, L"m_nFeedSpeedValue", 10, 100).Enable(ControlIs(1122, 1)).Unit("%"),
    ComboIndex(1131, {0, "Dry time per scan"}, L"m_nDryTimeMode", kFeedMode),
    Number(1032, {}, L"m_dDryTimeValue100Msec", 0, 999).Enable(ControlIs(1131, 1)).Unit("0.1 s"),
    ComboIndex(1115, {0, "White mode"}, L"m_eWhiteMode", kWhiteModeV2).Show(ModelSet(L"UseWhite")),
    Number(1116, {0, "Layer offset"}, L"nLayerOffset", 0, 9999).Unit("rows"),
    ComboIndex(1127, {0, "Refresh"}, L"m_nRefreshLevel", kRefresh),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    Number(1160, {0, "UV power left outward"}, L"m_nUVPowerLeftOutward", 0, 100).Unit("%"),
    Number(1161, {0, "UV power left return"}, L"m_nUVPowerLeftReturn", 0, 100).Unit("%"),
    Number(1162, {0, "UV power right outward"}, L"m_nUVPowerRightOutward", 0, 100).Unit("%"),
    Number(1163, {0, "UV power right return"}, L"m_nUVPowerRightReturn", 0, 100).Unit("%"),
    Check(1164, {0, "Post-cure lamp 1"}, L"m_bPostCureLamp1On"), Check(1165, {0, "Post-cure lamp 2"}, L"m_bPostCureLamp2On"),
    Check(1166, {0, "Post-cure lamp 3"}, L"m_bPostCureLamp3On"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"m_nPreHeaterMode", L"m_nPreHeaterValue"),
    HEATER_MODE(1049, 1036, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"m_nAfterHeaterMode", L"m_nAfterHeaterValue"),
};
const PageDesc kDescUJV500{"CMimakiPageUJV500", "DEVPARMUJV500_CLASS", 22060, Base::Plain, kUJV500,
                           {.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers}};
const Control kUJV100[] = {
    PRINT_MODE, GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"m_nDirection", kDirection).In(1001),
    ComboData(1198, {0, "Passes"}, L"m_nPass", kPasses), ComboData(1016, {0, "Dot size"}, L"m_nDotSize", kDotSize4),
    ComboIndex(1130, {0, "Media feed correction"}, L"m_nMediaFeedMode", kFeedMode),
    Number(1034, {}, L"m_nMediaFeedValue", -255, 255).Enable(ControlIs(1130, 1)), MARGINS,
    ComboIndex(1131, {0, "Dry time per scan"}, L"m_nDryTimeMode", kFeedMode),
    Number(1032, {}, L"m_nDryTimeValue100Msec", 0, 999).Enable(ControlIs(1131, 1)).Unit("0.1 s"),
    ComboIndex(1133, {0, "Dry time at job end"}, L"m_nDryTimeJobMode", kFeedMode),
    Number(1033, {}, L"m_nDryTimeJobSec", 0, 999).Enable(ControlIs(1133, 1)).Unit("s"),
    ComboIndex(1115, {0, "Printing way"}, L"m_nPrintingWay", kWhiteModeV2),
    Check(1053, {0, "Cut media after printing"}, L"m_bAutoCutting"),
    Check(1143, {0, "Back to origin after the job"}, L"m_bBack2Origin"),
    Check(1144, {0, "Media loosening"}, L"m_bMediaLoosening"),
};
const PageDesc kDescUJV100{"CMimakiPageUJV100", "DEVPARMUJV100_CLASS", 22073, Base::Retrieve, kUJV100,
                           {.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers}, 0, nullptr, 0,
                           {}, {.dotVolumes = L"strDotVolumesData", .printModeData = L"strPrintModeData"}};
const Control kUCJV300[] = {
    PRINT_MODE, GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"nDirection", kDirection).In(1001),
    ComboData(1198, {0, "Passes"}, L"nPass", kPasses).Source(Items::ModePasses), ComboData(1016, {0, "Dot size"}, L"nDotSize", kDotCodes),
    Number(1031, {0, "Ink layers"}, L"nInkLayers", 1, 9),
    Check(1045, {0, "Media Feed Correction"}, L"bSendFeedCorrection"),
    Number(1034, {}, L"nFeedCorrection", -255, 255).When(1045),
    Check(1043, {0, "&Dry Time per Scan"}, L"bSendDryTimeScan"), Number(1032, {}, L"nDryTimeScan", 0, 999).When(1043),
    Check(1044, {0, "Dry &Time before Cutting"}, L"bSendDryTimeEnd"), Number(1033, {}, L"nDryTimeEnd", 0, 999).When(1044),
    ComboIndex(1115, {0, "White order"}, L"eWhiteOrder", kWhiteModeV2),
    Number(1116, {0, "Layer offset"}, L"nLayerOffset", 0, 9999).Unit("rows"),
    Check(1053, {0, "Cut media after printing"}, L"bCut"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    Check(1048, {0, "pre"}, L"m_bPreHeaters").In(1047).Show(kHeaters),
    Number(1035, {}, L"m_nPreHeaters", 20, 50).When(1048).In(1047).Show(kHeaters),
    Check(1049, {0, "print"}, L"m_bPrintHeaters").In(1047).Show(kHeaters),
    Number(1036, {}, L"m_nPrintHeaters", 20, 50).When(1049).In(1047).Show(kHeaters),
    Check(1050, {0, "after"}, L"m_bAfterHeaters").In(1047).Show(kHeaters),
    Number(1037, {}, L"m_nAfterHeaters", 20, 50).When(1050).In(1047).Show(kHeaters),
};
const PageDesc kDescUCJV300{"CMimakiPageUCJV300", "DEVPARMUCJV300_CLASS", 22063, Base::Retrieve, kUCJV300,
                            {.dotControl = 1016, .variableValue = 1, .dotSizeAnswers = kDotCodeAnswers}, 22061,
                            L"nPrinterTyp", 1, {}, Fields(L"nDotSize")};

// CJV300 PLUS and JV330/CJV330: heaters, vacuum, blower, feed, cut.
#define CJV_COMMON                                                                                           \
    PRINT_MODE, ComboData(1016, {0, "Dot size"}, L"m_nDotSize", kDotSize4),                                  \
        ComboData(1126, {0, "Head selection"}, L"m_nHeadsSelection", kHeadSelection),                        \
        Check(1143, {0, "Back to origin between layers"}, L"m_nBackToOrigin"),                              \
        Check(1138, {0, "Vacuum"}, L"m_bVacuumStrength"), Number(1139, {}, L"m_nVacuumStrength", 0, 3).When(1138), \
        Check(1148, {0, "Top blower"}, L"m_bTopBlowerStrength"), Number(1149, {}, L"m_nTopBlowerStrength", 0, 3).When(1148), \
        Check(1045, {0, "Media Feed Correction"}, L"m_bFeedCorrection"),                                    \
        Number(1034, {}, L"m_nFeedCorrection", -255, 255).When(1045),                                        \
        Check(1122, {0, "Feed speed"}, L"m_bFeedSpeed"), Number(1123, {}, L"m_nFeedSpeed", 10, 100).When(1122), \
        Check(1053, {0, "Cut media after printing"}, L"m_bCutMedia"),                                       \
        GroupBox(1047, {0, "&Heater"}).Show(kHeaters),                                                       \
        Check(1048, {0, "pre"}, L"m_bPreHeatersOn").In(1047).Show(kHeaters),                                \
        Number(1035, {}, L"m_nPreHeatersOn", 20, 50).When(1048).In(1047).Show(kHeaters),                     \
        Check(1049, {0, "print"}, L"m_bPrintHeatersOn").In(1047).Show(kHeaters),                            \
        Number(1036, {}, L"m_nPrintHeatersOn", 20, 50).When(1049).In(1047).Show(kHeaters),                   \
        Check(1050, {0, "after"}, L"m_bAfterHeatersOn").In(1047).Show(kHeaters),                            \
        Number(1037, {}, L"m_nAfterHeatersOn", 20, 50).When(1050).In(1047).Show(kHeaters)
constexpr PrintModeFields kCjvFields{.dotVolumes = L"strDotVolumesData", .printModeData = L"strPrintModeData"};
const Control kCJV300Plus[] = {
    CJV_COMMON, Check(1150, {0, "Power off after the job"}, L"bPowerOff"),
    Number(1151, {}, L"nPowerOff", 0, 999).When(1150).Unit("min"),
};
const PageDesc kDescCJV300Plus{"CMimakiPageCJV300PLUS", "DEVPARMCJV300_PLUS_CLASS", 22069, Base::Retrieve,
                               kCJV300Plus, {.dotControl = 1016, .variableValue = 1, .variableLevels = 3,
                                             .dotSizeAnswers = kDotSizeAnswers},
                               0, nullptr, 0, {}, kCjvFields};
const Control kCJV330[] = {
    CJV_COMMON, Check(1150, {0, "Power off after the job"}, L"m_bPowerOff"),
    Number(1151, {}, L"m_nPowerOff", -1, 999).When(1150).Unit("min"), MARGINS,
    Check(1059, {0, "High Speed Processing"}, L"m_bHighSpeed"),
};
const PageDesc kDescCJV330{"CMimakiPageCJV330", "DEVPARMJV330_CLASS", 22077, Base::Retrieve, kCJV330,
                           {.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers}, 0, nullptr, 0,
                           {}, kCjvFields};

const Control kSWJ320EA[] = {
    PRINT_MODE, GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"nDirection", kDirection).In(1001),
    ComboData(1016, {0, "Dot size"}, L"nDotSize", kDotCodes),
    Number(1031, {0, "Ink layers"}, L"nInkLayers", 1, 9),
    Check(1045, {0, "Media Feed Correction"}, L"bSendFeedCorrection"),
    Number(1034, {}, L"nFeedCorrection", -255, 255).When(1045),
    ComboData(1138, {0, "Vacuum"}, L"nVacuum", kVacuum),
    ComboIndex(1127, {0, "Refresh"}, L"nRefreshLevel", kRefresh),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"nPreHeaterMode", L"nPreHeaterValue"),
    HEATER_MODE(1049, 1036, "print", L"nPrintHeaterMode", L"nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "post", L"nPostHeaterMode", L"nPostHeaterValue"),
};
const PageDesc kDescSWJ320EA{"CMimakiPageSWJ320EA", "DEVPARMSWJ_320AE_CLASS", 22071, Base::Retrieve, kSWJ320EA,
                             {.dotControl = 1016, .variableValue = 1, .dotSizeAnswers = kDotCodeAnswers}, 0, nullptr,
                             0, {},
                             {.xDpi = L"nXDpi", .yDpi = L"nYDpi", .setNumber = L"nPrintModeSetNumber",
                              .printModeId = L"nPrintModeId", .waveShape = L"nWaveShape", .dotSize = L"nDotSize",
                              .dotVolumes = L"strDotVolumesData", .printModeData = L"strPrintModeData"}};

constexpr Item kTxfDot[] = {{{0, "variable"}, 1}, {{0, "fixed"}, 0}};
const Control kTxF150[] = {
    ComboIndex(1130, {0, "Media feed correction"}, L"m_nMediaFeedMode", kFeedMode),
    Number(1034, {}, L"m_nMediaFeedValue", -255, 255).Enable(ControlIs(1130, 1)),
    ComboIndex(1122, {0, "Feed speed"}, L"m_nFeedSpeedMode", kFeedMode),
    Number(1123, {}, L"m_nFeedSpeedValue", 10, 100).Enable(ControlIs(1122, 1)).Unit("%"),
    Check(1053, {0, "Cut media after printing"}, L"m_bAutoCutting"),
    ComboIndex(1131, {0, "Dry time per scan"}, L"m_nDryTimeScan", kFeedMode),
    Number(1032, {}, L"m_nDryTimeScanValue", 0, 999).Enable(ControlIs(1131, 1)),
    ComboIndex(1133, {0, "Dry time at job end"}, L"m_nDryTimeJob", kFeedMode),
    Number(1033, {}, L"m_nDryTimeJobValue", 0, 999).Enable(ControlIs(1133, 1)),
    Number(1148, {0, "Absorption fan strength"}, L"m_nAbsorbabilityFanStrength", 0, 3),
    MARGINS,
    ComboData(1016, {0, "Dot size"}, L"m_nDotSize", kTxfDot),
    Number(1031, {0, "Overprint"}, L"m_nOverPrint", 0, 9),
    Number(1152, {0, "Band division"}, L"m_nBandDivision", 0, 99),
    Number(1153, {0, "Wave form"}, L"WaveForm", 0, 99),
    ComboData(1011, {0, "Print direction"}, L"PrintDirection",
              std::span<const Item>(kOnOffPrinter)),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    HEATER_MODE(1048, 1035, "pre", L"m_nPreHeaterMode", L"m_nPreHeaterValue"),
    HEATER_MODE(1049, 1036, "print", L"m_nPrintHeaterMode", L"m_nPrintHeaterValue"),
    HEATER_MODE(1050, 1037, "after", L"m_nAfterHeaterMode", L"m_nAfterHeaterValue"),
    Number(1039, {0, "OFF time"}, L"m_nOFFTime", -2, 90).In(1047).Unit("min").Show(kHeaters),
    RetrieveButton(1399, {0, "Query dot volumes..."}, Act::RetrieveDotVolumes),
};
const PageDesc kDescTxF150{"CDlgTxF150", "CDevParmsTxF150", 22079, Base::Retrieve, kTxF150,
                           {.dotControl = 1016, .variableValue = 1, .dotSizeAnswers = kDotCodeAnswers}, 0, nullptr, 0,
                           {}, {.dotVolumes = L"strDotVolumesData", .printModeData = nullptr}};

} // namespace

std::span<const PageDesc* const> ConditionPages()
{
    static const PageDesc* const pages[] = {
        &kDescTS300P, &kDescTS300PAdv, &kDescTS55,    &kDescJV100,  &kDescTS100,      &kDescTS330,
        &kDescMk2,    &kDescTx330,     &kDescJV300,   &kDescJV400,  &kDescSIJ,        &kDescUJV55,
        &kDescUJV500, &kDescUJV100,    &kDescUCJV300, &kDescCJV300Plus, &kDescCJV330, &kDescSWJ320EA,
        &kDescTxF150};
    return pages;
}

} // namespace mimaki::ui
