#include "driver/MimakiCJV_JV330Driver.h"

#include "devparms/MimakiDevParmsCJV330.h"

CMimakiPrnDrvCJV330::CMimakiPrnDrvCJV330(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiPrnDrvCJVLayers(pPrintEnv, pDevParms, mimaki::cjv::kCJV330),
      m_pParms(dynamic_cast<DEVPARMJV330_CLASS*>(pDevParms))
{
}

const std::vector<CMimakiCJVLayer>* CMimakiPrnDrvCJV330::LayerList()
{
    return m_pParms ? &m_pParms->m_Layers : nullptr;
}

int CMimakiPrnDrvCJV330::ParmsBitsPerPixel()
{
    return m_pParms->GetBitsPerPixel();
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
