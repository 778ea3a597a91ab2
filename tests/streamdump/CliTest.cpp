// Runs the streamdump command on files.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/common/RasterDigest.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class StreamdumpCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("streamdump-cli-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        const fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    static std::string Slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    Outcome Exec(const std::string& args)
    {
        const fs::path out = m_dir / "stdout.txt";
        const fs::path err = m_dir / "stderr.txt";
        const std::string cmd = std::string(STREAMDUMP_EXE) + " " + args + " >" + out.string() + " 2>" + err.string();
        Outcome r;
        const int rc = std::system(cmd.c_str());
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }

    fs::path m_dir;
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

    const Outcome r = Exec("--json --png-dir " + (m_dir / "png").string() + " " + file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"ok\": true"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"formats\": [\"set0\"]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"ESC .\": 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"rows\": 2, \"bytesPerRow\": 2, \"bitsPerPixel\": 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"digest\": \"" + expect.Hex() + "\""), std::string::npos) << r.out;
    EXPECT_TRUE(fs::is_regular_file(m_dir / "png" / "layer0_colour0.png"));
    EXPECT_TRUE(fs::is_regular_file(m_dir / "png" / "layer0_composite.png"));
    EXPECT_EQ(Slurp(m_dir / "png" / "layer0_colour0.png").substr(0, 4), "\x89PNG");

    const Outcome trace = Exec("--trace " + file);
    EXPECT_EQ(trace.status, 0);
    EXPECT_NE(trace.out.find("0000001a     10  ESC .    comp=1"), std::string::npos) << trace.out;
    EXPECT_NE(trace.out.find("sha256 " + expect.Hex()), std::string::npos) << trace.out;
}

TEST_F(StreamdumpCli, MalformedStreamsAndBadUseFail)
{
    // The second row's PackBits data is one byte short.
    const std::string bad = kGood.substr(0, 23 + 11) + "\xff";
    const Outcome r = Exec("--json " + Write("bad.prn", bad));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos);
    EXPECT_NE(r.out.find("{\"offset\": 26, \"message\": \"truncated ESC . row"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("offset 0x1a: truncated ESC . row"), std::string::npos) << r.err;

    const Outcome unknown = Exec(Write("so.prn", "SO\x01\x02"));
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(Exec("--command SO=2 " + Write("so2.prn", "SO\x01\x02")).status, 0);

    EXPECT_EQ(Exec((m_dir / "missing.prn").string()).status, 2);
    const Outcome usage = Exec("--frobnicate x");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("unknown option --frobnicate"), std::string::npos);
    EXPECT_EQ(Exec("--command S=2 x").status, 2);
    EXPECT_EQ(Exec("").status, 2);

    // A preview folder that cannot be made.
    Write("plain", "x");
    EXPECT_EQ(Exec("--png-dir " + (m_dir / "plain" / "sub").string() + " " + Write("g.prn", kGood)).status, 2);
}

} // namespace
