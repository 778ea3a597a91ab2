#include "devparms/MimakiDevParmsUJV.h"

#include "devparms/MimakiCommands.h"
#include "devparms/MimakiMrlStart.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrOb.h"
#include "host/StrUtil.h"

using namespace mimaki::parms;

namespace {

#define HEATER_KEYS                                                                                         \
    KI(m_nPreHeaterMode, 0), KI(m_nPreHeaterValue, 50), KI(m_nPrintHeaterMode, 0), KI(m_nPrintHeaterValue, 50), \
        KI(m_nAfterHeaterMode, 0), KI(m_nAfterHeaterValue, 50)
#define FEED_KEYS                                                                                           \
    KI(m_nMediaFeedMode, 0), KI(m_nMediaFeedValue, 0), KI(m_nInkLayers, 0), KI(m_nFeedSpeedMode, 0),        \
        KI(m_nFeedSpeedValue, 100)
#define SCAN_DRY_TIME_KEYS                                                                                  \
    KI(m_nDryTimeMode, 0), KOLD(OldDryTime, L"m_dDryTimeValue"), KR(m_dDryTimeValue100Msec, L"0.0")
#define PRINT_MODE_KEYS                                                                                     \
    KH(strDotVolumesData), KI(nHQ, 0), KI(nPrintModeSetNumber, 0), KI(nActionCategoryLarge, 0),             \
        KI(nActionCategorySmall, 0), KI(nXDpi, 360), KI(nYDpi, 360), KI(nHSpeedMode, 0), KI(nPrintModeId, 0)
// SIJ320UV and UJV55 up to their UV or white settings.
#define UV_ROLL_KEYS                                                                                        \
    MSLOTS(SlotsSetting), MT(MimakiColorSequence, L""), PRINT_MODE_KEYS, KI(m_nDirection, 0),               \
        PK_INT(L"m_nPass", nPass, 0), KOLD(OldDotSize, L"m_nDotSize"), KI(m_nDotSizeV2, 1),                 \
        KI(m_nPreHeaterMode, 0), KI(m_nPreHeaterValue, 50), KI(m_nMediaFeedMode, 0), KI(m_nMediaFeedValue, 0), \
        KI(m_nInkLayers, 1), KI(m_nWaveShape, 1), KI(m_nVacuum, 2), PK_MARGIN_KEYS, KI(m_nRefreshLevel, 0)

// The UV roll models: no high-speed feeding.
constexpr Profile UvRollProfile(const wchar_t* whiteOrder = nullptr, const wchar_t* layerOffset = nullptr)
{
    Profile p = PrintConditionProfile();
    p.highSpeed = Answer::Zero;
    p.layerWhiteOrder = whiteOrder;
    p.layerOffset = layerOffset;
    return p;
}

} // namespace

const KeyTable* DEVPARMJV300_CLASS::Table() const
{
    using Self = DEVPARMJV300_CLASS;
    static const Key keys[] = {
        MI(ModeId, 0), MI(JV300UseWhite, 0), MSLOTS(SlotsSetting), MT(MimakiColorSequence, L""),
        KI(m_nInkType, 0), KI(m_nDirection, 0), PK_INT(L"m_nPass", nPass, 0), KI(m_nDotSize, 0), HEATER_KEYS,
        FEED_KEYS, SCAN_DRY_TIME_KEYS, KI(m_nDryTimeModeJob, 0), KR(m_dDryTimeValueJob, L"0.0"), KI(m_nOFFTime, -1),
        KOLD(OldWhite, L"m_nWhiteMode"), KI(m_nWhiteModeV2, 0), KI(m_nWhiteLevel, 0),
        KID(m_nWaveShape, WaveShapeDefault), KI(m_nAbsorbabilityFanStrength, 2), KI(m_nTopBlowerStrength, -1),
        PK_MARGIN_KEYS, KI(bAvoidGapBetweenJobs, 1), KI(bCut, 0), KI(m_nHeadSelection, 3),
    };
    static const KeyTable table(L"DEVPARMJV300_CLASS", L"DP27", keys,
                                {.margins = Answer::Keys,
                                 .strObSeq = Answer::One,
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"m_nDotSize",
                                 .inkValue = 0,
                                 .colourMap = true,
                                 .mapAnswers = true,
                                 .whiteOrderOrMode = L"m_nWhiteModeV2"});
    return &table;
}

const KeyTable* DEVPARMJV400_CLASS::Table() const
{
    using Self = DEVPARMJV400_CLASS;
    static const Key keys[] = {
        KI(m_nDirection, 0), PK_INT(L"m_nPass", nPass, 0), KI(m_nDotSize, 0), HEATER_KEYS, KI(m_nDryHeaterMode, 0),
        KI(m_nDryHeaterValue, 1), FEED_KEYS, SCAN_DRY_TIME_KEYS, KI(m_nWhiteMode, -1),
        KI(m_nWhiteModeV2, 0), KI(m_nWhiteLevel, 0), KI(m_nWaveShape, 0), KI(m_bSetBandsReduction, 0),
        KI(m_nAbsorbabilityFanStrength, 0), PK_MARGIN_KEYS, KI(bAvoidGapBetweenJobs, 1),
    };
    static const KeyTable table(L"DEVPARMJV400_CLASS", L"DP22", keys,
                                {.margins = Answer::Keys,
                                 .strObSeq = Answer::Zero,
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"m_nDotSize",
                                 .inkValue = 0});
    return &table;
}

const KeyTable* DEVPARMSIJ320UV_CLASS::Table() const
{
    using Self = DEVPARMSIJ320UV_CLASS;
    static const Key keys[] = {
        UV_ROLL_KEYS, KI(m_nUVLightStrengthMode, 0), KI(m_nUVLightStrengthValue, 0), KI(bAvoidGapBetweenJobs, 1),
        KI(nBandAdjust, 0), KT(strPrintModeData),
    };
    static const KeyTable table(L"DEVPARMSIJ320UV_CLASS", L"DP33", keys, UvRollProfile());
    return &table;
}

const KeyTable* DEVPARMUJV55_CLASS::Table() const
{
    using Self = DEVPARMUJV55_CLASS;
    static const Key keys[] = {
        UV_ROLL_KEYS,      KI(m_eWhiteMode, 0), KI(nLayerOffset, 0),  KI(m_bHighDensity, 0),
        KI(bAvoidGapBetweenJobs, 1), KI(nBandAdjust, 0), KT(strPrintModeData), KT(strOffsetCommand),
    };
    static const KeyTable table(L"DEVPARMUJV55_CLASS", L"DP33", keys, UvRollProfile(L"m_eWhiteMode", L"nLayerOffset"));
    return &table;
}

const KeyTable* DEVPARMUJV500_CLASS::Table() const
{
    using Self = DEVPARMUJV500_CLASS;
    static const Key keys[] = {
        MI(ModeId, 0), MI(UseWhite, 0), MSLOTS(SlotsSetting), MT(MimakiColorSequence, L""), KI(m_nDirection, 0),
        PK_INT(L"m_nPass", nPass, 0), KI(m_nDotSize, 0), HEATER_KEYS, FEED_KEYS, SCAN_DRY_TIME_KEYS,
        KI(m_eWhiteMode, 0), KID(m_nWaveShape, WaveShapeDefault), KI(m_nAbsorbabilityFanStrength, 2), PK_MARGIN_KEYS,
        KI(bAvoidGapBetweenJobs, 1), KI(m_nRefreshLevel, 0), KI(m_eUVPolicyLeft, 0), KI(m_eUVPolicyRight, 0),
        KI(m_nUVPowerLeftOutward, 0), KI(m_nUVPowerLeftReturn, 0), KI(m_nUVPowerRightOutward, 0),
        KI(m_nUVPowerRightReturn, 0), KI(m_bPostCureLamp1On, 0), KI(m_bPostCureLamp2On, 0),
        KI(m_bPostCureLamp3On, 0), KI(m_eUVPolicyPostCureUnitLamps, 0), KI(nLayerOffset, 0), KT(strOffsetCommand),
    };
    static const KeyTable table(L"DEVPARMUJV500_CLASS", L"DP37", keys,
                                {.margins = Answer::Keys,
                                 .strObSeq = Answer::One,
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"m_nDotSize",
                                 .inkValue = 0,
                                 .colourMap = true,
                                 .mapAnswers = true,
                                 .layerWhiteOrder = L"m_eWhiteMode",
                                 .layerOffset = L"nLayerOffset"});
    return &table;
}

const KeyTable* DEVPARMUJV100_CLASS::Table() const
{
    using Self = DEVPARMUJV100_CLASS;
    static const Key keys[] = {
        MSLOTS(SlotsSetting), MI(bIsHybrid, 0), KI(m_nPrintingWay, 0), KI(m_nWaveShape, 0), KI(m_nDirection, 0),
        PK_INT(L"m_nPass", nPass, 0), KI(m_nMediaFeedMode, 0), KI(m_nMediaFeedValue, 0), KI(m_nDryTimeMode, 0),
        KI(m_nDryTimeValue100Msec, 0), KI(m_nDryTimeJobMode, 0), KI(m_nDryTimeJobSec, 0), PK_MARGIN_KEYS,
        KI(m_nAbsorbabilityFanStrength, -1), KI(m_nTop_Blower, 0), KI(m_nDotSize, 0), KI(m_nCuringMode, 0),
        KI(m_nCuringValue, 0), KI(m_nFeedSpeedMode, 0), KI(m_nFeedSpeedValue, 100), KI(m_bAutoCutting, 0),
        KI(m_nOverPainting, 0), KI(m_bPowerOFF, 0), KI(m_nPowerOFF, 0), KI(m_nHeadSelection, 0),
        KT(strPrintModeData), KI(MediaID, 0), KI(m_bBack2Origin, 0), KI(m_bMediaLoosening, 0),
        KH0(strDotVolumesData),
    };
    static const KeyTable table(L"DEVPARMUJV100_CLASS", L"DP47", keys, [] {
        Profile p = Profile{.margins = Answer::Keys,
                                 .strObSeq = Answer::One,
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"m_nDotSize",
                                 .inkValue = 0,
                                 .printModeData = L"strPrintModeData",
                                 .colourMap = true,
                                 .mapAnswers = true,
                                 .whiteOrderOrMode = L"m_nPrintingWay"};
        p.end = EndString::Own;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMUCJV300_CLASS::Table() const
{
    using Self = DEVPARMUCJV300_CLASS;
    static const IntDefaultFn modelPrinterType = [](CUnivDevParmsBase& o, const CPrintEnv&) {
        return static_cast<Self&>(o).nModelPrinterTyp;
    };
    static const Key keys[] = {
        Key{L"nPrinterTyp", Kind::ModelInt, 0, nullptr, PK_FIELD(nModelPrinterTyp)},
        KI(bSendFeedSpeed, 0), KI(nFeedSpeedValue, 100), KI(bSendDryTimeScan, 0), KI(nDryTimeScan, 0),
        KI(bSendDryTimeEnd, 0), KI(nDryTimeEnd, 0), KI(bSendFeedCorrection, 0), KI(nFeedCorrection, 0),
        KI(nLayerOffset, 0), KI(eWhiteOrder, 0), KI(nUVMode, 0), KI(nUVValue, 0), PRINT_MODE_KEYS,
        KI(nDirection, 0), PK_INT(L"nPass", nPass, 0), KI(nDotSize, 1), KI(nInkLayers, 1), KI(nWaveShape, 1),
        KI(nVacuum, 2), KI(bAvoidGapBetweenJobs, 0), KI(nBandAdjust, 0), KT(strPrintModeData), KI(bCut, 0),
        KI(PrEnv_Back2Origin, 0), KI(m_nLayerSelected, 1), KI(m_eLayer1, 0), KI(m_eLayer2, 0), KI(m_eLayer3, 0),
        KI(m_eLayer4, 0), KI(m_eLayer5, 0), KT(strOffsetCommand), KI(WideSandwichMode, 0), KI(m_bPreHeaters, 0),
        KI(m_nPreHeaters, 20), KI(m_bPrintHeaters, 0), KI(m_nPrintHeaters, 20), KI(m_bAfterHeaters, 0),
        KI(m_nAfterHeaters, 20), KI(bHeaterPowerOff, 0), KI(nHeaterPowerOffValue, 0), KI(m_nHeadSelection, 3),
        KI(m_bMediaLoosening, 0), KR(m_dCommandManualVersion, L"0.0"), KID(nPrinterTyp, modelPrinterType),
    };
    static const KeyTable table(L"DEVPARMUCJV300_CLASS", L"DP35", keys, [] {
        Profile p = UvRollProfile(L"eWhiteOrder", L"nLayerOffset");
        p.cut = Answer::Keys;
        p.cutKey = L"bCut";
        p.option0 = Answer::One;
        p.margins = Answer::Zero;
        p.inkDot = L"nDotSize";
        p.end = EndString::Own;
        return p;
    }());
    return &table;
}

// Job end, then back to the origin when the operator asked for it.
std::string DEVPARMUJV100_CLASS::GetEndString(CPrinterDriverBase*)
{
    mimaki::cmd::Text t;
    t.Raw("QE\\000");
    if (m_bBack2Origin) {
        t.Raw("PH").Byte(0x16);
        for (int i = 0; i < 23; ++i)
            t.Byte(0);
    }
    return t.Bytes();
}

// Nothing when the medium is cut after the job; else job end, back to the
// origin when asked, and the medium out ("GT").
std::string DEVPARMUCJV300_CLASS::GetEndString(CPrinterDriverBase* pDriver)
{
    if (mimaki::cmd::JobOf(pDriver).cutAfterEnd)
        return {};
    return preProcess(PrEnv_Back2Origin ? "QE\\000\\PH\\002\\xFF\\xFF\\GT\\001\\000" : "QE\\000\\GT\\001\\000");
}

// ---------------------------------------------------------------- job start

namespace {

namespace mrl = mimaki::mrl;
using mrl::Cmd;

// The roll models' shared settings: dry time, margins, feed, print mode.
template <class C>
mrl::Values Roll(C& p, CPrinterDriverBase* driver)
{
    mrl::Values v = mrl::RecordValues(p, driver, true);
    v.dotCode = p.m_nDotSize;
    v.sendWaveShape = true;
    v.heaters[0] = {p.m_nPreHeaterMode, p.m_nPreHeaterValue};
    v.heaters[1] = {p.m_nPrintHeaterMode, p.m_nPrintHeaterValue};
    v.heaters[2] = {p.m_nAfterHeaterMode, p.m_nAfterHeaterValue};
    v.offsetCommand = WideToAnsi(p.strOffsetCommand);
    return v;
}

// The print-condition UV roll models (SIJ320UV, UJV55).
template <class C>
mrl::Values UvRoll(C& p, CPrinterDriverBase* driver)
{
    mrl::Values v = Roll(p, driver);
    v.cut = mrl::kKeep; // no cutter
    v.vacuum = p.m_nVacuum;
    v.dotCode = p.m_nDotSizeV2;
    v.hSpeedMode = p.nHSpeedMode;
    v.bandAdjust = p.nBandAdjust;
    v.printModeSet = p.nPrintModeSetNumber;
    v.heaters[1] = v.heaters[2] = {};
    return v;
}

} // namespace

int DEVPARMJV300_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Roll(*this, pDriver);
    v.headsSelectable = true;
    v.headSelection = m_nHeadSelection;
    v.topBlower = m_nTopBlowerStrength < 0 ? mrl::kKeep : m_nTopBlowerStrength;
    v.offTime = m_nOFFTime < 0 ? -2 : m_nOFFTime;
    // White: mode, level and whether the printer carries white at all.
    v.layer = {m_nWhiteModeV2, m_nWhiteLevel, JV300UseWhite ? 1 : 0};
    CStrObMimakiJV300 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QH, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PL, Cmd::QS, Cmd::PP}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

// The JV400 returns its start as a plain string; the host's job-size
// values are filled in here.
std::string DEVPARMJV400_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Roll(*this, pDriver);
    v.cut = mrl::kKeep;
    v.sendJobDry = false;
    v.layer = {m_nWhiteModeV2, m_nWhiteLevel, m_bSetBandsReduction};
    v.heaters[0] = {m_nPreHeaterMode, m_nPreHeaterValue};
    CStrOb ob;
    ob.m_strCommands =
        mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PL, Cmd::QS, Cmd::PP}, v, pDriver);
    if (pDriver) {
        ob.m_nOneCopyPixelHeight = pDriver->GetOneCopyPixelHeight();
        ob.m_nOutputPixelWidth = pDriver->GetOutputPixelWidth();
    }
    return ob.Bytes();
}

int DEVPARMSIJ320UV_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = UvRoll(*this, pDriver);
    v.uv = {m_nUVLightStrengthMode, m_nUVLightStrengthValue};
    CStrObMimakiTS300P ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::QS, Cmd::QV}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMUJV55_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = UvRoll(*this, pDriver);
    v.layer = {m_eWhiteMode, nLayerOffset & 0xFF, nLayerOffset >> 8 & 0xFF, m_bHighDensity};
    CStrObMimakiTS300P ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QP, Cmd::QA, Cmd::QC, Cmd::QK, Cmd::PL, Cmd::QS}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMUJV500_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Roll(*this, pDriver);
    v.cut = mrl::kKeep;
    v.layer = {m_eWhiteMode, nLayerOffset & 0xFF, nLayerOffset >> 8 & 0xFF, UseWhite ? 1 : 0};
    // UV: policy and the outward and return powers of both lamps, the post-cure lamps.
    v.uv = {m_eUVPolicyLeft,       m_eUVPolicyRight,      m_nUVPowerLeftOutward, m_nUVPowerLeftReturn,
            m_nUVPowerRightOutward, m_nUVPowerRightReturn, m_bPostCureLamp1On,    m_bPostCureLamp2On,
            m_bPostCureLamp3On,     m_eUVPolicyPostCureUnitLamps};
    CStrObMimakiJV300 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PL, Cmd::PP, Cmd::QV}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMUJV100_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Roll(*this, pDriver);
    v.cut = mrl::CutByte(true, m_bAutoCutting, pDriver);
    v.scanDry = m_nDryTimeMode == 1 ? m_nDryTimeValue100Msec : mrl::kKeep;
    v.sendJobDry = m_nDryTimeJobMode == 1;
    v.jobDry = m_nDryTimeJobSec;
    v.topBlower = m_nTop_Blower;
    v.inkLayers = m_nOverPainting;
    v.avoidGap = false;
    v.uv = {m_nCuringMode, m_nCuringValue};
    v.layer = {m_nPrintingWay};
    v.powerOff = m_bPowerOFF ? 1 : 0;
    v.powerOffMinutes = m_nPowerOFF;
    v.headsSelectable = true;
    v.headSelection = m_nHeadSelection;
    const CPrintEnv* env = pDriver ? pDriver->GetPrintEnv() : nullptr;
    v.loosening = m_bMediaLoosening;
    v.looseningValue = env ? env->GetInt(L"MediaLoosening", 0) : 0;
    CStrObMimakiUJV100 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QV, Cmd::PL, Cmd::PP, Cmd::PO, Cmd::QH, Cmd::PF},
                                   v, pDriver),
                     false, pDriver);
}

int DEVPARMUCJV300_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v;
    v.cut = mrl::CutByte(true, bCut, pDriver);
    v.scanDry = bSendDryTimeScan ? nDryTimeScan : mrl::kKeep;
    v.sendJobDry = bSendDryTimeEnd;
    v.jobDry = nDryTimeEnd;
    v.vacuum = nVacuum;
    v.feedMode = bSendFeedCorrection ? 1 : 0;
    v.feedValue = nFeedCorrection;
    v.dotCode = nDotSize;
    v.pass = nPass;
    v.hSpeedMode = nHSpeedMode;
    v.direction = nDirection;
    v.inkLayers = nInkLayers;
    v.sendWaveShape = true;
    v.waveShape = nWaveShape;
    v.bandAdjust = nBandAdjust;
    v.printModeSet = nPrintModeSetNumber;
    v.feedSpeedMode = bSendFeedSpeed;
    v.feedSpeedValue = nFeedSpeedValue;
    v.avoidGap = bAvoidGapBetweenJobs;
    v.headsSelectable = true;
    v.headSelection = m_nHeadSelection;
    v.hq = nHQ;
    v.layer = {eWhiteOrder, nLayerOffset & 0xFF, nLayerOffset >> 8 & 0xFF, m_nLayerSelected,
               m_eLayer1,   m_eLayer2,           m_eLayer3,                m_eLayer4,
               m_eLayer5,   WideSandwichMode};
    v.offsetCommand = WideToAnsi(strOffsetCommand);
    // Heaters switched off after the set time ("PO").
    v.powerOff = bHeaterPowerOff ? 1 : 0;
    v.powerOffMinutes = nHeaterPowerOffValue;
    CStrObMimakiUCJV300 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QP, Cmd::QS, Cmd::QH, Cmd::QA, Cmd::QC, Cmd::PB, Cmd::PL, Cmd::PO, Cmd::PP},
                                   v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}
