// Printing with defaults and careless settings: the printer's UID, the job's
// start and end, and jobs whose channels never reach the printer.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "tests/usage/Tools.h"

using namespace usage;

TEST(PrintWithDefaults, SectionWithoutAValidUidIsRefusedWithItsLineByEveryTool)
{
    TempDir dir;
    const struct {
        const char* text;
        const char* where; // file:line
        const char* says;
    } cases[] = {
        {"[P]\nDP1_Unidir=1\n", ":1: ", "PrEnv_UID"},
        {"[P]\nPrEnv_UDI=19\n", ":2: ", "PrEnv_UDI"},
        {"[P]\nPrEnv_UID=nineteen\n", ":2: ", "PrEnv_UID"},
        {"[P]\nPrEnv_UID=256\n", ":2: ", "0 to 255"},
        {"[P]\nPrEnv_UID=-1\n", ":2: ", "0 to 255"},
    };
    int n = 0;
    for (const auto& c : cases) {
        // Appended, not summed: GCC 12's Release build warns about the sum.
        std::string name = std::to_string(n++);
        name.insert(0, 1, 'p').append(".ini");
        const std::string ini = dir / name;
        WriteFile(ini, c.text);
        for (const auto& r : {Rasterjob(SmallJob({"--settings", ini, "-o", dir / "job.prn"})),
                              Parmtool({"show", "--settings", ini}), Parmtool({"start", "--settings", ini}),
                              Parmtool({"save", "--settings", ini, "-o", ini})}) {
            EXPECT_EQ(r.status, 1) << c.text << r.err;
            EXPECT_TRUE(Has(r.err, ini + c.where) && Has(r.err, c.says)) << c.text << r.err;
        }
        EXPECT_EQ(ReadFile(ini), c.text);
    }
    EXPECT_EQ(dir.List().size(), std::size(cases)); // no job was written

    // A comment after the number is no part of it.
    WriteFile(dir / "ok.ini", "[P]\nPrEnv_UID=19 ; UJF3042\n");
    EXPECT_TRUE(Has(Parmtool({"show", "--settings", dir / "ok.ini", "--json"}).out, "\"uid\": 19"));

    // On the command line alike.
    for (const auto& r : {Rasterjob(SmallJob({"--set", "PrEnv_UID=256", "-o", dir / "job.prn"})),
                          Parmtool({"show", "--uid", "256"}), Parmtool({"show", "--set", "PrEnv_UID=300"}),
                          Rasterjob(SmallJob({"--set", "PrEnv_UDI=1", "-o", dir / "job.prn"})),
                          Streamdump({"--uid", "256", dir / "ok.ini"})})
        EXPECT_TRUE(r.status == 1 || r.status == 2) << r.err;
    const RunResult noUid = Rasterjob(SmallJob({"--set", "DP1_Unidir=1", "-o", dir / "job.prn"}));
    EXPECT_EQ(noUid.status, 2) << noUid.err;
    EXPECT_TRUE(Has(noUid.err, "PrEnv_UID")) << noUid.err;
}

TEST(PrintWithDefaults, EveryJobOpensAndClosesWithTheModelsCommands)
{
    TempDir dir;
    const RunResult job =
        Rasterjob(SmallJob({"--set", "PrEnv_UID=36", "--cut", "0", "--job-name", "j", "-o", dir / "j.prn"}));
    ASSERT_EQ(job.status, 0) << job.err;
    const RunResult start = Parmtool({"start", "--uid", "36", "--cut", "0", "--job-name", "j", "--json"});
    ASSERT_EQ(start.status, 0) << start.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(start.out, m, std::regex("\"start\": \"([0-9a-f]+)\", \"end\": \"([0-9a-f]+)\"")));
    std::string hex;
    for (const unsigned char c : ReadFile(dir / "j.prn")) {
        static const char digits[] = "0123456789abcdef";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    EXPECT_EQ(hex.rfind(m[1].str(), 0), 0u) << hex;
    const std::string end = m[2].str();
    EXPECT_EQ(hex.size() >= end.size() ? hex.substr(hex.size() - end.size()) : hex, end);
    // Its job commands are MRL III ("Q@" first), and so are its rows; so
    // for the TS500 on the same plain raster driver.
    EXPECT_EQ(hex.rfind("5140", 0), 0u);
    const RunResult ts500 = Rasterjob(SmallJob({"--set", "PrEnv_UID=23", "-o", dir / "t.prn"}));
    ASSERT_EQ(ts500.status, 0) << ts500.err;
    for (const char* file : {"j.prn", "t.prn"}) {
        const RunResult dump = Streamdump({dir / file});
        EXPECT_TRUE(Has(dump.out, "\nformats: mrl3-")) << file << "\n" << dump.out;
    }
}

TEST(PrintWithDefaults, JobThatPrintsNothingFailsAndNamesTheSetting)
{
    TempDir dir;
    const struct {
        std::vector<std::string> args;
        const char* setting;
    } cases[] = {
        // The JV400's stored white mode of -1 sends only band ends.
        {{"--set", "PrEnv_UID=22", "--channels", "0,1,2,3,34"}, "DP22_m_nWhiteMode"},
        // An empty slot layout: every channel under colour byte 99.
        {{"--set", "PrEnv_UID=30", "--set", "SlotsSetting="}, "SlotsSetting"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--pattern", "random", "-o", dir / "job.prn"});
        const RunResult r = Rasterjob(SmallJob(args));
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(Has(r.err, c.setting)) << r.err;
        EXPECT_TRUE(dir.List().empty());
    }
}

TEST(PrintWithDefaults, DroppedChannelsAreListedWithTheirReason)
{
    TempDir dir;
    // A UJF WV printer with only colour and white layers scheduled drops
    // the varnish channel.
    const RunResult r = Rasterjob(SmallJob({"--set", "PrEnv_UID=19", "--set", "UJFPrinterTyp=2", "--set",
                                            "DP19_nLayer1Mode=3", "--channels", "0,1,2,3,34,30", "--pattern",
                                            "random", "--json", "-o", dir / "job.prn"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\"notPrinted\": \\[\\{\"index\": 5, \"colourCode\": 30, "
                                                     "\"why\": \"[^\"]*DP19_nLayer1Mode=3[^\"]*\"\\}\\]")))
        << r.out;
    // The note says it too, also without --json.
    const RunResult noted = Rasterjob({"--set", "PrEnv_UID=19", "--set", "UJFPrinterTyp=2", "--set",
                                       "DP19_nLayer1Mode=3", "--channels", "0,1,2,3,34,30", "--width", "64",
                                       "--height", "8", "-o", dir / "job.prn"});
    EXPECT_EQ(noted.status, 0) << noted.err;
    EXPECT_TRUE(Has(noted.err, "colour code 30")) << noted.err;

    // The README's layered example prints every ink its text names.
    std::ifstream readme(std::string(MIMAKI_SOURCE_DIR) + "/README.md");
    const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
    const std::string example = "rasterjob --set PrEnv_UID=19 --set UJFPrinterTyp=2 --set DP19_nLayer1Mode=3 --set "
                                "DP19_nLayer2Mode=7 \\\n          --channels 0,1,2,3,34,30";
    ASSERT_TRUE(Has(text, example)) << "the README's example changed";
    const RunResult all = Rasterjob(SmallJob({"--set", "PrEnv_UID=19", "--set", "UJFPrinterTyp=2", "--set",
                                              "DP19_nLayer1Mode=3", "--set", "DP19_nLayer2Mode=7", "--channels",
                                              "0,1,2,3,34,30", "--json", "-o", dir / "job.prn"}));
    EXPECT_TRUE(Has(all.out, "\"notPrinted\": []")) << all.out << all.err;
}

// A limit in the environment that is no size is a usage error, as the
// option's would be.
TEST(PrintWithDefaults, SpoolLimitFromTheEnvironmentThatIsNoSizeIsStatus2)
{
    TempDir dir;
    RunOptions garbage;
    garbage.env = {"MIMAKI_SPOOL_LIMIT=lots"};
    const RunResult r = Rasterjob(SmallJob({"--set", "PrEnv_UID=1", "-o", dir / "job.prn"}), garbage);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(Has(r.err, "MIMAKI_SPOOL_LIMIT")) << r.err;
}
