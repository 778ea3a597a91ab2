#include "devparms/MimakiDevParmsStrOb.h"

#include "devparms/MimakiCommands.h"
#include "devparms/MimakiMrlStart.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrOb.h"
#include "host/StrUtil.h"

using namespace mimaki::parms;

const KeyTable* DEVPARMTX400_CLASS::Table() const
{
    using Self = DEVPARMTX400_CLASS;
    static const Key keys[] = {
        KI(nDirection, 0), PK_INT(L"nPass", nPass, 0), KI(nDotSize, 0),      KI(nRefresh, 0),
        KI(nLayers, 0),    KI(nPreFeed, 0),            KI(nPreSpeed, 0),     KI(nDryTime, 0),
        KI(bHighSpeed, 0), KI(bCompensation, 0),       KI(nCompensation, 0), KB(strPassList),
        KI(bAvoidGapBetweenJobs, 1),
    };
    static const KeyTable table(L"DEVPARMTX400_CLASS", L"DP18", keys,
                                {.option0 = Answer::Zero,
                                 .strObSeq = Answer::One,
                                 .highSpeed = Answer::One,
                                 .ink = InkRule::DotBelow,
                                 .inkDot = L"nDotSize",
                                 .inkValue = 3});
    return &table;
}

// Roll-model keys from the scan dry time to the standby and off times.
#define ROLL_DRY_FEED_KEYS                                                                                  \
    KI(bSendDryTimeScan, 0), KI(nDryTimeScan, 0), KI(bSendDryTimeEnd, 0), KI(nDryTimeEnd, 0),               \
        KI(bSendFeedCorrection, 0), KI(nFeedCorrection, 0)
#define ROLL_HEATER_KEYS                                                                                    \
    KI(bUseHeaterGlobal, 0), KI(bUsePreHeater, 0), KI(nPreHeaterTemp, 45), KI(bUsePrintHeater, 0),          \
        KI(nPrintHeaterTemp, 45), KI(bUseAfterHeater, 0), KI(nAfterHeaterTemp, 45)
#define ROLL_STANDBY_KEYS KI(bStandByTime, 0), KI(nStandByTime, 0), KI(bOFFTime, 0), KI(nOFFTime, 0)
#define ROLL_FAN_KEYS KI(bAbsorbationFan, 0), KI(nAbsorbationFanLevel, 3)

const KeyTable* DEVPARMJV34_CLASS::Table() const
{
    using Self = DEVPARMJV34_CLASS;
    static const Key keys[] = {
        KI(nPrintDirection, 0), KI(nQuality, 1),    KI(nDotSize, 0),      ROLL_DRY_FEED_KEYS,
        KI(bHighSpeed, 0),      KI(bColorPattern, 0), KI(bCut, 0),         ROLL_HEATER_KEYS,
        ROLL_STANDBY_KEYS,      ROLL_FAN_KEYS,      KB(strPass),          KI(nInkLayers, 1),
        KI(bUseInkLayers, 0),   KI(bAvoidGapBetweenJobs, 1), KI(bDoubleLine, 0),
    };
    static const KeyTable table(L"DEVPARMJV34_CLASS", L"DP21", keys, [] {
        Profile p = RollProfile();
        p.highSpeed = Answer::One;
        p.end = EndString::BaseUnlessCut;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMTS500_CLASS::Table() const
{
    using Self = DEVPARMTS500_CLASS;
    // Without a stored pass count the quality's own (the printer's when -1).
    static const IntDefaultFn passesFromQuality = [](CUnivDevParmsBase& o, const CPrintEnv&) {
        return static_cast<Self&>(o).m_nQuality;
    };
    static const Key keys[] = {
        KI(m_nQuality, -1),      KID(m_nPasses, passesFromQuality), KI(m_nDotSize, 0),       KI(m_nDirection, 2),
        KI(m_nMediaFeedMode, 0), KI(m_nMediaFeedValue, 0),          KI(m_nInkLayers, 0),     KI(m_nFeedSpeedMode, 0),
        KI(m_nFeedSpeedValue, 100), KI(m_nDryTimeMode, 0),          KR(m_dDryTimeValue, L"0.0"),
        KI(m_nRefreshLevel, 0),  KI(bAvoidGapBetweenJobs, 1),       KI(m_nPrintHeaterMode, 0),
        KI(m_nPrintHeaterValue, 40), KI(m_nPost1HeaterMode, 0),     KI(m_nPost1HeaterValue, 40),
        KI(m_nPost2HeaterMode, 0), KI(m_nPost2HeaterValue, 50),
    };
    static const KeyTable table(L"DEVPARMTS500_CLASS", L"DP23", keys,
                                {.option0 = Answer::One,
                                 .strObSeq = Answer::One,
                                 .ink = InkRule::Ts500,
                                 .inkDot = L"m_nDotSize"});
    return &table;
}

const KeyTable* DEVPARM24_CLASS::Table() const
{
    using Self = DEVPARM24_CLASS;
    static const Key keys[] = {
        KI(nPrintDirection, 0), KI(nPasses, 0),       KI(nDotSize, 0),       KI(bSendOverprint, 0),
        KI(nOverprint, 1),      ROLL_DRY_FEED_KEYS,   KI(bColorPattern, 0),  KI(bCut, 0),
        ROLL_HEATER_KEYS,       ROLL_STANDBY_KEYS,    KI(bHighSpeed, 0),     ROLL_FAN_KEYS,
        KI(bUseWhite, 0),       KI(nPrinterTyp, 0),   KI(nWhiteOrder, 0),    KI(nWhiteSplitHeadMode, 0),
        KI(nWave, 0),           KI(bAvoidGapBetweenJobs, 1),
    };
    static const KeyTable table(L"DEVPARM24_CLASS", L"DP24", keys, [] {
        Profile p = RollProfile();
        p.end = EndString::BaseUnlessCut;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMSWJ320_CLASS::Table() const
{
    using Self = DEVPARMSWJ320_CLASS;
    static const Key keys[] = {
        KI(nPrintDirection, 0), KI(nPasses, 0), KI(nDotSize, 0), KI(bSendOverprint, 0), KI(nOverprint, 1),
        ROLL_DRY_FEED_KEYS,     KI(nWave, 0),   KI(bAvoidGapBetweenJobs, 1), KI(bFeedSpeedMode, 0),
        KI(nFeedSpeedValue, 10),
    };
    static const KeyTable table(L"DEVPARMSWJ320_CLASS", L"DP26", keys, [] {
        Profile p = Profile{.option0 = Answer::One,
                                 .strObSeq = Answer::One,
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"nDotSize",
                                 .inkValue = 0};
        p.end = EndString::BaseUnlessCut;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMSWJ_320AE_CLASS::Table() const
{
    using Self = DEVPARMSWJ_320AE_CLASS;
    static const Key keys[] = {
        MT(AllowedInksetList, L""), MI(nMinPreHeaterTemp, 20), MI(nMaxPreHeaterTemp, 60),
        MI(nMinPrintHeaterTemp, 20), MI(nMaxPrintHeaterTemp, 60), MI(nMinPostHeaterTemp, 20),
        MI(nMaxPostHeaterTemp, 70), KT(strPrintModeData), KI(nPrintModeId, -1), KH(strDotVolumesData),
        KI(nXDpi, 360), KI(nYDpi, 360), KI(nDirection, 0), KI(nPrintModeSetNumber, 0), KI(nPreHeaterMode, 0),
        KI(nPreHeaterValue, 50), KI(nPrintHeaterMode, 0), KI(nPrintHeaterValue, 50), KI(nPostHeaterMode, 0),
        KI(nPostHeaterValue, 50), KI(bSendFeedCorrection, 0), KI(nFeedCorrection, 0), KI(nInkLayers, 1),
        KI(nWaveShape, 1), KI(nDotSize, 1), KI(bAvoidGapBetweenJobs, 0), KI(nVacuum, 2), KI(nRefreshLevel, 1),
        KI(nMediaID, 0), KI(nPassAndSpeed, 0), KI(nBandAdjust, 0), KT(strOverPrintList), MSLOTS(SlotsSetting),
    };
    static const KeyTable table(L"DEVPARMSWJ_320AE_CLASS", L"SWJ320EA", keys, [] {
        Profile p = Profile{.option0 = Answer::One,
                                 .strObSeq = Answer::One,
                                 .printModeData = L"strPrintModeData",
                                 .xDpi = L"nXDpi",
                                 .yDpi = L"nYDpi",
                                 .colourMap = true};
        p.end = EndString::BaseUnlessCut;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMCJV150_300_CLASS::Table() const
{
    using Self = DEVPARMCJV150_300_CLASS;
    static const Key keys[] = {
        KI(m_nInkType, 0),       KI(nFeedSpeedMode, 0),   KI(nFeedSpeedValue, 100), KI(nPrintDirection, 0),
        PK_INT(L"nPass", nPass, 1), KI(nDotSize, 0),      KI(bSendOverprint, 0),    KI(nOverprint, 1),
        ROLL_DRY_FEED_KEYS,      KI(bCut, 0),             ROLL_HEATER_KEYS,         ROLL_FAN_KEYS,
        KI(bTopBlower, 0),       KI(nTopBlowerLevel, 2),  KI(m_nOFFTime, -1),       KI(bUseWhite, 0),
        KI(nPrinterTyp, 0),      KOLD(OldWhite, L"m_nWhiteOrder"), KI(m_nWhiteOrderV2, 0),
        KI(nWhiteSplitHeadMode, 0), KID(nWave, WaveShapeDefault), KI(m_nHeadSelection, 3),
    };
    static const KeyTable table(L"DEVPARMCJV150_300_CLASS", L"DPCVJ_150_130", keys, [] {
        Profile p = RollProfile();
        p.colourMap = p.mapAnswers = true;
        p.whiteOrderOrMode = L"m_nWhiteOrderV2";
        p.end = EndString::Own;
        return p;
    }());
    return &table;
}

std::string DEVPARMCJV150_300_CLASS::GetEndString(CPrinterDriverBase* pDriver)
{
    if (mimaki::cmd::JobOf(pDriver).cutAfterEnd)
        return {};
    return preProcess("QE\\x00GT\\x01\\x00");
}

// ---------------------------------------------------------------- job start

namespace {

namespace mrl = mimaki::mrl;
using mrl::Cmd;

const CPrintEnv* EnvOf(CPrinterDriverBase* driver) { return driver ? driver->GetPrintEnv() : nullptr; }

// Passes from the settings' pass lists: the value listed for the pass name
// the operator chose, for the chosen quality ("PassNameList<q>",
// "PassValueList<q>"); the printer's setting when the name is not listed.
int ListedPasses(const CPrintEnv* env, int quality, const std::string& name)
{
    if (!env)
        return mrl::kKeep;
    const std::wstring q = std::to_wstring(quality);
    const std::vector<std::wstring> names = Split(env->GetString((L"PassNameList" + q).c_str(), L""), L',', 1);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (WideToAnsi(names[i]) == name)
            return mrl::ListValue(env, L"PassValueList" + q, static_cast<int>(i), mrl::kKeep);
    return mrl::kKeep;
}

} // namespace

int DEVPARMTX400_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v;
    v.dotCode = nDotSize;
    v.pass = nPass;
    v.direction = nDirection;
    v.inkLayers = nLayers;
    v.feedMode = bCompensation ? 1 : 0;
    v.feedValue = nCompensation;
    v.avoidGap = bAvoidGapBetweenJobs;
    // Pre-feed, pre-feed speed, dry time and refresh; the pass list text.
    v.machine = {nPreFeed, nPreSpeed, nDryTime, nRefresh};
    CStrObMimakiTX400 ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QA, Cmd::QP, Cmd::PPMachine, Cmd::QS}, v, pDriver), bAvoidGapBetweenJobs,
                     pDriver);
}

int DEVPARMJV34_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = mrl::RollValues(*this, pDriver, ListedPasses(EnvOf(pDriver), nQuality, strPass));
    v.inkLayers = bUseInkLayers ? nInkLayers : 0;
    v.avoidGap = bAvoidGapBetweenJobs;
    CStrObMimakiJV34 ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PPMachine, Cmd::QS}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMTS500_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v;
    v.scanDry = m_nDryTimeMode == 1 ? SaturatedInt(m_dDryTimeValue * 10) : mrl::kKeep;
    v.feedMode = m_nMediaFeedMode;
    v.feedValue = m_nMediaFeedValue;
    v.dotCode = m_nDotSize;
    // The pass count is an index into the quality's pass list, else itself.
    v.pass = mrl::ListValue(EnvOf(pDriver), L"PassValueList" + std::to_wstring(m_nQuality), m_nPasses, m_nPasses);
    v.direction = m_nDirection;
    v.inkLayers = m_nInkLayers;
    v.feedSpeedMode = m_nFeedSpeedMode;
    v.feedSpeedValue = m_nFeedSpeedValue;
    v.heaters[0] = {m_nPrintHeaterMode, m_nPrintHeaterValue};
    v.heaters[1] = {m_nPost1HeaterMode, m_nPost1HeaterValue};
    v.heaters[2] = {m_nPost2HeaterMode, m_nPost2HeaterValue};
    v.machine = {m_nRefreshLevel};
    v.avoidGap = bAvoidGapBetweenJobs;
    CStrObMimakiTS500 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PPMachine, Cmd::QS, Cmd::PP}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

// Passes as an index into the settings' "$PassesValues$" list.
int DEVPARM24_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    const CPrintEnv* env = EnvOf(pDriver);
    mrl::Values v = mrl::RollValues(*this, pDriver, mrl::ListValue(env, L"$PassesValues$", nPasses, mrl::kKeep));
    v.sendWaveShape = true;
    v.waveShape = nWave;
    v.avoidGap = bAvoidGapBetweenJobs;
    // A model without heaters keeps the printer's.
    if (env && env->GetInt(L"bDontUseAnyKindOfHeaters", 0))
        v.noHeaters = true;
    v.layer = {bUseWhite, nWhiteOrder, nWhiteSplitHeadMode};
    CStrObMimakiTS3 ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PL, Cmd::PPMachine, Cmd::QS}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMSWJ320_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v;
    v.scanDry = bSendDryTimeScan ? nDryTimeScan : mrl::kKeep;
    v.sendJobDry = bSendDryTimeEnd;
    v.jobDry = nDryTimeEnd;
    v.feedMode = bSendFeedCorrection ? 1 : 0;
    v.feedValue = nFeedCorrection;
    v.dotCode = nDotSize;
    v.pass = mrl::ListValue(EnvOf(pDriver), L"$PassesValues$", nPasses, mrl::kKeep);
    v.direction = nPrintDirection;
    v.inkLayers = bSendOverprint ? nOverprint : 0;
    v.sendWaveShape = true;
    v.waveShape = nWave;
    v.feedSpeedMode = bFeedSpeedMode;
    v.feedSpeedValue = nFeedSpeedValue;
    v.avoidGap = bAvoidGapBetweenJobs;
    CStrObMimakiSWJ320 ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QS, Cmd::PP}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

// Heater temperatures are kept within the model's limits.
int DEVPARMSWJ_320AE_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    auto limit = [](int t, int low, int high) { return t < low ? low : t > high ? high : t; };
    mrl::Values v;
    v.feedMode = bSendFeedCorrection ? 1 : 0;
    v.feedValue = nFeedCorrection;
    v.dotCode = nDotSize;
    v.pass = nPassAndSpeed;
    v.direction = nDirection;
    v.inkLayers = nInkLayers;
    v.sendWaveShape = true;
    v.waveShape = nWaveShape;
    v.bandAdjust = nBandAdjust;
    v.printModeSet = nPrintModeSetNumber;
    v.vacuum = nVacuum;
    v.heaters[0] = {nPreHeaterMode, limit(nPreHeaterValue, nMinPreHeaterTemp, nMaxPreHeaterTemp)};
    v.heaters[1] = {nPrintHeaterMode, limit(nPrintHeaterValue, nMinPrintHeaterTemp, nMaxPrintHeaterTemp)};
    v.heaters[2] = {nPostHeaterMode, limit(nPostHeaterValue, nMinPostHeaterTemp, nMaxPostHeaterTemp)};
    v.machine = {nRefreshLevel, nMediaID};
    v.avoidGap = bAvoidGapBetweenJobs;
    CStrObMimakiSWJ320EA ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::PPMachine, Cmd::QS}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMCJV150_300_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    const CPrintEnv* env = EnvOf(pDriver);
    mrl::Values v = mrl::RollValues(*this, pDriver, mrl::ListValue(env, L"$PassesValues$", nPass, mrl::kKeep));
    v.sendWaveShape = true;
    v.waveShape = nWave;
    v.topBlower = bTopBlower ? nTopBlowerLevel : mrl::kKeep;
    v.offTime = m_nOFFTime < 0 ? -2 : m_nOFFTime;
    v.feedSpeedMode = nFeedSpeedMode;
    v.feedSpeedValue = nFeedSpeedValue;
    v.headsSelectable = true;
    v.headSelection = m_nHeadSelection;
    v.layer = {bUseWhite, m_nWhiteOrderV2, nWhiteSplitHeadMode, m_nInkType};
    v.avoidGap = true;
    CStrObMimakiCJV150300 ob;
    return mrl::Send(
        ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::QH, Cmd::PL, Cmd::PPMachine, Cmd::QS, Cmd::PP}, v, pDriver),
        true, pDriver);
}
