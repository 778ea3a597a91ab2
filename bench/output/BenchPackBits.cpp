// PackBits throughput on full-width raster rows, against Gutenprint's
// TIFF PackBits coder when it is installed, with a summary of the speed
// and size ratios per data kind after the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "BenchRows.h"
#include "host/PackBits.h"

#ifdef MIMAKI_HAVE_GUTENPRINT
#include <gutenprint/gutenprint.h>
#include <gutenprint/weave.h>
#endif

namespace {

using bench::Row;
using bench::RowKind;

struct Coder {
    const char* name;
    // Codes one row into dst and answers the coded length.
    std::size_t (*code)(BYTE* dst, const Row& row);
};

std::size_t CodePackBits(BYTE* dst, const Row& row)
{
    return static_cast<std::size_t>(packbits_compress(dst, row.data(), static_cast<int>(row.size())));
}

#ifdef MIMAKI_HAVE_GUTENPRINT
std::size_t CodeStp(BYTE* dst, const Row& row)
{
    unsigned char* end = dst;
    int first = 0, last = 0;
    // The coder does not use its stp_vars_t argument.
    stp_pack_tiff(nullptr, row.data(), static_cast<int>(row.size()), dst, &end, &first, &last);
    return static_cast<std::size_t>(end - dst);
}
#endif

const std::vector<Coder>& Coders()
{
    static const std::vector<Coder> coders = {
        {"PackBits", CodePackBits},
#ifdef MIMAKI_HAVE_GUTENPRINT
        {"StpPackTiff", CodeStp},
#endif
    };
    return coders;
}

// Large enough for either coder's worst case.
constexpr std::size_t kDstSize = 2 * bench::kRowBytes + 1024;

// Total coded size of the kind's rows, after checking that every coded row
// decodes back to the row: a coder is only timed on output that is right.
bool CodedSize(const Coder& coder, RowKind kind, std::uint64_t& total, std::string& error)
{
    std::vector<BYTE> dst(kDstSize), back(bench::kRowBytes);
    total = 0;
    for (const Row& row : bench::Rows(kind)) {
        const std::size_t n = coder.code(dst.data(), row);
        if (packbits_decode(dst.data(), n, back.data(), back.size()) != static_cast<long>(n) || back != row) {
            error = std::string(coder.name) + " output does not decode to its input";
            return false;
        }
        total += n;
    }
    return true;
}

void BM_Code(benchmark::State& state, const Coder& coder, RowKind kind)
{
    const std::vector<Row>& rows = bench::Rows(kind);
    std::uint64_t coded = 0;
    std::string error;
    if (!CodedSize(coder, kind, coded, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<BYTE> dst(kDstSize);
    const std::uint64_t allocBefore = bench::AllocationCount();
    for (auto _ : state) {
        for (const Row& row : rows) {
            std::size_t n = coder.code(dst.data(), row);
            benchmark::DoNotOptimize(n);
            benchmark::ClobberMemory();
        }
    }
    const std::uint64_t allocations = bench::AllocationCount() - allocBefore;
    const double rowsDone = static_cast<double>(state.iterations()) * static_cast<double>(rows.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(rowsDone) * static_cast<std::int64_t>(bench::kRowBytes));
    state.counters["allocs/row"] = rowsDone > 0 ? static_cast<double>(allocations) / rowsDone : 0.0;
    state.counters["out/in"] = static_cast<double>(coded) / static_cast<double>(rows.size() * bench::kRowBytes);
    char label[48];
    std::snprintf(label, sizeof label, "dots %.1f%%", 100 * bench::DotCoverage(rows));
    state.SetLabel(label);
}

const bool kRegistered = [] {
    for (const bench::RowKindInfo& kind : bench::RowKinds())
        for (const Coder& coder : Coders())
            benchmark::RegisterBenchmark((std::string(coder.name) + "/" + kind.name).c_str(), BM_Code, coder,
                                         kind.kind)
                ->Unit(benchmark::kMicrosecond);
    return true;
}();

// Passes every run on to the console and keeps the throughput of each.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end())
                continue;
            Throughput& t = m_throughput[run.benchmark_name()];
            t.sum += it->second.value;
            ++t.count;
            const auto a = run.counters.find("allocs/row");
            if (a != run.counters.end())
                t.allocsPerRow = std::max(t.allocsPerRow, a->second.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Mean MB/s of the named benchmark's runs; false when it did not run.
    bool MBps(const std::string& name, double& mbps, double& allocs) const
    {
        const auto it = m_throughput.find(name);
        if (it == m_throughput.end() || it->second.count == 0)
            return false;
        mbps = it->second.sum / it->second.count / 1e6;
        allocs = it->second.allocsPerRow;
        return true;
    }

private:
    struct Throughput {
        double sum = 0;
        int count = 0;
        double allocsPerRow = 0;
    };
    std::map<std::string, Throughput> m_throughput;
};

void PrintSummary(const SummaryReporter& reporter)
{
    const Coder& ours = Coders().front();
    std::printf("\nPackBits on %zu-byte rows (%d channels x %d lines per kind)\n", bench::kRowBytes, bench::kChannels,
                bench::kLines);
    std::printf("halftoneN: Floyd-Steinberg to 4 dot levels of a gradient image at N%% ink; ordered40: 8x8 Bayer "
                "dither at 40%% ink\n");
#ifdef MIMAKI_HAVE_GUTENPRINT
    const Coder& stp = Coders().back();
    std::printf("%-11s %10s %10s %7s %12s %12s %7s %11s  %s\n", "kind", "MB/s", "stp MB/s", "speed", "bytes",
                "stp bytes", "size", "allocs/row", "target");
#else
    std::printf("%-11s %10s %12s %11s   (Gutenprint not installed: no comparison)\n", "kind", "MB/s", "bytes",
                "allocs/row");
#endif
    for (const bench::RowKindInfo& kind : bench::RowKinds()) {
        double mbps = 0, allocs = 0;
        if (!reporter.MBps(std::string(ours.name) + "/" + kind.name, mbps, allocs))
            continue;
        std::uint64_t size = 0;
        std::string error;
        CodedSize(ours, kind.kind, size, error);
#ifdef MIMAKI_HAVE_GUTENPRINT
        double stpMbps = 0, stpAllocs = 0;
        std::uint64_t stpSize = 0;
        if (!reporter.MBps(std::string(stp.name) + "/" + kind.name, stpMbps, stpAllocs) ||
            !CodedSize(stp, kind.kind, stpSize, error)) {
            std::printf("%-11s %10.0f %10s\n", kind.name, mbps, "-");
            continue;
        }
        const double speed = mbps / stpMbps;
        const double sizeRatio = stpSize ? static_cast<double>(size) / static_cast<double>(stpSize) : 1.0;
        // Targets: twice Gutenprint's speed on screened data, four times on
        // blank and solid rows, never larger output.
        const double needSpeed = kind.halftone ? 2.0 : (kind.kind == RowKind::Random ? 0.0 : 4.0);
        const bool met = speed >= needSpeed && size <= stpSize && allocs == 0;
        std::printf("%-11s %10.0f %10.0f %6.2fx %12llu %12llu %7.4f %11.2f  %s\n", kind.name, mbps, stpMbps, speed,
                    static_cast<unsigned long long>(size), static_cast<unsigned long long>(stpSize), sizeRatio,
                    allocs, met ? "met" : "MISSED");
#else
        std::printf("%-11s %10.0f %12llu %11.2f\n", kind.name, mbps, static_cast<unsigned long long>(size), allocs);
#endif
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
