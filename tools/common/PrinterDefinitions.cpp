#include "tools/common/PrinterDefinitions.h"

#include <stdexcept>

#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace printerdefs {

extern const char kDefinitionsText[];

namespace {

std::vector<Definition> Parse()
{
    CIniFile ini;
    std::string error;
    if (!ini.Parse(kDefinitionsText, "printer_definitions.ini", error))
        throw std::logic_error("the built-in printer definitions do not parse: " + error);
    std::vector<Definition> defs;
    for (const CIniFile::Section& s : ini.sections) {
        const std::string name = WideToUtf8(s.name);
        if (name.rfind("UID ", 0) != 0)
            throw std::logic_error("printer definitions: section [" + name + "] names no UID");
        Definition d;
        d.uid = std::stoi(name.substr(4));
        for (const auto& [key, value] : s.entries) {
            if (key == L"DefinitionSource")
                d.source = WideToUtf8(value);
            else
                d.keys.emplace_back(key, value);
            if (key == L"pdLicName")
                d.model = WideToUtf8(value);
        }
        defs.push_back(std::move(d));
    }
    return defs;
}

} // namespace

const std::vector<Definition>& All()
{
    static const std::vector<Definition> defs = Parse();
    return defs;
}

const Definition* Find(int uid)
{
    uid &= 255;
    for (const Definition& d : All())
        if (d.uid == uid)
            return &d;
    return nullptr;
}

std::vector<std::wstring> Apply(CPrintEnv& env, int uid)
{
    std::vector<std::wstring> added;
    const Definition* d = Find(uid);
    if (!d)
        return added;
    for (const auto& [key, value] : d->keys)
        if (!env.HasKey(key.c_str())) {
            env.PutString(key.c_str(), value);
            added.push_back(key);
        }
    return added;
}

} // namespace printerdefs
