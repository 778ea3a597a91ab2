#include "LayerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "tests/driver/DriverTestUtil.h"
#include "tools/common/RasterDigest.h"
#include "tools/streamdump/LayerSections.h"

namespace layertest {

CPrintJobOpenContext ContextOf(const Job& job)
{
    CPrintJobOpenContext context;
    context.colourCodes = job.colours;
    context.userColours = job.userColours;
    context.pixelWidth = job.width;
    context.bitsPerPixel = job.bits;
    context.compressMode = job.compress;
    context.dpiFirst = job.dpi;
    context.dpiSecond = job.dpi;
    context.rowCount = static_cast<int>(job.rows.size());
    context.interleave = job.interleave;
    return context;
}

Result RunJob(CPrinterDriverBase& driver, const Job& job, std::uint64_t failAfter, int abortBefore)
{
    CPrintJobOpenContext context = ContextOf(job);
    return ::RunJob(driver, context, job.rows, failAfter, abortBefore);
}

Rows RandomRows(std::size_t channels, int rows, int width, int bits, unsigned seed)
{
    const std::size_t n = static_cast<std::size_t>((width * bits + 7) / 8);
    const int pad = static_cast<int>(n * 8) - width * bits;
    Rows out(static_cast<std::size_t>(rows), std::vector<RowBytes>(channels, RowBytes(n, 0)));
    for (int r = 0; r < rows; ++r) {
        if (r % 5 == 3)
            continue;
        for (RowBytes& row : out[static_cast<std::size_t>(r)]) {
            for (BYTE& b : row)
                b = static_cast<BYTE>((seed = seed * 1664525u + 1013904223u) >> 24);
            row.back() = static_cast<BYTE>(row.back() & (0xFF << pad));
        }
    }
    return out;
}

RowBytes MirrorPixels(const RowBytes& row, int width, int bits)
{
    RowBytes out(row.size(), 0);
    const int mask = (1 << bits) - 1;
    for (int i = 0; i < width; ++i) {
        const int from = i * bits, to = (width - 1 - i) * bits;
        const int v = (row[static_cast<std::size_t>(from / 8)] >> (8 - bits - from % 8)) & mask;
        out[static_cast<std::size_t>(to / 8)] |= static_cast<BYTE>(v << (8 - bits - to % 8));
    }
    return out;
}

namespace {

// The rows of the table whose header row begins with header; the header
// row first.
std::vector<std::string> TableLines(const std::string& header, const std::string& file)
{
    std::ifstream in(std::string(MIMAKI_SOURCE_DIR) + "/tests/layers/data/" + file);
    if (!in)
        throw std::runtime_error("tests/layers/data/" + file + " is missing");
    std::vector<std::string> lines;
    std::string line;
    bool inTable = false;
    while (std::getline(in, line)) {
        if (line.rfind(header, 0) == 0)
            inTable = true;
        if (inTable && line.empty())
            break;
        if (inTable && line.rfind("|---", 0) != 0)
            lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Cells(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    std::getline(ss, cell, '|');
    while (std::getline(ss, cell, '|')) {
        const auto b = cell.find_first_not_of(' '), e = cell.find_last_not_of(' ');
        cells.push_back(b == std::string::npos ? "" : cell.substr(b, e - b + 1));
    }
    return cells;
}

// The rows of a table by their numbers ("13, 14" names two; rows such as
// "any other" none) with the cell of the column.
std::vector<std::pair<int, std::string>> Column(const std::string& header, const std::string& column,
                                                const std::string& file)
{
    const std::vector<std::string> lines = TableLines(header, file);
    if (lines.empty())
        throw std::runtime_error("no table " + header + " in " + file);
    const std::vector<std::string> names = Cells(lines.front());
    const auto col = static_cast<std::size_t>(std::find(names.begin(), names.end(), column) - names.begin());
    if (col == names.size())
        throw std::runtime_error("no column " + column + " in " + file);
    std::vector<std::pair<int, std::string>> rows;
    const std::regex number(R"(\d+)");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> cells = Cells(lines[i]);
        for (std::sregex_iterator it(cells[0].begin(), cells[0].end(), number), end; it != end; ++it)
            rows.emplace_back(std::stoi(it->str()), cells[col]);
    }
    return rows;
}

} // namespace

std::map<int, std::vector<Step>> DocumentedModes(const std::string& column, const std::string& file)
{
    std::map<int, std::vector<Step>> modes;
    const std::regex step(R"(\((\d+)(m?), (\d+)\))");
    for (const auto& [mode, text] : Column("| mode |", column, file)) {
        std::vector<Step> steps;
        for (std::sregex_iterator it(text.begin(), text.end(), step), end; it != end; ++it)
            steps.push_back(Step{std::stoi((*it)[1]), std::stoi((*it)[3]), (*it)[2] == "m"});
        if (!steps.empty())
            modes[mode] = steps;
    }
    return modes;
}

bool DocumentedSelects(const std::string& column, int selector, int colour, const std::string& file)
{
    for (const auto& [number, text] : Column("| selector |", column, file)) {
        if (number != selector)
            continue;
        if (text == "every channel")
            return true;
        std::vector<int> listed;
        const std::regex digits(R"(\d+)");
        for (std::sregex_iterator it(text.begin(), text.end(), digits), end; it != end; ++it)
            listed.push_back(std::stoi(it->str()));
        const bool named = std::find(listed.begin(), listed.end(), colour) != listed.end();
        if (text.rfind("channels other than", 0) == 0)
            return !named;
        if (text.rfind("channel", 0) == 0)
            return named;
        return false; // "—" or "none": the driver has no such selector
    }
    return false;
}

void CheckModeRoundTrip(CPrinterDriverBase& driver, const Job& job, const std::string& modeColumn,
                        const std::string& selectorColumn, int mode, int offset, const std::vector<int>& codes,
                        bool trimmed)
{
    SCOPED_TRACE(selectorColumn + " mode " + std::to_string(mode) + " offset " + std::to_string(offset));
    const Result r = RunJob(driver, job);
    ASSERT_EQ(r.ok, 1);
    streamparse::ParseOptions options;
    options.expectJobEnd = true;
    const streamparse::ParseResult parsed = streamparse::ParseStream(r.bytes, options);
    ASSERT_TRUE(parsed.ok()) << parsed.errors.front().message;
    const std::vector<Step> steps = DocumentedModes(modeColumn).at(mode);
    const std::size_t width = static_cast<std::size_t>((job.width * job.bits + 7) / 8);
    std::set<streamparse::PlaneKey> expected, got;
    for (const Step& step : steps)
        for (std::size_t ch = 0; ch < job.colours.size(); ++ch) {
            const int colour = job.userColours.empty() ? job.colours[ch] : job.userColours[ch];
            if (!DocumentedSelects(selectorColumn, step.selector, colour))
                continue;
            const streamparse::PlaneKey key{0, codes[ch], -1, step.layer, 0};
            const streamparse::Plane* plane = parsed.FindPlane(key);
            const std::size_t delay = static_cast<std::size_t>(step.layer * offset);
            if (plane) {
                EXPECT_LE(plane->rows, static_cast<std::int64_t>(job.rows.size() + delay)) << "layer " << step.layer;
            }
            for (std::size_t row = 0; row < job.rows.size() + delay; ++row) {
                RowBytes want(width, 0);
                if (row >= delay) {
                    const std::vector<RowBytes>& fed = job.rows[row - delay];
                    want = step.mirror ? MirrorPixels(fed[ch], job.width, job.bits) : fed[ch];
                    const bool blankRow = std::all_of(fed.begin(), fed.end(), [](const RowBytes& b) {
                        return std::all_of(b.begin(), b.end(), [](BYTE v) { return v == 0; });
                    });
                    while (trimmed && !blankRow && !want.empty() && want.back() == 0)
                        want.pop_back();
                }
                const auto* bytes = plane ? plane->RowAt(static_cast<std::int64_t>(row)) : nullptr;
                const std::string where = "layer " + std::to_string(step.layer) + " channel " + std::to_string(ch) +
                                          " row " + std::to_string(row);
                if (want.empty()) {
                    EXPECT_EQ(bytes, nullptr) << where;
                    continue;
                }
                expected.insert(key);
                ASSERT_NE(bytes, nullptr) << where;
                EXPECT_EQ(*bytes, want) << where;
            }
        }
    for (const streamparse::Plane& p : parsed.planes)
        got.insert(p.key);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(parsed.layers.back().rows, static_cast<std::int64_t>(job.rows.size()) +
                                             (static_cast<std::int64_t>(steps.size()) - 1) * offset);
}

void CheckRebuiltLayers(const std::string& stream, const Job& job, const std::string& column, const std::string& file,
                        int mode, int offset, const std::vector<int>& codes)
{
    SCOPED_TRACE(column + " mode " + std::to_string(mode) + " offset " + std::to_string(offset));
    streamparse::ParseOptions options;
    options.expectJobEnd = true;
    const streamparse::ParseResult parsed = streamparse::ParseStream(stream, options);
    ASSERT_TRUE(parsed.ok()) << parsed.errors.front().message;
    const std::map<int, std::vector<Step>> modes = DocumentedModes(column, file);
    const auto it = modes.find(mode);
    const std::vector<Step> steps = it == modes.end() ? std::vector<Step>{} : it->second;
    streamparse::LayerSectionOptions sections;
    sections.offset = offset;
    sections.pixelWidth = job.width;
    std::set<streamparse::PlaneKey> expected, got;
    for (const Step& step : steps) {
        if (step.mirror)
            sections.mirrored.insert(step.layer);
        for (std::size_t ch = 0; ch < job.colours.size(); ++ch)
            if (DocumentedSelects(column, step.selector, job.colours[ch], file))
                expected.insert({step.layer, codes[ch]});
    }
    const streamparse::ParseResult rebuilt = streamparse::RebuildLayerSections(parsed, sections);
    ASSERT_TRUE(rebuilt.ok());
    if (!steps.empty()) {
        const auto deepest = std::max_element(steps.begin(), steps.end(),
                                              [](const Step& a, const Step& b) { return a.layer < b.layer; });
        EXPECT_EQ(rebuilt.layers.size(), static_cast<std::size_t>(deepest->layer + 1));
    }
    const std::size_t width = static_cast<std::size_t>((job.width * job.bits + 7) / 8);
    for (const streamparse::Plane& p : rebuilt.planes) {
        got.insert(p.key);
        const auto ch = static_cast<std::size_t>(std::find(codes.begin(), codes.end(), p.key.colour) - codes.begin());
        ASSERT_LT(ch, codes.size()) << "colour " << p.key.colour;
        EXPECT_EQ(p.rows, static_cast<std::int64_t>(job.rows.size())) << "layer " << p.key.layer << " channel " << ch;
        RasterDigest fed;
        for (std::size_t row = 0; row < job.rows.size(); ++row) {
            const auto* bytes = p.RowAt(static_cast<std::int64_t>(row));
            RowBytes padded = bytes ? *bytes : RowBytes{};
            padded.resize(width, 0);
            EXPECT_EQ(padded, job.rows[row][ch]) << "layer " << p.key.layer << " channel " << ch << " row " << row;
            fed.AddRow(job.rows[row][ch].data(), job.rows[row][ch].size());
        }
        EXPECT_EQ(p.digest, fed.Hex()) << "layer " << p.key.layer << " channel " << ch;
    }
    EXPECT_EQ(got, expected);
}

} // namespace layertest
