// The JV58C special configuration: streams worked out by hand, every row of
// the documented mask tables back through the decoder, row drops, failures
// and aborts.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <regex>
#include <sstream>

#include "DriverTestUtil.h"
#include "devparms/MimakiDevParmsEarly.h"
#include "driver/MimakiJV58CSpecial.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tools/streamdump/StreamParser.h"

namespace {

using Pair = std::array<int, 2>;

std::vector<int> Numbers(const std::string& text, const char* pattern)
{
    std::vector<int> out;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
        out.push_back(std::stoi(it->str(), nullptr, 0));
    return out;
}

// The masks data/jv58c_masks.md gives: one pair with the double-line setting
// off, the pairs of sub-rows A and B with it on.
std::vector<Pair> DocumentedMasks(bool doubleLine, int resolution, int mode, int dotType, int counter)
{
    std::ifstream in(std::string(MIMAKI_SOURCE_DIR) + "/tests/driver/data/jv58c_masks.md");
    std::vector<Pair> fallback(doubleLine ? 2 : 1, Pair{0, 0});
    bool inTable = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("| second resolution", 0) == 0)
            inTable = (line.find("sub-row") != std::string::npos) == doubleLine;
        if (!inTable || line.rfind("| ", 0) != 0 || line[2] < '0' || line[2] > '9')
            continue;
        const std::vector<std::string> c = spooltest::TableCells(line);
        const bool dot = c[2].rfind("3", 0) == 0 ? dotType == 3 : c[2].rfind("other", 0) == 0 ? dotType != 3 : true;
        if (std::stoi(c[0]) != resolution || std::stoi(c[1]) != mode || !dot)
            continue;
        if (doubleLine) {
            std::vector<Pair> out;
            for (int sub : {3, 4}) {
                const std::vector<int> m = Numbers(c[static_cast<std::size_t>(sub)], "0x[0-9A-F]+");
                const std::size_t at = m.size() == 4 && counter % 2 ? 2 : 0;
                out.push_back({m[at], m[at + 1]});
            }
            return out;
        }
        const std::vector<int> m1 = Numbers(c[4], "0x[0-9A-F]+"), m2 = Numbers(c[5], "0x[0-9A-F]+");
        if (m1.size() == 4)
            return {{m1[static_cast<std::size_t>(counter % 4)], m2[static_cast<std::size_t>(counter % 4)]}};
        const std::vector<int> rows = Numbers(c[3].substr(c[3].find_first_of("=") + 1), "\\b[0-3]\\b");
        const bool even = c[3].find("even") != std::string::npos, odd = c[3].find("odd") != std::string::npos;
        if ((even && counter % 2 == 0) || (odd && counter % 2 == 1) ||
            (!even && !odd && std::find(rows.begin(), rows.end(), counter % 4) != rows.end()))
            return {{m1[0], m2[0]}};
    }
    return fallback;
}

// Model 13's parameters without start or end string, with the settings the
// driver reads.
struct Parms13 : DEVPARM13_CLASS {
    int OutputStartString(CPrinterDriverBase*) override { return 1; }
    std::string GetEndString(CPrinterDriverBase*) override { return {}; }
};

// The command set ("nFunctModeId") is read when the driver is made.
struct Settings {
    CPrintEnv env;
    Settings(int commandSet, const wchar_t* slots)
    {
        env.PutInt(L"nFunctModeId", commandSet);
        env.PutString(L"SlotsSetting", slots);
    }
};

struct Fixture : Settings {
    Parms13* parms = new Parms13;
    CMimakiJV58CSpecial driver{&env, parms};
    Fixture(int commandSet, int mode, bool doubleLine, const wchar_t* slots = L"0`1`2`3`4`5`6`7")
        : Settings(commandSet, slots)
    {
        parms->nInterleaveMode = mode;
        parms->bDoubleLine = doubleLine;
    }
};

CPrintJobOpenContext Job(int bytesPerRow, double dpi, int dotType, bool interleave = false)
{
    CPrintJobOpenContext c = Context({0, 1, 2, 3, 4, 5, 6, 7}, bytesPerRow, 0, dpi);
    c.dotDataType = dotType;
    c.interleave = interleave;
    return c;
}

// 1080 dpi, mode 1, dot-data type 2, command set 2: row 0 takes slot k
// under 0xAA and slot k + 4 under 0x55, row 1 the other way round; the
// channels carry colour bytes 0, 2, 1, 4 and always the full row.
TEST(JV58CStream, TwoRowsAt1080)
{
    Fixture f(2, 1, false);
    const Row row = {{0x12, 0}, {0x34, 0}, {0x56, 0}, {0x78, 0}, {0xFF, 0}, {0x00, 0}, {0xF0, 0}, {0x0F, 0}};
    const JobResult r = RunJob(f.driver, Job(2, 1080, 2), {row, row});
    ASSERT_EQ(r.ok, 1);
    auto ch = [](int colour, int byte) { return Bytes({0x1B, 'i', colour, 0, 2, 2, 0, 1, 0, byte, 0, '\r'}); };
    const std::string want = ch(0, 0x57) + ch(2, 0x20) + ch(1, 0x52) + ch(4, 0x2D) + "\n" + ch(0, 0xBA) +
                             ch(2, 0x14) + ch(1, 0xF4) + ch(4, 0x5A) + "\n";
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
}

// Every row of the documented mask tables (and combinations outside them)
// in command set 4: each
// output channel k holds the rows of slots k and k + 4 under the documented
// masks (at 720, or 360 with double line, and mode 1 the first two colours
// of each half trade rasters); slot 6 holds an ink the job lacks and gives
// nothing; blank rows stay blank.
TEST(JV58CRoundTrip, EveryTableRow)
{
    struct Case {
        bool doubleLine;
        int resolution, mode, dot;
    };
    std::vector<Case> cases = {{false, 600, 1, 2}, {false, 1080, 2, 2}, {true, 720, 1, 3}};
    for (int mode : {0, 1})
        for (int dot : {2, 3}) {
            for (int res : {720, 1080})
                cases.push_back({false, res, mode, dot});
            for (int res : {360, 540})
                cases.push_back({true, res, mode, dot});
        }
    const int width = 5;
    std::vector<Row> rows(9, Row(8, std::vector<BYTE>(width, 0)));
    unsigned seed = 5;
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t s = 0; r % 4 != 3 && s < 8; ++s)
            for (BYTE& b : rows[r][s])
                b = static_cast<BYTE>((seed = seed * 1664525u + 1013904223u) >> 24);
    LogCapture quiet;
    for (const Case& c : cases) {
        Fixture f(4, c.mode, c.doubleLine, L"0`1`2`3`4`5`40`7");
        const JobResult r = RunJob(f.driver, Job(width, c.resolution, c.dot), rows);
        ASSERT_EQ(r.ok, 1);
        const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes);
        ASSERT_TRUE(parsed.ok());
        const bool swap = c.mode == 1 && c.resolution == (c.doubleLine ? 360 : 720);
        const int colours[] = {0, 2, 1, 4};
        for (std::size_t k = 0; k < 4; ++k) {
            const streamparse::Plane* p = parsed.FindPlane(0, colours[k]);
            ASSERT_NE(p, nullptr);
            const std::size_t a = swap && k < 2 ? k + 4 : k, b = swap && k < 2 ? k : k + 4;
            for (std::size_t row = 0; row < rows.size(); ++row) {
                const std::vector<Pair> masks =
                    DocumentedMasks(c.doubleLine, c.resolution, c.mode, c.dot, static_cast<int>(row));
                for (std::size_t sub = 0; sub < masks.size(); ++sub) {
                    std::vector<BYTE> want(width);
                    for (int i = 0; i < width; ++i)
                        want[i] = static_cast<BYTE>((rows[row][a][i] & masks[sub][0]) |
                                                    (b == 6 ? 0 : rows[row][b][i] & masks[sub][1]));
                    const auto* got = p->RowAt(static_cast<std::int64_t>(row * masks.size() + sub));
                    ASSERT_NE(got, nullptr);
                    EXPECT_EQ(*got, want) << c.resolution << " " << c.mode << " " << c.dot << " k " << k << " row "
                                          << row << " sub " << sub;
                }
            }
        }
    }
}

// With the interleave switch a page of 1001 rows at 1080 dpi (period 2)
// drops row 500 and none after; its other rows go out in order.
TEST(JV58CRowDrop, PageOf1001Rows)
{
    Fixture f(4, 1, false, L"0`1`2`3`0`1`2`3");
    CPrintJobOpenContext c = Context({0, 1, 2, 3}, 1, 0, 1080);
    c.interleave = true;
    c.rowCount = 1001;
    std::vector<Row> rows;
    for (int r = 0; r < 1001; ++r)
        rows.push_back(Row(4, std::vector<BYTE>{static_cast<BYTE>(r % 255 + 1)}));
    const JobResult r = RunJob(f.driver, c, rows);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(f.driver.NextRowToDrop(), 1001);
    EXPECT_EQ(f.driver.DropStep(), 501);
    const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes);
    const streamparse::Plane* p = parsed.FindPlane(0, 0);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->rows, 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(*p->RowAt(i), rows[static_cast<std::size_t>(i < 500 ? i : i + 1)][0]) << i;
}

// Output fails at every byte (the job ends with nothing after it); an
// aborted job sends the printer's abort command once.
TEST(JV58CFailure, EveryOutputPositionAndAbort)
{
    std::vector<Row> rows(4, Row(8, std::vector<BYTE>{0x3C, 0x5A}));
    rows[1] = Row(8, std::vector<BYTE>{0, 0});
    ExpectOutputFailuresAndAbort(
        [&](std::uint64_t failAfter, int abortBefore) {
            Fixture f(0, 1, true);
            f.env.PutString(PrEnv_AbortCommand, L"<abort>");
            return RunJob(f.driver, Job(2, 360, 2), rows, failAfter, abortBefore);
        },
        3);
}

} // namespace
