// Every UID of the layer-basis drivers is built by Create and prints a job
// with its own start and end strings.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/PrintEnv.h"
#include "layers/MimakiJVWhiteDriver.h"
#include "layers/MimakiTS300PDriver.h"
#include "LayerTestSupport.h"

IPrinterDriver* Create(CPrintEnv* pEnv);

using namespace layertest;

namespace {

std::unique_ptr<CPrinterDriverBase> Make(CPrintEnv& env)
{
    return std::unique_ptr<CPrinterDriverBase>(dynamic_cast<CPrinterDriverBase*>(Create(&env)));
}

TEST(LayerBasisCreate, EveryUidPrintsWithItsStartAndEnd)
{
    struct Model {
        int uid;
        bool slotKey; // "bUseSlotBasedColorCodes" 1
        const char* driver;
    };
    const char* ts = "TS300P";
    const char* slots = "TS300PSlotBased";
    const Model models[] = {{22, false, "JV400"}, {27, false, "JV300"}, {29, false, "JV300"}, {30, false, ts},
                            {30, true, slots},    {31, false, ts},      {31, true, slots},    {33, false, ts},
                            {34, false, ts},      {37, false, ts},      {40, false, ts},      {40, true, slots},
                            {42, false, ts},      {42, true, slots},    {48, false, ts},      {48, true, slots},
                            {49, false, ts},      {49, true, slots},    {50, false, slots},   {56, false, ts},
                            {56, true, slots},    {33, true, ts}};
    for (const Model& m : models) {
        CPrintEnv env;
        env.PutInt(PrEnv_UID, m.uid);
        env.PutInt(L"bUseSlotBasedColorCodes", m.slotKey ? 1 : 0);
        env.PutString(L"SlotsSetting", L"0`1`2`3`34");
        env.PutString(L"MimakiColorSequence", L"4,1,2,3,10");
        env.PutInt(L"DP22_m_nWhiteMode", 0);
        std::unique_ptr<CPrinterDriverBase> d = Make(env);
        ASSERT_TRUE(d) << m.uid;
        const bool slotBased = dynamic_cast<CMimakiWhitePrinterDriverTS300PSlotBased*>(d.get()) != nullptr;
        const bool ts300p = dynamic_cast<CMimakiWhitePrinterDriverTS300P*>(d.get()) != nullptr;
        const bool jv300 = dynamic_cast<CMimakiWhitePrinterDriverJV300*>(d.get()) != nullptr;
        const bool jv400 = dynamic_cast<CMimakiWhitePrinterDriverJV400*>(d.get()) != nullptr;
        EXPECT_EQ(slotBased, m.driver == slots) << m.uid;
        EXPECT_EQ(ts300p, m.driver == ts || m.driver == slots) << m.uid;
        EXPECT_EQ(jv300, std::string(m.driver) == "JV300") << m.uid;
        EXPECT_EQ(jv400, std::string(m.driver) == "JV400") << m.uid;

        Job job;
        job.colours = {0, 1, 2, 3, 34};
        job.width = 40;
        job.bits = 2;
        job.compress = 1;
        job.rows = RandomRows(5, 8, job.width, job.bits, static_cast<unsigned>(m.uid));
        const Result r = RunJob(*d, job);
        ASSERT_EQ(r.ok, 1) << m.uid;
        const std::string start = d->GetDevParms()->GetStartString(d.get());
        const std::string end = d->GetDevParms()->GetEndString(d.get());
        streamparse::ParseOptions options;
        options.uid = m.uid;
        options.expectJobEnd = true;
        const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes, options);
        EXPECT_TRUE(parsed.ok()) << m.uid << ": " << (parsed.ok() ? "" : parsed.errors.front().message);
        EXPECT_GE(parsed.Count("QD"), 8u * 4u) << m.uid;
        // the rows lie between the job's start and its end
        const std::size_t firstRow = r.bytes.find("QY");
        ASSERT_NE(firstRow, std::string::npos) << m.uid;
        EXPECT_GT(firstRow, 0u) << m.uid << ": no start before the rows";
        if (!end.empty()) {
            EXPECT_EQ(r.bytes.substr(r.bytes.size() - end.size()), end) << m.uid;
        }
        if (!start.empty()) {
            EXPECT_EQ(r.bytes.find(start), 0u) << m.uid;
        }
    }
}

} // namespace
