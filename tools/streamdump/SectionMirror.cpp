#include "tools/streamdump/SectionMirror.h"

#include "tools/common/RasterDigest.h"
#include "tools/streamdump/LayerSections.h"

namespace streamparse {

ParseResult UnmirrorLayers(const ParseResult& parsed, const std::set<int>& layers, int pixelWidth)
{
    ParseResult out = parsed;
    for (Plane& p : out.planes) {
        if (!layers.count(p.key.layer))
            continue;
        const int bits = p.bitsPerPixel > 0 ? p.bitsPerPixel : 1;
        const int width = pixelWidth > 0 ? pixelWidth : p.bytesPerRow * 8 / bits;
        RasterDigest digest;
        for (Row& row : p.rowData) {
            // A row shorter than the page's (trailing blanks cut) is
            // completed before it is turned.
            std::vector<std::uint8_t> full = row.bytes;
            const std::size_t bytes = static_cast<std::size_t>((width * bits + 7) / 8);
            if (full.size() < bytes)
                full.resize(bytes, 0);
            row.bytes = Unmirror(full, width, bits);
            digest.AddBlankRows(static_cast<std::uint64_t>(row.index) - digest.Rows());
            digest.AddRow(row.bytes.data(), row.bytes.size());
        }
        digest.AddBlankRows(static_cast<std::uint64_t>(p.rows) - std::min<std::uint64_t>(digest.Rows(), p.rows));
        p.digest = digest.Hex();
        p.firstInkRow = digest.FirstInkRow();
        p.lastInkRow = digest.LastInkRow();
    }
    return out;
}

} // namespace streamparse
