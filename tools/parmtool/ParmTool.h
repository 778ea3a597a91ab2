// parmtool: a printer's device parameters from the command line. Lists the
// keys a model's parameter class reads, loads and saves a settings section
// as the plug-in does (migrating old keys), and shows the loaded record with
// the class's answers to the host and the drivers.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace parmtool {

// Runs one command; returns the exit status (0 done, 1 failed, 2 usage).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace parmtool
