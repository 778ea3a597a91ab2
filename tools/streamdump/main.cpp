// streamdump: reads a printer stream as the printer would and shows what it
// would print.
//
//   streamdump [--trace] [--json] [--png-dir DIR] [--png-scale N]
//              [--command NAME=COUNT]... [--max-errors N] FILE|-
//
// Exit status: 0 for a clean stream that holds a whole job, 1 when the
// stream has errors or is incomplete (empty, or without its job end), 2 for
// a usage, input or output failure.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "host/FileIO.h"
#include "tools/common/Interrupt.h"
#include "tools/common/Json.h"
#include "tools/common/Stdout.h"
#include "tools/streamdump/LayerContents.h"
#include "tools/streamdump/LayerModes.h"
#include "tools/streamdump/LayerSections.h"
#include "tools/streamdump/Preview.h"
#include "tools/streamdump/StreamLayerPages.h"
#include "tools/streamdump/StreamParser.h"

using namespace streamparse;

namespace {

const char kUsage[] =
    "usage: streamdump [--trace] [--json] [--png-dir DIR] [--png-scale N]\n"
    "                  [--uid N] [--command NAME=COUNT]... [--max-errors N] FILE|-\n"
    "  --trace             every command with its offset and decoded fields\n"
    "                      (to standard error when --json is given)\n"
    "  --json              summary as JSON: formats, command counts, the job\n"
    "                      commands with their named parameters, layers,\n"
    "                      planes with their raster digests, errors\n"
    "  --png-dir DIR       one PNG per plane and a composite per layer\n"
    "  --png-scale N       stream pixels per preview pixel (default: fit 4096)\n"
    "  --uid N             the printer's model number: job commands whose bytes\n"
    "                      differ from model to model are named as it sends them\n"
    "  --command NAME=N    a further two-letter job command with N parameter bytes\n"
    "  --layer-sections    rebuild the layers of a stream sent as layer sections\n"
    "                      (\"QD\" with a layer index, the \"sub\" of --trace): each\n"
    "                      layer index becomes a layer, its rows moved up by the\n"
    "                      layer's delay and un-mirrored where asked; the summary,\n"
    "                      --json and --png-dir (a composite per layer) show them\n"
    "  --layer-offset N    rows each layer lags behind the one before (implies\n"
    "                      --layer-sections; default: the job's layer settings\n"
    "                      \"PL\" as --uid names them, else 0)\n"
    "  --white-mode N      mirror back the layers white mode N (0 to 12; with\n"
    "                      --uid 38 the UCJV300's layer modes, also 13 to 17, 26,\n"
    "                      32 to 35) mirrors (default: the white mode or white\n"
    "                      order of \"PL\", as for the offset)\n"
    "  --mirrored-layers L mirror back the layers of the list L, such as 0,1\n"
    "  --pixel-width N     pixels of a row for un-mirroring (default: the row's\n"
    "                      bytes filled with pixels)\n"
    "  --page-order        rebuild the layers of a recorded page (UID 25, 28, 35,\n"
    "                      39, 41, 46, 53) in page order: layers sent last row\n"
    "                      first (an underprint \"QC\";\n"
    "                      not with --uid 53) turned back, --mirrored-layers\n"
    "                      un-mirrored (--pixel-width wide)\n"
    "  --max-errors N      stop after N errors (default 100)\n"
    "A stream without its job end (QE or FF) is reported as incomplete.\n"
    "Exit status: 0 clean and complete, 1 errors or incomplete, 2 usage, input\n"
    "or output failure.\n";

struct Args {
    bool trace = false;
    bool json = false;
    std::string pngDir;
    int pngScale = 0;
    std::string file;
    ParseOptions options;
    bool layerSections = false;
    bool pageOrder = false;
    bool offsetGiven = false;
    bool mirrorGiven = false;
    int whiteMode = -1;  // --white-mode, resolved once --uid is known
    LayerSectionOptions sections;
};

// The white mode and layer offset the job's layer settings ("PL", named when
// --uid names a model that sends them) give, for what the options left open.
void SectionsFromJob(const ParseResult& r, Args& args)
{
    for (const Command& c : r.jobCommands) {
        if (c.name != "PL")
            continue;
        for (const Param& p : c.params) {
            if (p.printers)
                continue;
            if (p.name == "layerOffset" && !args.offsetGiven)
                args.sections.offset = static_cast<int>(p.value);
            // The UCJV300 calls its layer mode the white order.
            if ((p.name == "whiteMode" || p.name == "whiteOrder") && !args.mirrorGiven)
                MirroredLayersOfMode(args.options.uid, static_cast<int>(p.value), args.sections.mirrored);
        }
        return;
    }
}

bool ParseInt(const char* text, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || !*text || *end || v < 0 || v > 1 << 30)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseArgs(int argc, char** argv, Args& args, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                error = a + " needs " + what;
                return nullptr;
            }
            return argv[++i];
        };
        if (a == "--trace") {
            args.trace = true;
        } else if (a == "--json") {
            args.json = true;
        } else if (a == "--png-dir") {
            const char* v = value("a directory");
            if (!v)
                return false;
            args.pngDir = v;
        } else if (a == "--png-scale") {
            const char* v = value("a number");
            if (!v)
                return false;
            if (!ParseInt(v, args.pngScale) || args.pngScale < 1) {
                error = "--png-scale needs a number of at least 1";
                return false;
            }
        } else if (a == "--max-errors") {
            const char* v = value("a number");
            int n = 0;
            if (!v)
                return false;
            if (!ParseInt(v, n) || n < 1) {
                error = "--max-errors needs a number of at least 1";
                return false;
            }
            args.options.maxErrors = static_cast<std::size_t>(n);
        } else if (a == "--uid") {
            const char* v = value("a number");
            int n = 0;
            if (!v)
                return false;
            if (!ParseInt(v, n) || n > 255) {
                error = "--uid needs a model number from 0 to 255";
                return false;
            }
            args.options.uid = n;
        } else if (a == "--command") {
            const char* v = value("NAME=COUNT");
            if (!v)
                return false;
            const std::string spec = v;
            int n = 0;
            if (spec.size() < 4 || spec[2] != '=' || !ParseInt(spec.c_str() + 3, n) || n > 255) {
                error = "--command needs two letters, '=' and a parameter count (0 to 255), such as XZ=2";
                return false;
            }
            args.options.extraCommands[spec.substr(0, 2)] = n;
        } else if (a == "--page-order") {
            args.pageOrder = true;
        } else if (a == "--layer-sections") {
            args.layerSections = true;
        } else if (a == "--layer-offset" || a == "--white-mode" || a == "--pixel-width") {
            const char* v = value("a number");
            int n = 0;
            if (!v)
                return false;
            if (!ParseInt(v, n)) {
                error = a + " needs a number of at least 0";
                return false;
            }
            if (a == "--layer-offset") {
                args.sections.offset = n;
                args.offsetGiven = true;
            } else if (a == "--pixel-width") {
                args.sections.pixelWidth = n;
            } else {
                args.whiteMode = n;
                args.mirrorGiven = true;
            }
            args.layerSections = true;
        } else if (a == "--mirrored-layers") {
            const char* v = value("a list of layer indices");
            if (!v)
                return false;
            std::stringstream list(v);
            std::string item;
            args.sections.mirrored.clear();
            args.whiteMode = -1; // the later of the two options counts
            while (std::getline(list, item, ',')) {
                int n = 0;
                if (!ParseInt(item.c_str(), n) || n > 255) {
                    error = "--mirrored-layers needs layer indices (0 to 255) separated by commas";
                    return false;
                }
                args.sections.mirrored.insert(n);
            }
            args.mirrorGiven = true;
            args.layerSections = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(FlushStdout(error) ? 0 : (std::fprintf(stderr, "streamdump: %s\n", error.c_str()), 2));
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else if (args.file.empty()) {
            args.file = a;
        } else {
            error = "more than one input file";
            return false;
        }
    }
    if (args.file.empty()) {
        error = "no input file";
        return false;
    }
    if (args.whiteMode >= 0 && !MirroredLayersOfMode(args.options.uid, args.whiteMode, args.sections.mirrored)) {
        error = "--white-mode needs a white mode from 0 to 12 (with --uid 38 also 13 to 17, 26 or 32 to 35)";
        return false;
    }
    // The page order takes the mirrored layers and the width for itself.
    if (args.pageOrder)
        args.layerSections = false;
    return true;
}

bool ReadInput(const std::string& file, std::string& bytes, std::string& error)
{
    if (file == "-")
        return ReadWholeFd(0, "standard input", bytes, error);
    return ReadWholeFile(file, bytes, error);
}

std::string KeyText(const PlaneKey& key)
{
    std::string s = "layer " + std::to_string(key.layer) + " colour " + std::to_string(key.colour);
    if (key.density >= 0)
        s += " density " + std::to_string(key.density);
    if (key.sublayer >= 0)
        s += " sub " + std::to_string(key.sublayer);
    if (key.occurrence > 0)
        s += " occurrence " + std::to_string(key.occurrence);
    return s;
}

std::string Hex(std::size_t offset)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zx", offset);
    return buf;
}

void PrintSummary(const Args& args, std::size_t size, const ParseResult& r, FILE* out)
{
    std::fprintf(out, "stream: %s, %zu bytes, parsed %zu\n", args.file.c_str(), size, r.bytesParsed);
    if (args.layerSections) {
        std::fprintf(out, "layer sections: layer index k moved up by %d x k rows, mirrored back:", args.sections.offset);
        for (int k : args.sections.mirrored)
            std::fprintf(out, " %d", k);
        std::fprintf(out, "%s\n", args.sections.mirrored.empty() ? " none" : "");
    }
    std::fprintf(out, "formats:");
    for (RasterFormat f : r.formats)
        std::fprintf(out, " %s", FormatName(f));
    std::fprintf(out, "%s\ncommands:", r.formats.empty() ? " none" : "");
    for (const auto& [name, count] : r.commandCounts)
        std::fprintf(out, " [%s] %zu", name.c_str(), count);
    std::fprintf(out, "\n");
    const std::vector<LayerSection> sections = LayerSections(r);
    for (std::size_t i = 0; i < r.layers.size(); ++i) {
        const Layer& layer = r.layers[i];
        std::fprintf(out, "layer %d: %lld rows, bytes %s..%s, ended by %s\n", layer.index,
                     static_cast<long long>(layer.rows), Hex(layer.startOffset).c_str(),
                     Hex(layer.endOffset).c_str(), layer.endedBy.c_str());
        const LayerSection& s = sections[i];
        std::string start, planes;
        for (const std::string& name : s.start)
            start.append(1, ' ').append(name);
        for (const PlaneKey& k : s.planes) {
            planes.append(1, ' ').append(std::to_string(k.colour));
            if (k.occurrence)
                planes.append(1, '#').append(std::to_string(k.occurrence));
        }
        std::fprintf(out, "  start:%s\n  planes in the order sent:%s\n", start.empty() ? " none" : start.c_str(),
                     planes.empty() ? " none" : planes.c_str());
        if (s.underprint)
            std::fprintf(out, "  underprint (its QC says so): rows are numbered %s\n",
                         args.pageOrder && args.options.uid != 53 ? "in page order" : "in the order sent");
        if (args.pageOrder && args.sections.mirrored.count(layer.index))
            std::fprintf(out, "  mirrored back\n");
    }
    for (const Plane& p : r.planes) {
        std::fprintf(out, "plane %s: %s%s, %d bpp, %lld rows, %d bytes/row, %zu records (%zu compressed), ",
                     KeyText(p.key).c_str(), FormatName(p.format), p.mixedFormats ? " (mixed)" : "", p.bitsPerPixel,
                     static_cast<long long>(p.rows), p.bytesPerRow, p.records, p.compressedRecords);
        if (p.firstInkRow >= 0)
            std::fprintf(out, "ink rows %lld..%lld", static_cast<long long>(p.firstInkRow),
                         static_cast<long long>(p.lastInkRow));
        else
            std::fprintf(out, "no ink");
        std::fprintf(out, "\n  sha256 %s\n", p.digest.c_str());
    }
    std::fprintf(out, "%zu error%s\n", r.errors.size(), r.errors.size() == 1 ? "" : "s");
}

// A job command: its bytes in lower-case hex and its parameters by name
// (null for a setting left to the printer).
std::string CommandJson(const Command& c, const std::string& bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = c.offset; i < c.offset + c.length && i < bytes.size(); ++i) {
        hex += kHex[static_cast<unsigned char>(bytes[i]) >> 4];
        hex += kHex[static_cast<unsigned char>(bytes[i]) & 15];
    }
    std::string j = "{\"offset\": " + std::to_string(c.offset) + ", \"name\": " + JsonString(c.name) +
                    ", \"meaning\": " + JsonString(c.meaning) + ", \"bytes\": \"" + hex + "\", \"params\": {";
    for (std::size_t i = 0; i < c.params.size(); ++i)
        j += (i ? ", " : "") + JsonString(c.params[i].name) + ": " +
             (c.params[i].printers ? std::string("null") : std::to_string(c.params[i].value));
    return j + "}}";
}

std::string ToJson(const Args& args, const std::string& bytes, const ParseResult& r,
                   const std::vector<std::string>& pngs)
{
    const std::size_t size = bytes.size();
    std::ostringstream j;
    j << "{\n  \"file\": " << JsonString(args.file) << ",\n  \"size\": " << size
      << ",\n  \"bytesParsed\": " << r.bytesParsed << ",\n  \"ok\": " << (r.ok() ? "true" : "false")
      << ",\n  \"formats\": [";
    for (std::size_t i = 0; i < r.formats.size(); ++i)
        j << (i ? ", " : "") << JsonString(FormatName(r.formats[i]));
    j << "],\n  \"commands\": {";
    bool first = true;
    for (const auto& [name, count] : r.commandCounts) {
        j << (first ? "" : ", ") << JsonString(name) << ": " << count;
        first = false;
    }
    j << "},\n  \"jobCommands\": [";
    for (std::size_t i = 0; i < r.jobCommands.size(); ++i)
        j << (i ? "," : "") << "\n    " << CommandJson(r.jobCommands[i], bytes);
    j << (r.jobCommands.empty() ? "]" : "\n  ]") << ",\n  \"layers\": [";
    const std::vector<LayerSection> sections = LayerSections(r);
    for (std::size_t i = 0; i < r.layers.size(); ++i) {
        const Layer& l = r.layers[i];
        j << (i ? "," : "") << "\n    {\"index\": " << l.index << ", \"rows\": " << l.rows
          << ", \"startOffset\": " << l.startOffset << ", \"endOffset\": " << l.endOffset
          << ", \"endedBy\": " << JsonString(l.endedBy) << ", \"start\": [";
        for (std::size_t k = 0; k < sections[i].start.size(); ++k)
            j << (k ? ", " : "") << JsonString(sections[i].start[k]);
        j << "], \"underprint\": " << (sections[i].underprint ? "true" : "false") << ", \"planeOrder\": [";
        for (std::size_t k = 0; k < sections[i].planes.size(); ++k)
            j << (k ? ", " : "") << "{\"colour\": " << sections[i].planes[k].colour
              << ", \"occurrence\": " << sections[i].planes[k].occurrence << "}";
        j << "]}";
    }
    j << "\n  ],\n  \"planes\": [";
    for (std::size_t i = 0; i < r.planes.size(); ++i) {
        const Plane& p = r.planes[i];
        auto opt = [](int v) { return v < 0 ? std::string("null") : std::to_string(v); };
        j << (i ? "," : "") << "\n    {\"layer\": " << p.key.layer << ", \"colour\": " << p.key.colour
          << ", \"density\": " << opt(p.key.density) << ", \"sublayer\": " << opt(p.key.sublayer)
          << ", \"occurrence\": " << p.key.occurrence << ", \"format\": " << JsonString(FormatName(p.format))
          << ", \"mixedFormats\": " << (p.mixedFormats ? "true" : "false") << ", \"rows\": " << p.rows
          << ", \"bytesPerRow\": " << p.bytesPerRow << ", \"bitsPerPixel\": " << p.bitsPerPixel
          << ", \"records\": " << p.records << ", \"compressedRecords\": " << p.compressedRecords
          << ", \"firstInkRow\": " << p.firstInkRow << ", \"lastInkRow\": " << p.lastInkRow
          << ", \"firstOffset\": " << p.firstOffset << ", \"digest\": " << JsonString(p.digest) << "}";
    }
    j << "\n  ],\n  \"errors\": [";
    for (std::size_t i = 0; i < r.errors.size(); ++i) {
        const ParseError& e = r.errors[i];
        j << (i ? "," : "") << "\n    {\"offset\": " << e.offset << ", \"message\": " << JsonString(e.message)
          << ", \"fatal\": " << (e.fatal ? "true" : "false") << "}";
    }
    j << (r.errors.empty() ? "]" : "\n  ]");
    if (!args.pngDir.empty()) {
        j << ",\n  \"png\": [";
        for (std::size_t i = 0; i < pngs.size(); ++i)
            j << (i ? ", " : "") << JsonString(pngs[i]);
        j << "]";
    }
    j << "\n}\n";
    return j.str();
}

} // namespace

int main(int argc, char** argv)
{
    Args args;
    std::string error;
    if (!ParseArgs(argc, argv, args, error)) {
        std::fprintf(stderr, "streamdump: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    std::string bytes;
    if (!ReadInput(args.file, bytes, error)) {
        std::fprintf(stderr, "streamdump: %s\n", error.c_str());
        return 2;
    }
    FILE* traceOut = args.json ? stderr : stdout;
    if (args.trace)
        args.options.onCommand = [traceOut](const Command& c) {
            std::fprintf(traceOut, "%08zx %6zu  %-8s %s\n", c.offset, c.length, c.name.c_str(), c.fields.c_str());
        };
    args.options.keepRows = !args.pngDir.empty() || args.layerSections || args.pageOrder;
    args.options.keepJobCommands = true; // the layer sections name their start
    args.options.expectJobEnd = true;
    ParseResult result = ParseStream(bytes, args.options);
    if (args.layerSections) {
        SectionsFromJob(result, args);
        result = RebuildLayerSections(result, args.sections);
    }
    if (args.pageOrder)
        result = RebuildPageOrder(result, {args.options.uid != 53, args.sections.mirrored, args.sections.pixelWidth});

    for (const ParseError& e : result.errors)
        std::fprintf(stderr, "streamdump: %s: offset %s: %s%s\n", args.file.c_str(), Hex(e.offset).c_str(),
                     e.message.c_str(), e.fatal ? " (parsing stopped)" : "");

    std::vector<std::string> pngs;
    bool outputOk = true;
    if (!args.pngDir.empty()) {
        // From here files are written: a signal ends the writing and leaves
        // no partial file.
        interrupt::Install();
        PreviewOptions preview;
        preview.scale = args.pngScale;
        preview.stop = interrupt::Flag();
        preview.maxPixels = std::max<std::uint64_t>(preview.maxPixels, 256 * std::uint64_t(bytes.size()));
        if (!WritePreviews(result, args.pngDir, preview, pngs, error)) {
            std::fprintf(stderr, "streamdump: %s\n", error.c_str());
            if (interrupt::Signal())
                return 128 + interrupt::Signal();
            outputOk = false;
        }
    }
    if (args.json)
        std::fputs(ToJson(args, bytes, result, pngs).c_str(), stdout);
    else
        PrintSummary(args, bytes.size(), result, stdout);
    if (!FlushStdout(error)) {
        std::fprintf(stderr, "streamdump: %s\n", error.c_str());
        return 2;
    }
    if (!outputOk)
        return 2;
    return result.ok() ? 0 : 1;
}
