// Building parameter objects by class name or UID, and the stores they write.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/PrintEnv.h"
#include "host/UnivDevParmsBase.h"

namespace mimaki::parms {
class KeyTable;
}

namespace devparmstest {

// A new object of the named parameter class, or null.
std::unique_ptr<CUnivDevParmsBase> MakeClass(const std::string& className);
// The class name of every parameter class but the plain base.
std::vector<std::string> ClassNames();
const mimaki::parms::KeyTable& TableOf(CUnivDevParmsBase& parms);

// The class loaded from env (a copy is kept by the caller).
template <class C>
std::unique_ptr<C> Loaded(CPrintEnv& env)
{
    auto parms = std::make_unique<C>();
    parms->Load(&env);
    return parms;
}

// The entries Save writes into an empty store after Load from env.
std::vector<CDeviceEnv::Entry> SavedEntries(CUnivDevParmsBase& parms);

// A test data file of this folder.
std::string DataFile(const std::string& name);

} // namespace devparmstest
