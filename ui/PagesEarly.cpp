// Pages of the first command family (model 1) and the "M" command models
// (2 to 12, 14, 16, 17): each setting with its "Send" check box.
#include "ui/PagesCommon.h"
#include "ui/PagesFamilies.h"

namespace mimaki::ui {

using namespace common;

namespace {

constexpr Item kBanding[] = {{{0, "Printer setting"}, -1}, {{0, "1"}, 1}, {{0, "2"}, 2}, {{0, "4"}, 4},
                             {{0, "6"}, 6},                 {{0, "8"}, 8}};
constexpr Item kMDot[] = {{{0, "Printer setting"}, 0}, {{0, "large"}, 1}, {{0, "medium"}, 2}, {{0, "small"}, 3},
                          {{0, "variable"}, 4}};
constexpr Item kMDotVariable0[] = {{{0, "variable"}, 0}, {{0, "large"}, 1}, {{0, "medium"}, 2}, {{0, "small"}, 3}};
constexpr Item kInkSet[] = {{{0, "Ink set 1"}, 0}, {{0, "Ink set 2"}, 1}, {{0, "Ink set 3"}, 2}};
constexpr Item kWhiteMode[] = {{{0, "Normal"}, 0}, {{0, "Spot"}, 1}, {{0, "Fill"}, 2}};
constexpr Item kPrinterTyp[] = {{{0, "Colour and white heads"}, 0}, {{0, "White in its own pass"}, 1}};
constexpr int kMDotAnswers[] = {1, 3, 2, 4, 3, 5, 4, 1};

constexpr Cond kSendPrintMode{From::Checked, 1140};

// Print direction, quality and dot size; overprint and dry times, each sent
// when checked; feed correction.
#define M_DIRECTION_QUALITY(dotItems)                                                                        \
    GroupBox(1001, {0, "Print direction"}), Radio(1011, {}, L"PrintDir", kDirection).In(1001),                \
        ComboIndex(1119, {0, "Quality"}, L"Quality", kQuality), ComboData(1016, {0, "Dot size"}, L"DotSize", dotItems)
#define M_OVERPRINT_DRY                                                                                      \
    Check(1042, {0, "Overprint"}, L"SendOverprint"), Number(1031, {}, L"Overprint", 1, 9).When(1042),        \
        Check(1043, {0, "&Dry Time per Scan"}, L"SendDryTimeScan"),                                         \
        Number(1032, {}, L"DryTimeScan", 0, 999).When(1043).Unit("0.1 s"),                                     \
        Check(1044, {0, "Dry &Time before Cutting"}, L"SendDryTimeEnd"),                                    \
        Number(1033, {}, L"DryTimeEnd", 0, 999).When(1044).Unit("s")
#define M_FEED                                                                                               \
    Check(1045, {0, "Media Feed Correction"}, L"SendFeedCorr"), Number(1034, {}, L"FeedCorr", -255, 255).When(1045)
#define M_CUT Check(1141, {0, "Send cut setting"}, L"SendAutoCut"), Check(1053, {0, "Automatic cut"}, L"AutoCut").When(1141)
#define M_INK_REFRESH                                                                                        \
    Check(1142, {0, "Send ink set"}, L"SendInkSet"), ComboIndex(1143, {}, L"InkSet", kInkSet).When(1142),     \
        Check(1146, {0, "Send refresh level"}, L"SendRefresh"), ComboIndex(1127, {}, L"Refresh", kRefresh).When(1146)
#define M_HEATERS                                                                                            \
    Check(1047, {0, "&Heater"}, L"UseHeater").Show(kHeaters),                                               \
        Check(1048, {0, "pre"}, L"UsePreHeater").In(1047).Show(kHeaters),                                   \
        Number(1035, {}, L"PreHeaterTemp", 20, 60).When(1048).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),  \
        Check(1049, {0, "print"}, L"UsePrintHeater").In(1047).Show(kHeaters),                               \
        Number(1036, {}, L"PrintHeaterTemp", 20, 60).When(1049).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters)

const Control kPage1[] = {
    ComboIndex(1011, {0, "Print direction"}, L"Unidir", kDirectionUniFirst).Mapped(Map::Plus1),
    ComboData(1150, {0, "Banding"}, L"Banding", kBanding),
    Check(1042, {0, "Overprint set here"}, L"UseDeviceOverPrintings").Mapped(Map::Invert),
    Number(1031, {}, L"OverPrintings", 1, 9).When(1042),
    Check(1043, {0, "&Dry time per scan set here"}, L"UseDeviceDryTimeScan").Mapped(Map::Invert),
    Number(1032, {}, L"DryTimeScan", 0, 999).When(1043).Unit("0.1 s"),
    Check(1044, {0, "Dry time at job end set here"}, L"UseDeviceDryTimeEnd").Mapped(Map::Invert),
    Number(1033, {}, L"DryTimeEnd", 0, 999).When(1044).Unit("s"),
    Check(1053, {0, "Automatic cut"}, L"AutomaticCut"),
    Check(1152, {0, "Do not send the print mode"}, L"DontSendSet1"),
};

const Control kPage2[] = {
    Check(1140, {0, "Send print mode"}, L"SendPrintMode"),
    GroupBox(1001, {0, "Print direction"}).Enable(kSendPrintMode),
    Radio(1011, {}, L"PrintDir", kDirection).In(1001).When(1140),
    ComboIndex(1119, {0, "Quality"}, L"Quality", kQuality).When(1140),
    ComboData(1016, {0, "Dot size"}, L"DotSize", kMDot).When(1140),
    Check(1059, {0, "High Speed Processing"}, L"HiSpeed").When(1140),
    M_CUT, M_OVERPRINT_DRY, M_INK_REFRESH, M_FEED,
};
const PageDesc kDesc2{"CMimakiPage2", "DEVPARM2_CLASS", 22017, Base::Plain, kPage2,
                      {.dotControl = 1016, .variableValue = 4, .variableLevels = 3, .otherLevels = 1,
                       .dotSizeAnswers = kMDotAnswers}};

const Control kPage3[] = {
    M_DIRECTION_QUALITY(kMDotVariable0), Check(1059, {0, "High Speed Processing"}, L"HiSpeed"), M_CUT,
    M_OVERPRINT_DRY, Check(1142, {0, "Send ink set"}, L"SendInkSet"),
    ComboIndex(1143, {}, L"InkSet", kInkSet).When(1142), M_FEED, Check(1153, {0, "Swap LC/MO and G"}, L"SwapLCMOG"),
};
const Control kPage4[] = {
    M_DIRECTION_QUALITY(kMDotVariable0), M_CUT, M_OVERPRINT_DRY, M_HEATERS, M_FEED,
    Check(1059, {0, "High Speed Processing"}, L"HighSpeed"),
};
const Control kPage5[] = {
    M_DIRECTION_QUALITY(kMDotVariable0), M_CUT, M_OVERPRINT_DRY, M_HEATERS, M_FEED,
    Check(1059, {0, "High Speed Processing"}, L"HighSpeed"),
    Check(1142, {0, "Send ink set"}, L"bInkSet"), ComboIndex(1143, {}, L"nInkSet", kInkSet).When(1142),
    GroupBox(1041, {0, "White Ink"}),
    Check(1113, {0, "Print white ink layers"}, L"bWhite").In(1041),
    ComboIndex(1115, {0, "White mode"}, L"nWhiteMode", kWhiteMode).In(1041).When(1113),
    Number(1154, {0, "White dry time"}, L"nWhiteDrytime", 0, 999).In(1041).When(1113).Unit("s"),
    ComboData(1111, {0, "Layer mode"}, L"nWhiteSplitHeadMode", kSplitHead).In(1041).When(1113),
    Number(1155, {0, "White print mode"}, L"nWhitePrintMode", 0, 9).In(1041).When(1113),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder).In(1041).When(1113),
};
const Control kPage6[] = {
    M_DIRECTION_QUALITY(kMDotVariable0), M_CUT, M_OVERPRINT_DRY, M_FEED,
    Check(1059, {0, "High Speed Processing"}, L"HighSpeed"),
};
const Control kPage7[] = {
    M_DIRECTION_QUALITY(kMDotVariable0),
    Check(1047, {0, "Send heater settings"}, L"SendHeater").Show(kHeaters),
    Check(1048, {0, "Heater 1"}, L"bUseHeater").In(1047).Show(kHeaters),
    Number(1035, {}, L"HeaterTemp", 20, 60).When(1048).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),
    Check(1049, {0, "Heater 2"}, L"bUseHeater2").In(1047).Show(kHeaters),
    Number(1036, {}, L"HeaterTemp2", 20, 60).When(1049).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),
    M_OVERPRINT_DRY, M_FEED, Check(1059, {0, "High Speed Processing"}, L"HighSpeed"),
    GroupBox(1041, {0, "White Ink"}),
    Check(1113, {0, "Print white ink layers"}, L"bWhite").In(1041),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder).In(1041).When(1113),
    ComboIndex(1115, {0, "White mode"}, L"nWhiteMode", kWhiteMode).In(1041).When(1113),
    ComboIndex(1156, {0, "Printer type"}, L"nPrinterTyp", kPrinterTyp).In(1041),
};
const Control kPage8[] = {
    ComboData(1198, {0, "Passes"}, L"Pass", kPasses),
    ComboData(1016, {0, "Dot size"}, L"DotSize", kMDotVariable0),
    Check(1157, {0, "Fixed dot size"}, L"FixDotSize"),
    Check(1059, {0, "High Speed Processing"}, L"HighSpeed"),
    GroupBox(1041, {0, "White Ink"}),
    Check(1113, {0, "Print white ink layers"}, L"bWhite").In(1041),
    ComboIndex(1115, {0, "White mode"}, L"nWhiteMode", kWhiteMode).In(1041).When(1113),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder).In(1041).When(1113),
};
const Control kPage10[] = {
    Check(1140, {0, "Send print mode"}, L"SendPrintMode"),
    Radio(1011, {0, "Print direction"}, L"PrintDir", kDirection).When(1140),
    ComboIndex(1119, {0, "Quality"}, L"Quality", kQuality).When(1140),
    ComboData(1016, {0, "Dot size"}, L"DotSize", kMDot).When(1140),
    Check(1059, {0, "High Speed Processing"}, L"HiSpeed").When(1140),
    M_OVERPRINT_DRY, M_INK_REFRESH, M_FEED,
};
const Control kPage11[] = {
    M_DIRECTION_QUALITY(kMDotVariable0), M_OVERPRINT_DRY, M_FEED,
    GroupBox(1041, {0, "White Ink"}),
    Check(1113, {0, "Print white ink layers"}, L"bWhite").In(1041),
    ComboIndex(1115, {0, "White mode"}, L"nWhiteMode", kWhiteMode).In(1041).When(1113),
    ComboIndex(1156, {0, "Printer type"}, L"nPrinterTyp", kPrinterTyp).In(1041),
};
constexpr Item kIllumination[] = {{{0, "Off"}, 0}, {{0, "Low"}, 1}, {{0, "Middle"}, 2}, {{0, "High"}, 3}};
const Control kPage14[] = {
    Radio(1011, {0, "Print direction"}, L"nDirection", kDirection),
    ComboData(1198, {0, "Passes"}, L"Pass", kPasses),
    Number(1158, {0, "Pass index"}, L"nPassIndex", 0, 9),
    ComboData(1016, {0, "Dot size"}, L"DotSize", kMDotVariable0),
    Check(1157, {0, "Fixed dot size"}, L"FixDotSize"),
    Check(1059, {0, "High Speed Processing"}, L"HighSpeed"),
    Number(1151, {0, "Ink layers"}, L"nInkLayer", 1, 10),
    ComboIndex(1159, {0, "Print mode"}, L"nPrintMode", kQuality),
    ComboIndex(1160, {0, "Printer type"}, L"nPrinterType", kPrinterTyp),
    GroupBox(1041, {0, "White Ink"}),
    Check(1113, {0, "Print white ink layers"}, L"bWhite").In(1041),
    ComboIndex(1115, {0, "White mode"}, L"nWhiteMode", kWhiteMode).In(1041).When(1113),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder).In(1041).When(1113),
    Number(1161, {0, "White print count"}, L"nPrintCountWhite", 1, 10).In(1041).When(1113),
    ComboIndex(1162, {0, "White UV irradiation"}, L"nWhiteIrradiation", kIllumination).In(1041).When(1113),
    ComboIndex(1163, {0, "White illumination"}, L"nWhiteIllumination", kIllumination).In(1041).When(1113),
    GroupBox(1170, {0, "Clear coat"}),
    Check(1171, {0, "Print a clear coat"}, L"bClearCoat").In(1170),
    ComboIndex(1172, {0, "Clear coat mode"}, L"nClearCoatMode", kWhiteMode).In(1170).When(1171),
    Number(1173, {0, "Clear coat print count"}, L"nPrintCountClearCoat", 1, 10).In(1170).When(1171),
    ComboIndex(1174, {0, "Clear coat UV irradiation"}, L"nClearCoatIrradiation", kIllumination).In(1170).When(1171),
    ComboIndex(1175, {0, "Clear coat illumination"}, L"nClearCoatIllumination", kIllumination).In(1170).When(1171),
    ComboIndex(1176, {0, "Colour UV irradiation"}, L"nColorIrradiation", kIllumination),
    ComboIndex(1177, {0, "Colour illumination"}, L"nColorIllumination", kIllumination),
    Button(1178, {0, "Dot size..."}, 22031, nullptr, 1),
};
const Control kPage16[] = {
    ComboData(1016, {0, "Dot size"}, L"nDotSize", kMDotVariable0),
    Check(1059, {0, "High Speed Processing"}, L"bHighSpeed"),
    ComboIndex(1159, {0, "Print mode"}, L"nPrintMode", kQuality),
    ComboIndex(1160, {0, "Printer type"}, L"nPrinterType", kPrinterTyp),
    Check(1113, {0, "Print white ink layers"}, L"bWhite"),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder).When(1113),
    Check(1171, {0, "Print a clear coat"}, L"bClearCoat"),
    Button(1300, {0, "Colour options..."}, 22032, L"ColorParam_"),
    Button(1301, {0, "White options..."}, 22032, L"WhiteParam_"),
    Button(1302, {0, "Clear coat options..."}, 22032, L"ClearParam_"),
};
const Control kPage17[] = {
    ComboData(1016, {0, "Dot size"}, L"nDotSize", kMDotVariable0),
    Check(1047, {0, "Send heater settings"}, L"bSendHeater").Show(kHeaters),
    Check(1048, {0, "Heater 1"}, L"bUseHeater").In(1047).Show(kHeaters),
    Number(1035, {}, L"nHeaterTemp", 20, 60).When(1048).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),
    Check(1049, {0, "Heater 2"}, L"bUseHeater2").In(1047).Show(kHeaters),
    Number(1036, {}, L"nHeaterTemp2", 20, 60).When(1049).In(1047).Unit("\xC2\xB0" "C").Show(kHeaters),
    Check(1045, {0, "Media Feed Correction"}, L"bSendFeedCorrection"),
    Number(1034, {}, L"nFeedCorrection", -255, 255).When(1045),
    ComboData(1112, {0, "Print order"}, L"nWhiteOrder", kWhiteOrder),
    Number(1179, {0, "Selected layer"}, L"nLayerSelected", 0, 1),
    // The two layers' parameter sets.
    GroupBox(1180, {0, "Colour layer"}),
    Check(1181, {0, "Use the printer's settings"}, L"pParam_Color_bUseDefault").In(1180),
    Radio(1182, {0, "Colour print direction"}, L"pParam_Color_m_nPrintDirection", kDirection).In(1180),
    ComboIndex(1183, {0, "Colour quality"}, L"pParam_Color_m_nQuality", kQuality).In(1180),
    Check(1184, {0, "Send colour passes per layer"}, L"pParam_Color_m_bSendPassLayer").In(1180),
    Number(1185, {}, L"pParam_Color_m_nPassLayer", 1, 16).When(1184).In(1180),
    Check(1186, {0, "Send colour dry time"}, L"pParam_Color_m_bSendDryTimeScan").In(1180),
    Number(1187, {}, L"pParam_Color_m_nDryTimeScan", 0, 999).When(1186).In(1180).Unit("0.1 s"),
    Number(1188, {0, "Colour layers"}, L"pParam_Color_m_nLayers", 1, 9).In(1180),
    GroupBox(1190, {0, "White layer"}),
    Check(1191, {0, "Use the printer's settings"}, L"pParam_White_bUseDefault").In(1190),
    Radio(1192, {0, "White print direction"}, L"pParam_White_m_nPrintDirection", kDirection).In(1190),
    ComboIndex(1193, {0, "White quality"}, L"pParam_White_m_nQuality", kQuality).In(1190),
    Check(1194, {0, "Send white passes per layer"}, L"pParam_White_m_bSendPassLayer").In(1190),
    Number(1195, {}, L"pParam_White_m_nPassLayer", 1, 16).When(1194).In(1190),
    Check(1196, {0, "Send white dry time"}, L"pParam_White_m_bSendDryTimeScan").In(1190),
    Number(1197, {}, L"pParam_White_m_nDryTimeScan", 0, 999).When(1196).In(1190).Unit("0.1 s"),
    Number(1199, {0, "White layers"}, L"pParam_White_m_nLayers", 1, 9).In(1190),
};

// Models 3 to 7 and 9 screen three levels for dot size 0 below 1440 dpi.
constexpr Queries kVariable0{.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers};

const PageDesc kDesc1{"CMimakiPage1", "DEVPARM1_CLASS", 22016, Base::Plain, kPage1};
const PageDesc kDesc3{"CMimakiPage3", "DEVPARM3_CLASS", 22018, Base::Plain, kPage3, kVariable0};
const PageDesc kDesc4{"CMimakiPage4", "DEVPARM4_CLASS", 22019, Base::Plain, kPage4, kVariable0};
const PageDesc kDesc5{"CMimakiPage5", "DEVPARM5_CLASS", 22020, Base::Plain, kPage5, kVariable0};
const PageDesc kDesc6{"CMimakiPage6", "DEVPARM6_CLASS", 22021, Base::Plain, kPage6, kVariable0};
const PageDesc kDesc7{"CMimakiPage7", "DEVPARM7_CLASS", 22022, Base::Plain, kPage7, kVariable0};
const PageDesc kDesc8{"CMimakiPage8", "DEVPARM8_CLASS", 22023, Base::Plain, kPage8, kVariable0};
const PageDesc kDesc9{"CMimakiPage9", "DEVPARM9_CLASS", 22024, Base::Plain, kPage6, kVariable0};
const PageDesc kDesc10{"CMimakiPage10", "DEVPARM10_CLASS", 22025, Base::Plain, kPage10,
                       {.dotControl = 1016, .variableValue = 4, .dotSizeAnswers = kMDotAnswers}};
const PageDesc kDesc11{"CMimakiPage11", "DEVPARM11_CLASS", 22026, Base::Plain, kPage11, kVariable0};
const PageDesc kDesc12{"CMimakiPage12", "DEVPARM12_CLASS", 22027, Base::Plain, kPage10,
                       {.dotControl = 1016, .variableValue = 4, .dotSizeAnswers = kMDotAnswers}};
const PageDesc kDesc14{"CMimakiPage14", "DEVPARM14_CLASS", 22029, Base::Plain, kPage14, kVariable0};
const PageDesc kDesc16{"CMimakiPage16", "DEVPARM16_CLASS", 22034, Base::Plain, kPage16, kVariable0};
const PageDesc kDesc17{"CMimakiPageGP604", "DEVPARM17_CLASS", 22035, Base::Plain, kPage17, kVariable0};

} // namespace

std::span<const PageDesc* const> EarlyPages()
{
    static const PageDesc* const pages[] = {&kDesc1, &kDesc2,  &kDesc3,  &kDesc4,  &kDesc5,  &kDesc6,  &kDesc7, &kDesc8,
                                            &kDesc9, &kDesc10, &kDesc11, &kDesc12, &kDesc14, &kDesc16, &kDesc17};
    return pages;
}

} // namespace mimaki::ui
