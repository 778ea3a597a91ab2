// The UJF layer arrangements: a whole small job by hand, round trips of
// every arrangement through the stream parser, and the failure paths.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>

#include "devparms/MimakiDevParms.h"
#include "layers/MimakiWhiteDriverUJF.h"
#include "tests/driver/DriverTestUtil.h"
#include "tests/layers/FlatbedTestSupport.h"
#include "tools/streamdump/StreamParser.h"

namespace {

const char* const kNames[7] = {"WW", "VV", "WV", "PP", "WP", "VP", "WVP"};

// Layer labels per arrangement, from the table kept as test data.
std::map<std::string, std::vector<std::string>> LayerKinds()
{
    std::ifstream in(std::string(MIMAKI_SOURCE_DIR) + "/tests/layers/data/ujf_layer_kinds.md");
    std::map<std::string, std::vector<std::string>> kinds;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| ", 0) != 0 || line.find('"') == std::string::npos)
            continue;
        const std::string cls = line.substr(2, line.find(' ', 2) - 2);
        std::vector<std::string> labels;
        for (std::size_t q = line.find('"'); q != std::string::npos; q = line.find('"', line.find('"', q + 1) + 1))
            labels.push_back(line.substr(q + 1, line.find('"', q + 1) - q - 1));
        kinds[cls] = labels;
    }
    return kinds;
}

CPrintEnv UjfEnv(int typ, std::vector<int> modes, int uid = 19)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, uid);
    env.PutInt(L"UJFPrinterTyp", typ);
    const std::wstring prefix = uid == 19 ? L"DP19_nLayer" : L"DP20_nLayer";
    modes.resize(5, 0);
    for (int p = 0; p < 5; ++p)
        env.PutInt((prefix + std::to_wstring(p + 1) + L"Mode").c_str(), modes[static_cast<std::size_t>(p)]);
    return env;
}


std::string Start(CPrinterDriverBase& d, int layer, int reversed, int a, int b)
{
    return static_cast<CMimakiDevParmsBase*>(d.GetDevParms())->GetLayerStartString(&d, layer, reversed, a, b);
}

const std::string kQD = "51 59 05 00 00 00 00 00 51 52 01 00 51 44 07";

} // namespace

TEST(UJFLayers, FactoryBuildsEveryArrangementWithItsLayerKinds)
{
    const auto kinds = LayerKinds();
    for (int typ = 0; typ < 7; ++typ) {
        CPrintEnv env = UjfEnv(typ, {1});
        auto d = CreateDriver(env);
        auto* ujf = dynamic_cast<CMimakiWhitePrinterDriverUJFBase*>(d.get());
        ASSERT_NE(ujf, nullptr) << typ;
        EXPECT_EQ(ClassName(typeid(*ujf)), std::string("CMimakiWhitePrinterDriverUJF_") + kNames[typ]);
        const auto& labels = ujf->GetVariant().labels;
        EXPECT_EQ(std::vector<std::string>(labels.begin(), labels.end()), kinds.at(kNames[typ])) << kNames[typ];
        EXPECT_EQ(ujf->GetBandTrailer(), Hex("51 52 01 01"));
        EXPECT_EQ(ujf->GetCommandSet(), 4);
    }
    for (int typ : {7, -1}) {
        CPrintEnv env = UjfEnv(typ, {1});
        EXPECT_EQ(CreateDriver(env), nullptr);
    }
}

// WV, positions: Color&White Underprint, Color, Varnish Gloss Finish. Two
// rows of black, cyan, white and varnish, 2 bytes a row, not compressed.
TEST(UJFLayers, WholeStreamOfTheWVArrangementByHand)
{
    CPrintEnv env = UjfEnv(2, {3, 1, 8});
    auto d = CreateDriver(env);
    ASSERT_NE(d, nullptr);
    const std::vector<Row> rows = {
        {{0x11, 0x22}, {0x00, 0x00}, {0x33, 0x00}, {0x44, 0x55}},
        {{0x00, 0x00}, {0x66, 0x00}, {0x77, 0x88}, {0x00, 0x99}},
    };
    const JobResult r = RunJob(*d, Context({0, 1, 34, 30}, 2, 0, 600), rows);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.callsAfterFailure, 0u);
    // Underprint: last row first, every record at the full row width and
    // uncompressed, white (254) after the colours.
    const std::string under = Hex(kQD + " 00 00 02 02 00 01 00  00 00" + kQD + " 02 00 02 02 00 01 00  66 00" + kQD +
                                  " FE 00 02 02 00 01 00  77 88  51 52 01 01" + kQD + " 00 00 02 02 00 01 00  11 22" +
                                  kQD + " 02 00 02 02 00 01 00  00 00" + kQD + " FE 00 02 02 00 01 00  33 00  51 52 01 01" +
                                  "51 45 00");
    // Colour: the trimmed counts; a row of cyan with no ink still has its header.
    const std::string colour = Hex(kQD + " 00 00 02 02 00 01 00  11 22" + kQD + " 02 00 02 00 00 01 00  51 52 01 01" +
                                   kQD + " 00 00 02 00 00 01 00" + kQD + " 02 00 02 01 00 01 00  66  51 52 01 01" +
                                   "51 45 00");
    const std::string gloss = Hex(kQD + " FF 00 02 02 00 01 00  44 55  51 52 01 01" + kQD +
                                  " FF 00 02 02 00 01 00  00 99  51 52 01 01  51 45 00");
    const std::string expected = Start(*d, 2, 1, 1, 1) + under + Start(*d, 0, 0, 1, 1) + colour +
                                 Start(*d, 7, 0, 1, 0) + gloss + Start(*d, 7, 1, 0, 1) + gloss;
    EXPECT_EQ(ToHex(r.bytes), ToHex(expected));
}

// One-row jobs of every arrangement, worked out from the tables: which
// layer gets which record under which code, underprints at the full row
// width with the spot ink last.
TEST(UJFLayers, OneRowStreamsOfEveryArrangementByHand)
{
    struct Emitted {
        int layer, reversed;
        std::string hex;
    };
    struct Case {
        const char* what;
        int uid, typ;
        std::vector<int> modes, colours;
        Row row;
        std::vector<std::pair<const wchar_t*, int>> ints;
        const wchar_t* slots;
        std::vector<Emitted> out;
    };
    const std::string K = kQD + " 00 00 02 02 00 01 00 01 02";  // black 01 02
    const std::string end = " 51 52 01 01 51 45 00";
    const Case cases[] = {
        {"WW C&W Underprint", 19, 0, {3}, {0, 34}, {{1, 2}, {3, 0}}, {}, nullptr,
         {{2, 1, K + kQD + " FE 00 02 02 00 01 00 03 00" + end}}},
        {"VV C&V Overprint", 19, 1, {3}, {0, 30}, {{1, 2}, {3, 0}}, {}, nullptr,
         {{2, 0, K + kQD + " FF 00 02 01 00 01 00 03" + end}}},
        {"PP C&P Underprint: primer twice under 255", 19, 3, {2}, {0, 25}, {{1, 2}, {3, 0}}, {}, nullptr,
         {{1, 1, K + kQD + " FF 00 02 02 00 01 00 03 00" + kQD + " FF 00 02 02 00 01 00 03 00" + end}}},
        {"PP on the UJF706: no underprint, primer 255 and 253", 20, 3, {2}, {0, 25}, {{1, 2}, {3, 0}}, {}, nullptr,
         {{1, 0, K + kQD + " FF 00 02 01 00 01 00 03" + kQD + " FD 00 02 01 00 01 00 03" + end}}},
        {"WP C&P Underprint, second primer code -1", 19, 4, {5}, {0, 25}, {{1, 2}, {3, 0}},
         {{L"Prime1_Code1", 252}, {L"Prime1_Code2", -1}}, nullptr,
         {{4, 1, K + kQD + " FC 00 02 02 00 01 00 03 00" + end}}},
        {"WP White with two white codes", 19, 4, {2}, {34}, {{3, 0}}, {{L"White1_Code1", 254}, {L"White1_Code2", 255}},
         nullptr, {{1, 0, kQD + " FE 00 02 01 00 01 00 03" + kQD + " FF 00 02 01 00 01 00 03" + end}}},
        {"VP Primer with 8 slots", 19, 5, {7}, {26}, {{3, 0}}, {}, L"1`2`3`4`5`6`7`8",
         {{6, 0, kQD + " FC 00 02 01 00 01 00 03" + kQD + " FB 00 02 01 00 01 00 03" + end}}},
        {"VP Varnish Matt with 4 slots", 19, 5, {4}, {30}, {{3, 0}}, {}, L"1`2`3`4",
         {{3, 0, kQD + " FF 00 02 01 00 01 00 03" + kQD + " FF 00 02 01 00 01 00 03" + end}}},
        {"VP C&V Underprint with 8 slots", 19, 5, {2}, {0, 30}, {{1, 2}, {3, 0}}, {}, L"1`2`3`4`5`6`7`8",
         {{1, 1, K + kQD + " FF 00 02 02 00 01 00 03 00" + kQD + " FD 00 02 02 00 01 00 03 00" + end}}},
        {"WVP C&W Underprint", 19, 6, {4}, {0, 34}, {{1, 2}, {3, 0}}, {}, nullptr,
         {{3, 1, K + kQD + " FE 00 02 02 00 01 00 03 00" + kQD + " FF 00 02 02 00 01 00 03 00" + end}}},
        {"WV: Color twice, White without data skipped", 19, 2, {1, 2, 1}, {0}, {{1, 2}}, {}, nullptr,
         {{0, 0, K + end}, {0, 0, K + end}}},
        {"WW: midlayer 22 under printer code 0", 19, 0, {5}, {22}, {{3, 0}}, {}, nullptr,
         {{4, 0, kQD + " 00 00 02 01 00 01 00 03" + end}}},
        // Only the spot ink's record takes the spot codes; every other channel
        // of an underprint keeps its own code, whatever its host code.
        {"WV C&W Underprint: host code 19 stays 252", 19, 2, {3}, {0, 19, 34}, {{1, 2}, {4, 0}, {3, 0}}, {}, nullptr,
         {{2, 1, K + kQD + " FC 00 02 02 00 01 00 04 00" + kQD + " FE 00 02 02 00 01 00 03 00" + end}}},
        {"VP C&V Underprint: midlayer 24 is a colour there", 19, 5, {2}, {0, 24, 30}, {{1, 2}, {4, 0}, {3, 0}}, {},
         nullptr, {{1, 1, K + kQD + " 00 00 02 02 00 01 00 04 00" + kQD + " FF 00 02 02 00 01 00 03 00" + end}}},
        {"WP White, first white code -1", 19, 4, {2}, {34}, {{3, 0}}, {{L"White1_Code1", -1}, {L"White1_Code2", 254}},
         nullptr, {{1, 0, kQD + " FE 00 02 01 00 01 00 03" + end}}},
        {"WP C&W Underprint, first white code -1", 19, 4, {3}, {0, 34}, {{1, 2}, {3, 0}},
         {{L"White1_Code1", -1}, {L"White1_Code2", 254}}, nullptr,
         {{2, 1, K + kQD + " FE 00 02 02 00 01 00 03 00" + end}}},
        // "DoubleSpotInk": white under 254 and 255, varnish under 255 and 253.
        {"WW White, double spot ink", 19, 0, {2}, {34}, {{0x12, 0x34}}, {{L"DoubleSpotInk", 1}}, nullptr,
         {{1, 0, kQD + " FE 00 02 02 00 01 00 12 34" + kQD + " FF 00 02 02 00 01 00 12 34" + end}}},
        {"WW White2, double spot ink", 19, 0, {6}, {33}, {{0x12, 0x34}}, {{L"DoubleSpotInk", 1}}, nullptr,
         {{5, 0, kQD + " FE 00 02 02 00 01 00 12 34" + kQD + " FF 00 02 02 00 01 00 12 34" + end}}},
        {"VV Varnish, double spot ink", 19, 1, {4}, {30}, {{0x12, 0x34}}, {{L"DoubleSpotInk", 1}}, nullptr,
         {{3, 0, kQD + " FF 00 02 02 00 01 00 12 34" + kQD + " FD 00 02 02 00 01 00 12 34" + end}}},
    };
    for (const Case& c : cases) {
        CPrintEnv env = UjfEnv(c.typ, c.modes, c.uid);
        for (const auto& [key, value] : c.ints)
            env.PutInt(key, value);
        if (c.slots)
            env.PutString(L"SlotsSetting", c.slots);
        auto d = CreateDriver(env);
        ASSERT_NE(d, nullptr) << c.what;
        const JobResult r = RunJob(*d, Context(c.colours, 2, 0, 600), {c.row});
        ASSERT_EQ(r.ok, 1) << c.what;
        std::string expected;
        for (const Emitted& e : c.out)
            expected += Start(*d, e.layer, e.reversed, 1, 1) + Hex(e.hex);
        EXPECT_EQ(ToHex(r.bytes), ToHex(expected)) << c.what;
    }
}

namespace {

// Where each channel goes, by layer label, and its printer codes; the
// spot codes of each underprint layer. Settings: "DoubleSpotInk" 0, no
// "SlotsSetting" (fewer than 8 slots), WP white codes 254/-1 and primer
// codes 252/251.
struct ChannelRule {
    int host;
    std::vector<std::string> layers;
    std::vector<int> codes;
};
struct Arrangement {
    std::vector<ChannelRule> channels;
    std::map<std::string, std::vector<int>> spot; // underprint layer -> spot codes
};

std::map<std::string, Arrangement> Arrangements()
{
    const std::string CWU = "Color&White Underprint", CWO = "Color&White Overprint";
    const std::string CVU = "Color&Varnish Underprint", CVO = "Color&Varnish Overprint";
    const std::string CPU = "Color&Primer Underprint";
    std::map<std::string, Arrangement> a;
    a["WW"] = {{{0, {"Color", CWU, CWO}, {0}},
                {1, {"Color", CWU, CWO}, {2}},
                {34, {"White", CWU, CWO}, {254}},
                {33, {"White2"}, {254}},
                {24, {"Midlayer"}, {0}},
                {22, {"Midlayer"}, {0}}},
               {{CWU, {254}}}};
    a["VV"] = {{{0, {"Color", CVU, CVO}, {0}},
                {1, {"Color", CVU, CVO}, {2}},
                {30, {"Varnish Matt Finish", "Varnish Gloss Finish", CVU, CVO}, {255}}},
               {{CVU, {255}}}};
    a["WV"] = {{{0, {"Color", CWU, CWO, CVU, CVO}, {0}},
                {1, {"Color", CWU, CWO, CVU, CVO}, {2}},
                {19, {"Color", CWU, CWO, CVU, CVO}, {252}},
                {34, {"White", CWU, CWO}, {254}},
                {33, {"White2"}, {254}},
                {30, {"Varnish Matt Finish", "Varnish Gloss Finish", CVU, CVO}, {255}},
                {24, {"Midlayer"}, {0}}},
               {{CWU, {254}}, {CVU, {255}}}};
    a["PP"] = {{{0, {"Color", CPU}, {0}}, {1, {"Color", CPU}, {2}}, {25, {"Primer", CPU}, {255, 253}}},
               {{CPU, {255, 255}}}};
    a["WP"] = {{{0, {"Color", CWU, CWO, CPU}, {0}},
                {1, {"Color", CWU, CWO, CPU}, {2}},
                {34, {"White", CWU, CWO}, {254}},
                {33, {"White2"}, {254}},
                {25, {"Primer", CPU}, {252, 251}},
                {24, {"Midlayer"}, {0}}},
               {{CWU, {254}}, {CPU, {252, 251}}}};
    a["VP"] = {{{0, {"Color", CVU, CVO, CPU}, {0}},
                {1, {"Color", CVU, CVO, CPU}, {2}},
                {24, {"Color", CVU, CVO, CPU}, {0}},
                {30, {CVU, CVO, "Varnish Matt finish", "Varnish Gloss finish"}, {255, 255}},
                {26, {"Primer", CPU}, {253, 255}}},
               {{CVU, {255}}, {CPU, {253}}}};
    a["WVP"] = {{{0, {"Color", CWU, CWO, CVU, CVO, CPU}, {0}},
                 {1, {"Color", CWU, CWO, CVU, CVO, CPU}, {2}},
                 {34, {"White", CWU, CWO}, {254, 255}},
                 {33, {"White2"}, {254, 255}},
                 {29, {"Primer", CPU}, {252, 255}},
                 {30, {"Varnish Matt finish", "Varnish Gloss finish", CVU, CVO}, {253, 255}},
                 {24, {"Midlayer"}, {0}}},
                {{"Color&White Underprint", {254, 255}}, {CVU, {253}}, {CPU, {252}}}};
    return a;
}

using Plane = std::vector<std::vector<BYTE>>; // rows of one channel

std::vector<BYTE> Pad(std::vector<BYTE> row, std::size_t n)
{
    row.resize(n, 0);
    return row;
}

// Checks one emitted layer of the parsed stream against the fed planes.
void CheckLayer(const streamparse::ParseResult& parsed, int parsedLayer, const std::string& label,
                const Arrangement& arr, const std::vector<Plane>& fed, std::size_t width, const std::string& where)
{
    const bool under = label.find("Underprint") != std::string::npos;
    std::map<int, int> occurrence;
    std::size_t expectedPlanes = 0;
    auto expectPlane = [&](int code, const Plane& plane) {
        const int occ = occurrence[code]++;
        const streamparse::Plane* p = parsed.FindPlane(streamparse::PlaneKey{parsedLayer, code, -1, -1, occ});
        ++expectedPlanes;
        if (!p) {
            ADD_FAILURE() << where << " " << label << ": no plane of code " << code << " occurrence " << occ;
            return;
        }
        const auto rows = p->DenseRows();
        ASSERT_EQ(rows.size(), plane.size()) << where << " " << label << " code " << code;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto& want = plane[under ? plane.size() - 1 - r : r];
            EXPECT_EQ(Pad(rows[r], width), Pad(want, width)) << where << " " << label << " code " << code << " row " << r;
        }
    };
    // Colour channels first (in channel order), the special ink's records
    // last in an underprint.
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t ch = 0; ch < arr.channels.size(); ++ch) {
            const ChannelRule& rule = arr.channels[ch];
            if (std::find(rule.layers.begin(), rule.layers.end(), label) == rule.layers.end())
                continue;
            // A special ink never prints in the colour layer.
            const bool spot = under && std::find(rule.layers.begin(), rule.layers.end(), "Color") == rule.layers.end();
            if ((pass == 1) != (under && spot))
                continue;
            const std::vector<int>& codes = under && spot ? arr.spot.at(label) : rule.codes;
            for (int code : codes)
                expectPlane(code, fed[ch]);
        }
    std::size_t planesInLayer = 0;
    for (const auto& p : parsed.planes)
        planesInLayer += p.key.layer == parsedLayer;
    EXPECT_EQ(planesInLayer, expectedPlanes) << where << " " << label;
}

} // namespace

TEST(UJFLayers, EveryArrangementRoundTripsEachPlaneIntoItsLayers)
{
    const auto kinds = LayerKinds();
    const auto arrangements = Arrangements();
    std::mt19937 gen(7);
    for (int typ = 0; typ < 7; ++typ) {
        const auto& labels = kinds.at(kNames[typ]);
        const Arrangement& arr = arrangements.at(kNames[typ]);
        // Every layer kind at some position, five at a time, last kind first.
        for (std::size_t first = 0; first < labels.size(); first += 5) {
            std::vector<int> modes;
            for (std::size_t i = std::min(labels.size(), first + 5); i-- > first;)
                modes.push_back(static_cast<int>(i) + 1);
            for (int compress : {0, 1}) {
                CPrintEnv env = UjfEnv(typ, modes);
                env.PutInt(L"White1_Code1", 254);
                env.PutInt(L"White1_Code2", -1);
                env.PutInt(L"Prime1_Code1", 252);
                env.PutInt(L"Prime1_Code2", 251);
                auto d = CreateDriver(env);
                ASSERT_NE(d, nullptr);
                const std::size_t width = 9, nRows = 4;
                std::vector<int> colours;
                std::vector<Plane> fed(arr.channels.size(), Plane(nRows));
                for (std::size_t ch = 0; ch < arr.channels.size(); ++ch) {
                    colours.push_back(arr.channels[ch].host);
                    for (auto& row : fed[ch]) {
                        row.resize(width);
                        for (auto& b : row)
                            b = gen() % 3 ? static_cast<BYTE>(gen()) : 0;
                        row[0] |= 1; // no blank rows
                    }
                }
                std::vector<Row> rows(nRows);
                for (std::size_t r = 0; r < nRows; ++r)
                    for (std::size_t ch = 0; ch < fed.size(); ++ch)
                        rows[r].push_back(fed[ch][r]);
                const JobResult res = RunJob(*d, Context(colours, static_cast<int>(width), compress, 600), rows);
                ASSERT_EQ(res.ok, 1);
                const auto parsed = streamparse::ParseStream(reinterpret_cast<const std::uint8_t*>(res.bytes.data()),
                                                             res.bytes.size());
                const std::string where = std::string(kNames[typ]) + " from " + std::to_string(first) +
                                          (compress ? " packed" : "");
                EXPECT_TRUE(parsed.ok()) << where << ": " << (parsed.errors.empty() ? "" : parsed.errors[0].message);
                int parsedLayer = 0;
                for (int m : modes) {
                    const std::string& label = labels[static_cast<std::size_t>(m - 1)];
                    const int times = label == "Varnish Gloss Finish" ? 2 : 1;
                    for (int t = 0; t < times; ++t)
                        CheckLayer(parsed, parsedLayer++, label, arr, fed, width, where);
                }
                EXPECT_EQ(static_cast<int>(parsed.layers.size()), parsedLayer) << where;
            }
        }
    }
}

// Every failure path, with every layer (underprint included) rebuilt from
// spilled rows.
TEST(UJFLayers, FailurePathsLeaveNothingBehind)
{
    spooltest::CheckFailurePaths(UjfEnv(2, {3, 1, 8, 5}), spooltest::SmallLayeredJob(), "MimakiWhiteDriver");
}

// Output start sets the host's two fields (8, and whether the pass setting
// is below 80) and sends the page's leading blank rows through the layers,
// as the same rows handed over blank would go.
TEST(UJFLayers, OutputStartFieldsAndLeadingBlankRows)
{
    for (const int pass : {79, 80}) {
        CPrintEnv env = UjfEnv(2, {3, 1});
        env.PutInt(L"DP19_nPass", pass);
        auto lead = CreateDriver(env);
        auto fed = CreateDriver(env);
        ASSERT_NE(lead, nullptr);
        const Row ink = {{0x11, 0x22}, {0x33, 0x00}};
        const Row blank = {{0, 0}, {0, 0}};
        CPrintJobOpenContext ctx = Context({0, 34}, 2, 1, 600);
        ctx.leadingRows = 2;
        const JobResult a = RunJob(*lead, ctx, {ink, ink});
        const JobResult b = RunJob(*fed, Context({0, 34}, 2, 1, 600), {blank, blank, ink, ink});
        ASSERT_EQ(a.ok, 1);
        EXPECT_EQ(ToHex(a.bytes), ToHex(b.bytes));
        EXPECT_EQ(lead->GetLayerFieldValue(), 8);
        EXPECT_EQ(lead->GetLayerFieldFewPasses(), pass < 80);
    }
}
