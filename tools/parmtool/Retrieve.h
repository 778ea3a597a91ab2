// parmtool retrieve: reads a printer's print modes or dot volumes and stores
// them in its settings section.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace parmtool {

// args[0] is "retrieve". Exit status: 0 stored, 1 failed (nothing stored),
// 2 usage, 128 + N stopped by signal N (nothing stored).
int RunRetrieve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace parmtool
