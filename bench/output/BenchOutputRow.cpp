// One raster row through the driver: 8 channels of a 64-inch row at 1440
// dpi, PackBits on, into a sink that only counts bytes. Command set 4 (MRL
// III) and set 2 (ESC/P, bytes counted in 16 bits).
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

void OutputRow(benchmark::State& state, const bench::RowKind& kind, int commandSet, int compress)
{
    const auto& rows = bench::Rows(kind);
    CPrintEnv env;
    env.PutInt(L"nFunctModeId", commandSet);
    CMimakiLegacyBasePrinterDriver driver(&env, new CMimakiDevParmsBase());
    CountingSink sink;
    driver.SetOutputSink(&sink);
    CPrintJobOpenContext ctx;
    ctx.dpiFirst = ctx.dpiSecond = 1440;
    ctx.bitsPerPixel = kind.bits;
    ctx.pixelWidth = static_cast<int>(bench::kPixelsPerRow);
    ctx.colourCodes = {0, 1, 2, 3, 8, 9, 4, 5};
    ctx.colourCodes.resize(static_cast<std::size_t>(kind.channels));
    ctx.compressMode = compress;
    ctx.advanceBlankRows = false; // every row goes through OutputCurrentRow
    if (!driver.JobOpen(&ctx) || !driver.OutputInit(ctx.pixelWidth, 0)) {
        state.SkipWithError("job open failed");
        return;
    }
    std::size_t line = 0;
    const std::uint64_t allocsBefore = bench::AllocationCount();
    for (auto _ : state) {
        for (int ch = 0; ch < kind.channels; ++ch)
            driver.GetRasterPixelBufferByIndex(ch)->SetRow(rows[line * static_cast<std::size_t>(kind.channels) +
                                                                static_cast<std::size_t>(ch)]
                                                               .data());
        if (!driver.OutputOneRow()) {
            state.SkipWithError("output failed");
            break;
        }
        line = (line + 1) % static_cast<std::size_t>(kind.lines);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kind.channels *
                            static_cast<std::int64_t>(kind.RowBytes()));
    state.counters["allocs_per_row"] = (bench::AllocationCount() - allocsBefore) / (iterations > 0 ? iterations : 1);
    state.counters["out_bytes_per_row"] = static_cast<double>(sink.BytesWritten()) / (iterations > 0 ? iterations : 1);
}

[[maybe_unused]] const bool registered = [] {
    for (const auto& kind : bench::RowKinds()) {
        for (int set : {4, 2}) {
            const std::string name = std::string("OutputCurrentRow/set") + std::to_string(set) + "/" + kind.name;
            benchmark::RegisterBenchmark(name.c_str(), OutputRow, kind, set, 1)->MinTime(0.2);
        }
    }
    benchmark::RegisterBenchmark("OutputCurrentRow/set4/raw/diffusion25", OutputRow, bench::FindKind("diffusion25"),
                                 4, 0)
        ->MinTime(0.2);
    return true;
}();

} // namespace
