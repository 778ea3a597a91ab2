// The TS300P family's layer-basis drivers: every raster row goes out at once
// as a sequence of layer sections (colour, white, mirrored colour, midlayer),
// each later layer a fixed number of rows behind the one before it, with an
// optional pause for head cleaning.
#pragma once

#include "layers/LayerSectionDriver.h"

class CMimakiWhitePrinterDriverTS300P : public CMimakiLayerSectionDriver {
public:
    CMimakiWhitePrinterDriverTS300P(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
};

// Walks the printer's ink slots (those in use) instead of the host's
// channels and takes each slot's printer colour from the parameters.
class CMimakiWhitePrinterDriverTS300PSlotBased : public CMimakiWhitePrinterDriverTS300P {
public:
    using CMimakiWhitePrinterDriverTS300P::CMimakiWhitePrinterDriverTS300P;

    virtual void SetSlotRowHeaderEx(int nSlot, int nRawCount, int nSentCount, int bPacked, int nLayer);
    virtual void SetSlotRowHeader(int nSlot, int nByteCount);

protected:
    void CollectSources(std::vector<Source>& sources) override;
    int SlotColourCode(int nSlot);
};
