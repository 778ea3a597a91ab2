// The tools on both sides of the link: parmtool retrieve with the store it
// writes or leaves alone, rasterjob printing to printersim as it behaves
// and misbehaves, and printersim under load.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "tests/printersim/SimProcess.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

using testsupport::ReadFile;
using testsupport::RunOptions;
using testsupport::RunResult;

namespace {

RunResult Parmtool(std::vector<std::string> args, const RunOptions& options = {})
{
    args.insert(args.begin(), "retrieve");
    return testsupport::Run(Tool("parmtool"), args, options);
}

// A small job of the built-in printer: random dots, so that every seed
// gives another stream.
std::vector<std::string> Job(int seed, int width = 256, int height = 64)
{
    return {"--pattern", "random", "--seed", std::to_string(seed), "--width", std::to_string(width),
            "--height", std::to_string(height), "--quiet"};
}

RunResult Rasterjob(std::vector<std::string> args, const std::vector<std::string>& destination)
{
    args.insert(args.end(), destination.begin(), destination.end());
    return testsupport::Run(Tool("rasterjob"), args, RunOptions({}, {}, 0, 2, 60000));
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

TEST(ParmtoolRetrieve, StoresOnlyWhenTheRetrievalSucceeds)
{
    SimProcess sim({"--uid", "31"});
    SimProcess silent({"--uid", "31", "--misbehave", "silent"});
    SimProcess empty({"--uid", "31", "--misbehave", "empty"});
    testsupport::TempDir dir;
    const std::string ini = dir / "printers.ini";
    const std::string original = "; kept as it is\n[Other]\nPrEnv_UID=1\n\n[TS300P]\nPrEnv_UID=31\nPrEnv_InkSet=SB420-4Z0\n"
                                 "PrEnv_Port=" + sim.Address() + "\n";
    testsupport::WriteFile(ini, original);
    const std::vector<std::string> base{"--settings", ini, "--printer", "TS300P", "--print-modes"};
    auto with = [&base](std::vector<std::string> more) {
        more.insert(more.begin(), base.begin(), base.end());
        return more;
    };
    // The reasons of each misbehaviour are the retrieval's own; here, how
    // parmtool reports one, one without a reason, and the port types.
    struct Failure {
        std::vector<std::string> args;
        std::string line;  // the whole of standard error
        int status;
    };
    const std::vector<Failure> failures = {
        {{"--port", "serial:///dev/ttyS0"},
         "parmtool: This operation is not valid for current port type (\"serial\" ports are neither IP nor USB printer "
         "ports)\n", 1},
        {{"--port", "COM1"},
         "parmtool: This operation is not valid for current port type (\"COM1\" is neither an IP nor a USB printer "
         "port)\n", 1},
        {{"--port", "socket://127.0.0.1:1"},
         "parmtool: Failed to retrieve print mode list: cannot connect to the printer: socket://127.0.0.1:1: Connection "
         "refused\n", 1},
        {{"--port", empty.Address()}, "parmtool: Failed to retrieve print mode list\n", 1},
        {{"--check-settings"}, "parmtool: --print-modes, --dot-volumes and --check-settings exclude each other "
                               "(parmtool retrieve --help shows the usage)\n", 2},
    };
    for (const Failure& f : failures) {
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = Parmtool(with(f.args));
        EXPECT_EQ(r.status, f.status) << f.args.back();
        EXPECT_EQ(r.err, f.line);
        EXPECT_EQ(r.out, "");
        EXPECT_LT(Seconds(start), 5);
        EXPECT_EQ(ReadFile(ini), original) << "the store changed after " << f.args.back();
    }

    // Ctrl-C while the printer keeps silent: the query ends, nothing is kept.
    RunOptions interrupt({}, {}, 500, SIGINT, 20000);
    const auto start = std::chrono::steady_clock::now();
    const RunResult stopped = Parmtool(with({"--port", silent.Address(), "--timeout", "30"}), interrupt);
    EXPECT_EQ(stopped.status, 130);
    EXPECT_EQ(stopped.err, "parmtool: retrieval aborted by SIGINT; nothing stored\n");
    EXPECT_LT(Seconds(start), 5);
    EXPECT_EQ(ReadFile(ini), original);

    const RunResult ok = Parmtool(base);
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out.substr(0, ok.out.find('\n')), "Print modes list successfully retrieved from printer");
    CPrintEnv env;
    std::string error;
    ASSERT_TRUE(env.LoadFromIni(ini, L"TS300P", error)) << error;
    EXPECT_EQ(env.GetString(L"DP30_strPrintModeData", L""),
              EmbeddedPrintModeText(*FindEmbeddedPrintModeEntry(L"PrintModeDataTX300PAllInksets")));
    EXPECT_EQ(env.GetString(L"NewQIDataHasBeenRetrieved", L""), L"1");
    EXPECT_FALSE(env.HasKey(L"PrEnv_InkSet"));
    EXPECT_EQ(env.GetString(L"PrEnv_Port", L""), Utf8ToWide(sim.Address()));
    EXPECT_NE(ReadFile(ini).find("[Other]\nPrEnv_UID=1\n"), std::string::npos);
}

TEST(ParmtoolRetrieve, DotVolumesAsJsonThroughAUsbDeviceStandIn)
{
    SimProcess sim({"--uid", "50", "--pty", "--version", "2.10"});
    testsupport::TempDir dir;
    const std::string ini = dir / "p.ini";
    testsupport::WriteFile(ini, "[TS330]\nPrEnv_UID=50\n");
    const RunResult r = Parmtool({"--settings", ini, "--dot-volumes", "--port", sim.Address(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part : {"\"class\": \"DEVPARMTS330_1600_CLASS\"", "\"portType\": \"MUSB\"", "\"success\": true",
                             "\"stored\": [\"TS330_strDotVolumesData\", \"TS330_m_dCommandManualVersion\"]",
                             "\"commandManualVersion\": 2.1, \"versionFlag\": 1", "\"dotVolumes\": [80, 140, 240, "})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << " in " << r.out;
    EXPECT_NE(ReadFile(ini).find("TS330_m_dCommandManualVersion=2.10\n"), std::string::npos);
    // A model whose page retrieves nothing.
    testsupport::WriteFile(ini, "[JV300]\nPrEnv_UID=27\n");
    const RunResult none = Parmtool({"--settings", ini, "--print-modes"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "parmtool: UID 27 (DEVPARMJV300_CLASS): its settings page retrieves nothing from the printer\n");
}

TEST(ParmtoolRetrieve, SettingsCheckStoresNothingAndSaysWhyNot)
{
    // The UJV55 as its definitions describe it, then a UCJV300's settings.
    SimProcess sim({"--uid", "34", "--version", "3.00"});
    testsupport::TempDir dir;
    const std::string ini = dir / "p.ini";
    const std::string store = "[UJV55]\nPrEnv_UID=34\nDP33_nPrintModeSetNumber=2\nPrEnv_Port=" + sim.Address() +
                              "\n\n[UCJV300]\nPrEnv_UID=38\nPrEnv_Port=" + sim.Address() + "\n";
    testsupport::WriteFile(ini, store);
    RunResult r = Parmtool({"--settings", ini, "--printer", "UJV55", "--check-settings"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "the printer confirmed the settings (command-manual version 3.00)\n");
    r = Parmtool({"--settings", ini, "--printer", "UCJV300", "--check-settings", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"confirmed\": false, \"printerUid\": 34, \"verdict\": 1"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("the printer is a UJV55 (UID 34), the settings are for a UCJV300 (UID 38)"), std::string::npos);
    r = Parmtool({"--settings", ini, "--printer", "UJV55", "--check-settings", "--port", "serial:///dev/ttyS0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "parmtool: This operation is not valid for current port type\n");
    EXPECT_EQ(ReadFile(ini), store);
    EXPECT_EQ(sim.WaitForLines("query C", 2).size(), 2u);
}

TEST(PrinterSim, KeepsEachJobAsRasterjobWroteItToAFile)
{
    testsupport::TempDir dir;
    SimProcess sim({"--uid", "0", "--jobs", dir.Sub("jobs")});
    ASSERT_EQ(Rasterjob(Job(7), {"-o", dir / "ref.prn"}).status, 0);
    const RunResult sent = Rasterjob(Job(7), {"--device", sim.Address()});
    ASSERT_EQ(sent.status, 0) << sent.err;
    const auto lines = sim.WaitForLines("job 1 ", 1);
    ASSERT_EQ(lines.size(), 1u);
    const std::string ref = ReadFile(dir / "ref.prn");
    EXPECT_EQ(ReadFile(dir / "jobs/job-0001.prn"), ref);
    const std::string suffix = ": " + std::to_string(ref.size()) + " bytes, 1 layer, 4 planes, 0 errors; kept " +
                               dir.Path() + "/jobs/job-0001.prn; previews in " + dir.Path() + "/jobs/job-0001";
    EXPECT_EQ(lines[0].substr(lines[0].find(": ")), suffix);
    EXPECT_FALSE(ReadFile(dir / "jobs/job-0001/layer0_composite.png").empty());
}

TEST(PrinterSim, MisbehaviourFailsTheJobWithinItsTimeout)
{
    struct Case {
        std::string misbehave;
        std::vector<std::string> job;
        int status;
        std::string error;   // part of rasterjob's one line
        std::string logged;  // part of printersim's line
    };
    // The large job outgrows the connection's buffers.
    const std::vector<Case> cases = {
        {"close-after:1000", Job(1), 1, "the printer reset the connection before it took the whole job",
         "1000 bytes, 1 layer"},
        {"reset:0", Job(2), 1, "the printer reset the connection", "0 bytes, 1 layer, 0 planes, 1 error"},
        {"stop-reading:5000", Job(3, 6000, 4000), 1, "took no data for 1 s", "printersim stopped reading after 5000 bytes"},
        {"slow-read:2000000", Job(4), 0, "", "0 errors"},
    };
    for (const Case& c : cases) {
        SimProcess sim({"--uid", "0", "--misbehave", c.misbehave});
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = Rasterjob(c.job, {"--device", sim.Address(), "--device-timeout", "1"});
        EXPECT_LT(Seconds(start), 15) << c.misbehave;
        EXPECT_EQ(r.status, c.status) << c.misbehave << ": " << r.err;
        if (c.status) {
            ASSERT_EQ(r.ErrLines().size(), 1u) << r.err;
            EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        }
        if (c.misbehave.rfind("stop-reading", 0) == 0)
            continue;  // the stuck printer holds the job until it is stopped
        const auto lines = sim.WaitForLines("job 1 ", 1);
        ASSERT_EQ(lines.size(), 1u) << c.misbehave;
        EXPECT_NE(lines[0].find(c.logged), std::string::npos) << lines[0];
    }
}

TEST(PrinterSim, TakesTwoHundredJobsInARow)
{
    testsupport::TempDir dir;
    SimProcess sim({"--uid", "0", "--jobs", dir.Sub("jobs")});
    ASSERT_EQ(Rasterjob(Job(9, 64, 16), {"-o", dir / "ref.prn"}).status, 0);
    const std::string ref = ReadFile(dir / "ref.prn");
    int failed = 0;
    for (int i = 0; i < 200; ++i)
        failed += Rasterjob(Job(9, 64, 16), {"--device", sim.Address()}).status != 0;
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(sim.WaitForLines("job ", 200).size(), 200u);
    for (int i = 1; i <= 200; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "jobs/job-%04d.prn", i);
        ASSERT_EQ(ReadFile(dir / name), ref) << name;
    }
}

TEST(PrinterSim, EightClientsAtOnceArePrintedOneAfterAnother)
{
    testsupport::TempDir dir;
    SimProcess sim({"--uid", "0", "--jobs", dir.Sub("jobs"), "--misbehave", "slow-read:4000000"});
    std::vector<std::string> refs;
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(Rasterjob(Job(100 + i, 1024, 256), {"-o", dir / ("ref" + std::to_string(i))}).status, 0);
        refs.push_back(ReadFile(dir / ("ref" + std::to_string(i))));
    }
    std::vector<std::thread> clients;
    std::vector<int> status(8, -1);
    for (int i = 0; i < 8; ++i)
        clients.emplace_back([&, i] { status[i] = Rasterjob(Job(100 + i, 1024, 256), {"--device", sim.Address()}).status; });
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(status, std::vector<int>(8, 0));
    ASSERT_EQ(sim.WaitForLines("job ", 8).size(), 8u);
    std::set<std::size_t> matched;
    for (int i = 1; i <= 8; ++i) {
        const std::string kept = ReadFile(dir / ("jobs/job-000" + std::to_string(i) + ".prn"));
        for (std::size_t r = 0; r < refs.size(); ++r)
            if (kept == refs[r])
                matched.insert(r);
    }
    EXPECT_EQ(matched.size(), 8u) << "a job was lost or mixed with another";
}

TEST(PrinterSim, RefusesBadOptions)
{
    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{}, "--uid N is required"},
             {{"--uid", "256"}, "--uid: expected a model number from 0 to 255"},
             {{"--uid", "1", "--misbehave", "close-after"}, "--misbehave: expected"},
             {{"--uid", "1", "--misbehave", "silent:3"}, "--misbehave: expected"},
             {{"--uid", "1", "--dot-volumes", "0102"}, "--dot-volumes: expected 720 hex digits"},
             {{"--uid", "1", "--absent", "10"}, "--absent: expected ink slots from 0 to 9"},
             {{"--uid", "1", "--version", "1.234"}, "--version: at most 4 characters"},
             {{"--uid", "1", "--pty", "--listen", "127.0.0.1:0"}, "--pty and --listen exclude each other"},
             {{"--uid", "1", "--inks", "0,1,2,3,4,5,6,7,8,9,10"}, "--inks: expected at most 10 colour ids"},
             {{"--uid", "1", "--inks", "256"}, "--inks: expected at most 10 colour ids"},
             {{"--uid", "1", "--verdict", "-1"}, "--verdict: expected 0 to 255"},
             {{"--uid", "1", "--bogus"}, "unknown option '--bogus'"}}) {
        const RunResult r = testsupport::Run(Tool("printersim"), args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    const RunResult embedded = testsupport::Run(Tool("printersim"), {"--uid", "1", "--embedded", "NoSuchBlock"});
    EXPECT_EQ(embedded.status, 1);
    EXPECT_NE(embedded.err.find("no embedded entry \"NoSuchBlock\""), std::string::npos) << embedded.err;
}
