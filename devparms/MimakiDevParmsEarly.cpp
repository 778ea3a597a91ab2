#include "devparms/MimakiDevParmsEarly.h"

#include "devparms/MimakiCommands.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

using namespace mimaki::parms;

namespace cmd = mimaki::cmd;

namespace {

constexpr const wchar_t* kDevParmSet1 = L"MP\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o";

// Shared answers of the "M" models: cut from "AutoCut", the job's cut
// option defaulting to "SendAutoCut".
constexpr Profile MProfile(InkRule ink, int inkValue, Answer strObSeq = Answer::Host)
{
    return {.cut = Answer::Keys,
            .cutKey = L"AutoCut",
            .option0 = Answer::Keys,
            .option0Key = L"SendAutoCut",
            .strObSeq = strObSeq,
            .ink = ink,
            .inkDot = L"DotSize",
            .inkValue = inkValue};
}

} // namespace

const KeyTable* DEVPARM1_CLASS::Table() const
{
    using Self = DEVPARM1_CLASS;
    static const Key keys[] = {
        KI(Unidir, 1), KI(Banding, 4), KI(OverPrintings, 1), KI(AutomaticCut, 0), KI(DryTimeScan, 0),
        KI(DryTimeEnd, 0), KI(UseDeviceOverPrintings, 0), KI(UseDeviceDryTimeScan, 0), KI(UseDeviceDryTimeEnd, 0),
        KI(DontSendSet1, 1),
    };
    static const KeyTable table(L"DEVPARM1_CLASS", L"DP1", keys,
                                {.cut = Answer::Keys, .cutKey = L"AutomaticCut", .option0 = Answer::One});
    return &table;
}

// Reset, the unit of 1/3600 inch, then the print mode of the settings'
// template "DevParmSet1" (nine bytes) unless the operator turned it off.
std::string DEVPARM1_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    const cmd::Job job = cmd::JobOf(pDriver);
    const int unit = job.dpiHorz > 0 ? 3600 / job.dpiHorz : 0;
    std::string text = FormatTemplate("\\033@\\033(U\\001\\000\\%03o", {unit});
    if (!DontSendSet1) {
        const std::wstring set = job.env ? job.env->GetString(L"DevParmSet1", kDevParmSet1) : kDevParmSet1;
        const bool deviceScan = UseDeviceDryTimeScan, deviceEnd = UseDeviceDryTimeEnd;
        text += FormatTemplate(WideToAnsi(set), {Banding, Unidir, UseDeviceOverPrintings ? cmd::kKeep : OverPrintings,
                                                 job.cutOption == 0 ? 0 : AutomaticCut,
                                                 deviceScan ? cmd::kKeep : DryTimeScan,
                                                 deviceScan ? cmd::kKeep : DryTimeScan >> 8,
                                                 deviceEnd ? cmd::kKeep : DryTimeEnd, deviceEnd ? cmd::kKeep : DryTimeEnd >> 8,
                                                 cmd::kKeep});
    }
    return preProcess(text);
}

namespace {

// Passes by vertical resolution (360, 540, 720) and quality (0..2).
int PassesOf(int dpi, int quality)
{
    static constexpr int kPasses[3][3] = {{2, 4, 8}, {3, 6, 12}, {4, 8, 16}};
    const int row = dpi == 360 ? 0 : dpi == 540 ? 1 : dpi == 720 ? 2 : -1;
    return row < 0 ? cmd::kKeep : kPasses[row][quality];
}

int Clamp(int& value, int low, int high)
{
    value = value < low ? low : value > high ? high : value;
    return value;
}

} // namespace

// The "M" commands: resolutions, print mode, dot size, double density,
// ink set, feed correction and refresh, each sent on the operator's request.
std::string DEVPARM2_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    const cmd::Job job = cmd::JobOf(pDriver);
    const int v = job.dpiVert, h = job.dpiHorz;
    cmd::Text t;
    t.Raw("\\033@MD").Word(v).Word(h);

    // The print method's "$Parms$" entry; its sixth item is the double-density flag.
    int dd = 0;
    if (job.env) {
        const std::wstring method = job.env->GetString(PrEnv_PrintMethod);
        const std::vector<std::wstring> parms = Split(job.env->GetString((L"$Parms$" + method).c_str(), L""), L',', 1);
        if (parms.size() > 5)
            dd = IntFromString(parms[5]);
    }
    const int v2 = dd == 1 ? 2 * v : v;

    if (SendPrintMode || SendAutoCut || SendOverprint || SendDryTimeScan || SendDryTimeEnd) {
        int passes = cmd::kKeep;
        if (SendPrintMode) {
            Clamp(Quality, 0, 2);
            passes = PassesOf(v2, Quality);
            if (HiSpeed)
                passes |= 0x80;
        }
        t.Raw("MP").Byte(passes).ByteIf(SendPrintMode, PrintDir).ByteIf(SendOverprint, Overprint);
        t.ByteIf(HasAutoCut && SendAutoCut, job.cutOption == 2 ? AutoCut : job.cutOption);
        t.WordIf(SendDryTimeScan, DryTimeScan).WordIf(SendDryTimeEnd, DryTimeEnd).Byte(cmd::kKeep);
        if (SendPrintMode) {
            static constexpr int kLow[] = {1, 0x22, 0x21, 0x20, 0x10};
            static constexpr int kHigh[] = {2, 0x32, 0x31, 0x30, 0x11};
            const int dot = Clamp(DotSize, 0, 4);
            t.Raw("MC").Byte(h < 720 || v2 < 720 ? kLow[dot] : kHigh[dot]);
        }
    }
    t.Raw("ME\\000").Byte(dd == 1 ? 1 : 0).Raw("\\000").Raw("MB").Byte(0);
    if (SendInkSet)
        t.Raw("MY").Byte(InkSet);
    if (SendFeedCorr)
        t.Raw("MA").Byte(cmd::kKeep).Byte(cmd::kKeep).Byte(FeedCorr < 0 ? 1 : 0).Byte(FeedCorr);
    if (SendRefresh)
        t.Raw("MF").Byte(Refresh);
    return t.Bytes();
}

// Models 2, 10 and 12 send print mode, ink set and refresh on request.
#define M_PRINT_MODE_KEYS                                                                                    \
    MI(HasAutoCut, 0), MI(InkSets, 2), KI(PrintDir, 0), KI(Quality, 1), KI(DotSize, 0), KI(SendPrintMode, 0), \
        KI(HiSpeed, 0)
#define M_COMMON_KEYS                                                                                        \
    KI(Overprint, 1), KI(SendOverprint, 0), KI(DryTimeScan, 0), KI(SendDryTimeScan, 0), KI(DryTimeEnd, 0),   \
        KI(SendDryTimeEnd, 0)
#define M_INK_FEED_REFRESH_KEYS                                                                              \
    KI(InkSet, 0), KI(SendInkSet, 0), KI(FeedCorr, 0), KI(SendFeedCorr, 0), KI(Refresh, 0), KI(SendRefresh, 0)
#define M_DIR_QUALITY_DOT_KEYS KI(PrintDir, 0), KI(Quality, 1), KI(DotSize, 0)
#define M_CUT_KEYS KI(AutoCut, 0), KI(SendAutoCut, 0)
#define M_FEED_KEYS KI(FeedCorr, 0), KI(SendFeedCorr, 0)
#define M_HEATER_KEYS                                                                                        \
    KI(UseHeater, 0), KI(PreHeaterTemp, 20), KI(UsePreHeater, 0), KI(PrintHeaterTemp, 20), KI(UsePrintHeater, 0)
#define K_HIGH_SPEED PK_INT(L"HighSpeed", bHighSpeed, 0)

const KeyTable* DEVPARM2_CLASS::Table() const
{
    using Self = DEVPARM2_CLASS;
    static const Key keys[] = {M_PRINT_MODE_KEYS, M_CUT_KEYS, M_COMMON_KEYS, M_INK_FEED_REFRESH_KEYS};
    static const KeyTable table(L"DEVPARM2_CLASS", L"DP2", keys,
                                {.cut = Answer::Keys,
                                 .cutKey = L"AutoCut",
                                 .option0 = Answer::Keys,
                                 .option0Key = L"HasAutoCut",
                                 .option0Key2 = L"SendAutoCut",
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"DotSize",
                                 .inkValue = 4});
    return &table;
}

const KeyTable* DEVPARM3_CLASS::Table() const
{
    using Self = DEVPARM3_CLASS;
    static const Key keys[] = {
        M_DIR_QUALITY_DOT_KEYS, KI(HiSpeed, 0), M_CUT_KEYS, M_COMMON_KEYS,
        KI(InkSet, 0),          KI(SendInkSet, 0), M_FEED_KEYS, KI(SwapLCMOG, 0),
    };
    static const KeyTable table(L"DEVPARM3_CLASS", L"DP3", keys, MProfile(InkRule::DotAbove0Below1440, 0, Answer::One));
    return &table;
}

const KeyTable* DEVPARM4_CLASS::Table() const
{
    using Self = DEVPARM4_CLASS;
    static const Key keys[] = {M_DIR_QUALITY_DOT_KEYS, M_CUT_KEYS, M_COMMON_KEYS, M_HEATER_KEYS, M_FEED_KEYS,
                               K_HIGH_SPEED};
    static const KeyTable table(L"DEVPARM4_CLASS", L"DP4", keys, MProfile(InkRule::DotIsBelow1440, 1));
    return &table;
}

const KeyTable* DEVPARM5_CLASS::Table() const
{
    using Self = DEVPARM5_CLASS;
    static const Key keys[] = {
        M_DIR_QUALITY_DOT_KEYS, M_CUT_KEYS, M_COMMON_KEYS, M_HEATER_KEYS, M_FEED_KEYS, K_HIGH_SPEED,
        KI(bInkSet, 0), KI(nInkSet, 0), KI(bWhite, 0), KI(nWhiteMode, 0), KI(nWhiteDrytime, 0),
        KI(nWhiteSplitHeadMode, 0), KI(nWhitePrintMode, 0), KI(nWhiteOrder, 0),
    };
    static const KeyTable table(L"DEVPARM5_CLASS", L"DP5", keys, MProfile(InkRule::DotIsBelow1440, 0));
    return &table;
}

const KeyTable* DEVPARM6_CLASS::Table() const
{
    using Self = DEVPARM6_CLASS;
    static const Key keys[] = {M_DIR_QUALITY_DOT_KEYS, M_CUT_KEYS, M_COMMON_KEYS, M_FEED_KEYS, K_HIGH_SPEED};
    static const KeyTable table(L"DEVPARM6_CLASS", L"DP6", keys, MProfile(InkRule::DotIsBelow1440, 0, Answer::One));
    return &table;
}

const KeyTable* DEVPARM7_CLASS::Table() const
{
    using Self = DEVPARM7_CLASS;
    static const Key keys[] = {
        M_DIR_QUALITY_DOT_KEYS, KI(HeaterTemp, 20), KI(HeaterTemp2, 20), KI(SendHeater, 0), KI(bUseHeater, 0),
        KI(bUseHeater2, 0),     M_COMMON_KEYS,      M_FEED_KEYS,          K_HIGH_SPEED,      KI(bWhite, 0),
        KI(nWhiteOrder, 0),     KI(nWhiteMode, 0),  KI(nPrinterTyp, 0),
    };
    static const KeyTable table(L"DEVPARM7_CLASS", L"DP7", keys,
                                {.ink = InkRule::DotIsBelow1440, .inkDot = L"DotSize", .inkValue = 0});
    return &table;
}

// Printer type 1 prints white and colour in one layer unless an order is set.
int DEVPARM7_CLASS::IsWhiteLayerActive() { return nWhiteOrder == 0 && nPrinterTyp == 1 ? 0 : bWhite; }
int DEVPARM7_CLASS::IsColorLayerSeparate() { return nWhiteOrder != 0 ? 1 : nPrinterTyp != 1; }

const KeyTable* DEVPARM8_CLASS::Table() const
{
    using Self = DEVPARM8_CLASS;
    static const Key keys[] = {
        KI(Pass, 0), KI(DotSize, 0), KI(FixDotSize, 0), K_HIGH_SPEED, KI(bWhite, 0), KI(nWhiteMode, 0),
        KI(nWhiteOrder, 0),
    };
    static const KeyTable table(L"DEVPARM8_CLASS", L"DP8", keys,
                                {.ink = InkRule::DotIs, .inkDot = L"DotSize", .inkValue = 1});
    return &table;
}

int DEVPARM8_CLASS::IsWhiteLayerActive() { return nWhiteOrder != 0 ? bWhite : 0; }
int DEVPARM8_CLASS::IsColorLayerSeparate() { return nWhiteOrder != 0; }

const KeyTable* DEVPARM9_CLASS::Table() const
{
    using Self = DEVPARM9_CLASS;
    static const Key keys[] = {M_DIR_QUALITY_DOT_KEYS, M_CUT_KEYS, M_COMMON_KEYS, M_FEED_KEYS, K_HIGH_SPEED};
    static const KeyTable table(L"DEVPARM9_CLASS", L"DP9", keys,
                                {.ink = InkRule::DotIsBelow1440, .inkDot = L"DotSize", .inkValue = 0});
    return &table;
}

const KeyTable* DEVPARM10_CLASS::Table() const
{
    using Self = DEVPARM10_CLASS;
    static const Key keys[] = {M_PRINT_MODE_KEYS, M_COMMON_KEYS, M_INK_FEED_REFRESH_KEYS};
    static const KeyTable table(L"DEVPARM10_CLASS", L"DP10", keys,
                                {.ink = InkRule::DotIs, .inkDot = L"DotSize", .inkValue = 4});
    return &table;
}

const KeyTable* DEVPARM11_CLASS::Table() const
{
    using Self = DEVPARM11_CLASS;
    static const Key keys[] = {M_DIR_QUALITY_DOT_KEYS, M_COMMON_KEYS, M_FEED_KEYS,
                               KI(bWhite, 0),          KI(nWhiteMode, 0), KI(nPrinterTyp, 0)};
    static const KeyTable table(L"DEVPARM11_CLASS", L"DP11", keys,
                                {.ink = InkRule::DotIs, .inkDot = L"DotSize", .inkValue = 0});
    return &table;
}

const KeyTable* DEVPARM12_CLASS::Table() const
{
    using Self = DEVPARM12_CLASS;
    static const Key keys[] = {M_PRINT_MODE_KEYS, M_COMMON_KEYS, M_INK_FEED_REFRESH_KEYS};
    static const KeyTable table(L"DEVPARM12_CLASS", L"DP12", keys,
                                {.ink = InkRule::DotIs, .inkDot = L"DotSize", .inkValue = 4});
    return &table;
}

// Keys of the roll models 13 and 15 up to the white settings.
#define ROLL_KEYS_TO_FEED                                                                                   \
    KI(nPrintDirection, 0), KI(nQuality, 1), KI(nDotSize, 0), KI(bSendOverprint, 0), KI(nOverprint, 1),     \
        KI(bSendDryTimeScan, 0), KI(nDryTimeScan, 0), KI(bSendDryTimeEnd, 0), KI(nDryTimeEnd, 0),           \
        KI(bSendFeedCorrection, 0), KI(nFeedCorrection, 0)
#define ROLL_KEYS_HEATERS                                                                                   \
    KI(bColorPattern, 0), KI(bCut, 0), KI(bUseHeaterGlobal, 0), KI(bUsePreHeater, 0), KI(nPreHeaterTemp, 45), \
        KI(bUsePrintHeater, 0), KI(nPrintHeaterTemp, 45), KI(bUseAfterHeater, 0), KI(nAfterHeaterTemp, 45),   \
        KI(bStandByTime, 0), KI(nStandByTime, 0), KI(bOFFTime, 0), KI(nOFFTime, 0), KI(bAbsorbationFan, 0),   \
        KI(nAbsorbationFanLevel, 3), KI(bUseWhite, 0)



const KeyTable* DEVPARM13_CLASS::Table() const
{
    using Self = DEVPARM13_CLASS;
    static const Key keys[] = {
        ROLL_KEYS_TO_FEED,   KI(bHighSpeed, 0),      ROLL_KEYS_HEATERS,    KI(bWhiteFirst, 0),
        KI(nWhiteMode, 0),   KI(nPrinterTyp, 0),     KI(nWhiteOrder, 0),   KI(nWhiteLayerMode, 0),
        KI(bDoubleLine, 0),  KI(bSendMediaSize, 1),
    };
    static const KeyTable table(L"DEVPARM13_CLASS", L"DP13", keys, RollProfile());
    return &table;
}

const KeyTable* DEVPARM14_CLASS::Table() const
{
    using Self = DEVPARM14_CLASS;
    static const Key keys[] = {
        KI(nDirection, 0),           KI(Pass, 0),                  KI(nPassIndex, 1),
        KI(DotSize, 0),              KI(FixDotSize, 0),            K_HIGH_SPEED,
        KI(bWhite, 0),               KI(nWhiteMode, 0),            KI(nWhiteOrder, 0),
        KI(bClearCoat, 0),           KI(nClearCoatMode, 0),        KI(nPrinterType, 0),
        KI(nPrintMode, 0),           KI(nInkLayer, 1),             KI(nPrintCountWhite, 1),
        KI(nPrintCountClearCoat, 1), KI(nClearCoatIllumination, 0), KI(nClearCoatIrradiation, 0),
        KI(nWhiteIrradiation, 0),    KI(nWhiteIllumination, 0),    KI(nColorIllumination, 0),
        KI(nColorIrradiation, 0),    KI(DotSizeBig, 0),            KI(DotSizeMedium, 0),
        KI(DotSizeSmall, 0),         KI(bUseDefaultDotsize, 1),
    };
    static const KeyTable table(L"DEVPARM14_CLASS", L"DP14", keys,
                                {.ink = InkRule::DotIs,
                                 .inkDot = L"DotSize",
                                 .inkValue = 1,
                                 .clearCoatIrradiation = L"nClearCoatIrradiation"});
    return &table;
}

// Models 14, 16 and 17 print white and colour as separate layers only when
// an order is set.
int DEVPARM14_CLASS::IsWhiteLayerActive() { return nWhiteOrder != 0 ? bWhite : 0; }
int DEVPARM14_CLASS::IsColorLayerSeparate() { return nWhiteOrder != 0 ? bWhite : 0; }

const KeyTable* DEVPARM15_CLASS::Table() const
{
    using Self = DEVPARM15_CLASS;
    static const Key keys[] = {
        ROLL_KEYS_TO_FEED,          KI(bHighSpeed, 0),  ROLL_KEYS_HEATERS, KI(nPrinterTyp, 0), KI(nWhiteOrder, 0),
        KI(nWhiteSplitHeadMode, 0), KI(bDoubleLine, 0), KI(nWave, 0),
    };
    static const KeyTable table(L"DEVPARM15_CLASS", L"DP15", keys, [] {
        Profile p = RollProfile();
        p.end = EndString::BaseUnlessCut;
        return p;
    }());
    return &table;
}

// One layer's parameter set of model 16 ("ColorParam_nPass" and so on); the
// print count is the base's count of that layer.
#define LAYER16_KEYS(set, count)                                                                            \
    PK_INT(L"" #set "_bUseDefault", set.bUseDefault, 1), PK_INT(L"" #set "_nDotSizeBig", set.nDotSizeBig, 5), \
        PK_INT(L"" #set "_nDotSizeMedium", set.nDotSizeMedium, 6),                                            \
        PK_INT(L"" #set "_nDotSizeSmall", set.nDotSizeSmall, 7),                                              \
        PK_INT(L"" #set "_nIllumination", set.nIllumination, 0),                                              \
        PK_INT(L"" #set "_nIrradiation", set.nIrradiation, 0), PK_INT(L"" #set "_nPrintCount", count, 1),     \
        PK_INT(L"" #set "_nInkLayer", set.nInkLayer, 1), PK_INT(L"" #set "_nDirection", set.nDirection, 0),   \
        PK_INT(L"" #set "_nPass", set.nPass, 0), PK_INT(L"" #set "_nPassIndex", set.nPassIndex, 0),           \
        PK_INT(L"" #set "_bWeavingEnabled", set.bWeavingEnabled, 0),                                          \
        PK_INT(L"" #set "_nSawToothHeight", set.nSawToothHeight, 128)

const KeyTable* DEVPARM16_CLASS::Table() const
{
    using Self = DEVPARM16_CLASS;
    static const Key keys[] = {
        MI(HeadVertResolutionOneColor, 600),
        MI(HeadNozzlesNumberOneColor, 1272),
        KI(nDotSize, 0),
        KI(bHighSpeed, 0),
        KI(bWhite, 0),
        KI(nWhiteOrder, 0),
        KI(bClearCoat, 0),
        KI(nPrinterType, 0),
        KI(nPrintMode, 0),
        LAYER16_KEYS(ColorParam, nPrintCountColor),
        PK_INT(L"WhiteParam_bValuesChanged", WhiteParam.bValuesChanged, 0),
        LAYER16_KEYS(WhiteParam, nPrintCountWhite),
        PK_INT(L"ClearParam_bValuesChanged", ClearParam.bValuesChanged, 0),
        LAYER16_KEYS(ClearParam, nPrintCountClearCoat),
    };
    static const KeyTable table(L"DEVPARM16_CLASS", L"DP16", keys,
                                {.ink = InkRule::DotIs,
                                 .inkDot = L"nDotSize",
                                 .inkValue = 1,
                                 .clearCoatIrradiation = L"ClearParam_nIrradiation"});
    return &table;
}

int DEVPARM16_CLASS::IsWhiteLayerActive() { return nWhiteOrder != 0 ? bWhite : 0; }
int DEVPARM16_CLASS::IsColorLayerSeparate() { return nWhiteOrder != 0 ? bWhite : 0; }

#define LAYER17_KEYS(set)                                                                                   \
    PK_INT(L"" #set "_bValuesChanged", set.bValuesChanged, 0), PK_INT(L"" #set "_bUseDefault", set.bUseDefault, 1), \
        PK_INT(L"" #set "_m_nPrintDirection", set.m_nPrintDirection, 0),                                      \
        PK_INT(L"" #set "_m_nQuality", set.m_nQuality, 0), PK_INT(L"" #set "_m_nPassLayer", set.m_nPassLayer, 1), \
        PK_INT(L"" #set "_m_bSendPassLayer", set.m_bSendPassLayer, 0),                                        \
        PK_INT(L"" #set "_m_nDryTimeScan", set.m_nDryTimeScan, 0),                                            \
        PK_INT(L"" #set "_m_bSendDryTimeScan", set.m_bSendDryTimeScan, 0),                                    \
        PK_INT(L"" #set "_m_nLayers", set.m_nLayers, 1)

const KeyTable* DEVPARM17_CLASS::Table() const
{
    using Self = DEVPARM17_CLASS;
    static const Key keys[] = {
        LAYER17_KEYS(pParam_White), LAYER17_KEYS(pParam_Color), KI(nDotSize, 0),
        KI(bSendHeater, 0),         KI(bUseHeater, 0),          KI(nHeaterTemp, 40),
        KI(bUseHeater2, 0),         KI(nHeaterTemp2, 40),       KI(nFeedCorrection, 0),
        KI(bSendFeedCorrection, 0), KI(nLayerSelected, 0),      KI(nWhiteOrder, 0),
    };
    static const KeyTable table(L"DEVPARM17_CLASS", L"DP17", keys,
                                {.ink = InkRule::DotIs, .inkDot = L"nDotSize", .inkValue = 0});
    return &table;
}

int DEVPARM17_CLASS::IsWhiteLayerActive() { return nWhiteOrder != 0 ? bWhite : 0; }
int DEVPARM17_CLASS::IsColorLayerSeparate() { return nWhiteOrder != 0 ? bWhite : 0; }

// Each layer is output as many times as it has layers.
void DEVPARM17_CLASS::OnLoaded(const CPrintEnv&)
{
    nPrintCountColor = pParam_Color.m_nLayers;
    nPrintCountWhite = pParam_White.m_nLayers;
}
