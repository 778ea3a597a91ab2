// What the two stream drivers (UJF7151 plus II, JFX200EX) share: which
// channels a layer kind prints, the layers of the list that print, and the
// row streams they record a page into before playing it back layer by
// layer.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "devparms/MimakiLayerList.h"
#include "host/HostTypes.h"
#include "host/PrinterDriverBase.h"


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
std::vector<PrintedLayer> PrintedLayers(const std::vector<CMimakiLayerRecord>& list, const char* driver);

// Logs that the page prints nothing when no layer prints an ink of the
// job (no slot of "SlotsSetting" names a colour the job feeds).
void ReportNoLayer(bool bNone, const char* driver);

// Runs a step whose spool stores may fail: the failure becomes the
// driver's one-line error (source and line of the step) and answers 0.
template <class Step>
int Guarded(CPrinterDriverBase& driver, const char* source, int line, Step&& step)
{
    try {
        return step();
    } catch (const std::exception& e) {
        driver.SetDetailedDriverError(e.what(), source, line);
        return 0;
    }
}

// Little-endian 32-bit values in records.
void PutLE32(BYTE* p, std::uint32_t v);
std::uint32_t GetLE32(const BYTE* p);

} // namespace mimaki::streamlayers
