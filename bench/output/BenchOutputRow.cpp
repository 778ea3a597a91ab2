// One raster row through the driver: 8 channels of 23 040 bytes, PackBits
// on, into a sink that only counts bytes.
#include <benchmark/benchmark.h>

#include "BenchRows.h"
#include "devparms/MimakiDevParms.h"
#include "driver/MimakiBaseDriver.h"
#include "host/PrintEnv.h"

namespace {

class CountingSink : public IOutputSink {
protected:
    bool DoWrite(const BYTE*, std::size_t) override { return true; }
};

void OutputRow(benchmark::State& state, bench::RowKind kind, int commandSet, int compress)
{
    const auto& rows = bench::Rows(kind);
    CPrintEnv env;
    env.PutInt(L"nFunctModeId", commandSet);
    CMimakiLegacyBasePrinterDriver driver(&env, new CMimakiDevParmsBase());
    CountingSink sink;
    driver.SetOutputSink(&sink);
    CPrintJobOpenContext ctx;
    ctx.dpiFirst = ctx.dpiSecond = 1440;
    ctx.bitsPerPixel = 2;
    ctx.pixelWidth = static_cast<int>(bench::kPixelsPerRow);
    ctx.colourCodes = {0, 1, 2, 3, 8, 9, 4, 5};
    ctx.compressMode = compress;
    ctx.advanceBlankRows = false; // every row goes through OutputCurrentRow
    if (!driver.JobOpen(&ctx) || !driver.OutputInit(ctx.pixelWidth, 0)) {
        state.SkipWithError("job open failed");
        return;
    }
    std::size_t line = 0;
    const std::uint64_t allocsBefore = bench::AllocationCount();
    for (auto _ : state) {
        for (int ch = 0; ch < bench::kChannels; ++ch)
            driver.GetRasterPixelBufferByIndex(ch)->SetRow(rows[line * bench::kChannels + static_cast<std::size_t>(ch)].data());
        if (!driver.OutputOneRow()) {
            state.SkipWithError("output failed");
            break;
        }
        line = (line + 1) % bench::kLines;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bench::kChannels *
                            static_cast<std::int64_t>(bench::kRowBytes));
    state.counters["allocs_per_row"] = (bench::AllocationCount() - allocsBefore) / (iterations > 0 ? iterations : 1);
    state.counters["out_bytes_per_row"] = static_cast<double>(sink.BytesWritten()) / (iterations > 0 ? iterations : 1);
}

[[maybe_unused]] const bool registered = [] {
    for (const auto& info : bench::RowKinds()) {
        for (int set : {4, 0}) {
            const std::string name = std::string("OutputCurrentRow/set") + std::to_string(set) + "/" + info.name;
            benchmark::RegisterBenchmark(name.c_str(), OutputRow, info.kind, set, 1);
        }
    }
    benchmark::RegisterBenchmark("OutputCurrentRow/set4/raw/halftone25", OutputRow, bench::RowKind::Halftone25, 4, 0);
    return true;
}();

} // namespace
