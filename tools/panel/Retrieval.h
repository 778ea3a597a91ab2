// The retrieve buttons of the print-condition pages: each retrieval runs on
// a thread of its own while the page asks for its progress, may be aborted
// from any request, and hands what it got to the store only on success.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "entry/MimakiRetrieve.h"
#include "host/PrintEnv.h"

namespace panel {

// What a page sees of a retrieval.
struct RetrievalState {
    std::string printer;
    int mode = 0;
    bool running = true;
    bool success = false;
    bool aborted = false;
    std::uint64_t received = 0, expected = 0;
    std::vector<std::pair<int, std::wstring>> messages; // the dialog's message boxes
    std::vector<std::wstring> portMessages;             // texts of the port, as they came
    // After success: the store as written, and whether it had been changed
    // by someone else since the page was made (the page reloads then).
    std::string revision;
    bool conflict = false;
    std::string storeError;
};

class Retrievals {
public:
    // Applies to the printer's section as it stands in the store what the
    // retrieval changed in its copy (before -> after): true with the
    // store's digest before and after writing, false with a message.
    using Store = std::function<bool(const std::string& printer, const CPrintEnv& before, const CPrintEnv& after,
                                     std::string& revisionBefore, std::string& revisionAfter, std::string& error)>;

    explicit Retrievals(Store store) : m_store(std::move(store)) {}
    ~Retrievals() { Shutdown(); }
    Retrievals(const Retrievals&) = delete;
    Retrievals& operator=(const Retrievals&) = delete;

    // Starts a retrieval of mode for printer, over a copy of its settings;
    // pageRevision is the store's digest the page was made from. False with
    // a message when one runs for the printer already or the panel stops.
    bool Start(const std::string& printer, const CPrintEnv& env, const mimaki::RetrievalTarget& target, int mode,
               const std::string& pageRevision, const RetrieveOptions& options, std::string& id, std::string& error);
    bool State(const std::string& id, RetrievalState& state) const;
    // The dialog's Abort; false for an unknown id.
    bool Abort(const std::string& id);
    // Aborts every running retrieval and waits for them; Start refuses after.
    void Shutdown();

private:
    struct Job;
    void Run(Job& job);
    void Prune(); // m_mutex held

    Store m_store;
    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<Job>> m_jobs;
    std::uint64_t m_next = 0;
    bool m_stopped = false;
};

// The changes from before to after applied to env: entries added or changed
// are put, entries removed are deleted.
void ApplyChanges(const CPrintEnv& before, const CPrintEnv& after, CPrintEnv& env);

} // namespace panel
