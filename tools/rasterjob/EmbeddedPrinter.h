// The printer rasterjob drives when it is given neither --settings nor
// --set: the most capable model that works today. It is an INI section like
// those of a settings file; change it here when a better model works.
//
// Job defaults follow from the host entries: PrEnv_InkLevels above 1 means
// variable dots (2 bits per pixel), PrEnv_DpiHorz / PrEnv_DpiVert give the
// resolution. PackBits is on unless --no-compress.
#pragma once

namespace rasterjob {

inline constexpr char kEmbeddedPrinterIni[] = R"ini(
; No model row: plain device parameters and the legacy driver, speaking the
; MRL III framing (command set 4).
[Mimaki MRL III, UID 0]
PrEnv_UID=0
nFunctModeId=4
PrEnv_InkLevels=3
PrEnv_DpiHorz=720
PrEnv_DpiVert=720
)ini";

} // namespace rasterjob
