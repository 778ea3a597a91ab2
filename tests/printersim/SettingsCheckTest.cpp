// The settings check of the pages closed with OK: the request worked out by
// hand, the answers judged, and every path against printersim.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "entry/SettingsCheck.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "tests/printersim/SimProcess.h"
#include "tests/support/Bytes.h"

using testsupport::Hex;
using testsupport::ToHex;

namespace {

// A printer of uid as its definitions describe it (data/printer_definitions.ini).
CPrintEnv Printer(int uid, const std::string& port = "")
{
    CPrintEnv env;
    env.PutInt(L"PrEnv_UID", uid);
    env.PutString(L"SlotsSetting", L"0`1`2`3`34`34");
    env.PutString(L"MimakiColorSequence", L"0,2,1,4,254,254");
    if (!port.empty())
        env.PutString(L"PrEnv_Port", Utf8ToWide(port));
    return env;
}

std::string Block(const mimaki::SettingsCheckBlock& b)
{
    return std::string(b.begin(), b.end());
}

mimaki::SettingsCheckBlock FromHex(const std::string& hex)
{
    const std::string bytes = Hex(hex);
    mimaki::SettingsCheckBlock b{};
    EXPECT_EQ(bytes.size(), b.size());
    std::copy(bytes.begin(), bytes.end(), b.begin());
    return b;
}

struct Quiet : IRetrieveListener {
    void OnMessage(int, const std::wstring&) override {}
};

mimaki::SettingsCheck Check(CPrintEnv env, double timeout = 5)
{
    CRetrieveQI query(kConfirmSettings);
    Quiet listener;
    RetrieveOptions options;
    options.timeouts.connect = options.timeouts.io = timeout;
    return mimaki::CheckSettings(query, env.GetInt(L"PrEnv_UID", 0), env, listener, options);
}

} // namespace

TEST(SettingsCheck, PagesAndRequestWorkedOutByHand)
{
    std::ifstream in(std::string(TEST_DATA_DIR) + "/checking_pages.txt");
    std::size_t rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::string page = line.substr(0, line.find('\t')), cls = line.substr(line.find('\t') + 1);
        bool found = false;
        for (const mimaki::CheckingPage& p : mimaki::CheckingPages())
            found |= cls == p.parmsClass && page == p.page;
        EXPECT_TRUE(found) << line;
        ++rows;
    }
    EXPECT_EQ(rows, mimaki::CheckingPages().size());

    // CRC-32 of 00 02 01 04 FE FE is A48D2E52, of 00 02 01 04 3CB6FE2A.
    struct Case {
        int uid;
        const wchar_t* setKey;
        int set;
        const wchar_t* sequence;
        std::uint16_t tag;
        const char* expected;
    };
    for (const Case& c : {Case{38, L"DP35_nPrintModeSetNumber", 5, nullptr, 0x1234, "1B 3F 43 26 06 A48D2E52 0005 1234"},
                          Case{34, L"DP33_nPrintModeSetNumber", 300, L"0,2,1,4", 0xFFFE, "1B 3F 43 22 04 3CB6FE2A 012C FFFE"},
                          // No print-mode set of its own.
                          Case{37, L"DP37_nPrintModeSetNumber", 5, nullptr, 1, "1B 3F 43 25 06 A48D2E52 FFFF 0001"}}) {
        CPrintEnv env = Printer(c.uid);
        env.PutInt(c.setKey, c.set);
        if (c.sequence) {
            env.PutString(L"SlotsSetting", L"0`1`2`3");
            env.PutString(L"MimakiColorSequence", c.sequence);
        }
        mimaki::SettingsCheckBlock request;
        std::string error;
        ASSERT_TRUE(mimaki::BuildSettingsCheck(c.uid, env, c.tag, request, error)) << error;
        EXPECT_EQ(ToHex(Block(request)), ToHex(Hex(c.expected))) << c.uid;
    }
    // No slots: nothing for the printer to check the inks against.
    CPrintEnv bare;
    mimaki::SettingsCheckBlock request;
    std::string error;
    ASSERT_TRUE(mimaki::BuildSettingsCheck(37, bare, 7, request, error));
    EXPECT_EQ(ToHex(Block(request)), ToHex(Hex("1B 3F 43 25 00 00000000 FFFF 0007")));
    // A page that checks nothing.
    EXPECT_FALSE(mimaki::BuildSettingsCheck(31, Printer(31), 1, request, error));
    EXPECT_NE(error.find("checks nothing"), std::string::npos) << error;
    EXPECT_EQ(mimaki::FindCheckingPage(31, Printer(31)), nullptr);
}

TEST(SettingsCheck, AnswersJudged)
{
    const auto request = FromHex("1B 3F 43 26 06 A48D2E52 0005 1234");
    struct Case {
        const char* answer;
        mimaki::CheckOutcome outcome;
        const wchar_t* warning;
    };
    const std::wstring refused = mimaki::kCheckRefusedLead;
    for (const Case& c : {
             Case{"26 00 06 A48D2E52 312E3230 1234", mimaki::CheckOutcome::Confirmed, L""},
             Case{"22 00 06 A48D2E52 312E3230 1234", mimaki::CheckOutcome::OtherModel,
                  L": the printer is a UJV55 (UID 34), the settings are for a UCJV300 (UID 38)"},
             Case{"26 01 06 A48D2E52 312E3230 1234", mimaki::CheckOutcome::OtherModel,
                  L": the printer is a UCJV300 (UID 38), the settings are for a UCJV300 (UID 38)"},
             Case{"26 02 04 3CB6FE2A 312E3230 1234", mimaki::CheckOutcome::Refused,
                  L": it holds other inks in its 4 slots than the settings name for 6"},
             Case{"26 03 06 A48D2E52 312E3230 1234", mimaki::CheckOutcome::Refused,
                  L": it offers no print-mode set 5"},
             Case{"26 09 06 A48D2E52 312E3230 1234", mimaki::CheckOutcome::Refused, L": it refuses them (reason 9)"},
         }) {
        mimaki::SettingsCheck check;
        mimaki::JudgeAnswer(request, FromHex(c.answer), check);
        EXPECT_EQ(check.outcome, c.outcome) << c.answer;
        EXPECT_EQ(check.warning, *c.warning ? refused + c.warning : L"") << c.answer;
        EXPECT_EQ(check.version, "1.20");
    }
    // An answer to another request.
    mimaki::SettingsCheck check;
    mimaki::JudgeAnswer(request, FromHex("26 00 06 A48D2E52 312E3230 1235"), check);
    EXPECT_EQ(check.outcome, mimaki::CheckOutcome::NotAsked);
    EXPECT_EQ(check.warning, std::wstring(mimaki::kCheckNotAskedLead) +
                                 L": the printer's answer belongs to another check (tag 4661, not 4660)");
}

TEST(SettingsCheckWithSim, TheVirtualPrinterJudgesModelInksAndPrintModeSet)
{
    struct Case {
        std::vector<std::string> args;
        int set;
        mimaki::CheckOutcome outcome;
        const wchar_t* reason;
    };
    for (const Case& c : {
             Case{{"--uid", "38", "--version", "2.10"}, 5, mimaki::CheckOutcome::Confirmed, L""},
             Case{{"--uid", "38"}, 7, mimaki::CheckOutcome::Refused, L"no print-mode set 7"},
             Case{{"--uid", "38", "--inks", "0,2,1,4"}, 5, mimaki::CheckOutcome::Refused, L"other inks in its 4 slots"},
             Case{{"--uid", "38", "--verdict", "200"}, 5, mimaki::CheckOutcome::Refused, L"(reason 200)"},
             Case{{"--uid", "34"}, 5, mimaki::CheckOutcome::OtherModel, L"the printer is a UJV55 (UID 34)"},
         }) {
        SimProcess sim(c.args);
        CPrintEnv env = Printer(38, sim.Address());
        env.PutInt(L"DP35_nPrintModeSetNumber", c.set);
        const mimaki::SettingsCheck check = Check(env);
        EXPECT_EQ(check.outcome, c.outcome) << c.args.back() << ": " << WideToUtf8(check.warning);
        EXPECT_NE(check.warning.find(c.reason), std::wstring::npos) << WideToUtf8(check.warning);
        EXPECT_TRUE(check.messages.empty());
        EXPECT_EQ(check.answer[11] << 8 | check.answer[12], check.request[11] << 8 | check.request[12]);
        EXPECT_EQ(check.version, c.args.size() > 2 && c.args[2] == "--version" ? "2.10" : "1.20");
        EXPECT_EQ(sim.WaitForLines("query C", 1).size(), 1u);
    }
}

TEST(SettingsCheckWithSim, PrintersThatCannotBeAskedAndPortsThatAreNone)
{
    struct Case {
        std::vector<std::string> args;
        const wchar_t* reason;
    };
    for (const Case& c : {Case{{"--misbehave", "silent"}, L"no answer from the printer within 1 s"},
                          Case{{"--misbehave", "garbage"}, L"no answer to the query (it begins 0D 0A"},
                          Case{{"--misbehave", "reset:5"}, L"the printer reset the connection"},
                          Case{{"--misbehave", "close-after:10"}, L"closed the connection after 3 of 13 bytes"},
                          Case{{"--misbehave", "empty"}, L"has 0 bytes, not 13"},
                          Case{{"--refuse", "cover open"}, L"the printer cannot answer: cover open"}}) {
        std::vector<std::string> args{"--uid", "38"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess sim(args);
        const auto start = std::chrono::steady_clock::now();
        const mimaki::SettingsCheck check = Check(Printer(38, sim.Address()), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << c.args[1];
        EXPECT_EQ(check.outcome, mimaki::CheckOutcome::NotAsked) << c.args[1];
        EXPECT_EQ(check.warning.rfind(mimaki::kCheckNotAskedLead, 0), 0u);
        EXPECT_NE(check.warning.find(c.reason), std::wstring::npos) << WideToUtf8(check.warning);
    }
    // Nobody at the port: the connection's error.
    mimaki::SettingsCheck check = Check(Printer(38, "socket://127.0.0.1:1"));
    EXPECT_EQ(check.outcome, mimaki::CheckOutcome::NotAsked);
    EXPECT_NE(check.warning.find(L"cannot connect to the printer"), std::wstring::npos) << WideToUtf8(check.warning);

    for (const auto& [port, id, outcome] : std::vector<std::tuple<std::string, int, mimaki::CheckOutcome>>{
             {"serial:///dev/ttyS0", 22065, mimaki::CheckOutcome::BadPortType},
             {"COM2", 22065, mimaki::CheckOutcome::BadPortType},
             {"", 22064, mimaki::CheckOutcome::NoPort}}) {
        check = Check(Printer(34, port));
        EXPECT_EQ(check.outcome, outcome) << port;
        ASSERT_EQ(check.messages.size(), 1u) << port;
        EXPECT_EQ(check.messages[0].first, id);
        EXPECT_EQ(check.messages[0].second, RetrieveMessageText(id));
        EXPECT_TRUE(check.warning.empty());
    }
}
