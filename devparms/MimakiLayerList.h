// The layer list of the flatbeds that print a page as a stack of layers
// (UJF7151 plus II, JFX200EX): one record per layer in print order, kept by
// the class and stored through its key table as "<prefix>_Layer<n>.<field>"
// after "<prefix>_nNumberOfLayers". What the drivers and the page read of
// it is here.
#pragma once

#include <vector>

class CUnivDevParmsBase;

struct CMimakiLayerRecord {
    int nType = 0;          // multi-layer kind, 255 none
    int bMirror = 0;        // printed mirrored over the job's width
    int nPass = 0;          // 0: the printer's own
    int nWaveForm = 0;      // 0: the printer's own
    int nDirection = 0;     // 0 unidirectional, 1 bidirectional
    int bSecondHalf = 0;    // sandwich double width: the row's second half
    int bFlipWhenBackward = 0; // the JFX200EX's two direction bits: read the
    int bFlipWhenForward = 0;  // streams the other way than the last layer did
};

namespace mimaki::layerlist {

// What prints: the list, or one Color layer when it is empty.
const std::vector<CMimakiLayerRecord>& Effective(const std::vector<CMimakiLayerRecord>& list);
// Whether a layer of the list prints the kind (never "None").
bool Schedules(const std::vector<CMimakiLayerRecord>& list, int kind);
// Whether a stored kind is a multi-layer kind or "None"; another prints nothing.
bool IsKindOrNone(int kind);
extern const char* const kNoKind; // the log's reason for another

// The layer list of a parameter object, or null when its class keeps none.
std::vector<CMimakiLayerRecord>* Of(CUnivDevParmsBase* parms);

} // namespace mimaki::layerlist
