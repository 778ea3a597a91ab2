#include "tools/rasterjob/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>
#include <strings.h>

#include "host/NetAddress.h"
#include "host/SpoolBuffer.h"
#include "tools/rasterjob/LayerOption.h"
#include "tools/rasterjob/Patterns.h"

namespace rasterjob {

const char kUsage[] = R"(usage: rasterjob [options]
Runs one print job through the Mimaki plug-in the way the host does and
writes or sends the printer stream.

Plug-in and printer:
  --plugin PATH          plug-in library (default: $MIMAKI_PLUGIN, else the build's libmimaki.so)
  --settings FILE.ini    printer settings file
  --printer NAME         section of the settings file (optional when it has one section)
  --set KEY=VALUE        set a settings key; PrEnv_ names are the host's entries (repeatable)
                         (without --settings and --set: the built-in default printer)
  --slots CODE[:ID],...  the printer's ink slots in order: the host colour code each
                         holds and, for all or none, its colour id (sets "SlotsSetting"
                         and "MimakiColorSequence"; e.g. --slots 0:4,1:1,2:2,3:3,34:10)
  --layer K=KIND,SUB,COUNT,MODE,REVERSE   layer K (1 to 5) of the UJF x042 MkII and
                         UJF-7151: the inks it takes (kind, sub-kind, mode), its count (0
                         ends the layers), 1 to read its rows last first; its mirror
                         flag is --set DP35_m_nMirrorK=1
  --list-models          list the model table and what the plug-in makes of each UID
Raster:
  --pattern NAME         bars (default), gradient, blank, random, tile
  --seed N               seed of the random pattern (default 1)
  --input FILE           grayscale PNG, TIFF, PGM or PBM, once per channel (dark is ink)
  --decode-limit MIB     temporary space for an interlaced PNG or tiled TIFF, which
                         are decoded whole (default 2048)
  --screen KIND          diffusion (default) or ordered, for grayscale input
  --width PX, --height ROWS   raster size (patterns; default 2880 x 1440)
  --dpi H[xV]            resolution (default: the printer's, else 720)
  --bits 1|2             bits per pixel (default: the printer's ink levels)
  --channels C1,C2,...   host colour codes of the channels (default 0,1,2,3)
  --compress, --no-compress   PackBits (default on)
  --cut 0|1|2            the job's cut option: 0 no cut, 1 cut, 2 the printer's cut
                         setting (default: the model's default for the job option)
  --job-name TEXT        the job's name (default: the output file's name); the
                         print method is a settings entry: --set PrEnv_PrintMethod=NAME
  --interleave           switch the host's row interleave on (the JV58C special
                         driver then drops rows so that the page holds whole periods)
  --dot-data-type N      the host's dot-data type (default 2 at 2 bits, else 0; the
                         JV58C special driver takes other masks for 3)
Output:
  -o FILE                stream file (default job.prn); "-" for standard output
  --device socket://HOST:PORT   send the stream to a printer port
  --device-timeout SECONDS   fail when the printer takes no data for that long
                         (default: wait, as a busy printer is normal)
  --abort-after N        abort the job after N of its rows (exit status 3)
  --save-raster DIR      write each channel as fed (PBM for 1 bit, PGM maxval 3 for 2 bits)
  --json                 print a summary as JSON on standard output
  --spool-limit SIZE     memory the layered drivers' spool buffers may hold (bytes, or
                         with K, M or G; default $MIMAKI_SPOOL_LIMIT, else 64M); the
                         rest goes to temporary files in $TMPDIR
  --alt-row-bytes N      the host's alternative row byte count (the half row of the
                         UJF7151 plus II's sandwich double-width mode, the row width of
                         the CJV300 PLUS's sandwich layers); default none
  --stats                print time, raster MB/s, peak memory and spilled bytes on
                         standard error
  --quiet                no progress bar or notes
  -h, --help             this text
Exit status: 0 done, 1 failed (the printer did not get the whole job), 2 usage
error, 3 job aborted, 4 job delivered but --json or --save-raster output failed,
128+N ended by signal N (130 for Ctrl-C).
)";

namespace {

bool ParseLong(const std::string& text, long long lo, long long hi, long long& value)
{
    if (text.empty() || text[0] == ' ' || text[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || v < lo || v > hi)
        return false;
    value = v;
    return true;
}

bool ParseDpi(const std::string& text, double& value)
{
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9'))
        return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno || *end || !std::isfinite(v) || v < 1 || v > 100000)
        return false;
    value = v;
    return true;
}

} // namespace

bool ParseOptions(int argc, const char* const* argv, Options& o, std::string& error)
{
    bool widthGiven = false, heightGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasInline = false;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                hasInline = true;
            }
        }
        auto needValue = [&]() -> bool {
            if (hasInline)
                return true;
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto noValue = [&]() -> bool {
            if (hasInline) {
                error = arg + " takes no value";
                return false;
            }
            return true;
        };
        // A value that must not be empty, such as a file name.
        auto text = [&](const char* what, std::string& target) -> bool {
            if (!needValue())
                return false;
            if (value.empty()) {
                error = arg + " needs " + what;
                return false;
            }
            target = value;
            return true;
        };
        auto number = [&](long long lo, long long hi, long long& v) -> bool {
            if (!needValue())
                return false;
            if (!ParseLong(value, lo, hi, v)) {
                error = arg + ": expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                        ", got \"" + value + "\"";
                return false;
            }
            return true;
        };
        long long n = 0;

        if (arg == "-h" || arg == "--help") {
            if (!noValue())
                return false;
            o.help = true;
        } else if (arg == "--plugin") {
            if (!text("a path", o.plugin))
                return false;
        } else if (arg == "--settings") {
            if (!text("a file name", o.settingsFile))
                return false;
        } else if (arg == "--printer") {
            if (!text("a section name", o.printer))
                return false;
        } else if (arg == "--set") {
            if (!needValue())
                return false;
            const std::size_t eq = value.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--set: expected KEY=VALUE, got \"" + value + "\"";
                return false;
            }
            o.sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (arg == "--slots") {
            // Shorthand for the slot layout: "SlotsSetting" and, when every
            // slot names one, the colour sequence of the slots' colour ids.
            if (!needValue())
                return false;
            std::string slots, ids;
            std::size_t withId = 0, count = 0, pos = 0;
            while (true) {
                const std::size_t comma = value.find(',', pos);
                const std::string item = value.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                const std::size_t colon = item.find(':');
                long long code = 0, id = 0;
                if (!ParseLong(item.substr(0, colon), 0, 255, code) ||
                    (colon != std::string::npos && !ParseLong(item.substr(colon + 1), 0, 255, id))) {
                    error = "--slots: expected CODE[:ID] per slot (host colour code and colour id, 0..255) "
                            "separated by commas, got \"" + value + "\"";
                    return false;
                }
                slots += (count++ ? "`" : "") + std::to_string(code);
                if (colon != std::string::npos)
                    ids += (withId++ ? "," : "") + std::to_string(id);
                if (comma == std::string::npos)
                    break;
                pos = comma + 1;
            }
            if (withId != 0 && withId != count) {
                error = "--slots: give a colour id for every slot or for none, got \"" + value + "\"";
                return false;
            }
            o.sets.emplace_back("SlotsSetting", slots);
            if (withId)
                o.sets.emplace_back("MimakiColorSequence", ids);
        } else if (arg == "--layer") {
            if (!needValue() || !ParseLayerOption(value, o.sets, error))
                return false;
        } else if (arg == "--list-models") {
            if (!noValue())
                return false;
            o.listModels = true;
        } else if (arg == "--pattern") {
            if (!needValue())
                return false;
            if (!IsPatternName(value)) {
                error = "--pattern: unknown pattern \"" + value + "\" (known: " + PatternNameList() + ")";
                return false;
            }
            o.pattern = value;
            o.patternGiven = true;
        } else if (arg == "--seed") {
            if (!number(0, INT64_MAX, n))
                return false;
            o.seed = static_cast<std::uint64_t>(n);
        } else if (arg == "--input") {
            std::string path;
            if (!text("a file name", path))
                return false;
            o.inputs.push_back(path);
        } else if (arg == "--screen") {
            if (!needValue())
                return false;
            if (value == "diffusion")
                o.screen = ScreenKind::Diffusion;
            else if (value == "ordered")
                o.screen = ScreenKind::Ordered;
            else {
                error = "--screen: expected diffusion or ordered, got \"" + value + "\"";
                return false;
            }
        } else if (arg == "--width") {
            if (!number(1, 1000000, n))
                return false;
            o.width = static_cast<int>(n);
            widthGiven = true;
        } else if (arg == "--height") {
            if (!number(1, 100000000, n))
                return false;
            o.height = static_cast<int>(n);
            heightGiven = true;
        } else if (arg == "--dpi") {
            if (!needValue())
                return false;
            const std::size_t x = value.find_first_of("xX");
            const std::string h = value.substr(0, x);
            const std::string v = x == std::string::npos ? h : value.substr(x + 1);
            if (!ParseDpi(h, o.dpiFirst) || !ParseDpi(v, o.dpiSecond)) {
                error = "--dpi: expected H or HxV in dpi (1 to 100000), got \"" + value + "\"";
                return false;
            }
        } else if (arg == "--bits") {
            if (!number(1, 2, n))
                return false;
            o.bits = static_cast<int>(n);
        } else if (arg == "--channels") {
            if (!needValue())
                return false;
            o.channels.clear();
            std::set<int> seen;
            std::size_t pos = 0;
            while (true) {
                const std::size_t comma = value.find(',', pos);
                const std::string item = value.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                long long code = 0;
                if (!ParseLong(item, 0, 255, code)) {
                    error = "--channels: expected host colour codes 0..255 separated by commas, got \"" + value + "\"";
                    return false;
                }
                if (!seen.insert(static_cast<int>(code)).second) {
                    error = "--channels: colour code " + item + " given twice";
                    return false;
                }
                o.channels.push_back(static_cast<int>(code));
                if (comma == std::string::npos)
                    break;
                pos = comma + 1;
            }
        } else if (arg == "--cut") {
            if (!number(0, 2, n))
                return false;
            o.cut = static_cast<int>(n);
        } else if (arg == "--job-name") {
            if (!text("a name", o.jobName))
                return false;
        } else if (arg == "--interleave") {
            if (!noValue())
                return false;
            o.interleave = true;
        } else if (arg == "--dot-data-type") {
            if (!number(0, 255, n))
                return false;
            o.dotDataType = static_cast<int>(n);
        } else if (arg == "--compress" || arg == "--no-compress") {
            if (!noValue())
                return false;
            o.compress = arg == "--compress" ? 1 : 0;
        } else if (arg == "-o" || arg == "--output") {
            if (!text("a file name", o.output))
                return false;
            o.outputGiven = true;
        } else if (arg == "--device") {
            if (!needValue())
                return false;
            std::string host;
            int port = 0;
            if (!ParseDeviceUri(value, host, port, error))
                return false;
            o.device = value;
        } else if (arg == "--device-timeout") {
            if (!needValue())
                return false;
            char* end = nullptr;
            errno = 0;
            const double v = std::strtod(value.c_str(), &end);
            if (value.empty() || !(value[0] >= '0' && value[0] <= '9') || errno || *end || !std::isfinite(v) ||
                v <= 0 || v > 86400) {
                error = "--device-timeout: expected seconds (more than 0, up to 86400), got \"" + value + "\"";
                return false;
            }
            o.deviceTimeout = v;
        } else if (arg == "--decode-limit") {
            if (!number(1, 1 << 24, n))
                return false;
            o.decodeLimitMiB = static_cast<std::uint64_t>(n);
        } else if (arg == "--spool-limit") {
            std::string value;
            if (!text("a size", value))
                return false;
            o.spoolLimit = CTempFileMgr::ParseSize(value);
            if (o.spoolLimit < 0) {
                error = "--spool-limit: expected a size in bytes, optionally with K, M or G, got \"" + value + "\"";
                return false;
            }
        } else if (arg == "--alt-row-bytes") {
            if (!number(1, INT32_MAX, n))
                return false;
            o.altRowBytes = static_cast<int>(n);
        } else if (arg == "--abort-after") {
            if (!number(0, INT32_MAX, n))
                return false;
            o.abortAfter = n;
        } else if (arg == "--save-raster") {
            if (!text("a folder", o.saveRaster))
                return false;
        } else if (arg == "--json") {
            if (!noValue())
                return false;
            o.json = true;
        } else if (arg == "--stats") {
            if (!noValue())
                return false;
            o.stats = true;
        } else if (arg == "--quiet" || arg == "-q") {
            if (!noValue())
                return false;
            o.quiet = true;
        } else {
            error = (arg.size() > 1 && arg[0] == '-' ? "unknown option " : "unexpected argument ") + arg;
            return false;
        }
    }
    if (o.help || o.listModels)
        return true;

    if (o.settingsFile.empty() && !o.sets.empty()) {
        bool uid = false;
        for (const auto& kv : o.sets)
            uid = uid || strcasecmp(kv.first.c_str(), "PrEnv_UID") == 0;
        if (!uid) {
            error = "the printer has only the keys given with --set, and no PrEnv_UID among them: give "
                    "--set PrEnv_UID=N (its model number) or --settings FILE.ini";
            return false;
        }
    }
    if (!o.printer.empty() && o.settingsFile.empty()) {
        error = "--printer needs --settings";
        return false;
    }
    if (!o.inputs.empty() && o.patternGiven) {
        error = "--pattern and --input exclude each other";
        return false;
    }
    if (!o.inputs.empty() && (widthGiven || heightGiven)) {
        error = "--width and --height come from the images given with --input";
        return false;
    }
    if (!o.inputs.empty() && !o.channels.empty() && o.channels.size() != o.inputs.size()) {
        error = std::to_string(o.inputs.size()) + " --input images for " + std::to_string(o.channels.size()) +
                " channels: give one image per channel";
        return false;
    }
    if (!o.device.empty() && o.outputGiven) {
        error = "-o and --device exclude each other";
        return false;
    }
    if (o.json && o.output == "-" && o.device.empty()) {
        error = "--json and -o - both want standard output";
        return false;
    }
    return true;
}

bool ParseDeviceUri(const std::string& uri, std::string& host, int& port, std::string& error)
{
    const std::string scheme = "socket://";
    if (uri.rfind(scheme, 0) != 0) {
        error = "--device: expected socket://HOST:PORT, got \"" + uri + "\"";
        return false;
    }
    // No default port: a job sent to the wrong port is worse than a question.
    if (!SplitHostPort(uri.substr(scheme.size()), 0, host, port, error)) {
        error = "--device: " + error + (error.rfind("no port", 0) == 0 ? " (printers usually listen on 9100)" : "");
        return false;
    }
    return true;
}

} // namespace rasterjob
