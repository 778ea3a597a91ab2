// Pages of the early string-object roll models: TS3 (model 24, the
// representative page), JV5 and JV33 (13, 15), JV34, TX400, TS500, SWJ320,
// SWJ320EA and CJV150/CJV300.
#include "ui/PagesCommon.h"
#include "ui/PagesFamilies.h"

namespace mimaki::ui {

using namespace common;

namespace {

// The heaters of the roll models: a global switch, three temperatures
// and the stand-by and OFF times.
#define ROLL_HEATERS(minT, maxT)                                                                             \
    Check(1047, {0, "&Heater"}, L"bUseHeaterGlobal").Show(kHeaters),                                       \
        Label(1100, {22122, nullptr}).In(1047).Show(kHeaters),                                              \
        Check(1048, {0, "pre"}, L"bUsePreHeater").In(1047).Show(kHeaters),                                  \
        Number(1035, {}, L"nPreHeaterTemp", minT, maxT).Spin(1065).When(1048).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters), \
        Check(1049, {0, "print"}, L"bUsePrintHeater").In(1047).Show(kHeaters),                              \
        Number(1036, {}, L"nPrintHeaterTemp", minT, maxT).Spin(1066).When(1049).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters), \
        Check(1050, {0, "after"}, L"bUseAfterHeater").In(1047).Show(kHeaters),                              \
        Number(1037, {}, L"nAfterHeaterTemp", minT, maxT).Spin(1067).When(1050).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters)
#define ROLL_STANDBY                                                                                         \
    Check(1051, {0, "stand-by"}, L"bStandByTime").In(1047).Show(kHeaters),                                  \
        Number(1038, {}, L"nStandByTime", 0, 90).Spin(1068).When(1051).In(1047).Unit("min").Show(kHeaters),  \
        Check(1052, {0, "OFF time"}, L"bOFFTime").In(1047).Show(kHeaters),                                  \
        Number(1039, {}, L"nOFFTime", 0, 90).Spin(1069).When(1052).In(1047).Unit("min").Show(kHeaters)
// Ink layers, the two dry times and the feed correction, each sent only
// when its check box is on.
#define ROLL_SEND_DRY_FEED(feedMin, feedMax)                                                                  \
    Check(1043, {0, "&Dry Time per Scan"}, L"bSendDryTimeScan"),                                            \
        Number(1032, {}, L"nDryTimeScan", 0, 99).Spin(1062).When(1043).Unit("0.1 s"),                         \
        Check(1044, {0, "Dry &Time before Cutting"}, L"bSendDryTimeEnd"),                                   \
        Number(1033, {}, L"nDryTimeEnd", 0, 999).Spin(1063).When(1044).Unit("s"),                             \
        Check(1045, {0, "Media Feed Correction"}, L"bSendFeedCorrection"),                                  \
        Number(1034, {}, L"nFeedCorrection", feedMin, feedMax).Spin(1064).When(1045)
#define ROLL_FAN                                                                                             \
    Check(1046, {0, "Vacuum Fan"}, L"bAbsorbationFan"),                                                     \
        ComboIndex(1117, {0, "Vacuum fan level"}, L"nAbsorbationFanLevel", kFanLevel).When(1046)

constexpr Cond kLayerModel = ModelIs(L"nPrinterTyp", 1);

const Control kPage24[] = {
    GroupBox(1001, {0, "Print direction"}),
    Radio(1011, {}, L"nPrintDirection", kDirection).In(1001),
    GroupBox(1002, {0, "Dot size"}),
    Radio(1016, {}, L"nDotSize", kDotSize4).In(1002),
    ComboData(1198, {0, "Weave pattern"}, L"nPasses").FromEnv(L"$PassesValues$"),
    Label(1057, {0, "Waveform:"}),
    ComboData(1118, {}, L"nWave", kWave),
    Check(1042, {0, "Ink &Layers"}, L"bSendOverprint"),
    Number(1031, {}, L"nOverprint", 1, 9).Spin(1061).When(1042),
    ROLL_SEND_DRY_FEED(-256, -1),
    ROLL_FAN,
    Check(1058, {0, "Color pattern"}, L"bColorPattern").Show(ModelSet(L"ShowColorPattern", 1)),
    Check(1059, {0, "High Speed Processing"}, L"bHighSpeed"),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    Check(1053, {0, "Cut media after printing"}, L"bCut"),
    ROLL_HEATERS(20, 50),
    ROLL_STANDBY,
    GroupBox(1041, {0, "White Ink"}).Show(kLayerModel),
    Check(1113, {0, "Print white ink layers"}, L"bUseWhite").In(1041).Show(kLayerModel),
    Label(1055, {0, "Layer mode:"}).In(1041).Show(kLayerModel),
    ComboData(1111, {}, L"nWhiteSplitHeadMode", kSplitHead).In(1041).When(1113).Show(kLayerModel),
    Label(1056, {0, "Print order:"}).In(1041).Show(kLayerModel),
    ComboData(1112, {}, L"nWhiteOrder", kWhiteOrder).In(1041).When(1113).Show(kLayerModel),
};

// The representative page answers ink levels 1 for variable dots, else 3.
const PageDesc kDesc24{"CMimakiPage24", "DEVPARM24_CLASS", 22045, Base::Plain, kPage24,
                       {.dotControl = 1016, .variableValue = 0, .variableLevels = 1, .otherLevels = 3,
                        .dotSizeAnswers = kDotSizeAnswers}};

// JV5 (13) and JV33 (15): the representative's controls with quality,
// double line and their own white settings.
#define ROLL_COMMON(feedMin, feedMax)                                                                         \
    GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"nPrintDirection", kDirection).In(1001),        \
        GroupBox(1002, {0, "Dot size"}), Radio(1016, {}, L"nDotSize", kDotSize4).In(1002),                   \
        ROLL_SEND_DRY_FEED(feedMin, feedMax),                                                                 \
        ROLL_FAN, Check(1053, {0, "Cut media after printing"}, L"bCut"), ROLL_HEATERS(20, 50)

const Control kPage13[] = {
    ROLL_COMMON(-255, 255),
    ROLL_STANDBY,
    Check(1058, {0, "Color pattern"}, L"bColorPattern").Show(ModelSet(L"ShowColorPattern", 1)),
    ComboIndex(1119, {0, "Quality"}, L"nQuality", kQuality),
    Check(1042, {0, "Ink &Layers"}, L"bSendOverprint"),
    Number(1031, {}, L"nOverprint", 1, 9).Spin(1061).When(1042),
    Check(1059, {0, "High Speed Processing"}, L"bHighSpeed"),
    Check(1120, {0, "Double line"}, L"bDoubleLine"),
    Check(1121, {0, "Send media size"}, L"bSendMediaSize"),
    GroupBox(1041, {0, "White Ink"}).Show(kLayerModel),
    Check(1113, {0, "Print white ink layers"}, L"bUseWhite").In(1041).Show(kLayerModel),
    Check(1114, {0, "White first"}, L"bWhiteFirst").In(1041).When(1113).Show(kLayerModel),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder).In(1041).When(1113).Show(kLayerModel),
    Number(1115, {0, "White mode"}, L"nWhiteMode", 0, 9).In(1041).When(1113).Show(kLayerModel),
    Number(1116, {0, "White layer mode"}, L"nWhiteLayerMode", 0, 9).In(1041).When(1113).Show(kLayerModel),
};
const PageDesc kDesc13{"CMimakiPage13", "DEVPARM13_CLASS", 22028, Base::Plain, kPage13,
                       {.dotControl = 1016, .dotSizeAnswers = kDotSizeAnswers}};

const Control kPage15[] = {
    ROLL_COMMON(-255, 255),
    ROLL_STANDBY,
    Check(1058, {0, "Color pattern"}, L"bColorPattern").Show(ModelSet(L"ShowColorPattern", 1)),
    ComboIndex(1119, {0, "Quality"}, L"nQuality", kQuality),
    Check(1042, {0, "Ink &Layers"}, L"bSendOverprint"),
    Number(1031, {}, L"nOverprint", 1, 9).Spin(1061).When(1042),
    Check(1059, {0, "High Speed Processing"}, L"bHighSpeed"),
    Check(1120, {0, "Double line"}, L"bDoubleLine"),
    Label(1057, {0, "Waveform:"}),
    ComboData(1118, {}, L"nWave", kWave),
    GroupBox(1041, {0, "White Ink"}).Show(kLayerModel),
    Check(1113, {0, "Print white ink layers"}, L"bUseWhite").In(1041).Show(kLayerModel),
    ComboData(1111, {0, "Layer mode"}, L"nWhiteSplitHeadMode", kSplitHead).In(1041).When(1113).Show(kLayerModel),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder).In(1041).When(1113).Show(kLayerModel),
};
const PageDesc kDesc15{"CMimakiPage15", "DEVPARM15_CLASS", 22030, Base::Plain, kPage15,
                       {.dotControl = 1016, .dotSizeAnswers = kDotSizeAnswers}};

const Control kPageJV34[] = {
    ROLL_COMMON(-255, 255),
    ROLL_STANDBY,
    Check(1058, {0, "Color pattern"}, L"bColorPattern").Show(ModelSet(L"ShowColorPattern", 1)),
    ComboIndex(1119, {0, "Quality"}, L"nQuality", kQuality),
    Check(1042, {0, "Ink &Layers"}, L"bUseInkLayers"),
    Number(1031, {}, L"nInkLayers", 1, 9).Spin(1061).When(1042),
    Check(1059, {0, "High Speed Processing"}, L"bHighSpeed"),
    Check(1120, {0, "Double line"}, L"bDoubleLine"),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
};
const PageDesc kDescJV34{"CMimakiPageJV34", "DEVPARMJV34_CLASS", 22041, Base::Plain, kPageJV34,
                         {.dotControl = 1016, .dotSizeAnswers = kDotSizeAnswers}};

const Control kPageCJV150[] = {
    ROLL_COMMON(-255, 255),
    Number(1039, {0, "OFF time"}, L"m_nOFFTime", -1, 90).In(1047).Unit("min").Show(kHeaters),
    Check(1042, {0, "Ink &Layers"}, L"bSendOverprint"),
    Number(1031, {}, L"nOverprint", 1, 9).Spin(1061).When(1042),
    ComboData(1198, {0, "Passes"}, L"nPass").FromEnv(L"$PassesValues$"),
    Label(1057, {0, "Waveform:"}),
    ComboData(1118, {}, L"nWave").FromEnv(L"$WaveShapeValues$"),
    ComboIndex(1122, {0, "Feed speed"}, L"nFeedSpeedMode", kMode),
    Number(1123, {}, L"nFeedSpeedValue", 10, 100).Enable(ControlIs(1122, 1)).Unit("%"),
    Check(1124, {0, "Top blower"}, L"bTopBlower"),
    Number(1125, {}, L"nTopBlowerLevel", 0, 3).When(1124),
    ComboData(1126, {0, "Head selection"}, L"m_nHeadSelection", kHeadSelection),
    GroupBox(1041, {0, "White Ink"}).Show(kLayerModel),
    Check(1113, {0, "Print white ink layers"}, L"bUseWhite").In(1041).Show(kLayerModel),
    ComboData(1111, {0, "Layer mode"}, L"nWhiteSplitHeadMode", kSplitHead).In(1041).When(1113).Show(kLayerModel),
    ComboData(1112, {0, "Print order"}, L"m_nWhiteOrderV2", kWhiteOrder).In(1041).When(1113).Show(kLayerModel),
};
const PageDesc kDescCJV150{"CMimakiPageCJV150300", "DEVPARMCJV150_300_CLASS", 22051, Base::Plain, kPageCJV150,
                           {.dotControl = 1016, .dotSizeAnswers = kDotSizeAnswers}};

const Control kPageSWJ320[] = {
    GroupBox(1001, {0, "Print direction"}),
    Radio(1011, {}, L"nPrintDirection", kDirection).In(1001),
    GroupBox(1002, {0, "Dot size"}),
    Radio(1016, {}, L"nDotSize", kDotSize4).In(1002),
    ComboData(1198, {0, "Passes"}, L"nPasses").FromEnv(L"$PassesValues$"),
    Check(1042, {0, "Ink &Layers"}, L"bSendOverprint"),
    Number(1031, {}, L"nOverprint", 1, 9).Spin(1061).When(1042),
    ROLL_SEND_DRY_FEED(-255, 255),
    Label(1057, {0, "Waveform:"}),
    ComboData(1118, {}, L"nWave", kWave),
    Check(1122, {0, "Feed speed"}, L"bFeedSpeedMode"),
    Number(1123, {}, L"nFeedSpeedValue", 10, 100).When(1122).Unit("%"),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
};
const PageDesc kDescSWJ320{"CMimakiPageSWJ320", "DEVPARMSWJ320_CLASS", 22048, Base::Plain, kPageSWJ320,
                           {.dotControl = 1016, .dotSizeAnswers = kDotSizeAnswers}};

const Control kPageTX400[] = {
    GroupBox(1001, {0, "Print direction"}),
    Radio(1011, {}, L"nDirection", kDirection).In(1001),
    ComboData(1198, {0, "Passes"}, L"nPass", kPasses),
    GroupBox(1002, {0, "Dot size"}),
    Radio(1016, {}, L"nDotSize", kDotSize4).In(1002),
    ComboIndex(1127, {0, "Refresh"}, L"nRefresh", kRefresh),
    Number(1031, {0, "Ink layers"}, L"nLayers", 0, 9),
    Number(1128, {0, "Pre-feed"}, L"nPreFeed", 0, 999).Unit("mm"),
    Number(1129, {0, "Pre-feed speed"}, L"nPreSpeed", 0, 100).Unit("%"),
    Number(1032, {0, "Dry time"}, L"nDryTime", 0, 999).Unit("0.1 s"),
    Check(1059, {0, "High Speed Processing"}, L"bHighSpeed"),
    Check(1045, {0, "Media Feed Correction"}, L"bCompensation"),
    Number(1034, {}, L"nCompensation", -255, 255).When(1045),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
};
const PageDesc kDescTX400{"CMimakiPageTX400", "DEVPARMTX400_CLASS", 22036, Base::Plain, kPageTX400,
                          {.dotControl = 1016, .variableValue = 0, .variableLevels = 3, .otherLevels = 1,
                           .dotSizeAnswers = kDotSizeAnswers}};

constexpr Item kTs500Dot[] = {{{0, "Printer setting"}, 0}, {{0, "large"}, 1}, {{0, "medium"}, 2}, {{0, "small"}, 3},
                              {{0, "variable (large)"}, 4}, {{0, "variable (small)"}, 5}, {{0, "two levels"}, 6}};
constexpr int kTs500DotAnswers[] = {1, 3, 2, 4, 3, 5, 4, 1, 5, 1, 6, 1};
const Control kPageTS500[] = {
    ComboIndex(1119, {0, "Quality"}, L"m_nQuality", kQuality),
    ComboData(1198, {0, "Passes"}, L"m_nPasses", kPasses),
    ComboData(1016, {0, "Dot size"}, L"m_nDotSize", kTs500Dot),
    ComboData(1011, {0, "Print direction"}, L"m_nDirection",
              std::span<const Item>(kOnOffPrinter)),
    ComboIndex(1130, {0, "Media feed"}, L"m_nMediaFeedMode", kMode),
    Number(1034, {}, L"m_nMediaFeedValue", -255, 255).Enable(ControlIs(1130, 1)),
    Number(1031, {0, "Ink layers"}, L"m_nInkLayers", 0, 9),
    ComboIndex(1122, {0, "Feed speed"}, L"m_nFeedSpeedMode", kMode),
    Number(1123, {}, L"m_nFeedSpeedValue", 10, 100).Enable(ControlIs(1122, 1)).Unit("%"),
    ComboIndex(1131, {0, "Dry time per scan"}, L"m_nDryTimeMode", kMode),
    Number(1032, {}, L"m_dDryTimeValue", 0, 99).Enable(ControlIs(1131, 1)).Unit("s"),
    ComboIndex(1127, {0, "Refresh"}, L"m_nRefreshLevel", kRefresh),
    Check(1060, {0, "Avoid gap between jobs"}, L"bAvoidGapBetweenJobs"),
    GroupBox(1047, {0, "&Heater"}).Show(kHeaters),
    ComboIndex(1048, {0, "print"}, L"m_nPrintHeaterMode", kHeaterMode).In(1047).Show(kHeaters),
    Number(1035, {}, L"m_nPrintHeaterValue", 20, 60).Enable(ControlIs(1048, 1)).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),
    ComboIndex(1049, {0, "post 1"}, L"m_nPost1HeaterMode", kHeaterMode).In(1047).Show(kHeaters),
    Number(1036, {}, L"m_nPost1HeaterValue", 20, 60).Enable(ControlIs(1049, 1)).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),
    ComboIndex(1050, {0, "post 2"}, L"m_nPost2HeaterMode", kHeaterMode).In(1047).Show(kHeaters),
    Number(1037, {}, L"m_nPost2HeaterValue", 20, 70).Enable(ControlIs(1050, 1)).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),
};
const PageDesc kDescTS500{"CMimakiPageTS500", "DEVPARMTS500_CLASS", 22044, Base::Plain, kPageTS500,
                          {.dotControl = 1016, .variableValue = 4, .dotSizeAnswers = kTs500DotAnswers}};

} // namespace

std::span<const PageDesc* const> RollPages()
{
    static const PageDesc* const pages[] = {&kDesc24,   &kDesc13,     &kDesc15,    &kDescJV34,
                                            &kDescCJV150, &kDescSWJ320, &kDescTX400, &kDescTS500};
    return pages;
}

} // namespace mimaki::ui
