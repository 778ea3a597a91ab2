// The per-row path allocates nothing: operator new is counted while the
// rows of a job go through (after a few rows of warm-up, up to the last row).
#include <gtest/gtest.h>

#include <atomic>

#include "Harness.h"
#include "tests/support/AllocCounter.h"
#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "tools/rasterjob/ImageIO.h"
#include "tools/rasterjob/ImageSource.h"
#include "tools/rasterjob/JobRunner.h"
#include "tools/rasterjob/Patterns.h"
#include "tools/rasterjob/Plugin.h"
#include "tools/rasterjob/Screen.h"

using namespace rasterjob;

namespace {

class NullSink : public IOutputSink {
protected:
    bool DoWrite(const BYTE*, std::size_t) override { return true; }
};

// Counts from row 'from' until the last row is asked for.
class Window : public IRowSource {
public:
    Window(std::unique_ptr<IRowSource> inner, int from, int last) : m_inner(std::move(inner)), m_from(from), m_last(last) {}
    const BYTE* Row(int y, BYTE* scratch) override
    {
        if (y == m_from)
            g_counting = true;
        if (y == m_last)
            g_counting = false;
        return m_inner->Row(y, scratch);
    }

private:
    std::unique_ptr<IRowSource> m_inner;
    int m_from, m_last;
};

long AllocationsPerJob(const std::string& pluginPath, std::vector<std::unique_ptr<IRowSource>> sources, int width,
                       int height, int bits, const std::map<std::wstring, std::wstring>& settings,
                       const std::string& saveDir)
{
    std::string error;
    auto plugin = Plugin::Load(pluginPath, error);
    EXPECT_TRUE(plugin) << error;
    if (!plugin)
        return -1;
    CPrintEnv env;
    for (const auto& [k, v] : settings)
        env.PutString(k.c_str(), v);
    std::unique_ptr<IPrinterDriver> object(plugin->Create(&env));
    auto* driver = dynamic_cast<CPrinterDriverBase*>(object.get());
    EXPECT_TRUE(driver);
    if (!driver)
        return -1;
    NullSink sink;
    driver->SetOutputSink(&sink);
    CPrintJobOpenContext context;
    context.bitsPerPixel = bits;
    context.pixelWidth = width;
    context.rowCount = height;
    context.colourCodes = {0, 1, 2, 3};
    context.compressMode = 1;
    context.colourCodes.resize(sources.size());
    // Channel 0 opens and closes the counting window: its Row is the first
    // call of a row.
    sources[0] = std::make_unique<Window>(std::move(sources[0]), 3, height - 1);
    std::vector<RasterDigest> digests(sources.size());
    std::vector<std::unique_ptr<RasterWriter>> writers;
    for (std::size_t c = 0; c < sources.size(); ++c)
        writers.push_back(RasterWriter::Create(saveDir + "/c" + std::to_string(c), width, height, bits, error));
    FeedOptions feed;
    feed.digests = &digests;
    feed.writers = &writers;
    g_allocations = 0;
    const JobResult result = RunDriverJob(*driver, context, sources, feed);
    g_counting = false;
    EXPECT_EQ(result.outcome, JobOutcome::Done) << result.error;
    return g_allocations;
}

std::vector<std::unique_ptr<IRowSource>> Pattern(const std::string& name, int w, int h, int bits)
{
    return MakePattern(name, w, h, bits, 4, 3);
}

} // namespace

TEST(RasterJobAllocations, NoneWhileRowsGoThrough)
{
    rjtest::TempDir dir;
    const std::map<std::wstring, std::wstring> test = {{L"PrEnv_UID", L"0"}};
    // The count sees allocations inside a plug-in: one that copies rows.
    EXPECT_GT(AllocationsPerJob(TEST_PLUGIN, Pattern("tile", 700, 120, 2), 700, 120, 2,
                                {{L"PrEnv_UID", L"0"}, {L"Test_CopyRows", L"1"}}, dir.Path()),
              100);
    for (const std::string pattern : {"bars", "gradient", "random", "tile", "blank"})
        for (int bits : {1, 2})
            EXPECT_EQ(AllocationsPerJob(TEST_PLUGIN, Pattern(pattern, 700, 120, bits), 700, 120, bits, test,
                                        dir.Path()),
                      0)
                << pattern << ", " << bits << " bits, test plug-in";

    // Images screened on the way.
    std::string pgm = "P5\n300 90\n255\n";
    for (int i = 0; i < 300 * 90; ++i)
        pgm += static_cast<char>(i * 7 % 251);
    rjtest::WriteFile(dir / "g.pgm", pgm);
    for (ScreenKind kind : {ScreenKind::Diffusion, ScreenKind::Ordered}) {
        std::vector<std::unique_ptr<IRowSource>> sources;
        for (int c = 0; c < 4; ++c) {
            std::string error;
            sources.push_back(MakeImageSource(ImageReader::Open(dir / "g.pgm", error), 2, kind));
        }
        EXPECT_EQ(AllocationsPerJob(TEST_PLUGIN, std::move(sources), 300, 90, 2, test, dir.Path()), 0);
    }

#ifdef MIMAKI_PLUGIN_PATH
    // The plug-in's legacy driver in every command set; rows without blank
    // stretches, since a blank row may use a temporary buffer.
    for (int set = 0; set <= 4; ++set) {
        const std::map<std::wstring, std::wstring> real = {{L"PrEnv_UID", L"0"},
                                                           {L"nFunctModeId", std::to_wstring(set)}};
        EXPECT_EQ(AllocationsPerJob(MIMAKI_PLUGIN_PATH, Pattern("tile", 5000, 100, 2), 5000, 100, 2, real, dir.Path()),
                  0)
            << "command set " << set;
    }
#endif
}
