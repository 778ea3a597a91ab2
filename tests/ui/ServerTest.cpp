// The panel's HTTP layer with bad and good requests, and the program's
// start and stop.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <regex>
#include <thread>

#include <httplib.h>

#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "printcond/RetrieveQI.h"
#include "tests/printersim/SimProcess.h"
#include "tests/support/Loopback.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/panel/Panel.h"
#include "tools/panel/Retrieval.h"

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

const char* const kStore =
    "; two printers\n"
    "[TS3 left]\nPrEnv_UID=24\n$PassesValues$=2,4,8\n\n"
    "[Other]\nPrEnv_UID=13\nDP13_nOverprint=4\n";

class PanelServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(m_dir / "store.ini", kStore);
        panel::Options o;
        o.settings = m_dir / "store.ini";
        o.port = 0;
        o.maxBody = 4096;
        m_server = std::make_unique<panel::Server>(o);
        std::string error;
        ASSERT_TRUE(m_server->Bind(error)) << error;
        m_thread = std::thread([this] { m_server->Run(); });
        const std::string url = m_server->Url();
        m_base = url.substr(url.find("/t/"));
        m_base.pop_back();
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_server->Port());
    }
    void TearDown() override
    {
        m_server->Stop();
        m_thread.join();
    }
    httplib::Result Post(const std::string& path, const std::string& body, httplib::Headers headers = {})
    {
        headers.emplace("Accept", "application/json");
        return m_client->Post((m_base + path).c_str(), headers, body, "application/x-www-form-urlencoded");
    }
    std::string Revision(const std::string& printer = "TS3%20left")
    {
        auto r = m_client->Get((m_base + "/api/printer?p=" + printer).c_str(), {{"Accept", "application/json"}});
        std::smatch m;
        const std::string body = r ? r->body : "";
        return std::regex_search(body, m, std::regex("\"revision\":\"([0-9a-f]+)\"")) ? m[1].str() : "";
    }

    testsupport::TempDir m_dir;
    std::unique_ptr<panel::Server> m_server;
    std::thread m_thread;
    std::string m_base;
    std::unique_ptr<httplib::Client> m_client;
};

TEST_F(PanelServer, RequestsWithoutTheTokenOrFromElsewhereAreRefused)
{
    auto r = m_client->Get("/");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 403);
    r = m_client->Get(("/t/" + std::string(64, '0') + "/").c_str());
    EXPECT_EQ(r->status, 403);
    r = m_client->Get((m_base + "x/").c_str());
    EXPECT_EQ(r->status, 403);
    // A page of another origin, and a name rebound to this address.
    r = m_client->Post((m_base + "/printer?p=TS3%20left").c_str(), {{"Origin", "http://evil.example"}}, "revision=x",
                       "application/x-www-form-urlencoded");
    EXPECT_EQ(r->status, 403);
    r = m_client->Get((m_base + "/").c_str(), {{"Host", "evil.example:80"}});
    EXPECT_EQ(r->status, 403);
    r = m_client->Get((m_base + "/").c_str(), {{"Origin", "http://127.0.0.1:1"}});
    EXPECT_EQ(r->status, 403);
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), kStore);
    r = m_client->Get((m_base + "/").c_str(), {{"Origin", "http://127.0.0.1:" + std::to_string(m_server->Port())}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_NE(r->body.find("TS3 left"), std::string::npos);
    EXPECT_EQ(r->get_header_value("Referrer-Policy"), "no-referrer");
}

TEST_F(PanelServer, StaticFilesAreKeptPagesAreNot)
{
    auto page = m_client->Get((m_base + "/printer?p=TS3%20left").c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(page->body, m, std::regex("src=\"([^\"]+/static/panel\\.js\\?v=[0-9a-f]{16})\"")))
        << page->body.substr(0, 600);
    const std::string script = m[1];
    EXPECT_NE(page->body.find("href=\"" + m_base + "/static/favicon.svg?v="), std::string::npos);
    for (const auto& [path, type] : {std::pair{script, "text/javascript"},
                                     std::pair{m_base + "/static/favicon.svg", "image/svg+xml"}}) {
        auto r = m_client->Get(path.c_str());
        ASSERT_TRUE(r) << path;
        EXPECT_EQ(r->status, 200) << path;
        EXPECT_EQ(r->get_header_value_count("Cache-Control"), 1u) << path;
        EXPECT_EQ(r->get_header_value("Cache-Control"), "private, max-age=31536000, immutable") << path;
        EXPECT_EQ(r->get_header_value("Content-Type").rfind(type, 0), 0u) << path;
    }
    // Kept or not, they still need the token.
    auto r = m_client->Get(script.substr(m_base.size()).c_str());
    EXPECT_EQ(r->status, 403);
}

TEST_F(PanelServer, OversizedBodyUnknownPrinterAndBadValues)
{
    auto r = Post("/printer?p=TS3%20left", "revision=" + std::string(5000, 'a'));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 413);
    r = Post("/printer?p=Nobody", "revision=x");
    EXPECT_EQ(r->status, 404);
    r = m_client->Get((m_base + "/printer?p=Nobody").c_str());
    EXPECT_EQ(r->status, 404);
    EXPECT_NE(r->body.find("Nobody"), std::string::npos);
    const std::string rev = Revision();
    ASSERT_FALSE(rev.empty());
    r = Post("/printer?p=TS3%20left", "revision=" + rev + "&c1042=1&c1031=nine");
    EXPECT_EQ(r->status, 422);
    EXPECT_NE(r->body.find("\"slot\":\"c1031\""), std::string::npos) << r->body;
    r = Post("/printer?p=TS3%20left", "revision=" + rev + "&c1016=7");
    EXPECT_EQ(r->status, 422);
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), kStore);
}

TEST_F(PanelServer, OkSavesTheSectionAndKeepsTheOthers)
{
    const std::string rev = Revision();
    auto r = Post("/printer?p=TS3%20left", "revision=" + rev + "&c1042=0&c1042=1&c1031=9&c1016=3");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200) << r->body;
    const std::string store = ReadFile(m_dir / "store.ini");
    EXPECT_NE(store.find("DP24_nOverprint=9\n"), std::string::npos) << store;
    EXPECT_NE(store.find("DP24_nDotSize=3\n"), std::string::npos);
    EXPECT_NE(store.find("[Other]\nPrEnv_UID=13\nDP13_nOverprint=4\n"), std::string::npos) << store;
    // The page made from the old file is out of date now.
    r = Post("/printer?p=TS3%20left", "revision=" + rev + "&c1042=1&c1031=2");
    EXPECT_EQ(r->status, 409);
    EXPECT_NE(ReadFile(m_dir / "store.ini").find("DP24_nOverprint=9\n"), std::string::npos);
    // Queries answer from the posted values without saving.
    r = Post("/api/query?p=TS3%20left", "c1016=3");
    EXPECT_EQ(r->body, "{\"inkLevels\":3,\"dotSize\":5,\"dotVolume\":\"\"}");
}

TEST_F(PanelServer, ModelDefinitionsShapeThePageAndAreNeverSaved)
{
    // UID 31's definition says the model cuts; the printer's own key wins.
    const auto cutShown = [this](const std::string& printer) {
        auto r = m_client->Get((m_base + "/printer?p=" + printer).c_str());
        std::smatch m;
        const std::string body = r ? r->body : "";
        EXPECT_TRUE(std::regex_search(body, m, std::regex("<span class=\"ctl check\"( hidden)?><input[^>]*name=\"c1053\"")))
            << body;
        return m.size() > 1 && !m[1].matched;
    };
    const std::string store = std::string(kStore) + "\n[Adv]\nPrEnv_UID=31\n\n[Adv no cut]\nPrEnv_UID=31\nbUseCut=0\n";
    WriteFile(m_dir / "store.ini", store);
    EXPECT_TRUE(cutShown("Adv"));
    EXPECT_FALSE(cutShown("Adv%20no%20cut"));
    auto r = Post("/printer?p=Adv", "revision=" + Revision("Adv") + "&c1053=1");
    ASSERT_EQ(r->status, 200) << r->body;
    const std::string after = ReadFile(m_dir / "store.ini");
    EXPECT_NE(after.find("DP30_bCut=1\n"), std::string::npos) << after;
    for (const char* key : {"pdLicName", "bUseCut=1", "SlotsSetting", "bUseWaveShape"})
        EXPECT_EQ(after.find(key), std::string::npos) << key << "\n" << after;
    EXPECT_NE(after.find("[Adv no cut]\nPrEnv_UID=31\nbUseCut=0\n"), std::string::npos) << after;
}

TEST_F(PanelServer, ChangedOnDiskIsNotOverwritten)
{
    const std::string rev = Revision();
    WriteFile(m_dir / "store.ini", std::string(kStore) + "[Third]\nPrEnv_UID=24\n");
    auto r = Post("/printer?p=TS3%20left", "revision=" + rev + "&c1016=1");
    EXPECT_EQ(r->status, 409);
    EXPECT_NE(r->body.find("changed on disk"), std::string::npos);
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), std::string(kStore) + "[Third]\nPrEnv_UID=24\n");
}

TEST_F(PanelServer, BrokenStoreShowsTheErrorAndItsLine)
{
    WriteFile(m_dir / "store.ini", "[TS3 left]\nPrEnv_UID=24\nthis line is broken\n");
    auto r = m_client->Get((m_base + "/").c_str());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 500);
    EXPECT_NE(r->body.find("store.ini:3: expected key=value"), std::string::npos) << r->body;
    r = m_client->Get((m_base + "/printer?p=TS3%20left").c_str());
    EXPECT_EQ(r->status, 500);
    r = Post("/printer?p=TS3%20left", "revision=x");
    EXPECT_EQ(r->status, 500);
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), "[TS3 left]\nPrEnv_UID=24\nthis line is broken\n");
}

// The retrieval endpoints without a printer: what is refused at once, and
// attempts that fail or are aborted leave the store as it was.
class PanelRetrieval : public PanelServer {
protected:
    // Polls a retrieval until it ends (or 20 s); its last state.
    std::string Wait(const std::string& id)
    {
        std::string body;
        for (int i = 0; i < 200; ++i) {
            auto r = m_client->Get((m_base + "/api/retrieve?id=" + id).c_str(), {{"Accept", "application/json"}});
            body = r ? r->body : "";
            if (body.find("\"running\":false") != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return body;
    }
    std::string Start(const std::string& printer, const std::string& body, int status = 202)
    {
        auto r = Post("/api/retrieve?p=" + printer, body);
        EXPECT_TRUE(r);
        if (!r)
            return "";
        EXPECT_EQ(r->status, status) << r->body;
        std::smatch m;
        return std::regex_search(r->body, m, std::regex("\"id\":\"(r[0-9]+)\"")) ? m[1].str() : r->body;
    }
};

TEST_F(PanelRetrieval, RefusedRequests)
{
    // A model whose page retrieves nothing, a mode that is none, an unknown
    // printer, an unknown retrieval.
    EXPECT_NE(Start("TS3%20left", "mode=1", 422).find("retrieves nothing"), std::string::npos);
    EXPECT_NE(Start("Other", "mode=7", 422).find("mode is 0"), std::string::npos);
    Start("Nobody", "mode=1", 404);
    auto r = m_client->Get((m_base + "/api/retrieve?id=r99").c_str(), {{"Accept", "application/json"}});
    EXPECT_EQ(r->status, 404);
    r = Post("/api/retrieve/abort?id=r99", "");
    EXPECT_EQ(r->status, 404);
    // Without the token nothing starts.
    r = m_client->Post("/api/retrieve?p=Other", "mode=1", "application/x-www-form-urlencoded");
    EXPECT_EQ(r->status, 403);
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), kStore);
}

TEST_F(PanelRetrieval, FailuresStoreNothing)
{
    // The TS300P advanced without a port, then with one that refuses.
    testsupport::RefusingPort refusing;
    const std::string store = std::string(kStore) + "\n[Adv]\nPrEnv_UID=31\n\n[Adv port]\nPrEnv_UID=31\nPrEnv_Port=socket://127.0.0.1:" +
                              std::to_string(refusing.Port()) + "\n";
    WriteFile(m_dir / "store.ini", store);
    std::string state = Wait(Start("Adv", "mode=1&revision=x"));
    EXPECT_NE(state.find("\"success\":false"), std::string::npos) << state;
    EXPECT_NE(state.find("{\"id\":22064,\"text\":\"Printer port is not configured\"}"), std::string::npos) << state;
    state = Wait(Start("Adv%20port", "mode=0&revision=x"));
    EXPECT_NE(state.find("\"success\":false"), std::string::npos) << state;
    // The failure report: its text, then the port's message.
    EXPECT_NE(state.find("{\"id\":22110,\"text\":\"Failed to retrieve dot volumes\\r\\n"), std::string::npos) << state;
    EXPECT_EQ(state.find("\"revision\""), std::string::npos);
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), store);
    // In German.
    auto r = Post("/api/retrieve?p=Adv", "mode=0");
    ASSERT_EQ(r->status, 202);
    const std::string id = r->body.substr(7, r->body.find('"', 7) - 7);
    Wait(id);
    r = m_client->Get((m_base + "/api/retrieve?id=" + id).c_str(),
                      {{"Accept", "application/json"}, {"Accept-Language", "de"}});
    EXPECT_NE(r->body.find("\"id\":22064,\"text\":\"Der Druckeranschluss ist nicht eingerichtet\""), std::string::npos)
        << r->body;
}

TEST_F(PanelRetrieval, AbortAndOneAtATimePerPrinter)
{
    // A printer that takes the connection and never answers.
    testsupport::UnansweredPort silent;
    const std::string store = std::string(kStore) + "\n[Adv]\nPrEnv_UID=31\nPrEnv_Port=socket://127.0.0.1:" +
                              std::to_string(silent.Port()) + "\n";
    WriteFile(m_dir / "store.ini", store);
    const std::string id = Start("Adv", "mode=1");
    Start("Adv", "mode=0", 409);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Post("/api/retrieve/abort?id=" + id, "")->status, 200);
    const std::string state = Wait(id);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << "the abort ends the wait";
    EXPECT_NE(state.find("\"aborted\":true"), std::string::npos) << state;
    EXPECT_NE(state.find("\"success\":false"), std::string::npos) << state;
    EXPECT_EQ(state.find("successfully"), std::string::npos);
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), store);
    // Once it ended another may run.
    Start("Adv", "mode=1");
}

TEST_F(PanelRetrieval, StopEndsARunningRetrieval)
{
    testsupport::UnansweredPort silent;
    WriteFile(m_dir / "store.ini", std::string(kStore) + "\n[Adv]\nPrEnv_UID=31\nPrEnv_Port=socket://127.0.0.1:" +
                                       std::to_string(silent.Port()) + "\n");
    Start("Adv", "mode=0");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    m_server->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// A key's value in the store's section, as the plug-in would read it.
std::wstring Stored(const std::string& file, const std::wstring& section, const std::wstring& key)
{
    CIniFile ini;
    std::string error;
    EXPECT_TRUE(ini.Read(file, error)) << error;
    const CIniFile::Section* s = ini.Find(section);
    if (s)
        for (const auto& [k, v] : s->entries)
            if (k == key)
                return v;
    return L"<none>";
}

TEST_F(PanelRetrieval, PrintModesFromTheVirtualPrinterAreStoredInItsSection)
{
    SimProcess sim({"--uid", "31"});
    const std::string store = std::string(kStore) + "\n[Adv]\nPrEnv_UID=31\nPrEnv_InkSet=SB420-4Z0\nPrEnv_Port=" +
                              sim.Address() + "\n";
    WriteFile(m_dir / "store.ini", store);
    const std::string rev = Revision("Adv");
    ASSERT_FALSE(rev.empty());
    const std::string state = Wait(Start("Adv", "mode=1&revision=" + rev));
    EXPECT_NE(state.find("\"success\":true"), std::string::npos) << state;
    EXPECT_NE(state.find("\"messages\":[{\"id\":22068,\"text\":\"Print modes list successfully retrieved from "
                         "printer\\nClose and open again the print environment to activate the new print modes list\"}]"),
              std::string::npos)
        << state;
    // The page's answer names the store as written, so its next OK saves.
    EXPECT_NE(state.find("\"revision\":\"" + Revision("Adv") + "\",\"conflict\":false"), std::string::npos) << state;
    EXPECT_NE(state.find("\"page\":{\"modes\":[{\"name\":"), std::string::npos) << state;
    const std::string file = m_dir / "store.ini";
    EXPECT_EQ(Stored(file, L"Adv", L"DP30_strPrintModeData"),
              EmbeddedPrintModeText(*FindEmbeddedPrintModeEntry(L"PrintModeDataTX300PAllInksets")));
    EXPECT_EQ(Stored(file, L"Adv", L"NewQIDataHasBeenRetrieved"), L"1");
    // The ink set the printer's data replaces is gone; the rest kept.
    EXPECT_EQ(Stored(file, L"Adv", L"PrEnv_InkSet"), L"<none>");
    EXPECT_EQ(Stored(file, L"Adv", L"PrEnv_Port"), Utf8ToWide(sim.Address()));
    const std::string after = ReadFile(file);
    EXPECT_EQ(after.rfind("; two printers\n", 0), 0u) << after;
    EXPECT_NE(after.find("[TS3 left]\nPrEnv_UID=24\n$PassesValues$=2,4,8\n\n[Other]\nPrEnv_UID=13\nDP13_nOverprint=4\n"),
              std::string::npos)
        << after;
}

TEST_F(PanelRetrieval, DotVolumesStoredIntoAFileChangedMeanwhileKeepTheOtherChange)
{
    // Volumes 80, 140, 240 pl/10 for group 0 slot 0, as sent (big-endian).
    std::string volumes(720, 'F');
    volumes.replace(0, 12, "0050008C00F0");
    SimProcess sim({"--uid", "31", "--dot-volumes", volumes});
    const std::string store = std::string(kStore) + "\n[Adv]\nPrEnv_UID=31\nPrEnv_Port=" + sim.Address() + "\n";
    WriteFile(m_dir / "store.ini", store);
    const std::string rev = Revision("Adv");
    // Someone else writes the file after the page was made.
    WriteFile(m_dir / "store.ini", store + "\n[Third]\nPrEnv_UID=24\n");
    const std::string state = Wait(Start("Adv", "mode=0&revision=" + rev));
    EXPECT_NE(state.find("\"success\":true"), std::string::npos) << state;
    EXPECT_NE(state.find("{\"id\":22111,"), std::string::npos) << state;
    // The page is told to reload rather than save over the other change.
    EXPECT_NE(state.find("\"conflict\":true"), std::string::npos) << state;
    const std::string file = m_dir / "store.ini";
    const std::wstring stored = Stored(file, L"Adv", L"DP30_strDotVolumesData");
    ASSERT_EQ(stored.size(), 720u);
    // Little-endian in the store; no volume for the rest.
    EXPECT_EQ(stored.substr(0, 12), L"50008C00F000");
    EXPECT_EQ(stored.substr(12), std::wstring(708, L'F'));
    EXPECT_NE(ReadFile(file).find("[Third]\nPrEnv_UID=24\n"), std::string::npos);
}

TEST_F(PanelRetrieval, SectionRemovedWhileThePrinterAnswersStoresNothing)
{
    // A printer that answers the status query only when the test lets it.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), len), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    const timeval limit{10, 0};  // accept gives up when no retrieval came
    ::setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
    std::promise<void> answer;
    std::thread printer([listener, go = answer.get_future()]() mutable {
        const int c = ::accept(listener, nullptr, nullptr);
        char request[3];
        if (c < 0 || ::recv(c, request, 3, MSG_WAITALL) != 3)
            return;
        go.wait();
        // ESC "?" "S", 1024 bytes: slot 0 present with 80 pl/10.
        std::string frame = "\x1b?S" + std::string("\0\0\x04\0", 4) + std::string(1024, '\0');
        frame[7 + 280] = 1;
        frame[7 + 291] = 0x50;
        ::send(c, frame.data(), frame.size(), MSG_NOSIGNAL);
        ::close(c);
    });
    const std::string store = std::string(kStore) + "\n[Adv]\nPrEnv_UID=31\nPrEnv_Port=socket://127.0.0.1:" +
                              std::to_string(ntohs(a.sin_port)) + "\n";
    WriteFile(m_dir / "store.ini", store);
    const std::string id = Start("Adv", "mode=0&revision=" + Revision("Adv"));
    WriteFile(m_dir / "store.ini", kStore);
    answer.set_value();
    const std::string state = Wait(id);
    printer.join();
    ::close(listener);
    EXPECT_NE(state.find("\"success\":false"), std::string::npos) << state;
    EXPECT_NE(state.find("\"error\":\"The retrieved data could not be stored: the printer Adv is no longer in"),
              std::string::npos)
        << state;
    EXPECT_EQ(ReadFile(m_dir / "store.ini"), kStore);
}

TEST(PanelRetrievalStore, ChangesApplyToTheSectionAsItStandsNow)
{
    CPrintEnv before, after, now;
    for (const auto& [k, v] : {std::pair{L"A", L"1"}, {L"B", L"2"}, {L"C", L"3"}})
        before.PutString(k, v);
    for (const auto& [k, v] : {std::pair{L"A", L"1"}, {L"b", L"5"}, {L"D", L"4"}})
        after.PutString(k, v);
    for (const auto& [k, v] : {std::pair{L"A", L"9"}, {L"C", L"3"}, {L"E", L"7"}})
        now.PutString(k, v);
    panel::ApplyChanges(before, after, now);
    // A unchanged by the retrieval keeps what someone else wrote; B
    // changed, D added, C deleted, E someone else's.
    EXPECT_EQ(now.GetString(L"A", L"-"), L"9");
    EXPECT_EQ(now.GetString(L"B", L"-"), L"5");
    EXPECT_EQ(now.GetString(L"C", L"-"), L"-");
    EXPECT_EQ(now.GetString(L"D", L"-"), L"4");
    EXPECT_EQ(now.GetString(L"E", L"-"), L"7");
}

TEST(PanelArgs, OnlyLoopbackAddresses)
{
    panel::Options o;
    std::string error;
    EXPECT_TRUE(panel::ParseArgs({"--settings", "a.ini", "--listen", "127.0.0.2:0"}, o, error)) << error;
    EXPECT_EQ(o.host, "127.0.0.2");
    EXPECT_TRUE(panel::ParseArgs({"--settings", "a.ini", "--listen", "[::1]:8000"}, o, error));
    EXPECT_EQ(o.host, "::1");
    EXPECT_EQ(o.port, 8000);
    for (const char* bad : {"0.0.0.0:8631", "192.168.1.2:80", "example.com:80", "127.0.0.1:99999", "127.0.0.1"})
        EXPECT_FALSE(panel::ParseArgs({"--settings", "a.ini", "--listen", bad}, o, error)) << bad;
    panel::Options fresh;
    EXPECT_FALSE(panel::ParseArgs({"--listen", "127.0.0.1:0"}, fresh, error));
}

TEST(PanelProgram, PrintsItsUrlAndStopsOnSignal)
{
    testsupport::TempDir dir;
    WriteFile(dir / "s.ini", kStore);
    testsupport::RunOptions options;
    options.signalAfterMs = 400;
    options.signal = 15;
    options.killAfterMs = 10000;
    const auto r = testsupport::Run(PANEL_BINARY, {"--settings", dir / "s.ini", "--listen", "127.0.0.1:0"}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("http://127\\.0\\.0\\.1:[0-9]+/t/[0-9a-f]{64}/\n"))) << r.out;
    const auto bad = testsupport::Run(PANEL_BINARY, {"--settings", dir / "s.ini", "--listen", "0.0.0.0:0"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("loopback"), std::string::npos);
}

} // namespace

TEST_F(PanelServer, OkOfAPageThatChecksItsSettingsSavesFirstAndWarnsOnce)
{
    // A UJV55 answers for the UCJV300 the settings are for; then a printer
    // that resets the connection.
    for (const char* misbehave : {"", "reset"}) {
        SimProcess sim(*misbehave ? std::vector<std::string>{"--uid", "38", "--misbehave", misbehave}
                                  : std::vector<std::string>{"--uid", "34"});
        WriteFile(m_dir / "store.ini", std::string(kStore) + "\n[UCJV]\nPrEnv_UID=38\nPrEnv_Port=" + sim.Address() + "\n");
        auto r = Post("/printer?p=UCJV", "revision=" + Revision("UCJV") + "&c1116=1234");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200) << r->body;
        EXPECT_NE(r->body.find("\"ok\":true,\"revision\":\"" + Revision("UCJV") + "\""), std::string::npos) << r->body;
        const std::string warning = *misbehave ? "\"outcome\":\"not asked\"" : "\"outcome\":\"other model\",\"printerUid\":34";
        EXPECT_NE(r->body.find(warning), std::string::npos) << r->body;
        // Saved whatever the printer said.
        EXPECT_NE(ReadFile(m_dir / "store.ini").find("DP35_nLayerOffset=1234\n"), std::string::npos);
        const std::string lead = *misbehave ? "the printer could not be asked to confirm them: "
                                            : "the printer does not confirm them: the printer is a UJV55 (UID 34), "
                                              "the settings are for a UCJV300 (UID 38)";
        EXPECT_NE(r->body.find("\"messages\":[\"The settings were saved, but " + lead), std::string::npos) << r->body;
        // The page shown next says it once.
        r = m_client->Get((m_base + "/printer?p=UCJV&saved=1").c_str());
        EXPECT_NE(r->body.find("<p class=\"warning\">The settings were saved, but " + lead), std::string::npos);
        r = m_client->Get((m_base + "/printer?p=UCJV&saved=1").c_str());
        EXPECT_EQ(r->body.find("The settings were saved, but "), std::string::npos);
    }
    // No port: the port box, in German too.
    WriteFile(m_dir / "store.ini", std::string(kStore) + "\n[UCJV]\nPrEnv_UID=38\n");
    auto r = Post("/printer?p=UCJV", "revision=" + Revision("UCJV"), {{"Accept-Language", "de"}});
    EXPECT_NE(r->body.find("\"outcome\":\"no port\",\"printerUid\":-1,\"verdict\":-1,\"version\":\"\",\"messages\":["
                           "\"Der Druckeranschluss ist nicht eingerichtet\"]"),
              std::string::npos)
        << r->body;
    // Pages of other models check nothing, and offer no Abort for it.
    r = Post("/printer?p=TS3%20left", "revision=" + Revision() + "&c1031=9");
    EXPECT_EQ(r->body.find("\"check\""), std::string::npos) << r->body;
    r = m_client->Get((m_base + "/printer?p=TS3%20left").c_str());
    EXPECT_EQ(r->body.find("ok-abort"), std::string::npos);
}

TEST_F(PanelServer, AbortEndsTheCheckOfAPrinterThatNeverAnswers)
{
    SimProcess sim({"--uid", "38", "--misbehave", "silent"});
    WriteFile(m_dir / "store.ini", std::string(kStore) + "\n[UCJV]\nPrEnv_UID=38\nPrEnv_Port=" + sim.Address() + "\n");
    auto page = m_client->Get((m_base + "/printer?p=UCJV").c_str());
    const std::string abortPath = m_base + "/api/ok/abort?p=UCJV";
    EXPECT_NE(page->body.find("data-ok-abort=\"" + abortPath + "\""), std::string::npos);
    EXPECT_NE(page->body.find("<button type=\"button\" id=\"ok-abort\">Abort</button>"), std::string::npos);

    // The page's Abort comes on a connection of its own while OK waits
    // for an answer that does not come within the 10 s read timeout.
    m_client->set_read_timeout(std::chrono::seconds(30));
    auto ok = std::async(std::launch::async, [&] { return Post("/printer?p=UCJV", "revision=" + Revision("UCJV") + "&c1116=77"); });
    httplib::Client other("127.0.0.1", m_server->Port());
    std::string aborted;
    for (int i = 0; i < 200 && aborted != "{\"ok\":true,\"aborted\":1}"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        auto a = other.Post(abortPath.c_str(), "", "application/x-www-form-urlencoded");
        aborted = a ? a->body : "";
    }
    EXPECT_EQ(aborted, "{\"ok\":true,\"aborted\":1}");
    ASSERT_EQ(ok.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "OK still waits after Abort";
    const auto r = ok.get();
    ASSERT_TRUE(r);
    EXPECT_NE(r->body.find("\"check\":{\"outcome\":\"aborted\""), std::string::npos) << r->body;
    EXPECT_NE(r->body.find("\"messages\":[]"), std::string::npos) << r->body;
    EXPECT_NE(ReadFile(m_dir / "store.ini").find("DP35_nLayerOffset=77\n"), std::string::npos);
    // Nothing runs for the printer any more.
    EXPECT_EQ(other.Post(abortPath.c_str(), "", "application/x-www-form-urlencoded")->body, "{\"ok\":true,\"aborted\":0}");
}
