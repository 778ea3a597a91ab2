// The retrieval as a library operation: its tables against the quoted ones,
// the dot-volume conversion worked out by hand, and every path against
// printersim over loopback and a pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "entry/MimakiRetrieve.h"
#include "host/Log.h"
#include "host/NetAddress.h"
#include "host/Port.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "tests/printersim/SimProcess.h"
#include "tests/support/Bytes.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

using testsupport::Hex;

namespace {

std::vector<std::vector<std::string>> DataRows(const std::string& file)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(std::string(TEST_DATA_DIR) + "/" + file);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells;
        for (std::size_t at = 0;;) {
            const std::size_t tab = line.find('\t', at);
            cells.push_back(line.substr(at, tab - at));
            if (tab == std::string::npos)
                break;
            at = tab + 1;
        }
        rows.push_back(cells);
    }
    return rows;
}

// A status block as sent: presence flags and big-endian dot volumes of a
// few entries; everything else zero. Entry e = group * 10 + slot.
std::string StatusBlock(std::size_t size, const char* version)
{
    std::string b(std::max<std::size_t>(size, 650), '\0');
    const std::string flags = Hex("01 01 01 00 01 01 01 01 01 01");  // slot 3 not present
    b.replace(280, 10, flags);
    b.replace(290 + 0 * 6, 6, Hex("0050 008C 00F0"));   // kept
    b.replace(290 + 1 * 6, 6, Hex("0000 0001 03E8"));   // 0 dropped; 1 and 1000 kept
    b.replace(290 + 2 * 6, 6, Hex("03E9 FFFF 0100"));   // 1001 and FFFF dropped; 256 kept
    b.replace(290 + 3 * 6, 6, Hex("0050 0050 0050"));   // slot not present
    b.replace(290 + 13 * 6, 6, Hex("0010 0020 0030"));  // group 1, slot 3: not present
    b.replace(290 + 14 * 6, 6, Hex("0010 0020 0030"));  // group 1, slot 4
    b.replace(290 + 59 * 6, 6, Hex("0007 0008 0009"));  // group 5, slot 9
    b.replace(50, std::strlen(version), version);
    b.resize(size);
    return b;
}

// The table the block above gives, little-endian, for its first groups.
std::string ExpectedTable(int groups)
{
    std::string t(360, '\xFF');
    t.replace(0, 6, Hex("5000 8C00 F000"));
    t.replace(6, 6, Hex("FFFF 0100 E803"));
    t.replace(12, 6, Hex("FFFF FFFF 0001"));
    if (groups > 1)
        t.replace(14 * 6, 6, Hex("1000 2000 3000"));
    if (groups > 5)
        t.replace(59 * 6, 6, Hex("0700 0800 0900"));
    return t;
}

std::string ToString(const DotVolumeTable& t)
{
    return std::string(t.begin(), t.end());
}

struct Listener : IRetrieveListener {
    std::vector<std::pair<int, std::wstring>> messages;
    std::function<void()> poll;
    int polls = 0;
    void OnMessage(int id, const std::wstring& text) override { messages.emplace_back(id, text); }
    void OnPoll() override
    {
        ++polls;
        if (poll)
            poll();
    }
};

struct Attempt {
    bool ok = false;
    RetrieveResult result;
    std::vector<std::pair<int, std::wstring>> messages;
    double seconds = 0;
};

// One retrieval of a model's page, as its button runs it.
Attempt Retrieve(int uid, int mode, const std::string& port, CPrintEnv& env, double timeout = 5,
                 const std::function<void(CRetrieveQI&)>& during = {})
{
    env.PutInt(L"PrEnv_UID", uid);
    mimaki::RetrievalTarget target;
    std::string error;
    EXPECT_TRUE(mimaki::FindRetrievalTarget(uid, env, mode, target, error)) << error;
    CRetrieveQI query(mode);
    Listener listener;
    if (during)
        listener.poll = [&] { during(query); };
    RetrieveOptions options;
    options.portName = Utf8ToWide(port);
    options.timeouts.connect = options.timeouts.io = timeout;
    const auto start = std::chrono::steady_clock::now();
    Attempt a;
    a.ok = mimaki::RunRetrieval(query, env, target, listener, options);
    a.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    a.result = query.Result();
    a.messages = listener.messages;
    if (a.ok)
        mimaki::StoreRetrieved(env, target, mode, a.result);
    return a;
}

std::wstring Text(int id)
{
    return RetrieveMessageText(id);
}

} // namespace

TEST(RetrieveTables, MessagesAndPagesAreTheQuotedOnes)
{
    for (const auto& row : DataRows("retrieve_messages.txt")) {
        std::string text;
        for (std::size_t i = 0; i < row[1].size(); ++i) {
            const bool lineBreak = row[1].compare(i, 2, "\\n") == 0;
            text += lineBreak ? '\n' : row[1][i];
            i += lineBreak;
        }
        ASSERT_NE(RetrieveMessageText(std::stoi(row[0])), nullptr) << row[0];
        EXPECT_EQ(WideToUtf8(RetrieveMessageText(std::stoi(row[0]))), text);
    }
    const auto pages = DataRows("retrieval_pages.txt");
    std::size_t matched = 0;
    for (const mimaki::RetrievalPage& page : mimaki::RetrievalPages()) {
        for (const auto& row : pages) {
            if (row[1] == page.parmsClass) {
                ++matched;
                EXPECT_EQ(row[0], page.page);
                EXPECT_EQ(row.size() > 2, page.directStatus) << page.page;
            }
        }
    }
    EXPECT_EQ(matched, pages.size());
    // The one class beyond the page table derives from the JV330's and
    // keeps its page.
    EXPECT_EQ(mimaki::RetrievalPages().size(), pages.size() + 1);
}

TEST(RetrieveTables, DotVolumesAndVersionWorkedOutByHand)
{
    const std::string block = StatusBlock(1024, "1.20");
    DotVolumeTable table;
    ConvertDotVolumes(reinterpret_cast<const BYTE*>(block.data()), 6, table);
    EXPECT_EQ(testsupport::ToHex(ToString(table)), testsupport::ToHex(ExpectedTable(6)));
    ConvertDotVolumes(reinterpret_cast<const BYTE*>(block.data()), 4, table);
    EXPECT_EQ(testsupport::ToHex(ToString(table)), testsupport::ToHex(ExpectedTable(4)));

    struct Case {
        std::size_t size;
        const char* text;
        bool read;
        double version;
        int flag;
    };
    for (const Case& c : {Case{1024, "1.20", true, 1.2, 0}, Case{1024, "2.05", true, 2.05, 1},
                          Case{1024, "9.9", true, 9.9, 1}, Case{1024, "0.50", true, 0.5, 0},
                          Case{52, "3.40", true, 3.0, 1}, Case{50, "2.00", true, 0, 0}, Case{49, "2.00", false, 0, 0}}) {
        const std::string b = StatusBlock(std::max<std::size_t>(c.size, 54), c.text).substr(0, c.size);
        double version = -1;
        int flag = -1;
        EXPECT_EQ(ReadCommandManualVersion(reinterpret_cast<const BYTE*>(b.data()), b.size(), version, flag), c.read);
        if (c.read) {
            EXPECT_DOUBLE_EQ(version, c.version) << c.text << " in " << c.size;
            EXPECT_EQ(flag, c.flag) << c.text;
        }
    }
}

TEST(PortNames, TypeOfEveryKindOfName)
{
    CPortManager manager;
    struct Case {
        const wchar_t* name;
        const wchar_t* type;  // null: no port
    };
    for (const Case& c : {Case{L"socket://192.0.2.10:9100", L"192.0.2.10"}, Case{L"socket://[::1]", L"::1"},
                          Case{L"192.0.2.10", L"192.0.2.10"}, Case{L"fe80::1", L"fe80::1"},
                          Case{L" socket://127.0.0.1:9101/ ", L"127.0.0.1"}, Case{L"usb:///dev/usb/lp0", L"MUSB"},
                          Case{L"/dev/usb/lp1", L"MUSB"}, Case{L"serial:///dev/ttyS0", L"serial"},
                          Case{L"COM1", L"COM1"}, Case{L"LPT2:", L"LPT2"}, Case{L"socket://host:99999", L"socket"},
                          Case{L"usb://lp0", L"usb"}, Case{L"/dev/ttyS0", L"/dev/ttyS0"},
                          Case{L"printer.invalid", L""}, Case{L"", nullptr}, Case{L"  ", nullptr}}) {
        testsupport::LogCapture log;
        EXPECT_EQ(manager.GetPort(c.name) != nullptr, c.type != nullptr) << WideToUtf8(c.name);
        EXPECT_EQ(manager.GetPortInfo(c.name), c.type ? c.type : L"") << WideToUtf8(c.name);
        // A name that is no IP or USB port says why.
        if (c.type && !isValidIpAddress(c.type) && std::wstring(c.type) != L"MUSB") {
            EXPECT_EQ(log.lines.size(), 1u) << WideToUtf8(c.name);
        }
    }
    for (const auto& [text, valid] : std::vector<std::pair<std::wstring, int>>{
             {L"127.0.0.1", 1}, {L"::1", 1}, {L"2001:db8::7", 1}, {L"MUSB", 0}, {L"256.1.1.1", 0},
             {L"printer", 0}, {L"", 0}, {L"1.2.3", 0}})
        EXPECT_EQ(isValidIpAddress(text), valid) << WideToUtf8(text);
}

TEST(RetrieveFromSim, PrintModesOverIPv4AndIPv6)
{
    for (const char* listen : {"127.0.0.1:0", "[::1]:0"}) {
        SimProcess sim({"--uid", "31", "--listen", listen});
        CPrintEnv env;
        env.PutString(L"PrEnv_InkSet", L"SB420-4Z0");
        env.PutString(L"PrEnv_Port", Utf8ToWide(sim.Address()));
        const Attempt a = Retrieve(31, kRetrievePrintModes, "", env);
        ASSERT_TRUE(a.ok) << listen;
        EXPECT_EQ(a.messages, (decltype(a.messages){{kMsgPrintModesRetrieved, Text(kMsgPrintModesRetrieved)}}));
        const std::wstring embedded = EmbeddedPrintModeText(*FindEmbeddedPrintModeEntry(L"PrintModeDataTX300PAllInksets"));
        EXPECT_EQ(env.GetString(L"DP30_strPrintModeData", L""), embedded);
        EXPECT_EQ(a.result.conditions.m_Conditions.size(), 53u);
        EXPECT_FALSE(env.HasKey(L"PrEnv_InkSet"));
        EXPECT_EQ(env.GetInt(L"NewQIDataHasBeenRetrieved", 0), 1);
    }
}

TEST(RetrieveFromSim, DotVolumesThroughAUsbDeviceStandIn)
{
    // TS330: the dialog's read, presence flags and the 1..1000 rule over all
    // six groups, the version stored where the model keeps one.
    const std::string block = StatusBlock(1024, "2.05");
    SimProcess sim({"--uid", "50", "--pty", "--absent", "3", "--version", "2.05", "--dot-volumes",
                    testsupport::ToHex(block.substr(290, 360))});
    ASSERT_EQ(sim.Address().rfind("usb:///dev/pts/", 0), 0u) << sim.Address();
    CPrintEnv env;
    const Attempt a = Retrieve(50, kRetrieveDotVolumes, sim.Address(), env);
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.result.portType, L"MUSB");
    EXPECT_EQ(a.messages, (decltype(a.messages){{kMsgDotVolumesRetrieved, Text(kMsgDotVolumesRetrieved)}}));
    const std::string expected = ExpectedTable(6);
    EXPECT_EQ(env.GetString(L"TS330_strDotVolumesData", L""),
              BinToHexString(reinterpret_cast<const BYTE*>(expected.data()), expected.size()));
    EXPECT_EQ(env.GetString(L"TS330_m_dCommandManualVersion", L""), L"2.05");
    EXPECT_EQ(a.result.versionFlag, 1);

    // A block of 40 bytes: every volume missing, the version left alone.
    SimProcess shortSim({"--uid", "50", "--status-size", "40"});
    env.PutString(L"TS330_m_dCommandManualVersion", L"1.50");
    const Attempt b = Retrieve(50, kRetrieveDotVolumes, shortSim.Address(), env);
    ASSERT_TRUE(b.ok);
    EXPECT_FALSE(b.result.versionRead);
    EXPECT_EQ(env.GetString(L"TS330_strDotVolumesData", L""), std::wstring(720, L'F'));
    EXPECT_EQ(env.GetString(L"TS330_m_dCommandManualVersion", L""), L"1.50");
}

TEST(RetrieveFromSim, DirectStatusReadTakesFourGroupsOrTheInkVolumes)
{
    const std::string block = StatusBlock(1024, "1.20");
    SimProcess sim({"--uid", "43", "--absent", "3", "--dot-volumes", testsupport::ToHex(block.substr(290, 360))});
    CPrintEnv env;
    const Attempt a = Retrieve(43, kRetrieveDotVolumes, sim.Address(), env);
    ASSERT_TRUE(a.ok);
    EXPECT_FALSE(a.result.fromInkVolume);
    EXPECT_EQ(testsupport::ToHex(ToString(a.result.dotVolumes)), testsupport::ToHex(ExpectedTable(4)));
    EXPECT_NE(sim.WaitForLines("query S", 1).size(), 0u);

    // No block (nobody at the port): PrEnv_InkVolume times ten, or failure.
    const std::string nobody = "socket://127.0.0.1:1";
    env.PutString(L"PrEnv_InkVolume", L"6,20,12.5,6");
    const Attempt b = Retrieve(43, kRetrieveDotVolumes, nobody, env);
    ASSERT_TRUE(b.ok);
    EXPECT_TRUE(b.result.fromInkVolume);
    EXPECT_EQ(testsupport::ToHex(ToString(b.result.dotVolumes).substr(0, 10)), testsupport::ToHex(Hex("3C00 C800 7D00 3C00 FFFF")));
    env.DeleteEntry(L"PrEnv_InkVolume");
    const std::wstring before = env.GetString(L"DPCVJ_300_PLUS_strDotVolumesData", L"");
    const Attempt c = Retrieve(43, kRetrieveDotVolumes, nobody, env);
    EXPECT_FALSE(c.ok);
    ASSERT_EQ(c.messages.size(), 1u);
    EXPECT_EQ(c.messages[0].second.rfind(Text(kMsgDotVolumesFailed) + L"\r\ncannot connect to the printer: ", 0), 0u);
    EXPECT_EQ(env.GetString(L"DPCVJ_300_PLUS_strDotVolumesData", L""), before);
}

TEST(RetrieveFromSim, PortsThatCannotBeAskedAreRefusedBeforeAnyConnection)
{
    for (const auto& [port, id] : std::vector<std::pair<std::string, int>>{{"serial:///dev/ttyS0", kMsgInvalidPortType},
                                                                           {"COM1", kMsgInvalidPortType},
                                                                           {"", kMsgPortNotConfigured}}) {
        CPrintEnv env;
        const Attempt a = Retrieve(31, kRetrievePrintModes, port, env);
        EXPECT_FALSE(a.ok);
        EXPECT_EQ(a.messages, (decltype(a.messages){{id, Text(id)}})) << port;
        EXPECT_FALSE(env.HasKey(L"NewQIDataHasBeenRetrieved"));
    }
}

TEST(RetrieveFromSim, PortMessagesJoinTheFailureReport)
{
    SimProcess sim({"--uid", "31", "--message", "A", "--message", "B", "--misbehave", "empty"});
    CPrintEnv env;
    const Attempt a = Retrieve(31, kRetrievePrintModes, sim.Address(), env);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.messages, (decltype(a.messages){{kMsgPrintModesFailed, L"Failed to retrieve print mode list\r\nA\nB"}}));
    EXPECT_FALSE(env.HasKey(L"NewQIDataHasBeenRetrieved"));

    SimProcess status({"--uid", "31", "--status-text", "Cover open", "--message", "M", "--misbehave", "empty"});
    const Attempt b = Retrieve(31, kRetrieveDotVolumes, status.Address(), env);
    EXPECT_EQ(b.messages, (decltype(b.messages){{kMsgDotVolumesFailed, L"Failed to retrieve dot volumes\r\nCover open: M"}}));
}

TEST(RetrieveFromSim, AbortEndsTheQueryAtOnce)
{
    // A printer that never answers: only the abort ends the wait.
    for (const bool withMessage : {false, true}) {
        std::vector<std::string> args{"--uid", "31", "--misbehave", "silent"};
        if (withMessage)
            args.insert(args.end(), {"--message", "A"});
        // The abort comes from another thread, as from a window's button.
        std::thread aborter;
        SimProcess sim(args);
        CPrintEnv env;
        const Attempt a = Retrieve(31, kRetrievePrintModes, sim.Address(), env, 60, [&](CRetrieveQI& q) {
            if (!aborter.joinable())
                aborter = std::thread([&q] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    q.Abort();
                });
        });
        aborter.join();
        EXPECT_FALSE(a.ok);
        EXPECT_TRUE(a.result.aborted);
        EXPECT_LT(a.seconds, 5);
        if (withMessage)
            EXPECT_EQ(a.messages, (decltype(a.messages){{kMsgPrintModesFailed, Text(kMsgPrintModesFailed) + L"\r\nA"}}));
        else
            EXPECT_TRUE(a.messages.empty());
        EXPECT_FALSE(env.HasKey(L"NewQIDataHasBeenRetrieved"));
    }
}

TEST(RetrieveFromSim, EveryMisbehaviourEndsWithItsReason)
{
    testsupport::TempDir dir;
    const std::string bad = dir / "bad.hex";
    // A header whose kind byte is wrong: the printer's data do not analyse.
    testsupport::WriteFile(bad, "51 49 0B 21 02 01 00 00 01 00 4A 00 00 00" + std::string(148, '0'));
    struct Case {
        std::vector<std::string> args;
        std::wstring reason;
        std::vector<int> ids;
    };
    const std::vector<Case> cases = {
        {{"--misbehave", "close-after:100"}, L"the printer closed the connection after 93 of 6452 bytes", {kMsgPrintModesFailed}},
        {{"--misbehave", "reset:100"},
         L"the printer reset the connection (Connection reset by peer)",
         {kMsgPrintModesFailed}},
        {{"--misbehave", "garbage"}, L"no answer to the query (it begins 0D 0A 47 41 52 42 41)", {kMsgPrintModesFailed}},
        {{"--misbehave", "silent"}, L"no answer from the printer within 1 s", {kMsgPrintModesFailed}},
        {{"--refuse", "busy printing"}, L"the printer cannot answer: busy printing", {kMsgPrintModesFailed}},
        {{"--uid", "50"}, L"has no print-condition data", {kMsgPrintModesFailed}},
        {{"--block", bad}, L"", {kMsgPrintModesUnparsable, kMsgPrintModesFailed}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--uid", "31"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess sim(args);
        CPrintEnv env;
        env.PutString(L"PrEnv_InkSet", L"X");
        const Attempt a = Retrieve(31, kRetrievePrintModes, sim.Address(), env, 1);
        EXPECT_FALSE(a.ok) << c.args.back();
        EXPECT_LT(a.seconds, 4) << c.args.back();
        ASSERT_EQ(a.messages.size(), c.ids.size()) << c.args.back();
        EXPECT_EQ(a.messages.back().first, c.ids.back());
        EXPECT_NE(a.messages.back().second.find(c.reason), std::wstring::npos) << WideToUtf8(a.messages.back().second);
        // Nothing stored.
        EXPECT_EQ(env.GetString(L"PrEnv_InkSet", L""), L"X");
        EXPECT_FALSE(env.HasKey(L"DP30_strPrintModeData"));
        EXPECT_FALSE(env.HasKey(L"NewQIDataHasBeenRetrieved"));
    }
}

TEST(RetrieveFromSim, FiveHundredRetrievalsLeaveNoDescriptorOrThread)
{
    SimProcess sim({"--uid", "43", "--quiet"});
    CPrintEnv env;
    Retrieve(43, kRetrievePrintModes, sim.Address(), env);  // first-use allocations of the libraries
    const std::size_t fds = CountEntries("/proc/self/fd"), threads = CountEntries("/proc/self/task");
    int ok = 0;
    for (int i = 0; i < 500; ++i)
        ok += Retrieve(43, i % 2 ? kRetrievePrintModes : kRetrieveDotVolumes, sim.Address(), env).ok;
    EXPECT_EQ(ok, 500);
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

TEST(RetrieveFromSim, LoggingLevelEightWritesTheDiagnosticFile)
{
    testsupport::TempDir dir;
    testsupport::LogCapture log(8);
    CVoLogReporter::SetLogFolder(dir.Path());
    SimProcess sim({"--uid", "43", "--message", "Ink low"});
    CPrintEnv env;
    env.PutString(L"pdLicName", L"CJV300/PLUS");
    env.PutString(L"AllowedInksetList", L"SS21-4");
    ASSERT_TRUE(Retrieve(43, kRetrievePrintModes, sim.Address(), env).ok);
    CVoLogReporter::SetLogFolder("");
    const auto lines = log.Normalized();
    const std::vector<std::string> expected = {
        "CRetrieveQIDlg::LaunchQueryThread#L: Trying to open Mimaki port in data mode",
        "CRetrieveQIDlg::LaunchQueryThread#L: Trying to retrieve printer specific data (pdLicName=CJV300_PLUS; "
        "inksetList=SS21-4)",
        "!!!CRetrieveQIDlg::OnNotifyPort#L: Message received from Mimaki port: \"Ink low\"\n"};
    for (const std::string& line : expected)
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    const std::string file = testsupport::ReadFile(dir / "print_condition_CJV300_PLUS_SS21-4.txt");
    EXPECT_EQ(file.rfind("PrintMethodList=", 0), 0u) << file;
    EXPECT_NE(file.find("/*PrintModeDataCJV300_PLUS_SS21-4=*/ \"" + WideToUtf8(env.GetString(L"DPCVJ_300_PLUS_strPrintModeData", L"")) + "\",\n"),
              std::string::npos);
}
