// The PPDs: one per model UID the plug-in prints, each naming its UID and
// the filter, with the class's answers for cutting and margins and the
// print modes of the printer's print-condition data.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

using namespace testsupport;

namespace {

std::string Ppd(std::vector<std::string> args)
{
    args.insert(args.end(), {"-o", "-"});
    const RunResult r = testsupport::Run(MIMAKIPPD_EXE, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::string Line(const std::string& ppd, const std::string& start)
{
    const std::size_t at = ppd.find("\n" + start);
    return at == std::string::npos ? "" : ppd.substr(at + 1, ppd.find('\n', at + 1) - at - 1);
}

} // namespace

TEST(Ppd, OnePerModelThatPrints)
{
    // What the plug-in makes, as rasterjob lists it.
    const RunResult models = testsupport::Run(RASTERJOB_EXE, {"--list-models", "--json"},
                                 RunOptions({}, {"MIMAKI_PLUGIN=" MIMAKI_PLUGIN_PATH}));
    ASSERT_EQ(models.status, 0) << models.err;
    std::set<int> printing;
    const std::regex row(R"re(\{"uid": (\d+), "model": "([^"]+)"[^\n]*"supported": true)re");
    for (std::sregex_iterator it(models.out.begin(), models.out.end(), row), end; it != end; ++it)
        printing.insert(std::stoi((*it)[1]));
    ASSERT_FALSE(printing.empty());

    TempDir dir;
    ASSERT_EQ(testsupport::Run(MIMAKIPPD_EXE, {"-d", dir.Path()}).status, 0);
    std::set<int> made;
    for (const std::string& name : dir.List()) {
        const std::string ppd = ReadFile(dir / name);
        const std::string number = Line(ppd, "*cupsModelNumber: ");
        ASSERT_FALSE(number.empty()) << name;
        const int uid = std::stoi(number.substr(18));
        EXPECT_TRUE(made.insert(uid).second) << name;
        EXPECT_EQ(Line(ppd, "*cupsFilter2: "),
                  "*cupsFilter2: \"application/vnd.cups-raster application/vnd.mimaki-stream 0 rastertomimaki\"");
        EXPECT_EQ(name.rfind("mimaki-", 0), 0u);
    }
    EXPECT_EQ(made, printing);
}

// The default of the cut option is the class's default for job option 0;
// classes that leave it to the host default to no cut.
TEST(Ppd, CutDefaultAndMarginsFromTheClass)
{
    const std::pair<std::vector<std::string>, std::string> cuts[] = {
        {{"--uid", "13"}, "EndOfJob"},
        {{"--uid", "18"}, "None"},
        {{"--uid", "23"}, "EndOfJob"},
        {{"--uid", "30"}, "None"},
        {{"--uid", "48"}, "EndOfJob"},
        {{"--uid", "48", "--set", "bUseCut=0"}, "None"},
    };
    for (const auto& [args, cut] : cuts)
        EXPECT_EQ(Line(Ppd(args), "*DefaultCutMedia: "), "*DefaultCutMedia: " + cut) << args[1];

    // Left 10 mm, right 5 mm: the printer's right margin comes first in
    // the class's answer, the PPD has the page's left first.
    const std::string ppd = Ppd({"--uid", "48", "--set", "JV100_m_bSetLeftMargin=1", "--set", "JV100_m_nLeftMargin=10",
                                 "--set", "JV100_m_bSetRightMargin=1", "--set", "JV100_m_nRightMargin=5"});
    EXPECT_EQ(Line(ppd, "*HWMargins: "), "*HWMargins: 28.35 0 14.17 0");
    EXPECT_EQ(Line(ppd, "*ImageableArea A4: "), "*ImageableArea A4: \"28.35 0 581.1 841.89\"");
    EXPECT_EQ(Line(ppd, "*DefaultJV100_m_nLeftMargin: "), "*DefaultJV100_m_nLeftMargin: 10");
    EXPECT_EQ(Line(Ppd({"--uid", "48"}), "*HWMargins: "), "*HWMargins: 0 0 0 0");
}

// Print modes: one choice per print condition of the model's data (the
// counts of the embedded blocks' table), each setting its resolution and
// print method.
TEST(Ppd, PrintModesFromPrintConditions)
{
    const struct {
        const char* uid;
        const char* block;
        std::size_t conditions;
    } cases[] = {{"48", "PrintModeDataJV100_AllInksets", 9}, {"34", "PrintModeDataUJV55AllInksets", 64}};
    for (const auto& c : cases) {
        const std::string ppd = Ppd({"--uid", c.uid, "--set", std::string("EmbeddedPrintModeData=") + c.block});
        std::size_t choices = 0, settings = 0;
        for (std::size_t at = 0; (at = ppd.find("\n*MimakiPrintMode PM", at + 1)) != std::string::npos;)
            ++choices;
        for (std::size_t at = 0; (at = ppd.find("\n*MimakiChoice MimakiPrintMode.PM", at + 1)) != std::string::npos;)
            ++settings;
        EXPECT_EQ(choices, c.conditions) << c.block;
        EXPECT_EQ(settings, c.conditions) << c.block;
        const std::string first = Line(ppd, "*MimakiChoice MimakiPrintMode.PM1: ");
        EXPECT_NE(first.find("\"PrEnv_PrintMethod="), std::string::npos) << first;
        EXPECT_NE(first.find(";$Parms$"), std::string::npos) << first;
    }
    // Without data of its own a model offers the embedded block that stands
    // for its printer's, and says so; a model without one offers none.
    const std::string jv100 = Ppd({"--uid", "48"});
    EXPECT_NE(jv100.find("*% Print modes from the embedded print-condition block PrintModeDataJV100_AllInksets"),
              std::string::npos);
    EXPECT_EQ(Line(jv100, "*DefaultMimakiPrintMode: "), "*DefaultMimakiPrintMode: Printer");
    EXPECT_EQ(Ppd({"--uid", "30"}).find("MimakiPrintMode"), std::string::npos);
}

// The "M" models: the print methods the printer's settings list, else those
// of the class's pass table, plain and double density; each writes its
// "$Parms$" entry, the sixth item the double-density flag.
TEST(Ppd, PrintMethodsOfTheMModels)
{
    const std::string ppd = Ppd({"--uid", "2", "--set", "PrEnv_PrintMethod=720x360DD"});
    std::size_t choices = 0;
    for (std::size_t at = 0; (at = ppd.find("\n*MimakiPrintMode PM", at + 1)) != std::string::npos;)
        ++choices;
    EXPECT_EQ(choices, 12u);
    EXPECT_EQ(Line(ppd, "*MimakiPrintMode PM12/"),
              "*MimakiPrintMode PM12/720 x 360 dpi, double density (720 x 720): \"<</HWResolution[720 360]>>setpagedevice\"");
    EXPECT_EQ(Line(ppd, "*MimakiChoice MimakiPrintMode.PM12: "),
              "*MimakiChoice MimakiPrintMode.PM12: \"PrEnv_PrintMethod=720x360DD;$Parms$720x360DD=720,360,1,1,1,1\"");
    EXPECT_EQ(Line(ppd, "*MimakiChoice MimakiPrintMode.PM7: "),
              "*MimakiChoice MimakiPrintMode.PM7: \"PrEnv_PrintMethod=720x360;$Parms$720x360=720,360,1,1,1,0\"");
    EXPECT_EQ(Line(ppd, "*DefaultMimakiPrintMode: "), "*DefaultMimakiPrintMode: PM12");
    EXPECT_NE(Line(ppd, "*Resolution 1440dpi/"), "");

    const std::string listed = Ppd({"--uid", "5", "--set", "PrEnv_PrintMethodList=Fine,Draft", "--set",
                                    "$Parms$Fine=720,720,1,1,3,0", "--set", "$Parms$Draft=360,180,1,1,1,1"});
    EXPECT_EQ(Line(listed, "*MimakiPrintMode PM2/"),
              "*MimakiPrintMode PM2/Draft (double density): \"<</HWResolution[360 180]>>setpagedevice\"");
    EXPECT_EQ(Line(listed, "*MimakiPrintMode PM3"), "");
}

TEST(Ppd, UsageAndFailures)
{
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"--uid", "300"}, 2, "mimakippd: --uid 300: give a model UID 0..255\n"},
        {{"--uid", "0"}, 1, "mimakippd: UID 0 is no model of the model table\n"},
        {{"--uid", "19", "--set", "UJFPrinterTyp=9"}, 1,
         "mimakippd: UID 19 (UJF3042): the plug-in makes no printer: ***Create#"},
        {{"--set", "x"}, 2, "mimakippd: --set x: give KEY=VALUE\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = testsupport::Run(MIMAKIPPD_EXE, c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    }
}
