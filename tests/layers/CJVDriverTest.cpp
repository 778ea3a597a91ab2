// The CJV300 PLUS and CJV330 layer drivers: small whole streams by hand,
// every sub-layer type through the stream parser against the ink tables
// kept as test data, the layer list in the settings, failures, aborts and
// memory.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "devparms/MimakiDevParmsCJV330.h"
#include "driver/MimakiCJV300DriverPLUS.h"
#include "driver/MimakiCJV_JV330Driver.h"
#include "host/SpoolBuffer.h"
#include "LayerTestSupport.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tests/driver/DriverTestUtil.h"

namespace {

using layertest::RowBytes;
using layertest::Rows;

struct Layer {
    std::vector<int> types;
    int mirror = 0;
    int sandwich = 0;
};

bool IsPlus(int uid) { return uid == 43 || uid == 44; }

// A printer of the model with its ink slots (host colour codes), their
// colour ids and its layer list.
CPrintEnv CjvEnv(int uid, const std::vector<Layer>& layers, const std::wstring& slots, const std::wstring& ids)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, uid);
    env.PutString(L"SlotsSetting", slots);
    env.PutString(L"MimakiColorSequence", ids);
    env.PutString(PrEnv_AbortCommand, L"<abort>");
    const std::wstring p = IsPlus(uid) ? L"DPCVJ_300_PLUS_" : L"DPCVJ_330_";
    env.PutInt((p + L"nNumberOfLayers").c_str(), static_cast<int>(layers.size()));
    for (std::size_t l = 0; l < layers.size(); ++l) {
        const std::wstring n = std::to_wstring(l + 1);
        for (std::size_t t = 0; t < layers[l].types.size(); ++t)
            env.PutInt((p + L"layer" + std::to_wstring(t + 1) + L"_" + n).c_str(), layers[l].types[t]);
        env.PutInt((p + L"bMirror_" + n).c_str(), layers[l].mirror);
        env.PutInt((p + L"bUseSandwich_" + n).c_str(), layers[l].sandwich);
    }
    return env;
}

CPrintJobOpenContext CjvContext(const std::vector<int>& channels, int width, int bits, int compress, int narrow = 0)
{
    CPrintJobOpenContext c;
    c.colourCodes = channels;
    c.pixelWidth = width;
    c.bitsPerPixel = bits;
    c.compressMode = compress;
    c.altBytesPerRow = narrow;
    return c;
}

JobResult RunCjv(CPrinterDriverBase& d, const std::vector<int>& channels, int width, int bits, int compress,
                 const Rows& rows, int narrow = 0, std::uint64_t failAfter = UINT64_MAX, int abortAfterRows = -1)
{
    return RunJob(d, CjvContext(channels, width, bits, compress, narrow), rows, failAfter, abortAfterRows);
}

// Layer starts reduced to "Q@" 0, so that a whole stream is worked out from
// the driver's rules alone (the start strings are the parameters' own).
template <class Parms>
class BareStart : public Parms {
public:
    std::string GetLayerStartString(CPrinterDriverBase*, int, int, int, int) override { return std::string("Q@\0", 3); }
};

template <class Driver, class Parms>
std::unique_ptr<Driver> Bare(CPrintEnv& env)
{
    auto* parms = new BareStart<Parms>;
    parms->Load(&env);
    return std::make_unique<Driver>(&env, parms);
}

} // namespace

TEST(CJVStreams, TwoRowCJV300PlusJobWithTwoSubLayersByHand)
{
    // Slots white then black (ids 10, 4); black at position 1, white at 2.
    CPrintEnv env = CjvEnv(43, {{{1, 3}}}, L"34`0", L"10,4");
    auto d = Bare<CMimakiPrnDrvCJV300PLUS, DEVPARMCJV300_PLUS_CLASS>(env);
    // 8 pixels at 2 bits. Rows go without their trailing zeros; a channel
    // row without ink sends nothing.
    GlobalTempFileMgr().ResetStats();
    const JobResult r = RunCjv(*d, {0, 34}, 8, 2, 0, {{{0xC0, 0x01}, {0xFF, 0x00}}, {{0x12, 0x00}, {0x00, 0x00}}});
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(GlobalTempFileMgr().PeakMemory(), 0u) << "one layer without sandwich keeps no rows";
    const std::string qd = " 51 59 05 00 00 00 00 00 51 52 01 00 51 44 0A ";
    EXPECT_EQ(ToHex(r.bytes), ToHex(Hex("51 40 00" + qd + "04 00 02 02 00 01 00 02 00 00 C0 01" + qd +
                                        "0A 00 02 01 00 01 00 01 00 01 FF 51 52 01 01" + qd +
                                        "04 00 02 01 00 01 00 01 00 00 12 51 52 01 01"
                                        // "QE" 0, no back to origin, medium out on UID 43
                                        " 51 45 00 47 54 01 00")));
}

TEST(CJVStreams, TwoLayerCJV330JobWithAMirroredLayerAndABlankRowByHand)
{
    CPrintEnv env = CjvEnv(52, {{{1}}, {{1}, 1}}, L"0", L"4");
    auto d = Bare<CMimakiPrnDrvCJV330, DEVPARMCJV330_CLASS>(env);
    // 12 pixels at 1 bit: two bytes, four fill pixels. Full rows; the blank
    // row goes out before the next row.
    const JobResult r = RunCjv(*d, {0}, 12, 1, 0, {{{0xC1, 0x20}}, {{0x00, 0x00}}, {{0x00, 0x10}}});
    ASSERT_EQ(r.ok, 1);
    const std::string qd = " 51 52 01 00 51 59 05 00 00 00 00 00 51 44 0A 04 00 01 02 00 01 00 02 00 00 ";
    const std::string band = " 51 52 01 01 ";
    EXPECT_EQ(ToHex(r.bytes),
              ToHex(Hex("51 40 00" + qd + "C1 20" + band + qd + "00 00" + band + qd + "00 10" + band + "51 45 00" +
                        // the second layer: each row mirrored over its 12 pixels
                        " 51 40 00" + qd + "48 30" + band + qd + "00 00" + band + qd + "80 00" + band + "51 45 00")));
}

TEST(CJVStreams, ReversedColourAgainstTheMirrorFlagWithFillPixelsByHand)
{
    // Layer 1 unmirrored, layer 2 mirrored; each colour reversed (type 2) at
    // position 1 and colour (type 1) at position 2.
    CPrintEnv env = CjvEnv(43, {{{2, 1}}, {{2, 1}, 1}}, L"0", L"4");
    auto d = Bare<CMimakiPrnDrvCJV300PLUS, DEVPARMCJV300_PLUS_CLASS>(env);
    // 5 pixels at 2 bits, 1 2 3 0 1: bytes 6C 40, three fill pixels. Its
    // mirror 1 0 3 2 1 starts at the first byte: 4E 40.
    const JobResult r = RunCjv(*d, {0}, 5, 2, 0, {{{0x6C, 0x40}}});
    ASSERT_EQ(r.ok, 1);
    const std::string qd = " 51 59 05 00 00 00 00 00 51 52 01 00 51 44 0A 04 00 02 02 00 01 00 02 00 ";
    const std::string band = " 51 52 01 01 ";
    EXPECT_EQ(ToHex(r.bytes), ToHex(Hex("51 40 00" + qd + "00 4E 40" + qd + "01 6C 40" + band + // mirror flag off
                                        "51 40 00" + qd + "00 6C 40" + qd + "01 4E 40" + band + // mirror flag on
                                        "51 45 00 47 54 01 00")));
}

namespace {

// The types and inks of a model, and its reversed types, as the tables kept
// as test data give them.
struct Documented {
    std::map<int, std::set<int>> inks;
    std::set<int> reversed;
    bool Belongs(int type, int ink) const { return inks.count(type) && inks.at(type).count(ink); }
};

Documented DocumentedTable(const std::string& cls)
{
    std::ifstream in(std::string(MIMAKI_SOURCE_DIR) + "/tests/layers/data/cjv_ink_tables.md");
    Documented doc;
    std::string line;
    bool inClass = false;
    const std::regex number(R"(\d+)"), row(R"(^\| ([\d, ]+) \| ([^(|]*))"), reversed(R"(Types (\d+) and (\d+) are the reversed)");
    std::smatch m;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0)
            inClass = line == "## " + cls;
        if (!inClass)
            continue;
        if (std::regex_search(line, m, reversed))
            doc.reversed = {std::stoi(m[1]), std::stoi(m[2])};
        if (!std::regex_search(line, m, row))
            continue;
        const std::string types = m[1], inks = m[2];
        for (std::sregex_iterator t(types.begin(), types.end(), number), end; t != end; ++t)
            for (std::sregex_iterator i(inks.begin(), inks.end(), number); i != end; ++i)
                doc.inks[std::stoi(t->str())].insert(std::stoi(i->str()));
    }
    EXPECT_FALSE(doc.inks.empty()) << cls;
    return doc;
}

// A plane's row as long as the job's rows (trimmed rows end in zeros).
RowBytes RowOf(const streamparse::Plane& plane, int r, std::size_t bytes)
{
    const std::vector<std::uint8_t>* row = plane.RowAt(r);
    RowBytes out = row ? RowBytes(row->begin(), row->end()) : RowBytes();
    out.resize(bytes, 0);
    return out;
}

// One layer per sub-layer type and mirror flag, the type at a position that
// moves from layer to layer, over one channel of every ink; the slots list
// the inks backwards and the last has no colour id.
void ExpectEveryTypeRoutedAndMirrored(int uid, int bits, int width, int compress, int optionalDevice, int ways)
{
    const Documented doc = DocumentedTable(IsPlus(uid) ? "CMimakiPrnDrvCJV300PLUS" : "CMimakiPrnDrvCJV330");
    SCOPED_TRACE(testing::Message() << "UID " << uid << ", " << bits << " bits, " << width << " pixels, PackBits "
                                    << compress << ", device " << optionalDevice << ", ways " << ways);
    const int positions = IsPlus(uid) ? 5 : 3;
    const std::vector<int> inks = {0, 1, 2, 3, 4, 6, 7, 8, 9, 16, 21, 22, 24, 25, 26, 33, 34, 5};
    std::vector<Layer> layers;
    for (int type = 1; type <= 11; ++type)
        for (int mirror : {0, 1}) {
            layers.push_back({std::vector<int>(static_cast<std::size_t>(positions), 0), mirror, 0});
            layers.back().types[static_cast<std::size_t>((type + mirror) % positions)] = type;
        }
    CPrintEnv env = CjvEnv(uid, layers, L"5`34`33`26`25`24`22`21`16`9`8`7`6`4`3`2`1`0",
                           L"100,101,102,103,104,105,106,107,108,109,110,111,112,113,114,115,116");
    env.PutInt(PrEnv_MaxPrintingWays, ways);
    env.PutInt(PrEnv_OptionalDeviceID, optionalDevice);
    env.PutInt(IsPlus(uid) ? L"DPCVJ_300_PLUS_m_nDotSize" : L"DPCVJ_330_m_nDotSize", IsPlus(uid) == (bits == 2));
    LogCapture quiet;
    auto d = CreateDriver(env);
    const Rows rows = layertest::RandomRows(inks.size(), 7, width, bits, 5);
    const JobResult r = RunCjv(*d, inks, width, bits, compress, rows);
    ASSERT_EQ(r.ok, 1);
    const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes);
    ASSERT_TRUE(parsed.ok()) << parsed.errors.front().message;
    ASSERT_EQ(parsed.layers.size(), layers.size());
    const std::size_t bytes = rows[0][0].size();
    std::size_t expected = 0;
    for (std::size_t k = 0; k < layers.size(); ++k) {
        const int position = static_cast<int>(k / 2 + 1 + k % 2) % positions, type = static_cast<int>(k / 2 + 1);
        const bool mirrored = (doc.reversed.count(type) != 0) != (layers[k].mirror != 0);
        for (std::size_t c = 0; c < inks.size(); ++c) {
            // The JV330/CJV330 prints inks 21 and 22 blank without the
            // optional device, and positions up to its printing ways.
            const bool skipped = !IsPlus(uid) && (((inks[c] == 21 || inks[c] == 22) && optionalDevice != 7) ||
                                                  position >= std::max(ways, 1));
            if (!doc.Belongs(type, inks[c]) || skipped)
                continue;
            const int colour = c == 0 ? 99 : 100 + static_cast<int>(inks.size() - 1 - c);
            const streamparse::Plane* plane = parsed.FindPlane({static_cast<int>(k), colour, -1, position, 0});
            ASSERT_NE(plane, nullptr) << "layer " << k << " type " << type << " ink " << inks[c];
            ++expected;
            for (std::size_t row = 0; row < rows.size(); ++row) {
                const RowBytes& fed = rows[row][c];
                EXPECT_EQ(RowOf(*plane, static_cast<int>(row), bytes),
                          mirrored ? layertest::MirrorPixels(fed, width, bits) : fed)
                    << "layer " << k << " type " << type << " ink " << inks[c] << " row " << row;
            }
        }
    }
    EXPECT_EQ(expected, static_cast<std::size_t>(std::count_if(parsed.planes.begin(), parsed.planes.end(),
                                                               [](const auto& p) { return p.firstInkRow >= 0; })))
        << "nothing else is inked";
}

} // namespace

TEST(CJVRoundTrip, EveryTypeUnderBothMirrorFlagsPrintsWhereTheTablesSay)
{
    for (int uid : {43, 52})
        for (int compress : {0, 1}) {
            ExpectEveryTypeRoutedAndMirrored(uid, 1, 13, compress, compress ? 0 : 7, compress ? 0 : 3);
            ExpectEveryTypeRoutedAndMirrored(uid, 2, 1001, compress, 7, compress + 2); // 251 bytes, 3 fill pixels
        }
}

TEST(CJVRoundTrip, TheInkTablesAreTheDocumentedOnes)
{
    for (const auto& [model, cls] : {std::pair{&mimaki::cjv::kCJV300Plus, "CMimakiPrnDrvCJV300PLUS"},
                                     std::pair{&mimaki::cjv::kCJV330, "CMimakiPrnDrvCJV330"}}) {
        const Documented doc = DocumentedTable(cls);
        for (int type = 0; type < 32; ++type) {
            EXPECT_EQ((model->reversedTypes >> type & 1u) != 0, doc.reversed.count(type) != 0) << cls << type;
            for (int ink = 0; ink < 100; ++ink)
                EXPECT_EQ(mimaki::cjv::Belongs(*model, type, ink), doc.Belongs(type, ink)) << cls << type << " " << ink;
        }
    }
}

TEST(CJVRoundTrip, SandwichLayersPrintTheSecondImageOfADoubleWidthRow)
{
    // 16 pixels at 2 bits: four bytes, two images of two bytes side by side.
    // Unshifted rows are the left part of the row as printed, shifted ones
    // its right part; a reversed type prints the row mirrored.
    CPrintEnv env = CjvEnv(44, {{{1}}, {{1}, 0, 1}, {{2}, 0, 1}, {{2}}}, L"0", L"4");
    auto d = CreateDriver(env);
    const Rows rows = layertest::RandomRows(1, 6, 16, 2, 9);
    const JobResult r = RunCjv(*d, {0}, 16, 2, 1, rows, 2);
    ASSERT_EQ(r.ok, 1);
    const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes);
    ASSERT_TRUE(parsed.ok());
    for (int layer = 0; layer < 4; ++layer)
        for (std::size_t row = 0; row < rows.size(); ++row) {
            const RowBytes whole = layer < 2 ? rows[row][0] : layertest::MirrorPixels(rows[row][0], 16, 2);
            const auto from = whole.begin() + (layer == 1 || layer == 2 ? 2 : 0);
            const streamparse::Plane* plane = parsed.FindPlane({layer, 4, -1, 0, 0});
            ASSERT_NE(plane, nullptr) << layer;
            EXPECT_EQ(RowOf(*plane, static_cast<int>(row), 2), RowBytes(from, from + 2)) << layer << " " << row;
            EXPECT_EQ(plane->bytesPerRow, 2);
        }
}

namespace {

// Three layers: colour, mirrored white over colour, colour again.
CPrintEnv ThreeLayerEnv(int uid)
{
    CPrintEnv env = CjvEnv(uid, {{{1}}, {{3, 1}, 1}, {{1}}}, L"0`34", L"4,10");
    env.PutInt(PrEnv_MaxPrintingWays, 2);
    return env;
}

RowBytes ThreeLayerRow(int r, int ch)
{
    return ch == 0 ? RowBytes{BYTE(r + 1), 0x22} : RowBytes{0x33, BYTE(r)};
}

JobResult SmallThreeLayerJob(CPrinterDriverBase& d, std::uint64_t failAfter = UINT64_MAX, int abortAfterRows = -1)
{
    Rows rows;
    for (int r = 0; r < 5; ++r)
        rows.push_back({ThreeLayerRow(r, 0), ThreeLayerRow(r, 1)});
    return RunCjv(d, {0, 34}, 8, 2, 1, rows, 0, failAfter, abortAfterRows);
}

// The check on a three-layer driver of both models, with every spool store
// in the budget and with every block in a temporary file; once the driver
// is gone no spool file or memory is left, whatever state it was left in.
template <class Check>
void ForModelsInMemoryAndSpilled(Check check)
{
    LogCapture quiet;
    for (int uid : {43, 52})
        for (std::uint64_t limit : {CTempFileMgr::kDefaultLimit, std::uint64_t{0}}) {
            GlobalTempFileMgr().SetMemoryLimit(limit);
            CPrintEnv env = ThreeLayerEnv(uid);
            auto d = CreateDriver(env);
            check(uid, *d);
            d.reset();
            spooltest::ExpectNothingLeft(std::to_string(uid) + ", driver destroyed");
        }
    GlobalTempFileMgr().SetMemoryLimit(CTempFileMgr::kDefaultLimit);
}

} // namespace

TEST(CJVFailures, AFailedOutputAtAnyPositionEndsTheJobWithNothingLeft)
{
    ForModelsInMemoryAndSpilled([](int uid, CPrinterDriverBase& d) {
        const std::size_t total = SmallThreeLayerJob(d).bytes.size();
        for (std::size_t at = 0; at < total; ++at) {
            const JobResult r = SmallThreeLayerJob(d, at);
            EXPECT_EQ(r.ok, 0) << uid << " at " << at;
            EXPECT_EQ(r.callsAfterFailure, 0u) << uid << " at " << at;
            spooltest::ExpectNothingLeft(std::to_string(uid) + " at " + std::to_string(at));
        }
        EXPECT_EQ(SmallThreeLayerJob(d).ok, 1) << "the driver prints again after failures";
    });
}

TEST(CJVFailures, AnUnwritableTempFolderFailsTheJobWithOneLine)
{
    ForModelsInMemoryAndSpilled([](int uid, CPrinterDriverBase& d) {
        CTempFileMgr& mgr = GlobalTempFileMgr();
        const std::string folder = mgr.GetTempFolder();
        mgr.SetTempFolder("/dev/null/spool");
        LogCapture log;
        const JobResult r = SmallThreeLayerJob(d);
        mgr.SetTempFolder(folder);
        const bool spilled = mgr.GetMemoryLimit() == 0;
        EXPECT_EQ(r.ok, spilled ? 0 : 1) << uid;
        EXPECT_EQ(d.GetErrorString(), spilled ? L"cannot create a spool file in the temporary folder "
                                                L"/dev/null/spool: Not a directory"
                                              : L"");
        EXPECT_EQ(log.Contains("Creating slotfiles failed- Probably diskfull error"), spilled && uid == 52);
    });
}

namespace {

// Aborts the job once the stream reaches a length.
class AbortingSink : public CMemorySink {
public:
    AbortingSink(CAbortProc& abort, std::size_t at) : m_abort(abort), m_at(at) {}

protected:
    bool DoWrite(const BYTE* data, std::size_t len) override
    {
        const bool ok = CMemorySink::DoWrite(data, len);
        if (Data().size() >= m_at)
            m_abort.Abort();
        return ok;
    }

private:
    CAbortProc& m_abort;
    std::size_t m_at;
};

} // namespace

TEST(CJVFailures, AbortMidPageOrMidReplaySendsTheAbortCommandOnceAndNothingAfter)
{
    ForModelsInMemoryAndSpilled([](int uid, CPrinterDriverBase& d) {
        const std::string whole = SmallThreeLayerJob(d).bytes;
        const JobResult midPage = SmallThreeLayerJob(d, UINT64_MAX, 2);
        // Mid-replay: the second layer's start has gone out.
        const std::size_t replay = whole.find("Q@", whole.find("Q@") + 2) + 40;
        CAbortProc abort;
        AbortingSink sink(abort, replay);
        d.SetOutputSink(&sink);
        d.SetAbortProc(&abort);
        CPrintJobOpenContext c = CjvContext({0, 34}, 8, 2, 1);
        bool ok = HostJobBegin(d, c) != 0;
        for (int r = 0; ok && r < 5; ++r) {
            for (int ch = 0; ch < 2; ++ch)
                std::memcpy(d.GetRasterPixelBufferByIndex(ch)->pWriteRow(), ThreeLayerRow(r, ch).data(), 2);
            ok = d.OutputOneRow() != 0;
        }
        EXPECT_EQ(HostJobEnd(d, ok), 0);
        d.SetOutputSink(nullptr);
        for (const std::string& bytes : {midPage.bytes, sink.Data()}) {
            EXPECT_TRUE(bytes.ends_with("<abort>")) << uid;
            EXPECT_EQ(bytes.find("<abort>"), bytes.size() - 7) << uid;
        }
        EXPECT_LT(sink.Data().size(), whole.size());
        EXPECT_GT(sink.Data().size(), replay);
        spooltest::ExpectNothingLeft(std::to_string(uid));
    });
}

TEST(CJVFailures, ADriverDestroyedMidPageLeavesNoSpoolFiles)
{
    ForModelsInMemoryAndSpilled([](int uid, CPrinterDriverBase& d) {
        CMemorySink sink;
        d.SetOutputSink(&sink);
        CPrintJobOpenContext c = CjvContext({0, 34}, 16384, 2, 0);
        ASSERT_EQ(HostJobBegin(d, c), 1);
        for (int r = 0; r < 300; ++r) {
            for (int ch = 0; ch < 2; ++ch)
                std::memset(d.GetRasterPixelBufferByIndex(ch)->pWriteRow(), 0x11 * (ch + 1), 4096);
            ASSERT_EQ(d.OutputOneRow(), 1);
        }
        const bool spilled = GlobalTempFileMgr().OpenFiles() > 0;
        EXPECT_EQ(spilled, GlobalTempFileMgr().GetMemoryLimit() == 0) << uid << ": the later layers' rows";
        d.SetOutputSink(nullptr);
    });
}

TEST(CJVMemory, NoAllocationPerRow)
{
    layertest::Job job;
    job.colours = {0, 34};
    job.width = 333;
    job.bits = 2;
    job.compress = 1;
    job.rows = layertest::RandomRows(2, 60, 333, 2, 3);
    ForModelsInMemoryAndSpilled([&](int uid, CPrinterDriverBase& d) {
        // The spool stores take their first block with the first rows.
        EXPECT_EQ(layertest::RowAllocations(d, job, 10), 0) << uid;
    });
}
