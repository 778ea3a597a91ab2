// OK on the pages that check what they saved with the printer (UCJV300,
// UJV500, UJV55): the check runs after the store was written and outside
// its lock, so a printer that does not answer delays only this answer and
// loses nothing. What it found is kept per printer and shown with the
// "saved" notice of the page shown next.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "entry/SettingsCheck.h"
#include "host/Port.h"
#include "ui/Strings.h"

class CPrintEnv;

namespace panel {

class OkChecks {
public:
    // Checks the settings env holds as saved (the definition keys with
    // them) when uid's page checks its settings; answers the members to add
    // to OK's JSON answer (",\"check\":{...}"), empty for another page.
    std::string Run(const std::string& printer, int uid, CPrintEnv& env, const PortTimeouts& timeouts,
                    const mimaki::ui::Catalogue& lang);
    // The lines of the printer's last check for its page, once.
    std::vector<std::string> Take(const std::string& printer, const mimaki::ui::Catalogue& lang);
    // The page's Abort while its OK waits: ends printer's running check
    // (its settings stay saved). Answers how many were running.
    std::size_t Abort(const std::string& printer);
    // Aborts the running checks; Run checks nothing after.
    void Stop();

private:
    std::mutex m_mutex;
    bool m_stopped = false;
    std::multimap<std::string, CRetrieveQI*> m_running;
    std::map<std::string, mimaki::SettingsCheck> m_last;
};

// The check's lines for the operator in lang: its message boxes, then
// its warning (empty when the printer confirmed).
std::vector<std::string> CheckLines(const mimaki::SettingsCheck& check, const mimaki::ui::Catalogue& lang);

} // namespace panel
