// The allocation count of the layer tests, apart from the other support so
// that tests without the counting operator new can share that.
#include <gtest/gtest.h>

#include <cstring>

#include "host/HostJob.h"
#include "host/OutputSink.h"
#include "tests/layers/LayerTestSupport.h"
#include "tests/support/AllocCounter.h"

namespace layertest {

namespace {

class NullSink : public IOutputSink {
protected:
    bool DoWrite(const BYTE*, std::size_t) override { return true; }
};

} // namespace

long RowAllocations(CPrinterDriverBase& driver, const Job& job, std::size_t firstCounted)
{
    CPrintJobOpenContext context = ContextOf(job);
    NullSink sink;
    driver.SetOutputSink(&sink);
    EXPECT_EQ(HostJobBegin(driver, context), 1);
    long allocations = 0;
    for (std::size_t r = 0; r < job.rows.size(); ++r) {
        for (int ch = 0; ch < driver.GetCountPrimCols(); ++ch) {
            CRasterPixelBuffer* buf = driver.GetRasterPixelBufferByIndex(ch);
            std::memcpy(buf->pWriteRow(), job.rows[r][static_cast<std::size_t>(ch)].data(), buf->BytesPerRow());
        }
        g_allocations = 0;
        g_counting = r >= firstCounted;
        const int ok = driver.OutputOneRow();
        g_counting = false;
        allocations += g_allocations;
        EXPECT_EQ(ok, 1) << "row " << r;
        if (!ok)
            break;
    }
    EXPECT_EQ(HostJobEnd(driver, true), 1);
    driver.SetOutputSink(nullptr);
    return allocations;
}

} // namespace layertest
