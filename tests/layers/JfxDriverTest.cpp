// The JFX500 and JFX200 layered drivers: whole streams worked out by hand,
// round trips of every printer type through the stream parser against the
// tables kept as test data, their codes, and the failure paths.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "devparms/MimakiDevParmsUJF.h"
#include "host/SpoolBuffer.h"
#include "layers/MimakiJFX200WhiteDriver.h"
#include "tests/driver/DriverTestUtil.h"
#include "tests/layers/LayerTestSupport.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tests/layers/JfxTables.h"
#include "tools/streamdump/StreamParser.h"

namespace {

using namespace mimaki::jfx;

using spooltest::MakeWithNamedStarts;

CPrintEnv JfxEnv(int uid, const char* type, std::vector<int> kinds)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, uid);
    env.PutString(L"JFXPrinterType", std::wstring(type, type + std::strlen(type)).c_str());
    const std::wstring prefix = uid == 28 ? L"DP28_nLayer" : L"DP25_nLayer";
    kinds.resize(5, kNone);
    for (int p = 0; p < 5; ++p)
        env.PutInt((prefix + std::to_wstring(p + 1) + L"Mode").c_str(), kinds[static_cast<std::size_t>(p)]);
    return env;
}

// "QR" 1 0, "QY" 5 0..., "QD" 9 (short) or 10 (long) with code, raw and sent count.
std::string Qd(int code, int raw, int sent, bool longForm = false, int bits = 1)
{
    std::string s = Hex("51 52 01 00 51 59 05 00 00 00 00 00 51 44") +
                    Bytes({longForm ? 10 : 9, code, 0, bits, raw, 0, 1, 0, sent, 0});
    return longForm ? s + Bytes({0}) : s;
}
const std::string kBand = Hex("51 52 01 01");
const std::string kEnd = Hex("51 45 00");
const std::string kReversedEnd = Hex("51 58 05 01 00 00 00 00 51 45 00");

std::string Start(int kind, int reversed, int posKind, int pos)
{
    return Bytes({'S', kind, reversed, posKind, pos});
}

} // namespace

TEST(JfxDriver, ThreeRowsOfAWVJobWithAnUnderprintAndARecordAtTwoPositions)
{
    // White+Color underprint, Varnish Matt and Varnish Gloss (one record),
    // Color; switching to local between layers holds the print client.
    CPrintEnv env = JfxEnv(25, "WV", {3, 8, 9, 0});
    env.PutInt(L"DP25_bSwitchToLocalBetweenLayers", 1);
    env.PutInt(L"SuspendPrintClientBetweenLayers", 1);
    auto d = MakeWithNamedStarts<CMimakiWhitePrinterDriverJFX500Base, DEVPARMJFX500_v2_CLASS>(env);
    layertest::Job job;
    job.colours = {0, 34, 30}; // black, white (code 254), varnish (252)
    job.rows = {{{0x80}, {0xFF}, {0x00}}, {{0x00}, {0x0F}, {0x3C}}, {{0xC1}, {0x00}, {0x00}}};
    const auto r = layertest::RunJob(*d, job);
    ASSERT_EQ(r.ok, 1);
    const std::string varnish = kBand + Qd(252, 1, 1) + "\x3C" + kBand + kBand + kEnd;
    const std::string expected =
        // the underprint, last row first, colour before white
        Start(3, 1, 2, 0) + Qd(0, 1, 1) + "\xC1" + kBand + Qd(254, 1, 1) + "\x0F" + kBand + Qd(0, 1, 1) + "\x80" +
        Qd(254, 1, 1) + "\xFF" + kBand + kReversedEnd +
        Start(8, 0, 2, 1) + varnish + Start(9, 0, 2, 2) + varnish +
        Start(0, 0, 0, 3) + Qd(0, 1, 1) + "\x80" + kBand + kBand + Qd(0, 1, 1) + "\xC1" + kBand + kEnd;
    EXPECT_EQ(ToHex(r.bytes), ToHex(expected));
    EXPECT_EQ(d->GetLayerMarkers(), (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ(d->GetLastLayerPosition(), 3);
}

TEST(JfxDriver, AMirroredJFX200Page)
{
    // The split print area mirrors the page: the White+Color underprint goes
    // forward, Color and Double White last row first; long "QD" blocks.
    CPrintEnv env = JfxEnv(28, "WW", {3, 0, 26});
    env.PutInt(L"bJFX200", 1);
    env.PutInt(L"DP28_bSplitPrintArea", 4);
    env.PutInt(L"JFX500_White_code1", 254);
    env.PutInt(L"JFX500_White_code2", 253);
    env.PutInt(L"UseShorterQDVersion", 0);
    env.PutInt(L"KeepCurrentModeBetweenLayers", 1);
    auto d = MakeWithNamedStarts<CMimakiWhitePrinterDriverJFX200, DEVPARMJFX200_CLASS>(env);
    layertest::Job job;
    job.colours = {0, 34};
    job.width = 12; // 2 bytes, 4 bits of padding
    job.rows = {{{0x80, 0x00}, {0xF0, 0x10}}, {{0x00, 0x00}, {0x00, 0x30}}};
    LogCapture log;
    const auto r = layertest::RunJob(*d, job);
    ASSERT_EQ(r.ok, 1);
    // Mirrored: black 80 00 -> 00 10, white F0 10 -> 80 F0 and 00 30 -> C0.
    const std::string expected =
        Start(3, 0, 1, 0) + Qd(0, 2, 2, true) + Hex("00 10") + Qd(254, 2, 2, true) + Hex("80 F0") + kBand +
        Qd(254, 1, 1, true) + Hex("C0") + kBand + kEnd +
        Start(0, 1, 1, 1) + kBand + Qd(0, 2, 2, true) + Hex("00 10") + kBand + kReversedEnd +
        // Double White: one record a row where two are expected, so it is
        // sent as the colour of its channel.
        Start(26, 1, 0, 2) + Qd(254, 2, 2, true) + Hex("C0 00") + kBand + Qd(254, 2, 2, true) + Hex("80 F0") + kBand +
        kReversedEnd;
    EXPECT_EQ(ToHex(r.bytes), ToHex(expected));
    EXPECT_EQ(d->RecordsPerRow(0), 1);
    EXPECT_EQ(d->RecordsPerRow(26), 2);
    EXPECT_EQ(d->UsedPrinterCodes(), (std::vector<int>{0, 254}));
    EXPECT_TRUE(log.Contains("DEVPARMJFX200_CLASS::InitColorMap")) << "no slots: the channels' colours";
}

TEST(JfxDriver, ZeroRowsMakeNoLayerAndShortOrLongQd)
{
    CPrintEnv env = JfxEnv(25, "WW", {1, 0});
    auto d = MakeWithNamedStarts<CMimakiWhitePrinterDriverJFX500Base, DEVPARMJFX500_v2_CLASS>(env);
    layertest::Job job;
    job.colours = {0, 34};
    job.rows = {{{0x00}, {0x00}}, {{0x12}, {0x00}}};
    // White never has ink: its layer is left out; the colour layer counts
    // the blank first row.
    auto r = layertest::RunJob(*d, job);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(ToHex(r.bytes), ToHex(Start(0, 0, 0, 1) + kBand + Qd(0, 1, 1) + "\x12" + kBand + kEnd));
    job.rows = {{{0x00}, {0x00}}};
    r = layertest::RunJob(*d, job);
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.bytes, "") << "a page of zeros emits no layer";
    EXPECT_EQ(d->GetLastLayerPosition(), kNone);
    // The long form whenever an extra byte is given.
    d->SetRowHeaderByCodeEx(99, 0x1234, 0x56, 1, 7);
    EXPECT_EQ(ToHex(d->GetRowHeader()),
              ToHex(Hex("51 52 01 00 51 59 05 00 00 00 00 00 51 44 0A FF 01 01 34 12 01 00 56 00 07")));
}

namespace {

// ---------------------------------------------------------------- documented tables

using spooltest::Trim;

using jfxdoc::Doc;
using jfxdoc::kTypes;

// Each special ink's own code in the round trips, so that every plane tells
// which channel it came from.
const std::map<std::string, int> kKeyCodes = {
    {"JFX500_White_code1", 201}, {"JFX500_White_code2", 202}, {"JFX500_Finish_code1", 203},
    {"JFX500_Finish_code2", 204}, {"JFX500_Primer_code1", 205}, {"JFX500_Primer_code2", 206},
};

// The colour-code map of a page whose special-ink keys all hold kKeyCodes.
std::map<int, int> DocumentedCodes(Model m, int type)
{
    std::map<int, int> codes;
    for (int id = 0; id < 35; ++id)
        codes[id] = Doc().construction.count(id) ? Doc().construction.at(id) : 99;
    if (m == Model::JFX200) {
        for (const auto& [id, key] : std::vector<std::pair<int, std::string>>{
                 {34, "JFX500_White_code1"}, {33, "JFX500_White_code2"}, {30, "JFX500_Finish_code1"},
                 {29, "JFX500_Finish_code2"}, {25, "JFX500_Primer_code1"}, {26, "JFX500_Primer_code2"}})
            codes[id] = kKeyCodes.at(key);
        codes[8] = codes[9] = 99; // no "OutputSequenceDefault"
    } else if (Doc().initCodes.count(type)) {
        for (const auto& c : Doc().initCodes.at(type))
            codes[c.id] = kKeyCodes.at(c.key);
    }
    return codes;
}

using Plane = std::vector<std::vector<BYTE>>; // page rows, trailing zeros cut
// Per printer code, per page row: the records of that code in the order sent
// (two channels may share a code; blank records are not sent).
using Planes = std::map<int, std::vector<std::vector<std::vector<BYTE>>>>;

// The planes (code, occurrence) of one emitted record, from the tables.
Planes ExpectedLayer(Model m, int record, bool underprint, bool mirror,
                                                   const std::vector<int>& ids, const std::vector<Plane>& fed,
                                                   const std::map<int, int>& codes)
{
    struct Src {
        int ch, id;
    };
    std::vector<Src> srcs;
    for (std::size_t ch = 0; ch < ids.size(); ++ch) {
        const auto& d = Doc().dist.count(ids[ch]) ? Doc().dist.at(ids[ch]) : Doc().dist.at(-1);
        for (int kind : d.kinds[m == Model::JFX200])
            if (Doc().record.at(kind) == record)
                srcs.push_back({static_cast<int>(ch), ids[ch]});
    }
    auto spotId = [](int id) { return (id >= 17 && id <= 22) || (id >= 24 && id <= 34); };
    auto code = [&](int id) { return codes.at(id); };
    auto orElse = [&](int a, int b) { return code(a) == 99 ? code(b) : code(a); };
    const bool reversed = underprint != mirror;
    Planes out;
    auto put = [&](int c, const Plane& rows) {
        if (std::all_of(rows.begin(), rows.end(), [](const auto& r) { return r.empty(); }))
            return;
        auto& plane = out[c == 99 ? 255 : c];
        plane.resize(rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (!rows[r].empty())
                plane[r].push_back(rows[r]);
    };
    if (reversed) // colours before spot inks
        std::sort(srcs.begin(), srcs.end(), [&](const Src& a, const Src& b) {
            return std::make_pair(spotId(a.id), a.ch) < std::make_pair(spotId(b.id), b.ch);
        });
    int colours = 0;
    for (int id : ids)
        colours += !spotId(id);
    // Records per row of a reverse buffer: colours and the spot ink, but on
    // a mirrored page the colour record has no spot ink and the single-ink
    // records only it.
    int rpr = colours + 1;
    if (mirror && !underprint)
        rpr = record == 0 ? colours : (record == 1 || record == 2 || record == 10 || record == 11 || record == 15) ? 1
                                                                                                                    : colours + 1;
    for (std::size_t k = 0; k < srcs.size(); ++k) {
        const Src& s = srcs[k];
        const Plane& rows = fed[static_cast<std::size_t>(s.ch)];
        std::vector<int> cs;
        if (!reversed) {
            const auto& d = Doc().dist.count(s.id) ? Doc().dist.at(s.id) : Doc().dist.at(-1);
            const int fb = d.fallback[m == Model::JFX200];
            const int c = d.code < 0 ? code(s.id) : fb < 0 ? code(d.code) : orElse(d.code, fb);
            const bool twice = m == Model::JFX200 && (s.id == 33 || s.id == 34) && record >= 26 && record <= 31;
            cs = twice ? std::vector<int>{kKeyCodes.at("JFX500_White_code1"), kKeyCodes.at("JFX500_White_code2")}
                       : std::vector<int>{c};
        } else {
            const int n = static_cast<int>(srcs.size()), ki = static_cast<int>(k);
            bool isSpot = false, isColour = false;
            if (!mirror) {
                isSpot = ki == n - 1 && spotId(s.id);
                isColour = !isSpot;
            } else {
                const int col = rpr == colours ? rpr : rpr - 1;
                isColour = ki < col;
                isSpot = ki == rpr - 1 && rpr != colours;
            }
            if (isColour)
                cs = {code(s.id)};
            if (isSpot) {
                const auto& table = Doc().spot[mirror];
                for (int id : table.count(record) ? table.at(record) : table.count(-1) ? table.at(-1)
                                                                                        : std::vector<int>{})
                    cs.push_back(id == -25 ? orElse(25, 26) : id == -30 ? orElse(30, 29) : code(id));
            }
        }
        for (int c : cs)
            put(c, rows);
    }
    return out;
}

} // namespace

TEST(JfxDriver, EveryPrinterTypeOfBothClassesRoundTripsEachPlaneIntoItsLayers)
{
    std::mt19937 gen(11);
    const int width = 20, nRows = 6; // 5 bytes a row at 2 bits
    // Every special ink, and the page without white: its underprints hold
    // colours only.
    for (const std::vector<int>& ids : {std::vector<int>{0, 1, 2, 3, 34, 33, 30, 29, 25, 26, 24},
                                        std::vector<int>{3, 0, 30, 2, 25}})
    for (const Model m : {Model::JFX500, Model::JFX200})
        for (int type = 0; type < 7; ++type)
            for (const int mode : {0, 2})
                for (const bool mirror : m == Model::JFX200 ? std::vector<bool>{false, true} : std::vector<bool>{false}) {
                    const std::string flag = m == Model::JFX200 ? "JFX200" : "—";
                    if (!Doc().lists.count({type, flag}))
                        continue;
                    const auto& lists = Doc().lists.at({type, flag});
                    std::vector<int> kinds = mode == 2 ? lists.second : lists.first;
                    kinds.erase(kinds.begin()); // "None"
                    for (std::size_t first = 0; first < kinds.size(); first += 5) {
                        const std::vector<int> chunk(kinds.begin() + static_cast<long>(first),
                                                     kinds.begin() + static_cast<long>(std::min(kinds.size(), first + 5)));
                        CPrintEnv env = JfxEnv(m == Model::JFX200 ? 28 : 25, kTypes[type], chunk);
                        env.PutString(L"JFXLayerMode", mode == 2 ? L"INLINE" : L"STAGGERED");
                        env.PutInt(L"bJFX200", m == Model::JFX200);
                        env.PutInt(L"DP28_bSplitPrintArea", mirror ? 4 : 0);
                        for (const auto& [key, code] : kKeyCodes)
                            env.PutInt(std::wstring(key.begin(), key.end()).c_str(), code);
                        auto d = CreateDriver(env);
                        ASSERT_NE(d, nullptr);
                        // Random rows, row 2 blank everywhere, some channels blank in a row.
                        std::vector<Plane> fed(ids.size(), Plane(nRows));
                        layertest::Job job;
                        job.colours = ids;
                        job.width = width;
                        job.bits = 2;
                        job.compress = static_cast<int>(first / 5 % 2);
                        job.rows.assign(nRows, {});
                        for (int r = 0; r < nRows; ++r)
                            for (std::size_t ch = 0; ch < ids.size(); ++ch) {
                                std::vector<BYTE> row(5, 0);
                                if (r != 2 && gen() % 4)
                                    for (auto& b : row)
                                        b = gen() % 3 ? static_cast<BYTE>(gen()) : 0;
                                job.rows[static_cast<std::size_t>(r)].push_back(row);
                                fed[ch][static_cast<std::size_t>(r)] =
                                    Trim(mirror ? layertest::MirrorPixels(row, width, 2) : row);
                            }
                        const auto res = layertest::RunJob(*d, job);
                        ASSERT_EQ(res.ok, 1);
                        const auto parsed = streamparse::ParseStream(res.bytes);
                        const std::string where = std::to_string(ids.size()) + " channels " +
                                                  std::string(m == Model::JFX200 ? "JFX200 " : "JFX500 ") +
                                                  kTypes[type] + " mode " + std::to_string(mode) +
                                                  (mirror ? " mirrored" : "") + " kinds from " + std::to_string(first);
                        ASSERT_TRUE(parsed.ok()) << where << ": " << parsed.errors[0].message;
                        const auto codes = DocumentedCodes(m, type);
                        int layer = 0;
                        for (const int kind : chunk) {
                            const int rec = Doc().record.at(kind);
                            bool underprint = false;
                            for (int k : chunk)
                                underprint = underprint || (Doc().record.at(k) == rec && Doc().reversed[m == Model::JFX200].count(k));
                            const bool reversed = underprint != mirror;
                            const auto expected = ExpectedLayer(m, rec, underprint, mirror, ids, fed, codes);
                            if (expected.empty())
                                continue; // no channel of the page prints the record: no layer
                            Planes got;
                            for (const auto& p : parsed.planes) { // occurrences in the order sent
                                if (p.key.layer != layer)
                                    continue;
                                auto& plane = got[p.key.colour];
                                plane.resize(nRows);
                                for (const auto& row : p.rowData)
                                    if (!Trim(row.bytes).empty())
                                        plane[static_cast<std::size_t>(reversed ? nRows - 1 - row.index : row.index)]
                                            .push_back(Trim(row.bytes));
                            }
                            EXPECT_EQ(got, expected) << where << " kind " << kind << " (record " << rec << ")";
                            ++layer;
                        }
                        EXPECT_EQ(static_cast<int>(parsed.layers.size()), std::max(layer, 1)) << where;
                        EXPECT_EQ(res.bytes.empty(), layer == 0) << where;
                        EXPECT_EQ(d->GetLayerMarkers().size(), static_cast<std::size_t>(layer)) << where;
                    }
                }
}

TEST(JfxDriver, ColourCodesOfBothFormsAsDocumented)
{
    for (int type = 0; type < 7; ++type) {
        CPrintEnv env = JfxEnv(25, kTypes[type], {0});
        auto d = CreateDriver(env);
        auto* jfx = dynamic_cast<CMimakiWhitePrinterDriverJFX500Base*>(d.get());
        ASSERT_NE(jfx, nullptr);
        // The keys' defaults, the keys holding 99 (then the type's inks fall
        // back), and the keys set.
        const std::map<int, int>& after = Doc().afterwards.count(type) ? Doc().afterwards.at(type) : std::map<int, int>{};
        auto fallback = [&](int id, int code) { return code == 99 && after.count(id) ? after.at(id) : code; };
        for (const int held : {-1, 99, 1}) {
            if (held >= 0)
                for (const auto& [key, code] : kKeyCodes)
                    env.PutInt(std::wstring(key.begin(), key.end()).c_str(), held == 99 ? 99 : code);
            jfx->InitColourCodes(&env);
            for (const auto& c : Doc().initCodes.at(type))
                EXPECT_EQ(jfx->ColourCode(c.id), held < 0 ? fallback(c.id, c.fallback) : held == 99 ? fallback(c.id, 99)
                                                                                                   : kKeyCodes.at(c.key))
                    << kTypes[type] << " " << c.id << " keys " << held;
        }
    }
    // The JFX200 form: no fall-backs; light inks only from the output sequence.
    CPrintEnv env = JfxEnv(28, "WV", {0});
    env.PutString(L"OutputSequenceDefault", L"0,1,2,3,9");
    auto d = CreateDriver(env);
    auto* jfx200 = dynamic_cast<CMimakiWhitePrinterDriverJFX200*>(d.get());
    ASSERT_NE(jfx200, nullptr);
    jfx200->InitColourCodes(&env);
    for (int id : {34, 33, 30, 29, 25, 26})
        EXPECT_EQ(jfx200->ColourCode(id), 99) << id;
    for (const auto& [id, code] : Doc().construction) {
        const int expected = id == 8 ? 99 : id == 9 ? 17 : code;
        EXPECT_EQ(jfx200->ColourCode(id), expected) << id;
    }
    jfx200->SetColourCode(35, 1); // ignored
    EXPECT_EQ(jfx200->ColourCode(35), 99);
}

TEST(JfxDriver, LayerSupportAndTheGlossLog)
{
    CPrintEnv env = JfxEnv(25, "WV", {0});
    env.PutInt(L"SkipGlossLayer", 1);
    auto d = CreateDriver(env);
    auto* jfx = dynamic_cast<CMimakiWhitePrinterDriverJFX500Base*>(d.get());
    ASSERT_NE(jfx, nullptr);
    LogCapture log(8);
    EXPECT_EQ(jfx->IsMultiLayerSupported(9), 0);
    EXPECT_TRUE(log.Contains("CMimakiWhitePrinterDriverJFX500Base::IsMultiLayerSupported#"));
    EXPECT_TRUE(log.Contains("Gloss layer is not yet supported for this printer (needs conversion of print resolution)"));
    EXPECT_EQ(jfx->IsMultiLayerSupported(23), 0);
    EXPECT_EQ(jfx->IsBasicLayerSupported(7), 0);
    EXPECT_EQ(jfx->IsBasicLayerSupported(8), 1);
    EXPECT_EQ(jfx->getMultiLayersNumber(2, 2), 7);
    EXPECT_EQ(jfx->GetMultiLayerName(26), "***Unknown multi-layer***");
    env.PutInt(L"bUJF7151", 1);
    EXPECT_EQ(jfx->IsMultiLayerSupported(23), 1);
    EXPECT_EQ(jfx->IsBasicLayerSupported(7), 1);
    EXPECT_EQ(jfx->getMultiLayersNumber(2, 2), 10);
    EXPECT_EQ(ToHex(jfx->GetFeedCommand(70000)), ToHex(Hex("51 58 05 01 70 11 01 00 51 52 01 00")));
}

// ---------------------------------------------------------------- failures

TEST(JfxDriver, FailuresAbortsAndSpillsLeaveNothingBehind)
{
    spooltest::CheckFailurePaths(JfxEnv(25, "WV", {3, 0, 8}), spooltest::SmallLayeredJob(), "MimakiJFX500WhiteDriver");
}
