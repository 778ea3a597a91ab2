// The JV330 and CJV330 driver (UIDs 51 and 52): layers of up to three
// sub-layers, as many as the printer has printing ways; mirrored layers
// take the host's mirrored rows.
#pragma once

#include "driver/MimakiCJVLayerDriver.h"

class DEVPARMJV330_CLASS;

class CMimakiPrnDrvCJV330 : public CMimakiPrnDrvCJVLayers {
public:
    CMimakiPrnDrvCJV330(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);

    int OutputMargBottom() override { return 1; }

protected:
    const std::vector<CMimakiCJVLayer>* LayerList() override;
    int ParmsBitsPerPixel() override;
    std::string LayerStartString(int nLayer, const CMimakiCJVLayer& layer) override;
    std::string JobEndString(int nLastLayer) override;

private:
    DEVPARMJV330_CLASS* m_pParms;
};
