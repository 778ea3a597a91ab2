#include "layers/MimakiJFX200WhiteDriver.h"

#include <algorithm>

#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

CMimakiWhitePrinterDriverJFX200::CMimakiWhitePrinterDriverJFX200(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiWhitePrinterDriverJFX500Base(pPrintEnv, pDevParms, mimaki::jfx::Model::JFX200)
{
}

void CMimakiWhitePrinterDriverJFX200::InitColourCodes(CPrintEnv* pEnv)
{
    static const std::pair<int, const wchar_t*> kKeys[] = {
        {34, L"JFX500_White_code1"},  {33, L"JFX500_White_code2"},  {30, L"JFX500_Finish_code1"},
        {29, L"JFX500_Finish_code2"}, {25, L"JFX500_Primer_code1"}, {26, L"JFX500_Primer_code2"},
    };
    for (const auto& [id, key] : kKeys)
        SetColourCode(id, pEnv ? pEnv->GetInt(key, 99) : 99);
    // Light cyan and light magenta only where the output sequence has them.
    SetColourCode(8, 99);
    SetColourCode(9, 99);
    if (!pEnv)
        return;
    for (const std::wstring& entry : Split(pEnv->GetString(L"OutputSequenceDefault", L""), L',', 1)) {
        const int id = IntFromString(entry);
        if (id == 8)
            SetColourCode(8, 18);
        else if (id == 9)
            SetColourCode(9, 17);
    }
}

int CMimakiWhitePrinterDriverJFX200::OutputInit(int n1, int n2)
{
    m_nWhiteCode1 = m_pPrintEnv ? m_pPrintEnv->GetInt(L"JFX500_White_code1", 255) : 255;
    m_nWhiteCode2 = m_pPrintEnv ? m_pPrintEnv->GetInt(L"JFX500_White_code2", 255) : 255;
    const int result = CMimakiWhitePrinterDriverJFX500Base::OutputInit(n1, n2);
    // The printer codes the ink slots use (the channels' colours without a
    // slot list); second white does not count.
    std::vector<int> colours;
    for (int s = 0; s < GetSlotCount(); ++s)
        colours.push_back(iPrimColFromSlot(s));
    if (colours.empty()) {
        CVoLog()->ReportStatusPF("***%s#%d: SlotSetting is not defined\n", 4, __FILE__, __LINE__,
                                 "DEVPARMJFX200_CLASS::InitColorMap", __LINE__);
        for (int ch = 0; ch < GetCountPrimCols(); ++ch)
            colours.push_back(GetChannelColour(ch));
    }
    m_usedCodes.clear();
    for (const int id : colours) {
        const bool counted = (id >= 0 && id <= 16) || id == 23 || id == 25 || id == 26 || id == 29 || id == 30 ||
                             id == 34;
        if (counted && ColourCode(id) != 99)
            m_usedCodes.push_back(ColourCode(id));
    }
    std::sort(m_usedCodes.begin(), m_usedCodes.end());
    m_usedCodes.erase(std::unique(m_usedCodes.begin(), m_usedCodes.end()), m_usedCodes.end());
    return result;
}

void CMimakiWhitePrinterDriverJFX200::RecordCodes(int nRecord, int nId, int& nCode1, int& nCode2)
{
    if ((nId == 33 || nId == 34) && nRecord >= 26 && nRecord <= 31) {
        nCode1 = m_nWhiteCode1;
        nCode2 = m_nWhiteCode2;
        return;
    }
    CMimakiWhitePrinterDriverJFX500Base::RecordCodes(nRecord, nId, nCode1, nCode2);
}
