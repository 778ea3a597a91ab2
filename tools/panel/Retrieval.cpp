#include "tools/panel/Retrieval.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <set>
#include <thread>

#include "host/StrUtil.h"

namespace panel {

struct Retrievals::Job {
    explicit Job(int mode) : query(mode) {}
    std::string printer;
    CPrintEnv before;
    mimaki::RetrievalTarget target;
    std::string pageRevision;
    RetrieveOptions options;
    CRetrieveQI query;
    // Abort pressed: given to the query again at every poll, as one pressed
    // while the port is still being found reaches no query yet.
    std::atomic<bool> abort{false};
    std::uint64_t serial = 0;
    mutable std::mutex mutex; // guards state
    RetrievalState state;
    std::thread thread;
};

namespace {

// The dialog's side of the query: everything it is told, kept for the page.
class JobListener : public IRetrieveListener {
public:
    JobListener(std::mutex& mutex, RetrievalState& state, std::atomic<bool>& abort, CRetrieveQI& query)
        : m_mutex(mutex), m_state(state), m_abort(abort), m_query(query)
    {
    }
    void OnPoll() override
    {
        if (m_abort)
            m_query.Abort();
    }
    void OnMessage(int id, const std::wstring& text) override
    {
        std::lock_guard lock(m_mutex);
        m_state.messages.emplace_back(id, text);
    }
    void OnPortMessage(const std::wstring& text) override
    {
        std::lock_guard lock(m_mutex);
        m_state.portMessages.push_back(text);
    }
    void OnStatusMessage(const std::wstring& text) override { OnPortMessage(text); }
    void OnProgress(std::uint64_t received, std::uint64_t expected) override
    {
        std::lock_guard lock(m_mutex);
        m_state.received = received;
        m_state.expected = expected;
    }

private:
    std::mutex& m_mutex;
    RetrievalState& m_state;
    std::atomic<bool>& m_abort;
    CRetrieveQI& m_query;
};

} // namespace

void ApplyChanges(const CPrintEnv& before, const CPrintEnv& after, CPrintEnv& env)
{
    std::set<std::wstring, KeyLess> kept;
    for (const auto& [key, value] : after.Values()) {
        kept.insert(key);
        if (!before.HasKey(key.c_str()) || before.GetString(key.c_str(), L"") != value)
            env.PutString(key.c_str(), value);
    }
    for (const auto& [key, value] : before.Values())
        if (!kept.count(key))
            env.DeleteEntry(key.c_str());
}

bool Retrievals::Start(const std::string& printer, const CPrintEnv& env, const mimaki::RetrievalTarget& target,
                       int mode, const std::string& pageRevision, const RetrieveOptions& options, std::string& id,
                       std::string& error)
{
    std::lock_guard lock(m_mutex);
    if (m_stopped) {
        error = "the panel is stopping";
        return false;
    }
    for (const auto& [key, job] : m_jobs) {
        std::lock_guard jobLock(job->mutex);
        if (job->state.running && job->printer == printer) {
            error = "a retrieval from this printer is running already";
            return false;
        }
    }
    Prune();
    auto job = std::make_shared<Job>(mode);
    job->printer = printer;
    job->before = env;
    job->target = target;
    job->pageRevision = pageRevision;
    job->options = options;
    job->serial = ++m_next;
    job->state.printer = printer;
    job->state.mode = mode;
    id = std::string("r").append(std::to_string(job->serial));
    Job* raw = job.get();
    try {
        job->thread = std::thread([this, raw] { Run(*raw); });
    } catch (const std::exception& e) {
        error = std::string("cannot start the retrieval: ") + e.what();
        return false;
    }
    m_jobs.emplace(id, std::move(job));
    return true;
}

void Retrievals::Run(Job& job)
{
    JobListener listener(job.mutex, job.state, job.abort, job.query);
    CPrintEnv env = job.before;
    bool ok = false;
    std::string revision, storeError;
    bool conflict = false;
    try {
        ok = mimaki::RunRetrieval(job.query, env, job.target, listener, job.options);
        if (ok) {
            mimaki::StoreRetrieved(env, job.target, job.query.Mode(), job.query.Result());
            std::string revisionBefore;
            ok = m_store(job.printer, job.before, env, revisionBefore, revision, storeError);
            conflict = ok && revisionBefore != job.pageRevision;
        }
    } catch (const std::exception& e) {
        ok = false;
        storeError = e.what();
    }
    std::lock_guard lock(job.mutex);
    job.state.success = ok;
    job.state.aborted = job.query.Result().aborted;
    job.state.revision = revision;
    job.state.conflict = conflict;
    job.state.storeError = storeError;
    job.state.running = false;
}

bool Retrievals::State(const std::string& id, RetrievalState& state) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return false;
    std::lock_guard jobLock(it->second->mutex);
    state = it->second->state;
    return true;
}

bool Retrievals::Abort(const std::string& id)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return false;
    it->second->abort = true;
    it->second->query.Abort();
    return true;
}

void Retrievals::Prune()
{
    // The finished ones beyond the newest few: the pages that ran them
    // have read their ends by then.
    constexpr std::size_t kKeep = 16;
    std::vector<std::string> finished;
    for (const auto& [key, job] : m_jobs) {
        std::lock_guard jobLock(job->mutex);
        if (!job->state.running)
            finished.push_back(key);
    }
    if (finished.size() <= kKeep)
        return;
    std::sort(finished.begin(), finished.end(),
              [this](const std::string& a, const std::string& b) { return m_jobs[a]->serial < m_jobs[b]->serial; });
    for (std::size_t i = 0; i + kKeep < finished.size(); ++i) {
        const auto it = m_jobs.find(finished[i]);
        if (it->second->thread.joinable())
            it->second->thread.join();
        m_jobs.erase(it);
    }
}

void Retrievals::Shutdown()
{
    std::map<std::string, std::shared_ptr<Job>> jobs;
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        jobs = m_jobs;
        for (auto& [key, job] : jobs) {
            job->abort = true;
            job->query.Abort();
        }
    }
    for (auto& [key, job] : jobs)
        if (job->thread.joinable())
            job->thread.join();
}

} // namespace panel
