#include "LayerTestSupport.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "tests/driver/DriverTestUtil.h"

namespace layertest {

Result RunJob(CPrinterDriverBase& driver, const Job& job, std::uint64_t failAfter, int abortBefore)
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
    const JobResult r = ::RunJob(driver, context, job.rows, failAfter, abortBefore);
    return Result{r.ok, r.bytes, r.callsAfterFailure};
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

std::vector<std::string> TableLines(const std::string& header)
{
    std::ifstream in(std::string(MIMAKI_SOURCE_DIR) + "/tests/layers/data/white_modes.md");
    if (!in)
        throw std::runtime_error("tests/layers/data/white_modes.md is missing");
    std::vector<std::string> lines;
    std::string line;
    bool inTable = false;
    while (std::getline(in, line)) {
        if (line.rfind(header, 0) == 0) {
            inTable = true;
            continue;
        }
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

} // namespace

std::map<int, std::vector<Step>> DocumentedModes(const std::string& column)
{
    const std::size_t col = column == "TS300P" ? 2 : 1;
    std::map<int, std::vector<Step>> modes;
    const std::regex step(R"(\((\d+)(m?), (\d+)\))");
    for (const std::string& line : TableLines("| mode |")) {
        const std::vector<std::string> cells = Cells(line);
        std::vector<Step> steps;
        for (std::sregex_iterator it(cells[col].begin(), cells[col].end(), step), end; it != end; ++it)
            steps.push_back(Step{std::stoi((*it)[1]), std::stoi((*it)[3]), (*it)[2] == "m"});
        if (!steps.empty())
            modes[std::stoi(cells[0])] = steps;
    }
    return modes;
}

bool DocumentedSelects(const std::string& column, int selector, int colour)
{
    const std::size_t col = column == "JV300" ? 1 : column == "JV400" ? 2 : 3;
    for (const std::string& line : TableLines("| selector |")) {
        const std::vector<std::string> cells = Cells(line);
        if (std::stoi(cells[0]) != selector)
            continue;
        const std::string& text = cells[col];
        if (text == "every channel")
            return true;
        std::vector<int> listed;
        const std::regex number(R"(\d+)");
        for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it)
            listed.push_back(std::stoi(it->str()));
        const bool named = std::find(listed.begin(), listed.end(), colour) != listed.end();
        if (text.rfind("channels other than", 0) == 0)
            return !named;
        if (text.rfind("channel", 0) == 0)
            return named;
        return false; // "—": the driver has no such selector
    }
    return false;
}

} // namespace layertest
