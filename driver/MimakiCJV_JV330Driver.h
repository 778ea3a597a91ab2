// The JV330 and CJV330 driver (UIDs 51 and 52): layers of up to three
// sub-layers, as many as the printer has printing ways; mirrored layers
// take the host's mirrored rows.
#pragma once

#include "driver/MimakiCJVLayerDriver.h"

class CMimakiPrnDrvCJV330 : public CMimakiPrnDrvCJVOf<DEVPARMJV330_CLASS> {
public:
    CMimakiPrnDrvCJV330(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);

    int OutputMargBottom() override { return 1; }

protected:
    std::string LayerStartString(int nLayer, const CMimakiCJVLayer& layer) override;
    std::string JobEndString(int nLastLayer) override;
};
