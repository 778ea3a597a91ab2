// Shared pieces of the layer-basis drivers (TS300P family, JV300, JV400):
// the white-mode tables, the channel selectors and the row header that
// carries a layer index.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "host/HostTypes.h"

namespace mimaki::layers {

// One layer section of a row: which channels, which layer index, mirrored.
struct LayerStep {
    int selector;
    int layer;
    bool mirror;
};

struct WhiteMode {
    int count;
    LayerStep steps[5];
};

enum class Family { JV300, JV400, TS300P };

// The layer sequence of a white mode; null for a mode the family lacks
// (such a row carries only its band trailer).
const WhiteMode* FindWhiteMode(Family family, int mode);
// Highest mode of the family's table.
int LastWhiteMode(Family family);

// Whether the selector takes a channel of this colour (user colour for the
// JV300 and TS300P, host colour code for the JV400).
bool Selects(Family family, int selector, int colour);

// "QY" 5 x 0, "QR" 1 0, "QD" 10 ... (long) or "QR" 1 0, "QD" 10 ... (short).
constexpr std::size_t kLongHeader = 25;
constexpr std::size_t kShortHeader = 17;
constexpr std::size_t kMaxHeader = kLongHeader;

// Writes the header of one channel row into dst and returns its length: the
// colour byte, packed flag, bits per pixel, raw and sent counts (16 bits,
// low byte first) and the layer index.
std::size_t WriteLayerHeader(BYTE* dst, bool shortHeader, int colour, int packed, int bitsPerPixel, int rawCount,
                             int sentCount, int layer);

// The long header with its "QR" block first: "QR" 1 0, "QY" 5 x 0, "QD" 10 ...
std::size_t WriteLayerHeaderQRFirst(BYTE* dst, int colour, int packed, int bitsPerPixel, int rawCount, int sentCount,
                                    int layer);

// The same header as the driver's RowHeader string (its storage reused).
void AssignLayerHeader(std::string& header, bool shortHeader, int colour, int packed, int bitsPerPixel, int rawCount,
                       int sentCount, int layer);

} // namespace mimaki::layers
