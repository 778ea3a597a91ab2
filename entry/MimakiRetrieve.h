// The retrieval for a model: whether its settings page can ask the printer
// for print modes or dot volumes, how (the retrieval dialog, or the status
// sensor directly), and which of the model's keys receive the answer.
#pragma once

#include <span>
#include <string>

#include "printcond/RetrieveQI.h"

class CPrintEnv;

namespace mimaki {

// A page that retrieves data from the printer.
struct RetrievalPage {
    const char* parmsClass;
    const char* page;
    bool directStatus;  // its dot-volume button reads the status sensor itself
};
std::span<const RetrievalPage> RetrievalPages();

struct RetrievalTarget {
    int uid = 0;
    std::string parmsClass;
    const RetrievalPage* page = nullptr;
    std::wstring printModeKey;  // the model's print-condition text
    std::wstring dotVolumeKey;  // its 360-byte dot-volume table
    std::wstring versionKey;    // its command-manual version; empty: none
};

// The target of mode for the model Create builds for uid from env. False
// with a message when the model's page retrieves nothing of that kind.
bool FindRetrievalTarget(int uid, const CPrintEnv& env, int mode, RetrievalTarget& target, std::string& error);

// What the model's page runs: the retrieval dialog, or for the dot volumes
// of the pages that read the status block directly, the direct read.
bool RunRetrieval(CRetrieveQI& query, CPrintEnv& env, const RetrievalTarget& target, IRetrieveListener& listener,
                  const RetrieveOptions& options = {});

// After a successful retrieval, what the page's OK stores: the print-mode
// text under the model's key (and, at logging level 8, the diagnostic
// file), or the dot-volume table and the version where the model keeps one.
void StoreRetrieved(CPrintEnv& env, const RetrievalTarget& target, int mode, const RetrieveResult& result);

} // namespace mimaki
