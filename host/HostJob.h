// The host's order of calls around one job, shared by the job runner and
// the tests: job open and start string, OutputInit, rows, OutputExit, end
// string, JobClose.
#pragma once

#include "PrinterDriverBase.h"

// JobOpen, the device parameters' start string, OutputInit. 0 on failure.
HOST_API int HostJobBegin(CPrinterDriverBase& driver, CPrintJobOpenContext& context);
// OutputExit and the end string (skipped once a step failed or the job was
// aborted), then JobClose, which always runs. 0 when any step failed.
HOST_API int HostJobEnd(CPrinterDriverBase& driver, bool bRowsOk);
