// The plug-in's only export.
#include <new>

#include "devparms/MimakiDevParms.h"
#include "entry/ModelTable.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"

using namespace mimaki;

namespace {

void ReportMissing(int uid, const char* what, const char* className)
{
    CVoLog log;
    log->ReportStatusPF("***%s#%d: UID %d: %s %s is not available in this build\n", 4, "Create", __LINE__,
                        "Create", __LINE__, uid, what, className);
}

// Builds the driver of class cls over parms; parms is freed when no driver
// can be made, since only a driver takes ownership of it.
IPrinterDriver* MakeDriver(int uid, const DriverClass* cls, CPrintEnv* env, CUnivDevParmsBase* parms)
{
    if (!cls || !cls->make) {
        ReportMissing(uid, "driver class", cls ? cls->name : "(none)");
        delete parms;
        return nullptr;
    }
    try {
        return cls->make(env, parms);
    } catch (const std::bad_alloc&) {
        delete parms;
        return nullptr;
    }
}

} // namespace

IPrinterDriver* mimaki::CreateForRow(CPrintEnv* pEnv, const ModelRow& row, int uid)
{
    if (row.rule == Rule::DTF) {
        // The DTF printer's parameters are not loaded here.
        if (!row.parms->make) {
            ReportMissing(uid, "device-parameter class", row.parms->name);
            return nullptr;
        }
        CUnivDevParmsBase* parms = nullptr;
        try {
            parms = row.parms->make();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return MakeDriver(uid, row.driver, pEnv, parms);
    }

    const ParmsClass* parmsClass = row.parms;
    if (row.rule == Rule::UJFMkSeries && pEnv->GetInt(L"UJFMkSeries", 0) != 0)
        parmsClass = row.parmsAlt;
    if (!parmsClass->make) {
        ReportMissing(uid, "device-parameter class", parmsClass->name);
        return nullptr;
    }
    CMimakiDevParmsBase* parms = nullptr;
    try {
        parms = dynamic_cast<CMimakiDevParmsBase*>(parmsClass->make());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!parms)
        return nullptr;
    parms->Load(pEnv);

    if (parms->UsesJV3WhiteDriver())
        return MakeDriver(uid, &JV3WhiteDriver(), pEnv, parms);
    if (parms->Uses604SpecialDriver())
        return MakeDriver(uid, &Special604Driver(), pEnv, parms);
    if (parms->UsesWhiteDriver())
        return MakeDriver(uid, &WhiteDriver(), pEnv, parms);

    const DriverClass* driver = row.driver;
    switch (row.rule) {
    case Rule::JV58CSpecial:
        if (pEnv->GetInt(L"JV58CSpecial", 0) == 1)
            driver = row.driverAlt;
        break;
    case Rule::SlotBased:
        if (pEnv->GetInt(L"bUseSlotBasedColorCodes", 0) != 0)
            driver = row.driverAlt;
        break;
    case Rule::UJFPrinterTyp: {
        const int typ = pEnv->GetInt(L"UJFPrinterTyp", 0);
        const auto variants = UJFLayerVariants();
        if (typ < 0 || typ >= static_cast<int>(variants.size())) {
            CVoLog log;
            log->ReportStatusPF("***%s#%d: UID %d: UJFPrinterTyp %d is outside 0..6, no driver\n", 4, "Create",
                                __LINE__, "Create", __LINE__, uid, typ);
            delete parms;
            return nullptr;
        }
        driver = variants[static_cast<std::size_t>(typ)];
        break;
    }
    default: break;
    }
    return MakeDriver(uid, driver, pEnv, parms);
}

__attribute__((visibility("default"))) IPrinterDriver* Create(CPrintEnv* pEnv)
{
    if (!pEnv)
        return nullptr;
    const int uid = pEnv->GetInt(PrEnv_UID) & 255;
    return CreateForRow(pEnv, FindModel(uid), uid);
}
