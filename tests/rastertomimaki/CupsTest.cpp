// The filter and the PPDs in CUPS itself: cupstestppd on every PPD,
// cupsfilter turning a PDF and an image into a stream equal to rasterjob's
// on the same raster, and a print server of the test's own printing a PDF
// to a listener through one queue per family.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "RasterFiles.h"
#include "tests/support/Loopback.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/streamdump/StreamParser.h"

using namespace testsupport;

namespace {

constexpr const char kCupsBin[] = "/usr/lib/cups";

// A program of CUPS or Ghostscript by its path.
std::string Tool(const std::string& name)
{
    for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/"})
        if (::access((dir + name).c_str(), X_OK) == 0)
            return dir + name;
    return name;
}

// Two pages: cyan, magenta, yellow and black blocks, a grey ramp.
constexpr const char kPostScript[] = R"(%!PS
<< /PageSize [144 72] >> setpagedevice
1 0 0 0 setcmykcolor 0 0 48 72 rectfill
0 1 0 0 setcmykcolor 48 0 48 36 rectfill
0 0 1 0.3 setcmykcolor 96 36 48 36 rectfill
showpage
0 1 9 { dup 0.1 mul 0 0 0 4 -1 roll setcmykcolor 14.4 mul 0 14.4 72 rectfill } for
0 0 0 1 setcmykcolor 20 20 moveto 120 50 lineto 4 setlinewidth stroke
showpage
)";

// A folder laid out as CUPS's ServerBin, its filter/ holding the system's
// filters and ours. With copy, ours is a copy beside the plug-in and its
// host library, readable by the print server's user.
std::string ServerBin(const TempDir& dir, bool copy)
{
    const std::string sb = dir.Sub("serverbin");
    const std::string filters = sb + "/filter";
    ::mkdir(filters.c_str(), 0755);
    for (const std::string& sub : TempDir::ListOf(kCupsBin))
        if (sub != "filter") {
            EXPECT_EQ(::symlink((std::string(kCupsBin) + "/" + sub).c_str(), (sb + "/" + sub).c_str()), 0);
        }
    for (const std::string& f : TempDir::ListOf(std::string(kCupsBin) + "/filter"))
        EXPECT_EQ(::symlink((std::string(kCupsBin) + "/filter/" + f).c_str(), (filters + "/" + f).c_str()), 0);
    if (!copy) {
        EXPECT_EQ(::symlink(FILTER_EXE, (filters + "/rastertomimaki").c_str()), 0);
    } else {
        for (const std::string& file : {std::string(FILTER_EXE), std::string(MIMAKI_PLUGIN_PATH), std::string(HOST_LIB)}) {
            const std::string to = filters + "/" + file.substr(file.rfind('/') + 1);
            WriteFile(to, ReadFile(file));
            ::chmod(to.c_str(), 0755);
        }
    }
    WriteFile(dir / "cups-files.conf", "ServerBin " + sb + "\nDataDir /usr/share/cups\n");
    return sb;
}

std::string PpdFile(const TempDir& dir, int uid)
{
    const std::string path = dir / ("uid" + std::to_string(uid) + ".ppd");
    EXPECT_EQ(testsupport::Run(MIMAKIPPD_EXE, {"--uid", std::to_string(uid), "-o", path}).status, 0);
    return path;
}

void MakeInputs(const TempDir& dir)
{
    WriteFile(dir / "page.ps", kPostScript);
    const RunResult gs = testsupport::Run(Tool("gs"), {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                                    "-sOutputFile=" + (dir / "page.pdf"), dir / "page.ps"});
    ASSERT_EQ(gs.status, 0) << gs.err;
    // A 40 x 20 picture: red, green and blue bands over a grey ramp.
    std::string ppm = "P6\n40 20\n255\n";
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const int band = x / 14, grey = x * 6;
            ppm += static_cast<char>(y < 10 ? (band == 0 ? 255 : 0) : grey);
            ppm += static_cast<char>(y < 10 ? (band == 1 ? 255 : 0) : grey);
            ppm += static_cast<char>(y < 10 ? (band == 2 ? 255 : 0) : grey);
        }
    WriteFile(dir / "picture.ppm", ppm);
}

std::vector<std::string> PlaneDigests(const std::string& stream)
{
    std::vector<std::string> digests;
    for (const auto& plane : streamparse::ParseStream(stream).planes)
        digests.push_back(plane.digest);
    return digests;
}

// The print server of one test: its own configuration, spool and logs in
// dir, on a port of 127.0.0.1; stopped when the object goes, and by the
// kernel should the test itself die.
class PrintServer {
public:
    explicit PrintServer(const TempDir& dir) : m_dir(dir)
    {
        for (const char* sub : {"conf", "spool", "spool/tmp", "cache", "state", "log"})
            ::mkdir((dir / sub).c_str(), 0755);
        ::chmod((dir / "spool/tmp").c_str(), 01777);
        m_port = FreePort();
        WriteFile(dir / "conf/cupsd.conf",
                  "Listen 127.0.0.1:" + std::to_string(m_port) +
                      "\nLogLevel debug\nBrowsing Off\nWebInterface No\nDefaultAuthType None\n"
                      "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                      "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n");
        WriteFile(dir / "conf/cups-files.conf",
                  "ServerRoot " + (dir / "conf") + "\nServerBin " + (dir / "serverbin") +
                      "\nDataDir /usr/share/cups\nRequestRoot " + (dir / "spool") + "\nTempDir " +
                      (dir / "spool/tmp") + "\nCacheDir " + (dir / "cache") + "\nStateDir " + (dir / "state") +
                      "\nErrorLog " + (dir / "log/error_log") + "\nAccessLog " + (dir / "log/access_log") +
                      "\nPageLog " + (dir / "log/page_log") + "\nUser lp\nGroup lp\nSystemGroup root\n"
                      "FileDevice No\nSandboxing Relaxed\n");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (dir / "conf/cupsd.conf").c_str(), "-s",
                    (dir / "conf/cups-files.conf").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 100 && !m_up; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            m_up = testsupport::Run(Tool("lpstat"), {"-h", Host(), "-r"}, RunOptions({}, {"LC_ALL=C", "LANG=C"})).out ==
                   "scheduler is running\n";
        }
    }
    ~PrintServer()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    bool Up() const { return m_up; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }
    std::string Log() const { return ReadFile(m_dir / "log/error_log"); }

private:
    static int FreePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(s);
        return ntohs(a.sin_port);
    }
    const TempDir& m_dir;
    int m_port = 0;
    pid_t m_pid = -1;
    bool m_up = false;
};

// One model of each family, with options of the job and what they mean to
// rasterjob.
struct Family {
    int uid;
    const char* colour;  // ColorModel
    std::vector<std::string> options, rasterjob;
};
const Family kFamilies[] = {
    {1, "CMYK", {"CutMedia=EndOfJob"}, {"--cut", "1"}},
    {2, "Gray", {"DP2_Quality=3", "CutMedia=Printer"}, {"--set", "DP2_Quality=3", "--cut", "2"}},
    {15, "CMYK", {}, {"--cut", "1"}},
    {30, "KCMY", {"DP30_m_nPass=Custom.6"}, {"--set", "DP30_m_nPass=6"}},
    {19, "CMYK", {"DP19_nPass=4"}, {"--set", "DP19_nPass=4"}},
    // The JV400 prints no layer until its white mode is chosen.
    {22, "CMYK", {"DP22_m_nWhiteMode=Custom.0"}, {"--set", "DP22_m_nWhiteMode=0"}},
};

} // namespace

TEST(Cups, EveryPpdPassesCupstestppd)
{
    TempDir dir;
    const std::string filters = dir.Sub("root") + "/usr/lib/cups/filter";
    for (const char* sub : {"/usr", "/usr/lib", "/usr/lib/cups", "/usr/lib/cups/filter"})
        ::mkdir((dir / "root" + std::string(sub)).c_str(), 0755);
    ASSERT_EQ(::symlink(FILTER_EXE, (filters + "/rastertomimaki").c_str()), 0);
    std::vector<std::string> ppds;
    for (const std::string& name : TempDir::ListOf(PPD_DIR))
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ppd") == 0)
            ppds.push_back(name);
    ASSERT_GT(ppds.size(), 20u);
    for (const std::string& name : ppds) {
        const RunResult r = testsupport::Run(Tool("cupstestppd"), {"-R", dir / "root", std::string(PPD_DIR) + "/" + name});
        EXPECT_EQ(r.status, 0) << name << "\n" << r.out;
    }
}

// cupsfilter with one queue's PPD per family: the raster CUPS makes of a
// PDF and a picture, and the stream the filter makes of it, which must be
// rasterjob's on the same planes, page by page.
TEST(Cups, CupsfilterPdfAndPictureEqualRasterJob)
{
    TempDir dir;
    ServerBin(dir, false);
    MakeInputs(dir);
    for (const Family& f : kFamilies)
        for (const char* input : {"page.pdf", "picture.ppm"}) {
            SCOPED_TRACE("UID " + std::to_string(f.uid) + " " + input);
            const std::string ppd = PpdFile(dir, f.uid);
            std::vector<std::string> args = {"-e", "-c", dir / "cups-files.conf", "-p", ppd,
                                             "-t", "poster", "-o", "Resolution=360x720dpi",
                                             "-o", "PageSize=Custom.144x72", "-o", std::string("ColorModel=") + f.colour};
            for (const std::string& option : f.options)
                args.insert(args.end(), {"-o", option});
            RunOptions o;
            o.killAfterMs = 120000;
            o.stdoutPath = dir / "raster.ras";
            WriteFile(o.stdoutPath, "");
            std::vector<std::string> rasterArgs = args;
            rasterArgs.insert(rasterArgs.end(), {"-m", "application/vnd.cups-raster", dir / input});
            ASSERT_EQ(testsupport::Run(Tool("cupsfilter"), rasterArgs, o).status, 0);
            o.stdoutPath.clear();
            args.insert(args.end(), {"-m", "printer/mimaki", "-o", "mimaki-report=" + (dir / "report.json"), dir / input});
            const RunResult r = testsupport::Run(Tool("cupsfilter"), args, o);
            ASSERT_EQ(r.status, 0) << r.err;

            const std::vector<rastertest::Page> pages = rastertest::ReadPages(dir / "raster.ras");
            ASSERT_EQ(pages.size(), std::string(input) == "page.pdf" ? 2u : 1u);
            const std::string report = ReadFile(dir / "report.json");
            EXPECT_EQ(r.err.find("PAGE: " + std::to_string(pages.size()) + " 1"), r.err.rfind("PAGE: "));
            const std::string space = std::string(f.colour) == "Gray" ? "K" : f.colour;
            EXPECT_NE(report.find("\"dpi\": [360, 720], \"colourSpace\": \"" + space + "\""), std::string::npos);
            EXPECT_NE(report.find(std::string("\"channels\": [{\"colourCode\": ") + (space == "CMYK" ? "1" : "0")),
                      std::string::npos) << report;
            const int bits = report.find("\"bits\": 2") != std::string::npos ? 2 : 1;
            std::string expected;
            for (const rastertest::Page& page : pages) {
                TempDir jobDir;
                expected += rastertest::RasterJobStream(jobDir, f.uid, page, bits, f.rasterjob);
            }
            const streamparse::ParseResult parsed = streamparse::ParseStream(r.out);
            EXPECT_TRUE(parsed.ok()) << parsed.errors[0].message;
            EXPECT_EQ(PlaneDigests(r.out), PlaneDigests(expected));
            EXPECT_TRUE(r.out == expected) << r.out.size() << " bytes against " << expected.size();
        }
}

// lp to a queue of each family on a print server of the test's own: the
// listener gets the whole job, the stream the filter reported.
TEST(Cups, PrintServerDeliversWholeJobs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the print server's filters run as lp, which only root can arrange";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    ServerBin(dir, true);
    MakeInputs(dir);
    const std::string reports = dir.Sub("reports");
    ::chmod(reports.c_str(), 0777);
    PrintServer server(dir);
    ASSERT_TRUE(server.Up()) << server.Log();
    for (const Family& f : kFamilies) {
        SCOPED_TRACE("UID " + std::to_string(f.uid));
        LoopbackReceiver printer;
        const std::string queue = "mimaki" + std::to_string(f.uid);
        // The report named as a queue default ("-default": an option the PPD
        // does not carry), as a settings store is.
        const std::string report = reports + "/" + queue + ".json";
        const RunResult add = testsupport::Run(Tool("lpadmin"), {"-h", server.Host(), "-p", queue, "-E", "-v",
                                                                 printer.Uri(), "-P", PpdFile(dir, f.uid), "-o",
                                                                 "mimaki-report-default=" + report});
        ASSERT_EQ(add.status, 0) << add.err;
        std::vector<std::string> args = {"-h", server.Host(), "-d", queue, "-t", "poster", "-o", "Resolution=360dpi",
                                         "-o", "PageSize=Custom.144x72", "-o", std::string("ColorModel=") + f.colour};
        for (const std::string& option : f.options)
            args.insert(args.end(), {"-o", option});
        args.push_back(dir / "page.pdf");
        const RunResult lp = testsupport::Run(Tool("lp"), args);
        ASSERT_EQ(lp.status, 0) << lp.err;
        const std::string received = printer.Received();
        streamparse::ParseOptions strict;
        strict.expectJobEnd = true;
        const streamparse::ParseResult parsed = streamparse::ParseStream(received, strict);
        EXPECT_TRUE(parsed.ok()) << received.size() << " bytes; " << (parsed.ok() ? "" : parsed.errors[0].message)
                                 << "\n" << server.Log().substr(0, 4000);
        const std::string json = ReadFile(report);
        EXPECT_NE(json.find("\"bytesWritten\": " + std::to_string(received.size()) + ","), std::string::npos) << json;
        EXPECT_GT(rastertest::InkedPlanes(received), 0);
        for (const std::string& digest : PlaneDigests(received))
            EXPECT_NE(json.find(digest), std::string::npos) << digest;
    }
}
