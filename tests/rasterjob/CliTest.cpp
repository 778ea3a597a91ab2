// rasterjob driven as a user drives it, against the test plug-in.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "Harness.h"
#include "tests/support/Bytes.h"
#include "tests/support/Loopback.h"
#include "tools/streamdump/StreamParser.h"

using namespace rjtest;
using testsupport::Bytes;
using testsupport::LoopbackReceiver;

namespace {

const std::string kPlugin = TEST_PLUGIN;

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// A job against the test plug-in, and a small one of a built-in pattern.
std::vector<std::string> TestJob(std::vector<std::string> more = {})
{
    return With({"--plugin", kPlugin, "--set", "PrEnv_UID=0", "--quiet"}, more);
}

std::vector<std::string> PatternJob(std::vector<std::string> more = {})
{
    return With(TestJob({"--width", "40", "--height", "12"}), more);
}

std::string Pgm(int w, int h, int maxval, const std::vector<int>& pixels)
{
    std::string s = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n" + std::to_string(maxval) + "\n";
    for (int v : pixels)
        s += static_cast<char>(v);
    return s;
}

std::string GrayImage(int w, int h, int seed)
{
    std::vector<int> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back((x * 255 / (w - 1) + y * 7 * seed + (x * y * seed) % 31) % 256);
    return Pgm(w, h, 255, px);
}

// A failing run: status 1, one line naming the fault, nothing left behind.
void ExpectFailure(const RunResult& r, const std::string& what, const TempDir& out)
{
    EXPECT_EQ(r.status, 1) << r.err;
    const auto lines = r.ErrLines();
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("rasterjob: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(what), std::string::npos) << "expected \"" << what << "\" in: " << lines[0];
    EXPECT_EQ(out.List(), std::vector<std::string>{}) << "left behind after: " << lines[0];
    EXPECT_EQ(r.out, "");
}

} // namespace

TEST(RasterJobCli, UsageErrorsAreOneLineWithStatus2)
{
    TempDir dir;
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"stray"}, "unexpected argument stray"},
        {{"--width"}, "--width needs a value"},
        {{"--width", "12x"}, "--width: expected a whole number"},
        {{"--height", "0"}, "--height: expected a whole number from 1"},
        {{"--bits", "3"}, "--bits: expected a whole number from 1 to 2"},
        {{"--dpi", "0"}, "--dpi: expected H or HxV"},
        {{"--dpi", "720x"}, "--dpi: expected H or HxV"},
        {{"--channels", "0,1,1"}, "colour code 1 given twice"},
        {{"--channels", "0,,1"}, "--channels: expected host colour codes"},
        {{"--channels", "256"}, "--channels: expected host colour codes"},
        {{"--pattern", "stripes"}, "unknown pattern \"stripes\""},
        {{"--pattern", "bars", "--input", "a.png"}, "--pattern and --input exclude each other"},
        {{"--input", "a.png", "--width", "10"}, "come from the images"},
        {{"--input", "a.png", "--channels", "0,1"}, "1 --input images for 2 channels"},
        {{"-o", "x.prn", "--device", "socket://h:9100"}, "-o and --device exclude each other"},
        {{"--device", "http://h:9100"}, "expected socket://HOST:PORT"},
        {{"--device", "socket://h"}, "no port"},
        {{"--device", "socket://h:0"}, "port from 1 to 65535"},
        {{"--printer", "A"}, "--printer needs --settings"},
        {{"--json", "-o", "-"}, "both want standard output"},
        {{"--set", "novalue"}, "expected KEY=VALUE"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--abort-after", "-1"}, "--abort-after: expected a whole number"},
        {{"--settings", ""}, "--settings needs a file name"},
        {{"--device-timeout", "0"}, "--device-timeout: expected seconds"},
        {{"--decode-limit", "0"}, "--decode-limit: expected a whole number"},
        {{"--spool-limit", "lots"}, "--spool-limit: expected a size in bytes, optionally with K, M or G, got \"lots\""},
        {{"--cut", "3"}, "--cut: expected a whole number from 0 to 2, got \"3\""},
        {{"--cut", "-1"}, "--cut: expected a whole number from 0 to 2, got \"-1\""},
        {{"--cut", "x"}, "--cut: expected a whole number from 0 to 2, got \"x\""},
        {{"--job-name", ""}, "--job-name needs a name"},
        {{"--slots", "0:1,1"}, "--slots: give a colour id for every slot or for none, got \"0:1,1\""},
        {{"--slots", "0,x"}, "--slots: expected CODE[:ID] per slot"},
    };
    for (const char* layer : {"0=0,0,1,0,0", "6=0,0,1,0,0", "1=0,0,1,0", "1=0,0,x,0,0", "1=0,0,1,0,0,0", "1"})
        cases.push_back({{"--layer", layer}, std::string("--layer: expected K=KIND,SUB,COUNT,MODE,REVERSE (K 1 to 5, "
                                                         "whole numbers), got \"") + layer + "\""});
    for (const auto& [args, what] : cases) {
        const RunResult r = RunRasterJob(args, dir.Path());
        EXPECT_EQ(r.status, 2) << what;
        const auto lines = r.ErrLines();
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_NE(lines[0].find(what), std::string::npos) << lines[0];
    }
    const RunResult help = RunRasterJob({"--help"}, dir.Path());
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: rasterjob"), std::string::npos);
}

TEST(RasterJobCli, EveryFailureIsOneLineAndLeavesNothing)
{
    TempDir in;
    const std::string nocreate = NOCREATE_PLUGIN;
    WriteFile(in / "a.pgm", GrayImage(20, 10, 1));
    WriteFile(in / "b.pgm", GrayImage(20, 11, 2));
    WriteFile(in / "junk.pgm", "P5\nwide high\n");
    WriteFile(in / "colour.ppm", "P6\n2 2\n255\n012345678901");
    std::string truncated = GrayImage(20, 10, 3);
    truncated.resize(truncated.size() - 20 * 4 - 5);  // rows 6.. missing
    WriteFile(in / "short.pgm", truncated);
    WriteFile(in / "notalib.so", "not a library");
    WriteFile(in / "afile", "x");
    WriteFile(in / "printers.ini", "[A]\nPrEnv_UID=0\n[B]\nPrEnv_UID=1\n");

    const testsupport::RefusingPort refuser;
    const std::string refusedPort = std::to_string(refuser.Port());

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {TestJob({"--input", in / "missing.png"}), "missing.png: cannot open: No such file or directory"},
        {TestJob({"--input", in / "junk.pgm"}), "junk.pgm: bad header"},
        {TestJob({"--input", in / "afile"}), "afile: not a PNG, TIFF, PGM or PBM image"},
        {TestJob({"--input", in.Path()}), "is a folder, not an image"},
        {TestJob({"--input", in / "colour.ppm"}), "colour PPM image"},
        {TestJob({"--input", in / "a.pgm", "--input", in / "b.pgm"}), "images of different sizes"},
        {TestJob({"--input", in / "short.pgm"}), "short.pgm: data ends early: the file holds 5 of its 10 rows"},
        // What Create logged is the reason, in the one line.
        {PatternJob({"--set", "PrEnv_UID=99"}),
         "UID 99: the plug-in makes no driver for printer \"rasterjob\" (Create answered null: UID 99 is not made by "
         "the test plug-in)"},
        {{"--plugin", kPlugin, "--input", in / "missing.png"}, "missing.png: cannot open"},  // built-in printer
        {PatternJob({"--plugin", in / "missing.so"}), "plug-in does not load"},
        {PatternJob({"--plugin", in / "notalib.so"}), "plug-in does not load"},
        {PatternJob({"--plugin", nocreate}), "exports no Create (_Z6CreateP9CPrintEnv)"},
        {PatternJob({"--set", "Test_Fail=JobOpen"}), "did not start the job"},
        {PatternJob({"--set", "Test_Fail=StartString"}), "did not start the job"},
        {PatternJob({"--set", "Test_Fail=OutputInit"}), "did not start the job"},
        {PatternJob({"--set", "Test_Fail=Row", "--set", "Test_FailRow=3"}), "OutputOneRow answered 0 at row 3"},
        {PatternJob({"--set", "Test_Fail=OutputExit"}), "did not end the job"},
        {PatternJob({"--set", "Test_Fail=EndString"}), "did not end the job"},
        {PatternJob({"--set", "Test_Fail=JobClose"}), "did not end the job"},
        // An output that fails is told as such, not as the driver's step
        // that noticed it.
        {PatternJob({"-o", "/dev/full"}), "rasterjob: /dev/full: No space left on device (the disk is full): /dev/full received 0 of"},
        {PatternJob({"--device", "socket://127.0.0.1:" + refusedPort}), "Connection refused"},
        {PatternJob({"-o", in / "nofolder/x.prn"}), "cannot create"},
        {PatternJob({"--save-raster", in / "afile"}), "exists and is no folder"},
        {PatternJob({"--set", "PrEnv_Bogus=1"}), "PrEnv_Bogus is no host entry"},
        {PatternJob({"--settings", in / "none.ini"}), "cannot open"},
        {PatternJob({"--settings", in.Path()}), "is a folder, not a file"},
        {PatternJob({"--settings", in / "printers.ini"}), "holds 2 printers (A, B): choose one with --printer"},
        {PatternJob({"--settings", in / "printers.ini", "--printer", "C"}), "no printer section [C]"},
    };
    for (const auto& [args, what] : cases) {
        TempDir out;
        ExpectFailure(RunRasterJob(args, out.Path()), what, out);
    }
}

TEST(RasterJobCli, FileSocketAndStdoutCarryTheSameStream)
{
    TempDir dir;
    const auto job = PatternJob({"--pattern", "random", "--seed", "7", "--width", "300", "--height", "200", "--bits", "2"});
    ASSERT_EQ(RunRasterJob(With(job, {"-o", "file.prn"}), dir.Path()).status, 0);
    const std::string file = ReadFile(dir / "file.prn");
    ASSERT_GT(file.size(), 1000u);

    const RunResult toStdout = RunRasterJob(With(job, {"-o", "-"}), dir.Path());
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_TRUE(toStdout.out == file);

    LoopbackReceiver printer;
    const RunResult r = RunRasterJob(With(job, {"--device", printer.Uri()}), dir.Path());
    const std::string received = printer.Received();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(received.size(), file.size());
    EXPECT_TRUE(received == file);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"file.prn"});
}

// The rows as fed come out of the driver: whole bytes for a small job, then
// the digests of every pattern through the decoded test stream.
TEST(RasterJobCli, RowsReachTheDriverTrimmedWithBlankRowsAsFeeds)
{
    TempDir dir;
    // 16 pixels, 1 bit: row 0 F0 0F, row 1 blank, row 2 80 00, row 3 blank.
    WriteFile(dir / "k.pbm", "P4\n16 4\n" + Bytes({0xF0, 0x0F, 0, 0, 0x80, 0, 0, 0}));
    WriteFile(dir / "c.pbm", "P4\n16 4\n" + Bytes({0, 0, 0, 0, 0, 1, 0, 0}));
    const RunResult r = RunRasterJob({"--plugin", kPlugin, "--set", "PrEnv_UID=0", "--set", "PrEnv_DpiHorz=720dpi",
                                      "--bits", "1", "--input", "k.pbm", "--input", "c.pbm", "--channels", "0,5", "-o",
                                      "s.prn"},
                                     dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    // The notes: --set alone leaves the built-in printer, and a value that
    // is no number was read as its default.
    EXPECT_EQ(r.ErrLines(),
              (std::vector<std::string>{
                  "rasterjob: note: the printer has only the keys given with --set; the built-in default printer (its "
                  "command set, resolution and ink levels) is used only without --set and --settings",
                  "rasterjob: note: PrEnv_DpiHorz=720dpi is no whole number, so it was read as its default; give a "
                  "whole number"}));
    const std::string expected = "<start>" + Bytes({'R', 0, 2, 0, 0xF0, 0x0F, '\n'}) + Bytes({'F', 1, 0, 0, 0}) +
                                 Bytes({'R', 0, 1, 0, 0x80}) + Bytes({'R', 5, 2, 0, 0, 1, '\n'}) +
                                 Bytes({'F', 1, 0, 0, 0}) + "<end>";
    EXPECT_EQ(ReadFile(dir / "s.prn"), expected);

    // A blank job is one feed over its height.
    ASSERT_EQ(RunRasterJob(PatternJob({"--pattern", "blank", "-o", "b.prn"}), dir.Path()).status, 0);
    EXPECT_EQ(ReadFile(dir / "b.prn"), std::string("<start>F\x0C\x00\x00\x00<end>", 17));

    for (const std::string pattern : {"bars", "gradient", "random", "tile"})
        for (const std::string bits : {"1", "2"}) {
            const RunResult j = RunRasterJob(PatternJob({"--pattern", pattern, "--bits", bits, "--width", "333",
                                                      "--height", "300", "--channels", "0,1,2,3,8", "--json", "-o",
                                                      "p.prn"}),
                                             dir.Path());
            ASSERT_EQ(j.status, 0) << j.err;
            const auto channels = ParseChannels(j.out);
            ASSERT_EQ(channels.size(), 5u);
            const TestStream t = DecodeTestStream(ReadFile(dir / "p.prn"), {0, 1, 2, 3, 8});
            EXPECT_TRUE(t.started && t.ended) << pattern;
            EXPECT_EQ(t.error, "");
            EXPECT_EQ(t.tail, "");
            EXPECT_EQ(t.rows, 300);
            for (const auto& c : channels) {
                EXPECT_EQ(c.rows, 300);
                EXPECT_EQ(t.digests.at(c.colourCode), c.digest) << pattern << " bits " << bits << " code " << c.colourCode;
            }
            if (pattern == "bars") {
                EXPECT_GT(t.feeds, 0);  // its blank bands
            }
        }
}

TEST(RasterJobCli, AbortedJobDeliversItsStreamEndingWithTheAbortCommandOnce)
{
    TempDir dir;
    const auto job = TestJob({"--pattern", "bars", "--bits", "1", "--width", "40", "--height", "40", "--set", "PrEnv_AbortCommand=\\033Z"});
    const RunResult r = RunRasterJob(With(job, {"--abort-after", "3", "-o", "a.prn", "--json"}), dir.Path());
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(JsonField(r.out, "aborted"), "true");
    EXPECT_EQ(JsonField(r.out, "rowsFed"), "3");
    const std::string stream = ReadFile(dir / "a.prn");
    const TestStream t = DecodeTestStream(stream, {0, 1, 2, 3});
    EXPECT_TRUE(t.started);
    EXPECT_FALSE(t.ended);  // no end string after an abort
    EXPECT_EQ(t.bands, 3);
    EXPECT_EQ(t.tail, "\x1BZ");
    for (const auto& c : ParseChannels(r.out))
        EXPECT_EQ(t.digests.at(c.colourCode), c.digest);

    // Aborted before the first row: start string and abort command.
    const RunResult r0 = RunRasterJob(With(job, {"--abort-after", "0", "-o", "b.prn"}), dir.Path());
    EXPECT_EQ(r0.status, 3);
    EXPECT_EQ(ReadFile(dir / "b.prn"), "<start>\x1BZ");
    // Cut at the last row: every row, then the abort command instead of the end.
    const RunResult rEnd = RunRasterJob(With(job, {"--abort-after", "39", "-o", "c.prn"}), dir.Path());
    EXPECT_EQ(rEnd.status, 3);
    const std::string c = ReadFile(dir / "c.prn");
    EXPECT_EQ(c.substr(c.size() - 2), "\x1BZ");
    EXPECT_EQ(c.find("<end>"), std::string::npos);
    // Not aborted, nor by a limit the job does not reach: no abort command.
    for (const std::string limit : {"", "40", "1000"}) {
        const RunResult full = RunRasterJob(
            With(job, limit.empty() ? std::vector<std::string>{"-o", "d.prn"}
                                    : std::vector<std::string>{"-o", "d.prn", "--abort-after", limit}),
            dir.Path());
        EXPECT_EQ(full.status, 0) << limit << full.err;
        const std::string d = ReadFile(dir / "d.prn");
        EXPECT_EQ(d.find("\x1BZ"), std::string::npos) << limit;
        EXPECT_EQ(d.substr(d.size() - 5), "<end>") << limit;
    }
}

TEST(RasterJobCli, JsonNamesTheClassesAndTheCommandSet)
{
    TempDir dir;
    RunResult r = RunRasterJob(PatternJob({"--json", "--set", "nFunctModeId=3", "--set", "Test_CommandSet=2"}), dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(JsonField(r.out, "uid"), "0");
    EXPECT_EQ(JsonField(r.out, "devParmsClass"), "\"CTestDevParms\"");
    EXPECT_EQ(JsonField(r.out, "driverClass"), "\"CTestDriver\"");
    EXPECT_EQ(JsonField(r.out, "commandSet"), "2");
    EXPECT_EQ(JsonField(r.out, "nFunctModeId"), "3");
    EXPECT_EQ(JsonField(r.out, "bytesWritten"), std::to_string(ReadFile(dir / "job.prn").size()));
    EXPECT_EQ(JsonField(r.out, "dpi"), "[720, 720]");
    EXPECT_EQ(JsonField(r.out, "bits"), "1");  // PrEnv_InkLevels unset: one level
    const auto channels = ParseChannels(r.out);
    ASSERT_EQ(channels.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(channels[static_cast<std::size_t>(i)].index, i);
        EXPECT_EQ(channels[static_cast<std::size_t>(i)].colourCode, i);
        EXPECT_EQ(channels[static_cast<std::size_t>(i)].rows, 12);
    }

    r = RunRasterJob(PatternJob({"--json", "--set", "PrEnv_UID=1", "--set", "PrEnv_InkLevels=3", "--set",
                              "PrEnv_DpiHorz=1440", "--dpi", "360x720"}),
                     dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(JsonField(r.out, "uid"), "1");
    EXPECT_EQ(JsonField(r.out, "driverClass"), "\"CTestDriverOther\"");
    EXPECT_EQ(JsonField(r.out, "commandSet"), "null");
    EXPECT_EQ(JsonField(r.out, "nFunctModeId"), "null");
    EXPECT_EQ(JsonField(r.out, "bits"), "2");
    EXPECT_EQ(JsonField(r.out, "dpi"), "[360, 720]");  // --dpi wins over the settings

    // Settings from a file; the printer's resolution when --dpi is absent.
    WriteFile(dir / "p.ini", "[Shop printer]\nPrEnv_UID=1\nPrEnv_DpiHorz=1440\nPrEnv_DpiVert=540\n");
    r = RunRasterJob({"--plugin", kPlugin, "--settings", "p.ini", "--json", "-q"}, dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(JsonField(r.out, "printer"), "\"Shop printer\"");
    EXPECT_EQ(JsonField(r.out, "driverClass"), "\"CTestDriverOther\"");
    EXPECT_EQ(JsonField(r.out, "dpi"), "[1440, 540]");
}

TEST(RasterJobCli, ListModelsCallsCreateForEveryUid)
{
    TempDir dir;
    RunResult r = RunRasterJob({"--plugin", kPlugin, "--list-models", "--json"}, dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("{\"uid\": 99, \"model\": \"\", \"devParmsClass\": \"CMimakiDevParmsBase\", "
                         "\"driverClass\": \"CMimakiLegacyBasePrinterDriver\", \"supported\": false, "
                         "\"madeDevParmsClass\": null, \"madeDriverClass\": null, \"definition\": null}"),
              std::string::npos);
    EXPECT_NE(r.out.find("{\"uid\": 1, \"model\": \"model 1\", \"devParmsClass\": \"DEVPARM1_CLASS\", "
                         "\"driverClass\": \"CMimakiLegacyBasePrinterDriver\", \"supported\": true, "
                         "\"madeDevParmsClass\": \"CTestDevParms\", \"madeDriverClass\": \"CTestDriverOther\", "
                         "\"definition\": \"stand-in\"}"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"supported\": 255, \"asCatalogue\": 0}"), std::string::npos);

    r = RunRasterJob({"--plugin", kPlugin, "--list-models"}, dir.Path());
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n99       (no model)"), std::string::npos);
    EXPECT_NE(r.out.find("no driver\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n100-255  (no model)"), std::string::npos);
    EXPECT_NE(r.out.find("makes CTestDevParms / CTestDriverOther"), std::string::npos);
    EXPECT_NE(r.out.find("makes a driver for 255 of 256 UIDs, 0 of them with the catalogue's classes"),
              std::string::npos);
}

// Every signal that ends a job cleans up as SIGINT does: no job file, no
// saved raster, status 128 + the signal.
TEST(RasterJobCli, InterruptedFileJobLeavesNothing)
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM}) {
        TempDir dir;
        testsupport::RunOptions run{dir.Path(), {"MIMAKI_PLUGIN"}, 300, sig, 60000};
        run.signalWhenPath = std::string(1, 'r');
        const RunResult r = testsupport::Run(
            RASTERJOB_EXE,
            TestJob({"--pattern", "random", "--width", "100000", "--height", "1000000", "--save-raster", "r"}), run);
        EXPECT_EQ(r.status, 128 + sig) << r.err;
        EXPECT_NE(r.err.find("rasterjob: interrupted by SIG"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("rows; nothing was written"), std::string::npos) << r.err;
        EXPECT_EQ(dir.List(), std::vector<std::string>{"r"}) << sig;
        EXPECT_EQ(TempDir::ListOf(dir / "r"), std::vector<std::string>{}) << sig;
    }
}

// A job whose stream already reached a printer or a pipe ends as an abort:
// the abort command once at the end, and the message says what went out.
TEST(RasterJobCli, InterruptedStreamEndsAsAnAbort)
{
    TempDir dir;
    const auto job = TestJob({"--pattern", "random", "--width", "64", "--height", "100000", "--set",
                              "Test_RowDelayUs=1000", "--set", "PrEnv_AbortCommand=\\033Z"});
    const testsupport::RunOptions run{dir.Path(), {"MIMAKI_PLUGIN"}, 1000, SIGINT, 60000};
    RunResult r = testsupport::Run(RASTERJOB_EXE, With(job, {"-o", "-"}), run);
    EXPECT_EQ(r.status, 130) << r.err;
    ASSERT_GT(r.out.size(), 100u);
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\x1BZ");
    EXPECT_EQ(r.out.find("\x1BZ"), r.out.size() - 2);
    const std::string n = std::to_string(r.out.size());
    EXPECT_NE(r.err.find("; the job was aborted: standard output received " + n + " of " + n + " bytes"),
              std::string::npos)
        << r.err;

    LoopbackReceiver printer;
    r = testsupport::Run(RASTERJOB_EXE, With(job, {"--device", printer.Uri()}), run);
    const std::string got = printer.Received();
    EXPECT_EQ(r.status, 130) << r.err;
    ASSERT_GT(got.size(), 100u);
    EXPECT_EQ(got.find("\x1BZ"), got.size() - 2);
    const std::string m = std::to_string(got.size());
    EXPECT_NE(r.err.find("; the job was aborted: the printer acknowledged " + m + " of " + m + " bytes"),
              std::string::npos)
        << r.err;
}

// Waits that used to block for ever: a FIFO without a writer, a printer
// that does not answer or does not read. A signal ends each at once, and
// --device-timeout ends the printer's.
TEST(RasterJobCli, SignalsAndTimeoutsEndBlockedJobs)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "in.fifo").c_str(), 0600), 0);
    const auto job = PatternJob({"--width", "20000", "--height", "5000", "--pattern", "random"});
    const testsupport::RunOptions stop{dir.Path(), {"MIMAKI_PLUGIN"}, 1000, SIGTERM, 60000};
    const testsupport::RunOptions wait{dir.Path(), {"MIMAKI_PLUGIN"}, 0, SIGINT, 60000};

    RunResult r = testsupport::Run(RASTERJOB_EXE, TestJob({"--input", "in.fifo"}), stop);
    EXPECT_EQ(r.status, 143) << r.err;
    EXPECT_EQ(r.ErrLines(), std::vector<std::string>{"rasterjob: interrupted by SIGTERM; nothing was sent"});

    const testsupport::UnansweredPort silent;
    const std::string silentUri = "socket://127.0.0.1:" + std::to_string(silent.Port());
    r = testsupport::Run(RASTERJOB_EXE, With(job, {"--device", silentUri}), stop);
    EXPECT_EQ(r.status, 143) << r.err;
    EXPECT_EQ(r.ErrLines(), std::vector<std::string>{"rasterjob: interrupted by SIGTERM; nothing was sent"});
    r = testsupport::Run(RASTERJOB_EXE, With(job, {"--device", silentUri, "--device-timeout", "0.5"}), wait);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(silentUri + ": no answer within 0.5 s"), std::string::npos) << r.err;

    {
        LoopbackReceiver stalled(testsupport::ReceiverBehaviour{false, std::size_t(-1), true});
        r = testsupport::Run(RASTERJOB_EXE, With(job, {"--device", stalled.Uri()}), stop);
        EXPECT_EQ(r.status, 143) << r.err;
        EXPECT_NE(r.err.find("; the job was cut off (" + stalled.Uri() + ": took no more data in the 2 s allowed after "
                             "the stop): the printer acknowledged "),
                  std::string::npos)
            << r.err;
    }
    LoopbackReceiver stalled(testsupport::ReceiverBehaviour{false, std::size_t(-1), true});
    r = testsupport::Run(RASTERJOB_EXE, With(job, {"--device", stalled.Uri(), "--device-timeout", "1"}), wait);
    EXPECT_EQ(r.status, 1) << r.err;
    ASSERT_EQ(r.ErrLines().size(), 1u) << r.err;
    EXPECT_NE(r.err.find(stalled.Uri() + ": took no data for 1 s (--device-timeout): the printer acknowledged "),
              std::string::npos)
        << r.err;
}

// A job counts as delivered only when the printer took every byte.
TEST(RasterJobCli, PrinterThatClosesEarlyFailsTheJob)
{
    TempDir dir;
    for (const std::string height : {"12", "3000"}) {  // within the socket's buffers, and beyond
        LoopbackReceiver printer(testsupport::ReceiverBehaviour{false, 1000});
        const RunResult r = RunRasterJob(
            PatternJob({"--pattern", "random", "--width", "2000", "--height", height, "--device", printer.Uri()}),
            dir.Path());
        EXPECT_EQ(printer.Received().size(), 1000u);
        EXPECT_EQ(r.status, 1) << r.err;
        ASSERT_EQ(r.ErrLines().size(), 1u) << r.err;
        EXPECT_NE(r.err.find("rasterjob: " + printer.Uri() + ": the printer "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(" the connection "), std::string::npos) << r.err;
    }
}

// Once the printer has the job, a lost report or saved raster is status 4,
// not a failure that would make the user print twice.
TEST(RasterJobCli, DeliveredJobWithLostExtrasIsStatus4)
{
    TempDir dir;
    testsupport::RunOptions limited{dir.Path(), {"MIMAKI_PLUGIN"}};
    limited.fileSizeLimit = 100000;
    // The blank job's stream is a few bytes, its saved rasters 600 kB each.
    const auto job = PatternJob({"--width", "2000", "--height", "300", "--bits", "2", "--pattern", "blank"});
    RunResult r = testsupport::Run(RASTERJOB_EXE, With(job, {"--save-raster", "r", "-o", "j.prn"}), limited);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("rasterjob: the job was delivered to j.prn, but --save-raster failed: "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(std::strerror(EFBIG)), std::string::npos) << r.err;
    const TestStream t = DecodeTestStream(ReadFile(dir / "j.prn"), {0, 1, 2, 3});
    EXPECT_TRUE(t.started && t.ended);
    EXPECT_EQ(TempDir::ListOf(dir / "r"), std::vector<std::string>{});

    testsupport::RunOptions full{dir.Path(), {"MIMAKI_PLUGIN"}};
    full.stdoutPath = "/dev/full";
    r = testsupport::Run(RASTERJOB_EXE, With(job, {"--json", "-o", "k.prn"}), full);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_EQ(r.ErrLines(), std::vector<std::string>{"rasterjob: the job was delivered to k.prn, but its --json "
                                                     "summary was lost: standard output: No space left on device"});
    EXPECT_TRUE(DecodeTestStream(ReadFile(dir / "k.prn"), {0, 1, 2, 3}).ended);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"--plugin", kPlugin, "--list-models"}}) {
        r = testsupport::Run(RASTERJOB_EXE, args, full);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.ErrLines(), std::vector<std::string>{"rasterjob: standard output: No space left on device"});
    }
}

// -o writes through a symbolic link and keeps the file's permissions; what
// the user could not overwrite is refused with the reason.
TEST(RasterJobCli, OutputFilePermissionsAreKept)
{
    TempDir dir;
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
    const std::string ro = dir.Sub("ro");
    WriteFile(ro + "/mine.prn", "old");
    WriteFile(dir / "locked.prn", "old");
    constexpr int kNobody = 65534;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown((ro + "/mine.prn").c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown((dir / "locked.prn").c_str(), kNobody, kNobody), 0);
    }
    ::chmod((ro + "/mine.prn").c_str(), 0644);
    ::chmod(ro.c_str(), 0555);
    ::chmod((dir / "locked.prn").c_str(), 0444);
    testsupport::RunOptions asUser{dir.Path(), {"MIMAKI_PLUGIN"}};
    asUser.uid = ::geteuid() == 0 ? kNobody : -1;

    RunResult r = testsupport::Run(RASTERJOB_EXE, PatternJob({"-o", "locked.prn"}), asUser);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.ErrLines(), std::vector<std::string>{"rasterjob: locked.prn: cannot replace it: Permission denied "
                                                     "(the file is write-protected)"});
    r = testsupport::Run(RASTERJOB_EXE, PatternJob({"-o", "ro/mine.prn"}), asUser);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.ErrLines(), std::vector<std::string>{"rasterjob: ro/mine.prn: cannot write into its folder ro: "
                                                     "Permission denied (the file is written there under a temporary "
                                                     "name and renamed)"});
    EXPECT_EQ(ReadFile(dir / "locked.prn"), "old");
    EXPECT_EQ(ReadFile(ro + "/mine.prn"), "old");
    ::chmod(ro.c_str(), 0755);
}

#ifdef MIMAKI_PLUGIN_PATH
// The same paths with the real plug-in.
TEST(RasterJobCli, RealPluginDefaultPrinterAbortAndSocket)
{
    TempDir dir;
    const std::string plugin = MIMAKI_PLUGIN_PATH;
    RunResult r = RunRasterJob({"--plugin", plugin, "--width", "200", "--height", "50", "--json"}, dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("(built-in default)"), std::string::npos) << r.err;
    EXPECT_EQ(JsonField(r.out, "bits"), "2");
    EXPECT_EQ(JsonField(r.out, "compress"), "true");
    // A JV300 (UID 27) with its stand-in definition: CMYK under four
    // different printer colours.
    EXPECT_EQ(JsonField(r.out, "devParmsClass"), "\"DEVPARMJV300_CLASS\"");
    const auto parsed = streamparse::ParseStream(ReadFile(dir / "job.prn"));
    std::set<int> colours;
    for (const auto& plane : parsed.planes)
        colours.insert(plane.key.colour);
    EXPECT_EQ(colours, (std::set<int>{0, 1, 2, 4}));
    EXPECT_EQ(JsonField(r.out, "commandSet"), "4");
    const std::string full = ReadFile(dir / "job.prn");
    EXPECT_EQ(full.substr(full.size() - 3), std::string("QE\0", 3));

    // Aborted: the rows so far, then the abort command once, no job end.
    const std::vector<std::string> job = {"--plugin", plugin, "--width", "200", "--height", "50", "-q", "--set",
                                          "PrEnv_UID=0", "--set", "nFunctModeId=4", "--set",
                                          "PrEnv_AbortCommand=\\033ABORT\\001"};
    r = RunRasterJob(With(job, {"--abort-after", "20", "-o", "a.prn"}), dir.Path());
    EXPECT_EQ(r.status, 3) << r.err;
    const std::string a = ReadFile(dir / "a.prn");
    const std::string abort = "\x1B" "ABORT\x01";
    ASSERT_GE(a.size(), abort.size());
    EXPECT_EQ(a.substr(a.size() - abort.size()), abort);
    EXPECT_EQ(a.find(abort), a.size() - abort.size());
    EXPECT_EQ(a.find(std::string("QE\0", 3)), std::string::npos);

    // A socket gets what the file gets.
    ASSERT_EQ(RunRasterJob(With(job, {"-o", "f.prn"}), dir.Path()).status, 0);
    LoopbackReceiver printer;
    r = RunRasterJob(With(job, {"--device", printer.Uri()}), dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(printer.Received() == ReadFile(dir / "f.prn"));
}
#endif
