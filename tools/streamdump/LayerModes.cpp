#include "tools/streamdump/LayerModes.h"

#include "tools/streamdump/LayerSections.h"

namespace streamparse {

bool MirroredLayersOfMode(int uid, int mode, std::set<int>& layers)
{
    if ((uid & 0xFF) == 38 && uid >= 0 && ((mode >= 13 && mode <= 17) || mode == 26 || (mode >= 32 && mode <= 35))) {
        layers.clear();
        return true;
    }
    return MirroredLayersOfWhiteMode(mode, layers);
}

} // namespace streamparse
