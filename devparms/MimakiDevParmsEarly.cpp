#include "devparms/MimakiDevParmsEarly.h"

#include "devparms/MimakiCommands.h"
#include "devparms/MimakiMrlStart.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrinterDriverBase.h"
#include "host/StrOb.h"
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

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

// The "M" commands of one job, in the order a class writes them. Parameter
// bytes not sent are 0xFF: the printer keeps its own setting.
class MCommands {
public:
    // Reset and resolutions ("MD"); the print method's "$Parms$" entry gives
    // the double-density flag (its sixth item).
    explicit MCommands(CPrinterDriverBase* driver) : m_job(cmd::JobOf(driver))
    {
        m_t.Raw("\\033@MD").Word(m_job.dpiVert).Word(m_job.dpiHorz);
        if (m_job.env) {
            const std::wstring method = m_job.env->GetString(PrEnv_PrintMethod);
            const std::vector<std::wstring> parms =
                Split(m_job.env->GetString((L"$Parms$" + method).c_str(), L""), L',', 1);
            if (parms.size() > 5)
                m_dd = IntFromString(parms[5]);
        }
        m_v2 = m_dd == 1 ? 2 * m_job.dpiVert : m_job.dpiVert;
    }

    const cmd::Job& Job() const { return m_job; }

    // Passes of the pass table for the effective vertical resolution and the
    // quality (clamped to 0..2), 0x80 added for high speed.
    int Passes(int quality, bool hiSpeed) const
    {
        static constexpr int kPasses[3][3] = {{2, 4, 8}, {3, 6, 12}, {4, 8, 16}};
        const int row = m_v2 == 360 ? 0 : m_v2 == 540 ? 1 : m_v2 == 720 ? 2 : -1;
        const int q = Clamp(quality, 0, 2);
        return (row < 0 ? cmd::kKeep : kPasses[row][q]) | (hiSpeed ? 0x80 : 0);
    }
    // The cut byte: the job's option, 2 meaning the operator's setting.
    int Cut(int deviceCut) const { return m_job.cutOption == 2 ? deviceCut : m_job.cutOption; }

    // Print mode: passes, direction, overprint, cut, scan and end dry times.
    MCommands& MP(int passes, int direction, int overprint, int cut, bool sendScan, int scan, bool sendEnd, int end)
    {
        m_t.Raw("MP").Byte(passes).Byte(direction).Byte(overprint).Byte(cut);
        m_t.WordIf(sendScan, scan).WordIf(sendEnd, end).Byte(cmd::kKeep);
        return *this;
    }
    // Dot code of the dot size (clamped to 0..4), by resolution.
    MCommands& MC(int dotSize)
    {
        static constexpr int kLow[] = {1, 0x22, 0x21, 0x20, 0x10};
        static constexpr int kHigh[] = {2, 0x32, 0x31, 0x30, 0x11};
        const int dot = Clamp(dotSize, 0, 4);
        m_t.Raw("MC").Byte(m_job.dpiHorz < 720 || m_v2 < 720 ? kLow[dot] : kHigh[dot]);
        return *this;
    }
    MCommands& ME()
    {
        m_t.Raw("ME\\000").Byte(m_dd == 1 ? 1 : 0).Raw("\\000");
        return *this;
    }
    // A command with one parameter byte ("MB", "MY", "MF", "Mn", "WC", "MX").
    MCommands& One(const char* name, int value)
    {
        m_t.Raw(name).Byte(value);
        return *this;
    }
    // Feed correction: printer's two bytes, sign, two's-complement low byte.
    MCommands& MA(int feed)
    {
        m_t.Raw("MA").Byte(cmd::kKeep).Byte(cmd::kKeep).Byte(feed < 0 ? 1 : 0).Byte(feed);
        return *this;
    }
    MCommands& Raw(const std::string& text)
    {
        m_t.Raw(text);
        return *this;
    }
    std::string Bytes() const { return m_t.Bytes(); }
    const std::string& Template() const { return m_t.Template(); }

private:
    cmd::Job m_job;
    int m_dd = 0;
    int m_v2 = 0;
    cmd::Text m_t;
};

// The heaters: "MK", 0, the first and the second temperature (0 when that
// heater is off), 0, 0.
std::string HeaterCommand(bool first, int temp1, bool second, int temp2)
{
    cmd::Text t;
    t.Raw("MK\\000").Byte(first ? temp1 : 0).Byte(second ? temp2 : 0).Raw("\\000\\000");
    return t.Template();
}

} // namespace

std::string DEVPARM2_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    if (SendPrintMode || SendAutoCut || SendOverprint || SendDryTimeScan || SendDryTimeEnd) {
        // The one model whose start writes its clamps back into the record.
        if (SendPrintMode) {
            Quality = Clamp(Quality, 0, 2);
            DotSize = Clamp(DotSize, 0, 4);
        }
        m.MP(SendPrintMode ? m.Passes(Quality, HiSpeed) : cmd::kKeep, SendPrintMode ? PrintDir : cmd::kKeep,
             SendOverprint ? Overprint : cmd::kKeep, HasAutoCut && SendAutoCut ? m.Cut(AutoCut) : cmd::kKeep,
             SendDryTimeScan, DryTimeScan, SendDryTimeEnd, DryTimeEnd);
        if (SendPrintMode)
            m.MC(DotSize);
    }
    m.ME().One("MB", 0);
    if (SendInkSet)
        m.One("MY", InkSet);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    if (SendRefresh)
        m.One("MF", Refresh);
    return m.Bytes();
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

// A model key of the special configuration, read like "JV58CSpecial" and
// never written.
void DEVPARM13_CLASS::OnLoaded(const CPrintEnv& env)
{
    nInterleaveMode = env.GetInt(L"JV58CInterleaveMode", 1);
    m_strJV58CSlots.clear();
    if (env.GetInt(L"JV58CSpecial", 0) == 1)
        m_strJV58CSlots = L"SlotsSetting=" + env.GetString(L"SlotsSetting", L"") +
                          L", JV58CInterleaveMode=" + std::to_wstring(nInterleaveMode);
}

// The JV58C pairs read their rasters through the ink slots and the
// interleave mode, not through the white settings.
std::wstring DEVPARM13_CLASS::RoutingSettings(int nWhich)
{
    if (nWhich == kRoutingLayers && !m_strJV58CSlots.empty())
        return m_strJV58CSlots;
    return CMimakiDevParmsBase::RoutingSettings(nWhich);
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

// The "M" models below write the commands the catalogue lists for them, in
// that order; a model without a "Send" flag for a setting always sends it.

namespace {

// Print mode of the models that send it whenever they send "MP".
void PrintMode(MCommands& m, int quality, int direction, bool sendOverprint, int overprint, bool sendCut,
               int deviceCut, bool sendScan, int scan, bool sendEnd, int end, bool hiSpeed = false)
{
    m.MP(m.Passes(quality, hiSpeed), direction, sendOverprint ? overprint : cmd::kKeep,
         sendCut ? m.Cut(deviceCut) : cmd::kKeep, sendScan, scan, sendEnd, end);
}

// White options ("SO"): mode, dry time (16 bits), split-head mode and print mode.
std::string WhiteOptions(bool white, int mode, int dryTime, int splitHead, int printMode)
{
    cmd::Text t;
    t.Raw("SO").Byte(white ? 1 : 0).Byte(mode).Word(dryTime).Byte(splitHead).Byte(printMode);
    return t.Template();
}

// Layer prefix of the early white models: layer mode on ("Mn" 1), the
// layer's white flag ("WC") unless the printer prints white and colour in
// one layer (type 1), and the heaters when they are sent.
std::string WhitePrefix(int printerType, int whiteFlag, bool sendHeater, const std::string& heater)
{
    cmd::Text t;
    t.Raw("Mn").Byte(1);
    if (printerType != 1)
        t.Raw("WC").Byte(whiteFlag);
    if (sendHeater)
        t.Raw(heater);
    return t.Bytes();
}

} // namespace

std::string DEVPARM4_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    PrintMode(m, Quality, PrintDir, SendOverprint, Overprint, SendAutoCut, AutoCut, SendDryTimeScan, DryTimeScan,
              SendDryTimeEnd, DryTimeEnd);
    m.MC(DotSize).ME();
    if (UseHeater)
        m.Raw(HeaterCommand(UsePreHeater, PreHeaterTemp, UsePrintHeater, PrintHeaterTemp));
    if (SendFeedCorr)
        m.MA(FeedCorr);
    return m.Bytes();
}

std::string DEVPARM5_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    PrintMode(m, Quality, PrintDir, SendOverprint, Overprint, SendAutoCut, AutoCut, SendDryTimeScan, DryTimeScan,
              SendDryTimeEnd, DryTimeEnd);
    m.MC(DotSize).One("MB", 0);
    if (bInkSet)
        m.One("MY", nInkSet);
    if (UseHeater)
        m.Raw(HeaterCommand(UsePreHeater, PreHeaterTemp, UsePrintHeater, PrintHeaterTemp));
    if (SendFeedCorr)
        m.MA(FeedCorr);
    m.Raw(WhiteOptions(bWhite, nWhiteMode, nWhiteDrytime, nWhiteSplitHeadMode, nWhitePrintMode));
    return m.Bytes();
}

// The colour layer of a white job prints no white.
std::string DEVPARM5_CLASS::GetColorLayerStartString(CPrinterDriverBase* pDriver)
{
    const int white = bWhite;
    bWhite = 0;
    std::string start = GetColorLayerCommands(0) + GetStartString(pDriver);
    bWhite = white;
    return start;
}

std::string DEVPARM7_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    PrintMode(m, Quality, PrintDir, SendOverprint, Overprint, false, 0, SendDryTimeScan, DryTimeScan, SendDryTimeEnd,
              DryTimeEnd);
    m.MC(DotSize).One("MB", 0);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    if (SendHeater)
        m.Raw(HeaterCommand(bUseHeater == 1, HeaterTemp, bUseHeater2 == 1, HeaterTemp2));
    return m.Bytes();
}

// Printer type 1 always sends its heaters with the layer; the others when asked.
std::string DEVPARM7_CLASS::GetWhiteLayerCommands(int)
{
    return WhitePrefix(nPrinterTyp, 1, nPrinterTyp == 1 || SendHeater,
                       HeaterCommand(bUseHeater == 1, HeaterTemp, bUseHeater2 == 1, HeaterTemp2));
}

std::string DEVPARM7_CLASS::GetColorLayerCommands(int)
{
    return WhitePrefix(nPrinterTyp, nWhiteOrder == 0 ? 1 : 0, nPrinterTyp == 1 || SendHeater,
                       HeaterCommand(bUseHeater == 1, HeaterTemp, bUseHeater2 == 1, HeaterTemp2));
}

std::string DEVPARM8_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    m.MP(Pass, cmd::kKeep, cmd::kKeep, cmd::kKeep, false, 0, false, 0);
    m.MC(DotSize).One("MX", FixDotSize);
    return m.Bytes();
}

std::string DEVPARM8_CLASS::GetWhiteLayerCommands(int) { return WhitePrefix(0, 1, false, {}); }
std::string DEVPARM8_CLASS::GetColorLayerCommands(int) { return WhitePrefix(0, 0, false, {}); }

std::string DEVPARM9_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    PrintMode(m, Quality, PrintDir, SendOverprint, Overprint, SendAutoCut, AutoCut, SendDryTimeScan, DryTimeScan,
              SendDryTimeEnd, DryTimeEnd);
    m.MC(DotSize).One("MB", 0);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    return m.Bytes();
}

// Model 10 as model 2; it has no cut setting of its own, so the job's
// option 2 leaves the cut to the printer.
std::string DEVPARM10_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    if (SendPrintMode || SendOverprint || SendDryTimeScan || SendDryTimeEnd) {
        const int cut = m.Job().cutOption == 2 ? cmd::kKeep : m.Job().cutOption;
        m.MP(SendPrintMode ? m.Passes(Quality, HiSpeed) : cmd::kKeep, SendPrintMode ? PrintDir : cmd::kKeep,
             SendOverprint ? Overprint : cmd::kKeep, HasAutoCut ? cut : cmd::kKeep, SendDryTimeScan, DryTimeScan,
             SendDryTimeEnd, DryTimeEnd);
        if (SendPrintMode)
            m.MC(DotSize);
    }
    m.ME().One("MB", 0);
    if (SendInkSet)
        m.One("MY", InkSet);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    if (SendRefresh)
        m.One("MF", Refresh);
    return m.Bytes();
}

std::string DEVPARM11_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    PrintMode(m, Quality, PrintDir, SendOverprint, Overprint, false, 0, SendDryTimeScan, DryTimeScan, SendDryTimeEnd,
              DryTimeEnd);
    m.MC(DotSize).One("Mn", bWhite ? 1 : 0);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    m.Raw(WhiteOptions(bWhite, nWhiteMode, cmd::kKeep | cmd::kKeep << 8, cmd::kKeep, nPrinterTyp));
    return m.Bytes();
}

std::string DEVPARM12_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    const int cut = m.Job().cutOption == 2 ? cmd::kKeep : m.Job().cutOption;
    m.MP(SendPrintMode ? m.Passes(Quality, HiSpeed) : cmd::kKeep, SendPrintMode ? PrintDir : cmd::kKeep,
         SendOverprint ? Overprint : cmd::kKeep, HasAutoCut ? cut : cmd::kKeep, SendDryTimeScan, DryTimeScan,
         SendDryTimeEnd, DryTimeEnd);
    m.MC(DotSize).One("MB", 0);
    if (SendInkSet)
        m.One("MY", InkSet);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    if (SendRefresh)
        m.One("MF", Refresh);
    return m.Bytes();
}

namespace {

// Dot sizes ("SD": big, medium, small; the printer's own with the default)
// and UV light ("SU": illumination, irradiation).
std::string DotsAndLight(bool useDefault, int big, int medium, int small, int illumination, int irradiation)
{
    cmd::Text t;
    t.Raw("SD").ByteIf(!useDefault, big).ByteIf(!useDefault, medium).ByteIf(!useDefault, small);
    t.Raw("SU").Byte(illumination).Byte(irradiation);
    return t.Template();
}

// Layer prefix of the UV models 14 and 16: layer mode on and the layer
// (0 colour, 1 white, 2 clear coat).
std::string LayerPrefix(int layer)
{
    cmd::Text t;
    t.Raw("Mn").Byte(1).Raw("WC").Byte(layer);
    return t.Template();
}

} // namespace

std::string DEVPARM14_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    m.MP(Pass, nDirection, nInkLayer, cmd::kKeep, false, 0, false, 0);
    m.MC(DotSize);
    m.Raw(DotsAndLight(bUseDefaultDotsize, DotSizeBig, DotSizeMedium, DotSizeSmall, nColorIllumination,
                       nColorIrradiation));
    return m.Bytes();
}

std::string DEVPARM14_CLASS::GetColorLayerCommands(int)
{
    cmd::Text t;
    t.Raw(LayerPrefix(0)).Raw("SU").Byte(nColorIllumination).Byte(nColorIrradiation);
    return t.Bytes();
}

std::string DEVPARM14_CLASS::GetWhiteLayerCommands(int)
{
    cmd::Text t;
    t.Raw(LayerPrefix(1)).Raw("SU").Byte(nWhiteIllumination).Byte(nWhiteIrradiation);
    return t.Bytes();
}

// A repeated clear coat (irradiation 3) cures without printing again.
std::string DEVPARM14_CLASS::GetClearCoatLayerCommands(int bRepeat)
{
    cmd::Text t;
    t.Raw(LayerPrefix(2)).Raw("SU").Byte(nClearCoatIllumination).Byte(bRepeat ? 3 : nClearCoatIrradiation);
    return t.Bytes();
}

std::string CMimakiLayerParm16::Commands() const
{
    cmd::Text t;
    t.Raw("SA").Byte(bWeavingEnabled).Word(nSawToothHeight).Byte(nPassIndex);
    t.Raw(DotsAndLight(bUseDefault, nDotSizeBig, nDotSizeMedium, nDotSizeSmall, nIllumination, nIrradiation));
    return t.Template();
}

std::string DEVPARM16_CLASS::GetStartString(CPrinterDriverBase* pDriver) { return LayerStart(pDriver, ColorParam, 0); }

// Each layer prints with its own parameter set.
std::string DEVPARM16_CLASS::LayerStart(CPrinterDriverBase* pDriver, const CMimakiLayerParm16& layer, int)
{
    MCommands m(pDriver);
    m.MP(layer.nPass, layer.nDirection, layer.nInkLayer, cmd::kKeep, false, 0, false, 0);
    m.MC(nDotSize).Raw(layer.Commands());
    return m.Bytes();
}

std::string DEVPARM16_CLASS::GetColorLayerCommands(int) { return cmd::Text().Raw(LayerPrefix(0)).Bytes(); }
std::string DEVPARM16_CLASS::GetWhiteLayerCommands(int) { return cmd::Text().Raw(LayerPrefix(1)).Bytes(); }

std::string DEVPARM16_CLASS::GetClearCoatLayerCommands(int bRepeat)
{
    cmd::Text t;
    t.Raw(LayerPrefix(2));
    if (bRepeat)
        t.Raw("SU").Byte(ClearParam.nIllumination).Byte(3);
    return t.Bytes();
}

std::string DEVPARM16_CLASS::GetColorLayerStartString(CPrinterDriverBase* pDriver)
{
    return GetColorLayerCommands(0) + LayerStart(pDriver, ColorParam, 0);
}

std::string DEVPARM16_CLASS::GetWhiteLayerStartString(CPrinterDriverBase* pDriver)
{
    if (!bWhite)
        return {};
    return GetWhiteLayerCommands(0) + LayerStart(pDriver, WhiteParam, 1);
}

std::string DEVPARM16_CLASS::GetClearCoatLayerStartString(CPrinterDriverBase* pDriver)
{
    if (!bClearCoat)
        return {};
    return LayerStart(pDriver, ClearParam, 2);
}

std::string CMimakiLayerParm17::PrintMode() const
{
    cmd::Text t;
    t.Raw("MP").Byte(m_nQuality).Byte(m_nPrintDirection).ByteIf(m_bSendPassLayer, m_nPassLayer).Byte(cmd::kKeep);
    t.WordIf(m_bSendDryTimeScan, m_nDryTimeScan).Byte(cmd::kKeep).Byte(cmd::kKeep).Byte(cmd::kKeep);
    return t.Template();
}

// The job starts as its colour layer.
std::string DEVPARM17_CLASS::GetStartString(CPrinterDriverBase* pDriver) { return LayerStart(pDriver, pParam_Color, 0); }

std::string DEVPARM17_CLASS::LayerStart(CPrinterDriverBase* pDriver, const CMimakiLayerParm17& layer, int white)
{
    cmd::Text t;
    const cmd::Job job = cmd::JobOf(pDriver);
    t.Raw("\\033@MD").Word(job.dpiVert).Word(job.dpiHorz).Raw(layer.PrintMode());
    int dot = nDotSize < 0 ? 0 : nDotSize > 4 ? 4 : nDotSize;
    static constexpr int kCodes[] = {1, 0x22, 0x21, 0x20, 0x10};
    t.Raw("MC").Byte(kCodes[dot]);
    if (bSendFeedCorrection)
        t.Raw("MA").Byte(cmd::kKeep).Byte(cmd::kKeep).Byte(nFeedCorrection < 0 ? 1 : 0).Byte(nFeedCorrection);
    t.Raw("Mn").Byte(white);
    if (bSendHeater)
        t.Raw(HeaterCommand(bUseHeater, nHeaterTemp, bUseHeater2, nHeaterTemp2));
    return t.Bytes();
}

std::string DEVPARM17_CLASS::GetWhiteLayerCommands(int) { return {}; }
std::string DEVPARM17_CLASS::GetColorLayerCommands(int) { return {}; }

std::string DEVPARM17_CLASS::GetWhiteLayerStartString(CPrinterDriverBase* pDriver)
{
    return LayerStart(pDriver, pParam_White, 1);
}

std::string DEVPARM17_CLASS::GetColorLayerStartString(CPrinterDriverBase* pDriver)
{
    return LayerStart(pDriver, pParam_Color, 0);
}

// ---------------------------------------------------------------- string objects

namespace {

namespace mrl = mimaki::mrl;
using mrl::Cmd;

// Sends "M" commands as the host's string object of the model.
int SendM(CStrOb& ob, const MCommands& m, CPrinterDriverBase* driver)
{
    return mrl::Send(ob, m.Template(), false, driver);
}

} // namespace

// Model 3 (a JV4): the "M" commands of model 2 without "Send" flags for
// the print mode, which it always sends.
int DEVPARM3_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    m.MP(m.Passes(Quality, HiSpeed), PrintDir, SendOverprint ? Overprint : cmd::kKeep,
         SendAutoCut ? m.Cut(AutoCut) : cmd::kKeep, SendDryTimeScan, DryTimeScan, SendDryTimeEnd, DryTimeEnd);
    m.MC(DotSize).ME();
    if (SendInkSet)
        m.One("MY", InkSet);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    CStrObMimakiJV4 ob;
    return SendM(ob, m, pDriver);
}

// Model 6 (a JV22): reset and resolutions, then its print mode.
int DEVPARM6_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    MCommands m(pDriver);
    m.MP(m.Passes(Quality, bHighSpeed), PrintDir, SendOverprint ? Overprint : cmd::kKeep,
         SendAutoCut ? m.Cut(AutoCut) : cmd::kKeep, SendDryTimeScan, DryTimeScan, SendDryTimeEnd, DryTimeEnd);
    m.MC(DotSize);
    if (SendFeedCorr)
        m.MA(FeedCorr);
    CStrObMimakiJV22 ob;
    return SendM(ob, m, pDriver);
}


int DEVPARM13_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = mrl::RollValues(*this, pDriver, cmd::kKeep);
    v.avoidGap = bSendMediaSize;
    v.layer = {bUseWhite, bWhiteFirst, nWhiteMode, nWhiteLayerMode};
    CStrObMimakiJV5 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PL, Cmd::QS, Cmd::PPMachine}, v, pDriver),
                     bSendMediaSize, pDriver);
}

int DEVPARM15_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = mrl::RollValues(*this, pDriver, cmd::kKeep);
    v.avoidGap = true;
    v.waveShape = nWave;
    v.sendWaveShape = true;
    v.layer = {bUseWhite, nWhiteSplitHeadMode};
    CStrObMimakiJV33 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PL, Cmd::QS, Cmd::PPMachine}, v, pDriver),
                     true, pDriver);
}
