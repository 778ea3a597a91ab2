#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "host/PrintEnv.h"
#include "layers/LayerBasis.h"
#include "layers/MimakiJVWhiteDriver.h"
#include "LayerTestSupport.h"

using namespace layertest;
using mimaki::layers::Family;

namespace {

// The white (layer) modes and selectors of every family against the
// documented tables; modes a family lacks have no sequence.
TEST(WhiteModeTables, EveryFamilyMatchesTheDocumentedTables)
{
    const struct {
        Family family;
        const char* modeColumn;
        const char* selectorColumn;
        const char* file;
    } families[] = {{Family::JV300, "JV300 / JV400", "JV300", "white_modes.md"},
                    {Family::JV400, "JV300 / JV400", "JV400", "white_modes.md"},
                    {Family::TS300P, "TS300P", "TS300P", "white_modes.md"},
                    {Family::UJV100, "`CMimakiPrinterDriverUJV100`", "`CMimakiPrinterDriverUJV100`",
                     "layer_section_modes.md"},
                    {Family::UCJV300, "`CMimakiDriverUCJV300`", "`CMimakiDriverUCJV300`", "layer_section_modes.md"}};
    for (const auto& f : families) {
        const auto documented = DocumentedModes(f.modeColumn, f.file);
        EXPECT_EQ(mimaki::layers::LastWhiteMode(f.family), documented.rbegin()->first) << f.selectorColumn;
        for (int mode = -1; mode <= 40; ++mode) {
            const mimaki::layers::WhiteMode* m = mimaki::layers::FindWhiteMode(f.family, mode);
            const auto it = documented.find(mode);
            ASSERT_EQ(m != nullptr, it != documented.end()) << f.selectorColumn << " " << mode;
            if (!m)
                continue;
            const std::vector<Step>& steps = it->second;
            ASSERT_EQ(m->count, static_cast<int>(steps.size())) << f.selectorColumn << " " << mode;
            for (std::size_t i = 0; i < steps.size(); ++i) {
                EXPECT_EQ(m->steps[i].selector, steps[i].selector) << f.selectorColumn << " " << mode;
                EXPECT_EQ(m->steps[i].layer, steps[i].layer) << f.selectorColumn << " " << mode;
                EXPECT_EQ(m->steps[i].mirror, steps[i].mirror) << f.selectorColumn << " " << mode;
            }
        }
        for (int selector : {-1, 0, 1, 2, 3, 4, 5})
            for (int colour : {0, 1, 3, 8, 9, 23, 24, 25, 29, 30, 31, 33, 34, 35})
                EXPECT_EQ(mimaki::layers::Selects(f.family, selector, colour),
                          DocumentedSelects(f.selectorColumn, selector, colour, f.file))
                    << f.selectorColumn << " " << selector << " " << colour;
    }
}

TEST(JVWhiteTable, JV400Colours)
{
    const std::pair<int, int> listed[] = {{0, 0}, {1, 2}, {2, 1}, {3, 4}, {4, 5}, {5, 6}, {33, 255}, {34, 254}};
    for (const auto& [host, printer] : listed)
        EXPECT_EQ(CMimakiWhitePrinterDriverJV400::JV400Colour(host), printer) << host;
    for (int host : {-1, 6, 7, 8, 9, 24, 32, 35, 36, 255})
        EXPECT_EQ(CMimakiWhitePrinterDriverJV400::JV400Colour(host), 99) << host;
}

// JV400 mode 1: colour on layer 0, white on layer 1; channels go with their
// own byte count and are left out at count 0; a blank row sends zero rows of
// the full width on both layers.
TEST(JVWhiteStream, JV400ModeOne)
{
    CPrintEnv env;
    env.PutString(L"DP22_m_nWhiteMode", L"1");
    CMimakiWhitePrinterDriverJV400 driver(&env, new Parms);
    Job job;
    job.colours = {0, 34};
    job.width = 16;
    job.rows = {{{0xC0, 0x00}, {0x00, 0x00}}, {{0, 0}, {0, 0}}, {{0x00, 0x00}, {0x3C, 0x01}}};
    const Result r = RunJob(driver, job);
    ASSERT_EQ(r.ok, 1);
    const std::string qy = Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0});
    const std::string want =
        qy + Bytes({'Q', 'D', 0x0A, 0x00, 0, 1, 1, 0, 1, 0, 1, 0, 0, 0xC0}) + Bytes({'Q', 'R', 1, 1}) +
        qy + Bytes({'Q', 'D', 0x0A, 0x00, 0, 1, 2, 0, 1, 0, 2, 0, 0, 0x00, 0x00}) +
        qy + Bytes({'Q', 'D', 0x0A, 0xFE, 0, 1, 2, 0, 1, 0, 2, 0, 1, 0x00, 0x00}) + Bytes({'Q', 'R', 1, 1}) +
        qy + Bytes({'Q', 'D', 0x0A, 0xFE, 0, 1, 2, 0, 1, 0, 2, 0, 1, 0x3C, 0x01}) + Bytes({'Q', 'R', 1, 1}) +
        Bytes({'Q', 'E', 0});
    EXPECT_EQ(ToHex(r.bytes), ToHex(want));
    EXPECT_EQ(driver.GetOutputFlag(), 0);
}

TEST(JVWhiteStream, JV400StoredDefaultModeSendsOnlyBandTrailers)
{
    CPrintEnv env; // "DP22_m_nWhiteMode" missing: -1
    CMimakiWhitePrinterDriverJV400 driver(&env, new Parms);
    Job job;
    job.colours = {0, 34};
    job.rows = {{{0xFF}, {0x01}}};
    const Result r = RunJob(driver, job);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(driver.WhiteMode(), -1);
    EXPECT_EQ(ToHex(r.bytes), ToHex(Bytes({'Q', 'R', 1, 1, 'Q', 'E', 0})));
}

// Every mode of both drivers, with the rows the host gave (as long as their
// counts).
TEST(JVWhiteRoundTrip, EveryModeOfBothDrivers)
{
    Job job;
    job.colours = {0, 1, 2, 34, 33, 24};
    job.width = 21;
    job.bits = 2;
    job.compress = 1;
    job.rows = RandomRows(job.colours.size(), 11, job.width, job.bits, 21);
    job.rows[4][1].assign(job.rows[4][1].size(), 0); // one channel without ink in an inked row
    for (int mode = 0; mode <= 3; ++mode) {
        CPrintEnv env;
        env.PutString(L"DP22_m_nWhiteMode", std::to_wstring(mode));
        CMimakiWhitePrinterDriverJV400 jv400(&env, new Parms);
        CheckModeRoundTrip(jv400, job, "JV300 / JV400", "JV400", mode, 0, {0, 2, 1, 254, 255, 99}, true);

        auto* parms = new Parms;
        parms->mode = mode;
        parms->codes = {{0, 0x10}, {1, 0x11}, {2, 0x12}, {34, 0x34}, {33, 0x33}, {24, 0x24}};
        CMimakiWhitePrinterDriverJV300 jv300(&env, parms);
        CheckModeRoundTrip(jv300, job, "JV300 / JV400", "JV300", mode, 0, {0x10, 0x11, 0x12, 0x34, 0x33, 0x24}, true);
    }
}

TEST(JVWhiteRoundTrip, JV300JudgesByUserColourJV400ByColourCode)
{
    Job job;
    job.colours = {0, 40};
    job.userColours = {0, 34};
    job.width = 8;
    job.rows = {{{0x81}, {0x18}}};
    CPrintEnv env;
    env.PutString(L"DP22_m_nWhiteMode", L"1");
    auto* parms = new Parms;
    parms->mode = 1;
    parms->codes = {{0, 0x10}, {40, 0x40}};
    CMimakiWhitePrinterDriverJV300 jv300(&env, parms);
    CheckModeRoundTrip(jv300, job, "JV300 / JV400", "JV300", 1, 0, {0x10, 0x40}, true);
    CMimakiWhitePrinterDriverJV400 jv400(&env, new Parms);
    const Result r = RunJob(jv400, job);
    const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes);
    // colour 40 is no white for the JV400: it goes with the colour layer
    ASSERT_NE(parsed.FindPlane(streamparse::PlaneKey{0, 99, -1, 0, 0}), nullptr);
    EXPECT_EQ(parsed.FindPlane(streamparse::PlaneKey{0, 99, -1, 1, 0}), nullptr);
}

TEST(JVWhiteFailure, EveryOutputPositionAndAbort)
{
    Job job;
    job.colours = {0, 34};
    job.width = 16;
    job.compress = 1;
    job.rows = RandomRows(2, 7, job.width, job.bits, 8);
    ExpectOutputFailuresAndAbort(
        [&](std::uint64_t failAfter, int abortBefore) {
            CPrintEnv env;
            env.PutString(L"DP22_m_nWhiteMode", L"3");
            env.PutString(PrEnv_AbortCommand, L"<abort>");
            CMimakiWhitePrinterDriverJV400 driver(&env, new Parms);
            return RunJob(driver, job, failAfter, abortBefore);
        },
        3);
}

} // namespace
