// rasterjob: runs one print job through the plug-in the way the host does.
#pragma once

namespace rasterjob {

// Ended by signal N: 128 + N.
enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1,  // the printer did not get the whole job
    kExitUsage = 2,
    kExitAborted = 3,
    kExitDeliveredButReportFailed = 4,  // --json or --save-raster output lost
};

int RasterJobMain(int argc, const char* const* argv);

} // namespace rasterjob
