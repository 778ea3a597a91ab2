// The two stream drivers (UJF7151 plus II, JFX200EX): whole streams of tiny
// jobs worked out by hand, round trips of every layer kind through the
// stream parser, mirroring and sandwich halves, and every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "devparms/MimakiDevParmsUJF.h"
#include "driver/MimakiJFX200EXDriver.h"
#include "driver/MimakiUJF7151PlusIIDriver.h"
#include "host/SpoolBuffer.h"
#include "tests/driver/DriverTestUtil.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tests/layers/JfxTables.h"
#include "tools/streamdump/StreamLayerPages.h"
#include "tools/streamdump/StreamParser.h"

namespace {

struct LayerSpec {
    int type;
    int mirror = 0;
    int secondHalf = 0;
    int flipWhenBackward = 0;
    int flipWhenForward = 0;
};

std::wstring Join(const std::vector<int>& v, wchar_t sep)
{
    std::wstring s;
    for (std::size_t i = 0; i < v.size(); ++i)
        s += (i ? std::wstring(1, sep) : L"") + std::to_wstring(v[i]);
    return s;
}

CPrintEnv Env(int uid, const std::vector<int>& slots, const std::vector<int>& ids, const std::vector<LayerSpec>& layers)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, uid);
    env.PutString(L"SlotsSetting", Join(slots, L'`'));
    env.PutString(L"MimakiColorSequence", Join(ids, L','));
    const std::wstring p = uid == 53 ? L"DP53_" : L"DP46_";
    env.PutInt((p + L"nNumberOfLayers").c_str(), static_cast<int>(layers.size()));
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const std::wstring l = p + L"Layer" + std::to_wstring(i + 1) + L".";
        env.PutInt((l + L"nType").c_str(), layers[i].type);
        env.PutInt((l + L"bMirror").c_str(), layers[i].mirror);
        env.PutInt((l + L"bSecondHalf").c_str(), layers[i].secondHalf);
        env.PutInt((l + L"bFlipWhenBackward").c_str(), layers[i].flipWhenBackward);
        env.PutInt((l + L"bFlipWhenForward").c_str(), layers[i].flipWhenForward);
    }
    return env;
}

// Parameters whose layer starts and ends are short markers naming the
// arguments the driver passed, so that a whole stream stays readable.
template <class Base>
class MarkedParms : public Base {
public:
    std::string GetLayerStartString(CPrinterDriverBase*, int layer, int rev, int kind, int pos) override
    {
        return "[S" + std::to_string(layer) + "," + std::to_string(rev) + "," + std::to_string(kind) + "," +
               std::to_string(pos) + "]";
    }
    std::string GetLayerEndString(CPrinterDriverBase*, int layer, int rev) override
    {
        return "[E" + std::to_string(layer) + "," + std::to_string(rev) + "]";
    }
};

template <class Driver, class Parms>
std::unique_ptr<CPrinterDriverBase> Marked(CPrintEnv& env)
{
    auto* parms = new MarkedParms<Parms>();
    parms->Load(&env);
    return std::make_unique<Driver>(&env, parms);
}

std::unique_ptr<CPrinterDriverBase> MarkedUjf(CPrintEnv& env)
{
    return Marked<CMimakiPrinterDriverUJF7151PlusII, DEVPARMUJF7151plusII_CLASS>(env);
}
std::unique_ptr<CPrinterDriverBase> MarkedJfx(CPrintEnv& env)
{
    return Marked<CMimakiJFX200EXDriver, DEVPARMS_JFX200EX_CLASS>(env);
}

// Black and white, four 2-bit pixels a row, three rows.
const std::vector<Row> kThreeRows = {{{0x1B}, {0xFF}}, {{0x00}, {0x0F}}, {{0xC0}, {0x00}}};

// Whether a layer kind prints a host colour: the JFX200's channel
// distribution of the table kept as test data, by the record of each kind.
bool Carries(int kind, int colour)
{
    const jfxdoc::Tables& doc = jfxdoc::Doc();
    const auto& kinds = (doc.dist.count(colour) ? doc.dist.at(colour) : doc.dist.at(-1)).kinds[1];
    return std::any_of(kinds.begin(), kinds.end(), [&](int k) { return doc.record.at(k) == doc.record.at(kind); });
}

streamparse::ParseResult Parse(const std::string& bytes)
{
    streamparse::ParseOptions o;
    o.expectJobEnd = true;
    o.keepJobCommands = true;
    return streamparse::ParseStream(bytes, o);
}

// Checks that each printed layer holds exactly the planes its kind carries,
// under the slot's colour id, mirrored and read backwards where it should,
// and that streamdump's page order turns every one of them back into the
// page as fed.
void ExpectLayers(const streamparse::ParseResult& parsed, const std::vector<LayerSpec>& layers,
                  const std::vector<int>& colours, const std::vector<int>& ids, const std::vector<Row>& rows,
                  int pixels, bool jfx)
{
    ASSERT_TRUE(parsed.ok()) << parsed.errors.front().message << " at " << parsed.errors.front().offset;
    std::set<int> mirrored;
    for (std::size_t i = 0; i < layers.size(); ++i)
        if (layers[i].mirror)
            mirrored.insert(static_cast<int>(i));
    const auto page = streamparse::RebuildPageOrder(parsed, {jfx, mirrored, pixels});
    int printed = 0;
    bool backward = false;
    for (const LayerSpec& spec : layers) {
        if (jfx && (backward ? spec.flipWhenBackward : spec.flipWhenForward))
            backward = !backward;
        std::set<int> expected;
        for (std::size_t ch = 0; ch < colours.size(); ++ch) {
            if (!Carries(spec.type, colours[ch]))
                continue;
            expected.insert(ids[ch]);
            if (jfx && spec.type >= 26 && spec.type <= 31 && (ids[ch] == 254 || ids[ch] == 255))
                expected.insert(ids[ch] ^ 1);
            const streamparse::Plane* sent = parsed.FindPlane({printed, ids[ch], -1, 0, 0});
            const streamparse::Plane* rebuilt = page.FindPlane({printed, ids[ch], -1, 0, 0});
            ASSERT_TRUE(sent && rebuilt) << "layer " << printed << " kind " << spec.type << " colour " << colours[ch];
            for (std::size_t r = 0; r < rows.size(); ++r) {
                const std::vector<BYTE>& row = rows[jfx && backward ? rows.size() - 1 - r : r][ch];
                const auto want = spec.mirror ? layertest::MirrorPixels(row, pixels, 2) : row;
                const std::vector<BYTE> blank(want.size(), 0);
                const auto* got = sent->RowAt(static_cast<std::int64_t>(r));
                ASSERT_EQ(got ? *got : blank, want) << "layer " << printed << " colour " << colours[ch] << " row " << r;
                got = rebuilt->RowAt(static_cast<std::int64_t>(r));
                ASSERT_EQ(got ? *got : blank, rows[r][ch]) << "page order, layer " << printed << " row " << r;
            }
        }
        std::set<int> got;
        for (const auto& p : parsed.planes)
            if (p.key.layer == printed)
                got.insert(p.key.colour);
        EXPECT_EQ(got, expected) << "layer " << printed << " kind " << spec.type;
        ++printed;
        backward = !backward;
    }
    EXPECT_EQ(parsed.layers.size(), static_cast<std::size_t>(printed));
}


} // namespace

// Row header: "QR" 1 0, "QY" 5 zeros, "QD" 10 id comp bits rawL rawH 1 0
// storedL storedH 0, then the stored bytes; "QR" 1 1 after every row.
// PackBits codes one literal byte as 00 and the byte.
TEST(StreamLayers, UJF7151PlusIIWholeStreamsByHand)
{
    for (const int coded : {0, 1}) {
        // Layer 1 White+Color (an underprint), layer 2 Color mirrored;
        // switching to the printer's local mode makes the position kind 2.
        CPrintEnv env = Env(53, {0, 34}, {4, 10}, {{3}, {0, 1}});
        env.PutInt(L"DP53_bSwitchToLocalBetweenLayers", coded);
        auto d = MarkedUjf(env);
        auto rec = [coded](const char* id, const char* data) {
            return std::string("51 52 01 00 51 59 05 00 00 00 00 00 51 44 0A ") + id +
                   (coded ? " 01 02 01 00 01 00 02 00 00 00 " : " 00 02 01 00 01 00 01 00 00 ") + data;
        };
        const std::string band = "51 52 01 01";
        const std::string k = coded ? "2" : "1";
        const std::string want =
            "[S0,1," + k + ",-1]" +
            Hex(rec("04", "1B") + rec("0A", "FF") + band + rec("04", "00") + rec("0A", "0F") + band +
                rec("04", "C0") + rec("0A", "00") + band) +
            "[E0,1][S1,0," + k + ",-1]" + Hex(rec("04", "E4") + band + rec("04", "00") + band + rec("04", "03") + band) +
            "[E1,0]";
        const JobResult r = RunJob(*d, Context({0, 34}, 1, coded), kThreeRows);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(ToHex(r.bytes), ToHex(want)) << coded;
    }
}

// Records "QD" 10 id comp bits rawL rawH 1 0 storedL storedH 0 and the row;
// the first record of a layer's row after its first goes after the feed of
// one row ("QX" 5 1, 1 as 32 bits, "QR" 1 0), all others after "QY" and
// "QR" 1 0; one feed more after the rows.
TEST(StreamLayers, JFX200EXWholeStreamsByHand)
{
    for (const int coded : {0, 1}) {
        // Layer 1 Double White+Color read forwards; layer 2 Color mirrored,
        // read backwards (last row first), or, coded, forwards again as its
        // first direction bit says; local mode makes the position kind 2.
        CPrintEnv env = Env(46, {0, 34}, {4, 254}, {{28}, {0, 1, 0, coded, 0}});
        env.PutInt(L"DP46_bSwitchToLocalBetweenLayers", coded);
        auto d = MarkedJfx(env);
        const std::string y = "51 59 05 00 00 00 00 00 51 52 01 00 ";
        const std::string x = "51 58 05 01 01 00 00 00 51 52 01 00 ";
        auto qd = [coded](const char* id, const char* data) {
            return std::string("51 44 0A ") + id + (coded ? " 01 02 01 00 01 00 02 00 00 00 " : " 00 02 01 00 01 00 01 00 00 ") +
                   data + " ";
        };
        const std::string k = coded ? "2" : "0", back = coded ? "0" : "1";
        const std::string want =
            "[S0,0," + k + ",-1]" +
            Hex(y + y + qd("04", "1B") + y + qd("FE", "FF") + y + qd("FF", "FF") +  //
                x + qd("04", "00") + y + qd("FE", "0F") + y + qd("FF", "0F") +      //
                x + qd("04", "C0") + y + qd("FE", "00") + y + qd("FF", "00") + x) +
            "[E0,0][S1," + back + "," + k + ",-1]" +
            Hex(y + y + qd("04", coded ? "E4" : "03") + x + qd("04", "00") + x + qd("04", coded ? "03" : "E4") + x) +
            "[E0," + back + "]";
        const JobResult r = RunJob(*d, Context({0, 34}, 1, coded), kThreeRows);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(ToHex(r.bytes), ToHex(want)) << coded;
    }
}

// Every kind in one job per mirror setting, on both drivers and all twelve
// colour groups (whites under the double-white ids 254 and 255 on the
// JFX200EX, so that the doubled copies show as planes of their own).
TEST(StreamLayers, EveryKindRoundTripsThroughTheDecoder)
{
    const std::vector<int> colours = {1, 2, 3, 0, 8, 9, 34, 33, 24, 30, 29, 25};
    for (const int uid : {53, 46}) {
        std::vector<int> ids = {2, 1, 4, 0, 18, 17, uid == 46 ? 254 : 10, uid == 46 ? 255 : 11, 20, 30, 29, 25};
        for (const int mirror : {0, 1}) {
            std::vector<LayerSpec> layers;
            for (int kind = 0; kind < 34; ++kind)
                layers.push_back({kind, mirror});
            CPrintEnv env = Env(uid, colours, ids, layers);
            auto d = CreateDriver(env);
            ASSERT_NE(d, nullptr);
            const int pixels = 21, bytes = 6;
            CPrintJobOpenContext ctx = Context(colours, bytes, mirror);
            ctx.pixelWidth = pixels;
            const auto rows = layertest::RandomRows(colours.size(), 7, pixels, 2, static_cast<unsigned>(uid + mirror));
            const JobResult r = RunJob(*d, ctx, rows);
            ASSERT_EQ(r.ok, 1) << uid;
            SCOPED_TRACE("UID " + std::to_string(uid) + " mirror " + std::to_string(mirror));
            ExpectLayers(Parse(r.bytes), layers, colours, ids, rows, pixels, uid == 46);
        }
        // An empty list prints one Color layer.
        CPrintEnv env = Env(uid, colours, ids, {});
        auto d = CreateDriver(env);
        const auto rows = layertest::RandomRows(colours.size(), 4, 12, 2, 7);
        const JobResult r = RunJob(*d, Context(colours, 3), rows);
        ASSERT_EQ(r.ok, 1);
        ExpectLayers(Parse(r.bytes), {{0}}, colours, ids, rows, 12, uid == 46);
    }
    EXPECT_EQ(GlobalTempFileMgr().MemoryInUse(), 0u);
    EXPECT_EQ(GlobalTempFileMgr().OpenFiles(), 0);
}

TEST(StreamLayers, MirrorsAtEveryWidthAndPrintsSandwichHalves)
{
    for (const int uid : {53, 46})
        for (int pixels = 13; pixels <= 16; ++pixels) {
            CPrintEnv env = Env(uid, {0}, {4}, {{0, 1}, {0}});
            auto d = CreateDriver(env);
            CPrintJobOpenContext ctx = Context({0}, 4);
            ctx.pixelWidth = pixels;
            const auto rows = layertest::RandomRows(1, 3, pixels, 2, static_cast<unsigned>(pixels));
            const JobResult r = RunJob(*d, ctx, rows);
            ASSERT_EQ(r.ok, 1);
            SCOPED_TRACE(pixels);
            ExpectLayers(Parse(r.bytes), {{0, 1}, {0}}, {0}, {4}, rows, pixels, uid == 46);
        }

    // Sandwich double width: the first and second halves (H = 3 of 7 bytes
    // here) and the halves of the mirrored row.
    CPrintEnv env = Env(53, {0}, {4}, {{0}, {0, 0, 1}, {0, 1}, {0, 1, 1}});
    env.PutInt(PrEnv_SandwichDoubleWidthMode, 1);
    auto d = CreateDriver(env);
    CPrintJobOpenContext ctx = Context({0}, 7);
    ctx.altBytesPerRow = 3;
    const auto rows = layertest::RandomRows(1, 3, 28, 2, 5);
    const JobResult r = RunJob(*d, ctx, rows);
    ASSERT_EQ(r.ok, 1);
    const auto parsed = Parse(r.bytes);
    ASSERT_TRUE(parsed.ok());
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const auto& full = rows[row][0];
        const auto mirrored = layertest::MirrorPixels(full, 28, 2);
        const std::vector<std::vector<BYTE>> halves = {{full.begin(), full.begin() + 3},
                                                       {full.end() - 3, full.end()},
                                                       {mirrored.end() - 3, mirrored.end()},
                                                       {mirrored.begin(), mirrored.begin() + 3}};
        for (int layer = 0; layer < 4; ++layer) {
            const auto* plane = parsed.FindPlane({layer, 4, -1, 0, 0});
            ASSERT_NE(plane, nullptr);
            EXPECT_EQ(plane->bytesPerRow, 3);
            const auto* got = plane->RowAt(static_cast<std::int64_t>(row));
            EXPECT_EQ(got ? *got : std::vector<BYTE>(3, 0), halves[static_cast<std::size_t>(layer)]) << layer;
        }
    }
}

// Every failure path of both drivers, on a page whose layers play back
// forwards, mirrored and backwards.
TEST(StreamLayers, FailuresAbortsAndSpillsLeaveNothingBehind)
{
    for (const int uid : {53, 46}) {
        SCOPED_TRACE(uid);
        spooltest::CheckFailurePaths(Env(uid, {0, 1, 34, 30}, {4, 2, 254, 30}, {{28}, {0, 1}, {1}}),
                                     spooltest::SmallLayeredJob(),
                                     uid == 53 ? "MimakiUJF7151PlusIIDriver" : "MimakiJFX200EXDriver");
    }
}

// A slot the colour sequence names no id for fails the job with one line
// before any row; a layer whose inks the job lacks is left out; the
// JFX200EX sends a layer's colours in the order "OutputSequenceDefault" gives.
TEST(StreamLayers, SlotsColourIdsAndOutputOrder)
{
    for (const int uid : {53, 46}) {
        CPrintEnv env = Env(uid, {0, 34}, {4}, {{1}});
        auto d = CreateDriver(env);
        EXPECT_EQ(RunJob(*d, Context({0, 34}, 1), kThreeRows).ok, 0);
        EXPECT_NE(d->GetErrorString().find(L"colour id"), std::wstring::npos);

        env = Env(uid, {0, 34}, {4, 10}, {{1}, {0}});
        d = CreateDriver(env);
        const auto parsed = Parse(RunJob(*d, Context({0}, 1), kThreeRows).bytes);
        ASSERT_EQ(parsed.layers.size(), 1u);
        EXPECT_NE(parsed.FindPlane({0, 4, -1, 0, 0}), nullptr);
    }
    CPrintEnv env = Env(46, {1, 0, 3}, {2, 4, 8}, {{0}});
    env.PutString(L"OutputSequenceDefault", L"0,3");
    auto d = CreateDriver(env);
    const JobResult r = RunJob(*d, Context({1, 0, 3}, 1), {{{1}, {2}, {3}}});
    const std::string qd = Hex("51 44 0A");
    std::vector<int> order;
    for (std::size_t at = r.bytes.find(qd); at != std::string::npos; at = r.bytes.find(qd, at + 1))
        order.push_back(static_cast<BYTE>(r.bytes[at + 3]));
    EXPECT_EQ(order, (std::vector<int>{4, 8, 2}));
}

