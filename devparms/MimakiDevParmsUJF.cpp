#include "devparms/MimakiDevParmsUJF.h"

#include "devparms/MimakiCommands.h"
#include "devparms/MimakiLayerStart.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrinterDriverBase.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "layers/JfxLayerKinds.h"

using namespace mimaki::parms;

namespace {

#define UV4(o, d) KI(o.nUVPower1, d), KI(o.nUVPower2, d), KI(o.nUVPower3, d), KI(o.nUVPower4, d)
#define UV8(o) UV4(o, 0), KI(o.nUVPower5, 0), KI(o.nUVPower6, 0), KI(o.nUVPower7, 0), KI(o.nUVPower8, 0)
#define LAYER_MODES(first, rest)                                                                            \
    PK_INT(L"nLayer1Mode", nLayer1Mode, first), PK_INT(L"nLayer2Mode", nLayer2Mode, rest),                  \
        PK_INT(L"nLayer3Mode", nLayer3Mode, rest), PK_INT(L"nLayer4Mode", nLayer4Mode, rest),               \
        PK_INT(L"nLayer5Mode", nLayer5Mode, rest)
#define SWITCH_TO_LOCAL PK_INT(L"bSwitchToLocalBetweenLayers", bSwitchToLocalBetweenLayers, 0)
// The options of an ink (direction, layers, UV policies, eight UV powers).
#define INK_OPTION(o)                                                                                       \
    KI(o.nDirection, 0), KI(o.nLayers, 0), KI(o.nUVPolicyLeft, 0), KI(o.nUVPolicyRight, 0), UV8(o)

// Model-definition keys are spelt without the "b" their record copies carry.
#define MB(name, m, d) Key{name, Kind::ModelInt, d, nullptr, PK_FIELD(m)}
#define UV_MODEL_FLAGS                                                                                      \
    MB(L"SkipUVCommandWhenPanelSettings", bSkipUVCommandWhenPanelSettings, 0),                              \
        MB(L"UseShorterQDVersion", bUseShorterQDVersion, 1), MB(L"UseUnsupportedCommands", bUseUnsupportedCommands, 0), \
        MB(L"KeepCurrentModeBetweenLayers", bKeepCurrentModeBetweenLayers, 0)

constexpr std::uint64_t Kinds(std::initializer_list<int> kinds)
{
    std::uint64_t mask = 0;
    for (const int k : kinds)
        mask |= std::uint64_t{1} << k;
    return mask;
}

// The JFX underprint kinds are the catalogue's.
const std::uint64_t kJfx500Underprints = mimaki::jfx::ReversedKindMask(mimaki::jfx::Model::JFX500);
const std::uint64_t kJfx200Underprints = mimaki::jfx::ReversedKindMask(mimaki::jfx::Model::JFX200);

// Value i of the model's "LayerParmDefault" ("0|0|22078|1|0"), 0 past its end.
template <class C, int I>
int LayerParmDefaultAt(CUnivDevParmsBase& o, const CPrintEnv&)
{
    const std::vector<std::wstring> parts = Split(static_cast<C&>(o).LayerParmDefault, L'|', 1);
    return I < static_cast<int>(parts.size()) ? IntFromString(parts[I]) : 0;
}

#define LP(l, i, s)                                                                                         \
    Key{L"\"LP" #l "_" #s "\"", Kind::Int, 0, nullptr, PK_FIELD(m_LayerParm[l - 1][i]), &LayerParmDefaultAt<Self, i>}
#define LP_LAYER(l) LP(l, 0, IDS), LP(l, 1, PAS), LP(l, 2, FD), LP(l, 3, LB), LP(l, 4, SB), LP(l, 5, WS)
#define LAYER_PARM_KEYS LP_LAYER(1), LP_LAYER(2), LP_LAYER(3), LP_LAYER(4), LP_LAYER(5)

// The layer records of the stream models: "Layer<n>.<field>" after the
// count, the fields both keep and then each one's own.
#define LAYER_KEYS                                                                                          \
    PK_LIST(L".nType", m_Layers, nType, &mimaki::layerlist::IsKindOrNone, mimaki::layerlist::kNoKind),      \
        PK_LIST(L".bMirror", m_Layers, bMirror), PK_LIST(L".nPass", m_Layers, nPass),                       \
        PK_LIST(L".nWaveForm", m_Layers, nWaveForm), PK_LIST(L".nDirection", m_Layers, nDirection)

template <class Self>
KeyList LayerList(std::span<const ListKey> keys)
{
    return {L"nNumberOfLayers", kMaxLayers,
            [](CUnivDevParmsBase& o, std::size_t n) { static_cast<Self&>(o).m_Layers.resize(n); }, keys, L"Layer"};
}

// The resolutions default to the model's: X is the printer's vertical one.
#define DPI_KEYS()                                                                        \
    Key{L"nXDpi", Kind::Int, 0, nullptr, PK_FIELD(nXDpi),                                                   \
        [](CUnivDevParmsBase& o, const CPrintEnv&) { return static_cast<Self&>(o).DpiVert; }},              \
        Key{L"nYDpi", Kind::Int, 0, nullptr, PK_FIELD(nYDpi),                                               \
            [](CUnivDevParmsBase& o, const CPrintEnv&) { return static_cast<Self&>(o).DpiHorz; }}

} // namespace

int CMimaki_UJF_Base_CLASS::UnderprintLayer(int nLayer, int nPrinterTyp, int nLastTyp) const
{
    // Per ink configuration (WW, VV, WV, PP, WP, VP, WVP): its underprint layers.
    static constexpr std::uint64_t kUnderprints[] = {Kinds({2}),    Kinds({1}),    Kinds({2, 4}),   Kinds({1}),
                                                     Kinds({2, 4}), Kinds({1, 5}), Kinds({3, 5, 7})};
    if (nPrinterTyp < 0 || nPrinterTyp > nLastTyp || nLayer < 0 || nLayer > 63)
        return 0;
    return (kUnderprints[nPrinterTyp] >> nLayer) & 1 ? 1 : 0;
}

const KeyTable* DEVPARMUJF3042_CLASS::Table() const
{
    using Self = DEVPARMUJF3042_CLASS;
    static const Key keys[] = {
        MI(UJFPrinterTyp, 0), LAYER_MODES(1, 0), KI(nRefreshLevel, 0), KI(nDotSize, 0),
        PK_INT(L"nPass", nPass, 0), KB(strPass), KI(nMediaCorrection, 0), KI(nMediaCorrectionValue, 0),
        KI(nUvConfig, 0), KI(nLayerOptColor.nDirection, 0), KI(nLayerOptColor.nLayers, 0), UV8(nLayerOptColor),
        KI(nLayerOptColor.bParameterSet, 1), KI(nLayerOptWhite.nDirection, 0), KI(nLayerOptWhite.nLayers, 0),
        UV8(nLayerOptWhite), KI(nLayerOptWhite.bParameterSet, 0), KI(nLayerOptVarnish.nDirection, 0),
        KI(nLayerOptVarnish.nLayers, 0), UV8(nLayerOptVarnish), KI(nLayerOptVarnish.bParameterSet, 0),
        KI(nLayerOptPrimer.nDirection, 0), KI(nLayerOptPrimer.nLayers, 0), UV8(nLayerOptPrimer),
        KI(nLayerOptPrimer.bParameterSet, 0), KI(nLastLayerOption, 0), KI(nLayerOption, 0),
    };
    static const KeyTable table(L"DEVPARMUJF3042_CLASS", L"DP19", keys, [] {
        Profile p = Profile{.ink = InkRule::DotBelow,
                                 .inkDot = L"nDotSize",
                                 .inkValue = 2,
                                 .layerSchedule = LayerSchedule::UjfMode};
        p.end = EndString::Empty;
        p.layered = true;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMUJF706_CLASS::Table() const
{
    using Self = DEVPARMUJF706_CLASS;
    static const Key keys[] = {
        MI(UJFPrinterTyp, 0), LAYER_MODES(1, 0), KI(nRefreshLevel, 0), KI(nDotSize, 0), KI(bDotSizeUseDefault, 1),
        KI(nDotSizeBig, 5), KI(nDotSizeMedium, 6), KI(nDotSizeSmall, 7), PK_INT(L"nPass", nPass, 0), KB(strPass),
        KI(nMediaCorrection, 0), KI(nMediaCorrectionValue, 0), KI(nLayerOptColor.nDirection, 0),
        KI(nLayerOptColor.nLayers, 0), UV4(nLayerOptColor, 0), KI(nLayerOptColor.bParameterSet, 1),
        KI(nLayerOptWhite.nDirection, 0), KI(nLayerOptWhite.nLayers, 0), UV4(nLayerOptWhite, 0),
        KI(nLayerOptWhite.bParameterSet, 0), KI(nLayerOptVarnish.nDirection, 0), KI(nLayerOptVarnish.nLayers, 0),
        UV4(nLayerOptVarnish, 0), KI(nLayerOptVarnish.bParameterSet, 0), KI(nLayerOptColor.nUVPower, 0),
        KI(nLayerOptWhite.nUVPower, 0), KI(nLayerOptVarnish.nUVPower, 0),
    };
    static const KeyTable table(L"DEVPARMUJF706_CLASS", L"DP20", keys, [] {
        Profile p = Profile{.ink = InkRule::DotBelow,
                                 .inkDot = L"nDotSize",
                                 .inkValue = 2,
                                 .layerSchedule = LayerSchedule::UjfMode};
        p.layered = true;
        return p;
    }());
    return &table;
}

namespace {

#define LAYER_UV_KEYS                                                                                       \
    KI(m_nLayer1UV, 0), KI(m_nLayer2UV, 0), KI(m_nLayer3UV, 0), KI(m_nLayer4UV, 0), KI(m_nLayer5UV, 0),     \
        KI(m_nLayerUV1Val, 0), KI(m_nLayerUV2Val, 0), KI(m_nLayerUV3Val, 0), KI(m_nLayerUV4Val, 0),         \
        KI(m_nLayerUV5Val, 0), KI(m_nLayerOverPaint1, 0), KI(m_nLayerOverPaint2, 0), KI(m_nLayerOverPaint3, 0), \
        KI(m_nLayerOverPaint4, 0), KI(m_nLayerOverPaint5, 0), KI(m_nMirror1, 0), KI(m_nMirror2, 0),         \
        KI(m_nMirror3, 0), KI(m_nMirror4, 0), KI(m_nMirror5, 0)
#define UJF7151_MODEL_KEYS                                                                                  \
    UV_MODEL_FLAGS, MT(JFXPrinterType, L""), MI(DpiVert, 360), MI(DpiHorz, 360), MSLOTS(SlotsSetting),        \
        MT(MimakiColorSequence, L""), MT(LayerParmDefault, L"0|0|22078|1|0")
#define UJF7151_PRINT_MODE_KEYS                                                                             \
    KH(strDotVolumesData), KI(nHQ, 0), KI(nPrintModeSetNumber, 0), KI(nActionCategoryLarge, 0),             \
        KI(nActionCategorySmall, 0), DPI_KEYS(), KI(nHSpeedMode, 0), KI(nPrintModeId, 0), KI(m_nDirection, 0), \
        PK_INT(L"m_nPass", nPass, 0), KI(m_nDotSize, 0), KI(m_nMediaFeedMode, 0), KI(m_nMediaFeedValue, 0), \
        PK_MARGIN_KEYS, KI(m_nRefreshLevel, 0), KT(strPrintModeData), KI(m_nWaveShape, 0)

// The print-condition flatbeds keep their analysed conditions and name
// their layers by kind.
constexpr Profile Ujf7151Profile()
{
    Profile p = PrintConditionProfile(L"m_nDotSize");
    p.highSpeed = Answer::Zero;
    p.conditions = true;
    p.layerSchedule = LayerSchedule::KindId;
    return p;
}

} // namespace

const KeyTable* DEVPARMUJF_x042MKII_CLASS::Table() const
{
    using Self = DEVPARMUJF_x042MKII_CLASS;
    static const Key keys[] = {
        UJF7151_MODEL_KEYS, SWITCH_TO_LOCAL, KI(eLogicalSeek, 0), LAYER_MODES(0, -1), LAYER_UV_KEYS,
        UJF7151_PRINT_MODE_KEYS, LAYER_PARM_KEYS,
    };
    static const KeyTable table(L"DEVPARMUJF_x042MKII_CLASS", L"DP35", keys, [] {
        Profile p = Ujf7151Profile();
        p.end = EndString::Empty;
        p.layered = true;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMUJF7151_CLASS::Table() const
{
    using Self = DEVPARMUJF7151_CLASS;
    static const Key keys[] = {
        UJF7151_MODEL_KEYS,     SWITCH_TO_LOCAL,        LAYER_MODES(0, -1),     LAYER_UV_KEYS,
        KI(m_nAWaveShape1, 0),  KI(m_nAWaveShape2, 0),  KI(m_nAWaveShape3, 0),  KI(m_nAWaveShape4, 0),
        KI(m_nAWaveShape5, 0),  UJF7151_PRINT_MODE_KEYS, LAYER_PARM_KEYS,
    };
    static const KeyTable table(L"DEVPARMUJF7151_CLASS", L"DP35", keys, [] {
        Profile p = Ujf7151Profile();
        p.end = EndString::Empty;
        p.layered = true;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMUJF7151plusII_CLASS::Table() const
{
    using Self = DEVPARMUJF7151plusII_CLASS;
    static const Key keys[] = {
        MI(DpiVert, 600), MI(DpiHorz, 600), MSLOTS(SlotsSetting), MT(MimakiColorSequence, L""),
        KH(strDotVolumesData), KI(nNumberOfLayers, 0), KT(strPrintModeData), KI(nCurFeedType, 0), KI(nFeedVal, 0),
        KI(nPrintModeSetNumber, 0), DPI_KEYS(), KI(nDotSize, 1), PK_MARGIN_KEYS, KI(nRefreshLevel, 0),
        SWITCH_TO_LOCAL, KI(m_bKebabAvailable, 0), KI(m_nKebabOption, 0),
        // Stored under this spelling by the printer's own software.
        Key{L"L\"dCommandManualVersion\"", Kind::Real, 0, L"0.0", PK_FIELD(dCommandManualVersion)},
    };
    static const ListKey layerKeys[] = {LAYER_KEYS, PK_LIST(L".bSecondHalf", m_Layers, bSecondHalf)};
    static const KeyList layers = LayerList<Self>(layerKeys);
    static const KeyTable table(L"DEVPARMUJF7151plusII_CLASS", L"DP53", keys, [] {
        Profile p = Profile{.printModeData = L"strPrintModeData",
                                 .xDpi = L"nXDpi",
                                 .yDpi = L"nYDpi",
                                 .colourMap = true,
                                 .mapAnswers = true,
                                 .conditions = true};
        p.end = EndString::Empty;
        p.layered = true;
        p.layerSchedule = LayerSchedule::List;
        p.reversedKinds = kJfx200Underprints;
        p.list = &layers;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMJFXMKSERIES_CLASS::Table() const
{
    using Self = DEVPARMJFXMKSERIES_CLASS;
    static const Key keys[] = {
        UV_MODEL_FLAGS, MT(JFXPrinterType, L""), MI(UJF6042, 0), SWITCH_TO_LOCAL, LAYER_MODES(0, -1),
        KI(nRefreshLevel, 0), KI(nDotSize, 0), PK_INT(L"nPass", nPass, 0), KI(nWaveShape, 0),
        KI(nMediaCorrection, 0), KI(nMediaCorrectionValue, 0), KI(nUvConfig, 0), INK_OPTION(nLayerOptColor),
        KI(nLayerOptColor.bParameterSet, 1), INK_OPTION(nLayerOptWhite), KI(nLayerOptWhite.bParameterSet, 0),
        INK_OPTION(nLayerOptVarnish), KI(nLayerOptVarnish.bParameterSet, 0), INK_OPTION(nLayerOptPrimer),
        KI(nLayerOptPrimer.bParameterSet, 0), KI(nLastLayerOption, 0), KI(nLayerOption, 0), KI(nTypeMedia, 0),
    };
    static const KeyTable table(L"DEVPARMJFXMKSERIES_CLASS", L"DPMK", keys, [] {
        Profile p = Profile{.ink = InkRule::Jfx,
                                 .inkDot = L"nDotSize",
                                 .layerSchedule = LayerSchedule::KindId,
                                 .reversedKinds = kJfx500Underprints};
        p.end = EndString::Empty;
        p.layered = true;
        return p;
    }());
    return &table;
}

namespace {

// Without its own pass count the first layer takes the job's.
template <class C>
int FirstLayerPasses(CUnivDevParmsBase& o, const CPrintEnv&)
{
    return static_cast<C&>(o).nPass;
}

#define FIVE(m, d) KI(nLayerOpt1.m, d), KI(nLayerOpt2.m, d), KI(nLayerOpt3.m, d), KI(nLayerOpt4.m, d), KI(nLayerOpt5.m, d)
#define FIRST_LAYER_PASS Key{L"nLayerOpt1.nPass", Kind::Int, 0, nullptr, PK_FIELD(nLayerOpt1.nPass), &FirstLayerPasses<Self>}

} // namespace

const KeyTable* DEVPARMJFX500_v2_CLASS::Table() const
{
    using Self = DEVPARMJFX500_v2_CLASS;
    static const Key keys[] = {
        UV_MODEL_FLAGS, MT(JFXPrinterType, L""), KI(nPrnEnvVersion, 1), SWITCH_TO_LOCAL, LAYER_MODES(0, -1),
        KI(nRefreshLevel, 0), KI(nMediaCorrection, 0), KI(nMediaCorrectionValue, 0), KI(nUvConfig, 0),
        KI(nDotSize, 1), PK_INT(L"nPass", nPass, 0), KI(nWaveShape, 0), KI(m_nLayerOptWhite.bParameterSet, 1),
        KI(m_nLayerOptVarnish.bParameterSet, 1), KI(m_nLayerOptPrimer.bParameterSet, 1),
        INK_OPTION(m_nLayerOptWhite), INK_OPTION(m_nLayerOptVarnish), INK_OPTION(m_nLayerOptPrimer),
        INK_OPTION(nLayerOptColor), KI(nLayerOptColor.bParameterSet, 1), FIRST_LAYER_PASS,
        KI(nLayerOpt2.nPass, 0), KI(nLayerOpt3.nPass, 0), KI(nLayerOpt4.nPass, 0), KI(nLayerOpt5.nPass, 0),
        FIVE(nWaveShape, 0), FIVE(nDirection, 0), FIVE(nLayers, 0), FIVE(nUVPolicyLeft, 0), FIVE(nUVPolicyRight, 0),
        FIVE(nUVPolicySpotColor, 0), FIVE(nUVPower1, 0), FIVE(nUVPower2, 0), FIVE(nUVPower3, 0), FIVE(nUVPower4, 0),
        FIVE(nUVPower5, 0), FIVE(nUVPower6, 0), FIVE(nUVPower7, 0), FIVE(nUVPower8, 0), FIVE(bParameterSet, 1),
    };
    static const KeyTable table(L"DEVPARMJFX500_v2_CLASS", L"DP25", keys, [] {
        Profile p = Profile{.ink = InkRule::DotIs,
                                 .inkDot = L"nDotSize",
                                 .inkValue = 1,
                                 .layerSchedule = LayerSchedule::KindId,
                                 .reversedKinds = kJfx500Underprints};
        p.end = EndString::Empty;
        p.layered = true;
        return p;
    }());
    return &table;
}

namespace {

#define JFX200_INK(o, left, right)                                                                          \
    KI(o.nDirection, 0), KI(o.nLayers, 0), KI(o.nUVPolicyLeft, left), KI(o.nUVPolicyRight, right)
#define JFX200_LAYER(o, pass)                                                                               \
    pass, KI(o.nWaveShape, 0), KI(o.nDirection, 0), KI(o.nLayers, 0), KI(o.nUVPolicyLeft, 3),               \
        KI(o.nUVPolicyRight, 3), KI(o.nUVPolicySpotColor, 255), UV4(o, 134)

} // namespace

const KeyTable* DEVPARMJFX200_CLASS::Table() const
{
    using Self = DEVPARMJFX200_CLASS;
    static const Key keys[] = {
        UV_MODEL_FLAGS, MT(JFXPrinterType, L""), MT(MaxMediaLengthFullAreaMm, L""), MT(MaxMediaLengthSplitAreaMm, L""),
        KI(nPrnEnvVersion, 1), SWITCH_TO_LOCAL, KI(bSplitPrintArea, 0), LAYER_MODES(0, -1), KI(nRefreshLevel, 0),
        KI(nDotSize, 0), PK_INT(L"nPass", nPass, 0), KI(nWaveShape, 0), JFX200_INK(nLayerOptColor, 3, 3),
        UV4(nLayerOptColor, 134), JFX200_INK(nLayerOptWhite, 255, 255), UV4(nLayerOptWhite, 134),
        KI(nLayerOptWhite.nUVPolicySpotColor, 4), JFX200_INK(nLayerOptVarnish, 255, 255),
        UV4(nLayerOptVarnish, 134), KI(nLayerOptVarnish.nUVPolicySpotColor, 3),
        JFX200_INK(nLayerOptPrimer, 255, 255), UV4(nLayerOptPrimer, 0), KI(nLayerOptPrimer.nUVPolicySpotColor, 255),
        JFX200_LAYER(nLayerOpt1, FIRST_LAYER_PASS), JFX200_LAYER(nLayerOpt2, KI(nLayerOpt2.nPass, 0)),
        JFX200_LAYER(nLayerOpt3, KI(nLayerOpt3.nPass, 0)), JFX200_LAYER(nLayerOpt4, KI(nLayerOpt4.nPass, 0)),
        JFX200_LAYER(nLayerOpt5, KI(nLayerOpt5.nPass, 0)), KI(nMediaCorrection, 0), KI(nMediaCorrectionValue, 0),
    };
    static const KeyTable table(L"DEVPARMJFX200_CLASS", L"DP28", keys, [] {
        Profile p = Profile{.ink = InkRule::Jfx,
                                 .inkDot = L"nDotSize",
                                 .splitPrintArea = L"bSplitPrintArea",
                                 .layerSchedule = LayerSchedule::KindId,
                                 .reversedKinds = kJfx200Underprints};
        p.end = EndString::Empty;
        p.layered = true;
        return p;
    }());
    return &table;
}

// The host limits the medium length to what the chosen print area allows.
int DEVPARMJFX200_CLASS::Save(CPrintEnv* pEnv)
{
    const int result = CMimakiDevParmsBase::Save(pEnv);
    if (pEnv) {
        const std::wstring& length = IsSplitPrintArea() ? MaxMediaLengthSplitAreaMm : MaxMediaLengthFullAreaMm;
        if (!length.empty())
            pEnv->PutString(PrEnv_MaxMediaLengthMm, length.c_str());
    }
    return result;
}

const KeyTable* DEVPARMS_JFX200EX_CLASS::Table() const
{
    using Self = DEVPARMS_JFX200EX_CLASS;
    static const Key keys[] = {
        MB(L"SkipUVCommandWhenPanelSettings", bSkipUVCommandWhenPanelSettings, 0), KI(nPrnEnvVersion, 1),
        KI(nNumberOfLayers, 0), KI(nDotSize, 0), KI(nRefreshLevel, 0), KI(nMediaCorrection, 0),
        KI(nMediaCorrectionValue, 0), SWITCH_TO_LOCAL, KI(bPowerOff, 0), KI(nPowerOff, 0),
    };
    static const ListKey layerKeys[] = {LAYER_KEYS, PK_LIST(L".bFlipWhenBackward", m_Layers, bFlipWhenBackward),
                                        PK_LIST(L".bFlipWhenForward", m_Layers, bFlipWhenForward)};
    static const KeyList layers = LayerList<Self>(layerKeys);
    static const KeyTable table(L"DEVPARMS_JFX200EX_CLASS", L"DP46", keys, [] {
        Profile p = Profile{.ink = InkRule::Jfx,
                                 .inkDot = L"nDotSize",
                                 .layerSchedule = LayerSchedule::List,
                                 .reversedKinds = kJfx200Underprints};
        p.end = EndString::Empty;
        p.layered = true;
        p.list = &layers;
        return p;
    }());
    return &table;
}

// ---------------------------------------------------------------- layer starts

namespace {

namespace ly = mimaki::layer;
using ly::Cmd;

// The UV options of a position or an ink.
void Uv(ly::Values& v, const CMimakiLayerOption& o, int powers)
{
    v.uvLeft = o.nUVPolicyLeft;
    v.uvRight = o.nUVPolicyRight;
    v.uvSpot = o.nUVPolicySpotColor;
    const int all[] = {o.nUVPower1, o.nUVPower2, o.nUVPower3, o.nUVPower4,
                       o.nUVPower5, o.nUVPower6, o.nUVPower7, o.nUVPower8};
    v.uvPowers.assign(all, all + powers);
}

// What every flatbed layer start carries.
template <class C>
ly::Values Flatbed(const C& p, int bReversed, int nPosKind)
{
    ly::Values v;
    v.dotSize = p.nDotSize;
    v.pass = p.nPass;
    v.waveShape = p.nWaveShape;
    v.mediaCorrection = p.nMediaCorrection;
    v.mediaCorrectionValue = p.nMediaCorrectionValue;
    v.refresh = p.nRefreshLevel;
    v.reversed = bReversed;
    v.positionKind = nPosKind;
    return v;
}

// A layer of a layer list: its passes, direction and wave form, the list's
// length, and its place in the list when no layer position is given.
void LayerOfList(ly::Values& v, const std::vector<CMimakiLayerRecord>& list, int nLayer, int nPosIndex)
{
    const auto& layers = mimaki::layerlist::Effective(list);
    v.layerCount = static_cast<int>(layers.size());
    v.position = nPosIndex < 0 ? nLayer : nPosIndex;
    if (nLayer < 0 || nLayer >= v.layerCount)
        return;
    const CMimakiLayerRecord& r = layers[static_cast<std::size_t>(nLayer)];
    v.pass = r.nPass;
    v.direction = r.nDirection;
    v.waveShape = r.nWaveForm;
}

const CMimakiLayerOption& PositionOption(const CMimakiLayerOption (&opts)[5], int index)
{
    return opts[index < 0 ? 0 : index > 4 ? 4 : index];
}

} // namespace

// Per-ink options where the ink's own set is chosen, else the position's.
std::string DEVPARMJFX500_v2_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed,
                                                        int nPosKind, int nPosIndex)
{
    const CMimakiLayerOption opts[5] = {nLayerOpt1, nLayerOpt2, nLayerOpt3, nLayerOpt4, nLayerOpt5};
    const CMimakiLayerOption& pos = PositionOption(opts, nPosIndex);
    const CMimakiLayerOption* inks[] = {&nLayerOptColor, &m_nLayerOptWhite, &m_nLayerOptVarnish, &m_nLayerOptPrimer};
    const CMimakiLayerOption& ink = *inks[ly::InkOfKind(nLayer)];
    ly::Values v = Flatbed(*this, bReversed, nPosKind);
    v.pass = pos.nPass;
    v.waveShape = pos.nWaveShape;
    v.direction = pos.nDirection;
    v.layers = pos.nLayers;
    Uv(v, ink.bParameterSet ? ink : pos, 8);
    return ly::Start({}, {Cmd::QP, Cmd::QA, Cmd::QC, Cmd::QH, Cmd::PB, Cmd::PO, Cmd::QT, Cmd::PI, Cmd::QX}, v, pDriver);
}

std::string DEVPARMJFX500_v2_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int nFlag) { return ly::End(nFlag); }

std::string DEVPARMJFXMKSERIES_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed,
                                                          int nPosKind, int)
{
    const CMimakiLayerOption* inks[] = {&nLayerOptColor, &nLayerOptWhite, &nLayerOptVarnish, &nLayerOptPrimer};
    const CMimakiLayerOption& ink = *inks[ly::InkOfKind(nLayer)];
    ly::Values v = Flatbed(*this, bReversed, nPosKind);
    v.direction = ink.nDirection;
    v.layers = ink.nLayers;
    Uv(v, ink, 8);
    return ly::Start({}, {Cmd::QP, Cmd::QA, Cmd::QC, Cmd::QT, Cmd::PI, Cmd::QX}, v, pDriver);
}

std::string DEVPARMJFXMKSERIES_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int nFlag)
{
    return ly::End(nFlag);
}

std::string DEVPARMJFX200_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed,
                                                     int nPosKind, int nPosIndex)
{
    const CMimakiLayerOption opts[5] = {nLayerOpt1, nLayerOpt2, nLayerOpt3, nLayerOpt4, nLayerOpt5};
    const CMimakiLayerOption& pos = PositionOption(opts, nPosIndex);
    const CMimakiLayerOption* inks[] = {&nLayerOptColor, &nLayerOptWhite, &nLayerOptVarnish, &nLayerOptPrimer};
    const CMimakiLayerOption& ink = *inks[ly::InkOfKind(nLayer)];
    ly::Values v = Flatbed(*this, bReversed, nPosKind);
    v.pass = pos.nPass;
    v.waveShape = pos.nWaveShape;
    v.direction = pos.nDirection;
    v.layers = pos.nLayers;
    Uv(v, pos, 4);
    // The ink's spot-colour policy applies to the ink it prints.
    if (ly::InkOfKind(nLayer) != ly::kColour)
        v.uvSpot = ink.nUVPolicySpotColor;
    v.band = IsSplitPrintArea() ? 1 : 0;
    return ly::Start({}, {Cmd::QP, Cmd::QC, Cmd::QH, Cmd::PB, Cmd::PO, Cmd::QT, Cmd::PI, Cmd::QV}, v, pDriver);
}

std::string DEVPARMJFX200_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int nFlag) { return ly::End(nFlag); }

std::string DEVPARMS_JFX200EX_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed,
                                                         int nPosKind, int nPosIndex)
{
    ly::Values v;
    v.dotSize = nDotSize;
    v.refresh = nRefreshLevel;
    v.mediaCorrection = nMediaCorrection;
    v.mediaCorrectionValue = nMediaCorrectionValue;
    v.reversed = bReversed;
    v.positionKind = nPosKind;
    LayerOfList(v, m_Layers, nLayer, nPosIndex);
    v.powerOff = bPowerOff ? 1 : 0;
    v.powerOffMinutes = nPowerOff;
    v.colourIds = &MimakiColorIDList;
    v.jobSize = true;
    return ly::Start({}, {Cmd::QP, Cmd::QT, Cmd::QB, Cmd::QC, Cmd::QS, Cmd::PI, Cmd::PO, Cmd::QV}, v, pDriver);
}

std::string DEVPARMS_JFX200EX_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int nFlag) { return ly::End(nFlag); }

// Position N's (or, without a position, layer N's) UV mode and value,
// over-paint count and wave shape.
std::string DEVPARMUJF_x042MKII_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed,
                                                           int nPosKind, int nPosIndex)
{
    const int at = nPosIndex >= 0 ? nPosIndex : nLayer;
    const int i = at < 0 ? 0 : at > 4 ? 4 : at;
    const int uv[] = {m_nLayer1UV, m_nLayer2UV, m_nLayer3UV, m_nLayer4UV, m_nLayer5UV};
    const int uvValue[] = {m_nLayerUV1Val, m_nLayerUV2Val, m_nLayerUV3Val, m_nLayerUV4Val, m_nLayerUV5Val};
    const int overPaint[] = {m_nLayerOverPaint1, m_nLayerOverPaint2, m_nLayerOverPaint3, m_nLayerOverPaint4,
                             m_nLayerOverPaint5};
    const int wave[] = {m_nAWaveShape1, m_nAWaveShape2, m_nAWaveShape3, m_nAWaveShape4, m_nAWaveShape5};
    ly::Values v;
    v.dotSize = m_nDotSize;
    v.pass = nPass;
    v.direction = m_nDirection;
    v.layers = overPaint[i];
    v.waveShape = wave[i] ? wave[i] : m_nWaveShape;
    v.mediaCorrection = m_nMediaFeedMode;
    v.mediaCorrectionValue = m_nMediaFeedValue;
    v.refresh = m_nRefreshLevel;
    v.reversed = bReversed;
    v.positionKind = nPosKind;
    v.uvLeft = v.uvRight = uv[i];
    v.uvPowers = {uvValue[i]};
    // Panel settings may keep the printer's UV.
    if (bSkipUVCommandWhenPanelSettings && uv[i] == 0)
        v.uvLeft = v.uvRight = ly::kKeep;
    return ly::Start({}, {Cmd::QP, Cmd::QA, Cmd::QC, Cmd::QT, Cmd::QV, Cmd::PI}, v, pDriver);
}

std::string DEVPARMUJF_x042MKII_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int nFlag)
{
    return ly::End(nFlag);
}

DEVPARMUJF_x042MKII_CLASS::SlotLayer DEVPARMUJF_x042MKII_CLASS::GetSlotLayer(int nLayer) const
{
    const int k = nLayer < 0 ? 0 : nLayer > 4 ? 4 : nLayer;
    const int modes[5] = {nLayer1Mode, nLayer2Mode, nLayer3Mode, nLayer4Mode, nLayer5Mode};
    const int mirror[5] = {m_nMirror1, m_nMirror2, m_nMirror3, m_nMirror4, m_nMirror5};
    const int* lp = m_LayerParm[k]; // IDS, PAS, FD, LB, SB, WS
    return {lp[0], lp[1], lp[3], modes[k], lp[4], mirror[k]};
}

std::string DEVPARMUJF7151plusII_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed,
                                                            int nPosKind, int nPosIndex)
{
    ly::Values v;
    v.dotSize = nDotSize;
    v.mediaCorrection = nCurFeedType;
    v.mediaCorrectionValue = nFeedVal;
    v.refresh = nRefreshLevel;
    v.reversed = bReversed;
    v.positionKind = nPosKind;
    v.commandVersion = SaturatedInt(dCommandManualVersion * 100 + 0.5);
    LayerOfList(v, m_Layers, nLayer, nPosIndex);
    const CPrintEnv* env = pDriver ? pDriver->GetPrintEnv() : nullptr;
    v.jobSize = !env || env->GetInt(L"bUseQSCommand", 1) != 0;
    return ly::Start({Cmd::QM}, {Cmd::QP, Cmd::QA, Cmd::QS, Cmd::QC, Cmd::QT, Cmd::QV, Cmd::PI, Cmd::QX}, v, pDriver);
}

std::string DEVPARMUJF7151plusII_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int nFlag)
{
    return ly::End(nFlag);
}

// ---------------------------------------------------------------- UJF models

namespace {

// The ink each layer of an ink configuration prints besides colour, and
// whether it goes over the colour: WW, VV, WV, PP, WP, VP, WVP.
struct UjfLayer {
    ly::Ink ink;
    bool over;
};
constexpr ly::Ink C = ly::kColour, W = ly::kWhite, V = ly::kVarnish, P = ly::kPrimer;
const std::vector<std::vector<UjfLayer>> kUjfLayers = {
    {{C, 0}, {W, 0}, {W, 0}, {W, 1}, {C, 0}, {W, 0}},
    {{C, 0}, {V, 0}, {V, 1}, {V, 0}, {V, 0}},
    {{C, 0}, {W, 0}, {W, 0}, {W, 1}, {V, 0}, {V, 1}, {V, 0}, {V, 0}, {C, 0}, {W, 0}},
    {{C, 0}, {P, 0}, {P, 0}},
    {{C, 0}, {W, 0}, {W, 0}, {W, 1}, {P, 0}, {P, 0}, {W, 0}, {C, 0}},
    {{C, 0}, {V, 0}, {V, 1}, {V, 0}, {V, 0}, {P, 0}, {P, 0}},
    {{C, 0}, {W, 0}, {P, 0}, {W, 0}, {W, 1}, {V, 0}, {V, 1}, {P, 0}, {V, 0}, {V, 0}, {C, 0}, {W, 0}},
};

UjfLayer UjfLayerOf(int typ, int layer)
{
    if (typ < 0 || typ >= static_cast<int>(kUjfLayers.size()) || layer < 0 ||
        layer >= static_cast<int>(kUjfLayers[static_cast<std::size_t>(typ)].size()))
        return {C, false};
    return kUjfLayers[static_cast<std::size_t>(typ)][static_cast<std::size_t>(layer)];
}

// The start of a UJF layer: the ink's options, the pass list item, and the
// arrangement as the underprint flag (1 under, 2 over colour).
template <class C>
std::string UjfStart(const C& p, CPrinterDriverBase* driver, int layer, int nPosKind, int arrangement, int powers)
{
    const CMimakiLayerOption* inks[] = {&p.nLayerOptColor, &p.nLayerOptWhite, &p.nLayerOptVarnish, &p.nLayerOptPrimer};
    const CMimakiLayerOption& ink = *inks[UjfLayerOf(p.UJFPrinterTyp, layer).ink];
    ly::Values v = Flatbed(p, arrangement, nPosKind);
    v.direction = ink.nDirection;
    v.layers = ink.nLayers;
    Uv(v, ink, powers);
    v.uvLeft = v.uvRight = ly::kKeep;
    v.passItem = p.nPass;
    return ly::Start({}, {Cmd::QA, Cmd::QC, Cmd::QP, Cmd::QT, Cmd::QV, Cmd::PD}, v, driver);
}

// Before a layer: the layer number; after it: back to the layer's start.
std::string UjfLayerCommands(int layer)
{
    mimaki::cmd::Text t;
    t.Raw("PI\\001").Byte(layer);
    return t.Bytes();
}

} // namespace

std::string CMimaki_UJF_Base_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed,
                                                        int nPosKind, int)
{
    if (bReversed)
        return BuildUnderprintStart(pDriver, nLayer, nPosKind);
    const int typ = pDriver && pDriver->GetPrintEnv() ? pDriver->GetPrintEnv()->GetInt(L"UJFPrinterTyp", 0) : 0;
    if (UjfLayerOf(typ, nLayer).over)
        return BuildOverprintStart(pDriver, nLayer, nPosKind);
    return BuildSingleLayerStart(pDriver, nLayer, nPosKind);
}

std::string CMimaki_UJF_Base_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int) { return ly::End(0); }

#define UJF_OPERATIONS(cls, powers)                                                                             \
    std::string cls::GetLayerCommands(int nLayer) { return UjfLayerCommands(nLayer); }                          \
    std::string cls::GetLayerEndCommands(int) { return preProcess("QX\\005\\001\\000\\000\\000\\000"); }        \
    std::string cls::BuildSingleLayerStart(CPrinterDriverBase* d, int l, int k) { return UjfStart(*this, d, l, k, 0, powers); } \
    std::string cls::BuildUnderprintStart(CPrinterDriverBase* d, int l, int k) { return UjfStart(*this, d, l, k, 1, powers); } \
    std::string cls::BuildOverprintStart(CPrinterDriverBase* d, int l, int k) { return UjfStart(*this, d, l, k, 2, powers); }
UJF_OPERATIONS(DEVPARMUJF3042_CLASS, 8)
UJF_OPERATIONS(DEVPARMUJF706_CLASS, 4)
#undef UJF_OPERATIONS
