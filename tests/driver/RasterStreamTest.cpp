// Whole printer streams of small jobs, for the printer without a model row,
// in every raster command set, and for the MRL III driver and its named
// variants, which must frame rows exactly as set 4 does.
#include <gtest/gtest.h>

#include "DriverTestUtil.h"
#include "devparms/MimakiDevParms.h"
#include "driver/MimakiMRLIIIDriver.h"

namespace {

// Two channels (black, cyan), four rows: black only, two blank rows, cyan only.
const std::vector<Row> kRows = {
    {{0xAA, 0xAA}, {0x00, 0x00}},
    {{0x00, 0x00}, {0x00, 0x00}},
    {{0x00, 0x00}, {0x00, 0x00}},
    {{0x00, 0x00}, {0x12, 0x00}},
};

struct StreamCase {
    const char* name;
    int commandSet;
    int bits;
    int compress;
    const char* expected; // hex
};

// 720 x 360 dpi: densities 5 and 10. Rows are two bytes wide. Set 0-3 jobs
// end with a 5 mm feed at 360 dpi (70 rows) and form feed; set 4 with "QE".
const StreamCase kCases[] = {
    {"set0_raw", 0, 1, 0,
     "1B 72 00 1B 2E 00 05 0A 01 10 00 | AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 72 02 1B 2E 00 05 0A 01 08 00 | 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set0_packbits", 0, 1, 1,
     "1B 72 00 1B 2E 01 05 0A 01 10 00 | 01 AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 72 02 1B 2E 01 05 0A 01 08 00 | 00 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set1_raw", 1, 1, 0,
     "1B 28 72 02 00 00 00 1B 2E 00 05 0A 01 10 00 | AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 28 72 02 00 00 02 1B 2E 00 05 0A 01 08 00 | 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set1_packbits", 1, 1, 1,
     "1B 28 72 02 00 00 00 1B 2E 01 05 0A 01 10 00 | 01 AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 28 72 02 00 00 02 1B 2E 01 05 0A 01 08 00 | 00 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set2_2bit_raw", 2, 2, 0,
     "1B 69 00 00 02 02 00 01 00 | AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 69 02 00 02 01 00 01 00 | 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set2_2bit_packbits", 2, 2, 1,
     "1B 69 00 01 02 02 00 01 00 | 01 AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 69 02 01 02 01 00 01 00 | 00 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set2_1bit_raw", 2, 1, 0,
     "1B 69 00 00 01 02 00 01 00 | AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 69 02 00 01 01 00 01 00 | 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set3_1bit_raw", 3, 1, 0,
     "1B 28 72 02 00 FF FF 1B 2E 00 05 0A 01 10 00 | AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 28 72 02 00 00 00 1B 2E 00 05 0A 01 08 00 | 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    {"set3_2bit_packbits", 3, 2, 1,
     "1B 69 FF 01 02 02 00 01 00 | 01 AA AA | 0D 0A"
     "1B 28 76 02 00 02 00"
     "1B 69 00 01 02 01 00 01 00 | 00 12 | 0D 0A"
     "1B 28 76 02 00 46 00 0C FF"},
    // Set 4 advances with blank rows of full width, every channel.
    {"set4_2bit_packbits", 4, 2, 1,
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 01 02 02 00 01 00 | 01 AA AA | 51 52 01 01"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 01 02 02 00 01 00 | 01 00 00"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 02 01 02 02 00 01 00 | 01 00 00 | 51 52 01 01"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 01 02 02 00 01 00 | 01 00 00"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 02 01 02 02 00 01 00 | 01 00 00 | 51 52 01 01"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 02 01 02 01 00 01 00 | 00 12 | 51 52 01 01"
     "51 45 00"},
    {"set4_1bit_raw", 4, 1, 0,
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 00 01 02 00 01 00 | AA AA | 51 52 01 01"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 00 01 02 00 01 00 | 00 00"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 02 00 01 02 00 01 00 | 00 00 | 51 52 01 01"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 00 01 02 00 01 00 | 00 00"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 02 00 01 02 00 01 00 | 00 00 | 51 52 01 01"
     "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 02 00 01 01 00 01 00 | 12 | 51 52 01 01"
     "51 45 00"},
};

CPrintJobOpenContext Context(int bits, int compress)
{
    CPrintJobOpenContext c;
    c.dpiFirst = 720;
    c.dpiSecond = 360;
    c.bitsPerPixel = bits;
    c.pixelWidth = 16 / bits;
    c.colourCodes = {0, 1};
    c.compressMode = compress;
    return c;
}

std::unique_ptr<CPrinterDriverBase> MakeDriver(CPrintEnv& env, int commandSet)
{
    env.PutInt(PrEnv_UID, 0);
    env.PutInt(L"nFunctModeId", commandSet);
    return CreateDriver(env);
}

// An MRL III driver class over the base parameters; "nFunctModeId" asks for
// set 0 and must change nothing.
template <class D>
std::unique_ptr<CPrinterDriverBase> MakeMrl(CPrintEnv& env, int)
{
    env.PutInt(L"nFunctModeId", 0);
    return std::make_unique<D>(&env, new CMimakiDevParmsBase());
}

class RasterStream : public ::testing::TestWithParam<StreamCase> {};

// The whole stream by hand; every output call can fail, and the job then
// answers 0 with exactly the stream's start sent and nothing attempted after.
TEST_P(RasterStream, WholeJobBytesAndEveryOutputFailure)
{
    using Maker = std::unique_ptr<CPrinterDriverBase> (*)(CPrintEnv&, int);
    const StreamCase& c = GetParam();
    std::vector<std::pair<const char*, Maker>> drivers = {{"legacy", &MakeDriver}};
    if (c.commandSet == 4)
        drivers.insert(drivers.end(), {{"CMimakiMRLIIIDriver", &MakeMrl<CMimakiMRLIIIDriver>},
                                       {"CMimakiSWJ320Driver", &MakeMrl<CMimakiSWJ320Driver>},
                                       {"CMimakiTS3Driver", &MakeMrl<CMimakiTS3Driver>},
                                       {"CMimakiSWJ320EADriver", &MakeMrl<CMimakiSWJ320EADriver>}});
    for (const auto& [name, make] : drivers) {
        const std::string whole = ExpectOutputFailuresAndAbort([&](std::uint64_t failAfter, int) {
            CPrintEnv env;
            return RunJob(*make(env, c.commandSet), Context(c.bits, c.compress), kRows, failAfter);
        });
        EXPECT_EQ(ToHex(whole), ToHex(Hex(c.expected))) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(NoModelRow, RasterStream, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An aborted job ends with the abort command, once, even though ordinary
// output is refused from then on; without an abort, or without a command,
// nothing of it is sent.
TEST(RasterStreamAbort, AbortCommandEndsTheStreamOnlyAfterAnAbort)
{
    const std::string row0Set0 = "1B 72 00 1B 2E 00 05 0A 01 10 00 AA AA 0D 0A";
    const struct {
        int commandSet;
        const wchar_t* command;
        int abortAfterRows;
        std::string expected;  // hex; empty: the whole job, without the command
    } cases[] = {
        {0, L"\\033Z", 1, row0Set0 + "1B 5A"},
        {4, L"\\033Z", 1, "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07 00 00 01 02 00 01 00 AA AA 51 52 01 01 1B 5A"},
        {0, L"\\033Z", -1, ""},
        {0, nullptr, 1, row0Set0},
    };
    for (const auto& c : cases) {
        CPrintEnv env;
        auto driver = MakeDriver(env, c.commandSet);
        if (c.command)
            env.PutString(PrEnv_AbortCommand, c.command);
        LogCapture log(8);
        const JobResult r = RunJob(*driver, Context(1, 0), kRows, UINT64_MAX, c.abortAfterRows);
        EXPECT_EQ(r.ok, c.abortAfterRows < 0 ? 1 : 0);
        if (c.expected.empty()) {
            EXPECT_EQ(r.bytes.find("\x1BZ"), std::string::npos);
        } else {
            EXPECT_EQ(ToHex(r.bytes), ToHex(Hex(c.expected)));
        }
        EXPECT_EQ(log.Contains("CMimakiLegacyBasePrinterDriver::JobClose: sending abort command"),
                  c.command && c.abortAfterRows >= 0);
    }
}

} // namespace
