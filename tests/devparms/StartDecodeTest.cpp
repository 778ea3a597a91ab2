// Every class's job start and end, with random record values, read back by
// the stream decoder: no unknown command, no truncated one, no error.
#include <gtest/gtest.h>

#include <random>

#include "DevParmsTestUtil.h"
#include "devparms/MimakiDevParms.h"
#include "devparms/ParmKeys.h"
#include "driver/MimakiBaseDriver.h"
#include "host/OutputSink.h"
#include "host/PrinterDriverBase.h"
#include "tools/streamdump/StreamParser.h"

using namespace devparmstest;
using mimaki::parms::Kind;

namespace {

// Random values for every integer and number of the record; texts stay empty
// (they are the operator's own command texts and lists).
void Randomize(CUnivDevParmsBase& parms, std::mt19937& rng)
{
    const mimaki::parms::KeyTable& table = TableOf(parms);
    std::uniform_int_distribution<int> small(-3, 300);
    std::uniform_int_distribution<int> any(-100000, 100000);
    for (const mimaki::parms::Key& key : table.Keys()) {
        if (!key.field)
            continue;
        if (key.kind == Kind::Int)
            *static_cast<int*>(key.field(parms)) = rng() % 4 ? small(rng) : any(rng);
        else if (key.kind == Kind::Real || key.kind == Kind::RealToString)
            *static_cast<double*>(key.field(parms)) = small(rng) / 3.0;
    }
}

} // namespace

TEST(StartDecode, EveryClassWithRandomValues)
{
    std::mt19937 rng(20261206);
    for (const std::string& name : ClassNames()) {
        for (int round = 0; round < 25; ++round) {
            SCOPED_TRACE(name + " round " + std::to_string(round));
            CPrintEnv env;
            env.PutString(L"SlotsSetting", L"0`1`2`3");
            env.PutString(L"MimakiColorSequence", L"1,2,3,4");
            env.PutInt(L"nFunctModeId", static_cast<int>(rng() % 5));
            auto owned = MakeClass(name);
            owned->Load(&env);
            Randomize(*owned, rng);
            CUnivDevParmsBase* parms = owned.get();
            CMimakiLegacyBasePrinterDriver driver(&env, owned.release());
            CMemorySink sink;
            driver.SetOutputSink(&sink);
            CPrintJobOpenContext ctx;
            const int dpis[] = {360, 540, 600, 720, 1200, 1440};
            ctx.dpiFirst = dpis[rng() % 6];
            ctx.dpiSecond = dpis[rng() % 6];
            ctx.pixelWidth = 1 + static_cast<int>(rng() % 20000);
            ctx.rowCount = static_cast<int>(rng() % 100000);
            ctx.cutOption = static_cast<int>(rng() % 3);
            ctx.jobEndAction = rng() % 4 ? L"" : L"EndeCutAfter";
            ctx.colourCodes = {0, 1, 2, 3};
            ASSERT_EQ(driver.JobOpen(&ctx), 1);
            auto* p = dynamic_cast<CMimakiDevParmsBase*>(parms);
            if (p && p->UsesWhiteDriver()) {
                // The layer buffers of the white drivers get each layer's start.
                sink.Clear();
                ASSERT_EQ(driver.Output(p->GetColorLayerStartString(&driver) + p->GetWhiteLayerStartString(&driver) +
                                        p->GetClearCoatLayerStartString(&driver) + p->GetEndString(&driver)),
                          1);
            } else {
                ASSERT_EQ(parms->OutputStartString(&driver), 1);
                ASSERT_EQ(parms->OutputEndString(&driver), 1);
            }
            std::string bytes = sink.Data();
            if (p) {
                // Layer sections: a few kinds and positions.
                for (int layer : {0, 1, 3, 7, 20}) {
                    bytes += p->GetLayerStartString(&driver, layer, layer == 3, layer % 3, layer % 5);
                    bytes += p->GetLayerEndString(&driver, layer, layer % 2);
                }
                bytes += p->GetColorLayerCommands(0) + p->GetWhiteLayerCommands(0) + p->GetClearCoatLayerCommands(1);
            }
            const streamparse::ParseResult r = streamparse::ParseStream(bytes);
            for (const streamparse::ParseError& e : r.errors)
                ADD_FAILURE() << "at " << e.offset << ": " << e.message;
            if (!r.errors.empty())
                break;
        }
    }
}
