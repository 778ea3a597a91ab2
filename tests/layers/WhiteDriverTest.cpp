// The white drivers of the roll printers: a whole layered job by hand,
// round trips of each driver, order, repeats and failures.
#include <gtest/gtest.h>

#include <random>

#include "devparms/MimakiDevParms.h"
#include "host/SpoolBuffer.h"
#include "layers/MimakiWhiteDriver.h"
#include "tests/driver/DriverTestUtil.h"
#include "tools/streamdump/StreamParser.h"

namespace {


// Model 14 in command set 2 with white and clear coat: order, white twice,
// clear coat with a second pass; white under host codes 34 and 33, clear
// coat under 30.
CPrintEnv Model14(int order)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, 14);
    env.PutInt(L"nFunctModeId", 2);
    env.PutInt(L"DP14_bWhite", 1);
    env.PutInt(L"DP14_nWhiteOrder", order);
    env.PutInt(L"DP14_bClearCoat", 1);
    env.PutInt(L"DP14_nPrintCountWhite", 2);
    env.PutInt(L"DP14_nClearCoatIrradiation", 3);
    env.PutInt(L"DPC_White1", 34);
    env.PutInt(L"DPC_White2", 33);
    env.PutInt(L"DPC_ClearCoat1", 30);
    return env;
}

CMimakiDevParmsBase& Parms(CPrinterDriverBase& d)
{
    return *static_cast<CMimakiDevParmsBase*>(d.GetDevParms());
}

// Set 2 header: ESC i, colour byte, compression, bits, count (LE16), 1 0.
std::string H(const char* colour, const char* count)
{
    return std::string("1B 69 ") + colour + " 00 02 " + count + " 00 01 00 ";
}

} // namespace

TEST(WhiteDriver, WholeLayeredJobByHand)
{
    CPrintEnv env = Model14(1);
    auto d = CreateDriver(env);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(ClassName(typeid(*d)), "CMimakiWhitePrinterDriver");
    // Black, white, clear coat; the second row is blank in every channel
    // (a blank row goes through every layer at the full width).
    const std::vector<Row> rows = {
        {{0x01, 0x02}, {0x03, 0x00}, {0x04, 0x05}},
        {{0x00, 0x00}, {0x00, 0x00}, {0x00, 0x00}},
        {{0x00, 0x06}, {0x00, 0x00}, {0x00, 0x00}},
    };
    const JobResult r = RunJob(*d, Context({0, 34, 30}, 2), rows);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.callsAfterFailure, 0u);
    CMimakiDevParmsBase& p = Parms(*d);
    const std::string end = p.GetEndString(d.get());
    const std::string colour = p.GetColorLayerStartString(d.get()) +
                               Hex(H("00", "02") + "01 02 0D 0A" + H("00", "02") + "00 00 0D 0A" + H("00", "02") +
                                   "00 06 0D 0A") +
                               end;
    // White 34 -> 254, 33 -> 255 in set 2.
    const std::string white = p.GetWhiteLayerStartString(d.get()) +
                              Hex(H("FE", "01") + "03 0D" + H("FF", "01") + "03 0D 0A" + H("FE", "02") + "00 00 0D" +
                                  H("FF", "02") + "00 00 0D 0A  0A") +
                              end;
    const std::string clear = p.GetClearCoatLayerStartString(d.get()) +
                              Hex(H("FF", "02") + "04 05 0D 0A" + H("FF", "02") + "00 00 0D 0A  0A") + end;
    const std::string expected = colour + white + white + p.GetClearCoatLayerCommands(0) + clear +
                                 p.GetClearCoatLayerCommands(1) + clear;
    EXPECT_EQ(ToHex(r.bytes), ToHex(expected));
}

namespace {

struct Fed {
    std::vector<int> colours;
    std::vector<std::vector<std::vector<BYTE>>> planes; // per channel, per row
    std::vector<Row> rows;
};

Fed RandomJob(std::vector<int> colours, std::size_t width, std::size_t nRows, unsigned seed)
{
    std::mt19937 gen(seed);
    Fed f;
    f.colours = std::move(colours);
    f.planes.assign(f.colours.size(), std::vector<std::vector<BYTE>>(nRows, std::vector<BYTE>(width)));
    for (auto& plane : f.planes)
        for (auto& row : plane) {
            for (auto& b : row)
                b = static_cast<BYTE>(gen());
            row[width - 1] |= 1; // full rows
        }
    f.rows.resize(nRows);
    for (std::size_t r = 0; r < nRows; ++r)
        for (const auto& plane : f.planes)
            f.rows[r].push_back(plane[r]);
    return f;
}

// The layer's plane of the printer colour byte holds the fed rows.
void ExpectPlane(const streamparse::ParseResult& parsed, int layer, int colour, int occurrence,
                 const std::vector<std::vector<BYTE>>& want, const std::string& what)
{
    const streamparse::Plane* p = parsed.FindPlane(streamparse::PlaneKey{layer, colour, -1, -1, occurrence});
    ASSERT_NE(p, nullptr) << what << ": layer " << layer << " colour " << colour;
    EXPECT_EQ(p->DenseRows(), want) << what << ": layer " << layer << " colour " << colour;
}

} // namespace

TEST(WhiteDriver, RoundTripInLayerOrderWithRepeats)
{
    for (int order : {1, 2}) {
        for (int compress : {0, 1}) {
            CPrintEnv env = Model14(order);
            auto d = CreateDriver(env);
            const Fed f = RandomJob({0, 1, 34, 30}, 7, 5, static_cast<unsigned>(order * 2 + compress));
            const JobResult r = RunJob(*d, Context(f.colours, 7, compress), f.rows);
            ASSERT_EQ(r.ok, 1);
            const auto parsed =
                streamparse::ParseStream(reinterpret_cast<const std::uint8_t*>(r.bytes.data()), r.bytes.size());
            const std::string what = "order " + std::to_string(order) + (compress ? " packed" : "");
            EXPECT_TRUE(parsed.ok()) << what << ": " << (parsed.errors.empty() ? "" : parsed.errors[0].message);
            // Colour once, white twice (order 1: colour first), clear coat twice.
            const std::vector<int> colourLayers = order == 1 ? std::vector<int>{0} : std::vector<int>{2};
            const std::vector<int> whiteLayers = order == 1 ? std::vector<int>{1, 2} : std::vector<int>{0, 1};
            for (int l : colourLayers) {
                ExpectPlane(parsed, l, 0, 0, f.planes[0], what);
                ExpectPlane(parsed, l, 2, 0, f.planes[1], what);
            }
            for (int l : whiteLayers) {
                ExpectPlane(parsed, l, 254, 0, f.planes[2], what);
                ExpectPlane(parsed, l, 255, 0, f.planes[2], what);
            }
            for (int l : {3, 4})
                ExpectPlane(parsed, l, 255, 0, f.planes[3], what);
            EXPECT_EQ(parsed.layers.size(), 5u) << what;
        }
    }
}

TEST(WhiteDriver, LayerOrderZeroPrintsOnlyTheClearCoat)
{
    // Model 7: the colour layer is separate by default, order 0 prints
    // neither colour nor white; the log says so.
    CPrintEnv env;
    env.PutInt(PrEnv_UID, 7);
    auto d = CreateDriver(env);
    ASSERT_EQ(ClassName(typeid(*d)), "CMimakiWhitePrinterDriver");
    LogCapture log(4);
    const JobResult r = RunJob(*d, Context({0, 1}, 2), {{{1, 2}, {3, 4}}});
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.bytes, "");
    EXPECT_TRUE(log.Contains("layer order 0 is neither 1 (colour first) nor 2 (white first)"));
}

// Nothing reaches the printer before the job's start: model 7 with white
// off keeps its colour layer and drops the white rows (no layer takes
// them); a white code left at 99 in set 2 sends no ink under black's byte.
TEST(WhiteDriver, NoRowsBeforeTheStartAndNoInkUnderCode99)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, 7);
    env.PutInt(L"nFunctModeId", 2);
    env.PutInt(L"DP7_nWhiteOrder", 1);
    env.PutInt(L"DPC_White1", 34);
    auto d = CreateDriver(env);
    ASSERT_EQ(ClassName(typeid(*d)), "CMimakiWhitePrinterDriver");
    LogCapture log(4);
    const JobResult r = RunJob(*d, Context({0, 34}, 2, 0), {{{0x01, 0x02}, {0x03, 0x00}}});
    ASSERT_EQ(r.ok, 1);
    CMimakiDevParmsBase& p = Parms(*d);
    EXPECT_EQ(ToHex(r.bytes),
              ToHex(p.GetColorLayerStartString(d.get()) + Hex(H("00", "02") + "01 02 0D 0A") + p.GetEndString(d.get())));
    EXPECT_TRUE(log.Contains("white rows are not printed: the job has no white layer"));

    // Model 14 with white on and no white codes: the white layer holds only
    // its band trailers.
    CPrintEnv noCodes = Model14(1);
    noCodes.PutInt(L"DPC_White1", 99);
    noCodes.PutInt(L"DPC_White2", 99);
    noCodes.PutInt(L"DP14_bClearCoat", 0);
    noCodes.PutInt(L"DP14_nPrintCountWhite", 1);
    auto w = CreateDriver(noCodes);
    const JobResult rw = RunJob(*w, Context({0, 34}, 2, 0), {{{0x01, 0x02}, {0x03, 0x00}}});
    ASSERT_EQ(rw.ok, 1);
    CMimakiDevParmsBase& pw = Parms(*w);
    const std::string end = pw.GetEndString(w.get());
    EXPECT_EQ(ToHex(rw.bytes), ToHex(pw.GetColorLayerStartString(w.get()) + Hex(H("00", "02") + "01 02 0D 0A") + end +
                                     pw.GetWhiteLayerStartString(w.get()) + Hex("0A") + end));
    EXPECT_TRUE(log.Contains("white code 99"));

    // The JV3 white driver in set 2: the white channel sends nothing.
    CPrintEnv jv3;
    jv3.PutInt(PrEnv_UID, 5);
    jv3.PutInt(L"DP5_bWhite", 1);
    jv3.PutInt(L"nFunctModeId", 2);
    auto j = CreateDriver(jv3);
    const JobResult rj = RunJob(*j, Context({0, 34}, 2, 0), {{{0x01, 0x02}, {0x03, 0x00}}});
    ASSERT_EQ(rj.ok, 1);
    const std::string row = Hex(H("00", "02") + "01 02 0D 0A");
    const std::string endJ = Parms(*j).GetEndString(j.get());
    ASSERT_GE(rj.bytes.size(), row.size() + endJ.size());
    EXPECT_EQ(ToHex(rj.bytes.substr(rj.bytes.size() - row.size() - endJ.size())), ToHex(row + endJ));
}

TEST(WhiteDriver, JV3WhiteSendsWhiteInLineUnderBothCodes)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, 5);
    env.PutInt(L"DP5_bWhite", 1);
    env.PutInt(L"nFunctModeId", 2);
    env.PutInt(L"DPC_White1", 34);
    env.PutInt(L"DPC_White2", 33);
    auto d = CreateDriver(env);
    ASSERT_EQ(ClassName(typeid(*d)), "CMimakiJV3WhiteDriver");
    const Fed f = RandomJob({0, 34, 3}, 6, 4, 11);
    const JobResult r = RunJob(*d, Context(f.colours, 6, 1), f.rows);
    ASSERT_EQ(r.ok, 1);
    const auto parsed = streamparse::ParseStream(reinterpret_cast<const std::uint8_t*>(r.bytes.data()), r.bytes.size());
    EXPECT_TRUE(parsed.ok());
    ExpectPlane(parsed, 0, 0, 0, f.planes[0], "JV3");
    ExpectPlane(parsed, 0, 254, 0, f.planes[1], "JV3");
    ExpectPlane(parsed, 0, 255, 0, f.planes[1], "JV3");
    ExpectPlane(parsed, 0, 4, 0, f.planes[2], "JV3");
    // One row by hand: black, then white under 254 and 255, then LF.
    auto d2 = CreateDriver(env);
    const JobResult one = RunJob(*d2, Context({0, 34}, 2, 0), {{{0x01, 0x02}, {0x03, 0x00}}});
    const std::string end = Parms(*d2).GetEndString(d2.get());
    const std::string row =
        Hex(H("00", "02") + "01 02 0D" + H("FE", "01") + "03 0D" + H("FF", "01") + "03 0D 0A");
    ASSERT_GE(one.bytes.size(), end.size() + row.size());
    EXPECT_EQ(ToHex(one.bytes.substr(one.bytes.size() - end.size() - row.size())), ToHex(row + end));
}

TEST(WhiteDriver, Special604SendsItsSpecialChannelsUnderTheirCodes)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, 17);
    env.PutInt(L"nFunctModeId", 2);
    auto d = CreateDriver(env);
    ASSERT_EQ(ClassName(typeid(*d)), "CMimaki604SpecialDriver");
    // Without layers the special channels follow the colour records in the
    // same band; 34 -> printer code 22, 31 -> 8 (then set 2's table: 255, 18).
    const JobResult r = RunJob(*d, Context({34, 0, 31}, 2, 0), {{{0x03, 0x00}, {0x01, 0x02}, {0x05, 0x06}}});
    ASSERT_EQ(r.ok, 1);
    const std::string start = Parms(*d).GetStartString(d.get());
    const std::string rows =
        Hex(H("00", "02") + "01 02 0D" + H("FF", "01") + "03 0D" + H("12", "02") + "05 06 0D 0A");
    ASSERT_GE(r.bytes.size(), start.size() + rows.size());
    EXPECT_EQ(ToHex(r.bytes.substr(start.size(), rows.size())), ToHex(rows));

    // Round trip: 34, 33, 32, 31 under 22, 21, 9, 8, which set 2 prints as
    // colour bytes 255, 253, 17, 18; the colours under their own.
    const Fed f = RandomJob({0, 34, 33, 32, 31, 1}, 6, 5, 17);
    const JobResult many = RunJob(*d, Context(f.colours, 6, 1), f.rows);
    ASSERT_EQ(many.ok, 1);
    const auto parsed =
        streamparse::ParseStream(reinterpret_cast<const std::uint8_t*>(many.bytes.data()), many.bytes.size());
    EXPECT_TRUE(parsed.ok());
    const int colourBytes[6] = {0, 255, 253, 17, 18, 2};
    for (std::size_t c = 0; c < 6; ++c)
        ExpectPlane(parsed, 0, colourBytes[c], 0, f.planes[c], "604 channel " + std::to_string(c));
}

// Spilled pages: a failing output at every byte and an abort leave no file
// and no memory behind.
TEST(WhiteDriver, FailuresAtEveryPositionAndAbortLeaveNothingBehind)
{
    const Fed f = RandomJob({0, 34, 30}, 5, 4, 3);
    GlobalTempFileMgr().SetMemoryLimit(0);
    ExpectOutputFailuresAndAbort(
        [&](std::uint64_t failAfter, int abortBefore) {
            CPrintEnv env = Model14(2);
            env.PutString(PrEnv_AbortCommand, L"<abort>");
            auto d = CreateDriver(env);
            const JobResult r = RunJob(*d, Context(f.colours, 5, 1), f.rows, failAfter, abortBefore);
            EXPECT_EQ(GlobalTempFileMgr().OpenFiles(), 0) << failAfter;
            EXPECT_EQ(GlobalTempFileMgr().MemoryInUse(), 0u) << failAfter;
            return r;
        },
        2);
    GlobalTempFileMgr().SetMemoryLimit(CTempFileMgr::kDefaultLimit);
}
