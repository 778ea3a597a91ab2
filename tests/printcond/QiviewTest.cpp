#include <gtest/gtest.h>

#include "tests/printcond/QiTestSupport.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace {

using namespace testsupport;

class Qiview : public ::testing::Test {
protected:
    RunResult Exec(const std::vector<std::string>& args, const std::string& stdoutPath = "")
    {
        RunOptions options{"", {"VO_LOGGING_LEVEL=4", "VO_LOG_FILE="}};
        options.stdoutPath = stdoutPath;
        return testsupport::Run(QIVIEW_PATH, args, options);
    }
    std::string Write(const std::string& name, const std::string& content)
    {
        WriteFile(m_dir / name, content);
        return m_dir / name;
    }

    TempDir m_dir;
};

TEST_F(Qiview, PrintsConditionsResultAndInksetsOfAFile)
{
    qitest::Rec a;
    qitest::Rec b = a;
    b.categoryLarge = 20;
    b.categorySmall = 3;
    const std::string hex = WideToAnsi(qitest::Hex(qitest::BlockBytes({a, b})));
    // Line breaks, blanks and a comment line as in the diagnostic dumps.
    std::string content = "# source: printer\n";
    for (std::size_t i = 0; i < hex.size(); i += 80)
        content += "  " + hex.substr(i, 80) + "\r\n";
    const RunResult r = Exec({Write("block.txt", content)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "=== begin print condition 0 ===\n"
              "\tinksetName (d2)=LH100-401\n"
              "\tprintModeSetNumber (d3.1)=1\n"
              "\tprintModeSetName (d3.1)=PET\n"
              "--- actionCategorys (d4)---\n"
              "\t\tactionCategoryLarge (d4.1)=10; actionCategorySmall(d4.2)=1\n"
              "\t\tactionCategoryLarge (d4.1)=20; actionCategorySmall(d4.2)=3\n"
              "\tprintMethodDisplayName=720x1440 VD\n"
              "\twaveForm (d5)=3\n"
              "\tyDpi(d7, horiz)=720; xDpi(d8, vert)=1440\n"
              "\tenableHQ (d9)=0\n"
              "\tdotBit (d10)=2\n"
              "--- Band divisions (d11.3)---\n"
              "pass=4 bandAdjust=0 highSpeed=0\n"
              "pass=8 bandAdjust=1 highSpeed=0\n"
              "--- Scan direction (d12.3): 0 1\n"
              "--- Overpaint num (d13.3): 1 2 3\n"
              "--- Overpaint level (d14.3):  0\n"
              "=== end print condition 0 ===\n"
              "records=2 conditions=1\n"
              "result=1\n"
              "inksets=LH100-401\n");
}

TEST_F(Qiview, InvalidBlockExitsNonZeroWithTheLogOnStderr)
{
    auto bytes = qitest::BlockBytes({qitest::Rec{}});
    bytes[3] = 0x21;
    const RunResult r = Exec({Write("bad.txt", WideToAnsi(qitest::Hex(bytes)))});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Wrong header in Mimaki Print Condition: MimakiPrintConditions.m_Header.kind=33"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("result=0\n"), std::string::npos);
}

TEST_F(Qiview, BadTextIsReportedWithItsPlace)
{
    RunResult r = Exec({Write("g.txt", "5149\n0B2G\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("g.txt:2:4: 'G' is not a hexadecimal digit"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    r = Exec({Write("odd.txt", "51490\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("odd.txt: odd number of hexadecimal digits (5)"), std::string::npos) << r.err;

    r = Exec({Write("empty.txt", "# nothing\n\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("empty.txt: no hexadecimal data"), std::string::npos) << r.err;

    r = Exec({m_dir / "missing.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.txt: cannot open"), std::string::npos) << r.err;

    r = Exec({m_dir.Path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qiview: " + m_dir.Path() + ": is a folder, not a file (Is a directory)\n");

    r = Exec({});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: qiview FILE"), std::string::npos);
    // Asked for, the usage is the answer: standard output, status 0.
    r = Exec({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: qiview FILE\n", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
    // Output that is lost is a failure.
    r = Exec({"--list-embedded"}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qiview: standard output: No space left on device\n");
}

TEST_F(Qiview, EmbeddedEntriesByNameAndAsAList)
{
    RunResult r = Exec({"--embedded", "printmodedatats100_allinksets"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("records=3 conditions=3\nresult=1\ninksets=SB610-410\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("=== end print condition 2 ==="), std::string::npos);

    r = Exec({"--embedded", "NoSuchTable"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no embedded print-mode data named \"NoSuchTable\""), std::string::npos);

    r = Exec({"--list-embedded"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 62);
    EXPECT_NE(r.out.find("PrintModeDataUJF6042MKIIAllInksets              173188    1682         50  LH100-601\n"),
              std::string::npos)
        << r.out;
}

}  // namespace
