// One job on an open driver, in the host's order: job open and start
// string, OutputInit, the rows, OutputExit, end string, JobClose.
#pragma once

#include <chrono>
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

// A progress line on a terminal's standard error, once a job has run for a
// second. While the destination takes no data it says so, and for how long.
class ProgressLine {
public:
    ProgressLine(bool enabled, int totalRows, std::size_t bytesPerRow);
    void Rows(int rows);
    void Waiting(double seconds);
    // Ends the line, when one was drawn.
    void Finish();

private:
    void Draw(double waiting);
    bool m_enabled;
    int m_total;
    std::size_t m_bytesPerRow;
    std::chrono::steady_clock::time_point m_start;
    int m_rows = 0;
    double m_last = 0;
    bool m_drawn = false;
};

struct FeedOptions {
    long long abortAfter = -1;                                  // abort after this many rows; -1 never
    std::vector<RasterDigest>* digests = nullptr;               // one per channel, fed as rows go out
    std::vector<std::unique_ptr<RasterWriter>>* writers = nullptr;  // one per channel
    ProgressLine* progress = nullptr;
    const volatile std::sig_atomic_t* interrupted = nullptr;    // stop when it turns non-zero
    // The output cannot be taken back (a printer port, a pipe): a job that
    // stops early ends as an abort does, so that the printer gets its abort
    // command instead of waiting for the rest.
    bool abortOnStop = false;
};

enum class JobOutcome { Done, Aborted, Failed, Interrupted };

struct JobResult {
    JobOutcome outcome = JobOutcome::Failed;
    int rows = 0;              // rows fed
    double seconds = 0;        // from job open to JobClose
    std::string error;         // for Failed
    bool endedAsAbort = false; // JobClose ran on an aborted job (abort command)
};

// The driver must have its output sink set. The sink is neither committed
// nor discarded here: that is the caller's choice once it sees the outcome.
// One source per channel of the context. A saved raster that cannot be
// written does not stop the job; its writer tells at Finish.
JobResult RunDriverJob(CPrinterDriverBase& driver, CPrintJobOpenContext& context,
                       std::vector<std::unique_ptr<IRowSource>>& sources, const FeedOptions& options);

// The job's cut option when the job gives none: the host asks the printer's
// parameters for the default of job option 0; a class that offers none
// leaves it at 0 (no cut).
int DefaultCutOption(CPrinterDriverBase& driver);

} // namespace rasterjob
