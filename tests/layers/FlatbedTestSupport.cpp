#include "tests/layers/FlatbedTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/SpoolBuffer.h"
#include "tests/driver/DriverTestUtil.h"

namespace spooltest {

namespace {

// Sets the budget (and folder) for one scope and puts them back.
struct SpoolSettings {
    explicit SpoolSettings(std::uint64_t limit, const std::string& folder = GlobalTempFileMgr().GetTempFolder())
        : m_folder(GlobalTempFileMgr().GetTempFolder())
    {
        GlobalTempFileMgr().SetMemoryLimit(limit);
        GlobalTempFileMgr().SetTempFolder(folder);
        GlobalTempFileMgr().ResetStats();
    }
    ~SpoolSettings()
    {
        GlobalTempFileMgr().SetMemoryLimit(CTempFileMgr::kDefaultLimit);
        GlobalTempFileMgr().SetTempFolder(m_folder);
    }
    std::string m_folder;
};

void ExpectNothingLeft(const std::string& where)
{
    EXPECT_EQ(GlobalTempFileMgr().OpenFiles(), 0) << where;
    EXPECT_EQ(GlobalTempFileMgr().MemoryInUse(), 0u) << where;
}

} // namespace

void CheckFailurePaths(const CPrintEnv& prototype, const layertest::Job& job, const std::string& errorSource)
{
    CPrintEnv env = prototype;
    env.PutString(PrEnv_AbortCommand, L"<abort>");
    auto d = CreateDriver(env);
    ASSERT_NE(d, nullptr);
    const layertest::Result whole = layertest::RunJob(*d, job);
    ASSERT_EQ(whole.ok, 1);
    ASSERT_GT(whole.bytes.size(), 50u);

    // The output failing at every byte, with the page in memory and spilled.
    for (const std::uint64_t limit : {CTempFileMgr::kDefaultLimit, std::uint64_t{0}}) {
        SpoolSettings spool(limit);
        for (std::size_t at = 0; at < whole.bytes.size(); ++at) {
            const layertest::Result r = layertest::RunJob(*d, job, at);
            const std::string where = "failing at byte " + std::to_string(at) + " of " +
                                      std::to_string(whole.bytes.size()) + (limit ? "" : ", spilled");
            EXPECT_EQ(r.ok, 0) << where;
            EXPECT_EQ(r.callsAfterFailure, 0u) << where;
            EXPECT_EQ(r.bytes, whole.bytes.substr(0, at)) << where;
            ExpectNothingLeft(where);
        }
    }
    EXPECT_EQ(layertest::RunJob(*d, job).bytes, whole.bytes) << "the driver prints again after failures";

    {
        // Everything spilled: the same stream.
        SpoolSettings spool(0);
        const layertest::Result r = layertest::RunJob(*d, job);
        EXPECT_EQ(r.ok, 1);
        EXPECT_EQ(r.bytes, whole.bytes);
        EXPECT_GT(GlobalTempFileMgr().BytesSpilled(), 0u);
        ExpectNothingLeft("spilled");
    }
    {
        // No folder for the spill: the job fails with one line, nothing sent.
        SpoolSettings spool(0, "/dev/null/spool");
        LogCapture log;
        const layertest::Result r = layertest::RunJob(*d, job);
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.bytes, "") << "nothing of a half page goes out";
        EXPECT_EQ(d->GetErrorString(),
                  L"cannot create a spool file in the temporary folder /dev/null/spool: Not a directory");
        EXPECT_TRUE(log.Contains(errorSource)) << errorSource;
        ExpectNothingLeft("unusable folder");
    }
    {
        // The operator's cancel mid-page: the abort command, once.
        SpoolSettings spool(0);
        const layertest::Result r = layertest::RunJob(*d, job, UINT64_MAX, static_cast<int>(job.rows.size() / 2));
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.bytes, "<abort>");
        ExpectNothingLeft("aborted");
    }
    {
        // Destroyed mid-page, spilled.
        SpoolSettings spool(0);
        auto mid = CreateDriver(env);
        CMemorySink sink;
        mid->SetOutputSink(&sink);
        CPrintJobOpenContext ctx;
        ctx.colourCodes = job.colours;
        ctx.pixelWidth = 16384;
        ctx.bitsPerPixel = 2;
        ASSERT_EQ(HostJobBegin(*mid, ctx), 1);
        for (int r = 0; r < 300; ++r) {
            for (int ch = 0; ch < mid->GetCountPrimCols(); ++ch)
                std::memset(mid->GetRasterPixelBufferByIndex(ch)->pWriteRow(), 0x11 * (ch + 1) + r, 4096);
            ASSERT_EQ(mid->OutputOneRow(), 1);
        }
        EXPECT_GT(GlobalTempFileMgr().OpenFiles(), 0) << "the page is spilled";
        EXPECT_EQ(sink.Data(), "") << "nothing of the page goes out before its end";
        mid.reset();
        ExpectNothingLeft("destroyed mid-page");
    }
}

} // namespace spooltest
