// The plug-in's model table, row by row, against the printer catalogue kept
// here as data; and rasterjob's own catalogue against the plug-in.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <typeinfo>

#include "entry/ModelTable.h"
#include "host/PrinterDriverBase.h"
#include "host/UnivDevParmsBase.h"
#include "tests/driver/DriverTestUtil.h"
#ifdef HAVE_RASTERJOB_CATALOGUE
#include "tools/rasterjob/ModelCatalogue.h"
#endif

using namespace mimaki;

namespace {

// One line per UID: UID | device-parameter class | its alternative | driver
// class | its alternative | selection rule | model. "-" is none. Rules:
// JV58CSpecial ("JV58CSpecial" == 1 takes the alternative driver),
// UJFPrinterTyp (the UJF layer variant, below), UJFMkSeries ("UJFMkSeries"
// != 0 takes the alternative parameters), SlotBased
// ("bUseSlotBasedColorCodes" != 0 takes the alternative driver), DTF (no
// parameters loaded by Create), Fixed.
constexpr const char* kCatalogue = R"(
1  | DEVPARM1_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 1
2  | DEVPARM2_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 2
3  | DEVPARM3_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 3
4  | DEVPARM4_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 4
5  | DEVPARM5_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 5
6  | DEVPARM6_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 6
7  | DEVPARM7_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 7
8  | DEVPARM8_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 8
9  | DEVPARM9_CLASS               | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 9
10 | DEVPARM10_CLASS              | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 10
11 | DEVPARM11_CLASS              | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 11
12 | DEVPARM12_CLASS              | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 12
13 | DEVPARM13_CLASS              | -                        | CMimakiMRLIIIDriver                   | CMimakiJV58CSpecial                      | JV58CSpecial  | model 13
14 | DEVPARM14_CLASS              | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 14
15 | DEVPARM15_CLASS              | -                        | CMimakiMRLIIIDriver                   | -                                        | Fixed         | model 15
16 | DEVPARM16_CLASS              | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 16
17 | DEVPARM17_CLASS              | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | model 17
18 | DEVPARMTX400_CLASS           | -                        | CMimakiMRLIIIDriver                   | -                                        | Fixed         | TX400
19 | DEVPARMUJF3042_CLASS         | -                        | -                                     | -                                        | UJFPrinterTyp | UJF3042
20 | DEVPARMUJF706_CLASS          | -                        | -                                     | -                                        | UJFPrinterTyp | UJF706
21 | DEVPARMJV34_CLASS            | -                        | CMimakiMRLIIIDriver                   | -                                        | Fixed         | JV34
22 | DEVPARMJV400_CLASS           | -                        | CMimakiWhitePrinterDriverJV400        | -                                        | Fixed         | JV400
23 | DEVPARMTS500_CLASS           | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | TS500
24 | DEVPARM24_CLASS              | -                        | CMimakiTS3Driver                      | -                                        | Fixed         | TS3
25 | DEVPARMJFX500_v2_CLASS       | DEVPARMJFXMKSERIES_CLASS | CMimakiWhitePrinterDriverJFX500Base   | -                                        | UJFMkSeries   | JFX500
26 | DEVPARMSWJ320_CLASS          | -                        | CMimakiSWJ320Driver                   | -                                        | Fixed         | SWJ320
27 | DEVPARMJV300_CLASS           | -                        | CMimakiWhitePrinterDriverJV300        | -                                        | Fixed         | JV300
28 | DEVPARMJFX200_CLASS          | -                        | CMimakiWhitePrinterDriverJFX200       | -                                        | Fixed         | JFX200
29 | DEVPARMCJV150_300_CLASS      | -                        | CMimakiWhitePrinterDriverJV300        | -                                        | Fixed         | CJV150 / CJV300
30 | DEVPARMTS300P_CLASS          | -                        | CMimakiWhitePrinterDriverTS300P       | CMimakiWhitePrinterDriverTS300PSlotBased | SlotBased     | TS300P
31 | DEVPARMTS300P_ADVANCED_CLASS | -                        | CMimakiWhitePrinterDriverTS300P       | CMimakiWhitePrinterDriverTS300PSlotBased | SlotBased     | TS300P advanced
32 | DEVPARMTS500_CLASS           | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | TS500 (second UID)
33 | DEVPARMSIJ320UV_CLASS        | -                        | CMimakiWhitePrinterDriverTS300P       | -                                        | Fixed         | SIJ320UV
34 | DEVPARMUJV55_CLASS           | -                        | CMimakiWhitePrinterDriverTS300P       | -                                        | Fixed         | UJV55
35 | DEVPARMUJF_x042MKII_CLASS    | -                        | CMimakiWhitePrinterDriverUJF_x042MKII | -                                        | Fixed         | UJF x042 MKII
36 | DEVPARMJFXMKSERIES_CLASS     | -                        | CMimakiLegacyBasePrinterDriver        | -                                        | Fixed         | JFX MK series
37 | DEVPARMUJV500_CLASS          | -                        | CMimakiWhitePrinterDriverTS300P       | -                                        | Fixed         | UJV500
38 | DEVPARMUCJV300_CLASS         | -                        | CMimakiDriverUCJV300                  | -                                        | Fixed         | UCJV300
39 | DEVPARMUJF7151_CLASS         | -                        | CMimakiWhitePrinterDriverUJF7151      | -                                        | Fixed         | UJF7151
40 | DEVPARMTS55_1800_CLASS       | -                        | CMimakiWhitePrinterDriverTS300P       | CMimakiWhitePrinterDriverTS300PSlotBased | SlotBased     | TS55 1800
41 | DEVPARMJFX500_v2_CLASS       | DEVPARMJFXMKSERIES_CLASS | CMimakiWhitePrinterDriverJFX500Base   | -                                        | UJFMkSeries   | JFX500 (second UID)
42 | DEVPARMTS300P_MKII_CLASS     | -                        | CMimakiWhitePrinterDriverTS300P       | CMimakiWhitePrinterDriverTS300PSlotBased | SlotBased     | TS300P MKII
43 | DEVPARMCJV300_PLUS_CLASS     | -                        | CMimakiPrnDrvCJV300PLUS               | -                                        | Fixed         | CJV300 PLUS
44 | DEVPARMCJV300_PLUS_CLASS     | -                        | CMimakiPrnDrvCJV300PLUS               | -                                        | Fixed         | CJV300 PLUS (second UID)
45 | DEVPARMSWJ_320AE_CLASS       | -                        | CMimakiSWJ320EADriver                 | -                                        | Fixed         | SWJ320EA
46 | DEVPARMS_JFX200EX_CLASS      | -                        | CMimakiJFX200EXDriver                 | -                                        | Fixed         | JFX200EX
47 | DEVPARMUJV100_CLASS          | -                        | CMimakiPrinterDriverUJV100            | -                                        | Fixed         | UJV100
48 | DEVPARMJV100_CLASS           | -                        | CMimakiWhitePrinterDriverTS300P       | CMimakiWhitePrinterDriverTS300PSlotBased | SlotBased     | JV100
49 | DEVPARMTS100_1600_CLASS      | -                        | CMimakiWhitePrinterDriverTS300P       | CMimakiWhitePrinterDriverTS300PSlotBased | SlotBased     | TS100 1600
50 | DEVPARMTS330_1600_CLASS      | -                        | CMimakiWhitePrinterDriverTS300PSlotBased | -                                     | Fixed         | TS330 1600
51 | DEVPARMJV330_CLASS           | -                        | CMimakiPrnDrvCJV330                   | -                                        | Fixed         | JV330
52 | DEVPARMCJV330_CLASS          | -                        | CMimakiPrnDrvCJV330                   | -                                        | Fixed         | CJV330
53 | DEVPARMUJF7151plusII_CLASS   | -                        | CMimakiPrinterDriverUJF7151PlusII     | -                                        | Fixed         | UJF7151 plus II
54 | CDevParmsTxF150              | -                        | CMimakiDTFDriver                      | -                                        | DTF           | TxF150 (DTF)
56 | DEVPARMTX330_CLASS           | -                        | CMimakiWhitePrinterDriverTS300P       | CMimakiWhitePrinterDriverTS300PSlotBased | SlotBased     | TX330
)";

// Every other UID (0, 55, 57..255).
constexpr const char* kNoModel =
    "- | CMimakiDevParmsBase | - | CMimakiLegacyBasePrinterDriver | - | Fixed | none";

// "UJFPrinterTyp" 0..6.
constexpr const char* kUJFVariants[] = {
    "CMimakiWhitePrinterDriverUJF_WW", "CMimakiWhitePrinterDriverUJF_VV", "CMimakiWhitePrinterDriverUJF_WV",
    "CMimakiWhitePrinterDriverUJF_PP", "CMimakiWhitePrinterDriverUJF_WP", "CMimakiWhitePrinterDriverUJF_VP",
    "CMimakiWhitePrinterDriverUJF_WVP",
};

struct Expected {
    std::string uid, parms, parmsAlt, driver, driverAlt, rule, model;
};

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

Expected ParseLine(const std::string& line)
{
    std::vector<std::string> f;
    std::stringstream in(line);
    for (std::string part; std::getline(in, part, '|');)
        f.push_back(Trim(part));
    EXPECT_EQ(f.size(), 7u) << line;
    f.resize(7);
    return {f[0], f[1], f[2], f[3], f[4], f[5], f[6]};
}

std::map<int, Expected> Catalogue()
{
    std::map<int, Expected> rows;
    std::stringstream in(kCatalogue);
    for (std::string line; std::getline(in, line);)
        if (!Trim(line).empty()) {
            const Expected e = ParseLine(line);
            rows[std::stoi(e.uid)] = e;
        }
    return rows;
}

std::string Name(const ParmsClass* c) { return c ? c->name : "-"; }
std::string Name(const DriverClass* c) { return c ? c->name : "-"; }

std::string RuleName(Rule r)
{
    switch (r) {
    case Rule::Fixed: return "Fixed";
    case Rule::JV58CSpecial: return "JV58CSpecial";
    case Rule::UJFPrinterTyp: return "UJFPrinterTyp";
    case Rule::UJFMkSeries: return "UJFMkSeries";
    case Rule::SlotBased: return "SlotBased";
    case Rule::DTF: return "DTF";
    }
    return "?";
}

void ExpectRow(const ModelRow& row, const Expected& e, int uid)
{
    EXPECT_EQ(Name(row.parms), e.parms) << "UID " << uid;
    EXPECT_EQ(Name(row.parmsAlt), e.parmsAlt) << "UID " << uid;
    EXPECT_EQ(Name(row.driver), e.driver) << "UID " << uid;
    EXPECT_EQ(Name(row.driverAlt), e.driverAlt) << "UID " << uid;
    EXPECT_EQ(RuleName(row.rule), e.rule) << "UID " << uid;
    EXPECT_EQ(std::string(row.model), e.model) << "UID " << uid;
}

// The classes Create builds for a printer with every key at its default;
// empty when it builds none (its classes are not in this build yet).
std::pair<std::string, std::string> Built(int uid)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, uid);
    LogCapture quiet(-1);
    const std::unique_ptr<CPrinterDriverBase> driver = CreateDriver(env);
    if (!driver)
        return {};
    return {driver->GetDevParms() ? ClassName(typeid(*driver->GetDevParms())) : "-", ClassName(typeid(*driver))};
}

} // namespace

TEST(ModelTable, EveryRowAsTheCatalogueHasIt)
{
    const std::map<int, Expected> catalogue = Catalogue();
    ASSERT_EQ(catalogue.size(), 55u);
    std::map<int, const ModelRow*> table;
    for (const ModelRow& row : ModelTable()) {
        EXPECT_TRUE(table.emplace(row.uid, &row).second) << "UID " << row.uid << " twice";
        EXPECT_TRUE(catalogue.count(row.uid)) << "UID " << row.uid << " has no model";
    }
    for (const auto& [uid, e] : catalogue) {
        ASSERT_TRUE(table.count(uid)) << "UID " << uid << " missing";
        ExpectRow(*table[uid], e, uid);
        ExpectRow(FindModel(uid + 256), e, uid); // only the low 8 bits count
    }
    const Expected none = ParseLine(kNoModel);
    for (int uid : {0, 55, 57, 100, 255, 256})
        ExpectRow(FindModel(uid), none, uid);

    ASSERT_EQ(UJFLayerVariants().size(), std::size(kUJFVariants));
    for (std::size_t i = 0; i < std::size(kUJFVariants); ++i)
        EXPECT_EQ(Name(UJFLayerVariants()[i]), kUJFVariants[i]) << "UJFPrinterTyp " << i;
    EXPECT_EQ(Name(&JV3WhiteDriver()), "CMimakiJV3WhiteDriver");
    EXPECT_EQ(Name(&Special604Driver()), "CMimaki604SpecialDriver");
    EXPECT_EQ(Name(&WhiteDriver()), "CMimakiWhitePrinterDriver");
}

// What Create builds for a fresh printer of each UID: the catalogue's classes
// with every key at its default (UID 17's parameters always choose the 604
// special driver; UID 7's keep the colour layer separate by default, which
// takes the white driver).
TEST(ModelTable, CreateBuildsTheCatalogueClasses)
{
    const std::map<int, Expected> catalogue = Catalogue();
    const Expected none = ParseLine(kNoModel);
    int built = 0;
    for (int uid = 0; uid < 256; ++uid) {
        const auto it = catalogue.find(uid);
        const Expected& e = it != catalogue.end() ? it->second : none;
        std::string driver = e.rule == "UJFPrinterTyp" ? kUJFVariants[0] : e.driver;
        if (uid == 17)
            driver = "CMimaki604SpecialDriver";
        if (uid == 7)
            driver = "CMimakiWhitePrinterDriver";
        const auto [parms, made] = Built(uid);
        if (made.empty())
            continue;
        ++built;
        EXPECT_EQ(parms, e.parms) << "UID " << uid;
        EXPECT_EQ(made, driver) << "UID " << uid;
    }
    EXPECT_GE(built, 200); // at least every UID without a model
}

#ifdef HAVE_RASTERJOB_CATALOGUE
// rasterjob's catalogue names the classes the plug-in builds for a fresh
// printer: for every UID the same as the plug-in's table, and the same as
// what Create builds where it builds one.
TEST(ModelTable, RasterjobCatalogueAgreesWithThePlugin)
{
    for (int uid = 0; uid < 256; ++uid) {
        const rasterjob::CatalogueRow& r = rasterjob::CatalogueEntry(uid);
        const ModelRow& row = FindModel(uid);
        std::string driver = row.rule == Rule::UJFPrinterTyp ? Name(UJFLayerVariants()[0]) : Name(row.driver);
        if (uid == 17)
            driver = Name(&Special604Driver());
        if (uid == 7)
            driver = Name(&WhiteDriver());
        EXPECT_EQ(std::string(r.devParms), Name(row.parms)) << "UID " << uid;
        EXPECT_EQ(std::string(r.driver), driver) << "UID " << uid;
        EXPECT_EQ(std::string(r.model), row.uid < 0 ? "" : row.model) << "UID " << uid;
        const auto [parms, made] = Built(uid);
        if (!made.empty()) {
            EXPECT_EQ(std::string(r.devParms), parms) << "UID " << uid;
            EXPECT_EQ(std::string(r.driver), made) << "UID " << uid;
        }
    }
}
#endif
