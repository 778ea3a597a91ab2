// The row path of the layer-basis drivers allocates nothing: operator new is
// counted from the first row to the last (blank stretches, mirrored layers
// and delay lines included).
#include <gtest/gtest.h>

#include <memory>

#include "host/PrintEnv.h"
#include "driver/MimakiDTFDriver.h"
#include "driver/MimakiJV58CSpecial.h"
#include "driver/MimakiUCJV300Driver.h"
#include "driver/MimakiUJV100Driver.h"
#include "layers/MimakiJVWhiteDriver.h"
#include "layers/MimakiTS300PDriver.h"
#include "LayerTestSupport.h"

using namespace layertest;

namespace {

TEST(LayerBasisAllocations, NoneWhileRowsGoThrough)
{
    Job job;
    job.colours = {0, 1, 34, 24};
    job.width = 333;
    job.bits = 2;
    job.compress = 1;
    job.rows = RandomRows(4, 40, job.width, job.bits, 12);
    job.interleave = true;
    for (int mode : {4, 12}) {
        for (bool slots : {false, true}) {
            CPrintEnv env;
            env.PutString(L"SlotsSetting", L"0`1`34`24");
            env.PutInt(L"SendOnlyNonZeroBytes", mode == 4);
            auto* parms = new Parms;
            parms->mode = mode;
            parms->offset = 5;
            parms->codes = {{0, 1}, {1, 2}, {34, 3}, {24, 4}};
            parms->pause = 1;
            parms->pauseMm = 0.1;
            parms->gapMm = 0.1;
            std::unique_ptr<CPrinterDriverBase> d;
            if (slots)
                d = std::make_unique<CMimakiWhitePrinterDriverTS300PSlotBased>(&env, parms);
            else
                d = std::make_unique<CMimakiWhitePrinterDriverTS300P>(&env, parms);
            EXPECT_EQ(RowAllocations(*d, job), 0) << "mode " << mode << (slots ? " slot based" : "");
        }
    }
    CPrintEnv env;
    env.PutInt(L"DP22_m_nWhiteMode", 3);
    CMimakiWhitePrinterDriverJV400 jv400(&env, new Parms);
    EXPECT_EQ(RowAllocations(jv400, job), 0) << "JV400";
    auto* parms = new Parms;
    parms->mode = 3;
    CMimakiWhitePrinterDriverJV300 jv300(&env, parms);
    EXPECT_EQ(RowAllocations(jv300, job), 0) << "JV300";

    // The layer-section models, the DTF printer and the JV58C pairs (39
    // rows: three of them dropped).
    parms = new Parms;
    parms->mode = 4;
    CMimakiPrinterDriverUJV100 ujv100(&env, parms);
    EXPECT_EQ(RowAllocations(ujv100, job), 0) << "UJV100";
    parms = new Parms;
    parms->mode = 33;
    parms->offset = 5;
    CMimakiDriverUCJV300 ucjv300(&env, parms);
    EXPECT_EQ(RowAllocations(ucjv300, job), 0) << "UCJV300";
    env.PutString(L"MimakiColorSequence", L"4,2,1,0");
    CMimakiDTFDriver dtf(&env, new Parms);
    EXPECT_EQ(RowAllocations(dtf, job), 0) << "DTF";
    env.PutString(L"SlotsSetting", L"0`1`34`24`1`0`24`34");
    CMimakiJV58CSpecial jv58c(&env, new Parms);
    job.rows.pop_back();
    EXPECT_EQ(RowAllocations(jv58c, job), 0) << "JV58C";
    EXPECT_EQ(jv58c.NextRowToDrop(), 9 + 3 * 10) << "JV58C";
}

} // namespace
