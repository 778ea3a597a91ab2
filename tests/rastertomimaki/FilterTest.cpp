// The filter as CUPS runs it, against rasterjob on the same planes: the
// streams must be equal byte for byte, options and settings included.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <cups/raster.h>

#include "RasterFiles.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/rastertomimaki/CupsRaster.h"
#include "tools/rastertomimaki/PpdNames.h"
#include "tools/streamdump/StreamParser.h"

using namespace testsupport;
using namespace std::string_literals;
using rastertest::Page;
using rastertest::RasterJobStream;

namespace {

// Ink where (x + 2y + 5p) mod 7 is below 3: each plane its own pattern.
int Stripes(int p, int x, int y) { return (x + 2 * y + 5 * p) % 7 < 3 ? 255 : (x * 37 + y * 11 + p * 50) % 200; }

struct Filter {
    TempDir dir;
    std::string ppd;
    explicit Filter(int uid, const std::vector<std::string>& ppdArgs = {})
    {
        ppd = dir / "printer.ppd";
        std::vector<std::string> args = {"--uid", std::to_string(uid), "-o", ppd};
        args.insert(args.end(), ppdArgs.begin(), ppdArgs.end());
        const RunResult r = testsupport::Run(MIMAKIPPD_EXE, args);
        EXPECT_EQ(r.status, 0) << r.err;
    }
    RunResult Print(const std::string& raster, const std::string& options, std::vector<std::string> env = {},
                    RunOptions extra = {}) const
    {
        env.push_back("PPD=" + ppd);
        extra.env = env;
        extra.killAfterMs = 60000;
        return testsupport::Run(FILTER_EXE, {"7", "user", "poster", "1", options, raster}, extra);
    }
};

// The settings options of a PPD: keyword, kind, default, stored key.
struct SettingOption {
    std::string keyword, kind, def, key;
};
std::vector<SettingOption> SettingOptions(const std::string& ppdText)
{
    std::vector<SettingOption> out;
    std::istringstream in(ppdText);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("*MimakiSetting ", 0) != 0)
            continue;
        SettingOption o;
        o.keyword = line.substr(15, line.find(':') - 15);
        std::istringstream v(line.substr(line.find('"') + 1, line.rfind('"') - line.find('"') - 1));
        std::string escaped;
        v >> o.kind >> o.def >> escaped;
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            const bool quote = escaped.compare(i, 3, "%22") == 0;
            o.key += quote ? '"' : escaped[i];
            i += quote ? 2 : 0;
        }
        out.push_back(o);
    }
    return out;
}

} // namespace

// Each colour order and depth: plane p of row y as the driver gets it.
TEST(PageReader, OrdersDepthsAndSpaces)
{
    struct Case {
        unsigned space, order, bits;
        int jobBits;
    } cases[] = {{3, 0, 1, 1}, {3, 0, 2, 2}, {3, 0, 8, 2}, {6, 0, 1, 1}, {6, 0, 2, 2}, {6, 0, 8, 1},
                 {8, 1, 2, 2}, {8, 1, 8, 2}, {6, 2, 1, 1}, {6, 2, 8, 2}, {8, 2, 2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "space " << c.space << " order " << c.order << " bits " << c.bits);
        TempDir dir;
        Page page;
        page.space = c.space;
        page.order = c.order;
        page.bits = c.bits;
        const int top = c.bits == 8 ? 255 : (1 << c.bits) - 1;
        // Full ink or none screens to the top level or nothing, so the
        // expected rows need no screen.
        page.value = [top](int p, int x, int y) { return (x + y + p) % 3 == 0 ? top : (x + p) % 5 == 1 ? top : 0; };
        rastertest::WriteRaster(dir / "r.ras", {page});
        const int fd = ::open((dir / "r.ras").c_str(), O_RDONLY);
        cups_raster_t* r = cupsRasterOpen(fd, CUPS_RASTER_READ);
        cups_page_header2_t h;
        ASSERT_TRUE(cupsRasterReadHeader2(r, &h));
        rastertomimaki::PageLayout layout;
        std::string error;
        ASSERT_TRUE(rastertomimaki::CheckPage(h, 1, layout, error)) << error;
        rastertomimaki::PageReader reader(r, h, layout, c.jobBits, 1);
        auto sources = reader.Sources();
        const int jobTop = (1 << c.jobBits) - 1;
        std::vector<BYTE> scratch(static_cast<std::size_t>(page.width));
        for (int y = 0; y < page.height; ++y)
            for (std::size_t p = 0; p < sources.size(); ++p) {
                const BYTE* row = sources[p]->Row(y, scratch.data());
                ASSERT_NE(row, nullptr) << sources[p]->Error();
                for (int x = 0; x < page.width; ++x) {
                    const int bit = x * c.jobBits;
                    const int level = (row[bit / 8] >> (8 - c.jobBits - bit % 8)) & jobTop;
                    ASSERT_EQ(level, page.value(static_cast<int>(p), x, y) ? jobTop : 0) << "x " << x << " y " << y;
                }
            }
        cupsRasterClose(r);
        ::close(fd);
    }
}

TEST(PageReader, RefusesWhatItCannotPrint)
{
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    h.cupsWidth = 10;
    h.cupsHeight = 5;
    h.HWResolution[0] = h.HWResolution[1] = 360;
    struct Case {
        unsigned space, bits, bitsPerPixel, bytesPerLine;
        const char* says;
    } cases[] = {
        {CUPS_CSPACE_RGB, 8, 24, 30, "colour space RGB (1) cannot be printed"},
        {CUPS_CSPACE_CMYK, 16, 64, 80, "16 bits per colour cannot be printed"},
        {CUPS_CSPACE_CMYK, 8, 32, 39, "39 bytes per line where 10 pixels of CMYK at 8 bits need 40"},
        {CUPS_CSPACE_K, 1, 4, 2, "4 bits per pixel do not fit 1 colours of 1 bits"},
    };
    for (const Case& c : cases) {
        h.cupsColorSpace = static_cast<cups_cspace_t>(c.space);
        h.cupsBitsPerColor = c.bits;
        h.cupsBitsPerPixel = c.bitsPerPixel;
        h.cupsBytesPerLine = c.bytesPerLine;
        rastertomimaki::PageLayout layout;
        std::string error;
        EXPECT_FALSE(rastertomimaki::CheckPage(h, 2, layout, error));
        EXPECT_EQ(error.rfind(std::string("page 2: ") + c.says, 0), 0u) << error;
    }
}

// Every settings option of a sample of PPDs, each set away from its
// default, reaches its key: the report lists it and the stream equals
// rasterjob's with the same keys set.
TEST(Filter, EverySettingsOptionReachesItsKey)
{
    for (int uid : {2, 13, 30, 48}) {
        SCOPED_TRACE("UID " + std::to_string(uid));
        Filter f(uid);
        std::string options = "mimaki-report=" + (f.dir / "report.json");
        std::vector<std::string> sets;
        const std::vector<SettingOption> settings = SettingOptions(ReadFile(f.ppd));
        ASSERT_GT(settings.size(), 5u);
        std::string expectSettings;
        for (const SettingOption& o : settings) {
            std::string value = o.def == "1" ? "0" : o.kind == "int" ? std::to_string(std::stoi(o.def) + 1) : "2.5";
            options += " " + o.keyword + "=" + value;
            sets.insert(sets.end(), {"--set", o.key + "=" + value});
            std::string quoted;
            for (const char ch : o.key)
                quoted += ch == '"' ? std::string("\\\"") : std::string(1, ch);
            expectSettings += std::string(expectSettings.empty() ? "" : ", ") + "[\"" + quoted + "\", \"" + value + "\"]";
        }
        Page page;
        page.value = Stripes;
        rastertest::WriteRaster(f.dir / "job.ras", {page});
        const RunResult r = f.Print(f.dir / "job.ras", options);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string report = ReadFile(f.dir / "report.json");
        EXPECT_NE(report.find("\"settings\": [" + expectSettings + "]"), std::string::npos) << report;
        TempDir dir;
        const int bits = report.find("\"bits\": 2") != std::string::npos ? 2 : 1;
        EXPECT_TRUE(r.out == RasterJobStream(dir, uid, page, bits, sets));
        EXPECT_EQ(rastertest::InkedPlanes(r.out), 4);
    }
}

// Every model's PPD at its defaults, with its printer definition: the
// filter prints a CMYK page as rasterjob prints the same planes, ink
// included, or fails it for the reason rasterjob gives; a page without ink
// before a byte goes out, naming the settings.
TEST(Filter, EveryModelPrintsAsRasterJob)
{
    const RunResult list = testsupport::Run(MIMAKIPPD_EXE, {"--list"});
    ASSERT_EQ(list.status, 0) << list.err;
    std::istringstream rows(list.out);
    std::vector<int> refused;
    int models = 0;
    for (std::string row; std::getline(rows, row); ++models) {
        const int uid = std::stoi(row);
        SCOPED_TRACE("UID " + std::to_string(uid));
        Filter f(uid);
        Page page;
        page.value = Stripes;
        rastertest::WriteRaster(f.dir / "job.ras", {page});
        const RunResult r = f.Print(f.dir / "job.ras", "mimaki-report=" + (f.dir / "report.json"));
        if (uid == 54) {
            // Its white channel comes from the filter (DtfWhiteUnderTheColour).
            EXPECT_EQ(r.status, 0) << r.err;
            continue;
        }
        if (r.status != 0) {
            refused.push_back(uid);
            const RunResult rj = testsupport::Run(RASTERJOB_EXE, {"--set", "PrEnv_UID=" + std::to_string(uid),
                                                                  "--channels", "1,2,3,0", "--dpi", "360x720", "-o",
                                                                  f.dir / "job.prn"},
                                                  RunOptions(f.dir.Path(), {"MIMAKI_PLUGIN=" MIMAKI_PLUGIN_PATH}));
            EXPECT_EQ(rj.status, 1);
            const std::string said = rj.err.substr(rj.err.find("rasterjob: ") + 11);
            const std::size_t at = r.err.find("ERROR: ");
            ASSERT_NE(at, std::string::npos) << r.err;
            if (said.rfind("no channel of this job", 0) == 0) {
                EXPECT_EQ(r.out, "");
                EXPECT_EQ(r.err.substr(at), "ERROR: page 1: " + said);
                EXPECT_NE(said.find("nothing was sent; channel 0: colour code 1 goes into no layer the printer "
                                    "gets: change the layer settings (DP"),
                          std::string::npos);
            } else {
                EXPECT_NE(r.err.find("ERROR: " + said.substr(0, said.find("; nothing was"))), std::string::npos);
            }
            continue;
        }
        TempDir dir;
        const int bits = ReadFile(f.dir / "report.json").find("\"bits\": 2") != std::string::npos ? 2 : 1;
        EXPECT_TRUE(r.out == RasterJobStream(dir, uid, page, bits, {}));
    }
    EXPECT_GT(models, 40);
    // Model 7 and the JV400 print no layer until a white mode is chosen.
    EXPECT_EQ(refused, std::vector<int>({7, 22}));
}

// The TxF150 takes a white channel after the colour, which a CMYK raster
// lacks: the filter lays a full white dot under every dot of any colour,
// or sends the white channel empty when the queue says "None".
TEST(Filter, DtfWhiteUnderTheColour)
{
    Filter f(54);
    EXPECT_NE(ReadFile(f.ppd).find("*DefaultMimakiWhite: Under"), std::string::npos);
    Page page;
    page.bits = 2;
    page.value = [](int p, int x, int y) { return (x + 3 * y + 5 * p) % 11 == 0 ? p % 3 + 1 : 0; };
    rastertest::WriteRaster(f.dir / "job.ras", {page});
    const std::size_t rowBytes = (static_cast<std::size_t>(page.width) * 2 + 7) / 8;
    for (const bool under : {true, false}) {
        SCOPED_TRACE(under ? "Under" : "None");
        const RunResult r = f.Print(f.dir / "job.ras", "mimaki-report=" + (f.dir / "report.json") +
                                                           (under ? "" : " MimakiWhite=None"));
        ASSERT_EQ(r.status, 0) << r.err;
        const streamparse::ParseResult parsed = streamparse::ParseStream(r.out);
        const streamparse::Plane* white = nullptr;
        int colours = 0;
        for (const streamparse::Plane& plane : parsed.planes)
            if (plane.key.colour == 254)
                white = &plane;
            else
                colours += plane.firstInkRow >= 0 ? 1 : 0;
        EXPECT_EQ(colours, 4) << ReadFile(f.dir / "report.json");
        if (!under) {
            // Empty white records leave no plane, or one without ink.
            EXPECT_TRUE(!white || white->firstInkRow == -1);
            continue;
        }
        ASSERT_NE(white, nullptr) << ReadFile(f.dir / "report.json");
        // Worked out per pixel: level 3 (binary 11) wherever a plane has a dot.
        for (int y = 0; y < page.height; ++y) {
            std::vector<std::uint8_t> expected(rowBytes, 0);
            for (int x = 0; x < page.width; ++x)
                for (int p = 0; p < 4; ++p)
                    if (page.value(p, x, y))
                        expected[static_cast<std::size_t>(x / 4)] |= static_cast<std::uint8_t>(3 << (6 - 2 * (x % 4)));
            const std::vector<std::uint8_t>* row = white->RowAt(y);
            std::vector<std::uint8_t> got = row ? *row : std::vector<std::uint8_t>();
            got.resize(rowBytes, 0);
            EXPECT_EQ(got, expected) << "row " << y;
        }
    }
}

// A print mode of the PPD sets the keys its *MimakiChoice lists: the "M"
// models' double density reaches "MP" and "ME"; a JV100 mode of the
// embedded print conditions prints as rasterjob does with its keys.
TEST(Filter, PrintModesReachTheirKeys)
{
    auto modeSets = [](const std::string& ppd, const std::string& pm) {
        const std::string attr = "*MimakiChoice MimakiPrintMode." + pm + ": \"";
        const std::size_t at = ppd.find(attr) + attr.size();
        std::vector<std::string> sets;
        std::istringstream list(ppd.substr(at, ppd.find('"', at) - at));
        for (std::string item; std::getline(list, item, ';');)
            sets.insert(sets.end(), {"--set", ppdnames::Unescape(item)});
        return sets;
    };
    Page page;
    page.value = Stripes;
    // UID 2, PM12: 720 x 360 dpi printed to 720 down: passes 8 (quality 1),
    // dot code 2; without a mode 4 passes, dot code 1, no double density.
    Filter m(2);
    ASSERT_NE(ReadFile(m.ppd).find("*MimakiPrintMode PM12/720 x 360 dpi, double density"), std::string::npos);
    page.dpiHorz = 720;
    page.dpiVert = 360;
    rastertest::WriteRaster(m.dir / "job.ras", {page});
    const RunResult dd = m.Print(m.dir / "job.ras", "DP2_SendPrintMode=1 MimakiPrintMode=PM12");
    ASSERT_EQ(dd.status, 0) << dd.err;
    const std::string md = "\033@MD\x68\x01\xd0\x02MP"s, ddStart = md + "\x08\0\xff\xff\xff\xff\xff\xff\xffMC\x02ME\0\1\0MB\0"s,
                      plainStart = md + "\x04\0\xff\xff\xff\xff\xff\xff\xffMC\x01ME\0\0\0MB\0"s;
    EXPECT_EQ(dd.out.substr(0, ddStart.size()), ddStart);
    std::vector<std::string> sets = modeSets(ReadFile(m.ppd), "PM12");
    sets.insert(sets.end(), {"--set", "DP2_SendPrintMode=1"});
    TempDir dir;
    EXPECT_TRUE(dd.out == RasterJobStream(dir, 2, page, 1, sets));
    const RunResult plain = m.Print(m.dir / "job.ras", "DP2_SendPrintMode=1");
    EXPECT_EQ(plain.out.substr(0, plainStart.size()), plainStart);

    Filter jv100(48);
    const std::string ppd = ReadFile(jv100.ppd);
    const std::string res = ppd.substr(ppd.find("HWResolution[", ppd.find("*MimakiPrintMode PM1/")) + 13);
    page.dpiHorz = std::stoi(res);
    page.dpiVert = std::stoi(res.substr(res.find(' ') + 1));
    rastertest::WriteRaster(jv100.dir / "job.ras", {page});
    const RunResult r = jv100.Print(jv100.dir / "job.ras", "MimakiPrintMode=PM1 mimaki-report=" + (jv100.dir / "r.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadFile(jv100.dir / "r.json").find("[\"PrEnv_PrintMethod\", "), std::string::npos);
    const int bits = ReadFile(jv100.dir / "r.json").find("\"bits\": 2") != std::string::npos ? 2 : 1;
    EXPECT_TRUE(r.out == RasterJobStream(dir, 48, page, bits, modeSets(ppd, "PM1")));
}

// The queue's settings store: keys the PPD does not carry, and the ones it
// carries left at their defaults, come from the store.
TEST(Filter, ReadsTheQueuesSettingsStore)
{
    Filter f(30);
    WriteFile(f.dir / "printers.ini", "[Roll]\nPrEnv_UID=30\nDP30_m_nPass=4\nDP30_m_nDirection=1\nSlotsSetting=1`2`3`0\n"
                                      "MimakiColorSequence=1,2,3,4\n[Other]\nPrEnv_UID=48\n");
    Page page;
    page.value = Stripes;
    rastertest::WriteRaster(f.dir / "job.ras", {page});
    const std::string store = "mimaki-settings=" + (f.dir / "printers.ini");
    const RunResult r = f.Print(f.dir / "job.ras", store + " mimaki-printer=Roll DP30_m_nDirection=0");
    ASSERT_EQ(r.status, 0) << r.err;
    TempDir dir;
    EXPECT_TRUE(r.out == RasterJobStream(dir, 30, page, 2, {"--settings", f.dir / "printers.ini", "--printer", "Roll",
                                                        "--set", "DP30_m_nDirection=0"}));
    const RunResult other = f.Print(f.dir / "job.ras", store + " mimaki-printer=Other");
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.err, "ERROR: settings section [Other] is for UID 48, the queue's PPD for UID 30\n");
}

// Bad input: one ERROR line and exit status 1; nothing goes out unless a
// page was under way, and a page cut short ends with the abort command.
TEST(Filter, BadInputFailsInOneLine)
{
    Filter f(1);
    WriteFile(f.dir / "abort.ini", "[P]\nPrEnv_UID=1\nPrEnv_AbortCommand=ABORTNOW\n");
    const std::string store = "mimaki-settings=" + (f.dir / "abort.ini") + " mimaki-printer=P";
    Page page;
    page.value = Stripes;
    rastertest::WriteRaster(f.dir / "cut.ras", {page}, 100);
    Page rgb = page;
    rgb.space = CUPS_CSPACE_RGB;
    rastertest::WriteRaster(f.dir / "rgb.ras", {rgb});
    rastertest::WriteRaster(f.dir / "ok.ras", {page});
    WriteFile(f.dir / "empty.ras", "");

    struct Case {
        std::string raster, options;
        std::vector<std::string> env;
        std::string error;
        bool partial;
    } cases[] = {
        {"cut.ras", store, {}, "ERROR: page 1: the raster ends at row 23 of 23 (truncated); the page ended with the "
                               "printer's abort command\n", true},
        {"rgb.ras", "", {}, "ERROR: page 1: colour space RGB (1) cannot be printed; the printer takes K, CMYK or KCMY "
                            "(choose a colour model of the PPD)\n", false},
        {"ok.ras", "CutMedia=Sometimes", {}, "ERROR: option CutMedia=Sometimes: no such choice (choices: None, "
                                             "EndOfJob, Printer)\n", false},
        {"ok.ras", "DP1_Unidir=fast", {}, "ERROR: option DP1_Unidir=fast: no such choice (choices: 1, or "
                                          "Custom.VALUE)\n", false},
        {"ok.ras", "", {"MIMAKI_PLUGIN=/nonexistent/libmimaki.so"},
         "ERROR: plug-in does not load: /nonexistent/libmimaki.so: cannot open shared object file: No such file or "
         "directory (set MIMAKI_PLUGIN to the plug-in's path)\n", false},
        {"empty.ras", "", {}, "ERROR: the raster holds no page (empty or no CUPS raster)\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raster + " " + c.options);
        const RunResult r = f.Print(f.dir / c.raster, c.options, c.env);
        EXPECT_EQ(r.status, 1);
        std::string errors;
        for (const std::string& line : r.ErrLines())
            if (line.rfind("ERROR:", 0) == 0)
                errors += line + "\n";
        EXPECT_EQ(errors, c.error);
        if (c.partial) {
            ASSERT_GE(r.out.size(), 8u);
            EXPECT_EQ(r.out.substr(r.out.size() - 8), "ABORTNOW");
        } else {
            EXPECT_EQ(r.out, "");
        }
    }
    // A model the plug-in cannot make from the queue's settings.
    Filter ujf(19);
    WriteFile(ujf.dir / "ujf.ini", "[UJF]\nPrEnv_UID=19\nUJFPrinterTyp=9\n");
    const RunResult noModel =
        ujf.Print(f.dir / "ok.ras", "mimaki-settings=" + (ujf.dir / "ujf.ini") + " mimaki-printer=UJF");
    EXPECT_EQ(noModel.status, 1);
    EXPECT_EQ(noModel.out, "");
    EXPECT_NE(noModel.err.find("\nERROR: UID 19: the plug-in makes no printer: UID 19: UJFPrinterTyp 9 is outside "
                               "0..6, no driver\n"),
              std::string::npos)
        << noModel.err;
    const RunResult noPpd = testsupport::Run(FILTER_EXE, {"7", "user", "poster", "1", "", f.dir / "ok.ras"},
                                RunOptions({}, {"PPD"}));
    EXPECT_EQ(noPpd.status, 1);
    EXPECT_EQ(noPpd.err, "ERROR: no PPD ($PPD is not set): the queue must use a PPD made by mimakippd\n");
}

// A cancelled job (SIGTERM from CUPS) ends with the printer's abort
// command after the rows already sent.
TEST(Filter, CancelEndsWithTheAbortCommand)
{
    Filter f(1);
    WriteFile(f.dir / "abort.ini", "[P]\nPrEnv_UID=1\nPrEnv_AbortCommand=ABORTNOW\n");
    Page page;
    page.height = 800;  // half the raster fits a pipe
    page.value = Stripes;
    rastertest::WriteRaster(f.dir / "job.ras", {page});
    const std::string raster = ReadFile(f.dir / "job.ras");
    const std::string fifo = f.dir / "in.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Half the page, then the raster stays open until the filter is gone.
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    std::atomic<bool> ended{false};
    std::thread feeder([&] {
        (void)!::write(fd, raster.data(), raster.size() / 2);
        while (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    RunOptions o;
    // Well after the page began (the filter then waits for the rest of the
    // raster), also in a loaded sanitizer build.
    o.signalAfterMs = 3000;
    o.signal = SIGTERM;
    const RunResult r = f.Print(fifo, "mimaki-settings=" + (f.dir / "abort.ini") + " mimaki-printer=P", {}, o);
    ended = true;
    feeder.join();
    ::close(fd);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR: job cancelled (SIGTERM) at page 1; the printer got its abort command\n"),
              std::string::npos)
        << r.err;
    ASSERT_GE(r.out.size(), 8u);
    EXPECT_EQ(r.out.substr(r.out.size() - 8), "ABORTNOW");
}
