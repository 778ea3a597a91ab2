#include "devparms/MimakiDevParms.h"

#include <climits>
#include <typeinfo>

#include "devparms/MimakiLayerList.h"
#include "devparms/ParmKeys.h"
#include "driver/MimakiBaseDriver.h"
#include "driver/MimakiMRLIIIDriver.h"
#include "host/Log.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "layers/MimakiWhiteDriver.h"
#include "printcond/MimakiPrintModeDataTables.h"

using mimaki::parms::Answer;
using mimaki::parms::LayerSchedule;

CMimakiDevParmsBase::CMimakiDevParmsBase(int nSize) : CUnivDevParmsBase(nSize, kRecordVersion) {}

CMimakiDevParmsBase::~CMimakiDevParmsBase() = default;

const mimaki::parms::KeyTable* CMimakiDevParmsBase::Table() const { return nullptr; }

void CMimakiDevParmsBase::OnLoaded(const CPrintEnv&) {}

int CMimakiDevParmsBase::KeyInt(const wchar_t* name) const
{
    return Table()->Int(const_cast<CMimakiDevParmsBase&>(*this), name);
}

int CMimakiDevParmsBase::Load(CPrintEnv* pEnv)
{
    const mimaki::parms::KeyTable* table = Table();
    if (!table || !pEnv)
        return 1;
    table->Load(*this, *pEnv);
    const mimaki::parms::Profile& profile = table->GetProfile();

    std::wstring colourSequence;
    if (profile.printModeData) {
        const int hybrid = table->Find(L"bIsHybrid") ? KeyInt(L"bIsHybrid") : 0;
        if (profile.conditions && !m_pPrintConditions)
            m_pPrintConditions = std::make_unique<MimakiPrintConditions>();
        CheckAndLoadPrintModeData(pEnv, table->Text(*this, profile.printModeData), m_strInkset,
                                  profile.colourMap ? &colourSequence : nullptr, hybrid,
                                  profile.hybrid ? &m_InksetList : nullptr,
                                  profile.hybrid ? &m_strCurrentInkset : nullptr, m_pPrintConditions.get());
    }
    if (profile.colourMap)
        loadInkCodesMap(pEnv, m_MimakiColorMap, MimakiColorIDList, profile.printModeData ? &colourSequence : nullptr);
    OnLoaded(*pEnv);
    return 1;
}

int CMimakiDevParmsBase::Save(CPrintEnv* pEnv)
{
    const mimaki::parms::KeyTable* table = Table();
    if (!table || !pEnv)
        return 1;
    table->Save(*this, *pEnv);
    const mimaki::parms::Profile& profile = table->GetProfile();
    if (profile.hybrid)
        pEnv->PutString(L"MimakiCurrentInkset", m_strCurrentInkset);
    if (profile.xDpi) {
        pEnv->PutInt(PrEnv_DpiHorz, KeyInt(profile.yDpi));
        pEnv->PutInt(PrEnv_DpiVert, KeyInt(profile.xDpi));
    }
    if (const int levels = table->InkLevels(*this, *pEnv))
        pEnv->PutInt(PrEnv_InkLevels, levels);
    if (profile.printModeData && table->Text(*this, profile.printModeData).empty()) {
        pEnv->DeleteEntry(PrEnv_PrintMethodList);
        pEnv->DeleteEntry(PrEnv_PrintMethod);
    }
    table->SaveList(*this, *pEnv);
    return 1;
}

CDRc CMimakiDevParmsBase::MediaSizeGetNpMargin(CQueryNpMargin& query)
{
    const mimaki::parms::KeyTable* table = Table();
    if (!table || !table->HasMargins())
        return CUnivDevParmsBase::MediaSizeGetNpMargin(query);
    // The printer starts on its right side: right margin first.
    CDRc margins;
    table->Margins(*this, margins.left, margins.right);
    return margins;
}

int CMimakiDevParmsBase::JobPrintOptionAvailable(CJobPrintOptionQuery& query)
{
    const mimaki::parms::KeyTable* table = Table();
    const std::optional<int> def = table ? table->Option0Default(*this) : std::nullopt;
    if (!def)
        return CUnivDevParmsBase::JobPrintOptionAvailable(query);
    if (query.option == 0 && *def >= 0)
        query.value = *def;
    return 1;
}

int CMimakiDevParmsBase::GetMediaCut()
{
    const mimaki::parms::KeyTable* table = Table();
    const std::optional<int> cut = table ? table->MediaCut(*this) : std::nullopt;
    return cut ? *cut : CUnivDevParmsBase::GetMediaCut();
}

int CMimakiDevParmsBase::bStrObSeq()
{
    const mimaki::parms::KeyTable* table = Table();
    switch (table ? table->GetProfile().strObSeq : Answer::Host) {
    case Answer::One: return 1;
    case Answer::Zero: return 0;
    default: return CUnivDevParmsBase::bStrObSeq();
    }
}

std::string CMimakiDevParmsBase::GetStartString(CPrinterDriverBase* pDriver)
{
    // Layered models start each layer section instead.
    const mimaki::parms::KeyTable* table = Table();
    if (table && table->GetProfile().layered)
        return {};
    return CUnivDevParmsBase::GetStartString(pDriver);
}

std::string CMimakiDevParmsBase::GetEndString(CPrinterDriverBase* pDriver)
{
    const mimaki::parms::KeyTable* table = Table();
    const mimaki::parms::EndString end = table ? table->GetProfile().end : mimaki::parms::EndString::Base;
    if (end == mimaki::parms::EndString::Empty)
        return {};
    if (end == mimaki::parms::EndString::JobEnd)
        return preProcess("QE\\000");
    if (end == mimaki::parms::EndString::BaseUnlessCut && pDriver && pDriver->GetJobEndAction() == L"EndeCutAfter")
        return {};
    auto* driver = dynamic_cast<CMimakiLegacyBasePrinterDriver*>(pDriver);
    const int commandSet = driver ? driver->GetCommandSet() : pDriver->GetFunctMode();
    if (commandSet == 4)
        return preProcess("QE\\000");
    std::string result;
    const int spaceMm = pDriver->GetPrintEnv() ? pDriver->GetPrintEnv()->GetInt(L"SpaceBetweenJobs", 5) : 5;
    if (spaceMm != 0 && driver) {
        // A gap beyond any medium is cut to the largest row count.
        const double rows = spaceMm / 25.4 * pDriver->dpiVertDevice();
        result = driver->GetFeedCommand(rows >= INT_MAX ? INT_MAX : rows <= INT_MIN ? INT_MIN : static_cast<int>(rows));
    }
    result += '\x0C';
    result += '\xFF';
    return result;
}

namespace {

// A layered class under a driver that writes no layer sections of its own
// (the JFX MK series prints through the legacy driver): the job is one
// section, opened and closed as the first layer's.
bool PrintsAsOneSection(CPrinterDriverBase* pDriver)
{
    return pDriver && (typeid(*pDriver) == typeid(CMimakiLegacyBasePrinterDriver) ||
                       dynamic_cast<CMimakiMRLIIIDriver*>(pDriver) != nullptr);
}

} // namespace

int CMimakiDevParmsBase::OutputStartString(CPrinterDriverBase* pDriver)
{
    const mimaki::parms::KeyTable* table = Table();
    if (table && table->GetProfile().layered)
        return PrintsAsOneSection(pDriver) ? pDriver->Output(GetLayerStartString(pDriver, 0, 0, 0, 0)) : 1;
    if (UsesWhiteDriver())
        return OutputLayeredStart(pDriver);
    return CUnivDevParmsBase::OutputStartString(pDriver);
}

int CMimakiDevParmsBase::OutputEndString(CPrinterDriverBase* pDriver)
{
    const mimaki::parms::KeyTable* table = Table();
    if (table && table->GetProfile().layered)
        return PrintsAsOneSection(pDriver)
                   ? pDriver->Output(GetLayerEndString(pDriver, 0, 1) + GetEndString(pDriver))
                   : 1;
    if (UsesWhiteDriver())
        return OutputLayeredEnd(pDriver);
    return CUnivDevParmsBase::OutputEndString(pDriver);
}

// The JV3 white driver sends white in line with the colours: its job has
// no layers and takes the plain start and end.
int CMimakiDevParmsBase::OutputLayeredStart(CPrinterDriverBase* pDriver)
{
    if (dynamic_cast<CMimakiJV3WhiteDriver*>(pDriver))
        return CUnivDevParmsBase::OutputStartString(pDriver);
    if (auto* white = dynamic_cast<CMimakiWhitePrinterDriver*>(pDriver))
        return white->OpenLayerBuffers();
    CVoLog log;
    log->ReportStatusPF("***%s#%d: layered white output needs the white driver; this driver has no layer buffers\n",
                        4, __FILE__, __LINE__, "CMimakiDevParmsBase::OutputStartString", __LINE__);
    return 0;
}

int CMimakiDevParmsBase::OutputLayeredEnd(CPrinterDriverBase* pDriver)
{
    if (dynamic_cast<CMimakiJV3WhiteDriver*>(pDriver))
        return CUnivDevParmsBase::OutputEndString(pDriver);
    if (auto* white = dynamic_cast<CMimakiWhitePrinterDriver*>(pDriver))
        return white->EmitLayerBuffers();
    CVoLog log;
    log->ReportStatusPF("***%s#%d: layered white output needs the white driver; this driver has no layer buffers\n",
                        4, __FILE__, __LINE__, "CMimakiDevParmsBase::OutputEndString", __LINE__);
    return 0;
}

int CMimakiDevParmsBase::GetColorMapValue(int nColor)
{
    const mimaki::parms::KeyTable* table = Table();
    if (!table || !table->GetProfile().mapAnswers)
        return -1;
    const auto it = m_MimakiColorMap.find(static_cast<enmDevicePrimColor>(nColor));
    return it == m_MimakiColorMap.end() ? 99 : it->second;
}

int CMimakiDevParmsBase::GetColorIdAt(int nIndex)
{
    const mimaki::parms::KeyTable* table = Table();
    if (!table || !table->GetProfile().idAnswers)
        return -1;
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= MimakiColorIDList.size())
        return 99;
    return MimakiColorIDList[static_cast<std::size_t>(nIndex)];
}

int CMimakiDevParmsBase::IsHeadCleaningEnabled() { return 0; }

void CMimakiDevParmsBase::GetHeadCleaningDistances(double& dNonBlankMm, double& dBlankMm)
{
    dNonBlankMm = -1.0;
    dBlankMm = -1.0;
}

std::string CMimakiDevParmsBase::GetColorLayerCommands(int) { return {}; }
std::string CMimakiDevParmsBase::GetWhiteLayerCommands(int) { return {}; }
std::string CMimakiDevParmsBase::GetClearCoatLayerCommands(int) { return {}; }
int CMimakiDevParmsBase::UsesWhiteDriver() { return IsWhiteLayerActive() || IsColorLayerSeparate(); }
int CMimakiDevParmsBase::IsWhiteLayerActive() { return bWhite; }
int CMimakiDevParmsBase::IsColorLayerSeparate() { return 0; }
int CMimakiDevParmsBase::IsClearCoatLayerActive() { return bClearCoat; }
int CMimakiDevParmsBase::UsesJV3WhiteDriver() { return 0; }
int CMimakiDevParmsBase::Uses604SpecialDriver() { return 0; }

std::string CMimakiDevParmsBase::GetWhiteLayerStartString(CPrinterDriverBase* pDriver)
{
    if (!bWhite)
        return {};
    return GetWhiteLayerCommands(0) + GetStartString(pDriver);
}

std::string CMimakiDevParmsBase::GetColorLayerStartString(CPrinterDriverBase* pDriver)
{
    return GetColorLayerCommands(0) + GetStartString(pDriver);
}

std::string CMimakiDevParmsBase::GetClearCoatLayerStartString(CPrinterDriverBase* pDriver)
{
    if (!bClearCoat)
        return {};
    return GetStartString(pDriver);
}

namespace {

// The profile's key, or null when the class has none for this answer.
const wchar_t* ProfileKey(const mimaki::parms::KeyTable* table, const wchar_t* mimaki::parms::Profile::*key)
{
    return table ? table->GetProfile().*key : nullptr;
}

} // namespace

int CMimakiDevParmsBase::GetClearCoatIrradiation()
{
    const wchar_t* key = ProfileKey(Table(), &mimaki::parms::Profile::clearCoatIrradiation);
    return key ? KeyInt(key) : 0;
}

int CMimakiDevParmsBase::GetHighSpeed()
{
    const mimaki::parms::KeyTable* table = Table();
    switch (table ? table->GetProfile().highSpeed : Answer::Host) {
    case Answer::One: return 1;
    case Answer::Zero: return 0;
    case Answer::Keys:
        return KeyInt(table->GetProfile().highSpeedKey) != 0 &&
               (!table->GetProfile().highSpeedKey2 || KeyInt(table->GetProfile().highSpeedKey2) != 0);
    default: return bHighSpeed;
    }
}

int CMimakiDevParmsBase::GetLayerWhiteOrder()
{
    const wchar_t* key = ProfileKey(Table(), &mimaki::parms::Profile::layerWhiteOrder);
    return key ? KeyInt(key) : 0;
}

int CMimakiDevParmsBase::GetWhiteOrderOrMode()
{
    const wchar_t* key = ProfileKey(Table(), &mimaki::parms::Profile::whiteOrderOrMode);
    return key ? KeyInt(key) : -1;
}

int CMimakiDevParmsBase::IsLayerScheduled(int nLayer)
{
    const mimaki::parms::KeyTable* table = Table();
    const LayerSchedule rule = table ? table->GetProfile().layerSchedule : LayerSchedule::None;
    if (rule == LayerSchedule::None)
        return 0;
    if (rule == LayerSchedule::List) {
        const std::vector<CMimakiLayerRecord>* list = mimaki::layerlist::Of(this);
        return list && mimaki::layerlist::Schedules(*list, nLayer) ? 1 : 0;
    }
    // UJF layer i is layer mode i + 1 (mode 0 is "None"); the others name
    // the layer kind itself, 255 meaning none.
    const int mode = rule == LayerSchedule::UjfMode ? nLayer + 1 : nLayer;
    if ((rule == LayerSchedule::UjfMode && nLayer < 0) || (rule == LayerSchedule::KindId && nLayer == 255))
        return 0;
    for (const int m : {nLayer1Mode, nLayer2Mode, nLayer3Mode, nLayer4Mode, nLayer5Mode})
        if (m == mode)
            return 1;
    return 0;
}

int CMimakiDevParmsBase::IsLayerReversed(int nLayer)
{
    const mimaki::parms::KeyTable* table = Table();
    if (!table || nLayer < 0 || nLayer > 63)
        return 0;
    if (table->GetProfile().layerSchedule == LayerSchedule::List && !IsLayerScheduled(nLayer))
        return 0;
    return (table->GetProfile().reversedKinds >> nLayer) & 1 ? 1 : 0;
}

int CMimakiDevParmsBase::IsSplitPrintArea()
{
    const wchar_t* key = ProfileKey(Table(), &mimaki::parms::Profile::splitPrintArea);
    return key && KeyInt(key) == 4 ? 1 : 0;
}

std::string CMimakiDevParmsBase::GetLayerStartString(CPrinterDriverBase*, int, int, int, int) { return {}; }
std::string CMimakiDevParmsBase::GetLayerEndString(CPrinterDriverBase*, int, int) { return {}; }
int CMimakiDevParmsBase::GetAbortCommand(std::vector<BYTE>&) { return 0; }

int CMimakiDevParmsBase::GetLayerOffset()
{
    const wchar_t* key = ProfileKey(Table(), &mimaki::parms::Profile::layerOffset);
    return key ? KeyInt(key) : 0;
}

std::span<const CMimakiDevParmsBase::SharedField> CMimakiDevParmsBase::SharedFields()
{
    using B = CMimakiDevParmsBase;
    static const SharedField fields[] = {
        {"bWhite", &B::bWhite},
        {"bClearCoat", &B::bClearCoat},
        {"nWhiteMode", &B::nWhiteMode},
        {"nPrintCountColor", &B::nPrintCountColor},
        {"nPrintCountWhite", &B::nPrintCountWhite},
        {"nPrintCountClearCoat", &B::nPrintCountClearCoat},
        {"nWhiteOrder", &B::nWhiteOrder},
        {"bHighSpeed", &B::bHighSpeed},
        {"bDoubleLine", &B::bDoubleLine},
        {"nPass", &B::nPass},
        {"nLayer1Mode", &B::nLayer1Mode},
        {"nLayer2Mode", &B::nLayer2Mode},
        {"nLayer3Mode", &B::nLayer3Mode},
        {"nLayer4Mode", &B::nLayer4Mode},
        {"nLayer5Mode", &B::nLayer5Mode},
        {"bSwitchToLocalBetweenLayers", &B::bSwitchToLocalBetweenLayers},
        {"bSkipUVCommandWhenPanelSettings", &B::bSkipUVCommandWhenPanelSettings},
        {"bUseShorterQDVersion", &B::bUseShorterQDVersion},
        {"bUseUnsupportedCommands", &B::bUseUnsupportedCommands},
        {"bKeepCurrentModeBetweenLayers", &B::bKeepCurrentModeBetweenLayers},
    };
    return fields;
}
