// Behaviour of the legacy driver and the device-parameter base outside the
// plain job: command-set choice, densities, colour tables, feeds, double
// line, high speed, medium-dot removal, job end.
#include <gtest/gtest.h>

#include <optional>

#include "DriverTestUtil.h"
#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiDevParmsEarly.h"
#include "driver/MimakiBaseDriver.h"

namespace {

class TestDriver : public CMimakiLegacyBasePrinterDriver {
public:
    using CMimakiLegacyBasePrinterDriver::CMimakiLegacyBasePrinterDriver;
    using CMimakiLegacyBasePrinterDriver::AdvanceRows;
    using CMimakiLegacyBasePrinterDriver::OutputEmptyRow;
};

struct Fixture {
    CPrintEnv env;
    CMimakiDevParmsBase* parms = new CMimakiDevParmsBase();
    std::unique_ptr<TestDriver> driver;
    CMemorySink sink;
    CPrintJobOpenContext ctx;

    explicit Fixture(int uid = 0, int functMode = -1)
    {
        env.PutInt(PrEnv_UID, uid);
        if (functMode >= -1)
            env.PutInt(L"nFunctModeId", functMode);
        ctx.dpiFirst = 720;
        ctx.dpiSecond = 720;
        ctx.bitsPerPixel = 1;
        ctx.pixelWidth = 32;
        ctx.colourCodes = {0};
        ctx.advanceBlankRows = false;
    }
    // Builds the driver (after the test has set the parameters) and opens a job.
    TestDriver& Open()
    {
        driver = std::make_unique<TestDriver>(&env, parms);
        driver->SetOutputSink(&sink);
        EXPECT_EQ(driver->JobOpen(&ctx), 1);
        EXPECT_EQ(driver->OutputInit(ctx.pixelWidth, 0), 1);
        sink.Clear();
        return *driver;
    }
    void SetRow(int channel, const std::vector<BYTE>& bytes)
    {
        BYTE* row = driver->GetRasterPixelBufferByIndex(channel)->pWriteRow();
        std::copy(bytes.begin(), bytes.end(), row);
    }
};

TEST(CommandSet, FunctModeOverridesOnlyInRange)
{
    for (int mode : {0, 1, 2, 3, 4}) {
        Fixture f(0, mode);
        f.ctx.functMode = 2;
        EXPECT_EQ(f.Open().GetCommandSet(), mode);
    }
    for (int mode : {-1, 7, 5, -2}) {
        Fixture f(0, mode);
        f.ctx.functMode = 3;
        EXPECT_EQ(f.Open().GetCommandSet(), 3) << mode;
    }
    Fixture missing(0, -2); // key absent
    missing.env.DeleteEntry(L"nFunctModeId");
    missing.ctx.functMode = 1;
    EXPECT_EQ(missing.Open().GetCommandSet(), 1);
}

TEST(CommandSet, DensitiesFromTheResolutions)
{
    struct {
        int uid;
        double first, second;
        int a, b;
    } cases[] = {{0, 1440, 720, 2, 5}, {13, 720, 720, 5, 10}, {15, 360, 720, 10, 10},
                 {14, 720, 720, 5, 5}};
    for (const auto& c : cases) {
        Fixture f(c.uid, 0);
        f.ctx.dpiFirst = c.first;
        f.ctx.dpiSecond = c.second;
        const std::string& h = f.Open().GetRowHeader();
        ASSERT_EQ(h.size(), 11u);
        EXPECT_EQ(static_cast<BYTE>(h[6]), c.a) << c.uid << " " << c.first;
        EXPECT_EQ(static_cast<BYTE>(h[7]), c.b) << c.uid << " " << c.second;
    }
}

TEST(ColourTable, Model3SwapsLightInksWithOrangeGreen)
{
    for (int swap : {0, 1}) {
        Fixture f(3, 2);
        f.env.PutInt(L"DP3_SwapLCMOG", swap);
        delete f.parms;
        f.parms = new DEVPARM3_CLASS(); // the swap is a setting of model 3's parameters
        f.parms->Load(&f.env);
        const BYTE* t = f.Open().GetColourCodeTable();
        const std::vector<int> got = {t[4], t[5], t[8], t[9]};
        EXPECT_EQ(got, swap ? std::vector<int>({17, 18, 6, 5}) : std::vector<int>({5, 6, 18, 17}));
    }
    Fixture other(4, 2); // only model 3 has the swap
    other.env.PutInt(L"DP3_SwapLCMOG", 1);
    EXPECT_EQ(other.Open().GetColourCodeTable()[4], 5);
}

// Sets 0 and 2 have no "no ink" value: a channel outside their table prints
// as black, which the log says once per job and channel.
TEST(ColourTable, CodesWithoutAnEntryPrintAsBlackAndAreLogged)
{
    const struct {
        int set;
        std::vector<int> codes;
        std::vector<std::string> logged;
    } cases[] = {
        {0, {0, 9, 3, -1}, {"channel 1: host colour code 9 has no entry in the colour table of command set 0",
                            "channel 3: host colour code -1 has no entry in the colour table of command set 0"}},
        {0, {7}, {}},
        {2, {34, 35}, {"channel 1: host colour code 35 has no entry in the colour table of command set 2"}},
        {1, {40}, {}},
        {4, {40}, {}},
    };
    for (const auto& c : cases) {
        Fixture f(0, c.set);
        f.ctx.colourCodes = c.codes;
        LogCapture log(4);
        TestDriver& d = f.Open();
        for (std::size_t ch = 0; ch < c.codes.size(); ++ch)
            f.SetRow(static_cast<int>(ch), {0x01});
        ASSERT_EQ(d.OutputOneRow(), 1);
        ASSERT_EQ(d.OutputOneRow(), 1);
        ASSERT_EQ(log.lines.size(), c.logged.size()) << "set " << c.set;
        for (std::size_t i = 0; i < c.logged.size(); ++i) {
            EXPECT_NE(log.lines[i].find(c.logged[i] + "; it prints as black"), std::string::npos) << log.lines[i];
            EXPECT_EQ(log.lines[i].rfind("***CMimakiLegacyBasePrinterDriver::OutputInit#", 0), 0u) << log.lines[i];
        }
    }
}

// The row header counts dots (sets 0, 1, 3 at one bit) or bytes (sets 2, 4,
// 3 at two bits) in 16 bits: the widest row each can carry goes out with the
// count's top byte in place; one byte more makes OutputInit fail with one
// line naming the width and the limit.
TEST(RowLimits, WidestRowOfEachSetAndOneByteMore)
{
    const struct {
        int set, bits, maxBytes;
        const char* header; // hex, for a row of maxBytes bytes
    } cases[] = {
        {0, 1, 8191, "1B 72 00 1B 2E 00 05 05 01 F8 FF"},
        {1, 1, 8191, "1B 28 72 02 00 00 00 1B 2E 00 05 05 01 F8 FF"},
        {3, 1, 8191, "1B 28 72 02 00 FF FF 1B 2E 00 05 05 01 F8 FF"},
        {2, 1, 65535, "1B 69 00 00 01 FF FF 01 00"},
        {2, 2, 65535, "1B 69 00 00 02 FF FF 01 00"},
        {3, 2, 65535, "1B 69 FF 00 02 FF FF 01 00"},
        {4, 2, 65535, "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 00 02 FF FF 01 00"},
    };
    for (const auto& c : cases) {
        const int pixels = c.maxBytes * 8 / c.bits;
        {
            Fixture f(0, c.set);
            f.ctx.bitsPerPixel = c.bits;
            f.ctx.pixelWidth = pixels;
            TestDriver& d = f.Open();
            std::vector<BYTE> row(static_cast<std::size_t>(c.maxBytes), 0);
            row.back() = 0x01;
            f.SetRow(0, row);
            ASSERT_EQ(d.OutputOneRow(), 1);
            const std::string header = Hex(c.header);
            EXPECT_EQ(ToHex(f.sink.Data().substr(0, header.size())), ToHex(header)) << "set " << c.set;
        }
        const int wider = pixels + 8 / c.bits;
        Fixture f(0, c.set);
        f.ctx.bitsPerPixel = c.bits;
        f.ctx.pixelWidth = wider;
        f.driver = std::make_unique<TestDriver>(&f.env, f.parms);
        LogCapture log(4);
        ASSERT_EQ(f.driver->JobOpen(&f.ctx), 1);
        EXPECT_EQ(f.driver->OutputInit(wider, 0), 0) << "set " << c.set;
        ASSERT_EQ(log.lines.size(), 1u) << "set " << c.set;
        EXPECT_NE(log.lines[0].find("a row of " + std::to_string(wider) + " pixels"), std::string::npos)
            << log.lines[0];
        EXPECT_NE(log.lines[0].find("at most " + std::to_string(c.maxBytes) + " bytes"), std::string::npos)
            << log.lines[0];
    }
    // A 64-inch row at 1440 dpi and one bit is 92160 dots: too many for set 0.
    Fixture f(0, 0);
    f.ctx.pixelWidth = 64 * 1440;
    f.driver = std::make_unique<TestDriver>(&f.env, f.parms);
    LogCapture log(4);
    ASSERT_EQ(f.driver->JobOpen(&f.ctx), 1);
    EXPECT_EQ(f.driver->OutputInit(f.ctx.pixelWidth, 0), 0);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("92160 pixels at 1 bits is 11520 bytes; command set 0 counts dots"),
              std::string::npos)
        << log.lines[0];
    // Without a header (set 3 at four bits) nothing counts the row.
    Fixture wide(0, 3);
    wide.ctx.bitsPerPixel = 4;
    wide.ctx.pixelWidth = 200000;
    wide.Open();
}

// A driver that prints a job in one set and then one in another frames each
// job's rows in its own set.
TEST(RowOutput, EachJobFramesItsRowsInItsOwnSet)
{
    Fixture f(0, -2);
    f.env.DeleteEntry(L"nFunctModeId"); // the host's function mode decides
    f.ctx.functMode = 4;
    TestDriver& d = f.Open();
    EXPECT_EQ(d.GetBandTrailer(), Hex("51 52 01 01"));
    f.ctx.functMode = 2;
    ASSERT_EQ(d.JobOpen(&f.ctx), 1);
    ASSERT_EQ(d.OutputInit(f.ctx.pixelWidth, 0), 1);
    f.sink.Clear();
    f.SetRow(0, {0x80});
    ASSERT_EQ(d.OutputOneRow(), 1);
    EXPECT_EQ(ToHex(f.sink.Data()), ToHex(Hex("1B 69 00 00 01 01 00 01 00 | 80 | 0D 0A")));
}

// One row of a job, whole, worked out by hand.
TEST(RowOutput, OneRowByHand)
{
    const struct {
        const char* what;
        int set, bits, compress, pixels;
        std::vector<int> colours;
        std::vector<std::vector<BYTE>> row; // per channel
        const char* expected;               // hex; of the row's first bytes where prefixOnly
        bool prefixOnly = false;
        int dotType = 0;                    // with "SkipMediumDot" 1
    } cases[] = {
        {"a code set 4 has no entry for prints no ink", 4, 1, 0, 32, {40}, {{0x01}},
         "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 FF 00 01 01 00 01 00 | 01 | 51 52 01 01"},
        {"a code set 2 has no entry for prints as black", 2, 1, 0, 32, {99}, {{0x01}},
         "1B 69 00 00 01 01 00 01 00 | 01 | 0D 0A"},
        {"every channel blank, set 0: the line feed", 0, 1, 0, 32, {0, 1, 2}, {{}, {}, {}}, "0A"},
        {"every channel blank, set 4: the band trailer", 4, 1, 0, 32, {0, 1, 2}, {{}, {}, {}}, "51 52 01 01"},
        {"set 0 counts eight dots a byte", 0, 1, 0, 720, {0}, {std::vector<BYTE>(90, 0x81)},
         "1B 72 00 1B 2E 00 05 05 01 D0 02", true},
        {"the PackBits header counts uncoded bytes", 2, 2, 1, 400, {0}, {std::vector<BYTE>(100, 0x55)},
         "1B 69 00 01 02 64 00 01 00 | 9D 55 | 0D 0A"},
        {"four bits in set 3 have no header", 3, 4, 0, 4, {0}, {{0x12, 0x34}}, "12 34 0D 0A"},
        // 3 2 1 0 | 2 2 2 2: medium dots (2) removed for variable dots only.
        {"medium dots removed", 2, 2, 0, 32, {0}, {{0xE4, 0xAA}}, "1B 69 00 00 02 02 00 01 00 | C4 00 | 0D 0A",
         false, 2},
        {"medium dots kept for fixed dots", 2, 2, 0, 32, {0}, {{0xE4, 0xAA}},
         "1B 69 00 00 02 02 00 01 00 | E4 AA | 0D 0A", false, 1},
    };
    for (const auto& c : cases) {
        Fixture f(0, c.set);
        f.ctx.bitsPerPixel = c.bits;
        f.ctx.compressMode = c.compress;
        f.ctx.pixelWidth = c.pixels;
        f.ctx.colourCodes = c.colours;
        f.ctx.dotDataType = c.dotType;
        if (c.dotType)
            f.env.PutInt(L"SkipMediumDot", 1);
        TestDriver& d = f.Open();
        for (std::size_t ch = 0; ch < c.row.size(); ++ch)
            f.SetRow(static_cast<int>(ch), c.row[ch]);
        ASSERT_EQ(d.OutputOneRow(), 1) << c.what;
        const std::string expected = Hex(c.expected);
        EXPECT_EQ(ToHex(c.prefixOnly ? f.sink.Data().substr(0, expected.size()) : f.sink.Data()), ToHex(expected))
            << c.what;
    }
}

TEST(OutputFlag, FollowsTheStoredHighSpeedSetting)
{
    {
        Fixture f(0, 0);
        f.driver = std::make_unique<TestDriver>(&f.env, f.parms);
        EXPECT_EQ(f.driver->GetOutputFlag(), 1);
        f.parms = nullptr; // owned by the driver
    }
    for (int set : {0, 4}) {
        Fixture f(0, set);
        f.parms->bHighSpeed = 1;
        f.driver = std::make_unique<TestDriver>(&f.env, f.parms);
        EXPECT_EQ(f.driver->GetOutputFlag(), 0);
        f.driver->SetOutputSink(&f.sink);
        f.driver->JobOpen(&f.ctx);
        f.driver->OutputInit(32, 0);
        EXPECT_EQ(f.driver->GetOutputFlag(), set == 4 ? 0 : 1);
    }
}

TEST(RowOutput, DoubleLineSendsEveryRowTwiceAndDoublesFeeds)
{
    Fixture f(0, 0);
    f.parms->bDoubleLine = 1;
    TestDriver& d = f.Open();
    f.SetRow(0, {0x80});
    ASSERT_EQ(d.OutputOneRow(), 1);
    const std::string row = Hex("1B 72 00 1B 2E 00 05 05 01 08 00 80 0D 0A");
    EXPECT_EQ(ToHex(f.sink.Data()), ToHex(row + row));
    f.sink.Clear();
    ASSERT_EQ(d.AdvanceRows(3), 1);
    EXPECT_EQ(ToHex(f.sink.Data()), ToHex(Hex("1B 28 76 02 00 06 00")));
}

TEST(Feeds, HighSpeedSendsBlankRowsInsteadOfAFeed)
{
    Fixture f(0, 0);
    f.parms->bHighSpeed = 1;
    f.ctx.colourCodes = {0, 2};
    f.ctx.pixelWidth = 16;
    TestDriver& d = f.Open();
    ASSERT_EQ(d.AdvanceRows(2), 1);
    const std::string blank = Hex("1B 72 00 1B 2E 00 05 05 01 10 00 00 00 0D"
                                  "1B 72 01 1B 2E 00 05 05 01 10 00 00 00 0D 0A");
    EXPECT_EQ(ToHex(f.sink.Data()), ToHex(blank + blank));
    EXPECT_EQ(d.GetSectionCount(), 2);
    f.sink.Clear();
    EXPECT_EQ(d.AdvanceRows(0), 1);
    EXPECT_TRUE(f.sink.Data().empty());
}

// The feed commands of set 4 and the ESC/P sets; feeds longer than an ESC/P
// feed carries go out as several commands of at most 32767 rows; a negative
// feed sends nothing and is logged.
TEST(Feeds, LongFeedsAreSplitAndNegativeOnesSendNothing)
{
    Fixture set4(0, 4);
    EXPECT_EQ(ToHex(set4.Open().GetFeedCommand(70000)), ToHex(Hex("51 58 05 01 70 11 01 00 51 52 01 00")));
    Fixture set1(0, 1);
    EXPECT_EQ(ToHex(set1.Open().GetFeedCommand(300)), ToHex(Hex("1B 28 76 02 00 2C 01")));
    Fixture f(0, 0);
    TestDriver& d = f.Open();
    EXPECT_EQ(ToHex(d.GetFeedCommand(32767)), ToHex(Hex("1B 28 76 02 00 FF 7F")));
    EXPECT_EQ(ToHex(d.GetFeedCommand(32768)), ToHex(Hex("1B 28 76 02 00 FF 7F 1B 28 76 02 00 01 00")));
    EXPECT_EQ(ToHex(d.GetFeedCommand(0)), ToHex(Hex("1B 28 76 02 00 00 00")));
    LogCapture log(4);
    EXPECT_EQ(d.GetFeedCommand(-3), "");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("a feed of -3 rows is no feed; nothing is sent"), std::string::npos);
}

// The gap between jobs ("SpaceBetweenJobs", mm; 5 without the key) fed at
// the job's second resolution: 1200 mm at 1440 dpi is 68031 rows, which
// once went out as 2495 rows (the count modulo 65536); a negative gap fed
// 65000 rows and now feeds none, with one line in the log.
TEST(JobEnd, SpaceBetweenJobs)
{
    const struct {
        int set;
        double dpi;
        std::optional<int> space;
        const char* expected;
        std::size_t logged;
    } cases[] = {
        {1, 1440, 1200, "1B 28 76 02 00 FF 7F 1B 28 76 02 00 FF 7F 1B 28 76 02 00 C1 09 0C FF", 0},
        {0, 720, -5, "0C FF", 1},
        {0, 720, 0, "0C FF", 0},
        {1, 600, std::nullopt, "1B 28 76 02 00 76 00 0C FF", 0},
        {4, 720, 12, "51 45 00", 0},
    };
    for (const auto& c : cases) {
        Fixture f(0, c.set);
        f.ctx.dpiSecond = c.dpi;
        if (c.space)
            f.env.PutInt(L"SpaceBetweenJobs", *c.space);
        TestDriver& d = f.Open();
        LogCapture log(4);
        EXPECT_EQ(ToHex(f.parms->GetEndString(&d)), ToHex(Hex(c.expected))) << c.set << " " << c.space.value_or(5);
        EXPECT_EQ(log.lines.size(), c.logged);
    }
}

// A blank stretch longer than a 16-bit feed goes out in several feeds.
TEST(Feeds, LongBlankStretchIsSplit)
{
    Fixture f(0, 0);
    f.ctx.advanceBlankRows = true;
    TestDriver& d = f.Open();
    for (int i = 0; i < 70000; ++i)
        ASSERT_EQ(d.OutputOneRow(), 1);
    f.SetRow(0, {0x01});
    ASSERT_EQ(d.OutputOneRow(), 1);
    EXPECT_EQ(ToHex(f.sink.Data()),
              ToHex(Hex("1B 28 76 02 00 FF 7F 1B 28 76 02 00 FF 7F 1B 28 76 02 00 72 11"
                        "1B 72 00 1B 2E 00 05 05 01 08 00 01 0D 0A")));
}

TEST(RowOutput, Model12WithFourChannelsUsesItsOwnSetThreeColours)
{
    Fixture f(12, 3);
    f.ctx.colourCodes = {0, 1, 2, 3};
    TestDriver& d = f.Open();
    for (int ch = 0; ch < 4; ++ch)
        f.SetRow(ch, {0x01});
    ASSERT_EQ(d.OutputOneRow(), 1);
    std::string colours;
    for (std::size_t pos = 0; pos + 6 < f.sink.Data().size(); pos += 17)
        colours += f.sink.Data().substr(pos + 5, 2);
    EXPECT_EQ(ToHex(colours), ToHex(Hex("00 00 00 01 00 02 00 04")));
}

TEST(DevParmsBase, BaseAnswers)
{
    CMimakiDevParmsBase p;
    EXPECT_EQ(p.GetSize(), static_cast<int>(sizeof(CMimakiDevParmsBase)));
    EXPECT_EQ(p.GetVersion(), 261);
    EXPECT_EQ(p.nWhiteMode, 1);
    EXPECT_EQ(p.nPrintCountColor + p.nPrintCountWhite + p.nPrintCountClearCoat, 3);
    EXPECT_EQ(p.GetColorMapValue(3), -1);
    EXPECT_EQ(p.GetColorIdAt(0), -1);
    double a = 0, b = 0;
    p.GetHeadCleaningDistances(a, b);
    EXPECT_EQ(a, -1.0);
    EXPECT_EQ(b, -1.0);
    EXPECT_EQ(p.UsesWhiteDriver(), 0);
    EXPECT_EQ(p.GetWhiteOrderOrMode(), -1);
    std::vector<BYTE> abort;
    EXPECT_EQ(p.GetAbortCommand(abort), 0);
    p.bWhite = 1;
    EXPECT_EQ(p.UsesWhiteDriver(), 1);
    p.bHighSpeed = 1;
    EXPECT_EQ(p.GetHighSpeed(), 1);
}

// A parameter class with a start string shows which layer strings use it.
class StartParms : public CMimakiDevParmsBase {
public:
    std::string GetStartString(CPrinterDriverBase*) override { return "S"; }
    std::string GetWhiteLayerCommands(int) override { return "W"; }
    std::string GetColorLayerCommands(int) override { return "C"; }
};

TEST(DevParmsBase, LayerStartStrings)
{
    StartParms p;
    EXPECT_EQ(p.GetWhiteLayerStartString(nullptr), "");
    EXPECT_EQ(p.GetColorLayerStartString(nullptr), "CS");
    EXPECT_EQ(p.GetClearCoatLayerStartString(nullptr), "");
    p.bWhite = 1;
    p.bClearCoat = 1;
    EXPECT_EQ(p.GetWhiteLayerStartString(nullptr), "WS");
    EXPECT_EQ(p.GetClearCoatLayerStartString(nullptr), "S");
}

} // namespace
