#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "host/PrintEnv.h"
#include "layers/LayerBasis.h"
#include "layers/MimakiTS300PDriver.h"
#include "LayerTestSupport.h"
#include "tests/support/LogCapture.h"

using namespace layertest;

namespace {

struct Fixture {
    CPrintEnv env;
    Parms* parms = new Parms;
    bool slotBased;
    std::unique_ptr<CMimakiWhitePrinterDriverTS300P> driver;
    explicit Fixture(bool slots = false) : slotBased(slots)
    {
        parms->codes = {{0, 0x05}, {1, 0x06}, {2, 0x07}, {3, 0x08}, {24, 0x30}, {33, 0x21}, {34, 0x22}};
    }
    ~Fixture()
    {
        if (!driver)
            delete parms;
    }
    // The driver, built on first use: it reads the settings and the
    // parameters' pause answers when it is made.
    CMimakiWhitePrinterDriverTS300P& D()
    {
        if (!driver && slotBased)
            driver = std::make_unique<CMimakiWhitePrinterDriverTS300PSlotBased>(&env, parms);
        else if (!driver)
            driver = std::make_unique<CMimakiWhitePrinterDriverTS300P>(&env, parms);
        return *driver;
    }
};

// Mode 1 (colour on layer 0, white on layer 1) with a layer offset of one
// row: the white of each row follows one band later, the first band carries
// a blank white row, and one band more at the end drains the white.
TEST(TS300PStream, ModeOneWithADelayOfOneRow)
{
    Fixture f;
    f.parms->mode = 1;
    f.parms->offset = 1;
    Job job;
    job.colours = {0, 34};
    job.rows = {{{0xA0}, {0x0F}}, {{0x01}, {0x80}}};
    const Result r = RunJob(f.D(), job);
    ASSERT_EQ(r.ok, 1);
    const std::string qy = Bytes({'Q', 'Y', 0x05, 0, 0, 0, 0, 0}) + Bytes({'Q', 'R', 0x01, 0x00});
    const std::string want =
        // band 0: black of row 0 on layer 0, a blank white row on layer 1
        qy + Bytes({'Q', 'D', 0x0A, 0x05, 0, 1, 1, 0, 1, 0, 1, 0, 0}) + Bytes({0xA0}) +
        qy + Bytes({'Q', 'D', 0x0A, 0x22, 0, 1, 1, 0, 1, 0, 1, 0, 1}) + Bytes({0x00}) + Bytes({'Q', 'R', 1, 1}) +
        // band 1: black of row 1, white of row 0
        qy + Bytes({'Q', 'D', 0x0A, 0x05, 0, 1, 1, 0, 1, 0, 1, 0, 0}) + Bytes({0x01}) +
        qy + Bytes({'Q', 'D', 0x0A, 0x22, 0, 1, 1, 0, 1, 0, 1, 0, 1}) + Bytes({0x0F}) + Bytes({'Q', 'R', 1, 1}) +
        // drain: white of row 1
        qy + Bytes({'Q', 'D', 0x0A, 0x22, 0, 1, 1, 0, 1, 0, 1, 0, 1}) + Bytes({0x80}) + Bytes({'Q', 'R', 1, 1}) +
        Bytes({'Q', 'E', 0});
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
}

// Pause after 0.2 mm of print (2 rows at 254 dpi) at the second of the
// blank rows (gap 0.2 mm): "PS" 1 1 once, after that row's band trailer.
TEST(TS300PStream, PauseAtTheGapAfterTheDistance)
{
    Fixture f;
    f.parms->pause = 1;
    f.parms->pauseMm = 0.2;
    f.parms->gapMm = 0.2;
    Job job;
    job.colours = {0};
    job.dpi = 254;
    job.rows = {{{0x80}}, {{0x40}}, {{0}}, {{0}}, {{0}}, {{0x20}}};
    const Result r = RunJob(f.D(), job);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(f.D().PauseDistanceRows(), 2);
    EXPECT_EQ(f.D().PauseGapRows(), 2);
    EXPECT_EQ(f.D().GetOutputFlag(), 1);
    const std::string row = Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0, 'Q', 'D', 0x0A, 0x05, 0, 1, 1, 0, 1, 0, 1, 0, 0});
    const std::string band = Bytes({'Q', 'R', 1, 1});
    const std::string want = row + Bytes({0x80}) + band + row + Bytes({0x40}) + band + row + Bytes({0}) + band + row + Bytes({0}) +
                             band + Bytes({'P', 'S', 1, 1}) + row + Bytes({0}) + band + row + Bytes({0x20}) + band +
                             Bytes({'Q', 'E', 0});
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
}

TEST(TS300PStream, NoPauseWhenDisabledOrBeforeTheDistance)
{
    for (int enabled : {0, 1}) {
        Fixture f;
        f.parms->pause = enabled;
        f.parms->pauseMm = 1.0; // 10 rows at 254 dpi
        f.parms->gapMm = 0.2;
        Job job;
        job.colours = {0};
        job.dpi = 254;
        job.rows = {{{0x80}}, {{0}}, {{0}}, {{0}}, {{0x20}}};
        const Result r = RunJob(f.D(), job);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.bytes.find("PS"), std::string::npos);
        EXPECT_EQ(f.D().GetOutputFlag(), enabled);
    }
}

// Short header (high speed): no "QY" block and full-width rows even with
// "SendOnlyNonZeroBytes"; without it that setting sends the channel's own
// count.
TEST(TS300PStream, ShortHeaderAndSendOnlyNonZeroBytes)
{
    for (int highSpeed : {0, 1}) {
        Fixture f;
        f.env.PutString(L"SendOnlyNonZeroBytes", L"1");
        f.parms->highSpeed = highSpeed;
        Job job;
        job.colours = {0};
        job.width = 24;
        job.rows = {{{0xF0, 0x00, 0x00}}};
        const Result r = RunJob(f.D(), job);
        ASSERT_EQ(r.ok, 1);
        const std::string want =
            highSpeed ? Bytes({'Q', 'R', 1, 0, 'Q', 'D', 0x0A, 0x05, 0, 1, 3, 0, 1, 0, 3, 0, 0, 0xF0, 0, 0})
                      : Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0, 'Q', 'D', 0x0A, 0x05, 0, 1, 1, 0, 1, 0, 1,
                           0, 0, 0xF0});
        EXPECT_EQ(ToHex(r.bytes), ToHex(want + Bytes({'Q', 'R', 1, 1, 'Q', 'E', 0}))) << highSpeed;
    }
}

TEST(TS300PRoundTrip, EveryWhiteModeWithDelayAndMirror)
{
    Job job;
    job.colours = {0, 1, 34, 24, 33};
    job.width = 13;
    job.bits = 2;
    job.compress = 1;
    job.rows = RandomRows(job.colours.size(), 12, job.width, job.bits, 11);
    for (int mode = 0; mode <= 12; ++mode)
        for (int offset : {0, 3}) {
            Fixture f;
            f.parms->mode = mode;
            f.parms->offset = offset;
            CheckModeRoundTrip(f.D(), job, "TS300P", "TS300P", mode, offset, {0x05, 0x06, 0x22, 0x30, 0x21}, false);
        }
}

TEST(TS300PRoundTrip, UserColoursDecideTheLayer)
{
    Job job;
    job.colours = {0, 40, 41};
    job.userColours = {0, 34, 24}; // spot channels the host maps to white and midlayer
    job.width = 16;
    job.rows = RandomRows(3, 6, job.width, job.bits, 5);
    Fixture f;
    f.parms->codes[40] = 0x40;
    f.parms->codes[41] = 0x41;
    f.parms->mode = 5;
    f.parms->offset = 2;
    CheckModeRoundTrip(f.D(), job, "TS300P", "TS300P", 5, 2, {0x05, 0x40, 0x41}, false);
}

TEST(TS300PRoundTrip, UnknownModeSendsOnlyBandTrailers)
{
    Fixture f;
    f.parms->mode = 13;
    Job job;
    job.colours = {0};
    job.rows = {{{0xFF}}, {{0x01}}};
    const Result r = RunJob(f.D(), job);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(ToHex(r.bytes), ToHex(Bytes({'Q', 'R', 1, 1, 'Q', 'R', 1, 1, 'Q', 'E', 0})));
}

// Slot order equal to the channel order gives the channel-based stream;
// slots of inks the job lacks are skipped.
TEST(TS300PSlots, SlotBasedMatchesChannelBasedAndSkipsUnusedSlots)
{
    Job job;
    job.colours = {0, 1, 34, 24};
    job.width = 20;
    job.bits = 2;
    job.rows = RandomRows(4, 7, job.width, job.bits, 3);
    for (int mode : {0, 5, 12}) {
        Fixture channelBased;
        channelBased.parms->mode = mode;
        channelBased.parms->offset = 2;
        const Result want = RunJob(channelBased.D(), job);
        for (const wchar_t* slots : {L"0`1`34`24", L"0`3`1`2`34`9`24"}) {
            Fixture slotBased(true);
            slotBased.env.PutString(L"SlotsSetting", slots);
            slotBased.parms->mode = mode;
            slotBased.parms->offset = 2;
            const Result got = RunJob(slotBased.D(), job);
            ASSERT_EQ(got.ok, 1);
            EXPECT_EQ(ToHex(got.bytes), ToHex(want.bytes)) << mode;
        }
    }
}

TEST(TS300PSlots, ColourIdOfTheSlotFirstTheColourMapAsFallback)
{
    Fixture f(true);
    f.env.PutString(L"SlotsSetting", L"1`0");
    f.parms->ids = {0x61, 99};
    Job job;
    job.colours = {0, 1};
    job.rows = {{{0x80}, {0x40}}};
    const Result r = RunJob(f.D(), job);
    ASSERT_EQ(r.ok, 1);
    const std::string qy = Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0});
    // slot 0 (cyan) by its id 0x61; slot 1 (black) has none: map 0x05
    const std::string want = qy + Bytes({'Q', 'D', 0x0A, 0x61, 0, 1, 1, 0, 1, 0, 1, 0, 0, 0x40}) + qy +
                             Bytes({'Q', 'D', 0x0A, 0x05, 0, 1, 1, 0, 1, 0, 1, 0, 0, 0x80}) +
                             Bytes({'Q', 'R', 1, 1, 'Q', 'E', 0});
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
    auto* slotDriver = static_cast<CMimakiWhitePrinterDriverTS300PSlotBased*>(&f.D());
    slotDriver->SetSlotRowHeader(0, 300);
    EXPECT_EQ(ToHex(slotDriver->GetRowHeader()),
              ToHex(qy + Bytes({'Q', 'D', 0x0A, 0x61, 0, 1, 0x2C, 1, 1, 0, 0x2C, 1, 0})));
}

// A failing output at every byte of small delayed jobs, and an abort in
// the middle of them: no drain, no job end.
TEST(TS300PFailure, EveryOutputPositionAndAbort)
{
    const struct {
        std::vector<int> colours;
        int mode, offset;
        unsigned seed;
    } cases[] = {{{0, 34, 24}, 5, 1, 9}, {{0, 34}, 3, 2, 4}};
    for (const auto& c : cases) {
        Job job;
        job.colours = c.colours;
        job.width = 16;
        job.rows = RandomRows(c.colours.size(), 6, job.width, job.bits, c.seed);
        SCOPED_TRACE(c.mode);
        ExpectOutputFailuresAndAbort(
            [&](std::uint64_t failAfter, int abortBefore) {
                Fixture f;
                f.env.PutString(PrEnv_AbortCommand, L"<abort>");
                f.parms->mode = c.mode;
                f.parms->offset = c.offset;
                return RunJob(f.D(), job, failAfter, abortBefore);
            },
            3);
    }
}

TEST(TS300PMemory, DelayLinesHoldRowsTimesDelayWhateverThePageHeight)
{
    std::size_t held[2] = {};
    for (int i = 0; i < 2; ++i) {
        Fixture f;
        f.parms->mode = 5;
        f.parms->offset = 4;
        CPrintJobOpenContext c;
        c.colourCodes = {0, 34, 24};
        c.pixelWidth = 800;
        c.rowCount = i == 0 ? 10 : 100000;
        CMemorySink sink;
        f.D().SetOutputSink(&sink);
        ASSERT_EQ(f.D().JobOpen(&c), 1);
        ASSERT_EQ(f.D().OutputInit(c.pixelWidth, c.rowCount), 1);
        EXPECT_EQ(f.D().GetJobPixelLength(), c.rowCount + 3 * 4);
        held[i] = f.D().DelayLineBytes();
        f.D().SetOutputSink(nullptr);
    }
    EXPECT_EQ(held[0], held[1]);
    // layers 1, 2, 3 hold 4, 8, 12 rows of at most three channels each
    EXPECT_LE(held[0], (4u + 8u + 12u) * 3u * (25u + 101u));
    EXPECT_GE(held[0], (4u + 8u + 12u) * 100u);
}

} // namespace

namespace {

// A negative layer offset prints without delay (and says so); one beyond
// what the printer takes fails the job before any row.
TEST(TS300PFailure, LayerOffsetsOutOfRange)
{
    Job job;
    job.colours = {0, 34};
    job.rows = {{{0x80}, {0x40}}};
    Fixture negative;
    negative.parms->mode = 1;
    negative.parms->offset = -4;
    Fixture none;
    none.parms->mode = 1;
    {
        testsupport::LogCapture log(8);
        const Result r = RunJob(negative.D(), job);
        EXPECT_EQ(r.ok, 1);
        EXPECT_EQ(r.bytes, RunJob(none.D(), job).bytes);
        EXPECT_TRUE(log.Contains("layer row offset -4 is negative"));
    }
    Fixture huge;
    huge.parms->mode = 12;
    huge.parms->offset = 1 << 19;
    testsupport::LogCapture log(8);
    const Result r = RunJob(huge.D(), job);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.bytes.find("QY"), std::string::npos);
    EXPECT_TRUE(log.Contains("more than the printer can take"));
}

} // namespace
