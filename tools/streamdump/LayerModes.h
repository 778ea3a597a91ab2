// The layer modes of the models that send layer sections, as the decoder
// needs them: which layer indices a mode mirrors.
#pragma once

#include <set>

namespace streamparse {

// The layer indices layer mode `mode` mirrors on the model `uid` (-1: not
// known): the TS300P family's white modes 0 to 12, and on the UCJV300
// (UID 38) also its modes 13 to 17, 26 and 32 to 35, which mirror none.
// False for a mode the model does not have.
bool MirroredLayersOfMode(int uid, int mode, std::set<int>& layers);

} // namespace streamparse
