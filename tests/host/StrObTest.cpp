// String objects: the bytes the host sends for them, and the job's mirror file.
#include "host/StrOb.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "tests/support/TempDir.h"

using namespace testsupport;

namespace {

class RowlessDriver : public CPrinterDriverBase {
public:
    explicit RowlessDriver(CPrintEnv* env) : CPrinterDriverBase(env, nullptr) {}
    int OutputCurrentRow() override { return 1; }
};

CStrObMimakiTS300P Sample()
{
    CStrObMimakiTS300P ob;
    ob.m_strCommands = "Q@\\x00QS\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02xPP\\x01\\xff";
    ob.m_nOneCopyPixelHeight = 1000;
    ob.m_nOutputPixelWidth = 70000;
    return ob;
}

// Q @ 0, Q S 8 height(1000) width(70000), P P 1 FF
const std::string kSampleBytes = std::string("Q@\0QS\x08\xE8\x03\0\0\x70\x11\x01\0PP\x01\xFF", 18);

struct UserData {
    TempDir dir;
    UserData() { setenv("MIMAKI_USER_DATA", dir.Path().c_str(), 1); }
    ~UserData() { unsetenv("MIMAKI_USER_DATA"); }
};

} // namespace

TEST(StrOb, TheHostFillsTheJobSizeTemplate)
{
    EXPECT_EQ(Sample().Bytes(), kSampleBytes);
    CStrOb plain;
    plain.m_strCommands = "Q@\\000";
    EXPECT_EQ(plain.Bytes(), std::string("Q@\0", 3));
}

// Only the job-size command is filled: the operator's own command texts
// around it keep their percent signs.
TEST(StrOb, TheJobSizeFillTouchesNothingElse)
{
    CStrObMimakiTS300P ob = Sample();
    ob.m_strCommands = "PL%03o%%\\x%02x" + ob.m_strCommands + "SD%d\\101";
    EXPECT_EQ(ob.Bytes(), "PL%03o%%x%02x" + kSampleBytes + "SD%dA");
}

TEST(StrOb, SentAsAnObjectSection)
{
    CPrintEnv env;
    RowlessDriver driver(&env);
    CMemorySink sink;
    driver.SetOutputSink(&sink);
    CStrObMimakiTS300P ob = Sample();
    const int sections = driver.GetSectionCount();
    EXPECT_EQ(driver << ob, 1);
    EXPECT_EQ(sink.Data(), kSampleBytes);
    EXPECT_EQ(driver.GetSectionCount(), sections + 1);
}

TEST(StrOb, MirrorFileOfTheJob)
{
    UserData user;
    for (int mode : {1, 2}) {
        CPrintEnv env;
        CPrintJobOpenContext ctx;
        ctx.pixelWidth = 8;
        ctx.colourCodes = {0};
        RowlessDriver driver(&env);
        CMemorySink sink;
        driver.SetOutputSink(&sink);
        ASSERT_EQ(driver.JobOpen(&ctx), 1);
        CStrObMimakiTS300P ob = Sample();
        ob.m_nRedirectMode = mode;
        ob.m_strMirrorPath = BuildUserDataPathName("[P]job_usbmirror.prn", 0);
        EXPECT_EQ(ob.m_strMirrorPath, user.dir / "[P]job_usbmirror.prn");
        ASSERT_EQ(driver << ob, 1);
        ASSERT_EQ(driver.Output(std::string("rows")), 1);
        EXPECT_EQ(ReadFile(ob.m_strMirrorPath), ""); // only a temporary until the job closes
        ASSERT_EQ(driver.JobClose(), 1);
        EXPECT_EQ(ReadFile(ob.m_strMirrorPath), kSampleBytes + "rows") << mode;
        // Mode 2 sends the job only to the mirror.
        EXPECT_EQ(sink.Data(), mode == 1 ? kSampleBytes + "rows" : "") << mode;
        EXPECT_EQ(user.dir.List(), std::vector<std::string>{"[P]job_usbmirror.prn"});
        std::remove(ob.m_strMirrorPath.c_str());
    }
    // A driver gone before the job closes leaves no mirror behind.
    {
        CPrintEnv env;
        RowlessDriver driver(&env);
        CMemorySink sink;
        driver.SetOutputSink(&sink);
        CStrObMimakiTS300P ob = Sample();
        ob.m_nRedirectMode = 1;
        ob.m_strMirrorPath = BuildUserDataPathName("gone.prn", 0);
        ASSERT_EQ(driver << ob, 1);
    }
    EXPECT_TRUE(user.dir.List().empty());
}

// A name a file cannot carry still names a file: "/", backslashes and
// control characters become "_", a name too long for a folder entry is cut
// at a character boundary and keeps its ending.
TEST(StrOb, SafeFileNames)
{
    EXPECT_EQ(SafeFileName("[P]jobs/poster\\A\tB_usbmirror.prn"), "[P]jobs_poster_A_B_usbmirror.prn");
    EXPECT_EQ(SafeFileName(".."), "_..");
    EXPECT_EQ(SafeFileName("Plakat \xC3\xA4"), "Plakat \xC3\xA4");
    const std::string tail = "_usbmirror.prn";
    // 239 ASCII bytes, then a two-byte character across the cut at 241.
    const std::string longName = std::string(240, 'a') + "\xC3\xA4" + std::string(20, 'b') + tail;
    const std::string cut = SafeFileName(longName, tail.size());
    EXPECT_EQ(cut, std::string(240, 'a') + tail);
    EXPECT_LE(SafeFileName(std::string(300, 'x')).size(), 255u);
}
