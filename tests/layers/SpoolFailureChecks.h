// The failure paths every driver that keeps a page in spool stores must
// survive: an output that fails at any byte, a job aborted mid-page, spool
// stores that spill everything or cannot spill at all, and a driver
// destroyed mid-page. Each leaves no temporary file and no budget behind.
#pragma once

#include <string>

#include "host/PrintEnv.h"
#include "tests/layers/LayerTestSupport.h"

namespace spooltest {

// The printer's settings (a driver is made from them by Create for each
// case), a small job that spools rows, and the source name the driver's
// spool errors are reported under.
void CheckFailurePaths(const CPrintEnv& env, const layertest::Job& job, const std::string& errorSource);

} // namespace spooltest
