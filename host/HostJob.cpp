#include "HostJob.h"

#include "UnivDevParmsBase.h"

int HostJobBegin(CPrinterDriverBase& driver, CPrintJobOpenContext& context)
{
    if (!driver.JobOpen(&context))
        return 0;
    CUnivDevParmsBase* parms = driver.GetDevParms();
    if (parms && !parms->OutputStartString(&driver))
        return 0;
    return driver.OutputInit(context.pixelWidth, context.rowCount);
}

int HostJobEnd(CPrinterDriverBase& driver, bool bRowsOk)
{
    bool ok = bRowsOk && !driver.Aborted();
    if (ok)
        ok = driver.OutputExit() != 0;
    CUnivDevParmsBase* parms = driver.GetDevParms();
    if (ok && parms)
        ok = parms->OutputEndString(&driver) != 0;
    const int closed = driver.JobClose();
    return ok && closed ? 1 : 0;
}

int CPrinterDriverBase::PreparePathAndFileName(const CPrintJobOpenContext* pContext, std::wstring& folder,
                                               std::wstring& file) const
{
    folder.clear();
    file.clear();
    if (!pContext || pContext->outputKind != 2 || pContext->destination.empty())
        return 0;
    const std::size_t slash = pContext->destination.find_last_of(L'/');
    if (slash == std::wstring::npos) {
        folder = L".";
        file = pContext->destination;
    } else {
        folder = slash == 0 ? L"/" : pContext->destination.substr(0, slash);
        file = pContext->destination.substr(slash + 1);
    }
    return 1;
}
