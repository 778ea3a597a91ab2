// rasterjob: runs one print job through the plug-in the way the host does.
#pragma once

namespace rasterjob {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitAborted = 3, kExitInterrupted = 130 };

int RasterJobMain(int argc, const char* const* argv);

} // namespace rasterjob
