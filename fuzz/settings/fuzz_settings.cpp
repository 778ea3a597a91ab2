// Settings text in: parsed as an INI file; its first section is loaded by
// the parameter class of its UID, saved, loaded again and saved again.
// Saving what was loaded must be stable (the second save writes exactly the
// first save's store), and model-definition keys must never change.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "devparms/ParmKeys.h"
#include "entry/ModelTable.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_settings: %s\n", what);
        std::abort();
    }
}

std::unique_ptr<CUnivDevParmsBase> Build(const CPrintEnv& env)
{
    const int uid = env.GetInt(PrEnv_UID) & 255;
    return std::unique_ptr<CUnivDevParmsBase>(mimaki::SelectParms(mimaki::FindModel(uid), env)->make());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CVoLogReporter::SetLoggingLevel(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CIniFile ini;
    std::string error;
    if (!ini.Parse(std::string(reinterpret_cast<const char*>(data), size), "fuzz", error) || ini.sections.empty())
        return 0;
    CPrintEnv env(ini.sections[0].name);
    for (const auto& [key, value] : ini.sections[0].entries)
        env.PutString(key.c_str(), value);
    const CPrintEnv before = env;

    auto parms = Build(env);
    parms->Load(&env);
    parms->Save(&env);
    const auto once = env.Values();
    auto again = Build(env);
    again->Load(&env);
    again->Save(&env);
    Check(env.Values() == once, "a second save changed the store");

    // Model keys present before are untouched.
    if (const mimaki::parms::KeyTable* table = mimaki::KeyTableOf(parms.get()))
        for (std::size_t i = 0; i < table->Keys().size(); ++i)
            if (mimaki::parms::IsModelKey(table->Keys()[i].kind) && before.HasKey(table->StoredName(i).c_str()))
                Check(env.GetString(table->StoredName(i).c_str(), L"") ==
                          before.GetString(table->StoredName(i).c_str(), L""),
                      "Save wrote a model-definition key");

    // The store written and read back as INI text is the same store.
    CIniFile out;
    out.Get(env.Name()).entries = env.Values();
    CIniFile back;
    std::string text;
    if (!out.Format(text, error))
        return 0; // a line break in a key or value: refused with a message
    Check(back.Parse(text, "fuzz-out", error), "a saved store does not parse");
    Check(back.sections.size() == 1 && back.sections[0].entries == env.Values(), "a saved store reads back changed");
    return 0;
}
