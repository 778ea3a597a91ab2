#include "tools/rasterjob/JobRunner.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "host/HostJob.h"
#include "host/OutputSink.h"
#include "host/PrinterDriverBase.h"
#include "tools/rasterjob/Screen.h"

namespace rasterjob {

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A progress line on a terminal's standard error, once a job has run for a
// second.
class Progress {
public:
    Progress(bool enabled, int total, std::size_t bytesPerRow)
        : m_enabled(enabled && ::isatty(2)), m_total(total), m_bytesPerRow(bytesPerRow),
          m_start(std::chrono::steady_clock::now())
    {
    }
    void Update(int rows)
    {
        if (!m_enabled)
            return;
        const double t = Seconds(m_start);
        if (t < 1.0 || t - m_last < 0.1)
            return;
        m_last = t;
        Draw(rows, t);
    }
    void Finish(int rows)
    {
        if (!m_enabled || !m_drawn)
            return;
        Draw(rows, Seconds(m_start));
        std::fputc('\n', stderr);
    }

private:
    void Draw(int rows, double t)
    {
        constexpr int kBar = 30;
        const double part = m_total ? static_cast<double>(rows) / m_total : 1.0;
        const int fill = static_cast<int>(part * kBar);
        char bar[kBar + 1];
        for (int i = 0; i < kBar; ++i)
            bar[i] = i < fill ? '#' : '.';
        bar[kBar] = 0;
        const double mb = static_cast<double>(rows) * static_cast<double>(m_bytesPerRow) / 1e6;
        std::fprintf(stderr, "\r[%s] %3d%%  %d/%d rows  %.1f MB/s ", bar, static_cast<int>(part * 100), rows, m_total,
                     t > 0 ? mb / t : 0.0);
        std::fflush(stderr);
        m_drawn = true;
    }
    bool m_enabled;
    int m_total;
    std::size_t m_bytesPerRow;
    std::chrono::steady_clock::time_point m_start;
    double m_last = 0;
    bool m_drawn = false;
};

} // namespace

JobResult RunDriverJob(CPrinterDriverBase& driver, CPrintJobOpenContext& context,
                       std::vector<std::unique_ptr<IRowSource>>& sources, const FeedOptions& options)
{
    JobResult result;
    const auto start = std::chrono::steady_clock::now();
    const std::size_t channels = context.colourCodes.size();
    const int bytesPerRow = BytesPerRow(context.pixelWidth, context.bitsPerPixel);
    const int height = context.rowCount;
    IOutputSink* sink = driver.GetOutputSink();
    auto sinkDetail = [&]() {
        return sink && sink->Failed() && !sink->Error().empty() ? ": " + sink->Error() : std::string();
    };

    CAbortProc abortProc;
    driver.SetAbortProc(&abortProc);
    auto finish = [&](JobOutcome outcome, std::string error) {
        driver.SetAbortProc(nullptr);
        result.outcome = outcome;
        result.error = std::move(error);
        result.seconds = Seconds(start);
        return result;
    };

    if (sources.size() != channels)
        return finish(JobOutcome::Failed, "one row source per channel needed");
    if (!HostJobBegin(driver, context)) {
        const std::string detail = sinkDetail();
        HostJobEnd(driver, false);
        return finish(JobOutcome::Failed,
                      "the driver did not start the job (JobOpen, the start string or OutputInit answered 0)" + detail);
    }
    std::vector<CRasterPixelBuffer*> buffers(channels);
    for (std::size_t c = 0; c < channels; ++c) {
        buffers[c] = driver.GetRasterPixelBufferByIndex(static_cast<int>(c));
        if (!buffers[c] || buffers[c]->BytesPerRow() != static_cast<std::size_t>(bytesPerRow)) {
            HostJobEnd(driver, false);
            return finish(JobOutcome::Failed, "the driver's raster buffer of channel " + std::to_string(c) +
                                                  " does not hold rows of " + std::to_string(bytesPerRow) + " bytes");
        }
    }

    // Everything in this loop runs per row and allocates nothing: rows are
    // written into the driver's buffers or handed over by pointer.
    Progress progress(options.progress, height, static_cast<std::size_t>(bytesPerRow) * channels);
    const int stopAt = options.abortAfter >= 0 && options.abortAfter < height ? static_cast<int>(options.abortAfter)
                                                                              : height;
    std::string rowError;
    int rows = 0;
    for (; rows < stopAt; ++rows) {
        if (options.interrupted && *options.interrupted)
            break;
        for (std::size_t c = 0; c < channels && rowError.empty(); ++c) {
            BYTE* scratch = buffers[c]->pWriteRow();
            const BYTE* row = sources[c]->Row(rows, scratch);
            if (!row) {
                rowError = sources[c]->Error();
                break;
            }
            if (row != scratch)
                buffers[c]->SetRow(row);
            if (options.digests)
                (*options.digests)[c].AddRow(row, static_cast<std::size_t>(bytesPerRow));
            if (options.writers && !(*options.writers)[c]->WriteRow(row))
                rowError = "cannot write the saved raster of channel " + std::to_string(c) + ": " +
                           std::strerror(errno);
        }
        if (!rowError.empty())
            break;
        if (!driver.OutputOneRow()) {
            rowError = "OutputOneRow answered 0 at row " + std::to_string(rows + 1) + sinkDetail();
            break;
        }
        progress.Update(rows + 1);
    }
    progress.Finish(rows);
    result.rows = rows;

    const bool interrupted = options.interrupted && *options.interrupted;
    if (!rowError.empty() || interrupted) {
        HostJobEnd(driver, false);
        return finish(interrupted ? JobOutcome::Interrupted : JobOutcome::Failed, rowError);
    }
    if (options.abortAfter >= 0) {
        // The operator's cancel: no more rows, and JobClose sends the
        // printer's abort command.
        abortProc.Abort();
        HostJobEnd(driver, true);
        return finish(JobOutcome::Aborted, {});
    }
    if (!HostJobEnd(driver, true))
        return finish(JobOutcome::Failed,
                      "the driver did not end the job (OutputExit, the end string or JobClose answered 0)" +
                          sinkDetail());
    return finish(JobOutcome::Done, {});
}

} // namespace rasterjob
