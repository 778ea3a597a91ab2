#include "tools/rasterjob/RasterJob.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <exception>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "host/FileIO.h"
#include "host/Log.h"
#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterSection.h"
#include "host/WriteTarget.h"
#include "host/PrinterDriverBase.h"
#include "host/SpoolBuffer.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"
#include "tools/common/Interrupt.h"
#include "tools/common/Json.h"
#include "tools/common/PrinterDefinitions.h"
#include "tools/common/RasterDigest.h"
#include "tools/common/Stdout.h"
#include "tools/rasterjob/EmbeddedPrinter.h"
#include "tools/rasterjob/ImageIO.h"
#include "tools/rasterjob/ImageSource.h"
#include "tools/rasterjob/InkReach.h"
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

// The host colour code of each printer colour id of the printer
// definitions (black, cyan, magenta, yellow, light cyan, light magenta,
// white, varnish).
constexpr std::pair<int, int> kColourIdCodes[] = {{0, 0},   {2, 1},    {1, 2},   {4, 3},
                                                  {18, 8},  {17, 9},   {254, 34}, {255, 30}};

// The default channels of a printer that takes one colour id per channel
// ("MimakiColorSequence" without ink slots, the TxF150): one channel per
// id, so that the job matches its colour list. Empty for other printers;
// false with error set for an id the definitions do not use, or one given
// twice.
bool ChannelsFromColourIds(const CPrintEnv& env, std::vector<int>& channels, std::string& error)
{
    if (env.HasKey(L"SlotsSetting") || !env.HasKey(L"MimakiColorSequence"))
        return true;
    const std::string list = WideToUtf8(env.GetString(L"MimakiColorSequence", L""));
    std::size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::string item = list.substr(start, comma - start);
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        const auto* found = std::find_if(std::begin(kColourIdCodes), std::end(kColourIdCodes), [&](const auto& e) {
            return std::to_string(e.first) == item;
        });
        if (found == std::end(kColourIdCodes) ||
            std::find(channels.begin(), channels.end(), found->second) != channels.end()) {
            error = "MimakiColorSequence \"" + list + "\": entry \"" + item +
                    "\" names no colour of its own for the default channels: give them with --channels, one per entry";
            return false;
        }
        channels.push_back(found->second);
        start = comma + 1;
    }
    return true;
}

// How long a printer may take to answer a connection when no
// --device-timeout is given.
constexpr double kConnectSeconds = 30;

void Fail(const std::string& message)
{
    std::fprintf(stderr, "rasterjob: %s\n", message.c_str());
}

void Note(const std::string& message)
{
    std::fprintf(stderr, "rasterjob: note: %s\n", message.c_str());
}

// A signal ended the run before a job could start.
int Interrupted()
{
    Fail(std::string("interrupted by ") + interrupt::Name(interrupt::Signal()) + "; nothing was sent");
    return 128 + interrupt::Signal();
}

// Fills env from the options: a settings file, the built-in printer, or
// nothing; then the --set keys. name is the printer's name for messages.
bool BuildPrintEnv(const Options& o, CPrintEnv& env, std::string& name, bool& embedded, std::string& error)
{
    embedded = false;
    bool uidSet = false;
    for (const auto& kv : o.sets)
        uidSet = uidSet || strcasecmp(kv.first.c_str(), "PrEnv_UID") == 0;
    if (!o.settingsFile.empty()) {
        if (!LoadPrinterSection(o.settingsFile, o.printer, !uidSet, env, error))
            return false;
        name = WideToUtf8(env.Name());
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
        if (!CheckUserSetting(Utf8ToWide(key), Utf8ToWide(value), error)) {
            error = "--set: " + error;
            return false;
        }
        env.PutString(Utf8ToWide(key).c_str(), Utf8ToWide(value));
    }
    // The model's definition, as the host supplies it with the printer.
    printerdefs::Apply(env, env.GetInt(PrEnv_UID));
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

// A device or FIFO given as -o (/dev/null, a printer port): written in
// place, since there is no file to write beside it and rename.
class DeviceSink : public CFdSink {
public:
    DeviceSink(int fd, const std::string& path) : CFdSink(fd, path) {}
    ~DeviceSink() override
    {
        ::close(m_fd);
        m_fd = -1;
    }
};

// A FIFO opens only once a program reads it: until then the open is
// retried, so that a signal or --device-timeout can end the wait.
int OpenDevice(const std::string& path, double timeout, std::string& error)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0)
            return fd;
        if (errno != ENXIO) {
            error = path + ": cannot open: " + std::strerror(errno);
            return -1;
        }
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (timeout > 0 && waited >= timeout) {
            error = path + ": no program reads this FIFO";
            return -1;
        }
        pollfd p{interrupt::WakeFd(), POLLIN, 0};
        if (::poll(&p, p.fd >= 0 ? 1 : 0, 100) > 0) {
            error = path + ": stopped while waiting for a reader";
            return -1;
        }
    }
}

std::unique_ptr<IOutputSink> OpenFileSink(const std::string& path, double timeout, std::string& error)
{
    // /dev/stdout and the like: the descriptor itself, wherever it leads.
    if (const int named = DescriptorOfPath(path); named >= 0) {
        const int fd = ::fcntl(named, F_DUPFD_CLOEXEC, 3);
        if (fd < 0) {
            error = path + ": cannot write: " + std::strerror(errno);
            return nullptr;
        }
        return std::make_unique<DeviceSink>(fd, path);
    }
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            error = path + ": is a folder";
            return nullptr;
        }
        const int fd = OpenDevice(path, timeout, error);
        if (fd < 0)
            return nullptr;
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

// How a UID's printer definition was made ("stand-in"), or empty.
std::string Definition(int uid)
{
    const printerdefs::Definition* d = printerdefs::Find(uid);
    return d ? (d->source.empty() ? std::string("given") : d->source) : std::string();
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
    auto probe = [&](int uid, const char* key, const char* value) {
        CPrintEnv env(L"list-models");
        env.PutInt(PrEnv_UID, uid);
        printerdefs::Apply(env, uid);
        if (key)
            env.PutString(Utf8ToWide(key).c_str(), Utf8ToWide(value));
        Made m;
        IPrinterDriver* object = plugin->Create(&env);
        if (auto* driver = dynamic_cast<CPrinterDriverBase*>(object)) {
            m = {true, ClassName(driver->GetDevParms()), ClassName(driver)};
            if (m.devParms.empty())
                m.devParms = "(none)";
        } else if (object) {
            m = {true, "?", ClassName(object)};
        }
        delete object;
        return m;
    };
    for (int uid = 0; uid < 256; ++uid)
        made[static_cast<std::size_t>(uid)] = probe(uid, nullptr, nullptr);
    // The classes that settings keys choose instead of a row's.
    const std::span<const CatalogueVariant> variants = CatalogueVariants();
    std::vector<Made> madeVariants;
    for (const CatalogueVariant& v : variants)
        madeVariants.push_back(probe(v.uid, v.key, v.value));
    CVoLogReporter::SetLoggingLevel(level);
    auto variantVerdict = [&](std::size_t i) -> std::string {
        const Made& m = madeVariants[i];
        if (!m.driver)
            return "no driver";
        if (m.devParms == variants[i].devParms && m.driverClass == variants[i].driver)
            return "yes";
        return "makes " + m.devParms + " / " + m.driverClass;
    };

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
                   ", \"madeDriverClass\": " + (m.driver ? JsonString(m.driverClass) : "null") +
                   ", \"definition\": " + (Definition(uid).empty() ? "null" : JsonString(Definition(uid))) + "}" +
                   (uid < 255 ? ",\n" : "\n");
        }
        out += "], \"variants\": [";
        for (std::size_t i = 0; i < variants.size(); ++i)
            out += std::string(i ? ",\n" : "\n") + "  {\"uid\": " + std::to_string(variants[i].uid) +
                   ", \"key\": " + JsonString(variants[i].key) + ", \"value\": " + JsonString(variants[i].value) +
                   ", \"devParmsClass\": " + JsonString(variants[i].devParms) +
                   ", \"driverClass\": " + JsonString(variants[i].driver) +
                   ", \"verdict\": " + JsonString(variantVerdict(i)) + "}";
        out += std::string(variants.empty() ? "" : "\n") + "], \"supported\": " + std::to_string(supported) +
               ", \"asCatalogue\": " + std::to_string(asCatalogue) + "}\n";
        std::fputs(out.c_str(), stdout);
        return kExitOk;
    }

    std::printf("%-8s %-26s %-30s %-42s %-10s %s\n", "UID", "model", "device parameters", "driver", "definition",
                "plug-in");
    for (int uid = 0; uid < 256;) {
        // UIDs without a model and with the same outcome share a line.
        int last = uid;
        const CatalogueRow& row = CatalogueEntry(uid);
        if (!*row.model)
            while (last + 1 < 256 && !*CatalogueEntry(last + 1).model && verdict(last + 1) == verdict(uid))
                ++last;
        const std::string uids = last == uid ? std::to_string(uid) : std::to_string(uid) + "-" + std::to_string(last);
        std::printf("%-8s %-26s %-30s %-42s %-10s %s\n", uids.c_str(), *row.model ? row.model : "(no model)",
                    row.devParms, row.driver, Definition(uid).empty() ? "none" : Definition(uid).c_str(),
                    verdict(uid).c_str());
        uid = last + 1;
    }
    for (std::size_t i = 0; i < variants.size(); ++i) {
        const std::string model = std::string(CatalogueEntry(variants[i].uid).model) + ", \"" + variants[i].key +
                                  "\"=" + variants[i].value;
        const std::string definition = Definition(variants[i].uid);
        std::printf("%-8d %-26s %-30s %-42s %-10s %s\n", variants[i].uid, model.c_str(), variants[i].devParms,
                    variants[i].driver, definition.empty() ? "none" : definition.c_str(), variantVerdict(i).c_str());
    }
    std::printf("\nThe plug-in %s makes a driver for %d of 256 UIDs, %d of them with the catalogue's classes.\n",
                plugin->Path().c_str(), supported, asCatalogue);
    std::printf("Printer definitions marked stand-in are this project's own, not the printer maker's "
                "(data/printer_definitions.ini).\n");
    return kExitOk;
}

// Calls Create with the log kept off standard error, so that a printer the
// plug-in does not make fails in one line that gives its reason. What it
// logged on success is passed on as it would have appeared.
IPrinterDriver* CreateDriver(Plugin& plugin, CPrintEnv& env, std::string& reason)
{
    std::vector<std::pair<int, std::string>> logged;
    const char* logFile = std::getenv("VO_LOG_FILE");
    const bool toStderr = !logFile || !*logFile;
    if (toStderr)
        CVoLogReporter::SetLogFile("/dev/null");
    CVoLogReporter::SetCapture([&](int level, const std::string& text) { logged.emplace_back(level, text); });
    IPrinterDriver* object = plugin.Create(&env);
    CVoLogReporter::SetCapture(nullptr);
    if (toStderr)
        CVoLogReporter::SetLogFile("");
    // Create's own line gives the cause; what the parameters logged while
    // they loaded comes second.
    if (!object)
        std::stable_partition(logged.begin(), logged.end(),
                              [](const auto& line) { return line.second.rfind("***Create#", 0) == 0; });
    for (const auto& [level, text] : logged) {
        if (!object && reason.empty() && level <= 4) {
            // "***Create#17: why" -> "why"
            reason = text;
            const std::size_t colon = reason.rfind("***", 0) == 0 ? reason.find(": ") : std::string::npos;
            if (colon != std::string::npos)
                reason = reason.substr(colon + 2);
            while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
                reason.pop_back();
        }
        if (object && toStderr)
            std::fprintf(stderr, "%s%s", text.c_str(), !text.empty() && text.back() == '\n' ? "" : "\n");
    }
    return object;
}

int RunJob(const Options& o)
{
    std::string error;
    if (const char* limit = std::getenv("MIMAKI_SPOOL_LIMIT"); o.spoolLimit < 0 && limit &&
                                                               CTempFileMgr::ParseSize(limit) < 0) {
        Fail(std::string("MIMAKI_SPOOL_LIMIT=") + limit +
             " is no size: give bytes, optionally with K, M or G (or --spool-limit)");
        return kExitUsage;
    }

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
    if (channels.empty() && o.inputs.empty() && !ChannelsFromColourIds(env, channels, error)) {
        Fail(error);
        return kExitFailed;
    }
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
        ImageLimits limits;
        limits.wholeDecodeBytes = o.decodeLimitMiB << 20;
        std::vector<std::unique_ptr<ImageReader>> images;
        for (const std::string& path : o.inputs) {
            auto image = ImageReader::Open(path, error, limits);
            if (interrupt::Signal())
                return Interrupted();
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
    std::string reason;
    holder.object = CreateDriver(*holder.plugin, env, reason);
    if (!holder.object) {
        Fail("UID " + std::to_string(uid) + ": the plug-in makes no driver for printer \"" + printerName +
             "\" (Create answered null" + (reason.empty() ? "" : ": " + reason) + ")");
        return kExitFailed;
    }
    auto* driver = dynamic_cast<CPrinterDriverBase*>(holder.object);
    if (!driver) {
        Fail("the plug-in's driver " + ClassName(holder.object) + " is no CPrinterDriverBase");
        return kExitFailed;
    }
    CPrintJobOpenContext context;
    context.dpiFirst = dpiFirst;
    context.dpiSecond = dpiSecond;
    context.bitsPerPixel = bits;
    context.pixelWidth = width;
    context.rowCount = height;
    context.colourCodes = channels;
    context.compressMode = compress ? 1 : 0;
    context.altBytesPerRow = o.altRowBytes;
    context.dotDataType = o.dotDataType >= 0 ? o.dotDataType : bits == 2 ? 2 : 0;
    context.interleave = o.interleave;
    if (o.device.empty() && o.output != "-") {
        context.outputKind = 2; // written to a file
        context.destination = Utf8ToWide(o.output);
    }
    context.jobName = Utf8ToWide(!o.jobName.empty()                       ? o.jobName
                                 : o.device.empty() && o.output != "-" ? BaseName(o.output)
                                                                       : "rasterjob");
    context.cutOption = o.cut >= 0 ? o.cut : DefaultCutOption(*driver);

    // A job in which no channel reaches the printer is not sent at all; the
    // others are told which of their channels it will not print, and why.
    std::vector<ChannelReach> dropped;
    const std::string noInk = NoInkReason(ProbeInkReach(*holder.plugin, env, context), dropped, "nothing was sent");
    if (!noInk.empty()) {
        Fail(noInk);
        return kExitFailed;
    }
    if (interrupt::Signal())
        return Interrupted();

    // Where the stream goes.
    std::string destination;
    if (!o.device.empty()) {
        std::string host;
        int port = 0;
        ParseDeviceUri(o.device, host, port, error);
        sink = CSocketSink::Connect(host, port, error, o.deviceTimeout > 0 ? o.deviceTimeout : kConnectSeconds,
                                    interrupt::WakeFd());
        destination = o.device;
    } else if (o.output == "-") {
        sink = std::make_unique<CFdSink>(1, "standard output");
        destination = "standard output";
    } else {
        sink = OpenFileSink(o.output, o.deviceTimeout, error);
        destination = o.output;
    }
    if (interrupt::Signal())
        return Interrupted();
    if (!sink) {
        Fail(error);
        return kExitFailed;
    }
    // A file is renamed into place only when the job succeeds; anything
    // else gets its bytes as they come and cannot be taken back.
    const bool irrevocable = dynamic_cast<CFileSink*>(sink.get()) == nullptr;
    ProgressLine progress(!o.quiet, height, static_cast<std::size_t>(bytesPerRow) * channels.size());
    if (auto* fd = dynamic_cast<CFdSink*>(sink.get())) {
        fd->SetStopFd(interrupt::WakeFd());
        fd->SetStallTimeout(o.deviceTimeout);
        fd->SetWaitCallback([&progress](double seconds) { progress.Waiting(seconds); });
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

    driver->SetOutputSink(sink.get());
    CTempFileMgr& spool = GlobalTempFileMgr();
    if (o.spoolLimit >= 0)
        spool.SetMemoryLimit(static_cast<std::uint64_t>(o.spoolLimit));
    spool.ResetStats();
    FeedOptions feed;
    feed.abortAfter = o.abortAfter;
    feed.digests = o.json ? &digests : nullptr;
    feed.writers = writers.empty() ? nullptr : &writers;
    feed.progress = &progress;
    feed.interrupted = interrupt::Flag();
    feed.abortOnStop = irrevocable;
    const JobResult job = RunDriverJob(*driver, context, sources, feed);
    const int rows = job.rows;
    const bool aborted = job.outcome == JobOutcome::Aborted;

    // The stream first: whether the printer got the job decides the exit
    // status. A file stays unwritten when a signal came before its rename.
    const int signal = interrupt::Signal();
    const bool stopped = job.outcome == JobOutcome::Failed || job.outcome == JobOutcome::Interrupted ||
                         (signal && !irrevocable);
    bool delivered = false;
    if (!stopped)
        delivered = sink->Commit();
    else if (irrevocable && job.endedAsAbort)
        sink->Commit();  // the abort command, then the connection closed
    else
        sink->Discard();
    progress.Finish();
    auto* fdSink = dynamic_cast<CFdSink*>(sink.get());
    const std::string sinkError = (sink->Error().empty() ? destination + ": cannot deliver the stream" : sink->Error()) +
                                  (fdSink && fdSink->StallTimedOut() ? " (--device-timeout)" : "");
    // What a socket's printer acknowledged; a reset drops what it had not
    // read yet.
    const std::string received = (o.device.empty() ? destination + " received " : std::string("the printer acknowledged ")) +
                                 std::to_string(sink->BytesDelivered()) + " of " +
                                 std::to_string(sink->BytesWritten()) + " bytes";

    if (!delivered) {
        for (auto& w : writers)
            w->Discard();
        std::string line;
        if (signal)
            line = std::string("interrupted by ") + interrupt::Name(signal) + " after " + std::to_string(rows) +
                   " of " + std::to_string(height) + " rows";
        else
            line = job.outcome == JobOutcome::Failed && job.error != sink->Error() ? job.error : sinkError;
        if (!irrevocable)
            line += "; nothing was written";
        else if (job.endedAsAbort && !sink->Failed())
            line += "; the job was aborted: " + received;
        else if (job.endedAsAbort)
            line += "; the abort command could not be sent (" + sinkError + "): " + received;
        else if (signal)
            line += "; the job was cut off (" + sinkError + "): " + received;
        else
            line += ": " + received;
        Fail(line);
        return signal ? 128 + signal : kExitFailed;
    }

    // The job is delivered: from here on a failure is told with status 4,
    // so that nobody prints it again.
    bool extraFailed = false;
    for (auto& w : writers)
        if (!w->Finish(rows, error)) {
            Fail("the job was delivered to " + destination + ", but --save-raster failed: " + error);
            extraFailed = true;
        }
    const double seconds = job.seconds;

    if (o.stats) {
        const double mb = static_cast<double>(rows) * bytesPerRow * static_cast<double>(channels.size()) / 1e6;
        std::fprintf(stderr,
                     "rasterjob: %d rows x %zu channels x %d bytes = %.1f MB raster in %.3f s: %.1f MB/s; "
                     "stream %.1f MB; peak resident %.1f MiB; spool: peak %.1f MiB in memory, %llu bytes "
                     "spilled\n",
                     rows, channels.size(), bytesPerRow, mb, seconds, seconds > 0 ? mb / seconds : 0.0,
                     static_cast<double>(sink->BytesWritten()) / 1e6, PeakRssMiB(),
                     static_cast<double>(spool.PeakMemory()) / 1048576.0,
                     static_cast<unsigned long long>(spool.BytesSpilled()));
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
        out += "  \"cutOption\": " + std::to_string(context.cutOption) + ",\n";
        out += "  \"jobName\": " + JsonString(WideToUtf8(context.jobName)) + ",\n";
        out += "  \"printMethod\": " + JsonString(WideToUtf8(env.GetString(PrEnv_PrintMethod))) + ",\n";
        out += "  \"rowsFed\": " + std::to_string(rows) + ",\n";
        out += std::string("  \"aborted\": ") + (aborted ? "true" : "false") + ",\n";
        out += "  \"output\": " + JsonString(o.device.empty() ? o.output : o.device) + ",\n";
        out += "  \"bytesWritten\": " + std::to_string(sink->BytesWritten()) + ",\n";
        out += "  \"spoolPeakBytes\": " + std::to_string(spool.PeakMemory()) + ",\n";
        out += "  \"spoolSpilledBytes\": " + std::to_string(spool.BytesSpilled()) + ",\n";
        out += "  \"layerMarkers\": [";
        for (std::size_t m = 0; m < driver->GetLayerMarkers().size(); ++m)
            out += std::string(m ? ", " : "") + "{\"suspend\": " + (driver->GetLayerMarkers()[m] ? "true" : "false") + "}";
        out += "],\n";
        out += "  \"notPrinted\": [";
        for (std::size_t i = 0; i < dropped.size(); ++i)
            out += std::string(i ? ", " : "") + "{\"index\": " + std::to_string(dropped[i].index) +
                   ", \"colourCode\": " + std::to_string(dropped[i].colourCode) +
                   ", \"why\": " + JsonString(dropped[i].why) + "}";
        out += "],\n";
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
        if (!FlushStdout(error)) {
            Fail("the job was delivered to " + destination + ", but its --json summary was lost: " + error);
            extraFailed = true;
        }
    }

    // Said once the job went through, so that a failure stays one line.
    if (!o.quiet) {
        if (embedded)
            std::fprintf(stderr, "rasterjob: printer: %s (built-in default)\n", printerName.c_str());
        else if (o.settingsFile.empty())
            Note("the printer has only the keys given with --set; the built-in default printer (" +
                 std::string("its command set, resolution and ink levels") +
                 ") is used only without --set and --settings");
        for (const ChannelReach& r : dropped)
            Note("channel " + std::to_string(r.index) + " is not printed: " + r.why);
        for (const CPrintEnv::BadValue& bad : env.BadValues())
            Note(WideToUtf8(bad.key) + "=" + WideToUtf8(bad.text) +
                 (bad.problem.empty() ? " is no whole number, so it was read as its default; give a whole number"
                                      : " " + bad.problem));
        if (signal)
            Note(std::string(interrupt::Name(signal)) + " came after the whole job was sent; it was delivered");
        // --layer keys name the slot-file layers; no other driver reads them.
        const std::string cls = ClassName(driver);
        if (cls != "CMimakiWhitePrinterDriverUJF_x042MKII" && cls != "CMimakiWhitePrinterDriverUJF7151" &&
            std::any_of(o.sets.begin(), o.sets.end(), [](const auto& kv) { return kv.first.rfind("DP35_\"LP", 0) == 0; }))
            Note("--layer sets the slot-file layers of the UJF x042 MkII and UJF-7151; " + cls + " does not read them");
        // A host would hold its print client there until the operator goes on;
        // the stream has been sent whole.
        const std::vector<int>& markers = driver->GetLayerMarkers();
        for (std::size_t m = 0; m < markers.size(); ++m)
            if (markers[m])
                Note("after layer " + std::to_string(m + 1) + " the printer is switched to local and the print client "
                     "would wait for the operator; rasterjob does not wait");
    }
    if (aborted) {
        if (!o.quiet)
            std::fprintf(stderr, "rasterjob: job aborted after %d of %d rows; %s got the stream as the printer would\n",
                         rows, height, destination.c_str());
        return kExitAborted;
    }
    return extraFailed ? kExitDeliveredButReportFailed : kExitOk;
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
    interrupt::Install();
    int status;
    try {
        if (o.help) {
            // The text is longer than stdio's buffer: a failed write is only
            // seen here, with its reason.
            errno = 0;
            if (std::fputs(kUsage, stdout) == EOF) {
                Fail(std::string("standard output: ") + (errno ? std::strerror(errno) : "cannot write"));
                return kExitFailed;
            }
            status = kExitOk;
        } else {
            status = o.listModels ? ListModels(o) : RunJob(o);
        }
    } catch (const std::bad_alloc&) {
        Fail("not enough memory");
        return kExitFailed;
    } catch (const std::exception& e) {
        Fail(std::string("unexpected failure: ") + e.what());
        return kExitFailed;
    }
    if (!FlushStdout(error) && status != kExitDeliveredButReportFailed) {
        Fail(error);
        if (status == kExitOk && !o.help && !o.listModels)
            return kExitDeliveredButReportFailed;
        return status == kExitOk ? kExitFailed : status;
    }
    return status;
}

} // namespace rasterjob
