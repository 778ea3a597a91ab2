// What each layer section of a parsed stream carries: the job commands that
// open it, whether it is an underprint (its rows come last page row first),
// and its planes by printer colour byte in the order they were first sent.
#pragma once

#include <string>
#include <vector>

#include "tools/streamdump/StreamParser.h"

namespace streamparse {

struct LayerSection {
    int index = 0;
    std::vector<std::string> start;  // job commands before the layer's first raster record
    bool underprint = false;         // its "QC" layer options mark it so
    std::vector<PlaneKey> planes;    // in the order of their first record
};

// Needs the result's job commands (ParseOptions::keepJobCommands).
std::vector<LayerSection> LayerSections(const ParseResult& r);

} // namespace streamparse
