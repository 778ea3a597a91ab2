// Parameter classes of the layered MRL III roll models CJV300 PLUS, JV330
// and CJV330.
#pragma once

#include <string>
#include <vector>

#include "devparms/MimakiDevParms.h"
#include "host/HostTypes.h"

// One layer (printing way) of the layer list: the sub-layer type at each
// position ("layer1_" to "layer5_"; 0 leaves the position unused), whether
// the layer is printed mirrored and, on the CJV300 PLUS, whether it takes
// the shifted (sandwich) rows.
struct CMimakiCJVLayer {
    int nType[5] = {};
    int bMirror = 0;
    int bUseSandwich = 0;
};

#define MIMAKI_CJV_FIELDS                                                                                    \
    BYTE strDotVolumesData[360] = {};                                                                        \
    std::wstring strPrintModeData, SlotsSetting;                                                             \
    int nNumberOfLayers = 0, m_nDotSize = 0, m_nHeadsSelection = 0, m_nBackToOrigin = 0;                     \
    int m_bPreHeatersOn = 0, m_nPreHeatersOn = 0, m_bPrintHeatersOn = 0, m_nPrintHeatersOn = 0;              \
    int m_bAfterHeatersOn = 0, m_nAfterHeatersOn = 0, m_bVacuumStrength = 0, m_nVacuumStrength = 0;          \
    int m_bTopBlowerStrength = 0, m_nTopBlowerStrength = 0, m_bFeedCorrection = 0, m_nFeedCorrection = 0;    \
    int m_bFeedSpeed = 0, m_nFeedSpeed = 0, m_bCutMedia = 0, bIsHybrid = 0;                              \
    std::vector<CMimakiCJVLayer> m_Layers

class DEVPARMCJV300_PLUS_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMCJV300_PLUS_CLASS(int nSize = sizeof(DEVPARMCJV300_PLUS_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetEndString(CPrinterDriverBase* pDriver) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
    int GetWhiteOrderOrMode() override { return nWhiteOrder; }
    // Variable dots (dot size 1) take two bits per pixel.
    virtual int GetBitsPerPixel() { return m_nDotSize == 1 ? 2 : 1; }

    MIMAKI_CJV_FIELDS;
    int bPowerOff = 0, nPowerOff = 0, bHeaterPowerOff = 0, nHeaterPowerOffValue = 0;
};

class DEVPARMJV330_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMJV330_CLASS(int nSize = sizeof(DEVPARMJV330_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
    int GetWhiteOrderOrMode() override { return nWhiteOrder; }
    // A fixed dot size (above 0) takes one bit per pixel.
    virtual int GetBitsPerPixel() { return m_nDotSize > 0 ? 1 : 2; }

    MIMAKI_CJV_FIELDS;
    int m_bPowerOff = 0, m_nPowerOff = 0, m_bSetLeftMargin = 0, m_nLeftMargin = 0, m_bSetRightMargin = 0;
    int m_nRightMargin = 0, m_bCanDoQJCommand = 0;
};

class DEVPARMCJV330_CLASS : public DEVPARMJV330_CLASS {
public:
    explicit DEVPARMCJV330_CLASS(int nSize = sizeof(DEVPARMCJV330_CLASS)) : DEVPARMJV330_CLASS(nSize) {}
};
