// The TxF150 (DTF) driver: headers per channel from the colour sequence,
// empty bands for blank rows, the decoder's view, failures and aborts.
#include <gtest/gtest.h>

#include "DriverTestUtil.h"
#include "driver/MimakiDTFDriver.h"
#include "host/UnivDevParmsBase.h"
#include "tools/streamdump/StreamParser.h"

namespace {

struct Fixture {
    CPrintEnv env;
    CMimakiDTFDriver driver{&env, new CUnivDevParmsBase(64, 261)}; // no start or end string
    explicit Fixture(const wchar_t* colours = L"4,2,1,0") { env.PutString(L"MimakiColorSequence", colours); }
};

const std::string kBand = Bytes({'Q', 'R', 1, 1});

std::string Header(int colour, int packed, int bits, int raw, int stored)
{
    return Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0, 'Q', 'D', 10, colour, packed, bits, raw & 0xFF, raw >> 8,
                  1, 0, stored & 0xFF, stored >> 8, 0});
}

// Channel 0 (colour 4) with a 300-byte row that PackBits codes in 120 bytes
// (a run of 185 bytes in two blocks, 115 different bytes in one), channel 2
// (colour 1) with one byte; three blank rows go out as three empty bands.
TEST(DTFStream, HeaderCountsAndEmptyBands)
{
    Fixture f;
    std::vector<BYTE> row(300, 0xAA);
    for (int i = 0; i < 115; ++i)
        row[185 + static_cast<std::size_t>(i)] = static_cast<BYTE>(i + 1);
    const std::vector<BYTE> zero(300, 0);
    std::vector<BYTE> one = zero;
    one[0] = 0x81;
    std::vector<Row> rows = {{row, zero, one, zero}, {zero, zero, zero, zero}, {zero, zero, zero, zero},
                             {zero, zero, zero, zero}, {zero, zero, one, zero}};
    const JobResult r = RunJob(f.driver, Context({0, 1, 2, 3}, 300, 1), rows);
    ASSERT_EQ(r.ok, 1);
    const std::string coded = Bytes({0x81, 0xAA, 0xC8, 0xAA, 114}) + std::string(row.begin() + 185, row.end());
    const std::string want = Header(4, 1, 2, 300, 120) + coded + Header(1, 1, 2, 1, 2) + Bytes({0, 0x81}) + kBand +
                             kBand + kBand + kBand + Header(1, 1, 2, 1, 2) + Bytes({0, 0x81}) + kBand;
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
    EXPECT_EQ(ToHex(std::string(f.driver.ChannelHeader(2).begin(), f.driver.ChannelHeader(2).end())),
              ToHex(Header(1, 1, 2, 1, 2)));
}

// Both compression settings: each channel back as fed under its colour.
TEST(DTFStream, RoundTripThroughTheDecoder)
{
    for (int compress : {0, 1}) {
        Fixture f(L" 7,0 ,255,12");
        std::vector<Row> rows;
        unsigned seed = 3;
        for (int r = 0; r < 9; ++r) {
            Row row(4, std::vector<BYTE>(12, 0));
            for (std::size_t ch = 0; r % 4 != 2 && ch < 4; ++ch)
                for (std::size_t i = 0; i < ch * 3 + 2; ++i)
                    row[ch][i] = static_cast<BYTE>((seed = seed * 1103515245u + 12345u) >> 20);
            rows.push_back(row);
        }
        const JobResult r = RunJob(f.driver, Context({0, 1, 2, 3}, 12, compress), rows);
        ASSERT_EQ(r.ok, 1);
        const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes);
        ASSERT_TRUE(parsed.ok()) << parsed.errors.front().message;
        const int colours[] = {7, 0, 255, 12};
        ASSERT_EQ(parsed.planes.size(), 4u);
        for (std::size_t ch = 0; ch < 4; ++ch) {
            const streamparse::Plane* p = parsed.FindPlane({0, colours[ch], -1, 0, 0});
            ASSERT_NE(p, nullptr) << ch;
            EXPECT_EQ(p->compressedRecords, compress ? p->records : 0u);
            for (std::size_t row = 0; row < rows.size(); ++row) {
                const auto* decoded = p->RowAt(static_cast<std::int64_t>(row));
                std::vector<BYTE> got = decoded ? *decoded : std::vector<BYTE>{};
                got.resize(12, 0);
                EXPECT_EQ(got, rows[row][ch]) << compress << " channel " << ch << " row " << row;
            }
        }
    }
}

// A sequence that does not give one colour number per channel fails the job
// before anything is sent, and says why.
TEST(DTFFailure, ColourSequenceNotOnePerChannel)
{
    LogCapture quiet;
    for (const wchar_t* colours : {L"", L"4,2,1", L"4,2,1,0,5", L"4,2,x,0", L"4,2,256,0", L"4,,1,0"}) {
        Fixture f(colours);
        const JobResult r = RunJob(f.driver, Context({0, 1, 2, 3}, 4), {{{1}, {1}, {1}, {1}}});
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.bytes, "");
        EXPECT_NE(f.driver.GetErrorString().find(L"MimakiColorSequence"), std::wstring::npos);
    }
}

// A failed output at every byte ends the job with nothing after it; an
// aborted job sends no abort command, even when the printer has one.
TEST(DTFFailure, EveryOutputPositionAndAbort)
{
    const std::vector<Row> rows = {{{0x10, 0x20}, {0, 0}, {1, 0}, {0, 9}}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
                                   {{0x33}, {0x44}, {0}, {0}}};
    ExpectOutputFailuresAndAbort(
        [&](std::uint64_t failAfter, int abortBefore) {
            Fixture f;
            f.env.PutString(PrEnv_AbortCommand, L"<abort>");
            return RunJob(f.driver, Context({0, 1, 2, 3}, 2, 1), rows, failAfter, abortBefore);
        },
        1, false);
}

} // namespace
