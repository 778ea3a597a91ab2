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
