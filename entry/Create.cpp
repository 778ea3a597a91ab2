// The plug-in's only export.
#include <exception>
#include <memory>
#include <new>

#include "devparms/MimakiDevParms.h"
#include "entry/ModelTable.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"

using namespace mimaki;

// Logs a failure of Create with the source file and line of the place that
// finds it. Keep each use on one line, so that the line is that place.
#define CREATE_FAILED(format, ...)                                                                                    \
    CVoLog()->ReportStatusPF("***%s#%d: " format "\n", 4, __FILE__, __LINE__, "Create",                              \
                             __LINE__ __VA_OPT__(, ) __VA_ARGS__)

namespace {

// Builds a driver of class cls over parms. The hand-off frees parms if the
// driver's memory cannot be had; once the driver's constructor runs, the
// driver owns them, also when it fails.
IPrinterDriver* NewDriver(const DriverClass& cls, CPrintEnv* env, std::unique_ptr<CUnivDevParmsBase> parms)
{
    CDevParmsHandOff handOff(std::move(parms));
    return cls.make(env, handOff.Get());
}

// Steps 2 to 4 of Create. Failures that are no exceptions are logged where
// they are found and answered with null.
IPrinterDriver* Build(CPrintEnv* pEnv, const ModelRow& row, int uid)
{
    const ParmsClass* parmsClass = SelectParms(row, *pEnv);
    const char* parmsName = parmsClass ? parmsClass->name : "(none)";
    if (!parmsClass || !parmsClass->make) {
        CREATE_FAILED("UID %d: device-parameter class %s is not available in this build", uid, parmsName);
        return nullptr;
    }
    std::unique_ptr<CUnivDevParmsBase> parms(parmsClass->make());
    if (!parms) {
        CREATE_FAILED("UID %d: device-parameter class %s made no object", uid, parmsName);
        return nullptr;
    }

    const DriverClass* driver = row.driver;
    if (row.rule != Rule::DTF) { // the DTF printer's parameters are not loaded here
        auto* mimakiParms = dynamic_cast<CMimakiDevParmsBase*>(parms.get());
        if (!mimakiParms) {
            CREATE_FAILED("UID %d: %s is no Mimaki device-parameter class", uid, parmsName);
            return nullptr;
        }
        mimakiParms->Load(pEnv);

        if (mimakiParms->UsesJV3WhiteDriver()) {
            driver = &JV3WhiteDriver();
        } else if (mimakiParms->Uses604SpecialDriver()) {
            driver = &Special604Driver();
        } else if (mimakiParms->UsesWhiteDriver()) {
            driver = &WhiteDriver();
        } else if (row.rule == Rule::JV58CSpecial) {
            if (pEnv->GetInt(L"JV58CSpecial", 0) == 1)
                driver = row.driverAlt;
        } else if (row.rule == Rule::SlotBased) {
            if (pEnv->GetInt(L"bUseSlotBasedColorCodes", 0) != 0)
                driver = row.driverAlt;
        } else if (row.rule == Rule::UJFPrinterTyp) {
            const int typ = pEnv->GetInt(L"UJFPrinterTyp", 0);
            const auto variants = UJFLayerVariants();
            if (typ < 0 || typ >= static_cast<int>(variants.size())) {
                CREATE_FAILED("UID %d: UJFPrinterTyp %d is outside 0..6, no driver", uid, typ);
                return nullptr;
            }
            driver = variants[static_cast<std::size_t>(typ)];
        }
    }
    if (!driver || !driver->make) {
        CREATE_FAILED("UID %d: driver class %s is not available in this build", uid, driver ? driver->name : "(none)");
        return nullptr;
    }
    return NewDriver(*driver, pEnv, std::move(parms));
}

} // namespace

// Nothing leaves the plug-in as an exception: whatever is thrown while the
// objects are built is logged and answered with null, and every object made
// so far goes with its one owner.
IPrinterDriver* mimaki::CreateForRow(CPrintEnv* pEnv, const ModelRow& row, int uid)
{
    if (!pEnv)
        return nullptr;
    try {
        return Build(pEnv, row, uid);
    } catch (const std::bad_alloc&) {
        CREATE_FAILED("UID %d: out of memory while building the driver", uid);
    } catch (const std::exception& e) {
        CREATE_FAILED("UID %d: no driver: %s", uid, e.what());
    } catch (...) {
        CREATE_FAILED("UID %d: no driver: unknown exception", uid);
    }
    return nullptr;
}

__attribute__((visibility("default"))) IPrinterDriver* Create(CPrintEnv* pEnv)
{
    if (!pEnv)
        return nullptr;
    try {
        const int uid = pEnv->GetInt(PrEnv_UID) & 255;
        return CreateForRow(pEnv, FindModel(uid), uid);
    } catch (const std::exception& e) {
        CREATE_FAILED("cannot read the printer's UID: %s", e.what());
    } catch (...) {
        CREATE_FAILED("cannot read the printer's UID: unknown exception");
    }
    return nullptr;
}
