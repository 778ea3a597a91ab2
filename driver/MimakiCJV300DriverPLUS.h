// The CJV300 PLUS driver (UIDs 43 and 44): layers of up to five sub-layers,
// reversed sub-layer types, sandwich layers that print the second image of
// a double-width row.
#pragma once

#include "driver/MimakiCJVLayerDriver.h"

class CMimakiPrnDrvCJV300PLUS : public CMimakiPrnDrvCJVOf<DEVPARMCJV300_PLUS_CLASS> {
public:
    CMimakiPrnDrvCJV300PLUS(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);

protected:
    std::string LayerStartString(int nLayer, const CMimakiCJVLayer& layer) override;
    std::string JobEndString(int nLastLayer) override;
};
