#include "driver/MimakiCJV300DriverPLUS.h"

#include "devparms/MimakiDevParmsCJV330.h"

CMimakiPrnDrvCJV300PLUS::CMimakiPrnDrvCJV300PLUS(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiPrnDrvCJVLayers(pPrintEnv, pDevParms, mimaki::cjv::kCJV300Plus),
      m_pParms(dynamic_cast<DEVPARMCJV300_PLUS_CLASS*>(pDevParms))
{
}

const std::vector<CMimakiCJVLayer>* CMimakiPrnDrvCJV300PLUS::LayerList()
{
    return m_pParms ? &m_pParms->m_Layers : nullptr;
}

int CMimakiPrnDrvCJV300PLUS::ParmsBitsPerPixel()
{
    return m_pParms->GetBitsPerPixel();
}

// The job starts as its first layer does.
std::string CMimakiPrnDrvCJV300PLUS::LayerStartString(int nLayer, const CMimakiCJVLayer& layer)
{
    if (nLayer == 0)
        return m_pParms->GetStartString(this);
    return m_pParms->GetLayerStartString(this, nLayer, layer.bMirror, 0, nLayer);
}

// "QE" 0, the last layer's end and, on UID 43, the medium out.
std::string CMimakiPrnDrvCJV300PLUS::JobEndString(int)
{
    return m_pParms->GetEndString(this);
}
