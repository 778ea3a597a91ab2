// PackBits throughput on full-width raster rows of every kind a printer
// gets, for the driver's coder and each of its versions, against
// Gutenprint's TIFF PackBits coder when it is installed, with a summary of
// the speed and size ratios per kind after the run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
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
    std::string name;
    // Codes one row into dst and answers the coded length.
    std::function<std::size_t(BYTE* dst, const Row& row)> code;
    bool ours;
};

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

constexpr PackBitsPath kPaths[] = {PackBitsPath::Scalar, PackBitsPath::SSE2, PackBitsPath::AVX2,
                                   PackBitsPath::AVX512BW};

// "PackBits" is the coder the driver calls (the fastest version the
// processor has); "PackBits.<version>" each version on its own.
const std::vector<Coder>& Coders()
{
    static const std::vector<Coder> coders = [] {
        std::vector<Coder> c;
        c.push_back({"PackBits",
                     [](BYTE* dst, const Row& row) {
                         return static_cast<std::size_t>(
                             packbits_compress(dst, row.data(), static_cast<int>(row.size())));
                     },
                     true});
        for (PackBitsPath path : kPaths)
            if (packbits_path_available(path) && path != packbits_active_path())
                c.push_back({std::string("PackBits.") + packbits_path_name(path),
                             [path](BYTE* dst, const Row& row) {
                                 return static_cast<std::size_t>(
                                     packbits_compress_with(path, dst, row.data(), static_cast<int>(row.size())));
                             },
                             true});
#ifdef MIMAKI_HAVE_GUTENPRINT
        c.push_back({"StpPackTiff", CodeStp, false});
#endif
        return c;
    }();
    return coders;
}

// Total coded size of the kind's rows, after checking that every coded row
// decodes back to the row: a coder is only timed on output that is right.
bool CodedSize(const Coder& coder, const RowKind& kind, std::uint64_t& total, std::string& error)
{
    std::vector<BYTE> dst(2 * kind.RowBytes() + 1024), back(kind.RowBytes());
    total = 0;
    for (const Row& row : bench::Rows(kind)) {
        const std::size_t n = coder.code(dst.data(), row);
        if (packbits_decode(dst.data(), n, back.data(), back.size()) != static_cast<long>(n) || back != row) {
            error = coder.name + " output does not decode to its input";
            return false;
        }
        total += n;
    }
    return true;
}

void BM_Code(benchmark::State& state, const Coder& coder, const RowKind& kind)
{
    const std::vector<Row>& rows = bench::Rows(kind);
    std::uint64_t coded = 0;
    std::string error;
    if (!CodedSize(coder, kind, coded, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<BYTE> dst(2 * kind.RowBytes() + 1024);
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
    state.SetBytesProcessed(static_cast<std::int64_t>(rowsDone) * static_cast<std::int64_t>(kind.RowBytes()));
    state.counters["allocs/row"] = rowsDone > 0 ? static_cast<double>(allocations) / rowsDone : 0.0;
    state.counters["out/in"] = static_cast<double>(coded) / static_cast<double>(rows.size() * kind.RowBytes());
}

const bool kRegistered = [] {
    for (const RowKind& kind : bench::RowKinds())
        for (const Coder& coder : Coders())
            benchmark::RegisterBenchmark((coder.name + "/" + kind.name).c_str(), BM_Code, coder, kind)
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.2);
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
            Throughput& t = m_throughput[run.run_name.function_name];
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
    const std::vector<Coder>& coders = Coders();
    std::printf("\nPackBits on 64-inch rows at 1440 dpi (%d channels x %d lines per kind); the driver's coder is the "
                "%s version\n",
                bench::kChannels, bench::kLines, packbits_path_name(packbits_active_path()));
    for (const RowKind& kind : bench::RowKinds())
        std::printf("  %-20s %s\n", kind.name.c_str(), kind.what.c_str());
#ifdef MIMAKI_HAVE_GUTENPRINT
    const Coder& stp = coders.back();
    std::printf("\nspeed: MB/s of raster in, and as a multiple of Gutenprint's stp_pack_tiff in the same run; "
                "size: coded bytes against stp_pack_tiff's\n");
    std::printf("%-20s %6s %9s %9s %7s", "kind", "dots", "stp MB/s", "MB/s", "speed");
    for (std::size_t i = 1; i + 1 < coders.size(); ++i)
        std::printf(" %9s", coders[i].name.substr(9).c_str());
    std::printf(" %11s %11s %7s %7s  %s\n", "bytes", "stp bytes", "size", "allocs", "target");
#else
    std::printf("%-20s %6s %9s %11s %7s   (Gutenprint not installed: no comparison)\n", "kind", "dots", "MB/s",
                "bytes", "allocs");
#endif
    int missed = 0;
    for (const RowKind& kind : bench::RowKinds()) {
        double mbps = 0, allocs = 0;
        if (!reporter.MBps("PackBits/" + kind.name, mbps, allocs))
            continue;
        std::uint64_t size = 0;
        std::string error;
        CodedSize(coders.front(), kind, size, error);
        const double coverage = 100 * bench::DotCoverage(kind);
#ifdef MIMAKI_HAVE_GUTENPRINT
        double stpMbps = 0, stpAllocs = 0;
        std::uint64_t stpSize = 0;
        if (!reporter.MBps(stp.name + "/" + kind.name, stpMbps, stpAllocs) || !CodedSize(stp, kind, stpSize, error)) {
            std::printf("%-20s %5.1f%% %9s %9.0f\n", kind.name.c_str(), coverage, "-", mbps);
            continue;
        }
        const double speed = mbps / stpMbps;
        std::printf("%-20s %5.1f%% %9.0f %9.0f %6.2fx", kind.name.c_str(), coverage, stpMbps, mbps, speed);
        for (std::size_t i = 1; i + 1 < coders.size(); ++i) {
            double m = 0, a = 0;
            if (reporter.MBps(coders[i].name + "/" + kind.name, m, a))
                std::printf(" %8.2fx", m / stpMbps);
            else
                std::printf(" %9s", "-");
        }
        const bool met = speed >= kind.needSpeed && size <= stpSize && allocs == 0;
        missed += met ? 0 : 1;
        std::printf(" %11llu %11llu %7.4f %7.2f  %.0fx %s\n", static_cast<unsigned long long>(size),
                    static_cast<unsigned long long>(stpSize),
                    stpSize ? static_cast<double>(size) / static_cast<double>(stpSize) : 1.0, allocs, kind.needSpeed,
                    met ? "met" : "MISSED");
#else
        std::printf("%-20s %5.1f%% %9.0f %11llu %7.2f\n", kind.name.c_str(), coverage, mbps,
                    static_cast<unsigned long long>(size), allocs);
#endif
    }
#ifdef MIMAKI_HAVE_GUTENPRINT
    std::printf("targets: at least 2x stp_pack_tiff on image rows, 4x on blank and solid rows, output no larger, "
                "no allocation; %d kind(s) missed\n",
                missed);
#endif
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
