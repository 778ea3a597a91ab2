// The plug-in's model catalogue: for each printer UID the device-parameter
// class, the driver class and how keys of the settings pick among variants.
#pragma once

#include <span>

class CPrintEnv;
class IPrinterDriver;
class CPrinterDriverBase;
class CUnivDevParmsBase;
class CMimakiDevParmsBase;

namespace mimaki {
namespace parms {
class KeyTable;
}
// The key table of a parameter object, or null for the plain base.
const parms::KeyTable* KeyTableOf(CUnivDevParmsBase* parms);

using ParmsFactory = CUnivDevParmsBase* (*)();
using DriverFactory = CPrinterDriverBase* (*)(CPrintEnv*, CUnivDevParmsBase*);

// A class of the catalogue; make is null while the class is not built.
struct ParmsClass {
    const char* name;
    ParmsFactory make;
};
struct DriverClass {
    const char* name;
    DriverFactory make;
};

// How settings keys choose among a row's classes.
enum class Rule {
    Fixed,          // parms and driver as they stand
    JV58CSpecial,   // "JV58CSpecial" == 1 picks driverAlt
    UJFPrinterTyp,  // "UJFPrinterTyp" 0..6 picks one of the UJF layer variants
    UJFMkSeries,    // "UJFMkSeries" != 0 picks parmsAlt
    SlotBased,      // "bUseSlotBasedColorCodes" != 0 picks driverAlt
    DTF,            // no parameters at step 2; the driver gets its own
};

struct ModelRow {
    int uid;
    const ParmsClass* parms;
    const ParmsClass* parmsAlt;
    const DriverClass* driver;
    const DriverClass* driverAlt;
    Rule rule;
    const char* model;
};

std::span<const ModelRow> ModelTable();
// The row of a UID (low 8 bits), or the row of the UIDs without a model.
const ModelRow& FindModel(int uid);
// Driver classes of "UJFPrinterTyp" 0..6.
std::span<const DriverClass* const> UJFLayerVariants();

// The three questions that may pick a legacy white driver, in order.
const DriverClass& JV3WhiteDriver();
const DriverClass& Special604Driver();
const DriverClass& WhiteDriver();

// Every parameter class, once each (the plain base first).
std::span<const ParmsClass* const> ParmsClasses();
// The parameter class Create builds for a row ("UJFMkSeries" picks the
// alternative of the JFX500 rows).
const ParmsClass* SelectParms(const ModelRow& row, const CPrintEnv& env);

// Steps of Create after the UID is known: build and load the parameters,
// ask the white-driver questions, pick and build the driver of the row.
IPrinterDriver* CreateForRow(CPrintEnv* pEnv, const ModelRow& row, int uid);

} // namespace mimaki
