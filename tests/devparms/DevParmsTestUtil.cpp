#include "DevParmsTestUtil.h"

#include <gtest/gtest.h>

#include "entry/ModelTable.h"
#include "host/Log.h"

namespace devparmstest {

namespace {
// Empty stores have no colour slots; the tests that look at the log turn it on.
const bool kQuiet = (CVoLogReporter::SetLoggingLevel(0), true);
} // namespace

std::unique_ptr<CUnivDevParmsBase> MakeClass(const std::string& className)
{
    for (const mimaki::ParmsClass* cls : mimaki::ParmsClasses())
        if (className == cls->name)
            return std::unique_ptr<CUnivDevParmsBase>(cls->make());
    return nullptr;
}

std::vector<std::string> ClassNames()
{
    std::vector<std::string> names;
    for (const mimaki::ParmsClass* cls : mimaki::ParmsClasses())
        if (std::string(cls->name) != "CMimakiDevParmsBase")
            names.emplace_back(cls->name);
    return names;
}

const mimaki::parms::KeyTable& TableOf(CUnivDevParmsBase& parms)
{
    const mimaki::parms::KeyTable* table = mimaki::KeyTableOf(&parms);
    if (!table)
        throw std::runtime_error("class without a key table");
    return *table;
}

std::vector<CDeviceEnv::Entry> SavedEntries(CUnivDevParmsBase& parms)
{
    CPrintEnv out;
    parms.Save(&out);
    return out.Values();
}

std::string DataFile(const std::string& name)
{
    return std::string(DEVPARMS_TEST_DATA) + "/" + name;
}

} // namespace devparmstest
