#include "UnivDevParmsBase.h"

#include "PrinterDriverBase.h"

CUnivDevParmsBase::~CUnivDevParmsBase() = default;
int CUnivDevParmsBase::Load(CPrintEnv*) { return 1; }
int CUnivDevParmsBase::Save(CPrintEnv*) { return 1; }
CPrintEnvPropertyPage* CUnivDevParmsBase::GetPropertyPage(CPrinterDriverBase*) { return nullptr; }
int CUnivDevParmsBase::FromPropertyPage(CPrintEnvPropertyPage*) { return 1; }
std::string CUnivDevParmsBase::GetPreStartString(CPrinterDriverBase*) { return {}; }
std::string CUnivDevParmsBase::GetPostStartString(CPrinterDriverBase*) { return {}; }
std::string CUnivDevParmsBase::GetPostEndeString(CPrinterDriverBase*) { return {}; }
int CUnivDevParmsBase::MediaSizeIsAllowed(const CMediaSize&, const CPrinterDriverBase*) { return 1; }
CDRc CUnivDevParmsBase::MediaSizeGetNpMargin(CQueryNpMargin&) { return {}; }
int CUnivDevParmsBase::JobPrintOptionAvailable(CJobPrintOptionQuery&) { return 0; }
int CUnivDevParmsBase::GetMediaCut() { return 0; }
CDRc CUnivDevParmsBase::GetCurrentNpMargin(const CPrinterDriverBase*) { return {}; }
int CUnivDevParmsBase::bStrObSeq() { return 0; }
std::string CUnivDevParmsBase::GetStartString(CPrinterDriverBase*) { return {}; }
std::string CUnivDevParmsBase::GetEndString(CPrinterDriverBase*) { return {}; }

int CUnivDevParmsBase::OutputStartString(CPrinterDriverBase* pDriver)
{
    return pDriver->Output(GetPreStartString(pDriver)) && pDriver->Output(GetStartString(pDriver)) &&
           pDriver->Output(GetPostStartString(pDriver));
}

int CUnivDevParmsBase::OutputEndString(CPrinterDriverBase* pDriver)
{
    return pDriver->Output(GetEndString(pDriver)) && pDriver->Output(GetPostEndeString(pDriver));
}

std::wstring CUnivDevParmsBase::RetrieveOrChangeSpecialDriverSettings(CPrinterDriverBase*, CPrintEnv*,
                                                                      const std::wstring&)
{
    return {};
}

int CUnivDevParmsBase::GetRemoveJobID() { return 0; }

std::wstring CUnivDevParmsBase::RoutingSettings(int) { return {}; }
