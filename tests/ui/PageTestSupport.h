// An opened page over a store section, and the values its form posts.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/PrintEnv.h"
#include "ui/PageHtml.h"
#include "ui/PageSession.h"

namespace uitest {

// A page's context as the panel gives it: at "/t/x", made from revision "rev".
inline mimaki::ui::PageContext Context(std::string printer = "TS3", std::string model = "TS3")
{
    mimaki::ui::PageContext c;
    c.base = "/t/x";
    c.printer = std::move(printer);
    c.model = std::move(model);
    c.revision = "rev";
    return c;
}

using mimaki::ui::Catalogue;
using mimaki::ui::Ctl;
using mimaki::ui::Page;
using mimaki::ui::PageSession;
using mimaki::ui::Slot;

inline CIniFile::Section Section(std::vector<std::pair<std::wstring, std::wstring>> entries)
{
    CIniFile::Section s;
    s.name = L"TS3";
    s.entries = std::move(entries);
    return s;
}

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

struct Opened {
    PageSession s;
    explicit Opened(Entries entries, const Catalogue& lang = Catalogue::English())
    {
        std::string error;
        EXPECT_TRUE(s.Open(Section(std::move(entries)), lang, error)) << error;
    }
    Page& page() { return *s.page; }
    // The page's values as the browser posts them, with changes.
    std::map<std::string, std::string> Posted(std::map<std::string, std::string> changes = {})
    {
        std::map<std::string, std::string> out;
        for (const Slot& slot : page().Slots()) {
            if (slot.field.empty() || !slot.shown)
                continue;
            std::string v = std::to_string(slot.value);
            if (slot.ctl->kind == Ctl::Combo) {
                v.clear();
                for (std::size_t i = 0; i < slot.items.size(); ++i)
                    if ((slot.ctl->byData ? slot.items[i].data : static_cast<int>(i)) == slot.value)
                        v = std::to_string(i);
            }
            out[slot.name] = v;
        }
        for (auto& [k, v] : changes)
            out[k] = v;
        return out;
    }
    std::wstring Stored(const wchar_t* key) { return s.env.GetString(key, L"(unset)"); }
};


} // namespace uitest
