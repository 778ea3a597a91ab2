// Running the three tools the way a user does, with the real plug-in.
#pragma once

#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace usage {

using testsupport::ReadFile;
using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::WriteFile;

RunResult Rasterjob(const std::vector<std::string>& args, RunOptions options = {});
RunResult Parmtool(const std::vector<std::string>& args, RunOptions options = {});
RunResult Streamdump(const std::vector<std::string>& args, RunOptions options = {});

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A small job's arguments (64 x 16 pixels, 1 bit, 720 dpi, no notes),
// followed by more.
std::vector<std::string> SmallJob(std::vector<std::string> more);

} // namespace usage
