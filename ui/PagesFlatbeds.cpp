// Pages of the UV flatbeds: UJF3042, UJF706, UJF x042 MkII, UJF7151,
// UJF7151 plus II, JFX500, the JFX MK series, JFX200 and JFX200EX.
#include "ui/PagesCommon.h"
#include "ui/PagesFamilies.h"

namespace mimaki::ui {

using namespace common;

namespace {

constexpr Item kOnOff[] = {{{0, "Off"}, 0}, {{0, "On"}, 1}};
constexpr Item kUvPolicy[] = {{{0, "Off"}, 0}, {{0, "Low"}, 1}, {{0, "Middle"}, 2}, {{0, "High"}, 3},
                              {{0, "Printer setting"}, 255}};

// The five layer positions: a layer kind each ("None" 255).
#define LAYER_KINDS(first)                                                                                   \
    GroupBox(1201, {0, "Layers"}),                                                                            \
        ComboData(1202, {0, "Layer 1"}, L"nLayer1Mode").Source(Items::LayerKinds).In(1201),                  \
        ComboData(1203, {0, "Layer 2"}, L"nLayer2Mode").Source(Items::LayerKinds).In(1201),                  \
        ComboData(1204, {0, "Layer 3"}, L"nLayer3Mode").Source(Items::LayerKinds).In(1201),                  \
        ComboData(1205, {0, "Layer 4"}, L"nLayer4Mode").Source(Items::LayerKinds).In(1201),                  \
        ComboData(1206, {0, "Layer 5"}, L"nLayer5Mode").Source(Items::LayerKinds).In(1201)
// The UJF base models number their layer modes from 1 (0: none).
#define LAYER_NUMBERS                                                                                        \
    GroupBox(1201, {0, "Layers"}), Number(1202, {0, "Layer 1"}, L"nLayer1Mode", -1, 12).In(1201),             \
        Number(1203, {0, "Layer 2"}, L"nLayer2Mode", -1, 12).In(1201),                                        \
        Number(1204, {0, "Layer 3"}, L"nLayer3Mode", -1, 12).In(1201),                                        \
        Number(1205, {0, "Layer 4"}, L"nLayer4Mode", -1, 12).In(1201),                                        \
        Number(1206, {0, "Layer 5"}, L"nLayer5Mode", -1, 12).In(1201)
// Direction, ink layers and first UV power of one ink's layer options.
#define INK_OPTIONS(base, caption, rec)                                                                      \
    GroupBox(base, {0, caption}), Radio(base + 1, {0, "Direction"}, rec L".nDirection", kDirection).In(base),  \
        Number(base + 2, {0, "Ink layers"}, rec L".nLayers", 0, 10).In(base),                                 \
        Number(base + 3, {0, "UV power"}, rec L".nUVPower1", 0, 255).In(base)
#define MEDIA_CORRECTION                                                                                     \
    ComboIndex(1130, {0, "Media correction"}, L"nMediaCorrection", kMode),                                    \
        Number(1034, {}, L"nMediaCorrectionValue", -255, 255).Enable(ControlIs(1130, 1))
#define UJF7151_LAYERS                                                                                       \
    Check(1207, {0, "Switch to local between layers"}, L"bSwitchToLocalBetweenLayers"), LAYER_KINDS(0),      \
        Check(1211, {0, "Mirror layer 1"}, L"m_nMirror1"), Check(1212, {0, "Mirror layer 2"}, L"m_nMirror2"),   \
        Check(1213, {0, "Mirror layer 3"}, L"m_nMirror3"), Number(1214, {0, "Over-paint layer 1"}, L"m_nLayerOverPaint1", 0, 9), \
        Number(1215, {0, "UV layer 1"}, L"m_nLayerUV1Val", 0, 255)

const Control kUJF3042[] = {
    LAYER_NUMBERS, ComboData(1016, {0, "Dot size"}, L"nDotSize", kDotSize4),
    ComboData(1198, {0, "Passes"}, L"nPass", kPasses), ComboIndex(1127, {0, "Refresh"}, L"nRefreshLevel", kRefresh),
    MEDIA_CORRECTION, Number(1208, {0, "UV configuration"}, L"nUvConfig", 0, 9),
    INK_OPTIONS(1220, "Colour", L"nLayerOptColor"), INK_OPTIONS(1225, "White", L"nLayerOptWhite"),
    INK_OPTIONS(1230, "Varnish", L"nLayerOptVarnish"), INK_OPTIONS(1235, "Primer", L"nLayerOptPrimer"),
};
constexpr Queries kBelow2{.dotControl = 1016, .variableValue = 0, .dotSizeAnswers = kDotSizeAnswers};
const PageDesc kDescUJF3042{"CMimakiPageUJF3042", "DEVPARMUJF3042_CLASS", 22037, Base::Plain, kUJF3042, kBelow2};
const Control kUJF706[] = {
    LAYER_NUMBERS, ComboData(1016, {0, "Dot size"}, L"nDotSize", kDotSize4), Button(1178, {0, "Dot size..."}, 22031),
    ComboData(1198, {0, "Passes"}, L"nPass", kPasses), ComboIndex(1127, {0, "Refresh"}, L"nRefreshLevel", kRefresh),
    MEDIA_CORRECTION, INK_OPTIONS(1220, "Colour", L"nLayerOptColor"), INK_OPTIONS(1225, "White", L"nLayerOptWhite"),
    INK_OPTIONS(1230, "Varnish", L"nLayerOptVarnish"),
};
const PageDesc kDescUJF706{"CMimakiPageUJF706", "DEVPARMUJF706_CLASS", 22040, Base::Plain, kUJF706, kBelow2};

#define CONDITION_MODE                                                                                       \
    Control{.id = 1200, .kind = Ctl::PrintMode, .caption = {0, "Print mode"}},                              \
        RetrieveButton(1256, {0, "Retrieve print modes from printer"}, Act::RetrievePrintModes),             \
        RetrieveButton(1257, {0, "Retrieve dot volumes from printer"}, Act::RetrieveDotVolumes)
constexpr PrintModeFields kUjfFields{.xDpi = L"nXDpi", .yDpi = L"nYDpi", .setNumber = L"nPrintModeSetNumber",
                                     .hq = L"nHQ", .actionLarge = L"nActionCategoryLarge",
                                     .actionSmall = L"nActionCategorySmall", .printModeId = L"nPrintModeId",
                                     .waveShape = L"m_nWaveShape", .dotSize = L"m_nDotSize",
                                     .dotVolumes = L"strDotVolumesData", .printModeData = L"strPrintModeData"};
constexpr Queries kCode{.dotControl = 1016, .variableValue = 1, .dotSizeAnswers = kDotCodeAnswers};
const Control kUJFx042[] = {
    CONDITION_MODE, UJF7151_LAYERS, Radio(1011, {0, "Print direction"}, L"m_nDirection", kDirection),
    ComboData(1198, {0, "Passes"}, L"m_nPass", kPasses).Source(Items::ModePasses),
    ComboData(1016, {0, "Dot size"}, L"m_nDotSize", kDotCodes),
    ComboIndex(1130, {0, "Media feed correction"}, L"m_nMediaFeedMode", kMode),
    Number(1034, {}, L"m_nMediaFeedValue", -255, 255).Enable(ControlIs(1130, 1)),
    ComboIndex(1127, {0, "Refresh"}, L"m_nRefreshLevel", kRefresh),
};
const PageDesc kDescUJFx042{"CMimakiPageUJF_x042MKII", "DEVPARMUJF_x042MKII_CLASS", 22057, Base::Retrieve, kUJFx042,
                            kCode, 0, nullptr, 0, {}, kUjfFields};
const PageDesc kDescUJF7151{"CMimakiPageUJF7151", "DEVPARMUJF7151_CLASS", 22064, Base::Retrieve, kUJFx042, kCode, 0,
                            nullptr, 0, {}, kUjfFields};

// The layered flatbeds whose layers are a list: the list and its manager.
#define LAYER_LIST                                                                                           \
    Control{.id = 1023, .kind = Ctl::Layers, .caption = {0, "Layers"}},                                     \
        Button(1338, {0, "Manage layers..."}, 22070)
const Control kUJF7151p2[] = {
    CONDITION_MODE, LAYER_LIST, ComboData(1016, {0, "Dot size"}, L"nDotSize", kDotCodes),
    Check(1207, {0, "Switch to local between layers"}, L"bSwitchToLocalBetweenLayers"),
    ComboIndex(1127, {0, "Refresh"}, L"nRefreshLevel", kRefresh),
    Number(1209, {0, "Feed type"}, L"nCurFeedType", 0, 9), Number(1210, {0, "Feed value"}, L"nFeedVal", -999, 999),
    Check(1134, {0, "Left margin"}, L"m_bSetLeftMargin"), Number(1135, {}, L"m_nLeftMargin", 0, 999).When(1134).Unit("mm"),
    Check(1136, {0, "Right margin"}, L"m_bSetRightMargin"), Number(1137, {}, L"m_nRightMargin", 0, 999).When(1136).Unit("mm"),
    Check(1216, {0, "Kebab"}, L"m_bKebabAvailable"), Number(1217, {}, L"m_nKebabOption", 0, 9).When(1216),
};
const PageDesc kDescUJF7151p2{"CMimakiPageUJF7151PlusII", "DEVPARMUJF7151plusII_CLASS", 22078, Base::Retrieve,
                              kUJF7151p2, kCode, 0, nullptr, 0, {},
                              {.xDpi = L"nXDpi", .yDpi = L"nYDpi", .setNumber = L"nPrintModeSetNumber",
                               .dotSize = L"nDotSize", .dotVolumes = L"strDotVolumesData",
                               .printModeData = L"strPrintModeData"},
                              true};
const Control kJFX200EX[] = {
    LAYER_LIST, ComboData(1016, {0, "Dot size"}, L"nDotSize", kDotSize4),
    ComboIndex(1127, {0, "Refresh"}, L"nRefreshLevel", kRefresh), MEDIA_CORRECTION,
    Check(1207, {0, "Switch to local between layers"}, L"bSwitchToLocalBetweenLayers"),
    Check(1149, {0, "Power off after the job"}, L"bPowerOff"), Number(1150, {}, L"nPowerOff", 0, 999).When(1149).Unit("min"),
};
constexpr Queries kJfx{.dotControl = 1016, .variableValue = 1, .variableLevels = 3,
                       .dotSizeAnswers = kDotSizeAnswers};
const PageDesc kDescJFX200EX{"CMimakiPageJFX200EX", "DEVPARMS_JFX200EX_CLASS", 22072, Base::Plain, kJFX200EX, kJfx,
                             0, nullptr, 0, {}, {}, true};

#define JFX_COMMON                                                                                           \
    Check(1207, {0, "Switch to local between layers"}, L"bSwitchToLocalBetweenLayers"), LAYER_KINDS(0),      \
        ComboData(1016, {0, "Dot size"}, L"nDotSize", kDotSize4), ComboData(1198, {0, "Passes"}, L"nPass", kPasses), \
        Number(1118, {0, "Wave shape"}, L"nWaveShape", 0, 99), ComboIndex(1127, {0, "Refresh"}, L"nRefreshLevel", kRefresh), \
        MEDIA_CORRECTION
const Control kJFXMK[] = {
    JFX_COMMON, Number(1208, {0, "UV configuration"}, L"nUvConfig", 0, 9),
    Number(1218, {0, "Media type"}, L"nTypeMedia", 0, 9),
    INK_OPTIONS(1220, "Colour", L"nLayerOptColor"), INK_OPTIONS(1225, "White", L"nLayerOptWhite"),
    INK_OPTIONS(1230, "Varnish", L"nLayerOptVarnish"), INK_OPTIONS(1235, "Primer", L"nLayerOptPrimer"),
};
const PageDesc kDescJFXMK{"CMimakiPageUJFMkSeries", "DEVPARMJFXMKSERIES_CLASS", 22059, Base::Plain, kJFXMK, kJfx};
const Control kJFX500[] = {
    JFX_COMMON, Number(1208, {0, "UV configuration"}, L"nUvConfig", 0, 9),
    INK_OPTIONS(1220, "Colour", L"nLayerOptColor"), INK_OPTIONS(1225, "White", L"m_nLayerOptWhite"),
    INK_OPTIONS(1230, "Varnish", L"m_nLayerOptVarnish"), INK_OPTIONS(1235, "Primer", L"m_nLayerOptPrimer"),
    INK_OPTIONS(1240, "Layer 1 options", L"nLayerOpt1"), Number(1244, {0, "Layer 1 passes"}, L"nLayerOpt1.nPass", 0, 64).In(1240),
};
const PageDesc kDescJFX500{"CMimakiPageJFX500_v2", "DEVPARMJFX500_v2_CLASS", 22065, Base::Plain, kJFX500, kJfx};
const Control kJFX200[] = {
    JFX_COMMON, ComboData(1219, {0, "Print area"}, L"bSplitPrintArea",
                          std::span<const Item>(kOnOff)),
    INK_OPTIONS(1220, "Colour", L"nLayerOptColor"), INK_OPTIONS(1225, "White", L"nLayerOptWhite"),
    INK_OPTIONS(1230, "Varnish", L"nLayerOptVarnish"), INK_OPTIONS(1235, "Primer", L"nLayerOptPrimer"),
    ComboData(1245, {0, "Colour UV left"}, L"nLayerOptColor.nUVPolicyLeft", kUvPolicy).In(1220),
    ComboData(1246, {0, "Colour UV right"}, L"nLayerOptColor.nUVPolicyRight", kUvPolicy).In(1220),
};
const PageDesc kDescJFX200{"CMimakiPageJFX200", "DEVPARMJFX200_CLASS", 22065, Base::Plain, kJFX200, kJfx};

} // namespace

std::span<const PageDesc* const> FlatbedPages()
{
    static const PageDesc* const pages[] = {&kDescUJF3042,   &kDescUJF706,   &kDescUJFx042, &kDescUJF7151,
                                            &kDescUJF7151p2, &kDescJFX200EX, &kDescJFXMK,   &kDescJFX500,
                                            &kDescJFX200};
    return pages;
}

} // namespace mimaki::ui
