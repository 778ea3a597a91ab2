// Streams that send every row as layer sections (the layer index is the last
// byte of a 10-byte "QD" descriptor): the planes of each layer rebuilt as
// the host fed them, by undoing the layer's row delay and its mirroring.
#pragma once

#include <functional>
#include <set>

#include "tools/streamdump/StreamParser.h"

namespace streamparse {

struct LayerSectionOptions {
    // Rows each layer index lags behind the one before it (layer k starts
    // k x offset rows down the page).
    int offset = 0;
    // Layer indices whose rows are mirrored.
    std::set<int> mirrored;
    // Pixels of a row, for un-mirroring; 0: the plane's bytes per row
    // filled with pixels.
    int pixelWidth = 0;
};

// The layer indices a white mode of the TS300P family mirrors, or false for a
// mode it does not know (0 to 12 are known).
bool MirroredLayersOfWhiteMode(int mode, std::set<int>& layers);

// Reverses the pixel order of a row of width pixels; bits past the last
// pixel stay zero. A row sent without its trailing blanks comes back at the
// full width.
std::vector<std::uint8_t> Unmirror(const std::vector<std::uint8_t>& row, int width, int bits);
// The plane with each row moved to index(row) (rows moved outside 0..rows-1
// are dropped) and un-mirrored when asked, rows rows deep; digest and ink
// rows made anew. The plane must carry its rows.
Plane RemapPlane(const Plane& p, std::int64_t rows, const std::function<std::int64_t(std::int64_t)>& index,
                 bool mirror, int width);

// The planes of a parse with their layer index as their layer: shifted up by
// the layer's delay (the blank rows sent before it starts are dropped) and
// un-mirrored where asked; digests, ink rows and layers made anew. Planes
// without a layer index and the rest of the result are kept as they are.
// The planes must carry their rows (ParseOptions::keepRows).
ParseResult RebuildLayerSections(const ParseResult& parsed, const LayerSectionOptions& options);

} // namespace streamparse
