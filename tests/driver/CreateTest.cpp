// The factory: UID masking, the model table, the white-driver questions and
// the keys that choose among a row's classes.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <set>
#include <typeinfo>

#include "DriverTestUtil.h"
#include "host/StrUtil.h"
#include "devparms/MimakiDevParms.h"
#include "driver/MimakiBaseDriver.h"
#include "entry/ModelTable.h"

using namespace mimaki;

namespace {

std::string ClassName(const std::type_info& t)
{
    int status = 0;
    char* name = abi::__cxa_demangle(t.name(), nullptr, nullptr, &status);
    std::string out = status == 0 ? name : t.name();
    std::free(name);
    return out;
}

std::unique_ptr<CPrinterDriverBase> CreateUid(CPrintEnv& env, int uid)
{
    env.PutInt(PrEnv_UID, uid);
    return CreateDriver(env);
}

TEST(Create, UidsWithoutARowGetTheLegacyDriverOverPlainParameters)
{
    for (int uid : {0, 55, 57, 200, 255, 256, 256 + 55, -256}) {
        CPrintEnv env;
        auto d = CreateUid(env, uid);
        ASSERT_TRUE(d) << uid;
        EXPECT_EQ(ClassName(typeid(*d)), "CMimakiLegacyBasePrinterDriver");
        EXPECT_EQ(ClassName(typeid(*d->GetDevParms())), "CMimakiDevParmsBase");
        EXPECT_EQ(d->GetUID(), uid & 255);
    }
}

// Walks every UID: a driver that is made is of the table's class; a UID
// whose classes are not built yet answers null and names itself in the log.
TEST(Create, EveryUidFollowsTheModelTable)
{
    for (int uid = 0; uid < 256; ++uid) {
        const ModelRow& row = FindModel(uid);
        CPrintEnv env;
        LogCapture log(4);
        auto d = CreateUid(env, uid);
        if (d) {
            EXPECT_EQ(ClassName(typeid(*d)), row.driver->name) << uid;
            EXPECT_EQ(ClassName(typeid(*d->GetDevParms())), row.parms->name) << uid;
        } else {
            EXPECT_TRUE(log.Contains("UID " + std::to_string(uid) + ":")) << uid;
            EXPECT_TRUE(log.Contains("is not available")) << uid;
        }
    }
}

TEST(Create, HighBitsOfTheUidAreIgnored)
{
    CPrintEnv a, b;
    LogCapture log(4);
    auto da = CreateUid(a, 13);
    auto db = CreateUid(b, 13 + 256);
    ASSERT_TRUE(da && db);
    EXPECT_EQ(ClassName(typeid(*da)), ClassName(typeid(*db)));
    EXPECT_EQ(ClassName(typeid(*db->GetDevParms())), "DEVPARM13_CLASS");
}

TEST(ModelTable, IsCompleteAndUnique)
{
    std::set<int> uids;
    for (const ModelRow& row : ModelTable()) {
        EXPECT_TRUE(uids.insert(row.uid).second) << row.uid;
        EXPECT_NE(row.parms, nullptr);
    }
    EXPECT_EQ(uids.size(), 55u); // 1..54 and 56
    EXPECT_EQ(uids.count(55), 0u);
    EXPECT_EQ(std::string(FindModel(41).parmsAlt->name), "DEVPARMJFXMKSERIES_CLASS");
    EXPECT_EQ(UJFLayerVariants().size(), 7u);
    EXPECT_EQ(std::string(UJFLayerVariants()[6]->name), "CMimakiWhitePrinterDriverUJF_WVP");
}

} // namespace

// Stand-ins for classes of the table, so that every selection rule can be
// seen at work.
namespace stand_in {
int g_loads = 0;

class WhiteAnswers : public CMimakiDevParmsBase {
public:
    int Load(CPrintEnv*) override { ++g_loads; return 1; }
    int UsesJV3WhiteDriver() override { return jv3; }
    int Uses604SpecialDriver() override { return s604; }
    int UsesWhiteDriver() override { return white; }
    static inline int jv3 = 0, s604 = 0, white = 0;
};

class OtherParms : public CMimakiDevParmsBase {};

class LoadCounter : public CUnivDevParmsBase {
public:
    LoadCounter() : CUnivDevParmsBase(sizeof(LoadCounter), 261) {}
    int Load(CPrintEnv*) override { ++g_loads; return 1; }
};

CUnivDevParmsBase* MakeWhiteAnswers() { return new WhiteAnswers(); }
CUnivDevParmsBase* MakeOther() { return new OtherParms(); }
CUnivDevParmsBase* MakeLoadCounter() { return new LoadCounter(); }
CPrinterDriverBase* MakeLegacy(CPrintEnv* e, CUnivDevParmsBase* p) { return new CMimakiLegacyBasePrinterDriver(e, p); }

const ParmsClass kWhiteAnswers{"WhiteAnswers", &MakeWhiteAnswers};
const ParmsClass kOther{"OtherParms", &MakeOther};
const ParmsClass kLoadCounter{"LoadCounter", &MakeLoadCounter};
const DriverClass kLegacy{"Legacy", &MakeLegacy};
const DriverClass kMissing{"MissingDriver", nullptr};

} // namespace stand_in

namespace {
using namespace stand_in;

struct Made {
    std::unique_ptr<CPrinterDriverBase> driver;
    LogCapture log{4};
};

void Make(Made& m, const ModelRow& row, CPrintEnv& env)
{
    m.driver.reset(dynamic_cast<CPrinterDriverBase*>(CreateForRow(&env, row, row.uid)));
}

TEST(CreateRules, WhiteQuestionsInOrder)
{
    const ModelRow row{5, &kWhiteAnswers, nullptr, &kLegacy, nullptr, Rule::Fixed, "t"};
    struct {
        int jv3, s604, white;
        const char* expect;
    } cases[] = {{1, 0, 1, "CMimakiJV3WhiteDriver"},
                 {0, 1, 1, "CMimaki604SpecialDriver"},
                 {0, 0, 1, "CMimakiWhitePrinterDriver"}};
    for (const auto& c : cases) {
        WhiteAnswers::jv3 = c.jv3;
        WhiteAnswers::s604 = c.s604;
        WhiteAnswers::white = c.white;
        CPrintEnv env;
        Made m;
        Make(m, row, env);
        EXPECT_FALSE(m.driver);
        ASSERT_EQ(m.log.lines.size(), 1u);
        EXPECT_NE(m.log.lines[0].find(std::string("driver class ") + c.expect + " is"), std::string::npos)
            << m.log.lines[0];
    }
    WhiteAnswers::jv3 = WhiteAnswers::s604 = WhiteAnswers::white = 0;
    CPrintEnv env;
    Made m;
    g_loads = 0;
    Make(m, row, env);
    ASSERT_TRUE(m.driver);
    EXPECT_EQ(g_loads, 1);
}

// A settings key picks the row's other driver (here one not built, so no
// driver at all): JV58CSpecial only for 1, slot-based colour codes for any
// value but 0.
TEST(CreateRules, KeysThatPickTheOtherDriver)
{
    const struct {
        Rule rule;
        const wchar_t* key;
        int value;
        bool other;
    } cases[] = {{Rule::JV58CSpecial, L"JV58CSpecial", 0, false},
                 {Rule::JV58CSpecial, L"JV58CSpecial", 1, true},
                 {Rule::JV58CSpecial, L"JV58CSpecial", 2, false},
                 {Rule::SlotBased, L"bUseSlotBasedColorCodes", 0, false},
                 {Rule::SlotBased, L"bUseSlotBasedColorCodes", 1, true},
                 {Rule::SlotBased, L"bUseSlotBasedColorCodes", 5, true}};
    for (const auto& c : cases) {
        const ModelRow row{13, &kOther, nullptr, &kLegacy, &kMissing, c.rule, "t"};
        CPrintEnv env;
        env.PutInt(c.key, c.value);
        Made m;
        Make(m, row, env);
        EXPECT_EQ(m.driver == nullptr, c.other) << WideToUtf8(c.key) << "=" << c.value;
    }
}

TEST(CreateRules, MkSeriesPicksTheOtherParameters)
{
    const ModelRow row{25, &kOther, &kWhiteAnswers, &kLegacy, nullptr, Rule::UJFMkSeries, "t"};
    for (int value : {0, 1}) {
        CPrintEnv env;
        env.PutInt(L"UJFMkSeries", value);
        Made m;
        Make(m, row, env);
        ASSERT_TRUE(m.driver);
        EXPECT_EQ(ClassName(typeid(*m.driver->GetDevParms())), value ? "stand_in::WhiteAnswers"
                                                                      : "stand_in::OtherParms");
    }
}

TEST(CreateRules, UJFPrinterTypRange)
{
    const ModelRow row{19, &kOther, nullptr, nullptr, nullptr, Rule::UJFPrinterTyp, "t"};
    for (int typ : {-1, 7, 100}) {
        CPrintEnv env;
        env.PutInt(L"UJFPrinterTyp", typ);
        Made m;
        Make(m, row, env);
        EXPECT_FALSE(m.driver);
        ASSERT_EQ(m.log.lines.size(), 1u);
        const std::string& line = m.log.lines[0];
        const std::string tail = ": UID 19: UJFPrinterTyp " + std::to_string(typ) + " is outside 0..6, no driver\n";
        EXPECT_EQ(line.rfind("***Create#", 0), 0u) << line;
        ASSERT_GT(line.size(), tail.size());
        EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
        EXPECT_GT(std::stoi(line.substr(10)), 0) << "source line";
    }
    const char* names[] = {"WW", "VV", "WV", "PP", "WP", "VP", "WVP"};
    for (int typ = 0; typ < 7; ++typ) {
        CPrintEnv env;
        env.PutInt(L"UJFPrinterTyp", typ);
        Made m;
        Make(m, row, env);
        EXPECT_TRUE(m.log.Contains(std::string("CMimakiWhitePrinterDriverUJF_") + names[typ] + " is not"));
    }
}

TEST(CreateRules, DtfParametersAreNotLoaded)
{
    const ModelRow row{54, &kLoadCounter, nullptr, &kLegacy, nullptr, Rule::DTF, "t"};
    CPrintEnv env;
    Made m;
    g_loads = 0;
    Make(m, row, env);
    ASSERT_TRUE(m.driver);
    EXPECT_EQ(g_loads, 0);
    EXPECT_EQ(ClassName(typeid(*m.driver->GetDevParms())), "stand_in::LoadCounter");
}

} // namespace
