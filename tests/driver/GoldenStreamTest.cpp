// The golden streams: one small fixed job per UID that prints and per option
// set that changes its stream (command set, compression, white and layer
// modes), hashed. Any change of a stream fails here; scripts/regen-golden.sh
// writes the list anew for review. A UID whose driver is built and that has
// no entry fails too, so a new driver comes with its hashes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "driver/MimakiBaseDriver.h"
#include "host/UnivDevParmsBase.h"
#include "layers/LayerBasis.h"
#include "tests/driver/DriverTestUtil.h"
#include "tools/common/PrinterDefinitions.h"
#include "tools/common/Sha256.h"

namespace {

using Settings = std::vector<std::pair<std::wstring, int>>;

struct Variant {
    std::string name;
    Settings settings;
    std::vector<int> colours;
};

const std::vector<int> kCmyk = {0, 1, 2, 3};
const std::vector<int> kWhite = {0, 1, 2, 3, 34};
const std::vector<int> kWhiteClear = {0, 1, 2, 3, 34, 30};
const std::vector<int> kSpecials = {0, 1, 2, 3, 34, 33, 30, 25, 24, 22};

// The white and layer settings of the models that have them.
std::vector<Variant> ModelVariants(int uid)
{
    std::vector<Variant> v = {{"default", {}, kCmyk}};
    auto white = [&](const std::wstring& key, mimaki::layers::Family family, std::vector<int> colours) {
        for (int mode = 0; mode <= mimaki::layers::LastWhiteMode(family); ++mode)
            v.push_back({"white mode " + std::to_string(mode), {{key, mode}}, colours});
    };
    switch (uid) {
    case 5: v.push_back({"white", {{L"DP5_bWhite", 1}}, kWhite}); break;
    // Model 11 keeps no layer order: its white job buffers the white layer
    // and sends no layer at all (an empty stream, refused by the tools).
    case 11: v.push_back({"white", {{L"DP11_bWhite", 1}}, kWhite}); break;
    case 7:
    case 8:
        for (int order : {1, 2}) {
            const std::wstring p = L"DP" + std::to_wstring(uid) + L"_";
            v.push_back({"white order " + std::to_string(order), {{p + L"bWhite", 1}, {p + L"nWhiteOrder", order}},
                         kWhite});
        }
        break;
    case 14:
    case 16:
        for (int order : {1, 2}) {
            const std::wstring p = L"DP" + std::to_wstring(uid) + L"_";
            v.push_back({"white and clear coat, order " + std::to_string(order),
                         {{p + L"bWhite", 1}, {p + L"nWhiteOrder", order}, {p + L"bClearCoat", 1}}, kWhiteClear});
        }
        break;
    case 13: v.push_back({"JV5.8C special", {{L"JV58CSpecial", 1}}, kCmyk}); break;
    case 38:
        for (int mode = 0; mode <= 36; ++mode)
            if (mode <= 18 || mode == 26 || mode >= 32)
                v.push_back({"layer mode " + std::to_string(mode), {{L"DP35_eWhiteOrder", mode}}, kSpecials});
        break;
    case 47:
        for (int way = 0; way <= 9; ++way)
            v.push_back({"printing way " + std::to_string(way), {{L"DP47_m_nPrintingWay", way}}, kSpecials});
        break;
    case 54: v = {{"default", {}, kWhite}}; break; // one channel per colour id of the definition
    case 17: v.push_back({"white order 1", {{L"DP17_nWhiteOrder", 1}}, {0, 1, 2, 3, 34, 33}}); break;
    case 19:
    case 20: {
        const std::wstring p = uid == 19 ? L"DP19_nLayer" : L"DP20_nLayer";
        v.clear();
        for (int typ = 0; typ < 7; ++typ)
            for (int first : {1, 6}) {
                Settings s = {{L"UJFPrinterTyp", typ}};
                for (int pos = 0; pos < 5; ++pos)
                    s.emplace_back(p + std::to_wstring(pos + 1) + L"Mode", first + pos);
                v.push_back({"arrangement " + std::to_string(typ) + ", layers " + std::to_string(first) + ".." +
                                 std::to_string(first + 4),
                             s, kSpecials});
            }
        break;
    }
    case 22: white(L"DP22_m_nWhiteMode", mimaki::layers::Family::JV400, kWhite); break;
    case 27: white(L"DP27_m_nWhiteModeV2", mimaki::layers::Family::JV300, kWhite); break;
    case 29: white(L"DPCVJ_150_130_m_nWhiteOrderV2", mimaki::layers::Family::JV300, kWhite); break;
    case 34: white(L"DP33_m_eWhiteMode", mimaki::layers::Family::TS300P, kWhite); break;
    case 37: white(L"DP37_m_eWhiteMode", mimaki::layers::Family::TS300P, kWhite); break;
    // The flatbeds' layers: a JFX500 WV page with an underprint, a mirrored
    // JFX200 page with double white, a slot-file page with a reversed and a
    // mirrored layer (the definitions give the ink type and the slots).
    case 25:
    case 41:
        v.push_back({"layers 3 0 8", {{L"DP25_nLayer1Mode", 3}, {L"DP25_nLayer2Mode", 0}, {L"DP25_nLayer3Mode", 8}},
                     kWhiteClear});
        break;
    case 28:
        v.push_back({"layers 28 9, mirrored",
                     {{L"DP28_nLayer1Mode", 28}, {L"DP28_nLayer2Mode", 9}, {L"DP28_bSplitPrintArea", 4}},
                     kWhiteClear});
        break;
    case 35:
    case 39:
        v.push_back({"white reversed, colour mirrored",
                     {{L"DP35_\"LP1_PAS\"", 1}, {L"DP35_\"LP1_SB\"", 1}, {L"DP35_nLayer2Mode", 0},
                      {L"DP35_m_nMirror2", 1}},
                     kWhite});
        break;
    case 30: case 31: case 40: case 42: case 48: case 49: case 56:
        v.push_back({"slot-based colour codes", {{L"bUseSlotBasedColorCodes", 1}}, kCmyk});
        break;
    default: break;
    }
    return v;
}

// Three rows of 24 two-bit pixels a channel, the middle one blank.
std::vector<Row> Rows(std::size_t channels)
{
    std::vector<Row> rows(3, Row(channels));
    unsigned x = 12345;
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (auto& ch : rows[r]) {
            ch.assign(6, 0);
            if (r == 1)
                continue;
            for (auto& b : ch) {
                x = x * 1103515245u + 12345u;
                b = static_cast<BYTE>(x >> 16);
            }
            ch[2] = ch[3] = 0; // a run for PackBits
        }
    return rows;
}

CPrintEnv Env(int uid, const Settings& settings, int commandSet)
{
    CPrintEnv env(L"golden");
    env.PutInt(PrEnv_UID, uid);
    for (const auto& [key, value] : settings)
        env.PutInt(key.c_str(), value);
    if (commandSet >= 0)
        env.PutInt(L"nFunctModeId", commandSet);
    printerdefs::Apply(env, uid);
    return env;
}

// The command sets a model's driver prints in: every set where the driver
// takes "nFunctModeId", else its own.
std::vector<int> CommandSets(int uid, const Settings& settings)
{
    for (int set = 0; set <= 4; ++set) {
        CPrintEnv env = Env(uid, settings, set);
        auto d = CreateDriver(env);
        auto* legacy = dynamic_cast<CMimakiLegacyBasePrinterDriver*>(d.get());
        if (!legacy || legacy->GetCommandSet() != set)
            return {-1};
    }
    return {0, 1, 2, 3, 4};
}

std::map<std::string, std::string> Compute(std::vector<int>& printing)
{
    testsupport::LogCapture quiet(-1);
    std::map<std::string, std::string> hashes;
    for (int uid = 0; uid <= 56; ++uid) {
        bool prints = false;
        for (const Variant& v : ModelVariants(uid)) {
            for (const int set : CommandSets(uid, v.settings)) {
                for (const int compress : {0, 1}) {
                    CPrintEnv env = Env(uid, v.settings, set);
                    auto d = CreateDriver(env);
                    if (!d)
                        continue;
                    CPrintJobOpenContext ctx = Context(v.colours, 6, compress);
                    CJobPrintOptionQuery query{0, 0};
                    d->GetDevParms()->JobPrintOptionAvailable(query);
                    ctx.cutOption = query.value;
                    ctx.jobName = L"golden";
                    const JobResult r = RunJob(*d, ctx, Rows(v.colours.size()));
                    std::ostringstream key;
                    key << "UID " << uid << ", " << v.name << ", command set "
                        << (set < 0 ? std::string("own") : std::to_string(set)) << ", "
                        << (compress ? "PackBits" : "raw");
                    hashes[key.str()] = (r.ok ? "" : "failed ") + Sha256::ToHex(Sha256::Hash(r.bytes));
                    prints = true;
                }
            }
        }
        if (prints)
            printing.push_back(uid);
    }
    return hashes;
}

const std::string kList = std::string(MIMAKI_SOURCE_DIR) + "/tests/driver/data/golden_streams.txt";

} // namespace

TEST(GoldenStreams, EveryPrintingUidAndOptionSetKeepsItsStream)
{
    std::vector<int> printing;
    const std::map<std::string, std::string> now = Compute(printing);
    ASSERT_FALSE(printing.empty());

    if (const char* out = std::getenv("MIMAKI_GOLDEN_WRITE"); out && *out) {
        std::ofstream f(out);
        f << "# SHA-256 of the golden job's stream per UID and option set (tests/driver/GoldenStreamTest.cpp).\n"
             "# Written by scripts/regen-golden.sh; review every changed line before committing it.\n";
        for (const auto& [key, hash] : now)
            f << key << "\t" << hash << "\n";
        ASSERT_TRUE(f.good()) << out;
        return;
    }

    std::map<std::string, std::string> kept;
    std::ifstream in(kList);
    ASSERT_TRUE(in) << kList;
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos)
            continue;
        kept[line.substr(0, tab)] = line.substr(tab + 1);
    }
    for (const int uid : printing) {
        const std::string prefix = "UID " + std::to_string(uid) + ",";
        const auto it = kept.lower_bound(prefix);
        EXPECT_TRUE(it != kept.end() && it->first.rfind(prefix, 0) == 0)
            << "UID " << uid << " prints but has no golden entry: run scripts/regen-golden.sh and review";
    }
    for (const auto& [key, hash] : now) {
        const auto it = kept.find(key);
        if (it == kept.end())
            ADD_FAILURE() << key << ": no golden entry (scripts/regen-golden.sh)";
        else
            EXPECT_EQ(hash, it->second) << key << ": the stream changed";
    }
    for (const auto& [key, hash] : kept)
        EXPECT_TRUE(now.count(key)) << key << ": the list has a job that no longer runs";
}
