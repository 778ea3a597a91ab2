// parmtool layers: the multi-layer kinds a JFX model offers for its printer
// type, layer mode and model flags, and its basic layers.
#pragma once

#include <iosfwd>

class CPrintEnv;

namespace parmtool {

// env holds the model's settings with its PrEnv_UID. Returns the exit
// status; throws std::runtime_error with one line when the model has no
// JFX layer catalogue.
int ListLayers(CPrintEnv& env, int uid, bool json, std::ostream& out);

} // namespace parmtool
