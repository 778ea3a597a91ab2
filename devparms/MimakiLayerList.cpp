#include "devparms/MimakiLayerList.h"

#include "devparms/MimakiDevParmsUJF.h"
#include "layers/JfxLayerKinds.h"

namespace mimaki::layerlist {

const std::vector<CMimakiLayerRecord>& Effective(const std::vector<CMimakiLayerRecord>& list)
{
    static const std::vector<CMimakiLayerRecord> oneColourLayer(1);
    return list.empty() ? oneColourLayer : list;
}

bool Schedules(const std::vector<CMimakiLayerRecord>& list, int kind)
{
    if (kind == jfx::kNone)
        return false;
    for (const CMimakiLayerRecord& r : Effective(list))
        if (r.nType == kind)
            return true;
    return false;
}

bool IsKindOrNone(int kind) { return kind == jfx::kNone || (kind >= 0 && kind < jfx::kKindCount); }

static_assert(jfx::kKindCount == 34 && jfx::kNone == 255, "the reason below names the kinds");
const char* const kNoKind = "is no layer kind (0 to 33, or 255 for none); the layer prints nothing";

std::vector<CMimakiLayerRecord>* Of(CUnivDevParmsBase* parms)
{
    if (auto* p = dynamic_cast<DEVPARMUJF7151plusII_CLASS*>(parms))
        return &p->m_Layers;
    if (auto* p = dynamic_cast<DEVPARMS_JFX200EX_CLASS*>(parms))
        return &p->m_Layers;
    return nullptr;
}

} // namespace mimaki::layerlist
