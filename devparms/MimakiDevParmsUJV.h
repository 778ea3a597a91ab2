// Parameter classes of the JV300 and JV400 white roll models and of the UV
// roll and hybrid models SIJ320UV, UJV55, UJV500, UJV100 and UCJV300.
#pragma once

#include <string>

#include "devparms/MimakiDevParms.h"
#include "host/HostTypes.h"

// Fields of the family; each class reads its own subset.
#define MIMAKI_UJV_FIELDS                                                                                    \
    BYTE strDotVolumesData[360] = {};                                                                        \
    std::wstring strPrintModeData, strOffsetCommand, SlotsSetting, MimakiColorSequence;                     \
    int m_nInkType = 0, m_nDirection = 0, m_nDotSize = 0, m_nDotSizeV2 = 0, m_nPreHeaterMode = 0;            \
    int m_nPreHeaterValue = 0, m_nPrintHeaterMode = 0, m_nPrintHeaterValue = 0, m_nAfterHeaterMode = 0;      \
    int m_nAfterHeaterValue = 0, m_nDryHeaterMode = 0, m_nDryHeaterValue = 0, m_nMediaFeedMode = 0;          \
    int m_nMediaFeedValue = 0, m_nInkLayers = 0, m_nFeedSpeedMode = 0, m_nFeedSpeedValue = 0;                \
    int m_nDryTimeMode = 0, m_nDryTimeModeJob = 0;                                                           \
    double m_dDryTimeValue100Msec = 0, m_dDryTimeValueJob = 0, m_dCommandManualVersion = 0;                  \
    int m_nWhiteModeV2 = 0, m_nWhiteLevel = 0, m_nWaveShape = 0, m_nAbsorbabilityFanStrength = 0;            \
    int m_nTopBlowerStrength = 0, m_bSetLeftMargin = 0, m_nLeftMargin = 0, m_bSetRightMargin = 0;            \
    int m_nRightMargin = 0, bAvoidGapBetweenJobs = 0, bCut = 0, m_nHeadSelection = 0;                        \
    int m_bSetBandsReduction = 0, nHQ = 0, nPrintModeSetNumber = 0, nActionCategoryLarge = 0;                \
    int nActionCategorySmall = 0, nXDpi = 0, nYDpi = 0, nHSpeedMode = 0, nPrintModeId = 0;                   \
    int m_nVacuum = 0, m_nRefreshLevel = 0, m_nUVLightStrengthMode = 0, m_nUVLightStrengthValue = 0;         \
    int nBandAdjust = 0, m_eWhiteMode = 0, nLayerOffset = 0, m_bHighDensity = 0;                             \
    int m_nOFFTime = 0, ModeId = 0, JV300UseWhite = 0, UseWhite = 0, bIsHybrid = 0

class DEVPARMJV300_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMJV300_CLASS(int nSize = sizeof(DEVPARMJV300_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_UJV_FIELDS;
};

class DEVPARMJV400_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMJV400_CLASS(int nSize = sizeof(DEVPARMJV400_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_UJV_FIELDS;
    // The white mode the JV400 driver reads; a live key of its own, not an
    // old name of m_nWhiteModeV2.
    int m_nWhiteMode = -1;
};

class DEVPARMSIJ320UV_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMSIJ320UV_CLASS(int nSize = sizeof(DEVPARMSIJ320UV_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_UJV_FIELDS;
};

class DEVPARMUJV55_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMUJV55_CLASS(int nSize = sizeof(DEVPARMUJV55_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_UJV_FIELDS;
};

class DEVPARMUJV500_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMUJV500_CLASS(int nSize = sizeof(DEVPARMUJV500_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_UJV_FIELDS;
    int m_eUVPolicyLeft = 0, m_eUVPolicyRight = 0, m_nUVPowerLeftOutward = 0, m_nUVPowerLeftReturn = 0;
    int m_nUVPowerRightOutward = 0, m_nUVPowerRightReturn = 0, m_bPostCureLamp1On = 0, m_bPostCureLamp2On = 0;
    int m_bPostCureLamp3On = 0, m_eUVPolicyPostCureUnitLamps = 0;
};

class DEVPARMUJV100_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMUJV100_CLASS(int nSize = sizeof(DEVPARMUJV100_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    std::string GetEndString(CPrinterDriverBase* pDriver) override;
    MIMAKI_UJV_FIELDS;
    int m_nPrintingWay = 0, m_nDryTimeValue100Msec = 0, m_nDryTimeJobMode = 0, m_nDryTimeJobSec = 0;
    int m_nTop_Blower = 0, m_nCuringMode = 0, m_nCuringValue = 0, m_bAutoCutting = 0, m_nOverPainting = 0;
    int m_bPowerOFF = 0, m_nPowerOFF = 0, MediaID = 0, m_bBack2Origin = 0, m_bMediaLoosening = 0;
};

class DEVPARMUCJV300_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMUCJV300_CLASS(int nSize = sizeof(DEVPARMUCJV300_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    std::string GetEndString(CPrinterDriverBase* pDriver) override;
    MIMAKI_UJV_FIELDS;
    int bSendFeedSpeed = 0, nFeedSpeedValue = 0, bSendDryTimeScan = 0, nDryTimeScan = 0, bSendDryTimeEnd = 0;
    int nDryTimeEnd = 0, bSendFeedCorrection = 0, nFeedCorrection = 0, eWhiteOrder = 0, nUVMode = 0;
    int nUVValue = 0, nDirection = 0, nDotSize = 0, nInkLayers = 0, nWaveShape = 0, nVacuum = 0;
    int PrEnv_Back2Origin = 0, m_nLayerSelected = 0, m_eLayer1 = 0, m_eLayer2 = 0, m_eLayer3 = 0;
    int m_eLayer4 = 0, m_eLayer5 = 0, WideSandwichMode = 0, m_bPreHeaters = 0, m_nPreHeaters = 0;
    int m_bPrintHeaters = 0, m_nPrintHeaters = 0, m_bAfterHeaters = 0, m_nAfterHeaters = 0;
    int bHeaterPowerOff = 0, nHeaterPowerOffValue = 0, m_bMediaLoosening = 0, nPrinterTyp = 0;
    int nModelPrinterTyp = 0;
};
