// Parameters of the TxF150 DTF film printer. Unlike every other model it
// derives from the host's base directly.
#pragma once

#include "host/HostTypes.h"
#include "host/UnivDevParmsBase.h"

namespace mimaki::parms {
class KeyTable;
}

class CDevParmsTxF150 : public CUnivDevParmsBase {
public:
    static constexpr int kRecordVersion = 261;

    explicit CDevParmsTxF150(int nSize = sizeof(CDevParmsTxF150)) : CUnivDevParmsBase(nSize, kRecordVersion) {}

    int Load(CPrintEnv* pEnv) override;
    int Save(CPrintEnv* pEnv) override;
    CDRc MediaSizeGetNpMargin(CQueryNpMargin& query) override;
    int JobPrintOptionAvailable(CJobPrintOptionQuery& query) override;
    int GetMediaCut() override;
    // One "Q@" block of the job settings: 16-bit values, 32-bit for the
    // signed feed and margins, low byte first.
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    std::string GetEndString(CPrinterDriverBase* pDriver) override;

    static const mimaki::parms::KeyTable& Table();

    BYTE strDotVolumesData[360] = {};
    int m_nMediaFeedMode = 0, m_nMediaFeedValue = 0, m_nFeedSpeedMode = 0, m_nFeedSpeedValue = 0;
    int m_bAutoCutting = 0, m_nDryTimeScan = 0, m_nDryTimeJob = 0, m_nDryTimeScanValue = 0;
    int m_nDryTimeJobValue = 0, m_nAbsorbabilityFanStrength = 0, m_nTopBlower = 0, m_bSetLeftMargin = 0;
    int m_nLeftMargin = 0, m_bSetRightMargin = 0, m_nRightMargin = 0, m_nPreHeaterMode = 0, m_nPreHeaterValue = 0;
    int m_nPrintHeaterMode = 0, m_nPrintHeaterValue = 0, m_nAfterHeaterMode = 0, m_nAfterHeaterValue = 0;
    int m_nOFFTime = 0, m_nBandDivision = 0, m_nOverPrint = 0, m_nDotSize = 0, m_bPrintLayers = 0;
    int m_nLayerMode = 0, m_nPrintOrder = 0, m_nScanSpeed = 0, WaveForm = 0, PrintDirection = 0;
    int m_nTop_Blower = 0;
};
