// Parameter classes of the MRL III roll models that work from print
// conditions or send their start as a string object: TS300P (plain,
// advanced, MkII), TX330, TS55 1800, TS100 1600, TS330 1600 and JV100.
#pragma once

#include <string>

#include "devparms/MimakiDevParms.h"
#include "host/HostTypes.h"

// Fields of the family; each class reads its own subset.
#define MIMAKI_TS_FIELDS                                                                                     \
    BYTE strDotVolumesData[360] = {};                                                                        \
    std::wstring strPrintModeData, SlotsSetting, MimakiColorSequence, NonBlankMmNeededToScheduleHeadCleaningDefault, \
        ConsecutiveBlankMmToDoHeadCleaningDefault;                                                           \
    int nHQ = 0, nPrintModeSetNumber = 0, nActionCategoryLarge = 0, nActionCategorySmall = 0, nXDpi = 0;    \
    int nYDpi = 0, nHSpeedMode = 0, nPrintModeId = 0, m_nDirection = 0, m_nDotSize = 0, m_nDotSizeV2 = 0;   \
    int m_nDryingFanHeaterMode = 0, m_nDryingFanHeaterValue = 0, m_nPrintHeaterMode = 0;                     \
    int m_nPrintHeaterValue = 0, m_nAfterHeaterMode = 0, m_nAfterHeaterValue = 0, m_nPost1HeaterMode = 0;    \
    int m_nPost1HeaterValue = 0, m_nPost2HeaterMode = 0, m_nPost2HeaterValue = 0, m_nPost3HeaterMode = 0;    \
    int m_nPost3HeaterValue = 0, m_nPost4HeaterMode = 0, m_nPost4HeaterValue = 0, m_nPrintHeaterModeV2 = 0;  \
    int m_nPrintHeaterValueV2 = 0, m_nDryHeaterMode = 0, m_nDryHeaterValue = 0, m_nMediaFeedMode = 0;        \
    int m_nMediaFeedValue = 0, m_nInkLayers = 0, m_nFeedSpeedMode = 0, m_nFeedSpeedValue = 0;                \
    int m_bHighSpeedTransfer = 0, m_bHeadCleaning = 0, m_nDryTimeMode = 0, m_nDryTimeModeJob = 0;            \
    double m_dDryTimeValue100Msec = 0, m_dDryTimeValueJob = 0, dNonBlankMmNeededToScheduleHeadCleaning = 0;  \
    double dConsecutiveBlankMmToDoHeadCleaning = 0, m_dCommandManualVersion = 0;                             \
    int m_nWaveShape = 0, m_nVacuum = 0, m_nTopBlower = 0, nTopBlower = 0, m_eMediaFeedQuality = 0;          \
    int m_bSetLeftMargin = 0, m_nLeftMargin = 0, m_bSetRightMargin = 0, m_nRightMargin = 0;                  \
    int m_nRefreshLevel = 0, bAvoidGapBetweenJobs = 0, bCut = 0, nBandAdjust = 0, nHeadSelection = 0;        \
    int nPreHeaterMode = 0, nPreHeaterValue = 0, nPlatenHeaterMode = 0, nPlatenHeaterValue = 0;              \
    int nAfterHeaterMode = 0, nAfterHeaterValue = 0, nOFFTime = 0, nPostHeater = 0, bPowerOff = 0;           \
    int nPowerOff = 0, m_bCanDoQJCommand = 0, nPowerOffMode = 0, nPowerOffMinutes = 0;                       \
    int bUseHighSpeedTransfer = 0, bUseHeadCleaning = 0, bUseCut = 0, bUseVacuum = 0, bUseWaveShape = 0;     \
    int bUseTopBlower = 0, bSpecifyMediaFeedQuality = 0, HeadSelectionEnable = 0, bIsHybrid = 0

class DEVPARMTS300P_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTS300P_CLASS(int nSize = sizeof(DEVPARMTS300P_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_TS_FIELDS;
};

class DEVPARMTS300P_ADVANCED_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTS300P_ADVANCED_CLASS(int nSize = sizeof(DEVPARMTS300P_ADVANCED_CLASS))
        : CMimakiDevParmsBase(nSize)
    {
    }
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    std::string GetEndString(CPrinterDriverBase* pDriver) override;
    int IsHeadCleaningEnabled() override;
    void GetHeadCleaningDistances(double& dNonBlankMm, double& dBlankMm) override;
    MIMAKI_TS_FIELDS;
};

class DEVPARMTS55_1800_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTS55_1800_CLASS(int nSize = sizeof(DEVPARMTS55_1800_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_TS_FIELDS;
};

class DEVPARMTS300P_MKII_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTS300P_MKII_CLASS(int nSize = sizeof(DEVPARMTS300P_MKII_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_TS_FIELDS;
};

class DEVPARMTX330_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTX330_CLASS(int nSize = sizeof(DEVPARMTX330_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_TS_FIELDS;
};

class DEVPARMJV100_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMJV100_CLASS(int nSize = sizeof(DEVPARMJV100_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_TS_FIELDS;
};

class DEVPARMTS100_1600_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTS100_1600_CLASS(int nSize = sizeof(DEVPARMTS100_1600_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_TS_FIELDS;
};

class DEVPARMTS330_1600_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMTS330_1600_CLASS(int nSize = sizeof(DEVPARMTS330_1600_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    MIMAKI_TS_FIELDS;
};
