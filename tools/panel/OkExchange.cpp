#include "tools/panel/OkExchange.h"

#include "host/StrUtil.h"
#include "tools/common/Json.h"

namespace panel {

namespace {

const char* OutcomeName(mimaki::CheckOutcome outcome)
{
    using mimaki::CheckOutcome;
    switch (outcome) {
    case CheckOutcome::Confirmed: return "confirmed";
    case CheckOutcome::NoPort: return "no port";
    case CheckOutcome::BadPortType: return "port type";
    case CheckOutcome::NotAsked: return "not asked";
    case CheckOutcome::Aborted: return "aborted";
    case CheckOutcome::OtherModel: return "other model";
    case CheckOutcome::Refused: return "refused";
    }
    return "";
}

// A text that begins with lead, with lead in lang.
std::string Translated(const std::wstring& text, const wchar_t* lead, const mimaki::ui::Catalogue& lang)
{
    const std::wstring head(lead);
    if (text.compare(0, head.size(), head) != 0)
        return WideToUtf8(text);
    return lang.Text(WideToUtf8(head).c_str()) + WideToUtf8(text.substr(head.size()));
}

} // namespace

std::vector<std::string> CheckLines(const mimaki::SettingsCheck& check, const mimaki::ui::Catalogue& lang)
{
    std::vector<std::string> lines;
    for (const auto& [id, text] : check.messages) {
        const std::string own = lang.Id(id);
        lines.push_back(own.empty() ? WideToUtf8(text) : own);
    }
    if (!check.warning.empty())
        lines.push_back(check.warning.rfind(mimaki::kCheckRefusedLead, 0) == 0
                            ? Translated(check.warning, mimaki::kCheckRefusedLead, lang)
                            : Translated(check.warning, mimaki::kCheckNotAskedLead, lang));
    return lines;
}

std::string OkChecks::Run(const std::string& printer, int uid, CPrintEnv& env, const PortTimeouts& timeouts,
                          const mimaki::ui::Catalogue& lang)
{
    if (!mimaki::FindCheckingPage(uid & 255, env))
        return {};
    CRetrieveQI query(kConfirmSettings);
    std::multimap<std::string, CRetrieveQI*>::iterator running;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return {};
        running = m_running.emplace(printer, &query);
    }
    // An abort pressed before the query had its port reaches it here.
    struct Listener : IRetrieveListener {
        OkChecks& self;
        CRetrieveQI& query;
        Listener(OkChecks& s, CRetrieveQI& q) : self(s), query(q) {}
        void OnMessage(int, const std::wstring&) override {}
        void OnPoll() override
        {
            std::lock_guard lock(self.m_mutex);
            if (self.m_stopped)
                query.Abort();
        }
    } listener(*this, query);
    RetrieveOptions options;
    options.timeouts = timeouts;
    mimaki::SettingsCheck check = mimaki::CheckSettings(query, uid & 255, env, listener, options);
    std::string json = ",\"check\":{\"outcome\":" + JsonString(OutcomeName(check.outcome)) +
                       ",\"printerUid\":" + std::to_string(check.printerUid) +
                       ",\"verdict\":" + std::to_string(check.verdict) + ",\"version\":" + JsonString(check.version) +
                       ",\"messages\":[";
    const std::vector<std::string> lines = CheckLines(check, lang);
    for (std::size_t i = 0; i < lines.size(); ++i)
        json.append(i ? "," : "").append(JsonString(lines[i]));
    json += "]}";
    std::lock_guard lock(m_mutex);
    m_running.erase(running);
    m_last[printer] = std::move(check);
    return json;
}

std::vector<std::string> OkChecks::Take(const std::string& printer, const mimaki::ui::Catalogue& lang)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_last.find(printer);
    if (it == m_last.end())
        return {};
    std::vector<std::string> lines = CheckLines(it->second, lang);
    m_last.erase(it);
    return lines;
}

std::size_t OkChecks::Abort(const std::string& printer)
{
    std::lock_guard lock(m_mutex);
    const auto [first, last] = m_running.equal_range(printer);
    std::size_t n = 0;
    for (auto it = first; it != last; ++it, ++n)
        it->second->Abort();
    return n;
}

void OkChecks::Stop()
{
    std::lock_guard lock(m_mutex);
    m_stopped = true;
    for (const auto& [printer, query] : m_running)
        query->Abort();
}

} // namespace panel
