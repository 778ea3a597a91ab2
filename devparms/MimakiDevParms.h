// Common base of every Mimaki device-parameter class: the fields all models
// share and the operations the drivers ask of their parameters.
#pragma once

#include <string>
#include <vector>

#include "host/UnivDevParmsBase.h"

class CMimakiDevParmsBase : public CUnivDevParmsBase {
public:
    // Record version tag every parameter object carries.
    static constexpr int kRecordVersion = 261;

    explicit CMimakiDevParmsBase(int nSize = sizeof(CMimakiDevParmsBase));
    ~CMimakiDevParmsBase() override;

    std::string GetEndString(CPrinterDriverBase* pDriver) override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    int OutputEndString(CPrinterDriverBase* pDriver) override;

    // Operations added for the drivers, in this order.
    virtual int GetColorMapValue(int nColor);
    virtual int GetColorIdAt(int nIndex);
    virtual int IsHeadCleaningEnabled();
    virtual void GetHeadCleaningDistances(double& dNonBlankMm, double& dBlankMm);
    virtual std::string GetColorLayerCommands(int bRepeat);
    virtual std::string GetWhiteLayerCommands(int bRepeat);
    virtual std::string GetClearCoatLayerCommands(int bRepeat);
    virtual int UsesWhiteDriver();
    virtual int IsWhiteLayerActive();
    virtual int IsColorLayerSeparate();
    virtual int IsClearCoatLayerActive();
    virtual int UsesJV3WhiteDriver();
    virtual int Uses604SpecialDriver();
    virtual std::string GetWhiteLayerStartString(CPrinterDriverBase* pDriver);
    virtual std::string GetColorLayerStartString(CPrinterDriverBase* pDriver);
    virtual std::string GetClearCoatLayerStartString(CPrinterDriverBase* pDriver);
    virtual int GetClearCoatIrradiation();
    virtual int GetHighSpeed();
    virtual int GetLayerWhiteOrder();
    virtual int GetWhiteOrderOrMode();
    virtual int IsLayerScheduled(int nLayer);
    virtual int IsLayerReversed(int nLayer);
    virtual int IsSplitPrintArea();
    virtual std::string GetLayerStartString(CPrinterDriverBase* pDriver, int nLayer, int bReversed, int nPosKind,
                                            int nPosIndex);
    virtual std::string GetLayerEndString(CPrinterDriverBase* pDriver, int nLayer, int nFlag);
    virtual int GetAbortCommand(std::vector<BYTE>& command);
    virtual int GetLayerOffset();

    // Fields shared by all models, in declaration order.
    int bWhite = 0;
    int bClearCoat = 0;
    int nWhiteMode = 1;
    int nPrintCountColor = 1;
    int nPrintCountWhite = 1;
    int nPrintCountClearCoat = 1;
    int nWhiteOrder = 0;
    int bHighSpeed = 0;
    int bDoubleLine = 0;
    int nPass = 0;
    int nLayer1Mode = 0;
    int nLayer2Mode = 0;
    int nLayer3Mode = 0;
    int nLayer4Mode = 0;
    int nLayer5Mode = 0;
    int bSwitchToLocalBetweenLayers = 0;
    int bSkipUVCommandWhenPanelSettings = 0;
    int bUseShorterQDVersion = 0;
    int bUseUnsupportedCommands = 0;
    int bKeepCurrentModeBetweenLayers = 0;

private:
    // The layered start and end belong to the white-layer driver family.
    int OutputLayeredStart(CPrinterDriverBase* pDriver);
    int OutputLayeredEnd(CPrinterDriverBase* pDriver);
};
