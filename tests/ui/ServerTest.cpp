// The panel's HTTP layer with bad and good requests, and the program's
// start and stop.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include <httplib.h>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/panel/Panel.h"

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
    std::string Revision()
    {
        auto r = m_client->Get((m_base + "/api/printer?p=TS3%20left").c_str(), {{"Accept", "application/json"}});
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
