// The MRL III driver and its three named variants (their whole jobs, by
// hand, are in RasterStreamTest).
#include <gtest/gtest.h>

#include "DriverTestUtil.h"
#include "devparms/MimakiDevParms.h"
#include "driver/MimakiMRLIIIDriver.h"

namespace {

class TestMRLIII : public CMimakiMRLIIIDriver {
public:
    using CMimakiMRLIIIDriver::CMimakiMRLIIIDriver;
    using CMimakiMRLIIIDriver::AdvanceRows;
};

CPrintJobOpenContext Context(int bits, int compress, std::vector<int> colours = {0, 1})
{
    CPrintJobOpenContext c;
    c.bitsPerPixel = bits;
    c.pixelWidth = 16 / bits;
    c.colourCodes = std::move(colours);
    c.compressMode = compress;
    return c;
}

const char* const kBlock = "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07";


TEST(MRLIIIDriver, DescriptorOfAYellowPackBitsRow)
{
    CPrintEnv env;
    env.PutInt(L"nFunctModeId", 0); // no effect: always MRL III
    CMimakiMRLIIIDriver driver(&env, new CMimakiDevParmsBase());
    CPrintJobOpenContext ctx = Context(1, 1, {3});
    ctx.pixelWidth = 300 * 8;
    ASSERT_EQ(driver.JobOpen(&ctx), 1);
    ASSERT_EQ(driver.OutputInit(ctx.pixelWidth, 0), 1);
    EXPECT_EQ(driver.GetCommandSet(), 4);
    EXPECT_EQ(driver.GetDriverInfo(L"CommandSet"), L"4");
    driver.PrepareRowHeader(3, 300);
    EXPECT_EQ(ToHex(driver.GetRowHeader().substr(12)), ToHex(Hex("51 44 07 04 01 01 2C 01 01 00")));
    EXPECT_EQ(driver.GetRowHeader().size(), 22u);
    EXPECT_TRUE(driver.GetRowTrailer().empty());
    EXPECT_EQ(driver.GetBandTrailer(), Hex("51 52 01 01"));
}

// The descriptor counts bytes in 16 bits: 65535 bytes go, 65536 do not.
TEST(MRLIIIDriver, WidestRow)
{
    for (int bytes : {65535, 65536}) {
        CPrintEnv env;
        CMimakiMRLIIIDriver driver(&env, new CMimakiDevParmsBase());
        CPrintJobOpenContext ctx = Context(2, 1, {0});
        ctx.pixelWidth = bytes * 4;
        LogCapture log(4);
        ASSERT_EQ(driver.JobOpen(&ctx), 1);
        EXPECT_EQ(driver.OutputInit(ctx.pixelWidth, 0), bytes == 65535 ? 1 : 0);
        EXPECT_EQ(log.lines.size(), bytes == 65535 ? 0u : 1u);
        if (bytes == 65535) {
            driver.PrepareRowHeader(0, bytes);
            EXPECT_EQ(ToHex(driver.GetRowHeader().substr(15)), ToHex(Hex("00 01 02 FF FF 01 00")));
        }
    }
}

TEST(MRLIIIDriver, MediumDotsAndFeeds)
{
    CPrintEnv env;
    env.PutInt(L"SkipMediumDot", 1);
    auto* parms = new CMimakiDevParmsBase();
    TestMRLIII driver(&env, parms);
    CMemorySink sink;
    driver.SetOutputSink(&sink);
    CPrintJobOpenContext ctx = Context(2, 0, {0});
    ctx.dotDataType = 2;
    ASSERT_EQ(driver.JobOpen(&ctx), 1);
    ASSERT_EQ(driver.OutputInit(ctx.pixelWidth, 0), 1);
    EXPECT_EQ(driver.GetMappedRowBuffer(), nullptr);
    EXPECT_EQ(driver.GetOutputFlag(), 1);
    driver.GetRasterPixelBufferByIndex(0)->pWriteRow()[0] = 0xAA;
    ASSERT_EQ(driver.OutputOneRow(), 1);
    EXPECT_EQ(ToHex(sink.Data()), ToHex(Hex(std::string(kBlock) + " 00 00 02 01 00 01 00 | AA | 51 52 01 01")));
    sink.Clear();
    ASSERT_EQ(driver.AdvanceRows(5), 1); // high speed off, still blank rows
    EXPECT_EQ(sink.Data().size(), 5 * (22 + 2 + 4u));
    EXPECT_EQ(sink.Data().find("QX"), std::string::npos);

    parms->bHighSpeed = 1;
    ASSERT_EQ(driver.OutputInit(ctx.pixelWidth, 0), 1);
    EXPECT_EQ(driver.GetOutputFlag(), 0);
}

} // namespace
