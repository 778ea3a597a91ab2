// Common base of every Mimaki device-parameter class: the fields all models
// share and the operations the drivers ask of their parameters.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/UnivDevParmsBase.h"
#include "printcond/MimakiUtils.h"

struct MimakiPrintConditions;
namespace mimaki::parms {
class KeyTable;
}

class CMimakiDevParmsBase : public CUnivDevParmsBase {
public:
    // Record version tag every parameter object carries.
    static constexpr int kRecordVersion = 261;

    explicit CMimakiDevParmsBase(int nSize = sizeof(CMimakiDevParmsBase));
    ~CMimakiDevParmsBase() override;

    // Settings: the class's key table read and written generically, then
    // the print-condition data, colour slots and host entries it implies.
    int Load(CPrintEnv* pEnv) override;
    int Save(CPrintEnv* pEnv) override;

    // Host questions answered from the class's profile where it has one.
    CDRc MediaSizeGetNpMargin(CQueryNpMargin& query) override;
    int JobPrintOptionAvailable(CJobPrintOptionQuery& query) override;
    int GetMediaCut() override;
    int bStrObSeq() override;

    std::string GetStartString(CPrinterDriverBase* pDriver) override;
    std::string GetEndString(CPrinterDriverBase* pDriver) override;
    int OutputStartString(CPrinterDriverBase* pDriver) override;
    int OutputEndString(CPrinterDriverBase* pDriver) override;
    std::wstring RoutingSettings(int nWhich) override; // Routing.cpp

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

    // The class's keys and profile; null for the plain base (no keys).
    virtual const mimaki::parms::KeyTable* Table() const;
    // The shared fields by name, for showing a loaded record.
    struct SharedField {
        const char* name;
        int CMimakiDevParmsBase::*field;
    };
    static std::span<const SharedField> SharedFields();

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

    // Colour slots and ink sets of the models that keep them: the colour id
    // of each slot, device colour -> colour id, the ink-set value of the
    // print-condition data, and a hybrid printer's ink sets and current one.
    std::vector<int> MimakiColorIDList;
    MimakiColorMap m_MimakiColorMap;
    std::wstring m_strInkset;
    std::vector<std::wstring> m_InksetList;
    std::wstring m_strCurrentInkset;
    // The analysed print conditions of a valid stored block (models that keep them).
    std::unique_ptr<MimakiPrintConditions> m_pPrintConditions;

protected:
    // After the keys, print-condition data and colour map are loaded.
    virtual void OnLoaded(const CPrintEnv& env);
    // An integer key of the class's table, by member name.
    int KeyInt(const wchar_t* name) const;

private:
    // The layered start and end belong to the white-layer driver family.
    int OutputLayeredStart(CPrinterDriverBase* pDriver);
    int OutputLayeredEnd(CPrinterDriverBase* pDriver);
};
