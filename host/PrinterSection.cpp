#include "PrinterSection.h"

#include "PrintEnv.h"
#include "StrUtil.h"

namespace {

#define PRINTER_SECTION_ENTRY(name, def) &PrEnv_##name,
const _SECTIONENTRY* const kHostEntries[] = {PRENV_ENTRIES(PRINTER_SECTION_ENTRY)};
#undef PRINTER_SECTION_ENTRY

bool IsHostPrefix(std::wstring_view key)
{
    return key.size() >= 6 && KeyEqual()(key.substr(0, 6), L"PrEnv_");
}

} // namespace

bool IsHostEntryName(std::wstring_view key)
{
    for (const _SECTIONENTRY* e : kHostEntries)
        if (KeyEqual()(key, e->pszKey))
            return true;
    return false;
}

std::string HostEntryNames()
{
    std::string known;
    for (const _SECTIONENTRY* e : kHostEntries)
        known += (known.empty() ? "" : ", ") + WideToUtf8(e->pszKey);
    return known;
}

bool CheckUidText(const std::wstring& text, std::string& what)
{
    CPrintEnv probe;
    probe.PutString(L"u", text);
    const int uid = probe.GetInt(L"u", -1);
    if (probe.BadValues().empty() && uid >= 0 && uid <= 255 && !text.empty())
        return true;
    what = "PrEnv_UID=" + WideToUtf8(text) + " is no printer UID: give the model number, a whole number from 0 to 255";
    return false;
}

bool CheckUserSetting(const std::wstring& key, const std::wstring& value, std::string& what)
{
    if (IsHostPrefix(key) && !IsHostEntryName(key)) {
        what = WideToUtf8(key) + " is no host entry (known: " + HostEntryNames() + ")";
        return false;
    }
    return !KeyEqual()(key, PrEnv_UID.pszKey) || CheckUidText(value, what);
}

bool LoadPrinterSection(const std::string& path, const std::string& section, bool requireUid, CPrintEnv& env,
                        std::string& error)
{
    CIniFile ini;
    if (!ini.Read(path, error))
        return false;
    const CIniFile::Section* s = nullptr;
    if (!section.empty()) {
        s = ini.Find(Utf8ToWide(section));
        if (!s) {
            error = path + ": no printer section [" + section + "]";
            return false;
        }
    } else if (ini.sections.size() == 1) {
        s = &ini.sections[0];
    } else {
        std::string list;
        for (const auto& each : ini.sections)
            list += (list.empty() ? "" : ", ") + WideToUtf8(each.name);
        error = ini.sections.empty() ? path + ": no printer section in it"
                                     : path + " holds " + std::to_string(ini.sections.size()) + " printers (" + list +
                                           "): choose one with --printer";
        return false;
    }
    bool hasUid = false;
    for (const auto& [key, value] : s->entries) {
        std::string what;
        if (!CheckUserSetting(key, value, what)) {
            error = path + ":" + std::to_string(s->LineOf(key)) + ": " + what;
            return false;
        }
        hasUid = hasUid || KeyEqual()(key, PrEnv_UID.pszKey);
    }
    if (requireUid && !hasUid) {
        error = path + ":" + std::to_string(s->line) + ": the printer [" + WideToUtf8(s->name) +
                "] has no PrEnv_UID: add PrEnv_UID=N with its model number (0 to 255)";
        return false;
    }
    env.Clear();
    env.ClearBadValues();
    for (const auto& kv : s->entries)
        env.PutString(kv.first.c_str(), kv.second);
    env.SetName(s->name);
    return true;
}
