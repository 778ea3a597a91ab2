// The UJV100 and UCJV300 layer-section drivers: streams worked out by hand,
// every layer mode back through the decoder, failures and aborts, memory.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "driver/MimakiUCJV300Driver.h"
#include "driver/MimakiUJV100Driver.h"
#include "host/PrintEnv.h"
#include "LayerTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tools/streamdump/LayerSections.h"

using namespace layertest;

namespace {

const char kFile[] = "layer_section_modes.md";
const char kUJV100[] = "`CMimakiPrinterDriverUJV100`";
const char kUCJV300[] = "`CMimakiDriverUCJV300`";

struct Fixture {
    CPrintEnv env;
    Parms* parms = new Parms;
    bool ucjv300;
    std::unique_ptr<CPrinterDriverBase> driver;
    explicit Fixture(bool ucjv = true, int mode = 0, int offset = 0) : ucjv300(ucjv)
    {
        parms->codes = {{0, 0x05}, {1, 0x06}, {24, 0x30}, {29, 0x31}, {30, 0x32}, {33, 0x21}, {34, 0x22}};
        parms->mode = mode;
        parms->offset = offset;
    }
    ~Fixture()
    {
        if (!driver)
            delete parms;
    }
    CPrinterDriverBase& D()
    {
        if (!driver && ucjv300)
            driver = std::make_unique<CMimakiDriverUCJV300>(&env, parms);
        else if (!driver)
            driver = std::make_unique<CMimakiPrinterDriverUJV100>(&env, parms);
        return *driver;
    }
};

// One channel row: the UJV100's blocks Q Y, Q R, the UCJV300's Q R, Q Y,
// then the 10-byte Q D (colour, packed, bits, raw and sent counts, layer).
std::string Section(bool ucjv, int colour, const std::string& data, int layer)
{
    const std::string qy = Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0}), qr = Bytes({'Q', 'R', 1, 0});
    const int n = static_cast<int>(data.size());
    return (ucjv ? qr + qy : qy + qr) + Bytes({'Q', 'D', 10, colour, 0, 1, n, 0, 1, 0, n, 0, layer}) + data;
}
const std::string kBand = Bytes({'Q', 'R', 1, 1});
const std::string kEnd = Bytes({'Q', 'E', 0});

// UJV100 printing way 4: the channels other than 29, 30, 33, 34 (their own
// byte counts), then 33 and 34, all on layer 0; varnish nowhere; a blank row
// as zero rows of full width. Way 9 sends only band trailers.
TEST(UJV100Stream, WayFourAndWayNine)
{
    Job job;
    job.colours = {0, 34, 30};
    job.width = 16;
    job.rows = {{{0xA0, 0x00}, {0x0F, 0x01}, {0xFF, 0xFF}}, {{0, 0}, {0, 0}, {0, 0}}};
    Fixture way4(false, 4);
    const Result r = RunJob(way4.D(), job);
    ASSERT_EQ(r.ok, 1);
    const std::string want = Section(false, 0x05, Bytes({0xA0}), 0) + Section(false, 0x22, Bytes({0x0F, 0x01}), 0) +
                             kBand + Section(false, 0x05, Bytes({0, 0}), 0) + Section(false, 0x22, Bytes({0, 0}), 0) +
                             kBand + kEnd;
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
    Fixture way9(false, 9);
    EXPECT_EQ(ToHex(RunJob(way9.D(), job).bytes), ToHex(kBand + kBand + kEnd));
}

// UCJV300 mode 33 with a layer offset of one row: colour on layer 0, varnish
// on layers 1 to 4, each one row later; until a layer's first row is due it
// carries a blank varnish row; four bands at the end drain the delays.
// Mode 18 sends only band trailers.
TEST(UCJV300Stream, ModeThirtyThreeDelayedAndModeEighteen)
{
    Job job;
    job.colours = {0, 30};
    job.rows = {{{0x80}, {0x40}}, {{0x01}, {0x02}}};
    Fixture f(true, 33, 1);
    const Result r = RunJob(f.D(), job);
    ASSERT_EQ(r.ok, 1);
    auto k = [](int byte, int layer) { return Section(true, 0x05, Bytes({byte}), layer); };
    auto v = [](int byte, int layer) { return Section(true, 0x32, Bytes({byte}), layer); };
    const std::string want = k(0x80, 0) + v(0, 1) + v(0, 2) + v(0, 3) + v(0, 4) + kBand +     // row 0
                             k(0x01, 0) + v(0x40, 1) + v(0, 2) + v(0, 3) + v(0, 4) + kBand +  // row 1
                             v(0x02, 1) + v(0x40, 2) + kBand + v(0x02, 2) + v(0x40, 3) + kBand + // drain
                             v(0x02, 3) + v(0x40, 4) + kBand + v(0x02, 4) + kBand + kEnd;
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
    EXPECT_EQ(static_cast<CMimakiDriverUCJV300&>(f.D()).LayerCount(), 5);

    Fixture eighteen(true, 18);
    testsupport::LogCapture quiet;
    EXPECT_EQ(ToHex(RunJob(eighteen.D(), job).bytes), ToHex(kBand + kBand + kEnd));
}

// Every mode of both drivers (and one each has not): the decoder rebuilds
// each layer with the documented delay and mirroring undone, and finds each
// channel the mode's selectors take, under its colour byte, with the rows
// as fed; channels the mode does not carry appear nowhere.
TEST(LayerSectionRoundTrip, EveryModeOfBothDrivers)
{
    Job job;
    job.colours = {0, 1, 24, 29, 30, 33, 34};
    job.width = 21;
    job.bits = 2;
    job.compress = 1;
    job.rows = RandomRows(job.colours.size(), 11, job.width, job.bits, 7);
    std::vector<int> codes;
    for (int colour : job.colours)
        codes.push_back(Fixture().parms->codes.at(colour));
    testsupport::LogCapture quiet;
    for (const bool ucjv : {false, true})
        for (int mode = 0; mode <= 36; ++mode) {
            const int offset = ucjv ? mode % 3 : 0;
            Fixture f(ucjv, mode, offset);
            const Result r = RunJob(f.D(), job);
            ASSERT_EQ(r.ok, 1) << mode;
            CheckRebuiltLayers(r.bytes, job, ucjv ? kUCJV300 : kUJV100, kFile, mode, offset, codes);
        }
}

// A failing output at every byte: the job answers 0 and nothing is written
// after the failure. An abort in the middle of a delayed page sends the
// abort command once, no drain and no job end.
TEST(LayerSectionFailure, EveryOutputPositionAndAbort)
{
    Job job;
    job.colours = {0, 34, 29, 24};
    job.width = 16;
    job.rows = RandomRows(4, 6, job.width, job.bits, 9);
    for (const bool ucjv : {false, true}) {
        const int mode = ucjv ? 10 : 6;
        SCOPED_TRACE(ucjv ? "UCJV300" : "UJV100");
        ExpectOutputFailuresAndAbort(
            [&](std::uint64_t failAfter, int abortBefore) {
                Fixture f(ucjv, mode, 1);
                f.env.PutString(PrEnv_AbortCommand, L"<abort>");
                return RunJob(f.D(), job, failAfter, abortBefore);
            },
            4);
    }
}

// The UCJV300 takes "SendOnlyNonZeroBytes" when it is made, converts the
// pause distances at the job's vertical resolution and sends nothing for
// the top margin.
TEST(UCJV300Driver, SettingsAndMargin)
{
    Fixture f(true, 33, 4);
    f.env.PutInt(L"SendOnlyNonZeroBytes", 1);
    f.parms->pause = 1;
    f.parms->pauseMm = 25.4;
    f.parms->gapMm = 0.1;
    auto& d = static_cast<CMimakiDriverUCJV300&>(f.D());
    f.env.PutInt(L"SendOnlyNonZeroBytes", 0);
    Job job;
    job.colours = {0, 30};
    job.width = 800;
    job.dpi = 600;
    job.rows = {{RowBytes(100, 0), RowBytes(100, 0)}};
    job.rows[0][0][0] = 0x80;
    const Result r = RunJob(d, job);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(ToHex(r.bytes.substr(0, 26)), ToHex(Section(true, 0x05, Bytes({0x80}), 0))); // its own count
    EXPECT_EQ(d.PauseDistanceRows(), 600);
    EXPECT_EQ(d.PauseGapRows(), 2);
    CMemorySink sink;
    d.SetOutputSink(&sink);
    EXPECT_EQ(d.OutputMargTop(), 1);
    EXPECT_TRUE(sink.Data().empty());
    d.SetOutputSink(nullptr);
}

} // namespace
