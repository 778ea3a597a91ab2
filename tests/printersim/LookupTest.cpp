// Host names looked up without holding the caller: a resolver stand-in
// that hangs on one name, ended by the deadline and by an abort, and
// nothing left behind once it lets go.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

#include "entry/MimakiRetrieve.h"
#include "host/NetAddress.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "tests/printersim/SimProcess.h"
#include "tests/support/Loopback.h"
#include "tests/support/LogCapture.h"

namespace {

// "hang.test" hangs until released; "sim.test" is the loopback address;
// other names are unknown.
struct Resolver {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    int hanging = 0;
};
Resolver g_resolver;

int StandIn(const char* host, const char* service, const addrinfo* hints, addrinfo** result)
{
    if (std::strcmp(host, "sim.test") == 0)
        return getaddrinfo("127.0.0.1", service, hints, result);
    if (std::strcmp(host, "hang.test") != 0)
        return EAI_NONAME;
    std::unique_lock lock(g_resolver.mutex);
    ++g_resolver.hanging;
    g_resolver.changed.notify_all();
    g_resolver.changed.wait(lock, [] { return g_resolver.released; });
    --g_resolver.hanging;
    g_resolver.changed.notify_all();
    return EAI_AGAIN;
}

// A print-mode retrieval of the TS300P advanced; the messages shown.
std::vector<int> Retrieve(CRetrieveQI& query, const std::string& port, double connect)
{
    CPrintEnv env;
    env.PutInt(L"PrEnv_UID", 31);
    mimaki::RetrievalTarget target;
    std::string error;
    EXPECT_TRUE(mimaki::FindRetrievalTarget(31, env, kRetrievePrintModes, target, error)) << error;
    struct Listener : IRetrieveListener {
        std::vector<int> ids;
        void OnMessage(int id, const std::wstring&) override { ids.push_back(id); }
    } listener;
    RetrieveOptions options;
    options.portName = Utf8ToWide(port);
    options.timeouts.connect = connect;
    mimaki::RunRetrieval(query, env, target, listener, options);
    return listener.ids;
}

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class HostLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_fds = CountEntries("/proc/self/fd");
        m_threads = CountEntries("/proc/self/task");
        g_resolver.released = false;
        m_previous = SetHostLookup(&StandIn);
    }
    void TearDown() override
    {
        // Once the resolver lets go its threads end and free everything.
        {
            std::unique_lock lock(g_resolver.mutex);
            g_resolver.released = true;
            g_resolver.changed.notify_all();
            g_resolver.changed.wait(lock, [] { return g_resolver.hanging == 0; });
        }
        SetHostLookup(m_previous);
        for (int i = 0; i < 200 && CountEntries("/proc/self/task") > m_threads; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(CountEntries("/proc/self/task"), m_threads);
        EXPECT_EQ(CountEntries("/proc/self/fd"), m_fds);
    }
    std::size_t m_fds = 0, m_threads = 0;
    HostLookupFunction m_previous = nullptr;
};

} // namespace

TEST_F(HostLookup, AHangingNameEndsAtTheDeadlineOrAtOnceWhenStopped)
{
    std::string error;
    bool stopped = true;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConnectTcp("hang.test", 9100, 0.5, -1, error, &stopped), -1);
    EXPECT_GE(Since(start), 0.45);
    EXPECT_LT(Since(start), 2);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(error, "socket://hang.test:9100: no answer from the name service for \"hang.test\" within 0.5 s");

    const int stop = ::eventfd(0, EFD_CLOEXEC);
    std::thread stopper([stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::uint64_t one = 1;
        EXPECT_EQ(::write(stop, &one, sizeof one), 8);
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(ResolveHost("hang.test", error, 60, stop, &stopped), "");
    stopper.join();
    EXPECT_LT(Since(start), 2);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(error, "stopped while looking up \"hang.test\"");
    // The stop stays set: the next lookup ends before it begins.
    EXPECT_EQ(ConnectTcp("hang.test", 9100, 60, stop, error, &stopped), -1);
    EXPECT_TRUE(stopped);
    ::close(stop);

    // Names the resolver knows or refuses, and numbers it is never asked.
    testsupport::RefusingPort refusing;
    EXPECT_EQ(ConnectTcp("sim.test", refusing.Port(), 5, -1, error), -1);
    EXPECT_EQ(error, "socket://sim.test:" + std::to_string(refusing.Port()) + ": " + std::strerror(ECONNREFUSED));
    EXPECT_EQ(ResolveHost("sim.test", error), "127.0.0.1");
    EXPECT_EQ(ResolveHost("nowhere.test", error), "");
    EXPECT_EQ(error, std::string("cannot resolve \"nowhere.test\": ") + gai_strerror(EAI_NONAME));
    EXPECT_EQ(ResolveHost("::1", error), "::1");
}

TEST_F(HostLookup, AbortEndsARetrievalWhosePortNameHangs)
{
    testsupport::LogCapture log;
    for (const bool abort : {true, false}) {
        CRetrieveQI query(kRetrievePrintModes);
        std::thread aborter;
        if (abort)
            aborter = std::thread([&query] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                query.Abort();
            });
        const auto start = std::chrono::steady_clock::now();
        const std::vector<int> ids = Retrieve(query, "socket://hang.test:9100", abort ? 60 : 0.5);
        if (aborter.joinable())
            aborter.join();
        EXPECT_LT(Since(start), 3);
        EXPECT_FALSE(query.Result().success);
        EXPECT_EQ(query.Result().aborted, abort);
        // Aborted: nothing to say. Out of time: the name is no address.
        EXPECT_EQ(ids, abort ? std::vector<int>{} : std::vector<int>{kMsgInvalidPortType});
    }
}
