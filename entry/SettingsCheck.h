// The settings check of the UCJV300, UJV500 and UJV55 pages: after OK has
// saved, the page tells the printer which model, inks and print-mode set the
// settings are for (host/PortProtocol.h) and warns the operator when the
// printer is another model or refuses them. The settings stay saved
// whatever the printer answers.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "printcond/RetrieveQI.h"

class CPrintEnv;

namespace mimaki {

struct CheckingPage {
    const char* parmsClass;
    const char* page;
};
std::span<const CheckingPage> CheckingPages();

// The page of the model Create builds for uid from env, when it checks its
// settings on OK; null otherwise.
const CheckingPage* FindCheckingPage(int uid, const CPrintEnv& env);

using SettingsCheckBlock = std::array<BYTE, 13>;

// The request for the settings env holds as saved (with the model's
// definition keys): the UID, the colour ids of the slots (at most ten) and
// the print-mode set number where the class keeps one. False with a
// message for a model whose page checks nothing.
bool BuildSettingsCheck(int uid, const CPrintEnv& env, std::uint16_t tag, SettingsCheckBlock& request,
                        std::string& error);

enum class CheckOutcome {
    Confirmed,
    NoPort,       // 22064
    BadPortType,  // 22065
    NotAsked,     // the port could not be opened, or no whole answer came
    Aborted,
    OtherModel,   // the printer is another model (by its UID or its verdict)
    Refused,      // inks, print-mode set or another reason
};

struct SettingsCheck {
    CheckOutcome outcome = CheckOutcome::NotAsked;
    SettingsCheckBlock request{}, answer{};
    int printerUid = -1;
    int verdict = -1;
    std::string version;  // the printer's command-manual version
    // The retrieval's message boxes (22064, 22065, 22066).
    std::vector<std::pair<int, std::wstring>> messages;
    // For the operator, in English; empty when confirmed or when a message
    // box said it all. It begins with one of the two leads below.
    std::wstring warning;
};

// The leads of the warnings: the printer was not asked, or it disagrees.
extern const wchar_t kCheckNotAskedLead[];
extern const wchar_t kCheckRefusedLead[];

// Judges the printer's answer to request.
void JudgeAnswer(const SettingsCheckBlock& request, const SettingsCheckBlock& answer, SettingsCheck& check);

// The check of the page closed with OK, over query (mode kConfirmSettings,
// which the caller may abort from any thread).
SettingsCheck CheckSettings(CRetrieveQI& query, int uid, CPrintEnv& env, IRetrieveListener& listener,
                            const RetrieveOptions& options = {});

} // namespace mimaki
