// The white a DTF printer lays under the colour, made by the filter when the
// raster has only the colour planes: a full white dot wherever any colour
// plane has a dot, or no white at all.
#pragma once

#include <memory>
#include <vector>

#include "tools/rasterjob/RowSource.h"

class CPrintEnv;

namespace rastertomimaki {

// The host's colour code of white ink, which the white channels carry.
inline constexpr int kHostWhite = 34;

// The white channels the printer's colour sequence ("MimakiColorSequence")
// holds after the raster's planes: 0 unless every entry after them is the
// white id 254.
int WhiteChannelsAfter(const CPrintEnv& env, std::size_t planes);

// Puts `count` white sources after the colour sources (which it wraps to
// see their rows). under: white under every dot; else empty white rows.
// rowBytes: a packed row at bits (1 or 2) per pixel.
void AddWhiteSources(std::vector<std::unique_ptr<rasterjob::IRowSource>>& sources, int count, bool under, int bits,
                     std::size_t rowBytes);

} // namespace rastertomimaki
