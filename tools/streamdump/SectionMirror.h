// Layers (from a layer start to its end) that a printer prints mirrored, as
// the JFX200 sends a split print area and the slot-file flatbeds their
// mirrored layers: their planes turned back, so that they compare with the
// raster as it was fed.
#pragma once

#include <set>

#include "tools/streamdump/StreamParser.h"

namespace streamparse {

// Mirrors back every row of the planes of the given layers over pixelWidth
// pixels (0: each plane's bytes per row filled with pixels); digests and
// ink rows made anew. The planes must carry their rows.
ParseResult UnmirrorLayers(const ParseResult& parsed, const std::set<int>& layers, int pixelWidth);

} // namespace streamparse
