// Time of CAnalyzeQI::Analyze per embedded block, from hex text (the path
// the device parameters take) and from bytes (without the hex conversion).
// Target: the largest block (PrintModeDataUJF6042MKIIAllInksets, 1682
// records) in under 2 ms.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "host/Log.h"
#include "host/StrUtil.h"
#include "printcond/AnalyzeQI.h"
#include "printcond/MimakiPrintModeDataTables.h"

namespace {

void AnalyzeHex(benchmark::State& state, std::wstring hex, unsigned records)
{
    for (auto _ : state) {
        MimakiPrintConditions pc;
        std::wstring names;
        const int ok = CAnalyzeQI::Analyze(hex, names, pc);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(pc.m_Conditions.data());
        if (!ok)
            state.SkipWithError("block did not analyse");
    }
    state.counters["records"] = records;
    state.counters["bytes"] = static_cast<double>(hex.size() / 2);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(hex.size() / 2));
}

void AnalyzeBin(benchmark::State& state, std::vector<BYTE> bytes)
{
    for (auto _ : state) {
        MimakiPrintConditions pc;
        std::wstring names;
        benchmark::DoNotOptimize(CAnalyzeQI::AnalyzeBytes(bytes.data(), bytes.size(), names, pc));
        benchmark::DoNotOptimize(pc.m_Conditions.data());
    }
}

void AllBlocks(benchmark::State& state)
{
    std::vector<std::wstring> texts;
    for (const EmbeddedPrintModeEntry* e = EmbeddedPrintModeTable; e->name[0] != 0; ++e)
        texts.push_back(EmbeddedPrintModeText(*e));
    for (auto _ : state) {
        for (const std::wstring& hex : texts) {
            MimakiPrintConditions pc;
            std::wstring names;
            benchmark::DoNotOptimize(CAnalyzeQI::Analyze(hex, names, pc));
        }
    }
    state.counters["blocks"] = static_cast<double>(texts.size());
}

}  // namespace

int main(int argc, char** argv)
{
    CVoLogReporter::SetLoggingLevel(4);
    for (const EmbeddedPrintModeEntry* e = EmbeddedPrintModeTable; e->name[0] != 0; ++e) {
        std::wstring hex = EmbeddedPrintModeText(*e);
        std::vector<BYTE> bytes;
        HexStringToBin(hex, bytes);
        const unsigned records = bytes.size() >= 10 ? static_cast<unsigned>(bytes[8] | bytes[9] << 8) : 0;
        const std::string name = WideToUtf8(e->name);
        benchmark::RegisterBenchmark(("Analyze/" + name).c_str(), AnalyzeHex, hex, records)
            ->Unit(benchmark::kMicrosecond);
        if (name == "PrintModeDataUJF6042MKIIAllInksets")
            benchmark::RegisterBenchmark(("AnalyzeBytes/" + name).c_str(), AnalyzeBin, bytes)
                ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("Analyze/all61blocks", AllBlocks)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
