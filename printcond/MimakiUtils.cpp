#include "printcond/MimakiUtils.h"

#include <algorithm>

#include "host/DiagFiles.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

void loadInkCodesMap(CPrintEnv* pEnv, MimakiColorMap& colorMap, std::vector<int>& colorIdList,
                     const std::wstring* colorSequence)
{
    static constexpr const char* kFunction = "loadInkCodesMap";
    static const CPrintEnv empty;
    const CPrintEnv& env = pEnv ? *pEnv : empty;
    CVoLog log;

    const std::wstring slotsDefault = env.GetString(PrEnv_SlotsSettingDefault);
    const std::vector<std::wstring> slots = Split(env.GetString(L"SlotsSetting", slotsDefault.c_str()), L'`', 1);
    if (slots.empty())
        log->ReportStatusPF("***%s#%d: SlotSetting is not defined", 4, __FILE__, __LINE__, kFunction, __LINE__);

    const std::vector<std::wstring> sequence =
        Split(colorSequence ? *colorSequence : env.GetString(L"MimakiColorSequence", L""), L',', 1);

    const std::size_t n = std::min(slots.size(), sequence.size());
    colorIdList.clear();
    colorMap.clear();
    for (std::size_t i = 0; i < n; ++i) {
        colorIdList.push_back(IntFromString(sequence[i]));
        log->ReportStatusPF("%s: MimakiColorIDList[%d]=%d", 8, __FILE__, __LINE__, kFunction, static_cast<int>(i),
                            colorIdList.back());
    }
    for (std::size_t i = 0; i < n; ++i) {
        const int color = IntFromString(slots[i]);
        colorMap[static_cast<enmDevicePrimColor>(color)] = colorIdList[i];
        log->ReportStatusPF("%s: slot %d: m_MimakiColorMap[%d (%s)]=%d", 8, __FILE__, __LINE__, kFunction,
                            static_cast<int>(i), color, WideToAnsi(GetDevPrimColName(color, 1)).c_str(),
                            colorIdList[i]);
    }
}

void TruncateUtf8(std::string& out, const std::wstring& text)
{
    constexpr std::size_t kMaxBytes = 255;
    out = WideToUtf8(text);
    if (out.size() <= kMaxBytes)
        return;
    std::size_t pos = 0;
    while (pos < out.size()) {
        const auto lead = static_cast<unsigned char>(out[pos]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (pos + length > kMaxBytes)
            break;
        pos += length;
    }
    out.resize(pos);
}
