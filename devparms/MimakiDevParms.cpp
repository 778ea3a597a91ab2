#include "devparms/MimakiDevParms.h"

#include "driver/MimakiBaseDriver.h"
#include "host/Log.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"

CMimakiDevParmsBase::CMimakiDevParmsBase(int nSize) : CUnivDevParmsBase(nSize, kRecordVersion) {}

CMimakiDevParmsBase::~CMimakiDevParmsBase() = default;

std::string CMimakiDevParmsBase::GetEndString(CPrinterDriverBase* pDriver)
{
    auto* driver = dynamic_cast<CMimakiLegacyBasePrinterDriver*>(pDriver);
    const int commandSet = driver ? driver->GetCommandSet() : pDriver->GetFunctMode();
    if (commandSet == 4)
        return preProcess("QE\\000");
    std::string end;
    const int spaceMm = pDriver->GetPrintEnv() ? pDriver->GetPrintEnv()->GetInt(L"SpaceBetweenJobs", 5) : 5;
    if (spaceMm != 0 && driver)
        end = driver->GetFeedCommand(static_cast<int>(spaceMm / 25.4 * pDriver->dpiVertDevice()));
    end += '\x0C';
    end += '\xFF';
    return end;
}

int CMimakiDevParmsBase::OutputStartString(CPrinterDriverBase* pDriver)
{
    if (UsesWhiteDriver())
        return OutputLayeredStart(pDriver);
    return CUnivDevParmsBase::OutputStartString(pDriver);
}

int CMimakiDevParmsBase::OutputEndString(CPrinterDriverBase* pDriver)
{
    if (UsesWhiteDriver())
        return OutputLayeredEnd(pDriver);
    return CUnivDevParmsBase::OutputEndString(pDriver);
}

int CMimakiDevParmsBase::OutputLayeredStart(CPrinterDriverBase*)
{
    CVoLog log;
    log->ReportStatusPF("***%s#%d: layered white output is not available in this build\n", 4, "MimakiDevParms",
                        __LINE__, "CMimakiDevParmsBase::OutputStartString", __LINE__);
    return 0;
}

int CMimakiDevParmsBase::OutputLayeredEnd(CPrinterDriverBase*)
{
    CVoLog log;
    log->ReportStatusPF("***%s#%d: layered white output is not available in this build\n", 4, "MimakiDevParms",
                        __LINE__, "CMimakiDevParmsBase::OutputEndString", __LINE__);
    return 0;
}

int CMimakiDevParmsBase::GetColorMapValue(int) { return -1; }
int CMimakiDevParmsBase::GetColorIdAt(int) { return -1; }
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

int CMimakiDevParmsBase::GetClearCoatIrradiation() { return 0; }
int CMimakiDevParmsBase::GetHighSpeed() { return bHighSpeed; }
int CMimakiDevParmsBase::GetLayerWhiteOrder() { return 0; }
int CMimakiDevParmsBase::GetWhiteOrderOrMode() { return -1; }
int CMimakiDevParmsBase::IsLayerScheduled(int) { return 0; }
int CMimakiDevParmsBase::IsLayerReversed(int) { return 0; }
int CMimakiDevParmsBase::IsSplitPrintArea() { return 0; }

std::string CMimakiDevParmsBase::GetLayerStartString(CPrinterDriverBase*, int, int, int, int) { return {}; }
std::string CMimakiDevParmsBase::GetLayerEndString(CPrinterDriverBase*, int, int) { return {}; }
int CMimakiDevParmsBase::GetAbortCommand(std::vector<BYTE>&) { return 0; }
int CMimakiDevParmsBase::GetLayerOffset() { return 0; }
