#include "ui/PageSession.h"

#include "entry/ModelTable.h"
#include "host/UnivDevParmsBase.h"

namespace mimaki::ui {

bool PageSession::Open(const CIniFile::Section& section, const Catalogue& lang, std::string& error,
                       const Supply& supply)
{
    env.Clear();
    env.SetName(section.name);
    for (const auto& [key, value] : section.entries)
        env.PutString(key.c_str(), value);
    uid = env.GetInt(PrEnv_UID);
    supplied = supply ? supply(env, uid) : std::vector<std::wstring>{};
    const ModelRow& row = FindModel(uid);
    model = row.model;
    const ParmsClass* cls = SelectParms(row, env);
    if (!cls || !cls->make) {
        error = "UID " + std::to_string(uid) + " has no parameter class";
        return false;
    }
    parmsClass = cls->name;
    const PageDesc* desc = PageOfClass(cls->name);
    if (!desc) {
        error = std::string(cls->name) + " (UID " + std::to_string(uid) + ") has no settings page";
        return false;
    }
    parms.reset(cls->make());
    parms->Load(&env);
    page = std::make_unique<Page>(*desc, *parms, env, lang);
    page->OnInitDialog();
    return true;
}

CPrintEnv PageSession::Section() const
{
    CPrintEnv own = env;
    for (const std::wstring& key : supplied)
        own.DeleteEntry(key.c_str());
    return own;
}

bool PageSession::Ok(const std::map<std::string, std::string>& posted, PageError& error)
{
    if (!page->Exchange(posted, error))
        return false;
    if (const auto it = posted.find("layers"); it != posted.end() && page->Desc().layerList)
        if (!page->SetLayerOrder(it->second, error))
            return false;
    page->Save();
    return true;
}

} // namespace mimaki::ui
