// parmtool as an operator uses it: migrating a store in place, showing a
// model's answers, listing its keys, and the failures it reports.
#include <gtest/gtest.h>

#include "host/PrintEnv.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

using namespace testsupport;

namespace {

RunResult Tool(const std::vector<std::string>& args) { return Run(PARMTOOL_EXE, args); }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(Parmtool, SaveMigratesAnOldStoreInPlaceAndKeepsTheRest)
{
    TempDir dir;
    const std::string ini = dir / "printers.ini";
    WriteFile(ini, "[Other]\nkeep=1\n\n[JV100 old]\nPrEnv_UID=48\nJV100_m_nDotSize=2\n"
                   "JV100_m_dDryTimeValue=1.5\nbUseCut=0\nJV100_bCut=1\n");
    const RunResult r = Tool({"save", "--settings", ini, "--printer", "JV100 old", "-o", ini, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "{\"uid\": 48, \"class\": \"DEVPARMJV100_CLASS\", \"saved\": [")) << r.out;
    for (const char* entry : {"[\"JV100_m_nDotSize\", \"-1\"], [\"JV100_m_nDotSizeV2\", \"17\"]",
                              "[\"JV100_m_dDryTimeValue\", \"-1.0\"], [\"JV100_m_dDryTimeValue100Msec\", \"15.00\"]",
                              "[\"bUseCut\", \"0\"]", "[\"JV100_bCut\", \"1\"]", "[\"PrEnv_InkLevels\", \"1\"]"})
        EXPECT_TRUE(Has(r.out, entry)) << entry;

    CPrintEnv back, other;
    std::string error;
    ASSERT_TRUE(back.LoadFromIni(ini, L"JV100 old", error)) << error;
    EXPECT_EQ(back.GetInt(L"JV100_m_nDotSizeV2", 0), 17);
    EXPECT_EQ(back.GetInt(L"bUseCut", 1), 0); // model keys are never rewritten
    ASSERT_TRUE(other.LoadFromIni(ini, L"Other", error)) << error;
    EXPECT_EQ(other.GetInt(L"keep", 0), 1);
    // Saving the migrated store again changes nothing.
    const std::string once = ReadFile(ini);
    ASSERT_EQ(Tool({"save", "--settings", ini, "--printer", "JV100 old", "-o", ini}).status, 0);
    EXPECT_EQ(ReadFile(ini), once);
}

TEST(Parmtool, ShowGivesTheRecordAndTheAnswers)
{
    const RunResult r = Tool({"show", "--uid", "48", "--set", "JV100_bCut=1", "--set", "bUseCut=0", "--set",
                              "JV100_m_bSetRightMargin=1", "--set", "JV100_m_nRightMargin=10", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part : {"\"class\": \"DEVPARMJV100_CLASS\"", "\"bCut\": 1", "\"nXDpi\": 360",
                             "\"GetMediaCut\": 0", "\"JobPrintOptionAvailable\": 0",
                             "\"MediaSizeGetNpMargin\": [10, 0, 0, 0]", "\"bStrObSeq\": 1"})
        EXPECT_TRUE(Has(r.out, part)) << part << "\n" << r.out;
    // The JFX500 rows pick the MK series class by "UJFMkSeries", as Create does.
    EXPECT_TRUE(Has(Tool({"show", "--uid", "41", "--set", "UJFMkSeries=1"}).out, "DEVPARMJFXMKSERIES_CLASS"));
}

TEST(Parmtool, KeysListsWhatLoadReads)
{
    const RunResult r = Tool({"keys", "--uid", "1", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "{\"key\": \"DP1_Unidir\", \"type\": \"int\", \"default\": 1, \"model\": false"));
    EXPECT_TRUE(Has(r.out, "{\"key\": \"DP1_DontSendSet1\", \"type\": \"int\", \"default\": 1"));
    const RunResult adv = Tool({"keys", "--uid", "31"});
    EXPECT_TRUE(Has(adv.out, "bSpecifyMediaFeedQuality  int model  default 0")) << adv.out;
    EXPECT_TRUE(Has(adv.out, "DP30_m_eMediaFeedQuality  int  default 254 (derived)")) << adv.out;
    // The layer lists' keys, once for every layer n.
    EXPECT_TRUE(Has(Tool({"keys", "--uid", "46"}).out,
                    "  DP46_nPowerOff  int  default 0\n  DP46_Layer<n>.nType  int  default 0 (layer n of "
                    "DP46_nNumberOfLayers)\n  DP46_Layer<n>.bMirror  int  default 0 (layer n of"));
    EXPECT_TRUE(Has(Tool({"keys", "--uid", "52"}).out, "  DPCVJ_330_bMirror_<n>  int  default 0 (n = 1 .. "
                                                       "DPCVJ_330_nNumberOfLayers)\n"));
}

TEST(Parmtool, FailuresAreOneLineWithAStatus)
{
    TempDir dir;
    const std::string bad = dir / "bad.ini";
    WriteFile(bad, "[A]\nPrEnv_UID=1\nno equals sign here\n");
    const std::string two = dir / "two.ini";
    WriteFile(two, "[A]\nPrEnv_UID=1\n[B]\nPrEnv_UID=2\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"show", "--uid", "300"}, 1, "unknown UID '300'"},
        {{"show", "--uid", "abc"}, 1, "unknown UID 'abc'"},
        {{"save"}, 1, "no UID"},
        {{"save", "--uid", "1", "--set", "novalue"}, 2, "--set expects KEY=VALUE"},
        {{"save", "--settings", bad}, 1, bad + ":3: expected key=value"},
        {{"save", "--settings", two}, 1, "holds 2 printers (A, B): choose one with --printer"},
        {{"save", "--settings", two, "--printer", "C"}, 1, "no printer section [C]"},
        {{"save", "--settings", dir / "missing.ini"}, 1, "cannot open"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"start", "--uid", "1", "--cut", "5"}, 2, "--cut expects 0 (no cut), 1 (cut) or 2 (the printer's setting), "
                                                   "got '5'"},
        {{"start", "--uid", "1", "--dpi", "x"}, 2, "--dpi expects H or HxV in dots per inch, got 'x'"},
    };
    for (const auto& c : cases) {
        const RunResult r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.message;
        ASSERT_EQ(r.ErrLines().size(), 1u) << r.err;
        EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    }
    // A value that is not a number takes its default, with a warning.
    const RunResult r = Tool({"show", "--uid", "31", "--set", "DP30_nXDpi=7.5", "--set", "SlotsSetting=0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.err, "warning: DP30_nXDpi=7.5 is not a whole number; the default is used")) << r.err;
    EXPECT_TRUE(Has(r.out, "nXDpi: 360"));
}

// The first command family at 360 dpi, by hand: reset, unit 10, "MP" with
// the defaults (banding 4, unidirectional, overprint 1, the cut option's
// default 1 with no automatic cut set, dry times 0); the end feeds 5 mm
// (70 rows at 360 dpi) in command set 0, then form feed and 0xFF.
TEST(Parmtool, StartShowsTheJobsFirstAndLastBytes)
{
    const RunResult r = Tool({"start", "--uid", "1", "--set", "DP1_DontSendSet1=0", "--dpi", "360", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "\"start\": \"1b401b285501000a4d500401010000000000ff\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"end\": \"1b2876020046000cff\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"errors\": []")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"name\": \"MP\"")) << r.out;
    // The job's options as given.
    const RunResult cut = Tool({"start", "--uid", "1", "--set", "DP1_DontSendSet1=0", "--set", "DP1_AutomaticCut=1",
                                "--cut", "2", "--dpi", "720x360", "--json"});
    EXPECT_TRUE(Has(cut.out, "\"start\": \"1b401b28550100054d500401010100000000ff\"")) << cut.out;
}

TEST(Parmtool, LayersListTheKindsOfAJfxModel)
{
    RunResult r = Tool({"layers", "--uid", "25", "--set", "JFXPrinterType=WW", "--set", "JFXLayerMode=INLINE"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "kinds (5):\n  255  None\n    0  Color")) << r.out;
    EXPECT_TRUE(Has(r.out, "basic layers (3): 0 Color, 1 White, 7 Pure UV Irradiation (not supported)")) << r.out;
    r = Tool({"layers", "--uid", "28", "--set", "JFXPrinterType=WW", "--set", "bJFX200=1", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "{\"id\": 28, \"label\": \"Double White+Color\", \"record\": 28, \"reversed\": true, "
                           "\"supported\": true}"))
        << r.out;
    EXPECT_TRUE(Has(r.out, "{\"id\": 8, \"label\": \"White2\", \"supported\": true}")) << r.out;
    r = Tool({"layers", "--uid", "19"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "UID 19 has no JFX layer catalogue")) << r.err;
}

// A job mirrored to a file shows what the file receives; with
// "nRedirectMode" 2 that is all the job sends. Nothing is left behind.
TEST(Parmtool, StartOfAMirroredJobShowsTheMirrorFile)
{
    TempDir dir;
    const RunOptions env("", {"TMPDIR=" + dir.Path(), "MIMAKI_USER_DATA=" + (dir / "user")});
    const RunResult plain = testsupport::Run(PARMTOOL_EXE, {"start", "--uid", "48", "--job-name", "a/b", "--json"}, env);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const std::string bytes = plain.out.substr(plain.out.find("\"start\""), plain.out.find(", \"commands\"") -
                                                                                plain.out.find("\"start\""));
    for (const char* mode : {"1", "2"}) {
        const RunResult r = testsupport::Run(PARMTOOL_EXE,
                                {"start", "--uid", "48", "--job-name", "a/b", "--set",
                                 std::string("nRedirectMode=") + mode, "--json"},
                                env);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Has(r.out, bytes + ", \"mirrorFile\": \"[]a_b_usbmirror.prn\", \"redirectMode\": " + mode))
            << r.out;
    }
    EXPECT_TRUE(dir.List().empty());
}

// The model's definition reaches the parameters but is never written into
// the printer's section.
TEST(Parmtool, TheModelsDefinitionIsReadNotSaved)
{
    TempDir dir;
    const std::string ini = dir / "p.ini";
    WriteFile(ini, "[JV300]\nPrEnv_UID=27\n");
    const RunResult show = Tool({"show", "--settings", ini});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_TRUE(Has(show.out, "GetColorMapValue: {\"0\": 0, \"1\": 2, \"2\": 1, \"3\": 4}")) << show.out;
    ASSERT_EQ(Tool({"save", "--settings", ini, "-o", ini}).status, 0);
    const std::string saved = ReadFile(ini);
    EXPECT_FALSE(Has(saved, "SlotsSetting")) << saved;
    EXPECT_FALSE(Has(saved, "pdLicName")) << saved;
    EXPECT_TRUE(Has(saved, "DP27_m_nPass")) << saved;
}
