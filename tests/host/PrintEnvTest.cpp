#include "host/PrintEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

#include "host/StrUtil.h"
#include "tests/support/TempDir.h"

using namespace testsupport;

namespace {

const std::string kStoreText = "[Printer A]\nDP30_nXDpi=720\n";

} // namespace

TEST(PrintEnv, MissingKeysGiveTheDefault)
{
    CPrintEnv env;
    EXPECT_EQ(env.GetInt(L"DP30_nXDpi", 360), 360);
    EXPECT_EQ(env.GetInt(L"DP30_nXDpi", -1), -1);
    EXPECT_EQ(env.GetString(L"DP30_strPrintModeData", L"dflt"), L"dflt");
    EXPECT_EQ(env.GetString(L"DP30_strPrintModeData", nullptr), L"");
    EXPECT_FALSE(env.HasKey(L"DP30_nXDpi"));
}

TEST(PrintEnv, IntegerTexts)
{
    CPrintEnv env;
    const struct {
        const wchar_t* text;
        int expected;
    } cases[] = {
        {L"720", 720},
        {L"-5", -5},
        {L"+7", 7},
        {L"007", 7},
        {L"  42\t", 42},
        {L"0x1F", 31},
        {L"0XfF", 255},
        {L"-0x10", -16},
        {L"0xFFFFFFFF", -1},        // a 32-bit pattern
        {L"0x80000000", -2147483647 - 1},
        {L"2147483647", 2147483647},
        {L"-2147483648", -2147483647 - 1},
        // Anything else reads as the default (99).
        {L"", 99},
        {L" ", 99},
        {L"abc", 99},
        {L"1.5", 99},
        {L"12abc", 99},
        {L"1 2", 99},
        {L"-", 99},
        {L"0x", 99},
        {L"0xG1", 99},
        {L"--1", 99},
        {L"2147483648", 99},
        {L"-2147483649", 99},
        {L"4294967296", 99},
        {L"0x100000000", 99},
        {L"99999999999999999999999", 99},
    };
    for (const auto& c : cases) {
        env.PutString(L"k", c.text);
        EXPECT_EQ(env.GetInt(L"k", 99), c.expected) << '"' << WideToUtf8(c.text) << '"';
    }
}

TEST(PrintEnv, KeysIgnoreCase)
{
    CPrintEnv env;
    env.PutInt(L"DP30_nXDpi", 720);
    EXPECT_EQ(env.GetInt(L"dp30_nxdpi", 0), 720);
    EXPECT_EQ(env.GetInt(L"DP30_NXDPI", 0), 720);
    EXPECT_TRUE(env.HasKey(L"Dp30_NxDpI"));
    // A write under another spelling replaces the value; one entry remains.
    env.PutString(L"DP30_NXDPI", L"1440");
    EXPECT_EQ(env.GetInt(L"DP30_nXDpi", 0), 1440);
    EXPECT_EQ(env.Values().size(), 1u);
    env.DeleteEntry(L"dp30_nxdpi");
    EXPECT_FALSE(env.HasKey(L"DP30_nXDpi"));
    // Letters beyond ASCII fold too.
    env.PutString(L"caf\u00e9", L"1");
    EXPECT_TRUE(env.HasKey(L"CAF\u00c9"));
    EXPECT_FALSE(env.HasKey(L"CAFE"));
}

TEST(PrintEnv, EntriesKeepTheOrderOfTheirLastWrite)
{
    CPrintEnv env;
    env.PutInt(L"a", 1);
    env.PutInt(L"b", 2);
    env.PutInt(L"c", 3);
    env.PutInt(L"A", 4); // rewritten under another spelling: moves last, first spelling kept
    env.DeleteEntry(L"b");
    env.PutInt(L"b", 5);
    const std::vector<CDeviceEnv::Entry> expected = {{L"c", L"3"}, {L"a", L"4"}, {L"b", L"5"}};
    EXPECT_EQ(env.Values(), expected);
    // Many rewrites of a few keys keep one live entry each.
    for (int i = 0; i < 1000; ++i)
        env.PutInt(i % 2 ? L"a" : L"c", i);
    const std::vector<CDeviceEnv::Entry> after = {{L"b", L"5"}, {L"c", L"998"}, {L"a", L"999"}};
    EXPECT_EQ(env.Values(), after);
    EXPECT_EQ(env.GetInt(L"C", 0), 998);
    // A key must have a name: an empty one is not stored.
    env.PutInt(L"", 1);
    EXPECT_EQ(env.Count(), 3u);
}

TEST(PrintEnv, TextsThatAreNoIntegersAreNotedOnce)
{
    CPrintEnv env;
    env.PutString(L"nFunctModeId", L"2.5");
    env.PutString(L"Empty", L"");
    env.PutString(L"Good", L"7");
    EXPECT_EQ(env.GetInt(L"nFunctModeId", 4), 4);
    EXPECT_EQ(env.GetInt(L"NFUNCTMODEID", 3), 3);
    EXPECT_EQ(env.GetInt(L"Empty", 1), 1);
    EXPECT_EQ(env.GetInt(L"Good", 1), 7);
    EXPECT_EQ(env.GetInt(L"Missing", 1), 1);
    ASSERT_EQ(env.BadValues().size(), 1u);
    EXPECT_EQ(env.BadValues()[0].key, L"nFunctModeId");
    EXPECT_EQ(env.BadValues()[0].text, L"2.5");
}

TEST(PrintEnv, PutGetDelete)
{
    CPrintEnv env;
    env.PutInt(L"a", -12);
    EXPECT_EQ(env.GetString(L"a", L""), L"-12");
    env.PutString(L"b", L"x`y`z");
    EXPECT_EQ(env.GetString(L"b", L""), L"x`y`z");
    env.PutString(L"b", nullptr);
    EXPECT_TRUE(env.HasKey(L"b"));
    EXPECT_EQ(env.GetString(L"b", L"d"), L"");
    EXPECT_EQ(env.GetInt(L"b", 4), 4);
    env.DeleteEntry(L"b");
    EXPECT_EQ(env.GetString(L"b", L"d"), L"d");
    env.DeleteEntry(L"never there");
    EXPECT_EQ(env.Values().size(), 1u);
}

TEST(PrintEnv, SectionEntries)
{
    CPrintEnv env;
    // Defaults of the entries.
    EXPECT_EQ(env.GetInt(PrEnv_UID), 0);
    EXPECT_EQ(env.GetInt(PrEnv_InkLevels), 1);
    EXPECT_EQ(env.GetInklevelsFromParms(), 1);
    EXPECT_EQ(env.GetString(PrEnv_AbortCommand), L"");
    EXPECT_EQ(env.GetString(PrEnv_SlotsSettingDefault), L"");
    // Entries live under their own names, so they read like any key.
    env.PutInt(PrEnv_DpiHorz, 1440);
    EXPECT_EQ(env.GetInt(L"PrEnv_DpiHorz", 0), 1440);
    EXPECT_EQ(env.GetInt(PrEnv_DpiHorz), 1440);
    env.PutString(L"prenv_abortcommand", L"\\033A");
    EXPECT_EQ(env.GetString(PrEnv_AbortCommand), L"\\033A");
    env.PutString(PrEnv_MaxMediaLengthMm, L"5000.0");
    EXPECT_EQ(env.GetString(PrEnv_MaxMediaLengthMm), L"5000.0");
    env.PutString(PrEnv_InkLevels, L"three");
    EXPECT_EQ(env.GetInt(PrEnv_InkLevels), 1);
    env.PutInt(PrEnv_InkLevels, 3);
    EXPECT_EQ(env.GetInklevelsFromParms(), 3);
    env.PutString(PrEnv_PrintMethod, L"Fast");
    env.DeleteEntry(PrEnv_PrintMethod);
    EXPECT_FALSE(env.HasKey(L"PrEnv_PrintMethod"));
}

TEST(PrintEnvIni, EveryKeyAndValueSurvivesSaveAndLoad)
{
    TempDir dir;
    const std::string path = dir / "printers.ini";
    CPrintEnv env(L"Mimaki [JV300] = #1");
    const std::pair<std::wstring, std::wstring> entries[] = {
        {L"DP35_\"LP1_IDS\"", L"\"quoted\""},
        {L"$Parms$Fast", L"1,2,3,4,5,1"},
        {L"%x", L"%s%n%d"},
        {L"eq", L"c=d=e"},
        {L"semi", L";not a comment"},
        {L"hash", L"a #not a comment"},
        {L"quote", L"\"half"},
        {L"bracket]", L"[not a section]"},
        {L"x]", L"]"},
        {L"SlotsSetting", L"1`2`3`4"},
        {L"back\\slash\\", L"C:\\temp\\new\\x41\\"},
        {L"tab\tkey", L"\tv\t"},
        {L"inner spaced key", L"  two leading and trailing  "},
        {L"blank", L" "},
        {L"k\u00e9y \u65e5\u672c", L"\u00e9t\u00e9 \u65e5\u672c\U0001F600"},
        {L"empty", L""},
        {L"ctrl", std::wstring(L"a\x01\x1B\x7F" L"b")},
        {L"DP30_strDotVolumesData", std::wstring(720, L'F')},
        {L"dot.member", L"DP28_nLayerOptWhite.nUVPolicyLeft"},
    };
    for (const auto& [k, v] : entries)
        env.PutString(k.c_str(), v.c_str());
    std::string error;
    ASSERT_TRUE(env.SaveToIni(path, error)) << error;

    CPrintEnv back;
    ASSERT_TRUE(back.LoadFromIni(path, L"Mimaki [JV300] = #1", error)) << error;
    EXPECT_EQ(back.Name(), L"Mimaki [JV300] = #1");
    EXPECT_EQ(back.Values().size(), std::size(entries));
    for (const auto& [k, v] : entries) {
        ASSERT_TRUE(back.HasKey(k.c_str()));
        EXPECT_EQ(back.GetString(k.c_str(), L"missing"), v);
    }
    EXPECT_EQ(back.Values(), env.Values());
    EXPECT_EQ(dir.List(), std::vector<std::string>{"printers.ini"});

    // What an INI line cannot hold is refused, naming it; the file stays.
    const std::string before = ReadFile(path);
    for (const auto& [k, v] : {std::pair<std::wstring, std::wstring>{L"line", L"one\ntwo"}, {L"a=b", L"1"},
                               {L";semi", L"1"}, {L" spaced", L"1"}, {L"cr", L"x\r"}}) {
        CPrintEnv bad(L"Mimaki [JV300] = #1");
        bad.PutString(k.c_str(), v);
        EXPECT_FALSE(bad.SaveToIni(path, error));
        EXPECT_NE(error.find(path + ": [Mimaki [JV300] = #1]: "), std::string::npos) << error;
        EXPECT_EQ(ReadFile(path), before);
    }
}

TEST(PrintEnvIni, SavingOneSectionKeepsTheOthers)
{
    TempDir dir;
    const std::string path = dir / "printers.ini";
    CPrintEnv a(L"A"), b(L"B"), c(L"C");
    a.PutInt(L"UID", 1);
    b.PutInt(L"UID", 2);
    b.PutString(L"odd", L"=;#[]");
    c.PutInt(L"UID", 3);
    std::string error;
    // Each save replaces the file whole, leaving no temporary behind; B
    // rewritten with fewer keys loses its old keys, A and C stay.
    const auto save = [&](CPrintEnv& e) {
        ASSERT_TRUE(e.SaveToIni(path, error)) << error;
        EXPECT_EQ(dir.List(), std::vector<std::string>{"printers.ini"});
    };
    save(a);
    save(b);
    save(c);
    b.Clear();
    b.PutInt(L"UID", 22);
    save(b);

    for (const auto& [name, uid] : {std::pair{L"A", 1}, {L"B", 22}, {L"C", 3}}) {
        CPrintEnv e;
        ASSERT_TRUE(e.LoadFromIni(path, name, error)) << error;
        EXPECT_EQ(e.GetInt(L"UID", 0), uid);
        EXPECT_EQ(e.Values().size(), 1u);
    }
    // Section names compare like keys.
    CPrintEnv lower;
    EXPECT_TRUE(lower.LoadFromIni(path, L"a", error)) << error;
    EXPECT_EQ(lower.GetInt(L"uid", 0), 1);
    // A missing section is reported and changes nothing.
    lower.PutInt(L"keep", 5);
    EXPECT_FALSE(lower.LoadFromIni(path, L"D", error));
    EXPECT_NE(error.find(path), std::string::npos);
    EXPECT_EQ(lower.GetInt(L"keep", 0), 5);
}

TEST(PrintEnvIni, ReadsHandWrittenFiles)
{
    TempDir dir;
    const std::string path = dir / "hand.ini";
    WriteFile(path, "\xEF\xBB\xBF; comment\r\n# another\r\n\r\n  [P1]  \r\n"
                    "  DP30_nXDpi = 720  ; from the panel\r\npath = C:\\new\\test\\x41 # kept as typed\r\n"
                    "name=caf\xC3\xA9\r\nq = \"  padded ; not a comment \" ; a comment\r\nurl=a#b;c\r\n"
                    "dup=1\r\nDUP=2\r\n[P2] ; the other one\nx=1\n[p1]\nlate=yes");
    CPrintEnv env;
    std::string error;
    ASSERT_TRUE(env.LoadFromIni(path, L"P1", error)) << error;
    EXPECT_EQ(env.GetInt(L"DP30_nXDpi", 0), 720);
    EXPECT_EQ(env.GetString(L"path", L""), L"C:\\new\\test\\x41");
    EXPECT_EQ(env.GetString(L"q", L""), L"  padded ; not a comment ");
    EXPECT_EQ(env.GetString(L"url", L""), L"a#b;c");
    EXPECT_EQ(env.GetString(L"name", L""), L"caf\u00e9");
    EXPECT_EQ(env.GetInt(L"dup", 0), 2);
    EXPECT_EQ(env.GetString(L"late", L""), L"yes");
    EXPECT_FALSE(env.HasKey(L"x"));
}

TEST(PrintEnvIni, MalformedFilesAreReportedAndChangeNothing)
{
    TempDir dir;
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"[P]\nok=1\n[bad header\n", 3},
        {"[P]\nok=1\n[bad]trailing\n", 3},
        {"[P]\n\nno equals sign\n", 3},
        {"; header comment\nk=1\n[P]\n", 2},
        {"[P]\n=value\n", 2},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = dir / ("bad" + std::to_string(n++) + ".ini");
        WriteFile(path, c.text);
        CPrintEnv env(L"P");
        env.PutInt(L"before", 1);
        std::string error;
        EXPECT_FALSE(env.LoadFromIni(path, L"P", error)) << c.text;
        EXPECT_EQ(error.rfind(path + ":" + std::to_string(c.line) + ": ", 0), 0u) << error;
        EXPECT_EQ(env.Values().size(), 1u);
        EXPECT_EQ(env.GetInt(L"before", 0), 1);
        // Saving into a file that cannot be read would lose its other
        // sections: refused, and the file stays as it was.
        EXPECT_FALSE(env.SaveToIni(path, error));
        EXPECT_EQ(ReadFile(path), c.text);
    }
    CPrintEnv env;
    std::string error;
    EXPECT_FALSE(env.LoadFromIni(dir / "absent.ini", L"P", error));
    EXPECT_NE(error.find("absent.ini"), std::string::npos);
}

TEST(PrintEnvIni, FailedSaveKeepsTheOldFile)
{
    TempDir dir;
    std::string error;

    // The target is a directory.
    const std::string asDir = dir / "store.ini";
    std::filesystem::create_directory(asDir);
    CPrintEnv env(L"P");
    env.PutInt(L"k", 1);
    EXPECT_FALSE(env.SaveToIni(asDir, error));
    EXPECT_NE(error.find(asDir), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(EISDIR)), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(asDir));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"store.ini"});

    // The folder does not exist.
    error.clear();
    EXPECT_FALSE(env.SaveToIni(dir / "no/such/folder.ini", error));
    EXPECT_NE(error.find("no/such/folder.ini"), std::string::npos) << error;

    // The disk fills up while writing: the old file stays, no temporary.
    const std::string path = dir / "full.ini";
    WriteFile(path, kStoreText);
    env.PutString(L"big", std::wstring(100000, L'x'));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = env.SaveToIni(path, error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), kStoreText);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"full.ini", "store.ini"}));
}

TEST(PrintEnvIni, UnwritableFolderKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    TempDir dir;
    const std::string sub = dir / "ro";
    std::filesystem::create_directory(sub);
    const std::string path = sub + "/p.ini";
    WriteFile(path, kStoreText);
    std::filesystem::permissions(sub, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    CPrintEnv env(L"Printer A");
    env.PutInt(L"DP30_nXDpi", 1440);
    std::string error;
    EXPECT_FALSE(env.SaveToIni(path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), kStoreText);
    std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
}

TEST(PrintEnvIni, WriteFileAtomically)
{
    TempDir dir;
    const std::string path = dir / "data.bin";
    const std::string data("\0\x01\xFFtext\n", 8);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, data, error)) << error;
    EXPECT_EQ(ReadFile(path), data);
    ASSERT_TRUE(WriteFileAtomically(path, "", error)) << error;
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"data.bin"});

    // The message names the step that failed, whatever errno held before.
    const std::string target = dir / "a folder";
    std::filesystem::create_directory(target);
    errno = ENOENT;
    EXPECT_FALSE(WriteFileAtomically(target, data, error));
    EXPECT_NE(error.find(target), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(EISDIR)), std::string::npos) << error;
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a folder", "data.bin"}));
}
