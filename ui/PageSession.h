// One printer's settings page over a store section: the model's parameter
// class built and loaded as Create does it, its page opened, and OK saved
// back into the section.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/PrintEnv.h"
#include "host/UnivDevParmsBase.h"
#include "ui/Page.h"


namespace mimaki::ui {

struct PageSession {
    CPrintEnv env;
    std::unique_ptr<CUnivDevParmsBase> parms;
    std::unique_ptr<Page> page;
    const char* parmsClass = nullptr;
    std::string model;
    int uid = 0;

    // What the host supplies with a printer beyond its section (the model's
    // definition keys): puts them into env, answers the keys it added.
    using Supply = std::function<std::vector<std::wstring>(CPrintEnv& env, int uid)>;
    // Keys supplied, not the printer's own: never written back.
    std::vector<std::wstring> supplied;

    // Builds the parameters of the section's UID, loads them and opens the
    // page of their class. False with a message when the class has no page.
    bool Open(const CIniFile::Section& section, const Catalogue& lang, std::string& error,
              const Supply& supply = {});
    // The section as OK leaves it: env without the supplied keys.
    CPrintEnv Section() const;
    // OK: the posted values checked and taken (also the layer order when
    // posted as "layers"), then the class's Save. False, with nothing
    // changed, when a value is refused.
    bool Ok(const std::map<std::string, std::string>& posted, PageError& error);
};

} // namespace mimaki::ui
