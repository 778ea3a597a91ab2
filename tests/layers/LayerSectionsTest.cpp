// streamdump's rebuilding of layer sections against the rows the driver was
// fed: delays undone, mirrored layers mirrored back.
#include <gtest/gtest.h>

#include <set>

#include "layers/MimakiTS300PDriver.h"
#include "LayerTestSupport.h"
#include "tools/streamdump/LayerSections.h"

using namespace layertest;

namespace {

TEST(LayerSections, MirroredLayersFollowTheDocumentedModes)
{
    for (const auto& [mode, steps] : DocumentedModes("TS300P")) {
        std::set<int> want, got;
        for (const Step& s : steps)
            if (s.mirror)
                want.insert(s.layer);
        ASSERT_TRUE(streamparse::MirroredLayersOfWhiteMode(mode, got));
        EXPECT_EQ(got, want) << mode;
    }
    std::set<int> none;
    EXPECT_FALSE(streamparse::MirroredLayersOfWhiteMode(13, none));
    EXPECT_FALSE(streamparse::MirroredLayersOfWhiteMode(-1, none));
}

TEST(LayerSections, EveryLayerRebuiltAsFed)
{
    Job job;
    job.colours = {0, 1, 34, 24};
    job.width = 37;
    job.bits = 2;
    job.compress = 1;
    job.rows = RandomRows(4, 15, job.width, job.bits, 77);
    const int offset = 3;
    for (int mode : {1, 4, 8, 12}) {
        auto* parms = new Parms;
        parms->mode = mode;
        parms->offset = offset;
        parms->codes = {{0, 1}, {1, 2}, {34, 3}, {24, 4}};
        CPrinterDriverBase* driver = new CMimakiWhitePrinterDriverTS300P(nullptr, parms);
        const Result r = RunJob(*driver, job);
        delete driver;
        ASSERT_EQ(r.ok, 1);
        CheckRebuiltLayers(r.bytes, job, "TS300P", "white_modes.md", mode, offset, {1, 2, 3, 4});
    }
}

} // namespace
