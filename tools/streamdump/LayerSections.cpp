#include "tools/streamdump/LayerSections.h"

#include <algorithm>

#include "tools/common/RasterDigest.h"

namespace streamparse {

// Reverses the pixel order of a row of width pixels; bits past the last
// pixel stay zero.
std::vector<std::uint8_t> Unmirror(const std::vector<std::uint8_t>& row, int width, int bits)
{
    const std::size_t bytes = static_cast<std::size_t>((static_cast<long long>(width) * bits + 7) / 8);
    std::vector<std::uint8_t> out(std::max(row.size(), bytes), 0);
    const int mask = (1 << bits) - 1;
    for (int i = 0; i < width; ++i) {
        const int from = i * bits, to = (width - 1 - i) * bits;
        if (static_cast<std::size_t>(from / 8) >= row.size() || static_cast<std::size_t>(to / 8) >= out.size())
            continue;
        const int v = (row[static_cast<std::size_t>(from / 8)] >> (8 - bits - from % 8)) & mask;
        out[static_cast<std::size_t>(to / 8)] |= static_cast<std::uint8_t>(v << (8 - bits - to % 8));
    }
    return out;
}

bool MirroredLayersOfWhiteMode(int mode, std::set<int>& layers)
{
    // The modes whose first layers print mirrored colour (and white).
    layers.clear();
    if (mode < 0 || mode > 12)
        return false;
    if (mode == 4 || mode == 6 || mode == 8 || mode == 11 || mode == 12)
        layers.insert(0);
    if (mode == 12)
        layers.insert(1);
    return true;
}

Plane RemapPlane(const Plane& p, std::int64_t rows, const std::function<std::int64_t(std::int64_t)>& index,
                 bool mirror, int width)
{
    const int bits = p.bitsPerPixel > 0 ? p.bitsPerPixel : 1;
    Plane q = p;
    q.rowData.clear();
    for (const Row& row : p.rowData) {
        const std::int64_t at = index(row.index);
        if (at >= 0 && at < rows)
            q.rowData.push_back(Row{at, mirror ? Unmirror(row.bytes, width, bits) : row.bytes});
    }
    std::sort(q.rowData.begin(), q.rowData.end(), [](const Row& a, const Row& b) { return a.index < b.index; });
    RasterDigest digest;
    for (const Row& r : q.rowData) {
        digest.AddBlankRows(static_cast<std::uint64_t>(r.index) - digest.Rows());
        digest.AddRow(r.bytes.data(), r.bytes.size());
    }
    q.rows = rows;
    digest.AddBlankRows(static_cast<std::uint64_t>(q.rows) - std::min<std::uint64_t>(digest.Rows(), q.rows));
    q.digest = digest.Hex();
    q.firstInkRow = digest.FirstInkRow();
    q.lastInkRow = digest.LastInkRow();
    return q;
}

ParseResult RebuildLayerSections(const ParseResult& parsed, const LayerSectionOptions& options)
{
    ParseResult out = parsed;
    out.planes.clear();
    std::map<int, std::int64_t> layerRows;
    for (const Plane& p : parsed.planes) {
        if (p.key.sublayer < 0) {
            out.planes.push_back(p);
            continue;
        }
        const int k = p.key.sublayer;
        const std::int64_t delay = static_cast<std::int64_t>(k) * options.offset;
        const bool mirror = options.mirrored.count(k) != 0;
        const int bits = p.bitsPerPixel > 0 ? p.bitsPerPixel : 1;
        const int width = options.pixelWidth > 0 ? options.pixelWidth : p.bytesPerRow * 8 / bits;
        Plane q = RemapPlane(p, std::max<std::int64_t>(0, p.rows - delay),
                             [delay](std::int64_t index) { return index - delay; }, mirror, width);
        q.key.layer = k;
        q.key.sublayer = -1;
        layerRows[k] = std::max(layerRows[k], q.rows);
        out.planes.push_back(std::move(q));
    }
    std::sort(out.planes.begin(), out.planes.end(),
              [](const Plane& a, const Plane& b) { return a.key < b.key; });
    if (!layerRows.empty()) {
        // Every layer's sections are spread over the whole stream.
        const std::size_t start = parsed.layers.empty() ? 0 : parsed.layers.front().startOffset;
        const std::size_t end = parsed.layers.empty() ? 0 : parsed.layers.back().endOffset;
        out.layers.clear();
        for (const auto& [k, rows] : layerRows) {
            Layer layer;
            layer.index = k;
            layer.rows = rows;
            layer.startOffset = start;
            layer.endOffset = end;
            layer.endedBy = "layer section";
            out.layers.push_back(layer);
        }
    }
    return out;
}

} // namespace streamparse
