#include "layers/MimakiTS300PDriver.h"

#include "devparms/MimakiDevParms.h"

CMimakiWhitePrinterDriverTS300P::CMimakiWhitePrinterDriverTS300P(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiLayerSectionDriver(pPrintEnv, pDevParms, mimaki::layers::Family::TS300P,
                                mimaki::layers::HeaderForm::QYQRQD)
{
}

int CMimakiWhitePrinterDriverTS300PSlotBased::SlotColourCode(int nSlot)
{
    CMimakiDevParmsBase* parms = MimakiParms();
    if (!parms)
        return 99;
    const int id = parms->GetColorIdAt(nSlot);
    return id >= 0 && id != 99 ? id : parms->GetColorMapValue(iPrimColFromSlot(nSlot));
}

void CMimakiWhitePrinterDriverTS300PSlotBased::SetSlotRowHeaderEx(int nSlot, int nRawCount, int nSentCount,
                                                                  int bPacked, int nLayer)
{
    mimaki::layers::AssignLayerHeader(RowHeader, Form(), SlotColourCode(nSlot), bPacked, m_nBitsPerPixel,
                                      nRawCount, nSentCount, nLayer);
}

void CMimakiWhitePrinterDriverTS300PSlotBased::SetSlotRowHeader(int nSlot, int nByteCount)
{
    SetSlotRowHeaderEx(nSlot, nByteCount, nByteCount, m_nCompressMode == 1 ? 1 : 0, 0);
}

void CMimakiWhitePrinterDriverTS300PSlotBased::CollectSources(std::vector<Source>& sources)
{
    for (int slot = 0; slot < GetSlotCount(); ++slot) {
        if (!SlotIsInUse(slot))
            continue;
        const int channel = ChannelFromSlot(slot);
        sources.push_back(Source{channel, DevPrimColUserFromPrimCol(channel), SlotColourCode(slot)});
    }
}
