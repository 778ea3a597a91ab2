// streamdump's rebuilding of layer sections against the rows the driver was
// fed: delays undone, mirrored layers mirrored back.
#include <gtest/gtest.h>

#include <set>

#include "layers/MimakiTS300PDriver.h"
#include "LayerTestSupport.h"
#include "tools/common/RasterDigest.h"
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
        streamparse::LayerSectionOptions options;
        options.offset = offset;
        options.pixelWidth = job.width;
        ASSERT_TRUE(streamparse::MirroredLayersOfWhiteMode(mode, options.mirrored));
        const streamparse::ParseResult rebuilt =
            streamparse::RebuildLayerSections(streamparse::ParseStream(r.bytes), options);
        ASSERT_TRUE(rebuilt.ok());
        const std::vector<Step> steps = DocumentedModes("TS300P").at(mode);
        ASSERT_EQ(rebuilt.layers.size(), steps.size()) << mode;
        std::size_t planes = 0;
        for (const Step& step : steps)
            for (std::size_t ch = 0; ch < job.colours.size(); ++ch) {
                if (!DocumentedSelects("TS300P", step.selector, job.colours[ch]))
                    continue;
                ++planes;
                const streamparse::Plane* p =
                    rebuilt.FindPlane(streamparse::PlaneKey{step.layer, static_cast<int>(ch) + 1, -1, -1, 0});
                ASSERT_NE(p, nullptr) << mode << " layer " << step.layer << " channel " << ch;
                EXPECT_EQ(p->rows, static_cast<std::int64_t>(job.rows.size())) << mode;
                RasterDigest fed;
                for (std::size_t row = 0; row < job.rows.size(); ++row) {
                    EXPECT_EQ(*p->RowAt(static_cast<std::int64_t>(row)), job.rows[row][ch])
                        << "mode " << mode << " layer " << step.layer << " channel " << ch << " row " << row;
                    fed.AddRow(job.rows[row][ch].data(), job.rows[row][ch].size());
                }
                EXPECT_EQ(p->digest, fed.Hex()) << mode;
            }
        EXPECT_EQ(rebuilt.planes.size(), planes) << mode;
    }
}

} // namespace
