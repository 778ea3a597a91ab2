// Streams of the drivers that record a page and play it back layer by layer
// (UJF7151 plus II, JFX200EX): each layer section back in page order, its
// rows turned back where the layer was sent last row first and un-mirrored
// where asked, so that every layer compares with the page the host fed.
#pragma once

#include <set>

#include "tools/streamdump/StreamParser.h"

namespace streamparse {

struct PageOrderOptions {
    // Layers whose "QC" marks them as underprints were sent last row first
    // (the JFX200EX's backward layers; the UJF7151 plus II sends every layer
    // in page order).
    bool reverseUnderprints = true;
    std::set<int> mirrored;  // layer sections printed mirrored
    int pixelWidth = 0;      // pixels of a row; 0: the plane's bytes filled
};

// Needs the planes' rows and the job commands (ParseOptions::keepRows and
// keepJobCommands). Layer rows are the rows each section moved down.
ParseResult RebuildPageOrder(const ParseResult& parsed, const PageOrderOptions& options);

} // namespace streamparse
