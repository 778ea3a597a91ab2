// Parameter classes of the UV flatbed models: the UJF3042 and UJF706 with
// their common base, the UJF x042 MkII, UJF7151 and UJF7151 plus II, and
// the JFX500, JFX MK series, JFX200 and JFX200EX.
#pragma once

#include <string>
#include <vector>

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiLayerList.h"
#include "host/HostTypes.h"

// The options of one ink or layer position of the UV models.
struct CMimakiLayerOption {
    int nPass = 0, nWaveShape = 0, nDirection = 0, nLayers = 0, nUVPolicyLeft = 0, nUVPolicyRight = 0;
    int nUVPolicySpotColor = 0, nUVPower = 0, nUVPower1 = 0, nUVPower2 = 0, nUVPower3 = 0, nUVPower4 = 0;
    int nUVPower5 = 0, nUVPower6 = 0, nUVPower7 = 0, nUVPower8 = 0, bParameterSet = 0;
};

// Fields of the flatbed models; each class reads its own subset.
#define MIMAKI_UJF_FIELDS                                                                                    \
    int nRefreshLevel = 0, nDotSize = 0, nMediaCorrection = 0, nMediaCorrectionValue = 0, nUvConfig = 0;     \
    int nLastLayerOption = 0, nLayerOption = 0, nPrnEnvVersion = 0, nWaveShape = 0, UJFPrinterTyp = 0;       \
    std::wstring JFXPrinterType; /* "WW", "VV", ... the ink configuration */                                \
    CMimakiLayerOption nLayerOptColor, nLayerOptWhite, nLayerOptVarnish, nLayerOptPrimer

class CMimaki_UJF_Base_CLASS : public CMimakiDevParmsBase {
public:
    explicit CMimaki_UJF_Base_CLASS(int nSize) : CMimakiDevParmsBase(nSize) {}

    // Commands the UJF layer drivers send before and after a layer's data.
    virtual std::string GetLayerCommands(int nLayer) = 0;
    virtual std::string GetLayerEndCommands(int nLayer) = 0;
    // The start of a layer printed alone, under colour, and over colour.
    virtual std::string BuildSingleLayerStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) = 0;
    virtual std::string BuildUnderprintStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) = 0;
    virtual std::string BuildOverprintStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) = 0;

    // The arrangement of the layer picks its start builder.
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    // "QE" 0 after every layer, underprint or not.
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;

    // The pass list of the UJF models ("DP19_strPass", "DP20_strPass").
    std::string strPass;

protected:
    // Underprint layers of the ink configuration "UJFPrinterTyp"; the
    // UJF706 reports them only for its first three configurations.
    int UnderprintLayer(int nLayer, int nPrinterTyp, int nLastTyp) const;
};

class DEVPARMUJF3042_CLASS : public CMimaki_UJF_Base_CLASS {
public:
    explicit DEVPARMUJF3042_CLASS(int nSize = sizeof(DEVPARMUJF3042_CLASS)) : CMimaki_UJF_Base_CLASS(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerCommands(int nLayer) override;
    std::string GetLayerEndCommands(int nLayer) override;
    std::string BuildSingleLayerStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) override;
    std::string BuildUnderprintStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) override;
    std::string BuildOverprintStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) override;
    int IsLayerReversed(int nLayer) override { return UnderprintLayer(nLayer, UJFPrinterTyp, 6); }
    MIMAKI_UJF_FIELDS;
};

class DEVPARMUJF706_CLASS : public CMimaki_UJF_Base_CLASS {
public:
    explicit DEVPARMUJF706_CLASS(int nSize = sizeof(DEVPARMUJF706_CLASS)) : CMimaki_UJF_Base_CLASS(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerCommands(int nLayer) override;
    std::string GetLayerEndCommands(int nLayer) override;
    std::string BuildSingleLayerStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) override;
    std::string BuildUnderprintStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) override;
    std::string BuildOverprintStart(CPrinterDriverBase* pDriver, int nLayer, int nPosKind) override;
    int IsLayerReversed(int nLayer) override { return UnderprintLayer(nLayer, UJFPrinterTyp, 2); }
    MIMAKI_UJF_FIELDS;
    int bDotSizeUseDefault = 0, nDotSizeBig = 0, nDotSizeMedium = 0, nDotSizeSmall = 0;
};

// The print-condition flatbed models with per-layer UV, over-paint, mirror
// and layer-parameter settings.
#define MIMAKI_UJF7151_FIELDS                                                                                \
    BYTE strDotVolumesData[360] = {};                                                                        \
    std::wstring strPrintModeData, SlotsSetting, MimakiColorSequence, LayerParmDefault;                     \
    int eLogicalSeek = 0, m_nLayer1UV = 0, m_nLayer2UV = 0, m_nLayer3UV = 0, m_nLayer4UV = 0, m_nLayer5UV = 0; \
    int m_nLayerUV1Val = 0, m_nLayerUV2Val = 0, m_nLayerUV3Val = 0, m_nLayerUV4Val = 0, m_nLayerUV5Val = 0;   \
    int m_nLayerOverPaint1 = 0, m_nLayerOverPaint2 = 0, m_nLayerOverPaint3 = 0, m_nLayerOverPaint4 = 0;       \
    int m_nLayerOverPaint5 = 0, m_nMirror1 = 0, m_nMirror2 = 0, m_nMirror3 = 0, m_nMirror4 = 0, m_nMirror5 = 0; \
    int m_nAWaveShape1 = 0, m_nAWaveShape2 = 0, m_nAWaveShape3 = 0, m_nAWaveShape4 = 0, m_nAWaveShape5 = 0;  \
    int nHQ = 0, nPrintModeSetNumber = 0, nActionCategoryLarge = 0, nActionCategorySmall = 0, nXDpi = 0;    \
    int nYDpi = 0, nHSpeedMode = 0, nPrintModeId = 0, m_nDirection = 0, m_nDotSize = 0, m_nMediaFeedMode = 0; \
    int m_nMediaFeedValue = 0, m_bSetLeftMargin = 0, m_nLeftMargin = 0, m_bSetRightMargin = 0;               \
    int m_nRightMargin = 0, m_nRefreshLevel = 0, m_nWaveShape = 0, DpiVert = 0;                             \
    int DpiHorz = 0;                                                                                         \
    std::wstring JFXPrinterType;                                                                             \
    /* The thirty layer parameters: layers 1 to 5, each IDS, PAS, FD, LB, SB, WS. */                         \
    int m_LayerParm[5][6] = {}

class DEVPARMUJF_x042MKII_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMUJF_x042MKII_CLASS(int nSize = sizeof(DEVPARMUJF_x042MKII_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    // The start of layer nLayer (0..4; nPosIndex -1) or of the layer at
    // position nPosIndex: its UV, over-paint, mirror and wave settings.
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
    MIMAKI_UJF7151_FIELDS;

    // One layer of the slot-file driver (0..4): which inks it takes (kind,
    // sub-kind and mode), its count (0 or less ends the list of layers),
    // whether its rows go out last first, and whether mirrored (1).
    // Kind, sub-kind, count and reverse are layer parameters "IDS", "PAS",
    // "LB" and "SB"; the mode is "nLayerKMode", the mirror "m_nMirrorK".
    struct SlotLayer {
        int kind, subKind, count, mode, reverse, mirror;
    };
    SlotLayer GetSlotLayer(int nLayer) const;
    // What the layer starts receive as their position kind: 2 switches the
    // printer to local between layers, 1 keeps it.
    int GetLayerSwitchValue() const { return bSwitchToLocalBetweenLayers == 1 ? 2 : 1; }
};

class DEVPARMUJF7151_CLASS : public DEVPARMUJF_x042MKII_CLASS {
public:
    explicit DEVPARMUJF7151_CLASS(int nSize = sizeof(DEVPARMUJF7151_CLASS)) : DEVPARMUJF_x042MKII_CLASS(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
};

class DEVPARMUJF7151plusII_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMUJF7151plusII_CLASS(int nSize = sizeof(DEVPARMUJF7151plusII_CLASS)) : CMimakiDevParmsBase(nSize)
    {
    }
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
    std::vector<CMimakiLayerRecord> m_Layers; // "DP53_Layer<n>.<field>"

    BYTE strDotVolumesData[360] = {};
    std::wstring strPrintModeData, SlotsSetting, MimakiColorSequence;
    int nNumberOfLayers = 0, nCurFeedType = 0, nFeedVal = 0, nPrintModeSetNumber = 0, nXDpi = 0, nYDpi = 0;
    int nDotSize = 0, m_bSetLeftMargin = 0, m_nLeftMargin = 0, m_bSetRightMargin = 0, m_nRightMargin = 0;
    int nRefreshLevel = 0, m_bKebabAvailable = 0, m_nKebabOption = 0, DpiVert = 0, DpiHorz = 0;
    double dCommandManualVersion = 0;
};

// The JFX500 record; built only as the base of the MK series.
class DEVPARMJFX500_CLASS : public CMimakiDevParmsBase {
public:
    MIMAKI_UJF_FIELDS;
    int nTypeMedia = 0, UJF6042 = 0;

protected:
    explicit DEVPARMJFX500_CLASS(int nSize) : CMimakiDevParmsBase(nSize) {}
};

class DEVPARMJFXMKSERIES_CLASS : public DEVPARMJFX500_CLASS {
public:
    explicit DEVPARMJFXMKSERIES_CLASS(int nSize = sizeof(DEVPARMJFXMKSERIES_CLASS)) : DEVPARMJFX500_CLASS(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
};

class DEVPARMJFX500_v2_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMJFX500_v2_CLASS(int nSize = sizeof(DEVPARMJFX500_v2_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
    MIMAKI_UJF_FIELDS;
    CMimakiLayerOption m_nLayerOptWhite, m_nLayerOptVarnish, m_nLayerOptPrimer;
    CMimakiLayerOption nLayerOpt1, nLayerOpt2, nLayerOpt3, nLayerOpt4, nLayerOpt5;
};

class DEVPARMJFX200_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMJFX200_CLASS(int nSize = sizeof(DEVPARMJFX200_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
    int Save(CPrintEnv* pEnv) override;
    MIMAKI_UJF_FIELDS;
    int bSplitPrintArea = 0;
    CMimakiLayerOption nLayerOpt1, nLayerOpt2, nLayerOpt3, nLayerOpt4, nLayerOpt5;
    std::wstring MaxMediaLengthFullAreaMm, MaxMediaLengthSplitAreaMm;
};

class DEVPARMS_JFX200EX_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARMS_JFX200EX_CLASS(int nSize = sizeof(DEVPARMS_JFX200EX_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                    int nPosIndex) override;
    std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag) override;
    std::vector<CMimakiLayerRecord> m_Layers; // "DP46_Layer<n>.<field>"
    int nPrnEnvVersion = 0, nNumberOfLayers = 0, nDotSize = 0, nRefreshLevel = 0, nMediaCorrection = 0;
    int nMediaCorrectionValue = 0, bPowerOff = 0, nPowerOff = 0;
};
