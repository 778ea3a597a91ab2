#include "tools/streamdump/StreamLayerPages.h"

#include "tools/streamdump/LayerContents.h"
#include "tools/streamdump/LayerSections.h"

namespace streamparse {

ParseResult RebuildPageOrder(const ParseResult& parsed, const PageOrderOptions& options)
{
    ParseResult out = parsed;
    const std::vector<LayerSection> sections = LayerSections(parsed);
    for (Plane& p : out.planes) {
        const auto layer = static_cast<std::size_t>(p.key.layer);
        if (layer >= parsed.layers.size())
            continue;
        const std::int64_t rows = parsed.layers[layer].rows;
        const bool reverse = options.reverseUnderprints && sections[layer].underprint;
        const int bits = p.bitsPerPixel > 0 ? p.bitsPerPixel : 1;
        const int width = options.pixelWidth > 0 ? options.pixelWidth : p.bytesPerRow * 8 / bits;
        p = RemapPlane(p, rows, [reverse, rows](std::int64_t i) { return reverse ? rows - 1 - i : i; },
                       options.mirrored.count(p.key.layer) != 0, width);
    }
    return out;
}

} // namespace streamparse
