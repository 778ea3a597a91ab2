// The UCJV300 (printer-cutter with UV inks): every raster row goes out as
// layer sections of colour, white, varnish and midlayer, later layers a
// fixed number of rows behind, some mirrored, as the TS300P family does,
// with its own layer modes, channel selectors and header (Q R before Q Y).
#pragma once

#include "layers/LayerSectionDriver.h"

class CMimakiDriverUCJV300 : public CMimakiLayerSectionDriver {
public:
    CMimakiDriverUCJV300(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
        : CMimakiLayerSectionDriver(pPrintEnv, pDevParms, mimaki::layers::Family::UCJV300,
                                    mimaki::layers::HeaderForm::QRQYQD)
    {
    }

    // The top margin is the printer's: nothing is sent for it.
    int OutputMargTop() override { return 1; }

protected:
    // Printer colour bytes by the channels' user colours.
    int HeaderColour(int nChannel) const override { return DevPrimColUserFromPrimCol(nChannel); }
};
