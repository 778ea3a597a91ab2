// Runs the streamdump command on files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/Bytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/common/RasterDigest.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

class StreamdumpCli : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        WriteFile(m_dir / name, bytes);
        return m_dir / name;
    }
    RunResult Exec(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return testsupport::Run(STREAMDUMP_EXE, args, options);
    }

    TempDir m_dir;
};

// Two rows of black at 1 bit, the second PackBits-coded, job framing.
const std::string kGood = std::string("\x1b@\x1b(U\x01\x00\x05", 8) +
                          std::string("\x1br\x00\x1b.\x00\x05\x05\x01\x10\x00\xf0\x0f\r\n", 15) +
                          std::string("\x1br\x00\x1b.\x01\x05\x05\x01\x10\x00\xff\x81\r\n", 15) + "\x0c\xff";

TEST_F(StreamdumpCli, JsonSummaryCarriesTheDigestAndPreviewsAreWritten)
{
    const std::string file = Write("good.prn", kGood);
    RasterDigest expect;
    expect.AddRow(reinterpret_cast<const std::uint8_t*>("\xf0\x0f"), 2);
    expect.AddRow(reinterpret_cast<const std::uint8_t*>("\x81\x81"), 2);

    const RunResult r = Exec({"--json", "--png-dir", m_dir / "png", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"ok\": true"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"formats\": [\"set0\"]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"ESC .\": 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"rows\": 2, \"bytesPerRow\": 2, \"bitsPerPixel\": 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"digest\": \"" + expect.Hex() + "\""), std::string::npos) << r.out;
    EXPECT_TRUE(fs::is_regular_file(m_dir / "png/layer0_colour0.png"));
    EXPECT_TRUE(fs::is_regular_file(m_dir / "png/layer0_composite.png"));
    EXPECT_EQ(ReadFile(m_dir / "png/layer0_colour0.png").substr(0, 4), "\x89PNG");

    const RunResult trace = Exec({"--trace", file});
    EXPECT_EQ(trace.status, 0);
    EXPECT_NE(trace.out.find("0000001a     10  ESC .    comp=1"), std::string::npos) << trace.out;
    EXPECT_NE(trace.out.find("sha256 " + expect.Hex()), std::string::npos) << trace.out;
}

// The job commands with their named parameters; a setting left to the
// printer is null.
TEST_F(StreamdumpCli, JobCommandsAreListedWithTheirParameters)
{
    const std::string stream = kGood.substr(0, 8) + Bytes({'M', 'P', 4, 1, 0xFF, 1, 0, 0, 0xFF, 0xFF, 0xFF}) +
                               kGood.substr(8) + Bytes({'Q', 'Z', 0});
    const std::string file = Write("job.prn", stream);
    const RunResult r = Exec({"--json", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("{\"offset\": 8, \"name\": \"MP\", \"meaning\": \"print mode\", \"bytes\": "
                         "\"4d500401ff010000ffffff\", \"params\": {\"banding\": 4, \"unidirectional\": 1, "
                         "\"overprint\": null, \"cut\": 1, \"dryTimeScan\": 0, \"dryTimeEnd\": null, "
                         "\"byte9\": null}}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"offset\": 2, \"name\": \"ESC (U\", \"meaning\": \"unit\", \"bytes\": "
                         "\"1b2855010005\", \"params\": {\"unit\": 5}}"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\"ESC .\", \"meaning\""), std::string::npos) << "raster records are no job commands";
    EXPECT_NE(r.err.find("offset 0x33: unknown MRL III block QZ with 0 parameter bytes; skipped"), std::string::npos)
        << r.err;

    const RunResult trace = Exec({"--trace", file});
    EXPECT_NE(trace.out.find("00000008     11  MP       print mode: banding=4 unidirectional=1 overprint=printer cut=1 "
                             "dryTimeScan=0 dryTimeEnd=printer byte9=printer\n"),
              std::string::npos)
        << trace.out;
}

TEST_F(StreamdumpCli, MalformedStreamsAndBadUseFail)
{
    // The second row's PackBits data is one byte short.
    const std::string bad = kGood.substr(0, 23 + 11) + "\xff";
    const RunResult r = Exec({"--json", Write("bad.prn", bad)});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos);
    EXPECT_NE(r.out.find("{\"offset\": 26, \"message\": \"truncated ESC . row"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("offset 0x1a: truncated ESC . row"), std::string::npos) << r.err;

    const RunResult unknown = Exec({Write("xz.prn", "XZ\x01\x02")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(Exec({"--command", "XZ=2", Write("xz2.prn", "XZ\x01\x02\x0c\xff")}).status, 0);
    // An ESC/P job's page end without the job end byte after it: cut short.
    const RunResult cut = Exec({"--command", "XZ=2", Write("xz3.prn", "XZ\x01\x02\x0c")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find("without the job end byte 0xFF: the job is incomplete"), std::string::npos) << cut.err;

    EXPECT_EQ(Exec({m_dir / "missing.prn"}).status, 2);
    const RunResult usage = Exec({"--frobnicate", "x"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("unknown option --frobnicate"), std::string::npos);
    EXPECT_EQ(Exec({"--command", "S=2", "x"}).status, 2);
    EXPECT_EQ(Exec({"--uid", "256", "x"}).status, 2);
    EXPECT_EQ(Exec({}).status, 2);

    // A preview folder that cannot be made.
    Write("plain", "x");
    EXPECT_EQ(Exec({"--png-dir", m_dir / "plain/sub", Write("g.prn", kGood)}).status, 2);
}

// Input that is not a whole job is not clean: an empty file, a stream
// without its job end. Input that cannot be read is an input failure.
TEST_F(StreamdumpCli, IncompleteOrUnreadableInputIsNotClean)
{
    RunResult r = Exec({"--json", Write("cut.prn", kGood.substr(0, kGood.size() - 2))});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("offset 0x26: the stream ends without its job end (QE or FF): the job is incomplete"),
              std::string::npos)
        << r.err;
    r = Exec({Write("empty.prn", "")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("offset 0x0: empty stream: no job in it"), std::string::npos) << r.err;
    RunOptions stdinFile;
    stdinFile.stdinPath = Write("in.prn", kGood);
    EXPECT_EQ(Exec({"-"}, stdinFile).status, 0);

    r = Exec({m_dir.Path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "streamdump: " + m_dir.Path() + ": is a folder, not a file (Is a directory)\n");
    RunOptions closed;
    closed.closeStdin = true;
    r = Exec({"-"}, closed);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "streamdump: standard input: cannot read: Bad file descriptor\n");
    RunOptions full;
    full.stdoutPath = "/dev/full";
    r = Exec({"--json", Write("g.prn", kGood)}, full);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "streamdump: standard output: No space left on device\n");
}

// A signal while previews are written leaves no partial file behind.
TEST_F(StreamdumpCli, InterruptedPreviewsLeaveNoPartialFile)
{
    // A 30000-pixel row, a feed of 15000 rows and another row, at full
    // scale: seconds of preview writing. The NUL bytes raise the budget.
    std::string row = Bytes({'Q', 'R', 1, 0, 'Q', 'D', 7, 0, 1, 1, 0xA6, 0x0E, 1, 0});  // 3750 bytes, one line
    for (int i = 0; i < 29; ++i)
        row += Bytes({0x81, 0xFF});
    row += Bytes({0xDB, 0xFF});  // 29 x 128 bytes, and the last 38
    const std::string band = Bytes({'Q', 'R', 1, 1});
    const std::string stream = row + band + Bytes({'Q', 'X', 5, 1, 0x98, 0x3A, 0, 0}) + row + band +
                               std::string(4 << 20, '\0') + Bytes({'Q', 'E', 0});
    const std::string file = Write("big.prn", stream);
    RunOptions run{"", {}, 300, 2, 60000};
    run.signalWhenPath = m_dir / "png";
    const RunResult r = Exec({"--png-dir", m_dir / "png", "--png-scale", "1", file}, run);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_NE(r.err.find("streamdump: interrupted; the previews of layer 0 were not written"), std::string::npos)
        << r.err;
    EXPECT_EQ(TempDir::ListOf(m_dir / "png"), std::vector<std::string>{});
}

} // namespace
