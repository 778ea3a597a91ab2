// The UJV100 (UV roll printer): every raster row goes out as sections of
// the channels its printing way ("DP47_m_nPrintingWay") names (colour,
// white, varnish), all with layer index 0, at once and without delay, as the
// JV300 sends its layers; printer colour bytes from the colour map.
#pragma once

#include "layers/MimakiJVWhiteDriver.h"

class CMimakiPrinterDriverUJV100 : public CMimakiWhitePrinterDriverJVBase {
public:
    CMimakiPrinterDriverUJV100(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
        : CMimakiWhitePrinterDriverJVBase(pPrintEnv, pDevParms, mimaki::layers::Family::UJV100)
    {
    }

protected:
    // Channels are judged, and their colour bytes mapped, by user colour.
    int SelectionColour(int nChannel) override { return DevPrimColUserFromPrimCol(nChannel); }
    int HeaderColour(int nChannel) override { return DevPrimColUserFromPrimCol(nChannel); }
};
