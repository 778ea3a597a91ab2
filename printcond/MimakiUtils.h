// Ink slots and colour identifiers; UTF-8 texts for the printer.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/HostTypes.h"

class CPrintEnv;

// Host device primary colour -> Mimaki colour identifier of its slot.
using MimakiColorMap = std::map<enmDevicePrimColor, int>;

// Rebuilds colorIdList (the colour identifiers in slot order) and colorMap
// from "SlotsSetting" (host colours separated by '`', default
// PrEnv_SlotsSettingDefault) and the colour sequence: "MimakiColorSequence",
// or colorSequence when given (hybrid printers pass the sequence of their
// current ink set). Only as many slots as both lists have are mapped.
void loadInkCodesMap(CPrintEnv* pEnv, MimakiColorMap& colorMap, std::vector<int>& colorIdList,
                     const std::wstring* colorSequence = nullptr);

// text in UTF-8, cut to at most 255 bytes without splitting a character.
void TruncateUtf8(std::string& out, const std::wstring& text);
