#include "driver/MimakiCJV_JV330Driver.h"

CMimakiPrnDrvCJV330::CMimakiPrnDrvCJV330(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiPrnDrvCJVOf(pPrintEnv, pDevParms, mimaki::cjv::kCJV330)
{
}

std::string CMimakiPrnDrvCJV330::LayerStartString(int nLayer, const CMimakiCJVLayer& layer)
{
    return m_pParms->GetLayerStartString(this, nLayer, layer.bMirror, 0, nLayer);
}

// The job ends with its last layer.
std::string CMimakiPrnDrvCJV330::JobEndString(int nLastLayer)
{
    return m_pParms->GetLayerEndString(this, nLastLayer, 1);
}
