// Whole streams of small jobs through rasterjob and the real plug-in, one
// model of each command family: job start, rows, feeds and job end compared
// byte for byte with the stream worked out by hand from the command
// descriptions; the job data rasterjob passes (cut option, job name, print
// method) checked where the stream shows them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Harness.h"
#include "host/Log.h"
#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/UnivDevParmsBase.h"
#include "tests/support/Bytes.h"
#include "tools/common/PrinterDefinitions.h"
#include "tools/rasterjob/Plugin.h"
#include "tools/streamdump/StreamParser.h"

using namespace rjtest;
using testsupport::Hex;
using testsupport::ToHex;

namespace {

const std::string kPlugin = MIMAKI_PLUGIN_PATH;

// Channel images, 16 pixels wide, 3 rows: black has ink in rows 0 and 2
// (row 2 ends in zero bytes, which the host leaves out), the second
// channel only in row 2; row 1 is blank in both and goes out as a feed.
const char kBlackPbm[] = "P1\n16 3\n1111000000001111\n0000000000000000\n1000000000000000\n";
const char kOtherPbm[] = "P1\n16 3\n0000000000000000\n0000000000000000\n0000000011111111\n";

struct Job {
    RunResult run;
    std::string stream;
};

Job RunJob(const TempDir& dir, const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    std::vector<std::string> all = {"--plugin", kPlugin, "-q", "-o", "job.prn"};
    all.insert(all.end(), args.begin(), args.end());
    Job job;
    job.run = testsupport::Run(RASTERJOB_EXE, all, {dir.Path(), env});
    job.stream = ReadFile(dir / "job.prn");
    return job;
}

std::vector<std::string> TwoChannels(const TempDir& dir, const std::string& codes)
{
    WriteFile(dir / "k.pbm", kBlackPbm);
    WriteFile(dir / "o.pbm", kOtherPbm);
    return {"--input", "k.pbm", "--input", "o.pbm", "--channels", codes, "--bits", "1", "--no-compress"};
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The parameters of the first job command of that name, as streamdump names them.
std::string ParamsOf(const std::string& stream, const std::string& name, int uid = -1)
{
    streamparse::ParseOptions options;
    options.keepJobCommands = true;
    options.uid = uid;
    const streamparse::ParseResult r = streamparse::ParseStream(stream, options);
    for (const auto& e : r.errors)
        ADD_FAILURE() << "stream error at " << e.offset << ": " << e.message;
    for (const streamparse::Command& c : r.jobCommands)
        if (c.name == name)
            return streamparse::ParamsText(c.params);
    return "<no " + name + ">";
}

} // namespace

// First command family (model 1), raster set 0 at 720 x 360 dpi: reset, unit
// 3600 / 720 = 5, the print mode of the default "DevParmSet1" template (cut
// from the operator's setting because the job's option is 2, scan dry time
// 300 = 2C 01, end dry time left to the printer), rows with densities
// 3600 / 720 = 5 and 3600 / 360 = 10, a one-row feed, and the job end: a
// feed of 5 mm at 360 dpi (70 rows), FF, FF byte.
TEST(RasterJobWholeStream, FirstFamilyModel1)
{
    TempDir dir;
    const std::vector<std::string> job =
        With(TwoChannels(dir, "0,1"),
             {"--set", "PrEnv_UID=1", "--set", "DP1_DontSendSet1=0", "--set", "DP1_Banding=2", "--set", "DP1_Unidir=0",
              "--set", "DP1_OverPrintings=3", "--set", "DP1_AutomaticCut=1", "--set", "DP1_DryTimeScan=300", "--set",
              "DP1_UseDeviceDryTimeEnd=1", "--dpi", "720x360"});
    const Job r = RunJob(dir, With(job, {"--cut", "2"}));
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    const std::string expect = Hex("1B 40 1B 28 55 01 00 05"                     // reset, unit 5
                                   "4D 50 02 00 03 01 2C 01 FF FF FF"            // MP
                                   "1B 72 00 1B 2E 00 05 0A 01 10 00 F0 0F 0D"   // row 0 black, 16 dots
                                   "0A"                                          // band end
                                   "1B 28 76 02 00 01 00"                        // feed 1 row
                                   "1B 72 00 1B 2E 00 05 0A 01 08 00 80 0D"      // row 2 black, 8 dots
                                   "1B 72 02 1B 2E 00 05 0A 01 10 00 00 FF 0D"   // row 2 cyan (colour 2)
                                   "0A"
                                   "1B 28 76 02 00 46 00 0C FF");                // job end
    EXPECT_EQ(ToHex(r.stream), ToHex(expect));

    // Without a cut option the model's default (1) cuts as the operator
    // set it; option 0 sends 0 whatever the setting.
    EXPECT_EQ(RunJob(dir, job).stream, r.stream);
    EXPECT_EQ(ParamsOf(RunJob(dir, With(job, {"--cut", "0"})).stream, "MP"),
              "banding=2 unidirectional=0 overprint=3 cut=0 dryTimeScan=300 dryTimeEnd=printer byte9=printer");
    // The print mode is off by default: reset and unit only.
    const Job plain = RunJob(dir, With(TwoChannels(dir, "0,1"), {"--set", "PrEnv_UID=1", "--dpi", "360"}));
    ASSERT_EQ(plain.run.status, 0) << plain.run.err;
    EXPECT_EQ(ToHex(plain.stream.substr(0, 9)), ToHex(Hex("1B 40 1B 28 55 01 00 0A 1B")));
}

// "M" family model 2, raster set 2 at 2 bits, 720 x 360 dpi, with the print
// method's "$Parms$" entry asking for double density: the effective
// vertical resolution is 720, so quality 5 (clamped to 2) gives 16 passes,
// 0x90 with high speed; dot size 3 at 720 x 720 gives 0x30; "ME" carries
// the flag 1; ink set, feed correction -3 (FD) and refresh follow.
TEST(RasterJobWholeStream, MFamilyModel2WithPrintMethod)
{
    TempDir dir;
    // Dots 3 0 0 1 2 0 0 0 / 0 0 0 0 0 0 0 2 (gray = 3 - dot).
    WriteFile(dir / "k.pgm", std::string("P5\n8 2\n3\n") + std::string("\x00\x03\x03\x02\x01\x03\x03\x03", 8) +
                                 std::string("\x03\x03\x03\x03\x03\x03\x03\x01", 8));
    const std::vector<std::string> job = {
        "--input", "k.pgm", "--channels", "0", "--bits", "2", "--no-compress", "--dpi", "720x360", "--set",
        "PrEnv_UID=2", "--set", "nFunctModeId=2", "--set", "HasAutoCut=1", "--set", "DP2_SendPrintMode=1", "--set",
        "DP2_SendAutoCut=1", "--set", "DP2_AutoCut=1", "--set", "DP2_Quality=5", "--set", "DP2_HiSpeed=1", "--set",
        "DP2_DotSize=3", "--set", "DP2_PrintDir=1", "--set", "DP2_SendInkSet=1", "--set", "DP2_InkSet=2", "--set",
        "DP2_SendFeedCorr=1", "--set", "DP2_FeedCorr=-3", "--set", "DP2_SendRefresh=1", "--set", "DP2_Refresh=2",
        "--set", "$Parms$Fine=a,b,c,d,e,1", "--cut", "2"};
    const Job r = RunJob(dir, With(job, {"--set", "PrEnv_PrintMethod=Fine"}));
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    const std::string expect = Hex("1B 40 4D 44 68 01 D0 02"                 // reset, MD V=360 H=720
                                   "4D 50 90 01 FF 01 FF FF FF FF FF"        // MP
                                   "4D 43 30 4D 45 00 01 00 4D 42 00"        // MC, ME, MB
                                   "4D 59 02 4D 41 FF FF 01 FD 4D 46 02"     // MY, MA, MF
                                   "1B 69 00 00 02 02 00 01 00 C1 80 0D 0A"  // row 0
                                   "1B 69 00 00 02 02 00 01 00 00 02 0D 0A"  // row 1
                                   "1B 28 76 02 00 46 00 0C FF");            // job end
    EXPECT_EQ(ToHex(r.stream), ToHex(expect));

    // Another print method has no "$Parms$" entry: single density, so the
    // vertical 360 dpi takes the 360 row of the pass table (8 | 0x80) and
    // the low dot-code table (3 -> 0x20).
    const Job other = RunJob(dir, With(job, {"--set", "PrEnv_PrintMethod=Draft"}));
    ASSERT_EQ(other.run.status, 0) << other.run.err;
    EXPECT_EQ(ParamsOf(other.stream, "MP"), "passes=8 highSpeed=1 direction=1 overprint=printer cut=1 "
                                            "dryTimeScan=printer dryTimeEnd=printer byte9=printer");
    EXPECT_EQ(ParamsOf(other.stream, "MC"), "dotCode=0x20");
    EXPECT_EQ(ParamsOf(other.stream, "ME"), "byte1=0 doubleDensity=0 byte3=0");
}

// "M" family model 4, raster set 1 at 360 dpi: print mode (quality 0 at 360
// dpi: 2 passes), dot code 0x22, "ME", the heaters (pre-heater 35 = 0x23,
// print heater off), no feed correction; light cyan is density 1 colour 2.
// Its job option defaults to its "SendAutoCut": 1, so the cut is sent as
// 1; option 2 takes the operator's setting (0).
TEST(RasterJobWholeStream, MFamilyModel4WithHeatersAndCutOptions)
{
    TempDir dir;
    const std::vector<std::string> job =
        With(TwoChannels(dir, "0,8"),
             {"--set", "PrEnv_UID=4", "--set", "nFunctModeId=1", "--dpi", "360", "--set", "DP4_Quality=0", "--set",
              "DP4_DotSize=1", "--set", "DP4_PrintDir=0", "--set", "DP4_SendOverprint=1", "--set", "DP4_Overprint=2",
              "--set", "DP4_SendAutoCut=1", "--set", "DP4_AutoCut=0", "--set", "DP4_SendDryTimeEnd=1", "--set",
              "DP4_DryTimeEnd=600", "--set", "DP4_UseHeater=1", "--set", "DP4_UsePreHeater=1", "--set",
              "DP4_PreHeaterTemp=35", "--set", "DP4_PrintHeaterTemp=40"});
    const Job r = RunJob(dir, job);
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    const std::string row = "1B 28 72 02 00";
    const std::string expect =
        Hex("1B 40 4D 44 68 01 68 01"                            // reset, MD 360 x 360
            "4D 50 02 00 02 01 FF FF 58 02 FF"                   // MP
            "4D 43 22 4D 45 00 00 00 4D 4B 00 23 00 00 00" +     // MC, ME, MK
            row + "00 00 1B 2E 00 0A 0A 01 10 00 F0 0F 0D 0A" +  // row 0 black
            "1B 28 76 02 00 01 00" +                             // feed 1 row
            row + "00 00 1B 2E 00 0A 0A 01 08 00 80 0D" +        // row 2 black
            row + "01 02 1B 2E 00 0A 0A 01 10 00 00 FF 0D 0A" +  // row 2 light cyan
            "1B 28 76 02 00 46 00 0C FF");
    EXPECT_EQ(ToHex(r.stream), ToHex(expect));
    EXPECT_EQ(RunJob(dir, With(job, {"--cut", "1"})).stream, r.stream);
    for (const char* cut : {"0", "2"})
        EXPECT_EQ(ParamsOf(RunJob(dir, With(job, {"--cut", cut})).stream, "MP"),
                  "passes=2 highSpeed=0 direction=0 overprint=2 cut=0 dryTimeScan=printer dryTimeEnd=600 "
                  "byte9=printer")
            << "--cut " << cut;
}

// A string-object model (model 15) on the MRL III driver, 720 x 540 dpi:
// "Q@", job options (cut 1 from the operator's setting, scan dry time 12,
// margins left to the printer), feed correction -20, print mode (dot code
// 2, 540 = 1C 02, 720 = D0 02, passes left to the printer, bidirectional,
// wave shape 2), heaters (pre 40 = 0x28, print off, after 50 = 0x32, off
// time 3 sent as 30), white with split head, the job size the host fills
// in (3 rows, 16 pixels), the machine settings (colour pattern); MRL III
// rows, the blank row as blank records of the row width, "QE".
TEST(RasterJobWholeStream, StringObjectModel15OnTheMrlDriver)
{
    TempDir dir;
    const std::vector<std::string> job = With(
        TwoChannels(dir, "0,3"),
        {"--set", "PrEnv_UID=15", "--dpi", "720x540", "--cut", "2", "--set", "DP15_bCut=1", "--set",
         "DP15_bSendDryTimeScan=1", "--set", "DP15_nDryTimeScan=12", "--set", "DP15_bSendFeedCorrection=1", "--set",
         "DP15_nFeedCorrection=-20", "--set", "DP15_nDotSize=2", "--set", "DP15_nPrintDirection=1", "--set",
         "DP15_bUseHeaterGlobal=1", "--set", "DP15_bUsePreHeater=1", "--set", "DP15_nPreHeaterTemp=40", "--set",
         "DP15_bUseAfterHeater=1", "--set", "DP15_nAfterHeaterTemp=50", "--set", "DP15_bOFFTime=1", "--set",
         "DP15_nOFFTime=3", "--set", "DP15_bColorPattern=1", "--set", "DP15_nWave=2", "--set", "DP15_bUseWhite=1",
         "--set", "DP15_nWhiteSplitHeadMode=1"});
    const Job r = RunJob(dir, job);
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    const std::string head = "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07";  // QY, QR 0, QD
    const std::string band = "51 52 01 01";
    const std::string expect =
        Hex("51 40 00"                                                        // Q@
            "51 43 0C 00 01 0C FF FF FF FF FF 00 FF 00 FF"                    // QC
            "51 41 03 01 14 00"                                               // QA
            "51 50 12 02 1C 02 D0 02 FF 00 01 FF FF 02 00 FF 00 00 00 00 00"  // QP
            "51 4B 09 28 00 32 FF FF 00 1E FF FF"                             // QK
            "50 4C 02 01 01"                                                  // PL
            "51 53 08 03 00 00 00 10 00 00 00"                                // QS
            "50 50 03 FF FF 01" +                                             // PP
            head + "00 00 01 02 00 01 00 F0 0F" + band +                      // row 0 black
            head + "00 00 01 02 00 01 00 00 00" + head + "04 00 01 02 00 01 00 00 00" + band +  // row 1 blank
            head + "00 00 01 01 00 01 00 80" + head + "04 00 01 02 00 01 00 00 FF" + band +     // row 2
            "51 45 00");
    EXPECT_EQ(ToHex(r.stream), ToHex(expect));
    EXPECT_EQ(ParamsOf(r.stream, "PL", 15), "white=1 splitHeadMode=1");
}

// A string-object model of the one-pass white family (JV100) on its own
// driver, 720 dpi, colour only: "Q@", job options (cut 0 from the job,
// everything else left to the printer), the colour ids of the two slots,
// the print mode (dot code 1, 720 x 720, one ink layer, wave shape 1), the
// heaters left alone, the job size the host fills in (3 rows, 16 pixels),
// "PP"; every row as one layer-0 section per channel at the full row width
// (colour byte from the slot's id, blank rows as zero rows), "QR 01 01"
// after each row, and "QE".
TEST(RasterJobWholeStream, StringObjectJV100OnTheOnePassWhiteDriver)
{
    TempDir dir;
    const Job r = RunJob(dir, With(TwoChannels(dir, "0,3"),
                                   {"--set", "PrEnv_UID=48", "--dpi", "720", "--cut", "0", "--slots", "0:5,3:7"}));
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    const auto section = [](const char* code, const char* data) {
        return std::string("51 59 05 00 00 00 00 00 51 52 01 00 51 44 0A") + code + "00 01 02 00 01 00 02 00 00" +
               data;
    };
    const std::string band = "51 52 01 01";
    const std::string expect =
        Hex("51 40 00"                                                  // Q@
            "51 43 0C 00 00 FF FF FF FF FF FF 00 FF 00 FF"              // QC
            "51 42 02 05 07"                                            // QB
            "51 50 12 01 D0 02 D0 02 00 00 00 01 FF 01 00 FF 00 00 00 00 00"  // QP
            "51 4B 09 FF FF FF FF FF FF FF FF FF"                       // QK
            "51 53 08 03 00 00 00 10 00 00 00"                          // QS
            "50 50 04 FF FF FF FF" +                                    // PP
            section("05", "F0 0F") + section("07", "00 00") + band +   // row 0
            section("05", "00 00") + section("07", "00 00") + band +   // row 1, blank
            section("05", "80 00") + section("07", "00 FF") + band +   // row 2
            "51 45 00");
    EXPECT_EQ(ToHex(r.stream), ToHex(expect));
}

// The job name names the job's mirror file (redirect mode 1): the stream
// from the string object on goes there as well.
TEST(RasterJobWholeStream, JobNameNamesTheMirrorFile)
{
    TempDir dir;
    const std::vector<std::string> job =
        With(TwoChannels(dir, "0,3"), {"--set", "PrEnv_UID=15", "--set", "nRedirectMode=1"});
    const std::vector<std::string> env = {"MIMAKI_USER_DATA=" + (dir / "user")};
    const Job named = RunJob(dir, With(job, {"--job-name", "poster A"}), env);
    ASSERT_EQ(named.run.status, 0) << named.run.err;
    EXPECT_EQ(ReadFile(dir / "user/[rasterjob]poster A_usbmirror.prn"), named.stream);
    // Without a name the job is named after its output file.
    const Job unnamed = RunJob(dir, job, env);
    ASSERT_EQ(unnamed.run.status, 0) << unnamed.run.err;
    EXPECT_EQ(ReadFile(dir / "user/[rasterjob]job.prn_usbmirror.prn"), unnamed.stream);
    // A name with a "/" still gets its mirror file, under a name made safe.
    const Job path = RunJob(dir, With(job, {"--job-name", "orders/poster B"}), env);
    ASSERT_EQ(path.run.status, 0) << path.run.err;
    EXPECT_EQ(ReadFile(dir / "user/[rasterjob]orders_poster B_usbmirror.prn"), path.stream);
}

// The cut option the job gets without --cut is the model's default for
// job option 0; a model that offers none gets 0. --json reports the job
// data.
TEST(RasterJobWholeStream, DefaultCutOptionAndJobDataInTheSummary)
{
    TempDir dir;
    struct Case {
        std::vector<std::string> sets;
        const char* cut;
    };
    const Case cases[] = {
        {{"PrEnv_UID=1"}, "1"},                                          // always 1
        {{"PrEnv_UID=18"}, "0"},                                         // always 0
        {{"PrEnv_UID=0"}, "0"},                                          // no answer
        {{"PrEnv_UID=2"}, "0"},                                          // no cutter
        {{"PrEnv_UID=2", "HasAutoCut=1", "DP2_SendAutoCut=1"}, "1"},     // cutter, sent
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--width", "8", "--height", "2", "--json", "--job-name", "n\"1"};
        for (const std::string& s : c.sets)
            args = With(args, {"--set", s});
        const Job r = RunJob(dir, With(args, {"--set", "PrEnv_PrintMethod=Fine"}));
        ASSERT_EQ(r.run.status, 0) << r.run.err;
        EXPECT_EQ(JsonField(r.run.out, "cutOption"), c.cut) << c.sets[0];
        EXPECT_EQ(JsonField(r.run.out, "jobName"), "\"n\\\"1\"");
        EXPECT_EQ(JsonField(r.run.out, "printMethod"), "\"Fine\"");
    }
    const Job given = RunJob(dir, {"--width", "8", "--height", "2", "--json", "--set", "PrEnv_UID=18", "--cut", "2"});
    EXPECT_EQ(JsonField(given.run.out, "cutOption"), "2");
}

// Every model the plug-in builds a driver for: the job rasterjob writes
// begins with the start the model's parameters send for that job (the
// default cut option, the job's name and size) and ends with their end.
TEST(RasterJobWholeStream, EveryJobBeginsWithItsStartAndEndsWithItsEnd)
{
    std::string error;
    const auto plugin = rasterjob::Plugin::Load(kPlugin, error);
    ASSERT_TRUE(plugin) << error;
    TempDir dir;
    int models = 0;
    std::vector<int> withoutStart;
    std::vector<int> refused;
    for (int uid = 0; uid <= 57; ++uid) {
        // The model's definition, as rasterjob gives it, and the JV400's white
        // mode that prints every channel (its default prints none).
        CPrintEnv env(L"rasterjob");
        env.PutInt(PrEnv_UID, uid);
        printerdefs::Apply(env, uid);
        env.PutInt(L"DP22_m_nWhiteMode", 0);
        const int level = CVoLogReporter::LoggingLevel();
        CVoLogReporter::SetLoggingLevel(-1);
        std::unique_ptr<IPrinterDriver> object(plugin->Create(&env));
        CVoLogReporter::SetLoggingLevel(level);
        auto* driver = dynamic_cast<CPrinterDriverBase*>(object.get());
        if (!driver)
            continue;
        CUnivDevParmsBase* parms = driver->GetDevParms();
        ASSERT_TRUE(parms);
        CJobPrintOptionQuery query;
        parms->JobPrintOptionAvailable(query);
        CPrintJobOpenContext context;
        context.dpiFirst = context.dpiSecond = 720;
        context.pixelWidth = 16;
        context.rowCount = 4;
        // rasterjob's default channels: the TxF150's follow its five colour ids.
        context.colourCodes = {0, 1, 2, 3};
        if (uid == 54)
            context.colourCodes.push_back(34);
        context.cutOption = query.value;
        context.jobName = L"j";
        CMemorySink start, end;
        driver->SetOutputSink(&start);
        ASSERT_TRUE(driver->JobOpen(&context) && parms->OutputStartString(driver)) << "UID " << uid;
        ASSERT_TRUE(driver->OutputInit(16, 4)) << "UID " << uid;
        driver->SetOutputSink(&end);
        ASSERT_TRUE(parms->OutputEndString(driver)) << "UID " << uid;

        const Job r = RunJob(dir, {"--set", "PrEnv_UID=" + std::to_string(uid), "--set",
                                   "DP22_m_nWhiteMode=0", "--width", "16", "--height", "4", "--bits", "1",
                                   "--no-compress", "--dpi", "720", "--job-name", "j"});
        // A printer whose default layers print nothing is refused.
        if (r.run.status == 1 && r.run.err.find("no channel of this job reaches the printer") != std::string::npos) {
            refused.push_back(uid);
            continue;
        }
        ASSERT_EQ(r.run.status, 0) << "UID " << uid << ": " << r.run.err;
        ASSERT_GE(r.stream.size(), start.Data().size() + end.Data().size()) << "UID " << uid;
        EXPECT_EQ(ToHex(r.stream.substr(0, start.Data().size())), ToHex(start.Data())) << "UID " << uid;
        EXPECT_EQ(ToHex(r.stream.substr(r.stream.size() - end.Data().size())), ToHex(end.Data())) << "UID " << uid;
        ++models;
        if (start.Data().empty())
            withoutStart.push_back(uid);
    }
    // Without a start: the UIDs without a model (base parameters) and the
    // UJF flatbeds 19 and 20, the JFX flatbeds 25, 28 and 41, the slot-file
    // flatbeds 35 and 39 and the stream drivers 46 and 53, whose layers
    // carry it. Model 7 on the white driver prints no layer with its
    // defaults (layer order 0).
    EXPECT_GE(models, 26);
    EXPECT_EQ(withoutStart, (std::vector<int>{0, 19, 20, 25, 28, 35, 39, 41, 46, 53, 55, 57}));
    EXPECT_EQ(refused, std::vector<int>{7});
}

// A layered job (UJF3042, WV arrangement) with CMYK, white and varnish fed
// by host colour code: every fed channel is found in its layers whether the
// spool stays in memory or goes to files; the statistics tell the spill; an
// unusable temporary folder fails the job with one line and no stream.
TEST(RasterJobLayers, SpoolLimitStatsAndAnUnusableTempFolder)
{
    TempDir dir;
    const std::vector<std::string> job = {
        "--set", "PrEnv_UID=19", "--set", "UJFPrinterTyp=2", "--set", "DP19_nLayer1Mode=3", "--set",
        "DP19_nLayer2Mode=1", "--set", "DP19_nLayer3Mode=6", "--channels", "0,1,2,3,34,30", "--pattern",
        "random", "--width", "640", "--height", "300", "--bits", "2", "--json", "--stats"};
    std::string digests[2];
    for (int limit : {0, 1 << 30}) {
        const Job r = RunJob(dir, With(job, {"--spool-limit", std::to_string(limit)}));
        ASSERT_EQ(r.run.status, 0) << r.run.err;
        const long long spilled = std::stoll(JsonField(r.run.out, "spoolSpilledBytes"));
        EXPECT_EQ(spilled > 0, limit == 0) << spilled;
        EXPECT_NE(r.run.err.find(" bytes spilled"), std::string::npos) << r.run.err;
        const auto parsed = streamparse::ParseStream(reinterpret_cast<const std::uint8_t*>(r.stream.data()),
                                                     r.stream.size());
        EXPECT_TRUE(parsed.ok());
        ASSERT_EQ(parsed.layers.size(), 3u);
        // Colour layer (1): CMYK under printer codes 0, 2, 1, 4 with the fed
        // digests; varnish overprint (2): the colours and varnish (255).
        const auto channels = ParseChannels(r.run.out);
        ASSERT_EQ(channels.size(), 6u);
        const int codes[6] = {0, 2, 1, 4, 254, 255};
        for (int c = 0; c < 4; ++c)
            for (int layer : {1, 2}) {
                const streamparse::Plane* p = parsed.FindPlane(layer, codes[c]);
                ASSERT_NE(p, nullptr) << layer << " " << c;
                EXPECT_EQ(p->digest, channels[static_cast<std::size_t>(c)].digest) << layer << " " << c;
            }
        ASSERT_NE(parsed.FindPlane(2, 255), nullptr);
        EXPECT_EQ(parsed.FindPlane(2, 255)->digest, channels[5].digest);
        digests[limit == 0] = r.stream;
    }
    EXPECT_TRUE(digests[0] == digests[1]) << "the same stream from memory and from files";
    // The limit from the environment when no option gives one.
    const Job fromEnv = RunJob(dir, job, {"MIMAKI_SPOOL_LIMIT=0"});
    ASSERT_EQ(fromEnv.run.status, 0) << fromEnv.run.err;
    EXPECT_GT(std::stoll(JsonField(fromEnv.run.out, "spoolSpilledBytes")), 0);

    TempDir fresh;
    const Job bad = RunJob(fresh, With(job, {"--spool-limit", "0"}), {"TMPDIR=/dev/null/spool"});
    EXPECT_EQ(bad.run.status, 1);
    EXPECT_NE(bad.run.err.find("cannot create a spool file in the temporary folder /dev/null/spool"),
              std::string::npos)
        << bad.run.err;
    EXPECT_TRUE(bad.stream.empty()) << bad.stream.size();
    EXPECT_TRUE(fresh.List().empty());
}

// The slot layout through --slots: each slot's colour id is the printer's
// colour of its channel, the white goes to layer 1 one row later (UJV55,
// white mode 1, layer offset 1); slots of inks the job lacks are skipped.
TEST(RasterJobWholeStream, SlotLayoutFromTheSlotsShorthand)
{
    TempDir dir;
    const Job job = RunJob(dir, With(TwoChannels(dir, "0,34"),
                                     {"--set", "PrEnv_UID=34", "--set", "DP33_m_eWhiteMode=1", "--set",
                                      "DP33_nLayerOffset=1", "--slots", "1:7,0:5,34:9"}));
    ASSERT_EQ(job.run.status, 0) << job.run.err;
    const streamparse::ParseResult r = streamparse::ParseStream(job.stream);
    ASSERT_TRUE(r.ok()) << r.errors.front().message;
    const streamparse::Plane* black = r.FindPlane(streamparse::PlaneKey{0, 5, -1, 0, 0});
    const streamparse::Plane* white = r.FindPlane(streamparse::PlaneKey{0, 9, -1, 1, 0});
    ASSERT_TRUE(black && white);
    EXPECT_EQ(black->firstInkRow, 0);
    EXPECT_EQ(white->firstInkRow, 3); // row 2 of the image, one row later
    EXPECT_EQ(r.planes.size(), 2u);
}

// The four drivers are listed as built. The DTF printer's settings and
// colours through --set (a colour sequence
// that does not fit the channels fails the job and leaves no file); the
// host's interleave switch and dot-data type through their options (JV58C
// pairs at 1080 dpi: five rows lose row 2, dot-data type 3 takes the masks
// 0xCC and 0x33 instead of 0xAA and 0x55 for slot 0).
TEST(RasterJobWholeStream, SpecialModelsTakeTheirSettingsAndHostState)
{
    TempDir dir;
    const std::string list = testsupport::Run(RASTERJOB_EXE, {"--plugin", kPlugin, "--list-models"}).out;
    for (const char* driver : {"CMimakiJV58CSpecial", "CMimakiDriverUCJV300", "CMimakiPrinterDriverUJV100",
                               "CMimakiDTFDriver"})
        EXPECT_NE(list.find(std::string(driver) + std::string(42 - std::strlen(driver), ' ') + " stand-in   yes\n"),
                  std::string::npos)
            << driver;
    const std::vector<std::string> dtf = {"--set", "PrEnv_UID=54", "--set", "TxF150_m_nDotSize=2"};
    const Job ok = RunJob(dir, With(TwoChannels(dir, "0,1"), With(dtf, {"--set", "MimakiColorSequence=4,2"})));
    ASSERT_EQ(ok.run.status, 0) << ok.run.err;
    EXPECT_NE(ParamsOf(ok.stream, "Q@").find(" dotSize=2 "), std::string::npos);
    std::remove((dir / "job.prn").c_str());
    const Job bad = RunJob(dir, With(TwoChannels(dir, "0,1"), With(dtf, {"--set", "MimakiColorSequence=4"})));
    EXPECT_EQ(bad.run.status, 1);
    EXPECT_NE(bad.run.err.find("MimakiColorSequence \"4\" has 1 entry for the job's 2 channels (one colour each)"),
              std::string::npos)
        << bad.run.err;
    EXPECT_TRUE(bad.stream.empty());

    // Each printer's default job prints from its definition alone; the
    // TxF150's has one channel per id of its colour sequence (0,2,1,4,254:
    // CMYK and white), and an id no colour of the definitions has fails.
    const std::vector<std::vector<std::string>> defaults = {
        {"PrEnv_UID=13", "JV58CSpecial=1"}, {"PrEnv_UID=38"}, {"PrEnv_UID=47"}, {"PrEnv_UID=54"}};
    for (const auto& keys : defaults) {
        std::vector<std::string> args = {"--width", "64", "--height", "4", "--dpi", "720x1080"};
        for (const std::string& key : keys)
            args.insert(args.end(), {"--set", key});
        const Job job = RunJob(dir, args);
        ASSERT_EQ(job.run.status, 0) << keys[0] << job.run.err;
        const streamparse::ParseResult r = streamparse::ParseStream(job.stream);
        ASSERT_TRUE(r.ok()) << keys[0];
        std::set<int> inked;
        for (const streamparse::Plane& plane : r.planes)
            if (plane.firstInkRow >= 0)
                inked.insert(plane.key.colour);
        const std::set<int> expected =
            keys[0] == "PrEnv_UID=54" ? std::set<int>{0, 1, 2, 4, 254} : std::set<int>{0, 1, 2, 4};
        EXPECT_EQ(inked, expected) << keys[0];
        std::remove((dir / "job.prn").c_str());
    }
    // At 720 dpi the pairs' first two colours read rasters 4 and 5: a job of
    // those two is refused with the keys that route them.
    const Job swapped = RunJob(dir, {"--set", "PrEnv_UID=13", "--set", "JV58CSpecial=1", "--channels", "0,1",
                                     "--width", "64", "--height", "4", "--dpi", "720"});
    EXPECT_EQ(swapped.run.status, 1);
    EXPECT_NE(swapped.run.err.find("channel 1: colour code 1 goes into no layer the printer gets: change the layer "
                                   "settings (SlotsSetting=0`1`2`3`0`1`2`3, JV58CInterleaveMode=1)"),
              std::string::npos)
        << swapped.run.err;
    const Job unknown = RunJob(dir, {"--set", "PrEnv_UID=54", "--set", "MimakiColorSequence=0,7"});
    EXPECT_EQ(unknown.run.status, 1);
    EXPECT_NE(unknown.run.err.find("entry \"7\" names no colour"), std::string::npos) << unknown.run.err;
    EXPECT_TRUE(unknown.stream.empty());

    const std::vector<std::string> jv58c = {"--set", "PrEnv_UID=13", "--set", "JV58CSpecial=1", "--set",
                                            "nFunctModeId=4", "--slots", "0,1", "--channels", "0,1", "--pattern",
                                            "random", "--width", "64", "--height", "5", "--dpi", "720x1080"};
    for (const char* dotType : {"2", "3"}) {
        for (const bool interleave : {false, true}) {
            std::vector<std::string> args = With(jv58c, {"--dot-data-type", dotType});
            if (interleave)
                args.push_back("--interleave");
            const Job job = RunJob(dir, args);
            ASSERT_EQ(job.run.status, 0) << job.run.err;
            const streamparse::ParseResult r = streamparse::ParseStream(job.stream);
            ASSERT_TRUE(r.ok());
            EXPECT_EQ(r.layers.front().rows, interleave ? 4 : 5);
            // Slot 0 alone: its row under mask 1 of the row counter.
            const streamparse::Plane* black = r.FindPlane(0, 0);
            ASSERT_TRUE(black);
            int inside = 0;
            for (std::int64_t row = 0; row < black->rows; ++row) {
                const int mask = dotType[0] == '3' ? (row % 2 ? 0x33 : 0xCC) : (row % 2 ? 0x55 : 0xAA);
                for (BYTE b : black->RowAt(row) ? *black->RowAt(row) : std::vector<BYTE>{}) {
                    EXPECT_EQ(b & ~mask, 0) << row;
                    inside |= b;
                }
            }
            EXPECT_NE(inside, 0);
        }
    }
}

// The slot-file flatbeds' layers from --layer, in the keys their parameters
// read; the JFX layer markers in the summary and as a note.
TEST(RasterJobFlatbeds, LayerOptionAndLayerMarkers)
{
    TempDir dir;
    const std::vector<std::string> base =
        With(TwoChannels(dir, "0,34"), {"--set", "PrEnv_UID=35", "--slots", "0:4,34:10"});
    const Job byOption = RunJob(dir, With(base, {"--layer", "1=0,1,1,0,1", "--layer=2=10,0,2,0,0", "--set",
                                                  "DP35_m_nMirror2=1", "--layer", "3=0,0,0,0,0"}));
    ASSERT_EQ(byOption.run.status, 0) << byOption.run.err;
    const Job byKeys = RunJob(
        dir, With(base, {"--set", "DP35_\"LP1_PAS\"=1", "--set", "DP35_\"LP1_SB\"=1", "--set", "DP35_\"LP2_IDS\"=10",
                         "--set", "DP35_\"LP2_LB\"=2", "--set", "DP35_nLayer2Mode=0", "--set", "DP35_m_nMirror2=1",
                         "--set", "DP35_\"LP3_LB\"=0"}));
    ASSERT_EQ(byKeys.run.status, 0) << byKeys.run.err;
    EXPECT_EQ(ToHex(byOption.stream), ToHex(byKeys.stream));
    const auto parsed = streamparse::ParseStream(byOption.stream);
    EXPECT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.layers.size(), 2u) << "white backwards, then black and white mirrored";

    // A JFX500 that switches to local between layers and holds the print
    // client there: one marker per layer, the last one not holding.
    const std::vector<std::string> jfx = {"--plugin", kPlugin, "-o", "jfx.prn", "--json", "--set", "PrEnv_UID=25",
                                          "--set", "JFXPrinterType=WW", "--set", "DP25_nLayer1Mode=1", "--set",
                                          "DP25_nLayer2Mode=0", "--set", "DP25_bSwitchToLocalBetweenLayers=1",
                                          "--set", "SuspendPrintClientBetweenLayers=1", "--channels", "0,34",
                                          "--pattern", "random", "--width", "32", "--height", "4", "--layer",
                                          "1=0,0,1,0,0"};
    const RunResult r = testsupport::Run(RASTERJOB_EXE, jfx, {dir.Path(), {}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(JsonField(r.out, "layerMarkers"), "[{\"suspend\": true}, {\"suspend\": false}]");
    EXPECT_NE(r.err.find("after layer 1 the printer is switched to local"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("CMimakiWhitePrinterDriverJFX500Base does not read them"), std::string::npos) << r.err;
}
