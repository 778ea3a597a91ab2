// Round trip through the real plug-in and the stream parser: the digest of
// every channel as fed equals the digest of the plane the printer would
// print from the stream.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "Harness.h"
#include "host/Log.h"
#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "tools/common/RasterDigest.h"
#include "tools/rasterjob/JobRunner.h"
#include "tools/rasterjob/Patterns.h"
#include "tools/rasterjob/Plugin.h"
#include "tools/rasterjob/Screen.h"
#include "tools/streamdump/StreamParser.h"

using namespace rasterjob;

namespace {

Plugin& RealPlugin()
{
    static std::unique_ptr<Plugin> plugin = [] {
        std::string error;
        auto p = Plugin::Load(MIMAKI_PLUGIN_PATH, error);
        if (!p)
            ADD_FAILURE() << error;
        return p;
    }();
    return *plugin;
}

struct Job {
    std::map<std::wstring, std::wstring> settings;
    int bits = 2;
    bool compress = true;
    std::vector<int> channels = {0, 1, 2, 3, 8, 9};
    std::string pattern = "bars";
    int width = 61;
    int height = 150;
    std::uint64_t seed = 1;
};

struct Outcome {
    bool made = false;
    std::string driverClass;
    std::string commandSet;
    std::string stream;
    std::vector<std::string> digests;       // per channel, as fed
    std::vector<std::string> doubledDigests;  // per channel, every row fed twice
    std::vector<bool> inked;
};

// Feeds each row to a second digest twice: what a double-line printer gets.
class Doubler : public IRowSource {
public:
    Doubler(std::unique_ptr<IRowSource> inner, RasterDigest& digest, std::size_t bytes)
        : m_inner(std::move(inner)), m_digest(digest), m_bytes(bytes)
    {
    }
    const BYTE* Row(int y, BYTE* scratch) override
    {
        const BYTE* row = m_inner->Row(y, scratch);
        if (row) {
            m_digest.AddRow(row, m_bytes);
            m_digest.AddRow(row, m_bytes);
        }
        return row;
    }

private:
    std::unique_ptr<IRowSource> m_inner;
    RasterDigest& m_digest;
    std::size_t m_bytes;
};

Outcome RunJob(int uid, const Job& job)
{
    Outcome o;
    CPrintEnv env(L"round trip");
    env.PutInt(PrEnv_UID, uid);
    for (const auto& [k, v] : job.settings)
        env.PutString(k.c_str(), v);
    std::unique_ptr<IPrinterDriver> object(RealPlugin().Create(&env));
    auto* driver = dynamic_cast<CPrinterDriverBase*>(object.get());
    if (!driver)
        return o;
    o.made = true;
    o.driverClass = ClassName(driver);

    CMemorySink sink;
    driver->SetOutputSink(&sink);
    CPrintJobOpenContext context;
    context.bitsPerPixel = job.bits;
    context.pixelWidth = job.width;
    context.rowCount = job.height;
    context.colourCodes = job.channels;
    context.compressMode = job.compress ? 1 : 0;
    const std::size_t bytes = static_cast<std::size_t>(BytesPerRow(job.width, job.bits));
    auto patterns = MakePattern(job.pattern, job.width, job.height, job.bits, static_cast<int>(job.channels.size()),
                                job.seed);
    std::vector<RasterDigest> digests(job.channels.size()), doubled(job.channels.size());
    std::vector<std::unique_ptr<IRowSource>> sources;
    for (std::size_t c = 0; c < patterns.size(); ++c)
        sources.push_back(std::make_unique<Doubler>(std::move(patterns[c]), doubled[c], bytes));
    FeedOptions feed;
    feed.digests = &digests;
    const JobResult result = RunDriverJob(*driver, context, sources, feed);
    EXPECT_EQ(result.outcome, JobOutcome::Done) << "UID " << uid << ": " << result.error;
    const std::wstring cs = driver->GetDriverInfo(L"CommandSet");
    o.commandSet = std::string(cs.begin(), cs.end());
    o.stream = sink.Data();
    for (std::size_t c = 0; c < digests.size(); ++c) {
        o.digests.push_back(digests[c].Hex());
        o.doubledDigests.push_back(doubled[c].Hex());
        o.inked.push_back(digests[c].LastInkRow() >= 0);
    }
    return o;
}

// The plane a host colour code lands in, for the legacy driver's command
// sets: printer colour byte and (ESC "(r" only) density.
struct PlaneOf {
    int colour;
    int density;
};

PlaneOf LegacyPlane(int set, int bits, int code)
{
    static const std::map<int, int> kSet0 = {{0, 0}, {1, 2}, {2, 1}, {3, 4}};
    static const std::map<int, PlaneOf> kSet1 = {{0, {0, 0}}, {1, {2, 0}}, {2, {1, 0}},
                                                 {3, {4, 0}}, {8, {2, 1}}, {9, {1, 1}}};
    static const std::map<int, int> kSet2 = {{0, 0}, {1, 2}, {2, 1}, {3, 4}, {8, 18}, {9, 17}};
    static const std::map<int, PlaneOf> kSet3 = {{0, {255, 255}}, {1, {0, 0}}, {2, {2, 0}},
                                                 {3, {6, 0}},     {8, {1, 0}}, {9, {5, 0}}};
    static const std::map<int, int> kSet4 = {{0, 0}, {1, 2}, {2, 1}, {3, 4}, {8, 18}, {9, 17}};
    switch (set) {
    case 0: return {kSet0.at(code), -1};
    case 1: return kSet1.at(code);
    case 2: return {kSet2.at(code), -1};
    case 3: return bits == 1 ? kSet3.at(code) : PlaneOf{kSet3.at(code).colour, -1};
    default: return {kSet4.at(code), -1};
    }
}

// Every fed channel with ink has a plane of the same digest, and no plane
// holds ink that was not fed; with a known colour table, in the right plane.
void ExpectRoundTrip(const Outcome& o, const Job& job, int uid, int set, bool doubled)
{
    const std::string what = "UID " + std::to_string(uid) + " set " + std::to_string(set) + " bits " +
                             std::to_string(job.bits) + (job.compress ? " packbits" : " raw") +
                             (doubled ? " double line" : "") + " (" + o.driverClass + ")";
    const streamparse::ParseResult parsed = streamparse::ParseStream(o.stream);
    for (const auto& e : parsed.errors)
        ADD_FAILURE() << what << ": stream error at " << e.offset << ": " << e.message;
    std::multiset<std::string> planeDigests;
    for (const auto& p : parsed.planes)
        if (p.lastInkRow >= 0)
            planeDigests.insert(p.digest);
    std::multiset<std::string> fedDigests;
    for (std::size_t c = 0; c < job.channels.size(); ++c) {
        if (!o.inked[c])
            continue;
        const std::string& want = doubled ? o.doubledDigests[c] : o.digests[c];
        fedDigests.insert(want);
        if (set < 0)
            continue;
        const PlaneOf key = LegacyPlane(set, job.bits, job.channels[c]);
        streamparse::PlaneKey pk;
        pk.colour = key.colour;
        pk.density = key.density;
        const streamparse::Plane* plane = parsed.FindPlane(pk);
        if (!plane) {
            ADD_FAILURE() << what << ": no plane for colour code " << job.channels[c] << " (colour byte "
                          << key.colour << ")";
            continue;
        }
        EXPECT_EQ(plane->digest, want) << what << ", colour code " << job.channels[c];
    }
    EXPECT_EQ(planeDigests, fedDigests) << what;
}

std::vector<int> SupportedUids()
{
    std::vector<int> uids;
    for (int uid = 0; uid < 256; ++uid) {
        CPrintEnv env;
        env.PutInt(PrEnv_UID, uid);
        const int level = CVoLogReporter::LoggingLevel();
        CVoLogReporter::SetLoggingLevel(-1);
        std::unique_ptr<IPrinterDriver> d(RealPlugin().Create(&env));
        CVoLogReporter::SetLoggingLevel(level);
        if (d)
            uids.push_back(uid);
    }
    return uids;
}

bool HasModelRow(int uid)
{
    return uid >= 1 && uid <= 56 && uid != 55;
}

} // namespace

// UIDs without a model row: plain parameters and the legacy driver in every
// command set, raw and PackBits, 1 and 2 bits per pixel. They all take the
// same path, so a spread of them stands for the rest (each of which runs
// with its defaults in EverySupportedUid).
TEST(RasterJobRoundTrip, UidsWithoutModelInEveryCommandSet)
{
    int runs = 0;
    for (int uid : {0, 55, 57, 100, 128, 200, 255}) {
        ASSERT_FALSE(HasModelRow(uid));
        for (int set = 0; set <= 4; ++set)
            for (bool compress : {false, true})
                for (int bits : {1, 2}) {
                    Job job;
                    job.settings[L"nFunctModeId"] = std::to_wstring(set);
                    job.compress = compress;
                    job.bits = bits;
                    // Set 0 knows colour codes 0 to 7 only.
                    if (set == 0)
                        job.channels = {0, 1, 2, 3};
                    // Alternate patterns: blank bands and feeds (bars),
                    // blank rows and uneven lengths (random).
                    job.pattern = (uid + set) % 2 ? "random" : "bars";
                    job.seed = static_cast<std::uint64_t>(uid * 31 + set);
                    const Outcome o = RunJob(uid, job);
                    ASSERT_TRUE(o.made) << "UID " << uid << " has no driver";
                    EXPECT_EQ(o.commandSet, std::to_string(set));
                    ExpectRoundTrip(o, job, uid, set, false);
                    ++runs;
                }
    }
    EXPECT_EQ(runs, 7 * 20);
}

// Every UID the plug-in supports, with its defaults.
TEST(RasterJobRoundTrip, EverySupportedUid)
{
    for (int uid : SupportedUids()) {
        Job job;
        job.channels = {0, 1, 2, 3};  // known to every command set
        job.pattern = uid % 2 ? "random" : "bars";
        job.seed = static_cast<std::uint64_t>(uid);
        // Models that take printer colours from their slots get one slot per
        // channel; the JV400 prints colour only (its stored default -1 sends
        // band trailers alone).
        job.settings[L"SlotsSetting"] = L"0`1`2`3";
        job.settings[L"MimakiColorSequence"] = L"1,2,3,4";
        job.settings[L"DP22_m_nWhiteMode"] = L"0";
        if (uid == 7) // its default layer order 0 prints neither colour nor white
            job.settings[L"DP7_nWhiteOrder"] = L"1";
        const Outcome o = RunJob(uid, job);
        ASSERT_TRUE(o.made);
        int set = -1;
        if (o.driverClass == "CMimakiLegacyBasePrinterDriver" && !o.commandSet.empty())
            set = std::stoi(o.commandSet);
        ExpectRoundTrip(o, job, uid, set >= 0 && set <= 4 ? set : -1, false);
    }
}

// Double line: each row reaches the printer twice, and feeds double.
TEST(RasterJobRoundTrip, DoubleLineSendsEveryRowTwice)
{
    struct DoubleLineModel {
        int uid;
        const wchar_t* key;
    };
    static const DoubleLineModel kModels[] = {{13, L"DP13_bDoubleLine"}, {15, L"DP15_bDoubleLine"},
                                              {21, L"DP21_bDoubleLine"}};
    int tested = 0;
    for (const auto& m : kModels) {
        for (bool compress : {false, true}) {
            Job job;
            job.settings[m.key] = L"1";
            job.compress = compress;
            const Outcome o = RunJob(m.uid, job);
            if (!o.made)
                break;
            ExpectRoundTrip(o, job, m.uid, -1, true);
            ++tested;
        }
    }
    if (!tested)
        GTEST_SKIP() << "no model with a double-line setting is built yet (UIDs 13, 15, 21)";
}
