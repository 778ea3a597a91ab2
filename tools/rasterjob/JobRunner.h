// One job on an open driver, in the host's order: job open and start
// string, OutputInit, the rows, OutputExit, end string, JobClose.
#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "tools/common/RasterDigest.h"
#include "tools/rasterjob/ImageIO.h"
#include "tools/rasterjob/RowSource.h"

class CPrinterDriverBase;
struct CPrintJobOpenContext;

namespace rasterjob {

struct FeedOptions {
    long long abortAfter = -1;                                  // abort after this many rows; -1 never
    std::vector<RasterDigest>* digests = nullptr;               // one per channel, fed as rows go out
    std::vector<std::unique_ptr<RasterWriter>>* writers = nullptr;  // one per channel
    bool progress = false;                                      // progress line on a terminal
    const volatile std::sig_atomic_t* interrupted = nullptr;    // stop when it turns non-zero
};

enum class JobOutcome { Done, Aborted, Failed, Interrupted };

struct JobResult {
    JobOutcome outcome = JobOutcome::Failed;
    int rows = 0;        // rows fed
    double seconds = 0;  // from job open to JobClose
    std::string error;   // for Failed
};

// The driver must have its output sink set. The sink is neither committed
// nor discarded here: that is the caller's choice once it sees the outcome.
// One source per channel of the context.
JobResult RunDriverJob(CPrinterDriverBase& driver, CPrintJobOpenContext& context,
                       std::vector<std::unique_ptr<IRowSource>>& sources, const FeedOptions& options);

} // namespace rasterjob
