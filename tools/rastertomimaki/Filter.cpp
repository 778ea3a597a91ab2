#include "tools/rastertomimaki/Filter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <cups/raster.h>

#include "host/FileIO.h"
#include "host/Log.h"
#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"
#include "tools/common/Interrupt.h"
#include "tools/common/Json.h"
#include "tools/common/PrinterDefinitions.h"
#include "tools/common/RasterDigest.h"
#include "tools/rasterjob/InkReach.h"
#include "tools/rasterjob/JobRunner.h"
#include "tools/rasterjob/Plugin.h"
#include "tools/rastertomimaki/CupsRaster.h"
#include "tools/rastertomimaki/PpdOptions.h"
#include "tools/rastertomimaki/WhiteUnder.h"

namespace rastertomimaki {

namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "ERROR: %s\n", message.c_str());
    return 1;
}

bool Exists(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// $MIMAKI_PLUGIN; else a libmimaki.so beside the filter; else the build's
// plug-in for the filter of a build tree; else the installed one.
std::string PluginPath()
{
    if (const char* env = std::getenv("MIMAKI_PLUGIN"); env && *env)
        return env;
    char exe[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string folder = n > 0 ? Folder(std::string(exe, static_cast<std::size_t>(n))) : std::string();
    if (!folder.empty() && Exists(folder + "/libmimaki.so"))
        return folder + "/libmimaki.so";
#ifdef RASTERTOMIMAKI_BUILD_DIR
    if (folder == RASTERTOMIMAKI_BUILD_DIR)
        return rasterjob::DefaultPluginPath();
#endif
#ifdef RASTERTOMIMAKI_INSTALLED_PLUGIN
    return RASTERTOMIMAKI_INSTALLED_PLUGIN;
#else
    return rasterjob::DefaultPluginPath();
#endif
}

// Create with the plug-in's log lines kept for the message when it makes
// no driver; on success they go to the log as CUPS debug lines.
IPrinterDriver* CreateDriver(rasterjob::Plugin& plugin, CPrintEnv& env, std::string& reason)
{
    std::vector<std::pair<int, std::string>> logged;
    CVoLogReporter::SetLogFile("/dev/null");
    CVoLogReporter::SetCapture([&](int level, const std::string& text) { logged.emplace_back(level, text); });
    IPrinterDriver* object = plugin.Create(&env);
    CVoLogReporter::SetCapture(nullptr);
    CVoLogReporter::SetLogFile("");
    for (auto [level, text] : logged) {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (!object && reason.empty() && level <= 4)
            reason = text.rfind("***", 0) == 0 && text.find(": ") != std::string::npos ? text.substr(text.find(": ") + 2)
                                                                                       : text;
        std::fprintf(stderr, "DEBUG: %s\n", text.c_str());
    }
    return object;
}

struct DriverHolder {
    std::unique_ptr<rasterjob::Plugin> plugin;
    IPrinterDriver* object = nullptr;
    ~DriverHolder() { delete object; }
};

struct PageReport {
    PageLayout layout;
    int bits = 0;
    std::vector<RasterDigest> digests;
};

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::string ReportJson(int uid, CPrinterDriverBase& driver, const JobSettings& job, const CPrintEnv& env,
                       const std::vector<PageReport>& pages, std::uint64_t bytes)
{
    std::string out = "{\n  \"uid\": " + std::to_string(uid) + ",\n";
    out += "  \"devParmsClass\": " + JsonString(rasterjob::ClassName(driver.GetDevParms())) + ",\n";
    out += "  \"driverClass\": " + JsonString(rasterjob::ClassName(&driver)) + ",\n";
    out += "  \"cutOption\": " + std::to_string(job.cutOption) + ",\n";
    out += "  \"printMethod\": " + JsonString(WideToUtf8(env.GetString(PrEnv_PrintMethod))) + ",\n";
    out += "  \"settings\": [";
    for (std::size_t i = 0; i < job.keys.size(); ++i)
        out += std::string(i ? ", " : "") + "[" + JsonString(job.keys[i].first) + ", " + JsonString(job.keys[i].second) +
               "]";
    out += "],\n  \"bytesWritten\": " + std::to_string(bytes) + ",\n  \"pages\": [\n";
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const PageReport& r = pages[p];
        out += "    {\"width\": " + std::to_string(r.layout.width) + ", \"height\": " + std::to_string(r.layout.height) +
               ", \"dpi\": [" + Number(r.layout.dpiHorz) + ", " + Number(r.layout.dpiVert) + "], \"colourSpace\": " +
               JsonString(r.layout.spaceName) + ", \"rasterBits\": " + std::to_string(r.layout.bitsPerColor) +
               ", \"order\": " + std::to_string(r.layout.order) + ", \"bits\": " + std::to_string(r.bits) +
               ", \"channels\": [";
        for (std::size_t c = 0; c < r.digests.size(); ++c)
            out += std::string(c ? ", " : "") + "{\"colourCode\": " + std::to_string(r.layout.colourCodes[c]) +
                   ", \"digest\": " + JsonString(r.digests[c].Hex()) + "}";
        out += std::string("]}") + (p + 1 < pages.size() ? ",\n" : "\n");
    }
    return out + "  ]\n}\n";
}

// CUPS's own reader retries a read that a signal broke off: this one
// gives up once a signal came, so that a cancel stops a filter that waits
// for its input.
struct RasterInput {
    int fd;
};
ssize_t ReadRaster(void* context, unsigned char* buffer, size_t length)
{
    const int fd = static_cast<RasterInput*>(context)->fd;
    for (;;) {
        if (interrupt::Signal())
            return -1;
        pollfd p[2] = {{fd, POLLIN, 0}, {interrupt::WakeFd(), POLLIN, 0}};
        if (::poll(p, p[1].fd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR)
            return -1;
        if (interrupt::Signal())
            return -1;
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = ::read(fd, buffer, length);
        if (n >= 0 || (errno != EINTR && errno != EAGAIN))
            return n;
    }
}

// The dot depth the class derives from its settings (as it would write it
// on save): 2 bits for variable dots, else 1.
int DriverBits(CPrinterDriverBase& driver, const CPrintEnv& env)
{
    CPrintEnv derived = env;
    if (CUnivDevParmsBase* parms = driver.GetDevParms())
        parms->Save(&derived);
    return derived.GetInt(PrEnv_InkLevels) > 1 ? 2 : 1;
}

int Run(int argc, const char* const* argv)
{
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argc > 0 ? argv[0] : "rastertomimaki");
        return 1;
    }
    const char* ppdPath = std::getenv("PPD");
    if (!ppdPath || !*ppdPath)
        return Fail("no PPD ($PPD is not set): the queue must use a PPD made by mimakippd");
    JobSettings job;
    std::string error;
    if (!ReadJobSettings(ppdPath, argv[5], job, error))
        return Fail(error);

    // The printer: its settings store section, when the queue names one,
    // then the PPD's model and the job's options.
    CPrintEnv env(L"rastertomimaki");
    if (!job.settingsFile.empty()) {
        if (job.section.empty())
            return Fail("settings store " + job.settingsFile + ": name the printer's section with -o mimaki-printer=NAME");
        if (!env.LoadFromIni(job.settingsFile, Utf8ToWide(job.section), error))
            return Fail("settings store: " + error);
        if (env.HasKey(PrEnv_UID.pszKey) && (env.GetInt(PrEnv_UID) & 255) != job.uid)
            return Fail("settings section [" + job.section + "] is for UID " + std::to_string(env.GetInt(PrEnv_UID) & 255) +
                        ", the queue's PPD for UID " + std::to_string(job.uid));
    }
    env.PutInt(PrEnv_UID, job.uid);
    // The model's definition, as a host supplies it with the printer (the
    // store's own keys win), then the queue's and the job's options.
    printerdefs::Apply(env, job.uid);
    for (const auto& [key, value] : job.keys)
        env.PutString(Utf8ToWide(key).c_str(), Utf8ToWide(value));

    int fd = 0;
    if (argc == 7) {
        fd = ::open(argv[6], O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Fail(std::string(argv[6]) + ": cannot open: " + std::strerror(errno));
    }

    DriverHolder holder;
    const std::string pluginPath = PluginPath();
    holder.plugin = rasterjob::Plugin::Load(pluginPath, error);
    if (!holder.plugin)
        return Fail(error + " (set MIMAKI_PLUGIN to the plug-in's path)");
    std::string reason;
    holder.object = CreateDriver(*holder.plugin, env, reason);
    auto* driver = dynamic_cast<CPrinterDriverBase*>(holder.object);
    if (!driver)
        return Fail("UID " + std::to_string(job.uid) + ": the plug-in makes no printer" +
                    (reason.empty() ? "" : ": " + reason));
    for (const CPrintEnv::BadValue& bad : env.BadValues())
        std::fprintf(stderr, "WARNING: %s=%s is no whole number; its default was used\n", WideToUtf8(bad.key).c_str(),
                     WideToUtf8(bad.text).c_str());
    const int driverBits = DriverBits(*driver, env);
    if (!job.cutGiven)
        job.cutOption = rasterjob::DefaultCutOption(*driver);

    // The stream goes to the backend as it is made: a page that stops early
    // ends with the printer's abort command.
    CFdSink sink(1, "standard output");
    sink.SetStopFd(interrupt::WakeFd());
    driver->SetOutputSink(&sink);

    RasterInput input{fd};
    cups_raster_t* raster = cupsRasterOpenIO(ReadRaster, &input, CUPS_RASTER_READ);
    std::vector<PageReport> reports;
    cups_page_header2_t header;
    int page = 0;
    std::string failure;
    CPrintJobOpenContext probed;
    while (failure.empty() && !interrupt::Signal() && cupsRasterReadHeader2(raster, &header)) {
        ++page;
        PageReport report;
        if (!CheckPage(header, page, report.layout, failure))
            break;
        report.bits = report.layout.bitsPerColor == 8 ? driverBits : report.layout.bitsPerColor;
        std::fprintf(stderr, "INFO: Printing page %d (%d x %d pixels, %s, %g x %g dpi)\n", page, report.layout.width,
                     report.layout.height, report.layout.spaceName, report.layout.dpiHorz, report.layout.dpiVert);
        PageReader reader(raster, header, report.layout, report.bits, page);
        auto sources = reader.Sources();
        // A DTF printer's white channels, which the raster lacks: under the
        // colour or empty, as the queue's white option says.
        if (job.whiteUnder >= 0)
            if (const int whites = WhiteChannelsAfter(env, sources.size()); whites > 0) {
                const std::size_t rowBytes =
                    (static_cast<std::size_t>(report.layout.width) * static_cast<std::size_t>(report.bits) + 7) / 8;
                AddWhiteSources(sources, whites, job.whiteUnder == 1, report.bits, rowBytes);
                report.layout.colourCodes.insert(report.layout.colourCodes.end(), static_cast<std::size_t>(whites),
                                                 kHostWhite);
            }
        CPrintJobOpenContext context;
        context.dpiFirst = report.layout.dpiHorz;
        context.dpiSecond = report.layout.dpiVert;
        context.bitsPerPixel = report.bits;
        context.pixelWidth = report.layout.width;
        context.rowCount = report.layout.height;
        context.colourCodes = report.layout.colourCodes;
        context.compressMode = 1;
        context.dotDataType = report.bits == 2 ? 2 : 0;
        context.jobName = Utf8ToWide(argv[3]);
        context.cutOption = job.cutOption;
        // A page none of whose channels reaches the printer is refused before
        // it starts, as rasterjob refuses such a job.
        if (page == 1 || context.colourCodes != probed.colourCodes || context.bitsPerPixel != probed.bitsPerPixel) {
            std::vector<rasterjob::ChannelReach> dropped;
            failure = rasterjob::NoInkReason(rasterjob::ProbeInkReach(*holder.plugin, env, context), dropped,
                                             page == 1 ? "nothing was sent" : "the pages before it were sent");
            if (!failure.empty()) {
                failure = "page " + std::to_string(page) + ": " + failure;
                break;
            }
            for (const rasterjob::ChannelReach& r : dropped)
                std::fprintf(stderr, "WARNING: channel %d is not printed: %s\n", r.index, r.why.c_str());
            probed = context;
        }
        report.digests.resize(job.report.empty() ? 0 : sources.size());
        rasterjob::FeedOptions feed;
        feed.digests = job.report.empty() ? nullptr : &report.digests;
        feed.interrupted = interrupt::Flag();
        feed.abortOnStop = true;
        const rasterjob::JobResult result = rasterjob::RunDriverJob(*driver, context, sources, feed);
        if (result.outcome == rasterjob::JobOutcome::Done) {
            std::fprintf(stderr, "PAGE: %d 1\n", page);
            reports.push_back(std::move(report));
        } else if (result.outcome != rasterjob::JobOutcome::Interrupted) {
            failure = result.error.empty() ? "page " + std::to_string(page) + " failed" : result.error;
            if (result.endedAsAbort)
                failure += "; the page ended with the printer's abort command";
        }
    }
    cupsRasterClose(raster);
    if (fd > 0)
        ::close(fd);
    const bool delivered = sink.Commit();
    if (const int sig = interrupt::Signal())
        return Fail(std::string("job cancelled (") + interrupt::Name(sig) + ") at page " + std::to_string(page) +
                    "; the printer got its abort command");
    if (!failure.empty())
        return Fail(failure);
    if (!delivered)
        return Fail("the printer did not take the whole stream: " + sink.Error());
    if (page == 0)
        return Fail("the raster holds no page (empty or no CUPS raster)");
    if (!job.report.empty() &&
        !WriteFileAtomically(job.report, ReportJson(job.uid, *driver, job, env, reports, sink.BytesWritten()), error))
        std::fprintf(stderr, "WARNING: the job went out, but its report was not written: %s\n", error.c_str());
    std::fprintf(stderr, "INFO: Ready to print: %d page%s, %llu bytes sent\n", page, page == 1 ? "" : "s",
                 static_cast<unsigned long long>(sink.BytesWritten()));
    return 0;
}

} // namespace

int FilterMain(int argc, const char* const* argv)
{
    // Unbuffered, so that CUPS sees each message when it is said.
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    interrupt::Install();
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory");
    } catch (const std::exception& e) {
        return Fail(std::string("unexpected failure: ") + e.what());
    }
}

} // namespace rastertomimaki
