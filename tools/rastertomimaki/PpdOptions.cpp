#include "tools/rastertomimaki/PpdOptions.h"

#include <cstdlib>
#include <cstring>
#include <memory>

// The PPD interface is deprecated in favour of IPP Everywhere, which these
// printers do not speak; CUPS keeps it for drivers such as this one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/cups.h>
#include <cups/ppd.h>

#include "tools/rastertomimaki/PpdNames.h"

namespace rastertomimaki {

namespace {

struct PpdCloser {
    void operator()(ppd_file_t* p) const { ppdClose(p); }
};

bool IsNumber(const char* s, bool real)
{
    char* end = nullptr;
    if (real)
        std::strtod(s, &end);
    else
        std::strtol(s, &end, 10);
    return end != s && *end == 0;
}

std::string Choices(const ppd_option_t* o)
{
    std::string list;
    for (int i = 0; i < o->num_choices; ++i)
        if (std::strcmp(o->choices[i].choice, "Custom") != 0)
            list += (list.empty() ? "" : ", ") + std::string(o->choices[i].choice);
    return list;
}

// The value a marked settings option holds: its choice, or the number of
// its custom value.
std::string MarkedValue(ppd_file_t* ppd, const char* keyword, bool real)
{
    ppd_choice_t* c = ppdFindMarkedChoice(ppd, keyword);
    if (!c)
        return {};
    if (std::strcmp(c->choice, "Custom") != 0)
        return c->choice;
    ppd_coption_t* co = ppdFindCustomOption(ppd, keyword);
    ppd_cparam_t* p = co ? ppdFirstCustomParam(co) : nullptr;
    if (!p)
        return {};
    char buf[64];
    if (real)
        std::snprintf(buf, sizeof buf, "%g", static_cast<double>(p->current.custom_real));
    else
        std::snprintf(buf, sizeof buf, "%d", p->current.custom_int);
    return buf;
}

void AddList(const std::string& list, std::vector<std::pair<std::string, std::string>>& keys)
{
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(start, end - start);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos)
            keys.emplace_back(ppdnames::Unescape(item.substr(0, eq)), ppdnames::Unescape(item.substr(eq + 1)));
        start = end + 1;
    }
}

} // namespace

bool ReadJobSettings(const std::string& ppdPath, const std::string& optionsText, JobSettings& out, std::string& error)
{
    std::unique_ptr<ppd_file_t, PpdCloser> ppd(ppdOpenFile(ppdPath.c_str()));
    if (!ppd) {
        int line = 0;
        const ppd_status_t status = ppdLastError(&line);
        error = "PPD " + ppdPath + ": cannot be read (" + ppdErrorString(status) +
                (line > 0 ? " at line " + std::to_string(line) : std::string()) + ")";
        return false;
    }
    if (!ppdFindAttr(ppd.get(), "cupsModelNumber", nullptr)) {
        error = "PPD " + ppdPath + " names no model (*cupsModelNumber): it is no PPD of this driver";
        return false;
    }
    out.uid = ppd->model_number;

    cups_option_t* raw = nullptr;
    const int count = cupsParseOptions(optionsText.c_str(), 0, &raw);
    struct Free {
        int n;
        cups_option_t*& o;
        ~Free() { cupsFreeOptions(n, o); }
    } freeOptions{count, raw};

    // A value the queue's PPD does not offer is refused, not dropped: the
    // job would print otherwise than asked. Settings options also take a
    // bare number, as the store does.
    std::vector<std::pair<std::string, std::string>> marked;
    for (int i = 0; i < count; ++i) {
        const char* name = raw[i].name;
        const char* value = raw[i].value;
        ppd_option_t* o = ppdFindOption(ppd.get(), name);
        if (!o)
            continue;
        std::string v = value;
        if (!ppdFindChoice(o, value)) {
            ppd_attr_t* setting = ppdFindAttr(ppd.get(), ppdnames::kSettingAttr, o->keyword);
            const bool real = setting && setting->value && std::strncmp(setting->value, "real", 4) == 0;
            const bool custom = ppdFindCustomOption(ppd.get(), o->keyword) != nullptr;
            if (setting && IsNumber(value, real)) {
                v = std::string("Custom.") + value;
            } else if (!(custom && (std::strncmp(value, "Custom.", 7) == 0 || value[0] == '{'))) {
                error = "option " + std::string(name) + "=" + value + ": no such choice (choices: " + Choices(o) +
                        (custom ? ", or Custom.VALUE" : "") + ")";
                return false;
            }
        }
        marked.emplace_back(o->keyword, v);
    }
    ppdMarkDefaults(ppd.get());
    for (const auto& [name, value] : marked)
        ppdMarkOption(ppd.get(), name.c_str(), value.c_str());

    // Settings options: the job's choice, or a queue default that differs
    // from the class's value the PPD was made with; an untouched default
    // leaves the printer's settings store as it is.
    for (ppd_attr_t* a = ppdFindAttr(ppd.get(), ppdnames::kSettingAttr, nullptr); a;
         a = ppdFindNextAttr(ppd.get(), ppdnames::kSettingAttr, nullptr)) {
        const std::string spec = a->value ? a->value : "";
        const std::size_t s1 = spec.find(' '), s2 = spec.find(' ', s1 == std::string::npos ? 0 : s1 + 1);
        if (s1 == std::string::npos || s2 == std::string::npos) {
            error = "PPD " + ppdPath + ": *" + ppdnames::kSettingAttr + " " + a->spec + " is malformed";
            return false;
        }
        const bool real = spec.compare(0, s1, "real") == 0;
        const std::string def = ppdnames::Unescape(spec.substr(s1 + 1, s2 - s1 - 1));
        const std::string key = ppdnames::Unescape(spec.substr(s2 + 1));
        bool explicitly = false;
        for (const auto& m : marked)
            explicitly |= m.first == a->spec;
        std::string value = MarkedValue(ppd.get(), a->spec, real);
        if (real && value == "Value")
            value = def;
        if (!value.empty() && (explicitly || value != def))
            out.keys.emplace_back(key, value);
    }
    for (ppd_attr_t* a = ppdFindAttr(ppd.get(), ppdnames::kChoiceAttr, nullptr); a;
         a = ppdFindNextAttr(ppd.get(), ppdnames::kChoiceAttr, nullptr)) {
        const std::string spec = a->spec;
        const std::size_t dot = spec.find('.');
        if (dot == std::string::npos)
            continue;
        ppd_choice_t* c = ppdFindMarkedChoice(ppd.get(), spec.substr(0, dot).c_str());
        if (c && spec.compare(dot + 1, std::string::npos, c->choice) == 0)
            AddList(a->value ? a->value : "", out.keys);
    }
    // The cut option as the job or the queue gives it; left at the PPD's
    // default, it is the printer's default for the job's settings.
    if (ppd_choice_t* c = ppdFindMarkedChoice(ppd.get(), ppdnames::kCutOption)) {
        ppd_attr_t* made = ppdFindAttr(ppd.get(), ppdnames::kCutDefaultAttr, nullptr);
        for (const auto& cut : ppdnames::kCutChoices)
            if (std::strcmp(cut.keyword, c->choice) == 0)
                out.cutOption = cut.value;
        out.cutGiven = cupsGetOption(ppdnames::kCutOption, count, raw) || !made || !made->value ||
                       std::strcmp(made->value, c->choice) != 0;
    }

    if (ppd_choice_t* c = ppdFindMarkedChoice(ppd.get(), ppdnames::kWhiteOption))
        out.whiteUnder = std::strcmp(c->choice, ppdnames::kWhiteUnder) == 0 ? 1 : 0;

    auto optionOrAttr = [&](const char* option, const char* attr) {
        if (const char* v = cupsGetOption(option, count, raw))
            return std::string(v);
        ppd_attr_t* a = ppdFindAttr(ppd.get(), attr, nullptr);
        return a && a->value ? ppdnames::Unescape(a->value) : std::string();
    };
    out.settingsFile = optionOrAttr(ppdnames::kSettingsFileOption, ppdnames::kSettingsFileAttr);
    out.section = optionOrAttr(ppdnames::kSettingsSectionOption, ppdnames::kSettingsSectionAttr);
    if (const char* v = cupsGetOption(ppdnames::kReportOption, count, raw))
        out.report = v;
    return true;
}

} // namespace rastertomimaki

#pragma GCC diagnostic pop
