#include "tools/rasterjob/RasterJob.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <exception>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/Log.h"
#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"
#include "tools/common/Json.h"
#include "tools/common/RasterDigest.h"
#include "tools/rasterjob/EmbeddedPrinter.h"
#include "tools/rasterjob/ImageIO.h"
#include "tools/rasterjob/ImageSource.h"
#include "tools/rasterjob/JobRunner.h"
#include "tools/rasterjob/ModelCatalogue.h"
#include "tools/rasterjob/Options.h"
#include "tools/rasterjob/Patterns.h"
#include "tools/rasterjob/Plugin.h"
#include "tools/rasterjob/Screen.h"

namespace rasterjob {

namespace {

constexpr int kDefaultWidth = 2880;
constexpr int kDefaultHeight = 1440;
constexpr double kDefaultDpi = 720;
// Channels given by images without --channels: black, cyan, magenta,
// yellow, light cyan, light magenta.
constexpr int kDefaultChannels[] = {0, 1, 2, 3, 8, 9};

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int)
{
    g_interrupted = 1;
}

void Fail(const std::string& message)
{
    std::fprintf(stderr, "rasterjob: %s\n", message.c_str());
}

// The host's section entries, so that --set can catch a misspelt one.
#define RASTERJOB_ENTRY(name, def) &PrEnv_##name,
const _SECTIONENTRY* const kHostEntries[] = {PRENV_ENTRIES(RASTERJOB_ENTRY)};
#undef RASTERJOB_ENTRY

bool IsHostEntryName(const std::string& key, std::string& known)
{
    bool found = false;
    for (const _SECTIONENTRY* e : kHostEntries) {
        const std::string name = WideToUtf8(e->pszKey);
        known += (known.empty() ? "" : ", ") + name;
        if (strcasecmp(name.c_str(), key.c_str()) == 0)
            found = true;
    }
    return found;
}

// Fills env from the options: a settings file, the built-in printer, or
// nothing; then the --set keys. name is the printer's name for messages.
bool BuildPrintEnv(const Options& o, CPrintEnv& env, std::string& name, bool& embedded, std::string& error)
{
    embedded = false;
    if (!o.settingsFile.empty()) {
        std::wstring section = Utf8ToWide(o.printer);
        if (section.empty()) {
            CIniFile ini;
            if (!ini.Read(o.settingsFile, error))
                return false;
            if (ini.sections.size() != 1) {
                std::string list;
                for (const auto& s : ini.sections)
                    list += (list.empty() ? "" : ", ") + WideToUtf8(s.name);
                error = ini.sections.empty()
                            ? o.settingsFile + ": no printer section in it"
                            : o.settingsFile + " holds " + std::to_string(ini.sections.size()) +
                                  " printers (" + list + "): choose one with --printer";
                return false;
            }
            section = ini.sections[0].name;
        }
        if (!env.LoadFromIni(o.settingsFile, section, error))
            return false;
        name = WideToUtf8(section);
    } else if (o.sets.empty()) {
        CIniFile ini;
        if (!ini.Parse(kEmbeddedPrinterIni, "built-in printer", error) || ini.sections.size() != 1) {
            if (error.empty())
                error = "built-in printer: expected one section";
            return false;
        }
        for (const auto& kv : ini.sections[0].entries)
            env.PutString(kv.first.c_str(), kv.second);
        env.SetName(ini.sections[0].name);
        name = WideToUtf8(ini.sections[0].name);
        embedded = true;
    } else {
        name = "rasterjob";
        env.SetName(L"rasterjob");
    }
    for (const auto& [key, value] : o.sets) {
        std::string known;
        if (key.size() >= 6 && strncasecmp(key.c_str(), "PrEnv_", 6) == 0 && !IsHostEntryName(key, known)) {
            error = "--set: " + key + " is no host entry (known: " + known + ")";
            return false;
        }
        env.PutString(Utf8ToWide(key).c_str(), Utf8ToWide(value));
    }
    return true;
}

std::unique_ptr<Plugin> LoadPlugin(const Options& o, std::string& error)
{
    const std::string path = o.plugin.empty() ? DefaultPluginPath() : o.plugin;
    if (path.empty()) {
        error = "no plug-in: give --plugin PATH or set MIMAKI_PLUGIN";
        return nullptr;
    }
    return Plugin::Load(path, error);
}

// Deletes the driver before the library that holds its code goes.
struct DriverHolder {
    std::unique_ptr<Plugin> plugin;
    IPrinterDriver* object = nullptr;
    ~DriverHolder() { delete object; }
};

// The command set the driver speaks, when it tells: published after
// OutputInit, or answered to the special-settings query.
std::string CommandSetJson(CPrinterDriverBase& driver)
{
    std::wstring answer = driver.GetDriverInfo(L"CommandSet");
    if (answer.empty())
        answer = driver.RetrieveOrChangeSpecialDriverSettings(L"CommandSet");
    if (answer.empty())
        return "null";
    const std::string text = WideToUtf8(answer);
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end)
        return JsonString(text);
    return std::to_string(v);
}

std::string SettingJson(const CPrintEnv& env, const wchar_t* key)
{
    if (!env.HasKey(key))
        return "null";
    const int v = env.GetInt(key, INT32_MIN);
    return v == INT32_MIN ? JsonString(WideToUtf8(env.GetString(key, L""))) : std::to_string(v);
}

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

double PeakRssMiB()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// A device or pipe given as -o (/dev/null, a FIFO): written in place, since
// there is no file to write beside it and rename.
class DeviceSink : public CFdSink {
public:
    DeviceSink(int fd, const std::string& path) : CFdSink(fd, path) {}
    ~DeviceSink() override { ::close(m_fd); }
};

std::unique_ptr<IOutputSink> OpenFileSink(const std::string& path, std::string& error)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            error = path + ": is a folder";
            return nullptr;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            error = path + ": cannot open: " + std::strerror(errno);
            return nullptr;
        }
        return std::make_unique<DeviceSink>(fd, path);
    }
    return CFileSink::Create(path, error);
}

bool MakeFolder(const std::string& path, std::string& error)
{
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
        struct stat st{};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return true;
        error = path + ": exists and is no folder";
        return false;
    }
    error = path + ": cannot create folder: " + std::strerror(errno);
    return false;
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int ListModels(const Options& o)
{
    std::string error;
    std::unique_ptr<Plugin> plugin = LoadPlugin(o, error);
    if (!plugin) {
        Fail(error);
        return kExitFailed;
    }
    struct Made {
        bool driver = false;
        std::string devParms, driverClass;
    };
    std::vector<Made> made(256);
    // Create logs what it cannot build; the listing says it instead.
    const int level = CVoLogReporter::LoggingLevel();
    CVoLogReporter::SetLoggingLevel(-1);
    for (int uid = 0; uid < 256; ++uid) {
        CPrintEnv env(L"list-models");
        env.PutInt(PrEnv_UID, uid);
        IPrinterDriver* object = plugin->Create(&env);
        if (auto* driver = dynamic_cast<CPrinterDriverBase*>(object)) {
            made[static_cast<std::size_t>(uid)] = {true, ClassName(driver->GetDevParms()), ClassName(driver)};
            if (made[static_cast<std::size_t>(uid)].devParms.empty())
                made[static_cast<std::size_t>(uid)].devParms = "(none)";
        } else if (object) {
            made[static_cast<std::size_t>(uid)] = {true, "?", ClassName(object)};
        }
        delete object;
    }
    CVoLogReporter::SetLoggingLevel(level);

    auto verdict = [&](int uid) -> std::string {
        const Made& m = made[static_cast<std::size_t>(uid)];
        const CatalogueRow& row = CatalogueEntry(uid);
        if (!m.driver)
            return "no driver";
        if (m.devParms == row.devParms && m.driverClass == row.driver)
            return "yes";
        return "makes " + m.devParms + " / " + m.driverClass;
    };

    int supported = 0, asCatalogue = 0;
    for (int uid = 0; uid < 256; ++uid) {
        supported += made[static_cast<std::size_t>(uid)].driver;
        asCatalogue += verdict(uid) == "yes";
    }

    if (o.json) {
        std::string out = "{\"plugin\": " + JsonString(plugin->Path()) + ", \"models\": [\n";
        for (int uid = 0; uid < 256; ++uid) {
            const CatalogueRow& row = CatalogueEntry(uid);
            const Made& m = made[static_cast<std::size_t>(uid)];
            out += "  {\"uid\": " + std::to_string(uid) + ", \"model\": " + JsonString(row.model) +
                   ", \"devParmsClass\": " + JsonString(row.devParms) + ", \"driverClass\": " + JsonString(row.driver) +
                   ", \"supported\": " + (m.driver ? "true" : "false") + ", \"madeDevParmsClass\": " +
                   (m.driver ? JsonString(m.devParms) : "null") +
                   ", \"madeDriverClass\": " + (m.driver ? JsonString(m.driverClass) : "null") + "}" +
                   (uid < 255 ? ",\n" : "\n");
        }
        out += "], \"supported\": " + std::to_string(supported) + ", \"asCatalogue\": " + std::to_string(asCatalogue) +
               "}\n";
        std::fputs(out.c_str(), stdout);
        return kExitOk;
    }

    std::printf("%-8s %-26s %-30s %-42s %s\n", "UID", "model", "device parameters", "driver", "plug-in");
    for (int uid = 0; uid < 256;) {
        // UIDs without a model and with the same outcome share a line.
        int last = uid;
        const CatalogueRow& row = CatalogueEntry(uid);
        if (!*row.model)
            while (last + 1 < 256 && !*CatalogueEntry(last + 1).model && verdict(last + 1) == verdict(uid))
                ++last;
        const std::string uids = last == uid ? std::to_string(uid) : std::to_string(uid) + "-" + std::to_string(last);
        std::printf("%-8s %-26s %-30s %-42s %s\n", uids.c_str(), *row.model ? row.model : "(no model)", row.devParms,
                    row.driver, verdict(uid).c_str());
        uid = last + 1;
    }
    std::printf("\nThe plug-in %s makes a driver for %d of 256 UIDs, %d of them with the catalogue's classes.\n",
                plugin->Path().c_str(), supported, asCatalogue);
    return kExitOk;
}

int RunJob(const Options& o)
{
    std::string error;

    // The printer.
    CPrintEnv env;
    std::string printerName;
    bool embedded = false;
    if (!BuildPrintEnv(o, env, printerName, embedded, error)) {
        Fail(error);
        return kExitFailed;
    }

    // The job as the host sets it up.
    const int bits = o.bits ? o.bits : (env.GetInt(PrEnv_InkLevels) > 1 ? 2 : 1);
    const double dpiFirst =
        o.dpiFirst > 0 ? o.dpiFirst : (env.GetInt(PrEnv_DpiHorz) > 0 ? env.GetInt(PrEnv_DpiHorz) : kDefaultDpi);
    const double dpiSecond =
        o.dpiSecond > 0 ? o.dpiSecond : (env.GetInt(PrEnv_DpiVert) > 0 ? env.GetInt(PrEnv_DpiVert) : kDefaultDpi);
    const bool compress = o.compress != 0;
    std::vector<int> channels = o.channels;
    if (channels.empty()) {
        const std::size_t n = o.inputs.empty() ? 4 : o.inputs.size();
        if (n > std::size(kDefaultChannels)) {
            Fail(std::to_string(n) + " images: give their colour codes with --channels");
            return kExitFailed;
        }
        channels.assign(kDefaultChannels, kDefaultChannels + n);
    }

    // The raster.
    int width = o.width ? o.width : kDefaultWidth;
    int height = o.height ? o.height : kDefaultHeight;
    std::vector<std::unique_ptr<IRowSource>> sources;
    if (!o.inputs.empty()) {
        std::vector<std::unique_ptr<ImageReader>> images;
        for (const std::string& path : o.inputs) {
            auto image = ImageReader::Open(path, error);
            if (!image) {
                Fail(error);
                return kExitFailed;
            }
            if (!images.empty() && (image->Width() != images[0]->Width() || image->Height() != images[0]->Height())) {
                Fail("images of different sizes: " + images[0]->Path() + " is " + std::to_string(images[0]->Width()) +
                     "x" + std::to_string(images[0]->Height()) + ", " + path + " is " + std::to_string(image->Width()) +
                     "x" + std::to_string(image->Height()));
                return kExitFailed;
            }
            images.push_back(std::move(image));
        }
        width = images[0]->Width();
        height = images[0]->Height();
        for (auto& image : images)
            sources.push_back(MakeImageSource(std::move(image), bits, o.screen));
    } else {
        sources = MakePattern(o.pattern, width, height, bits, static_cast<int>(channels.size()), o.seed);
    }
    const int bytesPerRow = BytesPerRow(width, bits);

    // The plug-in and its driver; the sink outlives the driver that writes to it.
    std::unique_ptr<IOutputSink> sink;
    DriverHolder holder;
    holder.plugin = LoadPlugin(o, error);
    if (!holder.plugin) {
        Fail(error);
        return kExitFailed;
    }
    const int uid = env.GetInt(PrEnv_UID) & 255;
    holder.object = holder.plugin->Create(&env);
    if (!holder.object) {
        Fail("UID " + std::to_string(uid) + ": the plug-in makes no driver for printer \"" + printerName +
             "\" (Create answered null)");
        return kExitFailed;
    }
    auto* driver = dynamic_cast<CPrinterDriverBase*>(holder.object);
    if (!driver) {
        Fail("the plug-in's driver " + ClassName(holder.object) + " is no CPrinterDriverBase");
        return kExitFailed;
    }

    // Where the stream goes.
    std::string destination;
    if (!o.device.empty()) {
        std::string host;
        int port = 0;
        ParseDeviceUri(o.device, host, port, error);
        sink = CSocketSink::Connect(host, port, error);
        destination = o.device;
    } else if (o.output == "-") {
        sink = std::make_unique<CFdSink>(1, "standard output");
        destination = "-";
    } else {
        sink = OpenFileSink(o.output, error);
        destination = o.output;
    }
    if (!sink) {
        Fail(error);
        return kExitFailed;
    }

    // Saved rasters and digests, per channel.
    std::vector<std::unique_ptr<RasterWriter>> writers;
    if (!o.saveRaster.empty()) {
        if (!MakeFolder(o.saveRaster, error)) {
            Fail(error);
            sink->Discard();
            return kExitFailed;
        }
        for (std::size_t c = 0; c < channels.size(); ++c) {
            const std::string path = o.saveRaster + "/channel-" + std::to_string(c) + "-colour-" +
                                     std::to_string(channels[c]) + (bits == 1 ? ".pbm" : ".pgm");
            auto w = RasterWriter::Create(path, width, height, bits, error);
            if (!w) {
                Fail(error);
                sink->Discard();
                return kExitFailed;
            }
            writers.push_back(std::move(w));
        }
    }
    std::vector<RasterDigest> digests(o.json ? channels.size() : 0);

    CPrintJobOpenContext context;
    context.dpiFirst = dpiFirst;
    context.dpiSecond = dpiSecond;
    context.bitsPerPixel = bits;
    context.pixelWidth = width;
    context.rowCount = height;
    context.colourCodes = channels;
    context.compressMode = compress ? 1 : 0;
    context.dotDataType = bits == 2 ? 2 : 0;
    context.jobName = Utf8ToWide(o.device.empty() && o.output != "-" ? BaseName(o.output) : "rasterjob");

    driver->SetOutputSink(sink.get());
    FeedOptions feed;
    feed.abortAfter = o.abortAfter;
    feed.digests = o.json ? &digests : nullptr;
    feed.writers = writers.empty() ? nullptr : &writers;
    feed.progress = !o.quiet;
    feed.interrupted = &g_interrupted;
    const JobResult job = RunDriverJob(*driver, context, sources, feed);
    const int rows = job.rows;
    const bool aborted = job.outcome == JobOutcome::Aborted;

    auto failJob = [&](const std::string& message) {
        Fail(message);
        for (auto& w : writers)
            w->Discard();
        sink->Discard();
        return kExitFailed;
    };
    if (job.outcome == JobOutcome::Interrupted) {
        failJob("interrupted; nothing was written");
        return kExitInterrupted;
    }
    if (job.outcome == JobOutcome::Failed)
        return failJob(job.error);
    if (!sink->Commit())
        return failJob(sink->Error().empty() ? destination + ": cannot deliver the stream" : sink->Error());
    for (auto& w : writers)
        if (!w->Finish(rows, error)) {
            Fail(error);
            return kExitFailed;
        }
    const double seconds = job.seconds;

    if (o.stats) {
        const double mb = static_cast<double>(rows) * bytesPerRow * static_cast<double>(channels.size()) / 1e6;
        std::fprintf(stderr,
                     "rasterjob: %d rows x %zu channels x %d bytes = %.1f MB raster in %.3f s: %.1f MB/s; "
                     "stream %.1f MB; peak resident %.1f MiB\n",
                     rows, channels.size(), bytesPerRow, mb, seconds, seconds > 0 ? mb / seconds : 0.0,
                     static_cast<double>(sink->BytesWritten()) / 1e6, PeakRssMiB());
    }

    if (o.json) {
        std::string out = "{\n";
        out += "  \"printer\": " + JsonString(printerName) + ",\n";
        out += "  \"plugin\": " + JsonString(holder.plugin->Path()) + ",\n";
        out += "  \"uid\": " + std::to_string(uid) + ",\n";
        out += "  \"devParmsClass\": " +
               (driver->GetDevParms() ? JsonString(ClassName(driver->GetDevParms())) : std::string("null")) + ",\n";
        out += "  \"driverClass\": " + JsonString(ClassName(driver)) + ",\n";
        out += "  \"commandSet\": " + CommandSetJson(*driver) + ",\n";
        out += "  \"nFunctModeId\": " + SettingJson(env, L"nFunctModeId") + ",\n";
        out += "  \"width\": " + std::to_string(width) + ",\n";
        out += "  \"height\": " + std::to_string(height) + ",\n";
        out += "  \"dpi\": [" + Number(dpiFirst) + ", " + Number(dpiSecond) + "],\n";
        out += "  \"bits\": " + std::to_string(bits) + ",\n";
        out += std::string("  \"compress\": ") + (compress ? "true" : "false") + ",\n";
        out += "  \"rowsFed\": " + std::to_string(rows) + ",\n";
        out += std::string("  \"aborted\": ") + (aborted ? "true" : "false") + ",\n";
        out += "  \"output\": " + JsonString(destination) + ",\n";
        out += "  \"bytesWritten\": " + std::to_string(sink->BytesWritten()) + ",\n";
        out += "  \"channels\": [\n";
        for (std::size_t c = 0; c < channels.size(); ++c) {
            const RasterDigest& d = digests[c];
            out += "    {\"index\": " + std::to_string(c) + ", \"colourCode\": " + std::to_string(channels[c]) +
                   ", \"rows\": " + std::to_string(d.Rows()) + ", \"firstInkRow\": " +
                   std::to_string(d.FirstInkRow()) + ", \"lastInkRow\": " + std::to_string(d.LastInkRow()) +
                   ", \"digest\": " + JsonString(d.Hex()) + "}" + (c + 1 < channels.size() ? ",\n" : "\n");
        }
        out += "  ]\n}\n";
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
    }

    // Said once the job went through, so that a failure stays one line.
    if (embedded && !o.quiet)
        std::fprintf(stderr, "rasterjob: printer: %s (built-in default)\n", printerName.c_str());
    if (aborted) {
        if (!o.quiet)
            std::fprintf(stderr, "rasterjob: job aborted after %d rows; %s got the stream as the printer would\n",
                         rows, destination == "-" ? "standard output" : destination.c_str());
        return kExitAborted;
    }
    return kExitOk;
}

} // namespace

int RasterJobMain(int argc, const char* const* argv)
{
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) {
        std::fprintf(stderr, "rasterjob: %s (see rasterjob --help)\n", error.c_str());
        return kExitUsage;
    }
    if (o.help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    try {
        return o.listModels ? ListModels(o) : RunJob(o);
    } catch (const std::exception& e) {
        Fail(std::string("unexpected failure: ") + e.what());
        return kExitFailed;
    }
}

} // namespace rasterjob
