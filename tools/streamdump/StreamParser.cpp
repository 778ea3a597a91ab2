#include "tools/streamdump/StreamParser.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host/PackBits.h"
#include "tools/common/RasterDigest.h"

namespace streamparse {

const char* FormatName(RasterFormat format)
{
    switch (format) {
    case RasterFormat::Set0: return "set0";
    case RasterFormat::Set1: return "set1";
    case RasterFormat::Set2: return "set2";
    case RasterFormat::Mrl3Qd7: return "mrl3-qd7";
    case RasterFormat::Mrl3Qd9: return "mrl3-qd9";
    case RasterFormat::Mrl3Qd10: return "mrl3-qd10";
    }
    return "?";
}

const std::vector<std::uint8_t>* Plane::RowAt(std::int64_t index) const
{
    const auto it = std::lower_bound(rowData.begin(), rowData.end(), index,
                                     [](const Row& row, std::int64_t i) { return row.index < i; });
    return it != rowData.end() && it->index == index ? &it->bytes : nullptr;
}

std::vector<std::vector<std::uint8_t>> Plane::DenseRows() const
{
    std::vector<std::vector<std::uint8_t>> dense(static_cast<std::size_t>(rows));
    for (const Row& row : rowData)
        dense[static_cast<std::size_t>(row.index)] = row.bytes;
    return dense;
}

std::size_t ParseResult::Count(std::string_view command) const
{
    const auto it = commandCounts.find(command);
    return it == commandCounts.end() ? 0 : it->second;
}

const Plane* ParseResult::FindPlane(const PlaneKey& key) const
{
    for (const Plane& plane : planes)
        if (plane.key == key)
            return &plane;
    return nullptr;
}

namespace {

constexpr std::uint8_t kEsc = 0x1B;

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Fmt(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Hex(const std::uint8_t* p, std::size_t n)
{
    std::string s;
    const std::size_t shown = std::min<std::size_t>(n, 32);
    for (std::size_t i = 0; i < shown; ++i)
        s += Fmt(i ? " %02x" : "%02x", p[i]);
    if (shown < n)
        s += Fmt(" ... (%zu bytes)", n);
    return s;
}

inline unsigned Le16(const std::uint8_t* p) { return p[0] | unsigned(p[1]) << 8; }
inline std::uint32_t Le32(const std::uint8_t* p)
{
    return p[0] | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

inline bool IsCommandLetter(std::uint8_t c) { return (c >= '@' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string ByteName(std::uint8_t c)
{
    return c >= 0x21 && c < 0x7F ? std::string(1, static_cast<char>(c)) : Fmt("<%02x>", c);
}

// Walks PackBits codes without writing, to tell why a decode failed.
struct PackBitsWalk {
    std::size_t in = 0;   // source bytes used
    std::size_t out = 0;  // bytes produced (or that the failing code wanted to reach)
    bool overshoot = false;  // a code passes the wanted length (else the source ran out)
};

PackBitsWalk WalkPackBits(const std::uint8_t* src, std::size_t srcLen, std::size_t want)
{
    PackBitsWalk w;
    while (w.out < want) {
        if (w.in >= srcLen)
            return w;
        const std::uint8_t h = src[w.in];
        std::size_t produce = 0;
        std::size_t take = 1;
        if (h < 128) {
            produce = std::size_t(h) + 1;
            take += produce;
        } else if (h > 128) {
            produce = 257 - std::size_t(h);
            take += 1;
        }
        if (w.out + produce > want) {
            w.out += produce;
            w.overshoot = true;
            return w;
        }
        if (w.in + take > srcLen) {
            // Only the literal bytes that are there count as produced.
            w.out += h < 128 ? srcLen - w.in - 1 : 0;
            w.in = srcLen;
            return w;
        }
        w.in += take;
        w.out += produce;
    }
    return w;
}

struct PlaneState {
    Plane plane;
    RasterDigest digest;
    bool bppReported = false;
};

// A raster record as read from its header.
struct Record {
    std::size_t start = 0;  // offset of the header
    const char* name = "";
    RasterFormat format = RasterFormat::Set0;
    int colour = 0;
    int density = -1;
    int sublayer = -1;
    int bitsPerPixel = 1;
    int compression = 0;
    std::size_t count = 0;   // uncompressed bytes per row
    std::size_t lines = 1;   // rows in the record
    bool hasStored = false;  // the header gives the data length
    std::size_t stored = 0;
};

class Parser {
public:
    Parser(const std::uint8_t* data, std::size_t size, const ParseOptions& options)
        : m_data(data), m_size(size), m_opt(options)
    {
        m_res.layers.push_back(Layer{});
        m_context.uid = options.uid;
    }

    ParseResult Run();

private:
    // Errors
    void Error(std::size_t offset, std::string message, bool fatal = false);
    void Fatal(std::size_t offset, std::string message) { Error(offset, std::move(message), true); }
    bool Need(std::size_t start, std::size_t n, const char* what);

    // Bookkeeping
    void Count(std::string_view name);
    // Counts a command read in full (ending at m_pos).
    void Note(std::size_t start, std::string_view name);
    void Trace(std::size_t start, std::string_view name, const std::string& fields);
    // A job command with its meaning and named parameters (extra is added
    // to the trace text).
    void TraceJob(std::size_t start, std::string_view name, const DecodedCommand& command,
                  const std::string& extra = {});
    bool KeepsJobCommands() const { return Tracing() || m_opt.keepJobCommands; }
    bool Tracing() const { return static_cast<bool>(m_opt.onCommand); }
    void SawFormat(RasterFormat format);

    // Layers and rows
    void Touch(std::size_t start);
    void LayerStart(std::size_t start, const char* by);
    void LayerEnd(std::size_t end, const char* by);
    bool MoveDown(std::size_t start, std::uint64_t rows, const char* what);
    void Place(const Record& rec, const std::uint8_t* data);

    // Commands
    void ParseEsc(std::size_t start);
    void ParseEscParen(std::size_t start);
    void ParseMrl(std::size_t start);
    void ParseQd(std::size_t start, const std::uint8_t* params, std::size_t len);
    void ParseFixed(std::size_t start, std::string_view name, int params, bool extra);
    void ParseRecordData(Record& rec, std::string_view name, std::string fields);
    // Parameter count of a fixed-length command, -1 when a b is none;
    // extra tells one of ParseOptions::extraCommands.
    int FindFixed(std::uint8_t a, std::uint8_t b, bool& extra) const;

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    std::size_t m_understood = 0;  // end of the last command read in full
    const ParseOptions& m_opt;
    ParseResult m_res;
    bool m_stop = false;

    // Layer state
    int m_layer = 0;
    std::int64_t m_y = 0;
    bool m_layerHasContent = false;
    bool m_layerClosed = false;
    // A page end (FF) of the ESC/P sets is followed by the job end byte.
    bool m_awaitJobEndByte = false;
    std::size_t m_nextLayerStart = SIZE_MAX;
    std::size_t m_closeEnd = 0;

    // Which layouts apply where a command has two of one length.
    CommandContext m_context;

    // ESC/P colour state
    int m_escColour = 0;
    int m_escDensity = -1;
    RasterFormat m_escFormat = RasterFormat::Set0;

    std::map<PlaneKey, PlaneState> m_planes;
    // Per key with occurrence 0: the planes of occurrence 0, 1, ...
    std::map<PlaneKey, std::vector<PlaneState*>> m_slots;
    std::vector<std::uint8_t> m_scratch;
};

void Parser::Error(std::size_t offset, std::string message, bool fatal)
{
    if (m_stop)
        return;
    if (m_res.errors.size() >= m_opt.maxErrors) {
        m_res.errors.push_back({offset, "too many errors; parsing stopped", true});
        m_stop = true;
        return;
    }
    m_res.errors.push_back({offset, std::move(message), fatal});
    if (fatal)
        m_stop = true;
}

bool Parser::Need(std::size_t start, std::size_t n, const char* what)
{
    if (m_size - start >= n)
        return true;
    Fatal(start, Fmt("truncated %s: needs %zu bytes, %zu left", what, n, m_size - start));
    return false;
}

void Parser::Count(std::string_view name)
{
    const auto it = m_res.commandCounts.find(name);
    if (it != m_res.commandCounts.end())
        ++it->second;
    else
        m_res.commandCounts.emplace(std::string(name), 1);
}

void Parser::Note(std::size_t start, std::string_view name)
{
    Count(name);
    m_understood = m_pos;
    // The first command after a layer end (job end bytes aside) starts the
    // next layer, should one follow.
    if (m_layerClosed && m_nextLayerStart == SIZE_MAX && start >= m_closeEnd && name != "0xFF" && name != "NUL")
        m_nextLayerStart = start;
}

void Parser::Trace(std::size_t start, std::string_view name, const std::string& fields)
{
    Note(start, name);
    if (Tracing())
        m_opt.onCommand(Command{start, m_pos - start, std::string(name), fields, false, {}, {}});
}

void Parser::TraceJob(std::size_t start, std::string_view name, const DecodedCommand& command,
                      const std::string& extra)
{
    if (!KeepsJobCommands()) {
        Trace(start, name, {});
        return;
    }
    Note(start, name);
    Command c{start, m_pos - start, std::string(name), command.meaning, true, command.meaning, command.params};
    if (!command.params.empty())
        c.fields += ": " + ParamsText(command.params);
    c.fields += extra;
    if (Tracing())
        m_opt.onCommand(c);
    if (m_opt.keepJobCommands)
        m_res.jobCommands.push_back(std::move(c));
}

void Parser::SawFormat(RasterFormat format)
{
    if (std::find(m_res.formats.begin(), m_res.formats.end(), format) == m_res.formats.end())
        m_res.formats.push_back(format);
}

// Raster, bands and feeds after a layer end open the next layer.
void Parser::Touch(std::size_t start)
{
    if (!m_layerClosed)
        return;
    m_layerClosed = false;
    m_awaitJobEndByte = false;
    ++m_layer;
    Layer layer;
    layer.index = m_layer;
    layer.startOffset = m_nextLayerStart != SIZE_MAX ? m_nextLayerStart : start;
    m_res.layers.push_back(layer);
    m_nextLayerStart = SIZE_MAX;
    m_y = 0;
    m_layerHasContent = false;
}

// "Q@" or ESC "@": a layer of its own once the current one printed.
void Parser::LayerStart(std::size_t start, const char* by)
{
    if (m_layerHasContent && !m_layerClosed)
        LayerEnd(start, by);
    if (m_layerClosed && m_nextLayerStart == SIZE_MAX)
        m_nextLayerStart = start;
    Touch(start);
}

void Parser::LayerEnd(std::size_t end, const char* by)
{
    if (m_layerClosed)
        return;
    Layer& layer = m_res.layers.back();
    layer.endOffset = end;
    layer.endedBy = by;
    layer.rows = std::max(layer.rows, m_y);
    m_layerClosed = true;
    m_closeEnd = end;
    m_nextLayerStart = SIZE_MAX;
}

bool Parser::MoveDown(std::size_t start, std::uint64_t rows, const char* what)
{
    Touch(start);
    m_layerHasContent = true;
    if (rows > std::uint64_t(m_opt.maxRows) || m_y + std::int64_t(rows) > m_opt.maxRows) {
        Fatal(start, Fmt("%s of %llu rows moves past row %lld, the deepest a layer may go", what,
                         static_cast<unsigned long long>(rows), static_cast<long long>(m_opt.maxRows)));
        return false;
    }
    m_y += std::int64_t(rows);
    Layer& layer = m_res.layers.back();
    layer.rows = std::max(layer.rows, m_y);
    return true;
}

// Puts the record's lines at the current row position and below.
void Parser::Place(const Record& rec, const std::uint8_t* data)
{
    const std::int64_t y = m_y;
    const auto lines = static_cast<std::int64_t>(rec.lines);
    if (lines == 0)
        return;
    if (y + lines > m_opt.maxRows) {
        Fatal(rec.start, Fmt("row %lld is deeper than a layer may go", static_cast<long long>(std::max(y, m_opt.maxRows))));
        return;
    }
    // A plane holds one row per position; a second record for the same
    // position in one band is another ink slot of the same colour.
    const PlaneKey base{m_layer, rec.colour, rec.density, rec.sublayer, 0};
    std::vector<PlaneState*>& slots = m_slots[base];
    PlaneState* state = nullptr;
    for (PlaneState* slot : slots)
        if (slot->plane.rows <= y) {
            state = slot;
            break;
        }
    if (!state) {
        if (slots.size() >= m_opt.maxOccurrences) {
            Error(rec.start, Fmt("%s: more than %zu records of layer %d colour %d at row %lld; record skipped", rec.name,
                                 m_opt.maxOccurrences, base.layer, base.colour, static_cast<long long>(y)));
            return;
        }
        PlaneKey key = base;
        key.occurrence = static_cast<int>(slots.size());
        state = &m_planes[key];
        state->plane.key = key;
        state->plane.format = rec.format;
        state->plane.bitsPerPixel = rec.bitsPerPixel;
        state->plane.firstOffset = rec.start;
        slots.push_back(state);
    }
    Plane& plane = state->plane;
    if (plane.format != rec.format)
        plane.mixedFormats = true;
    if (plane.bitsPerPixel != rec.bitsPerPixel && !state->bppReported) {
        state->bppReported = true;
        Error(rec.start, Fmt("%s: %d bits per pixel in a plane (layer %d colour %d) that had %d", rec.name,
                             rec.bitsPerPixel, base.layer, base.colour, plane.bitsPerPixel));
    }
    state->digest.AddBlankRows(std::uint64_t(y - plane.rows));
    if (rec.count == 0) {
        state->digest.AddBlankRows(std::uint64_t(lines));
    } else {
        for (std::int64_t line = 0; line < lines; ++line) {
            const std::uint8_t* bytes = data + std::size_t(line) * rec.count;
            state->digest.AddRow(bytes, rec.count);
            if (m_opt.keepRows)
                plane.rowData.push_back(Row{y + line, std::vector<std::uint8_t>(bytes, bytes + rec.count)});
        }
    }
    plane.rows = y + lines;
    plane.bytesPerRow = std::max(plane.bytesPerRow, static_cast<int>(rec.count));
    plane.records += std::size_t(lines);
    if (rec.compression == 1)
        plane.compressedRecords += std::size_t(lines);
    Layer& layer = m_res.layers.back();
    layer.rows = std::max(layer.rows, plane.rows);
}

int Parser::FindFixed(std::uint8_t a, std::uint8_t b, bool& extra) const
{
    const char name[2] = {static_cast<char>(a), static_cast<char>(b)};
    const auto it = m_opt.extraCommands.find(std::string_view(name, 2));
    extra = it != m_opt.extraCommands.end();
    return extra ? it->second : FixedCommandLength(a, b);
}

ParseResult Parser::Run()
{
    while (m_pos < m_size && !m_stop) {
        const std::size_t start = m_pos;
        const std::uint8_t c = m_data[m_pos];
        switch (c) {
        case kEsc:
            ParseEsc(start);
            continue;
        case 0x0D:
            ++m_pos;
            Trace(start, "CR", "row trailer");
            continue;
        case 0x0A:
            ++m_pos;
            if (MoveDown(start, 1, "band end"))
                Trace(start, "LF", Tracing() ? Fmt("band end, next row %lld", static_cast<long long>(m_y)) : "");
            continue;
        case 0x0C: {
            ++m_pos;
            Touch(start);
            LayerEnd(m_pos, "FF");
            m_awaitJobEndByte = true;
            DecodedCommand d;
            d.meaning = "page end";
            TraceJob(start, "FF", d, Tracing() ? Fmt(" (layer %d)", m_layer) : std::string());
            continue;
        }
        case 0xFF: {
            ++m_pos;
            m_awaitJobEndByte = false;
            DecodedCommand d;
            d.meaning = "job end";
            TraceJob(start, "0xFF", d);
            continue;
        }
        case 0x00:
            ++m_pos;
            Trace(start, "NUL", "ignored");
            continue;
        default:
            break;
        }
        if (m_pos + 1 < m_size) {
            bool extra = false;
            const int params = FindFixed(c, m_data[m_pos + 1], extra);
            if (params >= 0) {
                ParseFixed(start, std::string_view(reinterpret_cast<const char*>(m_data + start), 2), params, extra);
                continue;
            }
            if ((c == 'Q' || c == 'P' || c == 'G') && IsCommandLetter(m_data[m_pos + 1])) {
                ParseMrl(start);
                continue;
            }
        } else if (c == 'Q' || c == 'P' || c == 'G' || c == 'M') {
            Fatal(start, Fmt("truncated command: stream ends after '%c'", c));
            break;
        }
        if (m_pos + 1 < m_size)
            Fatal(start, Fmt("unknown command: byte 0x%02x followed by 0x%02x", c, m_data[m_pos + 1]));
        else
            Fatal(start, Fmt("unknown command: byte 0x%02x", c));
    }
    m_res.bytesParsed = m_understood;

    if (m_opt.expectJobEnd && !m_stop) {
        if (m_size == 0)
            Error(0, "empty stream: no job in it");
        else if (!m_layerClosed)
            Error(m_size, m_res.layers.size() > 1
                              ? Fmt("the stream ends in layer %d without its end (QE or FF): the job is incomplete", m_layer)
                              : std::string("the stream ends without its job end (QE or FF): the job is incomplete"));
        else if (m_awaitJobEndByte)
            Error(m_size, "the stream ends after its page end (FF) without the job end byte 0xFF: the job is incomplete");
    }
    if (!m_layerClosed) {
        Layer& layer = m_res.layers.back();
        layer.endOffset = m_understood;
        layer.endedBy = "end of stream";
        layer.rows = std::max(layer.rows, m_y);
    }
    m_res.planes.reserve(m_planes.size());
    for (auto& [key, state] : m_planes) {
        Plane& plane = state.plane;
        plane.digest = state.digest.Hex();
        plane.firstInkRow = state.digest.FirstInkRow();
        plane.lastInkRow = state.digest.LastInkRow();
        m_res.planes.push_back(std::move(plane));
    }
    return std::move(m_res);
}

void Parser::ParseFixed(std::size_t start, std::string_view name, int params, bool extra)
{
    if (!Need(start, 2 + std::size_t(params), std::string(name).c_str()))
        return;
    const std::uint8_t* p = m_data + start + 2;
    m_pos = start + 2 + std::size_t(params);
    if (extra) {
        DecodedCommand d;
        d.meaning = "command";
        TraceJob(start, name, d, Tracing() && params ? ": " + Hex(p, std::size_t(params)) : std::string());
        return;
    }
    if (name == "MD")
        m_context.firstFamily = false;
    const DecodedCommand d = DecodeJobCommand(name, p, std::size_t(params), m_context);
    if (!d.error.empty())
        Error(start, d.error);
    TraceJob(start, name, d, d.params.empty() && Tracing() ? ": " + Hex(p, std::size_t(params)) : std::string());
}

void Parser::ParseEsc(std::size_t start)
{
    if (!Need(start, 2, "ESC command"))
        return;
    const std::uint8_t cmd = m_data[start + 1];
    switch (cmd) {
    case '@': {
        m_pos = start + 2;
        LayerStart(start, "ESC @");
        m_escColour = 0;
        m_escDensity = -1;
        m_escFormat = RasterFormat::Set0;
        DecodedCommand d;
        d.meaning = "reset";
        TraceJob(start, "ESC @", d);
        return;
    }
    case '(':
        ParseEscParen(start);
        return;
    case 'r': {
        if (!Need(start, 3, "ESC r"))
            return;
        m_escColour = m_data[start + 2];
        m_escDensity = -1;
        m_escFormat = RasterFormat::Set0;
        m_pos = start + 3;
        Trace(start, "ESC r", Fmt("colour %d", m_escColour));
        return;
    }
    case '.': {
        if (!Need(start, 8, "ESC . raster header"))
            return;
        const std::uint8_t* p = m_data + start + 2;
        Record rec;
        rec.start = start;
        rec.name = "ESC .";
        rec.format = m_escFormat;
        rec.colour = m_escColour;
        rec.density = m_escDensity;
        rec.compression = p[0];
        rec.lines = p[3];
        const unsigned dots = Le16(p + 4);
        rec.count = (dots + 7) / 8;
        m_pos = start + 8;
        std::string fields;
        if (Tracing())
            fields = Fmt("comp=%d A=%d B=%d lines=%zu dots=%u (%zu bytes)", p[0], p[1], p[2], rec.lines, dots,
                         rec.count);
        ParseRecordData(rec, "ESC .", std::move(fields));
        return;
    }
    case 'i': {
        if (!Need(start, 9, "ESC i raster header"))
            return;
        const std::uint8_t* p = m_data + start + 2;
        Record rec;
        rec.start = start;
        rec.name = "ESC i";
        rec.format = RasterFormat::Set2;
        rec.colour = p[0];
        rec.compression = p[1];
        rec.bitsPerPixel = p[2];
        rec.count = Le16(p + 3);
        rec.lines = Le16(p + 5);
        m_pos = start + 9;
        std::string fields;
        if (Tracing())
            fields = Fmt("colour=%d comp=%d bpp=%d bytes=%zu lines=%zu", p[0], p[1], p[2], rec.count, rec.lines);
        ParseRecordData(rec, "ESC i", std::move(fields));
        return;
    }
    default:
        Fatal(start, "unknown command ESC " + ByteName(cmd));
        return;
    }
}

void Parser::ParseEscParen(std::size_t start)
{
    if (!Need(start, 5, "ESC ( command"))
        return;
    const std::uint8_t letter = m_data[start + 2];
    const std::size_t n = Le16(m_data + start + 3);
    const std::string name = "ESC (" + ByteName(letter);
    if (!Need(start, 5 + n, name.c_str()))
        return;
    const std::uint8_t* p = m_data + start + 5;
    m_pos = start + 5 + n;
    switch (letter) {
    case 'r':
        if (n != 2) {
            Error(start, Fmt("ESC (r with %zu parameter bytes, 2 expected", n));
            Trace(start, name, "");
            return;
        }
        m_escDensity = p[0];
        m_escColour = p[1];
        m_escFormat = RasterFormat::Set1;
        Trace(start, name, Fmt("density %d colour %d", p[0], p[1]));
        return;
    case 'v':
        if (n != 2) {
            Error(start, Fmt("ESC (v with %zu parameter bytes, 2 expected", n));
            Trace(start, name, "");
            return;
        }
        if (MoveDown(start, Le16(p), "feed"))
            Trace(start, name, Tracing() ? Fmt("feed %u rows, next row %lld", Le16(p), static_cast<long long>(m_y)) : "");
        return;
    case 'U': {
        // The first command family sets its unit before its print mode.
        m_context.firstFamily = true;
        DecodedCommand d;
        d.meaning = "unit";
        if (n == 1 && p[0] != 0) {
            d.params.push_back(Param{"unit", p[0], false, false});
            TraceJob(start, name, d, Tracing() ? Fmt(" (1/3600 inch: %d dpi)", 3600 / p[0]) : std::string());
        } else {
            Error(start, n == 1 ? std::string("ESC (U with unit 0") : Fmt("ESC (U with %zu parameter bytes, 1 expected", n));
            TraceJob(start, name, d, Tracing() ? ": " + Hex(p, n) : std::string());
        }
        return;
    }
    default: {
        Error(start, "unknown command " + name + Fmt(" with %zu parameter bytes; skipped", n));
        DecodedCommand d;
        d.meaning = "unknown";
        TraceJob(start, name, d, Tracing() ? ": " + Hex(p, n) : std::string());
        return;
    }
    }
}

void Parser::ParseMrl(std::size_t start)
{
    if (!Need(start, 3, "MRL III block"))
        return;
    const std::size_t len = m_data[start + 2];
    const std::string name(reinterpret_cast<const char*>(m_data + start), 2);
    if (!Need(start, 3 + len, (name + " block").c_str()))
        return;
    const std::uint8_t* p = m_data + start + 3;
    m_pos = start + 3 + len;

    if (name == "QD") {
        ParseQd(start, p, len);
        return;
    }
    if (name == "Q@") {
        LayerStart(start, "Q@");
        m_context.layerSection = false;
        const DecodedCommand d = DecodeJobCommand(name, p, len);
        if (!d.error.empty())
            Error(start, d.error);
        TraceJob(start, name, d, Tracing() ? Fmt(" (layer %d)", m_layer) + (d.params.empty() && len ? ": " + Hex(p, len) : "") : "");
        return;
    }
    if (name == "QE") {
        Touch(start);
        LayerEnd(m_pos, "QE");
        m_context.layerSection = false;
        if (len != 0)
            Error(start, Fmt("QE with %zu parameter bytes, 0 expected", len));
        DecodedCommand d;
        d.meaning = "job or layer end";
        TraceJob(start, name, d, Tracing() ? Fmt(" (layer %d)", m_layer) : std::string());
        return;
    }
    if (name == "QR") {
        if (len == 1 && p[0] == 0) {
            Trace(start, name, "row start");
        } else if (len == 1 && p[0] == 1) {
            if (MoveDown(start, 1, "band end"))
                Trace(start, name, Tracing() ? Fmt("band end, next row %lld", static_cast<long long>(m_y)) : "");
        } else {
            Error(start, len == 1 ? Fmt("QR with parameter %d, 0 or 1 expected", p[0])
                                  : Fmt("QR with %zu parameter bytes, 1 expected", len));
            Trace(start, name, Hex(p, len));
        }
        return;
    }
    if (name == "QX") {
        if (len == 5 && p[0] == 1) {
            const std::uint32_t rows = Le32(p + 1);
            if (MoveDown(start, rows, "feed"))
                Trace(start, name, Tracing() ? Fmt("feed %u rows, next row %lld", rows, static_cast<long long>(m_y)) : "");
        } else {
            Error(start, len == 5 ? Fmt("QX feed mode %d not understood, 1 expected", p[0])
                                  : Fmt("QX with %zu parameter bytes, 5 expected", len));
            Trace(start, name, Hex(p, len));
        }
        return;
    }
    if (name == "QY") {
        Trace(start, name, Tracing() ? "row header " + Hex(p, len) : "");
        return;
    }
    // The layered models put these before a layer's "Q@": after raster they
    // end the layer, so that they open the next one.
    if ((name == "GR" || name == "QM") && m_layerHasContent && !m_layerClosed) {
        LayerEnd(start, name == "GR" ? "GR" : "QM");
        m_nextLayerStart = start;
    }
    // The print mode tells a layer section (short form) from a job start.
    if (name == "QP" && (len == 9 || len == 18))
        m_context.layerSection = len == 9;
    DecodedCommand d = DecodeJobCommand(name, p, len, m_context);
    std::string extra;
    if (!d.known) {
        d.meaning = "unknown";
        Error(start, Fmt("unknown MRL III block %s with %zu parameter bytes; skipped", name.c_str(), len));
    } else if (!d.error.empty()) {
        Error(start, d.error);
    }
    // The UJV100 sends its long back-to-origin block with one zero byte
    // more than its length byte says.
    if (name == "PH" && len == 22 && m_pos < m_size && m_data[m_pos] == 0) {
        ++m_pos;
        extra = " (and one zero byte past its length)";
    }
    if (Tracing() && d.params.empty() && len)
        extra = ": " + Hex(p, len) + extra;
    TraceJob(start, name, d, extra);
}

void Parser::ParseQd(std::size_t start, const std::uint8_t* p, std::size_t len)
{
    if (len != 7 && len != 9 && len != 10) {
        Fatal(start, Fmt("QD descriptor of length %zu not understood (7, 9 or 10 expected)", len));
        return;
    }
    Record rec;
    rec.start = start;
    rec.name = "QD";
    rec.format = len == 7 ? RasterFormat::Mrl3Qd7 : len == 9 ? RasterFormat::Mrl3Qd9 : RasterFormat::Mrl3Qd10;
    rec.colour = p[0];
    rec.compression = p[1];
    rec.bitsPerPixel = p[2];
    rec.count = Le16(p + 3);
    rec.lines = Le16(p + 5);
    if (len >= 9) {
        rec.hasStored = true;
        rec.stored = Le16(p + 7);
    }
    if (len == 10)
        rec.sublayer = p[9];
    std::string fields;
    if (Tracing()) {
        fields = Fmt("colour=%d comp=%d bpp=%d bytes=%zu lines=%zu", p[0], p[1], p[2], rec.count, rec.lines);
        if (rec.hasStored)
            fields += Fmt(" stored=%zu", rec.stored);
        if (len == 10)
            fields += Fmt(" sub=%d", p[9]);
    }
    ParseRecordData(rec, "QD", std::move(fields));
}

// Reads the raster bytes that follow a header at m_pos and places the rows.
void Parser::ParseRecordData(Record& rec, std::string_view name, std::string fields)
{
    const std::size_t dataStart = m_pos;
    const std::size_t avail = m_size - dataStart;
    const std::uint8_t* src = m_data + dataStart;
    // Stored-count records can be skipped even when their rows are bad.
    const std::size_t region = rec.hasStored ? rec.stored : avail;
    if (rec.hasStored && rec.stored > avail) {
        Fatal(rec.start, Fmt("truncated %s row: %zu stored bytes announced, %zu left", rec.name, rec.stored, avail));
        return;
    }
    if (rec.compression != 0 && rec.compression != 1) {
        if (!rec.hasStored) {
            Fatal(rec.start, Fmt("%s: compression mode %d not supported", rec.name, rec.compression));
            return;
        }
        Error(rec.start, Fmt("%s: compression mode %d not supported; row skipped", rec.name, rec.compression));
        m_pos = dataStart + rec.stored;
        Trace(rec.start, name, fields);
        return;
    }
    if (rec.bitsPerPixel != 1 && rec.bitsPerPixel != 2 && rec.bitsPerPixel != 4 && rec.bitsPerPixel != 8)
        Error(rec.start, Fmt("%s: %d bits per pixel", rec.name, rec.bitsPerPixel));

    const std::size_t total = rec.count * rec.lines;
    if (total > m_opt.maxRecordBytes) {
        if (!rec.hasStored) {
            Fatal(rec.start, Fmt("%s: row of %zu bytes is larger than the limit of %zu", rec.name, total,
                                 m_opt.maxRecordBytes));
            return;
        }
        Error(rec.start, Fmt("%s: row of %zu bytes is larger than the limit; skipped", rec.name, total));
        m_pos = dataStart + rec.stored;
        Trace(rec.start, name, fields);
        return;
    }
    m_scratch.assign(total, 0);
    std::size_t used = 0;
    if (rec.compression == 0) {
        if (rec.hasStored) {
            if (rec.stored != total)
                Error(rec.start, Fmt("%s: uncompressed row stores %zu bytes, its header says %zu", rec.name,
                                     rec.stored, total));
            if (const std::size_t n = std::min(total, rec.stored))
                std::memcpy(m_scratch.data(), src, n);
            used = rec.stored;
        } else {
            if (total > avail) {
                Fatal(rec.start, Fmt("truncated %s row: %zu bytes announced, %zu left", rec.name, total, avail));
                return;
            }
            if (total)
                std::memcpy(m_scratch.data(), src, total);
            used = total;
        }
    } else {
        const long consumed = packbits_decode(src, region, m_scratch.data(), total);
        if (consumed >= 0) {
            used = static_cast<std::size_t>(consumed);
            if (rec.hasStored && used != rec.stored) {
                Error(rec.start, Fmt("%s: row decodes to its %zu bytes after %zu of its %zu stored bytes", rec.name,
                                     total, used, rec.stored));
                used = rec.stored;
            }
        } else {
            const PackBitsWalk w = WalkPackBits(src, region, total);
            if (!rec.hasStored) {
                if (w.overshoot)
                    Fatal(dataStart + w.in,
                          Fmt("%s: PackBits code decodes to %zu bytes, more than the header's %zu", rec.name, w.out,
                              total));
                else
                    Fatal(rec.start, Fmt("truncated %s row: stream ends after %zu of its %zu bytes were decoded",
                                         rec.name, w.out, total));
                return;
            }
            // packbits_decode left what it could decode in the row.
            if (w.overshoot)
                Error(dataStart + w.in, Fmt("%s: PackBits code decodes to %zu bytes, more than the header's %zu",
                                            rec.name, w.out, total));
            else
                Error(rec.start, Fmt("%s: %zu stored bytes decode to %zu bytes, its header says %zu", rec.name,
                                     rec.stored, w.out, total));
            used = rec.stored;
        }
    }
    m_pos = dataStart + used;
    Touch(rec.start);
    if (Tracing())
        fields += Fmt(" data=%zu -> layer %d row %lld", used, m_layer, static_cast<long long>(m_y));
    Trace(rec.start, name, fields);

    m_layerHasContent = true;
    SawFormat(rec.format);
    Place(rec, m_scratch.data());

    // ESC/P rows end with CR; anything else means the data was not as long
    // as the header said.
    if (rec.format == RasterFormat::Set0 || rec.format == RasterFormat::Set1 || rec.format == RasterFormat::Set2) {
        if (m_pos >= m_size)
            Error(m_pos, Fmt("stream ends after the %s row at 0x%zx without its trailer CR", rec.name, rec.start));
        else if (m_data[m_pos] != 0x0D)
            Error(m_pos, Fmt("%s row at 0x%zx is not followed by its trailer CR (byte 0x%02x): its data and its "
                             "header disagree",
                             rec.name, rec.start, m_data[m_pos]));
    }
}

} // namespace

ParseResult ParseStream(const std::uint8_t* data, std::size_t size, const ParseOptions& options)
{
    return Parser(data, size, options).Run();
}

} // namespace streamparse
