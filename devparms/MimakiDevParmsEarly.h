// Parameter classes of the early models: the first command family
// (DEVPARM1_CLASS) and the "M" command family (DEVPARM2_CLASS to
// DEVPARM17_CLASS), white and clear-coat layers included.
#pragma once

#include "devparms/MimakiDevParms.h"

class DEVPARM1_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM1_CLASS(int nSize = sizeof(DEVPARM1_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;

    int Unidir = 0, Banding = 0, OverPrintings = 0, AutomaticCut = 0, DryTimeScan = 0, DryTimeEnd = 0;
    int UseDeviceOverPrintings = 0, UseDeviceDryTimeScan = 0, UseDeviceDryTimeEnd = 0, DontSendSet1 = 0;
};

// Fields of the "M" command models; each class reads its own subset.
#define MIMAKI_M_COMMAND_FIELDS                                                                            \
    int PrintDir = 0, Quality = 0, DotSize = 0, SendPrintMode = 0, HiSpeed = 0, AutoCut = 0, SendAutoCut = 0; \
    int Overprint = 0, SendOverprint = 0, DryTimeScan = 0, SendDryTimeScan = 0, DryTimeEnd = 0;             \
    int SendDryTimeEnd = 0, InkSet = 0, SendInkSet = 0, FeedCorr = 0, SendFeedCorr = 0, Refresh = 0;         \
    int SendRefresh = 0, HasAutoCut = 0, InkSets = 0, UseHeater = 0, PreHeaterTemp = 0, UsePreHeater = 0;   \
    int PrintHeaterTemp = 0, UsePrintHeater = 0

class DEVPARM2_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM2_CLASS(int nSize = sizeof(DEVPARM2_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
};

class DEVPARM3_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM3_CLASS(int nSize = sizeof(DEVPARM3_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    int SwapLCMOG = 0;
};

class DEVPARM4_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM4_CLASS(int nSize = sizeof(DEVPARM4_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
};

class DEVPARM5_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM5_CLASS(int nSize = sizeof(DEVPARM5_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetColorLayerStartString(CPrinterDriverBase* pDriver) override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    int UsesJV3WhiteDriver() override { return bWhite; }

    int bInkSet = 0, nInkSet = 0, nWhiteDrytime = 0, nWhiteSplitHeadMode = 0, nWhitePrintMode = 0;
};

class DEVPARM6_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM6_CLASS(int nSize = sizeof(DEVPARM6_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
};

class DEVPARM7_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM7_CLASS(int nSize = sizeof(DEVPARM7_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetColorLayerCommands(int bRepeat) override;
    std::string GetWhiteLayerCommands(int bRepeat) override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    int IsWhiteLayerActive() override;
    int IsColorLayerSeparate() override;

    int HeaterTemp = 0, HeaterTemp2 = 0, SendHeater = 0, bUseHeater = 0, bUseHeater2 = 0, nPrinterTyp = 0;
};

class DEVPARM8_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM8_CLASS(int nSize = sizeof(DEVPARM8_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetColorLayerCommands(int bRepeat) override;
    std::string GetWhiteLayerCommands(int bRepeat) override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    int IsWhiteLayerActive() override;
    int IsColorLayerSeparate() override;

    int Pass = 0, DotSize = 0, FixDotSize = 0;
};

class DEVPARM9_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM9_CLASS(int nSize = sizeof(DEVPARM9_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
};

class DEVPARM10_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM10_CLASS(int nSize = sizeof(DEVPARM10_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
};

class DEVPARM11_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM11_CLASS(int nSize = sizeof(DEVPARM11_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;

    int nPrinterTyp = 0;
};

class DEVPARM12_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM12_CLASS(int nSize = sizeof(DEVPARM12_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_M_COMMAND_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
};

// Fields of the roll models with heaters (13, 15 and the string-object
// models that share their settings).
#define MIMAKI_ROLL_FIELDS                                                                                  \
    int nPrintDirection = 0, nQuality = 0, nDotSize = 0, bSendOverprint = 0, nOverprint = 0;                \
    int bSendDryTimeScan = 0, nDryTimeScan = 0, bSendDryTimeEnd = 0, nDryTimeEnd = 0;                       \
    int bSendFeedCorrection = 0, nFeedCorrection = 0, bColorPattern = 0, bCut = 0;                          \
    int bUseHeaterGlobal = 0, bUsePreHeater = 0, nPreHeaterTemp = 0, bUsePrintHeater = 0;                   \
    int nPrintHeaterTemp = 0, bUseAfterHeater = 0, nAfterHeaterTemp = 0, bStandByTime = 0, nStandByTime = 0; \
    int bOFFTime = 0, nOFFTime = 0, bAbsorbationFan = 0, nAbsorbationFanLevel = 0, bUseWhite = 0;           \
    int nPrinterTyp = 0

class DEVPARM13_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM13_CLASS(int nSize = sizeof(DEVPARM13_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_ROLL_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    // How the two heads of a pair of the JV58C special configuration share
    // a row's dots: 1 by a dot pattern, 0 by whole rows (the model key
    // "JV58CInterleaveMode", default 1); other values print nothing.
    int GetInterleaveMode() const { return nInterleaveMode; }

    int bWhiteFirst = 0, nWhiteLayerMode = 0, bSendMediaSize = 0;
    int nInterleaveMode = 1;

    std::wstring RoutingSettings(int nWhich) override;

protected:
    void OnLoaded(const CPrintEnv& env) override;

private:
    std::wstring m_strJV58CSlots; // the JV58C's routing keys; empty otherwise
};

class DEVPARM14_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM14_CLASS(int nSize = sizeof(DEVPARM14_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetColorLayerCommands(int bRepeat) override;
    std::string GetWhiteLayerCommands(int bRepeat) override;
    std::string GetClearCoatLayerCommands(int bRepeat) override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    int IsWhiteLayerActive() override;
    int IsColorLayerSeparate() override;

    int nDirection = 0, Pass = 0, nPassIndex = 0, DotSize = 0, FixDotSize = 0, nClearCoatMode = 0;
    int nPrinterType = 0, nPrintMode = 0, nInkLayer = 0, nClearCoatIllumination = 0, nClearCoatIrradiation = 0;
    int nWhiteIrradiation = 0, nWhiteIllumination = 0, nColorIllumination = 0, nColorIrradiation = 0;
    int DotSizeBig = 0, DotSizeMedium = 0, DotSizeSmall = 0, bUseDefaultDotsize = 0;
};

class DEVPARM15_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM15_CLASS(int nSize = sizeof(DEVPARM15_CLASS)) : CMimakiDevParmsBase(nSize) {}
    MIMAKI_ROLL_FIELDS;
    const mimaki::parms::KeyTable* Table() const override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;

    int nWhiteSplitHeadMode = 0, nWave = 0;
};

// One parameter set of a layer of model 16.
struct CMimakiLayerParm16 {
    // "SA" weaving, "SD" dot sizes and "SU" UV light of this layer.
    std::string Commands() const;

    int bValuesChanged = 0, bUseDefault = 0, nDotSizeBig = 0, nDotSizeMedium = 0, nDotSizeSmall = 0;
    int nIllumination = 0, nIrradiation = 0, nInkLayer = 0, nDirection = 0, nPass = 0, nPassIndex = 0;
    int bWeavingEnabled = 0, nSawToothHeight = 0;
};

class DEVPARM16_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM16_CLASS(int nSize = sizeof(DEVPARM16_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetWhiteLayerStartString(CPrinterDriverBase* pDriver) override;
    std::string GetColorLayerStartString(CPrinterDriverBase* pDriver) override;
    std::string GetClearCoatLayerStartString(CPrinterDriverBase* pDriver) override;
    std::string GetColorLayerCommands(int bRepeat) override;
    std::string GetWhiteLayerCommands(int bRepeat) override;
    std::string GetClearCoatLayerCommands(int bRepeat) override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    int IsWhiteLayerActive() override;
    int IsColorLayerSeparate() override;

    int nDotSize = 0, nPrinterType = 0, nPrintMode = 0;
    CMimakiLayerParm16 ColorParam, WhiteParam, ClearParam;
    int HeadVertResolutionOneColor = 0, HeadNozzlesNumberOneColor = 0;

private:
    std::string LayerStart(CPrinterDriverBase* pDriver, const CMimakiLayerParm16& layer, int layerCode);
};

// One parameter set of a layer of model 17.
struct CMimakiLayerParm17 {
    // Print mode of this layer.
    std::string PrintMode() const;

    int bValuesChanged = 0, bUseDefault = 0, m_nPrintDirection = 0, m_nQuality = 0, m_nPassLayer = 0;
    int m_bSendPassLayer = 0, m_nDryTimeScan = 0, m_bSendDryTimeScan = 0, m_nLayers = 0;
};

class DEVPARM17_CLASS : public CMimakiDevParmsBase {
public:
    explicit DEVPARM17_CLASS(int nSize = sizeof(DEVPARM17_CLASS)) : CMimakiDevParmsBase(nSize) {}
    const mimaki::parms::KeyTable* Table() const override;
    std::string GetWhiteLayerStartString(CPrinterDriverBase* pDriver) override;
    std::string GetColorLayerStartString(CPrinterDriverBase* pDriver) override;
    std::string GetColorLayerCommands(int bRepeat) override;
    std::string GetWhiteLayerCommands(int bRepeat) override;
    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    int Uses604SpecialDriver() override { return 1; }
    int IsWhiteLayerActive() override;
    int IsColorLayerSeparate() override;

    CMimakiLayerParm17 pParam_White, pParam_Color;
    int nDotSize = 0, bSendHeater = 0, bUseHeater = 0, nHeaterTemp = 0, bUseHeater2 = 0, nHeaterTemp2 = 0;
    int nFeedCorrection = 0, bSendFeedCorrection = 0, nLayerSelected = 0;

protected:
    void OnLoaded(const CPrintEnv& env) override;

private:
    std::string LayerStart(CPrinterDriverBase* pDriver, const CMimakiLayerParm17& layer, int white);
};
