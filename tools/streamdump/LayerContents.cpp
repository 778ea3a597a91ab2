#include "tools/streamdump/LayerContents.h"

#include <algorithm>
#include <climits>

namespace streamparse {

std::vector<LayerSection> LayerSections(const ParseResult& r)
{
    std::vector<LayerSection> out;
    for (const Layer& layer : r.layers) {
        LayerSection s;
        s.index = layer.index;
        std::vector<const Plane*> planes;
        std::size_t firstRecord = SIZE_MAX;
        for (const Plane& p : r.planes)
            if (p.key.layer == layer.index) {
                planes.push_back(&p);
                firstRecord = std::min(firstRecord, p.firstOffset);
            }
        std::sort(planes.begin(), planes.end(),
                  [](const Plane* a, const Plane* b) { return a->firstOffset < b->firstOffset; });
        for (const Plane* p : planes)
            s.planes.push_back(p->key);
        const std::size_t end = std::min(firstRecord, layer.endOffset ? layer.endOffset : SIZE_MAX);
        for (const Command& c : r.jobCommands) {
            if (c.offset < layer.startOffset || c.offset >= end)
                continue;
            s.start.push_back(c.name);
            if (c.name == "QC")
                for (const Param& p : c.params)
                    if (p.name == "underprint" && p.value == 1)
                        s.underprint = true;
        }
        out.push_back(std::move(s));
    }
    return out;
}

} // namespace streamparse
