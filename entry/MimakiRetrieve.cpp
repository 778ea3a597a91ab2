#include "entry/MimakiRetrieve.h"

#include <cstring>
#include <memory>

#include "devparms/ParmKeys.h"
#include "entry/ModelTable.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"

namespace mimaki {

namespace {

// The print-condition pages and the TxF150 options dialog.
constexpr RetrievalPage kPages[] = {
    {"DEVPARMTS300P_ADVANCED_CLASS", "CMimakiPageTS300PAdvanced", false},
    {"DEVPARMSIJ320UV_CLASS", "CMimakiPageSIJ320UV", false},
    {"DEVPARMUJV55_CLASS", "CMimakiPageUJV55", false},
    {"DEVPARMUJF_x042MKII_CLASS", "CMimakiPageUJF_x042MKII", false},
    {"DEVPARMUCJV300_CLASS", "CMimakiPageUCJV300", true},
    {"DEVPARMUJF7151_CLASS", "CMimakiPageUJF7151", false},
    {"DEVPARMTS55_1800_CLASS", "CMimakiPageTS55_1800", false},
    {"DEVPARMTS300P_MKII_CLASS", "CMimakiPageTS300PMKII", true},
    {"DEVPARMCJV300_PLUS_CLASS", "CMimakiPageCJV300PLUS", true},
    {"DEVPARMSWJ_320AE_CLASS", "CMimakiPageSWJ320EA", false},
    {"DEVPARMUJV100_CLASS", "CMimakiPageUJV100", false},
    {"DEVPARMJV100_CLASS", "CMimakiPageJV100", false},
    {"DEVPARMTS100_1600_CLASS", "CMimakiPageTS100_1600", false},
    {"DEVPARMTS330_1600_CLASS", "CMimakiPageTS330_1600", false},
    {"DEVPARMJV330_CLASS", "CMimakiPageCJV330", true},
    // Derives from DEVPARMJV330_CLASS and keeps its page.
    {"DEVPARMCJV330_CLASS", "CMimakiPageCJV330", true},
    {"DEVPARMUJF7151plusII_CLASS", "CMimakiPageUJF7151PlusII", false},
    {"CDevParmsTxF150", "CDlgTxF150", false},
    {"DEVPARMTX330_CLASS", "CMimakiPageTx330", true},
};

} // namespace

std::span<const RetrievalPage> RetrievalPages()
{
    return kPages;
}

bool FindRetrievalTarget(int uid, const CPrintEnv& env, int mode, RetrievalTarget& target, std::string& error)
{
    target = RetrievalTarget{};
    target.uid = uid;
    const ParmsClass* cls = SelectParms(FindModel(uid), env);
    target.parmsClass = cls ? cls->name : "";
    for (const RetrievalPage& page : kPages)
        if (target.parmsClass == page.parmsClass)
            target.page = &page;
    const std::string model = "UID " + std::to_string(uid) + " (" + target.parmsClass + ")";
    if (!target.page || !cls || !cls->make) {
        error = model + ": its settings page retrieves nothing from the printer";
        return false;
    }
    const std::unique_ptr<CUnivDevParmsBase> parms(cls->make());
    const parms::KeyTable* table = KeyTableOf(parms.get());
    if (!table) {
        error = model + ": no settings keys to store the printer's data";
        return false;
    }
    const auto keys = table->Keys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::wstring name = keys[i].name;
        if (keys[i].kind == parms::Kind::Text && name == L"strPrintModeData")
            target.printModeKey = table->StoredName(i);
        else if (keys[i].kind == parms::Kind::Hex360 && target.dotVolumeKey.empty())
            target.dotVolumeKey = table->StoredName(i);
        else if (keys[i].kind == parms::Kind::Real && name.find(L"dCommandManualVersion") != std::wstring::npos)
            target.versionKey = table->StoredName(i);
    }
    if (mode == kRetrievePrintModes && target.printModeKey.empty()) {
        error = model + " has no print modes to retrieve";
        return false;
    }
    if (mode == kRetrieveDotVolumes && target.dotVolumeKey.empty()) {
        error = model + " has no dot volumes to retrieve";
        return false;
    }
    return true;
}

bool RunRetrieval(CRetrieveQI& query, CPrintEnv& env, const RetrievalTarget& target, IRetrieveListener& listener,
                  const RetrieveOptions& options)
{
    if (query.Mode() == kRetrieveDotVolumes && target.page && target.page->directStatus)
        return query.ReadStatusDirect(env, listener, options);
    return query.Retrieve(env, listener, options);
}

void StoreRetrieved(CPrintEnv& env, const RetrievalTarget& target, int mode, const RetrieveResult& result)
{
    if (!result.success)
        return;
    if (mode == kRetrievePrintModes) {
        env.PutString(target.printModeKey.c_str(), AnsiToWide(result.printModeText));
        WritePrintConditionDiagnostic(env, result.printModeText, result.conditions, result.inksetNames);
        return;
    }
    env.PutString(target.dotVolumeKey.c_str(), BinToHexString(result.dotVolumes.data(), result.dotVolumes.size()));
    if (result.versionRead && !target.versionKey.empty())
        env.PutString(target.versionKey.c_str(), ToString2f(result.commandManualVersion));
}

} // namespace mimaki
