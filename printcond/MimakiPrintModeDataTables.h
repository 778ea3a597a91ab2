// Where a model's print-condition data come from (its own stored text, the
// "PrintModeData<n>" settings entries or the plug-in's embedded table), and
// the ink sets and colour sequence that go with them.
#pragma once

#include <string>
#include <vector>

#include "printcond/AnalyzeQI.h"

class CPrintEnv;

// One block of the embedded table: the concatenated chunks are the block's
// hex text. The table ends with an entry whose name is empty.
struct EmbeddedPrintModeEntry {
    const wchar_t* name;
    const char* const* chunks;
    int chunkCount;
};

// The plug-in's stand-in print-condition blocks, one per model and ink
// configuration (generated at build time; data read from a printer take
// precedence over them).
extern const EmbeddedPrintModeEntry EmbeddedPrintModeTable[];
// Number of entries before the terminating one.
extern const int EmbeddedPrintModeTableSize;

// The entry whose name equals name without regard to (ASCII) case, or null.
const EmbeddedPrintModeEntry* FindEmbeddedPrintModeEntry(const std::wstring& name);
// The entry's chunks, concatenated.
std::wstring EmbeddedPrintModeText(const EmbeddedPrintModeEntry& entry);

// Fills printModeData from the settings: the embedded entry named by
// "EmbeddedPrintModeData" when that is set, else the concatenated
// "PrintModeData0", "PrintModeData1", ... up to the first empty one.
// inksetValue receives the ink-set names of the ink-set model chosen by
// "MimakiInkAssignment" among "InksetModelsList"; it is left unchanged when
// none matches.
void loadRipsIniQIData(CPrintEnv* pEnv, std::wstring& printModeData, std::wstring& inksetValue);

// Called from every print-condition model's device-parameter Load.
//
//   pEnv           the printer's settings (read only).
//   printModeData  in: the model's stored print-condition text (its own key,
//                  e.g. "DP35_strPrintModeData"); out: the text to use. A
//                  stored text is kept when it analyses as valid (and was
//                  read from the printer, or predates build 6368); otherwise
//                  it is replaced by the settings or embedded text, which
//                  the caller's Save then stores.
//   inksetResult   out: comma-separated ink-set names; for a hybrid printer
//                  the current ink set; emptied for a non-hybrid model whose
//                  data came from its printer.
//   colorSequence  out, may be null: the comma-separated Mimaki colour ids
//                  per ink slot ("MimakiColorSequence", or for a hybrid
//                  printer "MimakiColorSequence<current ink set>").
//   bIsHybrid      the model's "bIsHybrid" value.
//   inksetList     out, may be null: the hybrid printer's ink sets that have
//                  a colour sequence.
//   currentInkset  in/out, may be null: the hybrid printer's current ink set
//                  ("MimakiCurrentInkset", corrected to one with a colour
//                  sequence).
//   conditions     out, may be null: the analysed conditions of a valid
//                  stored text.
// Hybrid handling needs both inksetList and currentInkset. Nothing throws;
// problems are logged. At logging level 8 or more the chosen text is also
// dumped through WriteQIDataToFile.
void CheckAndLoadPrintModeData(CPrintEnv* pEnv, std::wstring& printModeData, std::wstring& inksetResult,
                               std::wstring* colorSequence, int bIsHybrid, std::vector<std::wstring>* inksetList,
                               std::wstring* currentInkset, MimakiPrintConditions* conditions);
