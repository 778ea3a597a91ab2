// Device parameters: Create with Load for every UID, a Load+Save round trip
// of the largest class, and the settings store reading a large section.
// Targets: all 256 UIDs under 20 ms; the round trip under 100 us.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "devparms/MimakiDevParmsUJF.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"

IPrinterDriver* Create(CPrintEnv* pEnv);

namespace {

struct Quiet {
    Quiet() { CVoLogReporter::SetLoggingLevel(0); }
} quiet;

// A printer section as an operator's host keeps it: slots, a colour
// sequence and an embedded print-condition block to validate.
CPrintEnv Section(int uid)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, uid);
    env.PutString(L"SlotsSetting", L"0`1`2`3`8`9`34`30");
    env.PutString(L"MimakiColorSequence", L"1,2,3,4,5,6,7,8");
    return env;
}

void BM_CreateEveryUid(benchmark::State& state)
{
    std::vector<CPrintEnv> envs;
    for (int uid = 0; uid < 256; ++uid)
        envs.push_back(Section(uid));
    for (auto _ : state) {
        for (CPrintEnv& env : envs) {
            IPrinterDriver* driver = Create(&env);
            benchmark::DoNotOptimize(driver);
            delete dynamic_cast<CPrinterDriverBase*>(driver);
        }
    }
    state.counters["per_uid_us"] =
        benchmark::Counter(256, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
                           benchmark::Counter::kIs1000);
}
BENCHMARK(BM_CreateEveryUid)->Unit(benchmark::kMillisecond);

void BM_Jfx500LoadSave(benchmark::State& state)
{
    CPrintEnv env = Section(25);
    DEVPARMJFX500_v2_CLASS parms;
    parms.Load(&env);
    parms.Save(&env); // a full store, as after the first save
    for (auto _ : state) {
        parms.Load(&env);
        parms.Save(&env);
    }
    state.counters["keys"] = static_cast<double>(env.Count());
}
BENCHMARK(BM_Jfx500LoadSave)->Unit(benchmark::kMicrosecond);

// Reading a section of n keys from INI text (linear in n).
void BM_StoreParse(benchmark::State& state)
{
    std::string text = "[P]\n";
    for (int i = 0; i < state.range(0); ++i)
        text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    for (auto _ : state) {
        CIniFile ini;
        std::string error;
        ini.Parse(text, "bench", error);
        CPrintEnv env;
        for (const auto& [k, v] : ini.sections[0].entries)
            env.PutString(k.c_str(), v);
        benchmark::DoNotOptimize(env.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StoreParse)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
