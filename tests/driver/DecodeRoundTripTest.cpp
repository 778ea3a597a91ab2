// The driver's stream, read back by the stream decoder, gives back every
// channel's rows in place: all command sets, PackBits on and off, 1 and 2
// bits, double line, feeds and blank rows, narrow rows and rows of thousands
// of dots (whose counts need both bytes).
#include <gtest/gtest.h>

#include <random>

#include "DriverTestUtil.h"
#include "devparms/MimakiDevParms.h"
#include "driver/MimakiBaseDriver.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tools/streamdump/StreamParser.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Rows with ink of varying length, runs for PackBits, and blank stretches
// (some longer than one feed can carry when scaled up by the caller).
std::vector<Row> MakeRows(int channels, int bytesPerRow, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<Row> rows;
    for (int r = 0; r < 40; ++r) {
        Row row(static_cast<std::size_t>(channels), std::vector<BYTE>(static_cast<std::size_t>(bytesPerRow), 0));
        const bool blank = (r >= 5 && r < 9) || r == 20 || r >= 37;
        for (int ch = 0; ch < channels && !blank; ++ch) {
            if ((r + ch) % 7 == 3)
                continue; // this channel blank in this row
            const int len = r == 0 ? bytesPerRow : 1 + static_cast<int>(rng() % static_cast<unsigned>(bytesPerRow));
            for (int i = 0; i < len; ++i)
                row[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)] =
                    (i / 5) % 2 ? static_cast<BYTE>(0x55 + ch) : static_cast<BYTE>(rng());
        }
        rows.push_back(row);
    }
    return rows;
}

struct Case {
    int set, bits, compress, doubleLine, highSpeed, bytesPerRow;
};

std::string Name(const Case& c)
{
    std::string name = "set";
    name += std::to_string(c.set) + "_" + std::to_string(c.bits) + "bit";
    name += c.compress ? "_packbits" : "";
    name += c.doubleLine ? "_double" : "";
    name += c.highSpeed ? "_highspeed" : "";
    if (c.bytesPerRow > 255) {
        name += '_';
        name += std::to_string(c.bytesPerRow);
        name += "bytes";
    }
    return name;
}

std::vector<Case> AllCases()
{
    std::vector<Case> cases;
    for (int set = 0; set <= 4; ++set)
        for (int bits : {1, 2})
            for (int compress : {0, 1})
                for (int doubleLine : {0, 1})
                    for (int highSpeed : {0, 1})
                        cases.push_back({set, bits, compress, doubleLine, highSpeed, 12});
    // 3000 bytes: 24000 dots in the sets that count dots.
    for (int set = 0; set <= 4; ++set)
        for (int bits : {1, 2})
            for (int compress : {0, 1})
                cases.push_back({set, bits, compress, 0, 0, 3000});
    return cases;
}

class DecodeRoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(DecodeRoundTrip, EveryChannelComesBackInPlace)
{
    const Case c = GetParam();
    CPrintEnv env;
    env.PutInt(L"nFunctModeId", c.set);
    auto* parms = new CMimakiDevParmsBase();
    parms->bDoubleLine = c.doubleLine;
    parms->bHighSpeed = c.highSpeed;
    CMimakiLegacyBasePrinterDriver driver(&env, parms);
    CPrintJobOpenContext ctx;
    ctx.bitsPerPixel = c.bits;
    ctx.pixelWidth = c.bytesPerRow * 8 / c.bits;
    ctx.colourCodes = {0, 1, 2, 3};
    ctx.compressMode = c.compress;
    const std::vector<Row> rows = MakeRows(4, c.bytesPerRow, 7u + static_cast<unsigned>(c.set));
    const JobResult job = RunJob(driver, ctx, rows);
    ASSERT_EQ(job.ok, 1);

    const streamparse::ParseResult parsed = streamparse::ParseStream(job.bytes);
    ASSERT_TRUE(parsed.ok()) << parsed.errors[0].message << " at " << parsed.errors[0].offset;

    const int repeat = c.doubleLine ? 2 : 1;
    std::vector<bool> used(parsed.planes.size(), false);
    for (int ch = 0; ch < 4; ++ch) {
        std::vector<Bytes> expected;
        for (const Row& row : rows)
            for (int k = 0; k < repeat; ++k)
                expected.push_back(spooltest::Trim(row[static_cast<std::size_t>(ch)]));
        while (!expected.empty() && expected.back().empty())
            expected.pop_back();
        bool found = false;
        for (std::size_t p = 0; p < parsed.planes.size() && !found; ++p) {
            if (used[p] || parsed.planes[p].key.layer != 0)
                continue;
            std::vector<Bytes> got;
            for (const auto& r : parsed.planes[p].DenseRows())
                got.push_back(spooltest::Trim(r));
            while (!got.empty() && got.back().empty())
                got.pop_back();
            if (got == expected)
                found = used[p] = true;
        }
        EXPECT_TRUE(found) << "channel " << ch << " not found among " << parsed.planes.size() << " planes";
    }
    // The three blank stretches are fed past unless blank rows must be sent;
    // the job end feeds in every ESC/P set.
    const std::size_t feeds = c.set == 4 ? 0 : c.highSpeed ? 1 : 4;
    EXPECT_EQ(parsed.Count("ESC (v") + parsed.Count("QX"), feeds);
}

INSTANTIATE_TEST_SUITE_P(AllSets, DecodeRoundTrip, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return Name(info.param); });

} // namespace
