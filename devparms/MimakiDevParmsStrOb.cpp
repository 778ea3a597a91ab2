#include "devparms/MimakiDevParmsStrOb.h"

#include "devparms/MimakiCommands.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"

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
