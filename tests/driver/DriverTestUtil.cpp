#include "DriverTestUtil.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "host/PrinterDriverBase.h"

IPrinterDriver* Create(CPrintEnv* pEnv);

CPrintJobOpenContext Context(std::vector<int> colours, int bytesPerRow, int compress, double dpi)
{
    CPrintJobOpenContext c;
    c.bitsPerPixel = 2;
    c.pixelWidth = bytesPerRow * 4;
    c.dpiFirst = c.dpiSecond = dpi;
    c.colourCodes = std::move(colours);
    c.compressMode = compress;
    return c;
}

JobResult RunJob(CPrinterDriverBase& driver, CPrintJobOpenContext context, const std::vector<Row>& rows,
                 std::uint64_t failAfter, int abortAfterRows)
{
    CMemorySink sink;
    sink.SetFailAfter(failAfter);
    CAbortProc abort;
    driver.SetOutputSink(&sink);
    driver.SetAbortProc(&abort);
    bool ok = HostJobBegin(driver, context) != 0;
    for (std::size_t r = 0; ok && r < rows.size(); ++r) {
        if (abortAfterRows >= 0 && static_cast<int>(r) == abortAfterRows) {
            abort.Abort();
            break;
        }
        for (int ch = 0; ch < driver.GetCountPrimCols(); ++ch) {
            CRasterPixelBuffer* buf = driver.GetRasterPixelBufferByIndex(ch);
            BYTE* dst = buf->pWriteRow();
            std::memset(dst, 0, buf->BytesPerRow());
            const auto& src = rows[r][static_cast<std::size_t>(ch)];
            std::memcpy(dst, src.data(), std::min(src.size(), buf->BytesPerRow()));
        }
        ok = driver.OutputOneRow() != 0;
    }
    JobResult result;
    result.ok = HostJobEnd(driver, ok);
    result.bytes = sink.Data();
    result.callsAfterFailure = sink.CallsAfterFailure();
    driver.SetOutputSink(nullptr);
    driver.SetAbortProc(nullptr);
    return result;
}

std::string ExpectOutputFailuresAndAbort(const FreshJob& run, int abortBefore, bool sendsAbort,
                                         const std::string& jobEnd)
{
    const JobResult whole = run(UINT64_MAX, -1);
    EXPECT_EQ(whole.ok, 1);
    for (std::uint64_t at = 0; at < whole.bytes.size(); ++at) {
        const JobResult r = run(at, -1);
        EXPECT_EQ(r.ok, 0) << "output failing at byte " << at;
        EXPECT_EQ(r.callsAfterFailure, 0u) << "output failing at byte " << at;
        EXPECT_EQ(r.bytes, whole.bytes.substr(0, at)) << "output failing at byte " << at;
    }
    if (abortBefore >= 0) {
        const JobResult r = run(UINT64_MAX, abortBefore);
        EXPECT_EQ(r.ok, 0);
        const std::string abort = sendsAbort ? "<abort>" : "";
        EXPECT_TRUE(r.bytes.ends_with(abort)) << r.bytes;
        const std::string before = r.bytes.substr(0, r.bytes.size() - std::min(abort.size(), r.bytes.size()));
        EXPECT_LT(before.size(), whole.bytes.size());
        EXPECT_EQ(before, whole.bytes.substr(0, before.size()));
        EXPECT_EQ(before.find("<abort>"), std::string::npos) << "the abort command once";
        EXPECT_EQ(r.bytes.find(jobEnd), std::string::npos) << "no job end after an abort";
    }
    return whole.bytes;
}

std::unique_ptr<CPrinterDriverBase> CreateDriver(CPrintEnv& env)
{
    IPrinterDriver* d = Create(&env);
    return std::unique_ptr<CPrinterDriverBase>(dynamic_cast<CPrinterDriverBase*>(d));
}

std::string ClassName(const std::type_info& t)
{
    int status = 0;
    char* name = abi::__cxa_demangle(t.name(), nullptr, nullptr, &status);
    std::string out = status == 0 ? name : t.name();
    std::free(name);
    return out;
}
