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
