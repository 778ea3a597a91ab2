// The printer rasterjob drives when it is given neither --settings nor
// --set: a common model that prints today, a JV300 (UID 27, CMYK in four
// slots). It is an INI section like those of a settings file; its
// model-definition keys (ink slots and colour ids) come with every printer
// from the printer definitions (data/printer_definitions.ini, stand-ins).
//
// Job defaults follow from the host entries: PrEnv_InkLevels above 1 means
// variable dots (2 bits per pixel), PrEnv_DpiHorz / PrEnv_DpiVert give the
// resolution. PackBits is on unless --no-compress.
#pragma once

namespace rasterjob {

inline constexpr char kEmbeddedPrinterIni[] = R"ini(
[Mimaki JV300]
PrEnv_UID=27
PrEnv_InkLevels=3
PrEnv_DpiHorz=720
PrEnv_DpiVert=720
)ini";

} // namespace rasterjob
