// The factory: UID masking, the model table, the white-driver questions and
// the keys that choose among a row's classes.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <typeinfo>

#include "DriverTestUtil.h"
#include "host/StrUtil.h"
#include "devparms/MimakiDevParms.h"
#include "driver/MimakiBaseDriver.h"
#include "entry/ModelTable.h"
#include "host/Log.h"
#include "tests/support/TempDir.h"

using namespace mimaki;

namespace {

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

// Objects that fail while Create builds them, and count their lives.
class Counted : public CMimakiDevParmsBase {
public:
    Counted() { ++made; }
    ~Counted() override { ++destroyed; }
    int Load(CPrintEnv*) override
    {
        switch (loadThrows) {
        case 1: throw std::bad_alloc();
        case 2: throw std::runtime_error("settings store broken");
        case 3: throw 42;
        default: return 1;
        }
    }
    static inline int made = 0, destroyed = 0, loadThrows = 0;
};

class CountedPlain : public CUnivDevParmsBase {
public:
    CountedPlain() : CUnivDevParmsBase(sizeof(CountedPlain), 261) { ++Counted::made; }
    ~CountedPlain() override { ++Counted::destroyed; }
};

// Fails after its host base (which owns the parameters by then) is built.
class FailingDriver : public CMimakiLegacyBasePrinterDriver {
public:
    FailingDriver(CPrintEnv* e, CUnivDevParmsBase* p) : CMimakiLegacyBasePrinterDriver(e, p)
    {
        if (throwsBadAlloc)
            throw std::bad_alloc();
        throw std::runtime_error("driver broken");
    }
    static inline bool throwsBadAlloc = true;
};

CUnivDevParmsBase* MakeCounted() { return new Counted(); }
CUnivDevParmsBase* MakeCountedPlain() { return new CountedPlain(); }
CPrinterDriverBase* MakeFailing(CPrintEnv* e, CUnivDevParmsBase* p) { return new FailingDriver(e, p); }
// The driver's memory cannot be had: its constructor never runs.
CPrinterDriverBase* MakeNoMemory(CPrintEnv*, CUnivDevParmsBase*) { throw std::bad_alloc(); }

const ParmsClass kCounted{"Counted", &MakeCounted};
const ParmsClass kCountedPlain{"CountedPlain", &MakeCountedPlain};
const DriverClass kFailing{"FailingDriver", &MakeFailing};
const DriverClass kNoMemory{"NoMemory", &MakeNoMemory};

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
        ASSERT_TRUE(m.driver) << c.expect;
        EXPECT_EQ(ClassName(typeid(*m.driver)), c.expect);
        EXPECT_TRUE(m.log.lines.empty());
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
    // Types in range build their arrangement's class: checked with the real row in the layer tests.
}

// Whatever fails while the objects are built, Create answers null with one
// log line, lets no exception out, and every parameter object it made is
// destroyed exactly once (a driver whose constructor fails after its base
// was built has freed them already; one never constructed has not).
TEST(CreateRules, FailuresWhileBuildingLeaveNothingBehind)
{
    const struct {
        const char* name;
        const ParmsClass* parms;
        const DriverClass* driver;
        Rule rule;
        int loadThrows;
        bool driverBadAlloc;
        const char* logged;
    } cases[] = {
        {"Load out of memory", &kCounted, &kLegacy, Rule::Fixed, 1, true, "out of memory while building the driver"},
        {"Load throws", &kCounted, &kLegacy, Rule::Fixed, 2, true, "no driver: settings store broken"},
        {"Load throws no exception class", &kCounted, &kLegacy, Rule::Fixed, 3, true, "unknown exception"},
        {"driver constructor out of memory", &kCounted, &kFailing, Rule::Fixed, 0, true, "out of memory"},
        {"driver constructor throws", &kCounted, &kFailing, Rule::Fixed, 0, false, "no driver: driver broken"},
        {"no memory for the driver", &kCounted, &kNoMemory, Rule::Fixed, 0, true, "out of memory"},
        {"no memory for the DTF driver", &kCountedPlain, &kNoMemory, Rule::DTF, 0, true, "out of memory"},
        {"DTF driver constructor fails", &kCountedPlain, &kFailing, Rule::DTF, 0, true, "out of memory"},
        {"parameters of no Mimaki class", &kCountedPlain, &kLegacy, Rule::Fixed, 0, true,
         "CountedPlain is no Mimaki device-parameter class"},
    };
    for (const auto& c : cases) {
        Counted::made = Counted::destroyed = 0;
        Counted::loadThrows = c.loadThrows;
        FailingDriver::throwsBadAlloc = c.driverBadAlloc;
        const ModelRow row{7, c.parms, nullptr, c.driver, nullptr, c.rule, "t"};
        CPrintEnv env;
        Made m;
        EXPECT_NO_THROW(Make(m, row, env)) << c.name;
        EXPECT_FALSE(m.driver) << c.name;
        EXPECT_EQ(Counted::made, 1) << c.name;
        EXPECT_EQ(Counted::destroyed, 1) << c.name;
        ASSERT_EQ(m.log.lines.size(), 1u) << c.name;
        EXPECT_NE(m.log.lines[0].find(c.logged), std::string::npos) << c.name << ": " << m.log.lines[0];
    }
    Counted::loadThrows = 0;
}

// Failure lines name the source file and line that found the failure, in
// the log file's prefix and after the function name alike.
TEST(CreateRules, FailuresNameWhereTheyWereFound)
{
    const struct {
        ModelRow row;
        const wchar_t* key;
        int value;
        const char* source; // text on the reported source line
    } cases[] = {
        {{19, &kOther, nullptr, nullptr, nullptr, Rule::UJFPrinterTyp, "t"}, L"UJFPrinterTyp", 9,
         "UJFPrinterTyp %d is outside 0..6"},
        {{13, &kOther, nullptr, &kMissing, nullptr, Rule::Fixed, "t"}, nullptr, 0, "driver class %s is not available"},
        {{13, &kCounted, nullptr, &kNoMemory, nullptr, Rule::Fixed, "t"}, nullptr, 0, "out of memory while building"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        CPrintEnv env;
        if (c.key)
            env.PutInt(c.key, c.value);
        LogCapture log(4);
        CVoLogReporter::SetLogFile(dir / "vo.log");
        Made m;
        Make(m, c.row, env);
        CVoLogReporter::SetLogFile("");
        const std::string text = ReadFile(dir / "vo.log");
        // "[4] FILE:LINE: ***Create#LINE: ..."
        const std::size_t colon2 = text.find(": ***Create#");
        ASSERT_NE(colon2, std::string::npos) << text;
        const std::size_t colon1 = text.rfind(':', colon2 - 1);
        ASSERT_EQ(text.rfind("[4] ", 0), 0u) << text;
        std::string file = text.substr(4, colon1 - 4);
        const int line = std::stoi(text.substr(colon1 + 1));
        EXPECT_EQ(std::stoi(text.substr(colon2 + 12)), line) << text;
        EXPECT_TRUE(file.ends_with("entry/Create.cpp")) << file;
        if (!file.starts_with("/")) // relative to the build folder, as ccache may write it
            file = std::string(MIMAKI_SOURCE_DIR) + "/entry/Create.cpp";
        std::istringstream source(ReadFile(file));
        std::string at;
        for (int i = 0; i < line && std::getline(source, at); ++i) {
        }
        EXPECT_NE(at.find(c.source), std::string::npos) << file << ":" << line << ": " << at;
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
