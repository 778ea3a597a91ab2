// The settings a job report names when a channel does not reach the
// printer, taken from the class's key table.
#include <string_view>

#include "devparms/MimakiDevParms.h"
#include "devparms/ParmKeys.h"

namespace {

// Member names of the keys that decide which layers a channel goes into:
// white modes and orders, the five layer positions, the white switch, the
// UJF layer variant and the UJV100's printing way.
bool DecidesLayers(std::wstring_view member)
{
    auto endsWith = [&](std::wstring_view tail) {
        return member.size() >= tail.size() && member.substr(member.size() - tail.size()) == tail;
    };
    if (member == L"bWhite" || member == L"UseWhite" || member == L"JV300UseWhite" || member == L"UJFPrinterTyp" ||
        member == L"m_nPrintingWay")
        return true;
    if (endsWith(L"WhiteMode") || endsWith(L"WhiteModeV2") || endsWith(L"WhiteOrder") || endsWith(L"WhiteOrderV2"))
        return true;
    return member.size() == 11 && member.substr(0, 6) == L"nLayer" && member.substr(7) == L"Mode";
}

} // namespace

std::wstring CMimakiDevParmsBase::RoutingSettings(int nWhich)
{
    const mimaki::parms::KeyTable* table = Table();
    if (!table || (nWhich == kRoutingColours && !table->GetProfile().colourMap))
        return {};
    std::wstring items;
    const auto keys = table->Keys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (mimaki::parms::IsOldKey(keys[i].kind))
            continue;
        const std::wstring_view member = keys[i].name;
        const bool wanted = nWhich == kRoutingColours ? member == L"SlotsSetting" || member == L"MimakiColorSequence"
                                                      : DecidesLayers(member);
        if (wanted)
            items += (items.empty() ? L"" : L", ") + table->StoredName(i) + L"=" + table->FieldText(*this, i);
    }
    return items;
}
