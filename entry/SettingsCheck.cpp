#include "entry/SettingsCheck.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "devparms/MimakiDevParms.h"
#include "devparms/ParmKeys.h"
#include "entry/ModelTable.h"
#include "host/Log.h"
#include "host/PortProtocol.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace mimaki {

namespace {

constexpr CheckingPage kPages[] = {
    {"DEVPARMUCJV300_CLASS", "CMimakiPageUCJV300"},
    {"DEVPARMUJV500_CLASS", "CMimakiPageUJV500"},
    {"DEVPARMUJV55_CLASS", "CMimakiPageUJV55"},
};

std::wstring ModelName(int uid)
{
    const char* model = FindModel(uid).model;
    return Utf8ToWide(model ? model : "model") + L" (UID " + std::to_wstring(uid) + L")";
}

std::uint16_t NextTag()
{
    static std::atomic<std::uint16_t> next{static_cast<std::uint16_t>(
        std::chrono::steady_clock::now().time_since_epoch().count())};
    return next.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

const wchar_t kCheckNotAskedLead[] = L"The settings were saved, but the printer could not be asked to confirm them";
const wchar_t kCheckRefusedLead[] = L"The settings were saved, but the printer does not confirm them";

std::span<const CheckingPage> CheckingPages()
{
    return kPages;
}

const CheckingPage* FindCheckingPage(int uid, const CPrintEnv& env)
{
    const ParmsClass* cls = SelectParms(FindModel(uid), env);
    for (const CheckingPage& page : kPages)
        if (cls && std::strcmp(cls->name, page.parmsClass) == 0)
            return &page;
    return nullptr;
}

bool BuildSettingsCheck(int uid, const CPrintEnv& env, std::uint16_t tag, SettingsCheckBlock& request,
                        std::string& error)
{
    using namespace portproto;
    const ParmsClass* cls = SelectParms(FindModel(uid), env);
    if (!FindCheckingPage(uid, env) || !cls->make) {
        error = "UID " + std::to_string(uid) + " (" + (cls ? cls->name : "no class") +
                "): its settings page checks nothing with the printer";
        return false;
    }
    // The class loaded as the page saved it: its colour ids come from the
    // slots and the print conditions, not from one key.
    const std::unique_ptr<CUnivDevParmsBase> parms(cls->make());
    CPrintEnv copy = env;
    parms->Load(&copy);
    const auto* mimakiParms = dynamic_cast<const CMimakiDevParmsBase*>(parms.get());
    std::uint8_t ids[kSlots] = {};
    std::size_t slots = 0;
    if (mimakiParms)
        for (const int id : mimakiParms->MimakiColorIDList)
            if (slots < kSlots)
                ids[slots++] = static_cast<std::uint8_t>(id);
    std::uint32_t set = kNoPrintModeSet;
    if (const parms::KeyTable* table = KeyTableOf(parms.get())) {
        const auto keys = table->Keys();
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (std::wstring_view(keys[i].name) == L"nPrintModeSetNumber")
                set = static_cast<std::uint32_t>(env.GetInt(table->StoredName(i).c_str(), 0)) & 0xFFFF;
    }
    request.fill(0);
    request[0] = kEsc;
    request[1] = kQuery;
    request[2] = kConfirm;
    request[kConfirmUid] = static_cast<BYTE>(uid);
    request[kConfirmSlots] = static_cast<BYTE>(slots);
    PutBe(&request[kConfirmInks], InkSetCheck(ids, slots), 4);
    PutBe(&request[kConfirmSet], set, 2);
    PutBe(&request[kConfirmTag], tag, 2);
    return true;
}

void JudgeAnswer(const SettingsCheckBlock& request, const SettingsCheckBlock& answer, SettingsCheck& check)
{
    using namespace portproto;
    check.answer = answer;
    if (GetBe(&answer[kAnswerTag], 2) != GetBe(&request[kConfirmTag], 2)) {
        check.outcome = CheckOutcome::NotAsked;
        check.warning = std::wstring(kCheckNotAskedLead) + L": the printer's answer belongs to another check (tag " +
                        std::to_wstring(GetBe(&answer[kAnswerTag], 2)) + L", not " +
                        std::to_wstring(GetBe(&request[kConfirmTag], 2)) + L")";
        return;
    }
    check.printerUid = answer[kAnswerUid];
    check.verdict = answer[kAnswerVerdict];
    check.version.clear();
    for (std::size_t i = 0; i < kVersionWidth && answer[kAnswerVersion + i]; ++i)
        check.version += static_cast<char>(answer[kAnswerVersion + i]);
    const int uid = request[kConfirmUid];
    std::wstring reason;
    if (check.printerUid != uid || check.verdict == kOtherModel) {
        check.outcome = CheckOutcome::OtherModel;
        reason = L"the printer is a " + ModelName(check.printerUid) + L", the settings are for a " + ModelName(uid);
    } else if (check.verdict == kAccepted) {
        check.outcome = CheckOutcome::Confirmed;
        check.warning.clear();
        return;
    } else {
        check.outcome = CheckOutcome::Refused;
        if (check.verdict == kOtherInks)
            reason = L"it holds other inks in its " + std::to_wstring(answer[kAnswerSlots]) +
                     L" slots than the settings name for " + std::to_wstring(request[kConfirmSlots]);
        else if (check.verdict == kUnknownPrintModeSet)
            reason = L"it offers no print-mode set " + std::to_wstring(GetBe(&request[kConfirmSet], 2));
        else
            reason = L"it refuses them (reason " + std::to_wstring(check.verdict) + L")";
    }
    check.warning = std::wstring(kCheckRefusedLead) + L": " + reason;
}

SettingsCheck CheckSettings(CRetrieveQI& query, int uid, CPrintEnv& env, IRetrieveListener& listener,
                            const RetrieveOptions& options)
{
    SettingsCheck check;
    std::string error;
    if (!BuildSettingsCheck(uid, env, NextTag(), check.request, error)) {
        check.warning = std::wstring(kCheckNotAskedLead) + L": " + Utf8ToWide(error);
        return check;
    }
    const bool answered = query.Confirm(env, check.request.data(), listener, options);
    const RetrieveResult& result = query.Result();
    check.messages = result.messages;
    if (answered) {
        JudgeAnswer(check.request, result.confirmAnswer, check);
    } else if (!check.messages.empty() && (check.messages[0].first == kMsgPortNotConfigured ||
                                           check.messages[0].first == kMsgInvalidPortType)) {
        check.outcome =
            check.messages[0].first == kMsgPortNotConfigured ? CheckOutcome::NoPort : CheckOutcome::BadPortType;
    } else if (result.aborted) {
        check.outcome = CheckOutcome::Aborted;
    } else {
        check.outcome = CheckOutcome::NotAsked;
        check.warning = kCheckNotAskedLead + (result.portReport.empty() ? L"" : L": " + result.portReport);
    }
    CVoLog log;
    if (check.outcome == CheckOutcome::Confirmed)
        log->ReportStatusPF("%s#%d: the printer confirmed the settings (command-manual version %s)", 8, __FILE__,
                            __LINE__, "mimaki::CheckSettings", __LINE__, check.version.c_str());
    else if (!check.warning.empty())
        log->ReportStatusPF("***%s#%d: %s", 4, __FILE__, __LINE__, "mimaki::CheckSettings", __LINE__,
                            WideToUtf8(check.warning).c_str());
    return check;
}

} // namespace mimaki
