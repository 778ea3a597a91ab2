// Parameter classes of the early string-object roll models: TX400, JV34,
// TS500, TS3 (model 24), SWJ320, SWJ320EA and CJV150/CJV300.
#pragma once

#include <string>

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiDevParmsEarly.h"
#include "host/HostTypes.h"

class DEVPARMTX400_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTX400_CLASS(int nSize = sizeof(DEVPARMTX400_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    int nDirection = 0, nDotSize = 0, nRefresh = 0, nLayers = 0, nPreFeed = 0, nPreSpeed = 0, nDryTime = 0;
    int bCompensation = 0, nCompensation = 0, bAvoidGapBetweenJobs = 0;
    std::string strPassList;
};

class DEVPARMJV34_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMJV34_CLASS(int nSize = sizeof(DEVPARMJV34_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    MIMAKI_ROLL_FIELDS;
    int nInkLayers = 0, bUseInkLayers = 0, bAvoidGapBetweenJobs = 0;
    std::string strPass;
};

class DEVPARMTS500_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTS500_CLASS(int nSize = sizeof(DEVPARMTS500_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    int m_nQuality = 0, m_nPasses = 0, m_nDotSize = 0, m_nDirection = 0, m_nMediaFeedMode = 0;
    int m_nMediaFeedValue = 0, m_nInkLayers = 0, m_nFeedSpeedMode = 0, m_nFeedSpeedValue = 0, m_nDryTimeMode = 0;
    double m_dDryTimeValue = 0;
    int m_nRefreshLevel = 0, bAvoidGapBetweenJobs = 0, m_nPrintHeaterMode = 0, m_nPrintHeaterValue = 0;
    int m_nPost1HeaterMode = 0, m_nPost1HeaterValue = 0, m_nPost2HeaterMode = 0, m_nPost2HeaterValue = 0;
};

class DEVPARM24_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM24_CLASS(int nSize = sizeof(DEVPARM24_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    MIMAKI_ROLL_FIELDS;
    int nPasses = 0, nWhiteSplitHeadMode = 0, nWave = 0, bAvoidGapBetweenJobs = 0;
};

class DEVPARMSWJ320_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMSWJ320_CLASS(int nSize = sizeof(DEVPARMSWJ320_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    int nPrintDirection = 0, nPasses = 0, nDotSize = 0, bSendOverprint = 0, nOverprint = 0;
    int bSendDryTimeScan = 0, nDryTimeScan = 0, bSendDryTimeEnd = 0, nDryTimeEnd = 0, bSendFeedCorrection = 0;
    int nFeedCorrection = 0, nWave = 0, bAvoidGapBetweenJobs = 0, bFeedSpeedMode = 0, nFeedSpeedValue = 0;
};

class DEVPARMSWJ_320AE_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMSWJ_320AE_CLASS(int nSize = sizeof(DEVPARMSWJ_320AE_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    std::wstring strPrintModeData;
    int nPrintModeId = 0;
    BYTE strDotVolumesData[360] = {};
    int nXDpi = 0, nYDpi = 0, nDirection = 0, nPrintModeSetNumber = 0, nPreHeaterMode = 0, nPreHeaterValue = 0;
    int nPrintHeaterMode = 0, nPrintHeaterValue = 0, nPostHeaterMode = 0, nPostHeaterValue = 0;
    int bSendFeedCorrection = 0, nFeedCorrection = 0, nInkLayers = 0, nWaveShape = 0, nDotSize = 0;
    int bAvoidGapBetweenJobs = 0, nVacuum = 0, nRefreshLevel = 0, nMediaID = 0, nPassAndSpeed = 0, nBandAdjust = 0;
    std::wstring strOverPrintList;
    std::wstring AllowedInksetList, SlotsSetting;
    int nMinPreHeaterTemp = 0, nMaxPreHeaterTemp = 0, nMinPrintHeaterTemp = 0, nMaxPrintHeaterTemp = 0;
    int nMinPostHeaterTemp = 0, nMaxPostHeaterTemp = 0;
};

class DEVPARMCJV150_300_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMCJV150_300_CLASS(int nSize = sizeof(DEVPARMCJV150_300_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    std::string GetEndString(CPrinterDriverBase* pDriver) override;

    MIMAKI_ROLL_FIELDS;
    int m_nInkType = 0, nFeedSpeedMode = 0, nFeedSpeedValue = 0, bTopBlower = 0, nTopBlowerLevel = 0;
    int m_nOFFTime = 0, m_nWhiteOrderV2 = 0, nWhiteSplitHeadMode = 0, nWave = 0, m_nHeadSelection = 0;
};
