// What the two stream drivers (UJF7151 plus II, JFX200EX) share: which
// channels a layer kind prints, the layers of the list that print, and the
// row streams they record a page into before playing it back layer by
// layer.
#pragma once

#include <cstdint>
#include <vector>

#include "devparms/MimakiLayerList.h"
#include "host/HostTypes.h"

class CPrinterDriverBase;

namespace mimaki::streamlayers {

// Whether a layer of the kind prints the channels of a host colour: the
// kind's record is one the colour's rows are written into (the JFX200's
// channel distribution).
bool KindCarries(int kind, int hostColour);
// The double-white kinds, whose white goes out under both white codes.
bool IsDoubleWhite(int kind);

// The layers of the list that print: those of a multi-layer kind ("None"
// and ids that are no kind are left out and logged), with their index in
// the list.
struct PrintedLayer {
    int index;
    CMimakiLayerRecord record;
};
std::vector<PrintedLayer> PrintedLayers(const mimaki::layerlist::LayerList& list, const char* driver);

// Logs that the page prints nothing when no layer prints an ink of the
// job (no slot of "SlotsSetting" names a colour the job feeds).
void ReportNoLayer(bool bNone, const char* driver);

// Little-endian 32-bit values in records.
void PutLE32(BYTE* p, std::uint32_t v);
std::uint32_t GetLE32(const BYTE* p);

} // namespace mimaki::streamlayers
