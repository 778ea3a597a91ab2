// Shared pieces of the layer-basis drivers (TS300P family, JV300, JV400)
// and the layer-section drivers (UJV100, UCJV300): the white-mode (layer
// mode) tables, the channel selectors and the row header that carries a
// layer index.
#pragma once

#include <cstddef>
#include <cstdint>
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

enum class Family { JV300, JV400, TS300P, UJV100, UCJV300 };

// The layer sequence of a white mode; null for a mode the family lacks
// (such a row carries only its band trailer).
const WhiteMode* FindWhiteMode(Family family, int mode);
// Highest mode of the family's table.
int LastWhiteMode(Family family);
// Layers a mode prints: one more than its highest layer index (its delay
// lines follow that index, not the number of sections).
int LayerCount(const WhiteMode& mode);

// Whether the selector takes a channel of this colour (host colour code for
// the JV400, user colour for the others).
bool Selects(Family family, int selector, int colour);

// The blocks of a channel row's header: "QY" 5 x 0, "QR" 1 0 and "QD" 10 ...
// in one of three arrangements.
enum class HeaderForm : std::uint8_t {
    QYQRQD, // TS300P, JV300, JV400, UJV100
    QRQYQD, // UCJV300, CJV330
    QRQD,   // the short form of high-speed transfer
};
constexpr std::size_t kLongHeader = 25;
constexpr std::size_t kShortHeader = 17;
constexpr std::size_t kMaxHeader = kLongHeader;
constexpr std::size_t HeaderLength(HeaderForm form)
{
    return form == HeaderForm::QRQD ? kShortHeader : kLongHeader;
}

// Writes the header of one channel row into dst and returns its length: the
// colour byte, packed flag, bits per pixel, raw and sent counts (16 bits,
// low byte first) and the layer index.
std::size_t WriteLayerHeader(BYTE* dst, HeaderForm form, int colour, int packed, int bitsPerPixel, int rawCount,
                             int sentCount, int layer);

// The same header as the driver's RowHeader string (its storage reused).
void AssignLayerHeader(std::string& header, HeaderForm form, int colour, int packed, int bitsPerPixel, int rawCount,
                       int sentCount, int layer);

} // namespace mimaki::layers
