// Create when memory runs out: each allocation inside Create fails in turn
// (1, 2, 3, ... until Create no longer needs the one that fails), once or
// from then on. Every run answers null (with a log line) or a driver that
// prints exactly what a driver made without failures prints, never crashes,
// and leaves no allocation behind.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>

#include "FailingNew.h"
#include "host/Log.h"
#include "tests/driver/DriverTestUtil.h"
#include "tests/support/TempDir.h"

IPrinterDriver* Create(CPrintEnv* pEnv);

namespace {

// One UID of each driver family, and of the parameter classes behind them:
// legacy over the plain parameters (0) and over model classes, MRL III and
// its named variants, the 604 special driver, the DTF driver. UIDs whose
// classes this build does not have yet are skipped and named.
constexpr int kUids[] = {0, 1, 3, 12, 13, 15, 17, 24, 26, 45, 54};

// A two-channel, three-row job; its bytes, or "failed".
std::string Job(IPrinterDriver* object)
{
    auto* driver = dynamic_cast<CPrinterDriverBase*>(object);
    if (!driver)
        return "no driver base";
    CPrintJobOpenContext ctx;
    ctx.pixelWidth = 64;
    ctx.colourCodes = {0, 1};
    ctx.compressMode = 1;
    std::vector<Row> rows;
    for (int r = 0; r < 3; ++r) {
        Row row(2, std::vector<BYTE>(8, 0));
        for (int ch = 0; ch < 2; ++ch)
            row[static_cast<std::size_t>(ch)][static_cast<std::size_t>(r + ch)] = static_cast<BYTE>(0x81 + r);
        rows.push_back(row);
    }
    const JobResult job = RunJob(*driver, ctx, rows);
    return job.ok ? job.bytes : "failed";
}

} // namespace

TEST(CreateOutOfMemory, EveryAllocationFailsInTurn)
{
    testsupport::TempDir dir;
    const std::string logPath = dir / "vo.log";
    const int savedLevel = CVoLogReporter::LoggingLevel();
    CVoLogReporter::SetLoggingLevel(4);
    CVoLogReporter::SetLogFile(logPath); // written without the heap
    int ran = 0;
    for (int uid : kUids) {
        CPrintEnv env;
        env.PutInt(PrEnv_UID, uid);
        env.PutString(L"MimakiColorSequence", L"4,2"); // the DTF printer's colour of each channel
        std::unique_ptr<IPrinterDriver> reference(Create(&env));
        if (!reference) {
            std::cout << "UID " << uid << ": no driver in this build, skipped\n";
            continue;
        }
        const std::string expected = Job(reference.get());
        reference.reset();
        ASSERT_NE(expected, "failed") << "UID " << uid;
        long allocations = 0;
        for (bool onward : {false, true}) {
            for (long n = 1;; ++n) {
                const std::size_t logBefore = testsupport::ReadFile(logPath).size();
                const long live = failnew::Live();
                failnew::Arm(n, onward);
                IPrinterDriver* d = Create(&env);
                const long calls = failnew::Disarm();
                const bool failed = calls >= n;
                if (d) {
                    EXPECT_EQ(Job(d), expected) << "UID " << uid << ", allocation " << n << " failed";
                    delete d;
                } else {
                    EXPECT_TRUE(failed) << "UID " << uid;
                    const std::string log = testsupport::ReadFile(logPath).substr(logBefore);
                    EXPECT_NE(log.find("***Create#"), std::string::npos)
                        << "UID " << uid << ", allocation " << n << ": null without a log line";
                }
                EXPECT_EQ(failnew::Live(), live) << "UID " << uid << ", allocation " << n << " failed: leak";
                if (!failed) {
                    EXPECT_TRUE(d) << "UID " << uid;
                    allocations = calls;
                    break;
                }
                ASSERT_LT(n, 100000);
            }
        }
        std::cout << "UID " << uid << ": " << allocations << " allocations in Create, each failed in turn\n";
        ++ran;
    }
    CVoLogReporter::SetLogFile("");
    CVoLogReporter::SetLoggingLevel(savedLevel);
    EXPECT_GE(ran, 1);
}
