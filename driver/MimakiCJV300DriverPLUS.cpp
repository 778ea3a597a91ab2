#include "driver/MimakiCJV300DriverPLUS.h"

CMimakiPrnDrvCJV300PLUS::CMimakiPrnDrvCJV300PLUS(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiPrnDrvCJVOf(pPrintEnv, pDevParms, mimaki::cjv::kCJV300Plus)
{
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
